// Graventa's bleach client against the service body in-process on pipes of
// the test's own, wiping the bounded volume T: with the stand-in volume
// query. The client sends its stop as soon as it reads 100; the wipe's
// file-table pass comes after that and must still run to its end.
#include "framework/build_seams.h"
#include "program/bleach_operation.h"
#include "resources/graventa/resource.h"
#include "service/service_frame.h"
#include "shred/disk_bleach.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/tray_recorder.h"
#include "tests/service/free_space_test_support.h"
#include "tests/service/test_volume.h"
#include "win32/string_table.h"

#include <atomic>
#include <gmock/gmock.h>
#include <memory>
#include <mutex>
#include <thread>

using testing::HasSubstr;

namespace {

constexpr DWORD kPatienceMs = 120000;

class RunningSink : public ServiceStatusSink {
public:
    RunningSink() : running(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    bool Report(const SERVICE_STATUS& status) override
    {
        if (status.dwCurrentState == SERVICE_RUNNING)
            ::SetEvent(running.get());
        return true;
    }
    win32::UniqueHandleNull running;
};

class ClientBleachTest : public servicetest::BoundedVolumeTest {
protected:
    void SetUp() override
    {
        BoundedVolumeTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(tray.Ready());
        testsupport::ClearProductKeys();
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                               scratch.Path());
        ASSERT_TRUE(::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, suffix.c_str()));
        SetVolumeQuery(&query);
    }
    void TearDown() override
    {
        // The operation reaches the slot at its end.
        if (client)
            ::WaitForSingleObject(client.get(), kPatienceMs);
        SetVolumeQuery(nullptr);
        ::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, nullptr);
        testsupport::ClearProductKeys();
        BoundedVolumeTest::TearDown();
    }

    // The operation on its own thread as the command window starts it, with
    // a handle to that thread kept here.
    bool StartClient()
    {
        auto operation = std::make_unique<CBleachAllOperation>(slot);
        if (!operation->CreateThread(true))
            return false;
        HANDLE duplicate = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), operation->ThreadHandle(),
                               ::GetCurrentProcess(), &duplicate, SYNCHRONIZE, FALSE, 0))
            return false;
        client.reset(duplicate);
        slot.Begin(operation.get());
        return operation.release()->ResumeThread();
    }

    std::string Log()
    {
        const std::vector<std::wstring> names = servicetest::Names(scratch.Path());
        return names.size() == 1 ? servicetest::ReadWholeFile(scratch / names[0]) : std::string();
    }

    const std::wstring suffix = servicetest::UniqueSuffix();
    testsupport::ScratchFolder scratch;
    testsupport::TrayRecorder tray;
    servicetest::GrowingVolumeQuery query;
    BleachSlot slot;
    win32::UniqueHandleNull client;
};

TEST_F(ClientBleachTest, TheClientsStopAt100LeavesTheTablePassToMakeAndRemoveEveryRecord)
{
    query.growAfterFiles = 3500;
    query.snapshotFolder = drive + L"ShredderTemp";
    // The pass begins once the client has read 100, sent its stop and ended.
    std::atomic<bool> clientEndedFirst{false};
    query.onFirstRequest = [&] {
        clientEndedFirst = ::WaitForSingleObject(client.get(), kPatienceMs) == WAIT_OBJECT_0;
    };

    RunningSink sink;
    ServiceOptions options;
    options.pipes = BleachPipeNames::WithSuffix(suffix);
    win32::UniqueHandleNull wipeEnded(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> wiped{false};
    const std::wstring testDrive = drive;
    options.runWipe = [&](ShredManager& manager) {
        wiped = RunDiskBleachOnTestVolume(manager, testDrive);
        ::SetEvent(wipeEnded.get());
    };
    BleachService service(sink, options);
    std::thread body([&] { service.Run(); });
    bool started = false;
    bool ended = false;
    if (::WaitForSingleObject(sink.running.get(), kPatienceMs) == WAIT_OBJECT_0 && StartClient()) {
        started = true;
        ended = ::WaitForSingleObject(wipeEnded.get(), kPatienceMs) == WAIT_OBJECT_0;
    }
    service.Control(SERVICE_CONTROL_STOP);
    body.join();
    ASSERT_TRUE(started);
    ASSERT_TRUE(ended);
    ASSERT_TRUE(clientEndedFirst);

    // Every record up to the table's growth was made: 3000 and 500.
    ASSERT_EQ(2u, query.snapshot.size());
    EXPECT_EQ(3000u, query.snapshot[0].files.size());
    EXPECT_EQ(500u, query.snapshot[1].files.size());
    // ... and removed again, with the wipe's folders.
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp"));
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp1"));

    EXPECT_TRUE(wiped);
    EXPECT_THAT(Log(), HasSubstr("DiskBleach completed successfully."));
    ASSERT_TRUE(tray.WaitFor(2, kPatienceMs));
    EXPECT_EQ(win32::LoadTableString(::GetModuleHandleW(nullptr), IDS_BLEACH_COMPLETE),
              tray.Balloons()[1].title);
}

}  // namespace
