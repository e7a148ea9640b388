// The plug-in's pages in the host stand-in's sheet: the landing page's
// version line and help window, the desktop-icon request against a control
// pipe of the test's own, and the page procedures (changes, end of session,
// one object per page window). Under Wine a page's window exists only once
// its tab is selected (PSP_PREMATURE is ignored): each sheet here shows the
// page under test first.
#include "plugin/landing_page.h"

#include "framework/build_seams.h"
#include "framework/module.h"
#include "ipc/bleach_protocol.h"
#include "plugin/bleach_page.h"
#include "plugin/page_instances.h"
#include "plugin/settings_page.h"
#include "plugin/shred_page.h"
#include "resources/halvorin/resource.h"
#include "tests/common/open_recorder.h"
#include "tests/common/registry_sandbox.h"
#include "tests/plugin/host_test_support.h"
#include "win32/registry.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <utility>
#include <gtest/gtest.h>

namespace {

enum PageIndex : size_t { kLanding, kShred, kBleach, kSettings };
constexpr wchar_t kProgId[] = L"Fennick.OVHWDesktopFolderImpl";
constexpr int kApplyButton = 0x3021;  // comctl32's id

// The host's colour properties.
struct HostColours {
    COLORREF background;
    COLORREF text;
};

// A sheet of the plug-in's pages in `pages`, as the host's site accepts them.
// The stand-in's sheet has no Apply button; `withApply` makes one that has.
// `colours`, when given, are the colours the host offers.
HWND MakeSheet(std::vector<size_t> pages, bool withApply = false,
               const HostColours* colours = nullptr)
{
    win32::ComPtr<IFWTWPages> plugin;
    if (FAILED(hosttest::InProcessCreator(IID_IFWTWPages, IID_IFWTWPages, plugin.put_void())))
        return nullptr;
    win32::ComPtr<fwhost::CHostPageSite> site(new fwhost::CHostPageSite);
    if (colours) {
        for (const auto& [index, colour] : {std::pair{kFwtwBackgroundColour, colours->background},
                                            std::pair{kFwtwTextColour, colours->text}}) {
            VARIANT value;
            ::VariantInit(&value);
            V_VT(&value) = VT_I4;
            V_I4(&value) = static_cast<LONG>(colour);
            site->SetProperty(index, value);
        }
    }
    for (size_t offer = kLanding; offer <= kSettings; ++offer)
        if (std::find(pages.begin(), pages.end(), offer) == pages.end())
            site->RefuseOffer(offer);
    if (plugin->CreatePages(site.get()) != S_OK)
        return nullptr;
    std::vector<HPROPSHEETPAGE> accepted = site->TakeAcceptedPages();
    if (!withApply)
        return fwhost::CreatePropertySheet(accepted, nullptr, L"Console");
    PROPSHEETHEADERW header = {sizeof(header), PSH_MODELESS};
    header.pszCaption = L"Console";
    header.nPages = static_cast<UINT>(accepted.size());
    header.phpage = accepted.data();
    return reinterpret_cast<HWND>(::PropertySheetW(&header));
}

HWND CurrentPage(HWND sheet)
{
    return PropSheet_GetCurrentPageHwnd(sheet);
}

std::wstring Text(HWND window)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

// No product keys, bleach pipes of the case's own (nobody listens unless the
// case does), no pause after a desktop-icon request.
class PageTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        testsupport::ProductRegistryTest::SetUp();
        ASSERT_TRUE(fw::EnsureCommonControls());
        pipe = iconRequests.ControlPipe();
    }
    void TearDown() override
    {
        if (m_progIdCreated) {
            EXPECT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_CLASSES_ROOT, kProgId));
        }
        testsupport::ProductRegistryTest::TearDown();
    }
    // The icon's ProgID: false when the prefix had it already (never removed).
    bool RegisterIconFor(bool registered)
    {
        win32::UniqueKey key;
        if (win32::OpenKey(HKEY_CLASSES_ROOT, kProgId, KEY_QUERY_VALUE, key) == ERROR_SUCCESS)
            return false;
        m_progIdCreated = registered && win32::CreateKey(HKEY_CLASSES_ROOT, kProgId, KEY_WRITE,
                                                         key) == ERROR_SUCCESS;
        return m_progIdCreated == registered;
    }

    hosttest::PrivateIconRequests iconRequests;
    std::wstring pipe;

private:
    bool m_progIdCreated = false;
};

struct VersionCase {
    const char* name;
    bool key;
    DWORD highType;  // REG_NONE: missing
    DWORD high;
    DWORD lowType;
    const wchar_t* expected;
};

const VersionCase kVersionCases[] = {
    {"HighAndLow", true, REG_DWORD, 412, REG_DWORD, L"Version  4.1.2.7"},
    {"HighOnly", true, REG_DWORD, 300, REG_NONE, L"Version  3.0.0."},
    {"FourDigits", true, REG_DWORD, 1234, REG_DWORD, L"Version  12.3.4.7"},
    // Without the high version nothing is shown: no "Version" with nothing
    // after it. The low one is not read then.
    {"NoValues", true, REG_NONE, 0, REG_NONE, L""},
    {"LowOnly", true, REG_NONE, 0, REG_DWORD, L""},
    {"HighAsText", true, REG_SZ, 0, REG_DWORD, L""},
    {"NoKey", false, REG_NONE, 0, REG_NONE, L""},
};

void PrintTo(const VersionCase& c, std::ostream* out)
{
    *out << c.name;
}

class LandingVersion : public PageTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(LandingVersion, IsReadFromTheProductKey)
{
    const VersionCase& c = GetParam();
    const auto put = [](const wchar_t* name, DWORD type, DWORD number) {
        if (type == REG_DWORD)
            testsupport::PutDword(HKEY_LOCAL_MACHINE, testsupport::kProductKey, name, number);
        else if (type == REG_SZ)
            testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, name, L"412");
    };
    if (c.key)
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                               L"C:\\Scoravel");
    put(L"Product_HighVer", c.highType, c.high);
    put(L"Product_LowVer", c.lowType, 7);
    const HWND sheet = MakeSheet({kLanding});
    ASSERT_TRUE(sheet);
    EXPECT_EQ(c.expected, Text(::GetDlgItem(CurrentPage(sheet), IDC_LANDING_VERSION)));
    EXPECT_EQ(L"Scoravel", Text(::GetDlgItem(CurrentPage(sheet), IDC_LANDING_TITLE)));
    ::DestroyWindow(sheet);
}

INSTANTIATE_TEST_SUITE_P(Host, LandingVersion, ::testing::ValuesIn(kVersionCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Showing the landing or Settings page sends the one request while the
// icon's ProgID is missing. The request is made on this thread: once the
// sheet exists, whatever the page sent waits in the pipe's one instance.
// The pipe is opened so that whoever serves it can only identify the host's
// process, never act as it, and without the right to make instances of it
// (which the service grants to no user).
struct IconCase {
    const char* name;
    size_t page;
    bool registered;
    bool sends;
};

const IconCase kIconCases[] = {
    {"LandingIconMissing", kLanding, false, true},
    {"LandingIconRegistered", kLanding, true, false},
    {"SettingsIconMissing", kSettings, false, true},
    {"SettingsIconRegistered", kSettings, true, false},
    {"ShredNeverAsks", kShred, false, false},
};

void PrintTo(const IconCase& c, std::ostream* out)
{
    *out << c.name;
}

class DesktopIconRequest : public PageTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(DesktopIconRequest, IsSentWhenThePageShowsWhileTheIconIsMissing)
{
    const IconCase& c = GetParam();
    if (!RegisterIconFor(c.registered))
        GTEST_SKIP() << "the desktop icon is registered in this prefix";
    win32::UniqueFile server(::CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_INBOUND,
                                                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1,
                                                kCbPipeBuffer, kCbPipeBuffer, 0, nullptr));
    ASSERT_TRUE(server);
    testsupport::OpenRecorder opens;
    ASSERT_TRUE(opens.Installed());
    const HWND sheet = MakeSheet({c.page});
    ASSERT_TRUE(sheet);

    std::string received;
    DWORD cbAvailable = 0;
    if (::PeekNamedPipe(server.get(), nullptr, 0, nullptr, &cbAvailable, nullptr) &&
        cbAvailable > 0) {
        received.resize(cbAvailable);
        DWORD cbRead = 0;
        ASSERT_TRUE(::ReadFile(server.get(), received.data(), cbAvailable, &cbRead, nullptr));
        received.resize(cbRead);
    }
    const std::wstring text = L"$OVSC$:4176:" + std::to_wstring(::GetCurrentProcessId()) + L":" +
                              std::to_wstring(::GetCurrentThreadId());
    const std::string expected(reinterpret_cast<const char*>(text.c_str()),
                               (text.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(c.sends ? expected : std::string(), received);
    server.reset();  // the page's hide at destruction finds no pipe
    ::DestroyWindow(sheet);
    const std::vector<testsupport::RecordedOpen> made = opens.OpensOf(pipe);
    EXPECT_EQ(c.sends, !made.empty());
    for (const testsupport::RecordedOpen& open : made) {
        EXPECT_TRUE(testsupport::IdentificationOnly(open));
        EXPECT_FALSE(testsupport::AsksToCreateInstances(open));
    }
}

INSTANTIATE_TEST_SUITE_P(Host, DesktopIconRequest, ::testing::ValuesIn(kIconCases),
                         [](const auto& info) { return std::string(info.param.name); });

using LandingPage = PageTest;

// Only the product's help window closes with the landing page.
TEST_F(LandingPage, DestroyingItClosesTheProductsHelpWindow)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"HH Parent";
    ::RegisterClassW(&windowClass);
    const auto open = [&](const wchar_t* title) {
        return ::CreateWindowW(L"HH Parent", title, WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
    };
    const HWND help = open(L"Scoravel for OV Tarnwell");
    const HWND other = open(L"Other help");
    ASSERT_TRUE(help && other);
    const HWND sheet = MakeSheet({kLanding});
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(::IsWindow(help));
    ::DestroyWindow(sheet);
    EXPECT_FALSE(::IsWindow(help));
    EXPECT_TRUE(::IsWindow(other));
    ::DestroyWindow(other);
}

// A second initialisation (a restore) deletes the brush and fonts of the first.
TEST_F(LandingPage, InitialisingAgainDeletesThePreviousBrushAndFonts)
{
    const HWND sheet = MakeSheet({kLanding});
    ASSERT_TRUE(sheet && OpenPages().landing);
    const HWND page = CurrentPage(sheet);
    const HWND title = ::GetDlgItem(page, IDC_LANDING_TITLE);
    const HWND text = ::GetDlgItem(page, IDC_LANDING_DESCRIPTION);
    const auto brush = [&] {
        const HDC dc = ::GetDC(page);
        const LRESULT result = ::SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(text));
        ::ReleaseDC(page, dc);
        return reinterpret_cast<HGDIOBJ>(result);
    };
    const auto font = [](HWND c) {
        return reinterpret_cast<HGDIOBJ>(::SendMessageW(c, WM_GETFONT, 0, 0));
    };
    const HGDIOBJ before[] = {brush(), font(title), font(text)};
    EXPECT_TRUE(OpenPages().landing->OnInitDialog());
    for (HGDIOBJ object : before)
        EXPECT_EQ(0u, ::GetObjectType(object));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), ::GetObjectType(brush()));
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), ::GetObjectType(font(text)));
    ::DestroyWindow(sheet);
}

struct PageCase {
    const char* name;
    size_t page;
    bool marksChanged;
    fw::CPropertyPage* (*recorded)();
    int description;
};

const PageCase kPageCases[] = {
    {"Landing", kLanding, false, []() -> fw::CPropertyPage* { return OpenPages().landing; },
     IDC_LANDING_DESCRIPTION},
    {"Shred", kShred, true, []() -> fw::CPropertyPage* { return OpenPages().shred; },
     IDC_SHRED_DESCRIPTION},
    {"Bleaching", kBleach, true, []() -> fw::CPropertyPage* { return OpenPages().bleach; },
     IDC_BLEACH_DESCRIPTION},
    {"Settings", kSettings, true, []() -> fw::CPropertyPage* { return OpenPages().settings; },
     IDC_SETTINGS_DESCRIPTION},
};

void PrintTo(const PageCase& c, std::ostream* out)
{
    *out << c.name;
}

class PageProcedure : public PageTest, public ::testing::WithParamInterface<PageCase> {};

// A command no page object handles marks the editing pages changed (the
// Apply button enables); every page answers the end of the session with 1;
// a second window of the page gets its own object and takes only that away.
TEST_P(PageProcedure, MarksChangesAnswersEndSessionAndOwnsOneObjectPerWindow)
{
    const PageCase& c = GetParam();
    const HWND sheet = MakeSheet({c.page}, true);
    ASSERT_TRUE(sheet);
    const HWND page = CurrentPage(sheet);
    fw::CPropertyPage* const object = c.recorded();
    ASSERT_TRUE(object);
    EXPECT_EQ(object, fw::CPropertyPage::FromHandle(page));
    const HWND apply = ::GetDlgItem(sheet, kApplyButton);
    ASSERT_FALSE(::IsWindowEnabled(apply));
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(0x7ABC, BN_CLICKED), 0);
    EXPECT_EQ(c.marksChanged, ::IsWindowEnabled(apply) != FALSE);
    EXPECT_EQ(1, ::SendMessageW(page, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    EXPECT_EQ(1, ::SendMessageW(page, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF));

    const HWND second = MakeSheet({c.page});
    ASSERT_TRUE(second);
    const HWND secondPage = CurrentPage(second);
    EXPECT_NE(object, fw::CPropertyPage::FromHandle(secondPage));
    EXPECT_TRUE(fw::CPropertyPage::FromHandle(secondPage));
    ::DestroyWindow(second);
    EXPECT_EQ(object, c.recorded());
    EXPECT_EQ(object, fw::CPropertyPage::FromHandle(page));
    EXPECT_EQ(page, object->GetHwnd());
    EXPECT_TRUE(object->OnInitDialog());
    ::DestroyWindow(sheet);
    EXPECT_FALSE(c.recorded());
}

// Text and background of a page come from the same host colours: when the
// host asks for the pages again with other colours, a page still open paints
// its text in the colour that goes with its own background, never the new
// text colour on its old brush.
TEST_P(PageProcedure, PaintsTextAndBackgroundOfTheColoursItOpenedWith)
{
    const PageCase& c = GetParam();
    const HostColours looks[] = {{RGB(0, 0, 0), RGB(255, 255, 255)},
                                 {RGB(255, 255, 255), RGB(0, 0, 0)}};
    HWND sheets[ARRAYSIZE(looks)] = {};
    for (size_t i = 0; i < ARRAYSIZE(looks); ++i) {
        sheets[i] = MakeSheet({c.page}, false, &looks[i]);
        ASSERT_TRUE(sheets[i]);
    }
    for (size_t i = 0; i < ARRAYSIZE(looks); ++i) {
        SCOPED_TRACE(i);
        const HWND page = CurrentPage(sheets[i]);
        const HDC dc = ::CreateCompatibleDC(nullptr);
        const auto brush = reinterpret_cast<HBRUSH>(
            ::SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(::GetDlgItem(page, c.description))));
        const COLORREF text = ::GetTextColor(dc);
        ::DeleteDC(dc);
        LOGBRUSH logBrush = {};
        EXPECT_EQ(static_cast<int>(sizeof(logBrush)),
                  ::GetObjectW(brush, sizeof(logBrush), &logBrush));
        EXPECT_EQ(looks[i].background, logBrush.lbColor);
        EXPECT_EQ(looks[i].text, text);
    }
    for (HWND sheet : sheets)
        ::DestroyWindow(sheet);
}

INSTANTIATE_TEST_SUITE_P(Host, PageProcedure, ::testing::ValuesIn(kPageCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
