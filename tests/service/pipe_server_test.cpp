// The bleach pipe server in-process, driven by raw clients over its real
// pipes (each test on pipes of its own).
#include "engine/progress_reporter.h"
#include "shred/shred_manager.h"
#include "tests/common/open_recorder.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"
#include "tests/service/service_test_support.h"

#include <atomic>
#include <gmock/gmock.h>
#include <mutex>
#include <optional>
#include <vector>

using servicetest::MessageBytes;
using servicetest::PipeClient;
using servicetest::ReplyBytes;
using servicetest::SilentManager;
using servicetest::TestServer;

namespace {

// This process's id: the service takes a control message only in the name of
// the process that sends it.
std::wstring Self()
{
    return std::to_wstring(::GetCurrentProcessId());
}

std::string Control(int command, int tid)
{
    return MessageBytes(L"$OVSC$:" + std::to_wstring(command) + L":" + Self() + L":" +
                        std::to_wstring(tid));
}

// The reply bytes for this process's thread `tid`.
std::string Reply(int tid, int value)
{
    return ReplyBytes(Self() + L":" + std::to_wstring(tid) + L":" + std::to_wstring(value));
}

class PipeServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(control.Open(server.Names().control, true));
    }

    // Reads progress reports until one carries `text`; false when the
    // connection ends first.
    bool ReadUntil(PipeClient& progress, const std::string& expected)
    {
        for (int i = 0; i < 30; ++i) {
            std::string report;
            if (!progress.Read(report))
                return false;
            if (report == expected)
                return true;
        }
        return false;
    }

    TestServer server;
    PipeClient control;
};

TEST_F(PipeServerTest, StartBindsTheStatusConnectionWithTextAndOneZeroByte)
{
    ASSERT_TRUE(control.Write(Control(0x1020, 34)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    // Each character of the text as two bytes, then ONE zero byte.
    const std::wstring text = Self() + L":34:1";
    std::string expected;
    for (wchar_t c : text)
        expected += std::string{static_cast<char>(c), '\0'};
    expected += '\0';
    EXPECT_EQ(expected, reply);
    // The start asks the service loop for a wipe.
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(server.BleachEvent(), 0));
}

TEST_F(PipeServerTest, RepliesComeInQueueOrderAndStopEndsTheStatusConnection)
{
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    for (int command : {0x1020, 0x1030, 0x1040, 0x1010})
        ASSERT_TRUE(control.Write(Control(command, 6)));

    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(6, 1), reply);  // start
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(6, 1), reply);  // subscribe
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(6, 1), reply);  // unsubscribe
    EXPECT_TRUE(server.Server().Subscribers().empty());
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(6, 1), reply);  // stop
    DWORD error = 0;
    EXPECT_FALSE(status.Read(reply, error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), error);
    EXPECT_EQ(0u, server.Server().QueuedRequests());
}

TEST_F(PipeServerTest, InvalidMessagesGetNoReplyAndTheNextValidOneWorks)
{
    ASSERT_TRUE(control.Write(MessageBytes(L"$ovsc$:4128:" + Self() + L":8")));
    ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$:4113:" + Self() + L":8")));
    ASSERT_TRUE(control.Write(MessageBytes(L"OVSC:4128:" + Self() + L":8")));
    ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$")));
    ASSERT_TRUE(control.Write(std::string(9000, 'x')));  // longer than any message
    ASSERT_TRUE(control.Write(Control(0x1020, 8)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(8, 1), reply);
    EXPECT_TRUE(server.WaitForQueued(0));
}

TEST_F(PipeServerTest, AMessageIsTakenOnlyUpToTheBytesOfItsOwnRead)
{
    // A long (invalid) message leaves its text in the reader's buffer; a
    // shorter one without its NUL must not pick up the rest of it.
    ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$:9999:" + std::wstring(40, L'1'))));
    ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$:4128:" + Self() + L":4", false)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(4, 1), reply);
}

TEST_F(PipeServerTest, AMessageFillingTheWholeBufferKeepsItsLastCharacter)
{
    // Exactly the longest message, without a NUL: the thread id is its last
    // character (the digit reader skips the spaces before it), so a
    // terminator put inside the message instead of after it reads a thread
    // id of 0.
    const std::wstring head = L"$OVSC$:4128:" + Self() + L":";
    const size_t cchMessage = kCbControlMessageMax / sizeof(wchar_t);
    const std::wstring text = head + std::wstring(cchMessage - head.size() - 1, L' ') + L"4";
    ASSERT_EQ(static_cast<size_t>(kCbControlMessageMax), text.size() * sizeof(wchar_t));
    ASSERT_TRUE(control.Write(MessageBytes(text, false)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(4, 1), reply);
}

TEST_F(PipeServerTest, AnotherSendersRequestWaitsForItsOwnStatusConnection)
{
    PipeClient other;
    ASSERT_TRUE(other.Open(server.Names().control, true));
    ASSERT_TRUE(control.Write(Control(0x1020, 1)));
    ASSERT_TRUE(server.WaitForQueued(1));
    ASSERT_TRUE(other.Write(Control(0x1020, 2)));
    ASSERT_TRUE(server.WaitForQueued(2));
    ASSERT_TRUE(control.Write(Control(0x1030, 1)));

    PipeClient first;
    ASSERT_TRUE(first.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(first.Read(reply));
    EXPECT_EQ(Reply(1, 1), reply);
    // Sender 2's start is left to a fresh connection; the connection bound
    // to sender 1 answers only sender 1's subscribe.
    PipeClient second;
    ASSERT_TRUE(second.Open(server.Names().status, false));
    ASSERT_TRUE(second.Read(reply));
    EXPECT_EQ(Reply(2, 1), reply);
    ASSERT_TRUE(first.Read(reply));
    EXPECT_EQ(Reply(1, 1), reply);
    ASSERT_EQ(1u, server.Server().Subscribers().size());
    EXPECT_EQ(static_cast<int32_t>(::GetCurrentProcessId()),
              server.Server().Subscribers()[0].processId);
    EXPECT_EQ(1, server.Server().Subscribers()[0].threadId);
}

TEST_F(PipeServerTest, ADeadClientsRequestsAreDroppedWithItsControlConnection)
{
    {
        PipeClient dead;
        ASSERT_TRUE(dead.Open(server.Names().control, true));
        ASSERT_TRUE(dead.Write(Control(0x1020, 1)));
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(server.BleachEvent(), 20000));
    }
    ASSERT_TRUE(server.WaitForQueued(0)) << "the dead client's start is still queued";

    ASSERT_TRUE(control.Write(Control(0x1020, 2)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(2, 1), reply);
}

// A client in another process sends one request and stalls: it keeps its
// control connection and never opens the status pipe.
class StalledClientTest : public PipeServerTest, public ::testing::WithParamInterface<int> {
protected:
    static constexpr DWORD kReplyBoundMs = static_cast<DWORD>(2 * kStatusConnectionWaitMs);
};

TEST_P(StalledClientTest, TheNextClientIsAnsweredOnItsOwnConnectionAndTheStalledRequestGoes)
{
    servicetest::StalledClient stalled(server.Names().control, GetParam(), 1);
    ASSERT_TRUE(stalled.Started());
    ASSERT_TRUE(server.WaitForQueued(1));

    ASSERT_TRUE(control.Write(Control(0x1020, 2)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    DWORD error = 0;
    ASSERT_TRUE(status.Read(reply, error, kReplyBoundMs)) << error;
    EXPECT_EQ(Reply(2, 1), reply);
    ASSERT_TRUE(control.Write(Control(0x1030, 2)));
    ASSERT_TRUE(status.Read(reply, error, kReplyBoundMs)) << error;
    EXPECT_EQ(Reply(2, 1), reply);

    // Dropped in time although its sender is still connected.
    EXPECT_TRUE(server.WaitForQueued(0));
    EXPECT_TRUE(stalled.Running());
}

INSTANTIATE_TEST_SUITE_P(StartSubscribeAndStop, StalledClientTest,
                         ::testing::Values(0x1020, 0x1030, 0x1010));

TEST_F(PipeServerTest, ADeadClientsWaitingSubscriberIsNotHandedToTheNextClient)
{
    {
        PipeClient deadControl;
        PipeClient deadStatus;
        ASSERT_TRUE(deadControl.Open(server.Names().control, true));
        ASSERT_TRUE(deadStatus.Open(server.Names().status, false));
        ASSERT_TRUE(deadControl.Write(Control(0x1020, 1)));
        ASSERT_TRUE(deadControl.Write(Control(0x1030, 1)));
        std::string reply;
        ASSERT_TRUE(deadStatus.Read(reply));
        ASSERT_TRUE(deadStatus.Read(reply));
        ASSERT_EQ(1u, server.Server().Subscribers().size());
    }  // gone before it opened its progress pipe
    for (int i = 0; i < 1000 && !server.Server().Subscribers().empty(); ++i)
        ::Sleep(10);
    ASSERT_TRUE(server.Server().Subscribers().empty()) << "the dead client's subscriber stayed";

    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    ASSERT_TRUE(control.Write(Control(0x1020, 2)));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    ASSERT_EQ(Reply(2, 1), reply);
    ASSERT_TRUE(control.Write(Control(0x1030, 2)));
    ASSERT_TRUE(status.Read(reply));
    ASSERT_EQ(Reply(2, 1), reply);

    PipeClient progress;
    ASSERT_TRUE(progress.Open(server.Names().progress, false));
    ASSERT_TRUE(progress.Read(reply));
    EXPECT_EQ(Reply(2, 0), reply);
}

TEST_F(PipeServerTest, ProgressWithoutASubscriberReportsZerosWhileNoWipeRuns)
{
    PipeClient progress;
    ASSERT_TRUE(progress.Open(server.Names().progress, false));
    std::string report;
    ASSERT_TRUE(progress.Read(report));
    EXPECT_EQ(ReplyBytes(L"0:0:0"), report);
    EXPECT_EQ(11u, report.size());
}

class SubscribedClientTest : public PipeServerTest {
protected:
    void SetUp() override
    {
        PipeServerTest::SetUp();
        ASSERT_TRUE(status.Open(server.Names().status, false));
        ASSERT_TRUE(control.Write(Control(0x1020, 41)));
        std::string reply;
        ASSERT_TRUE(status.Read(reply));
        ASSERT_TRUE(control.Write(Control(0x1030, 41)));
        ASSERT_TRUE(status.Read(reply));
        ASSERT_TRUE(progress.Open(server.Names().progress, false));
    }

    void TearDown() override
    {
        if (began)
            server.Server().EndWipe();
    }

    void BeginWipe(int storedPercent)
    {
        manager.GetProgress()->SetStoredPercent(storedPercent);
        server.Server().BeginWipe(&manager);
        began = true;
    }
    void EndWipe(int storedPercent)
    {
        manager.GetProgress()->SetStoredPercent(storedPercent);
        server.Server().EndWipe();
        began = false;
    }

    PipeClient status;
    PipeClient progress;
    SilentManager manager;
    bool began = false;
};

TEST_F(SubscribedClientTest, ReportsFollowItsWipeAndAFinishedWipeKeepsSaying100)
{
    std::string report;
    ASSERT_TRUE(progress.Read(report));
    EXPECT_EQ(Reply(41, 0), report);  // not begun yet
    BeginWipe(42);
    EXPECT_TRUE(ReadUntil(progress, Reply(41, 42)));
    EndWipe(100);
    EXPECT_TRUE(ReadUntil(progress, Reply(41, 100)));
    ASSERT_TRUE(progress.Read(report));
    EXPECT_EQ(Reply(41, 100), report);
}

TEST_F(SubscribedClientTest, AWipeEndingShortOf100EndsTheProgressConnection)
{
    BeginWipe(42);
    ASSERT_TRUE(ReadUntil(progress, Reply(41, 42)));
    EndWipe(42);
    std::string report;
    DWORD error = 0;
    for (int i = 0; i < 5 && progress.Read(report, error); ++i)
        EXPECT_EQ(Reply(41, 42), report);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), error);
}

TEST_F(SubscribedClientTest, StopCancelsTheRunningWipeAndEndsTheStatusConnection)
{
    BeginWipe(10);
    ASSERT_TRUE(control.Write(Control(0x1010, 41)));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(41, 1), reply);
    EXPECT_TRUE(manager.GetProgress()->IsCancelRequested());
    DWORD error = 0;
    EXPECT_FALSE(status.Read(reply, error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), error);
}

TEST_F(SubscribedClientTest, AStopAfterTheWipeIsStillAnsweredAndCancelsNothingLater)
{
    BeginWipe(50);
    EndWipe(100);
    ASSERT_TRUE(control.Write(Control(0x1010, 41)));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(41, 1), reply);
    SilentManager next;
    server.Server().BeginWipe(&next);
    EXPECT_FALSE(next.GetProgress()->IsCancelRequested());
    server.Server().EndWipe();
}

TEST_F(PipeServerTest, AServiceStopCancelsTheRunningWipeAndAnyBegunAfterIt)
{
    SilentManager running;
    server.Server().BeginWipe(&running);
    server.Server().RequestServiceStop();
    EXPECT_TRUE(running.GetProgress()->IsCancelRequested());
    server.Server().EndWipe();
    SilentManager late;
    server.Server().BeginWipe(&late);
    EXPECT_TRUE(late.GetProgress()->IsCancelRequested());
    server.Server().EndWipe();
}

// A client in another process subscribed first and never opens its progress
// pipe: a progress connection follows only a subscriber of its own process.
TEST(TwoClientsTest, AProgressConnectionFollowsOnlyItsOwnProcesssSubscriber)
{
    const struct {
        const char* name;
        bool subscribe;
        std::string expected;
    } rows[] = {
        {"ItsOwnSubscriber", true, Reply(41, 0)},
        {"NoneOfItsOwn", false, ReplyBytes(L"0:0:0")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestServer server;
        ASSERT_TRUE(server.Start());
        servicetest::StalledClient other(server.Names().control, 0x1020, 5, server.Names().status,
                                         {0x1030});
        ASSERT_TRUE(other.Started());
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] { return server.Server().Subscribers().size() == 1; }, 20000))
            << "the other client never subscribed";
        const int32_t otherProcess = server.Server().Subscribers()[0].processId;
        ASSERT_NE(static_cast<int32_t>(::GetCurrentProcessId()), otherProcess);

        PipeClient control;
        PipeClient status;
        if (row.subscribe) {
            ASSERT_TRUE(control.Open(server.Names().control, true));
            ASSERT_TRUE(control.Write(Control(0x1020, 41)));
            ASSERT_TRUE(status.Open(server.Names().status, false));
            std::string reply;
            ASSERT_TRUE(status.Read(reply));
            ASSERT_TRUE(control.Write(Control(0x1030, 41)));
            ASSERT_TRUE(status.Read(reply));
            ASSERT_EQ(Reply(41, 1), reply);
        }
        PipeClient progress;
        ASSERT_TRUE(progress.Open(server.Names().progress, false));
        std::string report;
        ASSERT_TRUE(progress.Read(report));
        EXPECT_EQ(row.expected, report);
        // The other client's subscriber still waits for its own connection.
        for (const ProgressSubscriber& subscriber : server.Server().Subscribers()) {
            if (subscriber.processId == otherProcess) {
                EXPECT_EQ(kSubscriberWaiting, subscriber.state);
            }
        }
    }
}

// Two clients, each on its own connections, and the wipes the test begins
// and ends as the service loop would: client A's stop ends only the wipe
// that A's start asked for.
TEST(TwoClientsTest, AStopEndsOnlyTheWipeItsOwnSenderAskedFor)
{
    enum Step { StartA, StartB, BeginFirst, FinishFirst, BeginSecond, StopA };
    const struct {
        const char* name;
        std::vector<Step> steps;
        bool firstCancelled;
        std::optional<bool> secondCancelled;  // when it has begun
    } rows[] = {
        {"ItsOwnRunningWipe", {StartA, BeginFirst, StopA}, true, {}},
        {"TheNextClientsWipeBegunAfterItsOwn100",
         {StartA, BeginFirst, StartB, FinishFirst, BeginSecond, StopA},
         false,
         false},
        {"AnotherClientsRunningWipeWhileItsOwnWaits",
         {StartB, BeginFirst, StartA, StopA, FinishFirst, BeginSecond},
         false,
         true},
        {"AWipeAnotherClientWaitsForToo", {StartA, StartB, BeginFirst, StopA}, false, {}},
    };
    struct Client {
        int tid;
        PipeClient control;
        PipeClient status;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestServer server;
        ASSERT_TRUE(server.Start());
        Client a{1, {}, {}};
        Client b{2, {}, {}};
        for (Client* client : {&a, &b})
            ASSERT_TRUE(client->control.Open(server.Names().control, true));
        // Each start is answered before anything else is sent, so that each
        // fresh status connection binds to its own client's start.
        auto start = [&](Client& client) {
            ASSERT_TRUE(client.control.Write(Control(0x1020, client.tid)));
            ASSERT_TRUE(client.status.Open(server.Names().status, false));
            std::string reply;
            ASSERT_TRUE(client.status.Read(reply));
            ASSERT_EQ(Reply(client.tid, 1), reply);
        };
        SilentManager first;
        SilentManager second;
        bool running = false;
        bool secondBegun = false;
        for (Step step : row.steps) {
            switch (step) {
            case StartA:
                start(a);
                break;
            case StartB:
                start(b);
                break;
            case BeginFirst:
                first.GetProgress()->SetStoredPercent(10);
                server.Server().BeginWipe(&first);
                running = true;
                break;
            case FinishFirst:
                first.GetProgress()->SetStoredPercent(100);
                server.Server().EndWipe();
                running = false;
                break;
            case BeginSecond:
                server.Server().BeginWipe(&second);
                running = secondBegun = true;
                break;
            case StopA: {
                ASSERT_TRUE(a.control.Write(Control(0x1010, a.tid)));
                std::string reply;
                ASSERT_TRUE(a.status.Read(reply));  // handled
                ASSERT_EQ(Reply(a.tid, 1), reply);
                break;
            }
            }
            if (::testing::Test::HasFatalFailure())
                break;
        }
        EXPECT_EQ(row.firstCancelled, first.GetProgress()->IsCancelRequested());
        if (row.secondCancelled) {
            EXPECT_TRUE(secondBegun);
            EXPECT_EQ(*row.secondCancelled, second.GetProgress()->IsCancelRequested());
        }
        if (running)
            server.Server().EndWipe();
    }
}

// A control message in the name of a process other than its sender's is
// refused: it is neither queued nor answered, and the sender's own start
// that follows is what its status connection gets.
TEST(ForgedSenderTest, AMessageInAnotherProcesssNameIsRefusedAndNothingIsQueued)
{
    const struct {
        const char* name;
        int command;
        std::wstring processId;
    } rows[] = {
        {"StartForAnotherProcess", 0x1020, std::to_wstring(::GetCurrentProcessId() + 4)},
        {"SubscribeForAnotherProcess", 0x1030, std::to_wstring(::GetCurrentProcessId() + 4)},
        {"StartForItsOwnIdNegated", 0x1020, L"-" + Self()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestServer server;
        ASSERT_TRUE(server.Start());
        PipeClient control;
        PipeClient status;
        ASSERT_TRUE(control.Open(server.Names().control, true));
        ASSERT_TRUE(status.Open(server.Names().status, false));
        ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$:" + std::to_wstring(row.command) + L":" +
                                               row.processId + L":444")));
        ASSERT_TRUE(control.Write(Control(0x1020, 7)));
        std::string reply;
        ASSERT_TRUE(status.Read(reply));
        EXPECT_EQ(Reply(7, 1), reply);
        // One connection's messages are handled in order: the forged one was
        // handled before the start that has just been answered.
        EXPECT_EQ(0u, server.Server().QueuedRequests());
        EXPECT_TRUE(server.Server().Subscribers().empty());
    }
}

// The listener loop with a connect that fails at once, every time.
TEST(PipeListenerTest, AConnectThatFailsAtOnceIsRetriedAfterGrowingPauses)
{
    std::mutex lock;
    std::vector<DWORD> pauses;
    int connects = 0;
    // After what its hooks use: a listener may still call them until the
    // server is gone.
    TestServer server;
    BleachServer::ListenerHooks hooks;
    hooks.connect = [&](HANDLE, OVERLAPPED*) {
        std::lock_guard<std::mutex> guard(lock);
        ++connects;
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    };
    hooks.pause = [&](DWORD ms) {
        std::lock_guard<std::mutex> guard(lock);
        pauses.push_back(ms);
        // Ends the listener after a few rounds.
        return pauses.size() < 24;
    };
    server.Server().SetListenerHooks(hooks);
    ASSERT_TRUE(server.Start());
    const auto& listeners = server.Server().ListenerThreads();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(static_cast<DWORD>(listeners.size()),
                                                      listeners.data(), TRUE, 20000));
    // One pause after every failed connect, none of them zero, growing to a
    // second: a failure that repeats at once never spins.
    EXPECT_EQ(static_cast<size_t>(connects), pauses.size());
    for (DWORD ms : pauses) {
        EXPECT_GT(ms, 0u);
        EXPECT_LE(ms, 1000u);
    }
    EXPECT_THAT(pauses, ::testing::Contains(1000u));
}

// Every instance of each pipe in use but the listener's own (Wine has no
// limit to reach, so the listener is told so) when its connect fails: no next
// instance can be made, and the name must not lapse while the others end.
TEST(PipeListenerTest, WithEveryInstanceInUseTheListenerKeepsTheName)
{
    const win32::UniqueHandleNull go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const win32::UniqueHandleNull resume(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> paused{0};
    TestServer server;  // after what its hooks use
    BleachServer::ListenerHooks hooks;
    hooks.connect = [&](HANDLE, OVERLAPPED*) {
        ::WaitForSingleObject(go.get(), 20000);
        ::SetLastError(ERROR_NO_DATA);  // a client came and went
        return FALSE;
    };
    hooks.allInstancesInUse = [] { return true; };
    hooks.pause = [&](DWORD) {
        ++paused;
        ::WaitForSingleObject(resume.get(), 20000);
        return false;  // the listener ends
    };
    server.Server().SetListenerHooks(hooks);
    ASSERT_TRUE(server.Start());
    const struct {
        const char* name;
        std::wstring pipe;
        DWORD direction;
    } rows[] = {
        {"Control", server.Names().control, PIPE_ACCESS_INBOUND},
        {"Status", server.Names().status, PIPE_ACCESS_OUTBOUND},
        {"Progress", server.Names().progress, PIPE_ACCESS_OUTBOUND},
    };
    // The instances of the other clients, as the service's own are made.
    std::vector<win32::UniqueFile> others;
    for (const auto& row : rows) {
        for (int i = 0; i < 4; ++i) {
            others.emplace_back(::CreateNamedPipeW(
                row.pipe.c_str(), row.direction | FILE_FLAG_OVERLAPPED,
                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                kCbPipeBuffer, kCbPipeBuffer, 0, nullptr));
            ASSERT_TRUE(others.back()) << row.name << " " << ::GetLastError();
        }
    }
    ::SetEvent(go.get());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return paused.load() == 3; }, 20000));
    others.clear();  // every other connection ends
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // A squatter's first instance. Wine refuses it only on a name that
        // exists with another direction (or no instance left), so it asks
        // for the other one.
        const DWORD other =
            row.direction == PIPE_ACCESS_INBOUND ? PIPE_ACCESS_OUTBOUND : PIPE_ACCESS_INBOUND;
        const win32::UniqueFile squatter(::CreateNamedPipeW(
            row.pipe.c_str(), other | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
        EXPECT_FALSE(squatter) << "the name lapsed";
    }
    ::SetEvent(resume.get());
    const auto& listeners = server.Server().ListenerThreads();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(static_cast<DWORD>(listeners.size()),
                                                      listeners.data(), TRUE, 20000));
}

// Wine does not enforce FILE_FLAG_FIRST_PIPE_INSTANCE: what each listener
// asked for is read from its calls. Only the first instance of a pipe may
// demand it; a later one with it would fail where the flag is enforced.
TEST(PipeListenerTest, OnlyTheFirstInstanceOfEachPipeDemandsToBeFirst)
{
    testsupport::PipeCreateRecorder recorder;
    ASSERT_TRUE(recorder.Installed());
    TestServer server;
    ASSERT_TRUE(server.Start());
    const struct {
        const char* name;
        std::wstring pipe;
        bool forWriting;
    } rows[] = {
        {"Control", server.Names().control, true},
        {"Status", server.Names().status, false},
        {"Progress", server.Names().progress, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PipeClient client;
        ASSERT_TRUE(client.Open(row.pipe, row.forWriting));
        // The client took the first instance; the listener makes the next.
        ASSERT_TRUE(testsupport::WaitUntil([&] { return recorder.CreatesOf(row.pipe).size() >= 2; },
                                           20000));
        const auto creates = recorder.CreatesOf(row.pipe);
        for (size_t i = 0; i < creates.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(creates[i].made) << creates[i].error;
            EXPECT_EQ(i == 0, (creates[i].openMode & FILE_FLAG_FIRST_PIPE_INSTANCE) != 0);
        }
    }
}

// 0x1050 and 0x1060 start regsvr32 (a recording stand-in beside this
// program) silently on the desktop icon, and answer nothing.
class DesktopIconTest : public PipeServerTest {
protected:
    void SetUp() override
    {
        record = scratch / L"regsvr32.txt";
        ::SetEnvironmentVariableW(L"SCORAVEL_REGSVR32_RECORD", record.c_str());
        PipeServerTest::SetUp();
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"SCORAVEL_REGSVR32_RECORD", nullptr); }

    std::wstring Recorded()
    {
        for (int i = 0; i < 1000 && !testsupport::PathExists(record); ++i)
            ::Sleep(20);
        std::string bytes;
        for (int i = 0; i < 100 && (!testsupport::ReadFileBytes(record, bytes) || bytes.empty());
             ++i)
            ::Sleep(20);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    }

    testsupport::ScratchFolder scratch;
    std::wstring record;
};

TEST_F(DesktopIconTest, RegisterStartsRegsvr32SilentlyAndQueuesNothing)
{
    ASSERT_TRUE(control.Write(Control(0x1050, 9)));
    EXPECT_THAT(Recorded(), ::testing::EndsWith(L" \"C:\\Scoravel Test\\Fennick.dll\" /s"));
    EXPECT_EQ(0u, server.Server().QueuedRequests());
}

TEST_F(DesktopIconTest, UnregisterIsSilentToo)
{
    ASSERT_TRUE(control.Write(Control(0x1060, 9)));
    EXPECT_THAT(Recorded(), ::testing::EndsWith(L" /u \"C:\\Scoravel Test\\Fennick.dll\" /s"));
    EXPECT_EQ(0u, server.Server().QueuedRequests());
}

}  // namespace
