// The host's display look (background, text colour, face and size) as one
// window paints it: the background brush and the display font it owns, the
// font set on every control, and the answer to WM_CTLCOLOR*. The look comes
// from the user's stored "DisplayFontSettings" (settings/
// display_font_settings.h) or from the host's properties as the plug-in got
// them. One object per window, used on that window's thread.
#pragma once

#include "framework/gdi_object.h"
#include "settings/display_font_settings.h"

#include <windows.h>

namespace fw {

class CDisplayStyle {
public:
    // How the colour answer treats what a control paints itself.
    enum Rules : unsigned {
        // Only the text colour and the brush: text cells keep the DC's own
        // background colour.
        kTextColourOnly = 0,
        // Text cells are filled with the display background too, so that a
        // static's text sits on the window's colour.
        kCellsInBackground = 1,
        // A disabled or read-only edit box keeps the system's grey text on
        // the 3-D face, as a date-time picker beside it looks.
        kGreyInactiveEdits = 2,
    };

    explicit CDisplayStyle(unsigned rules, DisplaySettings settings = {})
        : m_rules(rules), m_settings(std::move(settings))
    {
    }
    CDisplayStyle(const CDisplayStyle&) = delete;
    CDisplayStyle& operator=(const CDisplayStyle&) = delete;

    const DisplaySettings& Settings() const { return m_settings; }

    // A new brush of the background and a new font of the face at the size,
    // the font sent to every control of `window`. The previous brush and font
    // are freed only once the controls use the new font; when no font can be
    // made the controls keep the one they have.
    void Apply(HWND window);
    // The same with another look (the host's properties may have changed).
    void Apply(HWND window, const DisplaySettings& settings);

    // WM_CTLCOLOR* of `control` (null: the window itself): the colours the
    // rules give and the brush to paint with (null before Apply).
    HBRUSH OnCtlColor(HDC dc, HWND control = nullptr) const;

    // A font of the display face `extraTenths` tenths of a point above the
    // display size; the caller deletes it.
    HFONT MakeFont(int extraTenths = 0) const;

    HBRUSH Brush() const { return m_brush.get(); }
    HFONT Font() const { return m_font.get(); }
    COLORREF TextColour() const { return m_settings.text; }

private:
    unsigned m_rules;
    DisplaySettings m_settings;
    UniqueBrush m_brush;
    UniqueFont m_font;
};

}  // namespace fw
