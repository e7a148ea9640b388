// The free-space wipe on the bounded volume T: (a 32 MiB tmpfs the fixture
// mounts): the fill and its give-back, the log, the percentages, a cancel
// from another thread, the master-file-table pass with a volume query that
// grows, and planted links that must never be followed.
#include "engine/free_space_wipe.h"

#include "engine/erase_methods.h"
#include "engine/file_calls.h"
#include "engine/progress_reporter.h"
#include "shred/disk_bleach.h"
#include "shred/shred_manager.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"
#include "tests/service/free_space_test_support.h"
#include "tests/service/service_test_support.h"
#include "tests/service/test_volume.h"

#include <atomic>
#include <gmock/gmock.h>
#include <thread>

using servicetest::PlantedLink;
using servicetest::ReadWholeFile;
using testing::HasSubstr;
using testing::Not;

namespace {

constexpr uint64_t kCluster = 4096;

class FreeSpaceWipeTest : public servicetest::BoundedVolumeTest {
protected:
    void SetUp() override
    {
        BoundedVolumeTest::SetUp();
        if (IsSkipped())
            return;
        eraser = MakeEraser(5);
        ASSERT_TRUE(eraser);
        eraser->SetProgress(manager.GetProgress());
        calls.drive = drive;
        calls.reporter = manager.GetProgress();
        eraser->SetFileCalls(&calls);
        ASSERT_TRUE(eraser->OpenLog(log));
    }

    void TearDown() override
    {
        if (eraser)
            eraser->CloseLog();
        BoundedVolumeTest::TearDown();
    }

    std::string Log()
    {
        eraser->CloseLog();
        return ReadWholeFile(log);
    }

    servicetest::SilentManager manager;
    std::unique_ptr<Eraser> eraser;
    servicetest::WipeCalls calls;
    testsupport::ScratchFolder scratch;
    std::wstring log = scratch / L"bleach.txt";
};

TEST_F(FreeSpaceWipeTest, FillsTheFreeSpaceThenGivesItAllBack)
{
    const uint64_t freeBefore = servicetest::FreeBytes(drive);
    ASSERT_GT(freeBefore, 16 * kCluster);

    EXPECT_TRUE(FreeSpaceWipe(*eraser).Run(drive));

    // Full when the files were cut, and all of it back afterwards.
    EXPECT_LE(calls.freeAtGiveBack, 16 * kCluster);
    EXPECT_GE(servicetest::FreeBytes(drive) + kCluster, freeBefore);
    EXPECT_TRUE(servicetest::FolderIsEmpty(drive + L"ShredderTemp"));
    EXPECT_TRUE(servicetest::FolderIsEmpty(drive + L"ShredderTemp1"));
    // Phase I, II and III files, in this order.
    ASSERT_GE(calls.Opened().size(), 3u);
    EXPECT_EQ(drive + L"ShredderTemp\\SHREDTEMP", calls.Opened()[0]);
    EXPECT_EQ(drive + L"ShredderTemp\\SHREDTEMP1", calls.Opened()[1]);
    EXPECT_EQ(drive + L"ShredderTemp1\\SHREDMFT000000", calls.Opened()[2]);
    // Rising percentages below 100 while filling, 100 at the end.
    const std::vector<int> percents = calls.Percents();
    ASSERT_GE(percents.size(), 10u);
    for (size_t i = 1; i < percents.size(); ++i)
        EXPECT_LT(percents[i - 1], percents[i]);
    EXPECT_LE(percents.back(), 99);
    EXPECT_GE(percents.back(), 90);
    EXPECT_EQ(100, manager.GetProgress()->GetStoredPercent());
    EXPECT_THAT(Log(), HasSubstr("\r\n->DiskBleach completed successfully.\r\n"));
}

TEST_F(FreeSpaceWipeTest, ACancelFromAnotherThreadEndsPhaseOneAndDeletesItsFile)
{
    calls.onWrite = [&](int number) {
        if (number != 40)
            return;
        std::thread stopper([&] { manager.GetProgress()->RequestCancel(); });
        stopper.join();
    };
    const uint64_t freeBefore = servicetest::FreeBytes(drive);

    EXPECT_FALSE(FreeSpaceWipe(*eraser).Run(drive));

    EXPECT_THAT(Log(), HasSubstr("Free Space Bleaching aborted"));
    EXPECT_THAT(Log(), Not(HasSubstr("DiskBleach completed")));
    // Only the phase I file was made; it went with its handle, uncut.
    ASSERT_EQ(1u, calls.Opened().size());
    EXPECT_EQ(0, calls.Truncates());
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp\\SHREDTEMP"));
    EXPECT_GE(servicetest::FreeBytes(drive) + kCluster, freeBefore);
    // The last percentage stays where it was: neither reset nor 100.
    ASSERT_FALSE(calls.Percents().empty());
    EXPECT_GE(manager.GetProgress()->GetStoredPercent(), calls.Percents().back());
    EXPECT_LT(manager.GetProgress()->GetStoredPercent(), 10);
}

TEST_F(FreeSpaceWipeTest, AFullVolumeIsWipedWithoutADivisionByZero)
{
    servicetest::Filler filler(drive);
    ASSERT_EQ(0u, servicetest::FreeBytes(drive));

    EXPECT_TRUE(FreeSpaceWipe(*eraser).Run(drive));
    EXPECT_TRUE(calls.Percents().empty());
    EXPECT_EQ(100, manager.GetProgress()->GetStoredPercent());
    EXPECT_THAT(Log(), HasSubstr("DiskBleach completed successfully."));
}

TEST_F(FreeSpaceWipeTest, APercentageOf100BeforeTheEndIsStoredAs99)
{
    // Writes that "succeed" without taking space: the run counts more
    // bytes than the volume had free.
    calls.fakeBytes = 2 * 3 * servicetest::FreeBytes(drive);

    EXPECT_TRUE(FreeSpaceWipe(*eraser).Run(drive));
    const std::vector<int> percents = calls.Percents();
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(99, percents.back());
    EXPECT_EQ(100, manager.GetProgress()->GetStoredPercent());
}

TEST_F(FreeSpaceWipeTest, ATempFolderThatIsALinkIsAFailureToCreate)
{
    const std::wstring victim = drive + L"victim";
    ASSERT_TRUE(::CreateDirectoryW(victim.c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(victim + L"\\SHREDTEMP", "victim data"));
    PlantedLink link(drive + L"ShredderTemp", victim);
    ASSERT_TRUE(link.Made());

    EXPECT_FALSE(FreeSpaceWipe(*eraser).Run(drive));
    EXPECT_THAT(Log(), HasSubstr("Could not create free-space cleanup file."));
    EXPECT_FALSE(RemoveTempFolders(drive));

    EXPECT_EQ("victim data", ReadWholeFile(victim + L"\\SHREDTEMP"));
    EXPECT_EQ(std::vector<std::wstring>{L"SHREDTEMP"}, servicetest::Names(victim));
    EXPECT_TRUE(calls.Opened().empty());
}

TEST_F(FreeSpaceWipeTest, ALeftoverPhaseOneFileThatIsALinkIsNeverOpened)
{
    const std::wstring victim = drive + L"victim.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(victim, "victim data"));
    ASSERT_TRUE(::CreateDirectoryW((drive + L"ShredderTemp").c_str(), nullptr));
    PlantedLink link(drive + L"ShredderTemp\\SHREDTEMP", victim);
    ASSERT_TRUE(link.Made());

    EXPECT_FALSE(FreeSpaceWipe(*eraser).Run(drive));
    EXPECT_THAT(Log(), HasSubstr("Could not create free-space cleanup file."));
    EXPECT_EQ("victim data", ReadWholeFile(victim));
}

class MftPassTest : public FreeSpaceWipeTest {
protected:
    void SetUp() override
    {
        FreeSpaceWipeTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(::CreateDirectoryW((drive + L"ShredderTemp").c_str(), nullptr));
        SetVolumeQuery(&query);
    }
    void TearDown() override
    {
        SetVolumeQuery(nullptr);
        FreeSpaceWipeTest::TearDown();
    }

    servicetest::GrowingVolumeQuery query;
};

TEST_F(MftPassTest, FillsFoldersOf3000UntilTheTableGrowsThenRemovesEverything)
{
    query.growAfterFiles = 3500;
    query.snapshotFolder = drive + L"ShredderTemp";

    EXPECT_TRUE(FreeSpaceWipe(*eraser).WipeFreeMftEntries(drive));

    // What the pass had made when the table grew.
    using Folder = servicetest::FolderSnapshot;
    ASSERT_EQ(2u, query.snapshot.size());
    const Folder& first = query.snapshot[0];
    const Folder& second = query.snapshot[1];
    EXPECT_EQ(L"~ShredTempMFTEntries0000", first.name);
    EXPECT_EQ(L"~ShredTempMFTEntries0001", second.name);
    EXPECT_EQ(3000u, first.files.size());
    EXPECT_EQ(500u, second.files.size());
    const std::wstring zeros(206, L'0');
    EXPECT_EQ(zeros + L"00000000", first.files.front());
    EXPECT_EQ(zeros + L"00000BB7", first.files.back());
    EXPECT_EQ(zeros + L"00000BB8", second.files.front());
    EXPECT_EQ(zeros + L"00000DAB", second.files.back());
    // Every file holds the same 500 bytes.
    EXPECT_EQ(500u, query.firstFileBytes.size());
    EXPECT_EQ(query.firstFileBytes, query.lastFileBytes);

    EXPECT_TRUE(servicetest::FolderIsEmpty(drive + L"ShredderTemp"));
    EXPECT_THAT(Log(), Not(HasSubstr("MFT entries")));
}

TEST_F(MftPassTest, AnEarlierRunsFolderLosesOnlyThePassesOwnFiles)
{
    const std::wstring folder = drive + L"ShredderTemp\\~ShredTempMFTEntries0000";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring own = folder + L"\\" + std::wstring(206, L'0') + L"0000002A";
    ASSERT_TRUE(testsupport::WriteFileBytes(own, "left over"));
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + L"\\keep.txt", "someone's"));
    // Of the same length, but not of the pass's own pattern.
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + L"\\1" + std::wstring(205, L'0') + L"0000002A",
                                            "not ours"));

    FreeSpaceWipe(*eraser).WipeFreeMftEntries(drive);

    EXPECT_FALSE(testsupport::PathExists(own));
    EXPECT_EQ("someone's", ReadWholeFile(folder + L"\\keep.txt"));
    EXPECT_EQ(2u, servicetest::Names(folder).size());
    EXPECT_THAT(Log(), HasSubstr("Cannot create directory to delete MFT entries."));
}

TEST_F(MftPassTest, AnMftFolderThatIsALinkIsNeverEntered)
{
    const std::wstring victim = drive + L"v";
    ASSERT_TRUE(::CreateDirectoryW(victim.c_str(), nullptr));
    const std::wstring ownName = std::wstring(206, L'0') + L"00000000";
    ASSERT_TRUE(testsupport::WriteFileBytes(victim + L"\\" + ownName, "victim data"));
    PlantedLink link(drive + L"ShredderTemp\\~ShredTempMFTEntries0000", victim);
    ASSERT_TRUE(link.Made());

    FreeSpaceWipe(*eraser).WipeFreeMftEntries(drive);

    EXPECT_THAT(Log(), HasSubstr("Cannot create directory to delete MFT entries."));
    EXPECT_EQ("victim data", ReadWholeFile(victim + L"\\" + ownName));
    EXPECT_EQ(std::vector<std::wstring>{ownName}, servicetest::Names(victim));
}

TEST_F(MftPassTest, AFileOfThePassesNameThatIsALinkIsLeftAlone)
{
    const std::wstring victim = drive + L"victim.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(victim, "victim data"));
    const std::wstring folder = drive + L"ShredderTemp\\~ShredTempMFTEntries0000";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    PlantedLink link(folder + L"\\" + std::wstring(206, L'0') + L"00000000", victim);
    ASSERT_TRUE(link.Made());

    FreeSpaceWipe(*eraser).WipeFreeMftEntries(drive);

    EXPECT_EQ("victim data", ReadWholeFile(victim));
    EXPECT_THAT(Log(), HasSubstr("Cannot create directory to delete MFT entries."));
}

TEST_F(MftPassTest, ATempFolderThatIsALinkStopsThePass)
{
    ASSERT_TRUE(::RemoveDirectoryW((drive + L"ShredderTemp").c_str()));
    const std::wstring victim = drive + L"v";
    ASSERT_TRUE(::CreateDirectoryW(victim.c_str(), nullptr));
    PlantedLink link(drive + L"ShredderTemp", victim);
    ASSERT_TRUE(link.Made());

    EXPECT_FALSE(FreeSpaceWipe(*eraser).WipeFreeMftEntries(drive));
    EXPECT_TRUE(servicetest::Names(victim).empty());
}

// The whole run as the service makes it, through the test entry.
class DiskBleachRunTest : public servicetest::BoundedVolumeTest {
protected:
    void SetUp() override
    {
        BoundedVolumeTest::SetUp();
        if (IsSkipped())
            return;
        testsupport::ClearProductKeys();
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                               scratch.Path());
    }
    void TearDown() override
    {
        testsupport::ClearProductKeys();
        BoundedVolumeTest::TearDown();
    }

    testsupport::ScratchFolder scratch;
};

TEST_F(DiskBleachRunTest, LeavesOnlyItsLogInTheInstallFolder)
{
    const uint64_t freeBefore = servicetest::FreeBytes(drive);
    servicetest::SilentManager manager;
    manager.Init();
    EXPECT_TRUE(RunDiskBleachOnTestVolume(manager, drive));

    EXPECT_EQ(100, manager.GetProgress()->GetStoredPercent());
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp"));
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp1"));
    EXPECT_GE(servicetest::FreeBytes(drive) + kCluster, freeBefore);
    const std::vector<std::wstring> names = servicetest::Names(scratch.Path());
    ASSERT_EQ(1u, names.size());
    EXPECT_THAT(names[0], testing::EndsWith(L"_DiskBleachLog.txt"));
    const std::string log = ReadWholeFile(scratch / names[0]);
    EXPECT_THAT(log, HasSubstr(std::string(100, '*') + "\r\nDATE - "));
    EXPECT_THAT(log, HasSubstr("->DiskBleach completed successfully."));
}

TEST_F(DiskBleachRunTest, ACancelDuringTheMainPassLeavesNoTempFolder)
{
    servicetest::SilentManager manager;
    manager.Init();
    // Cancelled once the main pass has its file: the fill is under way.
    std::atomic<bool> ended{false};
    std::thread canceller([&] {
        if (testsupport::WaitUntil([&] {
                return ended || testsupport::PathExists(drive + L"ShredderTemp\\SHREDTEMP");
            }) &&
            !ended)
            manager.GetProgress()->RequestCancel();
    });
    EXPECT_TRUE(RunDiskBleachOnTestVolume(manager, drive));
    ended = true;
    canceller.join();

    const std::vector<std::wstring> names = servicetest::Names(scratch.Path());
    ASSERT_EQ(1u, names.size());
    EXPECT_THAT(ReadWholeFile(scratch / names[0]), HasSubstr("Free Space Bleaching aborted"));
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp"));
    EXPECT_FALSE(testsupport::PathExists(drive + L"ShredderTemp1"));
}

TEST_F(DiskBleachRunTest, TheTestEntryRefusesTheSystemDriveAndAnyBigVolume)
{
    servicetest::SilentManager manager;
    manager.Init();
    const bool existed = testsupport::PathExists(L"C:\\ShredderTemp");
    EXPECT_FALSE(RunDiskBleachOnTestVolume(manager, L"C:\\"));
    EXPECT_FALSE(RunDiskBleachOnTestVolume(manager, L"c:\\"));
    EXPECT_FALSE(RunDiskBleachOnTestVolume(manager, L"T:"));
    EXPECT_FALSE(RunDiskBleachOnTestVolume(manager, L"\\\\server\\share\\"));
    EXPECT_EQ(existed, testsupport::PathExists(L"C:\\ShredderTemp"));
    EXPECT_TRUE(servicetest::Names(scratch.Path()).empty());
}

}  // namespace
