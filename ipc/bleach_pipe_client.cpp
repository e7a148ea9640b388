#include "ipc/bleach_pipe_client.h"

#include "ipc/bleach_protocol.h"

namespace {

// A reply is a few dozen bytes; the buffer keeps its last two bytes zero so
// that whatever is read always ends in a NUL.
constexpr DWORD kCbReplyBuffer = 512;

bool UseMessageReadMode(HANDLE pipe)
{
    DWORD mode = PIPE_READMODE_MESSAGE;
    return ::SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr) != FALSE;
}

}  // namespace

DWORD BleachPipeClientAccess(BleachPipeRole role)
{
    return role == BleachPipeRole::Control ? kControlPipeClientAccess : kReplyPipeClientAccess;
}

bool OpenBleachPipe(const std::wstring& name, BleachPipeRole role, win32::UniqueFile& pipe)
{
    const DWORD access = BleachPipeClientAccess(role);
    const ULONGLONG startMs = ::GetTickCount64();
    for (;;) {
        win32::UniqueFile opened(::CreateFileW(name.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                               kBleachPipeClientFlags, nullptr));
        if (opened) {
            if (!UseMessageReadMode(opened.get()))
                return false;
            pipe = std::move(opened);
            return true;
        }
        if (::GetLastError() != ERROR_PIPE_BUSY)
            return false;
        // Another client may take the instance the wait found free: wait
        // again, but never past the one deadline, or a flood of clients
        // would hold the caller (the host's window thread, for one) for good.
        const ULONGLONG waitedMs = ::GetTickCount64() - startMs;
        if (waitedMs >= kBleachPipeBusyWaitMs)
            return false;
        const auto leftMs = static_cast<DWORD>(kBleachPipeBusyWaitMs - waitedMs);
        // 0 would mean the pipe's own default time-out.
        if (!::WaitNamedPipeW(name.c_str(), leftMs > 0 ? leftMs : 1))
            return false;
    }
}

bool WriteControlMessage(HANDLE pipe, int32_t command, int32_t processId, int32_t threadId)
{
    if (!UseMessageReadMode(pipe))
        return false;
    const std::string message = FormatControlMessage(command, processId, threadId);
    DWORD cbWritten = 0;
    return ::WriteFile(pipe, message.data(), static_cast<DWORD>(message.size()), &cbWritten,
                       nullptr) &&
           cbWritten == message.size();
}

bool ReadBleachReply(HANDLE pipe, int32_t& value, int32_t processId, int32_t threadId)
{
    // Continued while the service reports more data; each part is taken as a
    // text of its own.
    for (;;) {
        wchar_t buffer[kCbReplyBuffer / sizeof(wchar_t)] = {};
        DWORD cbRead = 0;
        const BOOL read =
            ::ReadFile(pipe, buffer, kCbReplyBuffer - sizeof(wchar_t), &cbRead, nullptr);
        const DWORD error = read ? ERROR_SUCCESS : ::GetLastError();
        if (!read && error != ERROR_MORE_DATA)
            return false;
        int32_t pid = 0;
        int32_t tid = 0;
        int32_t field = 0;
        if (ParseReply(buffer, pid, tid, field) && pid == processId && tid == threadId)
            value = field;
        if (read)
            return true;
    }
}
