#include "engine/traces/trace_folder.h"

#include "settings/settings_store.h"
#include "win32/path.h"
#include "win32/system_info.h"

#include <knownfolders.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

namespace {

// Shell folders of the user's own files.
constexpr int kContentFolders[] = {
    CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_MYPICTURES, CSIDL_MYMUSIC,
    CSIDL_MYVIDEO,  CSIDL_FAVORITES,
};
// Shell folders that a trace may not be nor hold; folders inside them (the
// Windows folder's Temp, the profile's AppData) are fine.
constexpr int kSystemFolders[] = {
    CSIDL_WINDOWS, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROFILE,
};
constexpr const wchar_t* kSystemVariables[] = {
    L"USERPROFILE", L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432",
};

bool Canonical(const std::wstring& path, std::wstring& canonical)
{
    return !path.empty() && SettingsStore::CanonicalPath(path, canonical);
}

// Both where the shell says the folder is now and where it would be by
// default: either may hold the user's files.
void AddShellFolder(int csidl, std::vector<std::wstring>& folders)
{
    for (const DWORD type : {SHGFP_TYPE_CURRENT, SHGFP_TYPE_DEFAULT}) {
        wchar_t path[MAX_PATH] = {};
        std::wstring canonical;
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, type, path)) &&
            Canonical(path, canonical))
            folders.push_back(canonical);
    }
}

void AddDownloads(std::vector<std::wstring>& folders)
{
    PWSTR path = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_DONT_VERIFY, nullptr, &path))) {
        std::wstring canonical;
        if (Canonical(path, canonical))
            folders.push_back(canonical);
    }
    ::CoTaskMemFree(path);
}

void AddVariable(const wchar_t* name, std::vector<std::wstring>& folders)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD cch = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    std::wstring canonical;
    if (cch > 0 && cch < ARRAYSIZE(value) && Canonical(value, canonical))
        folders.push_back(canonical);
}

// `inner` is `outer` or lies below it; both canonical.
bool IsSameOrInside(const std::wstring& inner, const std::wstring& outer)
{
    if (inner.size() < outer.size() ||
        !win32::EqualNoCase(inner.substr(0, outer.size()), outer))
        return false;
    return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

}  // namespace

bool IsTraceFolderAllowed(const std::wstring& folder)
{
    if (win32::HasControlCharacter(folder) || !win32::IsFullyQualified(folder))
        return false;
    std::wstring canonical;
    if (!Canonical(folder, canonical) || ::PathIsRootW(canonical.c_str()))
        return false;

    std::vector<std::wstring> system;
    for (const int csidl : kSystemFolders)
        AddShellFolder(csidl, system);
    for (const wchar_t* name : kSystemVariables)
        AddVariable(name, system);
    for (const std::wstring& windows :
         {win32::SystemWindowsProgramPath(L""), win32::WindowsFolder()}) {
        std::wstring place;
        if (Canonical(windows, place))
            system.push_back(place);
    }
    for (const auto& place : system) {
        if (IsSameOrInside(place, canonical))
            return false;
    }

    std::vector<std::wstring> content;
    for (const int csidl : kContentFolders)
        AddShellFolder(csidl, content);
    AddDownloads(content);
    for (const auto& place : content) {
        if (IsSameOrInside(place, canonical) || IsSameOrInside(canonical, place))
            return false;
    }
    return true;
}

std::unique_ptr<DocFileList> MakeRefusedTrace(const std::wstring& folder)
{
    auto refused = std::make_unique<DocFileList>();
    refused->ReplacePath(folder);
    refused->SetRefused(true);
    return refused;
}
