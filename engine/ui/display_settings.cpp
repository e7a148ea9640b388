#include "engine/ui/display_settings.h"

namespace {

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font)
{
    ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

}  // namespace

HFONT CreatePointFont(int tenthsOfPoint, const std::wstring& faceName)
{
    LOGFONTW font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    // A face name that does not fit is left out rather than cut: a cut name
    // could pick an unrelated font.
    if (faceName.size() < ARRAYSIZE(font.lfFaceName))
        faceName.copy(font.lfFaceName, faceName.size());
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    font.lfHeight = -::MulDiv(tenthsOfPoint < 0 ? -tenthsOfPoint : tenthsOfPoint, dpi, 720);
    return ::CreateFontIndirectW(&font);
}

void DisplayStyle::Apply(HWND window)
{
    m_brush.reset(::CreateSolidBrush(m_settings.background));
    m_font.reset(CreatePointFont(m_settings.fontSize * 10, m_settings.faceName));
    if (m_font && window)
        ::EnumChildWindows(window, &SetFontOnChild, reinterpret_cast<LPARAM>(m_font.get()));
}

HBRUSH DisplayStyle::OnCtlColor(HDC dc) const
{
    ::SetTextColor(dc, m_settings.text);
    // Text cells of static controls are filled with the DC's background
    // colour: keep them the window's colour.
    ::SetBkColor(dc, m_settings.background);
    return m_brush.get();
}
