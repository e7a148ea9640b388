// Links are never followed: whatever a link inside a shredded tree (or a
// selected link itself) points at survives byte for byte.
#include "engine/erase_methods.h"
#include "settings/settings_store.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/system_text.h"
#include "tests/engine/erase_test_support.h"

#include <winioctl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

using enginetest::Ansi;
using enginetest::Filler;
using enginetest::LogFile;
using enginetest::SymbolicLink;
using enginetest::TestRun;
using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::PathExists;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;

namespace {

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size()))
        ++count;
    return count;
}

class LinkTest : public ::testing::TestWithParam<int> {
protected:
    // The canaries live in a folder of their own, outside the shredded tree.
    ScratchFolder outside;
    ScratchFolder tree;
    LogFile log;
    TestRun run;
    std::unique_ptr<Eraser> eraser = MakeEraser(GetParam());
    std::vector<std::unique_ptr<SymbolicLink>> links;

    void SetUp() override
    {
        eraser->SetProgress(&run.Reporter());
        ASSERT_TRUE(eraser->OpenLog(log.Path()));
        ASSERT_TRUE(WriteFileBytes(outside / L"canary.txt", Filler(5000)));
        // Read-only, so that an attribute reset through a link would show.
        ASSERT_TRUE(
            ::SetFileAttributesW((outside / L"canary.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(::CreateDirectoryW((outside / L"dir").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(outside / L"dir\\inner.txt", Filler(700)));
        ASSERT_TRUE(::CreateDirectoryW((tree / L"sub").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(tree / L"sub\\plain.txt", Filler(100)));
    }
    void TearDown() override { links.clear(); }

    void Link(const std::wstring& link, const std::wstring& target, bool directory)
    {
        links.push_back(std::make_unique<SymbolicLink>(link, target, directory));
        ASSERT_TRUE(links.back()->Made());
    }
    void ExpectCanariesIntact()
    {
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(outside / L"canary.txt", bytes));
        EXPECT_EQ(bytes, Filler(5000));
        ASSERT_TRUE(ReadFileBytes(outside / L"dir\\inner.txt", bytes));
        EXPECT_EQ(bytes, Filler(700));
        EXPECT_TRUE(::GetFileAttributesW((outside / L"canary.txt").c_str()) &
                    FILE_ATTRIBUTE_READONLY);
    }
    // A link is removed as a link, or, where the system will not hand out the
    // link itself, left with an error line; never followed.
    void ExpectLinkGoneOrReported(const std::string& body, const std::wstring& link)
    {
        if (PathExists(link)) {
            EXPECT_THAT(body, HasSubstr("\r\n->Error deleting " + Ansi(link) + ":\r\n"));
        }
    }
};

TEST_P(LinkTest, LinksInsideATreeAreNotFollowed)
{
    Link(tree / L"sub\\file-link.txt", outside / L"canary.txt", false);
    Link(tree / L"sub\\dir-link", outside / L"dir", true);
    DocFolder folder;
    folder.SetPath(tree / L"sub", false);
    eraser->Erase(&folder);

    ExpectCanariesIntact();
    EXPECT_FALSE(PathExists(tree / L"sub\\plain.txt"));
    const std::string body = log.ReadBody(*eraser);
    ExpectLinkGoneOrReported(body, tree / L"sub\\file-link.txt");
    ExpectLinkGoneOrReported(body, tree / L"sub\\dir-link");
}

TEST_P(LinkTest, ASelectedLinkIsRemovedAsALinkOnly)
{
    Link(tree / L"file-link", outside / L"canary.txt", false);
    Link(tree / L"dir-link", outside / L"dir", true);
    DocFile file;
    file.SetPath(tree / L"file-link");
    DocFolder folder;
    folder.SetPath(tree / L"dir-link", true);
    EXPECT_TRUE(folder.GetChildren().empty());
    eraser->Erase(&file);
    eraser->Erase(&folder);

    ExpectCanariesIntact();
    const std::string body = log.ReadBody(*eraser);
    ExpectLinkGoneOrReported(body, tree / L"file-link");
    ExpectLinkGoneOrReported(body, tree / L"dir-link");
}

TEST_P(LinkTest, AWalkListsAFolderLinkWithoutItsContents)
{
    Link(tree / L"sub\\dir-link", outside / L"dir", true);
    DocFolder folder;
    folder.SetPath(tree / L"sub", true);
    std::vector<std::wstring> paths;
    for (auto& child : folder.GetChildren()) {
        paths.push_back(child->GetPath());
        if (auto* linked = dynamic_cast<DocFolder*>(child.get())) {
            EXPECT_TRUE(linked->GetChildren().empty());
        }
    }
    EXPECT_THAT(paths,
                ::testing::UnorderedElementsAre(tree / L"sub\\plain.txt", tree / L"sub\\dir-link"));
}

// The tree is fixed when it is listed; a file swapped for a link afterwards
// is checked again when its turn comes.
TEST_P(LinkTest, AFileReplacedByALinkAfterTheListingIsNotFollowed)
{
    DocFolder folder;
    folder.SetPath(tree / L"sub", false);
    ASSERT_TRUE(::DeleteFileW((tree / L"sub\\plain.txt").c_str()));
    Link(tree / L"sub\\plain.txt", outside / L"canary.txt", false);
    eraser->Erase(&folder);

    ExpectCanariesIntact();
    ExpectLinkGoneOrReported(log.ReadBody(*eraser), tree / L"sub\\plain.txt");
}

// Links the system opens as their targets without showing a reparse point
// (file links under Wine), or that sit in the middle of a selected path: the
// writer must notice them by what the handle really reached.
struct HiddenLinkCase {
    const char* name;
    const wchar_t* link;    // in the tree
    const wchar_t* target;  // in the outside folder; empty for the folder itself
    bool directory;
    const wchar_t* selected;  // in the tree
    bool selectFolder;
    bool besideTarget = false;  // link and selection in the outside folder instead
};

const HiddenLinkCase kHiddenLinks[] = {
    {"FileLinkNamedLikeItsTarget", L"sub\\canary.txt", L"canary.txt", false, L"sub", true},
    {"FileLinkDifferingOnlyInCase", L"sub\\CANARY.TXT", L"canary.txt", false, L"sub", true},
    {"FileBehindALinkedFolder", L"wl", L"dir", true, L"wl\\inner.txt", false},
    {"FolderBehindALinkedFolder", L"wl", L"", true, L"wl\\dir", true},
    // The reached path then differs from the asked one in letter case only.
    {"FileLinkBesideItsTargetDifferingOnlyInCase", L"CANARY.TXT", L"canary.txt", false,
     L"CANARY.TXT", false, true},
};

TEST_P(LinkTest, WhatIsReachedThroughALinkStaysWhereItIs)
{
    for (const HiddenLinkCase& c : kHiddenLinks) {
        SCOPED_TRACE(c.name);
        ScratchFolder caseTree;
        ASSERT_TRUE(::CreateDirectoryW((caseTree / L"sub").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(caseTree / L"sub\\plain.txt", Filler(100)));
        const std::wstring target = *c.target ? outside / c.target : outside.Path();
        const std::wstring root = c.besideTarget ? outside.Path() : caseTree.Path();
        Link(root + L"\\" + c.link, target, c.directory);
        LogFile caseLog;
        std::unique_ptr<Eraser> caseEraser = MakeEraser(GetParam());
        caseEraser->SetProgress(&run.Reporter());
        ASSERT_TRUE(caseEraser->OpenLog(caseLog.Path()));
        std::unique_ptr<IDAsset> asset;
        if (c.selectFolder) {
            auto folder = std::make_unique<DocFolder>();
            folder->SetPath(root + L"\\" + c.selected, false);
            asset = std::move(folder);
        } else {
            auto file = std::make_unique<DocFile>();
            file->SetPath(root + L"\\" + c.selected);
            asset = std::move(file);
        }
        caseEraser->Erase(asset.get());
        links.clear();

        ExpectCanariesIntact();
        // Under Wine such links stay: the log names them (or what lies behind).
        EXPECT_THAT(caseLog.ReadBody(*caseEraser),
                    HasSubstr("Error deleting " + Ansi(root + L"\\" + c.link)));
    }
}

// Paths whose last component is a device name under the plain Win32 rules
// ("com1.txt" is the first serial port) name files like any other.
TEST_P(LinkTest, FilesWithDeviceNamesAreTheFilesTheyAre)
{
    const wchar_t* const names[] = {L"aux.c", L"com1.txt", L"con.txt", L"NUL", L"lpt1.log"};
    const std::wstring folder = tree / L"devices";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    std::vector<std::wstring> files;
    for (const wchar_t* name : names) {
        files.push_back(folder + L"\\" + name);
        ASSERT_TRUE(WriteFileBytes(L"\\\\?\\" + files.back(), Filler(3000)));
    }
    const std::wstring single = tree / L"com2.txt";
    ASSERT_TRUE(WriteFileBytes(L"\\\\?\\" + single, Filler(10)));

    DocFolder walked;
    walked.SetPath(folder, false);
    EXPECT_EQ(walked.GetChildren().size(), files.size());
    eraser->Erase(&walked);
    DocFile selected;
    selected.SetPath(single);
    EXPECT_EQ(selected.GetSize(), 10u);
    eraser->Erase(&selected);
    files.push_back(single);

    const std::string body = log.ReadBody(*eraser);
    for (const std::wstring& file : files) {
        SCOPED_TRACE(Ansi(file));
        if (GetParam() == 1) {
            // The shell reads plain paths: simple delete leaves such a file
            // and says so.
            EXPECT_TRUE(PathExists(L"\\\\?\\" + file));
            EXPECT_THAT(body, HasSubstr("Error deleting " + Ansi(file) + ":"));
        } else {
            EXPECT_FALSE(PathExists(L"\\\\?\\" + file));
        }
    }
    if (GetParam() != 1) {
        EXPECT_THAT(body, Not(HasSubstr("Error")));
        EXPECT_THAT(body, Not(HasSubstr("not found")));
    }
    // Nothing reached the device the name stands for.
    win32::UniqueFile port(::CreateFileW(L"\\\\.\\COM1", GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    LARGE_INTEGER size{};
    if (port && ::GetFileType(port.get()) == FILE_TYPE_DISK && ::GetFileSizeEx(port.get(), &size)) {
        EXPECT_EQ(size.QuadPart, 0);
    }
}

// A listing can return names that hold a separator (a Unix name with "\\")
// or a stream separator (":"): joined to the folder's path they would name
// something outside it, or a stream of a file beside them.
TEST_P(LinkTest, ListedNamesThatNameSomethingElseAreReportedAndLeft)
{
    if (!enginetest::UnixNamedItem(tree.Path(), "probe\\name", enginetest::UnixItem::kFile).Made())
        GTEST_SKIP() << "names with a backslash can be made only under Wine";
    const std::wstring inside = tree / L"inside";
    ASSERT_TRUE(::CreateDirectoryW(inside.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(inside + L"\\plain.txt", Filler(100)));
    const std::string up =
        "..\\..\\" + Ansi(outside.Path().substr(outside.Path().rfind(L'\\') + 1)) + "\\";
    const struct {
        std::string name;
        enginetest::UnixItem kind;
    } names[] = {
        {up + "canary.txt", enginetest::UnixItem::kFile},
        {up + "dir", enginetest::UnixItem::kFolder},
        {"plain.txt:secret", enginetest::UnixItem::kFile},
        {"plain.txt::$DATA", enginetest::UnixItem::kFile},
        {"sub:folder", enginetest::UnixItem::kFolder},
    };
    std::vector<std::unique_ptr<enginetest::UnixNamedItem>> items;
    for (const auto& n : names) {
        items.push_back(std::make_unique<enginetest::UnixNamedItem>(inside, n.name, n.kind));
        ASSERT_TRUE(items.back()->Made()) << n.name;
    }

    DocFolder walked;
    walked.SetPath(inside, false);
    eraser->Erase(&walked);

    ExpectCanariesIntact();
    const std::string body = log.ReadBody(*eraser);
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(names[i].name);
        EXPECT_TRUE(items[i]->Exists());
        EXPECT_EQ(CountOf(body, "\r\n->Error deleting " + Ansi(inside) + "\\" + names[i].name +
                                    ":\r\n" + testsupport::SystemText(ERROR_INVALID_NAME)),
                  1u);
    }
    EXPECT_FALSE(PathExists(inside + L"\\plain.txt"));
}

// Junctions need FSCTL_SET_REPARSE_POINT, which Wine 8 does not offer.
TEST_P(LinkTest, JunctionInsideATreeIsNotFollowed)
{
    const std::wstring junction = tree / L"sub\\junction";
    ASSERT_TRUE(::CreateDirectoryW(junction.c_str(), nullptr));
    win32::UniqueFile handle(
        ::CreateFileW(junction.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    ASSERT_TRUE(handle);
    const std::wstring substitute = L"\\??\\" + (outside / L"dir");
    const std::wstring printName = outside / L"dir";
    const WORD cbSubstitute = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    const WORD cbPrint = static_cast<WORD>(printName.size() * sizeof(wchar_t));
    std::vector<BYTE> buffer(16 + cbSubstitute + cbPrint + 4);
    auto* words = reinterpret_cast<WORD*>(buffer.data());
    *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[2] = static_cast<WORD>(buffer.size() - 8);  // data length
    words[4] = 0;                                     // substitute name offset
    words[5] = cbSubstitute;
    words[6] = static_cast<WORD>(cbSubstitute + 2);  // print name offset
    words[7] = cbPrint;
    memcpy(buffer.data() + 16, substitute.data(), cbSubstitute);
    memcpy(buffer.data() + 16 + cbSubstitute + 2, printName.data(), cbPrint);
    DWORD cbReturned = 0;
    if (!::DeviceIoControl(handle.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                           static_cast<DWORD>(buffer.size()), nullptr, 0, &cbReturned, nullptr))
        GTEST_SKIP() << "this system cannot make junctions (error " << ::GetLastError() << ")";
    handle.reset();

    DocFolder folder;
    folder.SetPath(tree / L"sub", false);
    eraser->Erase(&folder);
    ExpectCanariesIntact();
    ExpectLinkGoneOrReported(log.ReadBody(*eraser), junction);
}

// A file with several names (hard links): shredding one name must not
// destroy what the names left outside the selection still hold.
struct HardLinkCase {
    const char* name;
    const wchar_t* chosen;  // in the shredded tree
    enum class Where { kOutside, kTemp, kTree } where;
    const wchar_t* other;  // the other name, in `where`
    bool selectFolder;     // the tree's folder "sub" is shredded, else the file alone
    DWORD attributes;      // of the file, shared by its names
};

const HardLinkCase kHardLinks[] = {
    {"OtherNameOutsideAShreddedFolder", L"sub\\linked.txt", HardLinkCase::Where::kOutside,
     L"other.txt", true, FILE_ATTRIBUTE_NORMAL},
    {"OtherNameInTempOfASelectedFile", L"linked.txt", HardLinkCase::Where::kTemp,
     L"ScoravelHardLink.tmp", false, FILE_ATTRIBUTE_NORMAL},
    {"ReadOnlyHiddenFileKeepsItsAttributes", L"guarded.txt", HardLinkCase::Where::kOutside,
     L"guarded.txt", false, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN},
    // Both names shredded: the first goes as a name, the last is overwritten.
    {"BothNamesInTheShreddedFolder", L"sub\\a.txt", HardLinkCase::Where::kTree, L"sub\\b.txt", true,
     FILE_ATTRIBUTE_NORMAL},
};

TEST(HardLinkTest, OnlyTheShreddedNamesGoAndTheOthersKeepTheirBytes)
{
    wchar_t temp[MAX_PATH];
    ASSERT_GT(::GetTempPathW(ARRAYSIZE(temp), temp), 0u);
    for (int methodId : {2, 4}) {
        for (const HardLinkCase& c : kHardLinks) {
            SCOPED_TRACE(std::string(c.name) + " method " + std::to_string(methodId));
            ScratchFolder tree;
            ScratchFolder outside;
            ASSERT_TRUE(::CreateDirectoryW((tree / L"sub").c_str(), nullptr));
            const std::wstring chosen = tree / c.chosen;
            const std::wstring other =
                c.where == HardLinkCase::Where::kOutside ? outside / c.other
                : c.where == HardLinkCase::Where::kTree
                    ? tree / c.other
                    : temp + std::to_wstring(::GetCurrentProcessId()) + c.other;
            struct RemovedAtEnd {
                std::wstring path;
                ~RemovedAtEnd()
                {
                    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileW(path.c_str());
                }
            } removeOther{other};
            ASSERT_TRUE(WriteFileBytes(chosen, Filler(70000)));
            ASSERT_TRUE(::CreateHardLinkW(other.c_str(), chosen.c_str(), nullptr));
            ASSERT_TRUE(::SetFileAttributesW(chosen.c_str(), c.attributes));

            LogFile log;
            TestRun run;
            enginetest::RecordingCalls calls;
            std::unique_ptr<Eraser> eraser = MakeEraser(methodId);
            eraser->SetProgress(&run.Reporter());
            eraser->SetFileCalls(&calls);
            ASSERT_TRUE(eraser->OpenLog(log.Path()));
            if (c.selectFolder) {
                DocFolder folder;
                folder.SetPath(tree / L"sub", false);
                eraser->Erase(&folder);
                EXPECT_EQ(folder.GetStatus(), kAssetDestroyed);
            } else {
                DocFile file;
                file.SetPath(chosen);
                eraser->Erase(&file);
                EXPECT_EQ(file.GetStatus(), kAssetDestroyed);
            }

            EXPECT_FALSE(PathExists(chosen));
            const std::string body = log.ReadBody(*eraser);
            // Of two shredded names, whichever the walk meets first is the one kept.
            auto keptLines = [&](const std::wstring& name) {
                return CountOf(body, "\r\n->File " + Ansi(name) +
                                         " has other names that still hold its contents");
            };
            EXPECT_EQ(
                keptLines(chosen) + (c.where == HardLinkCase::Where::kTree ? keptLines(other) : 0),
                1u)
                << body;
            EXPECT_THAT(body, Not(HasSubstr("Error")));
            const std::vector<std::string> writes = calls.Writes();
            if (c.where == HardLinkCase::Where::kTree) {
                EXPECT_FALSE(PathExists(other));
                EXPECT_FALSE(writes.empty()) << "the last name is shredded whole";
                continue;
            }
            std::string bytes;
            ASSERT_TRUE(ReadFileBytes(other, bytes));
            EXPECT_TRUE(bytes == Filler(70000)) << bytes.size() << " bytes left, not as written";
            EXPECT_TRUE(writes.empty()) << testing::PrintToString(writes);
            EXPECT_EQ(::GetFileAttributesW(other.c_str()) &
                          (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
                      c.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        }
    }
}

// The protected-path test judges what a path would open, not only its text.
TEST(ProtectedLinkTest, APathReachingTheWindowsFolderThroughALinkIsProtected)
{
    wchar_t windows[MAX_PATH];
    ASSERT_GT(::GetWindowsDirectoryW(windows, ARRAYSIZE(windows)), 0u);
    ScratchFolder tree;
    ASSERT_TRUE(WriteFileBytes(tree / L"plain.txt", Filler(10)));
    SymbolicLink folderLink(tree / L"wl", windows, true);
    SymbolicLink fileLink(tree / L"win.ini", std::wstring(windows) + L"\\win.ini", false);
    SymbolicLink plainLink(tree / L"other.txt", tree / L"plain.txt", false);
    ASSERT_TRUE(folderLink.Made() && fileLink.Made() && plainLink.Made());

    SettingsStore store;
    EXPECT_TRUE(store.IsProtectedPath(tree / L"wl\\win.ini"));
    EXPECT_TRUE(store.IsProtectedPath(tree / L"win.ini"));
    EXPECT_TRUE(store.IsProtectedPath(tree / L"wl\\system32"));
    EXPECT_FALSE(store.IsProtectedPath(tree / L"other.txt"));
    EXPECT_FALSE(store.IsProtectedPath(tree / L"plain.txt"));
}

INSTANTIATE_TEST_SUITE_P(Methods, LinkTest, ::testing::Values(1, 2, 4), [](const auto& info) {
    return info.param == 1 ? "SimpleDelete" : info.param == 2 ? "OneX" : "SevenX";
});

}  // namespace
