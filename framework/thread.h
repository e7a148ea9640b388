// Thread objects: InitInstance is the first thing the new thread runs. When it
// returns TRUE the thread runs a message loop until WM_QUIT; either way
// ExitInstance runs last and its result is the thread's exit code.
//
// Call order: construct, CreateThread (suspended or not), ResumeThread, then
// PostQuit/WaitForEnd from other threads. A thread whose auto-delete flag is
// set deletes its object when it ends: after a successful ResumeThread the
// creator must not touch such an object again. When CreateThread fails the
// object still belongs to the caller.
#pragma once

#include "win32/unique_handle.h"

namespace fw {

class CThread {
public:
    CThread() = default;
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    bool CreateThread(bool suspended);
    bool ResumeThread();
    // Creates suspended, then resumes: the usual start.
    bool Start() { return CreateThread(true) && ResumeThread(); }

    // Asks the thread's message loop to end; false when the message could not
    // be queued (no thread, or it has already ended).
    bool PostQuit(int exitCode = 0) const;
    // WAIT_OBJECT_0 when the thread has ended (or never existed), WAIT_TIMEOUT.
    DWORD WaitForEnd(DWORD milliseconds) const;
    bool IsRunning() const { return m_thread && WaitForEnd(0) == WAIT_TIMEOUT; }

    HANDLE ThreadHandle() const { return m_thread.get(); }
    DWORD ThreadId() const { return m_threadId; }

    bool GetAutoDelete() const { return m_autoDelete; }
    void SetAutoDelete(bool autoDelete) { m_autoDelete = autoDelete; }

protected:
    // The thread's body or its set-up; TRUE runs the message loop.
    virtual BOOL InitInstance() = 0;
    // Runs last on the thread, also after a failed InitInstance.
    virtual int ExitInstance() { return 0; }
    // Gives a message to modeless dialogs before it is dispatched (so that Tab,
    // Enter and Escape work in them); true when it was consumed.
    virtual bool PreTranslateMessage(MSG& msg);
    // The message loop; returns the WM_QUIT code.
    virtual int Run();

private:
    static DWORD WINAPI ThreadProc(void* parameter);

    win32::UniqueHandleNull m_thread;
    DWORD m_threadId = 0;
    bool m_autoDelete = false;
};

// A thread that owns windows and runs a message loop; the object stays until
// its owner deletes it.
class CUiThread : public CThread {
public:
    CUiThread() { SetAutoDelete(false); }
};

// A job on a thread of its own: InitInstance is the job and returns FALSE, so
// that ExitInstance follows at once. The object deletes itself when done.
class CWorkerThread : public CThread {
public:
    CWorkerThread() { SetAutoDelete(true); }
};

}  // namespace fw
