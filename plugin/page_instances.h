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

// After an Apply button of the page `self`: every other open page whose own
// Apply button is enabled is applied, Shred, Bleaching, Settings in this
// order, and its button disabled once its apply went through (a refusal
// keeps it, with the message the page showed).
void ApplyOtherPendingPages(const void* self);

// After a restore: the open editing pages show the settings again. The
// Shred page then brings its key controls into line, which also enables
// its Apply button.
void RefreshOpenPages();
