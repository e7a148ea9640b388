#include "tests/common/tray_recorder.h"

#include "ipc/tray_notify_client.h"

#include <windows.h>

namespace testsupport {

namespace {

Balloon Parse(const std::wstring& message)
{
    Balloon balloon;
    const size_t first = message.find(L"<OVSC>");
    const size_t second = first == std::wstring::npos ? first : message.find(L"<OVSC>", first + 6);
    if (second == std::wstring::npos) {
        balloon.title = message;
        return balloon;
    }
    balloon.title = message.substr(0, first);
    balloon.text = message.substr(first + 6, second - first - 6);
    balloon.id = _wtoi(message.c_str() + second + 6);
    return balloon;
}

}  // namespace

TrayRecorder::TrayRecorder() : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    // The first instance exists before the constructor returns: a balloon
    // sent right after finds a server, as it would with the real tray.
    m_ready = TrayNotifyPipeName(m_name) && m_stop;
    win32::UniqueFile first;
    if (m_ready)
        first = CreateInstance();
    m_ready = m_ready && first;
    if (m_ready)
        m_thread = std::thread([this, pipe = std::move(first)]() mutable { Serve(std::move(pipe)); });
}

TrayRecorder::~TrayRecorder()
{
    if (!m_thread.joinable())
        return;
    ::SetEvent(m_stop.get());
    // Wake a ConnectNamedPipe that is waiting for a client.
    win32::UniqueFile poke(::CreateFileW(m_name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
    poke.reset();
    m_thread.join();
}

win32::UniqueFile TrayRecorder::CreateInstance() const
{
    return win32::UniqueFile(::CreateNamedPipeW(
        m_name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
        PIPE_UNLIMITED_INSTANCES, 8192, 8192, 0, nullptr));
}

void TrayRecorder::Serve(win32::UniqueFile pipe)
{
    while (pipe) {
        if (!::ConnectNamedPipe(pipe.get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
            pipe = CreateInstance();
            continue;
        }
        if (::WaitForSingleObject(m_stop.get(), 0) == WAIT_OBJECT_0)
            return;
        // The next instance listens before this one is read, so that a
        // client never finds the pipe missing between two messages.
        win32::UniqueFile next = CreateInstance();
        std::vector<wchar_t> buffer(8192 / sizeof(wchar_t) + 1, L'\0');
        DWORD cbRead = 0;
        if (::ReadFile(pipe.get(), buffer.data(), 8192, &cbRead, nullptr) && cbRead > 0) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_balloons.push_back(Parse(buffer.data()));
        }
        ::DisconnectNamedPipe(pipe.get());
        pipe = std::move(next);
    }
}

std::vector<Balloon> TrayRecorder::Balloons() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_balloons;
}

std::vector<int> TrayRecorder::Ids() const
{
    std::vector<int> ids;
    for (const auto& balloon : Balloons())
        ids.push_back(balloon.id);
    return ids;
}

bool TrayRecorder::WaitFor(size_t count, DWORD milliseconds) const
{
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        if (Balloons().size() >= count)
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(20);
    }
}

}  // namespace testsupport
