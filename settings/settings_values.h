// The values of the per-user Settings key and of its profile subkeys: each
// name written once, with what a reader takes when the value is missing or
// of another type. The loaders and savers of settings_registry.cpp, the
// backup block and the shredding program all go through these names.
#pragma once

#include <windows.h>

namespace settingsvalue {

// How a stored DWORD reads: the five trigger flags count only their lowest
// byte; every other flag is on when its whole DWORD is not 0.
enum class Rule { LowByteFlag, WholeFlag, Number };

struct Dword {
    const wchar_t* name;
    Rule rule;
    DWORD missing;  // what a missing or ill-typed value reads as
};

// Tells a missing "SecurityProfile" or "EraseMethod" apart from any value
// that can be stored meaningfully.
inline constexpr DWORD kMissing = 0xFFFFFFFF;

// The Settings key.
inline constexpr Dword kRevision{L"Revision", Rule::Number, 0};
inline constexpr Dword kActivateOnSystemShutdown{L"ActivateOnSystemShutdown", Rule::LowByteFlag, 0};
inline constexpr Dword kActivateOnBrowserStartup{L"ActivateOnBrowserStartup", Rule::LowByteFlag, 0};
inline constexpr Dword kActivateOnBrowserShutdown{L"ActivateOnBrowserShutdown", Rule::LowByteFlag,
                                                  0};
inline constexpr Dword kActivateOnKeyPress{L"ActivateOnKeyPress", Rule::LowByteFlag, 0};
inline constexpr Dword kActivateOnCron{L"ActivateOnCron", Rule::LowByteFlag, 0};
inline constexpr Dword kCronNumDays{L"cronNumDays", Rule::Number, 0};
inline constexpr Dword kNumDaysSinceLastActivate{L"numDaysSinceLastActivate", Rule::Number, 0};
inline constexpr Dword kActivateFSBOnCron{L"ActivateFSBOnCron", Rule::WholeFlag, 0};
inline constexpr Dword kCronFSBNumDays{L"cronFSBNumDays", Rule::Number, 0};
inline constexpr Dword kNumFSBDaysSinceLastActivate{L"numFSBDaysSinceLastActivate", Rule::Number,
                                                    0};
inline constexpr Dword kSecurityProfile{L"SecurityProfile", Rule::Number, kMissing};
inline constexpr wchar_t kKeyCodeVals[] = L"keyCodeVals";
// Written by the shredding program alone, after a post-shred action started
// the history clean-up; deleted by its verb "ClearHistory".
inline constexpr wchar_t kAutoCleanHistory[] = L"Autocleanhistory";

// Each profile subkey (the flag pairs' names are in profile_body.cpp).
inline constexpr Dword kEraseMethod{L"EraseMethod", Rule::Number, kMissing};
inline constexpr wchar_t kExcludeList[] = L"ExcludeList";
inline constexpr wchar_t kFilesAndFolders[] = L"Files and Folders";
// The confirm flag of entry i of "Files and Folders", i counted from 0.
inline constexpr wchar_t kConfirmAddFileFormat[] = L"ConfirmShredAddFile%d";
inline constexpr Rule kConfirmAddFileRule = Rule::WholeFlag;

}  // namespace settingsvalue
