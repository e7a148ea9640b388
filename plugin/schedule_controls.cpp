#include "plugin/schedule_controls.h"

#include "framework/ui_seam.h"
#include "plugin/pages.h"
#include "resources/halvorin/resource.h"
#include "tasks/task_scheduler.h"
#include "win32/string_table.h"
#include "win32/number_text.h"
#include "framework/dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace schedule {

namespace {

// Only the host's UI thread shows pages; the seams are set by tests on it.
std::function<std::time_t()> g_clock;
LCID g_locale = 0;

constexpr wchar_t kTwentyFourHours[] = L"HH:mm tt";
constexpr wchar_t kTwelveHours[] = L"hh:mm tt";
constexpr wchar_t kFallbackDate[] = L"MM/dd/yyyy";

// Languages whose users read the clock in 24 hours when the locale itself
// cannot be asked.
bool ReadsTwentyFourHours(LANGID language)
{
    switch (language) {
    case 1031:
    case 1036:
    case 1040:
    case 1041:
    case 1042:
    case 1046:
        return true;
    default:
        return false;
    }
}

// The scheduler service may hold a job file open for a moment after it
// changed, and a delete that meets it fails; it is tried again briefly, so
// that no task outlives a schedule stored as off.
constexpr int kRemoveAttempts = 10;
constexpr DWORD kRemovePauseMs = 50;

void RemoveTask(TaskScheduler& tasks, const ScheduledRun& run)
{
    for (int attempt = 0; attempt < kRemoveAttempts; ++attempt) {
        if ((tasks.*run.remove)() || !run.exists(tasks))
            return;
        ::Sleep(kRemovePauseMs);
    }
}

void ShowScheduleError(HWND page, UINT textId)
{
    fw::ShowTableMessage(page, PluginResourceInstance(), textId, IDS_SCHEDULE_ERROR, MB_OK);
}

}  // namespace

std::time_t Now()
{
    return g_clock ? g_clock() : std::time(nullptr);
}

LCID UserLocale()
{
    return g_locale ? g_locale : ::GetUserDefaultLCID();
}

LANGID UserLanguage()
{
    return g_locale ? LANGIDFROMLCID(g_locale) : ::GetUserDefaultLangID();
}

ScopedClock::ScopedClock(std::function<std::time_t()> now)
    : m_previous(std::exchange(g_clock, std::move(now)))
{
}

ScopedClock::~ScopedClock()
{
    g_clock = std::move(m_previous);
}

ScopedUserLocale::ScopedUserLocale(LCID locale) : m_previous(std::exchange(g_locale, locale)) {}

ScopedUserLocale::~ScopedUserLocale()
{
    g_locale = m_previous;
}

PickerFormats ChoosePickerFormats(LCID locale, LANGID language, const SYSTEMTIME& today)
{
    SYSTEMTIME four = today;
    four.wHour = 16;
    four.wMinute = 0;
    four.wSecond = 0;
    four.wMilliseconds = 0;
    wchar_t hour[MAX_PATH] = {};
    PickerFormats formats;
    if (::GetTimeFormatW(locale, TIME_NOMINUTESORSECONDS, &four, nullptr, hour, ARRAYSIZE(hour)) >
        0) {
        formats.time = win32::LeadingNumber(hour) > 12 ? kTwentyFourHours : kTwelveHours;
        return formats;
    }
    formats.date = kFallbackDate;
    formats.time = ReadsTwentyFourHours(language) ? kTwentyFourHours : kTwelveHours;
    return formats;
}

void SchedulePickers::Prepare() const
{
    SYSTEMTIME range[2] = {};
    if (LocalTimeOf(kLastStorableMoment, range[1]))
        ::SendMessageW(m_date, DTM_SETRANGE, GDTR_MAX, reinterpret_cast<LPARAM>(range));
    SYSTEMTIME today;
    ::GetLocalTime(&today);
    const PickerFormats formats = ChoosePickerFormats(UserLocale(), UserLanguage(), today);
    if (formats.date)
        ::SendMessageW(m_date, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(formats.date));
    ::SendMessageW(m_time, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(formats.time));
}

void SchedulePickers::Show(std::time_t moment) const
{
    SYSTEMTIME local;
    if (!LocalTimeOf(moment, local))
        return;
    ::SendMessageW(m_date, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&local));
    ::SendMessageW(m_time, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&local));
}

bool SchedulePickers::Read(std::time_t& moment) const
{
    SYSTEMTIME date = {};
    SYSTEMTIME time = {};
    if (::SendMessageW(m_date, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)) !=
            GDT_VALID ||
        ::SendMessageW(m_time, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID)
        return false;
    SYSTEMTIME chosen = {};
    chosen.wYear = date.wYear;
    chosen.wMonth = date.wMonth;
    chosen.wDay = date.wDay;
    chosen.wHour = time.wHour;
    chosen.wMinute = time.wMinute;
    return MomentOf(chosen, moment);
}

void SchedulePickers::Enable(bool enable) const
{
    ::EnableWindow(m_date, enable);
    ::EnableWindow(m_time, enable);
}

bool OpenSchedule(const SchedulePickers& pickers, ScheduledRun& run)
{
    TaskScheduler tasks;
    if (!run.on || !run.exists(tasks)) {
        run.moment = 0;
        return false;
    }
    if (IsAhead(run.moment, Now())) {
        pickers.Show(run.moment);
        return true;
    }
    RemoveTask(tasks, run);
    run.on = false;
    run.moment = 0;
    return false;
}

bool ApplySchedule(HWND page, bool checked, const SchedulePickers& pickers,
                   const std::wstring& password, ScheduledRun& run)
{
    TaskScheduler tasks;
    if (!checked) {
        RemoveTask(tasks, run);
        run.on = false;
        run.moment = 0;
        return true;
    }
    std::time_t chosen = 0;
    const bool read = pickers.Read(chosen);
    // Unchanged: the task stands (where the page asks, only when it still exists).
    if (read && run.moment == StoredMoment(chosen) &&
        (!run.unchangedNeedsTask || run.exists(tasks))) {
        run.on = true;
        return true;
    }
    // A moment that has passed, or one the stored width cannot hold.
    if (!read || chosen <= Now() || chosen > kLastStorableMoment) {
        RemoveTask(tasks, run);
        run.on = false;
        run.moment = 0;
        ShowScheduleError(page, IDS_SCHEDULE_BAD_MOMENT);
        return false;
    }
    if (password.empty()) {
        ShowScheduleError(page, IDS_SCHEDULE_NO_PASSWORD);
        return false;
    }
    tasks.SetPassword(password);
    // The new task replaces the old one; deleting it first gets the same
    // patience as any other delete.
    RemoveTask(tasks, run);
    if ((tasks.*run.create)(chosen)) {
        run.on = true;
        run.moment = StoredMoment(chosen);
        return true;
    }
    // A half-made task must not run while the settings say off.
    RemoveTask(tasks, run);
    run.on = false;
    run.moment = 0;
    ShowScheduleError(page, IDS_SCHEDULE_BAD_PASSWORD);
    return false;
}

void SetControlText(HWND page, const ControlString& text)
{
    ::SetDlgItemTextW(page, text.id,
                      win32::LoadTableString(PluginResourceInstance(), text.textId).c_str());
}

void MakeAutoCheckBox(HWND page, int id)
{
    ::SendDlgItemMessageW(page, id, BM_SETSTYLE, BS_AUTOCHECKBOX, TRUE);
}

void Forget(std::wstring& secret)
{
    ::SecureZeroMemory(secret.data(), secret.size() * sizeof(wchar_t));
    secret.clear();
}

}  // namespace schedule
