#include "desktop/fennick_registration.h"

#include "desktop/fennick_guids.h"
#include "win32/registry.h"

namespace {

constexpr wchar_t kProgId[] = L"Fennick.OVHWDesktopFolderImpl";
constexpr wchar_t kProgIdVersion[] = L"Fennick.OVHWDesktopFolderImpl.1";
constexpr wchar_t kClassName[] = L"OVHWDesktopFolderImpl Class";
constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION";
constexpr wchar_t kApprovalText[] = L"OVHW Desktop Icon";

std::wstring Below(const std::wstring& key, const std::wstring& subkey)
{
    return key + L"\\" + subkey;
}

fw::RegistryRow Text(HKEY root, const std::wstring& path, const wchar_t* name,
                     const std::wstring& text)
{
    return fw::StringRow(root, path, name, text);
}

bool IsMissing(LSTATUS status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

}  // namespace

RegistrationScript ModuleScript()
{
    const std::wstring appId = Below(L"AppID", kAppIdText);
    const std::wstring dll = L"AppID\\Fennick.DLL";
    return {
        {
            {HKEY_CLASSES_ROOT, L"AppID", KeyRule::kKept},
            {HKEY_CLASSES_ROOT, appId, KeyRule::kOwned},
            {HKEY_CLASSES_ROOT, dll, KeyRule::kOwned},
        },
        {
            Text(HKEY_CLASSES_ROOT, appId, L"", L"Fennick"),
            Text(HKEY_CLASSES_ROOT, dll, L"AppID", kAppIdText),
        },
    };
}

RegistrationScript FolderClassScript(const std::wstring& modulePath)
{
    const HKEY hkcr = HKEY_CLASSES_ROOT;
    const std::wstring clsid = Below(L"CLSID", kFolderClsidText);
    const std::wstring shellex = Below(clsid, L"shellex");
    const std::wstring approved = Below(kCurrentVersion, L"SHELL EXTENSIONS\\APPROVED");
    const std::wstring nameSpace =
        Below(kCurrentVersion, Below(L"Explorer\\Desktop\\NameSpace", kFolderClsidText));
    // SFGAO_FOLDER | SFGAO_DROPTARGET, as the bytes 00 01 00 20.
    const std::vector<BYTE> attributes = {0x00, 0x01, 0x00, 0x20};
    return {
        {
            {hkcr, kProgIdVersion, KeyRule::kOwned},
            {hkcr, kProgId, KeyRule::kOwned},
            {hkcr, L"CLSID", KeyRule::kKept},
            {hkcr, clsid, KeyRule::kReplaced},
            {hkcr, Below(shellex, L"MayChangeDefaultMenu"), KeyRule::kOwned},
            {HKEY_LOCAL_MACHINE, approved, KeyRule::kKept},
            {HKEY_LOCAL_MACHINE, nameSpace, KeyRule::kReplaced},
        },
        {
            Text(hkcr, kProgIdVersion, L"", kClassName),
            Text(hkcr, Below(kProgIdVersion, L"CLSID"), L"", kFolderClsidText),
            Text(hkcr, kProgId, L"", kClassName),
            Text(hkcr, Below(kProgId, L"CLSID"), L"", kFolderClsidText),
            Text(hkcr, Below(kProgId, L"CurVer"), L"", kProgIdVersion),
            Text(hkcr, clsid, L"", L"Scoravel"),
            Text(hkcr, Below(clsid, L"ProgID"), L"", kProgIdVersion),
            Text(hkcr, Below(clsid, L"VersionIndependentProgID"), L"", kProgId),
            Text(hkcr, Below(clsid, L"InprocServer32"), L"", modulePath),
            Text(hkcr, Below(clsid, L"InprocServer32"), L"ThreadingModel", L"Apartment"),
            Text(hkcr, clsid, L"AppID", kAppIdText),
            Text(hkcr, Below(clsid, L"TypeLib"), L"", kTypeLibText),
            Text(hkcr, clsid, L"InfoTip", L"Scoravel"),
            Text(hkcr, Below(clsid, L"DefaultIcon"), L"", modulePath + L",0"),
            fw::RegistryRow{hkcr, Below(clsid, L"ShellFolder"), L"Attributes", REG_BINARY,
                            attributes},
            Text(hkcr, Below(clsid, L"ShellFolder"), L"HideFolderVerbs", L""),
            Text(hkcr, Below(shellex, Below(L"ContextMenuHandlers", kFolderClsidText)), L"",
                 kFolderClsidText),
            Text(HKEY_LOCAL_MACHINE, approved, kFolderClsidText, kApprovalText),
            Text(HKEY_LOCAL_MACHINE, nameSpace, L"Removal Message",
                 L"OVHW Desktop Icon can not delete."),
        },
    };
}

HRESULT ApplyScript(const RegistrationScript& script)
{
    for (const ScriptKey& key : script.keys) {
        if (key.rule == KeyRule::kReplaced) {
            const LSTATUS status = win32::DeleteTree(key.root, key.path.c_str());
            if (status != ERROR_SUCCESS)
                return fw::HResultFromStatus(status);
        }
        win32::UniqueKey created;
        const LSTATUS status = win32::CreateKey(key.root, key.path.c_str(), KEY_WRITE, created);
        if (status != ERROR_SUCCESS)
            return fw::HResultFromStatus(status);
    }
    for (const fw::RegistryRow& value : script.values) {
        const HRESULT hr = fw::ApplyRow(value);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT RemoveScript(const RegistrationScript& script)
{
    // Values of kept keys one by one; everything else goes with its key.
    for (const fw::RegistryRow& value : script.values) {
        for (const ScriptKey& key : script.keys) {
            if (key.rule != KeyRule::kKept || key.root != value.root || key.path != value.path)
                continue;
            const LSTATUS status =
                ::RegDeleteKeyValueW(value.root, value.path.c_str(), value.name.c_str());
            if (status != ERROR_SUCCESS && !IsMissing(status))
                return fw::HResultFromStatus(status);
        }
    }
    for (auto key = script.keys.rbegin(); key != script.keys.rend(); ++key) {
        if (key->rule == KeyRule::kKept)
            continue;
        const LSTATUS status = win32::DeleteTree(key->root, key->path.c_str());
        if (status != ERROR_SUCCESS)
            return fw::HResultFromStatus(status);
    }
    return S_OK;
}

bool ScriptIsApplied(const RegistrationScript& script)
{
    for (const ScriptKey& key : script.keys) {
        win32::UniqueKey opened;
        if (win32::OpenKey(key.root, key.path.c_str(), KEY_READ, opened) != ERROR_SUCCESS)
            return false;
    }
    for (const fw::RegistryRow& value : script.values)
        if (!fw::RowIsApplied(value))
            return false;
    return true;
}
