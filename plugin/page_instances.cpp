#include "plugin/page_instances.h"

#include "plugin/bleach_page.h"
#include "plugin/settings_page.h"
#include "plugin/shred_page.h"

PageInstances& OpenPages()
{
    static PageInstances pages;
    return pages;
}

void ApplyOtherPendingPages(const void* self)
{
    const PageInstances& pages = OpenPages();
    if (pages.shred && pages.shred != self && pages.shred->ApplyEnabled() &&
        pages.shred->ApplySettings())
        pages.shred->DisableApply();
    if (pages.bleach && pages.bleach != self && pages.bleach->ApplyEnabled() &&
        pages.bleach->ApplySchedule())
        pages.bleach->DisableApply();
    if (pages.settings && pages.settings != self && pages.settings->ApplyEnabled() &&
        pages.settings->ApplyProfile())
        pages.settings->DisableApply();
}

void RefreshOpenPages()
{
    const PageInstances& pages = OpenPages();
    if (pages.shred) {
        pages.shred->OnInitDialog();
        pages.shred->OnKeySequence();
    }
    if (pages.bleach)
        pages.bleach->OnInitDialog();
    if (pages.settings)
        pages.settings->OnInitDialog();
}
