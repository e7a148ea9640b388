#include "tests/program/bleach_fake_service.h"

#include "ipc/bleach_protocol.h"
#include "service/pipe_io.h"

#include <atomic>

namespace bleachtest {

namespace {

win32::UniqueFile MakePipe(const std::wstring& name, DWORD direction)
{
    return win32::UniqueFile(
        ::CreateNamedPipeW(name.c_str(), direction | FILE_FLAG_OVERLAPPED,
                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, kCbPipeBuffer,
                           kCbPipeBuffer, 0, nullptr));
}

}  // namespace

std::wstring UniquePipeSuffix()
{
    static std::atomic<int> serial{0};
    return L"_test_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
}

FakeBleachService::FakeBleachService(const std::wstring& suffix)
    : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_control(MakePipe(kBleachControlPipe + suffix, PIPE_ACCESS_INBOUND)),
      m_status(MakePipe(kBleachStatusPipe + suffix, PIPE_ACCESS_OUTBOUND)),
      m_progress(MakePipe(kBleachProgressPipe + suffix, PIPE_ACCESS_OUTBOUND))
{
    m_ready = m_stop && m_control && m_status && m_progress;
    if (!m_ready)
        return;
    m_threads.emplace_back([this] { ServeControl(); });
    m_threads.emplace_back([this] { ServeStatus(); });
    m_threads.emplace_back([this] { ServeProgress(); });
}

FakeBleachService::~FakeBleachService()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_stop)
        ::SetEvent(m_stop.get());
    for (std::thread& thread : m_threads)
        thread.join();
}

std::vector<ControlMessage> FakeBleachService::Messages() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_messages;
}

bool FakeBleachService::WaitForMessages(size_t count, DWORD timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_messages.size() >= count; });
}

int FakeBleachService::Connections() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_connections;
}

bool FakeBleachService::WaitForConnections(int count, DWORD timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_connections >= count; });
}

void FakeBleachService::SendProgress(int32_t processId, int32_t threadId, int32_t percent)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_outgoing.push_back({false, processId, threadId, percent});
    }
    m_changed.notify_all();
}

void FakeBleachService::BreakProgress()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_outgoing.push_back({true});
    }
    m_changed.notify_all();
}

bool FakeBleachService::Connect(HANDLE pipe, HANDLE ioEvent)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = ioEvent;
    bool connected = ::ConnectNamedPipe(pipe, &overlapped) != FALSE;
    if (!connected) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            connected = true;
        } else if (error == ERROR_IO_PENDING) {
            DWORD cbUnused = 0;
            DWORD ioError = 0;
            connected = pipeio::Finish(pipe, overlapped, FALSE, m_stop.get(), cbUnused, ioError) ==
                        pipeio::IoOutcome::Done;
        }
    }
    if (connected) {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_connections;
    }
    m_changed.notify_all();
    return connected;
}

void FakeBleachService::Close(win32::UniqueFile& pipe)
{
    ::DisconnectNamedPipe(pipe.get());
    pipe.reset();
}

void FakeBleachService::ServeControl()
{
    win32::UniqueHandleNull ioEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!Connect(m_control.get(), ioEvent.get()))
        return;
    for (;;) {
        wchar_t text[kCbControlMessageMax / sizeof(wchar_t) + 1] = {};
        DWORD cbRead = 0;
        DWORD error = 0;
        if (pipeio::ReadMessage(m_control.get(), ioEvent.get(), text, kCbControlMessageMax,
                                m_stop.get(), cbRead, error) != pipeio::IoOutcome::Done)
            return;
        ControlMessage message;
        // A message the service would drop is recorded as command 0.
        if (!ParseControlMessage(text, message.command, message.processId, message.threadId))
            message = {};
        message.bytes.assign(reinterpret_cast<const char*>(text), cbRead);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_messages.push_back(message);
        }
        m_changed.notify_all();
    }
}

void FakeBleachService::ServeStatus()
{
    win32::UniqueHandleNull ioEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!Connect(m_status.get(), ioEvent.get()))
        return;
    for (size_t answered = 0;; ++answered) {
        ControlMessage message;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_changed.wait(guard, [&] { return m_stopping || m_messages.size() > answered; });
            if (m_stopping)
                return;
            message = m_messages[answered];
        }
        DWORD error = 0;
        if (pipeio::WriteMessage(m_status.get(), ioEvent.get(),
                                 FormatReply(message.processId, message.threadId, kRequestDone),
                                 m_stop.get(), error) != pipeio::IoOutcome::Done)
            return;
    }
}

void FakeBleachService::ServeProgress()
{
    win32::UniqueHandleNull ioEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!Connect(m_progress.get(), ioEvent.get()))
        return;
    for (;;) {
        Outgoing next;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_changed.wait(guard, [&] { return m_stopping || !m_outgoing.empty(); });
            if (m_stopping)
                return;
            next = m_outgoing.front();
            m_outgoing.pop_front();
        }
        if (next.breakConnection) {
            Close(m_progress);
            return;
        }
        DWORD error = 0;
        if (pipeio::WriteMessage(m_progress.get(), ioEvent.get(),
                                 FormatReply(next.processId, next.threadId, next.percent),
                                 m_stop.get(), error) != pipeio::IoOutcome::Done)
            return;
    }
}

}  // namespace bleachtest
