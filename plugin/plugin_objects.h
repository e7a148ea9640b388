// The plug-in's plain objects, as the module's object table creates them.
// Each creator makes its object, hands out the interface asked for and
// releases its own reference (fw::CreateComObject).
#pragma once

#include <windows.h>

HRESULT CreatePluginPages(REFIID riid, void** ppv);         // CPlugin
HRESULT CreateTrayMenu(REFIID riid, void** ppv);            // CTWTrayMenu
HRESULT CreateTrayNotifications(REFIID riid, void** ppv);   // CTWNotifications
HRESULT CreateTrayNotifyCallback(REFIID riid, void** ppv);  // CTWTrayNotifyCallback
