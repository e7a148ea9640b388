#include "ipc/main_window_command.h"

LRESULT SendMainWindowCommand(UINT code, const wchar_t* text)
{
    const HWND window = ::FindWindowW(nullptr, kMainWindowTitle);
    if (!window)
        return 0;
    wchar_t title[257] = {};
    ::GetWindowTextW(window, title, ARRAYSIZE(title));
    // No text goes as an empty one, which the window takes for none: a null
    // text is not carried to another process everywhere (Wine drops it).
    ::SendMessageW(window, WM_SETTEXT, code, reinterpret_cast<LPARAM>(text ? text : L""));
    return ::SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title));
}
