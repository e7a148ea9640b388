// Graventa's windows are laid out in their templates' 8-point font and then
// given the host's display font: in a larger font these grow the controls
// (and the window with them) by what that font adds.
#pragma once

#include <windows.h>

namespace fontfit {

// `child`'s window rectangle in `parent`'s client coordinates.
RECT RectInParent(HWND parent, HWND child);

// Makes `grow` pixels of room at `y` (dialog client coordinates): what
// lies wholly below moves down, what reaches across it (the control that
// needs the room, a frame around it) grows, and the dialog grows with it and
// is centred again on its monitor's work area. Never taller than that area.
void MakeRoomAt(HWND dialog, LONG y, int grow);

// Push buttons keep the room the template gives around their text in the
// template's font, and grow by what the font they were given adds.
void FitButtonsToFont(HWND dialog);

// Each plain static text (not a picture, not owner-drawn) at least as tall
// as its text wrapped at its width.
void FitTextsToFont(HWND dialog);

// A push button at least as wide as its text with an average character
// and the frame on each side: it keeps its right edge and grows leftwards,
// never past the left edge of the leftmost control.
void FitButtonWidth(HWND dialog, HWND button);

}  // namespace fontfit
