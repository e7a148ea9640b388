#include "tests/service/test_volume.h"

#include "framework/build_seams.h"
#include "service/bleach_server.h"
#include "shred/disk_bleach.h"
#include "win32/system_info.h"

#include <cwctype>

bool RunDiskBleachOnTestVolume(ShredManager& manager, const std::wstring& driveRoot)
{
    if (driveRoot.size() != 3 || driveRoot[1] != L':' || driveRoot[2] != L'\\')
        return false;
    const wchar_t letter = static_cast<wchar_t>(std::towupper(driveRoot[0]));
    if (letter < L'A' || letter > L'Z' || letter == L'C' || letter == L'Z')
        return false;
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER freeTotal{};
    if (!::GetDiskFreeSpaceExW(driveRoot.c_str(), &available, &total, &freeTotal))
        return false;
    if (freeTotal.QuadPart > kTestVolumeMaxBytes || total.QuadPart > kTestVolumeMaxBytes)
        return false;
    RunDiskBleachOn(manager, driveRoot);
    return true;
}

ServiceOptions TestServiceOptions(DWORD argc, wchar_t** argv)
{
    ServiceOptions options;
    const std::wstring prefix = fw::kTestPipesArgument;
    for (DWORD i = 1; argv && i < argc; ++i) {
        const std::wstring argument = argv[i] ? argv[i] : L"";
        if (argument.compare(0, prefix.size(), prefix) != 0)
            continue;
        options.pipes = BleachPipeNames::WithSuffix(argument.substr(prefix.size()));
        options.runWipe = [](ShredManager& manager) {
            RunDiskBleachOnTestVolume(manager, win32::WindowsDriveRoot());
        };
    }
    return options;
}
