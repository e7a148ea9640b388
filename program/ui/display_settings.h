// The host's display properties that every window of Graventa paints with
// (settings/display_font_settings.h).
#pragma once

#include "framework/gdi_object.h"
#include "settings/display_font_settings.h"

#include <windows.h>

#include <string>

// The brush and font made from the settings, for one window. Created by
// Apply (on the window's thread, from its WM_INITDIALOG), released with the
// object.
class DisplayStyle {
public:
    explicit DisplayStyle(DisplaySettings settings) : m_settings(std::move(settings)) {}

    const DisplaySettings& Settings() const { return m_settings; }

    // Creates the background brush and the point font (size times 10 tenths)
    // and sets the font on every child window of `window`.
    void Apply(HWND window);

    // WM_CTLCOLOR*: the configured text colour (on the configured background)
    // and the background brush (null before Apply).
    HBRUSH OnCtlColor(HDC dc) const;

    HBRUSH Brush() const { return m_brush.get(); }
    HFONT Font() const { return m_font.get(); }

private:
    DisplaySettings m_settings;
    fw::UniqueBrush m_brush;
    fw::UniqueFont m_font;
};

