// A stand-in for the bleach service on pipes with a suffix of the test's
// own: one connection on each of the three pipes. It records every control
// message, answers each on the status pipe with status 1 (as the service
// does for the three requests a bleach sends), and writes the progress
// reports the test hands it, in order; BreakProgress ends the progress
// connection the way the service does when a wipe stops short.
#pragma once

#include "win32/unique_handle.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bleachtest {

struct ControlMessage {
    int32_t command = 0;
    int32_t processId = 0;
    int32_t threadId = 0;
    // Every byte of the pipe message as it came.
    std::string bytes;
};

// A suffix no other test program uses.
std::wstring UniquePipeSuffix();

class FakeBleachService {
public:
    explicit FakeBleachService(const std::wstring& suffix);
    ~FakeBleachService();
    FakeBleachService(const FakeBleachService&) = delete;
    FakeBleachService& operator=(const FakeBleachService&) = delete;

    bool Ready() const { return m_ready; }
    std::vector<ControlMessage> Messages() const;
    // Waits until `count` control messages have arrived.
    bool WaitForMessages(size_t count, DWORD timeoutMs) const;
    // How many of the three pipes a client has connected to.
    int Connections() const;
    bool WaitForConnections(int count, DWORD timeoutMs) const;

    void SendProgress(int32_t processId, int32_t threadId, int32_t percent);
    void BreakProgress();

private:
    struct Outgoing {
        bool breakConnection = false;
        int32_t processId = 0;
        int32_t threadId = 0;
        int32_t percent = 0;
    };

    bool Connect(HANDLE pipe, HANDLE ioEvent);
    void ServeControl();
    void ServeStatus();
    void ServeProgress();
    void Close(win32::UniqueFile& pipe);

    bool m_ready = false;
    win32::UniqueHandleNull m_stop;
    win32::UniqueFile m_control;
    win32::UniqueFile m_status;
    win32::UniqueFile m_progress;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    bool m_stopping = false;
    int m_connections = 0;
    std::vector<ControlMessage> m_messages;
    std::deque<Outgoing> m_outgoing;
    std::vector<std::thread> m_threads;
};

}  // namespace bleachtest
