// The landing page in the host stand-in's sheet: its texts, fonts, colours
// and layout, its version line from the product key, the help window that
// closes with it, and the desktop-icon request of the landing and Settings
// pages against a control pipe of the test's own.
#include "plugin/landing_page.h"

#include "framework/build_seams.h"
#include "ipc/bleach_protocol.h"
#include "plugin/page_instances.h"
#include "resources/halvorin/resource.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "tests/plugin/control_pipe_recorder.h"
#include "tests/plugin/page_sheet.h"
#include "win32/string_table.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using hosttest::kBleachPage;
using hosttest::kLandingPage;
using hosttest::kSettingsPage;
using hosttest::kShredPage;
using hosttest::PageSheet;
using testsupport::kPatienceMs;

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

LOGFONTW FontOf(HWND control)
{
    LOGFONTW font = {};
    const auto handle = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    if (handle)
        ::GetObjectW(handle, sizeof(font), &font);
    return font;
}

LONG PointsToHeight(int tenths)
{
    const HDC screen = ::GetDC(nullptr);
    const LONG height = -::MulDiv(tenths, ::GetDeviceCaps(screen, LOGPIXELSY), 720);
    ::ReleaseDC(nullptr, screen);
    return height;
}

RECT ChildRect(HWND page, HWND control)
{
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// What WM_CTLCOLORSTATIC answers for `control`: the brush and the colours
// the page put into the device context.
struct Painted {
    HBRUSH brush = nullptr;
    COLORREF text = 0;
    COLORREF background = 0;
};

Painted PaintColours(HWND page, HWND control)
{
    Painted painted;
    const HDC dc = ::GetDC(page);
    painted.brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    painted.text = ::GetTextColor(dc);
    painted.background = ::GetBkColor(dc);
    ::ReleaseDC(page, dc);
    return painted;
}

std::wstring Text(UINT id)
{
    return win32::LoadTableString(::GetModuleHandleW(nullptr), id);
}

// The picture (bitmap 205) left of every text, every text whole in its box,
// no two boxes overlapping, all inside the page the sheet made.
void ExpectLayoutFits(HWND page)
{
    const HWND title = ::GetDlgItem(page, IDC_LANDING_TITLE);
    const HWND description = ::GetDlgItem(page, IDC_LANDING_DESCRIPTION);
    const HWND version = ::GetDlgItem(page, IDC_LANDING_VERSION);
    ASSERT_TRUE(title && description && version);
    const HWND picture = ::GetWindow(page, GW_CHILD);
    ASSERT_TRUE(picture);
    EXPECT_EQ(-1, ::GetDlgCtrlID(picture));
    const auto bitmap =
        reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_TRUE(bitmap);
    BITMAP bits = {};
    ASSERT_TRUE(::GetObjectW(bitmap, sizeof(bits), &bits));
    EXPECT_EQ(96, bits.bmWidth);
    EXPECT_EQ(128, bits.bmHeight);

    // The page as the sheet sized it (in the sheet's font, not the page's).
    RECT pageRect = {};
    ASSERT_TRUE(::GetClientRect(page, &pageRect));
    const RECT pictureRect = ChildRect(page, picture);
    EXPECT_LE(pictureRect.right, pageRect.right);
    EXPECT_LE(pictureRect.bottom, pageRect.bottom);
    const HWND texts[] = {title, description, version};
    std::vector<RECT> boxes;
    const HDC dc = ::GetDC(page);
    for (HWND control : texts) {
        SCOPED_TRACE(::GetDlgCtrlID(control));
        const RECT box = ChildRect(page, control);
        EXPECT_LE(pictureRect.right, box.left);
        EXPECT_LE(box.right, pageRect.right);
        EXPECT_LE(box.bottom, pageRect.bottom);
        const HGDIOBJ old =
            ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
        RECT needed = {0, 0, box.right - box.left, 0};
        const std::wstring shown = WindowText(control);
        ::DrawTextW(dc, shown.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        ::SelectObject(dc, old);
        EXPECT_LE(needed.right, box.right - box.left);
        EXPECT_LE(needed.bottom, box.bottom - box.top);
        for (const RECT& other : boxes) {
            RECT overlap = {};
            EXPECT_FALSE(::IntersectRect(&overlap, &box, &other));
        }
        boxes.push_back(box);
    }
    ::ReleaseDC(page, dc);
}

using LandingPage = hosttest::PageTest;

// Texts, fonts and colours as the host's display properties give them, and
// a layout in which every text fits its box and nothing overlaps.
TEST_F(LandingPage, ShowsProductTextsInTheirFontsAndFitsThePage)
{
    PageSheet sheet(
        {kLandingPage},
        {{4, 0x203040, nullptr}, {5, 0x00AA11, nullptr}, {6, 0, L"Courier New"}, {7, 9, nullptr}});
    ASSERT_TRUE(sheet.Ready());
    const HWND page = sheet.CurrentPage();
    ASSERT_TRUE(page);
    const HWND title = ::GetDlgItem(page, IDC_LANDING_TITLE);
    const HWND description = ::GetDlgItem(page, IDC_LANDING_DESCRIPTION);
    const HWND version = ::GetDlgItem(page, IDC_LANDING_VERSION);
    ASSERT_TRUE(title && description && version);

    EXPECT_EQ(L"Scoravel", WindowText(title));
    const std::wstring text = WindowText(description);
    EXPECT_EQ(Text(IDS_PRODUCT_DESCRIPTION), text);
    EXPECT_EQ(0u, text.find(L"Scoravel for OV Tarnwell deletes files by overwriting them"));
    EXPECT_NE(std::wstring::npos, text.find(L"referred to as \x201CShredding\x201D greatly"));
    EXPECT_NE(std::wstring::npos, text.find(L"\x201C"
                                            L"bleaching\x201D. Files deleted"));

    const LOGFONTW titleFont = FontOf(title);
    EXPECT_STREQ(L"Arial", titleFont.lfFaceName);
    EXPECT_EQ(PointsToHeight(170), titleFont.lfHeight);
    for (HWND control : {description, version}) {
        const LOGFONTW font = FontOf(control);
        EXPECT_STREQ(L"Courier New", font.lfFaceName);
        EXPECT_EQ(PointsToHeight(90), font.lfHeight);
    }

    const Painted painted = PaintColours(page, description);
    ASSERT_TRUE(painted.brush);
    LOGBRUSH brush = {};
    ASSERT_TRUE(::GetObjectW(painted.brush, sizeof(brush), &brush));
    EXPECT_EQ(static_cast<COLORREF>(0x203040), brush.lbColor);
    EXPECT_EQ(static_cast<COLORREF>(0x00AA11), painted.text);
    EXPECT_EQ(static_cast<COLORREF>(0x203040), painted.background);

    ExpectLayoutFits(page);
}

// The same layout with the display font a host gives when it answers nothing.
TEST_F(LandingPage, FitsThePageWithTheDefaultDisplayFont)
{
    PageSheet sheet({kLandingPage});
    ASSERT_TRUE(sheet.Ready());
    ASSERT_TRUE(sheet.CurrentPage());
    ExpectLayoutFits(sheet.CurrentPage());
}

// Running the initialisation again (a restore) replaces the page's brush
// and fonts and deletes the ones it had.
TEST_F(LandingPage, InitialisingAgainDeletesThePreviousBrushAndFonts)
{
    PageSheet sheet({kLandingPage});
    ASSERT_TRUE(sheet.Ready());
    const HWND page = sheet.CurrentPage();
    ASSERT_TRUE(page);
    CLandingDlg* landing = OpenPages().landing;
    ASSERT_TRUE(landing);
    ASSERT_EQ(page, landing->GetHwnd());
    const HWND title = ::GetDlgItem(page, IDC_LANDING_TITLE);
    const HWND description = ::GetDlgItem(page, IDC_LANDING_DESCRIPTION);

    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        const HGDIOBJ brush = PaintColours(page, description).brush;
        const auto titleFont = reinterpret_cast<HGDIOBJ>(::SendMessageW(title, WM_GETFONT, 0, 0));
        const auto textFont =
            reinterpret_cast<HGDIOBJ>(::SendMessageW(description, WM_GETFONT, 0, 0));
        ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), ::GetObjectType(brush));
        ASSERT_EQ(static_cast<DWORD>(OBJ_FONT), ::GetObjectType(titleFont));
        ASSERT_EQ(static_cast<DWORD>(OBJ_FONT), ::GetObjectType(textFont));

        EXPECT_TRUE(landing->OnInitDialog());

        EXPECT_NE(brush, PaintColours(page, description).brush);
        EXPECT_EQ(0u, ::GetObjectType(brush));
        EXPECT_EQ(0u, ::GetObjectType(titleFont));
        EXPECT_EQ(0u, ::GetObjectType(textFont));
        EXPECT_EQ(L"Scoravel", WindowText(title));
    }
}

struct VersionCase {
    const char* name;
    bool key;
    // REG_NONE: the value is missing.
    DWORD highType;
    DWORD high;
    DWORD lowType;
    DWORD low;
    const wchar_t* expected;
};

const VersionCase kVersionCases[] = {
    {"HighAndLow", true, REG_DWORD, 412, REG_DWORD, 7, L"Version  4.1.2.7"},
    {"HighOnly", true, REG_DWORD, 300, REG_NONE, 0, L"Version  3.0.0."},
    {"FourDigitsAndZero", true, REG_DWORD, 1234, REG_DWORD, 0, L"Version  12.3.4.0"},
    {"NoValues", true, REG_NONE, 0, REG_NONE, 0, L"Version "},
    // Without the high version the low one is not read.
    {"LowOnly", true, REG_NONE, 0, REG_DWORD, 7, L"Version "},
    {"HighAsText", true, REG_SZ, 0, REG_DWORD, 7, L"Version "},
    {"NoKey", false, REG_NONE, 0, REG_NONE, 0, L"Version "},
};

void PrintTo(const VersionCase& c, std::ostream* out)
{
    *out << c.name;
}

class LandingVersion : public hosttest::PageTest,
                       public ::testing::WithParamInterface<VersionCase> {};

void PutVersionValue(const wchar_t* name, DWORD type, DWORD value)
{
    if (type == REG_DWORD)
        testsupport::PutDword(HKEY_LOCAL_MACHINE, testsupport::kProductKey, name, value);
    else if (type == REG_SZ)
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, name, L"412");
}

TEST_P(LandingVersion, IsReadFromTheProductKey)
{
    const VersionCase& c = GetParam();
    if (c.key) {
        // The key exists in every case that has one, values or not.
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                               L"C:\\Scoravel");
        PutVersionValue(L"Product_HighVer", c.highType, c.high);
        PutVersionValue(L"Product_LowVer", c.lowType, c.low);
    }
    PageSheet sheet({kLandingPage});
    ASSERT_TRUE(sheet.Ready());
    const HWND page = sheet.CurrentPage();
    ASSERT_TRUE(page);
    EXPECT_EQ(std::wstring(c.expected), WindowText(::GetDlgItem(page, IDC_LANDING_VERSION)));
}

INSTANTIATE_TEST_SUITE_P(Host, LandingVersion, ::testing::ValuesIn(kVersionCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Top-level windows that stand in for hh.exe's window.
struct HelpWindowCase {
    const char* name;
    const wchar_t* className;
    const wchar_t* title;
    bool closes;
};

const HelpWindowCase kHelpWindowCases[] = {
    {"ProductHelp", L"HH Parent", L"Scoravel for OV Tarnwell", true},
    {"OtherHelp", L"HH Parent", L"Another product", false},
    {"OtherClass", L"Not HH Parent", L"Scoravel for OV Tarnwell", false},
};

void PrintTo(const HelpWindowCase& c, std::ostream* out)
{
    *out << c.name;
}

class LandingHelpWindow : public hosttest::PageTest,
                          public ::testing::WithParamInterface<HelpWindowCase> {};

TEST_P(LandingHelpWindow, ClosesWithTheLandingPageWhenItIsTheProducts)
{
    const HelpWindowCase& c = GetParam();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = c.className;
    ::RegisterClassW(&windowClass);  // already registered by an earlier case is fine
    const HWND help = ::CreateWindowExW(0, c.className, c.title, WS_OVERLAPPED, 0, 0, 100, 100,
                                        nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_TRUE(help);

    PageSheet sheet({kLandingPage, kShredPage});
    ASSERT_TRUE(sheet.Ready());
    ASSERT_TRUE(sheet.CurrentPage());
    // Another page going away leaves the help open.
    ASSERT_TRUE(sheet.Select(1));
    ASSERT_TRUE(::IsWindow(help));
    sheet.Destroy();
    EXPECT_EQ(!c.closes, ::IsWindow(help) != FALSE);
    if (::IsWindow(help))
        ::DestroyWindow(help);
}

INSTANTIATE_TEST_SUITE_P(Host, LandingHelpWindow, ::testing::ValuesIn(kHelpWindowCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The desktop-icon request: which pages shown or hidden ask for the icon,
// and how often, against a control pipe that records every message.
struct IconCase {
    const char* name;
    std::vector<size_t> pages;
    // Tabs selected after the sheet showed its first page.
    std::vector<int> select;
    bool registered;
    // Requests while the sheet lives.
    size_t requests;
    // Whether the page current at the end asks when it is hidden. Wine hides
    // the current page when the sheet is destroyed; Windows does not.
    bool lastPageAsks;
};

const IconCase kIconCases[] = {
    {"LandingShownIconMissing", {kLandingPage}, {}, false, 1, true},
    {"LandingShownIconRegistered", {kLandingPage}, {}, true, 0, false},
    {"SettingsShownIconMissing", {kSettingsPage}, {}, false, 1, true},
    {"SettingsShownIconRegistered", {kSettingsPage}, {}, true, 0, false},
    {"ShredAndBleachingNeverAsk", {kShredPage, kBleachPage}, {1}, false, 0, false},
    // Shown, hidden, then the Settings page shown.
    {"LandingToSettings", {kLandingPage, kSettingsPage}, {1}, false, 3, true},
    {"LandingToShredAndBack", {kLandingPage, kShredPage}, {1, 0}, false, 3, true},
    {"LandingToShred", {kLandingPage, kShredPage}, {1}, false, 2, false},
};

void PrintTo(const IconCase& c, std::ostream* out)
{
    *out << c.name;
}

class DesktopIconRequest : public hosttest::PageTest,
                           public ::testing::WithParamInterface<IconCase> {
protected:
    // A message of the test's own: once it is in, everything the pages sent
    // before it is too. The requests that came with it.
    size_t RequestsUpToMarker(const hosttest::ControlPipeRecorder& recorder, size_t marker)
    {
        win32::UniqueFile pipe;
        EXPECT_TRUE(OpenBleachControlPipe(controlPipe, GENERIC_WRITE, pipe));
        EXPECT_TRUE(SendBleachControlCommand(pipe.get(), kStopBleach, 0, 0));
        pipe.reset();
        const std::string markerBytes = FormatControlMessage(kStopBleach, 0, 0);
        std::vector<std::string> messages;
        EXPECT_TRUE(testsupport::WaitUntil([&] {
            messages = recorder.Messages();
            return std::count(messages.begin(), messages.end(), markerBytes) >=
                   static_cast<std::ptrdiff_t>(marker);
        }));
        const std::string request = FormatControlMessage(
            kRegisterDesktopIcon, static_cast<int32_t>(::GetCurrentProcessId()),
            static_cast<int32_t>(::GetCurrentThreadId()));
        size_t requests = 0;
        for (const std::string& message : messages) {
            if (message == request)
                ++requests;
            else
                EXPECT_EQ(markerBytes, message);
        }
        return requests;
    }
};

TEST_P(DesktopIconRequest, IsSentOncePerShowAndHideWhileTheIconIsMissing)
{
    const IconCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(SetDesktopIconRegistered(c.registered));
    if (IsSkipped())
        return;
    // The exact bytes: the text and its NUL, 2 bytes a character.
    const std::wstring text = L"$OVSC$:4176:" + std::to_wstring(::GetCurrentProcessId()) + L":" +
                              std::to_wstring(::GetCurrentThreadId());
    ASSERT_EQ(
        std::string(reinterpret_cast<const char*>(text.c_str()),
                    (text.size() + 1) * sizeof(wchar_t)),
        FormatControlMessage(kRegisterDesktopIcon, static_cast<int32_t>(::GetCurrentProcessId()),
                             static_cast<int32_t>(::GetCurrentThreadId())));

    hosttest::ControlPipeRecorder recorder(controlPipe);
    ASSERT_TRUE(recorder.Ready());
    PageSheet sheet(c.pages);
    ASSERT_TRUE(sheet.Ready());
    ASSERT_TRUE(sheet.CurrentPage());
    for (int tab : c.select)
        ASSERT_TRUE(sheet.Select(tab));
    EXPECT_EQ(c.requests, RequestsUpToMarker(recorder, 1));

    sheet.Destroy();
    const size_t afterDestroy = RequestsUpToMarker(recorder, 2) - c.requests;
    if (c.lastPageAsks)
        EXPECT_LE(afterDestroy, 1u);
    else
        EXPECT_EQ(0u, afterDestroy);
}

INSTANTIATE_TEST_SUITE_P(Host, DesktopIconRequest, ::testing::ValuesIn(kIconCases),
                         [](const auto& info) { return std::string(info.param.name); });

using DesktopIconPause = hosttest::PageTest;

// The product's own pause: 1500 ms while the icon is missing, even with no
// service to ask; none while it is registered.
TEST_F(DesktopIconPause, LastsWhileTheIconIsMissingEvenWithoutAService)
{
    ASSERT_TRUE(::SetEnvironmentVariableW(fw::kDesktopIconPauseVariable, nullptr));
    ASSERT_NO_FATAL_FAILURE(SetDesktopIconRegistered(false));
    if (IsSkipped())
        return;
    ULONGLONG started = ::GetTickCount64();
    EnsureDesktopIcon();
    // Sleep may end a tick early.
    EXPECT_GE(::GetTickCount64() - started, 1500u - 16u);

    ASSERT_NO_FATAL_FAILURE(SetDesktopIconRegistered(true));
    started = ::GetTickCount64();
    EnsureDesktopIcon();
    EXPECT_LT(::GetTickCount64() - started, 1500u);
}

// The pipe calls on their own: a missing pipe fails at once and leaves the
// handle empty; each client writes one whole message.
TEST_F(DesktopIconPause, PipeCallsFailWithoutAPipeAndWriteOneMessageEach)
{
    win32::UniqueFile pipe;
    EXPECT_FALSE(OpenBleachControlPipe(controlPipe, GENERIC_WRITE, pipe));
    EXPECT_FALSE(pipe);

    hosttest::ControlPipeRecorder recorder(controlPipe);
    ASSERT_TRUE(recorder.Ready());
    win32::UniqueFile first;
    ASSERT_TRUE(OpenBleachControlPipe(controlPipe, GENERIC_WRITE, first));
    ASSERT_TRUE(SendBleachControlCommand(first.get(), kStartBleach, 1, 2));
    first.reset();
    ASSERT_TRUE(OpenBleachControlPipe(controlPipe, GENERIC_WRITE, pipe));
    ASSERT_TRUE(SendBleachControlCommand(pipe.get(), kRegisterDesktopIcon, 3, 4));
    ASSERT_TRUE(recorder.WaitForMessages(2, kPatienceMs));
    std::vector<std::string> messages = recorder.Messages();
    std::sort(messages.begin(), messages.end());
    EXPECT_EQ((std::vector<std::string>{FormatControlMessage(kStartBleach, 1, 2),
                                        FormatControlMessage(kRegisterDesktopIcon, 3, 4)}),
              messages);
}

}  // namespace
