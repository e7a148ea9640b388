// The Settings page (template 204): which security profile the shredding
// program uses, the High, Medium and Low profiles built in, Advanced and
// Simple delete edited by the user. View Details opens the selected
// profile's dialog; Apply stores the choice. The program reads it from the
// registry when it next shreds, so nothing is sent to it.
#pragma once

#include "plugin/editing_page.h"
#include "settings/settings_store.h"

#include <cstdint>

class CSettingsDlg : public CEditingPage {
public:
    CSettingsDlg();
    // Shows the stored choice; runs again after a restore.
    BOOL OnInitDialog() override;
    // Stores the selected profile, creating its subkey with a first body
    // when it has none yet; false when it could not be saved.
    bool Apply() override;

protected:
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;

private:
    int32_t SelectedProfile() const;
    void OnViewDetails();
    void OnProfileRadio();

    SettingsStore m_settings;
};
