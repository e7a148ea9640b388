// The warning and confirmation dialogs: their texts, answers and styling.
#include "engine/shred_dialogs.h"
#include "framework/ui_seam.h"
#include "resources/graventa/resource.h"
#include "tests/common/registry_sandbox.h"

#include <gtest/gtest.h>

namespace {

struct Seen {
    std::wstring text;
    std::wstring face;
    LONG fontHeight = 0;
    COLORREF background = CLR_INVALID;
    COLORREF textColour = CLR_INVALID;
};

// Reads what the dialog shows, then lets `key` (or a click on `button`) end it.
fw::ScopedUiResponder Observe(Seen& seen, int textControl, WPARAM key, int button = 0)
{
    return fw::ScopedUiResponder([&seen, textControl, key, button](const fw::UiRequest& request) {
        const HWND control = ::GetDlgItem(request.window, textControl);
        wchar_t text[512] = {};
        ::GetWindowTextW(control, text, ARRAYSIZE(text));
        seen.text = text;
        LOGFONTW font = {};
        if (const auto hfont = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)))
            ::GetObjectW(hfont, sizeof(font), &font);
        seen.face = font.lfFaceName;
        seen.fontHeight = font.lfHeight;
        const HDC dc = ::GetDC(control);
        const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
            request.window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
            reinterpret_cast<LPARAM>(control)));
        LOGBRUSH logBrush = {};
        if (brush && ::GetObjectW(brush, sizeof(logBrush), &logBrush))
            seen.background = logBrush.lbColor;
        seen.textColour = ::GetTextColor(dc);
        ::ReleaseDC(control, dc);
        if (button)
            ::PostMessageW(::GetDlgItem(request.window, button), BM_CLICK, 0, 0);
        else
            ::PostMessageW(request.window, WM_KEYDOWN, key, 0);
        return fw::kUiLetRun;
    });
}

LONG PointHeight(int points)
{
    const HDC screen = ::GetDC(nullptr);
    const LONG height = -::MulDiv(points, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, screen);
    return height;
}

class ShredDialogs : public testsupport::ProductRegistryTest {};

TEST_F(ShredDialogs, WithoutDisplaySettingsBlackEightPointTextOnWhite)
{
    Seen seen;
    {
        auto responder = Observe(seen, IDC_WARN_TEXT, VK_RETURN);
        EXPECT_EQ(IDOK, ShowShredWarning(L"Nothing \"%s\" here"));
    }
    EXPECT_EQ(L"Nothing \"%s\" here", seen.text);
    EXPECT_EQ(L"MS Shell Dlg", seen.face);
    EXPECT_EQ(PointHeight(8), seen.fontHeight);
    EXPECT_EQ(RGB(255, 255, 255), seen.background);
    EXPECT_EQ(RGB(0, 0, 0), seen.textColour);
}

TEST_F(ShredDialogs, HostDisplaySettingsStyleTheConfirmation)
{
    testsupport::PutString(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"DisplayFontSettings",
                           L"0:16777215:10:0:Arial");
    Seen seen;
    auto responder = Observe(seen, IDC_CONFIRM_TEXT, 0, IDOK);
    EXPECT_TRUE(AskShredConfirmation(FormatTableText(IDS_CONFIRM_SHRED, L"C:\\100%s.txt")));
    EXPECT_EQ(L"Are you sure you want to shred \"C:\\100%s.txt\"?", seen.text);
    EXPECT_EQ(L"Arial", seen.face);
    EXPECT_EQ(PointHeight(10), seen.fontHeight);
    EXPECT_EQ(RGB(0, 0, 0), seen.background);
    EXPECT_EQ(RGB(255, 255, 255), seen.textColour);
}

TEST_F(ShredDialogs, EscapeOrNoAnswersNo)
{
    Seen seen;
    {
        auto responder = Observe(seen, IDC_CONFIRM_TEXT, VK_ESCAPE);
        EXPECT_FALSE(AskShredConfirmation(L"Skip?"));
    }
    {
        auto responder = Observe(seen, IDC_CONFIRM_TEXT, 0, IDCANCEL);
        EXPECT_FALSE(AskShredConfirmation(L"Skip?"));
    }
    // Nobody to answer (an unattended test program): the safe answer.
    EXPECT_FALSE(AskShredConfirmation(L"Skip?"));
}

}  // namespace
