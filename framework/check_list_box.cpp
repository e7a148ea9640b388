#include "framework/check_list_box.h"

#include <algorithm>
#include <vector>

namespace fw {

namespace {

constexpr wchar_t kObjectProperty[] = L"Scoravel.fw.CCheckListBox";
constexpr wchar_t kPreviousProperty[] = L"Scoravel.fw.CCheckListBox.Previous";
constexpr int kPadding = 2;

}  // namespace

CCheckListBox::~CCheckListBox()
{
    Detach();
}

bool CCheckListBox::Attach(HWND list)
{
    if (m_hwnd || !list || !::IsWindow(list) || ::GetPropW(list, kObjectProperty))
        return false;
    const auto previous = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(list, GWLP_WNDPROC));
    if (!previous || !::SetPropW(list, kObjectProperty, this) ||
        !::SetPropW(list, kPreviousProperty, reinterpret_cast<HANDLE>(previous))) {
        ::RemovePropW(list, kObjectProperty);
        return false;
    }
    m_hwnd = list;
    m_previous = previous;
    ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CCheckListBox::WindowProc));
    FitItemHeight();
    return true;
}

void CCheckListBox::Detach()
{
    if (!m_hwnd)
        return;
    // A procedure put in after ours still calls ours, which then only
    // forwards to the one it replaced.
    if (::GetWindowLongPtrW(m_hwnd, GWLP_WNDPROC) ==
        reinterpret_cast<LONG_PTR>(&CCheckListBox::WindowProc)) {
        ::SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        ::RemovePropW(m_hwnd, kPreviousProperty);
    }
    ::RemovePropW(m_hwnd, kObjectProperty);
    m_hwnd = nullptr;
}

int CCheckListBox::GetCheck(int index) const
{
    if (!m_hwnd)
        return 0;
    const LRESULT data = ::SendMessageW(m_hwnd, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == LB_ERR ? 0 : static_cast<int>(data & 3);
}

void CCheckListBox::SetCheck(int index, int check)
{
    if (!m_hwnd || check < 0 || check > 2)
        return;
    if (::SendMessageW(m_hwnd, LB_SETITEMDATA, static_cast<WPARAM>(index), check) == LB_ERR)
        return;
    RECT item = {};
    if (::SendMessageW(m_hwnd, LB_GETITEMRECT, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(&item)) != LB_ERR)
        ::InvalidateRect(m_hwnd, &item, FALSE);
}

int CCheckListBox::BoxSide() const
{
    const int height =
        static_cast<int>(::SendMessageW(m_hwnd, LB_GETITEMHEIGHT, 0, 0)) - 2 * kPadding;
    return std::max(8, std::min(::GetSystemMetrics(SM_CXMENUCHECK), height));
}

int CCheckListBox::CheckAreaWidth() const
{
    return m_hwnd ? BoxSide() + 2 * kPadding : 0;
}

void CCheckListBox::FitItemHeight()
{
    // An owner-drawn list asks its height once, before anyone could answer:
    // every font set afterwards needs the height set again.
    const HDC dc = ::GetDC(m_hwnd);
    if (!dc)
        return;
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(m_hwnd, WM_GETFONT, 0, 0));
    const HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    if (old)
        ::SelectObject(dc, old);
    ::ReleaseDC(m_hwnd, dc);
    const int height =
        std::max<int>(metrics.tmHeight + 2, ::GetSystemMetrics(SM_CXMENUCHECK) + 2 * kPadding);
    ::SendMessageW(m_hwnd, LB_SETITEMHEIGHT, 0, height);
}

bool CCheckListBox::DrawItem(const DRAWITEMSTRUCT& item) const
{
    if (!m_hwnd || item.CtlType != ODT_LISTBOX || item.hwndItem != m_hwnd)
        return false;
    const HDC dc = item.hDC;
    RECT row = item.rcItem;
    if (item.itemID == static_cast<UINT>(-1)) {
        if (item.itemState & ODS_FOCUS)
            ::DrawFocusRect(dc, &row);
        return true;
    }
    // The parent's colours for lists, as the list itself would ask for them.
    auto back = reinterpret_cast<HBRUSH>(::SendMessageW(::GetParent(m_hwnd), WM_CTLCOLORLISTBOX,
                                                        reinterpret_cast<WPARAM>(dc),
                                                        reinterpret_cast<LPARAM>(m_hwnd)));
    if (!back)
        back = ::GetSysColorBrush(COLOR_WINDOW);
    const COLORREF text = ::GetTextColor(dc);

    const int area = CheckAreaWidth();
    RECT boxArea = row;
    boxArea.right = std::min(row.right, row.left + area);
    ::FillRect(dc, &boxArea, back);
    const int side = BoxSide();
    RECT box = {row.left + kPadding, row.top + (row.bottom - row.top - side) / 2, 0, 0};
    box.right = box.left + side;
    box.bottom = box.top + side;
    const int check = static_cast<int>(item.itemData & 3);
    UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
    if (check == 1)
        state |= DFCS_CHECKED;
    else if (check == 2)
        state = DFCS_BUTTON3STATE | DFCS_CHECKED | DFCS_FLAT;
    if (item.itemState & ODS_DISABLED)
        state |= DFCS_INACTIVE;
    ::DrawFrameControl(dc, &box, DFC_BUTTON, state);

    RECT label = row;
    label.left = boxArea.right;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    ::FillRect(dc, &label, selected ? ::GetSysColorBrush(COLOR_HIGHLIGHT) : back);
    COLORREF colour = selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : text;
    if (item.itemState & ODS_DISABLED)
        colour = ::GetSysColor(COLOR_GRAYTEXT);
    const LRESULT cch = ::SendMessageW(m_hwnd, LB_GETTEXTLEN, item.itemID, 0);
    if (cch > 0) {
        std::vector<wchar_t> buffer(static_cast<size_t>(cch) + 1, L'\0');
        ::SendMessageW(m_hwnd, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(buffer.data()));
        const COLORREF oldColour = ::SetTextColor(dc, colour);
        const int oldMode = ::SetBkMode(dc, TRANSPARENT);
        RECT textRect = label;
        textRect.left += kPadding;
        ::DrawTextW(dc, buffer.data(), -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        ::SetBkMode(dc, oldMode);
        ::SetTextColor(dc, oldColour);
    }
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &label);
    return true;
}

void CCheckListBox::Toggle(int index)
{
    SetCheck(index, GetCheck(index) == 1 ? 0 : 1);
    const HWND parent = ::GetParent(m_hwnd);
    const int id = ::GetDlgCtrlID(m_hwnd);
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, kCheckChange),
                   reinterpret_cast<LPARAM>(m_hwnd));
}

LRESULT CCheckListBox::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFONT: {
        const LRESULT result = ::CallWindowProcW(m_previous, m_hwnd, message, wParam, lParam);
        FitItemHeight();
        return result;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const LRESULT hit = ::SendMessageW(m_hwnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y));
        const int index = static_cast<int>(LOWORD(hit));
        RECT row = {};
        if (HIWORD(hit) == 0 &&
            ::SendMessageW(m_hwnd, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row)) !=
                LB_ERR &&
            at.x >= row.left && at.x < row.left + CheckAreaWidth())
            Toggle(index);
        break;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            const int index = static_cast<int>(::SendMessageW(m_hwnd, LB_GETCURSEL, 0, 0));
            if (index != LB_ERR)
                Toggle(index);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L' ')
            return 0;  // the space toggled; it must not search the items
        break;
    case WM_NCDESTROY: {
        const WNDPROC previous = m_previous;
        const HWND hwnd = m_hwnd;
        Detach();
        return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
    }
    default:
        break;
    }
    return ::CallWindowProcW(m_previous, m_hwnd, message, wParam, lParam);
}

LRESULT CALLBACK CCheckListBox::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<CCheckListBox*>(::GetPropW(hwnd, kObjectProperty));
    if (!self || self->m_hwnd != hwnd) {
        const auto previous = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kPreviousProperty));
        if (message == WM_NCDESTROY)
            ::RemovePropW(hwnd, kPreviousProperty);
        return previous ? ::CallWindowProcW(previous, hwnd, message, wParam, lParam)
                        : ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return self->Handle(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

}  // namespace fw
