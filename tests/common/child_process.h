// Starting programs from a test: a real child process with its own command
// line, environment, folder and standard error; waited for, or killed when
// the test ends first.
#pragma once

#include "win32/unique_handle.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ChildOptions {
    // Current folder of the child (empty: the test's).
    std::wstring folder;
    // Set in the child's copy of the test's environment; an empty value
    // removes the name.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    // Where the child's standard error goes (empty: the test's own).
    std::wstring stderrPath;
};

// Each argument quoted the way CommandLineToArgvW reads it back.
std::wstring QuotedArguments(const std::vector<std::wstring>& arguments);

// A program next to this test program (empty `name`: the test program
// itself), in a form Wine can open.
std::wstring ProgramBesideTest(const std::wstring& name = {});

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // `program` with `arguments` as the command line's tail, taken as is.
    bool Start(const std::wstring& program, const std::wstring& arguments,
               const ChildOptions& options = {});
    // True once the process has ended (or never started); its exit code in `code`.
    bool WaitForExit(DWORD milliseconds, DWORD* code = nullptr);
    bool HasExited() { return WaitForExit(0); }
    // Ends the process if it still runs and waits until it has.
    void Kill();
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.get(); }

private:
    win32::UniqueHandleNull m_process;
    DWORD m_id = 0;
};

// Starts `program` and waits up to `milliseconds` for its end.
bool RunAndWait(const std::wstring& program, const std::wstring& arguments,
                const ChildOptions& options = {}, DWORD milliseconds = 60000);

// The system's regsvr32 with `options` on `library`: its exit code, or ~0
// when it did not start or end.
DWORD RunRegsvr32(const std::wstring& options, const std::wstring& library);

}  // namespace testsupport
