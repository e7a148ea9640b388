// A thin stand-in for the common Open and Save As dialogs in their classic
// explorer form with a hook: GetOpenFileNameW / GetSaveFileNameW with
// OFN_EXPLORER | OFN_ENABLEHOOK, the hook's messages passed to the virtual
// handlers below. The hook window is a child of the dialog window; the
// dialog's own controls belong to GetDialogWindow().
//
// Runs through the UI seam like fw::CDialog: a responder is called at the
// dialog's first CDN_INITDONE with the dialog window, already showing its
// first folder, and may answer or drive it (return kUiLetRun). Unattended
// without a responder nothing is shown and the dialog counts as cancelled.
// Nothing thrown by a handler leaves the hook procedure. The dialog opens
// centred on its owner, or on the work area without one (CentreOnOwner).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

namespace fw {

class CFileDialog {
public:
    // `filter` in the "Text (*.txt)|*.txt|All (*.*)|*.*||" form; null shows
    // every file. `flags` get OFN_EXPLORER | OFN_ENABLEHOOK added.
    CFileDialog(bool openDialog, const wchar_t* defaultExt = nullptr,
                const wchar_t* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                const wchar_t* filter = nullptr, HWND parent = nullptr);
    virtual ~CFileDialog() = default;
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the dialog ended with OK, IDCANCEL when it was cancelled,
    // failed or could not be shown; a responder's answer replaces both.
    INT_PTR DoModal();

    // While the dialog runs they ask the dialog (CDM_ messages: the name in
    // its file-name box, the folder it shows); afterwards they read the
    // result. Empty when there is none.
    std::wstring GetPathName() const;
    std::wstring GetFileName() const;
    // The file name without its extension, and the extension without its dot.
    std::wstring GetFileTitle() const;
    std::wstring GetFileExt() const;
    // The file-system folder the dialog shows; empty for a virtual folder
    // (the computer, the network) and when the dialog is not running.
    std::wstring GetFolderPath() const;

    // The hook window (a child of the dialog), and the dialog window.
    HWND GetHwnd() const { return m_hook; }
    HWND GetDialogWindow() const { return m_hook ? ::GetParent(m_hook) : nullptr; }

protected:
    // WM_INITDIALOG of the hook window; the dialog's controls exist. TRUE
    // lets the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // CDN_INITDONE: the dialog shows its first folder.
    virtual void OnInitDone() {}
    // CDN_SELCHANGE: the selection in the list changed.
    virtual void OnFileNameChange() {}
    // CDN_FOLDERCHANGE: another folder is shown.
    virtual void OnFolderChange() {}
    // CDN_FILEOK: true refuses the name and keeps the dialog open.
    virtual bool OnFileNameOK() { return false; }

private:
    static UINT_PTR CALLBACK HookProc(HWND hook, UINT message, WPARAM wParam, LPARAM lParam);
    UINT_PTR HandleNotify(const OFNOTIFYW& notify);
    void HandleInitDone();
    std::wstring AskDialog(UINT message) const;

    OPENFILENAMEW m_ofn{};
    std::wstring m_filter;
    std::wstring m_defaultExt;
    wchar_t m_file[MAX_PATH] = {};
    wchar_t m_fileTitle[MAX_PATH] = {};
    bool m_openDialog;
    HWND m_hook = nullptr;
    bool m_initDone = false;
    // Set while a modal run is answered by a responder of the UI seam.
    void* m_modalResponder = nullptr;
    INT_PTR m_answer = 0;
    bool m_answered = false;
};

}  // namespace fw
