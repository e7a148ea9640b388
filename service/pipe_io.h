// The bleach service's pipes: the overlapped I/O and security of
// win32/pipe_io.h, and the access list every pipe is created with.
#pragma once

#include "win32/pipe_io.h"

#include <windows.h>

namespace pipeio {

// The security every bleach pipe is created with: everything to the local
// system account (the service's own) and to administrators; to
// authenticated users and built-in guests what a client needs to read and
// write messages (read, write data, the attributes, synchronise, read
// control) but never FILE_CREATE_PIPE_INSTANCE (FILE_APPEND_DATA on a
// pipe), so that no other program can serve instances of the service's
// pipes to its clients; nothing to anonymous logons.
inline constexpr wchar_t kBleachPipeSddl[] =
    L"D:(D;;GA;;;AN)(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x12018b;;;AU)(A;;0x12018b;;;BG)";

}  // namespace pipeio
