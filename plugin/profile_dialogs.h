// The dialogs behind the Settings page's View Details: the Advanced profile
// (template 211), the Simple delete profile (214) and the built-in profiles
// High, Medium and Low (215). Each loads and saves its profile's body in a
// settings record of its own and never changes which profile is current.
#pragma once

#include "framework/check_list_box.h"
#include "framework/dialog.h"
#include "framework/display_style.h"
#include "framework/gdi_object.h"
#include "plugin/profile_lists.h"
#include "settings/settings_store.h"

#include <windows.h>

#include <cstdint>
#include <memory>

// What the three dialogs share; they differ in their template, their
// captions and in what the user may change.
class CProfileDialog : public fw::CDialog {
public:
    // The profile to show; the opener sets it before the modal run.
    void SetProfile(int32_t profile);

protected:
    enum class Form {
        Advanced,  // lists, user entries, exclude list, shred cycle
        Simple,    // the same without a shred cycle: always simple delete
        BuiltIn,   // the confirmation flags of a built-in profile only
    };
    CProfileDialog(UINT templateId, Form form);

    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;

private:
    void SetCaptions();
    void ShowAsReadOnly();
    void FitExtents();
    void FillRadioButtons();
    void EnableApply();
    void Error(UINT textId, const std::wstring& entry = {});

    void MoveToShredList();
    void MoveBack();
    void DeleteAvailable();
    // The custom option dialog's entry into the list, unless it is empty or
    // there already.
    void AddCustomEntryTo(int listId);
    void AddCustomOption();
    void AddExclude();
    void RemoveExclude();
    void Apply();

    ProfileLists Lists();

    Form m_form;
    SettingsStore m_settings;
    int32_t m_userEntries = 0;
    fw::CCheckListBox m_shredList;
    // The text colour only: background colour and mode stay each control's.
    fw::CDisplayStyle m_style{fw::CDisplayStyle::kTextColourOnly};
    fw::UniqueFont m_headingFont;
};

class CDetailsDlg : public CProfileDialog {
public:
    CDetailsDlg();
};

class CSimpleDetailsDlg : public CProfileDialog {
public:
    CSimpleDetailsDlg();
};

class CProfileDetailsDlg : public CProfileDialog {
public:
    CProfileDetailsDlg();
};

// The dialog that shows profile `profile` (built-in details for High,
// Medium and Low), handed its profile; null when out of memory.
std::unique_ptr<CProfileDialog> MakeProfileDialog(int32_t profile);
