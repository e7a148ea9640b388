// The small dialog (template 212) that asks for one user entry of a profile:
// an existing file or folder, typed or chosen with "...", or a file pattern
// such as *.tmp.
#pragma once

#include "framework/dialog.h"
#include "framework/display_style.h"
#include "settings/list_entry.h"

#include <windows.h>

#include <string>

class CAddCustomDlg : public fw::CDialog {
public:
    CAddCustomDlg();

    // The accepted entry after a result of IDOK; empty when the field was.
    std::wstring GetValue() const { return m_value; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;

private:
    void Browse();
    void Accept();
    void Refuse();

    std::wstring m_value;
    // The text colour only: the background stays each control's own.
    fw::CDisplayStyle m_style{fw::CDisplayStyle::kTextColourOnly};
};
