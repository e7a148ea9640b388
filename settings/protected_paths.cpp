// The protected-path test: places that must never be shredded, whatever the
// user adds. It works on the canonical full path, so that spellings such as
// "C:/", "C:" or "C:\Windows\..\Windows" are judged as what they name.
#include "settings/settings_store.h"

#include <shlwapi.h>

#include <algorithm>
#include <vector>

namespace {

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

bool EqualNoCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The system drive's root ("C:\"), from the system folder; empty when the
// system folder cannot be read.
std::wstring SystemDriveRoot()
{
    wchar_t system[MAX_PATH];
    const UINT cch = ::GetSystemDirectoryW(system, ARRAYSIZE(system));
    if (cch == 0 || cch >= ARRAYSIZE(system))
        return {};
    std::wstring folder(system, cch);
    const size_t slash = folder.find(L'\\');
    return slash == std::wstring::npos ? folder : folder.substr(0, slash + 1);
}

}  // namespace

std::wstring SettingsStore::GetWindowsPattern()
{
    return EnvironmentValue(L"WINDIR", L"C:\\WINDOWS");
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
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (text.rfind(L"\\\\?\\UNC\\", 0) == 0)
        text = L"\\\\" + text.substr(8);
    else if (text.rfind(L"\\\\?\\", 0) == 0 || text.rfind(L"\\\\.\\", 0) == 0)
        text = text.substr(4);
    if (text.empty())
        return false;
    // A bare "C:" is listed as its root by the folder walk, so judge the root.
    if (text.size() == 2 && IsDriveLetter(text[0]) && text[1] == L':')
        text += L'\\';

    std::vector<wchar_t> full(MAX_PATH);
    DWORD cch = ::GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (cch >= full.size()) {
        full.resize(cch + 1);
        cch = ::GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (cch == 0 || cch >= full.size())
        return false;
    std::wstring result(full.data(), cch);

    std::vector<wchar_t> longName(result.size() + MAX_PATH);
    cch = ::GetLongPathNameW(result.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
    if (cch >= longName.size()) {
        longName.resize(cch + 1);
        cch = ::GetLongPathNameW(result.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
    }
    if (cch > 0 && cch < longName.size())
        result.assign(longName.data(), cch);

    const size_t root = RootLength(result);
    while (result.size() > std::max<size_t>(root, 1) && result.back() == L'\\')
        result.pop_back();
    canonical = std::move(result);
    return true;
}

bool SettingsStore::IsProtectedPath(const std::wstring& path)
{
    std::wstring canonical;
    if (!CanonicalPath(path, canonical))
        return true;  // what cannot be judged is not shredded

    const std::wstring systemRoot = SystemDriveRoot();
    if (!systemRoot.empty() && EqualNoCase(canonical, systemRoot))
        return true;

    // Files directly in the system drive's root or in C:\ are protected.
    if (!::PathIsDirectoryW(canonical.c_str())) {
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
