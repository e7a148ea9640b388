// Times the free-space wipe of a small volume and prints what it wrote:
// every filled byte is written three times (0x00, 0xFF, random), so
// bytes_written is three times the space filled. "fill" is phase I alone
// (the bulk of the space, in 128-cluster chunks); "wipe" is the whole call,
// with the byte-by-byte tail of phases II and III and the give-back.
//   free_space_bench <drive root>     (for example "U:\")
// Refuses any volume with more than 1 GiB free or in total.
#include "engine/disk_bleach.h"
#include "engine/erase_methods.h"
#include "engine/file_calls.h"
#include "engine/free_space_wipe.h"
#include "engine/shred_manager.h"
#include "tests/service/test_volume.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return now;
}

// Phase I runs from the first file the wipe opens to the second.
class PhaseClock : public FileCalls {
public:
    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override
    {
        if (++m_opens == 1)
            fillStart = Now();
        else if (m_opens == 2)
            fillEnd = Now();
        return FileCalls::Open(path, access, share, disposition, flags);
    }
    BOOL Write(HANDLE file, const void* data, DWORD cbData, DWORD* cbWritten) override
    {
        const BOOL written = FileCalls::Write(file, data, cbData, cbWritten);
        if (written && m_opens == 1)
            fillBytes += *cbWritten;
        return written;
    }

    LARGE_INTEGER fillStart{};
    LARGE_INTEGER fillEnd{};
    unsigned long long fillBytes = 0;

private:
    int m_opens = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: free_space_bench <drive root>\n");
        return 2;
    }
    const std::wstring drive = argv[1];
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER freeBytes{};
    if (drive.size() != 3 || drive[1] != L':' || drive[0] == L'C' || drive[0] == L'c' ||
        !::GetDiskFreeSpaceExW(drive.c_str(), &available, &total, &freeBytes) ||
        freeBytes.QuadPart > kTestVolumeMaxBytes || total.QuadPart > kTestVolumeMaxBytes) {
        std::fprintf(stderr, "free_space_bench: %ls is not a small bench volume\n", drive.c_str());
        return 1;
    }
    ShredManager manager(true);
    SetCurrentShredManager(&manager);
    auto eraser = MakeEraser(5);
    PhaseClock clock;
    eraser->SetFileCalls(&clock);
    const LARGE_INTEGER start = Now();
    const bool wiped = FreeSpaceWipe(*eraser).Run(drive);
    const LARGE_INTEGER end = Now();
    SetCurrentShredManager(nullptr);
    const double seconds = Seconds(start, end);
    const double fillSeconds = Seconds(clock.fillStart, clock.fillEnd);
    const unsigned long long filled = freeBytes.QuadPart;
    auto mibPerSecond = [](double bytes, double s) { return s > 0 ? bytes / 1048576.0 / s : 0.0; };
    std::printf(
        "wiped=%d filled_bytes=%llu bytes_written=%llu seconds=%.3f mib_per_s=%.1f "
        "fill_bytes_written=%llu fill_seconds=%.3f fill_mib_per_s=%.1f\n",
        wiped ? 1 : 0, filled, 3 * filled, seconds,
        mibPerSecond(3.0 * static_cast<double>(filled), seconds), clock.fillBytes, fillSeconds,
        mibPerSecond(static_cast<double>(clock.fillBytes), fillSeconds));
    return wiped ? 0 : 1;
}
