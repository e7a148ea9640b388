#include "win32/registry.h"

#include <shlwapi.h>

#include <vector>

namespace win32 {

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

}  // namespace win32
