#include "setup/user_cleanup.h"

#include "settings/install_location.h"
#include "setup/started_program.h"
#include "tasks/task_scheduler.h"
#include "win32/registry.h"
#include "win32/system_info.h"
#include "win32/unique_handle.h"

#include <lm.h>

#include <cwchar>
#include <vector>

namespace prelant {

namespace {

constexpr wchar_t kProfilePathValue[] = L"ProfileImagePath";
constexpr wchar_t kSystemDriveVariable[] = L"%SystemDrive%";
constexpr wchar_t kHiveFileName[] = L"\\ntuser.dat";
// Profile list subkey names, NUL included.
constexpr DWORD kSubkeyNameCapacity = 1024;

wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualAsciiNoCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

// "ProfileImagePath" of `key` when it is a string that fits `cchCapacity`
// characters with its NUL. A longer path is refused, not cut short: a
// shortened path names another folder.
bool ReadProfilePath(HKEY key, size_t cchCapacity, std::wstring& path)
{
    std::wstring value;
    if (win32::ReadString(key, kProfilePathValue, value) != ERROR_SUCCESS ||
        value.size() >= cchCapacity)
        return false;
    path = std::move(value);
    return true;
}

std::wstring LastComponent(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool NamesFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whether `text` stays one argument between quotation marks: no quotation
// mark of its own, no backslash before the closing one (it would escape
// it), no control character.
bool QuotesAsOneArgument(const std::wstring& text)
{
    if (text.empty() || text.back() == L'\\')
        return false;
    for (wchar_t c : text)
        if (c == L'"' || c < L' ')
            return false;
    return true;
}

void RunReg(const std::wstring& parameters)
{
    // reg.exe fails to load a hive that is loaded already (the user is
    // logged on) and to unload one it did not load; both are expected.
    DWORD exitCode = 0;
    setupprog::StartAndWait(RegProgramPath(), parameters, SW_HIDE, exitCode);
}

// Deletes the product key below the loaded hive of `sid`. The hive is the
// user's: any key of it can be a link to another user's key or a machine
// key, and this program runs elevated, so no link is followed.
int DeleteProductKey(const std::wstring& sid)
{
    const std::wstring path = sid + L"\\" + kProductKeyPath;
    // A 64-bit key reflected into the 32-bit view would come back.
    win32::UniqueKey key;
    const bool opened =
        win32::OpenKeyNoLinks(HKEY_USERS, path.c_str(), KEY_QUERY_VALUE, key) == ERROR_SUCCESS;
    if (opened)
        ::RegDisableReflectionKey(key.get());
    const LSTATUS status = win32::DeleteTreeNoLinks(HKEY_USERS, path.c_str());
    if (opened)
        ::RegEnableReflectionKey(key.get());
    if (status == ERROR_FILE_NOT_FOUND)
        return kKeyNotPresent;
    return status == ERROR_SUCCESS ? kKeyDeleted : kKeyNotDeleted;
}

}  // namespace

std::wstring RegProgramPath()
{
    return win32::WindowsFolder() + L"\\system32\\reg.exe";
}

int UserCleanup::CleanUpAllUsers()
{
    int result = kNoSidOrHive;
    DWORD resume = 0;
    NET_API_STATUS status;
    do {
        BYTE* page = nullptr;
        DWORD read = 0;
        DWORD total = 0;
        status = ::NetUserEnum(nullptr, 0, FILTER_NORMAL_ACCOUNT, &page, MAX_PREFERRED_LENGTH,
                               &read, &total, &resume);
        if ((status == NERR_Success || status == ERROR_MORE_DATA) && page) {
            const auto* users = reinterpret_cast<const USER_INFO_0*>(page);
            for (DWORD i = 0; i < read; ++i) {
                if (!users[i].usri0_name)
                    continue;
                const std::wstring account = users[i].usri0_name;
                result = RemoveUserSettingsKey(account);
                DeleteUserTasks(account);
            }
        }
        if (page)
            ::NetApiBufferFree(page);
    } while (status == ERROR_MORE_DATA);
    return result;
}

int UserCleanup::RemoveUserSettingsKey(const std::wstring& account)
{
    // Starts empty for every account: a SID left from another account would
    // delete that account's settings.
    std::wstring sid;
    if (!FindUserSid(account, sid) || sid.empty())
        return kNoSidOrHive;
    std::wstring hivePath;
    if (!GetUserHivePath(sid, hivePath, kHivePathCapacity))
        return kNoSidOrHive;
    // Both come from the registry and go into reg.exe's command line.
    if (!win32::LooksLikeSid(sid) || !QuotesAsOneArgument(hivePath))
        return kNoSidOrHive;

    const std::wstring hiveKey = L"\"HKU\\" + sid + L"\"";
    RunReg(L"load " + hiveKey + L" \"" + hivePath + L"\"");
    const int result = DeleteProductKey(sid);
    RunReg(L"unload " + hiveKey);
    return result;
}

bool UserCleanup::FindUserSid(const std::wstring& account, std::wstring& sid)
{
    win32::UniqueKey list;
    if (win32::OpenKey(m_profileList.root, m_profileList.path.c_str(),
                       KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, list) != ERROR_SUCCESS)
        return false;
    sid.clear();
    std::vector<wchar_t> name(kSubkeyNameCapacity);
    for (DWORD index = 0;; ++index) {
        DWORD cchName = kSubkeyNameCapacity;
        const LSTATUS status = ::RegEnumKeyExW(list.get(), index, name.data(), &cchName, nullptr,
                                               nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        const std::wstring subkey(name.data(), cchName);
        // A name that is no SID, or a path that is no single argument, would
        // end up as something else in reg.exe's command line.
        if (!win32::LooksLikeSid(subkey))
            continue;
        win32::UniqueKey profile;
        std::wstring path;
        if (win32::OpenKey(list.get(), subkey.c_str(), KEY_QUERY_VALUE, profile) != ERROR_SUCCESS ||
            !ReadProfilePath(profile.get(), kSearchPathCapacity, path) ||
            !QuotesAsOneArgument(path))
            continue;
        if (EqualAsciiNoCase(LastComponent(path), account) && subkey.size() < kSidCapacity) {
            sid = subkey;
            break;
        }
    }
    return true;
}

bool UserCleanup::GetUserHivePath(const std::wstring& sid, std::wstring& hivePath,
                                  size_t cchCapacity)
{
    if (sid.empty() || cchCapacity == 0)
        return false;
    win32::UniqueKey profile;
    std::wstring path;
    if (win32::OpenKey(m_profileList.root, (m_profileList.path + L"\\" + sid).c_str(),
                       KEY_QUERY_VALUE, profile) != ERROR_SUCCESS ||
        !ReadProfilePath(profile.get(), cchCapacity, path))
        return false;
    if (path.find(kSystemDriveVariable) != std::wstring::npos) {
        std::vector<wchar_t> expanded(cchCapacity, L'\0');
        const DWORD cch = ::ExpandEnvironmentStringsW(path.c_str(), expanded.data(),
                                                      static_cast<DWORD>(cchCapacity));
        // The count includes the NUL; more than the buffer holds means it
        // did not fit.
        if (cch == 0 || cch > cchCapacity)
            return false;
        path.assign(expanded.data());
    }
    if (NamesFolder(path)) {
        if (path.size() + std::wcslen(kHiveFileName) >= cchCapacity)
            return false;
        path += kHiveFileName;
    }
    hivePath = std::move(path);
    return true;
}

void UserCleanup::DeleteUserTasks(const std::wstring& account)
{
    // A task the account never had is not an error worth stopping for.
    DeleteScheduledTask(ShredAllTaskName(account));
    DeleteScheduledTask(SystemStartupTaskName(account));
    DeleteScheduledTask(DiskBleachTaskName(account));
}

HRESULT UserCleanup::DeleteScheduledTask(const std::wstring& name)
{
    TaskScheduler tasks;
    return tasks.DeleteTask(name);
}

}  // namespace prelant
