// A bleach client that stalls, in a process of its own: it sends one control
// message and then keeps its control connection without ever opening the
// status pipe, until the named event is set (at most two minutes). The
// message carries this process's own id, as the service demands.
// Usage: stalled_client <control pipe> <command> <thread id> <event>
#include "ipc/bleach_protocol.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5)
        return 2;
    const win32::UniqueHandleNull release(::OpenEventW(SYNCHRONIZE, FALSE, argv[4]));
    if (!release)
        return 3;
    const std::string message =
        FormatControlMessage(static_cast<int32_t>(std::wcstol(argv[2], nullptr, 0)),
                             static_cast<int32_t>(::GetCurrentProcessId()),
                             static_cast<int32_t>(std::wcstol(argv[3], nullptr, 10)));
    win32::UniqueFile control;
    for (int attempt = 0; attempt < 500 && !control; ++attempt) {
        control.reset(::CreateFileW(argv[1], GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        if (!control && ::WaitForSingleObject(release.get(), 20) != WAIT_TIMEOUT)
            return 4;
    }
    if (!control)
        return 5;
    DWORD mode = PIPE_READMODE_MESSAGE;
    DWORD cbWritten = 0;
    if (!::SetNamedPipeHandleState(control.get(), &mode, nullptr, nullptr) ||
        !::WriteFile(control.get(), message.data(), static_cast<DWORD>(message.size()), &cbWritten,
                     nullptr) ||
        cbWritten != message.size())
        return 6;
    ::WaitForSingleObject(release.get(), 120000);
    return 0;
}
