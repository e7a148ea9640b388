#include "program/ui/display_settings.h"

namespace {

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font)
{
    ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

}  // namespace

void DisplayStyle::Apply(HWND window)
{
    m_brush.reset(::CreateSolidBrush(m_settings.background));
    m_font.reset(fw::CreatePointFont(m_settings.fontSize * 10, m_settings.faceName));
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
