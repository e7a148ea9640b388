// One disk bleach of the bleach service: the run that a start request
// makes on the service thread (ShredManager::RunDiskBleach), and its temp
// folders on the drive it wipes.
#pragma once

#include <cstdint>
#include <string>

class ShredManager;

// drive + "ShredderTemp": true when it was made or already there.
bool CreateTempFolder(const std::wstring& driveRoot);
// Removes drive + "ShredderTemp" and, only when that went, drive +
// "ShredderTemp1"; each only when empty and not a link. True when both went.
bool RemoveTempFolders(const std::wstring& driveRoot);

// The bleach log: "<folder>\<user>_DiskBleachLog.txt".
std::wstring DiskBleachLogPath(const std::wstring& folder, const std::wstring& userName);

// Volumes with more free (or total) bytes than this are never wiped by the
// test entry below: a test wipe must not fill a real disk.
inline constexpr uint64_t kTestVolumeMaxBytes = 1ull << 30;

// For tests only: the run of RunDiskBleach on `driveRoot` instead of the
// system drive. Refuses (false, nothing written) a root that is not "X:\",
// drives C and Z, and any volume with more than 1 GiB free or in total.
// Requires what RunDiskBleach requires (Init, and `manager` current on the
// calling thread).
bool RunDiskBleachOnTestVolume(ShredManager& manager, const std::wstring& driveRoot);
