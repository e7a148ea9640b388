// A stand-in for the host's console, for the plug-in's tests: appends its
// arguments to "console-started.txt" beside itself and ends.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

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
    return RecordConsoleStart(argc, argv);
}
