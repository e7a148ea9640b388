// The live page objects, one per page, while their windows exist: the Apply
// buttons apply the other open pages through them, and a restore refreshes
// them. Only the host's UI thread reads or writes them.
#pragma once

class CLandingDlg;
class CShredDlg;
class CBleachDlg;
class CSettingsDlg;

struct PageInstances {
    CLandingDlg* landing = nullptr;
    CShredDlg* shred = nullptr;
    CBleachDlg* bleach = nullptr;
    CSettingsDlg* settings = nullptr;
};

PageInstances& OpenPages();
