#include "framework/gdi_object.h"

#include <cstdlib>

namespace fw {

HFONT CreatePointFont(int tenthsOfPoint, const std::wstring& faceName)
{
    LOGFONTW font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    if (faceName.size() < ARRAYSIZE(font.lfFaceName))
        faceName.copy(font.lfFaceName, faceName.size());
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    font.lfHeight = -::MulDiv(std::abs(tenthsOfPoint), dpi, 720);
    return ::CreateFontIndirectW(&font);
}

}  // namespace fw
