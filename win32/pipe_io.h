// Overlapped pipe I/O that gives up as soon as a stop event is set (or a
// deadline passes), so that no pipe thread can be held in a read, write or
// connect by a client that went quiet; and the security a pipe is created
// with.
#pragma once

#include "win32/unique_handle.h"

#include <windows.h>

#include <string>

namespace pipeio {

enum class IoOutcome {
    Done,      // the whole operation completed
    Failed,    // see the error (ERROR_MORE_DATA: a longer message, partly read)
    Stopped,   // the stop event came first; the operation was cancelled
    TimedOut,  // the deadline came first; the operation was cancelled
};

// Ends an operation begun on `pipe` with `overlapped` (`started` is what the
// starting call returned). Waits for it, for `stop` or for `timeoutMs`; an
// operation not done is cancelled and waited for, so `overlapped` may go out
// of scope afterwards.
IoOutcome Finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, HANDLE stop, DWORD& cbDone,
                 DWORD& error, DWORD timeoutMs = INFINITE);

// One message, all of it; anything less is Failed.
IoOutcome WriteMessage(HANDLE pipe, HANDLE ioEvent, const std::string& bytes, HANDLE stop,
                       DWORD& error);
// One message (or what a byte pipe has) of at most `cbBuffer` bytes.
IoOutcome ReadMessage(HANDLE pipe, HANDLE ioEvent, void* buffer, DWORD cbBuffer, HANDLE stop,
                      DWORD& cbRead, DWORD& error, DWORD timeoutMs = INFINITE);

// A pipe's security descriptor, built from its SDDL text, with handles that
// are not inheritable.
class PipeSecurity {
public:
    PipeSecurity() = default;
    ~PipeSecurity();
    PipeSecurity(const PipeSecurity&) = delete;
    PipeSecurity& operator=(const PipeSecurity&) = delete;

    // Builds the descriptor; false (and nothing held) when it cannot be made.
    bool Init(const wchar_t* sddl);
    SECURITY_ATTRIBUTES* Attributes() { return m_descriptor ? &m_attributes : nullptr; }

private:
    win32::UniqueLocal<PSECURITY_DESCRIPTOR> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes{};
};

}  // namespace pipeio
