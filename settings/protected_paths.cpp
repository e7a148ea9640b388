// The protected-path test: places that must never be shredded, whatever the
// user adds. It works on the canonical full path, so that spellings such as
// "C:/", "C:" or "C:\Windows\..\Windows" are judged as what they name.
#include "settings/settings_store.h"
#include "win32/path.h"
#include "win32/system_info.h"
#include "win32/unique_handle.h"

#include <shlwapi.h>

#include <algorithm>
#include <vector>

namespace {

using win32::EqualNoCase;

std::wstring EnvironmentValue(const wchar_t* name, const wchar_t* fallback)
{
    wchar_t value[MAX_PATH];
    const DWORD cch = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    if (cch == 0 || cch >= ARRAYSIZE(value))
        return fallback;
    return value;
}

bool IsWow64()
{
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// "X:\" or "\\server\share\" style roots keep their separator.
size_t RootLength(const std::wstring& path)
{
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\')
        return 3;
    return 0;
}

std::wstring ParentOf(const std::wstring& path)
{
    const size_t root = RootLength(path);
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return path;
    if (root && slash < root)
        return path.substr(0, root);
    return path.substr(0, slash);
}

std::wstring Upper(std::wstring text)
{
    if (!text.empty())
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

std::wstring SettingsStore::GetWindowsPattern()
{
    return win32::WindowsFolder();
}

std::wstring SettingsStore::GetProgramFilesPattern()
{
    std::wstring folder = EnvironmentValue(L"ProgramFiles", L"C:\\Program Files");
    // A 32-bit process on 64-bit Windows sees the 32-bit folder here.
    if (IsWow64()) {
        const size_t x86 = folder.find(L" (x86)");
        if (x86 != std::wstring::npos)
            folder.resize(x86);
    }
    return folder;
}

std::wstring SettingsStore::GetProgramFilesX86Pattern()
{
    // A 64-bit process must protect the 32-bit program folder as well; only
    // 32-bit Windows has none.
    if (IsWow64() || sizeof(void*) == 8)
        return EnvironmentValue(L"ProgramFiles(x86)", L"C:\\Program Files(x86)");
    return L"C:\\Program Files(x86)";
}

bool SettingsStore::CanonicalPath(const std::wstring& path, std::wstring& canonical)
{
    std::wstring text = path;
    // A bare "C:" is listed as its root by the folder walk, so judge the root.
    if (text.size() == 2 && IsDriveLetter(text[0]) && text[1] == L':')
        text += L'\\';
    std::wstring result;
    if (!win32::CanonicalPathOf(text, result))
        return false;
    canonical = win32::WithoutTrailingSeparators(result);
    return true;
}

bool SettingsStore::IsProtectedPath(const std::wstring& path)
{
    std::wstring canonical;
    if (!CanonicalPath(path, canonical))
        return true;  // what cannot be judged is not shredded
    if (IsProtectedCanonical(canonical))
        return true;
    // A link anywhere in the path can lead into a protected place: judge
    // what opening the path would reach as well.
    win32::UniqueFile item(
        ::CreateFileW(win32::ExtendedPath(canonical).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!item)
        return false;  // nothing there to be opened, so nothing to shred
    std::wstring reached;
    if (!win32::FinalPathOf(item.get(), reached) || !CanonicalPath(reached, reached))
        return true;
    return !win32::EqualNoCase(reached, canonical) && IsProtectedCanonical(reached);
}

bool SettingsStore::IsProtectedCanonical(const std::wstring& canonical)
{
    const std::wstring systemRoot = win32::SystemFolderDriveRoot();
    if (!systemRoot.empty() && EqualNoCase(canonical, systemRoot))
        return true;

    // Files directly in the system drive's root or in C:\ are protected.
    const DWORD attributes = ::GetFileAttributesW(win32::ExtendedPath(canonical).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const std::wstring parent = ParentOf(canonical);
        if ((!systemRoot.empty() && EqualNoCase(parent, systemRoot)) ||
            EqualNoCase(parent, L"C:\\"))
            return true;
    }

    const std::wstring upperPath = Upper(canonical);
    const size_t pathDot = canonical.rfind(L'.');
    const std::wstring pathExtension =
        pathDot == std::wstring::npos ? canonical : canonical.substr(pathDot);
    for (auto& pattern : m_patterns) {
        if (!pattern.empty()) {
            pattern = Upper(pattern);
            if (upperPath.find(pattern) != std::wstring::npos)
                return true;
        }
        if (pattern.find(L'*') == std::wstring::npos)
            continue;
        const size_t patternDot = pattern.rfind(L'.');
        const std::wstring patternExtension =
            patternDot == std::wstring::npos ? std::wstring() : pattern.substr(patternDot);
        if (patternExtension.empty() || pathExtension.empty())
            continue;
        // Libraries in the Recycle Bin may go (the exception compares with case).
        if (pathDot != std::wstring::npos &&
            (pathExtension == L".dll" || pathExtension == L".DLL") &&
            (canonical.find(L"$Recycle.Bin") != std::wstring::npos ||
             canonical.find(L"RECYCLER") != std::wstring::npos))
            return false;
        if (EqualNoCase(patternExtension, pathExtension))
            return true;
    }
    return false;
}
