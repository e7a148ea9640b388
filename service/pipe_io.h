// Overlapped pipe I/O that gives up as soon as the service's stop event is
// set, so that no pipe thread can be held in a read, write or connect by a
// client that went quiet.
#pragma once

#include "win32/unique_handle.h"

#include <windows.h>

#include <string>

namespace pipeio {

enum class IoOutcome {
    Done,     // the whole operation completed
    Failed,   // see the error (ERROR_MORE_DATA: a longer message, partly read)
    Stopped,  // the stop event came first; the operation was cancelled
};

// Ends an operation begun on `pipe` with `overlapped` (`started` is what the
// starting call returned). Waits for it or for `stop`; a stopped operation is
// cancelled and waited for, so `overlapped` may go out of scope afterwards.
IoOutcome Finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, HANDLE stop, DWORD& cbDone,
                 DWORD& error);

// One message, all of it; anything less is Failed.
IoOutcome WriteMessage(HANDLE pipe, HANDLE ioEvent, const std::string& bytes, HANDLE stop,
                       DWORD& error);
// One message of at most `cbBuffer` bytes.
IoOutcome ReadMessage(HANDLE pipe, HANDLE ioEvent, void* buffer, DWORD cbBuffer, HANDLE stop,
                      DWORD& cbRead, DWORD& error);

// The security every bleach pipe is created with: generic all to built-in
// guests and administrators, read, write and execute to authenticated users,
// nothing to anonymous logons; handles not inheritable.
inline constexpr wchar_t kBleachPipeSddl[] =
    L"D:(A;OICI;GA;;;BG)(D;OICI;GA;;;AN)(A;OICI;GRGWGX;;;AU)(A;OICI;GA;;;BA)";

class PipeSecurity {
public:
    PipeSecurity() = default;
    ~PipeSecurity();
    PipeSecurity(const PipeSecurity&) = delete;
    PipeSecurity& operator=(const PipeSecurity&) = delete;

    // Builds the descriptor; false (and nothing held) when it cannot be made.
    bool Init();
    SECURITY_ATTRIBUTES* Attributes() { return m_descriptor ? &m_attributes : nullptr; }

private:
    win32::UniqueLocal<PSECURITY_DESCRIPTOR> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes{};
};

}  // namespace pipeio
