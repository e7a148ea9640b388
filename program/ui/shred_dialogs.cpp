#include "program/ui/shred_dialogs.h"

#include "framework/dialog.h"
#include "framework/module.h"
#include "framework/wrapped_text.h"
#include "program/ui/font_fit.h"
#include "resources/graventa/resource.h"

#include <algorithm>

namespace {

// Pixels the text needs beyond the control's height.
int MissingHeight(HWND control, const std::wstring& text)
{
    RECT client{};
    ::GetClientRect(control, &client);
    return std::max(0L, fw::WrappedTextHeight(control, text) - client.bottom);
}

}  // namespace

CShredMessageDlg::CShredMessageDlg(UINT templateId, int textControlId)
    : fw::CDialog(templateId),
      m_icon(::LoadIconW(fw::ResourceInstance(), MAKEINTRESOURCEW(IDI_GRAVENTA))),
      m_style(fw::CDisplayStyle::kCellsInBackground, ReadDisplaySettings()),
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
    fontfit::FitButtonsToFont(hwnd);
    ::SetDlgItemTextW(hwnd, m_textControlId, m_message.c_str());
    // The item about to be destroyed is always named in full: the template
    // holds a 259-character path in its own font, the host's font may need
    // more room.
    if (const HWND text = ::GetDlgItem(hwnd, m_textControlId)) {
        if (const int missing = MissingHeight(text, m_message))
            fontfit::MakeRoomAt(hwnd, fontfit::RectInParent(hwnd, text).bottom, missing);
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
