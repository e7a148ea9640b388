// The host's side that goes through HKLM "Software\Ferrowind": the console
// started from the tray menu below the host's folder, and the real
// Halvorin.dll found under the plug-in key and loaded as the host does.
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "tests/plugin/host_test_support.h"
#include "win32/registry.h"

#include <gtest/gtest.h>

#ifndef SCORAVEL_HALVORIN_DLL
#error "the test needs the built plug-in library"
#endif

namespace {

constexpr wchar_t kHostKey[] = L"Software\\Ferrowind";

void DeleteHostValue()
{
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_LOCAL_MACHINE, kHostKey, KEY_SET_VALUE, key) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), L"FerrowindPath");
}

class HostConsole : public ::testing::TestWithParam<std::pair<UINT, const wchar_t*>> {
protected:
    void SetUp() override
    {
        bin = scratch / L"Bin";
        ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(testsupport::ProgramBesideTest(L"console_stub.exe").c_str(),
                                (bin + L"\\FWUserConsole.exe").c_str(), FALSE));
        // With a trailing separator, as installers often leave it.
        testsupport::PutString(HKEY_LOCAL_MACHINE, kHostKey, L"FerrowindPath",
                               scratch.Path() + L"\\");
    }
    void TearDown() override { DeleteHostValue(); }

    testsupport::ScratchFolder scratch;
    std::wstring bin;
};

TEST_P(HostConsole, MenuItemStartsTheConsoleAtItsPage)
{
    win32::ComPtr<IFWTWTrayMenuItems> items;
    ASSERT_HRESULT_SUCCEEDED(hosttest::InProcessCreator(IID_IFWTWTrayMenuItems,
                                                        IID_IFWTWTrayMenuItems, items.put_void()));
    const HMENU host = ::CreatePopupMenu();
    ASSERT_EQ(S_OK, items->AddMenuItems(host, 100, nullptr));
    ASSERT_EQ(S_OK, items->InvokeMenuItem(GetParam().first));

    const std::wstring started = bin + L"\\console-started.txt";
    std::string line;
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        return testsupport::ReadFileBytes(started, line) && !line.empty() && line.back() == '\n';
    }));
    const std::wstring arguments = GetParam().second;
    EXPECT_EQ(std::string(arguments.begin(), arguments.end()) + "\n", line);
    ::DestroyMenu(host);
}

INSTANTIATE_TEST_SUITE_P(
    TrayMenu, HostConsole,
    ::testing::Values(std::make_pair(102u, L"{B437C14F-1012-417e-A127-55C84CC0B16F}:0"),
                      std::make_pair(107u, L"{B437C14F-1012-417e-A127-55C84CC0B16F}:3")),
    [](const auto& info) { return info.param.first == 102 ? "Open" : "Settings"; });

// A copy of the built library registered by its own DllRegisterServer, as
// regsvr32 does; HKCU of this process redirected for the pages' value.
class RegisteredPlugin : public ::testing::Test {
protected:
    using Export = HRESULT(STDAPICALLTYPE*)();

    void SetUp() override
    {
        library = scratch / L"Halvorin.dll";
        ASSERT_TRUE(::CopyFileW(hosttest::BuiltFile(SCORAVEL_HALVORIN_DLL).c_str(), library.c_str(),
                                FALSE));
        module = ::LoadLibraryW(library.c_str());
        ASSERT_NE(nullptr, module);
        ASSERT_EQ(S_OK, Call("DllRegisterServer"));
    }
    void TearDown() override
    {
        if (module) {
            EXPECT_EQ(S_OK, Call("DllUnregisterServer"));
        }
    }
    HRESULT Call(const char* name)
    {
        const auto entry =
            reinterpret_cast<Export>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
        return entry ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }

    testsupport::ScratchFolder scratch;
    std::wstring library;
    HMODULE module = nullptr;  // kept loaded, as the host keeps its plug-ins
};

TEST_F(RegisteredPlugin, HostLoadsTheLibraryAndCreatesEveryObject)
{
    const auto entries = fwhost::ReadPluginKey();
    ASSERT_EQ(5u, entries.size());
    for (const auto& entry : entries)
        EXPECT_EQ(library, entry.library);

    fwhost::PluginObjects objects = fwhost::CreatePluginObjects(entries);
    EXPECT_TRUE(objects.failures.empty());
    ASSERT_EQ(1u, objects.pages.size());
    ASSERT_EQ(1u, objects.menus.size());
    ASSERT_EQ(1u, objects.subscribers.size());
    ASSERT_EQ(1u, objects.callbacks.size());
    ASSERT_EQ(1u, objects.elements.size());

    // Texts and pages come out of the library's own resources.
    fwhost::HostTrayMenu menu;
    ASSERT_EQ(S_OK, menu.Build(objects.menus, 100));
    wchar_t text[64] = {};
    ::GetMenuStringW(::GetSubMenu(menu.Menu(), 2), 104, text, ARRAYSIZE(text), MF_BYCOMMAND);
    EXPECT_STREQ(L"Zarev Ozi", text);

    win32::UniqueKey redirected;
    ASSERT_EQ(ERROR_SUCCESS, win32::CreateKey(HKEY_CURRENT_USER, L"Software\\ScoravelHostTest",
                                              KEY_ALL_ACCESS, redirected));
    ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_CURRENT_USER, redirected.get()));
    win32::ComPtr<fwhost::CHostPageSite> site(new fwhost::CHostPageSite);
    const HRESULT pages = objects.pages[0]->CreatePages(site.get());
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    redirected.reset();
    win32::DeleteTree(HKEY_CURRENT_USER, L"Software\\ScoravelHostTest");
    ASSERT_EQ(S_OK, pages);
    const auto offers = site->Offers();
    ASSERT_EQ(4u, offers.size());
    EXPECT_EQ(L"Bleaching", offers[2].title);
    EXPECT_EQ(::GetModuleHandleW(L"Halvorin.dll"), offers[2].info.instance);
}

}  // namespace
