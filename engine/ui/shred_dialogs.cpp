#include "engine/ui/shred_dialogs.h"

#include "framework/module.h"
#include "resources/graventa/resource.h"
#include "framework/dialog.h"
#include "framework/wrapped_text.h"

#include <algorithm>

namespace {

RECT RectInParent(HWND parent, HWND child)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Pixels the text needs beyond the control's height.
int MissingHeight(HWND control, const std::wstring& text)
{
    RECT client{};
    ::GetClientRect(control, &client);
    return std::max(0L, fw::WrappedTextHeight(control, text) - client.bottom);
}

// Makes `grow` pixels of room at `y` (dialog client coordinates): what
// lies wholly below moves down, what reaches across it (the control that
// needs the room, a frame around it) grows, and the dialog grows with it and
// is centred again on its monitor's work area. Never taller than that area.
void MakeRoomAt(HWND dialog, LONG y, int grow)
{
    RECT window{};
    ::GetWindowRect(dialog, &window);
    MONITORINFO monitor{sizeof(monitor)};
    if (!::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    grow = std::min<LONG>(grow, (work.bottom - work.top) - (window.bottom - window.top));
    if (grow <= 0)
        return;

    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT rect = RectInParent(dialog, child);
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (rect.top < y && rect.bottom >= y)
            ::SetWindowPos(child, nullptr, 0, 0, width, height + grow, flags | SWP_NOMOVE);
        else if (rect.top >= y)
            ::SetWindowPos(child, nullptr, rect.left, rect.top + grow, 0, 0, flags | SWP_NOSIZE);
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top + grow;
    const int left = work.left + ((work.right - work.left) - width) / 2;
    const int top = work.top + ((work.bottom - work.top) - height) / 2;
    ::SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

LONG TextHeight(HWND window, HGDIOBJ font)
{
    const HDC dc = ::GetDC(window);
    if (!dc)
        return 0;
    const HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    const LONG height = ::GetTextMetricsW(dc, &metrics) ? metrics.tmHeight : 0;
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return height;
}

bool IsPushButton(HWND control)
{
    wchar_t name[16] = {};
    if (!::GetClassNameW(control, name, ARRAYSIZE(name)) || ::_wcsicmp(name, L"Button") != 0)
        return false;
    const LONG kind = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON;
}

// The template sizes its buttons for its own font: in a larger host font
// they keep the room the template gives around their text, and grow (and
// the dialog with them) by what that font adds.
void FitButtonsToFont(HWND dialog)
{
    const LONG templateText = TextHeight(dialog, fw::ControlFont(dialog));
    if (templateText <= 0)
        return;
    LONG bottom = 0;
    int grow = 0;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!IsPushButton(child))
            continue;
        const RECT rect = RectInParent(dialog, child);
        const LONG text = TextHeight(child, fw::ControlFont(child));
        const LONG needed = (rect.bottom - rect.top - templateText) + text;
        grow = std::max<int>(grow, needed - (rect.bottom - rect.top));
        bottom = std::max(bottom, rect.bottom);
    }
    if (grow > 0)
        MakeRoomAt(dialog, bottom, grow);
}

}  // namespace

CShredMessageDlg::CShredMessageDlg(UINT templateId, int textControlId)
    : fw::CDialog(templateId),
      m_icon(::LoadIconW(fw::ResourceInstance(), MAKEINTRESOURCEW(IDI_GRAVENTA))),
      m_style(ReadDisplaySettings()),
      m_textControlId(textControlId)
{
}

BOOL CShredMessageDlg::OnInitDialog()
{
    const HWND hwnd = GetHwnd();
    if (m_icon) {
        ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
        ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
    }
    m_style.Apply(hwnd);
    FitButtonsToFont(hwnd);
    ::SetDlgItemTextW(hwnd, m_textControlId, m_message.c_str());
    // The item about to be destroyed is always named in full: the template
    // holds a 259-character path in its own font, the host's font may need
    // more room.
    if (const HWND text = ::GetDlgItem(hwnd, m_textControlId)) {
        if (const int missing = MissingHeight(text, m_message))
            MakeRoomAt(hwnd, RectInParent(hwnd, text).bottom, missing);
    }
    return TRUE;
}

HBRUSH CShredMessageDlg::OnCtlColor(HDC dc, HWND, UINT)
{
    return m_style.OnCtlColor(dc);
}

bool CShredMessageDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result)
{
    if (message != WM_DRAWITEM)
        return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!item || item->CtlType != ODT_STATIC || item->CtlID != static_cast<UINT>(m_textControlId))
        return false;
    DrawMessage(*item);
    result = TRUE;
    return true;
}

void CShredMessageDlg::DrawMessage(const DRAWITEMSTRUCT& item) const
{
    // The same colours as every other static of the dialog (WM_CTLCOLORSTATIC).
    const HBRUSH brush = m_style.OnCtlColor(item.hDC);
    fw::DrawWrappedText(item, brush, ::GetTextColor(item.hDC));
}

CShredWarnDlg::CShredWarnDlg() : CShredMessageDlg(IDD_SHRED_WARN, IDC_WARN_TEXT) {}

CShredConfDlg::CShredConfDlg() : CShredMessageDlg(IDD_SHRED_CONFIRM, IDC_CONFIRM_TEXT) {}

INT_PTR ShowShredWarning(const std::wstring& message)
{
    CShredWarnDlg dialog;
    dialog.SetMessage(message);
    return dialog.DoModal(nullptr);
}

bool AskShredConfirmation(const std::wstring& question)
{
    CShredConfDlg dialog;
    dialog.SetMessage(question);
    return dialog.DoModal(nullptr) == IDOK;
}
