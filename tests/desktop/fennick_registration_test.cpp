// Fennick.dll registered in the test prefix: by regsvr32 as an installer
// runs it, and by Wardelle on request; the prefix's shell then lists the
// desktop folder "Scoravel".
#include "framework/com/registration.h"
#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "tests/desktop/fennick_dll.h"
#include "tests/service/service_test_support.h"
#include "win32/com_ptr.h"
#include "win32/registry.h"

#include <oleauto.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr wchar_t kClsid[] = L"{92644C80-C318-408A-9EDA-1B0C245D73A5}";
constexpr wchar_t kAppId[] = L"{1C987E0B-3A55-4FF8-901D-3615D175C1C6}";
const GUID kLibId = {0x6DED1D15, 0x5F05, 0x4087, {0x8B, 0xA5, 0x3A, 0x50, 0x49, 0x34, 0x31, 0xED}};
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsid;
const std::wstring kVersion = L"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION";
const std::wstring kApproved = kVersion + L"\\SHELL EXTENSIONS\\APPROVED";
const std::wstring kNameSpace = kVersion + L"\\Explorer\\Desktop\\NameSpace";

// The keys registration makes whole, and what must stay of their parents.
const std::pair<HKEY, std::wstring> kOwnedKeys[] = {
    {HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + kAppId},
    {HKEY_CLASSES_ROOT, L"AppID\\Fennick.DLL"},
    {HKEY_CLASSES_ROOT, L"Fennick.OVHWDesktopFolderImpl"},
    {HKEY_CLASSES_ROOT, L"Fennick.OVHWDesktopFolderImpl.1"},
    {HKEY_CLASSES_ROOT, kClassKey},
    {HKEY_LOCAL_MACHINE, kNameSpace + L"\\" + kClsid},
};

// Where the registered type library 1.0 lies; empty when it is not registered.
std::wstring TypeLibPath()
{
    BSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(::QueryPathOfRegTypeLib(kLibId, 1, 0, 0, &path)) && path)
        result = path;
    ::SysFreeString(path);
    return result;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    win32::UniqueKey key;
    return win32::OpenKey(root, path.c_str(), KEY_READ, key) == ERROR_SUCCESS;
}

class FennickRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clear();
        ASSERT_TRUE(desktoptest::CopyBuiltFennick(dll));
    }
    void TearDown() override { Clear(); }

    static void Clear()
    {
        for (const auto& [root, path] : kOwnedKeys)
            win32::DeleteTree(root, path.c_str());
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kApproved.c_str(), kClsid);
        ::UnRegisterTypeLib(kLibId, 1, 0, 0, SYS_WIN64);
    }

    // Every value of the scripts, as the shell and COM read them.
    std::vector<fw::RegistryRow> Rows() const
    {
        const HKEY cr = HKEY_CLASSES_ROOT;
        const std::wstring progId = L"Fennick.OVHWDesktopFolderImpl";
        const std::wstring name = L"OVHWDesktopFolderImpl Class";
        return {
            fw::StringRow(cr, std::wstring(L"AppID\\") + kAppId, L"", L"Fennick"),
            fw::StringRow(cr, L"AppID\\Fennick.DLL", L"AppID", kAppId),
            fw::StringRow(cr, progId + L".1", L"", name),
            fw::StringRow(cr, progId + L".1\\CLSID", L"", kClsid),
            fw::StringRow(cr, progId, L"", name),
            fw::StringRow(cr, progId + L"\\CLSID", L"", kClsid),
            fw::StringRow(cr, progId + L"\\CurVer", L"", progId + L".1"),
            fw::StringRow(cr, kClassKey, L"", L"Scoravel"),
            fw::StringRow(cr, kClassKey + L"\\ProgID", L"", progId + L".1"),
            fw::StringRow(cr, kClassKey + L"\\VersionIndependentProgID", L"", progId),
            fw::StringRow(cr, kClassKey + L"\\InprocServer32", L"", dll),
            fw::StringRow(cr, kClassKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
            fw::StringRow(cr, kClassKey, L"AppID", kAppId),
            fw::StringRow(cr, kClassKey + L"\\TypeLib", L"",
                          L"{6DED1D15-5F05-4087-8BA5-3A50493431ED}"),
            fw::StringRow(cr, kClassKey, L"InfoTip", L"Scoravel"),
            fw::StringRow(cr, kClassKey + L"\\DefaultIcon", L"", dll + L",0"),
            {cr, kClassKey + L"\\ShellFolder", L"Attributes", REG_BINARY, {0x00, 0x01, 0x00, 0x20}},
            fw::StringRow(cr, kClassKey + L"\\ShellFolder", L"HideFolderVerbs", L""),
            fw::StringRow(cr, kClassKey + L"\\shellex\\ContextMenuHandlers\\" + kClsid, L"",
                          kClsid),
            fw::StringRow(HKEY_LOCAL_MACHINE, kApproved, kClsid, L"OVHW Desktop Icon"),
            fw::StringRow(HKEY_LOCAL_MACHINE, kNameSpace + L"\\" + kClsid, L"Removal Message",
                          L"OVHW Desktop Icon can not delete."),
        };
    }

    // Every value, the empty key and the type library in this DLL.
    ::testing::AssertionResult Registered() const
    {
        for (const fw::RegistryRow& row : Rows())
            if (!fw::RowIsApplied(row))
                return ::testing::AssertionFailure()
                       << "missing: " << testing::PrintToString(row.path) << " "
                       << testing::PrintToString(row.name);
        if (!KeyExists(HKEY_CLASSES_ROOT, kClassKey + L"\\shellex\\MayChangeDefaultMenu"))
            return ::testing::AssertionFailure() << "no MayChangeDefaultMenu";
        if (TypeLibPath() != dll)
            return ::testing::AssertionFailure()
                   << "type library at " << testing::PrintToString(TypeLibPath());
        return ::testing::AssertionSuccess();
    }

    // Nothing of ours is left; the kept keys stay.
    ::testing::AssertionResult Unregistered() const
    {
        for (const auto& [root, path] : kOwnedKeys)
            if (KeyExists(root, path))
                return ::testing::AssertionFailure() << "left: " << testing::PrintToString(path);
        if (testsupport::GetRaw(HKEY_LOCAL_MACHINE, kApproved, kClsid).exists)
            return ::testing::AssertionFailure() << "approval left";
        if (!TypeLibPath().empty())
            return ::testing::AssertionFailure() << "type library left";
        for (const wchar_t* kept : {L"AppID", L"CLSID"})
            if (!KeyExists(HKEY_CLASSES_ROOT, kept))
                return ::testing::AssertionFailure() << "removed: " << testing::PrintToString(kept);
        if (!KeyExists(HKEY_LOCAL_MACHINE, kApproved) || !KeyExists(HKEY_LOCAL_MACHINE, kNameSpace))
            return ::testing::AssertionFailure() << "a parent key was removed";
        return ::testing::AssertionSuccess();
    }

    // True when the prefix's desktop folder lists an item named "Scoravel".
    static bool DesktopListsScoravel()
    {
        win32::ComPtr<IShellFolder> desktop;
        win32::ComPtr<IEnumIDList> items;
        if (FAILED(::SHGetDesktopFolder(desktop.put())) ||
            desktop->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.put()) !=
                S_OK)
            return false;
        bool found = false;
        for (PITEMID_CHILD child = nullptr; items->Next(1, &child, nullptr) == S_OK;) {
            STRRET name = {};
            wchar_t* text = nullptr;
            if (SUCCEEDED(desktop->GetDisplayNameOf(child, SHGDN_NORMAL, &name)) &&
                SUCCEEDED(::StrRetToStrW(&name, child, &text)))
                found |= std::wstring(text) == L"Scoravel";
            ::CoTaskMemFree(text);
            ::CoTaskMemFree(child);
        }
        return found;
    }

    DWORD Regsvr32(const std::wstring& options) const
    {
        wchar_t system[MAX_PATH];
        const UINT cch = ::GetSystemDirectoryW(system, ARRAYSIZE(system));
        testsupport::ChildProcess child;
        DWORD code = ~0u;
        if (cch == 0 || cch >= ARRAYSIZE(system) ||
            !child.Start(std::wstring(system) + L"\\regsvr32.exe",
                         options + L" " + testsupport::QuotedArguments({dll})) ||
            !child.WaitForExit(testsupport::kPatienceMs, &code))
            return ~0u;
        return code;
    }

    testsupport::ScratchFolder scratch;
    const std::wstring dll = scratch / L"Fennick.dll";
};

TEST_F(FennickRegistrationTest, Regsvr32WritesEveryKeyAndRemovesOnlyWhatItMade)
{
    // Left from an older registration: the replaced keys lose it. Another
    // extension's approval stays through it all.
    const wchar_t other[] = L"{5B0E7A41-2C9D-4F63-8E17-A4D30C6B92F8}";
    for (const std::wstring& stale :
         {kClassKey + L"\\Stale", kNameSpace + L"\\" + kClsid + L"\\Stale"})
        ASSERT_EQ(S_OK, fw::ApplyRow(fw::StringRow(
                            stale.find(L"CLSID") == 0 ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE,
                            stale, L"", L"old")));
    ASSERT_EQ(S_OK, fw::ApplyRow(fw::StringRow(HKEY_LOCAL_MACHINE, kApproved, other, L"Other")));
    EXPECT_FALSE(DesktopListsScoravel());

    ASSERT_EQ(0u, Regsvr32(L"/s"));
    EXPECT_TRUE(Registered());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey + L"\\Stale"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kNameSpace + L"\\" + kClsid + L"\\Stale"));
    EXPECT_TRUE(DesktopListsScoravel());

    ASSERT_EQ(0u, Regsvr32(L"/u /s"));
    EXPECT_TRUE(Unregistered());
    EXPECT_TRUE(testsupport::GetRaw(HKEY_LOCAL_MACHINE, kApproved, other).exists);
    EXPECT_FALSE(DesktopListsScoravel());
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kApproved.c_str(), other);
}

// Wardelle's requests 0x1050 and 0x1060 run the real regsvr32 on the
// Fennick.dll of its install folder.
TEST_F(FennickRegistrationTest, WardelleRegistersAndRemovesTheIconOnRequest)
{
    servicetest::TestServer server(scratch.Path());
    ASSERT_TRUE(server.Start());
    servicetest::PipeClient control;
    ASSERT_TRUE(control.Open(server.Names().control, true));
    auto request = [](int command) {
        return servicetest::MessageBytes(L"$OVSC$:" + std::to_wstring(command) + L":" +
                                         std::to_wstring(::GetCurrentProcessId()) + L":1");
    };
    ASSERT_TRUE(control.Write(request(0x1050)));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return bool(Registered()); })) << Registered();
    ASSERT_TRUE(control.Write(request(0x1060)));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return bool(Unregistered()); })) << Unregistered();
}

}  // namespace
