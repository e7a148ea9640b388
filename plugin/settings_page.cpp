#include "plugin/settings_page.h"

#include "resources/halvorin/resource.h"

CSettingsDlg::CSettingsDlg() : fw::CPropertyPage(IDD_SETTINGS_PAGE) {}
