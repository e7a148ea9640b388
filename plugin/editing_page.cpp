#include "plugin/editing_page.h"

#include "commands/command_sender.h"
#include "framework/wrapped_text.h"
#include "plugin/page_instances.h"
#include "plugin/pages.h"

#include <commctrl.h>
#include <prsht.h>

CEditingPage::CEditingPage(UINT templateId, const Controls& controls)
    : fw::CPropertyPage(templateId),
      m_controls(controls),
      m_style(fw::CDisplayStyle::kCellsInBackground | fw::CDisplayStyle::kGreyInactiveEdits)
{
}

bool CEditingPage::ApplyEnabled() const
{
    const HWND apply = GetDlgItem(m_controls.apply);
    return apply && ::IsWindowEnabled(apply);
}

void CEditingPage::DisableApply()
{
    ::EnableWindow(GetDlgItem(m_controls.apply), FALSE);
}

void CEditingPage::EnableApply() const
{
    ::EnableWindow(GetDlgItem(m_controls.apply), TRUE);
}

void CEditingPage::RefreshLook()
{
    m_style.Apply(GetHwnd(), CurrentDisplayProperties());
}

void CEditingPage::OnApplyButton()
{
    // What was not stored stays pending.
    if (Apply())
        DisableApply();
    ApplyOtherPendingPages(this);
}

bool CEditingPage::OnNotify(NMHDR& header, LRESULT& result)
{
    switch (header.code) {
    case DTN_DATETIMECHANGE:
        if (header.idFrom != 0 && (header.idFrom == static_cast<UINT_PTR>(m_controls.date) ||
                                   header.idFrom == static_cast<UINT_PTR>(m_controls.time)))
            EnableApply();
        result = FALSE;
        return true;
    case PSN_HELP:
        OpenProductHelp();
        result = FALSE;
        return true;
    case PSN_APPLY:
        result = Apply() ? PSNRET_NOERROR : PSNRET_INVALID;
        return true;
    default:
        return false;
    }
}

HBRUSH CEditingPage::OnCtlColor(HDC dc, HWND control, UINT)
{
    return m_style.OnCtlColor(dc, control);
}

bool CEditingPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DRAWITEM || !lParam || m_controls.description == 0 ||
        wParam != static_cast<WPARAM>(m_controls.description))
        return false;
    const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item.CtlType != ODT_STATIC || !item.hwndItem)
        return false;
    fw::DrawWrappedText(item, m_style.Brush(), m_style.TextColour());
    result = TRUE;
    return true;
}
