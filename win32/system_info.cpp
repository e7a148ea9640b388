#include "win32/system_info.h"

#include "win32/path.h"
#include "win32/unique_handle.h"

#include <lmcons.h>
#include <sddl.h>

#include <vector>

namespace win32 {

namespace {

constexpr wchar_t kDefaultWindowsFolder[] = L"C:\\WINDOWS";
constexpr wchar_t kDefaultDriveRoot[] = L"C:\\";

// A folder as one of the system's own lookups reports it; empty when it
// cannot be had or does not fit.
std::wstring FolderFromSystem(UINT(WINAPI* lookup)(LPWSTR, UINT))
{
    wchar_t folder[MAX_PATH];
    const UINT cch = lookup(folder, ARRAYSIZE(folder));
    if (cch == 0 || cch >= ARRAYSIZE(folder))
        return {};
    return std::wstring(folder, cch);
}

}  // namespace

std::wstring WindowsFolder()
{
    const DWORD cch = ::GetEnvironmentVariableW(L"WINDIR", nullptr, 0);
    if (cch == 0)
        return kDefaultWindowsFolder;
    std::wstring folder(cch, L'\0');
    const DWORD cchGot = ::GetEnvironmentVariableW(L"WINDIR", folder.data(), cch);
    if (cchGot == 0 || cchGot >= cch)
        return kDefaultWindowsFolder;
    folder.resize(cchGot);
    return folder;
}

std::wstring WindowsDriveRoot()
{
    const std::wstring folder = WindowsFolder();
    const size_t slash = folder.find(L'\\');
    if (slash == std::wstring::npos)
        return kDefaultDriveRoot;
    return folder.substr(0, slash + 1);
}

std::wstring SystemFolder()
{
    return FolderFromSystem(::GetSystemDirectoryW);
}

std::wstring SystemProgramPath(const wchar_t* name)
{
    const std::wstring folder = SystemFolder();
    return folder.empty() ? std::wstring() : JoinPath(folder, name);
}

std::wstring SystemWindowsProgramPath(const wchar_t* name)
{
    const std::wstring folder = FolderFromSystem(::GetSystemWindowsDirectoryW);
    return folder.empty() ? std::wstring() : JoinPath(folder, name);
}

std::wstring SystemFolderDriveRoot()
{
    const std::wstring folder = SystemFolder();
    if (folder.empty())
        return {};
    const size_t slash = folder.find(L'\\');
    return slash == std::wstring::npos ? folder : folder.substr(0, slash + 1);
}

std::wstring CurrentUserName()
{
    std::vector<wchar_t> name(UNLEN + 1);
    DWORD cchName = static_cast<DWORD>(name.size());
    if (!::GetUserNameW(name.data(), &cchName)) {
        // The count now holds the size needed, its terminator included.
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || cchName <= name.size())
            return {};
        name.resize(cchName);
        if (!::GetUserNameW(name.data(), &cchName))
            return {};
    }
    name.back() = L'\0';
    return name.data();
}

bool TokenUserSidString(HANDLE token, std::wstring& sid)
{
    DWORD cbUser = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &cbUser);
    if (cbUser < sizeof(TOKEN_USER))
        return false;
    std::vector<BYTE> user(cbUser);
    if (!::GetTokenInformation(token, TokenUser, user.data(), cbUser, &cbUser))
        return false;
    UniqueLocal<wchar_t*> text;
    if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid,
                                  text.put()))
        return false;
    sid.assign(text.get());
    return true;
}

bool LooksLikeSid(const std::wstring& text)
{
    if (text.size() < 5 || text.compare(0, 4, L"S-1-") != 0)
        return false;
    return text.find_first_not_of(L"S-0123456789") == std::wstring::npos;
}

std::wstring SystemMessageText(DWORD error, DWORD languageId)
{
    UniqueLocal<wchar_t*> buffer;
    const DWORD cch = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, languageId, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    if (cch == 0 || !buffer)
        return {};
    return std::wstring(buffer.get(), cch);
}

namespace {
constexpr LONGLONG kTicksPerSecond = 10000000;
constexpr LONGLONG kEpochTicks = 116444736000000000;  // 1601-01-01 to 1970-01-01
}  // namespace

bool LocalTimeOf(std::time_t moment, SYSTEMTIME& local)
{
    if (moment < 0 || moment > (MAXLONGLONG - kEpochTicks) / kTicksPerSecond)
        return false;
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(moment) * kTicksPerSecond + kEpochTicks;
    const FILETIME file = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME utc;
    SYSTEMTIME result;
    if (!::FileTimeToSystemTime(&file, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &result))
        return false;
    local = result;
    return true;
}

bool MomentOf(const SYSTEMTIME& local, std::time_t& moment)
{
    SYSTEMTIME utc;
    FILETIME file;
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !::SystemTimeToFileTime(&utc, &file))
        return false;
    const ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
    // Before 1970 the moment is negative; integer division rounds toward
    // zero, which only matters below a second.
    moment = static_cast<std::time_t>((static_cast<LONGLONG>(ticks.QuadPart) - kEpochTicks) /
                                      kTicksPerSecond);
    return true;
}

}  // namespace win32
