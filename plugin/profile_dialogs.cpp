#include "plugin/profile_dialogs.h"

#include "resources/halvorin/resource.h"

CDetailsDlg::CDetailsDlg() : fw::CDialog(IDD_ADVANCED_DETAILS) {}
void CDetailsDlg::SetProfile(int32_t) {}

CSimpleDetailsDlg::CSimpleDetailsDlg() : fw::CDialog(IDD_SIMPLE_DETAILS) {}
void CSimpleDetailsDlg::SetProfile(int32_t) {}

CProfileDetailsDlg::CProfileDetailsDlg() : fw::CDialog(IDD_PROFILE_DETAILS) {}
void CProfileDetailsDlg::SetProfile(int32_t) {}
