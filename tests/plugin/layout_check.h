// A layout check for the plug-in's pages and dialogs: every shown control
// lies inside its window, clear of the others, and shows its whole text in
// the font it was given.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace plugintest {

std::wstring ClassOf(HWND window);

// Pixels `text` needs in `control`'s font: one line, or broken one average
// character short of `width` (Wine's static draws a broken line wider than
// it measured it).
SIZE TextExtent(HWND control, const std::wstring& text, int width);

// Records a failure for each control of `window` (its children with
// WS_VISIBLE) that sticks out of the client area, overlaps another (a group
// box may frame controls) or cuts its text off; the number of controls
// looked at.
size_t ExpectNothingCutOffOrOverlaps(HWND window);

}  // namespace plugintest
