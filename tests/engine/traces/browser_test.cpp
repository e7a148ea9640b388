#include "engine/traces/browser.h"

#include "settings/install_location.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "win32/registry.h"
#include "win32/unique_handle.h"

#include <shlobj.h>

#include <cctype>
#include <cwchar>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>

namespace {

using testsupport::DumpKey;
using testsupport::GetRaw;
using testsupport::PathExists;
using testsupport::PutDword;
using testsupport::PutString;
using testsupport::RemoveTree;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;

// A shell folder of the test prefix's user, created when missing.
std::wstring ShellFolderOf(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(S_OK, ::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr,
                                       SHGFP_TYPE_CURRENT, path));
    return path;
}

void MakeFolders(const std::wstring& path)
{
    const int status = ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_ALREADY_EXISTS) << status;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string Utf16Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + 1) * sizeof(wchar_t));
}

IDAsset* ChildNamed(AssetList& children, const std::wstring& path)
{
    for (const auto& child : children)
        if (SamePath(child->GetPath(), path))
            return child.get();
    return nullptr;
}

// ---------------------------------------------------------------- Firefox

constexpr wchar_t kMozillaUserKey[] = L"Software\\Mozilla";
constexpr wchar_t kMozillaMachineKey[] = L"SOFTWARE\\Mozilla";
constexpr wchar_t kRelativeProfile[] = L"abcd1234.default";
constexpr wchar_t kUnterminatedProfile[] = L"zzzz9999.last";

// Firefox registered or not in HKLM, and a user's profile list under the
// prefix's Application Data folder with one relative and one absolute
// profile, an empty "Path", a "Path" that is not a full path, and a last
// profile whose "Path" line has no line feed.
class FirefoxTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        testsupport::ProductRegistryTest::SetUp();
        appData = ShellFolderOf(CSIDL_APPDATA);
        localAppData = ShellFolderOf(CSIDL_LOCAL_APPDATA);
        Clean();
    }
    void TearDown() override
    {
        Clean();
        testsupport::ProductRegistryTest::TearDown();
    }
    void Clean()
    {
        ASSERT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_LOCAL_MACHINE, kMozillaMachineKey));
        ASSERT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_CURRENT_USER, kMozillaUserKey));
        RemoveTree(appData + L"\\Mozilla");
        RemoveTree(localAppData + L"\\Mozilla");
    }

    static void RegisterFirefox(const std::wstring& version)
    {
        PutString(HKEY_LOCAL_MACHINE, kFirefoxMachineKey, L"CurrentVersion", version);
        PutString(HKEY_LOCAL_MACHINE,
                  std::wstring(kFirefoxMachineKey) + L"\\" + version + L"\\Main",
                  L"Install Directory", L"C:\\Program Files\\Mozilla Firefox");
    }

    std::wstring RelativeProfile() const
    {
        return appData + L"\\Mozilla\\FireFox\\Profiles\\" + kRelativeProfile;
    }
    std::wstring RelativeCache() const
    {
        return localAppData + L"\\Mozilla\\FireFox\\Profiles\\" + kRelativeProfile + L"\\Cache";
    }
    std::wstring AbsoluteProfile() const { return scratch / L"Elsewhere Profile"; }

    // Every file name that either Firefox generation keeps, in both
    // profiles (and in the unterminated one, which must never be listed).
    void WriteProfiles()
    {
        const std::wstring unterminated =
            appData + L"\\Mozilla\\FireFox\\Profiles\\" + kUnterminatedProfile;
        for (const std::wstring& profile : {RelativeProfile(), AbsoluteProfile(), unterminated}) {
            MakeFolders(profile);
            for (const wchar_t* name : {L"places.sqlite", L"history.dat", L"formhistory.sqlite",
                                        L"formhistory.dat", L"cookies.sqlite", L"cookies.txt"})
                ASSERT_TRUE(WriteFileBytes(profile + L"\\" + name, "data of " + Narrow(name)));
        }
        MakeFolders(RelativeCache());
        ASSERT_TRUE(WriteFileBytes(RelativeCache() + L"\\entry-local", "cached"));
        MakeFolders(AbsoluteProfile() + L"\\Cache");
        ASSERT_TRUE(WriteFileBytes(AbsoluteProfile() + L"\\Cache\\entry-absolute", "cached"));

        std::string ini =
            "[General]\r\nStartWithLastProfile=1\r\n\r\n"
            "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/" +
            Narrow(kRelativeProfile) +
            "\r\nDefault=1\r\n\r\n"
            "[Profile1]\r\nName=elsewhere\r\nIsRelative=0\r\nPath=" +
            Narrow(AbsoluteProfile()) +
            "\r\n\r\n"
            "[Profile2]\r\nName=empty\r\nIsRelative=0\r\nPath=\r\n\r\n"
            "[Profile3]\r\nName=notfull\r\nIsRelative=0\r\nPath=Profiles\r\n\r\n"
            "[Profile4]\r\nName=last\r\nIsRelative=1\r\nPath=Profiles/" +
            Narrow(kUnterminatedProfile);
        ASSERT_TRUE(WriteFileBytes(appData + L"\\Mozilla\\FireFox\\profiles.ini", ini));
    }

    static std::string Narrow(const std::wstring& text)
    {
        return std::string(text.begin(), text.end());  // the fixture's paths are ASCII
    }

    ScratchFolder scratch;
    std::wstring appData;
    std::wstring localAppData;
};

using Builder = std::unique_ptr<IDAsset> (Browser::*)(bool);

struct FileTrace {
    Builder build;
    const wchar_t* name;
    const wchar_t* currentFile;  // Firefox 3 and later
    const wchar_t* olderFile;
};

const FileTrace kFileTraces[] = {
    {&Browser::MakeUrlListAsset, L"Firefox URL List Data", L"places.sqlite", L"history.dat"},
    {&Browser::MakeHistoryAsset, L"Firefox History", L"places.sqlite", L"history.dat"},
    {&Browser::MakeAutoCompleteAsset, L"Firefox Autocomplete Data", L"formhistory.sqlite",
     L"formhistory.dat"},
    {&Browser::MakeCookiesAsset, L"Firefox Cookies", L"cookies.sqlite", L"cookies.txt"},
};

struct VersionCase {
    const wchar_t* text;
    int major;
};

void PrintTo(const VersionCase& version, std::ostream* os)
{
    *os << '"' << std::string(version.text, version.text + wcslen(version.text)) << "\" major "
        << version.major;
}

class FirefoxVersions : public FirefoxTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(FirefoxVersions, EachFileTraceListsItsFileInTheTwoUsableProfiles)
{
    ASSERT_NO_FATAL_FAILURE(WriteProfiles());
    RegisterFirefox(GetParam().text);
    FireFox firefox;
    ASSERT_TRUE(firefox.IsInstalled());
    EXPECT_EQ(GetParam().major, firefox.GetMajorVersion());

    for (const FileTrace& trace : kFileTraces) {
        SCOPED_TRACE(trace.name);
        const std::wstring file = GetParam().major >= 3 ? trace.currentFile : trace.olderFile;
        auto asset = (firefox.*trace.build)(true);
        ASSERT_NE(nullptr, asset);
        ASSERT_EQ(AssetKind::FileList, asset->GetKind());
        EXPECT_EQ(trace.name, asset->GetName());
        EXPECT_TRUE(asset->GetConfirm());

        AssetList& items = static_cast<DocFileList&>(*asset).GetItems();
        ASSERT_EQ(2u, items.size());
        const std::wstring expected[] = {RelativeProfile() + L"\\" + file,
                                         AbsoluteProfile() + L"\\" + file};
        for (size_t i = 0; i < 2; ++i) {
            ASSERT_EQ(AssetKind::File, items[i]->GetKind());
            EXPECT_EQ(expected[i], items[i]->GetPath());
            // Measured, so the path names the real file.
            EXPECT_EQ(("data of " + Narrow(file)).size(),
                      static_cast<DocFile&>(*items[i]).GetSize());
        }
        EXPECT_FALSE((firefox.*trace.build)(false)->GetConfirm());
    }
}

INSTANTIATE_TEST_SUITE_P(MajorVersions, FirefoxVersions,
                         ::testing::Values(VersionCase{L"10.0.2", 10},
                                           VersionCase{L"10.0.2 (en-US)", 10},
                                           VersionCase{L"3.6", 3}, VersionCase{L"2.0.0.20", 2},
                                           VersionCase{L"beta", 0}),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                             std::string name;
                             for (const wchar_t* c = info.param.text; *c; ++c)
                                 name += std::isalnum(*c) ? static_cast<char>(*c) : '_';
                             return name;
                         });

TEST_F(FirefoxTest, CacheIsTheLocalFolderOfRelativeProfilesListedAndKept)
{
    ASSERT_NO_FATAL_FAILURE(WriteProfiles());
    RegisterFirefox(L"2.0.0.20");  // the cache has one name in every version
    FireFox firefox;

    auto asset = firefox.MakeTempFilesAsset(false);
    ASSERT_NE(nullptr, asset);
    ASSERT_EQ(AssetKind::FileList, asset->GetKind());
    EXPECT_EQ(L"Firefox Temporary Internet Files", asset->GetName());
    EXPECT_FALSE(asset->GetConfirm());

    AssetList& items = static_cast<DocFileList&>(*asset).GetItems();
    ASSERT_EQ(2u, items.size());
    const std::wstring folders[] = {RelativeCache(), AbsoluteProfile() + L"\\Cache"};
    const std::wstring entries[] = {L"entry-local", L"entry-absolute"};
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(AssetKind::Folder, items[i]->GetKind());
        EXPECT_EQ(folders[i], items[i]->GetPath());
        EXPECT_FALSE(items[i]->GetRemoveSelf());
        AssetList& children = static_cast<DocFolder&>(*items[i]).GetChildren();
        ASSERT_EQ(1u, children.size());
        EXPECT_EQ(folders[i] + L"\\" + entries[i], children[0]->GetPath());
    }
}

// A profile kept on the user's files: its files are still listed, but no
// cache folder there is emptied (the whole cache trace is refused), whether
// the profile is Documents itself or lies anywhere in it.
TEST_F(FirefoxTest, CacheOnTheUsersFilesIsRefusedAndListsNothing)
{
    RegisterFirefox(L"10.0");
    const std::wstring documents = ShellFolderOf(CSIDL_PERSONAL);
    for (const std::wstring& profile : {documents, documents + L"\\Firefox Profile"}) {
        SCOPED_TRACE(Narrow(profile));
        MakeFolders(profile + L"\\Cache");
        const std::wstring cached = profile + L"\\Cache\\entry";
        ASSERT_TRUE(WriteFileBytes(cached, "cached"));
        MakeFolders(appData + L"\\Mozilla\\FireFox");
        ASSERT_TRUE(WriteFileBytes(appData + L"\\Mozilla\\FireFox\\profiles.ini",
                                   "[Profile0]\r\nIsRelative=0\r\nPath=" + Narrow(profile) +
                                       "\r\n"));
        FireFox firefox;
        auto cache = firefox.MakeTempFilesAsset(true);
        auto cookies = firefox.MakeCookiesAsset(true);
        RemoveTree(profile + L"\\Cache");
        if (profile != documents)
            RemoveTree(profile);

        ASSERT_NE(nullptr, cache);
        EXPECT_TRUE(cache->IsRefused());
        EXPECT_EQ(L"Firefox Temporary Internet Files", cache->GetName());
        EXPECT_EQ(profile + L"\\Cache", cache->GetPath());
        ASSERT_EQ(AssetKind::FileList, cache->GetKind());
        EXPECT_TRUE(static_cast<DocFileList&>(*cache).GetItems().empty());
        ASSERT_NE(nullptr, cookies);
        EXPECT_FALSE(cookies->IsRefused());
        ASSERT_EQ(1u, static_cast<DocFileList&>(*cookies).GetItems().size());
        EXPECT_EQ(profile + L"\\cookies.sqlite",
                  static_cast<DocFileList&>(*cookies).GetItems()[0]->GetPath());
    }
}

TEST_F(FirefoxTest, ProfileListWithoutTheFinalLineFeedOrWithoutAFile)
{
    FireFox firefox;
    // No profiles.ini at all: none, not an empty list.
    EXPECT_EQ(nullptr, firefox.ReadProfiles(L"\\places.sqlite"));

    // A single profile whose "Path" is the last line, unterminated.
    MakeFolders(appData + L"\\Mozilla\\FireFox");
    ASSERT_TRUE(WriteFileBytes(appData + L"\\Mozilla\\FireFox\\profiles.ini",
                               "[Profile0]\nIsRelative=1\nPath=Profiles/only"));
    auto list = firefox.ReadProfiles(L"\\places.sqlite");
    ASSERT_NE(nullptr, list);
    EXPECT_TRUE(list->GetItems().empty());
}

TEST_F(FirefoxTest, DetectionNeedsTheVersionTextAndANonEmptyInstallDirectory)
{
    EXPECT_FALSE(FireFox().IsInstalled());
    EXPECT_EQ(0, FireFox().GetMajorVersion());

    // A version text without its Main key.
    PutString(HKEY_LOCAL_MACHINE, kFirefoxMachineKey, L"CurrentVersion", L"9.0.1");
    EXPECT_FALSE(FireFox().IsInstalled());
    EXPECT_EQ(9, FireFox().GetMajorVersion());

    // An empty install directory.
    PutString(HKEY_LOCAL_MACHINE, std::wstring(kFirefoxMachineKey) + L"\\9.0.1\\Main",
              L"Install Directory", L"");
    EXPECT_FALSE(FireFox().IsInstalled());

    RegisterFirefox(L"9.0.1");
    EXPECT_TRUE(FireFox().IsInstalled());

    // A version that cannot be read as text.
    PutDword(HKEY_LOCAL_MACHINE, kFirefoxMachineKey, L"CurrentVersion", 9);
    EXPECT_FALSE(FireFox().IsInstalled());
    EXPECT_EQ(0, FireFox().GetMajorVersion());
}

TEST_F(FirefoxTest, AbsentFirefoxBuildsNothingAndTouchesNothing)
{
    ASSERT_NO_FATAL_FAILURE(WriteProfiles());
    const std::wstring extensions = kFirefoxExtensionsKey;
    PutString(HKEY_CURRENT_USER, extensions, kFirefoxExtensionId, L"C:\\Old\\Marrowick");
    PutString(HKEY_CURRENT_USER, extensions, L"other@example.com", L"C:\\Other");
    const std::wstring before = DumpKey(HKEY_CURRENT_USER, kMozillaUserKey);

    FireFox firefox;
    ASSERT_FALSE(firefox.IsInstalled());
    EXPECT_EQ(kBrowserIdFirefox, firefox.GetBrowserId());
    for (Builder build :
         {&Browser::MakeUrlListAsset, &Browser::MakeAutoCompleteAsset, &Browser::MakeTempFilesAsset,
          &Browser::MakeHistoryAsset, &Browser::MakeCookiesAsset})
        EXPECT_EQ(nullptr, (firefox.*build)(true));
    EXPECT_EQ(E_FAIL, firefox.InstallExtension());
    EXPECT_EQ(E_FAIL, firefox.RemoveExtension());

    EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, kMozillaUserKey));
}

TEST_F(FirefoxTest, InstallWritesTheExtensionFolderAndRemoveDeletesIt)
{
    RegisterFirefox(L"10.0.2");
    PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
              scratch.Path() + L"\\");
    FireFox firefox;

    ASSERT_EQ(S_OK, firefox.InstallExtension());
    const auto value = GetRaw(HKEY_CURRENT_USER, kFirefoxExtensionsKey, kFirefoxExtensionId);
    ASSERT_TRUE(value.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    EXPECT_EQ(Utf16Bytes(scratch.Path() + L"\\Marrowick"), value.bytes);

    PutString(HKEY_CURRENT_USER, kFirefoxExtensionsKey, L"other@example.com", L"C:\\Other");
    EXPECT_EQ(S_OK, firefox.RemoveExtension());
    EXPECT_FALSE(GetRaw(HKEY_CURRENT_USER, kFirefoxExtensionsKey, kFirefoxExtensionId).exists);
    EXPECT_TRUE(GetRaw(HKEY_CURRENT_USER, kFirefoxExtensionsKey, L"other@example.com").exists);
    // Already gone: still done.
    EXPECT_EQ(S_OK, firefox.RemoveExtension());
}

TEST_F(FirefoxTest, InstallRefusesAMissingDefaultFolderAndAnOverlongPath)
{
    RegisterFirefox(L"10.0.2");
    ASSERT_FALSE(PathExists(kDefaultInstallFolder));
    EXPECT_EQ(E_FAIL, FireFox().InstallExtension());
    EXPECT_EQ(L"", DumpKey(HKEY_CURRENT_USER, kMozillaUserKey));

    // 250 characters of folder leave no room for "\Marrowick" in MAX_PATH.
    const std::wstring longFolder = L"C:\\" + std::wstring(247, L'f');
    PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation", longFolder);
    EXPECT_EQ(E_FAIL, FireFox().InstallExtension());
    EXPECT_EQ(L"", DumpKey(HKEY_CURRENT_USER, kMozillaUserKey));

    // Without the extensions key there is nothing to remove from.
    EXPECT_EQ(E_FAIL, FireFox().RemoveExtension());
}

// ------------------------------------------------------- Internet Explorer

TEST(InternetExplorerTraces, TypedUrlsAndAutoCompleteAreWholeKeys)
{
    InternetExp ie;
    EXPECT_EQ(kBrowserIdInternetExplorer, ie.GetBrowserId());
    struct {
        Builder build;
        const wchar_t* name;
        const wchar_t* key;
    } const cases[] = {
        {&Browser::MakeUrlListAsset, L"Internet Explorer URL List Data",
         L"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs"},
        {&Browser::MakeAutoCompleteAsset, L"Internet Explorer AutoComplete Data",
         L"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\IntelliForms"},
    };
    for (const auto& c : cases) {
        for (bool confirm : {true, false}) {
            auto asset = (ie.*c.build)(confirm);
            ASSERT_NE(nullptr, asset);
            ASSERT_EQ(AssetKind::RegistryEntry, asset->GetKind());
            EXPECT_EQ(c.name, asset->GetName());
            EXPECT_EQ(confirm, asset->GetConfirm());
            const auto items = static_cast<RegistryEntry&>(*asset).GetItems();
            ASSERT_EQ(1u, items.size());
            EXPECT_EQ(c.key, items[0].first);
            EXPECT_EQ(L"", items[0].second);
        }
    }
}

TEST(InternetExplorerTraces, TempFilesAndCookiesAreListedWithTheInUseTestAndKept)
{
    InternetExp ie;
    struct {
        Builder build;
        int csidl;
        const wchar_t* name;
    } const cases[] = {
        {&Browser::MakeTempFilesAsset, CSIDL_INTERNET_CACHE,
         L"Internet Explorer Temporary Internet Files"},
        {&Browser::MakeCookiesAsset, CSIDL_COOKIES, L"Internet Explorer Cookies"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring folder = ShellFolderOf(c.csidl);
        const std::wstring held = folder + L"\\scoravel-held.txt";
        const std::wstring free = folder + L"\\scoravel-free.txt";
        ASSERT_TRUE(WriteFileBytes(held, "held"));
        ASSERT_TRUE(WriteFileBytes(free, "free"));
        {
            win32::UniqueFile holder(
                ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holder);
            auto asset = (ie.*c.build)(true);
            ASSERT_NE(nullptr, asset);
            ASSERT_EQ(AssetKind::Folder, asset->GetKind());
            EXPECT_TRUE(SamePath(folder, asset->GetPath()));
            EXPECT_EQ(c.name, asset->GetName());
            EXPECT_TRUE(asset->GetConfirm());
            EXPECT_FALSE(asset->GetRemoveSelf());

            AssetList& children = static_cast<DocFolder&>(*asset).GetChildren();
            IDAsset* heldChild = ChildNamed(children, held);
            IDAsset* freeChild = ChildNamed(children, free);
            ASSERT_NE(nullptr, heldChild);
            ASSERT_NE(nullptr, freeChild);
            EXPECT_TRUE(heldChild->IsInUse());
            EXPECT_FALSE(freeChild->IsInUse());
        }
        ::DeleteFileW(held.c_str());
        ::DeleteFileW(free.c_str());
    }
}

TEST(InternetExplorerTraces, HistoryHoldsTheJumpListsFromWindows7On)
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(::GetVersionExW(&version));
    ASSERT_EQ(6u, version.dwMajorVersion);  // the test prefix is Windows 7
    ASSERT_EQ(1u, version.dwMinorVersion);

    auto asset = InternetExp().MakeHistoryAsset(true);
    ASSERT_NE(nullptr, asset);
    ASSERT_EQ(AssetKind::FileList, asset->GetKind());
    EXPECT_EQ(L"Internet Explorer History", asset->GetName());
    EXPECT_FALSE(asset->GetRemoveSelf());

    AssetList& items = static_cast<DocFileList&>(*asset).GetItems();
    ASSERT_EQ(2u, items.size());
    const std::wstring folders[] = {ShellFolderOf(CSIDL_HISTORY),
                                    ShellFolderOf(CSIDL_RECENT) + L"\\CustomDestinations"};
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(AssetKind::Folder, items[i]->GetKind());
        EXPECT_TRUE(SamePath(folders[i], items[i]->GetPath())) << items[i]->GetPath();
        EXPECT_FALSE(items[i]->GetRemoveSelf());
        EXPECT_TRUE(items[i]->GetConfirm());  // the list's flag reaches its folders
    }

    // Vista keeps no jump lists; Windows 7 and 8 do.
    EXPECT_FALSE(InternetExp::HasJumpListFolder(6, 0));
    EXPECT_TRUE(InternetExp::HasJumpListFolder(6, 1));
    EXPECT_TRUE(InternetExp::HasJumpListFolder(6, 2));
    EXPECT_FALSE(InternetExp::HasJumpListFolder(5, 1));
}

// The stand-in library writes its own path under this key when one of its
// entry points runs.
constexpr wchar_t kMarkerKey[] = L"Software\\Ostervale\\Scoravel\\TessickStub";

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD cch = ::GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    EXPECT_GT(cch, 0u);
    EXPECT_LT(cch, ARRAYSIZE(path));
    std::wstring folder(path, cch);
    folder = folder.substr(0, folder.rfind(L'\\'));
    // Wine names a program that lies outside every drive "unix\..." without
    // the "\\?\" that makes it usable as a path.
    if (folder.compare(0, 5, L"unix\\") == 0)
        folder = L"\\\\?\\" + folder;
    return folder;
}

std::wstring MarkerOf(const wchar_t* name)
{
    win32::UniqueKey key;
    std::wstring value;
    if (win32::OpenKey(HKEY_CURRENT_USER, kMarkerKey, KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
        win32::ReadString(key.get(), name, value) != ERROR_SUCCESS)
        return {};
    return value;
}

class IEExtension : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        testsupport::ProductRegistryTest::SetUp();
        // The planted copy: on the search path, first in line.
        ASSERT_TRUE(PathExists(ProgramFolder() + L"\\Tessick.dll")) << ProgramFolder();
    }
    void UseInstallFolder(const std::wstring& folder)
    {
        PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation", folder);
    }
    void InstallTheLibraryIn(const ScratchFolder& folder)
    {
        ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\Tessick.dll").c_str(),
                                (folder / L"Tessick.dll").c_str(), FALSE));
        UseInstallFolder(folder.Path());
    }
    ScratchFolder installFolder;
};

TEST_F(IEExtension, ACopyOutsideTheInstallFolderNeverRuns)
{
    ASSERT_FALSE(PathExists(kDefaultInstallFolder));
    InternetExp ie;
    // The default install folder, which does not exist.
    EXPECT_EQ(E_FAIL, ie.InstallExtension());
    EXPECT_EQ(E_FAIL, ie.RemoveExtension());
    // An install folder without the library.
    UseInstallFolder(installFolder.Path());
    EXPECT_EQ(E_FAIL, ie.InstallExtension());
    EXPECT_EQ(E_FAIL, ie.RemoveExtension());
    // A relative install folder (here: the program's own folder).
    UseInstallFolder(L".");
    EXPECT_EQ(E_FAIL, ie.InstallExtension());
    UseInstallFolder(L"");
    EXPECT_EQ(E_FAIL, ie.InstallExtension());

    EXPECT_EQ(L"", DumpKey(HKEY_CURRENT_USER, kMarkerKey));
}

TEST_F(IEExtension, RegistersAndUnregistersTheLibraryOfTheInstallFolder)
{
    InstallTheLibraryIn(installFolder);
    InternetExp ie;

    EXPECT_EQ(S_OK, ie.InstallExtension());
    EXPECT_TRUE(SamePath(installFolder / L"Tessick.dll", MarkerOf(L"Registered")))
        << MarkerOf(L"Registered");
    EXPECT_EQ(L"", MarkerOf(L"Unregistered"));

    EXPECT_EQ(S_OK, ie.RemoveExtension());
    EXPECT_TRUE(SamePath(installFolder / L"Tessick.dll", MarkerOf(L"Unregistered")))
        << MarkerOf(L"Unregistered");
}

TEST_F(IEExtension, PassesOnTheLibrarysFailureAndMapsOtherSuccessToSOk)
{
    InstallTheLibraryIn(installFolder);
    InternetExp ie;

    PutDword(HKEY_CURRENT_USER, kMarkerKey, L"Result", static_cast<DWORD>(E_ACCESSDENIED));
    EXPECT_EQ(E_ACCESSDENIED, ie.InstallExtension());
    EXPECT_EQ(E_ACCESSDENIED, ie.RemoveExtension());

    PutDword(HKEY_CURRENT_USER, kMarkerKey, L"Result", static_cast<DWORD>(S_FALSE));
    EXPECT_EQ(S_OK, ie.InstallExtension());
    EXPECT_EQ(S_OK, ie.RemoveExtension());
}

}  // namespace
