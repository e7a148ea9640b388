// Owners for GDI objects (brushes, fonts), in the shape of win32::UniqueHandle.
#pragma once

#include "win32/unique_handle.h"

#include <string>

namespace fw {

template <typename T>
struct GdiObjectTraits {
    using pointer = T;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DeleteObject(h); }
};

using UniqueBrush = win32::UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniqueFont = win32::UniqueHandle<GdiObjectTraits<HFONT>>;

// A font of `faceName` at `tenthsOfPoint` tenths of a point on the screen;
// null when it cannot be made. A face name too long for LOGFONT is left out
// (the system's default face) rather than cut: a cut name could pick an
// unrelated font.
HFONT CreatePointFont(int tenthsOfPoint, const std::wstring& faceName);

}  // namespace fw
