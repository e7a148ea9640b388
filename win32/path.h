// Paths as the file system sees them. Everything that changes a disk opens
// its items through the "\\?\" form of a full path: the plain form turns a
// last component such as "com1.txt" or "NUL" into a device, and strips
// trailing dots and spaces, so it can reach something other than the file a
// listing returned.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// `name` inside `folder`: "folder\name" with exactly one "\" between them,
// whether or not the folder ends in one or the name starts with one. An
// empty folder gives the name alone (without leading separators), never
// "\name": that would name the root of whatever drive is current.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// `path` without separators at its end; a root ("C:\") keeps its own.
std::wstring WithoutTrailingSeparators(const std::wstring& path);

bool EqualNoCase(const std::wstring& a, const std::wstring& b);

// Control characters (below U+0020, U+007F to U+009F) and the line and
// paragraph separators: no file name holds one, and a text viewer may take
// one for a line break.
bool IsControlCharacter(wchar_t c);
inline bool HasControlCharacter(const std::wstring& text)
{
    for (const wchar_t c : text) {
        if (IsControlCharacter(c))
            return true;
    }
    return false;
}

// Full paths are handled in MAX_PATH buffers: a path that does not fit one
// is refused, never cut short (a shortened path can name another file).
inline bool FitsMaxPath(const std::wstring& path)
{
    return path.size() < MAX_PATH;
}

// The absolute form of `path`: "/" read as "\", "." and ".." resolved,
// relative paths taken from the current folder, a "\\?\" or "\\.\" drive
// or UNC prefix dropped. Unlike GetFullPathNameW no component is read as a
// device or trimmed. False for what names no file-system path (a device
// such as "\\.\COM1", a volume GUID path, "\\server" without a share).
bool FullPathOf(const std::wstring& path, std::wstring& full);

// True when `path` names its own drive or share ("C:\...", "\\server\share...",
// or one of these behind "\\?\" or "\\.\"), so that no process's current
// folder or current drive takes part in what it names. "name", "..\name",
// "\name" and "C:name" are not; nor is a device such as "\\.\COM1".
bool IsFullyQualified(const std::wstring& path);

// The one spelling of what `path` names, for telling whether two paths name
// the same item: FullPathOf's form (separators, "." and "..", "\\?\"
// dropped) with each component, from the root on and as far as the items
// exist, spelled as its folder lists it, so that a short (8.3) name becomes
// the long one. Text only: no link is resolved, so the result names what
// `path` names. Letter case is left as it comes: compare with EqualNoCase or
// IsSameOrBelow. False where FullPathOf is.
bool CanonicalPathOf(const std::wstring& path, std::wstring& canonical);

// True when canonical `path` is `folder` or an item below it, in any letter
// case ("C:\ab" is not below "C:\a").
bool IsSameOrBelow(const std::wstring& path, const std::wstring& folder);

// The "\\?\" form of a full path ("\\?\UNC\server\share\..." for UNC).
std::wstring ExtendedPath(const std::wstring& fullPath);

// What an open handle reached, as a full path without "\\?\". An item that
// lies on no drive comes back as the system names it (Wine: "unix\...").
bool FinalPathOf(HANDLE handle, std::wstring& path);

// True when `handle` reached exactly the item `fullPath` names: the same
// names in every component. A link anywhere in the path, or a name that
// differs only in letter case from the one it opened, makes it false.
// Short (8.3) names and another letter case typed by the user are fine:
// they are compared with the names the folders list.
bool HandleReachesPath(HANDLE handle, const std::wstring& fullPath);

// The full path of `module` (nullptr: this program). A path that does not fit
// `cchMax` characters with its NUL is a failure, never a shortened path; the
// last error stays as the lookup left it.
HRESULT ModulePath(HMODULE module, std::wstring& path, DWORD cchMax = MAX_PATH);

}  // namespace win32
