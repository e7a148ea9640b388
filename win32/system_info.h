// Where the system lives, who the caller is, and what an error code says:
// small lookups several deliverables make.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

namespace win32 {

// The Windows folder as WINDIR names it; "C:\WINDOWS" when it is not set.
std::wstring WindowsFolder();

// The root ("C:\") of the drive the Windows folder is on, as WINDIR names
// it; "C:\" when that has no root. The drive the bleach service wipes.
std::wstring WindowsDriveRoot();

// The root of the drive the system folder is on, as the system itself
// reports it (no environment value can move it); empty when the system
// folder cannot be read. What the protected paths compare with.
std::wstring SystemFolderDriveRoot();
// The system folder ("C:\Windows\System32"), from the system itself and never
// from the environment; empty when it cannot be had.
std::wstring SystemFolder();
// `name` in the system folder: how a system program or library is started or
// loaded, so that no copy beside us or on the search path is taken instead.
// Empty when the system folder cannot be had.
std::wstring SystemProgramPath(const wchar_t* name);
// `name` in the Windows folder as the system reports it (never WINDIR), for
// the system programs that live there; empty when it cannot be had.
std::wstring SystemWindowsProgramPath(const wchar_t* name);

// The name of the user the calling thread runs as (the impersonated one
// while it impersonates); empty when it cannot be read.
std::wstring CurrentUserName();

// The text form ("S-1-5-...") of the user of `token` (opened with
// TOKEN_QUERY); false when it cannot be read.
bool TokenUserSidString(HANDLE token, std::wstring& sid);

// Whether `text` has only a SID's characters ("S-1-" then digits and
// dashes): what a SID read from outside must be before it is joined to a
// path or a command line.
bool LooksLikeSid(const std::wstring& text);

// The system's message text for `error` as FormatMessageW gives it (line
// break at its end included); empty when the system has none.
// `languageId` 0 lets the system choose the language.
std::wstring SystemMessageText(DWORD error, DWORD languageId = 0);

// Local time of a moment (seconds since 1970 UTC) and back, with daylight
// saving of that date; false outside what FILETIME holds or when the local
// time does not convert.
bool LocalTimeOf(std::time_t moment, SYSTEMTIME& local);
bool MomentOf(const SYSTEMTIME& local, std::time_t& moment);

}  // namespace win32
