// Commands to the shredding program's hidden window titled "Graventa": sent
// as WM_SETTEXT with the code as wParam and a text (or nothing) as lParam.
// Every WM_SETTEXT also retitles the window, so senders put the title back.
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

// Finds the window, keeps its title, sends the command, restores the title.
// Returns what the title's restoring send returned (TRUE once the window
// handled both), or 0 with nothing sent when no such window exists.
LRESULT SendMainWindowCommand(UINT code, const wchar_t* text);
