// A bleach client that stalls, in a process of its own: it sends one control
// message and then keeps its control connection, until the named event is
// set (at most two minutes). Given a status pipe, it reads the reply to that
// message there and sends each further command after the reply to the one
// before; it never opens the progress pipe. Every message carries this
// process's own id, as the service demands.
// Usage: stalled_client <control pipe> <command> <thread id> <event>
//                       [<status pipe> <command>...]
#include "ipc/bleach_protocol.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

// Opens `name` as soon as the server listens; false once `release` is set.
bool OpenPipe(const wchar_t* name, DWORD access, HANDLE release, win32::UniqueFile& pipe)
{
    for (int attempt = 0; attempt < 500 && !pipe; ++attempt) {
        pipe.reset(::CreateFileW(name, access, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!pipe && ::WaitForSingleObject(release, 20) != WAIT_TIMEOUT)
            return false;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    return pipe && ::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
}

bool Send(HANDLE control, const wchar_t* command, const wchar_t* threadId)
{
    const std::string message =
        FormatControlMessage(static_cast<int32_t>(std::wcstol(command, nullptr, 0)),
                             static_cast<int32_t>(::GetCurrentProcessId()),
                             static_cast<int32_t>(std::wcstol(threadId, nullptr, 10)));
    DWORD cbWritten = 0;
    return ::WriteFile(control, message.data(), static_cast<DWORD>(message.size()), &cbWritten,
                       nullptr) &&
           cbWritten == message.size();
}

bool ReadReply(HANDLE status)
{
    char reply[kCchReplyBuffer * sizeof(wchar_t)];
    DWORD cbRead = 0;
    return ::ReadFile(status, reply, sizeof(reply), &cbRead, nullptr) && cbRead > 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5 || argc == 6)
        return 2;
    const win32::UniqueHandleNull release(::OpenEventW(SYNCHRONIZE, FALSE, argv[4]));
    if (!release)
        return 3;
    win32::UniqueFile control;
    if (!OpenPipe(argv[1], GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, release.get(), control))
        return 5;
    if (!Send(control.get(), argv[2], argv[3]))
        return 6;
    win32::UniqueFile status;
    if (argc > 5) {
        if (!OpenPipe(argv[5], GENERIC_READ | FILE_WRITE_ATTRIBUTES, release.get(), status) ||
            !ReadReply(status.get()))
            return 7;
        for (int i = 6; i < argc; ++i)
            if (!Send(control.get(), argv[i], argv[3]) || !ReadReply(status.get()))
                return 8;
    }
    ::WaitForSingleObject(release.get(), 120000);
    return 0;
}
