// The resident Graventa.exe asked for a bleach through its window, against
// the stand-in service on pipes of the test's own (the environment the
// child inherits names them).
#include "framework/build_seams.h"
#include "ipc/bleach_protocol.h"
#include "ipc/main_window_command.h"
#include "ipc/tray_notify_client.h"
#include "program/bleach_operation.h"
#include "tests/common/tray_recorder.h"
#include "tests/program/bleach_fake_service.h"
#include "tests/program/graventa_test_support.h"

#include <gtest/gtest.h>

namespace graventatest {
namespace {

constexpr int kProgressStop = 1002;

class ResidentBleach : public GraventaTest {
protected:
    void SetUp() override
    {
        GraventaTest::SetUp();
        ASSERT_TRUE(::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, suffix.c_str()));
    }
    void TearDown() override
    {
        GraventaTest::TearDown();
        ::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, nullptr);
    }

    const std::wstring suffix = bleachtest::UniquePipeSuffix();
};

TEST_F(ResidentBleach, RunsOneBleachAtATimeAndShowsItOnRequest)
{
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    bleachtest::FakeBleachService service(suffix);
    ASSERT_TRUE(service.Ready());
    StartResident();
    const HWND window = resident.Window();
    // Commands go with an empty text: Wine drops a null one between processes.

    // Nothing runs: nothing to bring forward.
    SendCommand(window, kCommandShowBleachProgress, L"");
    EXPECT_EQ(FindDialogOf(resident.Id(), kProgressStop), nullptr);

    SendCommand(window, kCommandBleach, L"");
    ASSERT_TRUE(service.WaitForMessages(2, kPatienceMs));
    ASSERT_TRUE(balloons.WaitForBalloon(42));
    const auto first = service.Messages();
    EXPECT_EQ(first[0].command, kStartBleach);
    EXPECT_EQ(first[0].processId, static_cast<int32_t>(resident.Id()));
    const HWND progress = WaitForDialogOf(resident.Id(), kProgressStop);
    ASSERT_TRUE(progress);
    EXPECT_FALSE(::IsWindowVisible(progress));

    // The balloon's click, then a second request: the same run comes forward.
    SendCommand(window, kCommandShowBleachProgress, L"");
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(progress) != FALSE; }));
    SendCommand(window, kCommandBleachFromVerb, L"");

    service.SendProgress(first[0].processId, first[0].threadId, 100);
    ASSERT_TRUE(balloons.WaitForBalloon(44));
    ASSERT_TRUE(service.WaitForMessages(3, kPatienceMs));
    const auto messages = service.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].command, kStopBleach);
    EXPECT_EQ(balloons.CountWithId(42), 1u);
    for (const auto& balloon : balloons.Balloons()) {
        if (balloon.id == 44) {
            EXPECT_EQ(balloon.title, L"Free Space Bleaching complete");
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(progress); }));
}

// The end of the session stops a running bleach: the service is asked to
// stop, and the program ends once the bleach has.
TEST_F(ResidentBleach, StopsARunningBleachWhenTheSessionEnds)
{
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    bleachtest::FakeBleachService service(suffix);
    ASSERT_TRUE(service.Ready());
    StartResident();
    const HWND window = resident.Window();
    SendCommand(window, kCommandBleach, L"");
    ASSERT_TRUE(service.WaitForMessages(2, kPatienceMs));
    ASSERT_TRUE(service.WaitForConnections(3, kPatienceMs)) << "the bleach follows the wipe";

    ::PostMessageW(window, WM_ENDSESSION, TRUE, 0);
    ASSERT_TRUE(resident.WaitForExit(kPatienceMs));
    const auto messages = service.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].command, kStopBleach);
    EXPECT_TRUE(balloons.WaitForBalloon(kBalloonBleachEnds)) << "the user hears it stopped";
}

}  // namespace
}  // namespace graventatest
