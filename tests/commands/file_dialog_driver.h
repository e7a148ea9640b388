// Drives a running common file dialog the way a user would: each action runs
// on the dialog's own thread (from a timer of the dialog window) while the
// script that asks for them runs on a thread of the test and waits for the
// states it needs. A responder of the UI seam starts the driver at the
// dialog's first CDN_INITDONE.
#pragma once

#include "framework/ui_seam.h"

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plugintest {

class DialogDriver {
public:
    // The script returns false when a step failed: the dialog is then
    // cancelled so that DoModal returns.
    using Script = std::function<bool(DialogDriver&)>;

    DialogDriver() = default;
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // For the responder: attaches to `dialog` and runs `script` on a thread
    // of its own. Returns fw::kUiLetRun, or IDCANCEL when it cannot start.
    INT_PTR Start(HWND dialog, Script script);
    // Waits for the script's thread (after DoModal returned).
    void Join();
    // True once the script ran to its end with every step done.
    bool Succeeded() const { return m_succeeded; }
    HWND Dialog() const { return m_dialog; }

    // Runs `action` on the dialog's thread and waits for it; false when the
    // dialog went away first.
    bool OnDialog(const std::function<void()>& action);
    // Polls `state` on the dialog's thread until it holds.
    bool WaitFor(const std::function<bool()>& state);

    // Actions and views of the dialog, all run on its thread.
    bool Navigate(const std::wstring& folder);  // shows `folder` (the browser's BrowseObject)
    bool NavigateToComputer();
    bool Select(const std::wstring& shownText);
    bool ClearSelection();
    bool Open(const std::wstring& shownText);  // a double click on the item
    bool Press(int buttonId);                  // BM_CLICK
    std::vector<std::wstring> Items();         // the texts the list shows
    std::wstring FolderShown();                // CDM_GETFOLDERPATH as the dialog gives it
    bool IsEnabled(int controlId);

private:
    static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
    void RunPending();
    HWND List() const;

    HWND m_dialog = nullptr;
    std::thread m_thread;
    bool m_succeeded = false;
    std::mutex m_lock;
    std::condition_variable m_changed;
    const std::function<void()>* m_pending = nullptr;
    bool m_running = false;
};

// The shown text of `fileName` in a list that may hide extensions.
bool ShowsAs(const std::wstring& shown, const std::wstring& fileName);

}  // namespace plugintest
