// Stands in for hh.exe in the test prefix: appends what it was asked to open
// (its command line after the program's name) as one UTF-16 line to the file
// named by SCORAVEL_HH_RECORD, and shows nothing.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain()
{
    wchar_t recordPath[MAX_PATH] = {};
    const DWORD cch =
        ::GetEnvironmentVariableW(L"SCORAVEL_HH_RECORD", recordPath, ARRAYSIZE(recordPath));
    if (cch == 0 || cch >= ARRAYSIZE(recordPath))
        return 1;
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
    const std::wstring line = std::wstring(tail) + L"\n";
    const HANDLE file =
        ::CreateFileW(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    DWORD written = 0;
    ::WriteFile(file, line.c_str(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                nullptr);
    ::CloseHandle(file);
    return 0;
}
