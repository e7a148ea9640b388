// setup.exe end to end: started in a scratch folder holding setup.lst, the
// transforms and a recording msiexec, with the installed state in the test
// prefix's registry. The stand-in fails every install (1603).
#include "setup/setup_launcher.h"

#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "tests/setup/stub_record.h"
#include "win32/registry.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

using setuplaunch::kInstalledKeyPath;

constexpr wchar_t kRepair[] =
    L"/i OVSCSetup.msi REINSTALL=ALL REINSTALLMODE=vomus INSTALLMODE=\"forced\"";
constexpr wchar_t kSilentRepair[] =
    L"0|/i OVSCSetup.msi /qn REINSTALL=ALL REINSTALLMODE=vomus INSTALLMODE=\"forced\"";

class SetupTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        win32::DeleteTree(HKEY_LOCAL_MACHINE, kInstalledKeyPath);
        ASSERT_TRUE(::CopyFileW(setuptest::BuiltProgram(SETUP_EXE_UNIX_PATH).c_str(),
                                (m_folder / L"setup.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW(testsupport::ProgramBesideTest(L"msiexec.exe").c_str(),
                                (m_folder / L"msiexec.exe").c_str(), FALSE));
    }
    void TearDown() override
    {
        win32::DeleteTree(HKEY_LOCAL_MACHINE, kInstalledKeyPath);
        ProductRegistryTest::TearDown();
    }

    void Install(std::optional<setuplaunch::Versions> versions)
    {
        testsupport::PutString(HKEY_LOCAL_MACHINE, kInstalledKeyPath, L"DisplayName", L"Scoravel");
        if (versions) {
            testsupport::PutDword(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"Product_HighVer",
                                  versions->high);
            testsupport::PutDword(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"Product_LowVer",
                                  versions->low);
        }
    }
    void Put(const wchar_t* name, const std::string& bytes = "MST")
    {
        ASSERT_TRUE(testsupport::WriteFileBytes(m_folder / name, bytes));
    }

    bool Start(testsupport::ChildProcess& setup, const std::wstring& arguments,
               const std::wstring& hold = {})
    {
        return setup.Start(m_folder / L"setup.exe", arguments,
                           {m_folder.Path(),
                            {{L"SCORAVEL_STUB_RECORD", m_folder / L"msiexec.txt"},
                             {L"SCORAVEL_STUB_EXIT", L"1603"},
                             {L"SCORAVEL_STUB_HOLD", hold}}});
    }
    // Runs setup to its end: what msiexec was started with.
    std::vector<std::wstring> Run(const std::wstring& arguments)
    {
        testsupport::ChildProcess setup;
        DWORD code = 1;
        EXPECT_TRUE(Start(setup, arguments) && setup.WaitForExit(testsupport::kPatienceMs, &code));
        EXPECT_EQ(0u, code) << "whatever the installer gave";
        return setuptest::RecordedStarts(m_folder / L"msiexec.txt");
    }

    testsupport::ScratchFolder m_folder;
};

struct Case {
    const wchar_t* arguments;
    bool installed;
    std::optional<setuplaunch::Versions> versions;
    std::optional<std::string> list;  // setup.lst
    std::wstring started;             // empty: nothing
};

const std::string kList25 = "Product_HighVer,2\r\nProduct_LowVer,5\r\n";
const std::wstring kInstall = L"5|/i OVSCSetup.msi TRANSFORMS=1033.mst";
const std::wstring kSilentInstall = L"0|/i OVSCSetup.msi TRANSFORMS=1033.mst /qn";
const std::wstring kShownRepair = std::wstring(L"5|") + kRepair;

const Case kCases[] = {
    {L"", false, {}, kList25, kInstall},
    {L"/s", false, {}, kList25, kSilentInstall},
    {L"x/sy", false, {}, kList25, kSilentInstall},
    {L"/S /X", false, {}, kList25, kInstall},
    {L"/x", false, {}, kList25, L""},
    {L"/s /x", false, {}, kList25, L""},
    {L"/x", true, {{2, 5}}, kList25, L"5|/x OVSCSetup.msi"},
    {L"a/xb/s", true, {{2, 5}}, kList25, L"0|/x OVSCSetup.msi /qn"},
    {L"/X", true, {{1, 9}}, kList25, kShownRepair},
    {L"/s", true, {{2, 5}}, kList25, kSilentRepair},
    {L"", true, {{2, 6}}, kList25, L""},
    {L"", true, {{3, 0}}, kList25, L""},
    {L"", true, {{2, 5}}, std::nullopt, L""},
    {L"", true, std::nullopt, std::nullopt, kShownRepair},
    {L"", true, {{0x80000000u, 0}}, kList25, L""},
    {L"", true, {{2, 5}}, "Product_HighVer,-1\n", kShownRepair},
    {L"", true, {{7, 3}}, "Product_HighVer 9\nProduct_LowVer,9", L""},
    {L"", true, {{7, 3}}, "Product_HighVer, \t+7 \nProduct_LowVer,  3", kShownRepair},
    {L"", true, {{7, 3}}, "Product_HighVer,8\nProduct_HighVer,x,7\r\nProduct_LowVer,2", L""},
    {L"",
     true,
     {{7, 3}},
     "Product_HighVer" + std::string(100000, '\xE9') + ",7\nProduct_LowVer,3\xFF",
     kShownRepair},
};

TEST_F(SetupTest, StartsTheInstallerAsSwitchesStateAndVersionsSay)
{
    Put(L"1033.mst");
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "\"" << c.arguments << "\" installed " << c.installed
                                        << " list " << c.list.value_or("(none)").substr(0, 40));
        ProductRegistryTest::SetUp();
        win32::DeleteTree(HKEY_LOCAL_MACHINE, kInstalledKeyPath);
        ::DeleteFileW((m_folder / L"setup.lst").c_str());
        ::DeleteFileW((m_folder / L"msiexec.txt").c_str());
        if (c.installed)
            Install(c.versions);
        if (c.list)
            Put(L"setup.lst", *c.list);
        const auto started = Run(c.arguments);
        EXPECT_EQ(
            c.started.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.started},
            started);
    }
}

TEST_F(SetupTest, TransformFollowsTheInterfaceLanguage)
{
    // The language comes from the run's locale (see CMakeLists.txt).
    const LANGID ui = ::GetUserDefaultUILanguage();
    const LANGID mapped = ui == 3076 ? 1028 : ui == 3082 ? 1034 : ui;
    Put(L"1033.mst");
    Put((std::to_wstring(ui) + L".mst").c_str());
    Put((std::to_wstring(mapped) + L".mst").c_str());
    EXPECT_EQ(std::vector<std::wstring>{L"5|/i OVSCSetup.msi TRANSFORMS=" +
                                        std::to_wstring(mapped) + L".mst"},
              Run(L""));
    if (mapped != 1033) {
        ::DeleteFileW((m_folder / L"msiexec.txt").c_str());
        ASSERT_TRUE(::DeleteFileW((m_folder / (std::to_wstring(mapped) + L".mst")).c_str()));
        EXPECT_EQ(std::vector<std::wstring>{kInstall}, Run(L"")) << ui;
    }
}

TEST_F(SetupTest, EndsOnlyAfterTheInstallerEnded)
{
    const std::wstring hold = L"ScoravelSetupHold-" + std::to_wstring(::GetCurrentProcessId());
    const win32::UniqueHandleNull release(::CreateEventW(nullptr, TRUE, FALSE, hold.c_str()));
    testsupport::ChildProcess setup;
    ASSERT_TRUE(Start(setup, L"/s", hold));
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return !setuptest::RecordedStarts(m_folder / L"msiexec.txt").empty(); }));
    EXPECT_FALSE(setup.HasExited());
    ::SetEvent(release.get());
    DWORD code = 1;
    EXPECT_TRUE(setup.WaitForExit(testsupport::kPatienceMs, &code));
    EXPECT_EQ(0u, code);
}

}  // namespace
