#include "engine/traces/browser.h"

#include "win32/string_table.h"

#include <shlobj.h>

std::unique_ptr<IDAsset> Browser::MakeUrlListAsset(bool)
{
    return nullptr;
}

std::unique_ptr<IDAsset> Browser::MakeAutoCompleteAsset(bool)
{
    return nullptr;
}

std::unique_ptr<IDAsset> Browser::MakeTempFilesAsset(bool)
{
    return nullptr;
}

std::unique_ptr<IDAsset> Browser::MakeHistoryAsset(bool)
{
    return nullptr;
}

std::unique_ptr<IDAsset> Browser::MakeCookiesAsset(bool)
{
    return nullptr;
}

bool Browser::ShellFolder(int csidl, std::wstring& path)
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)) &&
        FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, folder)))
        return false;
    folder[MAX_PATH - 1] = L'\0';
    if (folder[0] == L'\0')
        return false;
    path.assign(folder);
    return true;
}

bool Browser::IsFullPath(const std::wstring& path)
{
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
        return true;
    return path.size() > 2 && path[0] == L'\\' && path[1] == L'\\';
}

std::wstring Browser::TraceName(UINT id)
{
    return win32::LoadTableString(::GetModuleHandleW(nullptr), id);
}
