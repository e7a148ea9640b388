#include "framework/module.h"
#include "program/ui/progress_window.h"
#include "resources/graventa/resource.h"
#include "tests/common/registry_sandbox.h"
#include "win32/unique_handle.h"

#include <commctrl.h>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring TextOf(HWND hwnd)
{
    wchar_t text[256] = {};
    ::SendMessageW(hwnd, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text));
    return text;
}

// Top-level windows of this process with the progress window's caption
// (other test programs may run beside this one).
int CountProgressWindows()
{
    struct Count {
        int windows = 0;
    } count;
    ::EnumWindows(
        [](HWND hwnd, LPARAM parameter) -> BOOL {
            DWORD processId = 0;
            ::GetWindowThreadProcessId(hwnd, &processId);
            if (processId == ::GetCurrentProcessId() && TextOf(hwnd) == L"Scoravel for OV Tarnwell")
                ++reinterpret_cast<Count*>(parameter)->windows;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

// Every case starts without "DisplayFontSettings" (the product keys are
// cleared), so the window paints with the defaults unless a case sets it.
class ProgressWindow : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        testsupport::ProductRegistryTest::SetUp();
        reporter = std::make_unique<ProgressReporter>(OpenProgressWindow());
        hwnd = reporter->Window();
        ASSERT_NE(nullptr, hwnd);
    }

    HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }

    std::unique_ptr<ProgressReporter> reporter;
    HWND hwnd = nullptr;
};

TEST_F(ProgressWindow, StartsHiddenOnItsOwnThreadWithTheTemplateTexts)
{
    EXPECT_FALSE(reporter->IsSilent());
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_NE(::GetCurrentThreadId(), ::GetWindowThreadProcessId(hwnd, nullptr));
    EXPECT_EQ(nullptr, ::GetWindow(hwnd, GW_OWNER));
    EXPECT_EQ(static_cast<int>(::GetCurrentProcessId() + ::GetCurrentThreadId()),
              reporter->Identifier());

    EXPECT_EQ(L"Scoravel for OV Tarnwell", TextOf(hwnd));
    EXPECT_EQ(L"Operation in progress", TextOf(Item(IDC_PROGRESS_TITLE)));
    EXPECT_EQ(L"Cancel", TextOf(Item(IDC_PROGRESS_STOP)));
    EXPECT_EQ(L"0%", TextOf(Item(IDC_PROGRESS_PERCENT)));
    EXPECT_EQ(0, ::SendMessageW(Item(IDC_PROGRESS_BAR), PBM_GETRANGE, TRUE, 0));
    EXPECT_EQ(100, ::SendMessageW(Item(IDC_PROGRESS_BAR), PBM_GETRANGE, FALSE, 0));

    const HMENU systemMenu = ::GetSystemMenu(hwnd, FALSE);
    ASSERT_NE(nullptr, systemMenu);
    EXPECT_TRUE(::GetMenuState(systemMenu, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(1, CountProgressWindows());
}

TEST_F(ProgressWindow, PercentIsRightAlignedInThreeAndValuesAbove100AreIgnored)
{
    const HWND bar = Item(IDC_PROGRESS_BAR);
    const HWND percent = Item(IDC_PROGRESS_PERCENT);

    reporter->SetPercent(7);
    EXPECT_EQ(L"  7 %", TextOf(percent));
    EXPECT_EQ(7, ::SendMessageW(bar, PBM_GETPOS, 0, 0));

    reporter->SetPercent(42);
    EXPECT_EQ(L" 42 %", TextOf(percent));
    reporter->SetPercent(101);
    EXPECT_EQ(L" 42 %", TextOf(percent));
    EXPECT_EQ(42, ::SendMessageW(bar, PBM_GETPOS, 0, 0));

    reporter->SetPercent(100);
    EXPECT_EQ(L"100 %", TextOf(percent));
    EXPECT_EQ(100, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
    reporter->SetPercent(250);
    EXPECT_EQ(L"100 %", TextOf(percent));
    EXPECT_EQ(100, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
}

TEST_F(ProgressWindow, StopButtonSetsTheFlagForGoodAndDisablesItself)
{
    const HWND stop = Item(IDC_PROGRESS_STOP);
    EXPECT_FALSE(reporter->IsCancelled());
    EXPECT_TRUE(::IsWindowEnabled(stop));

    ::SendMessageW(stop, BM_CLICK, 0, 0);
    EXPECT_TRUE(reporter->IsCancelled());
    EXPECT_FALSE(::IsWindowEnabled(stop));

    // The rest of the window goes on working, and the stop stays requested.
    reporter->SetPercent(50);
    EXPECT_EQ(L" 50 %", TextOf(Item(IDC_PROGRESS_PERCENT)));
    EXPECT_TRUE(reporter->IsCancelled());
    EXPECT_TRUE(::IsWindow(hwnd));
}

TEST_F(ProgressWindow, EscapeEnterCancelAndCloseLeaveItAlone)
{
    ::SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    ::SendMessageW(hwnd, WM_COMMAND, IDOK, 0);
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    // Keys take the real road: the UI thread's loop and the dialog manager.
    // A bar position posted after them tells when they have been handled.
    ::PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageW(Item(IDC_PROGRESS_BAR), PBM_SETPOS, 33, 0);
    const HWND bar = Item(IDC_PROGRESS_BAR);
    while (::IsWindow(bar) && ::SendMessageW(bar, PBM_GETPOS, 0, 0) != 33)
        ::Sleep(10);

    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(hwnd, reporter->Window());
    EXPECT_FALSE(reporter->IsCancelled());
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_PROGRESS_STOP)));
}

TEST_F(ProgressWindow, BringToFrontShowsTheHiddenWindow)
{
    ASSERT_FALSE(::IsWindowVisible(hwnd));
    reporter->BringToFront();
    EXPECT_TRUE(::IsWindowVisible(hwnd));
}

TEST_F(ProgressWindow, SetTextsChangesTitleAndButton)
{
    reporter->SetTexts(L"Shred in progress", L"Stop Shred");
    EXPECT_EQ(L"Shred in progress", TextOf(Item(IDC_PROGRESS_TITLE)));
    EXPECT_EQ(L"Stop Shred", TextOf(Item(IDC_PROGRESS_STOP)));
    EXPECT_EQ(L"Scoravel for OV Tarnwell", TextOf(hwnd));
}

// What `control`'s text needs in its font, on one line.
SIZE TextNeeds(HWND control)
{
    const std::wstring text = TextOf(control);
    const HDC dc = ::GetDC(control);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{};
    ::DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return {needed.right, needed.bottom};
}

// A push button draws a two-pixel frame and a focus rectangle a pixel
// inside it, and its text needs a pixel clear of that on both sides.
constexpr LONG kButtonTextRoom = 2 * (2 + 1 + 1);

using ProgressLayout = testsupport::ProductRegistryTest;

// The window grows with the host's font and with the texts a job sets: each
// text whole (descenders too), the stop button's text clear of its frame,
// every control inside the window and clear of the others.
TEST_F(ProgressLayout, ShowsTheJobsTextsWholeInTheHostFont)
{
    const struct {
        const char* name;
        const wchar_t* displaySettings;  // null: the defaults
    } cases[] = {{"ByDefault", nullptr},
                 {"InTenPointArial", L"16777215:0:10:0:Arial"},
                 {"InTwelvePoints", L"16777215:0:12:0:MS Shell Dlg"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ClearProductKeys();
        if (c.displaySettings)
            testsupport::PutString(HKEY_CURRENT_USER, testsupport::kSettingsKey,
                                   L"DisplayFontSettings", c.displaySettings);
        ProgressReporter reporter(OpenProgressWindow());
        const HWND window = reporter.Window();
        ASSERT_NE(nullptr, window);
        reporter.SetTexts(L"Shred in progress", L"Stop Shred");
        reporter.SetPercent(100);

        RECT client{};
        ::GetClientRect(window, &client);
        std::vector<RECT> placed;
        for (int id : {IDC_PROGRESS_TITLE, IDC_PROGRESS_BAR, IDC_PROGRESS_PERCENT,
                       IDC_PROGRESS_STOP}) {
            SCOPED_TRACE(id);
            const HWND control = ::GetDlgItem(window, id);
            ASSERT_NE(nullptr, control);
            RECT rect{};
            ::GetWindowRect(control, &rect);
            ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
            RECT inside{};
            EXPECT_TRUE(::IntersectRect(&inside, &rect, &client) && ::EqualRect(&inside, &rect))
                << "outside the window";
            for (const RECT& other : placed)
                EXPECT_FALSE(::IntersectRect(&inside, &rect, &other)) << "overlaps another";
            placed.push_back(rect);
            if (id == IDC_PROGRESS_BAR)
                continue;
            const LONG room = id == IDC_PROGRESS_STOP ? kButtonTextRoom : 0;
            const SIZE needed = TextNeeds(control);
            EXPECT_LE(needed.cx + room, rect.right - rect.left) << "text cut off at the side";
            EXPECT_LE(needed.cy + room, rect.bottom - rect.top) << "text cut off below";
        }
    }
}

TEST_F(ProgressWindow, DestroyingTheReporterEndsTheThreadAndTheWindow)
{
    const DWORD threadId = ::GetWindowThreadProcessId(hwnd, nullptr);
    win32::UniqueHandleNull thread(::OpenThread(SYNCHRONIZE, FALSE, threadId));
    ASSERT_TRUE(thread);
    ASSERT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(thread.get(), 0));

    reporter.reset();
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(thread.get(), 0));
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(0, CountProgressWindows());
}

TEST(SilentProgress, MakesNoWindowAndNeverReportsAStop)
{
    ProgressReporter reporter;
    EXPECT_TRUE(reporter.IsSilent());
    EXPECT_EQ(nullptr, reporter.Window());
    reporter.SetPercent(50);
    reporter.SetTexts(L"title", L"button");
    reporter.BringToFront();
    EXPECT_FALSE(reporter.IsCancelled());
    EXPECT_EQ(0, CountProgressWindows());
}

// The resource module is where a real program could lack template 130 (a
// language module, a stripped build): the job must go on without a window.
TEST(ProgressWithoutTemplate, FallsBackToSilentInsteadOfWaitingForever)
{
    const HMODULE noTemplates = ::GetModuleHandleW(L"ntdll.dll");
    ASSERT_NE(nullptr, noTemplates);
    ASSERT_EQ(nullptr, ::FindResourceW(noTemplates, MAKEINTRESOURCEW(IDD_PROGRESS), RT_DIALOG));
    fw::SetResourceInstance(noTemplates);
    {
        ProgressReporter reporter(OpenProgressWindow());
        EXPECT_TRUE(reporter.IsSilent());
        EXPECT_EQ(nullptr, reporter.Window());
        reporter.SetPercent(10);
        reporter.BringToFront();
        EXPECT_FALSE(reporter.IsCancelled());
        EXPECT_EQ(0, CountProgressWindows());
    }
    fw::SetResourceInstance(nullptr);

    ProgressReporter restored(OpenProgressWindow());
    EXPECT_FALSE(restored.IsSilent());
    EXPECT_NE(nullptr, restored.Window());
}

}  // namespace
