// A property page whose window someone else created from a template with a
// dialog procedure of its own (the host builds the plug-in's pages that way).
// The object attaches by subclassing the page window: each message reaches
// the virtual handlers first, and what they leave goes on to the window's
// previous procedure, so the dialog manager and the page's own procedure
// still see every unhandled message. Nothing thrown by a handler leaves the
// window procedure. The object detaches itself at WM_NCDESTROY, before the
// previous procedure runs, so that procedure may delete the object then.
#pragma once

#include <windows.h>

namespace fw {

class CPropertyPage {
public:
    explicit CPropertyPage(UINT templateId) : m_templateId(templateId) {}
    virtual ~CPropertyPage();
    CPropertyPage(const CPropertyPage&) = delete;
    CPropertyPage& operator=(const CPropertyPage&) = delete;

    // False when this object already has a window or `page` another object.
    bool SubclassWindow(HWND page);
    // Puts the previous procedure back; the window stays.
    void UnsubclassWindow();

    HWND GetHwnd() const { return m_hwnd; }
    HWND GetDlgItem(int id) const { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }
    UINT TemplateId() const { return m_templateId; }
    // The object attached to a page window by this class, or null.
    static CPropertyPage* FromHandle(HWND page);

    // Tells the sheet (the page's parent) that the page has changes, or none.
    void SetModified(bool changed = true);

    // Run by whoever attached the page, once the window is subclassed, and
    // again to show settings that changed underneath (a restore).
    virtual BOOL OnInitDialog() { return TRUE; }

protected:
    // True when handled (the message then stops here).
    virtual bool OnCommand(WORD /*id*/, WORD /*notifyCode*/, HWND /*control*/) { return false; }
    // True when handled; `result` is the message's result.
    virtual bool OnNotify(NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    // For every WM_CTLCOLOR* message: the brush to paint with, or null.
    virtual HBRUSH OnCtlColor(HDC /*dc*/, HWND /*control*/, UINT /*type*/) { return nullptr; }
    // WM_DESTROY, while the window and its children still exist.
    virtual void OnDestroy() {}
    // Sees every message before the handlers above; true when handled.
    virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }

    // The window's previous procedure for this message.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK PageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_hwnd = nullptr;
    WNDPROC m_previous = nullptr;
};

}  // namespace fw
