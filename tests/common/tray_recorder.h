// A stand-in for the plug-in's tray pipe: serves the per-user pipe on a
// thread of its own, one message per connection, and records every balloon.
// An instance of the pipe is always listening, from construction on.
#pragma once

#include "win32/unique_handle.h"

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
    // Waits up to `milliseconds` until at least `count` balloons arrived.
    bool WaitFor(size_t count, DWORD milliseconds) const;

private:
    win32::UniqueFile CreateInstance() const;
    void Serve(win32::UniqueFile pipe);

    std::wstring m_name;
    bool m_ready = false;
    win32::UniqueHandleNull m_stop;
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::vector<Balloon> m_balloons;
};

}  // namespace testsupport
