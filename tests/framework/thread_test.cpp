#include "framework/thread.h"

#include "tests/framework/test_dialog.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>

namespace {

using fwtest::CHostThread;

TEST(UiThread, RunsItsLoopUntilQuitThenExitInstanceEndsIt)
{
    CHostThread host;
    ASSERT_TRUE(host.StartAndWait());
    const HWND hwnd = host.dialog.GetHwnd();
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(host.ThreadId(), ::GetWindowThreadProcessId(hwnd, nullptr));
    EXPECT_NE(::GetCurrentThreadId(), host.ThreadId());
    EXPECT_TRUE(host.IsRunning());

    // The loop is alive: a message sent from here is answered over there.
    EXPECT_EQ(L"set by OnInitDialog", fwtest::TextOf(::GetDlgItem(hwnd, IDC_TEST_TEXT)));

    ASSERT_TRUE(host.PostQuit());
    ASSERT_EQ(WAIT_OBJECT_0, host.WaitForEnd(INFINITE));
    EXPECT_TRUE(host.exitRan);
    EXPECT_TRUE(host.windowAliveAtExit);
    EXPECT_FALSE(::IsWindow(hwnd));
    DWORD exitCode = 0;
    ASSERT_TRUE(::GetExitCodeThread(host.ThreadHandle(), &exitCode));
    EXPECT_EQ(42u, exitCode);
    EXPECT_FALSE(host.IsRunning());
}

TEST(UiThread, FailedInitInstanceSkipsTheLoopButStillRunsExitInstance)
{
    CHostThread host(IDD_MISSING);
    EXPECT_FALSE(host.StartAndWait());
    ASSERT_EQ(WAIT_OBJECT_0, host.WaitForEnd(INFINITE));
    EXPECT_TRUE(host.exitRan);
    EXPECT_FALSE(host.windowAliveAtExit);
    EXPECT_FALSE(host.PostQuit());
}

// Records the order of its life on a shared string; ends by deleting itself.
class CRecordingWorker : public fw::CWorkerThread {
public:
    CRecordingWorker(std::wstring& log, HANDLE gone, bool throwInBody)
        : m_log(log), m_gone(gone), m_throw(throwInBody)
    {
    }
    ~CRecordingWorker() override
    {
        m_log += L"deleted;";
        ::SetEvent(m_gone);
    }

protected:
    BOOL InitInstance() override
    {
        m_log += L"body;";
        if (m_throw)
            throw std::runtime_error("body failed");
        return FALSE;
    }
    int ExitInstance() override
    {
        m_log += L"exit;";
        return 0;
    }

private:
    std::wstring& m_log;
    HANDLE m_gone;
    bool m_throw;
};

TEST(WorkerThread, RunsSuspendedThenResumedAndDeletesItselfAfterExitInstance)
{
    for (const bool throwInBody : {false, true}) {
        std::wstring log;
        win32::UniqueHandleNull gone(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        auto* worker = new CRecordingWorker(log, gone.get(), throwInBody);
        ASSERT_TRUE(worker->GetAutoDelete());
        ASSERT_TRUE(worker->CreateThread(true));
        // Created suspended: the body cannot have run yet.
        EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(gone.get(), 0));
        EXPECT_EQ(L"", log);
        win32::UniqueHandleNull thread;
        ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), worker->ThreadHandle(),
                                      ::GetCurrentProcess(), thread.put(), SYNCHRONIZE, FALSE, 0));
        ASSERT_TRUE(worker->ResumeThread());
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.get(), INFINITE));
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(gone.get(), 0));
        EXPECT_EQ(L"body;exit;deleted;", log) << "throwing body: " << throwInBody;
    }
}

}  // namespace
