// The four page procedures through the host stand-in's sheet: commands that
// no page object handles mark the editing pages changed, every page answers
// the end of the session, and each window of a page owns its own object.
#include "plugin/bleach_page.h"
#include "plugin/landing_page.h"
#include "plugin/page_instances.h"
#include "plugin/settings_page.h"
#include "plugin/shred_page.h"
#include "tests/plugin/page_sheet.h"

#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>
#include <memory>

namespace {

using hosttest::PageSheet;

// The sheet's Apply button (comctl32's id).
constexpr int kApplyButton = 0x3021;
// No page has a control with this id.
constexpr WORD kUnknownCommand = 0x7ABC;

struct PageCase {
    const char* name;
    size_t page;
    bool marksChanged;
    // The page's slot in the live-page record.
    fw::CPropertyPage* (*recorded)();
};

const PageCase kPageCases[] = {
    {"Landing", hosttest::kLandingPage, false,
     []() -> fw::CPropertyPage* { return OpenPages().landing; }},
    {"Shred", hosttest::kShredPage, true, []() -> fw::CPropertyPage* { return OpenPages().shred; }},
    {"Bleaching", hosttest::kBleachPage, true,
     []() -> fw::CPropertyPage* { return OpenPages().bleach; }},
    {"Settings", hosttest::kSettingsPage, true,
     []() -> fw::CPropertyPage* { return OpenPages().settings; }},
};

void PrintTo(const PageCase& c, std::ostream* out)
{
    *out << c.name;
}

class PageProcedure : public hosttest::PageTest, public ::testing::WithParamInterface<PageCase> {};

// The sheet shows the page as its only one: under Wine a page's window
// exists only once its tab is selected (PSP_PREMATURE is ignored).
TEST_P(PageProcedure, MarksChangesAndAnswersTheEndOfTheSession)
{
    const PageCase& c = GetParam();
    PageSheet sheet({c.page}, {}, true);
    ASSERT_TRUE(sheet.Ready());
    const HWND page = sheet.CurrentPage();
    ASSERT_TRUE(page);
    ASSERT_TRUE(c.recorded());
    EXPECT_EQ(page, c.recorded()->GetHwnd());
    EXPECT_EQ(c.recorded(), fw::CPropertyPage::FromHandle(page));

    const HWND apply = ::GetDlgItem(sheet.Sheet(), kApplyButton);
    ASSERT_TRUE(apply);
    ASSERT_FALSE(::IsWindowEnabled(apply));
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(kUnknownCommand, BN_CLICKED), 0);
    EXPECT_EQ(c.marksChanged, ::IsWindowEnabled(apply) != FALSE);

    EXPECT_EQ(1, ::SendMessageW(page, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    EXPECT_EQ(1, ::SendMessageW(page, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF));
    // The page lives on after both.
    EXPECT_EQ(c.recorded(), fw::CPropertyPage::FromHandle(page));

    sheet.Destroy();
    EXPECT_FALSE(c.recorded());
}

// Two consoles showing the same page: the second window gets an object of
// its own, and whichever window goes first takes only its own object away.
TEST_P(PageProcedure, SecondWindowOfAPageKeepsItsOwnObject)
{
    const PageCase& c = GetParam();
    for (const bool firstGoesFirst : {false, true}) {
        SCOPED_TRACE(firstGoesFirst ? "first window destroyed first" : "second destroyed first");
        auto first = std::make_unique<PageSheet>(std::vector<size_t>{c.page});
        ASSERT_TRUE(first->Ready());
        const HWND firstPage = first->CurrentPage();
        fw::CPropertyPage* const firstObject = c.recorded();
        ASSERT_TRUE(firstObject);
        ASSERT_EQ(firstPage, firstObject->GetHwnd());

        auto second = std::make_unique<PageSheet>(std::vector<size_t>{c.page});
        ASSERT_TRUE(second->Ready());
        const HWND secondPage = second->CurrentPage();
        ASSERT_TRUE(secondPage);
        fw::CPropertyPage* const secondObject = fw::CPropertyPage::FromHandle(secondPage);
        ASSERT_TRUE(secondObject);
        EXPECT_NE(firstObject, secondObject);
        EXPECT_EQ(firstObject, c.recorded());
        EXPECT_EQ(firstObject, fw::CPropertyPage::FromHandle(firstPage));

        if (firstGoesFirst) {
            first.reset();
            EXPECT_FALSE(c.recorded());
            // The second page still runs on its own object.
            EXPECT_EQ(secondObject, fw::CPropertyPage::FromHandle(secondPage));
            EXPECT_EQ(secondPage, secondObject->GetHwnd());
            EXPECT_TRUE(secondObject->OnInitDialog());
            EXPECT_EQ(1, ::SendMessageW(secondPage, WM_QUERYENDSESSION, 0, 0));
            second.reset();
        } else {
            second.reset();
            EXPECT_EQ(firstObject, c.recorded());
            EXPECT_EQ(firstObject, fw::CPropertyPage::FromHandle(firstPage));
            EXPECT_EQ(firstPage, firstObject->GetHwnd());
            EXPECT_TRUE(firstObject->OnInitDialog());
            EXPECT_EQ(1, ::SendMessageW(firstPage, WM_QUERYENDSESSION, 0, 0));
            first.reset();
        }
        EXPECT_FALSE(c.recorded());
    }
}

INSTANTIATE_TEST_SUITE_P(Host, PageProcedure, ::testing::ValuesIn(kPageCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
