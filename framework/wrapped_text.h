// The text of an owner-drawn (SS_OWNERDRAW) static that wraps, drawn and
// measured by its dialog. Wine's static breaks a line at the width DrawText
// measured and then draws the glyphs a few pixels wider, so the last letters
// of every broken line fell off the control. Drawing and measuring here both
// break one average character short of the right edge.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

// The font `control` draws with; the system font when none was set.
HGDIOBJ ControlFont(HWND control);

// Fills the item with `background` (the 3-D face when null) and draws the
// control's text in `textColour` and the control's font.
void DrawWrappedText(const DRAWITEMSTRUCT& item, HBRUSH background, COLORREF textColour);

// The height in pixels `text` takes in `control`'s client width, laid out
// as DrawWrappedText lays it out; 0 when it cannot be measured.
LONG WrappedTextHeight(HWND control, const std::wstring& text);

}  // namespace fw
