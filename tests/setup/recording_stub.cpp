// Stands in for msiexec.exe and reg.exe: appends "<its own path>|<window
// state>|<parameters>" as a UTF-16 line to the file SCORAVEL_STUB_RECORD
// names (state -1: none set), waits while the event SCORAVEL_STUB_HOLD
// names is unsignalled, and ends with the exit code SCORAVEL_STUB_EXIT
// gives, or as a failed install does (1603) without it.
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
    wchar_t self[MAX_PATH] = {};
    const DWORD cchSelf = ::GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    if (cchSelf == 0 || cchSelf >= ARRAYSIZE(self))
        return 2;
    STARTUPINFOW startup = {};
    ::GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    const std::wstring line =
        std::wstring(self, cchSelf) + L"|" + std::to_wstring(show) + L"|" + tail + L"\n";
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
    const std::wstring exitCode = Variable(L"SCORAVEL_STUB_EXIT");
    return exitCode.empty() ? 1603 : static_cast<int>(std::wcstoul(exitCode.c_str(), nullptr, 10));
}
