// Prelant.exe against the test prefix's registry and Task Scheduler, with a
// recording reg.exe in a Windows folder of the test's own (Wine's reg.exe
// cannot load hives; here the user's hive is loaded already), and its
// profile search on a profile list of the test's own.
#include "plugin/task_scheduler.h"
#include "setup/user_cleanup.h"
#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "tests/setup/stub_record.h"
#include "win32/registry.h"
#include "win32/system_info.h"

#include <objbase.h>

#include <gtest/gtest.h>

namespace {

class PrelantTest : public testsupport::ProductRegistryTest {
protected:
    static void SetUpTestSuite()
    {
        win32::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        win32::UniqueService service(manager ? ::OpenServiceW(manager.get(), L"Schedule",
                                                              SERVICE_START | SERVICE_QUERY_STATUS)
                                             : nullptr);
        s_scheduler = service && (::StartServiceW(service.get(), 0, nullptr) ||
                                  ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING);
        s_scheduler = s_scheduler && testsupport::WaitUntil([&] {
                          SERVICE_STATUS status = {};
                          return ::QueryServiceStatus(service.get(), &status) &&
                                 status.dwCurrentState == SERVICE_RUNNING;
                      });
    }
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(::CreateDirectoryW((m_windows / L"system32").c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(testsupport::ProgramBesideTest(L"reg.exe").c_str(),
                                (m_windows / L"system32\\reg.exe").c_str(), FALSE));
    }
    void TearDown() override
    {
        EXPECT_TRUE(testsupport::WaitUntil([&] {
            for (const auto& name : TaskNames())
                m_tasks.DeleteTask(name);
            return !m_tasks.TaskExists(TaskNames()[3]) && !m_tasks.TaskExists(TaskNames()[4]);
        }));
        ::CoUninitialize();
        ProductRegistryTest::TearDown();
    }

    // The user's three tasks, then two that are not Prelant's to delete.
    std::vector<std::wstring> TaskNames() const
    {
        const std::wstring user = m_tasks.UserName();
        return {ShredAllTaskName(user), SystemStartupTaskName(user), DiskBleachTaskName(user),
                L"Keldrun_" + user, ShredAllTaskName(user + L"-other")};
    }

    static inline bool s_scheduler = false;
    TaskScheduler m_tasks;
    testsupport::ScratchFolder m_windows;
};

TEST_F(PrelantTest, RemovesTheAccountsKeyAndItsThreeTasksOnly)
{
    ASSERT_TRUE(s_scheduler);
    testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"Revision", 2);
    m_tasks.SetBegin({.wYear = 2031, .wMonth = 5, .wDay = 14, .wHour = 10});
    m_tasks.SetApplication(L"C:\\Scoravel Test\\Graventa.exe");
    for (const auto& name : TaskNames())
        ASSERT_EQ(S_OK, m_tasks.CreateTask(name, false));

    testsupport::ChildProcess prelant;
    DWORD code = 1;
    ASSERT_TRUE(prelant.Start(
        setuptest::BuiltProgram(PRELANT_EXE_UNIX_PATH), L"",
        {{}, {{L"WINDIR", m_windows.Path()}, {L"SCORAVEL_STUB_RECORD", m_windows / L"reg.txt"}}}));
    ASSERT_TRUE(prelant.WaitForExit(testsupport::kPatienceMs, &code));
    EXPECT_EQ(0u, code);

    win32::UniqueKey key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              win32::OpenKey(HKEY_CURRENT_USER, testsupport::kProductKey, KEY_QUERY_VALUE, key));
    const auto names = TaskNames();
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(i >= 3, m_tasks.TaskExists(names[i])) << names[i];

    win32::UniqueHandleNull token;
    std::wstring sid;
    wchar_t profile[MAX_PATH] = {};
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
                win32::TokenUserSidString(token.get(), sid));
    ASSERT_GT(::GetEnvironmentVariableW(L"USERPROFILE", profile, ARRAYSIZE(profile)), 0u);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"0|load \"HKU\\" + sid + L"\" \"" + profile + L"\\ntuser.dat\"",
                                   L"0|unload \"HKU\\" + sid + L"\""}),
        setuptest::RecordedStarts(m_windows / L"reg.txt"));
}

TEST_F(PrelantTest, FindsSidsAndHivesOnlyWhereTheProfileFolderIsTheAccounts)
{
    const std::wstring list = L"Software\\Ostervale\\Scoravel\\ProfileList";
    const std::wstring carol = m_windows / L"carol";
    const std::wstring erin = m_windows / (std::wstring(100, L'e') + L"\\erin");
    ASSERT_TRUE(::CreateDirectoryW(carol.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(erin.substr(0, erin.rfind(L'\\')).c_str(), nullptr) &&
                ::CreateDirectoryW(erin.c_str(), nullptr));
    const std::wstring longSid = L"S-1-5-21-" + std::wstring(130, L'9');
    const struct {
        std::wstring sid, profile;
    } profiles[] = {{L"S-1-5-21-1-1", L"C:\\Users\\bob.DOMAIN"},
                    {L"S-1-5-21-1-2", L"C:\\Users\\Alice"},
                    {longSid, L"C:\\Users\\dave"},
                    {L"S-1-5-21-1-4", L"%SystemDrive%" + carol.substr(2)},
                    {L"S-1-5-21-1-5", erin}};
    for (const auto& p : profiles)
        testsupport::PutString(HKEY_CURRENT_USER, list + L"\\" + p.sid, L"ProfileImagePath",
                               p.profile);
    testsupport::PutDword(HKEY_CURRENT_USER, list + L"\\S-1-5-21-1-6", L"ProfileImagePath", 7);
    prelant::UserCleanup cleanup({HKEY_CURRENT_USER, list});

    std::wstring sid = L"S-1-5-21-left-over";
    const std::pair<const wchar_t*, std::wstring> accounts[] = {
        {L"aLICE", L"S-1-5-21-1-2"},      {L"bob", L""},
        {L"BOB.domain", L"S-1-5-21-1-1"}, {L"dave", L""},
        {L"carol", L"S-1-5-21-1-4"},      {L"nobody", L""}};
    for (const auto& [account, expected] : accounts) {
        EXPECT_TRUE(cleanup.FindUserSid(account, sid));
        EXPECT_EQ(expected, sid) << account;
    }

    std::wstring hive = L"untouched";
    const std::wstring carolHive = carol + L"\\ntuser.dat";
    EXPECT_FALSE(cleanup.GetUserHivePath(L"S-1-5-21-1-4", hive, carolHive.size()));
    EXPECT_FALSE(cleanup.GetUserHivePath(L"S-1-5-21-1-5", hive, prelant::kHivePathCapacity));
    EXPECT_FALSE(cleanup.GetUserHivePath(L"S-1-5-21-1-6", hive, prelant::kHivePathCapacity));
    EXPECT_EQ(L"untouched", hive);
    EXPECT_TRUE(cleanup.GetUserHivePath(L"S-1-5-21-1-4", hive, carolHive.size() + 1));
    EXPECT_EQ(carolHive, hive);
    EXPECT_TRUE(cleanup.GetUserHivePath(L"S-1-5-21-1-2", hive, prelant::kHivePathCapacity));
    EXPECT_EQ(L"C:\\Users\\Alice", hive) << "no folder, no hive file name";

    // Without a SID or a hive path that fits, reg.exe is never started.
    const std::wstring windows = win32::WindowsFolder();
    ::SetEnvironmentVariableW(L"WINDIR", m_windows.Path().c_str());
    ::SetEnvironmentVariableW(L"SCORAVEL_STUB_RECORD", (m_windows / L"reg.txt").c_str());
    for (const wchar_t* account : {L"bob", L"erin", L"nobody"})
        EXPECT_EQ(prelant::kNoSidOrHive, cleanup.RemoveUserSettingsKey(account)) << account;
    ::SetEnvironmentVariableW(L"SCORAVEL_STUB_RECORD", nullptr);
    ::SetEnvironmentVariableW(L"WINDIR", windows.c_str());
    EXPECT_TRUE(setuptest::RecordedStarts(m_windows / L"reg.txt").empty());
}

}  // namespace
