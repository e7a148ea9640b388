// Times the free-space wipe of a small volume and prints what it measured per
// filled byte: every filled byte is written with three patterns (0x00, 0xFF,
// random), but what counts is the space filled: the sum of what each file
// the wipe made reached (the bytes that reach the disk are counted by the
// script, from the block device). "fill" is phase I
// alone (the bulk of the space, in 128-cluster chunks); "wipe" is the whole
// call, with the byte-by-byte tail of phases II and III and the give-back.
//   free_space_bench <drive root>     (for example "U:\")
// Refuses drives C and Z and any volume with more than 1 GiB free or in total.
#include "engine/erase_methods.h"
#include "engine/file_calls.h"
#include "engine/free_space_wipe.h"
#include "engine/progress_reporter.h"
#include "shred/disk_bleach.h"
#include "tests/service/test_volume.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

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

// Phase I runs from the first file the wipe opens to the second. What a file
// reaches is the space it filled: the three patterns go over the same bytes.
class PhaseClock : public FileCalls {
public:
    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override
    {
        if (++m_opens == 1)
            fillStart = Now();
        else if (m_opens == 2)
            fillEnd = Now();
        m_reached.push_back(0);
        const HANDLE file = FileCalls::Open(path, access, share, disposition, flags);
        m_handles.push_back(file);
        return file;
    }
    BOOL Write(HANDLE file, const void* data, DWORD cbData, DWORD* cbWritten) override
    {
        const BOOL written = FileCalls::Write(file, data, cbData, cbWritten);
        LARGE_INTEGER zero{};
        LARGE_INTEGER position{};
        if (written && ::SetFilePointerEx(file, zero, &position, FILE_CURRENT)) {
            // The latest file of that handle (handles are reused once closed).
            for (size_t i = m_handles.size(); i-- > 0;) {
                if (m_handles[i] == file) {
                    const auto reached = static_cast<unsigned long long>(position.QuadPart);
                    if (reached > m_reached[i])
                        m_reached[i] = reached;
                    break;
                }
            }
        }
        return written;
    }
    unsigned long long FillFilled() const { return m_reached.empty() ? 0 : m_reached[0]; }
    unsigned long long Filled() const
    {
        unsigned long long sum = 0;
        for (unsigned long long reached : m_reached)
            sum += reached;
        return sum;
    }

    LARGE_INTEGER fillStart{};
    LARGE_INTEGER fillEnd{};

private:
    int m_opens = 0;
    std::vector<HANDLE> m_handles;
    std::vector<unsigned long long> m_reached;
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
    if (drive.size() != 3 || drive[1] != L':' || wcschr(L"CcZz", drive[0]) ||
        !::GetDiskFreeSpaceExW(drive.c_str(), &available, &total, &freeBytes) ||
        freeBytes.QuadPart > kTestVolumeMaxBytes || total.QuadPart > kTestVolumeMaxBytes) {
        std::fprintf(stderr, "free_space_bench: %ls is not a small bench volume\n", drive.c_str());
        return 1;
    }
    ProgressReporter progress;  // silent
    auto eraser = MakeEraser(5);
    eraser->SetProgress(&progress);
    PhaseClock clock;
    eraser->SetFileCalls(&clock);
    const LARGE_INTEGER start = Now();
    const bool wiped = FreeSpaceWipe(*eraser).Run(drive);
    const LARGE_INTEGER end = Now();
    const double seconds = Seconds(start, end);
    const double fillSeconds = Seconds(clock.fillStart, clock.fillEnd);
    const unsigned long long filled = clock.Filled();
    auto mibPerSecond = [](double bytes, double s) { return s > 0 ? bytes / 1048576.0 / s : 0.0; };
    std::printf(
        "wiped=%d filled_bytes=%llu seconds=%.3f mib_per_s=%.1f "
        "fill_filled_bytes=%llu fill_seconds=%.3f fill_mib_per_s=%.1f\n",
        wiped ? 1 : 0, filled, seconds, mibPerSecond(static_cast<double>(filled), seconds),
        clock.FillFilled(), fillSeconds,
        mibPerSecond(static_cast<double>(clock.FillFilled()), fillSeconds));
    return wiped ? 0 : 1;
}
