#include "setup/started_program.h"

#include "win32/unique_handle.h"

#include <shellapi.h>

namespace setupprog {

bool StartAndWait(const wchar_t* file, const std::wstring& parameters, int show)
{
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    // No message box of the shell's own for a program that cannot be found:
    // these programs report nothing.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = file;
    execute.lpParameters = parameters.c_str();
    execute.nShow = show;
    if (!::ShellExecuteExW(&execute))
        return false;
    // No process handle when the shell handed the file to a running program.
    const win32::UniqueHandleNull process(execute.hProcess);
    if (process)
        ::WaitForSingleObject(process.get(), INFINITE);
    return true;
}

}  // namespace setupprog
