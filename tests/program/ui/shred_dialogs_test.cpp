// The warning and confirmation dialogs: their texts, answers and styling.
#include "program/ui/shred_dialogs.h"

#include "framework/ui_seam.h"
#include "resources/graventa/resource.h"
#include "tests/common/painted_client.h"
#include "tests/common/registry_sandbox.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Seen {
    std::wstring text;
    std::wstring face;
    LONG fontHeight = 0;
    COLORREF background = CLR_INVALID;
    COLORREF textColour = CLR_INVALID;
    COLORREF paintedCorner = CLR_INVALID;  // what the text control paints there
    size_t paintedInText = 0;              // pixels painted in the text colour
};

// What a control paints on a canvas first filled with kCanvas (a colour no
// test uses).
constexpr COLORREF kCanvas = RGB(1, 2, 3);

using testsupport::Painted;

Painted PaintOf(HWND control)
{
    return testsupport::PaintClient(control, kCanvas);
}

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
        const auto brush = reinterpret_cast<HBRUSH>(
            ::SendMessageW(request.window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(control)));
        LOGBRUSH logBrush = {};
        if (brush && ::GetObjectW(brush, sizeof(logBrush), &logBrush))
            seen.background = logBrush.lbColor;
        seen.textColour = ::GetTextColor(dc);
        ::ReleaseDC(control, dc);
        const Painted painted = PaintOf(control);
        if (!painted.pixels.empty()) {
            seen.paintedCorner = painted.At(painted.width - 1, 0);
            seen.paintedInText = static_cast<size_t>(
                std::count(painted.pixels.begin(), painted.pixels.end(), seen.textColour));
        }
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
    EXPECT_EQ(RGB(255, 255, 255), seen.paintedCorner);
    EXPECT_GT(seen.paintedInText, 0u);
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
    EXPECT_EQ(RGB(0, 0, 0), seen.paintedCorner);
    EXPECT_GT(seen.paintedInText, 0u);
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

// Where the message ended up in the dialog, in dialog client coordinates.
struct Layout {
    std::wstring text;
    LONG style = 0;
    RECT textClient{};  // the text control's own client rectangle
    // Lines break one average character short of the control's right edge:
    // Wine draws a broken line a few pixels wider than DrawText measured it.
    LONG margin = 0;
    LONG drawnWidth = 0;
    RECT needed{};  // what the text needs, in the control's font at drawnWidth
    // The rightmost column the control paints in another colour than its
    // background (-1: none), and whether it paints at all.
    LONG inkRight = -1;
    bool painted = false;
    RECT textInDialog{};
    RECT dialogClient{};
    std::vector<RECT> buttons;
    std::vector<RECT> frames;  // group boxes
};

RECT RectInDialog(HWND dialog, HWND child)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

Layout ReadLayout(HWND dialog, int textControl)
{
    Layout layout;
    const HWND control = ::GetDlgItem(dialog, textControl);
    wchar_t text[1024] = {};
    ::GetWindowTextW(control, text, ARRAYSIZE(text));
    layout.text = text;
    layout.style = ::GetWindowLongW(control, GWL_STYLE);
    ::GetClientRect(control, &layout.textClient);
    const HDC dc = ::GetDC(control);
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    const HGDIOBJ old = ::SelectObject(dc, font ? font : ::GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    layout.margin = metrics.tmAveCharWidth;
    layout.drawnWidth = layout.textClient.right - layout.margin;
    layout.needed = {0, 0, layout.drawnWidth, 0};
    ::DrawTextW(dc, text, -1, &layout.needed,
                DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS);
    ::SelectObject(dc, old);
    LOGBRUSH background{};
    const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(dialog, WM_CTLCOLORSTATIC,
                                                               reinterpret_cast<WPARAM>(dc),
                                                               reinterpret_cast<LPARAM>(control)));
    ::GetObjectW(brush, sizeof(background), &background);
    ::ReleaseDC(control, dc);
    const Painted painted = PaintOf(control);
    for (LONG y = 0; y < painted.height; ++y) {
        for (LONG x = 0; x < painted.width; ++x) {
            const COLORREF pixel = painted.At(x, y);
            layout.painted = layout.painted || pixel != kCanvas;
            if (pixel != background.lbColor && pixel != kCanvas)
                layout.inkRight = std::max(layout.inkRight, x);
        }
    }
    layout.textInDialog = RectInDialog(dialog, control);
    ::GetClientRect(dialog, &layout.dialogClient);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        ::GetClassNameW(child, name, ARRAYSIZE(name));
        if (::_wcsicmp(name, L"Button") != 0)
            continue;
        const bool frame = (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        (frame ? layout.frames : layout.buttons).push_back(RectInDialog(dialog, child));
    }
    return layout;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b)
{
    RECT both{};
    return ::IntersectRect(&both, &a, &b) != FALSE;
}

// The longest path the engine takes (259 characters), made of `segment`s.
std::wstring LongestPath(const std::wstring& segment)
{
    std::wstring path = L"C:";
    while (path.size() < MAX_PATH - 1)
        path += L"\\" + segment;
    return path.substr(0, MAX_PATH - 1);
}

struct LongPathCase {
    const char* name;
    bool warning;  // the protected-path warning, else the confirmation
    std::wstring path;
    const wchar_t* displaySettings;  // null: the defaults
};

class ShredDialogLongPaths : public testsupport::ProductRegistryTest,
                             public ::testing::WithParamInterface<LongPathCase> {};

TEST_P(ShredDialogLongPaths, NameThePathWholeInsideTheDialog)
{
    const LongPathCase& c = GetParam();
    ASSERT_EQ(c.path.size(), static_cast<size_t>(MAX_PATH - 1));
    if (c.displaySettings)
        testsupport::PutString(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"DisplayFontSettings",
                               c.displaySettings);
    const int textControl = c.warning ? IDC_WARN_TEXT : IDC_CONFIRM_TEXT;
    const std::wstring message =
        FormatTableText(c.warning ? IDS_SYSTEM_PATH_WARNING : IDS_CONFIRM_SHRED, c.path);
    Layout layout;
    {
        fw::ScopedUiResponder responder([&](const fw::UiRequest& request) {
            layout = ReadLayout(request.window, textControl);
            return static_cast<INT_PTR>(IDOK);
        });
        if (c.warning)
            ShowShredWarning(message);
        else
            AskShredConfirmation(message);
    }
    EXPECT_EQ(layout.text, message);
    EXPECT_EQ(layout.style & SS_TYPEMASK, SS_OWNERDRAW) << "drawn by the dialog, with a margin";
    EXPECT_TRUE(layout.style & SS_NOPREFIX) << "an \"&\" of the path is no mnemonic";
    ASSERT_GT(layout.margin, 0);
    EXPECT_LE(layout.needed.right, layout.drawnWidth)
        << "needs " << layout.needed.right << " pixels, has " << layout.drawnWidth;
    EXPECT_LE(layout.needed.bottom, layout.textClient.bottom)
        << "needs " << layout.needed.bottom << " pixels, has " << layout.textClient.bottom;
    EXPECT_TRUE(layout.painted);
    EXPECT_GE(layout.inkRight, 0) << "the text is painted";
    EXPECT_LT(layout.inkRight, layout.drawnWidth) << "nothing painted in the right margin";
    EXPECT_TRUE(Inside(layout.textInDialog, layout.dialogClient));
    ASSERT_FALSE(layout.buttons.empty());
    for (const RECT& button : layout.buttons) {
        EXPECT_TRUE(Inside(button, layout.dialogClient));
        EXPECT_FALSE(Overlap(button, layout.textInDialog));
    }
    for (const RECT& frame : layout.frames)
        EXPECT_TRUE(Inside(layout.textInDialog, frame));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ShredDialogLongPaths,
    ::testing::Values(
        LongPathCase{"WithoutSpaces", false, LongestPath(L"ledger2023final"), nullptr},
        LongPathCase{"OfOneLongName", true, LongestPath(std::wstring(300, L'x')), nullptr},
        LongPathCase{"WithSpaces", true, LongestPath(L"Quarterly report final"), nullptr},
        LongPathCase{"WithAmpersands", false, LongestPath(L"Smith & Sons"), nullptr},
        LongPathCase{"OfWideLetters", false, LongestPath(L"WWWWMMMMWWWW"), nullptr},
        LongPathCase{"InALargeHostFont", true, LongestPath(L"ledger2023final"),
                     L"16777215:0:14:0:MS Shell Dlg"}),
    [](const auto& info) { return std::string(info.param.name); });

// The buttons grow with the host's font: a push button draws a two-pixel
// frame and a focus rectangle a pixel inside it, and its text needs a pixel
// clear of that on both sides.
constexpr LONG kButtonTextRoom = 2 * (2 + 1 + 1);

using ShredDialogButtons = testsupport::ProductRegistryTest;

TEST_F(ShredDialogButtons, AreTallEnoughForTheirTextInTheHostFont)
{
    const struct {
        const char* name;
        bool warning;
        const wchar_t* displaySettings;  // null: the defaults
    } cases[] = {{"QuestionByDefault", false, nullptr},
                 {"WarningInTwelvePoints", true, L"16777215:0:12:0:MS Shell Dlg"},
                 {"QuestionInTwentyPoints", false, L"16777215:0:20:0:Arial"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ClearProductKeys();
        if (c.displaySettings)
            testsupport::PutString(HKEY_CURRENT_USER, testsupport::kSettingsKey,
                                   L"DisplayFontSettings", c.displaySettings);
        size_t buttons = 0;
        fw::ScopedUiResponder responder([&](const fw::UiRequest& request) {
            RECT client{};
            ::GetClientRect(request.window, &client);
            const RECT text = RectInDialog(
                request.window,
                ::GetDlgItem(request.window, c.warning ? IDC_WARN_TEXT : IDC_CONFIRM_TEXT));
            for (int id : {IDOK, IDCANCEL}) {
                const HWND button = ::GetDlgItem(request.window, id);
                if (!button)
                    continue;
                SCOPED_TRACE(id);
                ++buttons;
                wchar_t caption[32] = {};
                ::GetWindowTextW(button, caption, ARRAYSIZE(caption));
                const HDC dc = ::GetDC(button);
                const HGDIOBJ old = ::SelectObject(
                    dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(button, WM_GETFONT, 0, 0)));
                RECT needed{};
                ::DrawTextW(dc, caption, -1, &needed, DT_CALCRECT | DT_SINGLELINE);
                ::SelectObject(dc, old);
                ::ReleaseDC(button, dc);
                const RECT rect = RectInDialog(request.window, button);
                EXPECT_GE(rect.bottom - rect.top, needed.bottom + kButtonTextRoom)
                    << "text " << needed.bottom << " pixels high";
                EXPECT_GE(rect.right - rect.left, needed.right + kButtonTextRoom);
                EXPECT_TRUE(Inside(rect, client));
                EXPECT_FALSE(Overlap(rect, text));
            }
            return static_cast<INT_PTR>(IDOK);
        });
        if (c.warning)
            ShowShredWarning(L"Nothing selected");
        else
            AskShredConfirmation(L"Shred it?");
        EXPECT_EQ(c.warning ? 1u : 2u, buttons);
    }
}

}  // namespace
