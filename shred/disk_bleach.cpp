#include "shred/disk_bleach.h"

#include "engine/erase_methods.h"
#include "engine/free_space_wipe.h"
#include "shred/shred_manager.h"
#include "win32/path.h"
#include "win32/system_info.h"

#include <windows.h>

namespace {

using QueryUserTokenFn = BOOL(WINAPI*)(ULONG session, PHANDLE token);

// The name of the user logged on at the console, read while impersonating
// them; empty when any step fails (no console user, no rights, no library).
std::wstring ConsoleUserName()
{
    win32::UniqueModule wtsapi(::LoadLibraryW(L"Wtsapi32.dll"));
    if (!wtsapi)
        return {};
    const auto queryUserToken = reinterpret_cast<QueryUserTokenFn>(
        reinterpret_cast<void*>(::GetProcAddress(wtsapi.get(), "WTSQueryUserToken")));
    if (!queryUserToken)
        return {};
    const DWORD session = ::WTSGetActiveConsoleSessionId();
    if (session == 0xFFFFFFFF)
        return {};
    win32::UniqueHandleNull token;
    if (!queryUserToken(session, token.put()))
        return {};
    win32::UniqueHandleNull impersonation;
    if (!::DuplicateToken(token.get(), SecurityImpersonation, impersonation.put()))
        return {};
    if (!::ImpersonateLoggedOnUser(impersonation.get()))
        return {};
    std::wstring user = win32::CurrentUserName();
    ::RevertToSelf();
    return user;
}

// The run itself; `drive` is a drive root such as "C:\".
void RunBleach(ShredManager& manager, const std::wstring& drive)
{
    // Whatever method the profile names, the wipe uses only the writer and
    // the log that every eraser has: the free-space method's own, which
    // erases no asset, so the service links no asset erasers.
    Bleach eraser;
    eraser.SetProgress(manager.GetProgress());
    if (!CreateTempFolder(drive))
        return;
    eraser.OpenLog(DiskBleachLogPath(manager.LogFolder(), ConsoleUserName()));
    FreeSpaceWipe(eraser).Run(drive);
    eraser.CloseLog();
    RemoveTempFolders(drive);
}

}  // namespace

bool CreateTempFolder(const std::wstring& driveRoot)
{
    const std::wstring folder = driveRoot + freespace::kTempFolderName;
    return ::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveTempFolders(const std::wstring& driveRoot)
{
    std::wstring rootFinal;
    if (!freespace::FinalRootOf(driveRoot, rootFinal))
        return false;
    DWORD error = 0;
    if (!freespace::RemoveOwnFolder(driveRoot + freespace::kTempFolderName,
                                    rootFinal + freespace::kTempFolderName, error))
        return false;
    return freespace::RemoveOwnFolder(driveRoot + freespace::kPhaseThreeFolderName,
                                      rootFinal + freespace::kPhaseThreeFolderName, error);
}

std::wstring DiskBleachLogPath(const std::wstring& folder, const std::wstring& userName)
{
    return win32::JoinPath(folder, userName + L"_DiskBleachLog.txt");
}

void ShredManager::RunDiskBleach()
{
    RunBleach(*this, win32::WindowsDriveRoot());
}

void RunDiskBleachOn(ShredManager& manager, const std::wstring& driveRoot)
{
    RunBleach(manager, driveRoot);
}
