#include "tests/common/debug_output_recorder.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace testsupport {

namespace {

std::mutex& Lock()
{
    static std::mutex lock;
    return lock;
}

std::vector<std::wstring>& Store()
{
    static std::vector<std::wstring> lines;
    return lines;
}

LONG CALLBACK Record(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    constexpr DWORD kPrintWide = 0x4001000A;
    if ((record.ExceptionCode != DBG_PRINTEXCEPTION_C && record.ExceptionCode != kPrintWide) ||
        record.NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    std::wstring line;
    if (record.ExceptionCode == kPrintWide)
        line = reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]);
    else
        for (const char* c = reinterpret_cast<const char*>(record.ExceptionInformation[1]); *c;
             ++c)
            line += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    std::lock_guard<std::mutex> guard(Lock());
    Store().push_back(line);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

DebugOutputRecorder::DebugOutputRecorder()
{
    {
        std::lock_guard<std::mutex> guard(Lock());
        Store().clear();
    }
    m_handler = ::AddVectoredExceptionHandler(1, Record);
}

DebugOutputRecorder::~DebugOutputRecorder()
{
    if (m_handler)
        ::RemoveVectoredExceptionHandler(m_handler);
}

bool DebugOutputRecorder::Recorded(const std::wstring& text)
{
    std::lock_guard<std::mutex> guard(Lock());
    return std::any_of(Store().begin(), Store().end(), [&](const std::wstring& line) {
        return line.find(text) != std::wstring::npos;
    });
}

}  // namespace testsupport
