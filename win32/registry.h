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
// Follows registry links: only for keys no other account can write.
LSTATUS DeleteTree(HKEY root, const wchar_t* path);

// Registry links (keys made with REG_OPTION_CREATE_LINK) can be made by any
// user in their own hive and lead anywhere, machine keys included. The calls
// below never act through one. `view` is 0 or a KEY_WOW64_* flag.

// Opens root\path one component at a time; every component, the last one
// included, must be a real key. A link on the way: ERROR_CANT_RESOLVE_FILENAME.
LSTATUS OpenKeyNoLinks(HKEY root, const wchar_t* path, REGSAM access, UniqueKey& key);

// Removes root\path and the real keys below it. A link at root\path or below
// it is removed itself and its target left alone; a link among the keys
// leading to root\path refuses the delete (ERROR_CANT_RESOLVE_FILENAME).
// A missing key gives ERROR_FILE_NOT_FOUND; an empty path is refused.
LSTATUS DeleteTreeNoLinks(HKEY root, const wchar_t* path, REGSAM view = 0);

// Removes one value of root\path; no key on the way may be a link.
LSTATUS DeleteValueNoLinks(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view = 0);

}  // namespace win32
