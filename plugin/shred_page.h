// The Shred page (template 202): Zarev Ozi and Shred One, and the triggers
// of the per-user settings (shutdown, browser start and quit, one scheduled
// shred, a key sequence). Apply validates them, creates or deletes the
// scheduled task, tells Graventa about the browser triggers and saves the
// trigger group.
#pragma once

#include "plugin/editing_page.h"
#include "plugin/schedule_controls.h"
#include "settings/settings_store.h"

#include <string>

class CShredDlg : public CEditingPage {
public:
    CShredDlg();
    // Fills the page from the stored triggers; runs again after a restore.
    BOOL OnInitDialog() override;
    // Validates and saves the triggers; nothing happens when the key
    // sequence is refused.
    bool Apply() override;
    // The stored triggers again; the key controls then come into line with
    // the key-sequence box, which also enables Apply.
    void Refresh() override;
    // Brings the key controls into line with the key-sequence box.
    void OnKeySequence();

protected:
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;

private:
    bool IsChecked(int id) const;
    void Check(int id, bool checked) const;
    void Enable(int id, bool enable) const;
    void SetTexts() const;
    void ShowKeySequence() const;
    void OnModifier();
    void OnActivateScheduler();
    void OnBrowserTrigger(int id);
    // False, with a message shown, when the key sequence cannot be saved.
    bool ValidateKeySequence(std::wstring& key) const;
    schedule::SchedulePickers Pickers() const;
    schedule::ScheduledRun Run() const;

    SettingsStore m_settings;
};
