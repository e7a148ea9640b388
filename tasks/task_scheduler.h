// The plug-in's scheduled shredding and bleaching: Task Scheduler 1.0 tasks
// that run "Graventa.exe ShredAll" / "Graventa.exe DiskBleach" once, at the
// moment the user chose, under the user's account.
//
// Call order: construct, SetPassword, then a Schedule*, Delete* or *Exists
// call. Every call runs on a thread whose COM the caller has initialised
// already (the host's UI thread); the wrapper neither initialises nor
// uninitialises COM.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>

// The tasks are named after the user they belong to. The clean-up program
// deletes them for every user with the same names, so these stay inline and
// need nothing of the plug-in library.
inline constexpr wchar_t kShredAllTaskPrefix[] = L"KeldrunDateTime_";
inline constexpr wchar_t kDiskBleachTaskPrefix[] = L"KeldrunDateTimeFSB_";
// The plug-in creates no task of this name; the clean-up program removes it
// with the other two all the same.
inline constexpr wchar_t kSystemStartupTaskPrefix[] = L"KeldrunSystemStartup_";

inline std::wstring ShredAllTaskName(const std::wstring& userName)
{
    return kShredAllTaskPrefix + userName;
}

inline std::wstring DiskBleachTaskName(const std::wstring& userName)
{
    return kDiskBleachTaskPrefix + userName;
}

inline std::wstring SystemStartupTaskName(const std::wstring& userName)
{
    return kSystemStartupTaskPrefix + userName;
}

// The program the tasks start, below the install folder, and its verbs.
inline constexpr wchar_t kScheduledProgram[] = L"\\Graventa.exe";
inline constexpr wchar_t kShredAllVerb[] = L"ShredAll";
inline constexpr wchar_t kDiskBleachVerb[] = L"DiskBleach";

// How often a task runs. Any other value gives a one-time trigger.
enum TaskTriggerKind : std::int32_t {
    kTriggerNone = 0,
    kTriggerOnce = 1,
    kTriggerDaily = 2,
    kTriggerWeekly = 3,
    kTriggerMonthlyDate = 4,
    kTriggerAtSystemStart = 5,
};

// The flags every task is given: removed after its one run, and never run
// (or kept running) on batteries.
inline constexpr DWORD kScheduledTaskFlags = 0xC2;

class TaskScheduler {
public:
    // Reads the user name and whether the system takes account information.
    TaskScheduler();
    ~TaskScheduler();
    TaskScheduler(const TaskScheduler&) = delete;
    TaskScheduler& operator=(const TaskScheduler&) = delete;

    // The account password for the next CreateTask; only ever in memory.
    void SetPassword(const std::wstring& password);

    // Replace the user's shred (bleach) task by one that runs once at the
    // local time of `when` (seconds dropped). False when no install folder
    // is known or the task could not be saved.
    bool ScheduleShredAll(std::time_t when);
    bool ScheduleDiskBleach(std::time_t when);

    // True when the user's task was deleted.
    bool DeleteShredAllTask();
    bool DeleteDiskBleachTask();
    bool DiskBleachTaskExists();

    // Creates and saves task `name` from the fields below. An existing task
    // of that name is replaced, or with `failIfExists` kept and
    // HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) returned. E_FAIL when the begin
    // year, the name or the application is missing.
    HRESULT CreateTask(const std::wstring& name, bool failIfExists);
    // E_FAIL for an empty name, otherwise the scheduler's result.
    HRESULT DeleteTask(const std::wstring& name);
    // Whether a task of that name exists, whatever the letter case.
    bool TaskExists(const std::wstring& name);

    // What CreateTask builds. A begin year of 0 means no time is set, an end
    // year of 0 no end date. Only the date of `begin` and its hour and
    // minute are used.
    void SetBegin(const SYSTEMTIME& begin) { m_begin = begin; }
    void SetEnd(const SYSTEMTIME& end) { m_end = end; }
    void SetKind(std::int32_t kind) { m_kind = kind; }
    void SetApplication(const std::wstring& application) { m_application = application; }
    void SetParameters(const std::wstring& parameters) { m_parameters = parameters; }

    const SYSTEMTIME& Begin() const { return m_begin; }
    const std::wstring& UserName() const { return m_userName; }
    // The name the last operation used.
    const std::wstring& TaskName() const { return m_taskName; }

private:
    bool Schedule(const std::wstring& name, const wchar_t* verb, std::time_t when);
    bool DeleteNamed(const std::wstring& name);

    SYSTEMTIME m_begin = {};
    SYSTEMTIME m_end = {};
    std::int32_t m_kind = kTriggerNone;
    std::wstring m_application;
    std::wstring m_parameters;
    std::wstring m_userName;
    std::wstring m_password;
    bool m_giveAccount = false;
    std::wstring m_taskName;
};
