// Stands in for msiexec.exe and reg.exe in the setup programs' tests. Appends
// one UTF-16 line "<window state>|<parameters>" to the file named by
// SCORAVEL_STUB_RECORD (the state is -1 when the starter set none), then waits
// while the event named by SCORAVEL_STUB_HOLD is unsignalled, and ends with
// the code in SCORAVEL_STUB_EXIT.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD cch = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return cch > 0 && cch < ARRAYSIZE(value) ? std::wstring(value, cch) : std::wstring();
}

// The command line after the program's name.
const wchar_t* Parameters()
{
    const wchar_t* tail = ::GetCommandLineW();
    if (*tail == L'"') {
        tail = std::wcschr(tail + 1, L'"');
        tail = tail ? tail + 1 : L"";
    } else {
        while (*tail && *tail != L' ')
            ++tail;
    }
    while (*tail == L' ')
        ++tail;
    return tail;
}

}  // namespace

int wmain()
{
    const std::wstring record = Variable(L"SCORAVEL_STUB_RECORD");
    if (record.empty())
        return 1;
    STARTUPINFOW startup = {};
    ::GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    const std::wstring line = std::to_wstring(show) + L"|" + Parameters() + L"\n";
    const HANDLE file =
        ::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    DWORD written = 0;
    ::WriteFile(file, line.c_str(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                nullptr);
    ::CloseHandle(file);

    const std::wstring hold = Variable(L"SCORAVEL_STUB_HOLD");
    if (!hold.empty()) {
        const HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, hold.c_str());
        if (event) {
            ::WaitForSingleObject(event, 120000);
            ::CloseHandle(event);
        }
    }
    return static_cast<int>(std::wcstoul(Variable(L"SCORAVEL_STUB_EXIT").c_str(), nullptr, 10));
}
