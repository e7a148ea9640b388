// The dialogs behind the Settings page's View Details: the Advanced profile
// (template 211), the Simple delete profile (214) and the built-in profiles
// High, Medium and Low (215). Each loads and saves its profile's body in a
// settings record of its own and never changes which profile is current.
#pragma once

#include "framework/dialog.h"

#include <cstdint>

class CDetailsDlg : public fw::CDialog {
public:
    CDetailsDlg();
    void SetProfile(int32_t profile);
};

class CSimpleDetailsDlg : public fw::CDialog {
public:
    CSimpleDetailsDlg();
    void SetProfile(int32_t profile);
};

class CProfileDetailsDlg : public fw::CDialog {
public:
    CProfileDetailsDlg();
    void SetProfile(int32_t profile);
};
