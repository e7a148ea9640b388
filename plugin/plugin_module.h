// The plug-in module: the object table and class factory through which the
// host creates the plug-in's objects, and its registration under the host's
// plug-in key. Halvorin's four exports forward to these functions; tests that
// link the plug-in library call them directly.
#pragma once

#include "framework/com/class_factory.h"

#include <windows.h>

// The four plain objects, in this order: CPlugin, CTWTrayMenu,
// CTWNotifications, CTWTrayNotifyCallback. Each class identifier is also the
// identifier of the one host interface its object answers.
extern const fw::ClassEntry PluginObjectTable[4];

// DllGetClassObject: CLSID_TWBackupRestore through the module object, the
// table's classes through CPluginFactory, anything else
// CLASS_E_CLASSNOTAVAILABLE with nothing made.
HRESULT PluginGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);

// DllCanUnloadNow: S_FALSE; the host keeps the library for as long as it runs.
HRESULT PluginCanUnloadNow();

// DllRegisterServer and DllUnregisterServer: every one of the five entries
// is tried; the first failure is returned.
HRESULT PluginRegisterServer(HMODULE library);
HRESULT PluginUnregisterServer();
