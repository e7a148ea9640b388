// Stands in for regsvr32.exe beside the test program: records its command
// line (UTF-16) in the file named by SCORAVEL_REGSVR32_RECORD and does
// nothing else.
#include <windows.h>

#include <cwchar>

int wmain()
{
    wchar_t record[MAX_PATH];
    const DWORD cch = ::GetEnvironmentVariableW(L"SCORAVEL_REGSVR32_RECORD", record, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return 2;
    const HANDLE file = ::CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    const wchar_t* commandLine = ::GetCommandLineW();
    DWORD cbWritten = 0;
    ::WriteFile(file, commandLine, static_cast<DWORD>(std::wcslen(commandLine) * sizeof(wchar_t)),
                &cbWritten, nullptr);
    ::CloseHandle(file);
    return 0;
}
