#include "win32/registry.h"

#include <shlwapi.h>
#include <winternl.h>

#include <cstddef>
#include <vector>

extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);
extern "C" NTSTATUS NTAPI NtQueryKey(HANDLE key, int informationClass, void* information,
                                     ULONG cbInformation, ULONG* cbResult);

namespace win32 {

namespace {

// NtQueryKey's KeyFlagsInformation: the second bit of KeyFlags marks a link.
constexpr int kKeyFlagsInformation = 5;
constexpr ULONG kKeyFlagLink = 0x2;
struct KeyFlags {
    ULONG wow64Flags;
    ULONG keyFlags;
    ULONG controlFlags;
};

constexpr wchar_t kLinkValueName[] = L"SymbolicLinkValue";
constexpr REGSAM kWalkAccess = KEY_QUERY_VALUE;

// `key` was opened with REG_OPTION_OPEN_LINK and KEY_QUERY_VALUE.
bool IsLink(HKEY key)
{
    KeyFlags flags{};
    ULONG cbResult = 0;
    if (NtQueryKey(key, kKeyFlagsInformation, &flags, sizeof(flags), &cbResult) >= 0 &&
        cbResult >= offsetof(KeyFlags, controlFlags) && (flags.keyFlags & kKeyFlagLink))
        return true;
    // Wine has no flags query. A link holds its target in this value; a real
    // key holding one is taken for a link too, which only ever deletes less.
    return ::RegQueryValueExW(key, kLinkValueName, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

// The key itself, never what it links to.
LSTATUS OpenOwn(HKEY parent, const wchar_t* name, REGSAM access, UniqueKey& key)
{
    HKEY opened = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, access, &opened);
    if (status == ERROR_SUCCESS)
        key.reset(opened);
    return status;
}

// The non-empty components of a backslash-separated path.
std::vector<std::wstring> Components(const wchar_t* path)
{
    std::vector<std::wstring> components;
    const std::wstring text = path ? path : L"";
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find(L'\\', begin);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > begin)
            components.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return components;
}

// The key the first `count` components lead to from `root`, each opened as
// itself and refused when it is a link; the last is opened with `access`.
LSTATUS OpenRealPath(HKEY root, const std::vector<std::wstring>& components, size_t count,
                     REGSAM access, REGSAM view, UniqueKey& key)
{
    UniqueKey current;
    if (count == 0) {
        const LSTATUS status = ::RegOpenKeyExW(root, nullptr, 0, access | view, current.put());
        if (status == ERROR_SUCCESS)
            key = std::move(current);
        return status;
    }
    for (size_t i = 0; i < count; ++i) {
        UniqueKey next;
        const LSTATUS status =
            OpenOwn(i == 0 ? root : current.get(), components[i].c_str(),
                    kWalkAccess | view | (i + 1 == count ? access : 0), next);
        if (status != ERROR_SUCCESS)
            return status;
        if (IsLink(next.get()))
            return ERROR_CANT_RESOLVE_FILENAME;
        current = std::move(next);
    }
    key = std::move(current);
    return ERROR_SUCCESS;
}

LSTATUS SubkeyNames(HKEY key, std::vector<std::wstring>& names)
{
    std::vector<std::wstring> found;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};  // key names are at most 255 characters
        DWORD cchName = ARRAYSIZE(name);
        const LSTATUS status =
            ::RegEnumKeyExW(key, index, name, &cchName, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return status;
        found.emplace_back(name, cchName);
    }
    names = std::move(found);
    return ERROR_SUCCESS;
}

// Deleting through the handle removes the very key that was checked: a
// delete by name would follow a link put in its place since.
LSTATUS DeleteOpenedKey(HKEY key)
{
    const NTSTATUS status = NtDeleteKey(key);
    if (status >= 0)
        return ERROR_SUCCESS;
    const ULONG error = ::RtlNtStatusToDosError(status);
    return error != ERROR_SUCCESS ? static_cast<LSTATUS>(error) : ERROR_ACCESS_DENIED;
}

LSTATUS DeleteOwnTree(HKEY parent, const std::wstring& name, REGSAM view)
{
    UniqueKey key;
    constexpr REGSAM kAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | DELETE;
    LSTATUS status = OpenOwn(parent, name.c_str(), kAccess | view, key);
    if (status != ERROR_SUCCESS)
        return status;
    if (!IsLink(key.get())) {
        // Names first: deleting while enumerating would shift the indexes.
        std::vector<std::wstring> subkeys;
        status = SubkeyNames(key.get(), subkeys);
        if (status != ERROR_SUCCESS)
            return status;
        LSTATUS firstFailure = ERROR_SUCCESS;
        for (const std::wstring& subkey : subkeys) {
            status = DeleteOwnTree(key.get(), subkey, view);
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND &&
                firstFailure == ERROR_SUCCESS)
                firstFailure = status;
        }
        if (firstFailure != ERROR_SUCCESS)
            return firstFailure;
    }
    return DeleteOpenedKey(key.get());
}

}  // namespace

LSTATUS OpenKey(HKEY root, const wchar_t* path, REGSAM access, UniqueKey& key)
{
    HKEY opened = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(root, path, 0, access, &opened);
    if (status == ERROR_SUCCESS)
        key.reset(opened);
    return status;
}

LSTATUS CreateKey(HKEY root, const wchar_t* path, REGSAM access, UniqueKey& key)
{
    HKEY created = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             access, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS)
        key.reset(created);
    return status;
}

LSTATUS ReadDword(HKEY key, const wchar_t* name, DWORD& value)
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD cbData = sizeof(data);
    const LSTATUS status =
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &cbData);
    if (status == ERROR_MORE_DATA)
        return ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_DWORD)
        return ERROR_INVALID_DATATYPE;
    if (cbData != sizeof(data))
        return ERROR_INVALID_DATA;
    value = data;
    return ERROR_SUCCESS;
}

LSTATUS ReadString(HKEY key, const wchar_t* name, std::wstring& value)
{
    // The value can change between the size query and the read: retry a few
    // times when it grew.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD cbData = 0;
        LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &cbData);
        if (status != ERROR_SUCCESS)
            return status;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return ERROR_INVALID_DATATYPE;

        // One character more than stored, so an unterminated value still ends
        // in a NUL; an odd byte count is rounded up.
        std::vector<wchar_t> buffer(cbData / sizeof(wchar_t) + 2, L'\0');
        DWORD cbRead = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        status = ::RegQueryValueExW(key, name, nullptr, &type,
                                    reinterpret_cast<BYTE*>(buffer.data()), &cbRead);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return status;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return ERROR_INVALID_DATATYPE;

        const size_t cchRead = cbRead / sizeof(wchar_t);
        buffer[cchRead < buffer.size() ? cchRead : buffer.size() - 1] = L'\0';
        value.assign(buffer.data());  // stops at the first NUL
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

LSTATUS WriteDword(HKEY key, const wchar_t* name, DWORD value)
{
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value));
}

LSTATUS WriteString(HKEY key, const wchar_t* name, const std::wstring& value)
{
    const DWORD cbData = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            cbData);
}

LSTATUS DeleteTree(HKEY root, const wchar_t* path)
{
    const LSTATUS status = static_cast<LSTATUS>(::SHDeleteKeyW(root, path));
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND)
        return ERROR_SUCCESS;
    return status;
}

LSTATUS OpenKeyNoLinks(HKEY root, const wchar_t* path, REGSAM access, UniqueKey& key)
{
    const std::vector<std::wstring> components = Components(path);
    return OpenRealPath(root, components, components.size(), access, 0, key);
}

LSTATUS DeleteTreeNoLinks(HKEY root, const wchar_t* path, REGSAM view)
{
    const std::vector<std::wstring> components = Components(path);
    if (components.empty())
        return ERROR_INVALID_PARAMETER;  // would name the root itself
    UniqueKey parent;
    const LSTATUS status =
        OpenRealPath(root, components, components.size() - 1, 0, view, parent);
    if (status != ERROR_SUCCESS)
        return status;
    return DeleteOwnTree(parent.get(), components.back(), view);
}

LSTATUS DeleteValueNoLinks(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view)
{
    const std::vector<std::wstring> components = Components(path);
    UniqueKey key;
    const LSTATUS status =
        OpenRealPath(root, components, components.size(), KEY_SET_VALUE, view, key);
    if (status != ERROR_SUCCESS)
        return status;
    return ::RegDeleteValueW(key.get(), name);
}

}  // namespace win32
