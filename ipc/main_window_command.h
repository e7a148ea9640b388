// Commands to the shredding program's hidden window titled "Graventa": sent
// as WM_SETTEXT with the code as wParam and a text (or nothing) as lParam.
// The window keeps its title for a command; senders still put the title
// back, which is harmless.
#pragma once

#include <windows.h>

enum MainWindowCommand : UINT {
    kCommandShredOne = 0xBABE01,
    kCommandShredAll = 0xBABE02,
    kCommandBleach = 0xBABE03,
    kCommandInternetExplorer = 0xBABE04,
    kCommandFirefox = 0xBABE05,
    kCommandReloadHotKey = 0xBABE06,
    kCommandUnregisterIcon = 0xBABE07,
    kCommandShredAllUnattended = 0xBABE08,
    kCommandBleachFromVerb = 0xBABE09,
    kCommandShowShredProgress = 0xBABE10,
    kCommandShowBleachProgress = 0xBABE11,
};

inline constexpr wchar_t kMainWindowTitle[] = L"Graventa";

// The browser operations: the texts of 0xBABE04 and 0xBABE05, and (the first
// four) verbs of Graventa's command line.
inline constexpr wchar_t kVerbShredFirefox[] = L"ShredFF";
inline constexpr wchar_t kVerbShredInternetExplorer[] = L"ShredIE";
inline constexpr wchar_t kVerbInstallFirefoxExtension[] = L"InstallFFBho";
inline constexpr wchar_t kVerbRemoveFirefoxExtension[] = L"RemoveFFBho";
inline constexpr wchar_t kVerbInstallIEExtension[] = L"InstallTessick";
inline constexpr wchar_t kVerbRemoveIEExtension[] = L"RemoveTessick";

// How long a sender waits for the window to take a command or its title.
inline constexpr UINT kMainWindowAnswerMs = 3000;
// How long a forwarded verb waits: the window may be busy with a browser job
// or a pipe for a good while, and a scheduled run must not be lost to that.
inline constexpr UINT kForwardedCommandAnswerMs = 10 * 60 * 1000;

// Finds the window, keeps its title, sends the command, restores the title.
// Returns what the title's restoring send returned (TRUE once the window
// handled both), or 0 when no such window exists or it did not answer one of
// the sends within kMainWindowAnswerMs. The two browser codes (0xBABE04,
// 0xBABE05) wait for their operation, however long it runs; their title's
// send is limited as the others are.
LRESULT SendMainWindowCommand(UINT code, const wchar_t* text);

// The same for a sender on no user-interface thread (a verb forwarded by a
// second instance): each send waits up to kForwardedCommandAnswerMs, and a
// window that seems hung is waited for, not refused.
LRESULT SendMainWindowCommandPatiently(UINT code, const wchar_t* text);
