// Links are never followed: whatever a link inside a shredded tree (or a
// selected link itself) points at survives byte for byte.
#include "engine/erase_methods.h"
#include "tests/common/scratch_folder.h"
#include "tests/engine/erase_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <winioctl.h>

#include <memory>

using enginetest::Ansi;
using enginetest::Filler;
using enginetest::LogFile;
using enginetest::SymbolicLink;
using enginetest::TestRun;
using testsupport::PathExists;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;
using ::testing::HasSubstr;

namespace {

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
        ASSERT_TRUE(eraser->OpenLog(log.Path()));
        ASSERT_TRUE(WriteFileBytes(outside / L"canary.txt", Filler(5000)));
        // Read-only, so that an attribute reset through a link would show.
        ASSERT_TRUE(::SetFileAttributesW((outside / L"canary.txt").c_str(), FILE_ATTRIBUTE_READONLY));
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
        EXPECT_TRUE(::GetFileAttributesW((outside / L"canary.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
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
    EXPECT_THAT(paths, ::testing::UnorderedElementsAre(tree / L"sub\\plain.txt", tree / L"sub\\dir-link"));
}

// Junctions need FSCTL_SET_REPARSE_POINT, which Wine 8 does not offer.
TEST_P(LinkTest, JunctionInsideATreeIsNotFollowed)
{
    const std::wstring junction = tree / L"sub\\junction";
    ASSERT_TRUE(::CreateDirectoryW(junction.c_str(), nullptr));
    win32::UniqueFile handle(::CreateFileW(junction.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                           nullptr));
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

INSTANTIATE_TEST_SUITE_P(Methods, LinkTest, ::testing::Values(1, 2, 4), [](const auto& info) {
    return info.param == 1 ? "SimpleDelete" : info.param == 2 ? "OneX" : "SevenX";
});

}  // namespace
