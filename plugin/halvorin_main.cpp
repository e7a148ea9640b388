// The plug-in library Halvorin: a thin shell over the plug-in library. Its
// four exports (named undecorated by halvorin.def) forward to the module.
#include "framework/module.h"
#include "plugin/plugin_module.h"

#include <windows.h>
#include <objbase.h>
#include <olectl.h>

// Only the module handle is kept, so that strings, pages and icons load from
// this library; nothing else runs under the loader lock.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        fw::SetResourceInstance(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return PluginGetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return PluginCanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return PluginRegisterServer(fw::ResourceInstance());
}

STDAPI DllUnregisterServer()
{
    return PluginUnregisterServer();
}
