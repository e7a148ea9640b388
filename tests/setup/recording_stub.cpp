// Stands in for msiexec.exe and reg.exe: appends "<window state>|<parameters>"
// as a UTF-16 line to the file SCORAVEL_STUB_RECORD names (state -1: none
// set), waits while the event SCORAVEL_STUB_HOLD names is unsignalled, and
// fails as an installer does (1603).
#include <windows.h>

#include <cwchar>
#include <string>

static std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD cch = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return cch < ARRAYSIZE(value) ? std::wstring(value, cch) : std::wstring();
}

int wmain()
{
    const wchar_t* tail = ::GetCommandLineW();  // the parameters follow the program's name
    tail = *tail == L'"' ? std::wcschr(tail + 1, L'"') + 1 : tail + std::wcscspn(tail, L" ");
    tail += std::wcsspn(tail, L" ");
    STARTUPINFOW startup = {};
    ::GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    const std::wstring line = std::to_wstring(show) + L"|" + tail + L"\n";
    const HANDLE file = ::CreateFileW(Variable(L"SCORAVEL_STUB_RECORD").c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !::WriteFile(file, line.c_str(), static_cast<DWORD>(line.size() * sizeof(wchar_t)),
                     &written, nullptr))
        return 2;
    ::CloseHandle(file);
    if (const HANDLE hold =
            ::OpenEventW(SYNCHRONIZE, FALSE, Variable(L"SCORAVEL_STUB_HOLD").c_str()))
        ::WaitForSingleObject(hold, 120000);
    return 1603;
}
