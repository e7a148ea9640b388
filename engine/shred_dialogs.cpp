#include "engine/shred_dialogs.h"

#include "framework/module.h"
#include "resources/graventa/resource.h"
#include "win32/string_table.h"

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
    ::SetDlgItemTextW(hwnd, m_textControlId, m_message.c_str());
    return TRUE;
}

HBRUSH CShredMessageDlg::OnCtlColor(HDC dc, HWND, UINT)
{
    return m_style.OnCtlColor(dc);
}

CShredWarnDlg::CShredWarnDlg() : CShredMessageDlg(IDD_SHRED_WARN, IDC_WARN_TEXT) {}

CShredConfDlg::CShredConfDlg() : CShredMessageDlg(IDD_SHRED_CONFIRM, IDC_CONFIRM_TEXT) {}

std::wstring FormatTableText(UINT id, const std::wstring& argument)
{
    std::wstring text = win32::LoadTableString(fw::ResourceInstance(), id);
    const size_t marker = text.find(L"%s");
    if (marker != std::wstring::npos)
        text.replace(marker, 2, argument);
    return text;
}

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
