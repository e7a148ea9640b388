// The bleach pipe server in-process, driven by raw clients over its real
// pipes (each test on pipes of its own).
#include "engine/progress_reporter.h"
#include "engine/shred_manager.h"
#include "ipc/bleach_pipe_client.h"
#include "service/pipe_io.h"
#include "service/service_frame.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"
#include "tests/service/service_test_support.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <gmock/gmock.h>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

using servicetest::MessageBytes;
using servicetest::PipeClient;
using servicetest::ReplyBytes;
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
    EXPECT_EQ(2 * text.size() + 1, reply.size());
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
    ShredManager manager{true};
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
    ASSERT_EQ(5u, expected.size());
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

// What the descriptor a client reads back from each pipe lets an account do.
// Wine enforces none of it, so the rights are worked out from the entries,
// in order, with the generic rights mapped as for a pipe.
struct AccountCase {
    const char* name;
    const wchar_t* sid;
    bool createsInstances;  // may serve the pipe to clients
    bool talks;             // may open it as a client does
};

const AccountCase kAccountCases[] = {
    {"LocalSystem", L"SY", true, true},
    {"Administrators", L"BA", true, true},
    {"AuthenticatedUsers", L"AU", false, true},
    {"BuiltinGuests", L"BG", false, true},
    {"Users", L"BU", false, false},
    {"Everyone", L"WD", false, false},
    {"Interactive", L"IU", false, false},
    {"AnonymousLogon", L"AN", false, false},
};

void PrintTo(const AccountCase& c, std::ostream* out)
{
    *out << c.name;
}

// The rights `acl` grants to a token holding `sid` alone.
DWORD RightsOf(PACL acl, PSID sid)
{
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    ACL_SIZE_INFORMATION size{};
    if (!acl || !::GetAclInformation(acl, &size, sizeof(size), AclSizeInformation))
        return 0;
    DWORD granted = 0;
    DWORD denied = 0;
    for (DWORD i = 0; i < size.AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace))
            break;
        const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (!::EqualSid(const_cast<DWORD*>(&entry->SidStart), sid))
            continue;
        DWORD mask = entry->Mask;
        ::MapGenericMask(&mask, &mapping);
        if (entry->Header.AceType == ACCESS_DENIED_ACE_TYPE)
            denied |= mask & ~granted;
        else if (entry->Header.AceType == ACCESS_ALLOWED_ACE_TYPE)
            granted |= mask & ~denied;
    }
    return granted;
}

class PipeAccountTest : public PipeServerTest, public ::testing::WithParamInterface<AccountCase> {};

TEST_P(PipeAccountTest, OnlyTheServiceAndAdministratorsCreateInstancesAndUsersStillTalk)
{
    const AccountCase& c = GetParam();
    PSID sid = nullptr;
    ASSERT_TRUE(::ConvertStringSidToSidW(c.sid, &sid));
    const struct {
        const std::wstring& name;
        BleachPipeRole role;
    } pipes[] = {{server.Names().control, BleachPipeRole::Control},
                 {server.Names().status, BleachPipeRole::Reply},
                 {server.Names().progress, BleachPipeRole::Reply}};
    for (const auto& pipe : pipes) {
        PipeClient client;
        ASSERT_TRUE(client.Open(pipe.name, pipe.role == BleachPipeRole::Control));
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  ::GetSecurityInfo(client.Handle(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &dacl, nullptr, &descriptor));
        wchar_t* text = nullptr;
        ::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
        const std::wstring sddl = text ? text : L"?";
        if (text)
            ::LocalFree(text);
        const DWORD rights = RightsOf(dacl, sid);
        ::LocalFree(descriptor);
        // FILE_CREATE_PIPE_INSTANCE, under the name it has on a pipe.
        EXPECT_EQ(c.createsInstances, (rights & FILE_APPEND_DATA) != 0)
            << pipe.name.c_str() << " " << sddl.c_str();
        // All that the suite's clients open the pipe with.
        const DWORD clientAccess = BleachPipeClientAccess(pipe.role);
        EXPECT_EQ(c.talks, (rights & clientAccess) == clientAccess)
            << pipe.name.c_str() << " " << sddl.c_str();
    }
    ::LocalFree(sid);
}

INSTANTIATE_TEST_SUITE_P(Accounts, PipeAccountTest, ::testing::ValuesIn(kAccountCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A control message in the name of a process other than its sender's is
// refused: it is neither queued nor answered, and the sender's own start
// that follows is what its status connection gets.
struct ForgedCase {
    const char* name;
    int command;
    std::wstring (*processId)();
};

const ForgedCase kForgedCases[] = {
    {"StartForAnotherProcess", 0x1020, [] { return std::to_wstring(::GetCurrentProcessId() + 4); }},
    {"SubscribeForAnotherProcess", 0x1030,
     [] { return std::to_wstring(::GetCurrentProcessId() + 4); }},
    {"StopForAnotherProcess", 0x1010, [] { return std::to_wstring(::GetCurrentProcessId() + 4); }},
    {"StartForProcessZero", 0x1020, [] { return std::wstring(L"0"); }},
    {"StartForItsOwnIdNegated", 0x1020, [] { return L"-" + Self(); }},
};

void PrintTo(const ForgedCase& c, std::ostream* out)
{
    *out << c.name;
}

class ForgedSenderTest : public PipeServerTest, public ::testing::WithParamInterface<ForgedCase> {};

TEST_P(ForgedSenderTest, IsRefusedAndNothingIsQueued)
{
    const ForgedCase& c = GetParam();
    PipeClient status;
    ASSERT_TRUE(status.Open(server.Names().status, false));
    ASSERT_TRUE(control.Write(
        MessageBytes(L"$OVSC$:" + std::to_wstring(c.command) + L":" + c.processId() + L":444")));
    ASSERT_TRUE(control.Write(Control(0x1020, 7)));
    std::string reply;
    ASSERT_TRUE(status.Read(reply));
    EXPECT_EQ(Reply(7, 1), reply);
    // One connection's messages are handled in order: the forged one was
    // handled before the start that has just been answered.
    EXPECT_EQ(0u, server.Server().QueuedRequests());
    EXPECT_TRUE(server.Server().Subscribers().empty());
}

INSTANTIATE_TEST_SUITE_P(Messages, ForgedSenderTest, ::testing::ValuesIn(kForgedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Lines the code of this process sends to the debugger while it lives.
class DebugOutputRecorder {
public:
    DebugOutputRecorder() { m_handler = ::AddVectoredExceptionHandler(1, Record); }
    ~DebugOutputRecorder()
    {
        if (m_handler)
            ::RemoveVectoredExceptionHandler(m_handler);
    }
    bool Installed() const { return m_handler != nullptr; }
    static std::vector<std::wstring> Lines()
    {
        std::lock_guard<std::mutex> guard(Lock());
        return Store();
    }

private:
    static std::mutex& Lock()
    {
        static std::mutex lock;
        return lock;
    }
    static std::vector<std::wstring>& Store()
    {
        static std::vector<std::wstring> lines;
        return lines;
    }
    // OutputDebugString raises these for a debugger; they go on unhandled.
    static LONG CALLBACK Record(EXCEPTION_POINTERS* pointers)
    {
        const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
        constexpr DWORD kPrintWide = 0x4001000A;
        if ((record.ExceptionCode != DBG_PRINTEXCEPTION_C && record.ExceptionCode != kPrintWide) ||
            record.NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        std::wstring line;
        if (record.ExceptionCode == kPrintWide)
            line = reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]);
        else
            for (const char* c = reinterpret_cast<const char*>(record.ExceptionInformation[1]); *c;
                 ++c)
                line += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        std::lock_guard<std::mutex> guard(Lock());
        Store().push_back(line);
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void* m_handler = nullptr;
};

class StatesSink : public ServiceStatusSink {
public:
    bool Report(const SERVICE_STATUS& status) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_reports.push_back(status);
        return true;
    }
    std::vector<SERVICE_STATUS> Reports()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_reports;
    }
    bool Reported(DWORD state)
    {
        for (const SERVICE_STATUS& status : Reports())
            if (status.dwCurrentState == state)
                return true;
        return false;
    }

private:
    std::mutex m_lock;
    std::vector<SERVICE_STATUS> m_reports;
};

bool UnderWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Another program serves one of the service's pipe names before it starts.
enum class Squatter { SameShape, OneInstance, OtherDirection };
enum class TakenPipe { Control, Status, Progress };

void PrintTo(TakenPipe pipe, std::ostream* out)
{
    static const char* const names[] = {"Control", "Status", "Progress"};
    *out << names[static_cast<int>(pipe)];
}

void PrintTo(Squatter squatter, std::ostream* out)
{
    static const char* const names[] = {"SameShape", "OneInstance", "OtherDirection"};
    *out << names[static_cast<int>(squatter)];
}

class TakenPipeTest : public ::testing::TestWithParam<std::tuple<TakenPipe, Squatter>> {};

TEST_P(TakenPipeTest, TheServiceDoesNotStartAndSaysWhichPipe)
{
    const TakenPipe taken = std::get<0>(GetParam());
    const Squatter squatter = std::get<1>(GetParam());
    // Only the first-instance rule catches a squatter shaped like the
    // service's own pipe, and Wine does not apply it.
    if (squatter == Squatter::SameShape && UnderWine())
        GTEST_SKIP() << "Wine does not refuse a pipe's first instance when the name exists";
    DebugOutputRecorder debugOutput;
    ASSERT_TRUE(debugOutput.Installed());
    ServiceOptions options;
    options.pipes = BleachPipeNames::WithSuffix(servicetest::UniqueSuffix());
    const std::wstring& name = taken == TakenPipe::Control  ? options.pipes.control
                               : taken == TakenPipe::Status ? options.pipes.status
                                                            : options.pipes.progress;
    const DWORD inbound = taken == TakenPipe::Control ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_OUTBOUND;
    const DWORD outbound =
        inbound == PIPE_ACCESS_INBOUND ? PIPE_ACCESS_OUTBOUND : PIPE_ACCESS_INBOUND;
    const win32::UniqueFile squatting(::CreateNamedPipeW(
        name.c_str(),
        (squatter == Squatter::OtherDirection ? outbound : inbound) | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
        squatter == Squatter::OneInstance ? 1 : PIPE_UNLIMITED_INSTANCES, kCbPipeBuffer,
        kCbPipeBuffer, 0, nullptr));
    ASSERT_TRUE(squatting);

    StatesSink sink;
    BleachService service(sink, options);
    std::thread body([&] { service.Run(); });
    const bool settled = testsupport::WaitUntil(
        [&] { return sink.Reported(SERVICE_RUNNING) || sink.Reported(SERVICE_STOPPED); });
    if (!sink.Reported(SERVICE_STOPPED))
        service.Control(SERVICE_CONTROL_STOP);
    body.join();
    ASSERT_TRUE(settled);

    EXPECT_FALSE(sink.Reported(SERVICE_RUNNING));
    const std::vector<SERVICE_STATUS> reports = sink.Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), reports.back().dwCurrentState);
    EXPECT_NE(static_cast<DWORD>(NO_ERROR), reports.back().dwWin32ExitCode);
    const std::vector<std::wstring> lines = DebugOutputRecorder::Lines();
    EXPECT_TRUE(std::any_of(
        lines.begin(), lines.end(),
        [&](const std::wstring& line) { return line.find(name) != std::wstring::npos; }))
        << "nothing logged names " << name.c_str();
}

std::string TakenPipeName(const ::testing::TestParamInfo<std::tuple<TakenPipe, Squatter>>& info)
{
    return ::testing::PrintToString(std::get<0>(info.param)) +
           ::testing::PrintToString(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Squatters, TakenPipeTest,
                         ::testing::Combine(::testing::Values(TakenPipe::Control, TakenPipe::Status,
                                                              TakenPipe::Progress),
                                            ::testing::Values(Squatter::SameShape,
                                                              Squatter::OneInstance,
                                                              Squatter::OtherDirection)),
                         TakenPipeName);

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
