// The Shred page (template 202).
#pragma once

#include "framework/property_page.h"

class CShredDlg : public fw::CPropertyPage {
public:
    CShredDlg();
    BOOL OnInitDialog() override;
    // Applies the page; false when the user must correct something first.
    bool ApplySettings();
    // Whether the page's own Apply button is enabled.
    bool ApplyEnabled() const;
    void DisableApply();
};
