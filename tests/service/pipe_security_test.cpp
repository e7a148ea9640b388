// The bleach pipes' security: what their descriptor lets each account do,
// and a service that finds one of its pipe names served by another program
// before it starts.
#include "ipc/bleach_pipe_client.h"
#include "service/pipe_io.h"
#include "service/service_frame.h"
#include "tests/common/debug_output_recorder.h"
#include "tests/common/pipe_rights.h"
#include "tests/common/wait.h"
#include "tests/service/service_test_support.h"

#include <sddl.h>

#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

using servicetest::PipeClient;
using servicetest::TestServer;

namespace {

class PipeSecurityTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    TestServer server;
};

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
TEST_F(PipeSecurityTest, EveryPipeCarriesTheServicesAccessList)
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
        const testsupport::HandleDacl dacl(client.Handle());
        ASSERT_TRUE(dacl.Read());
        EXPECT_EQ(expected, AceLines(dacl.Dacl())) << name.c_str();
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

class PipeAccountTest : public PipeSecurityTest,
                        public ::testing::WithParamInterface<AccountCase> {};

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
        const testsupport::HandleDacl dacl(client.Handle());
        ASSERT_TRUE(dacl.Read());
        const std::wstring sddl = dacl.Sddl();
        const DWORD rights = testsupport::PipeRightsOf(dacl.Dacl(), sid);
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
    testsupport::DebugOutputRecorder debugOutput;
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
    EXPECT_TRUE(testsupport::DebugOutputRecorder::Recorded(name))
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

}  // namespace
