// The erase methods: the factory, the walk by kind, skips, progress and stop,
// and simple delete through the Recycle Bin.
#include "engine/erase_methods.h"

#include "engine/run_state.h"
#include "tests/common/scratch_folder.h"
#include "tests/engine/erase_test_support.h"

#include <shellapi.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using enginetest::Ansi;
using enginetest::Filler;
using enginetest::LogFile;
using enginetest::TestRun;
using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::PathExists;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;

namespace {

TEST(EraserFactoryTest, IdsOneToFiveMakeTheMethodsAndOthersNothing)
{
    const std::vector<std::pair<int, int>> expected = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 0}};
    for (const auto& [id, methodId] : expected) {
        auto eraser = MakeEraser(id);
        ASSERT_TRUE(eraser) << id;
        EXPECT_EQ(eraser->GetMethodId(), methodId) << id;
    }
    EXPECT_TRUE(dynamic_cast<SimpleDelete*>(MakeEraser(1).get()));
    EXPECT_TRUE(dynamic_cast<ThreeX*>(MakeEraser(3).get()));
    EXPECT_TRUE(dynamic_cast<Bleach*>(MakeEraser(5).get()));
    EXPECT_FALSE(MakeEraser(0));
    EXPECT_FALSE(MakeEraser(6));
    EXPECT_FALSE(MakeEraser(-1));
}

class ShredRunTest : public ::testing::Test {
protected:
    ScratchFolder scratch;
    LogFile log;
    TestRun run;

    std::wstring MakeFile(const std::wstring& name, size_t size)
    {
        const std::wstring path = scratch / name;
        EXPECT_TRUE(WriteFileBytes(path, Filler(size)));
        return path;
    }
    bool Intact(const std::wstring& path, size_t size)
    {
        std::string bytes;
        return ReadFileBytes(path, bytes) && bytes == Filler(size);
    }
};

TEST_F(ShredRunTest, ProgressFollowsTheWeightsAndRestartsAtHundred)
{
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"s").c_str(), nullptr));
    DocFileList list;
    list.AddFile(MakeFile(L"a", 1000));
    list.AddFile(MakeFile(L"b", 3000));
    MakeFile(L"s\\c", 2000);
    list.AddFolder(scratch / L"s", true);
    OneX eraser;
    eraser.SetProgress(&run.Reporter());
    // Files weigh their size; the folder and the list 1000 each.
    eraser.SetByteCount(1000 + 3000 + 2000 + 1000 + 1000);
    eraser.Erase(&list);

    EXPECT_EQ(run.Reporter().percents, std::vector<int>({12, 50, 75, 87, 100}));
    EXPECT_EQ(BytesDone.load(), 0u);
    EXPECT_EQ(LastPercent.load(), 0);
    EXPECT_TRUE(list.GetItems().empty());
    EXPECT_FALSE(PathExists(scratch / L"a"));
    EXPECT_FALSE(PathExists(scratch / L"s"));
    EXPECT_TRUE(AnyAssetShredded.load());
}

TEST_F(ShredRunTest, ZeroTotalReportsNoPercentage)
{
    DocFile file;
    file.SetPath(MakeFile(L"f", 10));
    ThreeX eraser;
    eraser.SetProgress(&run.Reporter());
    eraser.Erase(&file);
    EXPECT_FALSE(PathExists(scratch / L"f"));
    EXPECT_TRUE(run.Reporter().percents.empty());
}

TEST_F(ShredRunTest, StopInsideAFolderPassesOverTheRestAndKeepsTheFolder)
{
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"tree").c_str(), nullptr));
    for (const wchar_t* name : {L"tree\\1", L"tree\\2", L"tree\\3", L"tree\\4"})
        MakeFile(name, 500);
    DocFolder folder;
    folder.SetPath(scratch / L"tree", false);
    OneX eraser;
    eraser.SetProgress(&run.Reporter());
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.SetByteCount(4 * 500 + 1000);
    run.Reporter().cancelAfter = 2;  // the user stops after the second file
    eraser.Erase(&folder);

    int left = 0;
    for (const wchar_t* name : {L"tree\\1", L"tree\\2", L"tree\\3", L"tree\\4"})
        left += Intact(scratch / name, 500) ? 1 : 0;
    EXPECT_EQ(left, 2);
    EXPECT_EQ(folder.GetStatus(), kAssetFolderNotRemoved);
    EXPECT_TRUE(PathExists(scratch / L"tree"));
    EXPECT_TRUE(folder.GetChildren().empty());
    EXPECT_THAT(log.ReadBody(eraser),
                HasSubstr("\r\n->Error deleting " + Ansi(scratch / L"tree") + ":\r\n"));
}

TEST_F(ShredRunTest, ExcludedBlockedAndInUseAssetsAreSkippedWholeWithTheirLines)
{
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"keep").c_str(), nullptr));
    MakeFile(L"keep\\inner", 4000);
    MakeFile(L"blocked", 300);
    MakeFile(L"busy", 200);
    MakeFile(L"gone", 500);
    DocFileList list;
    list.AddFolder(scratch / L"keep", true);
    list.AddFile(scratch / L"blocked");
    list.AddFile(scratch / L"busy");
    list.AddFile(scratch / L"gone");
    list.GetItems()[0]->SetExcluded(true);
    list.GetItems()[1]->SetBlocked(true);
    list.GetItems()[2]->SetInUse(true);
    SevenX eraser;
    eraser.SetProgress(&run.Reporter());
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.SetByteCount(4000 + 1000 + 300 + 200 + 500 + 1000);
    eraser.Erase(&list);

    EXPECT_TRUE(Intact(scratch / L"keep\\inner", 4000));
    EXPECT_TRUE(Intact(scratch / L"blocked", 300));
    EXPECT_TRUE(Intact(scratch / L"busy", 200));
    EXPECT_FALSE(PathExists(scratch / L"gone"));
    // The skipped weight counts as done: the run still ends at 100.
    ASSERT_FALSE(run.Reporter().percents.empty());
    EXPECT_EQ(run.Reporter().percents.back(), 100);
    const std::string body = log.ReadBody(eraser);
    EXPECT_THAT(
        body,
        HasSubstr(
            "\r\n->Zarev Ozi could not shred this file or folder as it is added to the do not "
            "shred list.\r\n" +
            Ansi(scratch / L"keep")));
    EXPECT_THAT(
        body,
        HasSubstr("\r\n->Zarev Ozi could not shred this file or folder as they are blocked from "
                  "shredding.\r\n" +
                  Ansi(scratch / L"blocked")));
    EXPECT_THAT(body, HasSubstr("\r\n->File " + Ansi(scratch / L"busy") +
                                " is in use and cannot be shredded:\r\n"));
}

TEST_F(ShredRunTest, UnknownKindsAreIgnoredAndBaseMethodsDoNothing)
{
    struct OddAsset : IDAsset {
        explicit OddAsset(int kind) : IDAsset(static_cast<AssetKind>(kind)) {}
    };
    OddAsset none(0);
    OddAsset seven(7);
    OneX oneX;
    oneX.SetProgress(&run.Reporter());
    ASSERT_TRUE(oneX.OpenLog(log.Path()));
    oneX.SetByteCount(10);
    BytesDone = 10;
    oneX.Erase(&none);
    oneX.Erase(&seven);
    EXPECT_TRUE(run.Reporter().percents.empty());

    DocFile file;
    file.SetPath(MakeFile(L"kept", 50));
    Bleach bleach;
    bleach.Erase(&file);
    Eraser base;
    base.Erase(&file);
    EXPECT_TRUE(Intact(scratch / L"kept", 50));
    EXPECT_EQ(log.ReadBody(oneX), "");
}

TEST_F(ShredRunTest, SumAssetSizeCountsAFreshTotalAndEmptiesWhatItCounted)
{
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"d").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"d\\e").c_str(), nullptr));
    MakeFile(L"d\\one", 10);
    MakeFile(L"d\\e\\two", 7);
    DocFolder folder;
    folder.SetPath(scratch / L"d", false);
    DocFile file;
    file.SetPath(MakeFile(L"three", 5));
    RegistryEntry entry;
    OneX eraser;
    EXPECT_EQ(eraser.SumAssetSize(&folder, true), 10u + 7u + 1000u + 1000u);
    EXPECT_TRUE(folder.GetChildren().empty());
    // No sum is carried over from an earlier call, whatever `restart` says.
    EXPECT_EQ(eraser.SumAssetSize(&file, false), 5u);
    EXPECT_EQ(eraser.SumAssetSize(&entry, false), 1000u);
    EXPECT_EQ(eraser.SumAssetSize(&folder, false), 1000u);
    EXPECT_TRUE(Intact(scratch / L"d\\e\\two", 7));
}

TEST(NoRunTest, WithoutAProgressReporterTheEngineLogsAndTouchesNothing)
{
    ScratchFolder scratch;
    LogFile log;
    ASSERT_TRUE(WriteFileBytes(scratch / L"f", "data"));
    DocFile file;
    file.SetPath(scratch / L"f");
    OneX eraser;
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.Erase(&file);
    SimpleDelete simple;
    simple.Erase(&file);
    EXPECT_TRUE(PathExists(scratch / L"f"));
    EXPECT_EQ(log.ReadBody(eraser), "\r\n->Cannot access shared data for diskbleach.\r\n");
}

int64_t RecycleBinItems()
{
    SHQUERYRBINFO info{sizeof(info)};
    EXPECT_EQ(::SHQueryRecycleBinW(L"C:\\", &info), S_OK);
    return info.i64NumItems;
}

TEST_F(ShredRunTest, SimpleDeleteSendsFilesAndEmptyFoldersToTheRecycleBin)
{
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"empty").c_str(), nullptr));
    DocFileList list;
    list.AddFile(MakeFile(L"plain.txt", 300));
    list.AddFolder(scratch / L"empty", true);
    const int64_t before = RecycleBinItems();
    SimpleDelete eraser;
    eraser.SetProgress(&run.Reporter());
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.SetByteCount(300 + 1000 + 1000);
    eraser.Erase(&list);

    EXPECT_FALSE(PathExists(scratch / L"plain.txt"));
    EXPECT_FALSE(PathExists(scratch / L"empty"));
    EXPECT_EQ(RecycleBinItems(), before + 2);
    EXPECT_EQ(run.Reporter().percents, std::vector<int>({13, 56, 100}));
    EXPECT_THAT(log.ReadBody(eraser), Not(HasSubstr("Error")));
}

TEST_F(ShredRunTest, SimpleDeleteLeavesFoldersThatAreNotEmptyOrCannotBeListed)
{
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"full").c_str(), nullptr));
    MakeFile(L"full\\excluded", 40);
    MakeFile(L"notafolder", 30);
    DocFolder full;
    full.SetPath(scratch / L"full", false);
    full.GetChildren().front()->SetExcluded(true);
    // A "folder" that lists as nothing because it is a file.
    DocFolder file;
    file.SetPath(scratch / L"notafolder", false);
    DocFolder missing;
    missing.SetPath(scratch / L"missing", false);
    SimpleDelete eraser;
    eraser.SetProgress(&run.Reporter());
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.Erase(&full);
    eraser.Erase(&file);
    eraser.Erase(&missing);

    EXPECT_TRUE(Intact(scratch / L"full\\excluded", 40));
    EXPECT_TRUE(Intact(scratch / L"notafolder", 30));
    EXPECT_EQ(full.GetStatus(), kAssetFolderNotRemoved);
    EXPECT_EQ(file.GetStatus(), kAssetFolderNotRemoved);
    EXPECT_EQ(missing.GetStatus(), kAssetNotFound);
    const std::string body = log.ReadBody(eraser);
    EXPECT_THAT(
        body,
        HasSubstr(
            "\r\n->Zarev Ozi could not delete this file or folder as it is added to the do not "
            "delete list.\r\n" +
            Ansi(scratch / L"full\\excluded")));
    EXPECT_THAT(body,
                HasSubstr("\r\n->Error deleting " + Ansi(scratch / L"full") + ": Not empty\r\n"));
    EXPECT_THAT(body, HasSubstr("\r\n->Error deleting " + Ansi(scratch / L"notafolder") +
                                ": Not empty\r\n"));
    EXPECT_THAT(body, HasSubstr("\r\n->File " + Ansi(scratch / L"missing") + " not found:\r\n"));
}

}  // namespace
