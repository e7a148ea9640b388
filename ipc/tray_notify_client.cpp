#include "ipc/tray_notify_client.h"

#include "win32/system_info.h"
#include "win32/unique_handle.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <string_view>
#include <utility>

namespace {

// How long a busy pipe is waited for before the balloon is dropped.
constexpr DWORD kBusyPipeWaitMs = 5000;

bool OpenCallerToken(win32::UniqueHandleNull& token)
{
    // Impersonating threads send as the user they stand for.
    if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()))
        return true;
    if (::GetLastError() != ERROR_NO_TOKEN)
        return false;
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) != FALSE;
}

}  // namespace

void FormatTrayNotifyMessage(const wchar_t* title, const wchar_t* text, int id,
                             wchar_t (&buffer)[kTrayMessageChars])
{
    // Put together by hand rather than through a printf: no format trap, and
    // the caller's texts can hold "%" freely.
    std::wstring message = title ? title : L"";
    message += kTrayMessageSeparator;
    message += text ? text : L"";
    message += kTrayMessageSeparator;
    message += std::to_wstring(id);

    size_t cch = message.size();
    if (cch > kTrayMessageChars - 1) {
        cch = kTrayMessageChars - 1;
        // Never leave half of a surrogate pair at the cut.
        if (IS_HIGH_SURROGATE(message[cch - 1]))
            --cch;
    }
    std::memset(buffer, 0, sizeof(buffer));
    std::memcpy(buffer, message.data(), cch * sizeof(wchar_t));
}

bool ParseTrayNotifyMessage(const wchar_t* message, size_t cch, TrayNotifyFields& fields)
{
    if (!message)
        return false;
    const std::wstring_view whole(message, ::wcsnlen(message, cch));
    constexpr std::wstring_view separator(kTrayMessageSeparator);
    const size_t first = whole.find(separator);
    if (first == std::wstring_view::npos)
        return false;
    const size_t textStart = first + separator.size();
    const size_t second = whole.find(separator, textStart);
    if (second == std::wstring_view::npos)
        return false;

    // Leading decimal digits, as the sender wrote them; a number too long for
    // an int is not a balloon id anyone sends, so it counts as none.
    std::wstring_view digits = whole.substr(second + separator.size());
    bool negative = false;
    if (!digits.empty() && (digits.front() == L'-' || digits.front() == L'+')) {
        negative = digits.front() == L'-';
        digits.remove_prefix(1);
    }
    long long value = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + (c - L'0');
        if (value > INT_MAX) {
            value = 0;
            break;
        }
    }

    TrayNotifyFields parsed;
    parsed.title.assign(whole.substr(0, first));
    parsed.text.assign(whole.substr(textStart, second - textStart));
    parsed.id = static_cast<int>(negative ? -value : value);
    fields = std::move(parsed);
    return true;
}

bool CurrentUserSidString(std::wstring& sid)
{
    win32::UniqueHandleNull token;
    return OpenCallerToken(token) && win32::TokenUserSidString(token.get(), sid);
}

bool TrayNotifyPipeName(std::wstring& name)
{
    std::wstring sid;
    if (!CurrentUserSidString(sid))
        return false;
    name = kTrayPipePrefix + sid;
    return true;
}

BOOL TrayNotifyClient::Send(const wchar_t* title, const wchar_t* text, int id)
{
    std::wstring pipeName;
    if (!TrayNotifyPipeName(pipeName))
        return FALSE;

    // Identification only: whoever serves the pipe learns who we are but
    // cannot act as us. While every instance is busy the sender waits for a
    // free one and tries again, up to one deadline; the balloon is dropped
    // after that rather than holding the worker up longer.
    const ULONGLONG deadline = ::GetTickCount64() + kBusyPipeWaitMs;
    win32::UniqueFile pipe;
    for (;;) {
        pipe.reset(::CreateFileW(pipeName.c_str(), kTrayClientAccess, 0, nullptr, OPEN_EXISTING,
                                 SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (pipe)
            break;
        const ULONGLONG now = ::GetTickCount64();
        if (::GetLastError() != ERROR_PIPE_BUSY || now >= deadline ||
            !::WaitNamedPipeW(pipeName.c_str(), static_cast<DWORD>(deadline - now)))
            return FALSE;
    }

    wchar_t message[kTrayMessageChars];
    FormatTrayNotifyMessage(title, text, id, message);
    DWORD cbWritten = 0;
    if (!::WriteFile(pipe.get(), message, static_cast<DWORD>(kTrayMessageBytes), &cbWritten,
                     nullptr) ||
        cbWritten != kTrayMessageBytes)
        return FALSE;
    ::FlushFileBuffers(pipe.get());
    return TRUE;
}
