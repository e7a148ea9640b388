#include "win32/path.h"

#include "win32/last_error.h"
#include "win32/unique_handle.h"

#include <algorithm>
#include <vector>

namespace win32 {

namespace {

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

bool IsDriveAbsolute(const std::wstring& text)
{
    return text.size() >= 3 && IsDriveLetter(text[0]) && text[1] == L':' && text[2] == L'\\';
}

// Length of the root of a full path: "C:\" or "\\server\share\"; 0 for
// anything else.
size_t RootLength(const std::wstring& full)
{
    if (IsDriveAbsolute(full))
        return 3;
    if (!StartsWith(full, L"\\\\"))
        return 0;
    const size_t server = full.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2)
        return 0;
    const size_t share = full.find(L'\\', server + 1);
    if (share == server + 1)
        return 0;
    return share == std::wstring::npos ? full.size() : share + 1;
}

// `root` (ending in "\") followed by the components of `rest`, with "." and
// empty components dropped and ".." taking one back (never above the root).
std::wstring JoinComponents(std::wstring root, const std::wstring& rest)
{
    if (root.back() != L'\\')
        root += L'\\';
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(L'\\', start);
        if (end == std::wstring::npos)
            end = rest.size();
        std::wstring part = rest.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::wstring full = std::move(root);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            full += L'\\';
        full += parts[i];
    }
    return full;
}

// An absolute path (drive or UNC, "\" separators) as root and the rest.
bool SplitAbsolute(const std::wstring& text, std::wstring& root, std::wstring& rest)
{
    const size_t cchRoot = RootLength(text);
    if (cchRoot == 0)
        return false;
    root = text.substr(0, cchRoot);
    rest = text.substr(cchRoot);
    return true;
}

bool CurrentFolder(std::wstring& folder)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD cch = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (cch >= buffer.size()) {
        buffer.resize(cch + 1);
        cch = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (cch == 0 || cch >= buffer.size())
        return false;
    folder.assign(buffer.data(), cch);
    return true;
}

// The current folder of one drive ("C:" alone names it).
bool DriveCurrentFolder(wchar_t drive, std::wstring& folder)
{
    const wchar_t bare[] = {drive, L':', L'\0'};
    wchar_t buffer[MAX_PATH];
    const DWORD cch = ::GetFullPathNameW(bare, ARRAYSIZE(buffer), buffer, nullptr);
    if (cch == 0 || cch >= ARRAYSIZE(buffer))
        return false;
    folder.assign(buffer, cch);
    return IsDriveAbsolute(folder);
}

// Root case-blind (drive letters and server names), the rest exactly.
bool SameItemName(const std::wstring& a, const std::wstring& b)
{
    const size_t rootA = RootLength(a);
    const size_t rootB = RootLength(b);
    if (rootA == 0 || rootA != rootB)
        return false;
    return EqualNoCase(a.substr(0, rootA), b.substr(0, rootB)) &&
           a.compare(rootA, std::wstring::npos, b, rootB, std::wstring::npos) == 0;
}

// `full` spelled with the names its folders list (long names, and the
// letter case each item has on the disk), component by component from the
// root, as far as each is found; the rest stays as given. True when every
// component was found. A component that is empty or a pattern is never
// looked up: a listing would give some other item.
bool SpellAsListed(const std::wstring& full, std::wstring& listed)
{
    const size_t cchRoot = RootLength(full);
    if (cchRoot == 0)
        return false;
    std::wstring result = full.substr(0, cchRoot);
    size_t start = cchRoot;
    while (start < full.size()) {
        size_t end = full.find(L'\\', start);
        if (end == std::wstring::npos)
            end = full.size();
        const std::wstring part = full.substr(start, end - start);
        if (result.back() != L'\\')
            result += L'\\';
        WIN32_FIND_DATAW found;
        UniqueFind find;
        if (!part.empty() && part.find_first_of(L"*?<>\"") == std::wstring::npos)
            find.reset(::FindFirstFileW(ExtendedPath(result + part).c_str(), &found));
        if (!find) {
            listed = result + full.substr(start);
            return false;
        }
        result += found.cFileName;
        start = end + 1;
    }
    listed = std::move(result);
    return true;
}

// `full` as its folders list it; false unless every component exists.
bool ListedPathOf(const std::wstring& full, std::wstring& listed)
{
    std::wstring spelled;
    if (!SpellAsListed(full, spelled))
        return false;
    listed = std::move(spelled);
    return true;
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    const size_t start = name.find_first_not_of(L"\\/");
    const std::wstring bare = start == std::wstring::npos ? std::wstring() : name.substr(start);
    if (folder.empty())
        return bare;
    if (folder.back() == L'\\' || folder.back() == L'/')
        return folder + bare;
    return folder + L'\\' + bare;
}

std::wstring WithoutTrailingSeparators(const std::wstring& path)
{
    size_t keep = 1;
    if (IsDriveAbsolute(path))
        keep = 3;
    else if (StartsWith(path, L"\\\\?\\") && IsDriveAbsolute(path.substr(4)))
        keep = 7;
    std::wstring trimmed = path;
    while (trimmed.size() > keep && trimmed.back() == L'\\')
        trimmed.pop_back();
    return trimmed;
}

bool IsControlCharacter(wchar_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsFullyQualified(const std::wstring& path)
{
    std::wstring text = path;
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (StartsWith(text, L"\\\\?\\UNC\\"))
        text = L"\\\\" + text.substr(8);
    else if (StartsWith(text, L"\\\\?\\") || StartsWith(text, L"\\\\.\\"))
        return IsDriveAbsolute(text.substr(4));
    return RootLength(text) != 0;
}

bool FullPathOf(const std::wstring& path, std::wstring& full)
{
    std::wstring text = path;
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (StartsWith(text, L"\\\\?\\UNC\\")) {
        text = L"\\\\" + text.substr(8);
    } else if (StartsWith(text, L"\\\\?\\") || StartsWith(text, L"\\\\.\\")) {
        // Only a drive path may follow: anything else is a device or volume.
        text = text.substr(4);
        if (text.size() == 2 && IsDriveLetter(text[0]) && text[1] == L':')
            text += L'\\';
        if (!IsDriveAbsolute(text))
            return false;
    }
    if (text.empty())
        return false;

    std::wstring root;
    std::wstring rest;
    if (IsDriveLetter(text[0]) && text.size() >= 2 && text[1] == L':' && !IsDriveAbsolute(text)) {
        // "C:name" is relative to that drive's current folder.
        std::wstring current;
        if (!DriveCurrentFolder(text[0], current) || !SplitAbsolute(current, root, rest))
            return false;
        rest += L'\\' + text.substr(2);
    } else if (RootLength(text) != 0) {
        SplitAbsolute(text, root, rest);
    } else if (StartsWith(text, L"\\\\")) {
        return false;  // a server without a share
    } else {
        std::wstring current;
        if (!CurrentFolder(current) || !SplitAbsolute(current, root, rest))
            return false;
        // "\name" starts at the root of the current drive.
        rest = text[0] == L'\\' ? text : rest + L'\\' + text;
    }
    full = JoinComponents(root, rest);
    return true;
}

bool CanonicalPathOf(const std::wstring& path, std::wstring& canonical)
{
    std::wstring full;
    if (!FullPathOf(path, full))
        return false;
    // A missing item keeps the rest of its text: it still names that place.
    std::wstring spelled;
    SpellAsListed(full, spelled);
    canonical = std::move(spelled);
    return true;
}

bool IsSameOrBelow(const std::wstring& path, const std::wstring& folder)
{
    if (folder.empty() || path.size() < folder.size())
        return false;
    if (::CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                               static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL)
        return false;
    // A root ("C:\\") ends in its own separator.
    return path.size() == folder.size() || folder.back() == L'\\' || path[folder.size()] == L'\\';
}

std::wstring ExtendedPath(const std::wstring& fullPath)
{
    if (StartsWith(fullPath, L"\\\\?\\"))
        return fullPath;
    if (StartsWith(fullPath, L"\\\\"))
        return L"\\\\?\\UNC\\" + fullPath.substr(2);
    return L"\\\\?\\" + fullPath;
}

bool FinalPathOf(HANDLE handle, std::wstring& path)
{
    const DWORD cchNeeded = ::GetFinalPathNameByHandleW(handle, nullptr, 0, VOLUME_NAME_DOS);
    if (cchNeeded == 0)
        return false;
    std::wstring buffer(cchNeeded, L'\0');
    const DWORD cch =
        ::GetFinalPathNameByHandleW(handle, buffer.data(), cchNeeded, VOLUME_NAME_DOS);
    if (cch == 0 || cch >= cchNeeded)
        return false;
    buffer.resize(cch);
    if (StartsWith(buffer, L"\\\\?\\UNC\\"))
        path = L"\\\\" + buffer.substr(8);
    else if (StartsWith(buffer, L"\\\\?\\"))
        path = buffer.substr(4);
    else
        path = std::move(buffer);
    return true;
}

bool HandleReachesPath(HANDLE handle, const std::wstring& fullPath)
{
    std::wstring reached;
    if (!FinalPathOf(handle, reached))
        return false;
    reached = WithoutTrailingSeparators(reached);
    const std::wstring asked = WithoutTrailingSeparators(fullPath);
    if (SameItemName(asked, reached))
        return true;
    std::wstring listed;
    return ListedPathOf(asked, listed) && SameItemName(listed, reached);
}

HRESULT ModulePath(HMODULE module, std::wstring& path, DWORD cchMax)
{
    std::vector<wchar_t> buffer(cchMax);
    ::SetLastError(ERROR_SUCCESS);
    const DWORD cch = ::GetModuleFileNameW(module, buffer.data(), cchMax);
    if (cch >= cchMax)  // cut short to fit the buffer
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    if (cch == 0)
        return LastErrorHResult();
    path.assign(buffer.data(), cch);
    return S_OK;
}

}  // namespace win32
