#include "engine/traces/system_traces.h"

#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "win32/registry.h"
#include "win32/system_info.h"

#include <shlobj.h>

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

using ::testing::ElementsAre;
using testsupport::PutString;
using Item = RegistryEntry::Item;

constexpr wchar_t kClassesWord[] = L"Software\\Classes\\Word.Application";
constexpr wchar_t kOffice[] = L"Software\\Microsoft\\Office\\";
constexpr wchar_t kHkcuOffice[] = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\";

// Every key path of an entry must name a key that opens once it exists
// (with its root name taken off).
bool OpensUnderCurrentUser(const std::wstring& keyPath)
{
    const std::wstring root = L"HKEY_CURRENT_USER\\";
    if (keyPath.compare(0, root.size(), root) != 0)
        return false;
    win32::UniqueKey key;
    return win32::OpenKey(HKEY_CURRENT_USER, keyPath.substr(root.size()).c_str(), KEY_READ, key) ==
           ERROR_SUCCESS;
}

class OfficeTrace : public ::testing::Test {
protected:
    void SetUp() override
    {
        win32::UniqueKey office;
        m_officeExisted = win32::OpenKey(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office",
                                         KEY_READ, office) == ERROR_SUCCESS;
        Clean();
    }
    void TearDown() override
    {
        Clean();
        if (!m_officeExisted)
            win32::DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office");
    }

    bool m_officeExisted = false;

    static void Clean()
    {
        ASSERT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_LOCAL_MACHINE, kClassesWord));
        for (const wchar_t* version : {L"8.0", L"11.0", L"12.0", L"16.0"})
            ASSERT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_CURRENT_USER,
                                                       (kOffice + std::wstring(version)).c_str()));
    }

    static void InstallWord(const std::wstring& curVer)
    {
        PutString(HKEY_LOCAL_MACHINE, kClassesWord + std::wstring(L"\\CurVer"), L"", curVer);
    }
};

TEST_F(OfficeTrace, Office2007ListsFileMruKeysProjectAndVisioValuesUpToTheFirstGap)
{
    InstallWord(L"Word.Application.12");
    const std::wstring visio = kOffice + std::wstring(L"12.0\\Visio\\Application");
    for (const wchar_t* value : {L"LastFile1", L"LastFile2", L"LastFile3", L"LastFile5"})
        PutString(HKEY_CURRENT_USER, visio, value, L"C:\\drawing.vsd");
    for (const wchar_t* key :
         {L"12.0\\Word\\File MRU", L"12.0\\Excel\\File MRU", L"12.0\\PowerPoint\\File MRU",
          L"12.0\\MS Project\\Recent File List"})
        PutString(HKEY_CURRENT_USER, kOffice + std::wstring(key), L"Item 1", L"C:\\a.doc");

    const auto entry = MakeOfficeRecentAsset(true);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(AssetKind::RegistryEntry, entry->GetKind());
    EXPECT_EQ(L"MS Office Recent Documents", entry->GetName());
    EXPECT_TRUE(entry->GetConfirm());
    const std::wstring office = kHkcuOffice + std::wstring(L"12.0");
    const std::wstring visioPath = office + L"\\Visio\\Application\\";
    EXPECT_THAT(entry->GetItems(),
                ElementsAre(Item{office + L"\\Word\\File MRU", L""},
                            Item{office + L"\\Excel\\File MRU", L""},
                            Item{office + L"\\PowerPoint\\File MRU", L""},
                            Item{office + L"\\MS Project\\Recent File List", L""},
                            Item{visioPath, L"LastFile1"}, Item{visioPath, L"LastFile2"},
                            Item{visioPath, L"LastFile3"}));
    for (const Item& item : entry->GetItems())
        EXPECT_TRUE(OpensUnderCurrentUser(item.first)) << item.first;
}

TEST_F(OfficeTrace, OlderOfficeListsItsRecentFileKeysNotTheFileMru)
{
    struct Case {
        const wchar_t* curVer;
        const wchar_t* version;
    };
    for (const Case& c :
         {Case{L"Word.Application.11", L"11.0"}, Case{L"Word.Application.8", L"8.0"}}) {
        InstallWord(c.curVer);
        const auto entry = MakeOfficeRecentAsset(false);
        ASSERT_NE(nullptr, entry) << c.curVer;
        EXPECT_FALSE(entry->GetConfirm());
        const std::wstring office = kHkcuOffice + std::wstring(c.version);
        EXPECT_THAT(entry->GetItems(),
                    ElementsAre(Item{office + L"\\Word\\Data", L""},
                                Item{office + L"\\Excel\\Recent Files", L""},
                                Item{office + L"\\PowerPoint\\Recent File List", L""},
                                Item{office + L"\\MS Project\\Recent File List", L""}))
            << c.curVer;
    }
}

// Newer Office keeps Word's options in "Word\Data": only the MRU lists may go.
TEST_F(OfficeTrace, NewerOfficeNeverListsWordDataKey)
{
    InstallWord(L"Word.Application.16");
    PutString(HKEY_CURRENT_USER, kOffice + std::wstring(L"16.0\\Visio\\Application"), L"LastFile1",
              L"C:\\x.vsd");
    const auto entry = MakeOfficeRecentAsset(true);
    ASSERT_NE(nullptr, entry);
    const std::wstring office = kHkcuOffice + std::wstring(L"16.0");
    EXPECT_THAT(entry->GetItems(),
                ElementsAre(Item{office + L"\\Word\\File MRU", L""},
                            Item{office + L"\\Excel\\File MRU", L""},
                            Item{office + L"\\PowerPoint\\File MRU", L""},
                            Item{office + L"\\MS Project\\Recent File List", L""},
                            Item{office + L"\\Visio\\Application\\", L"LastFile1"}));
}

TEST_F(OfficeTrace, NoAssetWithoutAUsableWordVersion)
{
    EXPECT_EQ(nullptr, MakeOfficeRecentAsset(true));
    for (const wchar_t* curVer :
         {L"Word.Application", L"Word.Application.", L"Word.Application.x12"}) {
        InstallWord(curVer);
        EXPECT_EQ(nullptr, MakeOfficeRecentAsset(true)) << curVer;
    }
    EXPECT_EQ(L"12.0", OfficeVersionFromCurVer(L"Word.Application.12"));
    EXPECT_EQ(L"8.0", OfficeVersionFromCurVer(L"Word.Application.8"));
}

class PlayerTrace : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        ASSERT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_CURRENT_USER, L"Software\\RealNetworks"));
    }
    static void CreateKey(const std::wstring& path)
    {
        win32::UniqueKey key;
        ASSERT_EQ(ERROR_SUCCESS, win32::CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ, key));
    }
    const std::wstring player = L"Software\\RealNetworks\\RealPlayer";
};

TEST_F(PlayerTrace, RealPlayerListsItsRecentClipKeysUpToTheFirstGap)
{
    for (const wchar_t* clip : {L"MostRecentClips1", L"MostRecentClips2", L"MostRecentClips4"})
        CreateKey(player + L"\\6.0\\Preferences\\" + clip);
    const auto entry = MakeRealPlayerRecentAsset(true);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(L"Real Player Recent File List", entry->GetName());
    EXPECT_TRUE(entry->GetConfirm());
    const std::wstring prefs = L"HKEY_CURRENT_USER\\" + player + L"\\6.0\\Preferences\\";
    EXPECT_THAT(entry->GetItems(), ElementsAre(Item{prefs + L"MostRecentClips1", L""},
                                               Item{prefs + L"MostRecentClips2", L""}));
}

TEST_F(PlayerTrace, RealPlayerWithoutPreferencesGivesAnEmptyEntry)
{
    CreateKey(player + L"\\6.0");
    const auto entry = MakeRealPlayerRecentAsset(false);
    ASSERT_NE(nullptr, entry);
    EXPECT_TRUE(entry->GetItems().empty());
    EXPECT_EQ(L"Real Player Recent File List", entry->GetName());
}

TEST_F(PlayerTrace, NoRealPlayerAssetWithoutItsKeyOrAVersionBelowIt)
{
    EXPECT_EQ(nullptr, MakeRealPlayerRecentAsset(true));
    CreateKey(player);
    EXPECT_EQ(nullptr, MakeRealPlayerRecentAsset(true));
}

TEST_F(PlayerTrace, MediaPlayerIsTheWholeRecentListKey)
{
    const auto entry = MakeMediaPlayerRecentAsset(true);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(L"Windows Media Player Recent File List", entry->GetName());
    EXPECT_TRUE(entry->GetConfirm());
    EXPECT_THAT(entry->GetItems(),
                ElementsAre(Item{L"HKEY_CURRENT_USER\\Software\\Microsoft\\MediaPlayer\\Player\\"
                                 L"RecentFileList",
                                 L""}));
}

// The prefix has the Protected Storage key without subkeys; every case puts
// it back the way it found it.
class RecycleBinTrace : public ::testing::Test {
protected:
    static constexpr wchar_t kStorage[] = L"Software\\Microsoft\\Protected Storage System Provider";

    void SetUp() override
    {
        win32::UniqueKey key;
        m_keyExisted = win32::OpenKey(HKEY_CURRENT_USER, kStorage, KEY_READ, key) == ERROR_SUCCESS;
        if (m_keyExisted) {
            DWORD subkeys = 0;
            ASSERT_EQ(ERROR_SUCCESS,
                      ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
            ASSERT_EQ(0u, subkeys) << "the test prefix holds a real user key here";
        }
        win32::UniqueHandleNull token;
        ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()));
        ASSERT_TRUE(win32::TokenUserSidString(token.get(), m_tokenSid));
        ASSERT_EQ(0u, m_tokenSid.rfind(L"S-1-5-", 0));
    }

    void TearDown() override
    {
        if (!m_binFolderExisted)
            testsupport::RemoveTree(L"C:\\$Recycle.Bin\\" + m_tokenSid);
        ::RemoveDirectoryW(L"C:\\$Recycle.Bin");  // only when nothing else is in it
        win32::DeleteTree(HKEY_CURRENT_USER, kStorage);
        if (m_keyExisted) {
            win32::UniqueKey key;
            EXPECT_EQ(ERROR_SUCCESS, win32::CreateKey(HKEY_CURRENT_USER, kStorage, KEY_READ, key));
        }
    }

    static void AddUserKey(const std::wstring& name)
    {
        win32::UniqueKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  win32::CreateKey(HKEY_CURRENT_USER, (kStorage + (L"\\" + name)).c_str(), KEY_READ,
                                   key));
    }

    static std::vector<std::wstring> FixedDriveRoots()
    {
        std::vector<std::wstring> roots;
        wchar_t drives[512] = {};
        const DWORD cch = ::GetLogicalDriveStringsW(ARRAYSIZE(drives), drives);
        EXPECT_GT(cch, 0u);
        for (const wchar_t* root = drives; *root; root += wcslen(root) + 1)
            if (::GetDriveTypeW(root) == DRIVE_FIXED)
                roots.emplace_back(root);
        return roots;
    }

    // One folder per fixed drive, each the user's folder, kept itself.
    static void ExpectUserFolders(DocFileList& list, const std::wstring& sid, bool confirm)
    {
        const std::vector<std::wstring> roots = FixedDriveRoots();
        ASSERT_FALSE(roots.empty());
        ASSERT_EQ(roots.size(), list.GetItems().size());
        for (size_t i = 0; i < roots.size(); ++i) {
            IDAsset& item = *list.GetItems()[i];
            EXPECT_EQ(AssetKind::Folder, item.GetKind());
            EXPECT_EQ(roots[i] + L"$Recycle.Bin\\" + sid, item.GetPath());
            EXPECT_FALSE(item.GetRemoveSelf());
            EXPECT_EQ(confirm, item.GetConfirm());
        }
    }

    bool m_keyExisted = false;
    bool m_binFolderExisted = true;
    std::wstring m_tokenSid;
};

TEST_F(RecycleBinTrace, TheTokensUserNamesTheFolderOnEveryFixedDriveWhoseContentsAreListed)
{
    const std::wstring folder = L"C:\\$Recycle.Bin\\" + m_tokenSid;
    m_binFolderExisted = testsupport::PathExists(folder);
    ASSERT_TRUE(::CreateDirectoryW(L"C:\\$Recycle.Bin", nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || m_binFolderExisted);
    const std::wstring deleted =
        folder + L"\\$Rscoravel-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(deleted, "deleted"));

    const auto list = MakeRecycleBinAsset(true);
    ::DeleteFileW(deleted.c_str());
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(AssetKind::FileList, list->GetKind());
    EXPECT_EQ(L"Recycle Bin", list->GetName());
    EXPECT_TRUE(list->GetConfirm());
    ExpectUserFolders(*list, m_tokenSid, true);

    auto* onC = static_cast<DocFolder*>(list->GetItems().front().get());
    ASSERT_EQ(folder, onC->GetPath());
    const auto found = std::find_if(onC->GetChildren().begin(), onC->GetChildren().end(),
                                    [&](const auto& child) { return child->GetPath() == deleted; });
    ASSERT_NE(onC->GetChildren().end(), found);
    EXPECT_EQ(7u, static_cast<DocFile*>(found->get())->GetSize());
}

// Whatever the Protected Storage key holds, its subkeys never name the
// folder: the first can be LocalSystem's or another user's SID.
TEST_F(RecycleBinTrace, TheStorageKeyNeverNamesTheFolder)
{
    const struct {
        const char* what;
        bool key;
        const wchar_t* subkey;  // null: none
    } cases[] = {
        {"no key", false, nullptr},
        {"key without subkeys", true, nullptr},
        {"LocalSystem first", true, L"S-1-5-18"},
        {"another user", true, L"S-1-5-21-1111-2222-3333-1001"},
        {"not a SID", true, L".."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_CURRENT_USER, kStorage));
        if (c.key) {
            win32::UniqueKey key;
            ASSERT_EQ(ERROR_SUCCESS, win32::CreateKey(HKEY_CURRENT_USER, kStorage, KEY_READ, key));
        }
        if (c.subkey)
            AddUserKey(c.subkey);
        const auto list = MakeRecycleBinAsset(false);
        ASSERT_NE(nullptr, list);
        ExpectUserFolders(*list, m_tokenSid, false);
    }
}

TEST(RecycleFolder, RecycleBinFromVistaOnRecyclerBefore)
{
    EXPECT_STREQ(L"RECYCLER\\", RecycleFolderFor(5));
    EXPECT_STREQ(L"$Recycle.Bin\\", RecycleFolderFor(6));
    EXPECT_STREQ(L"$Recycle.Bin\\", RecycleFolderFor(10));
}

const IDAsset* ChildNamed(DocFolder& folder, const std::wstring& path)
{
    for (const auto& child : folder.GetChildren())
        if (child->GetPath() == path)
            return child.get();
    return nullptr;
}

TEST(FolderTraces, TempFolderContentsAreListedAndTheFolderIsKept)
{
    testsupport::ScratchFolder scratch;
    ASSERT_TRUE(testsupport::WriteFileBytes(scratch / L"left-over.tmp", "abc"));
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(::GetTempPathW(ARRAYSIZE(temp), temp), 0u);

    const auto asset = MakeTempFilesAsset(true);
    ASSERT_NE(nullptr, asset);
    ASSERT_EQ(AssetKind::Folder, asset->GetKind());
    auto* folder = static_cast<DocFolder*>(asset.get());
    EXPECT_EQ(temp, folder->GetPath());
    EXPECT_EQ(L"Windows Temp Files", folder->GetName());
    EXPECT_FALSE(folder->GetRemoveSelf());
    EXPECT_TRUE(folder->GetConfirm());

    // temp ends with a backslash: the children's paths do not double it.
    const std::wstring testsRoot = std::wstring(temp) + L"scoravel-tests";
    auto* root = const_cast<IDAsset*>(ChildNamed(*folder, testsRoot));
    ASSERT_NE(nullptr, root);
    ASSERT_EQ(AssetKind::Folder, root->GetKind());
    auto* mine = const_cast<IDAsset*>(ChildNamed(static_cast<DocFolder&>(*root), scratch.Path()));
    ASSERT_NE(nullptr, mine);
    ASSERT_EQ(AssetKind::Folder, mine->GetKind());
    EXPECT_TRUE(static_cast<DocFolder*>(mine)->GetRemoveSelf());
    EXPECT_NE(nullptr, ChildNamed(static_cast<DocFolder&>(*mine), scratch / L"left-over.tmp"));
}

std::wstring ShellFolderPath(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(S_OK, ::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr,
                                       SHGFP_TYPE_CURRENT, path));
    return path;
}

// Wherever TMP points, the temporary-files trace lists only a folder of its
// own: a drive root, the system's folders and the user's, in any spelling,
// give a refused trace that lists nothing.
TEST(FolderTraces, TempFolderOnASystemOrPersonalFolderIsRefused)
{
    const std::wstring documents = ShellFolderPath(CSIDL_PERSONAL);
    const std::wstring profile = ShellFolderPath(CSIDL_PROFILE);
    std::wstring shouting = documents;
    ::CharUpperBuffW(shouting.data(), static_cast<DWORD>(shouting.size()));
    const struct {
        const char* what;
        std::wstring folder;
    } cases[] = {
        {"drive root", L"C:\\"},
        {"Windows folder", ShellFolderPath(CSIDL_WINDOWS) + L"\\System32\\.."},
        {"program folder", ShellFolderPath(CSIDL_PROGRAM_FILES)},
        {"profile", profile},
        {"folder holding the profile", profile + L"\\.."},
        {"Documents in capitals", shouting},
        {"inside Documents", documents + L"\\Scoravel\\..\\cache"},
        {"Desktop", ShellFolderPath(CSIDL_DESKTOPDIRECTORY) + L"/"},
        {"Pictures", ShellFolderPath(CSIDL_MYPICTURES)},
    };
    wchar_t previous[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TMP", previous, ARRAYSIZE(previous));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", c.folder.c_str()));
        const auto asset = MakeTempFilesAsset(true);
        ASSERT_NE(nullptr, asset);
        EXPECT_TRUE(asset->IsRefused());
        EXPECT_EQ(L"Windows Temp Files", asset->GetName());
        if (asset->GetKind() == AssetKind::Folder) {
            EXPECT_TRUE(static_cast<DocFolder&>(*asset).GetChildren().empty());
        }
    }
    ::SetEnvironmentVariableW(L"TMP", previous[0] ? previous : nullptr);
}

TEST(FolderTraces, RecentDocumentsContentsAreListedAndTheFolderIsKept)
{
    wchar_t recent[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_RECENT | CSIDL_FLAG_CREATE, nullptr,
                                             SHGFP_TYPE_CURRENT, recent)));
    const std::wstring link =
        std::wstring(recent) + L"\\scoravel-" + std::to_wstring(::GetCurrentProcessId()) + L".lnk";
    ASSERT_TRUE(testsupport::WriteFileBytes(link, "link"));

    const auto asset = MakeRecentDocumentsAsset(false);
    ::DeleteFileW(link.c_str());
    ASSERT_NE(nullptr, asset);
    ASSERT_EQ(AssetKind::Folder, asset->GetKind());
    auto* folder = static_cast<DocFolder*>(asset.get());
    EXPECT_EQ(recent, folder->GetPath());
    EXPECT_EQ(L"My Recent Documents", folder->GetName());
    EXPECT_FALSE(folder->GetRemoveSelf());
    EXPECT_FALSE(folder->GetConfirm());
    const IDAsset* child = ChildNamed(*folder, link);
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(AssetKind::File, child->GetKind());
}

}  // namespace
