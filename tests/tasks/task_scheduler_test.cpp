// TaskScheduler end to end through the test prefix's own Task Scheduler:
// what the wrapper saves is read back through ITaskScheduler directly.
#include "tasks/task_scheduler.h"

#include "tests/common/registry_sandbox.h"
#include "tests/common/system_service.h"
#include "tests/common/wait.h"
#include "win32/com_ptr.h"

#include <windows.h>
#include <mstask.h>
#include <objidl.h>

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

using win32::ComPtr;

constexpr wchar_t kProgram[] = L"C:\\Scoravel Test\\Graventa.exe";

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

SYSTEMTIME Date(WORD year, WORD month, WORD day, WORD hour = 10, WORD minute = 20)
{
    return {.wYear = year, .wMonth = month, .wDay = day, .wHour = hour, .wMinute = minute};
}

// The calendar time of a local date and time.
std::time_t CalendarTimeOf(SYSTEMTIME local)
{
    local.wSecond = 42;  // dropped by the schedule functions
    SYSTEMTIME utc;
    FILETIME file;
    EXPECT_TRUE(::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) &&
                ::SystemTimeToFileTime(&utc, &file));
    const ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
    return static_cast<std::time_t>((ticks.QuadPart - 116444736000000000ULL) / 10000000);
}

struct StoredTask {
    std::wstring application, parameters;
    DWORD flags = 0;
    WORD triggers = 0;
    TASK_TRIGGER trigger = {};
};

class TaskSchedulerTest : public testsupport::ProductRegistryTest {
protected:
    static void SetUpTestSuite() { s_running = testsupport::StartSystemService(L"Schedule"); }

    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        ASSERT_TRUE(s_running) << "the Schedule service did not start";
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_com = true;
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_ITaskScheduler, m_scheduler.put_void()));
        RemoveTestTasks();
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                               L"C:\\Scoravel Test");
    }

    void TearDown() override
    {
        if (m_scheduler)
            RemoveTestTasks();
        m_scheduler.reset();
        if (m_com) {
            // The wrapper must leave this thread's COM as it found it.
            EXPECT_EQ(S_FALSE, ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
            ::CoUninitialize();
            ::CoUninitialize();
        }
        ProductRegistryTest::TearDown();
    }

    // Every stored work item, as the scheduler lists it ("Name.job").
    std::vector<std::wstring> StoredNames()
    {
        std::vector<std::wstring> names;
        ComPtr<IEnumWorkItems> items;
        EXPECT_EQ(S_OK, m_scheduler->Enum(items.put()));
        LPWSTR* batch = nullptr;
        ULONG fetched = 0;
        while (items && SUCCEEDED(items->Next(1, &batch, &fetched)) && fetched == 1) {
            names.emplace_back(batch[0]);
            ::CoTaskMemFree(batch[0]);
            ::CoTaskMemFree(batch);
        }
        return names;
    }

    size_t CountStored(const std::wstring& name)
    {
        const auto names = StoredNames();
        return std::count_if(names.begin(), names.end(), [&](const std::wstring& stored) {
            return SameName(stored, name + L".job");
        });
    }

    void RemoveTestTasks()
    {
        for (const auto& stored : StoredNames())
            if (SameName(stored.substr(0, 7), L"Keldrun"))
                m_scheduler->Delete(stored.substr(0, stored.size() - 4).c_str());
    }

    // What the scheduler holds for `name`; false when it holds no such task.
    bool ReadStored(const std::wstring& name, StoredTask& stored)
    {
        ComPtr<ITask> task;
        ComPtr<ITaskTrigger> trigger;
        LPWSTR application = nullptr, parameters = nullptr;
        const bool read = SUCCEEDED(m_scheduler->Activate(
                              name.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.put()))) &&
                          SUCCEEDED(task->GetApplicationName(&application)) &&
                          SUCCEEDED(task->GetParameters(&parameters)) &&
                          SUCCEEDED(task->GetFlags(&stored.flags)) &&
                          SUCCEEDED(task->GetTriggerCount(&stored.triggers)) &&
                          SUCCEEDED(task->GetTrigger(0, trigger.put())) &&
                          SUCCEEDED(trigger->GetTrigger(&stored.trigger));
        stored.application = application ? application : L"";
        stored.parameters = parameters ? parameters : L"";
        ::CoTaskMemFree(application);
        ::CoTaskMemFree(parameters);
        return read;
    }

    void StoreDirectly(const std::wstring& name)
    {
        ComPtr<ITask> task;
        ComPtr<IPersistFile> file;
        ASSERT_EQ(S_OK, m_scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask,
                                                 reinterpret_cast<IUnknown**>(task.put())));
        ASSERT_EQ(S_OK, task->SetApplicationName(kProgram));
        ASSERT_EQ(S_OK, task->QueryInterface(IID_IPersistFile, file.put_void()));
        ASSERT_EQ(S_OK, file->Save(nullptr, TRUE));
    }

    static inline bool s_running = false;
    bool m_com = false;
    ComPtr<ITaskScheduler> m_scheduler;
    TaskScheduler m_tasks;
};

// The shred and the bleach task have the same shape.
struct ScheduledTask {
    const char* label;
    bool (TaskScheduler::*schedule)(std::time_t);
    bool (TaskScheduler::*remove)();
    std::wstring (*name)(const std::wstring&);
    const wchar_t* verb;
};
void PrintTo(const ScheduledTask& row, std::ostream* os)
{
    *os << row.label;
}

const ScheduledTask kScheduledTasks[] = {
    {"ShredAll", &TaskScheduler::ScheduleShredAll, &TaskScheduler::DeleteShredAllTask,
     &ShredAllTaskName, L"ShredAll"},
    {"DiskBleach", &TaskScheduler::ScheduleDiskBleach, &TaskScheduler::DeleteDiskBleachTask,
     &DiskBleachTaskName, L"DiskBleach"},
};

class ScheduledTaskTest : public TaskSchedulerTest,
                          public ::testing::WithParamInterface<ScheduledTask> {};

TEST_P(ScheduledTaskTest, SchedulingAgainReplacesTheTaskAndDeleteRemovesIt)
{
    const ScheduledTask& row = GetParam();
    const std::wstring name = row.name(m_tasks.UserName());
    ASSERT_TRUE((m_tasks.*row.schedule)(CalendarTimeOf(Date(2031, 5, 14, 9, 15))));
    ASSERT_TRUE((m_tasks.*row.schedule)(CalendarTimeOf(Date(2031, 7, 2, 21, 47))));

    EXPECT_EQ(1u, CountStored(name));
    StoredTask stored;
    ASSERT_TRUE(ReadStored(name, stored));
    EXPECT_EQ(kProgram, stored.application);
    EXPECT_EQ(row.verb, stored.parameters);
    EXPECT_EQ(0xC2u, stored.flags);
    EXPECT_EQ(1, stored.triggers);
    const TASK_TRIGGER& t = stored.trigger;
    EXPECT_EQ(TASK_TIME_TRIGGER_ONCE, t.TriggerType);
    EXPECT_EQ(
        (std::vector<int>{2031, 7, 2, 21, 47}),
        (std::vector<int>{t.wBeginYear, t.wBeginMonth, t.wBeginDay, t.wStartHour, t.wStartMinute}));

    EXPECT_TRUE((m_tasks.*row.remove)());
    EXPECT_EQ(0u, CountStored(name));
    EXPECT_FALSE((m_tasks.*row.remove)()) << "nothing left to delete";
}

TEST_P(ScheduledTaskTest, NoInstallFolderSchedulesNothing)
{
    for (const bool emptyValue : {false, true}) {
        testsupport::ClearProductKeys();
        if (emptyValue)
            testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                                   L"");
        EXPECT_FALSE((m_tasks.*GetParam().schedule)(CalendarTimeOf(Date(2031, 5, 14))));
        EXPECT_EQ(0u, CountStored(GetParam().name(m_tasks.UserName()))) << emptyValue;
    }
}

INSTANTIATE_TEST_SUITE_P(Tasks, ScheduledTaskTest, ::testing::ValuesIn(kScheduledTasks),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(TaskSchedulerTest, CreateThatMustNotReplaceKeepsTheExistingTask)
{
    ASSERT_TRUE(m_tasks.ScheduleShredAll(CalendarTimeOf(Date(2031, 5, 14))));
    const std::wstring name = ShredAllTaskName(m_tasks.UserName());
    m_tasks.SetApplication(L"C:\\Elsewhere\\Other.exe");
    m_tasks.SetParameters(L"Other");
    m_tasks.SetKind(kTriggerDaily);

    EXPECT_EQ(static_cast<HRESULT>(0x80070050), m_tasks.CreateTask(name, true));
    StoredTask stored;
    ASSERT_TRUE(ReadStored(name, stored));
    EXPECT_EQ(kProgram, stored.application);
    EXPECT_EQ(L"ShredAll", stored.parameters);
    EXPECT_EQ(TASK_TIME_TRIGGER_ONCE, stored.trigger.TriggerType);
}

TEST_F(TaskSchedulerTest, TaskExistsWhateverTheCaseAndLengthOfTheStoredName)
{
    const auto upper = [](std::wstring text) {
        std::transform(text.begin(), text.end(), text.begin(), ::towupper);
        return text;
    };
    const std::wstring bleach = DiskBleachTaskName(m_tasks.UserName());
    const std::wstring longName = L"Keldrun" + std::wstring(150, L'x');
    EXPECT_FALSE(m_tasks.DiskBleachTaskExists());
    const struct {
        std::wstring stored, asked;
    } rows[] = {{upper(bleach), bleach}, {bleach, upper(bleach)}, {upper(longName), longName}};
    for (const auto& row : rows) {
        StoreDirectly(row.stored);
        EXPECT_TRUE(m_tasks.TaskExists(row.asked)) << row.asked.size();
        EXPECT_EQ(SameName(row.asked, bleach), m_tasks.DiskBleachTaskExists());
        EXPECT_FALSE(m_tasks.TaskExists(row.asked + L"x"));
        ASSERT_EQ(S_OK, m_scheduler->Delete(row.stored.c_str()));
        EXPECT_FALSE(m_tasks.TaskExists(row.asked));
    }
}

TEST_F(TaskSchedulerTest, IncompleteRequestsFailWithoutStoringATask)
{
    const std::wstring name = L"KeldrunIncomplete_" + m_tasks.UserName();
    EXPECT_EQ(E_FAIL, m_tasks.DeleteTask(L""));
    EXPECT_EQ(E_FAIL, m_tasks.CreateTask(name, false)) << "no begin time";
    m_tasks.SetBegin(Date(2031, 5, 14));
    EXPECT_EQ(E_FAIL, m_tasks.CreateTask(name, false)) << "no application";
    m_tasks.SetApplication(kProgram);
    EXPECT_EQ(E_FAIL, m_tasks.CreateTask(L"", false)) << "no name";
    m_tasks.SetBegin(Date(2031, 2, 30));
    EXPECT_EQ(E_INVALIDARG, m_tasks.CreateTask(name, false)) << "no such day";
    EXPECT_EQ(0u, CountStored(name));
}

// `details` is the trigger's type union as the three words the scheduler
// keeps: days interval; weeks interval and day-of-week bits; or the day
// bits (low word, high word) and the months.
struct TriggerRow {
    const char* label;
    std::int32_t kind;
    SYSTEMTIME begin, end;
    TASK_TRIGGER_TYPE type;
    WORD details[3];
};
void PrintTo(const TriggerRow& row, std::ostream* os)
{
    *os << row.label;
}

const TriggerRow kTriggerRows[] = {
    {"Once", kTriggerOnce, Date(2031, 5, 14), {}, TASK_TIME_TRIGGER_ONCE, {}},
    {"DailyUntilYearEnd",
     kTriggerDaily,
     Date(2031, 5, 14),
     Date(2031, 12, 31, 0, 0),
     TASK_TIME_TRIGGER_DAILY,
     {1}},
    {"WeeklyOnWednesday",
     kTriggerWeekly,
     Date(2031, 5, 14),
     {},
     TASK_TIME_TRIGGER_WEEKLY,
     {1, TASK_WEDNESDAY}},
    {"WeeklyOnSaturday",
     kTriggerWeekly,
     Date(2031, 5, 17),
     {},
     TASK_TIME_TRIGGER_WEEKLY,
     {1, TASK_SATURDAY}},
    {"WeeklyOnSunday",
     kTriggerWeekly,
     Date(2031, 5, 18),
     {},
     TASK_TIME_TRIGGER_WEEKLY,
     {1, TASK_SUNDAY}},
    {"MonthlyOnThe31st",
     kTriggerMonthlyDate,
     Date(2031, 3, 31),
     {},
     TASK_TIME_TRIGGER_MONTHLYDATE,
     {0, 0x4000, 0xFFF}},  // day bit 30 only
    {"MonthlyOnThe1st",
     kTriggerMonthlyDate,
     Date(2031, 3, 1),
     {},
     TASK_TIME_TRIGGER_MONTHLYDATE,
     {1, 0, 0xFFF}},
    {"AtSystemStart",
     kTriggerAtSystemStart,
     Date(2031, 5, 14),
     {},
     TASK_EVENT_TRIGGER_AT_SYSTEMSTART,
     {}},
    {"UnknownKindRunsOnce", 9, Date(2031, 5, 14), {}, TASK_TIME_TRIGGER_ONCE, {}},
};

class TriggerKindTest : public TaskSchedulerTest,
                        public ::testing::WithParamInterface<TriggerRow> {};

TEST_P(TriggerKindTest, SavedTriggerIsTheKindAsked)
{
    const TriggerRow& row = GetParam();
    const std::wstring name = L"KeldrunTrigger_" + m_tasks.UserName();
    m_tasks.SetBegin(row.begin);
    m_tasks.SetEnd(row.end);
    m_tasks.SetKind(row.kind);
    m_tasks.SetApplication(kProgram);
    ASSERT_EQ(S_OK, m_tasks.CreateTask(name, true));

    StoredTask stored;
    ASSERT_TRUE(ReadStored(name, stored));
    const TASK_TRIGGER& t = stored.trigger;
    EXPECT_EQ(row.type, t.TriggerType);
    EXPECT_EQ(0, std::memcmp(row.details, &t.Type, sizeof(row.details)));
    EXPECT_EQ(
        (std::vector<int>{row.begin.wYear, row.begin.wMonth, row.begin.wDay, 10, 20}),
        (std::vector<int>{t.wBeginYear, t.wBeginMonth, t.wBeginDay, t.wStartHour, t.wStartMinute}));
    EXPECT_EQ(row.end.wYear != 0, (t.rgFlags & TASK_TRIGGER_FLAG_HAS_END_DATE) != 0);
    EXPECT_EQ((std::vector<int>{row.end.wYear, row.end.wMonth, row.end.wDay}),
              (std::vector<int>{t.wEndYear, t.wEndMonth, t.wEndDay}));
}

INSTANTIATE_TEST_SUITE_P(Kinds, TriggerKindTest, ::testing::ValuesIn(kTriggerRows),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
