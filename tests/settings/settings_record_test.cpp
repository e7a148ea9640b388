// The settings record in memory: construction, profiles, key sequence, lists.
#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

void ExpectNoFlags(const SettingsStore& store)
{
    for (int kind = 0; kind < kTraceKindCount; ++kind) {
        EXPECT_FALSE(store.GetShred(static_cast<TraceKind>(kind))) << kind;
        EXPECT_FALSE(store.GetConfirm(static_cast<TraceKind>(kind))) << kind;
    }
}

TEST(SettingsRecord, NewRecordIsSimpleDeleteWithNothingSelected)
{
    SettingsStore store;
    EXPECT_EQ(kProfileSimple, store.GetSecurityProfile());
    EXPECT_EQ(kEraseSimpleDelete, store.GetEraseMethod());
    ExpectNoFlags(store);
    EXPECT_EQ(0, store.GetFilesAndFoldersCount());
    EXPECT_EQ(0, store.GetExcludeListCount());
    EXPECT_EQ(L"", store.GetKeyCodeVals());
    EXPECT_FALSE(store.GetActivateOnSystemShutdown());
    EXPECT_FALSE(store.GetActivateOnCron());
    EXPECT_EQ(0, store.GetCronNumDays());
    EXPECT_FALSE(store.GetActivateFSBOnCron());
}

TEST(SettingsRecord, BuiltInBodiesSwitchOnElevenSevenAndFiveKinds)
{
    const auto& profiles = BuiltInProfiles();
    const int expectedOn[3] = {11, 7, 5};
    const int expectedMethod[3] = {kEraseSevenPasses, kEraseThreePasses, kEraseOnePass};
    for (int profile = 0; profile < 3; ++profile) {
        int on = 0;
        for (int kind = 0; kind < kTraceKindCount; ++kind) {
            EXPECT_EQ(profiles[profile].shred[kind], profiles[profile].confirm[kind]);
            on += profiles[profile].shred[kind];
        }
        EXPECT_EQ(expectedOn[profile], on);
        EXPECT_EQ(expectedMethod[profile], profiles[profile].eraseMethod);
        EXPECT_TRUE(profiles[profile].filesAndFolders.empty());
    }
    EXPECT_TRUE(profiles[1].shred[kRecycle]);
    EXPECT_TRUE(profiles[1].shred[kTempFiles]);
    EXPECT_FALSE(profiles[1].shred[kRecentMenu]);
    EXPECT_FALSE(profiles[2].shred[kRecycle]);
}

TEST(SettingsRecord, BuiltInProfileReplacesTheBodyAndEmptiesTheLists)
{
    SettingsStore store;
    for (const wchar_t* path : {L"C:\\a", L"C:\\b", L"C:\\c"})
        store.AddExcludeEntry(path);
    store.AddFileEntry(L"C:\\d", true);
    store.SetSecurityProfile(kProfileMedium);
    EXPECT_EQ(0, store.GetExcludeListCount());
    EXPECT_EQ(0, store.GetFilesAndFoldersCount());
    EXPECT_FALSE(store.GetShredRecentMenu());
    EXPECT_TRUE(store.GetShredTempFiles());
    EXPECT_TRUE(store.GetConfirmShredRecycle());
    EXPECT_EQ(kEraseThreePasses, store.GetEraseMethod());

    // A custom number changes only the number.
    store.SetSecurityProfile(kProfileHigh);
    store.SetSecurityProfile(kProfileAdvanced);
    EXPECT_EQ(kProfileAdvanced, store.GetSecurityProfile());
    EXPECT_TRUE(store.GetShredRecentRP());
    EXPECT_EQ(kEraseSevenPasses, store.GetEraseMethod());
}

TEST(SettingsRecord, CustomProfilesAreAdvancedAndSimple)
{
    SettingsStore store;
    for (int profile = 0; profile < 5; ++profile) {
        store.SetSecurityProfile(profile);
        EXPECT_EQ(profile > 2, store.IsCustomProfile()) << profile;
    }
}

TEST(SettingsRecord, KeySequenceAppendsChosenModifiersInOrder)
{
    SettingsStore store;
    store.SetKeySequence(true, false, true, L"K");
    EXPECT_EQ(L"K+CTRL+SHIFT", store.GetKeyCodeVals());
    store.SetKeySequence(true, true, true, L"7");
    EXPECT_EQ(L"7+CTRL+ALT+SHIFT", store.GetKeyCodeVals());
    store.SetKeySequence(false, false, false, L"Q");
    EXPECT_EQ(L"Q", store.GetKeyCodeVals());
}

TEST(SettingsRecord, ClearProfileBodyKeepsConfirmFlagsAndMethod)
{
    SettingsStore store;
    store.SetSecurityProfile(kProfileHigh);
    store.SetSecurityProfile(kProfileAdvanced);
    store.AddFileEntry(L"C:\\x", true);
    store.AddExcludeEntry(L"C:\\y");
    store.ClearProfileBody();
    for (int kind = 0; kind < kTraceKindCount; ++kind) {
        EXPECT_FALSE(store.GetShred(static_cast<TraceKind>(kind)));
        EXPECT_TRUE(store.GetConfirm(static_cast<TraceKind>(kind)));
    }
    EXPECT_EQ(kEraseSevenPasses, store.GetEraseMethod());
    EXPECT_EQ(0, store.GetFilesAndFoldersCount());
    EXPECT_EQ(0, store.GetExcludeListCount());
}

TEST(SettingsRecord, EntriesPastTheEndAreEmptyAndLeaveTheFlag)
{
    SettingsStore store;
    store.AddFileEntry(L"C:\\one", true);
    store.AddFileEntry(L"C:\\one", false);  // duplicates are kept
    bool confirm = false;
    EXPECT_EQ(L"C:\\one", store.GetFileEntry(0, confirm));
    EXPECT_TRUE(confirm);
    EXPECT_EQ(L"", store.GetFileEntry(2, confirm));
    EXPECT_TRUE(confirm);
    EXPECT_EQ(L"", store.GetExcludeEntry(0));
    EXPECT_EQ(2, store.GetFilesAndFoldersCount());
}

TEST(SettingsRecord, RecordsBuiltOnManyThreadsAlwaysSeeWholeBuiltInBodies)
{
    const ProfileBody expected = BuiltInProfiles()[kProfileMedium];
    std::vector<std::thread> threads;
    std::vector<int> mismatches(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &expected, &mismatches] {
            for (int i = 0; i < 200; ++i) {
                SettingsStore store;
                store.SetSecurityProfile(kProfileMedium);
                if (!(store.Body() == expected))
                    ++mismatches[t];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int count : mismatches)
        EXPECT_EQ(0, count);
}

}  // namespace
