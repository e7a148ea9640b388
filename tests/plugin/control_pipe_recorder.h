// A stand-in for the bleach service's control pipe: a few instances listen
// at once, so that clients coming in quick succession (a page hidden and the
// next one shown) always find one, and every message is kept as it came.
// Messages are published in batches: once a message is in, every client
// that finished writing before it connected is in too.
#pragma once

#include "win32/unique_handle.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hosttest {

class ControlPipeRecorder {
public:
    explicit ControlPipeRecorder(std::wstring name);
    ~ControlPipeRecorder();
    ControlPipeRecorder(const ControlPipeRecorder&) = delete;
    ControlPipeRecorder& operator=(const ControlPipeRecorder&) = delete;

    bool Ready() const { return m_ready; }
    // Every message's bytes; within a batch, not necessarily in time order.
    std::vector<std::string> Messages() const;
    bool WaitForMessages(size_t count, DWORD timeoutMs) const;

private:
    struct Instance {
        win32::UniqueFile pipe;
        win32::UniqueHandleNull event;
        OVERLAPPED overlapped = {};
    };

    bool Listen(Instance& instance);
    // The one message of the client connected to `instance`, when it sent one.
    bool Take(Instance& instance, std::string& bytes);
    void Serve();

    bool m_ready = false;
    win32::UniqueHandleNull m_stop;
    std::vector<Instance> m_instances;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_messages;
    std::thread m_thread;
};

}  // namespace hosttest
