#include "plugin/add_custom_dialog.h"

#include "framework/ui_seam.h"
#include "plugin/file_folder_dialog.h"
#include "plugin/pages.h"
#include "plugin/schedule_controls.h"
#include "resources/halvorin/resource.h"
#include "win32/string_table.h"

#include <shlwapi.h>

#include <vector>

namespace {

std::wstring WindowText(HWND window)
{
    const int cch = ::GetWindowTextLengthW(window);
    if (cch <= 0)
        return {};
    std::vector<wchar_t> text(static_cast<size_t>(cch) + 1, L'\0');
    ::GetWindowTextW(window, text.data(), cch + 1);
    text.back() = L'\0';
    return text.data();
}

// "C:\..." or "\\server\..."; anything else is read against some current
// folder (of a drive, or of the process).
bool IsFullyQualified(const std::wstring& path)
{
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\')
        return true;
    return path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

// False when the full form does not fit a path buffer: the shredding
// program could not take it either.
bool FullPathOf(const std::wstring& path, std::wstring& full)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD cch = ::GetFullPathNameW(path.c_str(), ARRAYSIZE(buffer), buffer, nullptr);
    if (cch == 0 || cch >= ARRAYSIZE(buffer))
        return false;
    full.assign(buffer, cch);
    return true;
}

}  // namespace

bool IsWildcardPattern(const std::wstring& text)
{
    return text.find(L'*') != std::wstring::npos && text.find(L'.') != std::wstring::npos;
}

CAddCustomDlg::CAddCustomDlg() : fw::CDialog(IDD_ADD_CUSTOM) {}

BOOL CAddCustomDlg::OnInitDialog()
{
    schedule::RefreshPageLook(GetHwnd(), m_brush, m_font);
    schedule::SetControlText(GetHwnd(), {IDC_CUSTOM_PROMPT, IDS_CUSTOM_PROMPT});
    ::SetWindowTextW(GetHwnd(),
                     win32::LoadTableString(PluginResourceInstance(), IDS_ADD_CUSTOM).c_str());
    ::SetDlgItemTextW(GetHwnd(), IDC_CUSTOM_PATH, L"");
    ::SendDlgItemMessageW(GetHwnd(), IDC_CUSTOM_PATH, EM_SETLIMITTEXT, 0, 0);  // no limit
    return TRUE;
}

bool CAddCustomDlg::OnCommand(WORD id, WORD notifyCode, HWND control)
{
    if (notifyCode != BN_CLICKED)
        return fw::CDialog::OnCommand(id, notifyCode, control);
    switch (id) {
    case IDC_CUSTOM_BROWSE:
        Browse();
        return true;
    case IDOK:
        Accept();
        return true;
    default:
        return fw::CDialog::OnCommand(id, notifyCode, control);
    }
}

HBRUSH CAddCustomDlg::OnCtlColor(HDC dc, HWND, UINT)
{
    // The text colour only: the background stays the control's own.
    ::SetTextColor(dc, CurrentDisplayProperties().text);
    return m_brush.get();
}

void CAddCustomDlg::Browse()
{
    CFileFolderDialog dialog(true, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, nullptr, GetHwnd());
    if (dialog.DoModal() != IDOK)
        return;
    const std::wstring path = dialog.GetPath();
    if (!path.empty())
        ::SetDlgItemTextW(GetHwnd(), IDC_CUSTOM_PATH, path.c_str());
}

void CAddCustomDlg::Accept()
{
    const std::wstring text = WindowText(GetDlgItem(IDC_CUSTOM_PATH));
    if (text.empty()) {
        m_value.clear();
        EndDialog(IDOK);
        return;
    }
    // The profile stores its entries "|"-separated: such a text would come
    // back as two entries.
    if (text.find(L'|') != std::wstring::npos) {
        Refuse();
        return;
    }
    if (IsWildcardPattern(text)) {
        m_value = text;
        EndDialog(IDOK);
        return;
    }
    if (!::PathFileExistsW(text.c_str())) {
        Refuse();
        return;
    }
    // The shredding program runs in a folder of its own: a relative path
    // would name something else there.
    std::wstring value = text;
    if (!IsFullyQualified(text) && !FullPathOf(text, value)) {
        Refuse();
        return;
    }
    m_value = value;
    EndDialog(IDOK);
}

void CAddCustomDlg::Refuse()
{
    const HINSTANCE instance = PluginResourceInstance();
    fw::ShowMessageBox(GetHwnd(), win32::LoadTableString(instance, IDS_ENTRY_INVALID).c_str(),
                       win32::LoadTableString(instance, IDS_ADD_FILE_ERROR).c_str(), MB_OK);
}
