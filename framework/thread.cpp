#include "framework/thread.h"

namespace fw {

CThread::~CThread() = default;

bool CThread::CreateThread(bool suspended)
{
    if (m_thread)
        return false;
    DWORD threadId = 0;
    // Always created suspended, so that the id and handle are stored before
    // the thread can run (and, for auto-delete objects, delete itself).
    HANDLE thread =
        ::CreateThread(nullptr, 0, &CThread::ThreadProc, this, CREATE_SUSPENDED, &threadId);
    if (!thread)
        return false;
    m_thread.reset(thread);
    m_threadId = threadId;
    return suspended || ResumeThread();
}

bool CThread::ResumeThread()
{
    // Read before resuming: an auto-delete object may be gone right after.
    const HANDLE thread = m_thread.get();
    return thread && ::ResumeThread(thread) != static_cast<DWORD>(-1);
}

bool CThread::PostQuit(int exitCode) const
{
    return m_threadId != 0 &&
           ::PostThreadMessageW(m_threadId, WM_QUIT, static_cast<WPARAM>(exitCode), 0) != FALSE;
}

DWORD CThread::WaitForEnd(DWORD milliseconds) const
{
    if (!m_thread)
        return WAIT_OBJECT_0;
    return ::WaitForSingleObject(m_thread.get(), milliseconds);
}

bool CThread::PreTranslateMessage(MSG& msg)
{
    if (!msg.hwnd)
        return false;
    const HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (!root)
        return false;
    wchar_t className[16] = {};
    if (!::GetClassNameW(root, className, ARRAYSIZE(className)) ||
        ::lstrcmpW(className, L"#32770") != 0)
        return false;
    return ::IsDialogMessageW(root, &msg) != FALSE;
}

int CThread::Run()
{
    MSG msg;
    for (;;) {
        const BOOL result = ::GetMessageW(&msg, nullptr, 0, 0);
        if (result == 0)
            return static_cast<int>(msg.wParam);
        if (result == -1)
            return -1;
        if (!PreTranslateMessage(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

DWORD WINAPI CThread::ThreadProc(void* parameter)
{
    auto* self = static_cast<CThread*>(parameter);
    // Make the message queue now, so that a WM_QUIT posted while InitInstance
    // runs is not lost.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);

    BOOL initialised = FALSE;
    try {
        initialised = self->InitInstance();
    } catch (...) {
        initialised = FALSE;
    }
    if (initialised) {
        try {
            self->Run();
        } catch (...) {
        }
    }
    int exitCode = -1;
    try {
        exitCode = self->ExitInstance();
    } catch (...) {
        exitCode = -1;
    }
    if (self->m_autoDelete) {
        try {
            delete self;
        } catch (...) {
        }
    }
    return static_cast<DWORD>(exitCode);
}

}  // namespace fw
