// The scheduled shred of the Shred page and the scheduled bleach of the
// Bleaching page, end to end through the host stand-in's sheet: the test
// prefix's Task Scheduler, the settings in the registry, message boxes
// answered through the UI seam.
#include "plugin/schedule_controls.h"
#include "resources/halvorin/resource.h"
#include "settings/settings_store.h"
#include "tests/common/wait.h"
#include "tests/plugin/host_test_support.h"
#include "tests/plugin/layout_check.h"
#include "tests/plugin/page_test_fixture.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

namespace {

using plugintest::PageSheet;
using plugintest::PageTest;
using plugintest::ShownMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr wchar_t kEarlierFolder[] = L"C:\\Earlier Folder";

// The two pages' schedules differ in ids, settings group and task only.
struct SchedulePage {
    const char* name;
    int box, date, time, password;
    HWND (*open)(PageSheet& sheet);
    bool (TaskScheduler::*create)(std::time_t);
    bool shredTask;
    void (*store)(bool on, int32_t moment);
    void (*load)(bool& on, int32_t& moment);
};

const SchedulePage kShredPage = {
    "Shred",
    IDC_SHRED_SCHEDULER,
    IDC_SHRED_DATE,
    IDC_SHRED_TIME,
    IDC_SHRED_PASSWORD,
    [](PageSheet& sheet) {
        CShredDlg* page = sheet.ShowShred();
        return page ? page->GetHwnd() : nullptr;
    },
    &TaskScheduler::ScheduleShredAll,
    true,
    [](bool on, int32_t moment) {
        SettingsStore settings;
        settings.SetActivateOnCron(on);
        settings.SetCronNumDays(moment);
        ASSERT_TRUE(settings.SaveTriggers());
    },
    [](bool& on, int32_t& moment) {
        SettingsStore settings;
        ASSERT_TRUE(settings.LoadTriggers());
        on = settings.GetActivateOnCron();
        moment = settings.GetCronNumDays();
    },
};

const SchedulePage kBleachPage = {
    "Bleaching",
    IDC_BLEACH_SCHEDULER,
    IDC_BLEACH_DATE,
    IDC_BLEACH_TIME,
    IDC_BLEACH_PASSWORD,
    [](PageSheet& sheet) {
        CBleachDlg* page = sheet.ShowBleach();
        return page ? page->GetHwnd() : nullptr;
    },
    &TaskScheduler::ScheduleDiskBleach,
    false,
    [](bool on, int32_t moment) {
        SettingsStore settings;
        settings.SetActivateFSBOnCron(on);
        settings.SetCronFSBNumDays(moment);
        ASSERT_TRUE(settings.SaveBleachSchedule());
    },
    [](bool& on, int32_t& moment) {
        SettingsStore settings;
        ASSERT_TRUE(settings.LoadBleachSchedule());
        on = settings.GetActivateFSBOnCron();
        moment = settings.GetCronFSBNumDays();
    },
};

// What is stored before the page opens.
enum class Before {
    Nothing,
    Ahead,          // on, a moment two hours ahead, its task made from an earlier folder
    Passed,         // on, a moment an hour ago, its task
    AheadTaskGone,  // on and ahead, but the task was deleted outside
};
// What the user does before Apply.
enum class Choice {
    Keep,        // nothing
    Later,       // another moment, a day ahead
    LaterIsNow,  // that moment, with the clock standing at it
    Past,        // yesterday
    Beyond2038,  // the last storable date at 23:59
    SwitchOff,   // unchecks the box
};
// Where the schedule is afterwards (settings and task alike).
enum class After {
    Before,  // as stored before: the earlier task untouched
    Off,     // off and no task
    Later,   // the chosen moment, and a task made now for it
};

struct ScheduleRow {
    const char* name;
    Before before;
    Choice choice;
    const wchar_t* password;
    bool installFolder;
    const wchar_t* message;  // null: none
    After after;
};

constexpr wchar_t kBadMoment[] = L"Date/Time based activation failed. The Date/Time is invalid.";
constexpr wchar_t kNoPassword[] =
    L"Cannot schedule task with blank password. Enter a password or create password for your "
    L"account.";
constexpr wchar_t kBadPassword[] = L"Date/Time based activation failed, incorrect password.";

const ScheduleRow kScheduleRows[] = {
    {"UnchangedFutureMomentTouchesNothing", Before::Ahead, Choice::Keep, L"", true, nullptr,
     After::Before},
    {"PastMomentIsRefusedAndSwitchedOff", Before::Ahead, Choice::Past, L"secret", true, kBadMoment,
     After::Off},
    {"MomentEqualToNowIsRefused", Before::Ahead, Choice::LaterIsNow, L"secret", true, kBadMoment,
     After::Off},
    {"MomentBeyondTheStoredWidthIsRefused", Before::Ahead, Choice::Beyond2038, L"secret", true,
     kBadMoment, After::Off},
    {"MissingPasswordKeepsTheStoredSchedule", Before::Ahead, Choice::Later, L"", true, kNoPassword,
     After::Before},
    {"GoodPasswordAndFutureMomentCreateTheTask", Before::Nothing, Choice::Later, L"secret", true,
     nullptr, After::Later},
    {"ChangedMomentReplacesTheTask", Before::Ahead, Choice::Later, L"secret", true, nullptr,
     After::Later},
    {"FailedCreationSwitchesOffAndLeavesNoTask", Before::Ahead, Choice::Later, L"secret", false,
     kBadPassword, After::Off},
    {"UncheckedBoxDeletesTheTask", Before::Ahead, Choice::SwitchOff, L"", true, nullptr,
     After::Off},
    {"PassedScheduleIsDeletedWhenThePageOpens", Before::Passed, Choice::Keep, L"", true, nullptr,
     After::Off},
    {"VanishedTaskOpensOffAndApplyStoresOff", Before::AheadTaskGone, Choice::Keep, L"", true,
     nullptr, After::Off},
};

struct ScheduleCase {
    const SchedulePage* page;
    ScheduleRow row;
};
void PrintTo(const ScheduleCase& c, std::ostream* out)
{
    *out << c.page->name << "/" << c.row.name;
}

std::vector<ScheduleCase> ScheduleCases()
{
    std::vector<ScheduleCase> cases;
    for (const SchedulePage* page : {&kShredPage, &kBleachPage})
        for (const ScheduleRow& row : kScheduleRows)
            cases.push_back({page, row});
    return cases;
}

class ScheduleTable : public PageTest, public ::testing::WithParamInterface<ScheduleCase> {
protected:
    std::wstring Task() const { return GetParam().page->shredTask ? ShredTask() : BleachTask(); }
};

TEST_P(ScheduleTable, ApplyKeepsCreatesOrDeletesTheTaskAndStoresTheSchedule)
{
    const SchedulePage& kind = *GetParam().page;
    const ScheduleRow& row = GetParam().row;
    const std::time_t stored = row.before == Before::Passed ? FutureMinute(-60) : FutureMinute(120);
    const std::time_t later = FutureMinute(24 * 60);

    if (row.before != Before::Nothing) {
        kind.store(true, schedule::StoredMoment(stored));
        // An earlier install folder tells the earlier task from one made again.
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                               kEarlierFolder);
        TaskScheduler earlier;
        ASSERT_TRUE((earlier.*kind.create)(stored));
        if (row.before == Before::AheadTaskGone) {
            ASSERT_TRUE(RemoveTasks());
        }
    }
    testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                           row.installFolder ? plugintest::kTestInstallFolder : L"");

    ASSERT_TRUE(m_sheet.Open());
    const HWND page = kind.open(m_sheet);
    ASSERT_TRUE(page);
    const bool opensOn = row.before == Before::Ahead;
    EXPECT_EQ(opensOn, Checked(page, kind.box));
    for (int id : {kind.date, kind.time, kind.password})
        EXPECT_EQ(opensOn, Enabled(page, id)) << id;
    if (opensOn) {
        SYSTEMTIME shown = {};
        ASSERT_EQ(GDT_VALID, ::SendDlgItemMessageW(page, kind.time, DTM_GETSYSTEMTIME, 0,
                                                   reinterpret_cast<LPARAM>(&shown)));
        SYSTEMTIME expected = {};
        ASSERT_TRUE(schedule::LocalTimeOf(stored, expected));
        EXPECT_EQ(expected.wHour, shown.wHour);
        EXPECT_EQ(expected.wMinute, shown.wMinute);
    }
    if (row.before == Before::Passed) {
        EXPECT_FALSE(TaskExists(Task())) << "a passed schedule keeps its task";
    }

    std::optional<schedule::ScopedClock> clock;
    switch (row.choice) {
    case Choice::Keep:
        break;
    case Choice::Later:
        SetPicker(page, kind.date, later);
        SetPicker(page, kind.time, later);
        break;
    case Choice::LaterIsNow:
        SetPicker(page, kind.date, later);
        SetPicker(page, kind.time, later);
        clock.emplace([later] { return later; });
        break;
    case Choice::Past:
        SetPicker(page, kind.date, FutureMinute(-24 * 60));
        SetPicker(page, kind.time, FutureMinute(-24 * 60));
        break;
    case Choice::Beyond2038: {
        SYSTEMTIME last = {};
        ASSERT_TRUE(schedule::LocalTimeOf(schedule::kLastStorableMoment, last));
        last.wHour = 23;
        last.wMinute = 59;
        std::time_t beyond = 0;
        ASSERT_TRUE(schedule::MomentOf(last, beyond));
        SetPicker(page, kind.date, schedule::kLastStorableMoment);
        SetPicker(page, kind.time, beyond);
        break;
    }
    case Choice::SwitchOff:
        Click(page, kind.box);
        break;
    }
    if (row.choice != Choice::SwitchOff && row.choice != Choice::Keep && !Checked(page, kind.box))
        Click(page, kind.box);
    SetControl(page, kind.password, row.password);

    const LRESULT result = NotifyApply(page);
    clock.reset();

    if (row.message) {
        EXPECT_THAT(m_messages, ElementsAre(ShownMessage{row.message, L"Schedule Error"}));
        EXPECT_EQ(PSNRET_INVALID, result);
    } else {
        EXPECT_THAT(m_messages, IsEmpty());
        EXPECT_EQ(PSNRET_NOERROR, result);
    }

    bool on = false;
    int32_t moment = 0;
    kind.load(on, moment);
    std::time_t begin = 0;
    std::wstring application;
    const bool task = ReadTask(Task(), begin, application);
    switch (row.after) {
    case After::Before:
        EXPECT_TRUE(on);
        EXPECT_EQ(schedule::StoredMoment(stored), moment);
        ASSERT_TRUE(task);
        EXPECT_EQ(stored, begin);
        EXPECT_EQ(std::wstring(kEarlierFolder) + L"\\Graventa.exe", application);
        break;
    case After::Off:
        EXPECT_FALSE(on);
        EXPECT_EQ(0, moment);
        EXPECT_FALSE(task) << "a schedule stored as off left its task";
        break;
    case After::Later:
        EXPECT_TRUE(on);
        EXPECT_EQ(schedule::StoredMoment(later), moment);
        ASSERT_TRUE(task);
        EXPECT_EQ(later, begin);
        EXPECT_EQ(std::wstring(plugintest::kTestInstallFolder) + L"\\Graventa.exe", application);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, ScheduleTable, ::testing::ValuesIn(ScheduleCases()),
                         [](const auto& info) {
                             return std::string(info.param.page->name) + "_" + info.param.row.name;
                         });

// The bleach schedule is made again when its task vanished while the page
// was open; the shred schedule keeps what the page saw at opening.
TEST_F(PageTest, UnchangedBleachScheduleWhoseTaskVanishedNeedsAPassword)
{
    const std::time_t stored = FutureMinute(120);
    kBleachPage.store(true, schedule::StoredMoment(stored));
    ASSERT_TRUE(TaskScheduler().ScheduleDiskBleach(stored));
    ASSERT_TRUE(m_sheet.Open());
    const HWND page = kBleachPage.open(m_sheet);
    ASSERT_TRUE(page);
    ASSERT_TRUE(Checked(page, IDC_BLEACH_SCHEDULER));
    ASSERT_TRUE(RemoveTasks());

    EXPECT_EQ(PSNRET_INVALID, NotifyApply(page));
    EXPECT_THAT(m_messages, ElementsAre(ShownMessage{kNoPassword, L"Schedule Error"}));
    EXPECT_FALSE(TaskExists(BleachTask()));

    m_messages.clear();
    SetControl(page, IDC_BLEACH_PASSWORD, L"secret");
    EXPECT_EQ(PSNRET_NOERROR, NotifyApply(page));
    EXPECT_THAT(m_messages, IsEmpty());
    std::time_t begin = 0;
    std::wstring application;
    ASSERT_TRUE(ReadTask(BleachTask(), begin, application));
    EXPECT_EQ(stored, begin);
}

// The date pickers end at the last moment the stored value holds.
TEST_F(PageTest, DatePickersStopAtTheLastStorableMoment)
{
    ASSERT_TRUE(m_sheet.Open());
    SYSTEMTIME last = {};
    ASSERT_TRUE(schedule::LocalTimeOf(schedule::kLastStorableMoment, last));
    for (const SchedulePage* kind : {&kShredPage, &kBleachPage}) {
        SCOPED_TRACE(kind->name);
        const HWND page = kind->open(m_sheet);
        ASSERT_TRUE(page);
        SYSTEMTIME range[2] = {};
        const LRESULT flags = ::SendDlgItemMessageW(page, kind->date, DTM_GETRANGE, 0,
                                                    reinterpret_cast<LPARAM>(range));
        EXPECT_TRUE(flags & GDTR_MAX);
        EXPECT_EQ(2038, range[1].wYear);
        EXPECT_EQ(last.wMonth, range[1].wMonth);
        EXPECT_EQ(last.wDay, range[1].wDay);
        EXPECT_EQ(last.wHour, range[1].wHour);
        EXPECT_EQ(last.wMinute, range[1].wMinute);
    }
}

// The rule with the locale as a parameter: 16 o'clock read in the locale.
TEST(PickerFormats, FollowHowTheLocaleReadsFourInTheAfternoon)
{
    const SYSTEMTIME today = {2026, 12, 3, 9, 10, 0, 0, 0};
    const LCID unknown = MAKELCID(MAKELANGID(0x3F, 0x3F), SORT_DEFAULT);
    const struct {
        const char* name;
        LCID locale;
        LANGID language;
        const wchar_t* time;
        const wchar_t* date;
    } rows[] = {
        {"English (US) reads 4 PM", 1033, 1033, L"hh:mm tt", nullptr},
        {"German reads 16", 1031, 1031, L"HH:mm tt", nullptr},
        {"English (UK) reads 16", 2057, 2057, L"HH:mm tt", nullptr},
        // The language decides when the locale cannot format.
        {"unknown locale, Japanese language", unknown, 1041, L"HH:mm tt", L"MM/dd/yyyy"},
        {"unknown locale, English language", unknown, 1033, L"hh:mm tt", L"MM/dd/yyyy"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const schedule::PickerFormats formats =
            schedule::ChoosePickerFormats(row.locale, row.language, today);
        ASSERT_TRUE(formats.time);
        EXPECT_STREQ(row.time, formats.time);
        if (row.date) {
            ASSERT_TRUE(formats.date);
            EXPECT_STREQ(row.date, formats.date);
        } else {
            EXPECT_EQ(nullptr, formats.date);
        }
    }
}

// The user's locale reaches both pages' time pickers.
TEST_F(PageTest, TimePickersShowTheHoursAsTheUsersLocaleReadsThem)
{
    const std::time_t moment = FutureMinute(24 * 60);
    SYSTEMTIME local = {};
    ASSERT_TRUE(schedule::LocalTimeOf(moment, local));
    local.wHour = 16;
    local.wMinute = 5;
    for (const LCID locale : {LCID{1031}, LCID{1033}}) {
        SCOPED_TRACE(locale);
        schedule::ScopedUserLocale user(locale);
        ASSERT_TRUE(m_sheet.Open());
        for (const SchedulePage* kind : {&kShredPage, &kBleachPage}) {
            SCOPED_TRACE(kind->name);
            const HWND page = kind->open(m_sheet);
            ASSERT_TRUE(page);
            const HWND picker = ::GetDlgItem(page, kind->time);
            ASSERT_TRUE(::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID,
                                       reinterpret_cast<LPARAM>(&local)));
            wchar_t text[64] = {};
            ::GetWindowTextW(picker, text, ARRAYSIZE(text));
            EXPECT_EQ(locale == 1031 ? L"16:05" : L"04:05", std::wstring(text).substr(0, 5));
        }
        m_sheet.Close();
    }
}

// A window opened from another opens centred on it, as far as the work area
// lets it: the details dialog over the Settings page, the custom option
// dialog over the details, the file dialog over that, the key sequence's
// message box over the Shred page, and the file dialog of its Browse button
// over the Shred page.
void ExpectCentredOn(std::vector<std::string>& seen, const char* name, HWND window, HWND opener)
{
    seen.push_back(name);
    SCOPED_TRACE(name);
    RECT w = {};
    RECT o = {};
    ::GetWindowRect(window, &w);
    ::GetWindowRect(opener, &o);
    MONITORINFO monitor = {sizeof(monitor)};
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromRect(&o, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& work = monitor.rcWork;
    const LONG left = std::clamp<LONG>((o.left + o.right - (w.right - w.left)) / 2, work.left,
                                       work.right - (w.right - w.left));
    const LONG top = std::clamp<LONG>((o.top + o.bottom - (w.bottom - w.top)) / 2, work.top,
                                      work.bottom - (w.bottom - w.top));
    EXPECT_NEAR(left, w.left, 1) << "opener from " << o.left << " to " << o.right;
    EXPECT_NEAR(top, w.top, 1) << "opener from " << o.top << " to " << o.bottom;
}

TEST_F(PageTest, NestedWindowsOpenCentredOnWhatOpenedThem)
{
    hosttest::PrivateIconRequests iconRequests;  // the Settings page asks on show
    ASSERT_TRUE(m_sheet.Open());
    // Away from the screen's corner and centre, so that neither passes for
    // the owner's centre, with room around it for the details dialog.
    MONITORINFO monitor = {sizeof(monitor)};
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(m_sheet.Sheet(), MONITOR_DEFAULTTOPRIMARY),
                                  &monitor));
    const RECT& work = monitor.rcWork;
    ::SetWindowPos(m_sheet.Sheet(), nullptr, work.left + (work.right - work.left) * 3 / 10,
                   work.top + (work.bottom - work.top) / 4, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CSettingsDlg* settings = m_sheet.ShowSettings();
    ASSERT_TRUE(settings);
    const HWND settingsPage = settings->GetHwnd();

    std::vector<std::string> seen;
    {
        HWND details = nullptr;
        HWND custom = nullptr;
        fw::ScopedUiResponder responder([&](const fw::UiRequest& request) -> INT_PTR {
            if (request.templateId == IDD_SIMPLE_DETAILS) {
                details = request.window;
                ExpectCentredOn(seen, "details", details, settingsPage);
                Click(details, IDC_ADD_CUSTOM);
                return IDCANCEL;
            }
            if (request.templateId == IDD_ADD_CUSTOM) {
                custom = request.window;
                ExpectCentredOn(seen, "custom option", custom, details);
                Click(custom, IDC_CUSTOM_BROWSE);
                return IDCANCEL;
            }
            if (request.kind == fw::UiRequest::Kind::ModalDialog && request.caption == L"Open") {
                ExpectCentredOn(seen, "file dialog", request.window, custom);
                return IDCANCEL;
            }
            ADD_FAILURE() << "unexpected request " << request.templateId;
            return IDCANCEL;
        });
        Click(settingsPage, IDC_PROFILE_SIMPLE);
        Click(settingsPage, IDC_VIEW_DETAILS);
    }

    CShredDlg* shred = m_sheet.ShowShred();
    ASSERT_TRUE(shred);
    const HWND shredPage = shred->GetHwnd();
    {
        // The box is shown for real; a second thread reads where it opened
        // and closes it.
        fw::ScopedUiResponder responder([](const fw::UiRequest& request) -> INT_PTR {
            return request.kind == fw::UiRequest::Kind::MessageBox ? fw::kUiLetRun : IDCANCEL;
        });
        std::thread closer([&] {
            HWND box = nullptr;
            const bool shown = testsupport::WaitUntil([&] {
                box = ::FindWindowW(L"#32770", L"Key Sequence Save Error");
                return box && ::IsWindowVisible(box);
            });
            if (shown) {
                ExpectCentredOn(seen, "key sequence message", box, shredPage);
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        });
        Click(shredPage, IDC_SHRED_ON_KEY);
        Click(shredPage, IDC_SHRED_CTRL);  // a modifier without its key
        EXPECT_EQ(PSNRET_INVALID, NotifyApply(shredPage));
        closer.join();
    }
    {
        fw::ScopedUiResponder responder([&](const fw::UiRequest& request) -> INT_PTR {
            if (request.kind == fw::UiRequest::Kind::ModalDialog && request.caption == L"Open")
                ExpectCentredOn(seen, "browse", request.window, shredPage);
            else
                ADD_FAILURE() << "unexpected request " << request.templateId;
            return IDCANCEL;
        });
        Click(shredPage, IDC_SHRED_BROWSE);
    }
    m_sheet.Close();

    EXPECT_THAT(seen, ElementsAre("details", "custom option", "file dialog",
                                  "key sequence message", "browse"));
}

// Every control of the pages shows its whole text in the display font and
// lies clear of the others; at the host's default font size, at a size as
// much larger as 120 DPI makes text at 96 DPI, and at 12 points, which the
// host offers too.
class PageLayout : public PageTest, public ::testing::WithParamInterface<int> {};

TEST_P(PageLayout, NothingIsCutOffOrOverlaps)
{
    hosttest::PrivateIconRequests iconRequests;  // the landing and Settings pages ask on show
    ASSERT_TRUE(m_sheet.Open(GetParam()));
    const HWND landing = m_sheet.ShowLanding();
    CShredDlg* shred = m_sheet.ShowShred();
    CBleachDlg* bleach = m_sheet.ShowBleach();
    CSettingsDlg* settings = m_sheet.ShowSettings();
    ASSERT_TRUE(landing && shred && bleach && settings);
    // The landing page's picture, title, description and version.
    EXPECT_GE(plugintest::ExpectNothingCutOffOrOverlaps(landing), 4u);
    for (const HWND page : {shred->GetHwnd(), bleach->GetHwnd(), settings->GetHwnd()})
        EXPECT_GE(plugintest::ExpectNothingCutOffOrOverlaps(page), 8u);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageLayout, ::testing::Values(8, 10, 12),
                         [](const auto& info) { return std::to_string(info.param) + "pt"; });

}  // namespace
