// The progress window (template 130) and the UI thread it lives on. The
// window is created hidden; the worker updates it with window messages from
// its own thread, and the stop button sets a flag the worker polls.
#pragma once

#include "framework/dialog.h"
#include "framework/display_style.h"
#include "framework/thread.h"
#include "win32/unique_handle.h"

#include <atomic>
#include <memory>
#include <string>

class CProgressDlg : public fw::CDialog {
public:
    // `readyEvent` (not owned) is set once the window is initialised.
    explicit CProgressDlg(HANDLE readyEvent);
    ~CProgressDlg() override;

    bool IsStopRequested() const { return m_stopRequested.load(); }
    const DisplaySettings& Display() const { return m_style.Settings(); }

    // Callable from any thread.
    // Ignored above 100; the text is the value formatted "%3d %%".
    void SetPercent(int percent);
    void SetTexts(const std::wstring& title, const std::wstring& button);
    void BringToFront();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    // Neither Escape, Enter nor the system Close command ends the window: it
    // goes only when its thread ends.
    void OnOK() override {}
    void OnCancel() override {}
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    // The texts and the stop button grow to what the host's font and the
    // texts set need; the window grows with them.
    void FitToTexts();

    HWND m_progressBar = nullptr;
    HWND m_titleText = nullptr;
    HWND m_percentText = nullptr;
    std::atomic<bool> m_stopRequested{false};
    HANDLE m_readyEvent;
    fw::CDisplayStyle m_style;
    HWND m_stopButton = nullptr;
};

// The UI thread of one progress window. It does not delete itself: the owner
// starts it with Launch and ends it with Shutdown (or by destroying it).
class CProgressThread : public fw::CUiThread {
public:
    CProgressThread();
    ~CProgressThread() override;

    // Starts the thread and waits, without a time limit, until the window is
    // ready or the thread has ended. False when there is no window (the
    // event or the thread could not be made, or the template is missing):
    // the thread has then ended and the caller goes on without a window.
    bool Launch();
    // Posts WM_QUIT and waits `stepMilliseconds` at a time, posting again,
    // until the thread has ended.
    void Shutdown(DWORD stepMilliseconds = 1000);

    // The dialog, from a successful Launch until the object is destroyed (its
    // window goes when the thread ends).
    CProgressDlg* Dialog() const { return m_dialog.get(); }
    HANDLE ReadyEvent() const { return m_ready.get(); }

protected:
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    // Kept until the thread object goes (not freed in ExitInstance), so that a
    // worker still holding the dialog never reads freed memory.
    std::unique_ptr<CProgressDlg> m_dialog;
    win32::UniqueHandleNull m_ready;
};
