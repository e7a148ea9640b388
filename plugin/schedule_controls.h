// What the Shred and Bleaching pages share about their one scheduled run:
// the date and time pickers set from and read into the stored moment, the
// time format the user's locale reads best, and Apply's decision table that
// creates, keeps or deletes the task.
//
// A stored moment is seconds since 1970-01-01 UTC held in a signed 32-bit
// value, so nothing after 2038-01-19 03:14:07 UTC can be scheduled. Pickers
// show and are read in local time; daylight saving is the system's call.
#pragma once

#include "win32/system_info.h"

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

class TaskScheduler;

namespace schedule {

// The last moment a stored value holds.
inline constexpr std::time_t kLastStorableMoment = INT32_MAX;

// The current time, and the user's locale and language: the system's, or
// what a test put in their place.
std::time_t Now();
LCID UserLocale();
LANGID UserLanguage();

// Replaces the clock for the lifetime of the object (tests).
class ScopedClock {
public:
    explicit ScopedClock(std::function<std::time_t()> now);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    std::function<std::time_t()> m_previous;
};

// Replaces the user's locale (and its language) for the lifetime of the
// object (tests).
class ScopedUserLocale {
public:
    explicit ScopedUserLocale(LCID locale);
    ~ScopedUserLocale();
    ScopedUserLocale(const ScopedUserLocale&) = delete;
    ScopedUserLocale& operator=(const ScopedUserLocale&) = delete;

private:
    LCID m_previous;
};

// The low 32 bits of a moment, as the settings store it.
inline int32_t StoredMoment(std::time_t moment)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(moment)));
}

// Whether a stored moment lies after `now`, both compared as the stored
// width (signed 32-bit).
inline bool IsAhead(int32_t stored, std::time_t now)
{
    return stored > StoredMoment(now);
}

// Local time of a moment and back; false outside what FILETIME holds or
// when the local time does not convert.
using win32::LocalTimeOf;
using win32::MomentOf;

// The picker formats for a locale: "HH:mm tt" when its 16 o'clock reads as
// a number above 12, otherwise "hh:mm tt". When the locale cannot format
// that hour, the date falls back to "MM/dd/yyyy" and the language decides.
struct PickerFormats {
    const wchar_t* time = nullptr;
    const wchar_t* date = nullptr;  // null: the locale's short date stays
};
PickerFormats ChoosePickerFormats(LCID locale, LANGID language, const SYSTEMTIME& today);

// The date picker and the time picker of one schedule.
class SchedulePickers {
public:
    SchedulePickers() = default;
    SchedulePickers(HWND date, HWND time) : m_date(date), m_time(time) {}

    // Stops the date picker at kLastStorableMoment and sets the formats of
    // the user's locale.
    void Prepare() const;
    // Both pickers to the local time of `moment`.
    void Show(std::time_t moment) const;
    // The date of the date picker at the hour and minute of the time
    // picker, seconds 0, as a moment; false when a picker holds no value or
    // the local time does not convert.
    bool Read(std::time_t& moment) const;
    void Enable(bool enable) const;

private:
    HWND m_date = nullptr;
    HWND m_time = nullptr;
};

// One page's task and stored schedule.
struct ScheduledRun {
    bool (TaskScheduler::*create)(std::time_t);
    bool (TaskScheduler::*remove)();
    bool (*exists)(TaskScheduler& tasks);
    // Whether Apply of an unchanged moment keeps the task only while it exists.
    bool unchangedNeedsTask;
    bool on;
    int32_t moment;
};

// Page opening: true when the schedule is on, its task exists and its moment
// lies ahead; the pickers then show it. A passed schedule loses its task and
// is switched off; a vanished task clears the moment, so that the next Apply
// stores the box's state. The caller saves nothing.
bool OpenSchedule(const SchedulePickers& pickers, ScheduledRun& run);

// Apply of a schedule whose box is `checked`, chosen in `pickers`, for
// `password`: creates, keeps or deletes the task and updates `run`. Each
// refusal is told in a message box owned by `page`; false then. A schedule
// that ends up stored as off never leaves its task behind.
bool ApplySchedule(HWND page, bool checked, const SchedulePickers& pickers,
                   const std::wstring& password, ScheduledRun& run);

// What else the pages do alike.

// A control and the string of the plug-in's table it shows.
struct ControlString {
    int id;
    UINT textId;
};
void SetControlText(HWND page, const ControlString& text);
// Turns a check box back into an automatic one (a restore may run again).
void MakeAutoCheckBox(HWND page, int id);
// Wipes a text read with fw::ControlText that held a secret.
void Forget(std::wstring& secret);

}  // namespace schedule
