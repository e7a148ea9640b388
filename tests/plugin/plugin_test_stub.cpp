// Two stand-ins in one small program, for the plug-in's tests:
//   --graventa <log>  a window titled "Graventa" that appends each command
//                     code it is sent (WM_SETTEXT with a code) to <log>;
//   anything else     the host's console: appends its arguments to
//                     "console-started.txt" beside itself and ends.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t* g_log = nullptr;

void AppendLine(const wchar_t* path, const std::wstring& line)
{
    const HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::wstring text = line + L"\n";
    char utf8[4096] = {};
    const int cb = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         utf8, sizeof(utf8), nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(file, utf8, static_cast<DWORD>(cb), &written, nullptr);
    ::CloseHandle(file);
}

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT && wParam != 0) {
        wchar_t code[16] = {};
        ::swprintf(code, ARRAYSIZE(code), L"%X", static_cast<unsigned>(wParam));
        AppendLine(g_log, code);
    }
    if (message == WM_CLOSE) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

int RunRecorder(const wchar_t* log)
{
    g_log = log;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ScoravelGraventaRecorder";
    if (!::RegisterClassW(&wc) ||
        !::CreateWindowExW(0, wc.lpszClassName, L"Graventa", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                           nullptr, wc.hInstance, nullptr))
        return 1;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
    return 0;
}

int RecordConsoleStart(int argc, wchar_t** argv)
{
    wchar_t self[MAX_PATH] = {};
    const DWORD cch = ::GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    if (cch == 0 || cch >= ARRAYSIZE(self))
        return 1;
    std::wstring log = self;
    log = log.substr(0, log.rfind(L'\\') + 1) + L"console-started.txt";
    std::wstring arguments;
    for (int i = 1; i < argc; ++i)
        arguments += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    AppendLine(log.c_str(), arguments);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"--graventa") == 0)
        return RunRecorder(argv[2]);
    return RecordConsoleStart(argc, argv);
}
