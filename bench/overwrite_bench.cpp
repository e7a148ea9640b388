// Times OneX on one large file or on a folder of small files, inside the
// process (Wine's process start is not in it), and reports the process's
// memory so that a run over a large file can be compared with a run over a
// small one (the writer's buffers do not grow with the file). What reached
// the disk is counted outside, by bench/run-overwrite-bench.sh.
//   overwrite_bench file <path>     shred one file: seconds
//   overwrite_bench tree <folder>   list a folder (list_seconds), then shred
//                                   it whole (seconds)
#include "engine/erase_methods.h"
#include "engine/progress_reporter.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>

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

void PrintMemory()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (::GetProcessMemoryInfo(::GetCurrentProcess(),
                               reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                               sizeof(counters)))
        std::printf("peak_working_set_kib=%zu private_kib=%zu\n",
                    counters.PeakWorkingSetSize / 1024, counters.PrivateUsage / 1024);
}

size_t CountFiles(AssetList& children)
{
    size_t files = 0;
    for (auto& child : children) {
        if (auto* folder = dynamic_cast<DocFolder*>(child.get()))
            files += CountFiles(folder->GetChildren());
        else
            ++files;
    }
    return files;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 || (wcscmp(argv[1], L"file") != 0 && wcscmp(argv[1], L"tree") != 0)) {
        std::fprintf(stderr, "usage: overwrite_bench file <path> | tree <folder>\n");
        return 2;
    }
    // Silent: no window, never stopped.
    ProgressReporter progress;
    OneX eraser;
    eraser.SetProgress(&progress);
    if (wcscmp(argv[1], L"file") == 0) {
        DocFile file;
        file.SetPath(argv[2]);
        const LARGE_INTEGER start = Now();
        eraser.Erase(&file);
        const LARGE_INTEGER end = Now();
        std::printf("destroyed=%d bytes=%llu seconds=%.3f\n", file.GetStatus() == kAssetDestroyed,
                    static_cast<unsigned long long>(file.GetSize()), Seconds(start, end));
    } else {
        const LARGE_INTEGER listStart = Now();
        DocFolder folder;
        folder.SetPath(argv[2], false);
        const LARGE_INTEGER start = Now();
        const size_t files = CountFiles(folder.GetChildren());
        eraser.Erase(&folder);
        const LARGE_INTEGER end = Now();
        std::printf("destroyed=%d files=%zu list_seconds=%.3f seconds=%.3f\n",
                    folder.GetStatus() == kAssetDestroyed, files, Seconds(listStart, start),
                    Seconds(start, end));
    }
    PrintMemory();
    return 0;
}
