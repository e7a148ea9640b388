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
// box may frame controls), cuts its text off, or is an edit box the user
// cannot type in (disabled or read-only) that does not paint in the
// system's grey; the number of controls looked at.
size_t ExpectNothingCutOffOrOverlaps(HWND window);

// Records a failure when a rectangle of a quarter of the client area's
// width and a quarter of its height holds no shown control: a window laid
// out for what it holds has no empty corner.
void ExpectNoEmptyRegion(HWND window);

}  // namespace plugintest
