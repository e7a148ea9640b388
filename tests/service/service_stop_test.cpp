// A stop or shutdown of the service while a wipe runs: the service body
// in-process, started by a real StartBleach on its pipes, wiping the bounded
// volume T:. The stop arrives while the wipe is in its master-file-table
// pass (held there by the stand-in volume query) and must end it through
// the cancel flag, with every temporary file and folder gone.
#include "service/service_frame.h"
#include "shred/disk_bleach.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/service/free_space_test_support.h"
#include "tests/service/test_volume.h"

#include <atomic>
#include <gmock/gmock.h>
#include <thread>

using servicetest::PipeClient;

namespace {

class ServiceStopTest : public servicetest::BoundedVolumeTest,
                        public ::testing::WithParamInterface<DWORD> {
protected:
    void SetUp() override
    {
        BoundedVolumeTest::SetUp();
        if (IsSkipped())
            return;
        testsupport::ClearProductKeys();
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                               scratch.Path());
        SetVolumeQuery(&query);
    }
    void TearDown() override
    {
        SetVolumeQuery(nullptr);
        testsupport::ClearProductKeys();
        BoundedVolumeTest::TearDown();
    }

    testsupport::ScratchFolder scratch;
    servicetest::GrowingVolumeQuery query;
};

TEST_P(ServiceStopTest, CancelsTheRunningWipeAndStopsWithEverythingGivenBack)
{
    const uint64_t freeBefore = servicetest::FreeBytes(drive);
    win32::UniqueHandleNull inPass(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win32::UniqueHandleNull stopSent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> requestsAtStop{0};
    query.onFirstRequest = [&] {
        ::SetEvent(inPass.get());
        ::WaitForSingleObject(stopSent.get(), 60000);
        requestsAtStop = query.requests;
    };

    servicetest::RecordingSink sink;
    ServiceOptions options;
    options.pipes = BleachPipeNames::WithSuffix(servicetest::UniqueSuffix());
    std::atomic<bool> wiped{false};
    const std::wstring testDrive = drive;
    options.runWipe = [&](ShredManager& manager) {
        wiped = RunDiskBleachOnTestVolume(manager, testDrive);
    };
    BleachService service(sink, options);
    std::thread body([&] { service.Run(); });
    ASSERT_TRUE(sink.WaitFor(SERVICE_RUNNING));

    PipeClient control;
    ASSERT_TRUE(control.Open(options.pipes.control, true));
    ASSERT_TRUE(control.Write(servicetest::MessageBytes(
        L"$OVSC$:4128:" + std::to_wstring(::GetCurrentProcessId()) + L":88")));
    const bool reachedPass = ::WaitForSingleObject(inPass.get(), 120000) == WAIT_OBJECT_0;
    service.Control(GetParam());
    ::SetEvent(stopSent.get());
    body.join();
    ASSERT_TRUE(reachedPass);

    EXPECT_TRUE(wiped);
    // The pass made no file after the stop: it ended at the cancel flag.
    EXPECT_EQ(requestsAtStop.load(), query.requests);
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp"));
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp1"));
    EXPECT_GE(servicetest::FreeBytes(drive) + 4096, freeBefore);

    const std::vector<SERVICE_STATUS> reports = sink.Reports();
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), reports[0].dwCurrentState);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), reports[1].dwCurrentState);
    EXPECT_EQ(kStopWaitHintMs, reports[1].dwWaitHint);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), reports.back().dwCurrentState);
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), reports.back().dwWin32ExitCode);
}

INSTANTIATE_TEST_SUITE_P(StopAndShutdown, ServiceStopTest,
                         ::testing::Values(static_cast<DWORD>(SERVICE_CONTROL_STOP),
                                           static_cast<DWORD>(SERVICE_CONTROL_SHUTDOWN)));

}  // namespace
