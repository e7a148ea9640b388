// FWHost.exe: the host stand-in for a person at a display. Without an
// argument it shows the property sheet of the registered plug-ins; with
// "/tray" it pops up the tray menu at the cursor and runs the chosen item;
// "/page:N" opens the sheet at its Nth page.
// Balloons sent meanwhile are kept by the stand-in's tray.
#include "host/host.h"

#include <commctrl.h>
#include <objbase.h>

#include <cwchar>

namespace {

constexpr UINT kFirstPluginId = 100;

int ShowSheet(const fwhost::PluginObjects& objects, int startPage)
{
    win32::ComPtr<fwhost::CHostPageSite> site(new fwhost::CHostPageSite);
    for (const auto& pages : objects.pages)
        pages->CreatePages(site.get());
    const HWND sheet = fwhost::CreatePropertySheet(site->TakeAcceptedPages(), nullptr, L"Console");
    if (!sheet)
        return 1;
    PropSheet_SetCurSel(sheet, nullptr, startPage);
    MSG message;
    while (PropSheet_GetCurrentPageHwnd(sheet) && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PropSheet_IsDialogMessage(sheet, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    ::DestroyWindow(sheet);
    return 0;
}

int ShowTrayMenu(const fwhost::PluginObjects& objects)
{
    fwhost::HostTrayMenu menu;
    if (FAILED(menu.Build(objects.menus, kFirstPluginId)))
        return 1;
    // TrackPopupMenu needs a window of this thread to own the menu.
    const HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
    POINT at = {};
    ::GetCursorPos(&at);
    ::SetForegroundWindow(owner);
    const UINT id = static_cast<UINT>(
        ::TrackPopupMenu(menu.Menu(), TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
    ::DestroyWindow(owner);
    menu.Invoke(id);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int)
{
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    fwhost::PluginObjects objects = fwhost::CreatePluginObjects(fwhost::ReadPluginKey());
    win32::ComPtr<fwhost::CHostTray> tray(new fwhost::CHostTray);
    for (const auto& subscriber : objects.subscribers)
        subscriber->Subscribe(tray.get());

    const bool trayMenu = __argc > 1 && ::_wcsicmp(__wargv[1], L"/tray") == 0;
    // "/page:N" opens the sheet at its Nth page.
    const int startPage =
        __argc > 1 && ::_wcsnicmp(__wargv[1], L"/page:", 6) == 0 ? ::_wtoi(__wargv[1] + 6) : 0;
    const int result = trayMenu ? ShowTrayMenu(objects) : ShowSheet(objects, startPage);

    objects = {};
    tray.reset();
    ::CoUninitialize();
    return result;
}
