// The overwrite writer on real files: the exact order of writes, renames and
// deletes, what is on disk before the file goes, and the failure paths.
#include "engine/erase_methods.h"
#include "engine/run_state.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/system_text.h"
#include "tests/engine/erase_test_support.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using enginetest::Filler;
using enginetest::LogFile;
using enginetest::RecordingCalls;
using enginetest::TestRun;
using ::testing::HasSubstr;
using testsupport::PathExists;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;
using testsupport::SystemText;
using testsupport::WriteFileBytes;

namespace {

// Every pass writes each region three times: zeros, 0xFF, random.
void AddRegion(std::vector<std::string>& writes, uint64_t position, uint64_t length, int passes)
{
    for (int pass = 0; pass < passes; ++pass) {
        for (char pattern : {'0', 'F', 'R'})
            writes.push_back("W " + std::to_string(position) + " " + std::to_string(length) + " " +
                             pattern);
    }
}

std::vector<std::string> ExpectedEvents(uint64_t size, int passes)
{
    // One handle for everything: no attribute reset on a plain file.
    std::vector<std::string> events = {"O a.a"};
    if (size > 0) {
        AddRegion(events, size - 1, 1, passes);
        for (uint64_t offset = 0; offset < size - 1; offset += 65536)
            AddRegion(events, offset, std::min<uint64_t>(65536, size - 1 - offset), passes);
        events.push_back("S");
        events.push_back("T 0");
    }
    // "a" (97) becomes "P", "8", "K", ... (code modulo 36 in 0-9A-Z); dots stay.
    const std::vector<std::string> names = {"a.a", "P.P", "8.8", "K.K", "3.3", "F.F", "Y.Y", "H.H"};
    for (int pass = 0; pass < passes; ++pass)
        events.push_back("R " + names[pass] + " " + names[pass + 1]);
    events.push_back("D " + names[passes]);
    return events;
}

struct SequenceCase {
    uint64_t size;
    int methodId;  // 2 OneX, 4 SevenX
    int passes;
};

void PrintTo(const SequenceCase& c, std::ostream* os)
{
    *os << c.size << " bytes, " << c.passes << " passes";
}

class WriteSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(WriteSequenceTest, LastByteThenChunksThenTruncateRenamesAndDelete)
{
    const SequenceCase c = GetParam();
    ScratchFolder scratch;
    const std::wstring path = scratch / L"a.a";
    const std::string original = Filler(static_cast<size_t>(c.size));
    ASSERT_TRUE(WriteFileBytes(path, original));

    TestRun run;
    RecordingCalls calls;
    auto eraser = MakeEraser(c.methodId);
    eraser->SetProgress(&run.Reporter());
    eraser->SetFileCalls(&calls);
    DocFile file;
    file.SetPath(path);
    eraser->Erase(&file);

    EXPECT_EQ(calls.Events(), ExpectedEvents(c.size, c.passes));
    EXPECT_EQ(file.GetStatus(), kAssetDestroyed);
    EXPECT_FALSE(PathExists(path));
    EXPECT_FALSE(PathExists(file.GetPath()));
    EXPECT_TRUE(AnyAssetShredded.load());

    // What was on disk just before the cut: the last pattern, random, over
    // every byte; nothing of the original left.
    if (c.size > 0) {
        const std::string& disk = calls.contentAtTruncate;
        ASSERT_EQ(disk.size(), c.size);
        ASSERT_FALSE(calls.randomBlock.empty());
        EXPECT_EQ(disk.back(), calls.randomBlock[0]);
        for (uint64_t offset = 0; offset < c.size - 1; offset += 65536) {
            const size_t length =
                static_cast<size_t>(std::min<uint64_t>(65536, c.size - 1 - offset));
            ASSERT_EQ(
                disk.compare(static_cast<size_t>(offset), length, calls.randomBlock, 0, length), 0)
                << "chunk at " << offset;
        }
        // One random byte may equal the original one by chance.
        if (c.size > 1) {
            EXPECT_NE(disk, original);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, WriteSequenceTest,
                         ::testing::Values(SequenceCase{0, 2, 1}, SequenceCase{1, 2, 1},
                                           SequenceCase{65536, 2, 1}, SequenceCase{65537, 2, 1},
                                           SequenceCase{3 * 65536 + 100, 2, 1},
                                           SequenceCase{0, 4, 7}, SequenceCase{1, 4, 7},
                                           SequenceCase{65536, 4, 7}, SequenceCase{65537, 4, 7},
                                           SequenceCase{3 * 65536 + 100, 4, 7}),
                         [](const auto& info) {
                             return "Size" + std::to_string(info.param.size) + "Passes" +
                                    std::to_string(info.param.passes);
                         });

class WriterTest : public ::testing::Test {
protected:
    ScratchFolder scratch;
    LogFile log;
    TestRun run;
    OneX eraser;
    RecordingCalls calls;

    void SetUp() override
    {
        eraser.SetProgress(&run.Reporter());
        ASSERT_TRUE(eraser.OpenLog(log.Path()));
        eraser.SetFileCalls(&calls);
    }
};

// A file that grew after it was listed is overwritten to its current end.
TEST_F(WriterTest, FileThatGrewSinceItWasListedIsOverwrittenToItsEnd)
{
    std::wstring path = scratch / L"grown.bin";
    const size_t size = 2 * 65536 + 10;
    ASSERT_TRUE(WriteFileBytes(path, Filler(size)));
    EXPECT_TRUE(eraser.OverwriteFile(path, 0, 100));
    const std::string& disk = calls.contentAtTruncate;
    ASSERT_EQ(size, disk.size());
    EXPECT_EQ(0, disk.compare(2 * 65536, 9, calls.randomBlock, 0, 9)) << "the grown tail";
    EXPECT_EQ(disk.back(), calls.randomBlock[0]);
}

TEST_F(WriterTest, WriteReportingSuccessWithNothingWrittenFailsAndKeepsTheFile)
{
    const std::wstring path = scratch / L"stuck.bin";
    ASSERT_TRUE(WriteFileBytes(path, Filler(5000)));
    calls.writeFault = [](int, DWORD, DWORD* cbWritten, BOOL* result) {
        *cbWritten = 0;
        *result = TRUE;
        return true;
    };
    DocFile file;
    file.SetPath(path);
    EXPECT_FALSE(eraser.ShredFile(&file, 1));

    EXPECT_EQ(calls.Writes().size(), 1u);
    EXPECT_EQ(file.GetStatus(), kAssetNotDestroyed);
    EXPECT_EQ(file.GetPath(), path);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, Filler(5000));
    const std::string body = log.ReadBody(eraser);
    EXPECT_THAT(body, HasSubstr("\r\n->Error overwriting MFTTempfile:\r\n" +
                                SystemText(ERROR_WRITE_FAULT)));
    EXPECT_THAT(body, HasSubstr("\r\n->Error overwriting " + enginetest::Ansi(path) + ":\r\n"));
}

TEST_F(WriterTest, BufferErrorFallsBackToOneKibibyteWritesAndGoesOn)
{
    const std::wstring path = scratch / L"a.a";
    ASSERT_TRUE(WriteFileBytes(path, Filler(65537)));
    // Writes 1-3 cover the last byte; write 4 is the first chunk's zeros.
    calls.writeFault = [](int number, DWORD, DWORD*, BOOL* result) {
        if (number != 4)
            return false;
        ::SetLastError(ERROR_INVALID_USER_BUFFER);
        *result = FALSE;
        return true;
    };
    DocFile file;
    file.SetPath(path);
    EXPECT_TRUE(eraser.ShredFile(&file, 1));

    std::vector<std::string> expected = {"W 65536 1 0", "W 65536 1 F", "W 65536 1 R",
                                         "W 0 65536 0"};
    for (int i = 0; i < 64; ++i)
        expected.push_back("W " + std::to_string(i * 1024) + " 1024 0");
    expected.push_back("W 0 65536 F");
    expected.push_back("W 0 65536 R");
    EXPECT_EQ(calls.Writes(), expected);
    EXPECT_FALSE(PathExists(path));
}

// Renames and the delete go through the file's handle; when they fail, the
// emptied file stays under the name the log gives.
struct HandleFailureCase {
    int renamesThatWork;  // then every rename fails
    const wchar_t* leftAs;
    const char* line;  // the log line naming where it is
} const kHandleFailures[] = {
    {2, L"a.a", "\r\n->Error deleting %P.P:\r\n"},  // the name given back
    {0, L"a.a", "\r\n->Error deleting %a.a:\r\n"},  // never renamed
    {1, L"P.P", "\r\n->Error renaming file back to original name. File is left as  %P.P:\r\n"},
};

TEST_F(WriterTest, FailingRenameOrDeleteLeavesTheFileWhereTheLogSays)
{
    for (const HandleFailureCase& c : kHandleFailures) {
        SCOPED_TRACE(c.line);
        class Failing : public RecordingCalls {
        public:
            int renamesLeft = 0;
            BOOL RenameOpen(HANDLE file, const wchar_t* to) override
            {
                if (renamesLeft-- > 0)
                    return RecordingCalls::RenameOpen(file, to);
                ::SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            BOOL DeleteOpen(HANDLE) override
            {
                ::SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
        } failing;
        failing.renamesLeft = c.renamesThatWork;
        ScratchFolder folder;
        LogFile caseLog;
        OneX caseEraser;
        ASSERT_TRUE(caseEraser.OpenLog(caseLog.Path()));
        caseEraser.SetFileCalls(&failing);
        ASSERT_TRUE(WriteFileBytes(folder / L"a.a", Filler(100)));
        DocFile file;
        file.SetPath(folder / L"a.a");
        EXPECT_FALSE(caseEraser.ShredFile(&file, 1));

        const std::wstring where = folder / c.leftAs;
        EXPECT_EQ(file.GetStatus(), kAssetNotDestroyed);
        EXPECT_EQ(file.GetPath(), where);
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(where, bytes));
        EXPECT_TRUE(bytes.empty());
        EXPECT_FALSE(PathExists(folder / (where == folder / L"a.a" ? L"P.P" : L"a.a")));
        std::string line = c.line;
        line.replace(line.find('%'), 1, enginetest::Ansi(folder.Path() + L"\\"));
        EXPECT_THAT(caseLog.ReadBody(caseEraser),
                    HasSubstr(line + SystemText(ERROR_ACCESS_DENIED)));
    }
}

// Only a file on a disk is written: a name that leads to a character device
// (a device node, as Unix allows), or a handle that turns out to be a pipe,
// leaves both the device and the named item as they are.
TEST_F(WriterTest, ItemThatIsNoDiskFileIsNeitherWrittenNorRemoved)
{
    const std::wstring pipeName =
        L"\\\\.\\pipe\\ScoravelWriterTest" + std::to_wstring(::GetCurrentProcessId());
    const win32::UniqueFile pipe(::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX,
                                                    PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(pipe);
    const struct {
        const char* name;
        bool deviceNode;  // else a file, whose shred's open reaches the pipe
        DWORD typeReached;
    } cases[] = {{"Pipe", false, FILE_TYPE_PIPE}, {"CharacterDevice", true, FILE_TYPE_CHAR}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The shred's own open is the one that asks to write.
        class Swapping : public RecordingCalls {
        public:
            std::wstring swapFor;
            DWORD typeReached = FILE_TYPE_UNKNOWN;
            HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags) override
            {
                const HANDLE handle =
                    !(access & GENERIC_WRITE) || swapFor.empty()
                        ? RecordingCalls::Open(path, access, share, disposition, flags)
                        : ::CreateFileW(swapFor.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
                if ((access & GENERIC_WRITE) && handle != INVALID_HANDLE_VALUE)
                    typeReached = ::GetFileType(handle);
                return handle;
            }
        } swapping;
        ScratchFolder folder;
        LogFile caseLog;
        OneX caseEraser;
        ASSERT_TRUE(caseEraser.OpenLog(caseLog.Path()));
        caseEraser.SetFileCalls(&swapping);
        const std::wstring path = folder / L"named.txt";
        std::unique_ptr<enginetest::UnixNamedItem> node;
        if (c.deviceNode) {
            node = std::make_unique<enginetest::UnixNamedItem>(folder.Path(), "named.txt",
                                                               enginetest::UnixItem::kNullDevice);
            if (!node->Made())
                GTEST_SKIP() << "device nodes can be made only by the superuser under Wine";
        } else {
            swapping.swapFor = pipeName;
            ASSERT_TRUE(WriteFileBytes(path, Filler(3000)));
        }
        DocFile file;
        file.SetPath(path);
        EXPECT_FALSE(caseEraser.ShredFile(&file, 1));

        EXPECT_EQ(c.typeReached, swapping.typeReached);
        EXPECT_EQ(file.GetStatus(), kAssetNotDestroyed);
        std::vector<std::string> changes = swapping.Events();
        changes.erase(std::remove_if(changes.begin(), changes.end(),
                                     [](const std::string& e) { return e.rfind("O ", 0) == 0; }),
                      changes.end());
        EXPECT_TRUE(changes.empty()) << testing::PrintToString(changes);
        if (node) {
            EXPECT_TRUE(node->Exists());
        } else {
            std::string bytes;
            ASSERT_TRUE(ReadFileBytes(path, bytes));
            EXPECT_EQ(bytes, Filler(3000));
        }
        EXPECT_THAT(caseLog.ReadBody(caseEraser),
                    HasSubstr("\r\n->Error deleting " + enginetest::Ansi(path) + ":\r\n" +
                              SystemText(ERROR_NOT_SUPPORTED)));
    }
}

TEST_F(WriterTest, FileHeldByAnotherProcessIsLeftWhole)
{
    const std::wstring path = scratch / L"held.doc";
    ASSERT_TRUE(WriteFileBytes(path, Filler(70000)));
    DocFile file;
    file.SetPath(path);
    {
        enginetest::FileHeldByOtherProcess held(path);
        ASSERT_TRUE(held.Holding());
        EXPECT_FALSE(eraser.ShredFile(&file, 1));
    }
    EXPECT_EQ(file.GetStatus(), kAssetNotDestroyed);
    EXPECT_TRUE(calls.Writes().empty());
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, Filler(70000));
    EXPECT_THAT(log.ReadBody(eraser),
                HasSubstr("\r\n->Error opening " + enginetest::Ansi(path) + " for delete:\r\n" +
                          SystemText(ERROR_SHARING_VIOLATION)));
}

TEST_F(WriterTest, ReadOnlyHiddenAndSystemFilesAreShredded)
{
    const std::wstring path = scratch / L"guarded.sys";
    ASSERT_TRUE(WriteFileBytes(path, Filler(1234)));
    ASSERT_TRUE(::SetFileAttributesW(
        path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    DocFile file;
    file.SetPath(path);
    EXPECT_TRUE(eraser.ShredFile(&file, 3));
    EXPECT_FALSE(PathExists(path));
    EXPECT_EQ(file.GetStatus(), kAssetDestroyed);
    EXPECT_EQ(calls.Writes().size(), 2u * 9u);
}

TEST_F(WriterTest, MissingFileIsReportedNotFound)
{
    DocFile file;
    file.SetPath(scratch / L"gone.txt");
    EXPECT_FALSE(eraser.ShredFile(&file, 1));
    EXPECT_EQ(file.GetStatus(), kAssetNotFound);
    EXPECT_EQ(calls.Events(), std::vector<std::string>{"O gone.txt"});
    EXPECT_THAT(log.ReadBody(eraser),
                HasSubstr("\r\n->File " + enginetest::Ansi(scratch / L"gone.txt") +
                          " not found:\r\n" + SystemText(ERROR_FILE_NOT_FOUND)));
}

// A file whose full path is exactly `cch` characters, in folders under `root`.
std::wstring PathOfLength(const std::wstring& root, size_t cch, size_t cbContent)
{
    std::wstring folder = root;
    while (folder.size() + 41 + 12 < cch) {
        folder += L"\\" + std::wstring(40, L'd');
        EXPECT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    }
    const std::wstring path = folder + L"\\" + std::wstring(cch - folder.size() - 1, L'f');
    EXPECT_TRUE(WriteFileBytes(L"\\\\?\\" + path, Filler(cbContent)));
    return path;
}

TEST_F(WriterTest, PathOfMaxPathCharactersIsSkippedWholeAndCounted)
{
    const std::wstring path = PathOfLength(scratch.Path(), MAX_PATH, 3000);
    DocFileList list;
    list.AddFile(path);
    eraser.SetByteCount(3000 + 1000);
    eraser.Erase(&list);

    EXPECT_TRUE(calls.Events().empty());
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(L"\\\\?\\" + path, bytes));
    EXPECT_EQ(bytes, Filler(3000));
    EXPECT_EQ(run.Reporter().percents, std::vector<int>({75, 100}));
    EXPECT_THAT(log.ReadBody(eraser),
                HasSubstr("\r\n->Error opening " + enginetest::Ansi(path) + " for delete:\r\n" +
                          SystemText(ERROR_FILENAME_EXCED_RANGE)));
}

TEST_F(WriterTest, PathOneShorterThanMaxPathIsShredded)
{
    const std::wstring path = PathOfLength(scratch.Path(), MAX_PATH - 1, 3000);
    DocFile file;
    file.SetPath(path);
    EXPECT_TRUE(eraser.ShredFile(&file, 1));
    EXPECT_FALSE(calls.Writes().empty());
    EXPECT_FALSE(PathExists(L"\\\\?\\" + path));
}

TEST_F(WriterTest, FolderIsRenamedThenRemovedAndKeepsItsNameWhenItCannotBe)
{
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"a").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"b").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(scratch / L"b\\left", "x"));
    DocFolder empty;
    empty.SetPath(scratch / L"a", false);
    DocFolder full;
    full.SetPath(scratch / L"b", false);
    full.GetChildren().clear();

    EXPECT_TRUE(eraser.DeleteFolder(&empty, 3));
    EXPECT_FALSE(eraser.DeleteFolder(&full, 1));

    EXPECT_EQ(calls.Events(), (std::vector<std::string>{"R a P", "R P 8", "R 8 K", "A K", "RD K",
                                                        "R b Q", "A Q", "RD Q", "R Q b"}));
    EXPECT_FALSE(PathExists(scratch / L"a"));
    EXPECT_EQ(empty.GetStatus(), kAssetDestroyed);
    EXPECT_TRUE(PathExists(scratch / L"b\\left"));
    EXPECT_EQ(full.GetStatus(), kAssetFolderNotRemoved);
    EXPECT_THAT(log.ReadBody(eraser),
                HasSubstr("\r\n->Error deleting " + enginetest::Ansi(scratch / L"b") + ":\r\n" +
                          SystemText(ERROR_DIR_NOT_EMPTY)));
}

TEST(PatternBufferTest, TwoThreadsShreddingAtOnceShareOneSetOfBuffers)
{
    ScratchFolder scratch;
    RecordingCalls calls;
    // Both threads reach their first write together (or give up waiting).
    std::mutex lock;
    std::condition_variable arrived;
    int waiting = 0;
    calls.beforeOpen = [&] {
        std::unique_lock<std::mutex> hold(lock);
        ++waiting;
        arrived.notify_all();
        arrived.wait_for(hold, std::chrono::seconds(20), [&] { return waiting >= 2; });
    };
    auto shred = [&](const std::wstring& name) {
        ASSERT_TRUE(WriteFileBytes(scratch / name, Filler(8 * 65536)));
        TestRun run;
        SevenX eraser;
        eraser.SetProgress(&run.Reporter());
        eraser.SetFileCalls(&calls);
        DocFile file;
        file.SetPath(scratch / name);
        eraser.Erase(&file);
        EXPECT_EQ(file.GetStatus(), kAssetDestroyed) << ::testing::PrintToString(calls.Events());
    };
    std::thread first(shred, L"first.bin");
    std::thread second(shred, L"second.bin");
    first.join();
    second.join();
    EXPECT_EQ(calls.Writes().size(), 2u * 9u * 21u);
    for (const auto& sources : calls.patternSources)
        EXPECT_EQ(sources.size(), 1u);
}

}  // namespace
