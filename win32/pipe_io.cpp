#include "win32/pipe_io.h"

#include <sddl.h>

#include <utility>

namespace pipeio {

PipeSecurity::~PipeSecurity() = default;

bool PipeSecurity::Init(const wchar_t* sddl)
{
    win32::UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                descriptor.put(), nullptr))
        return false;
    m_descriptor = std::move(descriptor);
    m_attributes.nLength = sizeof(m_attributes);
    m_attributes.lpSecurityDescriptor = m_descriptor.get();
    m_attributes.bInheritHandle = FALSE;
    return true;
}

IoOutcome Finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, HANDLE stop, DWORD& cbDone,
                 DWORD& error, DWORD timeoutMs)
{
    cbDone = 0;
    error = ERROR_SUCCESS;
    if (!started) {
        error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            // A message longer than the buffer still delivered its first part.
            if (error == ERROR_MORE_DATA)
                ::GetOverlappedResult(pipe, &overlapped, &cbDone, FALSE);
            return IoOutcome::Failed;
        }
        const HANDLE waits[] = {overlapped.hEvent, stop};
        const DWORD waited = ::WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
        if (waited != WAIT_OBJECT_0) {
            ::CancelIoEx(pipe, &overlapped);
            ::GetOverlappedResult(pipe, &overlapped, &cbDone, TRUE);
            cbDone = 0;
            error = waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : ERROR_OPERATION_ABORTED;
            return waited == WAIT_TIMEOUT ? IoOutcome::TimedOut : IoOutcome::Stopped;
        }
    }
    if (!::GetOverlappedResult(pipe, &overlapped, &cbDone, FALSE)) {
        error = ::GetLastError();
        return IoOutcome::Failed;
    }
    return IoOutcome::Done;
}

IoOutcome WriteMessage(HANDLE pipe, HANDLE ioEvent, const std::string& bytes, HANDLE stop,
                       DWORD& error)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = ioEvent;
    const DWORD cbMessage = static_cast<DWORD>(bytes.size());
    const BOOL started = ::WriteFile(pipe, bytes.data(), cbMessage, nullptr, &overlapped);
    DWORD cbWritten = 0;
    const IoOutcome outcome = Finish(pipe, overlapped, started, stop, cbWritten, error);
    if (outcome == IoOutcome::Done && cbWritten != cbMessage) {
        error = ERROR_WRITE_FAULT;
        return IoOutcome::Failed;
    }
    return outcome;
}

IoOutcome ReadMessage(HANDLE pipe, HANDLE ioEvent, void* buffer, DWORD cbBuffer, HANDLE stop,
                      DWORD& cbRead, DWORD& error, DWORD timeoutMs)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = ioEvent;
    const BOOL started = ::ReadFile(pipe, buffer, cbBuffer, nullptr, &overlapped);
    return Finish(pipe, overlapped, started, stop, cbRead, error, timeoutMs);
}

}  // namespace pipeio
