// The bleach operation in this process against a stand-in service on pipes
// of the test's own, with the plug-in's tray pipe recorded.
#include "framework/build_seams.h"
#include "framework/ui_seam.h"
#include "ipc/bleach_protocol.h"
#include "program/bleach_operation.h"
#include "resources/graventa/resource.h"
#include "tests/common/open_recorder.h"
#include "tests/common/tray_recorder.h"
#include "tests/common/wait.h"
#include "tests/program/bleach_fake_service.h"
#include "win32/string_table.h"

#include <commctrl.h>

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using bleachtest::ControlMessage;
using bleachtest::FakeBleachService;

using testsupport::kPatienceMs;
using testsupport::WaitUntil;

std::wstring Text(UINT id)
{
    return win32::LoadTableString(::GetModuleHandleW(nullptr), id);
}

struct FindProgress {
    HWND found = nullptr;
};

BOOL CALLBACK FindProgressWindow(HWND window, LPARAM parameter)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == ::GetCurrentProcessId() && ::GetDlgItem(window, IDC_PROGRESS_STOP) &&
        ::GetDlgItem(window, IDC_PROGRESS_BAR)) {
        reinterpret_cast<FindProgress*>(parameter)->found = window;
        return FALSE;
    }
    return TRUE;
}

// The one bleach progress window of this process, or null.
HWND ProgressWindow()
{
    FindProgress search;
    ::EnumWindows(FindProgressWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int BarPosition(HWND window)
{
    return static_cast<int>(
        ::SendMessageW(::GetDlgItem(window, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0));
}

std::wstring ControlText(HWND window, int id)
{
    wchar_t text[256] = {};
    ::GetDlgItemTextW(window, id, text, ARRAYSIZE(text));
    return text;
}

class BleachClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tray.Ready());
        ASSERT_TRUE(::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, suffix.c_str()));
    }

    void TearDown() override { ::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, nullptr); }

    // Starts an operation on its own thread as the command window does, but
    // keeps a handle to the thread and its id.
    void Start()
    {
        auto operation = std::make_unique<CBleachAllOperation>(slot);
        ASSERT_TRUE(operation->CreateThread(true));
        threadId = static_cast<int32_t>(operation->ThreadId());
        HANDLE duplicate = nullptr;
        ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), operation->ThreadHandle(),
                                      ::GetCurrentProcess(), &duplicate, SYNCHRONIZE, FALSE, 0));
        thread.reset(duplicate);
        slot.Begin(operation.get());
        ASSERT_TRUE(operation.release()->ResumeThread());
    }

    // A bleach started against `service`, past its start and subscription,
    // with its (hidden) progress window up.
    void StartFollowing(FakeBleachService& service, HWND& window)
    {
        ASSERT_TRUE(service.Ready());
        Start();
        ASSERT_TRUE(service.WaitForMessages(2, kPatienceMs));
        HoldMutexHandle();
        ASSERT_TRUE(WaitUntil([&] { return (window = ProgressWindow()) != nullptr; }));
    }

    bool Ended() { return ::WaitForSingleObject(thread.get(), kPatienceMs) == WAIT_OBJECT_0; }

    // Once the bleach has started: a handle to its mutex, to see afterwards
    // whether it was released (signalled) or left abandoned.
    void HoldMutexHandle()
    {
        mutex.reset(::OpenMutexW(SYNCHRONIZE, FALSE, kBleachSystemMutex));
        ASSERT_TRUE(mutex);
    }

    void ExpectMutexReleased()
    {
        ASSERT_TRUE(mutex);
        EXPECT_EQ(::WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
        ::ReleaseMutex(mutex.get());
    }

    // The three requests of one bleach, all from this process and the
    // operation's thread.
    void ExpectFullConversation(const FakeBleachService& service)
    {
        const std::vector<ControlMessage> messages = service.Messages();
        ASSERT_EQ(messages.size(), 3u);
        EXPECT_EQ(messages[0].command, kStartBleach);
        EXPECT_EQ(messages[1].command, kSubscribeProgress);
        EXPECT_EQ(messages[2].command, kStopBleach);
        for (const ControlMessage& message : messages) {
            EXPECT_EQ(message.processId, static_cast<int32_t>(::GetCurrentProcessId()));
            EXPECT_EQ(message.threadId, threadId);
            // The text and its NUL, nothing more.
            EXPECT_EQ(message.bytes,
                      FormatControlMessage(message.command, message.processId, threadId));
        }
    }

    void ExpectBalloons(const std::wstring& endTitle)
    {
        ASSERT_TRUE(tray.WaitFor(2, kPatienceMs));
        const std::vector<testsupport::Balloon> balloons = tray.Balloons();
        ASSERT_EQ(balloons.size(), 2u);
        EXPECT_EQ(balloons[0].id, 42);
        EXPECT_EQ(balloons[0].title, Text(IDS_BALLOON_BLEACH_IN_PROGRESS));
        EXPECT_EQ(balloons[0].text, Text(IDS_BALLOON_BLEACH_CLICK));
        EXPECT_EQ(balloons[1].id, 44);
        EXPECT_EQ(balloons[1].title, endTitle);
        EXPECT_EQ(balloons[1].text, L"  ");
    }

    const std::wstring suffix = bleachtest::UniquePipeSuffix();
    testsupport::TrayRecorder tray;
    BleachSlot slot;
    win32::UniqueHandleNull thread;
    win32::UniqueHandleNull mutex;
    int32_t threadId = 0;
    const int32_t processId = static_cast<int32_t>(::GetCurrentProcessId());
};

TEST_F(BleachClientTest, CompleteBleachTalksInOrderAndEndsWithCompleteBalloon)
{
    FakeBleachService service(suffix);
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFollowing(service, window));
    ASSERT_TRUE(service.WaitForConnections(3, kPatienceMs));
    service.SendProgress(processId, threadId, 30);
    ASSERT_TRUE(WaitUntil([&] { return BarPosition(window) == 30; }));
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(ControlText(window, IDC_PROGRESS_TITLE), Text(IDS_BLEACH_IN_PROGRESS));
    EXPECT_EQ(ControlText(window, IDC_PROGRESS_STOP), Text(IDS_STOP_BLEACH));
    EXPECT_TRUE(slot.IsRunning());

    service.SendProgress(processId, threadId, 100);
    ASSERT_TRUE(Ended());
    ExpectFullConversation(service);
    ExpectBalloons(L"Free Space Bleaching complete");
    ExpectMutexReleased();
    EXPECT_FALSE(slot.IsRunning());
}

// Whoever serves a pipe name gets the client's connection: each pipe is
// opened so that the server can only identify the client, and without the
// right to make instances of the pipe (the service's pipes grant it to no user).
TEST_F(BleachClientTest, EveryPipeIsOpenedForIdentificationOnlyAndWithoutMakingInstances)
{
    testsupport::OpenRecorder opens;
    ASSERT_TRUE(opens.Installed());
    FakeBleachService service(suffix);
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFollowing(service, window));
    ASSERT_TRUE(service.WaitForConnections(3, kPatienceMs));
    service.SendProgress(processId, threadId, 100);
    ASSERT_TRUE(Ended());

    // Each with what it is used for, and FILE_WRITE_ATTRIBUTES for message mode.
    const struct {
        const wchar_t* pipe;
        DWORD needed;
    } rows[] = {{kBleachControlPipe, FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES},
                {kBleachStatusPipe, FILE_READ_DATA | FILE_WRITE_ATTRIBUTES},
                {kBleachProgressPipe, FILE_READ_DATA | FILE_WRITE_ATTRIBUTES}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.pipe));
        const std::vector<testsupport::RecordedOpen> made = opens.OpensOf(row.pipe + suffix);
        ASSERT_FALSE(made.empty());
        for (const testsupport::RecordedOpen& open : made) {
            EXPECT_TRUE(testsupport::IdentificationOnly(open));
            EXPECT_FALSE(testsupport::AsksToCreateInstances(open));
            EXPECT_EQ(row.needed, open.access & row.needed);
        }
    }
}

TEST_F(BleachClientTest, ReportsForOtherSendersAreIgnoredAndABrokenProgressPipeAborts)
{
    FakeBleachService service(suffix);
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFollowing(service, window));
    // Ended the loop, these would make it a complete bleach.
    service.SendProgress(processId, threadId + 1, 100);
    service.SendProgress(processId + 1, threadId, 100);
    service.SendProgress(processId, threadId, 40);
    ASSERT_TRUE(WaitUntil([&] { return BarPosition(window) == 40; }));
    EXPECT_TRUE(slot.IsRunning());

    // The service ends the connection when the wipe stops short.
    service.BreakProgress();
    ASSERT_TRUE(Ended());
    ExpectFullConversation(service);
    ExpectBalloons(L"Free Space Bleaching aborted");
    ExpectMutexReleased();
    EXPECT_FALSE(slot.IsRunning());
}

TEST_F(BleachClientTest, ShownOnRequestAndTheStopButtonEndsTheLoop)
{
    FakeBleachService service(suffix);
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFollowing(service, window));
    service.SendProgress(processId, threadId, 20);
    ASSERT_TRUE(WaitUntil([&] { return BarPosition(window) == 20; }));

    // 0xBABE11 and a second bleach request while one runs come here.
    EXPECT_TRUE(slot.ShowRunning());
    EXPECT_TRUE(::IsWindowVisible(window));

    // The service goes quiet; the button must still end the run.
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_STOP, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_PROGRESS_STOP)));
    ASSERT_TRUE(Ended());
    ExpectFullConversation(service);
    ExpectBalloons(L"Free Space Bleaching aborted");
    ExpectMutexReleased();
    EXPECT_FALSE(slot.ShowRunning());
}

TEST_F(BleachClientTest, ASecondBleachWhileOneHoldsTheMutexWarnsAndSendsNothing)
{
    FakeBleachService service(suffix);
    ASSERT_TRUE(service.Ready());
    win32::UniqueHandleNull held(::CreateMutexW(nullptr, TRUE, kBleachSystemMutex));
    ASSERT_TRUE(held);
    ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    std::vector<std::wstring> warnings;
    fw::ScopedUiResponder responder([&](const fw::UiRequest& request) -> INT_PTR {
        if (request.kind == fw::UiRequest::Kind::ModalDialog &&
            request.templateId == IDD_SHRED_WARN) {
            warnings.push_back(ControlText(request.window, IDC_WARN_TEXT));
            return IDOK;
        }
        return IDCANCEL;
    });
    Start();
    ASSERT_TRUE(Ended());

    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0],
              L"A Free Space Bleaching is already in progress. Please wait for this to complete "
              L"before starting another Free Space Bleach operation.");
    EXPECT_EQ(service.Connections(), 0);
    EXPECT_TRUE(service.Messages().empty());
    EXPECT_TRUE(tray.Balloons().empty());
    EXPECT_FALSE(slot.IsRunning());
    ::ReleaseMutex(held.get());
}

TEST_F(BleachClientTest, WithoutTheServiceTheRunEndsAbortedAndFreesTheMutex)
{
    Start();
    ASSERT_TRUE(Ended());
    ExpectBalloons(L"Free Space Bleaching aborted");
    EXPECT_FALSE(slot.IsRunning());

    // Nobody holds the mutex any more: a new one is made, not opened.
    win32::UniqueHandleNull again(::CreateMutexW(nullptr, TRUE, kBleachSystemMutex));
    ASSERT_TRUE(again);
    EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ::ReleaseMutex(again.get());
}

}  // namespace
