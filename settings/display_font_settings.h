// "DisplayFontSettings" in the user's settings key: the host's display
// properties as the plug-in stores them for Graventa's windows. The text is
// "%d:%d:%d:%d:%s" (background colour, text colour, font size in points, a
// fourth host value, face name), the colours as signed decimals.
#pragma once

#include <windows.h>

#include <string>

// Without the value: black 8-point "MS Shell Dlg" on white.
struct DisplaySettings {
    COLORREF background = 0xFFFFFF;
    COLORREF text = 0;
    int fontSize = 8;  // points
    int fourth = 0;    // stored for the host, read by no window
    std::wstring faceName = L"MS Shell Dlg";
};

std::wstring FormatDisplaySettings(const DisplaySettings& settings);

// Splits at ":" with empty tokens skipped; the first four tokens are decimal
// integers as the C library reads them (leading digits count, no digit gives
// 0, held to the 32-bit signed range; a missing one gives 0), the fifth the
// face name (missing: empty). An empty text keeps every default.
DisplaySettings ParseDisplaySettings(const std::wstring& text);

// The user's stored settings; the defaults when the key or value is missing
// or is not a string.
DisplaySettings ReadDisplaySettings();

// Stores `settings` as a REG_SZ, making the settings key when it is missing.
LSTATUS WriteDisplaySettings(const DisplaySettings& settings);
