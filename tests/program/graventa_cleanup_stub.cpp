// Stands in for the history clean-up program in the tests: leaves a mark
// beside itself when it runs.
#include <windows.h>

#include <string>

int wmain()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD cch = ::GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (cch == 0 || cch >= ARRAYSIZE(path))
        return 1;
    std::wstring mark(path, cch);
    mark = mark.substr(0, mark.rfind(L'\\')) + L"\\cleanup-ran.txt";
    HANDLE file = ::CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    ::CloseHandle(file);
    return 0;
}
