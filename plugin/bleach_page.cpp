// Placeholder until the page's controls land.
#include "plugin/bleach_page.h"

#include "resources/halvorin/resource.h"

CBleachDlg::CBleachDlg() : fw::CPropertyPage(IDD_BLEACH_PAGE) {}
BOOL CBleachDlg::OnInitDialog() { return TRUE; }
bool CBleachDlg::ApplySchedule() { return true; }
bool CBleachDlg::ApplyEnabled() const { return false; }
void CBleachDlg::DisableApply() {}
