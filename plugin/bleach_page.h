// The Bleaching page (template 203): Bleach Now, and one scheduled
// free-space bleach. Apply creates or deletes the scheduled task and saves
// the bleach-schedule group of the settings.
#pragma once

#include "plugin/editing_page.h"
#include "plugin/schedule_controls.h"
#include "settings/settings_store.h"

class CBleachDlg : public CEditingPage {
public:
    CBleachDlg();
    // Fills the page from the stored schedule; runs again after a restore.
    BOOL OnInitDialog() override;
    // Applies the page's schedule and saves it.
    bool Apply() override;

protected:
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;

private:
    void EnableSchedule(bool enable) const;
    void OnActivateScheduler();
    schedule::SchedulePickers Pickers() const;
    schedule::ScheduledRun Run() const;

    SettingsStore m_settings;
};
