#include "tests/common/child_process.h"

#include "tests/common/wait.h"

namespace testsupport {

namespace {

std::wstring Quoted(const std::wstring& argument)
{
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

std::wstring NameOf(const wchar_t* entry)
{
    const wchar_t* equals = ::wcschr(entry + 1, L'=');  // "=C:=C:\" names start with '='
    return equals ? std::wstring(entry, equals) : std::wstring(entry);
}

// The test's environment with the child's own settings applied.
std::vector<wchar_t> ChildEnvironment(const ChildOptions& options)
{
    std::vector<wchar_t> block;
    auto add = [&block](const std::wstring& entry) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    };
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += ::wcslen(entry) + 1) {
            bool replaced = false;
            for (const auto& [name, value] : options.environment)
                replaced = replaced || ::_wcsicmp(NameOf(entry).c_str(), name.c_str()) == 0;
            if (!replaced)
                add(entry);
        }
        ::FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : options.environment)
        if (!value.empty())
            add(name + L"=" + value);
    block.push_back(L'\0');
    return block;
}

}  // namespace

std::wstring QuotedArguments(const std::vector<std::wstring>& arguments)
{
    std::wstring line;
    for (const auto& argument : arguments)
        line += (line.empty() ? L"" : L" ") + Quoted(argument);
    return line;
}

std::wstring ProgramBesideTest(const std::wstring& name)
{
    wchar_t module[MAX_PATH] = {};
    const DWORD cch = ::GetModuleFileNameW(nullptr, module, ARRAYSIZE(module));
    if (cch == 0 || cch >= ARRAYSIZE(module))
        return {};
    std::wstring program = module;
    if (!name.empty())
        program = program.substr(0, program.rfind(L'\\') + 1) + name;
    // Without a drive for the host's root, Wine reaches the build tree only
    // in the \\?\ form.
    if (::GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
        program = L"\\\\?\\" + program;
    return program;
}

bool ChildProcess::Start(const std::wstring& program, const std::wstring& arguments,
                         const ChildOptions& options)
{
    Kill();
    std::wstring commandLine = Quoted(program);
    if (!arguments.empty())
        commandLine += L" " + arguments;
    std::vector<wchar_t> environment = ChildEnvironment(options);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    win32::UniqueFile errors;
    if (!options.stderrPath.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        errors.reset(::CreateFileW(options.stderrPath.c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!errors)
            return false;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = errors.get();
    }
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                          errors ? TRUE : FALSE, CREATE_UNICODE_ENVIRONMENT, environment.data(),
                          options.folder.empty() ? nullptr : options.folder.c_str(), &startup,
                          &info))
        return false;
    ::CloseHandle(info.hThread);
    m_process.reset(info.hProcess);
    m_id = info.dwProcessId;
    return true;
}

bool ChildProcess::WaitForExit(DWORD milliseconds, DWORD* code)
{
    if (!m_process)
        return true;
    if (::WaitForSingleObject(m_process.get(), milliseconds) != WAIT_OBJECT_0)
        return false;
    if (code)
        ::GetExitCodeProcess(m_process.get(), code);
    return true;
}

void ChildProcess::Kill()
{
    if (!m_process)
        return;
    if (!HasExited()) {
        ::TerminateProcess(m_process.get(), 1);
        WaitForExit(10000);
    }
    m_process.reset();
    m_id = 0;
}

bool RunAndWait(const std::wstring& program, const std::wstring& arguments,
                const ChildOptions& options, DWORD milliseconds)
{
    ChildProcess child;
    return child.Start(program, arguments, options) && child.WaitForExit(milliseconds);
}

DWORD RunRegsvr32(const std::wstring& options, const std::wstring& library)
{
    wchar_t system[MAX_PATH];
    const UINT cch = ::GetSystemDirectoryW(system, ARRAYSIZE(system));
    ChildProcess child;
    DWORD code = ~0u;
    if (cch == 0 || cch >= ARRAYSIZE(system) ||
        !child.Start(std::wstring(system) + L"\\regsvr32.exe",
                     options + L" " + QuotedArguments({library})) ||
        !child.WaitForExit(kPatienceMs, &code))
        return ~0u;
    return code;
}

}  // namespace testsupport
