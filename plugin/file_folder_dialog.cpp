// Placeholder until the dialog itself lands: it always reports a cancel.
#include "plugin/file_folder_dialog.h"

CFileFolderDialog::CFileFolderDialog(bool, DWORD flags, const wchar_t*, HWND owner)
    : m_owner(owner), m_flags(flags)
{
}

INT_PTR CFileFolderDialog::DoModal()
{
    return IDCANCEL;
}
