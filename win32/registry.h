// Registry access that treats every stored value as outside input: the type
// and size are checked, strings are terminated even when stored without
// their NUL, and an output is written only when the read succeeded.
#pragma once

#include "win32/unique_handle.h"

#include <string>

namespace win32 {

LSTATUS OpenKey(HKEY root, const wchar_t* path, REGSAM access, UniqueKey& key);
LSTATUS CreateKey(HKEY root, const wchar_t* path, REGSAM access, UniqueKey& key);

// ERROR_SUCCESS and `value` set, or an error with `value` untouched
// (ERROR_INVALID_DATATYPE / ERROR_INVALID_DATA for a wrong type or size).
LSTATUS ReadDword(HKEY key, const wchar_t* name, DWORD& value);
LSTATUS ReadString(HKEY key, const wchar_t* name, std::wstring& value);

// REG_SZ is written with its terminating NUL counted in the byte length.
LSTATUS WriteDword(HKEY key, const wchar_t* name, DWORD value);
LSTATUS WriteString(HKEY key, const wchar_t* name, const std::wstring& value);

// Removes a key and everything below it; a missing key is not an error.
LSTATUS DeleteTree(HKEY root, const wchar_t* path);

}  // namespace win32
