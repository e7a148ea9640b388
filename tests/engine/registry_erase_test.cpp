// Registry entries and the URL cache, deleted in the test prefix's registry
// and cache.
#include "engine/erase_methods.h"
#include "engine/run_state.h"
#include "engine/traces/system_traces.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/system_text.h"
#include "tests/engine/erase_test_support.h"
#include "win32/registry.h"

#include <wininet.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using enginetest::LogFile;
using enginetest::SetSuccessLogging;
using enginetest::TestRun;
using ::testing::HasSubstr;
using testsupport::DumpKey;
using testsupport::PutString;
using testsupport::RemoveTree;
using testsupport::SystemText;

namespace {

class RegistryEraseTest : public testsupport::ProductRegistryTest {
protected:
    const std::wstring key =
        L"Software\\ScoravelEraseTests\\" + std::to_wstring(::GetCurrentProcessId());
    const std::string k = enginetest::Ansi(key);
    LogFile log;
    TestRun run;

    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        PutString(HKEY_CURRENT_USER, key + L"\\Whole\\Deeper", L"v", L"1");
        PutString(HKEY_CURRENT_USER, key + L"\\Values", L"gone", L"2");
        PutString(HKEY_CURRENT_USER, key + L"\\Values", L"kept", L"3");
    }
    void TearDown() override
    {
        win32::DeleteTree(HKEY_CURRENT_USER, L"Software\\ScoravelEraseTests");
        ProductRegistryTest::TearDown();
    }
};

TEST_F(RegistryEraseTest, KeysGoWithTheirSubkeysAndValuesAlone)
{
    SetSuccessLogging(1);
    SevenX eraser;
    eraser.SetProgress(&run.Reporter());
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    RegistryEntry entry;
    entry.AddItem(L"HKEY_CURRENT_USER\\" + key + L"\\Whole", L"");
    entry.AddItem(L"HKEY_CURRENT_USER\\" + key + L"\\Values", L"gone");
    eraser.SetByteCount(1000);
    eraser.Erase(&entry);

    EXPECT_EQ(DumpKey(HKEY_CURRENT_USER, key + L"\\Whole"), L"");
    const std::wstring rest = DumpKey(HKEY_CURRENT_USER, key + L"\\Values");
    EXPECT_EQ(rest.find(L"gone"), std::wstring::npos);
    EXPECT_NE(rest.find(L"kept"), std::wstring::npos);
    EXPECT_TRUE(AnyAssetShredded.load());
    EXPECT_EQ(run.Reporter().percents, std::vector<int>({100}));
    EXPECT_EQ(log.ReadBody(eraser),
              "\r\n->Successfully deleted registry key - HKEY_CURRENT_USER\\" + k + "\\Whole:\r\n" +
                  "\r\n->Successfully deleted registry value - HKEY_CURRENT_USER\\" + k +
                  "\\Values\\gone:\r\n");
}

TEST_F(RegistryEraseTest, UnknownRootNameMeansClassesRoot)
{
    const std::wstring classKey = L"ScoravelEraseTest" + std::to_wstring(::GetCurrentProcessId());
    PutString(HKEY_CLASSES_ROOT, classKey, L"v", L"x");
    ASSERT_NE(DumpKey(HKEY_CLASSES_ROOT, classKey), L"");
    OneX eraser;
    RegistryEntry entry;
    entry.AddItem(L"HKEY_NOWHERE\\" + classKey, L"");
    EXPECT_TRUE(eraser.DeleteRegistryEntry(&entry));
    EXPECT_EQ(DumpKey(HKEY_CLASSES_ROOT, classKey), L"");
}

TEST_F(RegistryEraseTest, FailuresAreLoggedFromTheReturnedStatusAndTheRestGoesOn)
{
    OneX eraser;
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    RegistryEntry entry;
    entry.AddItem(L"HKEY_CURRENT_USER\\" + key + L"\\Missing", L"");
    entry.AddItem(L"HKEY_CURRENT_USER\\" + key + L"\\Values", L"absent");
    entry.AddItem(L"HKEY_CURRENT_USER\\" + key + L"\\Values", L"gone");
    EXPECT_TRUE(eraser.DeleteRegistryEntry(&entry));

    EXPECT_EQ(DumpKey(HKEY_CURRENT_USER, key + L"\\Values").find(L"gone"), std::wstring::npos);
    const std::string notFound = SystemText(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(log.ReadBody(eraser), "\r\n->Error deleting key - HKEY_CURRENT_USER\\" + k +
                                        "\\Missing:\r\n" + notFound +
                                        "\r\n->Error deleting value - HKEY_CURRENT_USER\\" + k +
                                        "\\Values\\absent:\r\n" + notFound);

    RegistryEntry nothing;
    nothing.AddItem(L"HKEY_CURRENT_USER\\" + key + L"\\Missing", L"");
    EXPECT_FALSE(eraser.DeleteRegistryEntry(&nothing));
}

TEST_F(RegistryEraseTest, AWholeRootIsNeverDeleted)
{
    OneX eraser;
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    RegistryEntry entry;
    entry.AddItem(L"HKEY_CURRENT_USER\\", L"");
    entry.AddItem(L"HKEY_CURRENT_USER", L"");
    entry.AddItem(L"HKEY_CURRENT_USER\\\\", L"");
    EXPECT_FALSE(eraser.DeleteRegistryEntry(&entry));

    EXPECT_NE(DumpKey(HKEY_CURRENT_USER, key + L"\\Values"), L"");
    const std::string invalid = SystemText(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(log.ReadBody(eraser),
              "\r\n->Error deleting key - HKEY_CURRENT_USER\\:\r\n" + invalid +
                  "\r\n->Error deleting key - HKEY_CURRENT_USER\\:\r\n" + invalid +
                  "\r\n->Error deleting key - HKEY_CURRENT_USER\\\\:\r\n" + invalid);
}

// The traces' registry items as their factories list them, erased with a
// link planted where the user could plant one: what it leads to (another key
// of the user's, or a machine key) comes through whole.
TEST_F(RegistryEraseTest, NoTraceDeleteGoesThroughALink)
{
    const std::wstring media = L"Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList";
    const std::wstring office = L"Software\\Microsoft\\Office\\12.0";
    const std::wstring mru = office + L"\\Word\\File MRU";
    const std::wstring clips = L"Software\\RealNetworks\\RealPlayer\\6.0\\Preferences";
    const std::wstring clip = clips + L"\\MostRecentClips1", canary = key + L"\\Canary";
    const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
    const struct {
        const char* name;
        std::unique_ptr<RegistryEntry> (*make)(bool);
        std::wstring real;  // a key the trace finds, planted before the link
        std::wstring link;  // made a link to the canary
        HKEY canaryRoot;
        std::wstring gone;  // the link, or the real key above it
    } cases[] = {
        {"MediaList", MakeMediaPlayerRecentAsset, L"", media, user, media},
        {"MediaListToMachine", MakeMediaPlayerRecentAsset, L"", media, machine, media},
        {"BelowMediaList", MakeMediaPlayerRecentAsset, media + L"\\A", media + L"\\B", user, media},
        {"BelowWordMru", MakeOfficeRecentAsset, mru + L"\\A", mru + L"\\B", machine, mru},
        {"WordAboveMru", MakeOfficeRecentAsset, office, office + L"\\Word", user, L""},
        {"VisioValues", MakeOfficeRecentAsset, office, office + L"\\Visio\\Application", user, L""},
        {"RealPlayerClip", MakeRealPlayerRecentAsset, clips, clip, user, clip},
        {"BelowRealPlayerClip", MakeRealPlayerRecentAsset, clip + L"\\A", clip + L"\\B", machine,
         clip},
    };
    const auto clear = [&] {
        for (const std::wstring& path : {media, office, std::wstring(L"Software\\RealNetworks")})
            RemoveTree(user, path);
        RemoveTree(machine, L"Software\\Classes\\Word.Application");
        RemoveTree(machine, L"Software\\ScoravelEraseTests");
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        // What each trace would take from the key it names: values, subkeys.
        PutString(c.canaryRoot, canary, L"LastFile1", L"C:\\drawing.vsd");
        PutString(c.canaryRoot, canary + L"\\File MRU", L"Item 1", L"C:\\a.doc");
        PutString(machine, L"Software\\Classes\\Word.Application\\CurVer", nullptr,
                  L"Word.Application.12");
        if (!c.real.empty())
            PutString(user, c.real, L"Item 1", L"C:\\b.doc");
        testsupport::PutLink(user, c.link, c.canaryRoot, canary);
        const std::wstring before = DumpKey(c.canaryRoot, canary);

        const auto entry = c.make(true);
        ASSERT_TRUE(entry && !entry->GetItems().empty());
        SevenX eraser;
        eraser.SetProgress(&run.Reporter());
        eraser.SetByteCount(1000);
        eraser.Erase(entry.get());
        EXPECT_EQ(before, DumpKey(c.canaryRoot, canary));
        EXPECT_TRUE(c.gone.empty() || DumpKey(user, c.gone).empty());
    }
    clear();
}

bool AddCacheEntry(const std::wstring& url)
{
    wchar_t file[MAX_PATH] = {};
    if (!::CreateUrlCacheEntryW(url.c_str(), 0, L"txt", file, 0))
        return false;
    HANDLE handle = ::CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD cbWritten = 0;
    ::WriteFile(handle, "cached", 6, &cbWritten, nullptr);
    ::CloseHandle(handle);
    FILETIME never{};
    return ::CommitUrlCacheEntryW(url.c_str(), file, never, never, NORMAL_CACHE_ENTRY, nullptr, 0,
                                  nullptr, nullptr) != FALSE;
}

bool InCache(const std::wstring& url)
{
    DWORD cbInfo = 0;
    ::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &cbInfo);
    return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

TEST(UrlCacheTest, FlagFourEmptiesTheCacheAndIsCleared)
{
    const std::wstring first = L"http://scoravel.test/one";
    const std::wstring second = L"http://scoravel.test/two";
    ASSERT_TRUE(AddCacheEntry(first));
    ASSERT_TRUE(AddCacheEntry(second));
    ASSERT_TRUE(InCache(first));
    OneX eraser;

    EXPECT_EQ(eraser.DeleteUrlCacheEntries(1 | 2 | 8), 1 | 2 | 8);
    EXPECT_TRUE(InCache(first));

    EXPECT_EQ(eraser.DeleteUrlCacheEntries(1 | 4 | 8), 1 | 8);
    EXPECT_FALSE(InCache(first));
    EXPECT_FALSE(InCache(second));

    // Nothing left to walk: the flag stays.
    EXPECT_EQ(eraser.DeleteUrlCacheEntries(4), 4);
}

}  // namespace
