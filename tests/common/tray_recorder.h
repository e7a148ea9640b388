// A stand-in for the plug-in's tray pipe: records every balloon. An instance
// of the pipe is always listening, from construction on, and each sender is
// read on a thread of its own, so a new connection is accepted while one is
// being read. With HoldNextBalloon the next sender stays blocked in its write
// until ReleaseHeldBalloon, which pins a run where it announces itself.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct Balloon {
    std::wstring title;
    std::wstring text;
    int id = 0;
};

class TrayRecorder {
public:
    TrayRecorder();
    ~TrayRecorder();
    TrayRecorder(const TrayRecorder&) = delete;
    TrayRecorder& operator=(const TrayRecorder&) = delete;

    bool Ready() const { return m_ready; }
    std::vector<Balloon> Balloons() const;
    std::vector<int> Ids() const;
    size_t CountWithId(int id) const;
    // Waits until at least `count` balloons arrived.
    bool WaitFor(size_t count, DWORD milliseconds) const;
    // Waits until `count` balloons with `id` have arrived.
    bool WaitForBalloon(int id, size_t count = 1) const;

    void HoldNextBalloon();
    // Waits until a held sender is connected.
    bool WaitForHeldSender();
    void ReleaseHeldBalloon();

private:
    HANDLE CreateInstance() const;
    void Listen(HANDLE pipe);
    void Serve(HANDLE pipe);
    size_t CountLocked(int id) const;

    std::wstring m_name;
    bool m_ready = false;
    bool m_stopping = false;
    bool m_holdNext = false;
    bool m_holding = false;
    bool m_released = false;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<Balloon> m_balloons;
    std::vector<std::thread> m_servers;
    std::thread m_listener;
};

}  // namespace testsupport
