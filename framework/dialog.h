// One base class for the product's dialogs, modeless and modal, made from
// templates in fw::ResourceInstance(). The object is attached to its window
// at WM_INITDIALOG (from the creation parameter) and detached at
// WM_NCDESTROY; messages are passed to the virtual handlers below, and
// nothing thrown by a handler leaves the dialog procedure.
//
// A modeless dialog is destroyed on the thread that created it: by
// DestroyWindow, by OnCancel/OnOK of a modeless dialog, or by the destructor
// of the object (a derived class that needs its OnDestroy must call
// DestroyWindow in its own destructor: by the time the base's runs, the
// derived handlers are gone). Modal dialogs run through the UI seam.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

// The whole text of a window or control; empty when it has none. The
// buffer it was read through is wiped, since the text may be a password.
std::wstring ControlText(HWND control);

// Moves `window` so that its centre lies on the centre of `owner`, kept
// inside the work area of the owner's monitor; with no owner, on the centre
// of that work area. A nested window opens over what opened it, never at
// the corner of its owner or of the screen.
void CentreOnOwner(HWND window, HWND owner);

class CDialog {
public:
    explicit CDialog(UINT templateId);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Modeless: creates the window (hidden unless the template says
    // WS_VISIBLE); false when the template is missing or creation failed.
    bool Create(HWND owner);
    // Modal, through the UI seam: the dialog's result, or -1 when it could not
    // be shown (no template, or nobody to answer in an unattended process).
    // With an owner, the dialog opens centred on it once initialised.
    INT_PTR DoModal(HWND owner);

    HWND GetHwnd() const { return m_hwnd; }
    HWND GetDlgItem(int id) const { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }
    UINT TemplateId() const { return m_templateId; }
    bool IsModal() const { return m_modal; }
    bool DestroyWindow();
    // Ends a modal dialog with `result`.
    void EndDialog(INT_PTR result);

    // The attached object of a dialog window made by this class, or null.
    static CDialog* FromHandle(HWND hwnd);

protected:
    // TRUE lets the system put the focus on the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    // True when handled. The default sends IDOK and IDCANCEL to OnOK/OnCancel.
    virtual bool OnCommand(WORD id, WORD notifyCode, HWND control);
    // Modal: end with IDOK / IDCANCEL. Modeless: destroy the window.
    virtual void OnOK();
    virtual void OnCancel();
    // For every WM_CTLCOLOR* message (type is CTLCOLOR_DLG, CTLCOLOR_STATIC
    // ...): the brush to paint with, or null for the system's.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT type);
    // True when handled; `result` becomes the message result.
    virtual bool OnNotify(NMHDR& header, LRESULT& result);
    // WM_DESTROY, while the window and its children still exist.
    virtual void OnDestroy() {}
    // Every other message; true when handled, `result` is then returned from
    // the dialog procedure (for messages that need a result in
    // DWLP_MSGRESULT, use SetMsgResult and return TRUE).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    void SetMsgResult(LRESULT result);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleInitDialog(HWND hwnd);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    UINT m_templateId;
    HWND m_hwnd = nullptr;
    bool m_modal = false;
    HWND m_modalOwner = nullptr;
    // Set while a modal run is answered by a responder of the UI seam.
    void* m_modalResponder = nullptr;
};

}  // namespace fw
