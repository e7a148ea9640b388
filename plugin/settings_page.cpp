#include "plugin/settings_page.h"

#include "plugin/profile_dialogs.h"
#include "plugin/schedule_controls.h"
#include "resources/halvorin/resource.h"

namespace {

// The radio buttons in profile order. The ids are not: Medium is 270 and
// Low 269.
constexpr int kProfileRadios[] = {
    IDC_PROFILE_HIGH, IDC_PROFILE_MEDIUM, IDC_PROFILE_LOW, IDC_PROFILE_ADVANCED, IDC_PROFILE_SIMPLE,
};
constexpr int kFirstRadio = IDC_PROFILE_HIGH;
constexpr int kLastRadio = IDC_PROFILE_SIMPLE;

}  // namespace

// The page has no pickers.
CSettingsDlg::CSettingsDlg()
    : CEditingPage(IDD_SETTINGS_PAGE, {IDC_SETTINGS_APPLY, IDC_SETTINGS_DESCRIPTION, 0, 0})
{
}

BOOL CSettingsDlg::OnInitDialog()
{
    const HWND page = GetHwnd();
    DisableApply();
    // A missing or unknown stored number shows Simple delete, also when the
    // page runs again after a restore.
    m_settings.SetSecurityProfile(kProfileSimple);
    m_settings.LoadSecurityProfile();
    RefreshLook();

    const schedule::ControlString texts[] = {
        {IDC_SETTINGS_DESCRIPTION, IDS_SETTINGS_DESCRIPTION},
        {IDC_PROFILE_HIGH, IDS_PROFILE_HIGH},
        {IDC_PROFILE_MEDIUM, IDS_PROFILE_MEDIUM},
        {IDC_PROFILE_LOW, IDS_PROFILE_LOW},
        {IDC_PROFILE_ADVANCED, IDS_PROFILE_ADVANCED},
        {IDC_PROFILE_SIMPLE, IDS_PROFILE_SIMPLE},
        {IDC_VIEW_DETAILS, IDS_VIEW_DETAILS},
        {IDC_SETTINGS_APPLY, IDS_APPLY},
    };
    for (const auto& text : texts)
        schedule::SetControlText(page, text);

    const int32_t profile = m_settings.GetSecurityProfile();
    if (profile >= kProfileHigh && profile <= kProfileSimple)
        ::CheckRadioButton(page, kFirstRadio, kLastRadio, kProfileRadios[profile]);
    return TRUE;
}

int32_t CSettingsDlg::SelectedProfile() const
{
    for (int32_t profile = kProfileHigh; profile <= kProfileSimple; ++profile) {
        if (::IsDlgButtonChecked(GetHwnd(), kProfileRadios[profile]) == BST_CHECKED)
            return profile;
    }
    return kProfileSimple;
}

void CSettingsDlg::OnViewDetails()
{
    const int32_t profile = SelectedProfile();
    m_settings.SetSecurityProfile(profile);
    // Each dialog saves its own profile's body; the choice waits for Apply.
    if (const auto dialog = MakeProfileDialog(profile))
        dialog->DoModal(GetHwnd());
}

bool CSettingsDlg::Apply()
{
    m_settings.SetSecurityProfile(SelectedProfile());
    return m_settings.SaveSecurityProfile();
}

void CSettingsDlg::OnProfileRadio()
{
    SetModified();
    EnableApply();
}

bool CSettingsDlg::OnCommand(WORD id, WORD notifyCode, HWND)
{
    if (notifyCode != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_VIEW_DETAILS:
        OnViewDetails();
        return true;
    case IDC_SETTINGS_APPLY:
        OnApplyButton();
        return true;
    case IDC_PROFILE_HIGH:
    case IDC_PROFILE_MEDIUM:
    case IDC_PROFILE_LOW:
    case IDC_PROFILE_ADVANCED:
    case IDC_PROFILE_SIMPLE:
        OnProfileRadio();
        return true;
    default:
        return false;
    }
}
