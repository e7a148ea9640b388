// The Settings page (template 204): which security profile the shredding
// program uses, the High, Medium and Low profiles built in, Advanced and
// Simple delete edited by the user. View Details opens the selected
// profile's dialog; Apply stores the choice. The program reads it from the
// registry when it next shreds, so nothing is sent to it.
#pragma once

#include "framework/gdi_object.h"
#include "framework/property_page.h"
#include "settings/settings_store.h"

#include <cstdint>

class CSettingsDlg : public fw::CPropertyPage {
public:
    CSettingsDlg();
    // Shows the stored choice; runs again after a restore.
    BOOL OnInitDialog() override;
    // Stores the selected profile, creating its subkey with a first body
    // when it has none yet. False when it could not be stored.
    bool ApplyProfile();
    // Whether the page's own Apply button is enabled.
    bool ApplyEnabled() const;
    void DisableApply();

protected:
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    int32_t SelectedProfile() const;
    void OnViewDetails();
    void OnApplyButton();
    void OnProfileRadio();

    SettingsStore m_settings;
    fw::UniqueBrush m_brush;
    fw::UniqueFont m_font;
};
