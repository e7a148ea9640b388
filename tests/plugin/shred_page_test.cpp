// The Shred page's triggers and buttons and the Apply buttons of both pages,
// end to end through the host stand-in's sheet: a recording "Graventa"
// process, the user's tray pipe, the registry and the test prefix's Task
// Scheduler.
#include "framework/dialog.h"
#include "ipc/main_window_command.h"
#include "ipc/tray_notify_client.h"
#include "plugin/page_instances.h"
#include "plugin/schedule_controls.h"
#include "resources/halvorin/resource.h"
#include "settings/settings_store.h"
#include "tests/commands/graventa_recorder.h"
#include "tests/common/tray_recorder.h"
#include "tests/common/wait.h"
#include "tests/plugin/page_test_fixture.h"

#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ostream>

namespace {

using plugintest::GraventaRecorder;
using plugintest::PageTest;
using plugintest::SetText;
using plugintest::ShownMessage;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const SetText kInstall = {0xBABE05, L"InstallFFBho"};
const SetText kRemove = {0xBABE05, L"RemoveFFBho"};
const SetText kReload = {0xBABE06, L""};

class ShredPage : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        ASSERT_EQ(nullptr, ::FindWindowW(nullptr, L"Graventa")) << "a Graventa window is left over";
    }

    HWND Open()
    {
        if (!m_sheet.Open())
            return nullptr;
        CShredDlg* page = m_sheet.ShowShred();
        return page ? page->GetHwnd() : nullptr;
    }

    // The commands received, the title's restoring sends left out.
    std::vector<SetText> Commands() const
    {
        std::vector<SetText> commands;
        for (const SetText& received : m_graventa.Received())
            if (received.code != 0)
                commands.push_back(received);
        return commands;
    }

    bool WaitForCommands(size_t count) const
    {
        return testsupport::WaitUntil([&] { return Commands().size() >= count; });
    }

    GraventaRecorder m_graventa;
};

// The key sequence as the user leaves it before Apply.
struct KeyRow {
    const char* name;
    bool ctrl, alt, shift;
    const wchar_t* key;
    const wchar_t* message;  // null: accepted
    const wchar_t* stored;   // keyCodeVals afterwards, when accepted
};

constexpr wchar_t kIncomplete[] =
    L"The key sequence entered is incomplete. Please select combination of a character and at "
    L"least one special key";
constexpr wchar_t kInvalid[] = L"The key sequence entered is invalid. It could not be saved. ";

const KeyRow kKeyRows[] = {
    {"CtrlQ", true, false, false, L"Q", nullptr, L"Q+CTRL"},
    {"AltShift7", false, true, true, L"7", nullptr, L"7+ALT+SHIFT"},
    {"CtrlAltShiftZ", true, true, true, L"Z", nullptr, L"Z+CTRL+ALT+SHIFT"},
    {"CtrlWithoutKey", true, false, false, L"", kIncomplete, nullptr},
    {"ShiftWithoutKey", false, false, true, L"", kIncomplete, nullptr},
    {"KeyWithoutModifier", false, false, false, L"Q", kIncomplete, nullptr},
    // Shift alone would fire on every capital letter typed.
    {"ShiftAloneWithKey", false, false, true, L"Q", kIncomplete, nullptr},
    {"NoModifierNoKey", false, false, false, L"", kInvalid, nullptr},
    {"CtrlWithPunctuation", true, false, false, L"#", kInvalid, nullptr},
    {"AltWithNonAsciiLetter", false, true, false, L"\u00c4", kInvalid, nullptr},
};

void PrintTo(const KeyRow& row, std::ostream* out)
{
    *out << row.name;
}

class KeySequence : public ShredPage, public ::testing::WithParamInterface<KeyRow> {};

// Each Apply also switches on the shutdown and browser triggers and asks for
// a schedule: a refused key sequence must let none of that happen.
TEST_P(KeySequence, IsSavedOnlyWhenValidAndARefusalChangesNothing)
{
    const KeyRow& row = GetParam();
    {
        SettingsStore settings;
        ASSERT_TRUE(settings.SaveTriggers());
    }
    ASSERT_TRUE(m_graventa.Start());
    const HWND page = Open();
    ASSERT_TRUE(page);
    // After the sheet wrote the display properties.
    const std::wstring before = testsupport::DumpKey(HKEY_CURRENT_USER, testsupport::kSettingsKey);

    Click(page, IDC_SHRED_ON_SHUTDOWN);
    Click(page, IDC_SHRED_ON_BROWSER_OPEN);
    Click(page, IDC_SHRED_SCHEDULER);
    SetPicker(page, IDC_SHRED_DATE, FutureMinute(90));
    SetPicker(page, IDC_SHRED_TIME, FutureMinute(90));
    SetControl(page, IDC_SHRED_PASSWORD, L"secret");
    Click(page, IDC_SHRED_ON_KEY);
    // Set as a restore or a hand-edited registry may leave them.
    ::CheckDlgButton(page, IDC_SHRED_CTRL, row.ctrl ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(page, IDC_SHRED_ALT, row.alt ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(page, IDC_SHRED_SHIFT, row.shift ? BST_CHECKED : BST_UNCHECKED);
    SetControl(page, IDC_SHRED_KEY, row.key);
    ASSERT_TRUE(Enabled(page, IDC_SHRED_APPLY));
    Click(page, IDC_SHRED_APPLY);

    SettingsStore saved;
    ASSERT_TRUE(saved.LoadTriggers());
    if (row.message) {
        EXPECT_THAT(m_messages, ElementsAre(ShownMessage{row.message, L"Key Sequence Save Error"}));
        EXPECT_TRUE(Enabled(page, IDC_SHRED_APPLY)) << "a refused Apply disabled Apply";
        EXPECT_EQ(before, testsupport::DumpKey(HKEY_CURRENT_USER, testsupport::kSettingsKey));
        EXPECT_FALSE(TaskExists(ShredTask()));
        // Anything sent would have arrived: sending waits for the window.
        EXPECT_THAT(Commands(), IsEmpty());
    } else {
        EXPECT_THAT(m_messages, IsEmpty());
        EXPECT_FALSE(Enabled(page, IDC_SHRED_APPLY));
        EXPECT_TRUE(saved.GetActivateOnKeyPress());
        EXPECT_EQ(row.stored, saved.GetKeyCodeVals());
        EXPECT_TRUE(saved.GetActivateOnSystemShutdown());
        EXPECT_TRUE(saved.GetActivateOnBrowserStartup());
        EXPECT_TRUE(saved.GetActivateOnCron());
        EXPECT_TRUE(TaskExists(ShredTask()));
        ASSERT_TRUE(WaitForCommands(2));
        EXPECT_THAT(Commands(), ElementsAre(kInstall, kReload));
    }
}

INSTANTIATE_TEST_SUITE_P(ShredPage, KeySequence, ::testing::ValuesIn(kKeyRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Install only on the Apply that switches a browser trigger on, remove on
// every Apply with both off; the hot key reload follows each save.
TEST_F(ShredPage, BrowserTriggersTellGraventaToInstallOrRemoveItsExtension)
{
    ASSERT_TRUE(m_graventa.Start());
    const HWND page = Open();
    ASSERT_TRUE(page);
    const struct {
        const char* step;
        int click;  // 0: none
        std::vector<SetText> sent;
    } steps[] = {
        {"both off", 0, {kRemove, kReload}},
        {"both still off", 0, {kRemove, kReload}},
        {"open switched on", IDC_SHRED_ON_BROWSER_OPEN, {kInstall, kReload}},
        {"open still on", 0, {kReload}},
        {"quit on as well", IDC_SHRED_ON_BROWSER_QUIT, {kReload}},
        {"open off, quit on", IDC_SHRED_ON_BROWSER_OPEN, {kReload}},
        {"quit off", IDC_SHRED_ON_BROWSER_QUIT, {kRemove, kReload}},
        {"quit on again", IDC_SHRED_ON_BROWSER_QUIT, {kInstall, kReload}},
    };
    std::vector<SetText> expected;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        if (step.click)
            Click(page, step.click);
        Click(page, IDC_SHRED_ON_SHUTDOWN);  // a change, so that Apply is enabled
        ASSERT_TRUE(Enabled(page, IDC_SHRED_APPLY));
        Click(page, IDC_SHRED_APPLY);
        expected.insert(expected.end(), step.sent.begin(), step.sent.end());
        ASSERT_TRUE(WaitForCommands(expected.size()));
        EXPECT_THAT(Commands(), ElementsAreArray(expected));
    }
    EXPECT_THAT(m_messages, IsEmpty());
}

// Switching a browser trigger on tells the user at once; switching it off
// does not.
TEST_F(ShredPage, SwitchingABrowserTriggerOnShowsTheBrowserShredBalloon)
{
    testsupport::TrayRecorder tray;
    ASSERT_TRUE(tray.Ready());
    const HWND page = Open();
    ASSERT_TRUE(page);
    Click(page, IDC_SHRED_ON_BROWSER_OPEN);
    ASSERT_TRUE(tray.WaitForBalloon(kBalloonBrowserTriggerOn, 1));
    Click(page, IDC_SHRED_ON_BROWSER_OPEN);
    Click(page, IDC_SHRED_ON_BROWSER_QUIT);
    ASSERT_TRUE(tray.WaitForBalloon(kBalloonBrowserTriggerOn, 2));
    const auto balloons = tray.Balloons();
    ASSERT_EQ(2u, balloons.size());
    for (const auto& balloon : balloons) {
        EXPECT_EQ(L"Browser Shred", balloon.title);
        EXPECT_EQ(L"Browser shred only shreds browser assets", balloon.text);
        EXPECT_EQ(29, balloon.id);
    }
    EXPECT_TRUE(Enabled(page, IDC_SHRED_APPLY));
}

TEST_F(ShredPage, ControlsFollowTheKeySequenceModifierAndSchedulerBoxes)
{
    const HWND page = Open();
    ASSERT_TRUE(page);
    const int keyControls[] = {IDC_SHRED_KEY, IDC_SHRED_CTRL, IDC_SHRED_ALT, IDC_SHRED_SHIFT};
    for (int id : keyControls)
        EXPECT_FALSE(Enabled(page, id)) << id;
    EXPECT_FALSE(Enabled(page, IDC_SHRED_APPLY));

    Click(page, IDC_SHRED_ON_KEY);
    EXPECT_TRUE(Enabled(page, IDC_SHRED_APPLY));
    EXPECT_TRUE(Enabled(page, IDC_SHRED_KEY));
    EXPECT_TRUE(Enabled(page, IDC_SHRED_CTRL));
    EXPECT_TRUE(Enabled(page, IDC_SHRED_ALT));
    EXPECT_FALSE(Enabled(page, IDC_SHRED_SHIFT)) << "SHIFT without CTRL or ALT";

    Click(page, IDC_SHRED_CTRL);
    EXPECT_TRUE(Enabled(page, IDC_SHRED_SHIFT));
    Click(page, IDC_SHRED_SHIFT);
    EXPECT_TRUE(Checked(page, IDC_SHRED_SHIFT));
    Click(page, IDC_SHRED_ALT);
    Click(page, IDC_SHRED_CTRL);  // ALT still holds SHIFT
    EXPECT_TRUE(Checked(page, IDC_SHRED_SHIFT));
    EXPECT_TRUE(Enabled(page, IDC_SHRED_SHIFT));
    Click(page, IDC_SHRED_ALT);  // neither: SHIFT goes
    EXPECT_FALSE(Checked(page, IDC_SHRED_SHIFT));
    EXPECT_FALSE(Enabled(page, IDC_SHRED_SHIFT));

    // Typed in upper case, one character at most.
    const HWND key = ::GetDlgItem(page, IDC_SHRED_KEY);
    ::SendMessageW(key, WM_CHAR, L'q', 1);
    ::SendMessageW(key, WM_CHAR, L'w', 1);
    EXPECT_EQ(L"Q", fw::ControlText(key));

    Click(page, IDC_SHRED_CTRL);
    Click(page, IDC_SHRED_ON_KEY);  // off: the key and modifiers are cleared
    EXPECT_EQ(L"", fw::ControlText(key));
    for (int id : keyControls)
        EXPECT_FALSE(Enabled(page, id)) << id;
    for (int id : {IDC_SHRED_CTRL, IDC_SHRED_ALT, IDC_SHRED_SHIFT})
        EXPECT_FALSE(Checked(page, id)) << id;

    const int scheduleControls[] = {IDC_SHRED_DATE, IDC_SHRED_TIME, IDC_SHRED_PASSWORD};
    Click(page, IDC_SHRED_SCHEDULER);
    for (int id : scheduleControls)
        EXPECT_TRUE(Enabled(page, id)) << id;
    SetControl(page, IDC_SHRED_PASSWORD, L"secret");
    Click(page, IDC_SHRED_SCHEDULER);
    for (int id : scheduleControls)
        EXPECT_FALSE(Enabled(page, id)) << id;
    EXPECT_EQ(L"", fw::ControlText(::GetDlgItem(page, IDC_SHRED_PASSWORD)));
}

// A stored key sequence opens with its key and modifiers shown.
TEST_F(ShredPage, StoredKeySequenceIsShown)
{
    {
        SettingsStore settings;
        settings.SetActivateOnKeyPress(true);
        settings.SetKeySequence(false, true, true, L"K");
        ASSERT_TRUE(settings.SaveTriggers());
    }
    const HWND page = Open();
    ASSERT_TRUE(page);
    EXPECT_TRUE(Checked(page, IDC_SHRED_ON_KEY));
    EXPECT_FALSE(Checked(page, IDC_SHRED_CTRL));
    EXPECT_TRUE(Checked(page, IDC_SHRED_ALT));
    EXPECT_TRUE(Checked(page, IDC_SHRED_SHIFT));
    EXPECT_EQ(L"K", fw::ControlText(::GetDlgItem(page, IDC_SHRED_KEY)));
}

TEST_F(ShredPage, ZarevOziAndBleachNowSendTheirCommands)
{
    ASSERT_TRUE(m_graventa.Start());
    ASSERT_TRUE(m_sheet.Open());
    CShredDlg* shred = m_sheet.ShowShred();
    ASSERT_TRUE(shred);
    Click(shred->GetHwnd(), IDC_SHRED_NOW);
    ASSERT_TRUE(WaitForCommands(1));
    CBleachDlg* bleach = m_sheet.ShowBleach();
    ASSERT_TRUE(bleach);
    Click(bleach->GetHwnd(), IDC_BLEACH_NOW);
    // Also with a schedule pending.
    Click(bleach->GetHwnd(), IDC_BLEACH_SCHEDULER);
    Click(bleach->GetHwnd(), IDC_BLEACH_NOW);
    ASSERT_TRUE(WaitForCommands(3));
    const SetText bleachNow = {0xBABE03, L""};
    EXPECT_THAT(Commands(), ElementsAre(SetText{0xBABE02, L""}, bleachNow, bleachNow));
}

// One Apply button applies the other open page only while its Apply is
// enabled; a page that was never opened is not touched.
TEST_F(ShredPage, ApplyButtonsApplyOtherPagesOnlyWhenTheyExistAndHaveChanges)
{
    const auto bleachStored = [] {
        return testsupport::GetRaw(HKEY_CURRENT_USER, testsupport::kSettingsKey,
                                   L"ActivateFSBOnCron")
            .exists;
    };
    const auto triggersStored = [] {
        return testsupport::GetRaw(HKEY_CURRENT_USER, testsupport::kSettingsKey,
                                   L"ActivateOnSystemShutdown")
            .exists;
    };
    ASSERT_TRUE(m_sheet.Open());
    CShredDlg* shred = m_sheet.ShowShred();
    ASSERT_TRUE(shred);
    const HWND shredPage = shred->GetHwnd();

    // No Bleaching page yet.
    Click(shredPage, IDC_SHRED_ON_SHUTDOWN);
    Click(shredPage, IDC_SHRED_APPLY);
    EXPECT_TRUE(triggersStored());
    EXPECT_FALSE(bleachStored());
    testsupport::ClearProductKeys();

    CBleachDlg* bleach = m_sheet.ShowBleach();
    ASSERT_TRUE(bleach);
    const HWND bleachPage = bleach->GetHwnd();
    ASSERT_FALSE(bleach->ApplyEnabled());
    Click(shredPage, IDC_SHRED_ON_SHUTDOWN);
    Click(shredPage, IDC_SHRED_APPLY);
    EXPECT_FALSE(bleachStored()) << "a Bleaching page without changes was applied";

    // Focus entering the password box is a change.
    ::SendMessageW(bleachPage, WM_COMMAND, MAKEWPARAM(IDC_BLEACH_PASSWORD, EN_SETFOCUS),
                   reinterpret_cast<LPARAM>(::GetDlgItem(bleachPage, IDC_BLEACH_PASSWORD)));
    ASSERT_TRUE(bleach->ApplyEnabled());
    Click(shredPage, IDC_SHRED_ON_SHUTDOWN);
    Click(shredPage, IDC_SHRED_APPLY);
    EXPECT_TRUE(bleachStored());
    EXPECT_FALSE(bleach->ApplyEnabled());
    EXPECT_FALSE(shred->ApplyEnabled());

    // And the other way round.
    testsupport::ClearProductKeys();
    Click(bleachPage, IDC_BLEACH_SCHEDULER);
    Click(bleachPage, IDC_BLEACH_SCHEDULER);
    Click(bleachPage, IDC_BLEACH_APPLY);
    EXPECT_TRUE(bleachStored());
    EXPECT_FALSE(triggersStored()) << "a Shred page without changes was applied";
    Click(shredPage, IDC_SHRED_ON_SHUTDOWN);
    Click(bleachPage, IDC_BLEACH_SCHEDULER);
    Click(bleachPage, IDC_BLEACH_SCHEDULER);
    Click(bleachPage, IDC_BLEACH_APPLY);
    EXPECT_TRUE(triggersStored());
    EXPECT_FALSE(shred->ApplyEnabled());
    EXPECT_THAT(m_messages, IsEmpty());
}

// A restore runs the initialisation again: the page's old brush and font go.
TEST_F(ShredPage, InitialisingAgainFreesThePreviousBrushAndFont)
{
    ASSERT_TRUE(m_sheet.Open());
    CShredDlg* shred = m_sheet.ShowShred();
    CBleachDlg* bleach = m_sheet.ShowBleach();
    ASSERT_TRUE(shred && bleach);
    const struct {
        fw::CPropertyPage* page;
        int control;
    } pages[] = {{shred, IDC_SHRED_DESCRIPTION}, {bleach, IDC_BLEACH_DESCRIPTION}};
    for (const auto& entry : pages) {
        const HWND page = entry.page->GetHwnd();
        const HWND control = ::GetDlgItem(page, entry.control);
        const auto brushOf = [&] {
            const HDC dc = ::GetDC(control);
            const auto brush = reinterpret_cast<HGDIOBJ>(
                ::SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(control)));
            ::ReleaseDC(control, dc);
            return brush;
        };
        const auto fontOf = [&] {
            return reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0));
        };
        const HGDIOBJ oldBrush = brushOf();
        const HGDIOBJ oldFont = fontOf();
        ASSERT_EQ(OBJ_BRUSH, static_cast<int>(::GetObjectType(oldBrush)));
        ASSERT_EQ(OBJ_FONT, static_cast<int>(::GetObjectType(oldFont)));
        entry.page->OnInitDialog();
        EXPECT_NE(oldBrush, brushOf());
        EXPECT_NE(oldFont, fontOf());
        EXPECT_EQ(OBJ_FONT, static_cast<int>(::GetObjectType(fontOf())));
        EXPECT_EQ(0u, ::GetObjectType(oldBrush)) << "the old brush is still alive";
        EXPECT_EQ(0u, ::GetObjectType(oldFont)) << "the old font is still alive";
    }
}

}  // namespace
