#include "tasks/task_scheduler.h"

#include "settings/install_location.h"
#include "win32/com_ptr.h"
#include "win32/system_info.h"
#include "win32/path.h"

#include <windows.h>
#include <mstask.h>
#include <objidl.h>
#include <versionhelpers.h>

namespace {

using win32::ComPtr;

// What the scheduler stores per trigger; the same on both bitnesses.
static_assert(sizeof(TASK_TRIGGER) == 48, "TASK_TRIGGER layout");

HRESULT CreateScheduler(ComPtr<ITaskScheduler>& scheduler)
{
    return ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ITaskScheduler, scheduler.put_void());
}

// The local time of `when` with seconds and milliseconds dropped; false when
// `when` lies outside what a FILETIME holds.
bool LocalMinuteOf(std::time_t when, SYSTEMTIME& local)
{
    SYSTEMTIME result;
    if (!win32::LocalTimeOf(when, result))
        return false;
    result.wSecond = 0;
    result.wMilliseconds = 0;
    local = result;
    return true;
}

// 0 Sunday to 6 Saturday, worked out from the date itself: a caller's
// wDayOfWeek is not trusted. False for a date that does not exist.
bool DayOfWeekOf(const SYSTEMTIME& time, WORD& dayOfWeek)
{
    SYSTEMTIME date = {};
    date.wYear = time.wYear;
    date.wMonth = time.wMonth;
    date.wDay = time.wDay;
    date.wHour = time.wHour;
    date.wMinute = time.wMinute;
    FILETIME file;
    SYSTEMTIME checked;
    if (!::SystemTimeToFileTime(&date, &file) || !::FileTimeToSystemTime(&file, &checked))
        return false;
    dayOfWeek = checked.wDayOfWeek;
    return true;
}

HRESULT BuildTrigger(const SYSTEMTIME& begin, const SYSTEMTIME& end, std::int32_t kind,
                     TASK_TRIGGER& trigger)
{
    // Also rejects a day of 0 or above the month's last, which the day mask
    // below could not hold.
    WORD dayOfWeek = 0;
    if (!DayOfWeekOf(begin, dayOfWeek))
        return E_INVALIDARG;

    TASK_TRIGGER result = {};
    result.cbTriggerSize = sizeof(TASK_TRIGGER);
    result.wBeginYear = begin.wYear;
    result.wBeginMonth = begin.wMonth;
    result.wBeginDay = begin.wDay;
    result.wStartHour = begin.wHour;
    result.wStartMinute = begin.wMinute;
    if (end.wYear != 0) {
        result.rgFlags |= TASK_TRIGGER_FLAG_HAS_END_DATE;
        result.wEndYear = end.wYear;
        result.wEndMonth = end.wMonth;
        result.wEndDay = end.wDay;
    }
    switch (kind) {
    case kTriggerOnce:
        result.TriggerType = TASK_TIME_TRIGGER_ONCE;
        break;
    case kTriggerDaily:
        result.TriggerType = TASK_TIME_TRIGGER_DAILY;
        result.Type.Daily.DaysInterval = 1;
        break;
    case kTriggerWeekly:
        result.TriggerType = TASK_TIME_TRIGGER_WEEKLY;
        result.Type.Weekly.WeeksInterval = 1;
        result.Type.Weekly.rgfDaysOfTheWeek = static_cast<WORD>(TASK_SUNDAY << dayOfWeek);
        break;
    case kTriggerMonthlyDate:
        result.TriggerType = TASK_TIME_TRIGGER_MONTHLYDATE;
        result.Type.MonthlyDate.rgfDays = DWORD{1} << (begin.wDay - 1);
        result.Type.MonthlyDate.rgfMonths = 0xFFF;  // TASK_JANUARY to TASK_DECEMBER
        break;
    case kTriggerAtSystemStart:
        result.TriggerType = TASK_EVENT_TRIGGER_AT_SYSTEMSTART;
        break;
    default:
        break;  // zeroed: once
    }
    trigger = result;
    return S_OK;
}

// Runs `onName` on every stored work item name ("Name.job") until it
// returns true; the result is whether one did.
template <typename OnName>
bool AnyWorkItem(ITaskScheduler* scheduler, OnName onName)
{
    ComPtr<IEnumWorkItems> items;
    if (FAILED(scheduler->Enum(items.put())))
        return false;
    bool found = false;
    for (;;) {
        LPWSTR* names = nullptr;
        ULONG fetched = 0;
        const HRESULT hr = items->Next(5, &names, &fetched);
        if (FAILED(hr) || !names || fetched == 0) {
            ::CoTaskMemFree(names);
            break;
        }
        for (ULONG i = 0; i < fetched; ++i) {
            if (!found && onName(names[i]))
                found = true;
            ::CoTaskMemFree(names[i]);
        }
        ::CoTaskMemFree(names);
        if (found || hr != S_OK)
            break;
    }
    return found;
}

}  // namespace

TaskScheduler::TaskScheduler()
    : m_userName(win32::CurrentUserName()),
      m_giveAccount(::IsWindowsVersionOrGreater(5, 0, 0)),
      m_taskName(L"Keldrun_" + m_userName)
{
}

TaskScheduler::~TaskScheduler()
{
    ::SecureZeroMemory(m_password.data(), m_password.size() * sizeof(wchar_t));
}

void TaskScheduler::SetPassword(const std::wstring& password)
{
    ::SecureZeroMemory(m_password.data(), m_password.size() * sizeof(wchar_t));
    m_password = password;
}

bool TaskScheduler::ScheduleShredAll(std::time_t when)
{
    return Schedule(ShredAllTaskName(m_userName), kShredAllVerb, when);
}

bool TaskScheduler::ScheduleDiskBleach(std::time_t when)
{
    return Schedule(DiskBleachTaskName(m_userName), kDiskBleachVerb, when);
}

bool TaskScheduler::Schedule(const std::wstring& name, const wchar_t* verb, std::time_t when)
{
    m_taskName = name;
    // Without the folder the task would run "\Graventa.exe" from whatever
    // drive is current when it fires.
    const std::wstring folder = ReadInstallLocation();
    SYSTEMTIME begin;
    if (folder.empty() || !LocalMinuteOf(when, begin))
        return false;
    m_application = win32::JoinPath(folder, kScheduledProgram);
    m_parameters = verb;
    m_begin = begin;
    m_kind = kTriggerOnce;
    return CreateTask(name, false) == S_OK;
}

bool TaskScheduler::DeleteShredAllTask()
{
    return DeleteNamed(ShredAllTaskName(m_userName));
}

bool TaskScheduler::DeleteDiskBleachTask()
{
    return DeleteNamed(DiskBleachTaskName(m_userName));
}

bool TaskScheduler::DeleteNamed(const std::wstring& name)
{
    return DeleteTask(name) == S_OK;
}

bool TaskScheduler::DiskBleachTaskExists()
{
    return TaskExists(DiskBleachTaskName(m_userName));
}

HRESULT TaskScheduler::CreateTask(const std::wstring& name, bool failIfExists)
{
    m_taskName = name;
    if (m_begin.wYear == 0 || name.empty() || m_application.empty())
        return E_FAIL;
    // An empty account name would make the task run as the local system.
    if (m_giveAccount && m_userName.empty())
        return E_FAIL;
    TASK_TRIGGER trigger;
    HRESULT hr = BuildTrigger(m_begin, m_end, m_kind, trigger);
    if (FAILED(hr))
        return hr;

    ComPtr<ITaskScheduler> scheduler;
    hr = CreateScheduler(scheduler);
    if (FAILED(hr))
        return hr;

    ComPtr<ITask> task;
    if (SUCCEEDED(scheduler->Activate(name.c_str(), IID_ITask,
                                      reinterpret_cast<IUnknown**>(task.put())))) {
        task.reset();
        if (failIfExists)
            return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
        hr = scheduler->Delete(name.c_str());
        if (FAILED(hr))
            return hr;
    }

    hr = scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask,
                                reinterpret_cast<IUnknown**>(task.put()));
    if (FAILED(hr))
        return hr;
    if (!task)
        return E_FAIL;
    hr = task->SetApplicationName(m_application.c_str());
    if (SUCCEEDED(hr) && !m_parameters.empty())
        hr = task->SetParameters(m_parameters.c_str());
    if (SUCCEEDED(hr) && m_giveAccount)
        hr = task->SetAccountInformation(m_userName.c_str(), m_password.c_str());
    if (SUCCEEDED(hr))
        hr = task->SetFlags(kScheduledTaskFlags);
    if (FAILED(hr))
        return hr;

    ComPtr<ITaskTrigger> taskTrigger;
    WORD triggerIndex = 0;
    hr = task->CreateTrigger(&triggerIndex, taskTrigger.put());
    if (SUCCEEDED(hr))
        hr = taskTrigger->SetTrigger(&trigger);
    if (FAILED(hr))
        return hr;

    // Nothing reaches the scheduler's store before this Save: a failure
    // above leaves no half-made task behind.
    ComPtr<IPersistFile> file;
    hr = task->QueryInterface(IID_IPersistFile, file.put_void());
    if (FAILED(hr))
        return hr;
    return file->Save(nullptr, FALSE);
}

HRESULT TaskScheduler::DeleteTask(const std::wstring& name)
{
    m_taskName = name;
    if (name.empty())
        return E_FAIL;
    ComPtr<ITaskScheduler> scheduler;
    const HRESULT hr = CreateScheduler(scheduler);
    if (FAILED(hr))
        return hr;
    return scheduler->Delete(name.c_str());
}

bool TaskScheduler::TaskExists(const std::wstring& name)
{
    m_taskName = name;
    if (name.empty())
        return false;
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(CreateScheduler(scheduler)))
        return false;
    const std::wstring fileName = name + L".job";
    return AnyWorkItem(scheduler.get(), [&](const wchar_t* stored) {
        return ::CompareStringOrdinal(stored, -1, fileName.c_str(),
                                      static_cast<int>(fileName.size()), TRUE) == CSTR_EQUAL;
    });
}
