// The guards of every test wipe: a wipe under test runs only on a small
// volume of its own, never on the system drive or a real disk.
#pragma once

#include "service/service_frame.h"
#include "shred/shred_manager.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Volumes with more free (or total) bytes than this are never wiped by a
// test: a test wipe must not fill a real disk.
inline constexpr uint64_t kTestVolumeMaxBytes = 1ull << 30;

// RunDiskBleachOn for tests: refuses (false, nothing written) a root that is
// not "X:\", drives C and Z, and any volume with more than 1 GiB free or in
// total.
bool RunDiskBleachOnTestVolume(ShredManager& manager, const std::wstring& driveRoot);

// The options of the test build of the service: a start with
// "/test-pipes:<suffix>" serves pipes with that suffix and wipes only
// through RunDiskBleachOnTestVolume (on the system drive it refuses).
ServiceOptions TestServiceOptions(DWORD argc, wchar_t** argv);
