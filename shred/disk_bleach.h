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

// The run of RunDiskBleach on the drive root `driveRoot` instead of the
// system drive (tests give it a small volume of their own). Requires what
// RunDiskBleach requires (Init, and `manager` current on the calling thread).
void RunDiskBleachOn(ShredManager& manager, const std::wstring& driveRoot);
