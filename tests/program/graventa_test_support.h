// Helpers for driving the real Graventa.exe from a test: a copy of it in a
// scratch install folder, started as a child process, found by its window,
// answered through its own dialogs, and heard through a stand-in of the
// plug-in's tray pipe.
#pragma once

#include "settings/profile_body.h"
#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace graventatest {

using testsupport::kPatienceMs;
using testsupport::WaitUntil;

// A built program of this tree as a path Wine can open.
std::wstring BuiltProgram(const char* unixPath);

struct ChildOptions {
    // SCORAVEL_UNATTENDED_UI=1 (the test rig's own setting): every dialog the
    // child would show is refused at once, which counts as No or Cancel.
    // Without it the test answers the dialogs itself (DialogShows, Press).
    bool unattended = true;
    // Where the child's standard error goes (empty: the test's own).
    std::wstring stderrPath;
    // Set in the child's environment; an empty value removes the name.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
};

class GraventaProcess {
public:
    GraventaProcess() = default;
    ~GraventaProcess();
    GraventaProcess(const GraventaProcess&) = delete;
    GraventaProcess& operator=(const GraventaProcess&) = delete;

    // `program` with `arguments` (each quoted), in `folder`.
    bool Start(const std::wstring& program, const std::vector<std::wstring>& arguments,
               const std::wstring& folder, const ChildOptions& options = {});
    // The command window of this process, once it answers messages.
    HWND WaitForWindow();
    HWND Window() const { return m_window; }
    DWORD Id() const { return m_child.Id(); }
    // True once the process has ended; its exit code in `code`.
    bool WaitForExit(DWORD timeoutMs, DWORD* code = nullptr)
    {
        return m_child.WaitForExit(timeoutMs, code);
    }
    bool HasExited() { return m_child.HasExited(); }
    // Asks the message loop to end; kills the process when it does not.
    void Stop();

private:
    testsupport::ChildProcess m_child;
    HWND m_window = nullptr;
};

// Top-level windows titled "Graventa", of any process.
std::vector<HWND> WindowsTitledGraventa();
// Kills every process that owns such a window (left over by a failed run).
void KillStrayResidents();

// A dialog window of process `pid` that has a control `controlId`
// (1004 warning text, 1005 question text, 1002 the progress window's stop
// button), or null.
HWND FindDialogOf(DWORD pid, int controlId);
HWND WaitForDialogOf(DWORD pid, int controlId);
std::wstring ControlText(HWND dialog, int controlId);
// Waits until a dialog of process `pid` shows `text` in control `controlId`
// and puts it in `dialog`. A dialog window exists before its initialisation
// has set its message: only the message shows that it is ready to answer.
// Fails with the last text seen when none does in time.
::testing::AssertionResult DialogShows(DWORD pid, int controlId, const std::wstring& text,
                                       HWND& dialog);
// Presses a button of a dialog in another process.
void Press(HWND dialog, int buttonId);

// Sends WM_SETTEXT(code, text) the way the product's senders do and reports
// the title the window has afterwards.
std::wstring SendCommand(HWND window, UINT code, const wchar_t* text);

// The bleach service's control pipe, made by the test with one instance. A
// writer (Graventa) reaches it only while it listens: while the test's own
// client holds the instance, a writer waits for it up to its own limit.
class ControlPipe {
public:
    explicit ControlPipe(const std::wstring& name = L"\\\\.\\pipe\\OVSCBleachControl");
    bool Ready() const { return static_cast<bool>(m_pipe); }
    // Takes the one instance with a client of the test's own.
    bool Occupy();
    // Drops that client and listens for the next writer.
    bool Listen();
    // What the next writer sent (empty when none did in time); the
    // connection is then dropped.
    std::wstring ReadMessage(DWORD* cbRead = nullptr);

private:
    std::wstring m_name;
    win32::UniqueFile m_pipe;
    win32::UniqueFile m_client;
    win32::UniqueHandleNull m_event{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED m_overlapped{};
};

// True once nobody holds the file open for writing any more (the run that
// writes the log has closed it); the file must exist.
bool IsClosedFile(const std::wstring& path);
std::string ReadText(const std::wstring& path);
size_t CountOf(const std::string& text, const std::string& part);

// What a test profile asks for: an Advanced profile with every trace off and
// no confirmation, that shreds exactly `files` (one pass).
struct TestProfile {
    std::vector<std::wstring> files;
    std::vector<std::wstring> excluded;
    // Traces shredded (without confirmation).
    std::vector<TraceKind> traces;
    bool shredAtShutdown = false;
    // Ctrl+Alt+<hotKey>; 0: no hot key.
    wchar_t hotKey = 0;
};

// Every test starts with clean product keys, a scratch install folder holding
// a copy of Graventa.exe ("InstallLocation", success logging on) and a
// scratch data folder; no Graventa may be left running afterwards.
class GraventaTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override;
    void TearDown() override;

    void SaveProfile(const TestProfile& profile);
    // The resident instance, started and answering.
    void StartResident(const ChildOptions& options = {});
    // Runs Graventa.exe with `arguments` and waits for its end.
    void RunVerb(const std::vector<std::wstring>& arguments, const ChildOptions& options = {});

    // Writes `cb` bytes of a pattern of its own to `path` and remembers them.
    std::wstring Put(const std::wstring& path, size_t cb);
    // Files of several sizes, a read-only one and a nested folder under
    // `root`; their paths.
    std::vector<std::wstring> MakeTree(const std::wstring& root);
    // Every file keeps the bytes it was written with.
    bool Untouched(const std::vector<std::wstring>& files);
    bool NoneLeft(const std::vector<std::wstring>& files);
    // The log exists and its run has closed it.
    bool LogIsComplete();

    testsupport::ScratchFolder install;
    testsupport::ScratchFolder data;
    std::wstring exe;
    std::wstring log;
    GraventaProcess resident;

private:
    std::map<std::wstring, std::string> m_written;
};

}  // namespace graventatest
