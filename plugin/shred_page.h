// The Shred page (template 202): Zarev Ozi and Shred One, and the triggers
// of the per-user settings (shutdown, browser start and quit, one scheduled
// shred, a key sequence). Apply validates them, creates or deletes the
// scheduled task, tells Graventa about the browser triggers and saves the
// trigger group.
#pragma once

#include "framework/gdi_object.h"
#include "framework/property_page.h"
#include "plugin/schedule_controls.h"
#include "settings/settings_store.h"

#include <string>

class CShredDlg : public fw::CPropertyPage {
public:
    CShredDlg();
    // Fills the page from the stored triggers; runs again after a restore.
    BOOL OnInitDialog() override;
    // Applies the page; false when the user must correct something first
    // (a message told what).
    bool ApplySettings();
    // Whether the page's own Apply button is enabled.
    bool ApplyEnabled() const;
    void DisableApply();
    // Brings the key controls into line with the key-sequence box.
    void OnKeySequence();

protected:
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool IsChecked(int id) const;
    void Check(int id, bool checked) const;
    void Enable(int id, bool enable) const;
    void EnableApply() const;
    void SetTexts() const;
    void ShowKeySequence() const;
    void OnModifier();
    void OnActivateScheduler();
    void OnBrowserTrigger(int id);
    void OnApplyButton();
    // False, with a message shown, when the key sequence cannot be saved.
    bool ValidateKeySequence(std::wstring& key) const;
    schedule::SchedulePickers Pickers() const;
    schedule::ScheduledRun Run() const;

    SettingsStore m_settings;
    fw::UniqueBrush m_brush;
    fw::UniqueFont m_font;
};
