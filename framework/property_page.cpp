#include "framework/property_page.h"

#include <commctrl.h>
#include <prsht.h>

namespace fw {

namespace {

// Marks the windows this class subclassed and names their object.
constexpr wchar_t kPageProperty[] = L"Scoravel.fw.CPropertyPage";

}  // namespace

CPropertyPage::~CPropertyPage()
{
    UnsubclassWindow();
}

bool CPropertyPage::SubclassWindow(HWND page)
{
    if (m_hwnd || !page || ::GetPropW(page, kPageProperty))
        return false;
    if (!::SetPropW(page, kPageProperty, reinterpret_cast<HANDLE>(this)))
        return false;
    m_hwnd = page;
    m_previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CPropertyPage::PageWindowProc)));
    if (!m_previous) {
        ::RemovePropW(page, kPageProperty);
        m_hwnd = nullptr;
        return false;
    }
    return true;
}

void CPropertyPage::UnsubclassWindow()
{
    if (!m_hwnd)
        return;
    // Only when nobody subclassed the window after us; otherwise our
    // procedure stays in the chain and passes every message on.
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(m_hwnd, GWLP_WNDPROC)) == &PageWindowProc)
        ::SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
    ::RemovePropW(m_hwnd, kPageProperty);
    m_hwnd = nullptr;
}

CPropertyPage* CPropertyPage::FromHandle(HWND page)
{
    return page ? static_cast<CPropertyPage*>(::GetPropW(page, kPageProperty)) : nullptr;
}

void CPropertyPage::SetModified(bool changed)
{
    const HWND sheet = m_hwnd ? ::GetParent(m_hwnd) : nullptr;
    if (sheet)
        ::SendMessageW(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED,
                       reinterpret_cast<WPARAM>(m_hwnd), 0);
}

LRESULT CPropertyPage::Default(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_previous, m_hwnd, message, wParam, lParam);
}

LRESULT CPropertyPage::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)))
            return 0;
        break;
    case WM_NOTIFY:
        if (lParam && OnNotify(*reinterpret_cast<NMHDR*>(lParam), result))
            return result;
        break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        if (const HBRUSH brush =
                OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                           message - WM_CTLCOLORMSGBOX))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

LRESULT CALLBACK CPropertyPage::PageWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam)
{
    CPropertyPage* self = FromHandle(hwnd);
    if (!self)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // Detach first: the previous procedure may delete the object.
        const WNDPROC previous = self->m_previous;
        self->UnsubclassWindow();
        return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
    }
    try {
        return self->Dispatch(message, wParam, lParam);
    } catch (...) {
        return self->Default(message, wParam, lParam);
    }
}

}  // namespace fw
