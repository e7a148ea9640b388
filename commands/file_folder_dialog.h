// The Open dialog reworked to return whatever is selected in its list: a
// file, a folder, or with nothing selected the folder being shown. The
// plug-in and the desktop icon carry the same dialog, so it depends on the
// framework alone.
#pragma once

#include "framework/file_dialog.h"

#include <windows.h>

#include <string>

class CFileFolderDialog : public fw::CFileDialog {
public:
    // `ignored` stands where a default file name would go.
    CFileFolderDialog(bool openDialog, DWORD flags, const wchar_t* ignored, HWND owner);
    ~CFileFolderDialog() override = default;

    // IDOK once the user pressed OK on a file-system item; the path is then
    // full and has no trailing backslash (except a drive's root).
    using fw::CFileDialog::DoModal;
    std::wstring GetPath() const { return m_path; }

    // Controls of the common dialog used here.
    static constexpr int kShellViewId = 1121;  // its child 1 is the list
    static constexpr int kListId = 1;
    static constexpr int kFileNameComboId = 1148;
    static constexpr int kFileNameEditId = 1152;  // the file-name box of older templates and Wine
    static constexpr int kFileTypeId = 1136;

protected:
    BOOL OnInitDialog() override;
    void OnFileNameChange() override;
    void OnFolderChange() override;

private:
    static LRESULT CALLBACK ParentWndProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    bool Subclass(HWND dialog);
    static void Unsubclass(HWND dialog);
    void OnOK(HWND dialog);
    HWND FileNameBox() const;

    std::wstring m_path;
};
