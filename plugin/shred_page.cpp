// Placeholder until the page's controls land.
#include "plugin/shred_page.h"

#include "resources/halvorin/resource.h"

CShredDlg::CShredDlg() : fw::CPropertyPage(IDD_SHRED_PAGE) {}
BOOL CShredDlg::OnInitDialog() { return TRUE; }
bool CShredDlg::ApplySettings() { return true; }
bool CShredDlg::ApplyEnabled() const { return false; }
void CShredDlg::DisableApply() {}
