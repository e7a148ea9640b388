#include "tests/common/tray_recorder.h"

#include "ipc/tray_notify_client.h"
#include "tests/common/wait.h"
#include "win32/unique_handle.h"

#include <algorithm>
#include <chrono>

namespace testsupport {

namespace {

Balloon Parse(const std::wstring& text)
{
    Balloon balloon;
    const size_t cchSeparator = ::wcslen(kTrayMessageSeparator);
    const size_t first = text.find(kTrayMessageSeparator);
    const size_t second = first == std::wstring::npos
                              ? std::wstring::npos
                              : text.find(kTrayMessageSeparator, first + cchSeparator);
    if (second == std::wstring::npos) {
        balloon.title = text;
        return balloon;
    }
    balloon.title = text.substr(0, first);
    balloon.text = text.substr(first + cchSeparator, second - first - cchSeparator);
    balloon.id = ::_wtoi(text.c_str() + second + cchSeparator);
    return balloon;
}

}  // namespace

TrayRecorder::TrayRecorder()
{
    if (!TrayNotifyPipeName(m_name))
        return;
    // The first instance listens before the constructor returns, as the real
    // tray's does: a sender that finds no pipe at all gives up at once.
    const HANDLE first = CreateInstance();
    if (first == INVALID_HANDLE_VALUE)
        return;
    m_ready = true;
    m_listener = std::thread([this, first] { Listen(first); });
}

TrayRecorder::~TrayRecorder()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_listener.joinable()) {
        // A connection of our own ends the wait for the next sender.
        WaitUntil(
            [&] {
                win32::UniqueFile wake(::CreateFileW(m_name.c_str(), GENERIC_WRITE, 0, nullptr,
                                                     OPEN_EXISTING, 0, nullptr));
                return static_cast<bool>(wake);
            },
            5000);
        m_listener.join();
    }
    for (auto& server : m_servers)
        server.join();
}

HANDLE TrayRecorder::CreateInstance() const
{
    // A tiny buffer: a sender's write completes only once it is read.
    return ::CreateNamedPipeW(m_name.c_str(), PIPE_ACCESS_INBOUND,
                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                              PIPE_UNLIMITED_INSTANCES, 1, 1, 0, nullptr);
}

void TrayRecorder::Listen(HANDLE first)
{
    win32::UniqueFile pipe(first);
    while (pipe) {
        const bool connected =
            ::ConnectNamedPipe(pipe.get(), nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED;
        // The next instance listens before this one is handed on, so that no
        // sender ever finds the pipe missing.
        win32::UniqueFile next(CreateInstance());
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_stopping)
            return;
        if (connected) {
            const HANDLE served = pipe.release();
            m_servers.emplace_back([this, served] { Serve(served); });
        }
        pipe = std::move(next);
    }
}

void TrayRecorder::Serve(HANDLE served)
{
    win32::UniqueFile pipe(served);
    {
        std::unique_lock<std::mutex> guard(m_lock);
        if (m_holdNext) {
            m_holdNext = false;
            m_holding = true;
            m_changed.notify_all();
            m_changed.wait(guard, [this] { return m_released || m_stopping; });
            m_holding = false;
        }
    }
    std::vector<char> bytes;
    char chunk[4096];
    for (;;) {
        DWORD cbRead = 0;
        const BOOL ok = ::ReadFile(pipe.get(), chunk, sizeof(chunk), &cbRead, nullptr);
        bytes.insert(bytes.end(), chunk, chunk + cbRead);
        if (ok || ::GetLastError() != ERROR_MORE_DATA)
            break;
    }
    ::DisconnectNamedPipe(pipe.get());
    if (bytes.empty())
        return;  // our own wake-up connection
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy_n(bytes.begin(), text.size() * sizeof(wchar_t), reinterpret_cast<char*>(text.data()));
    text.resize(std::min(text.size(), text.find(L'\0')));
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_balloons.push_back(Parse(text));
    }
    m_changed.notify_all();
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

size_t TrayRecorder::CountLocked(int id) const
{
    return static_cast<size_t>(std::count_if(m_balloons.begin(), m_balloons.end(),
                                             [id](const Balloon& b) { return b.id == id; }));
}

size_t TrayRecorder::CountWithId(int id) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return CountLocked(id);
}

bool TrayRecorder::WaitFor(size_t count, DWORD milliseconds) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(milliseconds),
                              [&] { return m_balloons.size() >= count; });
}

bool TrayRecorder::WaitForBalloon(int id, size_t count) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(kPatienceMs),
                              [&] { return CountLocked(id) >= count; });
}

void TrayRecorder::HoldNextBalloon()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_holdNext = true;
    m_released = false;
}

bool TrayRecorder::WaitForHeldSender()
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(kPatienceMs),
                              [this] { return m_holding; });
}

void TrayRecorder::ReleaseHeldBalloon()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_released = true;
    }
    m_changed.notify_all();
}

}  // namespace testsupport
