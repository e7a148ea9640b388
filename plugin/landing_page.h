// The landing page (template 201): the product's picture, name, description
// and version. And the request that brings the desktop icon back: whenever
// the landing or Settings page is shown or hidden while the icon's class is
// not registered, the bleach service is asked to register it.
#pragma once

#include "framework/display_style.h"
#include "framework/gdi_object.h"
#include "framework/property_page.h"

#include <windows.h>

#include <string>

class CLandingDlg : public fw::CPropertyPage {
public:
    CLandingDlg();
    // Again on a restore: the brush and fonts of the last run are replaced.
    BOOL OnInitDialog() override;

protected:
    // PSN_HELP opens the product's help; every notification returns FALSE.
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    // WM_DESTROY: the help window closes with the page.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    fw::CDisplayStyle m_style{fw::CDisplayStyle::kCellsInBackground};
    fw::UniqueFont m_titleFont;
};

// `prefix` ("Version ") followed by " H/100.(H%100)/10.H%10." and
// "Product_LowVer" when the product key holds "Product_HighVer" H; empty
// when it does not.
std::wstring ProductVersionText(const std::wstring& prefix);

// Asks the bleach service to register the desktop icon when its ProgID is
// missing, then lets the shell redraw the desktop. Pauses the calling thread
// when it asks (the service needs the time to run regsvr32).
void EnsureDesktopIcon();
