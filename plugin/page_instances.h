// The live page objects, one per page, while their windows exist: the Apply
// buttons apply the other open pages through them, and a restore refreshes
// them. Only the host's UI thread reads or writes them. The record knows
// the pages' base classes only.
#pragma once

namespace fw {
class CPropertyPage;
}
class CEditingPage;

struct PageInstances {
    fw::CPropertyPage* landing = nullptr;
    // The editing pages, in the order they are applied and refreshed.
    CEditingPage* shred = nullptr;
    CEditingPage* bleach = nullptr;
    CEditingPage* settings = nullptr;
};

PageInstances& OpenPages();

// After an Apply button of the page `self`: every other open page whose own
// Apply button is enabled is applied, Shred, Bleaching, Settings in this
// order, and its button disabled once its apply went through (a refusal
// keeps it, with the message the page showed).
void ApplyOtherPendingPages(const CEditingPage* self);

// After a restore: the open editing pages show the settings again.
void RefreshOpenPages();
