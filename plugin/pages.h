// What the plug-in's property pages share: the host's display properties,
// read each time the host asks for the pages, and the pages' dialog
// procedures. Pages and their properties live on the host's UI thread.
#pragma once

#include "settings/display_font_settings.h"

#include <windows.h>

#include <string>

// The host's display properties, or their defaults until the host was asked;
// the face name cut to what LOGFONT holds.
const DisplaySettings& CurrentDisplayProperties();

// The module that carries the plug-in's code and resources: the plug-in
// library, or a test program that links the plug-in's library.
HINSTANCE PluginResourceInstance();

INT_PTR CALLBACK LandingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ShredPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BleachPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
