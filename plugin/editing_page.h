// What the three editing pages (Shred, Bleaching, Settings) share: the
// host's display look, an Apply button of their own that also applies the
// other open pages, the notifications (PSN_APPLY, PSN_HELP, a picker's
// change) and the owner-drawn description. Each page object records itself
// in the open pages (plugin/page_instances.h) under its slot.
#pragma once

#include "framework/display_style.h"
#include "framework/property_page.h"

#include <windows.h>

class CEditingPage : public fw::CPropertyPage {
public:
    // The page's controls the base drives; 0 for a control the page lacks.
    struct Controls {
        int apply;
        int description;
        int date;
        int time;
    };

    // Applies the page; false when the user must correct something (a
    // message told what) or the settings could not be saved.
    virtual bool Apply() = 0;
    // After a restore: the page shows the settings again.
    virtual void Refresh() { OnInitDialog(); }

    // Whether the page's own Apply button is enabled.
    bool ApplyEnabled() const;
    void DisableApply();

protected:
    CEditingPage(UINT templateId, const Controls& controls);

    void EnableApply() const;
    // The host's current display look: a new brush, the display font on
    // every control.
    void RefreshLook();
    // The page's own Apply button: this page, then the other pending ones.
    void OnApplyButton();

    // A change of the date or time picker enables Apply, PSN_HELP opens
    // help, PSN_APPLY applies (a refusal keeps the sheet on the page).
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    // WM_DRAWITEM of the description static.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    Controls m_controls;
    fw::CDisplayStyle m_style;
};
