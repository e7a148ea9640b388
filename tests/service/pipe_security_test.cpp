// The bleach pipes' security: what their descriptor lets each account do,
// and a service that finds one of its pipe names served by another program
// before it starts.
#include "ipc/bleach_pipe_client.h"
#include "service/service_frame.h"
#include "tests/common/debug_output_recorder.h"
#include "tests/common/pipe_rights.h"
#include "tests/common/wait.h"
#include "tests/service/service_test_support.h"

#include <sddl.h>

#include <gtest/gtest.h>
#include <thread>

using servicetest::PipeClient;

namespace {

// What the descriptor a client reads back from each pipe lets an account do.
// Wine enforces none of it, so the rights are worked out from the entries,
// in order, with the generic rights mapped as for a pipe.
TEST(PipeSecurityTest, OnlyTheServiceAndAdministratorsCreateInstancesAndUsersStillTalk)
{
    servicetest::TestServer server;
    ASSERT_TRUE(server.Start());
    const struct {
        const char* name;
        const wchar_t* sid;
        bool createsInstances;  // may serve the pipe to clients
        bool talks;             // may open it as a client does
    } rows[] = {
        {"LocalSystem", L"SY", true, true},
        {"Administrators", L"BA", true, true},
        {"AuthenticatedUsers", L"AU", false, true},
        {"BuiltinGuests", L"BG", false, true},
        {"AnonymousLogon", L"AN", false, false},
    };
    const struct {
        const std::wstring& name;
        BleachPipeRole role;
    } pipes[] = {{server.Names().control, BleachPipeRole::Control},
                 {server.Names().status, BleachPipeRole::Reply},
                 {server.Names().progress, BleachPipeRole::Reply}};
    for (const auto& pipe : pipes) {
        SCOPED_TRACE(testing::PrintToString(pipe.name));
        PipeClient client;
        ASSERT_TRUE(client.Open(pipe.name, pipe.role == BleachPipeRole::Control));
        const testsupport::HandleDacl dacl(client.Handle());
        ASSERT_TRUE(dacl.Read());
        const std::string sddl = testing::PrintToString(dacl.Sddl());
        // All that the suite's clients open the pipe with.
        const DWORD clientAccess = BleachPipeClientAccess(pipe.role);
        for (const auto& row : rows) {
            SCOPED_TRACE(row.name);
            win32::UniqueLocal<PSID> sid;
            ASSERT_TRUE(::ConvertStringSidToSidW(row.sid, sid.put()));
            const DWORD rights = testsupport::PipeRightsOf(dacl.Dacl(), sid.get());
            // FILE_CREATE_PIPE_INSTANCE, under the name it has on a pipe.
            EXPECT_EQ(row.createsInstances, (rights & FILE_APPEND_DATA) != 0) << sddl;
            EXPECT_EQ(row.talks, (rights & clientAccess) == clientAccess) << sddl;
        }
    }
}

// Another program serves one of the service's pipe names before it starts:
// the service stops at its start and logs the pipe's name.
TEST(PipeSecurityTest, ATakenPipeNameStopsTheServiceAndIsNamed)
{
    enum class Squatter { SameShape, OneInstance, OtherDirection };
    const struct {
        const char* name;
        std::wstring BleachPipeNames::*pipe;
        Squatter squatter;
    } rows[] = {
        // The first pipe made, and the last (the two before it given back).
        {"ControlOneInstance", &BleachPipeNames::control, Squatter::OneInstance},
        {"ProgressOtherDirection", &BleachPipeNames::progress, Squatter::OtherDirection},
        // Only the first-instance rule catches a squatter shaped like the
        // service's own pipe, and Wine does not apply it.
        {"StatusSameShape", &BleachPipeNames::status, Squatter::SameShape},
    };
    const bool underWine =
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.squatter == Squatter::SameShape && underWine)
            continue;
        testsupport::DebugOutputRecorder debugOutput;
        ASSERT_TRUE(debugOutput.Installed());
        ServiceOptions options;
        options.pipes = BleachPipeNames::WithSuffix(servicetest::UniqueSuffix());
        const std::wstring& name = options.pipes.*row.pipe;
        const DWORD own = row.pipe == &BleachPipeNames::control ? PIPE_ACCESS_INBOUND
                                                                : PIPE_ACCESS_OUTBOUND;
        const DWORD other = own == PIPE_ACCESS_INBOUND ? PIPE_ACCESS_OUTBOUND : PIPE_ACCESS_INBOUND;
        const win32::UniqueFile squatting(::CreateNamedPipeW(
            name.c_str(), (row.squatter == Squatter::OtherDirection ? other : own) | FILE_FLAG_OVERLAPPED,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
            row.squatter == Squatter::OneInstance ? 1 : PIPE_UNLIMITED_INSTANCES, kCbPipeBuffer,
            kCbPipeBuffer, 0, nullptr));
        ASSERT_TRUE(squatting);

        servicetest::RecordingSink sink;
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
            << "nothing logged names " << testing::PrintToString(name);
    }
}

}  // namespace
