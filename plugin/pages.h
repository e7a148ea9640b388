// What the plug-in's property pages share: the host's display properties,
// read each time the host asks for the pages, and the pages' dialog
// procedures. Pages and their properties live on the host's UI thread.
#pragma once

#include <windows.h>

#include <string>

// The host's display properties, or their defaults until the host was asked.
struct DisplayProperties {
    COLORREF background = 0xFFFFFF;
    COLORREF text = 0;
    // Cut to what LOGFONT holds.
    wchar_t faceName[LF_FACESIZE] = L"MS Shell Dlg";
    int fontSize = 8;  // points
    int hostValue = 0;
};

const DisplayProperties& CurrentDisplayProperties();

// "%d:%d:%d:%d:%s": background, text colour, size, the host value, face.
std::wstring FormatDisplayFontSettings(const DisplayProperties& properties);

// A font of `faceName` at `tenthsOfPoint` on the screen; the caller deletes it.
HFONT CreatePointFont(int tenthsOfPoint, const wchar_t* faceName);
// The display face at the display size; the caller deletes it.
HFONT CreateDisplayFont();

// The module that carries the plug-in's code and resources: the plug-in
// library, or a test program that links the plug-in's library.
HINSTANCE PluginResourceInstance();

INT_PTR CALLBACK LandingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ShredPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BleachPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
