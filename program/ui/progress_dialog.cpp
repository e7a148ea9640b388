#include "program/ui/progress_dialog.h"

#include "program/ui/font_fit.h"
#include "resources/graventa/resource.h"

#include <commctrl.h>

#include <cwchar>
#include <new>

namespace {

// Sent by SetTexts: the texts changed, the window fits itself to them on
// its own thread.
constexpr UINT kFitToTextsMessage = WM_APP + 1;

}  // namespace

CProgressDlg::CProgressDlg(HANDLE readyEvent)
    : fw::CDialog(IDD_PROGRESS),
      m_readyEvent(readyEvent),
      m_style(fw::CDisplayStyle::kCellsInBackground, ReadDisplaySettings())
{
}

CProgressDlg::~CProgressDlg()
{
    // While the handlers and the brush and font still exist.
    DestroyWindow();
}

BOOL CProgressDlg::OnInitDialog()
{
    const HWND hwnd = GetHwnd();
    m_progressBar = GetDlgItem(IDC_PROGRESS_BAR);
    m_titleText = GetDlgItem(IDC_PROGRESS_TITLE);
    m_percentText = GetDlgItem(IDC_PROGRESS_PERCENT);
    m_stopButton = GetDlgItem(IDC_PROGRESS_STOP);
    ::SendMessageW(m_progressBar, PBM_SETRANGE32, 0, 100);

    if (const HMENU systemMenu = ::GetSystemMenu(hwnd, FALSE))
        ::EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);

    m_style.Apply(hwnd);
    FitToTexts();

    // Last: the reporter's constructor returns once the window is whole.
    if (m_readyEvent)
        ::SetEvent(m_readyEvent);
    return TRUE;
}

void CProgressDlg::FitToTexts()
{
    const HWND hwnd = GetHwnd();
    fontfit::FitTextsToFont(hwnd);
    fontfit::FitButtonsToFont(hwnd);
    fontfit::FitButtonWidth(hwnd, m_stopButton);
}

bool CProgressDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result)
{
    if (message != kFitToTextsMessage)
        return false;
    FitToTexts();
    result = TRUE;
    return true;
}

bool CProgressDlg::OnCommand(WORD id, WORD notifyCode, HWND control)
{
    if (id == IDC_PROGRESS_STOP) {
        if (notifyCode == BN_CLICKED) {
            m_stopRequested.store(true);
            ::EnableWindow(m_stopButton, FALSE);
        }
        return true;
    }
    return fw::CDialog::OnCommand(id, notifyCode, control);
}

HBRUSH CProgressDlg::OnCtlColor(HDC dc, HWND, UINT)
{
    return m_style.OnCtlColor(dc);
}

void CProgressDlg::SetPercent(int percent)
{
    if (percent > 100 || !GetHwnd())
        return;
    wchar_t text[16] = {};
    std::swprintf(text, ARRAYSIZE(text), L"%3d %%", percent);
    ::SendMessageW(m_progressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    ::SendMessageW(m_percentText, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void CProgressDlg::SetTexts(const std::wstring& title, const std::wstring& button)
{
    if (!GetHwnd())
        return;
    ::SendMessageW(m_titleText, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
    ::SendMessageW(m_stopButton, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(button.c_str()));
    ::SendMessageW(GetHwnd(), kFitToTextsMessage, 0, 0);
}

void CProgressDlg::BringToFront()
{
    const HWND hwnd = GetHwnd();
    if (!hwnd)
        return;
    ::SetForegroundWindow(hwnd);
    ::ShowWindow(hwnd, SW_SHOW);
}

CProgressThread::CProgressThread() : m_ready(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CProgressThread::~CProgressThread()
{
    Shutdown();
}

bool CProgressThread::Launch()
{
    if (!m_ready || !CreateThread(true))
        return false;
    if (!ResumeThread()) {
        // It never ran: nothing of it needs cleaning up.
        ::TerminateThread(ThreadHandle(), 1);
        WaitForEnd(INFINITE);
        return false;
    }
    // Waiting on the thread as well as the event: a window that cannot be
    // created never signals ready, and the thread then simply ends.
    const HANDLE waits[2] = {m_ready.get(), ThreadHandle()};
    const DWORD waited = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (waited == WAIT_OBJECT_0 && m_dialog && m_dialog->GetHwnd())
        return true;
    Shutdown();
    return false;
}

void CProgressThread::Shutdown(DWORD stepMilliseconds)
{
    if (!ThreadHandle())
        return;
    while (WaitForEnd(0) != WAIT_OBJECT_0) {
        PostQuit();
        if (WaitForEnd(stepMilliseconds) == WAIT_OBJECT_0)
            break;
    }
}

BOOL CProgressThread::InitInstance()
{
    m_dialog.reset(new (std::nothrow) CProgressDlg(m_ready.get()));
    if (!m_dialog || !m_dialog->Create(nullptr))
        return FALSE;
    ::ShowWindow(m_dialog->GetHwnd(), SW_HIDE);
    return TRUE;
}

int CProgressThread::ExitInstance()
{
    if (m_dialog)
        m_dialog->DestroyWindow();
    return fw::CUiThread::ExitInstance();
}
