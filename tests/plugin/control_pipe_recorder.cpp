#include "tests/plugin/control_pipe_recorder.h"

#include "ipc/bleach_protocol.h"

namespace hosttest {

namespace {

// More than the clients a test makes in a row.
constexpr size_t kInstances = 8;

}  // namespace

ControlPipeRecorder::ControlPipeRecorder(std::wstring name)
    : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_instances(kInstances)
{
    if (!m_stop)
        return;
    for (Instance& instance : m_instances) {
        instance.pipe.reset(
            ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                               PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                               PIPE_UNLIMITED_INSTANCES, kCbPipeBuffer, kCbPipeBuffer, 0, nullptr));
        instance.event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!instance.pipe || !instance.event || !Listen(instance))
            return;
    }
    m_ready = true;
    m_thread = std::thread([this] { Serve(); });
}

ControlPipeRecorder::~ControlPipeRecorder()
{
    if (m_stop)
        ::SetEvent(m_stop.get());
    if (m_thread.joinable())
        m_thread.join();
    for (Instance& instance : m_instances)
        if (instance.pipe) {
            ::CancelIoEx(instance.pipe.get(), nullptr);
            DWORD cbUnused = 0;
            ::GetOverlappedResult(instance.pipe.get(), &instance.overlapped, &cbUnused, TRUE);
        }
}

std::vector<std::string> ControlPipeRecorder::Messages() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_messages;
}

bool ControlPipeRecorder::WaitForMessages(size_t count, DWORD timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_messages.size() >= count; });
}

bool ControlPipeRecorder::Listen(Instance& instance)
{
    instance.overlapped = {};
    instance.overlapped.hEvent = instance.event.get();
    ::ResetEvent(instance.event.get());
    if (::ConnectNamedPipe(instance.pipe.get(), &instance.overlapped))
        return ::SetEvent(instance.event.get()) != FALSE;
    const DWORD error = ::GetLastError();
    if (error == ERROR_PIPE_CONNECTED)
        return ::SetEvent(instance.event.get()) != FALSE;
    return error == ERROR_IO_PENDING;
}

bool ControlPipeRecorder::Take(Instance& instance, std::string& bytes)
{
    bytes.assign(kCbControlMessageMax, '\0');
    instance.overlapped = {};
    instance.overlapped.hEvent = instance.event.get();
    ::ResetEvent(instance.event.get());
    DWORD cbRead = 0;
    if (!::ReadFile(instance.pipe.get(), bytes.data(), kCbControlMessageMax, &cbRead,
                    &instance.overlapped)) {
        if (::GetLastError() != ERROR_IO_PENDING)
            return false;
        const HANDLE waits[] = {instance.event.get(), m_stop.get()};
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
            return false;
    }
    if (!::GetOverlappedResult(instance.pipe.get(), &instance.overlapped, &cbRead, FALSE))
        return false;
    bytes.resize(cbRead);
    return true;
}

void ControlPipeRecorder::Serve()
{
    std::vector<HANDLE> waits;
    for (Instance& instance : m_instances)
        waits.push_back(instance.event.get());
    waits.push_back(m_stop.get());
    for (;;) {
        const DWORD woke = ::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(),
                                                    FALSE, INFINITE);
        if (woke >= WAIT_OBJECT_0 + m_instances.size())
            return;
        // Sweep until nothing is connected any more, then publish: a client
        // that connected before another is in the same batch or an earlier one.
        std::vector<std::string> batch;
        for (bool found = true; found;) {
            found = false;
            for (Instance& instance : m_instances) {
                if (::WaitForSingleObject(instance.event.get(), 0) != WAIT_OBJECT_0)
                    continue;
                found = true;
                std::string bytes;
                if (Take(instance, bytes))
                    batch.push_back(std::move(bytes));
                if (::WaitForSingleObject(m_stop.get(), 0) == WAIT_OBJECT_0)
                    return;
                ::DisconnectNamedPipe(instance.pipe.get());
                if (!Listen(instance))
                    return;
            }
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_messages.insert(m_messages.end(), batch.begin(), batch.end());
        }
        m_changed.notify_all();
    }
}

}  // namespace hosttest
