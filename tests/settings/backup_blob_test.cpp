// The backup block: its byte layout, a full backup and restore, and blocks
// that must be refused without touching the registry.
#include "settings/settings_store.h"
#include "tests/common/registry_sandbox.h"
#include "win32/registry.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using testsupport::DumpKey;
using testsupport::kProductKey;
using testsupport::kSettingsKey;

const std::wstring kMediumKey = std::wstring(kSettingsKey) + L"\\Medium";

uint32_t U32At(const std::vector<BYTE>& block, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, block.data() + offset, 4);
    return value;
}

void PutU32(std::vector<BYTE>& block, size_t offset, uint32_t value)
{
    std::memcpy(block.data() + offset, &value, 4);
}

// Every profile saved as the plug-in saves it, with lists in both custom ones.
void SeedFullSettings(bool keyPress)
{
    SettingsStore store;
    store.SetActivateOnSystemShutdown(true);
    store.SetActivateOnBrowserStartup(true);
    store.SetActivateOnKeyPress(keyPress);
    store.SetKeySequence(true, false, false, L"abc");
    store.SetActivateOnCron(true);
    store.SetCronNumDays(1765000000);
    store.SetActivateFSBOnCron(true);
    store.SetCronFSBNumDays(1766000000);
    for (int32_t profile = 0; profile < kProfileCount; ++profile) {
        store.SetSecurityProfile(profile);
        if (profile == kProfileAdvanced) {
            store.ClearProfileBody();
            store.SetShredCookies(true);
            store.SetConfirmShredRecycle(false);
            store.SetEraseMethod(kEraseThreePasses);
            store.AddFileEntry(L"C:\\Docs\\a.doc", true);
            store.AddFileEntry(L"C:\\Docs\\old", false);
            store.AddExcludeEntry(L"*.txt");
        }
        if (profile == kProfileSimple) {
            store.ClearProfileBody();
            store.SetShredTempFiles(true);
            store.SetEraseMethod(kEraseSimpleDelete);
            store.AddExcludeEntry(L"C:\\Keep");
        }
        ASSERT_TRUE(store.SaveAll());
    }
    store.SetSecurityProfile(kProfileAdvanced);
    ASSERT_TRUE(store.SaveSecurityProfile());
}

class BackupBlob : public testsupport::ProductRegistryTest {};

TEST_F(BackupBlob, WithoutKeyTextRecordsStartAtTwelve)
{
    SeedFullSettings(false);
    SettingsStore store;
    std::vector<BYTE> block;
    ASSERT_TRUE(store.WriteBackupBlob(block));
    const size_t expectedUsed = 178 + (13 + 6) + (11 + 6) + (5 + 5) + (7 + 5);
    ASSERT_EQ(299u + 19 + 17 + 10 + 12, block.size());
    EXPECT_EQ(block.size(), U32At(block, 0));
    EXPECT_EQ(1, block[4]);
    EXPECT_EQ(1, block[5]);
    EXPECT_EQ(0, block[6]);
    EXPECT_EQ(0, block[7]);
    EXPECT_EQ(static_cast<uint32_t>(kProfileAdvanced), U32At(block, 8));
    // Records of 30 bytes for the built-ins.
    EXPECT_EQ(0u, U32At(block, 12));
    EXPECT_EQ(1u, U32At(block, 42));
    EXPECT_EQ(2u, U32At(block, 72));
    EXPECT_EQ(3u, U32At(block, 102));
    EXPECT_EQ(static_cast<uint32_t>(kEraseSevenPasses), U32At(block, 12 + 26));
    // Advanced: cookies (record offset 10) on, Recycle confirm (23) off.
    EXPECT_EQ(1, block[102 + 10]);
    EXPECT_EQ(0, block[102 + 23]);
    EXPECT_EQ(static_cast<uint32_t>(kEraseThreePasses), U32At(block, 102 + 26));
    EXPECT_EQ(2u, U32At(block, 102 + 30));
    EXPECT_EQ(1, block[102 + 34]);
    EXPECT_EQ(14u, U32At(block, 102 + 35));
    EXPECT_EQ(0, std::memcmp(block.data() + 102 + 39, "C:\\Docs\\a.doc", 14));
    const size_t simple = 102 + 30 + 4 + 19 + 17 + 4 + 10;
    EXPECT_EQ(4u, U32At(block, simple));
    EXPECT_EQ(expectedUsed, simple + 30 + 4 + 4 + 12);
}

TEST_F(BackupBlob, KeyTextSitsBeforeTheProfileNumber)
{
    SeedFullSettings(true);
    SettingsStore store;
    std::vector<BYTE> block;
    ASSERT_TRUE(store.WriteBackupBlob(block));
    EXPECT_EQ(1, block[7]);
    EXPECT_EQ(9u, U32At(block, 8));  // "abc+CTRL" and its NUL
    EXPECT_EQ(0, std::memcmp(block.data() + 12, "abc+CTRL", 9));
    EXPECT_EQ(static_cast<uint32_t>(kProfileAdvanced), U32At(block, 21));
    EXPECT_EQ(0u, U32At(block, 25));
}

TEST_F(BackupBlob, EmptySettingsGiveTheBareLayout)
{
    SettingsStore store;
    std::vector<BYTE> block;
    ASSERT_TRUE(store.WriteBackupBlob(block));
    ASSERT_EQ(299u, block.size());
    EXPECT_EQ(299u, U32At(block, 0));
    // No stored settings: every record carries the fresh record's number.
    EXPECT_EQ(4u, U32At(block, 8));
    EXPECT_EQ(4u, U32At(block, 12));
    EXPECT_EQ(4u, U32At(block, 12 + 38));
    EXPECT_EQ(0u, U32At(block, 12 + 30));
}

TEST_F(BackupBlob, LongKeyTextGrowsTheBlockByItsExcess)
{
    SettingsStore seed;
    seed.SetActivateOnKeyPress(true);
    seed.SetKeySequence(false, false, false, std::wstring(130, L'K'));
    ASSERT_TRUE(seed.SaveAll());
    SettingsStore store;
    std::vector<BYTE> block;
    ASSERT_TRUE(store.WriteBackupBlob(block));
    EXPECT_EQ(299u + (131 - 117), block.size());
    EXPECT_EQ(131u, U32At(block, 8));
    EXPECT_EQ('\0', static_cast<char>(block[12 + 130]));
}

TEST_F(BackupBlob, RestoreOfABackupGivesTheSameRegistry)
{
    SeedFullSettings(true);
    const std::wstring before = DumpKey(HKEY_CURRENT_USER, kProductKey);
    SettingsStore writer;
    std::vector<BYTE> block;
    ASSERT_TRUE(writer.WriteBackupBlob(block));

    // Change what the block carries, keeping list lengths (savers never
    // delete stale "ConfirmShredAddFile%d" values).
    SettingsStore change;
    ASSERT_TRUE(change.LoadAll(kProfileSimple));
    change.SetActivateOnBrowserShutdown(true);
    change.ClearProfileBody();
    change.SetEraseMethod(kEraseSevenPasses);
    change.AddExcludeEntry(L"C:\\Other");
    ASSERT_TRUE(change.SaveAll());
    ASSERT_TRUE(change.LoadAll(kProfileHigh));
    change.SetShredCookies(false);
    ASSERT_TRUE(change.SaveAll());
    ASSERT_NE(before, DumpKey(HKEY_CURRENT_USER, kProductKey));

    SettingsStore reader;
    ASSERT_TRUE(reader.ReadBackupBlob(block.data(), block.size()));
    EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, kProductKey));
}

TEST_F(BackupBlob, RestoreKeepsTheSchedulesTheBlockDoesNotCarry)
{
    SeedFullSettings(false);
    SettingsStore writer;
    std::vector<BYTE> block;
    ASSERT_TRUE(writer.WriteBackupBlob(block));
    SettingsStore later;
    later.SetActivateOnCron(true);
    later.SetCronNumDays(42);
    later.SetActivateFSBOnCron(true);
    later.SetCronFSBNumDays(43);
    ASSERT_TRUE(later.SaveTriggers());
    ASSERT_TRUE(later.SaveBleachSchedule());

    SettingsStore reader;
    ASSERT_TRUE(reader.ReadBackupBlob(block.data(), block.size()));
    SettingsStore loaded;
    ASSERT_TRUE(loaded.LoadAll(kProfileHigh));
    EXPECT_TRUE(loaded.GetActivateOnCron());
    EXPECT_EQ(42, loaded.GetCronNumDays());
    EXPECT_TRUE(loaded.GetActivateFSBOnCron());
    EXPECT_EQ(43, loaded.GetCronFSBNumDays());
    EXPECT_TRUE(loaded.GetActivateOnSystemShutdown());
    ASSERT_TRUE(loaded.LoadSecurityProfile());
    EXPECT_EQ(kProfileAdvanced, loaded.GetSecurityProfile());
}

TEST_F(BackupBlob, EraseMethodIsRestoredAsStored)
{
    SeedFullSettings(false);
    SettingsStore writer;
    std::vector<BYTE> block;
    ASSERT_TRUE(writer.WriteBackupBlob(block));
    PutU32(block, 72 + 26, 9);  // Low's erase method
    SettingsStore reader;
    ASSERT_TRUE(reader.ReadBackupBlob(block.data(), block.size()));
    EXPECT_EQ(9u, [] {
        auto raw = testsupport::GetRaw(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\Low",
                                       L"EraseMethod");
        uint32_t value = 0;
        std::memcpy(&value, raw.bytes.data(), 4);
        return value;
    }());
}

TEST_F(BackupBlob, EveryTruncationIsRefusedWithoutAChange)
{
    SeedFullSettings(true);
    SettingsStore writer;
    std::vector<BYTE> block;
    ASSERT_TRUE(writer.WriteBackupBlob(block));
    const std::wstring before = DumpKey(HKEY_CURRENT_USER, kProductKey);
    for (size_t cb = 0; cb < block.size(); ++cb) {
        std::vector<BYTE> cut(block.begin(), block.begin() + cb);
        SettingsStore reader;
        EXPECT_FALSE(reader.ReadBackupBlob(cut.data(), cut.size())) << cb;
    }
    SettingsStore reader;
    EXPECT_FALSE(reader.ReadBackupBlob(nullptr, 0));
    EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, kProductKey));
}

TEST_F(BackupBlob, BadCountsLengthsAndProfileNumbersAreRefused)
{
    SeedFullSettings(false);
    SettingsStore writer;
    std::vector<BYTE> good;
    ASSERT_TRUE(writer.WriteBackupBlob(good));
    const std::wstring before = DumpKey(HKEY_CURRENT_USER, kProductKey);
    const size_t advancedLists = 102 + 30;
    // The block ends with the simple profile's exclude entry: nothing read
    // after it could notice a reader that overran it.
    const char keep[] = "C:\\Keep";
    const size_t lastText = static_cast<size_t>(
        std::search(good.begin(), good.end(), keep, keep + sizeof(keep)) - good.begin());
    ASSERT_EQ(sizeof(keep), U32At(good, lastText - 4));
    const size_t lastEnd = lastText + sizeof(keep);
    struct Damage {
        const char* what;
        size_t offset;
        uint32_t value;
        bool oneByte = false;
    } damages[] = {
        {"file count past the block", advancedLists, 1000},
        {"file count wraps", advancedLists, 0xFFFFFFFF},
        {"path length zero", advancedLists + 5, 0},
        {"path length past the block", advancedLists + 5, 0x7FFFFFF0},
        {"path length without its NUL", advancedLists + 5, 5},
        {"last text whose NUL is overwritten", lastEnd - 1, 'x', true},
        {"block ending one byte before its last text does", 0, static_cast<uint32_t>(lastEnd - 1)},
        {"key text without a NUL inside its length", 7, 1, true},
        {"record number 7", 72, 7},
        {"record number negative", 42, 0xFFFFFFFF},
        {"profile in force 5", 8, 5},
        {"total length past the block", 0, 4096},
    };
    for (const auto& damage : damages) {
        auto block = good;
        if (damage.oneByte)
            block[damage.offset] = static_cast<BYTE>(damage.value);
        else
            PutU32(block, damage.offset, damage.value);
        SettingsStore reader;
        EXPECT_FALSE(reader.ReadBackupBlob(block.data(), block.size())) << damage.what;
        EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, kProductKey)) << damage.what;
    }
}

TEST_F(BackupBlob, AProfileNumberTwiceWritesThatSubkeyTwice)
{
    SeedFullSettings(false);
    SettingsStore writer;
    std::vector<BYTE> block;
    ASSERT_TRUE(writer.WriteBackupBlob(block));
    // Record 1 (Medium) claims to be High, with every flag off.
    PutU32(block, 42, 0);
    std::memset(block.data() + 42 + 4, 0, 22);
    SettingsStore reader;
    ASSERT_TRUE(reader.ReadBackupBlob(block.data(), block.size()));
    SettingsStore loaded;
    loaded.SetSecurityProfile(kProfileHigh);
    ASSERT_TRUE(loaded.LoadProfile());
    EXPECT_FALSE(loaded.GetShredCookies());
    EXPECT_EQ(kEraseThreePasses, loaded.GetEraseMethod());
}

// A path must come back from a restore as the same path. The cases are for
// the test prefix's Western code page (1252): "Ř" has only the look-alike
// "R" there, "日本" no form at all; "Café" and "Ünï" are held exactly.
TEST_F(BackupBlob, OnlyTextsTheCodePageHoldsExactlyAreBackedUp)
{
    ASSERT_EQ(1252u, ::GetACP()) << "the cases assume the Western code page";
    const struct {
        const char* what;
        bool exclude;
        std::wstring path;
        bool held;
    } cases[] = {
        {"look-alike in a file entry", false, L"C:\\Data\\\u0158eka.txt", false},
        {"look-alike in an exclude entry", true, L"C:\\Keep\\\u0158eka", false},
        {"no form in a file entry", false, L"C:\\Data\\\u65E5\u672C.txt", false},
        {"held in a file entry", false, L"C:\\Caf\u00E9\\\u00DCn\u00EF.txt", true},
        {"held in an exclude entry", true, L"C:\\Caf\u00E9\\keep", true},
    };
    for (const auto& c : cases) {
        testsupport::ClearProductKeys();
        SettingsStore seed;
        seed.SetSecurityProfile(c.exclude ? kProfileSimple : kProfileAdvanced);
        c.exclude ? seed.AddExcludeEntry(c.path) : seed.AddFileEntry(c.path, true);
        ASSERT_TRUE(seed.SaveAll()) << c.what;

        SettingsStore writer;
        std::vector<BYTE> block = {0x5A};
        EXPECT_EQ(c.held, writer.WriteBackupBlob(block)) << c.what;
        if (!c.held) {
            EXPECT_TRUE(block == std::vector<BYTE>{0x5A}) << "block written: " << c.what;
            continue;
        }
        SettingsStore emptied = seed;
        emptied.ClearFilesAndFolders();
        emptied.ClearExcludeList();
        ASSERT_TRUE(emptied.SaveAll()) << c.what;
        SettingsStore reader;
        ASSERT_TRUE(reader.ReadBackupBlob(block.data(), block.size())) << c.what;
        SettingsStore loaded;
        ASSERT_TRUE(loaded.LoadAll(seed.GetSecurityProfile())) << c.what;
        bool confirm = false;
        EXPECT_EQ(c.path, c.exclude ? loaded.GetExcludeEntry(0) : loaded.GetFileEntry(0, confirm))
            << c.what;
    }
}

// Restores into a store that cannot take every write: the rest of the block
// is still written, and the restore says it failed.
TEST_F(BackupBlob, ARestoreThatCannotWriteEverythingFails)
{
    const struct {
        const char* what;
        void (*arrange)();
    } cases[] = {
        // Reading, and deleting for the clean-up.
        {"a profile subkey that only grants reading",
         [] { testsupport::MakeKeyReadOnly(HKEY_CURRENT_USER, kMediumKey); }},
        {"a volatile Settings key, below which no stored subkey can be made",
         [] {
             testsupport::ClearProductKeys();
             win32::UniqueKey settings;
             ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr,
                                                        REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                                                        settings.put(), nullptr));
         }},
    };
    for (const auto& c : cases) {
        testsupport::ClearProductKeys();
        SeedFullSettings(true);
        SettingsStore writer;
        std::vector<BYTE> block;
        ASSERT_TRUE(writer.WriteBackupBlob(block));
        SettingsStore change;
        change.SetActivateOnBrowserShutdown(true);
        ASSERT_TRUE(change.SaveTriggers());
        c.arrange();

        SettingsStore reader;
        EXPECT_FALSE(reader.ReadBackupBlob(block.data(), block.size())) << c.what;
        SettingsStore loaded;
        ASSERT_TRUE(loaded.LoadTriggers()) << c.what;
        EXPECT_FALSE(loaded.GetActivateOnBrowserShutdown()) << c.what;
    }
}

}  // namespace
