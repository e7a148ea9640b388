#include "ipc/main_window_command.h"

namespace {

// The operations behind these codes run inside the window procedure and
// hold the sender until they end.
bool WaitsForItsOperation(UINT code)
{
    return code == kCommandInternetExplorer || code == kCommandFirefox;
}

// False when the window did not answer within the limit (a message it had
// not taken yet is withdrawn) or went away. `flags` adds SMTO_ABORTIFHUNG
// where the window may have been busy for a while before this send.
bool SendTextWithin(HWND window, WPARAM code, const wchar_t* text, UINT flags, UINT limitMs,
                    LRESULT& answer)
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, WM_SETTEXT, code, reinterpret_cast<LPARAM>(text),
                               SMTO_NORMAL | flags, limitMs, &result))
        return false;
    answer = static_cast<LRESULT>(result);
    return true;
}

LRESULT SendCommand(UINT code, const wchar_t* text, bool patient)
{
    const HWND window = ::FindWindowW(nullptr, kMainWindowTitle);
    if (!window)
        return 0;
    wchar_t title[257] = {};
    ::GetWindowTextW(window, title, ARRAYSIZE(title));
    // No text goes as an empty one, which the window takes for none: a null
    // text is not carried to another process everywhere (Wine drops it).
    const wchar_t* const commandText = text ? text : L"";
    LRESULT answer = 0;
    const UINT limitMs = patient ? kForwardedCommandAnswerMs : kMainWindowAnswerMs;
    if (patient) {
        if (!SendTextWithin(window, code, commandText, 0, limitMs, answer))
            return 0;
    } else if (WaitsForItsOperation(code)) {
        ::SendMessageW(window, WM_SETTEXT, code, reinterpret_cast<LPARAM>(commandText));
    } else if (!SendTextWithin(window, code, commandText, SMTO_ABORTIFHUNG, limitMs, answer)) {
        // The caller is the host's or the shell's user-interface thread: a
        // window that does not answer must not hold it. A second wait for
        // the title's send would only double the hang.
        return 0;
    }
    // The window has just answered the command, so it is not hung. But a
    // browser operation can keep it from its queue past the system's five
    // seconds, and until it is back there the system would call it hung and
    // refuse the title at once: the request would fail though the command
    // was taken.
    if (!SendTextWithin(window, 0, title, 0, limitMs, answer))
        return 0;
    return answer;
}

}  // namespace

LRESULT SendMainWindowCommand(UINT code, const wchar_t* text)
{
    return SendCommand(code, text, false);
}

LRESULT SendMainWindowCommandPatiently(UINT code, const wchar_t* text)
{
    return SendCommand(code, text, true);
}
