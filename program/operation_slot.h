// What the command window and one running operation of a kind share: the
// running flag and, under a lock, the operation itself. The operation
// detaches itself at its end before it deletes itself, so the window never
// reaches a dead one.
#pragma once

#include <atomic>
#include <mutex>

template <typename Operation>
class OperationSlot {
public:
    bool IsRunning() const { return m_running.load() != 0; }

    // Window thread: marks `operation` as the running one (before its thread
    // starts).
    void Begin(Operation* operation)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_operation = operation;
        m_running.store(1);
    }

    // The operation's thread could not be started.
    void Abandon()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_operation = nullptr;
        m_running.store(0);
    }

protected:
    // Runs `action` on the running operation under the lock; false when none
    // runs.
    template <typename Action>
    bool WithRunning(Action&& action)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_running.load() || !m_operation)
            return false;
        action(*m_operation);
        return true;
    }

    // The operation's thread, at its end: `atEnd` runs under the lock, then
    // the operation is detached and the running flag cleared.
    template <typename AtEnd>
    void Detach(Operation* operation, AtEnd&& atEnd)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        atEnd(*operation);
        if (m_operation == operation) {
            m_operation = nullptr;
            m_running.store(0);
        }
    }

private:
    std::mutex m_lock;
    std::atomic<int> m_running{0};
    Operation* m_operation = nullptr;
};
