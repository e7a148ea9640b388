// setup.exe and Prelant.exe end to end in the test prefix, against recording
// stand-ins of msiexec (in the system folder, with copies planted beside
// setup.exe and in its current folder that must never run) and reg.exe (in
// a Windows folder of the test's own: Wine's cannot load hives, and the
// user's hive is loaded already).
#include "setup/setup_launcher.h"
#include "setup/user_cleanup.h"
#include "tasks/task_scheduler.h"
#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/system_service.h"
#include "tests/common/wait.h"
#include "win32/registry.h"
#include "win32/system_info.h"

#include <objbase.h>

#include <gtest/gtest.h>
#include <optional>

namespace {

using setuplaunch::kInstalledKeyPath;
using testsupport::kProductKey;

std::wstring Built(const wchar_t* unixPath)
{
    std::wstring path = L"\\\\?\\unix" + std::wstring(unixPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// What the stand-ins were started with: "<program>|<window state>|<parameters>\n" each.
std::wstring Recorded(const std::wstring& record)
{
    std::string bytes;
    testsupport::ReadFileBytes(record, bytes);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// How one run of setup went.
struct SetupRun {
    std::wstring started;  // what the stand-ins recorded
    DWORD exitCode = 0;
};

class SetupTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        Reset();
        // The prefix's own msiexec is kept aside and put back afterwards.
        ASSERT_FALSE(m_systemInstaller.empty());
        ASSERT_TRUE(
            ::CopyFileW(m_systemInstaller.c_str(), (m_dir / L"wine-msiexec.exe").c_str(), FALSE));
        const std::wstring stub = testsupport::ProgramBesideTest(L"msiexec.exe");
        ASSERT_TRUE(::CreateDirectoryW(m_program.c_str(), nullptr) &&
                    ::CopyFileW(Built(SETUP_EXE_UNIX_PATH).c_str(),
                                (m_program + L"\\setup.exe").c_str(), FALSE) &&
                    ::CopyFileW(stub.c_str(), (m_program + L"\\msiexec.exe").c_str(), FALSE) &&
                    ::CopyFileW(stub.c_str(), (m_dir / L"msiexec.exe").c_str(), FALSE) &&
                    ::CopyFileW(stub.c_str(), m_systemInstaller.c_str(), FALSE));
        Put(L"1033.mst");
    }
    void TearDown() override
    {
        Reset();
        EXPECT_TRUE(
            ::CopyFileW((m_dir / L"wine-msiexec.exe").c_str(), m_systemInstaller.c_str(), FALSE));
    }
    void Reset()
    {
        testsupport::ClearProductKeys();
        win32::DeleteTree(HKEY_LOCAL_MACHINE, kInstalledKeyPath);
        ::DeleteFileW((m_dir / L"setup.lst").c_str());
        ::DeleteFileW(Record().c_str());
    }
    void Put(const std::wstring& name, const std::string& bytes = "MST")
    {
        ASSERT_TRUE(testsupport::WriteFileBytes(m_dir / name, bytes));
    }
    // Runs setup to its end, in the folder of the package. The stand-in
    // holds until it is released, and setup must still run then; it ends
    // with `installerExit`.
    SetupRun Run(const std::wstring& arguments, DWORD installerExit = 1603)
    {
        const std::wstring hold = L"ScoravelSetupHold" + std::to_wstring(::GetCurrentProcessId());
        const win32::UniqueHandleNull release(::CreateEventW(nullptr, TRUE, FALSE, hold.c_str()));
        testsupport::ChildProcess setup;
        EXPECT_TRUE(setup.Start(m_program + L"\\setup.exe", arguments,
                                {m_dir.Path(),
                                 {{L"SCORAVEL_STUB_RECORD", Record()},
                                  {L"SCORAVEL_STUB_HOLD", hold},
                                  {L"SCORAVEL_STUB_EXIT", std::to_wstring(installerExit)}}}));
        testsupport::WaitUntil([&] { return setup.HasExited() || !Recorded(Record()).empty(); });
        EXPECT_TRUE(Recorded(Record()).empty() || !setup.HasExited()) << "did not wait";
        ::SetEvent(release.get());
        SetupRun run;
        run.exitCode = 0xBAD;
        EXPECT_TRUE(setup.WaitForExit(testsupport::kPatienceMs, &run.exitCode));
        run.started = Recorded(Record());
        return run;
    }
    std::wstring Record() const { return m_dir / L"msiexec.txt"; }
    // One line of the installer of the system folder.
    std::wstring Started(const std::wstring& line) const
    {
        return line.empty() ? L"" : m_systemInstaller + L"|" + line + L"\n";
    }

    testsupport::ScratchFolder m_dir;
    const std::wstring m_program = m_dir / L"program";
    const std::wstring m_systemInstaller = win32::SystemProgramPath(L"msiexec.exe");
};

const std::string kList = "Product_HighVer,2\r\nProduct_LowVer,5\r\n";
const std::wstring kInstall = L"5|/i OVSCSetup.msi TRANSFORMS=1033.mst";
const std::wstring kSilentInstall = L"0|/i OVSCSetup.msi TRANSFORMS=1033.mst /qn";
const std::wstring kRepair =
    L"5|/i OVSCSetup.msi REINSTALL=ALL REINSTALLMODE=vomus INSTALLMODE=\"forced\"";
const std::wstring kSilentRepair =
    L"0|/i OVSCSetup.msi /qn REINSTALL=ALL REINSTALLMODE=vomus INSTALLMODE=\"forced\"";

const struct Case {
    const wchar_t* arguments;
    bool installed;
    std::optional<setuplaunch::Versions> versions;  // of the installed product
    std::optional<std::string> list;                // setup.lst
    std::wstring started;                           // empty: nothing
    DWORD installerExit = 1603;                     // setup's own when something started
} kCases[] = {
    {L"", false, {}, kList, kInstall},
    {L"/s", false, {}, kList, kSilentInstall, 0},
    {L"x/sy", false, {}, kList, kSilentInstall, 3010},
    {L"/S /X", false, {}, kList, kInstall, 1602},
    {L"/x", false, {}, kList, L""},
    {L"/s /x", false, {}, kList, L""},
    {L"/x", true, {{2, 5}}, kList, L"5|/x OVSCSetup.msi", 0},
    {L"a/xb/s", true, {{2, 5}}, kList, L"0|/x OVSCSetup.msi /qn"},
    {L"/X", true, {{1, 9}}, kList, kRepair, 0},
    {L"/s", true, {{2, 5}}, kList, kSilentRepair},
    {L"", true, {{2, 6}}, kList, L""},
    {L"", true, {{3, 0}}, kList, L""},
    {L"", true, {{2, 5}}, std::nullopt, L""},
    {L"", true, std::nullopt, std::nullopt, kRepair},
    {L"", true, {{0x80000000u, 0}}, kList, L""},
    {L"", true, {{2, 5}}, "Product_HighVer,-1\n", kRepair},
    {L"", true, {{7, 3}}, "Product_HighVer 9\nProduct_LowVer,9", L""},
    {L"", true, {{7, 3}}, "Product_HighVer, \t+7 \nProduct_LowVer,  3", kRepair},
    {L"", true, {{7, 3}}, "Product_HighVer,8\nProduct_HighVer,x,7\r\nProduct_LowVer,2", L""},
    {L"",
     true,
     {{7, 3}},
     "Product_HighVer" + std::string(100000, '\xE9') + ",7\nProduct_LowVer,3\xFF",
     kRepair},
};

// Only the system folder's installer runs, and setup ends with its exit
// code, or with 0 when nothing needed starting.
TEST_F(SetupTest, StartsTheInstallerAsSwitchesStateAndVersionsSay)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "\"" << c.arguments << "\" installed " << c.installed
                                        << " list " << c.list.value_or("none").substr(0, 40));
        Reset();
        if (c.installed)
            testsupport::PutString(HKEY_LOCAL_MACHINE, kInstalledKeyPath, L"DisplayName", L"S");
        if (c.versions) {
            testsupport::PutDword(HKEY_LOCAL_MACHINE, kProductKey, L"Product_HighVer",
                                  c.versions->high);
            testsupport::PutDword(HKEY_LOCAL_MACHINE, kProductKey, L"Product_LowVer",
                                  c.versions->low);
        }
        if (c.list)
            Put(L"setup.lst", *c.list);
        const SetupRun run = Run(c.arguments, c.installerExit);
        EXPECT_EQ(Started(c.started), run.started);
        EXPECT_EQ(c.started.empty() ? 0u : c.installerExit, run.exitCode);
    }
}

// Without an installer in the system folder nothing runs, and setup fails.
TEST_F(SetupTest, WithoutTheSystemsInstallerNothingRunsAndSetupFails)
{
    ASSERT_TRUE(::DeleteFileW(m_systemInstaller.c_str()));
    const SetupRun run = Run(L"", 0);
    EXPECT_EQ(L"", run.started);
    EXPECT_NE(0u, run.exitCode);
}

// Run again with the interface languages that are shown as others (see
// CMakeLists.txt): a child's language is the one its Wine started with.
TEST_F(SetupTest, TransformFollowsTheInterfaceLanguage)
{
    const LANGID ui = ::GetUserDefaultUILanguage();
    const std::wstring mapped = std::to_wstring(ui == 3076 ? 1028 : ui == 3082 ? 1034 : ui);
    Put(std::to_wstring(ui) + L".mst");
    Put(mapped + L".mst");
    EXPECT_EQ(Started(L"5|/i OVSCSetup.msi TRANSFORMS=" + mapped + L".mst"), Run(L"").started)
        << ui;
    ::DeleteFileW(Record().c_str());
    if (mapped != L"1033" && ::DeleteFileW((m_dir / (mapped + L".mst")).c_str())) {
        EXPECT_EQ(Started(kInstall), Run(L"").started) << "without its transform";
    }
}

class PrelantTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(::CreateDirectoryW((m_windows / L"system32").c_str(), nullptr) &&
                    ::CopyFileW(testsupport::ProgramBesideTest(L"reg.exe").c_str(),
                                (m_windows / L"system32\\reg.exe").c_str(), FALSE));
    }
    void TearDown() override
    {
        // The scheduler may hold a job file for a moment after a change.
        EXPECT_TRUE(testsupport::WaitUntil([&] {
            bool left = false;
            for (const auto& name : Tasks())
                left = (m_tasks.DeleteTask(name), m_tasks.TaskExists(name)) || left;
            return !left;
        }));
        ::CoUninitialize();
        ProductRegistryTest::TearDown();
    }
    // The user's three tasks, then two that are not Prelant's.
    std::vector<std::wstring> Tasks() const
    {
        const std::wstring user = m_tasks.UserName();
        return {ShredAllTaskName(user), SystemStartupTaskName(user), DiskBleachTaskName(user),
                L"Keldrun_" + user, ShredAllTaskName(user + L"-other")};
    }

    TaskScheduler m_tasks;
    testsupport::ScratchFolder m_windows;
};

TEST_F(PrelantTest, RemovesTheAccountsKeyAndItsThreeTasksOnly)
{
    ASSERT_TRUE(testsupport::StartSystemService(L"Schedule"));
    testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"Revision", 2);
    m_tasks.SetBegin({.wYear = 2031, .wMonth = 5, .wDay = 14, .wHour = 10});
    m_tasks.SetApplication(L"C:\\Scoravel Test\\Graventa.exe");
    for (const auto& name : Tasks())
        ASSERT_EQ(S_OK, m_tasks.CreateTask(name, false));

    testsupport::ChildProcess prelant;
    DWORD code = 1;
    ASSERT_TRUE(prelant.Start(Built(PRELANT_EXE_UNIX_PATH), L"",
                              {{},
                               {{L"WINDIR", m_windows.Path()},
                                {L"SCORAVEL_STUB_RECORD", m_windows / L"reg.txt"}}}) &&
                prelant.WaitForExit(testsupport::kPatienceMs, &code));
    EXPECT_EQ(0u, code);
    win32::UniqueKey key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              win32::OpenKey(HKEY_CURRENT_USER, testsupport::kProductKey, KEY_QUERY_VALUE, key));
    for (size_t i = 0; i < Tasks().size(); ++i)
        EXPECT_EQ(i >= 3, m_tasks.TaskExists(Tasks()[i])) << Tasks()[i];

    win32::UniqueHandleNull token;
    std::wstring sid;
    wchar_t profile[MAX_PATH] = {};
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
                win32::TokenUserSidString(token.get(), sid) &&
                ::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH));
    const std::wstring reg = m_windows / L"system32\\reg.exe|0|";
    EXPECT_EQ(reg + L"load \"HKU\\" + sid + L"\" \"" + profile + L"\\ntuser.dat\"\n" + reg +
                  L"unload \"HKU\\" + sid + L"\"\n",
              Recorded(m_windows / L"reg.txt"));
}

TEST_F(PrelantTest, FindsSidsAndHivesOnlyWhereTheProfileFolderIsTheAccounts)
{
    const std::wstring list = std::wstring(testsupport::kProductKey) + L"\\ProfileList\\S-1-5-21-";
    const std::wstring carol = m_windows / L"carol", erin = m_windows / std::wstring(100, L'e');
    ASSERT_TRUE(::CreateDirectoryW(carol.c_str(), nullptr) &&
                ::CreateDirectoryW(erin.c_str(), nullptr));
    const std::pair<std::wstring, std::wstring> profiles[] = {
        {L"1", L"C:\\Users\\bob.DOMAIN"},
        {L"2", L"C:\\Users\\Alice"},
        {L"4", L"%SystemDrive%" + carol.substr(2)},
        {L"5", erin + L"\\erin"},
        // Text that would become reg.exe arguments of its own: passed over.
        {L"3\" /f \"x", L"C:\\Users\\dave"},
        {L"7", L"C:\\x\" /f \"\\dave"},
        {L"0 x", L"C:\\Users\\frank"},
        {L"8", L"C:\\Users\\frank"}};
    for (const auto& [sid, profile] : profiles)
        testsupport::PutString(HKEY_CURRENT_USER, list + sid, L"ProfileImagePath", profile);
    testsupport::PutDword(HKEY_CURRENT_USER, list + L"6", L"ProfileImagePath", 7);
    prelant::UserCleanup cleanup({HKEY_CURRENT_USER, list.substr(0, list.rfind(L'\\'))});

    // One buffer throughout: no account may keep the SID of the one before.
    std::wstring sid = L"S-1-5-21-left-over";
    for (const auto& [account, expected] : {std::pair{L"aLICE", L"2"},
                                            {L"bob", L""},
                                            {L"BOB.domain", L"1"},
                                            {L"carol", L"4"},
                                            {L"dave", L""},
                                            {L"frank", L"8"},
                                            {L"nobody", L""}}) {
        EXPECT_TRUE(cleanup.FindUserSid(account, sid));
        EXPECT_EQ(*expected ? L"S-1-5-21-" + std::wstring(expected) : L"", sid) << account;
    }

    std::wstring hive;
    const std::wstring carolHive = carol + L"\\ntuser.dat";
    for (const auto& [which, capacity] : {std::pair{L"4", carolHive.size()},
                                          {L"5", prelant::kHivePathCapacity},
                                          {L"6", prelant::kHivePathCapacity}})
        EXPECT_FALSE(cleanup.GetUserHivePath(L"S-1-5-21-" + std::wstring(which), hive, capacity));
    EXPECT_TRUE(cleanup.GetUserHivePath(L"S-1-5-21-4", hive, carolHive.size() + 1));
    EXPECT_EQ(carolHive, hive);

    // Without a SID or a hive path that fits, reg.exe is never started.
    const std::wstring windows = win32::WindowsFolder();
    ::SetEnvironmentVariableW(L"WINDIR", m_windows.Path().c_str());
    ::SetEnvironmentVariableW(L"SCORAVEL_STUB_RECORD", (m_windows / L"reg.txt").c_str());
    for (const wchar_t* account : {L"bob", L"dave", L"erin", L"nobody"})
        EXPECT_EQ(prelant::kNoSidOrHive, cleanup.RemoveUserSettingsKey(account)) << account;
    ::SetEnvironmentVariableW(L"WINDIR", windows.c_str());
    EXPECT_EQ(L"", Recorded(m_windows / L"reg.txt"));
}

// Prelant runs elevated over every user's hive, where the user may have made
// any key a link to a key of their own or, where the system lets them, a
// machine key: only the product key and what really lies below it go.
TEST_F(PrelantTest, DeletesNoKeyThroughALink)
{
    ASSERT_TRUE(testsupport::StartSystemService(L"Schedule"));
    const std::wstring vendor = L"Software\\Ostervale", product = kProductKey;
    const std::wstring canary = L"Software\\ScoravelLinkCanary";
    const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
    const struct {
        std::wstring real;  // planted below the product key first
        std::wstring link;  // made a link to the canary
        HKEY canaryRoot;
    } cases[] = {
        {L"", product, user},
        {L"", product, machine},
        {product + L"\\A", product + L"\\B", user},
        {product + L"\\A", product + L"\\A\\B", machine},
        {L"", vendor, user},
        {L"", vendor, machine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.link << (c.canaryRoot == user ? " user" : " machine"));
        // What Prelant would take through the link: the product key's values
        // and a product key below a vendor key.
        testsupport::PutDword(c.canaryRoot, canary, L"Revision", 2);
        testsupport::PutDword(c.canaryRoot, canary + L"\\Scoravel\\Settings", L"Revision", 3);
        testsupport::RemoveTree(user, c.link);
        if (!c.real.empty())
            testsupport::PutDword(user, c.real, L"Revision", 4);
        testsupport::PutLink(user, c.link, c.canaryRoot, canary);
        const std::wstring before = testsupport::DumpKey(c.canaryRoot, canary);

        testsupport::ChildProcess prelant;
        DWORD code = 1;
        EXPECT_TRUE(prelant.Start(Built(PRELANT_EXE_UNIX_PATH), L"",
                                  {{},
                                   {{L"WINDIR", m_windows.Path()},
                                    {L"SCORAVEL_STUB_RECORD", m_windows / L"reg.txt"}}}) &&
                    prelant.WaitForExit(testsupport::kPatienceMs, &code));
        EXPECT_EQ(0u, code);
        EXPECT_EQ(before, testsupport::DumpKey(c.canaryRoot, canary));
        // Below a linked vendor key the product key is the canary's.
        EXPECT_EQ(c.link == vendor, !testsupport::DumpKey(user, product).empty());
        testsupport::RemoveTree(user, c.link);  // the link alone
        testsupport::RemoveTree(c.canaryRoot, canary);
    }
}

// A hive path is taken only when it fits the buffer with its terminator:
// as stored, as "%SystemDrive%" expands, and with "\ntuser.dat" appended.
TEST_F(PrelantTest, AHivePathFitsItsBufferOnlyWithItsTerminator)
{
    constexpr size_t cap = prelant::kHivePathCapacity;
    const std::wstring list = std::wstring(testsupport::kProductKey) + L"\\ProfileList";
    const std::wstring hive = L"\\ntuser.dat";
    const size_t cchFolderName = cap - 1 - hive.size() - m_windows.Path().size() - 1;
    ASSERT_GT(cchFolderName, 1u);
    const std::wstring fitting = m_windows / std::wstring(cchFolderName, L'p');
    const std::wstring tooLong = m_windows / std::wstring(cchFolderName + 1, L'p');
    ASSERT_TRUE(::CreateDirectoryW(fitting.c_str(), nullptr) &&
                ::CreateDirectoryW(tooLong.c_str(), nullptr));
    // "%SystemDrive%" as this process's environment has it: "C:" and a tail.
    const auto drive = [](size_t cchExpanded) {
        return L"C:" + std::wstring(cchExpanded - 2 - 2, L'd');
    };
    const struct {
        const char* name;
        std::wstring stored;
        std::wstring systemDrive;  // empty: as it is
        bool fits;
        std::wstring expected;  // the hive path when it fits
    } cases[] = {
        {"FileExactly", L"C:\\" + std::wstring(cap - 1 - 3, L'f'), L"", true, L""},
        {"FileOneOver", L"C:\\" + std::wstring(cap - 3, L'f'), L"", false, L""},
        {"ExpandedExactly", L"%SystemDrive%\\h", drive(cap - 1), true, drive(cap - 1) + L"\\h"},
        {"ExpandedOneOver", L"%SystemDrive%\\h", drive(cap), false, L""},
        {"FolderExactly", fitting, L"", true, fitting + hive},
        {"FolderOneOver", tooLong, L"", false, L""},
    };
    wchar_t systemDrive[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"SystemDrive", systemDrive, MAX_PATH), 0u);
    prelant::UserCleanup cleanup({HKEY_CURRENT_USER, list});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::PutString(HKEY_CURRENT_USER, list + L"\\S-1-5-21-9", L"ProfileImagePath",
                               c.stored);
        ::SetEnvironmentVariableW(L"SystemDrive",
                                  c.systemDrive.empty() ? systemDrive : c.systemDrive.c_str());
        std::wstring path = L"left as it was";
        const bool fits = cleanup.GetUserHivePath(L"S-1-5-21-9", path, cap);
        ::SetEnvironmentVariableW(L"SystemDrive", systemDrive);
        EXPECT_EQ(c.fits, fits);
        EXPECT_EQ(!c.fits ? L"left as it was" : c.expected.empty() ? c.stored : c.expected, path);
        EXPECT_LT(path.size(), cap);
    }
}

}  // namespace
