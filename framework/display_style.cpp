#include "framework/display_style.h"

#include <commctrl.h>

#include <cwchar>
#include <utility>

namespace fw {

namespace {

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font)
{
    ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return TRUE;
}

// An edit box the user cannot type in.
bool IsInactiveEdit(HWND control)
{
    wchar_t name[16] = {};
    if (!::GetClassNameW(control, name, ARRAYSIZE(name)) || ::_wcsicmp(name, WC_EDITW) != 0)
        return false;
    return !::IsWindowEnabled(control) || (::GetWindowLongW(control, GWL_STYLE) & ES_READONLY);
}

}  // namespace

void CDisplayStyle::Apply(HWND window, const DisplaySettings& settings)
{
    m_settings = settings;
    Apply(window);
}

void CDisplayStyle::Apply(HWND window)
{
    m_brush.reset(::CreateSolidBrush(m_settings.background));
    UniqueFont next(MakeFont());
    if (!next)
        return;
    if (window)
        ::EnumChildWindows(window, &SetFontOnChild, reinterpret_cast<LPARAM>(next.get()));
    m_font = std::move(next);
}

HBRUSH CDisplayStyle::OnCtlColor(HDC dc, HWND control) const
{
    // Said outright, not left to the default: a themed sheet's default is its
    // tab's white, which would make the box look as if it took typing.
    if ((m_rules & kGreyInactiveEdits) && control && IsInactiveEdit(control)) {
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_3DFACE));
        return ::GetSysColorBrush(COLOR_3DFACE);
    }
    ::SetTextColor(dc, m_settings.text);
    if (m_rules & kCellsInBackground)
        ::SetBkColor(dc, m_settings.background);
    return m_brush.get();
}

HFONT CDisplayStyle::MakeFont(int extraTenths) const
{
    // Tenths of a point, as every window has always asked for it.
    return CreatePointFont(m_settings.fontSize * 10 + extraTenths, m_settings.faceName);
}

}  // namespace fw
