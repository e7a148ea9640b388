// The bleach pipe server in-process, driven by raw clients over its real
// pipes (each test on pipes of its own).
#include "engine/progress_reporter.h"
#include "engine/shred_manager.h"
#include "service/pipe_io.h"
#include "tests/common/scratch_folder.h"
#include "tests/service/service_test_support.h"

#include <aclapi.h>
#include <sddl.h>

#include <gmock/gmock.h>
#include <mutex>
#include <vector>

using servicetest::MessageBytes;
using servicetest::PipeClient;
using servicetest::ReplyBytes;
using servicetest::TestServer;

namespace {

std::string Control(int command, int pid, int tid)
{
    return MessageBytes(L"$OVSC$:" + std::to_wstring(command) + L":" + std::to_wstring(pid) + L":" +
                        std::to_wstring(tid));
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
    bool ReadUntil(PipeClient& progress, const std::wstring& text)
    {
        for (int i = 0; i < 30; ++i) {
            std::string report;
            if (!progress.Read(report))
                return false;
            if (report == ReplyBytes(text))
                return true;
        }
        return false;
    }

    TestServer server;
    PipeClient control;
};

TEST_F(PipeServerTest, StartBindsTheStatusConnectionWithTextAndOneZeroByte)
{
    ASSERT_TRUE(control.Write(Control(0x1020, 12, 34)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    const std::string expected(
        "1\0"
        "2\0"
        ":\0"
        "3\0"
        "4\0"
        ":\0"
        "1\0"
        "\0",
        15);
    EXPECT_EQ(expected, reply);
    // The start asks the service loop for a wipe.
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(server.BleachEvent(), 0));
}

TEST_F(PipeServerTest, RepliesComeInQueueOrderAndStopEndsTheStatusConnection)
{
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    for (int command : {0x1020, 0x1030, 0x1040, 0x1010})
        ASSERT_TRUE(control.Write(Control(command, 5, 6)));

    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"5:6:1"), reply);  // start
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"5:6:1"), reply);  // subscribe
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"5:6:1"), reply);  // unsubscribe
    EXPECT_TRUE(server.Server().Subscribers().empty());
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"5:6:1"), reply);  // stop
    DWORD error = 0;
    EXPECT_FALSE(status.Read(reply, error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), error);
    EXPECT_EQ(0u, server.Server().QueuedRequests());
}

TEST_F(PipeServerTest, InvalidMessagesGetNoReplyAndTheNextValidOneWorks)
{
    ASSERT_TRUE(control.Write(MessageBytes(L"$ovsc$:4128:7:8")));
    ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$:4113:7:8")));
    ASSERT_TRUE(control.Write(MessageBytes(L"OVSC:4128:7:8")));
    ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$")));
    ASSERT_TRUE(control.Write(std::string(9000, 'x')));  // longer than any message
    ASSERT_TRUE(control.Write(Control(0x1020, 7, 8)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"7:8:1"), reply);
    EXPECT_TRUE(server.WaitForQueued(0));
}

TEST_F(PipeServerTest, AMessageIsTakenOnlyUpToTheBytesOfItsOwnRead)
{
    // A long (invalid) message leaves its text in the reader's buffer; a
    // shorter one without its NUL must not pick up the rest of it.
    ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$:9999:11111111:22222222")));
    ASSERT_TRUE(control.Write(MessageBytes(L"$OVSC$:4128:3:4", false)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"3:4:1"), reply);
}

TEST_F(PipeServerTest, AMessageFillingTheWholeBufferKeepsItsLastCharacter)
{
    // Exactly the longest message, without a NUL: the thread id is its last
    // character (the digit reader skips the spaces before it), so a
    // terminator put inside the message instead of after it reads 3:0.
    const std::wstring head = L"$OVSC$:4128:3:";
    const size_t cchMessage = kCbControlMessageMax / sizeof(wchar_t);
    const std::wstring text = head + std::wstring(cchMessage - head.size() - 1, L' ') + L"4";
    ASSERT_EQ(static_cast<size_t>(kCbControlMessageMax), text.size() * sizeof(wchar_t));
    ASSERT_TRUE(control.Write(MessageBytes(text, false)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"3:4:1"), reply);
}

TEST_F(PipeServerTest, AnotherSendersRequestWaitsForItsOwnStatusConnection)
{
    PipeClient other;
    ASSERT_TRUE(other.Open(server.Names().control, true));
    ASSERT_TRUE(control.Write(Control(0x1020, 1, 1)));
    ASSERT_TRUE(server.WaitForQueued(1));
    ASSERT_TRUE(other.Write(Control(0x1020, 2, 2)));
    ASSERT_TRUE(server.WaitForQueued(2));
    ASSERT_TRUE(control.Write(Control(0x1030, 1, 1)));

    PipeClient first;
    ASSERT_TRUE(first.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(first.Read(reply));
    EXPECT_EQ(ReplyBytes(L"1:1:1"), reply);
    // Sender 2's start is left to a fresh connection; the connection bound
    // to sender 1 answers only sender 1's subscribe.
    PipeClient second;
    ASSERT_TRUE(second.Open(server.Names().status, false));
    ASSERT_TRUE(second.Read(reply));
    EXPECT_EQ(ReplyBytes(L"2:2:1"), reply);
    ASSERT_TRUE(first.Read(reply));
    EXPECT_EQ(ReplyBytes(L"1:1:1"), reply);
    ASSERT_EQ(1u, server.Server().Subscribers().size());
    EXPECT_EQ(1, server.Server().Subscribers()[0].processId);
}

TEST_F(PipeServerTest, ADeadClientsRequestsAreDroppedWithItsControlConnection)
{
    {
        PipeClient dead;
        ASSERT_TRUE(dead.Open(server.Names().control, true));
        ASSERT_TRUE(dead.Write(Control(0x1020, 1001, 1)));
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(server.BleachEvent(), 20000));
    }
    ASSERT_TRUE(server.WaitForQueued(0)) << "the dead client's start is still queued";

    ASSERT_TRUE(control.Write(Control(0x1020, 2002, 2)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"2002:2:1"), reply);
}

// A client in another process sends one request and stalls: it keeps its
// control connection and never opens the status pipe.
class StalledClientTest : public PipeServerTest, public ::testing::WithParamInterface<int> {
protected:
    static constexpr DWORD kReplyBoundMs = static_cast<DWORD>(2 * kStatusConnectionWaitMs);
};

TEST_P(StalledClientTest, TheNextClientIsAnsweredOnItsOwnConnectionAndTheStalledRequestGoes)
{
    servicetest::StalledClient stalled(server.Names().control, GetParam(), 1001, 1);
    ASSERT_TRUE(stalled.Started());
    ASSERT_TRUE(server.WaitForQueued(1));

    ASSERT_TRUE(control.Write(Control(0x1020, 2002, 2)));
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    std::string reply;
    DWORD error = 0;
    ASSERT_TRUE(status.Read(reply, error, kReplyBoundMs)) << error;
    EXPECT_EQ(ReplyBytes(L"2002:2:1"), reply);
    ASSERT_TRUE(control.Write(Control(0x1030, 2002, 2)));
    ASSERT_TRUE(status.Read(reply, error, kReplyBoundMs)) << error;
    EXPECT_EQ(ReplyBytes(L"2002:2:1"), reply);

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
        ASSERT_TRUE(deadControl.Write(Control(0x1020, 1001, 1)));
        ASSERT_TRUE(deadControl.Write(Control(0x1030, 1001, 1)));
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
    ASSERT_TRUE(control.Write(Control(0x1020, 2002, 2)));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    ASSERT_EQ(ReplyBytes(L"2002:2:1"), reply);
    ASSERT_TRUE(control.Write(Control(0x1030, 2002, 2)));
    ASSERT_TRUE(status.Read(reply));
    ASSERT_EQ(ReplyBytes(L"2002:2:1"), reply);

    PipeClient progress;
    ASSERT_TRUE(progress.Open(server.Names().progress, false));
    ASSERT_TRUE(progress.Read(reply));
    EXPECT_EQ(ReplyBytes(L"2002:2:0"), reply);
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
        ASSERT_TRUE(control.Write(Control(0x1020, 40, 41)));
        std::string reply;
        ASSERT_TRUE(status.Read(reply));
        ASSERT_TRUE(control.Write(Control(0x1030, 40, 41)));
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
    ShredManager manager{true};
    bool began = false;
};

TEST_F(SubscribedClientTest, ReportsFollowItsWipeAndAFinishedWipeKeepsSaying100)
{
    std::string report;
    ASSERT_TRUE(progress.Read(report));
    EXPECT_EQ(ReplyBytes(L"40:41:0"), report);  // not begun yet
    BeginWipe(42);
    EXPECT_TRUE(ReadUntil(progress, L"40:41:42"));
    EndWipe(100);
    EXPECT_TRUE(ReadUntil(progress, L"40:41:100"));
    ASSERT_TRUE(progress.Read(report));
    EXPECT_EQ(ReplyBytes(L"40:41:100"), report);
}

TEST_F(SubscribedClientTest, AWipeEndingShortOf100EndsTheProgressConnection)
{
    BeginWipe(42);
    ASSERT_TRUE(ReadUntil(progress, L"40:41:42"));
    EndWipe(42);
    std::string report;
    DWORD error = 0;
    for (int i = 0; i < 5 && progress.Read(report, error); ++i)
        EXPECT_EQ(ReplyBytes(L"40:41:42"), report);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), error);
}

TEST_F(SubscribedClientTest, StopCancelsTheRunningWipeAndEndsTheStatusConnection)
{
    BeginWipe(10);
    ASSERT_TRUE(control.Write(Control(0x1010, 40, 41)));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"40:41:1"), reply);
    EXPECT_TRUE(manager.GetProgress()->IsCancelRequested());
    DWORD error = 0;
    EXPECT_FALSE(status.Read(reply, error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), error);
}

TEST_F(SubscribedClientTest, AStopAfterTheWipeIsStillAnsweredAndCancelsNothingLater)
{
    BeginWipe(50);
    EndWipe(100);
    ASSERT_TRUE(control.Write(Control(0x1010, 40, 41)));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(ReplyBytes(L"40:41:1"), reply);
    ShredManager next(true);
    server.Server().BeginWipe(&next);
    EXPECT_FALSE(next.GetProgress()->IsCancelRequested());
    server.Server().EndWipe();
}

TEST_F(PipeServerTest, AServiceStopCancelsTheRunningWipeAndAnyBegunAfterIt)
{
    ShredManager running(true);
    server.Server().BeginWipe(&running);
    server.Server().RequestServiceStop();
    EXPECT_TRUE(running.GetProgress()->IsCancelRequested());
    server.Server().EndWipe();
    ShredManager late(true);
    server.Server().BeginWipe(&late);
    EXPECT_TRUE(late.GetProgress()->IsCancelRequested());
    server.Server().EndWipe();
}

// The access entries of `acl` as "type flags mask sid" lines, in order.
std::vector<std::wstring> AceLines(PACL acl)
{
    std::vector<std::wstring> lines;
    ACL_SIZE_INFORMATION size{};
    if (!acl || !::GetAclInformation(acl, &size, sizeof(size), AclSizeInformation))
        return lines;
    for (DWORD i = 0; i < size.AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace))
            break;
        // Allowed and denied entries share one layout.
        const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        wchar_t* sid = nullptr;
        ::ConvertSidToStringSidW(const_cast<DWORD*>(&entry->SidStart), &sid);
        lines.push_back(std::to_wstring(entry->Header.AceType) + L" " +
                        std::to_wstring(entry->Header.AceFlags) + L" " +
                        std::to_wstring(entry->Mask) + L" " + (sid ? sid : L"?"));
        if (sid)
            ::LocalFree(sid);
    }
    return lines;
}

// The pipes' security as a client reads it back (Wine does not enforce it).
TEST_F(PipeServerTest, EveryPipeCarriesTheServicesAccessList)
{
    PSECURITY_DESCRIPTOR wanted = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        pipeio::kBleachPipeSddl, SDDL_REVISION_1, &wanted, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL wantedDacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(wanted, &present, &wantedDacl, &defaulted));
    const std::vector<std::wstring> expected = AceLines(wantedDacl);
    ASSERT_EQ(4u, expected.size());
    for (const std::wstring& name :
         {server.Names().control, server.Names().status, server.Names().progress}) {
        PipeClient client;
        ASSERT_TRUE(client.Open(name, name == server.Names().control)) << name.c_str();
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  ::GetSecurityInfo(client.Handle(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &dacl, nullptr, &descriptor));
        EXPECT_EQ(expected, AceLines(dacl)) << name.c_str();
        ::LocalFree(descriptor);
    }
    ::LocalFree(wanted);
}

// The listener loop with a connect that fails at once, every time.
TEST(PipeListenerTest, AConnectThatFailsAtOnceIsRetriedAfterGrowingPauses)
{
    TestServer server;
    std::mutex lock;
    std::vector<DWORD> pauses;
    int connects = 0;
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
    ASSERT_TRUE(control.Write(Control(0x1050, 9, 9)));
    EXPECT_THAT(Recorded(), ::testing::EndsWith(L" \"C:\\Scoravel Test\\Fennick.dll\" /s"));
    EXPECT_EQ(0u, server.Server().QueuedRequests());
}

TEST_F(DesktopIconTest, UnregisterIsSilentToo)
{
    ASSERT_TRUE(control.Write(Control(0x1060, 9, 9)));
    EXPECT_THAT(Recorded(), ::testing::EndsWith(L" /u \"C:\\Scoravel Test\\Fennick.dll\" /s"));
    EXPECT_EQ(0u, server.Server().QueuedRequests());
}

}  // namespace
