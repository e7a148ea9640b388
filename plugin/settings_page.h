// The Settings page (template 204). Its controls come later; until then the
// page only shows, and its procedure asks for the desktop icon on show.
#pragma once

#include "framework/property_page.h"

class CSettingsDlg : public fw::CPropertyPage {
public:
    CSettingsDlg();
};
