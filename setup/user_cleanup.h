// The per-user clean-up of an uninstall: for every local account, the
// product key in the account's registry hive and its three scheduled tasks.
// Nothing is shown or logged; a failure only skips the step concerned.
//
// Call order: construct, then CleanUpAllUsers (or one of the steps) on a
// thread whose COM the caller has initialised.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace prelant {

// Where the profile list is read. The program always reads the system's;
// tests point it at a list of their own.
struct ProfileListLocation {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::wstring path = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
};

// Capacities in characters, terminating NUL included.
inline constexpr size_t kSidCapacity = 130;
inline constexpr size_t kSearchPathCapacity = 512;
inline constexpr size_t kHivePathCapacity = 130;

// What RemoveUserSettingsKey did.
enum RemoveResult : int {
    kKeyDeleted = 0,
    kNoSidOrHive = 1,
    kKeyNotPresent = 2,
    kKeyNotDeleted = 3,
};

class UserCleanup {
public:
    UserCleanup() = default;
    explicit UserCleanup(ProfileListLocation profileList) : m_profileList(std::move(profileList)) {}

    // Every account NetUserEnum lists: its key, then its tasks. The result of
    // the last account's key removal (kNoSidOrHive when there was none).
    int CleanUpAllUsers();

    int RemoveUserSettingsKey(const std::wstring& account);

    // The SID of the first profile whose folder's last component is the
    // account name (ASCII letters in any case); empty when none is. False
    // only when the profile list cannot be opened.
    bool FindUserSid(const std::wstring& account, std::wstring& sid);

    // The account's hive file: the profile folder of `sid` with
    // "%SystemDrive%" expanded and "\ntuser.dat" appended when it names a
    // folder. False when the profile cannot be read or the path does not fit
    // `cchCapacity` characters with its NUL; `hivePath` is then untouched.
    bool GetUserHivePath(const std::wstring& sid, std::wstring& hivePath, size_t cchCapacity);

    void DeleteUserTasks(const std::wstring& account);
    HRESULT DeleteScheduledTask(const std::wstring& name);

private:
    ProfileListLocation m_profileList;
};

// reg.exe of the Windows folder that WINDIR names.
std::wstring RegProgramPath();

}  // namespace prelant
