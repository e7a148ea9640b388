// Counters of the shred run in progress, shared by the erase methods and the
// shred manager of this process. One writer at a time in practice; atomics
// keep a second, overlapping run from tearing the 64-bit count.
#pragma once

#include <atomic>
#include <cstdint>

// Weight of what the run has finished or skipped.
extern std::atomic<uint64_t> BytesDone;
// The last percentage handed to the progress reporter.
extern std::atomic<int32_t> LastPercent;
// Set when any file, folder or registry entry of the run was destroyed; the
// shred manager reads and clears it.
extern std::atomic<bool> AnyAssetShredded;
