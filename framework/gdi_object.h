// Owners for GDI objects (brushes, fonts), in the shape of win32::UniqueHandle.
#pragma once

#include "win32/unique_handle.h"

namespace fw {

template <typename T>
struct GdiObjectTraits {
    using pointer = T;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DeleteObject(h); }
};

using UniqueBrush = win32::UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniqueFont = win32::UniqueHandle<GdiObjectTraits<HFONT>>;

}  // namespace fw
