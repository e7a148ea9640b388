// Full paths as the writer opens them: no component is ever read as a device
// or trimmed, and nothing climbs above its root.
#include "win32/path.h"

#include <gtest/gtest.h>

namespace {

struct FullPathCase {
    const wchar_t* path;
    const wchar_t* full;  // null: refused
};

TEST(FullPathTest, AbsolutePathsAreResolvedAsTextOnly)
{
    const FullPathCase cases[] = {
        {L"C:\\data\\com1.txt", L"C:\\data\\com1.txt"},
        {L"C:\\data\\NUL", L"C:\\data\\NUL"},
        {L"C:/data/./a/../con.txt", L"C:\\data\\con.txt"},
        {L"C:\\..\\..\\x", L"C:\\x"},
        {L"C:\\data\\\\sub\\", L"C:\\data\\sub"},
        {L"C:\\data\\name.", L"C:\\data\\name."},
        {L"\\\\?\\C:\\data\\aux", L"C:\\data\\aux"},
        {L"\\\\.\\C:\\data", L"C:\\data"},
        {L"\\\\?\\UNC\\server\\share\\x\\..\\y", L"\\\\server\\share\\y"},
        {L"\\\\server\\share", L"\\\\server\\share\\"},
        {L"\\\\.\\COM1", nullptr},
        {L"\\\\?\\Volume{0}\\x", nullptr},
        {L"\\\\server", nullptr},
        {L"", nullptr},
    };
    for (const FullPathCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        std::wstring full = L"unchanged";
        ASSERT_EQ(win32::FullPathOf(c.path, full), c.full != nullptr);
        if (c.full) {
            EXPECT_EQ(full, c.full);
        }
    }
}

TEST(FullPathTest, RelativePathsStartAtTheCurrentFolder)
{
    wchar_t before[MAX_PATH];
    wchar_t windows[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(ARRAYSIZE(before), before), 0u);
    ASSERT_GT(::GetWindowsDirectoryW(windows, ARRAYSIZE(windows)), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(windows));
    std::wstring relative;
    std::wstring rooted;
    const bool madeRelative = win32::FullPathOf(L"sub\\..\\lpt1.log", relative);
    const bool madeRooted = win32::FullPathOf(L"\\top", rooted);
    ::SetCurrentDirectoryW(before);
    ASSERT_TRUE(madeRelative && madeRooted);
    EXPECT_EQ(relative, std::wstring(windows) + L"\\lpt1.log");
    EXPECT_EQ(rooted, std::wstring(windows, 3) + L"top");
}

TEST(FullPathTest, ExtendedFormsKeepDrivesAndShares)
{
    EXPECT_EQ(win32::ExtendedPath(L"C:\\data\\con.txt"), L"\\\\?\\C:\\data\\con.txt");
    EXPECT_EQ(win32::ExtendedPath(L"\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(win32::ExtendedPath(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(win32::WithoutTrailingSeparators(L"C:\\"), L"C:\\");
    EXPECT_EQ(win32::WithoutTrailingSeparators(L"\\\\?\\C:\\"), L"\\\\?\\C:\\");
    EXPECT_EQ(win32::WithoutTrailingSeparators(L"C:\\a\\\\"), L"C:\\a");
}

TEST(JoinPathTest, OneSeparatorAndNeverTheCurrentDrivesRoot)
{
    const struct {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* joined;
    } cases[] = {
        {L"C:\\Program Files\\App", L"Graventa.exe", L"C:\\Program Files\\App\\Graventa.exe"},
        {L"C:\\Program Files\\App\\", L"Graventa.exe", L"C:\\Program Files\\App\\Graventa.exe"},
        {L"C:\\Program Files\\App", L"\\Graventa.exe", L"C:\\Program Files\\App\\Graventa.exe"},
        {L"C:\\Program Files\\App\\", L"\\Graventa.exe", L"C:\\Program Files\\App\\Graventa.exe"},
        {L"", L"Graventa.exe", L"Graventa.exe"},
        {L"", L"\\Graventa.exe", L"Graventa.exe"},
        {L"C:\\data", L"", L"C:\\data\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.folder) + L" + " + c.name));
        EXPECT_EQ(win32::JoinPath(c.folder, c.name), c.joined);
    }
}

}  // namespace
