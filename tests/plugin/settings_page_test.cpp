// The Settings page on the host stand-in's sheet, the Apply buttons that
// apply every page with pending changes, and the backup and restore element
// made by the host stand-in.
#include "host/host.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "resources/halvorin/resource.h"
#include "settings/settings_store.h"
#include "tests/common/registry_sandbox.h"
#include "tests/plugin/host_test_support.h"
#include "tests/plugin/page_test_fixture.h"

#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace plugintest {
namespace {

using testsupport::DumpKey;
using testsupport::kSettingsKey;
using testsupport::PutDword;

constexpr int kRadios[] = {IDC_PROFILE_HIGH, IDC_PROFILE_MEDIUM, IDC_PROFILE_LOW,
                           IDC_PROFILE_ADVANCED, IDC_PROFILE_SIMPLE};

class SettingsPageTest : public PageTest {
protected:
    void StoreProfile(DWORD profile)
    {
        PutDword(HKEY_CURRENT_USER, kSettingsKey, L"Revision", 2);
        PutDword(HKEY_CURRENT_USER, kSettingsKey, L"SecurityProfile", profile);
    }
    HWND OpenSettings()
    {
        if (!m_sheet.Open())
            return nullptr;
        CSettingsDlg* page = m_sheet.ShowSettings();
        return page ? page->GetHwnd() : nullptr;
    }

    hosttest::PrivateIconRequests m_iconRequests;
};

TEST_F(SettingsPageTest, ShowsTheStoredChoiceAndSimpleDeleteForAnyOther)
{
    const struct {
        DWORD stored;  // 0xFFFFFFFF: no value
        int checked;
    } cases[] = {{0xFFFFFFFF, IDC_PROFILE_SIMPLE},
                 {7, IDC_PROFILE_SIMPLE},
                 {1, IDC_PROFILE_MEDIUM},
                 {2, IDC_PROFILE_LOW},
                 {0, IDC_PROFILE_HIGH},
                 {3, IDC_PROFILE_ADVANCED}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        testsupport::ClearProductKeys();
        if (c.stored != 0xFFFFFFFF)
            StoreProfile(c.stored);
        const HWND page = OpenSettings();
        ASSERT_TRUE(page);
        for (int radio : kRadios)
            EXPECT_EQ(radio == c.checked, Checked(page, radio)) << radio;
        EXPECT_FALSE(Enabled(page, IDC_SETTINGS_APPLY));
        m_sheet.Close();
    }
}

// Apply of any page applies the others with pending changes: the Settings
// page's choice with the Shred page's Apply, and the reverse.
TEST_F(SettingsPageTest, EachApplyButtonAppliesThePendingPages)
{
    StoreProfile(7);
    const HWND settings = OpenSettings();
    ASSERT_TRUE(settings);
    const HWND shred = m_sheet.ShowShred()->GetHwnd();

    Click(settings, IDC_PROFILE_MEDIUM);
    EXPECT_TRUE(Enabled(settings, IDC_SETTINGS_APPLY));
    Click(shred, IDC_SHRED_ON_SHUTDOWN);
    Click(shred, IDC_SHRED_APPLY);
    EXPECT_EQ(1u, testsupport::SettingsDword(L"", L"SecurityProfile"));
    EXPECT_EQ(3u, testsupport::SettingsDword(L"\\Medium", L"EraseMethod"))
        << "the Medium subkey is made with the built-in body";
    EXPECT_FALSE(Enabled(settings, IDC_SETTINGS_APPLY));
    EXPECT_FALSE(Enabled(shred, IDC_SHRED_APPLY));

    Click(settings, IDC_PROFILE_LOW);
    Click(shred, IDC_SHRED_ON_SHUTDOWN);
    Click(settings, IDC_SETTINGS_APPLY);
    EXPECT_EQ(2u, testsupport::SettingsDword(L"", L"SecurityProfile"));
    EXPECT_EQ(0u, testsupport::SettingsDword(L"", L"ActivateOnSystemShutdown"));
    EXPECT_FALSE(Enabled(shred, IDC_SHRED_APPLY));
    EXPECT_TRUE(m_messages.empty());
}

template <typename Page>
HWND HwndOf(Page* page)
{
    return page ? page->GetHwnd() : nullptr;
}

// Each page's Apply, by its button and by the sheet, reports a save that
// failed: its Apply button stays enabled and the sheet is told the page is
// not applied.
TEST_F(SettingsPageTest, AnApplyWhoseSaveFailsIsReportedAndStaysPending)
{
    const struct {
        const char* name;
        int apply;
        HWND (*show)(PageSheet& sheet);
        void (*change)(HWND page);
    } cases[] = {
        {"Settings", IDC_SETTINGS_APPLY,
         [](PageSheet& sheet) { return HwndOf(sheet.ShowSettings()); },
         [](HWND page) { Click(page, IDC_PROFILE_MEDIUM); }},
        {"Shred", IDC_SHRED_APPLY, [](PageSheet& sheet) { return HwndOf(sheet.ShowShred()); },
         [](HWND page) { Click(page, IDC_SHRED_ON_SHUTDOWN); }},
        {"Bleaching", IDC_BLEACH_APPLY, [](PageSheet& sheet) { return HwndOf(sheet.ShowBleach()); },
         [](HWND page) {
             Click(page, IDC_BLEACH_SCHEDULER);
             Click(page, IDC_BLEACH_SCHEDULER);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ClearProductKeys();
        StoreProfile(7);
        ASSERT_TRUE(m_sheet.Open());
        const HWND page = c.show(m_sheet);
        ASSERT_TRUE(page);
        c.change(page);
        ASSERT_TRUE(Enabled(page, c.apply));
        testsupport::MakeKeyReadOnly(HKEY_CURRENT_USER, kSettingsKey);
        const std::wstring before = DumpKey(HKEY_CURRENT_USER, kSettingsKey);

        Click(page, c.apply);
        EXPECT_TRUE(Enabled(page, c.apply)) << "what was not stored stays pending";
        EXPECT_EQ(PSNRET_INVALID, NotifyApply(page));
        EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, kSettingsKey));
        EXPECT_TRUE(m_messages.empty());
        m_sheet.Close();
    }
}

TEST_F(SettingsPageTest, ViewDetailsOpensTheSelectedProfilesDialogAndSavesNothing)
{
    StoreProfile(4);
    const HWND page = OpenSettings();
    ASSERT_TRUE(page);
    const std::wstring before = DumpKey(HKEY_CURRENT_USER, testsupport::kProductKey);
    const struct {
        int radio;
        UINT dialog;
        const wchar_t* caption;
    } cases[] = {
        {IDC_PROFILE_HIGH, IDD_PROFILE_DETAILS, L"High Security Settings"},
        {IDC_PROFILE_MEDIUM, IDD_PROFILE_DETAILS, L"Medium Security Settings"},
        {IDC_PROFILE_LOW, IDD_PROFILE_DETAILS, L"Low Security Settings"},
        {IDC_PROFILE_ADVANCED, IDD_ADVANCED_DETAILS, L"Advanced Security Settings"},
        {IDC_PROFILE_SIMPLE, IDD_SIMPLE_DETAILS, L"Simple Delete Settings"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radio);
        std::vector<std::pair<UINT, std::wstring>> shown;
        fw::ScopedUiResponder cancel([&](const fw::UiRequest& request) {
            wchar_t caption[128] = {};
            ::GetWindowTextW(request.window, caption, ARRAYSIZE(caption));
            shown.emplace_back(request.templateId, caption);
            return static_cast<INT_PTR>(IDCANCEL);
        });
        Click(page, c.radio);
        Click(page, IDC_VIEW_DETAILS);
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ(c.dialog, shown[0].first);
        EXPECT_EQ(c.caption, shown[0].second);
    }
    EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, testsupport::kProductKey));
}

class BackupRestoreTest : public SettingsPageTest {
protected:
    void SetUp() override
    {
        SettingsPageTest::SetUp();
        for (auto& element : hosttest::CreateInProcessObjects().elements) {
            if (SUCCEEDED(element->QueryInterface(IID_IFWTWBackupRestore, m_element.put_void())))
                break;
        }
        ASSERT_TRUE(m_element);
    }
    // Settings worth a backup: a trigger, a custom profile with lists, and
    // every profile's subkey (a restore writes all five).
    static void StoreSettings()
    {
        for (int32_t profile :
             {kProfileHigh, kProfileMedium, kProfileLow, kProfileSimple, kProfileAdvanced}) {
            SettingsStore settings;
            settings.SetActivateOnSystemShutdown(true);
            settings.SetSecurityProfile(profile);
            if (profile == kProfileAdvanced) {
                settings.SetShredCookies(true);
                settings.AddFileEntry(L"C:\\scratch\\a.txt", true);
                settings.AddExcludeEntry(L"*.doc");
            }
            ASSERT_TRUE(settings.SaveAll());
        }
    }
    std::vector<BYTE> BackupBytes()
    {
        std::vector<BYTE> bytes;
        EXPECT_EQ(S_OK, Backup(bytes));
        return bytes;
    }
    // The element's answer; `bytes` empty unless it handed back a byte array.
    HRESULT Backup(std::vector<BYTE>& bytes)
    {
        VARIANT data;
        ::VariantInit(&data);
        const HRESULT hr = m_element->Backup(nullptr, &data);
        if (V_VT(&data) == (VT_ARRAY | VT_UI1)) {
            void* raw = nullptr;
            ::SafeArrayAccessData(V_ARRAY(&data), &raw);
            bytes.assign(static_cast<BYTE*>(raw),
                         static_cast<BYTE*>(raw) + V_ARRAY(&data)->rgsabound[0].cElements);
            ::SafeArrayUnaccessData(V_ARRAY(&data));
        }
        ::VariantClear(&data);
        return hr;
    }
    HRESULT RestoreBytes(const std::vector<BYTE>& bytes)
    {
        VARIANT data;
        ::VariantInit(&data);
        V_VT(&data) = VT_ARRAY | VT_UI1;
        V_ARRAY(&data) = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        void* raw = nullptr;
        ::SafeArrayAccessData(V_ARRAY(&data), &raw);
        std::memcpy(raw, bytes.data(), bytes.size());
        ::SafeArrayUnaccessData(V_ARRAY(&data));
        const HRESULT hr = m_element->Restore(&data);
        ::VariantClear(&data);
        return hr;
    }

    win32::ComPtr<IFWTWBackupRestore> m_element;
};

TEST_F(BackupRestoreTest, RestoreOfABackupPutsTheSettingsBackAndRefreshesTheOpenPages)
{
    ASSERT_TRUE(m_sheet.Open());
    const HWND shred = m_sheet.ShowShred()->GetHwnd();
    StoreSettings();
    const std::wstring before = DumpKey(HKEY_CURRENT_USER, kSettingsKey);
    const std::vector<BYTE> bytes = BackupBytes();
    ASSERT_GE(bytes.size(), 12u);

    m_sheet.ShowShred()->OnInitDialog();
    Click(shred, IDC_SHRED_ON_SHUTDOWN);
    Click(shred, IDC_SHRED_APPLY);
    ASSERT_FALSE(Checked(shred, IDC_SHRED_ON_SHUTDOWN));

    EXPECT_EQ(S_OK, RestoreBytes(bytes));
    EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_TRUE(Checked(shred, IDC_SHRED_ON_SHUTDOWN)) << "the open page shows the restore";
}

// What is no backup changes nothing and never reads past the array.
TEST_F(BackupRestoreTest, RestoreRefusesWhatIsNoWholeBackup)
{
    StoreSettings();
    std::vector<BYTE> bytes = BackupBytes();
    ASSERT_GE(bytes.size(), 12u);
    const std::wstring before = DumpKey(HKEY_CURRENT_USER, kSettingsKey);

    std::vector<BYTE> truncated(bytes.begin(), bytes.begin() + bytes.size() / 2);
    EXPECT_TRUE(FAILED(RestoreBytes(truncated)));
    std::vector<BYTE> profileSeven = bytes;
    profileSeven[8] = 7;  // the profile in force, after the size and four triggers
    EXPECT_TRUE(FAILED(RestoreBytes(profileSeven)));

    VARIANT text;
    ::VariantInit(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = ::SysAllocString(L"not a backup");
    EXPECT_EQ(S_OK, m_element->Restore(&text));
    ::VariantClear(&text);

    VARIANT empty;
    ::VariantInit(&empty);
    V_VT(&empty) = VT_ARRAY | VT_UI1;
    V_ARRAY(&empty) = nullptr;
    EXPECT_TRUE(FAILED(m_element->Restore(&empty)));

    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(bytes.size()), 0}, {1, 0}};
    VARIANT twoDimensions;
    ::VariantInit(&twoDimensions);
    V_VT(&twoDimensions) = VT_ARRAY | VT_UI1;
    V_ARRAY(&twoDimensions) = ::SafeArrayCreate(VT_UI1, 2, bounds);
    EXPECT_TRUE(FAILED(m_element->Restore(&twoDimensions)));
    ::VariantClear(&twoDimensions);

    EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, kSettingsKey));
}

// `block` with its first text spelled `from` made `to`: as another program
// could hand the host, the text's length and the block's own still right.
std::vector<BYTE> Swapped(std::vector<BYTE> block, const std::string& from, const std::string& to)
{
    const auto at = std::search(block.begin(), block.end(), from.begin(), from.end());
    EXPECT_NE(block.end(), at) << from;
    if (at == block.end())
        return block;
    const size_t offset = static_cast<size_t>(at - block.begin());
    const uint32_t cbText = static_cast<uint32_t>(to.size() + 1);  // with its NUL
    std::memcpy(&block[offset - 4], &cbText, 4);
    block.erase(at, at + static_cast<ptrdiff_t>(from.size()));
    block.insert(block.begin() + static_cast<ptrdiff_t>(offset), to.begin(), to.end());
    const uint32_t cbBlock = static_cast<uint32_t>(block.size());
    std::memcpy(block.data(), &cbBlock, 4);
    return block;
}

// A restored entry must be one the custom option dialog could have given: a
// relative one would be shredded, or fail to exclude, against whatever
// folder the shredding program runs in; a "|" would split it in two.
TEST_F(BackupRestoreTest, RestoreTakesOnlyEntriesTheCustomOptionDialogGives)
{
    const struct {
        const char* entry;
        bool taken;
    } cases[] = {
        {"..\\x", false},     {"C:rel.txt", false},        {"\\x\\f.txt", false},
        {"\\\\.\\C:", false}, {"\\\\?\\C:\\f.txt", false}, {"C:\\a.txt|C:\\b.txt", false},
        {"", false},          {"C:/Docs/b.txt", true},     {"\\\\server\\share\\f.txt", true},
        {"*.tmp", true},
    };
    for (const auto& c : cases) {
        for (const bool exclude : {false, true}) {
            SCOPED_TRACE(std::string(c.entry) + (exclude ? " excluded" : " listed"));
            testsupport::ClearProductKeys();
            StoreSettings();
            // The stored lists' one entry each.
            const std::vector<BYTE> block =
                Swapped(BackupBytes(), exclude ? "*.doc" : "C:\\scratch\\a.txt", c.entry);
            const std::wstring before = DumpKey(HKEY_CURRENT_USER, kSettingsKey);
            const HRESULT hr = RestoreBytes(block);
            if (!c.taken) {
                EXPECT_TRUE(FAILED(hr));
                EXPECT_TRUE(before == DumpKey(HKEY_CURRENT_USER, kSettingsKey)) << "written";
                continue;
            }
            ASSERT_EQ(S_OK, hr);
            SettingsStore loaded;
            ASSERT_TRUE(loaded.LoadAll(kProfileAdvanced));
            const std::wstring wide(c.entry, c.entry + std::strlen(c.entry));
            bool confirm = false;
            EXPECT_EQ(wide, exclude ? loaded.GetExcludeEntry(0) : loaded.GetFileEntry(0, confirm));
        }
    }
}

// A stored entry that does nothing (the list builder never shreds it, the
// exclude test never matches it) is left out of the backup instead of
// failing it, and everything else restores. A full path in the long-path
// form does exclude its item: it comes back in the plain form.
TEST_F(BackupRestoreTest, AStoredEntryThatDoesNothingIsLeftOutAndTheRestRestores)
{
    const struct {
        const wchar_t* entry;
        bool exclude;
        const wchar_t* restoredAs;  // null: left out
    } cases[] = {
        {L"..\\x", false, nullptr},       {L"C:rel.txt", false, nullptr},
        {L"\\x\\f.txt", false, nullptr},  {L"\\\\?\\C:\\f.txt", false, nullptr},
        {L"\\\\.\\COM1", false, nullptr}, {L"..\\x", true, nullptr},
        {L"C:rel.txt", true, nullptr},    {L"\\x\\f.txt", true, nullptr},
        {L"\\\\.\\COM1", true, nullptr},  {L"\\\\?\\C:\\f.txt", true, L"C:\\f.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.exclude ? "excluded " : "listed ")
                                        << testing::PrintToString(std::wstring(c.entry)));
        testsupport::ClearProductKeys();
        StoreSettings();
        SettingsStore stored;
        ASSERT_TRUE(stored.LoadAll(kProfileAdvanced));
        std::vector<std::wstring> files = {L"C:\\scratch\\a.txt", L"C:\\scratch\\b.txt"};
        std::vector<std::wstring> excludes = {L"*.doc", L"*.tmp"};
        if (c.exclude) {
            stored.AddExcludeEntry(c.entry);
            stored.AddExcludeEntry(excludes[1]);
            stored.AddFileEntry(files[1], false);
        } else {
            stored.AddFileEntry(c.entry, true);
            stored.AddFileEntry(files[1], false);
            stored.AddExcludeEntry(excludes[1]);
        }
        ASSERT_TRUE(stored.SaveAll());
        if (c.restoredAs)
            excludes.insert(excludes.begin() + 1, c.restoredAs);

        std::vector<BYTE> bytes;
        const HRESULT backedUp = Backup(bytes);
        EXPECT_EQ(S_OK, backedUp);
        if (FAILED(backedUp))
            continue;
        testsupport::ClearProductKeys();
        ASSERT_EQ(S_OK, RestoreBytes(bytes));

        SettingsStore restored;
        ASSERT_TRUE(restored.LoadAll(kProfileAdvanced));
        std::vector<std::wstring> restoredFiles;
        std::vector<bool> confirms;
        for (int i = 0; i < restored.GetFilesAndFoldersCount(); ++i) {
            bool confirm = false;
            restoredFiles.push_back(restored.GetFileEntry(i, confirm));
            confirms.push_back(confirm);
        }
        std::vector<std::wstring> restoredExcludes;
        for (int i = 0; i < restored.GetExcludeListCount(); ++i)
            restoredExcludes.push_back(restored.GetExcludeEntry(i));
        EXPECT_EQ(files, restoredFiles);
        EXPECT_EQ((std::vector<bool>{true, false}), confirms) << "each entry keeps its flag";
        EXPECT_EQ(excludes, restoredExcludes);
    }
}

// Every backup the element hands the host restores: a text longer than
// the restore takes fails the backup instead, with no array.
TEST_F(BackupRestoreTest, EveryBackupAtTheLengthLimitsRestores)
{
    const struct {
        bool key;  // the key sequence's text, else a listed file's path
        size_t cch;
        bool backedUp;
    } cases[] = {{false, 259, true}, {false, 260, false}, {true, 259, true}, {true, 260, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.key ? "key text of " : "file path of ") << c.cch);
        testsupport::ClearProductKeys();
        StoreSettings();
        SettingsStore settings;
        ASSERT_TRUE(settings.LoadAll(kProfileAdvanced));
        if (c.key) {
            settings.SetActivateOnKeyPress(true);
            settings.SetKeySequence(false, false, false, std::wstring(c.cch, L'K'));
        } else {
            settings.AddFileEntry(L"C:\\" + std::wstring(c.cch - 3, L'f'), false);
        }
        ASSERT_TRUE(settings.SaveAll());
        const std::wstring before = DumpKey(HKEY_CURRENT_USER, kSettingsKey);

        std::vector<BYTE> bytes;
        const HRESULT hr = Backup(bytes);
        if (!c.backedUp) {
            EXPECT_TRUE(FAILED(hr));
            EXPECT_TRUE(bytes.empty());
            continue;
        }
        ASSERT_EQ(S_OK, hr);
        testsupport::ClearProductKeys();
        EXPECT_EQ(S_OK, RestoreBytes(bytes));
        EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, kSettingsKey));
    }
}

TEST_F(BackupRestoreTest, DescribesItselfToTheHost)
{
    win32::ComPtr<IFWTWElementUI> info;
    ASSERT_EQ(S_OK, m_element->QueryInterface(IID_IFWTWElementUI, info.put_void()));
    const wchar_t* expected[] = {L"SC", nullptr, L"Scoravel"};
    for (UINT kind = 1; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        VARIANT value;
        ::VariantInit(&value);
        V_VT(&value) = VT_I4;
        V_I4(&value) = 42;
        EXPECT_EQ(S_OK, info->GetInfo(kind, &value));
        if (kind == 4) {
            EXPECT_TRUE(V_VT(&value) == VT_I4 && V_I4(&value) == 42) << "left untouched";
            continue;
        }
        ASSERT_EQ(VT_BSTR, V_VT(&value));
        const std::wstring text = V_BSTR(&value);
        if (kind == 2) {
            wchar_t self[MAX_PATH] = {};
            ::GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
            EXPECT_EQ(std::wstring(self) + L",222", text);
        } else {
            EXPECT_EQ(expected[kind - 1], text);
        }
        ::VariantClear(&value);
    }
}

}  // namespace
}  // namespace plugintest
