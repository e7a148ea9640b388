#include "framework/module.h"

#include <commctrl.h>

#include <atomic>

namespace fw {

namespace {
std::atomic<HINSTANCE> g_resourceInstance{nullptr};
}

HINSTANCE ResourceInstance()
{
    const HINSTANCE module = g_resourceInstance.load();
    return module ? module : ::GetModuleHandleW(nullptr);
}

void SetResourceInstance(HINSTANCE module)
{
    g_resourceInstance.store(module);
}

bool EnsureCommonControls()
{
    // Same class set the application registers at start-up; repeating the
    // call is harmless, so no once-flag is needed across threads.
    INITCOMMONCONTROLSEX init = {sizeof(init), 0xFF};
    return ::InitCommonControlsEx(&init) != FALSE;
}

}  // namespace fw
