// The Open dialog reworked to return whatever is selected in its list: a
// file, a folder, or with nothing selected the folder being shown.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

class CFileFolderDialog {
public:
    // `ignored` stands where a default file name would go.
    CFileFolderDialog(bool openDialog, DWORD flags, const wchar_t* ignored, HWND owner);
    INT_PTR DoModal();
    std::wstring GetPath() const { return m_path; }

private:
    HWND m_owner;
    DWORD m_flags;
    std::wstring m_path;
};
