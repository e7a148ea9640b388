// The built Halvorin.dll, copied into the test prefix: registered and
// unregistered by regsvr32, and loaded the way the host loads it.
#include "framework/com/registration.h"
#include "plugin/backup_restore.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "win32/com_ptr.h"
#include "win32/registry.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

// The 32-bit host reads its plug-in key in the 32-bit view.
constexpr wchar_t kPluginsKey[] = L"SOFTWARE\\Ferrowind\\FWTW\\Plugins";
constexpr REGSAM kAccess = KEY_ALL_ACCESS | KEY_WOW64_32KEY;

const std::pair<const wchar_t*, const CLSID*> kEntries[] = {
    {L"TrayIcon\\{CB4C2EA5-9362-4396-990E-D45C82E2FF43}", &IID_IFWTWTrayMenuItems},
    {L"TrayIcon\\{EE919550-8B02-40BB-825E-F6AD1733E3F3}", &IID_IFWTWTraySubscribe},
    {L"TrayIcon\\{B181DFA3-504E-4878-8244-068924F37166}", &IID_IFWTWTrayNotifyCallback},
    {L"UIElements\\BackupRestore\\{5F8A55FC-1D1A-4591-A2D0-B14E8A4A3104}", &CLSID_TWBackupRestore},
    {L"UserConsole\\{B437C14F-1012-417E-A127-55C84CC0B16F}", &IID_IFWTWPages},
};

void* const kUntouched = reinterpret_cast<void*>(0x1);

class HalvorinDllTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearPluginsKey();
        std::wstring built = L"\\\\?\\unix" + std::wstring(HALVORIN_DLL_UNIX_PATH);
        std::replace(built.begin(), built.end(), L'/', L'\\');
        ASSERT_TRUE(::CopyFileW(built.c_str(), dll.c_str(), FALSE)) << ::GetLastError();
    }
    void TearDown() override { ClearPluginsKey(); }

    static void ClearPluginsKey()
    {
        win32::UniqueKey plugins;
        if (win32::OpenKey(HKEY_LOCAL_MACHINE, kPluginsKey, kAccess, plugins) == ERROR_SUCCESS) {
            ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteTreeW(plugins.get(), nullptr));
            ASSERT_EQ(ERROR_SUCCESS,
                      ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPluginsKey, KEY_WOW64_32KEY, 0));
        }
    }

    DWORD Regsvr32(const std::wstring& options) { return testsupport::RunRegsvr32(options, dll); }

    testsupport::ScratchFolder scratch;
    const std::wstring dll = scratch / L"Halvorin.dll";
};

TEST_F(HalvorinDllTest, Regsvr32EntersTheFiveEntriesAndRemovesOnlyThem)
{
    // Another plug-in's tray entry, which unregistration must leave.
    win32::UniqueKey plugins;
    ASSERT_EQ(ERROR_SUCCESS, win32::CreateKey(HKEY_LOCAL_MACHINE, kPluginsKey, kAccess, plugins));
    ASSERT_EQ(S_OK, fw::ApplyRow(fw::StringRow(plugins.get(),
                                               L"TrayIcon\\{0D6E3B52-7A41-4C8F-9B26-E15F0C84A7D3}",
                                               L"", L"C:\\Other\\Other.dll", REG_EXPAND_SZ)));
    const std::wstring before = testsupport::DumpKey(plugins.get(), L"");

    // Each entry's unnamed value is the library's full path as REG_EXPAND_SZ,
    // stored with its NUL.
    const std::wstring stored = dll + L'\0';
    const BYTE* bytes = reinterpret_cast<const BYTE*>(stored.data());
    auto entryRow = [&](const wchar_t* key) {
        return fw::RegistryRow{plugins.get(),
                               key,
                               L"",
                               REG_EXPAND_SZ,
                               {bytes, bytes + stored.size() * sizeof(wchar_t)}};
    };
    for (const auto& [key, clsid] : kEntries)
        ASSERT_FALSE(fw::RowIsApplied(entryRow(key)));

    ASSERT_EQ(0u, Regsvr32(L"/s"));
    for (const auto& [key, clsid] : kEntries)
        EXPECT_TRUE(fw::RowIsApplied(entryRow(key))) << testing::PrintToString(key);
    // Nothing else: four category keys (UIElements, its BackupRestore,
    // TrayIcon, UserConsole), six entry keys and their six values.
    const std::wstring registered = testsupport::DumpKey(plugins.get(), L"");
    EXPECT_EQ(16, std::count(registered.begin(), registered.end(), L'\n')) << registered;

    ASSERT_EQ(0u, Regsvr32(L"/s /u"));
    win32::UniqueKey kept;
    ASSERT_EQ(ERROR_SUCCESS, win32::OpenKey(HKEY_LOCAL_MACHINE, kPluginsKey, kAccess, kept));
    EXPECT_EQ(before, testsupport::DumpKey(kept.get(), L""));

    // The entries are gone now: removing them again fails.
    EXPECT_NE(0u, Regsvr32(L"/s /u"));
}

// The host keeps settings of its own as values of the category keys: they,
// and the keys holding them, outlive the plug-in's entries. The key right
// above an entry, and one above a category key that goes.
TEST_F(HalvorinDllTest, UnregistrationKeepsCategoryKeysThatHoldValues)
{
    for (const wchar_t* category : {L"TrayIcon", L"UIElements"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(category)));
        ClearPluginsKey();
        win32::UniqueKey plugins;
        ASSERT_EQ(ERROR_SUCCESS,
                  win32::CreateKey(HKEY_LOCAL_MACHINE, kPluginsKey, kAccess, plugins));
        ASSERT_EQ(S_OK, fw::ApplyRow(fw::StringRow(plugins.get(), category, L"HostOrder",
                                                   L"after-defaults")));
        const std::wstring before = testsupport::DumpKey(plugins.get(), L"");

        ASSERT_EQ(0u, Regsvr32(L"/s"));
        ASSERT_EQ(0u, Regsvr32(L"/s /u"));
        win32::UniqueKey kept;
        ASSERT_EQ(ERROR_SUCCESS, win32::OpenKey(HKEY_LOCAL_MACHINE, kPluginsKey, kAccess, kept));
        EXPECT_EQ(before, testsupport::DumpKey(kept.get(), L""));
    }
}

TEST_F(HalvorinDllTest, HostCreatesEveryRegisteredClass)
{
    const win32::UniqueModule module(::LoadLibraryW(dll.c_str()));
    ASSERT_TRUE(module) << ::GetLastError();
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
    const auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllGetClassObject")));
    const auto canUnloadNow = reinterpret_cast<CanUnloadNowFn>(
        reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnloadNow);

    for (const auto& [key, clsid] : kEntries) {
        win32::ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, getClassObject(*clsid, IID_IClassFactory, factory.put_void()));
        win32::ComPtr<IUnknown> object;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()));
        EXPECT_TRUE(object);
    }

    const GUID foreign = {
        0x3C2A71E0, 0x5B9D, 0x4F16, {0x8E, 0x04, 0x6A, 0x1F, 0xC2, 0x97, 0x3D, 0x58}};
    void* out = kUntouched;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(foreign, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    // The factory made for the tray menu makes the object whose interface it
    // is asked for: here the pages object.
    win32::ComPtr<IClassFactory> trayMenu;
    ASSERT_EQ(S_OK, getClassObject(IID_IFWTWTrayMenuItems, IID_IClassFactory, trayMenu.put_void()));
    win32::ComPtr<IUnknown> made;
    ASSERT_EQ(S_OK, trayMenu->CreateInstance(nullptr, IID_IFWTWPages, made.put_void()));
    out = kUntouched;
    EXPECT_EQ(E_NOINTERFACE, made->QueryInterface(IID_IFWTWTrayMenuItems, &out));
    EXPECT_EQ(nullptr, out);
    win32::ComPtr<IFWTWPages> pages;
    EXPECT_EQ(S_OK, made->QueryInterface(IID_IFWTWPages, pages.put_void()));

    EXPECT_EQ(S_FALSE, canUnloadNow());
}

}  // namespace
