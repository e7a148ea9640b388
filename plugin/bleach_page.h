// The Bleaching page (template 203).
#pragma once

#include "framework/property_page.h"

class CBleachDlg : public fw::CPropertyPage {
public:
    CBleachDlg();
    BOOL OnInitDialog() override;
    // Applies the page's schedule; false when the user must correct something.
    bool ApplySchedule();
    bool ApplyEnabled() const;
    void DisableApply();
};
