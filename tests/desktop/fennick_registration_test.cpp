// Fennick.dll registered in the test prefix, by regsvr32 as an installer
// runs it and by Wardelle on request: every key and value of its scripts and
// the type library, the desktop folder "Scoravel" in the prefix's shell, and
// after removal only what registration did not make.
#include "desktop/fennick_registration.h"

#include "desktop/fennick_guids.h"
#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"
#include "tests/service/service_test_support.h"
#include "win32/com_ptr.h"
#include "win32/registry.h"

#include <oleauto.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

const GUID kLibId = {0x6DED1D15, 0x5F05, 0x4087, {0x8B, 0xA5, 0x3A, 0x50, 0x49, 0x34, 0x31, 0xED}};
constexpr wchar_t kClassKey[] = L"CLSID\\{92644C80-C318-408A-9EDA-1B0C245D73A5}";
constexpr wchar_t kApproved[] =
    L"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELL EXTENSIONS\\APPROVED";
constexpr wchar_t kOther[] = L"{5B0E7A41-2C9D-4F63-8E17-A4D30C6B92F8}";

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

// True when the prefix's desktop folder lists an item named "Scoravel".
bool DesktopListsScoravel()
{
    win32::ComPtr<IShellFolder> desktop;
    win32::ComPtr<IEnumIDList> items;
    if (FAILED(::SHGetDesktopFolder(desktop.put())) ||
        desktop->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.put()) != S_OK)
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

class FennickRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clear();
        ASSERT_TRUE(::CopyFileW(testsupport::ProgramBesideTest(L"Fennick.dll").c_str(), dll.c_str(),
                                FALSE));
    }
    void TearDown() override
    {
        Clear();
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kApproved, kOther);
    }
    void Clear() const
    {
        RemoveScript(FolderClassScript(dll));
        RemoveScript(ModuleScript());
        ::UnRegisterTypeLib(kLibId, 1, 0, 0, SYS_WIN64);
    }

    AssertionResult Registered() const
    {
        if (!ScriptIsApplied(ModuleScript()) || !ScriptIsApplied(FolderClassScript(dll)))
            return AssertionFailure() << "a key or value is missing";
        if (TypeLibPath() != dll)
            return AssertionFailure() << "type library: " << testing::PrintToString(TypeLibPath());
        return AssertionSuccess();
    }

    // The owned keys and the values in kept keys are gone; the kept keys
    // (AppID among them) stay.
    AssertionResult Unregistered() const
    {
        for (const RegistrationScript& script : {ModuleScript(), FolderClassScript(dll)}) {
            for (const ScriptKey& key : script.keys)
                if (KeyExists(key.root, key.path) != (key.rule == KeyRule::kKept))
                    return AssertionFailure() << testing::PrintToString(key.path);
            for (const fw::RegistryRow& value : script.values)
                if (testsupport::GetRaw(value.root, value.path, value.name.c_str()).exists)
                    return AssertionFailure() << testing::PrintToString(value.name) << " is left";
        }
        if (!TypeLibPath().empty())
            return AssertionFailure() << "the type library is left";
        return AssertionSuccess();
    }

    DWORD Regsvr32(const std::wstring& options) const
    {
        return testsupport::RunRegsvr32(options, dll);
    }

    testsupport::ScratchFolder scratch;
    const std::wstring dll = scratch / L"Fennick.dll";
};

TEST_F(FennickRegistrationTest, Regsvr32WritesEveryKeyAndRemovesOnlyWhatItMade)
{
    // A key left by an older registration goes with the replaced class key;
    // another extension's approval stays.
    const std::wstring stale = kClassKey + std::wstring(L"\\Stale");
    ASSERT_EQ(S_OK, fw::ApplyRow(fw::StringRow(HKEY_CLASSES_ROOT, stale, L"", L"old")));
    ASSERT_EQ(S_OK, fw::ApplyRow(fw::StringRow(HKEY_LOCAL_MACHINE, kApproved, kOther, L"Other")));
    EXPECT_FALSE(DesktopListsScoravel());

    ASSERT_EQ(0u, Regsvr32(L"/s"));
    EXPECT_TRUE(Registered());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, stale));
    EXPECT_TRUE(DesktopListsScoravel());

    ASSERT_EQ(0u, Regsvr32(L"/u /s"));
    EXPECT_TRUE(Unregistered());
    EXPECT_TRUE(testsupport::GetRaw(HKEY_LOCAL_MACHINE, kApproved, kOther).exists);
    EXPECT_FALSE(DesktopListsScoravel());
}

// Removal goes on past whatever is gone already (another uninstaller, a
// user's clean-up): it still removes the rest and reports success.
TEST_F(FennickRegistrationTest, UnregistrationOfAPartlyRemovedIconRemovesTheRest)
{
    const struct {
        const char* name;
        LSTATUS (*remove)();
    } cases[] = {
        {"ApprovalValue",
         [] { return ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kApproved, kFolderClsidText); }},
        {"ClassKey", [] { return win32::DeleteTree(HKEY_CLASSES_ROOT, kClassKey); }},
        {"type library already unregistered",
         [] {
             return ::UnRegisterTypeLib(kLibId, 1, 0, 0, SYS_WIN64) == S_OK ? ERROR_SUCCESS
                                                                           : ERROR_GEN_FAILURE;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0u, Regsvr32(L"/s"));
        ASSERT_TRUE(Registered());
        ASSERT_EQ(ERROR_SUCCESS, c.remove());
        EXPECT_FALSE(Registered());
        EXPECT_EQ(0u, Regsvr32(L"/u /s"));
        EXPECT_TRUE(Unregistered());
    }
}

// Wardelle's requests 0x1050 and 0x1060 run the real regsvr32 on the
// Fennick.dll of its install folder.
TEST_F(FennickRegistrationTest, WardelleRegistersAndRemovesTheIconOnRequest)
{
    servicetest::TestServer server(scratch.Path());
    ASSERT_TRUE(server.Start());
    servicetest::PipeClient control;
    ASSERT_TRUE(control.Open(server.Names().control, true));
    for (const int command : {0x1050, 0x1060}) {
        ASSERT_TRUE(control.Write(
            servicetest::MessageBytes(L"$OVSC$:" + std::to_wstring(command) + L":" +
                                      std::to_wstring(::GetCurrentProcessId()) + L":1")));
        EXPECT_TRUE(testsupport::WaitUntil([&] {
            return bool(command == 0x1050 ? Registered() : Unregistered());
        })) << command;
    }
}

}  // namespace
