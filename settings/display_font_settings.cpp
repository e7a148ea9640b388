#include "settings/display_font_settings.h"

#include "settings/install_location.h"
#include "win32/number_text.h"
#include "win32/registry.h"

#include <vector>

namespace {

constexpr wchar_t kValueName[] = L"DisplayFontSettings";

}  // namespace

std::wstring FormatDisplaySettings(const DisplaySettings& settings)
{
    // Colours are written as the signed numbers the readers parse.
    return std::to_wstring(static_cast<int>(settings.background)) + L":" +
           std::to_wstring(static_cast<int>(settings.text)) + L":" +
           std::to_wstring(settings.fontSize) + L":" + std::to_wstring(settings.fourth) + L":" +
           settings.faceName;
}

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
    if (win32::ReadString(key.get(), kValueName, text) != ERROR_SUCCESS)
        return {};
    return ParseDisplaySettings(text);
}

LSTATUS WriteDisplaySettings(const DisplaySettings& settings)
{
    win32::UniqueKey key;
    LSTATUS status = win32::OpenKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_SET_VALUE, key);
    if (status != ERROR_SUCCESS)
        status = win32::CreateKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, key);
    if (status != ERROR_SUCCESS)
        return status;
    return win32::WriteString(key.get(), kValueName, FormatDisplaySettings(settings));
}
