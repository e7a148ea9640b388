#include "plugin/add_custom_dialog.h"

#include "commands/file_folder_dialog.h"
#include "framework/ui_seam.h"
#include "plugin/pages.h"
#include "plugin/schedule_controls.h"
#include "resources/halvorin/resource.h"
#include "settings/list_entry.h"
#include "win32/string_table.h"
#include "framework/dialog.h"

#include <shlwapi.h>

#include <vector>

namespace {

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

CAddCustomDlg::CAddCustomDlg() : fw::CDialog(IDD_ADD_CUSTOM) {}

BOOL CAddCustomDlg::OnInitDialog()
{
    m_style.Apply(GetHwnd(), CurrentDisplayProperties());
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

HBRUSH CAddCustomDlg::OnCtlColor(HDC dc, HWND control, UINT)
{
    return m_style.OnCtlColor(dc, control);
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
    const std::wstring text = fw::ControlText(GetDlgItem(IDC_CUSTOM_PATH));
    if (text.empty()) {
        m_value.clear();
        EndDialog(IDOK);
        return;
    }
    // A pattern is kept as typed; an existing item as its full path (the
    // shredding program runs in a folder of its own, where a relative path
    // names something else). Either must then be an entry the profile, its
    // backup and its restore all take.
    std::wstring value = text;
    if (!IsWildcardPattern(text)) {
        if (!::PathFileExistsW(text.c_str()) ||
            (!IsFullPathEntry(text) && !FullPathOf(text, value))) {
            Refuse();
            return;
        }
    }
    if (!IsValidListEntry(value)) {
        Refuse();
        return;
    }
    m_value = value;
    EndDialog(IDOK);
}

void CAddCustomDlg::Refuse()
{
    fw::ShowTableMessage(GetHwnd(), PluginResourceInstance(), IDS_ENTRY_INVALID,
                         IDS_ADD_FILE_ERROR, MB_OK);
}
