// What a control paints into its client area (WM_PRINTCLIENT into a 32-bit
// bitmap), row by row from the top: for tests that look at colours.
#pragma once

#include <windows.h>

#include <vector>

namespace testsupport {

struct Painted {
    LONG width = 0;
    LONG height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(LONG x, LONG y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// The canvas is filled with `canvas` first, so that what the control leaves
// unpainted shows. Empty when the control has no client area.
inline Painted PaintClient(HWND control, COLORREF canvas)
{
    Painted painted;
    RECT client{};
    ::GetClientRect(control, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return painted;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc && bitmap && bits) {
        const HGDIOBJ old = ::SelectObject(dc, bitmap);
        const HBRUSH fill = ::CreateSolidBrush(canvas);
        ::FillRect(dc, &client, fill);
        ::DeleteObject(fill);
        ::SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        ::GdiFlush();
        painted.width = client.right;
        painted.height = client.bottom;
        const auto* pixel = static_cast<const DWORD*>(bits);
        for (LONG i = 0; i < client.right * client.bottom; ++i, ++pixel)
            painted.pixels.push_back(RGB(*pixel >> 16 & 0xFF, *pixel >> 8 & 0xFF, *pixel & 0xFF));
        ::SelectObject(dc, old);
    }
    if (bitmap)
        ::DeleteObject(bitmap);
    if (dc)
        ::DeleteDC(dc);
    return painted;
}

}  // namespace testsupport
