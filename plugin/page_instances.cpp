#include "plugin/page_instances.h"

#include "plugin/editing_page.h"

namespace {

constexpr CEditingPage* PageInstances::*kEditingSlots[] = {
    &PageInstances::shred, &PageInstances::bleach, &PageInstances::settings};

}  // namespace

PageInstances& OpenPages()
{
    static PageInstances pages;
    return pages;
}

void ApplyOtherPendingPages(const CEditingPage* self)
{
    // Read again at each step: a page's message box runs a message loop.
    const PageInstances& pages = OpenPages();
    for (CEditingPage* PageInstances::*slot : kEditingSlots) {
        CEditingPage* page = pages.*slot;
        if (page && page != self && page->ApplyEnabled() && page->Apply())
            page->DisableApply();
    }
}

void RefreshOpenPages()
{
    const PageInstances& pages = OpenPages();
    for (CEditingPage* PageInstances::*slot : kEditingSlots) {
        if (CEditingPage* page = pages.*slot)
            page->Refresh();
    }
}
