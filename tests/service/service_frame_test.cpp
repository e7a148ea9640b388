// The service frame: the service body in-process against a status recorder,
// and the real Wardelle.exe through the test prefix's service manager under
// names of its own (never "Wardelle": an installed product service would
// answer every client of the real pipes).
#include "service/service_frame.h"

#include "framework/build_seams.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"
#include "tests/service/service_test_support.h"
#include "win32/registry.h"

#include <gmock/gmock.h>
#include <thread>
#include <vector>

using servicetest::PipeClient;
using servicetest::RecordingSink;
using servicetest::ReplyBytes;

namespace {

TEST(BleachServiceTest, AFatalErrorAtStartReportsStoppedAndReturns)
{
    RecordingSink sink;
    ServiceOptions options;
    options.pipes = BleachPipeNames::WithSuffix(servicetest::UniqueSuffix());
    bool wiped = false;
    options.runWipe = [&](ShredManager&) { wiped = true; };
    options.startListeners = [](BleachServer&) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    };
    BleachService service(sink, options);
    service.Run();  // returns instead of going on to the loop

    const std::vector<SERVICE_STATUS> reports = sink.Reports();
    ASSERT_FALSE(reports.empty());
    for (const SERVICE_STATUS& status : reports)
        EXPECT_NE(static_cast<DWORD>(SERVICE_RUNNING), status.dwCurrentState);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), reports.back().dwCurrentState);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), reports.back().dwWin32ExitCode);
    EXPECT_FALSE(wiped);
}

TEST(BleachServiceTest, RunsUntilStoppedAndAnswersOtherControlsWithRunning)
{
    RecordingSink sink;
    ServiceOptions options;
    options.pipes = BleachPipeNames::WithSuffix(servicetest::UniqueSuffix());
    BleachService service(sink, options);
    std::thread body([&] { service.Run(); });
    ASSERT_TRUE(sink.WaitFor(SERVICE_RUNNING));

    // The pipes answer while it runs.
    PipeClient progress;
    ASSERT_TRUE(progress.Open(options.pipes.progress, false));
    std::string report;
    ASSERT_TRUE(progress.Read(report));
    EXPECT_EQ(ReplyBytes(L"0:0:0"), report);

    service.Control(SERVICE_CONTROL_INTERROGATE);
    service.Control(SERVICE_CONTROL_STOP);
    body.join();

    const std::vector<SERVICE_STATUS> reports = sink.Reports();
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), reports[1].dwCurrentState);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), reports[2].dwCurrentState);
    EXPECT_EQ(kStopWaitHintMs, reports[2].dwWaitHint);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), reports.back().dwCurrentState);
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), reports.back().dwWin32ExitCode);
    for (const SERVICE_STATUS& status : reports) {
        EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), status.dwServiceType);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN),
                  status.dwControlsAccepted);
        EXPECT_EQ(0u, status.dwServiceSpecificExitCode);
    }
    // The listeners are gone with the service.
    win32::UniqueFile after(::CreateFileW(options.pipes.control.c_str(), GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(after);
}

// A control other than a stop while the service is stopping (held in a wipe
// that ends only when the test lets it): the answer is the state it is in.
class StoppingServiceTest : public ::testing::TestWithParam<DWORD> {};

TEST_P(StoppingServiceTest, IsAnsweredWithStopPendingAndTheSameCheckpoint)
{
    RecordingSink sink;
    ServiceOptions options;
    options.pipes = BleachPipeNames::WithSuffix(servicetest::UniqueSuffix());
    win32::UniqueHandleNull inWipe(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win32::UniqueHandleNull release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    options.runWipe = [&](ShredManager&) {
        ::SetEvent(inWipe.get());
        ::WaitForSingleObject(release.get(), 60000);
    };
    BleachService service(sink, options);
    std::thread body([&] { service.Run(); });
    bool wiping = false;
    PipeClient control;
    if (sink.WaitFor(SERVICE_RUNNING) && control.Open(options.pipes.control, true) &&
        control.Write(servicetest::MessageBytes(L"$OVSC$:4128:" +
                                                std::to_wstring(::GetCurrentProcessId()) + L":88")))
        wiping = ::WaitForSingleObject(inWipe.get(), 60000) == WAIT_OBJECT_0;
    service.Control(SERVICE_CONTROL_STOP);
    service.Control(GetParam());
    ::SetEvent(release.get());
    body.join();
    ASSERT_TRUE(wiping);

    const std::vector<SERVICE_STATUS> reports = sink.Reports();
    size_t stop = 0;
    while (stop < reports.size() && reports[stop].dwCurrentState != SERVICE_STOP_PENDING)
        ++stop;
    ASSERT_LT(stop + 1, reports.size());
    const SERVICE_STATUS& answer = reports[stop + 1];
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), answer.dwCurrentState);
    EXPECT_EQ(reports[stop].dwCheckPoint, answer.dwCheckPoint);
    EXPECT_EQ(kStopWaitHintMs, answer.dwWaitHint);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), reports.back().dwCurrentState);
}

INSTANTIATE_TEST_SUITE_P(InterrogateAndUserControl, StoppingServiceTest,
                         ::testing::Values(static_cast<DWORD>(SERVICE_CONTROL_INTERROGATE),
                                           static_cast<DWORD>(128)));

// The real program, copied into a folder with a blank in its name (as under
// "Program Files") in a scratch folder of the test prefix.
class WardelleProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring built = L"\\\\?\\unix" + std::wstring(WARDELLE_EXE_UNIX_PATH);
        for (wchar_t& c : built)
            c = c == L'/' ? L'\\' : c;
        const std::wstring folder = scratch / L"Scoravel Service";
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << ::GetLastError();
        program = folder + L"\\Wardelle.exe";
        ASSERT_TRUE(::CopyFileW(built.c_str(), program.c_str(), FALSE)) << ::GetLastError();
        manager.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(manager);
    }

    // Runs the program with `arguments` and waits for it to end.
    bool RunProgram(const std::wstring& arguments)
    {
        testsupport::ChildOptions options;
        options.folder = scratch.Path();
        return testsupport::RunAndWait(program, arguments, options);
    }

    bool ServiceExists(const std::wstring& name)
    {
        win32::UniqueService service(
            ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
        return static_cast<bool>(service);
    }

    // Polls (bounded) until the service reaches `state`.
    bool WaitForState(SC_HANDLE service, DWORD state)
    {
        SERVICE_STATUS status{};
        return testsupport::WaitUntil(
            [&] {
                return ::QueryServiceStatus(service, &status) && status.dwCurrentState == state;
            },
            30000);
    }

    testsupport::ScratchFolder scratch;
    std::wstring program;
    win32::UniqueService manager;
};

TEST_F(WardelleProgramTest, AnyOtherCommandLineThanInstallCreatesNoService)
{
    ASSERT_FALSE(ServiceExists(kServiceName));
    for (const wchar_t* arguments : {L"Install", L"install x"}) {
        ASSERT_TRUE(RunProgram(arguments)) << arguments;
        const bool created = ServiceExists(kServiceName);
        if (created)
            RemoveServiceNamed(kServiceName, kServiceDisplayName);
        EXPECT_FALSE(created) << arguments;
    }
}

TEST_F(WardelleProgramTest, InstallRegistersTheProgramPathInQuotationMarks)
{
    const std::wstring name = L"WardelleQuoted" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(InstallServiceAs(name, name, program));
    struct Removal {
        std::wstring name;
        ~Removal() { RemoveServiceNamed(name, name); }
    } removal{name};

    // Wine's sc has no "qc": the manager's own record of the service.
    win32::UniqueKey key;
    ASSERT_EQ(
        ERROR_SUCCESS,
        win32::OpenKey(HKEY_LOCAL_MACHINE,
                       (L"System\\CurrentControlSet\\Services\\" + name).c_str(), KEY_READ, key));
    std::wstring imagePath;
    ASSERT_EQ(ERROR_SUCCESS, win32::ReadString(key.get(), L"ImagePath", imagePath));
    EXPECT_EQ(L"\"" + program + L"\"", imagePath);
}

TEST_F(WardelleProgramTest, InstallsStartsStopsAndRemovesThroughTheServiceManager)
{
    const std::wstring name = L"WardelleTest" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring display = L"Scoravel test service " + name;
    ASSERT_TRUE(InstallServiceAs(name, display, program));
    // Whatever happens below, the test service does not outlive the test.
    struct Removal {
        std::wstring name;
        ~Removal() { RemoveServiceNamed(name, name); }
    } removal{name};

    win32::UniqueService service(::OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service);
    std::vector<BYTE> buffer(8192);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD cbNeeded = 0;
    ASSERT_TRUE(
        ::QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &cbNeeded));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), config->dwServiceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config->dwStartType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_NORMAL), config->dwErrorControl);
    EXPECT_STREQ(L"File System", config->lpLoadOrderGroup);
    EXPECT_EQ(L"\"" + program + L"\"", std::wstring(config->lpBinaryPathName));
    EXPECT_EQ(display, std::wstring(config->lpDisplayName));
    EXPECT_TRUE(config->lpDependencies == nullptr || config->lpDependencies[0] == L'\0');

    // Started by hand from here on, on pipes of its own.
    ASSERT_TRUE(::ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START,
                                       SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr));
    const std::wstring suffix = servicetest::UniqueSuffix();
    std::wstring argument = std::wstring(fw::kTestPipesArgument) + suffix;
    const wchar_t* arguments[] = {argument.c_str()};
    ASSERT_TRUE(::StartServiceW(service.get(), 1, arguments)) << ::GetLastError();
    ASSERT_TRUE(WaitForState(service.get(), SERVICE_RUNNING));

    PipeClient progress;
    ASSERT_TRUE(progress.Open(BleachPipeNames::WithSuffix(suffix).progress, false));
    std::string report;
    ASSERT_TRUE(progress.Read(report));
    EXPECT_EQ(ReplyBytes(L"0:0:0"), report);

    SERVICE_STATUS status{};
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(WaitForState(service.get(), SERVICE_STOPPED));
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), status.dwWin32ExitCode);
    service.reset();

    EXPECT_TRUE(RemoveServiceNamed(name, display));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !ServiceExists(name); }, 30000));
}

}  // namespace
