// FWHost.exe: the host stand-in for a person at a display. Without an
// argument it shows the property sheet of the registered plug-ins; with
// "/tray" it pops up the tray menu at the cursor and runs the chosen item;
// "/page:N" opens the sheet at its Nth page; "/font:N" offers the plug-ins
// a display font of N points, as the host's font setting does.
// Balloons sent meanwhile are kept by the stand-in's tray.
#include "host/host.h"

#include <commctrl.h>
#include <objbase.h>

#include <cwchar>

namespace {

constexpr UINT kFirstPluginId = 100;

int ShowSheet(const fwhost::PluginObjects& objects, int startPage, int fontPoints)
{
    win32::ComPtr<fwhost::CHostPageSite> site(new fwhost::CHostPageSite);
    if (fontPoints > 0) {
        VARIANT size;
        ::VariantInit(&size);
        V_VT(&size) = VT_I4;
        V_I4(&size) = fontPoints;
        site->SetProperty(kFwtwFontSize, size);
    }
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

    bool trayMenu = false;
    int startPage = 0;
    int fontPoints = 0;
    for (int i = 1; i < __argc; ++i) {
        if (::_wcsicmp(__wargv[i], L"/tray") == 0)
            trayMenu = true;
        else if (::_wcsnicmp(__wargv[i], L"/page:", 6) == 0)
            startPage = ::_wtoi(__wargv[i] + 6);
        else if (::_wcsnicmp(__wargv[i], L"/font:", 6) == 0)
            fontPoints = ::_wtoi(__wargv[i] + 6);
    }
    const int result = trayMenu ? ShowTrayMenu(objects) : ShowSheet(objects, startPage, fontPoints);

    objects = {};
    tray.reset();
    ::CoUninitialize();
    return result;
}
