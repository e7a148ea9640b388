#include "engine/traces/system_traces.h"

#include "engine/traces/trace_folder.h"
#include "framework/module.h"
#include "resources/engine/text_ids.h"
#include "win32/path.h"
#include "win32/registry.h"
#include "win32/string_table.h"
#include "win32/system_info.h"
#include "win32/number_text.h"

#include <sddl.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

namespace {

constexpr wchar_t kWordCurVerKey[] = L"Word.Application\\CurVer";
constexpr wchar_t kOfficeKey[] = L"Software\\Microsoft\\Office\\";
constexpr wchar_t kRealPlayerKey[] = L"Software\\RealNetworks\\RealPlayer\\";
constexpr wchar_t kMediaPlayerRecentKey[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList";
constexpr wchar_t kCurrentUserRoot[] = L"HKEY_CURRENT_USER\\";

std::wstring TraceName(UINT id)
{
    return win32::LoadTableString(fw::ResourceInstance(), id);
}

std::wstring Numbered(const wchar_t* prefix, int number)
{
    return prefix + std::to_wstring(number);
}

bool FirstSubkeyName(HKEY key, std::wstring& name)
{
    wchar_t buffer[256] = {};  // key names are at most 255 characters
    DWORD cchBuffer = ARRAYSIZE(buffer);
    if (::RegEnumKeyExW(key, 0, buffer, &cchBuffer, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return false;
    name.assign(buffer, cchBuffer);
    return true;
}

bool KeyOpens(HKEY root, const std::wstring& path)
{
    win32::UniqueKey key;
    return win32::OpenKey(root, path.c_str(), KEY_READ, key) == ERROR_SUCCESS;
}

bool TokenUserSid(std::wstring& sid)
{
    win32::UniqueHandleNull token;
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
           win32::TokenUserSidString(token.get(), sid);
}

DWORD WindowsMajorVersion()
{
    OSVERSIONINFOW version = {sizeof(version)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&version))
        return 0;
#pragma GCC diagnostic pop
    return version.dwMajorVersion;
}

std::unique_ptr<IDAsset> MakeContentsAsset(const std::wstring& path, UINT nameId, bool confirm)
{
    if (!IsTraceFolderAllowed(path)) {
        auto refused = MakeRefusedTrace(path);
        refused->SetName(TraceName(nameId));
        refused->SetConfirm(confirm);
        return refused;
    }
    auto folder = std::make_unique<DocFolder>();
    folder->SetPath(path, false);
    folder->SetName(TraceName(nameId));
    folder->SetConfirm(confirm);
    folder->SetRemoveSelf(false);
    return folder;
}

}  // namespace

std::wstring OfficeVersionFromCurVer(const std::wstring& curVer)
{
    const size_t dot = curVer.rfind(L'.');
    if (dot == std::wstring::npos)
        return {};
    const std::wstring digits = curVer.substr(dot + 1);
    if (digits.empty() || digits.size() > 4 ||
        digits.find_first_not_of(L"0123456789") != std::wstring::npos)
        return {};
    return digits + L".0";
}

const wchar_t* RecycleFolderFor(DWORD majorVersion)
{
    return majorVersion >= 6 ? L"$Recycle.Bin\\" : L"RECYCLER\\";
}

std::unique_ptr<RegistryEntry> MakeOfficeRecentAsset(bool confirm)
{
    win32::UniqueKey curVerKey;
    if (win32::OpenKey(HKEY_CLASSES_ROOT, kWordCurVerKey, KEY_QUERY_VALUE, curVerKey) !=
        ERROR_SUCCESS)
        return nullptr;
    std::wstring curVer;
    if (win32::ReadString(curVerKey.get(), nullptr, curVer) != ERROR_SUCCESS)
        return nullptr;
    const std::wstring version = OfficeVersionFromCurVer(curVer);
    if (version.empty())
        return nullptr;

    auto entry = std::make_unique<RegistryEntry>();
    const std::wstring office = std::wstring(kCurrentUserRoot) + kOfficeKey + version;
    // From Office 2007 on the lists are "File MRU" keys; "Word\Data" there
    // holds Word's own options and must stay.
    if (win32::LeadingNumber(version) >= 12) {
        entry->AddItem(office + L"\\Word\\File MRU", L"");
        entry->AddItem(office + L"\\Excel\\File MRU", L"");
        entry->AddItem(office + L"\\PowerPoint\\File MRU", L"");
    } else {
        entry->AddItem(office + L"\\Word\\Data", L"");
        entry->AddItem(office + L"\\Excel\\Recent Files", L"");
        entry->AddItem(office + L"\\PowerPoint\\Recent File List", L"");
    }
    entry->AddItem(office + L"\\MS Project\\Recent File List", L"");

    const std::wstring visio = std::wstring(kOfficeKey) + version + L"\\Visio\\Application\\";
    win32::UniqueKey visioKey;
    if (win32::OpenKey(HKEY_CURRENT_USER, visio.c_str(), KEY_QUERY_VALUE, visioKey) ==
        ERROR_SUCCESS) {
        for (int n = 1;; ++n) {
            const std::wstring value = Numbered(L"LastFile", n);
            if (::RegQueryValueExW(visioKey.get(), value.c_str(), nullptr, nullptr, nullptr,
                                   nullptr) != ERROR_SUCCESS)
                break;
            entry->AddItem(kCurrentUserRoot + visio, value);
        }
    }

    entry->SetName(TraceName(IDS_OFFICE_RECENT));
    entry->SetConfirm(confirm);
    return entry;
}

std::unique_ptr<RegistryEntry> MakeRealPlayerRecentAsset(bool confirm)
{
    win32::UniqueKey player;
    if (win32::OpenKey(HKEY_CURRENT_USER, kRealPlayerKey, KEY_READ, player) != ERROR_SUCCESS)
        return nullptr;
    std::wstring version;
    if (!FirstSubkeyName(player.get(), version))
        return nullptr;

    auto entry = std::make_unique<RegistryEntry>();
    const std::wstring preferences = kRealPlayerKey + version + L"\\Preferences";
    if (KeyOpens(HKEY_CURRENT_USER, preferences)) {
        for (int n = 1;; ++n) {
            const std::wstring clip = preferences + L"\\" + Numbered(L"MostRecentClips", n);
            if (!KeyOpens(HKEY_CURRENT_USER, clip))
                break;
            entry->AddItem(kCurrentUserRoot + clip, L"");
        }
    }
    entry->SetConfirm(confirm);
    entry->SetName(TraceName(IDS_REAL_PLAYER_RECENT));
    return entry;
}

std::unique_ptr<RegistryEntry> MakeMediaPlayerRecentAsset(bool confirm)
{
    auto entry = std::make_unique<RegistryEntry>();
    entry->AddItem(kMediaPlayerRecentKey, L"");
    entry->SetName(TraceName(IDS_MEDIA_PLAYER_RECENT));
    entry->SetConfirm(confirm);
    return entry;
}

std::unique_ptr<DocFileList> MakeRecycleBinAsset(bool confirm)
{
    auto list = std::make_unique<DocFileList>();
    list->SetName(TraceName(IDS_RECYCLE_BIN));

    // The folder is named by the user this process runs as. A registry key
    // name cannot stand in for it: its first subkey can be another user's
    // SID, or LocalSystem's, and their bins are not ours to shred.
    std::wstring sid;
    if (!TokenUserSid(sid) || !win32::LooksLikeSid(sid))
        return nullptr;

    const std::wstring recycle = RecycleFolderFor(WindowsMajorVersion());
    const DWORD cchDrives = ::GetLogicalDriveStringsW(0, nullptr);
    if (cchDrives == 0)
        return nullptr;
    std::vector<wchar_t> drives(cchDrives + 1, L'\0');
    const DWORD cchWritten =
        ::GetLogicalDriveStringsW(static_cast<DWORD>(drives.size()), drives.data());
    if (cchWritten == 0 || cchWritten >= drives.size())
        return nullptr;

    list->SetConfirm(confirm);
    for (const wchar_t* root = drives.data(); *root; root += std::wcslen(root) + 1) {
        if (::GetDriveTypeW(root) != DRIVE_FIXED)
            continue;
        const std::wstring folder = root + recycle + sid;
        if (!win32::FitsMaxPath(folder))
            continue;  // the engine's path buffers could not hold it
        list->AddFolder(folder, false);
    }
    return list;
}

std::unique_ptr<IDAsset> MakeRecentDocumentsAsset(bool confirm)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, path)) &&
        FAILED(::SHGetFolderPathW(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_DEFAULT, path)))
        return nullptr;
    if (path[0] == L'\0')
        return nullptr;
    return MakeContentsAsset(path, IDS_RECENT_DOCUMENTS, confirm);
}

std::unique_ptr<IDAsset> MakeTempFilesAsset(bool confirm)
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD cchPath = ::GetTempPathW(ARRAYSIZE(path), path);
    // Longer paths would not fit the engine's 260-character buffers.
    if (cchPath == 0 || cchPath >= MAX_PATH)
        return nullptr;
    return MakeContentsAsset(path, IDS_TEMP_FILES, confirm);
}
