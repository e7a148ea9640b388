#include "tests/common/registry_sandbox.h"

#include "win32/registry.h"

#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" NTSTATUS NTAPI NtQueryKey(HANDLE key, int informationClass, void* information,
                                     ULONG cbInformation, ULONG* cbResult);

namespace testsupport {

void ClearProductKeys()
{
    // A test that made the product key a link must not take its target.
    RemoveTree(HKEY_CURRENT_USER, kProductKey);
    RemoveTree(HKEY_LOCAL_MACHINE, kProductKey);
}

void RemoveTree(HKEY root, const std::wstring& path)
{
    const LSTATUS status = win32::DeleteTreeNoLinks(root, path.c_str());
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

void PutLink(HKEY root, const std::wstring& path, HKEY targetRoot, const std::wstring& targetPath)
{
    // A link names its target natively ("\REGISTRY\User\<sid>\..."):
    // KeyNameInformation gives a byte count, then that name.
    win32::UniqueKey target, parent, link;
    std::vector<ULONG> name(1024);
    ULONG cbName = 0;
    ASSERT_EQ(ERROR_SUCCESS, win32::OpenKey(targetRoot, targetPath.c_str(), KEY_READ, target));
    ASSERT_GE(NtQueryKey(target.get(), 3, name.data(), 4096, &cbName), 0);
    // Real keys above it: made along with a volatile link, they would be
    // volatile too and could hold no lasting key later.
    ASSERT_EQ(ERROR_SUCCESS, win32::CreateKey(root, path.substr(0, path.rfind(L'\\')).c_str(),
                                              KEY_READ, parent));
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, path.c_str(), 0, nullptr,
                                               REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                                               KEY_SET_VALUE | KEY_CREATE_LINK, nullptr,
                                               link.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK,
                                              reinterpret_cast<const BYTE*>(&name[1]), name[0]));
}

namespace {

void DumpInto(HKEY key, const std::wstring& path, std::vector<std::wstring>& lines)
{
    wchar_t name[16384];
    std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index) {
        DWORD cchName = ARRAYSIZE(name);
        DWORD type = 0;
        DWORD cbData = static_cast<DWORD>(data.size());
        if (::RegEnumValueW(key, index, name, &cchName, nullptr, &type, data.data(), &cbData) !=
            ERROR_SUCCESS)
            break;
        std::wstring line = path + L" : " + name + L" = " + std::to_wstring(type) + L":";
        for (DWORD i = 0; i < cbData; ++i) {
            wchar_t hex[4];
            swprintf(hex, ARRAYSIZE(hex), L"%02x", data[i]);
            line += hex;
        }
        lines.push_back(line);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
        DWORD cchName = ARRAYSIZE(name);
        if (::RegEnumKeyExW(key, index, name, &cchName, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name);
    }
    for (const auto& sub : subkeys) {
        win32::UniqueKey child;
        if (win32::OpenKey(key, sub.c_str(), KEY_READ, child) == ERROR_SUCCESS) {
            lines.push_back(path + L"\\" + sub);
            DumpInto(child.get(), path + L"\\" + sub, lines);
        }
    }
}

}  // namespace

std::wstring DumpKey(HKEY root, const std::wstring& path)
{
    win32::UniqueKey key;
    if (win32::OpenKey(root, path.c_str(), KEY_READ, key) != ERROR_SUCCESS)
        return {};
    std::vector<std::wstring> lines;
    DumpInto(key.get(), L"", lines);
    std::sort(lines.begin(), lines.end());
    std::wstring dump;
    for (const auto& line : lines)
        dump += line + L"\n";
    return dump;
}

void PutRaw(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
            DWORD cbData)
{
    win32::UniqueKey key;
    ASSERT_EQ(ERROR_SUCCESS, win32::CreateKey(root, path.c_str(), KEY_SET_VALUE, key));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), cbData));
}

void MakeKeyReadOnly(HKEY root, const std::wstring& path)
{
    win32::UniqueKey key;
    ASSERT_EQ(ERROR_SUCCESS, win32::OpenKey(root, path.c_str(), WRITE_DAC, key)) << path;
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
    const LSTATUS status = ::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, readOnly);
    ::LocalFree(readOnly);
    ASSERT_EQ(ERROR_SUCCESS, status);
}

void PutDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value)
{
    PutRaw(root, path, name, REG_DWORD, &value, sizeof(value));
}

void PutString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    PutRaw(root, path, name, REG_SZ, value.c_str(),
           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

RawValue GetRaw(HKEY root, const std::wstring& path, const wchar_t* name)
{
    RawValue raw;
    win32::UniqueKey key;
    if (win32::OpenKey(root, path.c_str(), KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return raw;
    DWORD cbData = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, &raw.type, nullptr, &cbData) != ERROR_SUCCESS)
        return raw;
    raw.bytes.resize(cbData);
    if (::RegQueryValueExW(key.get(), name, nullptr, &raw.type,
                           reinterpret_cast<BYTE*>(raw.bytes.data()), &cbData) != ERROR_SUCCESS)
        return raw;
    raw.bytes.resize(cbData);
    raw.exists = true;
    return raw;
}

DWORD SettingsDword(const std::wstring& subkey, const wchar_t* name)
{
    const RawValue raw = GetRaw(HKEY_CURRENT_USER, kSettingsKey + subkey, name);
    DWORD value = 0xDEAD;
    if (raw.exists && raw.type == REG_DWORD && raw.bytes.size() == sizeof(value))
        std::memcpy(&value, raw.bytes.data(), sizeof(value));
    return value;
}

}  // namespace testsupport
