// Balloon requests for the tray icon of the security manager. The shredding
// program has no tray icon of its own: it writes one fixed-size message per
// event into a per-user pipe that the plug-in serves, and the plug-in shows
// it as a balloon. The plug-in itself sends its own balloons the same way.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// What each balloon id means to the plug-in (a click on 26 or 42 brings the
// matching progress window to the front).
inline constexpr int kBalloonShredAllStarts = 26;
inline constexpr int kBalloonShredStartsOrStopped = 27;
inline constexpr int kBalloonShredEnds = 28;
inline constexpr int kBalloonBrowserTriggerOn = 29;
inline constexpr int kBalloonBleachStarts = 42;
inline constexpr int kBalloonBleachEnds = 44;

// One message: title, separator, text, separator, decimal id, a NUL, and
// zeros up to the end of the buffer, always written whole.
inline constexpr size_t kTrayMessageChars = 4096;
inline constexpr size_t kTrayMessageBytes = kTrayMessageChars * sizeof(wchar_t);
inline constexpr wchar_t kTrayMessageSeparator[] = L"<OVSC>";
inline constexpr wchar_t kTrayPipePrefix[] = L"\\\\.\\Pipe\\OVSCTrayNotify_";
// All that a sender opens the pipe with.
inline constexpr DWORD kTrayClientAccess = GENERIC_WRITE;

// Fills `buffer` with the message, cut to fit when it is too long; the buffer
// always ends in a NUL and is zero after it. Null title or text count as empty.
void FormatTrayNotifyMessage(const wchar_t* title, const wchar_t* text, int id,
                             wchar_t (&buffer)[kTrayMessageChars]);

// What the server reads out of one message.
struct TrayNotifyFields {
    std::wstring title;
    std::wstring text;
    int id = 0;
};

// The reverse of FormatTrayNotifyMessage over `cch` characters received: the
// text ends at the first NUL or at `cch`; the title stands before the first
// separator, the text before the second, the decimal id after it (0 when it
// holds no number). False, and `fields` untouched, without both separators.
bool ParseTrayNotifyMessage(const wchar_t* message, size_t cch, TrayNotifyFields& fields);

// The string SID of the user the calling thread runs as (its impersonation
// token when it has one, else the process token); false when it cannot be had.
bool CurrentUserSidString(std::wstring& sid);

// kTrayPipePrefix + CurrentUserSidString(); false when the SID cannot be had.
bool TrayNotifyPipeName(std::wstring& name);

class TrayNotifyClient {
public:
    TrayNotifyClient() = default;

    // TRUE when the whole message was written. Best effort: a missing server
    // fails at once; while a busy one frees an instance the open is tried
    // again, for up to 5000 ms in all, and the balloon is dropped after that.
    BOOL Send(const wchar_t* title, const wchar_t* text, int id);
};
