// The plug-in's property sheet from the host stand-in, with its editing
// pages attached the way their page procedures attach them:
// object made, recorded in OpenPages(), subclassed, OnInitDialog run. When
// the page procedure made the object already, that one is used.
#pragma once

#include "plugin/bleach_page.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/settings_page.h"
#include "plugin/shred_page.h"
#include "win32/com_ptr.h"

#include <windows.h>

#include <memory>

namespace plugintest {

class PageSheet {
public:
    PageSheet() = default;
    ~PageSheet();
    PageSheet(const PageSheet&) = delete;
    PageSheet& operator=(const PageSheet&) = delete;

    // The sheet of every page the plug-in offers, with the host's display
    // font size when given; false when it failed.
    bool Open(int fontSize = 0);
    HWND Sheet() const { return m_sheet; }
    // Selects the landing page; its own page procedure attaches it.
    HWND ShowLanding();
    // Selects the page (the sheet makes its window then) and attaches it.
    CShredDlg* ShowShred();
    CBleachDlg* ShowBleach();
    CSettingsDlg* ShowSettings();
    // Destroys the sheet and the objects this helper made.
    void Close();

private:
    HWND PageWindow(int index) const;

    win32::ComPtr<IFWTWPages> m_plugin;
    HWND m_sheet = nullptr;
    std::unique_ptr<CShredDlg> m_shred;
    std::unique_ptr<CBleachDlg> m_bleach;
    std::unique_ptr<CSettingsDlg> m_settings;
};

}  // namespace plugintest
