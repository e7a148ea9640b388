// The settings registry layout: round trips, the exact stored values, and
// what odd or missing values read as.
#include "settings/settings_store.h"
#include "tests/common/registry_sandbox.h"
#include "win32/registry.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

using testsupport::GetRaw;
using testsupport::kSettingsKey;
using testsupport::PutDword;
using testsupport::PutRaw;
using testsupport::PutString;

const std::wstring kAdvancedKey = std::wstring(kSettingsKey) + L"\\Advanced";

std::string Utf16Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}

// Sorted: Wine enumerates values by name, not in the order they were written.
std::vector<std::wstring> ValueNames(const std::wstring& path)
{
    std::vector<std::wstring> names;
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ, key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD cchName = ARRAYSIZE(name);
        if (::RegEnumValueW(key.get(), index, name, &cchName, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void PrepareSettingsKey()
{
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"Revision", 2);
}

class SettingsLayout : public testsupport::ProductRegistryTest {};

TEST_F(SettingsLayout, EveryProfileRoundTripsThroughItsSubkey)
{
    for (int32_t profile = 0; profile < kProfileCount; ++profile) {
        SettingsStore saved;
        saved.SetSecurityProfile(profile);
        // Alternate flags so that a swapped pair or kind shows.
        for (TraceKind kind : StoredKinds(profile)) {
            saved.SetShred(kind, (kind + profile) % 2 == 0);
            saved.SetConfirm(kind, (kind + profile) % 3 == 0);
        }
        saved.SetEraseMethod(profile == kProfileLow ? kEraseSimpleDelete : kEraseSevenPasses);
        if (saved.IsCustomProfile()) {
            saved.AddFileEntry(L"C:\\Data\\first.doc", true);
            saved.AddFileEntry(L"C:\\Data\\second", false);
            saved.AddFileEntry(L"C:\\Data\\third.txt", true);
            saved.AddExcludeEntry(L"C:\\Data\\keep");
            saved.AddExcludeEntry(L"*.txt");
        }
        ASSERT_TRUE(saved.SaveProfile()) << profile;

        SettingsStore loaded;
        ASSERT_TRUE(loaded.LoadSecurityProfile());
        EXPECT_EQ(profile, loaded.GetSecurityProfile());
        ASSERT_TRUE(loaded.LoadProfile()) << profile;
        for (TraceKind kind : StoredKinds(profile)) {
            EXPECT_EQ(saved.GetShred(kind), loaded.GetShred(kind)) << profile << "/" << kind;
            EXPECT_EQ(saved.GetConfirm(kind), loaded.GetConfirm(kind)) << profile << "/" << kind;
        }
        EXPECT_EQ(saved.GetEraseMethod(), loaded.GetEraseMethod());
        EXPECT_EQ(saved.Body().filesAndFolders, loaded.Body().filesAndFolders);
        EXPECT_EQ(saved.Body().excludeList, loaded.Body().excludeList);

        SettingsStore current;
        ASSERT_TRUE(current.LoadCurrent()) << profile;
        EXPECT_EQ(profile, current.GetSecurityProfile());
        EXPECT_EQ(saved.Body().filesAndFolders, current.Body().filesAndFolders);
    }
}

TEST_F(SettingsLayout, CustomProfileIsStoredValueByValue)
{
    SettingsStore store;
    store.SetSecurityProfile(kProfileAdvanced);
    store.SetShredCookies(true);
    store.SetEraseMethod(kEraseThreePasses);
    store.AddFileEntry(L"C:\\first", true);
    store.AddFileEntry(L"D:\\second.txt", false);
    ASSERT_TRUE(store.SaveProfile());

    EXPECT_EQ(Utf16Bytes(L"C:\\first|D:\\second.txt|"),
              GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"Files and Folders").bytes);
    EXPECT_EQ(REG_SZ, GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"Files and Folders").type);
    EXPECT_EQ(Utf16Bytes(L""), GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"ExcludeList").bytes);
    const DWORD one = 1, zero = 0, three = 3, two = 2;
    const auto dword = [](DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    EXPECT_EQ(dword(one), GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"ConfirmShredAddFile0").bytes);
    EXPECT_EQ(dword(zero), GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"ConfirmShredAddFile1").bytes);
    EXPECT_EQ(dword(one), GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"ShredCookies").bytes);
    EXPECT_EQ(REG_DWORD, GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"ShredCookies").type);
    EXPECT_EQ(dword(three), GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"EraseMethod").bytes);
    EXPECT_EQ(dword(two), GetRaw(HKEY_CURRENT_USER, kSettingsKey, L"Revision").bytes);
    EXPECT_EQ(dword(three), GetRaw(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile").bytes);

    std::vector<std::wstring> expected;
    for (int kind = 0; kind < kTraceKindCount; ++kind) {
        expected.push_back(ShredFlagName(static_cast<TraceKind>(kind)));
        expected.push_back(ConfirmFlagName(static_cast<TraceKind>(kind)));
    }
    for (const wchar_t* name : {L"EraseMethod", L"ExcludeList", L"ConfirmShredAddFile0",
                                L"ConfirmShredAddFile1", L"Files and Folders"})
        expected.push_back(name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, ValueNames(kAdvancedKey));
}

TEST_F(SettingsLayout, BuiltInSubkeysHoldOnlyTheirKinds)
{
    SettingsStore store;
    store.SetSecurityProfile(kProfileHigh);
    ASSERT_TRUE(store.SaveProfile());
    EXPECT_EQ(23u, ValueNames(std::wstring(kSettingsKey) + L"\\High").size());

    store.SetSecurityProfile(kProfileMedium);
    ASSERT_TRUE(store.SaveProfile());
    const auto medium = ValueNames(std::wstring(kSettingsKey) + L"\\Medium");
    EXPECT_EQ(15u, medium.size());
    EXPECT_TRUE(std::binary_search(medium.begin(), medium.end(), L"ConfirmShredTempFiles"));
    EXPECT_FALSE(std::binary_search(medium.begin(), medium.end(), L"ShredRecentMenu"));
    store.SetSecurityProfile(kProfileLow);
    ASSERT_TRUE(store.SaveProfile());
    EXPECT_EQ(11u, ValueNames(std::wstring(kSettingsKey) + L"\\Low").size());
}

TEST_F(SettingsLayout, NoKeyOrWrongRevisionLeavesTheRecordAlone)
{
    SettingsStore store;
    EXPECT_FALSE(store.LoadTriggers());
    EXPECT_FALSE(store.LoadSecurityProfile());
    EXPECT_FALSE(store.LoadProfile());
    EXPECT_FALSE(store.LoadAll(kProfileHigh));
    EXPECT_FALSE(store.LoadCurrent());
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"Revision", 1);
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", 0);
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"ActivateOnSystemShutdown", 1);
    EXPECT_FALSE(store.LoadTriggers());
    EXPECT_FALSE(store.LoadAll(kProfileHigh));
    EXPECT_FALSE(store.LoadCurrent());
    EXPECT_FALSE(store.GetActivateOnSystemShutdown());
    EXPECT_EQ(kProfileSimple, store.GetSecurityProfile());
    EXPECT_EQ(kEraseSimpleDelete, store.GetEraseMethod());
    EXPECT_FALSE(store.GetShredCookies());
}

TEST_F(SettingsLayout, ProfileNumberOutsideTheRangeIsIgnored)
{
    PrepareSettingsKey();
    SettingsStore store;
    store.SetSecurityProfile(kProfileLow);
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", 7);
    EXPECT_TRUE(store.LoadSecurityProfile());
    EXPECT_EQ(kProfileLow, store.GetSecurityProfile());
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", 0xFFFFFFFE);
    EXPECT_TRUE(store.LoadSecurityProfile());
    EXPECT_EQ(kProfileLow, store.GetSecurityProfile());

    SettingsStore current;
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", 7);
    EXPECT_TRUE(current.LoadCurrent());
    EXPECT_EQ(kProfileSimple, current.GetSecurityProfile());
    EXPECT_EQ(kEraseSimpleDelete, current.GetEraseMethod());

    testsupport::ClearProductKeys();
    PrepareSettingsKey();
    EXPECT_TRUE(store.LoadSecurityProfile());
    EXPECT_EQ(kProfileSimple, store.GetSecurityProfile());
}

TEST_F(SettingsLayout, MissingSubkeysGiveBuiltInOrEmptyBodies)
{
    PrepareSettingsKey();
    SettingsStore medium;
    medium.SetSecurityProfile(kProfileMedium);
    medium.SetShredRecentMenu(true);
    EXPECT_FALSE(medium.LoadProfile());
    EXPECT_EQ(BuiltInProfiles()[kProfileMedium], medium.Body());

    SettingsStore advanced;
    advanced.SetSecurityProfile(kProfileAdvanced);
    advanced.AddExcludeEntry(L"C:\\x");
    EXPECT_FALSE(advanced.LoadProfile());
    EXPECT_EQ(kEraseOnePass, advanced.GetEraseMethod());
    EXPECT_EQ(0, advanced.GetExcludeListCount());

    SettingsStore simple;
    simple.SetEraseMethod(kEraseSevenPasses);
    EXPECT_FALSE(simple.LoadProfile());
    EXPECT_EQ(kEraseSimpleDelete, simple.GetEraseMethod());

    // The one-pass loader: a missing Low subkey gives the built-in body.
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", kProfileLow);
    SettingsStore current;
    EXPECT_FALSE(current.LoadCurrent());
    EXPECT_EQ(BuiltInProfiles()[kProfileLow], current.Body());
}

TEST_F(SettingsLayout, EraseMethodOutsideTheRangeMapsPerLoader)
{
    PrepareSettingsKey();
    PutDword(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\Low", L"EraseMethod", 9);
    PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"EraseMethod", 9);
    SettingsStore low;
    low.SetSecurityProfile(kProfileLow);
    EXPECT_TRUE(low.LoadProfile());
    EXPECT_EQ(kEraseOnePass, low.GetEraseMethod());

    SettingsStore advanced;
    advanced.SetSecurityProfile(kProfileAdvanced);
    EXPECT_TRUE(advanced.LoadProfile());
    EXPECT_EQ(kEraseOnePass, advanced.GetEraseMethod());
    EXPECT_TRUE(advanced.LoadAll(kProfileAdvanced));
    EXPECT_EQ(kEraseSimpleDelete, advanced.GetEraseMethod());

    for (DWORD odd : {0u, 5u, 9u}) {
        PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"EraseMethod", odd);
        PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", kProfileAdvanced);
        SettingsStore current;
        EXPECT_TRUE(current.LoadCurrent());
        EXPECT_EQ(kEraseOnePass, current.GetEraseMethod()) << odd;
    }
    PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"EraseMethod", 2);
    SettingsStore twoStays;
    EXPECT_TRUE(twoStays.LoadAll(kProfileAdvanced));
    EXPECT_EQ(kEraseOnePass, twoStays.GetEraseMethod());
}

TEST_F(SettingsLayout, TriggersCountTheLowestByteAndProfileFlagsTheWholeValue)
{
    PrepareSettingsKey();
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"ActivateOnCron", 256);
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"ActivateFSBOnCron", 256);
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", kProfileAdvanced);
    PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"ShredCookies", 256);
    SettingsStore store;
    ASSERT_TRUE(store.LoadAll(kProfileAdvanced));
    EXPECT_FALSE(store.GetActivateOnCron());
    EXPECT_TRUE(store.GetActivateFSBOnCron());
    EXPECT_TRUE(store.GetShredCookies());
    SettingsStore current;
    ASSERT_TRUE(current.LoadCurrent());
    EXPECT_FALSE(current.GetActivateOnCron());
    EXPECT_TRUE(current.GetShredCookies());
}

TEST_F(SettingsLayout, MissingOrOddValuesReadAsDefaultsNeverAsTheValueBefore)
{
    PrepareSettingsKey();
    // A value read just before each missing or odd one is on, so a shared
    // read buffer would show.
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"ActivateOnBrowserStartup", 1);
    PutString(HKEY_CURRENT_USER, kSettingsKey, L"ActivateOnSystemShutdown", L"1");
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"ActivateOnKeyPress", 1);
    const BYTE shortValue[3] = {5, 0, 0};
    PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"cronNumDays", REG_BINARY, shortValue, 3);
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"numFSBDaysSinceLastActivate", 7);
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", kProfileAdvanced);
    const wchar_t noNul[] = {L'K', L'+', L'A', L'L', L'T'};
    PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"keyCodeVals", REG_SZ, noNul, sizeof(noNul));
    PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"ShredBrowseHistory", 1);
    PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"ConfirmShredBrowseHistory", 1);
    PutString(HKEY_CURRENT_USER, kAdvancedKey, L"Files and Folders", L"C:\\a|C:\\b|C:\\c|");
    PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"ConfirmShredAddFile0", 1);
    PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"ConfirmShredAddFile2", 1);

    for (bool oneShot : {false, true}) {
        SettingsStore store;
        ASSERT_TRUE(oneShot ? store.LoadCurrent() : store.LoadAll(kProfileAdvanced));
        EXPECT_FALSE(store.GetActivateOnSystemShutdown()) << "wrong type";
        EXPECT_TRUE(store.GetActivateOnBrowserStartup());
        EXPECT_FALSE(store.GetActivateOnBrowserShutdown()) << "missing after an on value";
        EXPECT_EQ(L"K+ALT", store.GetKeyCodeVals()) << "stored without its NUL";
        EXPECT_EQ(0, store.GetCronNumDays()) << "three-byte value";
        EXPECT_FALSE(store.GetShredBrowseURL()) << "missing after an on value";
        EXPECT_FALSE(store.GetShredCookies()) << "missing after the trigger group";
        bool confirm = true;
        store.GetFileEntry(1, confirm);
        EXPECT_FALSE(confirm) << "missing confirm value after an on one";
        store.GetFileEntry(2, confirm);
        EXPECT_TRUE(confirm);
        // Missing: the whole-settings loader falls back to 1, the one-pass loader to 2.
        EXPECT_EQ(oneShot ? kEraseOnePass : kEraseSimpleDelete, store.GetEraseMethod());
    }
}

TEST_F(SettingsLayout, ListsAreSplitAtEachBar)
{
    PrepareSettingsKey();
    PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", kProfileAdvanced);
    struct Case {
        const wchar_t* stored;
        std::vector<std::wstring> entries;
    } cases[] = {
        {L"C:\\a|C:\\b", {L"C:\\a"}},
        {L"C:\\a|C:\\b|", {L"C:\\a", L"C:\\b"}},
        {L"|", {L""}},
        {L"C:\\a||", {L"C:\\a", L""}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        PutString(HKEY_CURRENT_USER, kAdvancedKey, L"ExcludeList", c.stored);
        SettingsStore plugin;
        plugin.SetSecurityProfile(kProfileAdvanced);
        ASSERT_TRUE(plugin.LoadProfile());
        EXPECT_EQ(c.entries, plugin.Body().excludeList) << c.stored;
        SettingsStore current;
        ASSERT_TRUE(current.LoadCurrent());
        EXPECT_EQ(c.entries, current.Body().excludeList) << c.stored;
    }
}

TEST_F(SettingsLayout, KeySequenceIsKeptWhileTheKeyTriggerIsOff)
{
    SettingsStore on;
    on.SetActivateOnKeyPress(true);
    on.SetKeySequence(true, false, false, L"S");
    ASSERT_TRUE(on.SaveTriggers());
    SettingsStore off;
    ASSERT_TRUE(off.SaveTriggers());
    EXPECT_EQ(Utf16Bytes(L"S+CTRL"), GetRaw(HKEY_CURRENT_USER, kSettingsKey, L"keyCodeVals").bytes);

    SettingsStore loaded;
    ASSERT_TRUE(loaded.LoadTriggers());
    EXPECT_EQ(L"", loaded.GetKeyCodeVals());
    SettingsStore current;
    current.LoadCurrent();  // false: no profile subkey was saved
    EXPECT_EQ(L"", current.GetKeyCodeVals());
}

TEST_F(SettingsLayout, SavingTheProfileChoiceSeedsMissingSubkeysOnly)
{
    SettingsStore store;
    store.SetSecurityProfile(kProfileAdvanced);
    store.SetEraseMethod(kEraseSevenPasses);
    ASSERT_TRUE(store.SaveSecurityProfile());
    const auto eraseMethod = [](const wchar_t* sub) {
        DWORD value = 0;
        win32::UniqueKey key;
        win32::OpenKey(HKEY_CURRENT_USER, (std::wstring(kSettingsKey) + L"\\" + sub).c_str(),
                       KEY_QUERY_VALUE, key);
        win32::ReadDword(key.get(), L"EraseMethod", value);
        return value;
    };
    EXPECT_EQ(2u, eraseMethod(L"Advanced"));
    PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"EraseMethod", 4);
    ASSERT_TRUE(store.SaveSecurityProfile());
    EXPECT_EQ(4u, eraseMethod(L"Advanced"));

    store.SetSecurityProfile(kProfileSimple);
    ASSERT_TRUE(store.SaveSecurityProfile());
    PutDword(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\Simple", L"EraseMethod", 3);
    ASSERT_TRUE(store.SaveSecurityProfile());
    EXPECT_EQ(1u, eraseMethod(L"Simple"));

    store.SetSecurityProfile(kProfileMedium);
    ASSERT_TRUE(store.SaveSecurityProfile());
    EXPECT_EQ(3u, eraseMethod(L"Medium"));
    EXPECT_EQ(15u, ValueNames(std::wstring(kSettingsKey) + L"\\Medium").size());

    store.SetSecurityProfile(9);
    EXPECT_FALSE(store.SaveSecurityProfile());
    EXPECT_FALSE(store.SaveAll());
    DWORD stored = 0;
    win32::UniqueKey key;
    win32::OpenKey(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE, key);
    win32::ReadDword(key.get(), L"SecurityProfile", stored);
    EXPECT_EQ(static_cast<DWORD>(kProfileMedium), stored);
}

TEST_F(SettingsLayout, SaveAllWritesEveryGroupAndLoadAllReadsThemBack)
{
    SettingsStore saved;
    saved.SetActivateOnSystemShutdown(true);
    saved.SetActivateOnBrowserShutdown(true);
    saved.SetActivateOnKeyPress(true);
    saved.SetKeySequence(false, true, false, L"9");
    saved.SetActivateOnCron(true);
    saved.SetCronNumDays(-123456);
    saved.SetActivateFSBOnCron(true);
    saved.SetCronFSBNumDays(0x7fffffff);
    saved.SetSecurityProfile(kProfileSimple);
    saved.SetShredTempFiles(true);
    saved.AddExcludeEntry(L"C:\\Users\\Ünïcode\\keep");
    ASSERT_TRUE(saved.SaveAll());

    SettingsStore loaded;
    ASSERT_TRUE(loaded.LoadAll(kProfileSimple));
    EXPECT_TRUE(loaded.GetActivateOnSystemShutdown());
    EXPECT_FALSE(loaded.GetActivateOnBrowserStartup());
    EXPECT_TRUE(loaded.GetActivateOnBrowserShutdown());
    EXPECT_EQ(L"9+ALT", loaded.GetKeyCodeVals());
    EXPECT_EQ(-123456, loaded.GetCronNumDays());
    EXPECT_TRUE(loaded.GetActivateFSBOnCron());
    EXPECT_EQ(0x7fffffff, loaded.GetCronFSBNumDays());
    EXPECT_TRUE(loaded.GetShredTempFiles());
    EXPECT_EQ(saved.Body().excludeList, loaded.Body().excludeList);

    // A number above 4 reads the groups and leaves the body alone.
    SettingsStore untouched;
    EXPECT_TRUE(untouched.LoadAll(7));
    EXPECT_EQ(kProfileSimple, untouched.GetSecurityProfile());
    EXPECT_TRUE(untouched.GetActivateOnCron());
    EXPECT_EQ(0, untouched.GetExcludeListCount());
}

}  // namespace
