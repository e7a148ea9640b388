#include "setup/started_program.h"

#include "win32/unique_handle.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace setupprog {

namespace {

// The last error, never 0: a call that failed must not read as success.
DWORD LastErrorOr(DWORD fallback)
{
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

}  // namespace

DWORD StartAndWait(const std::wstring& program, const std::wstring& parameters, int show,
                   DWORD& exitCode)
{
    // Only a full path says which program runs.
    if (program.empty() || ::PathIsRelativeW(program.c_str()))
        return ERROR_BAD_PATHNAME;
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    // No message box of the shell's own for a program that cannot be found:
    // these programs report nothing.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = program.c_str();
    execute.lpParameters = parameters.c_str();
    execute.nShow = show;
    if (!::ShellExecuteExW(&execute))
        return LastErrorOr(ERROR_GEN_FAILURE);
    // Without a process handle (the shell handed the file to a running
    // program) there is no end to wait for and no result to pass on.
    const win32::UniqueHandleNull process(execute.hProcess);
    if (!process)
        return ERROR_INVALID_HANDLE;
    DWORD code = 0;
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.get(), &code))
        return LastErrorOr(ERROR_GEN_FAILURE);
    exitCode = code;
    return ERROR_SUCCESS;
}

}  // namespace setupprog
