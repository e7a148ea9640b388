// The desktop icon Fennick.dll: a thin shell over the desktop library. Its
// four exports (named undecorated by fennick.def) forward to the module.
#include "desktop/fennick_module.h"
#include "framework/module.h"

#include <windows.h>
#include <objbase.h>

// Only the module object is made, so that strings, the icon and the type
// library load from this library; nothing else runs under the loader lock.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        fw::SetResourceInstance(instance);
        CreateFennickModule(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return FennickModule().GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return FennickModule().CanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return FennickModule().RegisterServer();
}

STDAPI DllUnregisterServer()
{
    return FennickModule().UnregisterServer();
}
