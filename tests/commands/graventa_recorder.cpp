// A stand-in for the shredding program's command window, in a process of its
// own: a top-level window titled "Graventa" that appends every WM_SETTEXT it
// receives to the file named by its one argument, one UTF-16 line each, the
// code in hex, a tab and the text. It answers the title's restoring send
// with kRecorderAnswer, so that a test sees the sender pass the window's
// answer on. Ends when its window is closed.
//
// With "hung" as its second argument it first stays away from its queue, as
// a window held up in a handler does, until a message is sent or posted to
// it (or a minute has passed): the system calls it hung after five seconds.
// A sender that queues a command for it anyway sees it taken and answered.
#include "tests/commands/graventa_recorder.h"

#include <windows.h>

#include <string>

namespace {

std::wstring g_recordPath;

void Record(WPARAM code, const wchar_t* text)
{
    wchar_t hex[32] = {};
    ::wsprintfW(hex, L"%lX\t", static_cast<unsigned long>(code));
    const std::wstring line = hex + std::wstring(text ? text : L"<null>") + L"\n";
    const HANDLE file =
        ::CreateFileW(g_recordPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, line.c_str(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                nullptr);
    ::CloseHandle(file);
}

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETTEXT: {
        Record(wParam, reinterpret_cast<const wchar_t*>(lParam));
        const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
        return wParam == 0 && result ? plugintest::kRecorderAnswer : result;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

constexpr DWORD kStallMs = 60000;

void StayAwayFromTheQueue()
{
    const ULONGLONG end = ::GetTickCount64() + kStallMs;
    // GetQueueStatus only looks: it neither waits on the queue nor counts as
    // taking a message.
    constexpr UINT kWaiting = QS_SENDMESSAGE | QS_POSTMESSAGE;
    while (::GetTickCount64() < end && !(HIWORD(::GetQueueStatus(kWaiting)) & kWaiting))
        ::Sleep(10);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2 && !(argc == 3 && std::wstring(argv[2]) == L"hung"))
        return 2;
    g_recordPath = argv[1];
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ScoravelGraventaRecorder";
    if (!::RegisterClassW(&wc))
        return 3;
    const HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"Graventa", WS_OVERLAPPEDWINDOW, 0,
                                          0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window)
        return 4;
    if (argc == 3)
        StayAwayFromTheQueue();
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
