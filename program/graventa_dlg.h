// The command window of the resident shredding program: a hidden dialog
// titled "Graventa" that the plug-in, the desktop icon and the program's own
// forwarded verbs drive with WM_SETTEXT (wParam a MainWindowCommand code,
// lParam a text or null). It starts the operation threads, keeps at most one
// shred-all and one bleach running, shreds at shutdown when the settings ask
// for it, and turns the user's key sequence into a hot key.
//
// A WM_SETTEXT with a code (any wParam but 0) is a command and never becomes
// the title: a sender that gave up before putting the title back would leave
// the window where no sender finds it. Only a plain one (0, the senders'
// title restore) goes on to the default processing.
#pragma once

#include "framework/dialog.h"
#include "program/bleach_operation.h"
#include "program/operations.h"
#include "program/ui/graventa_shred_ui.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CGraventaDlg : public fw::CDialog {
public:
    CGraventaDlg();
    ~CGraventaDlg() override;

    // The launchers. Each starts its operation on a thread of its own; the
    // shred-one and browser launchers wait for it while the wait flag is 1
    // (always so in the verb role, where no window is ever made).
    void StartShredOne(const wchar_t* path);
    void StartBrowserOperation(int kind, const wchar_t* verb);
    void StartShredAll(bool shutdownMode);
    // Starts the free-space bleach, or shows the running one's progress.
    void StartDiskBleach();

    void RegisterShredHotKey();
    void RemoveDesktopIcon();
    void NotifyShredAllOfEndSession(int value) { m_shredAll.NotifyEndSession(value); }
    // Blocks until every operation thread started here has ended: they use
    // this object's members.
    void WaitForOperations();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    using BlockReasonCreateFn = BOOL(WINAPI*)(HWND, LPCWSTR);
    using BlockReasonDestroyFn = BOOL(WINAPI*)(HWND);

    void OnSetText(WPARAM code, const wchar_t* text);
    // Starts `operation`; waits for it when `wait`, else keeps its thread
    // for WaitForOperations. False when it could not be started.
    bool Launch(std::unique_ptr<fw::CThread> operation, bool wait);
    // False to let the default processing answer; true with `answer` set.
    bool OnQueryEndSession(LPARAM reason, LRESULT& answer);
    void OnEndSession(bool ending);
    void ShowBleachProgress();
    void DestroyBlockReason();
    // Writes "Autocleanhistory" = 1 when a post-shred action started the
    // history clean-up program.
    void RecordHistoryCleanup();

    // 1: the shred-one and browser launchers wait, and a new shred-all is
    // unattended. 1 until the window exists; each command sets it.
    int m_wait = 1;
    HICON m_icon = nullptr;
    // What every operation's manager asks and announces through: declared
    // before the slot, so it outlives anything the window started.
    GraventaShredUi m_shredUi;
    ShredAllSlot m_shredAll;
    // The threads of the operations not waited for at their start (ended
    // ones are dropped at the next start): the end of the session and the
    // destructor wait for them, whoever started them.
    std::vector<win32::UniqueHandleNull> m_operationThreads;
    // Set by every shred-all at its end; made with the window and reset
    // before each shred at shutdown, so a stale signal never counts.
    win32::UniqueHandleNull m_doneEvent;
    BleachSlot m_bleach;
    bool m_shutdownPending = false;
    BlockReasonCreateFn m_blockReasonCreate = nullptr;
    BlockReasonDestroyFn m_blockReasonDestroy = nullptr;
    BOOL m_blockReasonSet = FALSE;
};

