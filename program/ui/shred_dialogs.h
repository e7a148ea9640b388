// The two small modal dialogs of the shredding program: a warning with one
// OK button (a protected path, nothing selected, a bleach already running)
// and a yes-or-no question (shred this item, skip shredding at shutdown).
// Both are shown without owner from whatever thread needs them, styled with
// the host's display properties, and run through the UI seam.
#pragma once

#include "engine/table_text.h"
#include "framework/dialog.h"
#include "framework/display_style.h"

#include <string>

class CShredMessageDlg : public fw::CDialog {
public:
    void SetMessage(const std::wstring& message) { m_message = message; }
    const std::wstring& Message() const { return m_message; }

protected:
    CShredMessageDlg(UINT templateId, int textControlId);
    BOOL OnInitDialog() override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    // Draws the owner-drawn text control (WM_DRAWITEM).
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void DrawMessage(const DRAWITEMSTRUCT& item) const;

    std::wstring m_message;
    HICON m_icon = nullptr;
    fw::CDisplayStyle m_style;
    int m_textControlId;
};

// Template 141; returns IDOK.
class CShredWarnDlg : public CShredMessageDlg {
public:
    CShredWarnDlg();
};

// Template 177; IDOK for Yes, IDCANCEL for No and for Escape.
class CShredConfDlg : public CShredMessageDlg {
public:
    CShredConfDlg();
};

// Shows the warning with `message`; returns the dialog's result.
INT_PTR ShowShredWarning(const std::wstring& message);
// Asks `question`; true only for Yes (IDOK).
bool AskShredConfirmation(const std::wstring& question);
