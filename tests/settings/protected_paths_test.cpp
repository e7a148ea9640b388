// The protected-path test, including spellings that name a protected place
// in another way.
#include "settings/settings_store.h"
#include "tests/common/scratch_folder.h"

#include <gtest/gtest.h>

namespace {

std::wstring Env(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return value;
}

std::wstring SystemRoot()
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, ARRAYSIZE(system));
    return std::wstring(system).substr(0, 3);
}

TEST(ProtectedPaths, PatternsComeFromTheEnvironmentInOrder)
{
    SettingsStore store;
    const auto& patterns = store.ProtectedPatterns();
    EXPECT_EQ(Env(L"WINDIR"), patterns[0]);
    EXPECT_EQ(L"*.dll", patterns[1]);
    EXPECT_EQ(Env(L"ProgramFiles"), patterns[2]);
    // A 64-bit process protects the 32-bit program folder too.
    EXPECT_EQ(Env(L"ProgramFiles(x86)"), patterns[3]);
    EXPECT_NE(patterns[2], patterns[3]);

    // The folder patterns are upper-cased by the first test.
    store.IsProtectedPath(L"D:\\nothing");
    EXPECT_EQ(L"*.DLL", store.ProtectedPatterns()[1]);
}

TEST(ProtectedPaths, SystemDriveRootInAnySpelling)
{
    SettingsStore store;
    const std::wstring root = SystemRoot();
    const std::wstring drive = root.substr(0, 2);
    for (const std::wstring& path : std::initializer_list<std::wstring>{
             root, drive, drive + L"/", drive + L"\\\\", drive + L"\\.", L"\\\\?\\" + root,
             drive + L"\\Windows\\..", drive + L"\\users\\..\\.\\", drive + L"/users/.."}) {
        EXPECT_TRUE(store.IsProtectedPath(path)) << path;
    }
    std::wstring lower = root;
    lower[0] = static_cast<wchar_t>(towlower(lower[0]));
    EXPECT_TRUE(store.IsProtectedPath(lower));
}

TEST(ProtectedPaths, FilesDirectlyInTheRootButNotFolders)
{
    SettingsStore store;
    EXPECT_TRUE(store.IsProtectedPath(L"C:\\boot.ini"));
    EXPECT_TRUE(store.IsProtectedPath(L"C:/users/../config.sys"));
    EXPECT_FALSE(store.IsProtectedPath(L"C:\\users"));
    EXPECT_FALSE(store.IsProtectedPath(L"C:\\users\\"));
    // A name that does not exist is judged as a file.
    EXPECT_TRUE(store.IsProtectedPath(L"C:\\no-such-folder"));
}

TEST(ProtectedPaths, EverythingBelowTheWindowsAndProgramFolders)
{
    SettingsStore store;
    const std::wstring windows = Env(L"WINDIR");
    for (const std::wstring& path : std::initializer_list<std::wstring>{
             windows, windows + L"\\system32\\notes.txt", L"c:\\WINDOWS\\Temp",
             L"C:/Windows/../Windows/notepad.exe", windows + L"\\.", windows + L"\\\\",
             windows + L"Old\\x.txt", L"\\\\?\\" + windows + L"\\win.ini",
             Env(L"ProgramFiles") + L"\\App\\readme.txt",
             Env(L"ProgramFiles(x86)") + L"\\App\\readme.txt",
             L"C:\\users\\..\\Program Files\\x"}) {
        EXPECT_TRUE(store.IsProtectedPath(path)) << path;
    }
}

TEST(ProtectedPaths, LibrariesAnywhereExceptInTheRecycleBin)
{
    SettingsStore store;
    EXPECT_TRUE(store.IsProtectedPath(L"D:\\stuff\\library.Dll"));
    EXPECT_TRUE(store.IsProtectedPath(L"D:\\stuff\\library.DLL"));
    EXPECT_FALSE(store.IsProtectedPath(L"D:\\$Recycle.Bin\\S-1-5-21\\Dx1.dll"));
    EXPECT_TRUE(store.IsProtectedPath(L"D:\\$Recycle.Bin\\S-1-5-21\\Dx1.Dll"));
    // The library rule comes before the program-folder rule.
    EXPECT_FALSE(store.IsProtectedPath(Env(L"ProgramFiles") + L"\\RECYCLER\\old.dll"));
    EXPECT_FALSE(store.IsProtectedPath(L"D:\\data\\notes"));
    EXPECT_FALSE(store.IsProtectedPath(L"D:\\data\\notes.txt"));
    EXPECT_FALSE(store.IsProtectedPath(L"D:\\dll"));
}

TEST(ProtectedPaths, CanonicalFormIsWhatTheFileSystemNames)
{
    testsupport::ScratchFolder scratch;
    std::wstring canonicalScratch;
    ASSERT_TRUE(SettingsStore::CanonicalPath(scratch.Path(), canonicalScratch));
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"Sub Folder").c_str(), nullptr));

    std::wstring canonical;
    ASSERT_TRUE(
        SettingsStore::CanonicalPath(scratch / L"Sub Folder\\..\\Sub Folder\\\\", canonical));
    EXPECT_EQ(canonicalScratch + L"\\Sub Folder", canonical);
    std::wstring forward = scratch / L"Sub Folder\\.";
    for (auto& c : forward)
        if (c == L'\\')
            c = L'/';
    ASSERT_TRUE(SettingsStore::CanonicalPath(forward, canonical));
    EXPECT_EQ(canonicalScratch + L"\\Sub Folder", canonical);
    ASSERT_TRUE(SettingsStore::CanonicalPath(L"\\\\?\\" + scratch.Path() + L"\\x.txt", canonical));
    EXPECT_EQ(canonicalScratch + L"\\x.txt", canonical);
    EXPECT_FALSE(SettingsStore::CanonicalPath(L"", canonical));

    SettingsStore store;
    EXPECT_FALSE(store.IsProtectedPath(scratch / L"Sub Folder"));
    EXPECT_FALSE(store.IsProtectedPath(scratch / L"Sub Folder\\file.txt"));
}

}  // namespace
