#include "program/ui/progress_window.h"
#include "resources/graventa/resource.h"
#include "settings/display_font_settings.h"
#include "tests/common/registry_sandbox.h"

#include <gtest/gtest.h>

namespace {

using testsupport::kSettingsKey;

// The real road: the value in the user's settings key, read by the progress
// window's constructor and painted by its UI thread.
class DisplayOfProgressWindow : public testsupport::ProductRegistryTest {
protected:
    struct Painted {
        COLORREF brush = CLR_INVALID;
        COLORREF text = CLR_INVALID;
        LOGFONTW font = {};
        bool sameFontEverywhere = false;
    };

    static Painted PaintOf(const ProgressReporter& reporter)
    {
        Painted painted;
        const HWND hwnd = reporter.Window();
        EXPECT_NE(nullptr, hwnd);
        const HDC dc = ::CreateCompatibleDC(nullptr);
        const HWND title = ::GetDlgItem(hwnd, IDC_PROGRESS_TITLE);
        const auto brush = reinterpret_cast<HBRUSH>(
            ::SendMessageW(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(title)));
        LOGBRUSH logBrush = {};
        if (brush && ::GetObjectW(brush, sizeof(logBrush), &logBrush) == sizeof(logBrush))
            painted.brush = logBrush.lbColor;
        painted.text = ::GetTextColor(dc);
        ::DeleteDC(dc);

        const auto font = reinterpret_cast<HFONT>(::SendMessageW(title, WM_GETFONT, 0, 0));
        ::GetObjectW(font, sizeof(painted.font), &painted.font);
        painted.sameFontEverywhere = true;
        for (int id : {IDC_PROGRESS_BAR, IDC_PROGRESS_STOP, IDC_PROGRESS_PERCENT})
            painted.sameFontEverywhere &= ::SendMessageW(::GetDlgItem(hwnd, id), WM_GETFONT, 0,
                                                         0) == reinterpret_cast<LRESULT>(font);
        return painted;
    }

    static LONG HeightOfPoints(int points)
    {
        const HDC screen = ::GetDC(nullptr);
        const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        return -::MulDiv(points * 10, dpi, 720);
    }
};

TEST_F(DisplayOfProgressWindow, BlackOnWhiteEightPointShellFontWithoutTheValue)
{
    ProgressReporter reporter(OpenProgressWindow());
    const Painted painted = PaintOf(reporter);
    EXPECT_EQ(RGB(255, 255, 255), painted.brush);
    EXPECT_EQ(RGB(0, 0, 0), painted.text);
    EXPECT_STREQ(L"MS Shell Dlg", painted.font.lfFaceName);
    EXPECT_EQ(HeightOfPoints(8), painted.font.lfHeight);
    EXPECT_TRUE(painted.sameFontEverywhere);
}

TEST_F(DisplayOfProgressWindow, StoredValueGivesBrushTextColourAndFont)
{
    testsupport::PutString(HKEY_CURRENT_USER, kSettingsKey, L"DisplayFontSettings",
                           L"0:16777215:10:0:Arial");
    ProgressReporter reporter(OpenProgressWindow());
    const Painted painted = PaintOf(reporter);
    EXPECT_EQ(RGB(0, 0, 0), painted.brush);
    EXPECT_EQ(RGB(255, 255, 255), painted.text);
    EXPECT_STREQ(L"Arial", painted.font.lfFaceName);
    EXPECT_EQ(HeightOfPoints(10), painted.font.lfHeight);
    EXPECT_TRUE(painted.sameFontEverywhere);
}

TEST_F(DisplayOfProgressWindow, ValueOfAnotherTypeKeepsTheDefaults)
{
    testsupport::PutDword(HKEY_CURRENT_USER, kSettingsKey, L"DisplayFontSettings", 5);
    const DisplaySettings settings = ReadDisplaySettings();
    EXPECT_EQ(0xFFFFFFu, settings.background);
    EXPECT_EQ(0u, settings.text);
    EXPECT_EQ(8, settings.fontSize);
    EXPECT_EQ(L"MS Shell Dlg", settings.faceName);
}

}  // namespace
