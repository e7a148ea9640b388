#include "ipc/bleach_protocol.h"
#include "win32/number_text.h"

#include <climits>
#include <cwctype>

namespace {

// The text before the first ":" of `rest`; `rest` keeps what follows it.
std::wstring TakeField(std::wstring& rest, bool& found)
{
    const size_t colon = rest.find(L':');
    found = colon != std::wstring::npos;
    if (!found) {
        std::wstring field = rest;
        rest.clear();
        return field;
    }
    std::wstring field = rest.substr(0, colon);
    rest.erase(0, colon + 1);
    return field;
}

std::string Utf16Bytes(const std::wstring& text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

}  // namespace

bool IsBleachCommand(int32_t code)
{
    switch (code) {
    case kStopBleach:
    case kStartBleach:
    case kSubscribeProgress:
    case kUnsubscribeProgress:
    case kRegisterDesktopIcon:
    case kUnregisterDesktopIcon:
        return true;
    default:
        return false;
    }
}

std::string FormatControlMessage(int32_t command, int32_t processId, int32_t threadId)
{
    const std::wstring text = std::wstring(kControlMarker) + L":" + std::to_wstring(command) +
                              L":" + std::to_wstring(processId) + L":" + std::to_wstring(threadId);
    return Utf16Bytes(text) + std::string(2, '\0');
}

bool ParseControlMessage(const std::wstring& text, int32_t& command, int32_t& processId,
                         int32_t& threadId)
{
    std::wstring rest = text;
    bool found = false;
    const std::wstring marker = TakeField(rest, found);
    // Without any ":" there is no marker at all.
    if (!found || marker != kControlMarker)
        return false;
    const int32_t code = win32::LeadingNumber(TakeField(rest, found));
    if (!IsBleachCommand(code))
        return false;
    const int32_t pid = win32::LeadingNumber(TakeField(rest, found));
    const int32_t tid = win32::LeadingNumber(rest);
    command = code;
    processId = pid;
    threadId = tid;
    return true;
}

std::string FormatReply(int32_t processId, int32_t threadId, int32_t value)
{
    const std::wstring text = std::to_wstring(processId) + L":" + std::to_wstring(threadId) + L":" +
                              std::to_wstring(value);
    return Utf16Bytes(text) + std::string(1, '\0');
}

bool ParseReply(const std::wstring& text, int32_t& processId, int32_t& threadId, int32_t& value)
{
    std::wstring rest = text;
    bool found = false;
    const int32_t pid = win32::LeadingNumber(TakeField(rest, found));
    if (!found)
        return false;
    const int32_t tid = win32::LeadingNumber(TakeField(rest, found));
    if (!found)
        return false;
    processId = pid;
    threadId = tid;
    value = win32::LeadingNumber(rest);
    return true;
}
