#include "commands/file_folder_dialog.h"
#include "win32/path.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace {

// The dialog window's own procedure, kept on the window itself so that each
// dialog forwards to its own, and this class's object while it is attached.
constexpr wchar_t kPreviousProcProperty[] = L"Scoravel.CFileFolderDialog.Previous";
constexpr wchar_t kObjectProperty[] = L"Scoravel.CFileFolderDialog.Object";

std::wstring SelectedItemText(HWND list, int item)
{
    wchar_t text[MAX_PATH] = {};
    LVITEMW lvi{};
    lvi.iSubItem = 0;
    lvi.pszText = text;
    lvi.cchTextMax = ARRAYSIZE(text);
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                   reinterpret_cast<LPARAM>(&lvi));
    text[ARRAYSIZE(text) - 1] = L'\0';
    return text;
}

}  // namespace

CFileFolderDialog::CFileFolderDialog(bool openDialog, DWORD flags, const wchar_t*, HWND owner)
    : fw::CFileDialog(openDialog, nullptr, nullptr, flags, L"All Files(*.*)|*.*||", owner)
{
}

HWND CFileFolderDialog::FileNameBox() const
{
    const HWND dialog = GetDialogWindow();
    if (const HWND combo = ::GetDlgItem(dialog, kFileNameComboId))
        return combo;
    return ::GetDlgItem(dialog, kFileNameEditId);
}

BOOL CFileFolderDialog::OnInitDialog()
{
    const BOOL focus = fw::CFileDialog::OnInitDialog();
    const HWND dialog = GetDialogWindow();
    // Only the list chooses: a typed name or another filter could name
    // something the list does not show.
    if (const HWND box = FileNameBox())
        ::EnableWindow(box, FALSE);
    if (const HWND types = ::GetDlgItem(dialog, kFileTypeId))
        ::EnableWindow(types, FALSE);
    Subclass(dialog);
    return focus;
}

bool CFileFolderDialog::Subclass(HWND dialog)
{
    if (!dialog || ::GetPropW(dialog, kPreviousProcProperty))
        return false;
    const LONG_PTR previous = ::GetWindowLongPtrW(dialog, GWLP_WNDPROC);
    if (!previous)
        return false;
    ::SetPropW(dialog, kPreviousProcProperty, reinterpret_cast<HANDLE>(previous));
    ::SetPropW(dialog, kObjectProperty, this);
    ::SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ParentWndProc));
    return true;
}

void CFileFolderDialog::Unsubclass(HWND dialog)
{
    ::RemovePropW(dialog, kObjectProperty);
    const HANDLE previous = ::GetPropW(dialog, kPreviousProcProperty);
    // A procedure put in after ours still calls ours: then ours stays, only
    // forwarding, until the window's last message.
    if (previous &&
        ::GetWindowLongPtrW(dialog, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ParentWndProc)) {
        ::SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        ::RemovePropW(dialog, kPreviousProcProperty);
    }
}

void CFileFolderDialog::OnOK(HWND dialog)
{
    // The selection as it is now: not every navigation announces itself
    // (Wine's browser sends no CDN_FOLDERCHANGE for every folder it shows).
    OnFolderChange();
    // The computer, the network and other virtual folders name nothing to
    // shred: the dialog stays open.
    if (m_path.empty())
        return;
    // The dialog made the shown folder the process's current folder, which
    // keeps it open: a folder chosen for shredding could not be removed.
    wchar_t documents[MAX_PATH] = {};
    if (SUCCEEDED(
            ::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)))
        ::SetCurrentDirectoryW(documents);
    // The dialog's own OK would check the file-name box and open folders.
    ::EndDialog(dialog, IDOK);
}

LRESULT CALLBACK CFileFolderDialog::ParentWndProc(HWND dialog, UINT message, WPARAM wParam,
                                                  LPARAM lParam)
{
    const auto previous = reinterpret_cast<WNDPROC>(::GetPropW(dialog, kPreviousProcProperty));
    if (!previous)
        return ::DefWindowProcW(dialog, message, wParam, lParam);
    auto* self = static_cast<CFileFolderDialog*>(::GetPropW(dialog, kObjectProperty));
    switch (message) {
    case WM_COMMAND:
        if (self && LOWORD(wParam) == IDOK) {
            try {
                self->OnOK(dialog);
            } catch (...) {
            }
            return 0;
        }
        break;
    case WM_DESTROY:
        Unsubclass(dialog);
        break;
    case WM_NCDESTROY:
        ::RemovePropW(dialog, kObjectProperty);
        ::RemovePropW(dialog, kPreviousProcProperty);
        break;
    default:
        break;
    }
    return ::CallWindowProcW(previous, dialog, message, wParam, lParam);
}

void CFileFolderDialog::OnFileNameChange()
{
    OnFolderChange();
}

void CFileFolderDialog::OnFolderChange()
{
    // The folder the dialog shows, asked of the dialog: the process's current
    // folder is not always it, and stays behind on a virtual folder.
    const std::wstring folder = GetFolderPath();
    m_path = folder;
    if (folder.empty())
        return;
    const HWND list = ::GetDlgItem(::GetDlgItem(GetDialogWindow(), kShellViewId), kListId);
    if (!list)
        return;

    const int item = static_cast<int>(
        ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    const HWND box = FileNameBox();
    if (item < 0) {
        const size_t slash = folder.rfind(L'\\');
        if (slash != std::wstring::npos && box)
            ::SetWindowTextW(box, folder.c_str() + slash + 1);
        return;
    }

    const std::wstring text = SelectedItemText(list, item);
    const std::wstring child = win32::JoinPath(folder, text);
    if (!text.empty() && ::PathIsDirectoryW(child.c_str())) {
        m_path = child;
        if (box)
            ::SetWindowTextW(box, text.c_str());
        return;
    }
    // A file: its name from the dialog, since the list may hide extensions.
    std::wstring name = GetFileTitle();
    const std::wstring extension = GetFileExt();
    if (!extension.empty())
        name += L"." + extension;
    // Without a name the folder would stand for the file: choose nothing.
    if (name.empty()) {
        m_path.clear();
        return;
    }
    m_path = win32::JoinPath(folder, name);
}
