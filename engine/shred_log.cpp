// The shred log: a plain ANSI text file with CR LF line ends, one line per
// event, flushed to the system as it is written so that the file is complete
// up to the last event even when the process ends abruptly.
#include "engine/eraser.h"
#include "resources/engine/text_ids.h"
#include "win32/string_table.h"
#include "win32/system_info.h"
#include "win32/path.h"

#include <string>
#include <vector>

namespace {

// "\n" in the table texts is a line break; the system's own texts already
// end in CR LF and must not get a second CR.
std::wstring WithCrLf(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            out += L'\r';
        out += text[i];
    }
    return out;
}

// Characters the ANSI code page lacks become "?" instead of a look-alike,
// and the line is never cut short at one.
std::string ToAnsi(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int cch = static_cast<int>(text.size());
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int cb = ::WideCharToMultiByte(CP_ACP, flags, text.data(), cch, nullptr, 0, nullptr, nullptr);
    if (cb == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        // UTF-8 and a few other code pages take no flags.
        flags = 0;
        cb = ::WideCharToMultiByte(CP_ACP, flags, text.data(), cch, nullptr, 0, nullptr, nullptr);
    }
    if (cb <= 0)
        return {};
    std::string bytes(static_cast<size_t>(cb), '\0');
    cb = ::WideCharToMultiByte(CP_ACP, flags, text.data(), cch, bytes.data(), cb, nullptr, nullptr);
    if (cb <= 0)
        return {};
    bytes.resize(static_cast<size_t>(cb));
    return bytes;
}

template <typename Args>
std::wstring FormatWith(const std::wstring& format, const Args& args)
{
    std::wstring out;
    out.reserve(format.size() + 64);
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c != L'%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const wchar_t conversion = format[i + 1];
        if (conversion == L's' || conversion == L'd') {
            if (next != args.end())
                out += *next++;
            ++i;
        } else if (conversion == L'%') {
            out += L'%';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// Line breaks are the log's own: a CR that starts no CR LF, and any other
// control character a text brings along, becomes "?".
std::wstring WithOnlyOwnLineBreaks(const std::wstring& text)
{
    std::wstring out = text;
    for (size_t i = 0; i < out.size(); ++i) {
        const bool lineBreak =
            out[i] == L'\n' || (out[i] == L'\r' && i + 1 < out.size() && out[i + 1] == L'\n');
        if (!lineBreak && win32::IsControlCharacter(out[i]))
            out[i] = L'?';
    }
    return out;
}

}  // namespace

std::wstring LoadLogText(UINT id)
{
    return win32::LoadTableString(::GetModuleHandleW(nullptr), id);
}

std::wstring FormatLogText(const std::wstring& format, std::initializer_list<std::wstring> args)
{
    return FormatWith(format, args);
}

std::wstring LogSafeText(const std::wstring& text)
{
    std::wstring safe = text;
    for (wchar_t& c : safe) {
        if (win32::IsControlCharacter(c))
            c = L'?';
    }
    return safe;
}

bool Eraser::ShredLogPath(const std::wstring& folder, std::wstring& path)
{
    const std::wstring user = win32::CurrentUserName();
    if (user.empty())
        return false;
    std::wstring full = win32::JoinPath(folder, user + L"_ShredderLog.txt");
    if (!win32::FitsMaxPath(full))
        return false;
    path = std::move(full);
    return true;
}

bool Eraser::OpenLog(const std::wstring& path)
{
    m_log.reset();
    win32::UniqueFile log(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log)
        return false;
    m_log = std::move(log);

    const std::wstring stars(100, L'*');
    WriteText(L"\n" + stars + L"\n");
    const std::wstring date = LoadLogText(IDS_LOG_BANNER_DATE);
    if (!date.empty()) {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        WriteText(
            FormatLogText(date, {std::to_wstring(now.wMonth), std::to_wstring(now.wDay),
                                 std::to_wstring(now.wYear), std::to_wstring(now.wHour),
                                 std::to_wstring(now.wMinute), std::to_wstring(now.wSecond)}));
    }
    WriteText(stars + L"\n");
    return true;
}

void Eraser::CloseLog()
{
    m_log.reset();
}

void Eraser::WriteLogLine(const std::wstring& text)
{
    WriteText(text);
}

void Eraser::LogError(const std::wstring& text, DWORD errorCode, bool withSystemText)
{
    if (!m_log)
        return;
    std::wstring line = text;
    if (withSystemText) {
        const std::wstring systemText = win32::SystemMessageText(errorCode);
        line += systemText.empty() ? LoadLogText(IDS_LOG_ERROR_UNKNOWN) : systemText;
    }
    WriteText(line);
}

void Eraser::LogTextLine(UINT id, std::initializer_list<std::wstring> args, DWORD errorCode,
                         bool withSystemText)
{
    if (!m_log)
        return;
    const std::wstring text = LoadLogText(id);
    if (text.empty())
        return;
    std::vector<std::wstring> safeArgs;
    safeArgs.reserve(args.size());
    for (const auto& arg : args)
        safeArgs.push_back(LogSafeText(arg));
    LogError(FormatWith(text, safeArgs), errorCode, withSystemText);
}

void Eraser::LogTextAndPath(UINT id, const std::wstring& path)
{
    if (!m_log)
        return;
    const std::wstring text = LoadLogText(id);
    if (!text.empty())
        LogError(text + LogSafeText(path), 0, false);
}

void Eraser::WriteText(const std::wstring& text)
{
    if (!m_log)
        return;
    const std::string bytes = ToAnsi(WithCrLf(WithOnlyOwnLineBreaks(text)));
    const char* cursor = bytes.data();
    size_t cbLeft = bytes.size();
    while (cbLeft > 0) {
        DWORD cbWritten = 0;
        if (!::WriteFile(m_log.get(), cursor, static_cast<DWORD>(cbLeft), &cbWritten, nullptr) ||
            cbWritten == 0)
            return;
        cursor += cbWritten;
        cbLeft -= cbWritten;
    }
}
