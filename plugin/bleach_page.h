// The Bleaching page (template 203): Bleach Now, and one scheduled
// free-space bleach. Apply creates or deletes the scheduled task and saves
// the bleach-schedule group of the settings.
#pragma once

#include "framework/gdi_object.h"
#include "framework/property_page.h"
#include "plugin/schedule_controls.h"
#include "settings/settings_store.h"

class CBleachDlg : public fw::CPropertyPage {
public:
    CBleachDlg();
    // Fills the page from the stored schedule; runs again after a restore.
    BOOL OnInitDialog() override;
    // Applies the page's schedule; false when the user must correct something
    // (a message told what).
    bool ApplySchedule();
    bool ApplyEnabled() const;
    void DisableApply();

protected:
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void EnableApply() const;
    void EnableSchedule(bool enable) const;
    void OnActivateScheduler();
    void OnApplyButton();
    schedule::SchedulePickers Pickers() const;
    schedule::ScheduledRun Run() const;

    SettingsStore m_settings;
    fw::UniqueBrush m_brush;
    fw::UniqueFont m_font;
};
