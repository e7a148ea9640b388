#include "framework/dialog.h"

#include "framework/module.h"
#include "framework/ui_seam.h"

#include <algorithm>
#include <vector>

namespace fw {

namespace {
// Marks the windows this class attached to, so FromHandle never reads another
// dialog's DWLP_USER as an object pointer.
constexpr wchar_t kAttachedProperty[] = L"Scoravel.fw.CDialog";
}  // namespace

std::wstring ControlText(HWND control)
{
    const int cch = ::GetWindowTextLengthW(control);
    if (cch <= 0)
        return {};
    std::vector<wchar_t> text(static_cast<size_t>(cch) + 1, L'\0');
    const int got = ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    std::wstring result(text.data(), static_cast<size_t>(std::clamp(got, 0, cch)));
    ::SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    return result;
}

void CentreOnOwner(HWND window, HWND owner)
{
    RECT rect = {};
    if (!window || !::GetWindowRect(window, &rect))
        return;
    MONITORINFO monitor = {sizeof(monitor)};
    const HMONITOR where =
        ::MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTONEAREST);
    if (!::GetMonitorInfoW(where, &monitor))
        return;
    const RECT& work = monitor.rcWork;
    RECT around = work;
    if (owner && !::GetWindowRect(owner, &around))
        around = work;
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    LONG left = around.left + ((around.right - around.left) - width) / 2;
    LONG top = around.top + ((around.bottom - around.top) - height) / 2;
    // Inside the work area; a window larger than it keeps its top-left corner
    // (and so its caption) on screen.
    left = std::max(work.left, std::min(left, work.right - width));
    top = std::max(work.top, std::min(top, work.bottom - height));
    ::SetWindowPos(window, nullptr, left, top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CDialog::CDialog(UINT templateId) : m_templateId(templateId) {}

CDialog::~CDialog()
{
    if (m_hwnd) {
        // Detach first: the derived parts are already destroyed, so no message
        // of the window's end may reach a handler.
        const HWND hwnd = m_hwnd;
        Detach();
        ::DestroyWindow(hwnd);
    }
}

CDialog* CDialog::FromHandle(HWND hwnd)
{
    if (!hwnd || !::GetPropW(hwnd, kAttachedProperty))
        return nullptr;
    return reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
}

bool CDialog::Create(HWND owner)
{
    if (m_hwnd)
        return false;
    EnsureCommonControls();
    m_modal = false;
    const HWND hwnd =
        ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(m_templateId), owner,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    // The handle was taken in WM_INITDIALOG; a window that failed after that
    // has already detached itself.
    return hwnd != nullptr && m_hwnd == hwnd;
}

INT_PTR CDialog::DoModal(HWND owner)
{
    if (m_hwnd)
        return -1;
    UiRequest request;
    request.kind = UiRequest::Kind::ModalDialog;
    request.owner = owner;
    request.templateId = m_templateId;

    UiResponder responder;
    switch (detail::CurrentModalPolicy(responder)) {
    case detail::ModalPolicy::Refuse:
        detail::ReportUnanswered(request);
        return -1;
    case detail::ModalPolicy::Answer:
        m_modalResponder = &responder;
        break;
    case detail::ModalPolicy::Real:
        break;
    }
    EnsureCommonControls();
    m_modal = true;
    m_modalOwner = owner;
    const INT_PTR result =
        ::DialogBoxParamW(ResourceInstance(), MAKEINTRESOURCEW(m_templateId), owner,
                          &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_modalResponder = nullptr;
    m_modal = false;
    m_modalOwner = nullptr;
    return result;
}

bool CDialog::DestroyWindow()
{
    return m_hwnd && ::DestroyWindow(m_hwnd) != FALSE;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (m_hwnd && m_modal)
        ::EndDialog(m_hwnd, result);
}

bool CDialog::OnCommand(WORD id, WORD, HWND)
{
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

void CDialog::OnOK()
{
    if (m_modal)
        EndDialog(IDOK);
    else
        DestroyWindow();
}

void CDialog::OnCancel()
{
    if (m_modal)
        EndDialog(IDCANCEL);
    else
        DestroyWindow();
}

HBRUSH CDialog::OnCtlColor(HDC, HWND, UINT)
{
    return nullptr;
}

bool CDialog::OnNotify(NMHDR&, LRESULT&)
{
    return false;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&)
{
    return false;
}

void CDialog::SetMsgResult(LRESULT result)
{
    if (m_hwnd)
        ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, result);
}

void CDialog::Detach()
{
    if (!m_hwnd)
        return;
    ::RemovePropW(m_hwnd, kAttachedProperty);
    ::SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
    m_hwnd = nullptr;
}

INT_PTR CDialog::HandleInitDialog(HWND hwnd)
{
    m_hwnd = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
    ::SetPropW(hwnd, kAttachedProperty, reinterpret_cast<HANDLE>(1));
    BOOL focus = TRUE;
    try {
        focus = OnInitDialog();
    } catch (...) {
        focus = FALSE;
    }
    // The template's position counts from the owner's top-left corner; a
    // dialog without owner keeps what its template says (DS_CENTER).
    if (m_modal && m_modalOwner && ::IsWindow(m_modalOwner))
        CentreOnOwner(hwnd, m_modalOwner);

    // An answered dialog must end whatever its initialisation or the
    // responder did, or a test would wait for a user forever.
    if (m_modal && m_modalResponder) {
        UiRequest request;
        request.kind = UiRequest::Kind::ModalDialog;
        request.owner = ::GetWindow(hwnd, GW_OWNER);
        request.templateId = m_templateId;
        request.window = hwnd;
        INT_PTR answer = -1;
        try {
            answer = (*static_cast<UiResponder*>(m_modalResponder))(request);
        } catch (...) {
            answer = -1;
        }
        if (answer != kUiLetRun)
            ::EndDialog(hwnd, answer);
    }
    return focus;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE
                                                                                         : FALSE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (!header || !OnNotify(*header, result))
            return FALSE;
        SetMsgResult(result);
        return TRUE;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam),
                                                    reinterpret_cast<HWND>(lParam),
                                                    message - WM_CTLCOLORMSGBOX));
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default: {
        INT_PTR result = FALSE;
        return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_INITDIALOG) {
            auto* self = reinterpret_cast<CDialog*>(lParam);
            return self ? self->HandleInitDialog(hwnd) : FALSE;
        }
        CDialog* self = FromHandle(hwnd);
        if (!self)
            return FALSE;
        if (message == WM_NCDESTROY) {
            self->Detach();
            return FALSE;
        }
        return self->Dispatch(message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

}  // namespace fw
