#include "engine/ui/display_settings.h"

#include "settings/install_location.h"
#include "win32/registry.h"
#include "win32/number_text.h"

#include <cwchar>
#include <vector>

namespace {

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font)
{
    ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

}  // namespace

DisplaySettings ParseDisplaySettings(const std::wstring& text)
{
    DisplaySettings settings;
    if (text.empty())
        return settings;

    std::vector<std::wstring> tokens;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L':', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start)
            tokens.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    auto number = [&tokens](size_t index) {
        return index < tokens.size() ? win32::LeadingNumber(tokens[index]) : 0;
    };
    settings.background = static_cast<COLORREF>(number(0));
    settings.text = static_cast<COLORREF>(number(1));
    settings.fontSize = number(2);
    settings.fourth = number(3);
    settings.faceName = tokens.size() > 4 ? tokens[4] : std::wstring();
    return settings;
}

DisplaySettings ReadDisplaySettings()
{
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ, key) != ERROR_SUCCESS)
        return {};
    std::wstring text;
    if (win32::ReadString(key.get(), L"DisplayFontSettings", text) != ERROR_SUCCESS)
        return {};
    return ParseDisplaySettings(text);
}

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
