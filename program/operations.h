// The worker threads of the shredding program. Each job runs on a thread of
// its own, created suspended and then resumed, so that the command window
// stays responsive; each builds a shred manager that asks through the
// program's IShredUi, runs the job with it, and destroys it. The objects
// delete themselves when their thread ends.
#pragma once

#include "framework/thread.h"
#include "program/operation_slot.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class CShredAllOperation;
class IShredUi;
class ShredManager;

// Browser operation kinds.
inline constexpr int kBrowserInternetExplorer = 16;
inline constexpr int kBrowserFirefox = 17;

// Starts `operation` (created suspended, then resumed). When `thread` is
// given it receives a handle of its own to the thread, taken before the
// thread can run, so that the caller can wait for it after the object has
// deleted itself. False when the thread could not be made; the object is
// then destroyed here.
bool LaunchOperation(std::unique_ptr<fw::CThread> operation, win32::UniqueHandleNull* thread);


// Full paths are handled in MAX_PATH buffers. A longer one is refused with a
// line in the user's shred log, never cut (a cut path can name another file).
bool RefuseOverlongPath(const std::wstring& path);

// One file or folder the user named. The operations ask and announce
// through `ui`, which outlives them.
class CShredOneOperation : public fw::CWorkerThread {
public:
    CShredOneOperation(IShredUi& ui, std::wstring path) : m_ui(ui), m_path(std::move(path)) {}

protected:
    BOOL InitInstance() override;

private:
    IShredUi& m_ui;
    std::wstring m_path;
};

// One browser's extension or traces: kind 16 Internet Explorer ("InstallTessick",
// "RemoveTessick", "ShredIE"), 17 Firefox ("InstallFFBho", "RemoveFFBho",
// "ShredFF"); the verb must match exactly.
class CBHOOperation : public fw::CWorkerThread {
public:
    CBHOOperation(IShredUi& ui, int kind, std::wstring verb)
        : m_ui(ui), m_kind(kind), m_verb(std::move(verb))
    {
    }

protected:
    BOOL InitInstance() override;

private:
    IShredUi& m_ui;
    int m_kind;
    std::wstring m_verb;
};

// What the command window and its one running shred-all share. The lock
// keeps the operation alive while the window talks to it: the operation
// detaches itself (Finish) before it destroys its manager, and the window
// reaches it only under the lock.
class ShredAllSlot : public OperationSlot<CShredAllOperation> {
public:
    // When one runs: brings its progress window forward and, when
    // `notifyWindow` is given, makes it report its end there. False when none
    // runs.
    bool ShowRunning(HWND notifyWindow);
    // When one runs: it stops before its next item (the log-on ends).
    void NotifyEndSession(int value);

    // The operation's thread, at its end: clears the running flag and gives
    // back the window to notify (or null). The window no longer touches the
    // operation afterwards.
    HWND Finish(CShredAllOperation* operation);
};

// Everything the active profile selects: interactive (confirmations where the
// profile asks for them) or unattended (no dialogs: the forwarded scheduled
// verb and the shred at shutdown).
class CShredAllOperation : public fw::CWorkerThread {
public:
    // `doneEvent` (may be null) is set at the end; `notifyWindow` (a shred at
    // shutdown) gets WM_QUERYENDSESSION (0, 0) once the run has ended.
    CShredAllOperation(IShredUi& ui, ShredAllSlot& slot, HANDLE doneEvent, HWND notifyWindow,
                       bool unattended);
    ~CShredAllOperation() override;

    // Called through the slot, under its lock.
    void ShowProgress();
    void SetNotifyWindow(HWND window) { m_notifyWindow.store(window); }
    HWND NotifyWindow() const { return m_notifyWindow.load(); }
    // The log-on ends: the run stops before its next item and logs so. Before
    // the manager exists the line "ENDSESSION" goes to the user's log, and
    // the run stops before its first item once it starts.
    void WriteEndSessionLine(int value);

protected:
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    IShredUi& m_ui;
    ShredAllSlot& m_slot;
    HANDLE m_doneEvent;
    std::atomic<ShredManager*> m_manager{nullptr};
    std::atomic<HWND> m_notifyWindow;
    std::atomic<int> m_endSession{0};
    bool m_unattended;
};
