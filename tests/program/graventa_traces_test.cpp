// Trace folders through a real shred-all of the resident Graventa: shell
// folders and the temporary folder pointed at the user's own files, and the
// Recycle Bin of this user among other users' bins.
#include "ipc/tray_notify_client.h"
#include "tests/common/tray_recorder.h"
#include "tests/program/graventa_test_support.h"
#include "win32/registry.h"
#include "win32/system_info.h"

#include <gtest/gtest.h>

namespace graventatest {
namespace {

using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

constexpr wchar_t kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const wchar_t* kRedirected[] = {L"Personal", L"Desktop", L"Recent",
                                          L"Cache",    L"Cookies", L"History"};

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());  // scratch paths are ASCII
}

// A scratch profile whose Documents and Desktop are the user's shell
// folders; every shell folder a case redirects is put back afterwards.
class TraceFolders : public GraventaTest {
protected:
    void SetUp() override
    {
        GraventaTest::SetUp();
        for (const wchar_t* name : kRedirected)
            m_saved.emplace_back(name,
                                 testsupport::GetRaw(HKEY_CURRENT_USER, kUserShellFolders, name));
        profile = data / L"profile";
        for (const std::wstring& folder :
             {profile, profile + L"\\Documents", profile + L"\\Desktop"})
            ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        personal = {Put(profile + L"\\Documents\\letter.txt", 900),
                    Put(profile + L"\\Desktop\\note.txt", 300),
                    Put(profile + L"\\settings.ini", 120)};
        Redirect(L"Personal", profile + L"\\Documents");
        Redirect(L"Desktop", profile + L"\\Desktop");
    }

    void TearDown() override
    {
        resident.Stop();
        for (const auto& [name, value] : m_saved) {
            if (value.exists) {
                testsupport::PutRaw(HKEY_CURRENT_USER, kUserShellFolders, name.c_str(), value.type,
                                    value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
            } else {
                win32::UniqueKey key;
                if (win32::OpenKey(HKEY_CURRENT_USER, kUserShellFolders, KEY_SET_VALUE, key) ==
                    ERROR_SUCCESS)
                    ::RegDeleteValueW(key.get(), name.c_str());
            }
        }
        GraventaTest::TearDown();
    }

    static void Redirect(const wchar_t* name, const std::wstring& folder)
    {
        testsupport::PutString(HKEY_CURRENT_USER, kUserShellFolders, name, folder);
    }

    // One unattended shred-all of `trace` by a resident started with
    // `environment`; the log once the run has ended.
    std::string ShredAll(TraceKind trace, const Environment& environment)
    {
        SaveProfile({.traces = {trace}});
        ::DeleteFileW(log.c_str());
        testsupport::TrayRecorder balloons;
        EXPECT_TRUE(balloons.Ready());
        StartResident({.environment = environment});
        RunVerb({L"ShredAll"});
        EXPECT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
        resident.Stop();
        EXPECT_TRUE(LogIsComplete());
        return ReadText(log);
    }

    std::wstring profile;
    std::vector<std::wstring> personal;

private:
    std::vector<std::pair<std::wstring, testsupport::RawValue>> m_saved;
};

struct FolderCase {
    const char* what;
    TraceKind trace;
    const char* traceName;
    const wchar_t* shellFolder;  // redirected to the folder; null: TMP and TEMP unset
    const wchar_t* below;        // the folder, below the scratch profile
};

// Each trace's folder ends up on the user's files; the trace is left out
// with a line that names it, and not one of those files is touched.
TEST_F(TraceFolders, ATraceNeverEmptiesTheUsersOwnFolders)
{
    const FolderCase cases[] = {
        {"temporary folder falls back to the profile", kTempFiles, "Windows Temp Files", nullptr,
         L""},
        {"recent documents on Documents", kRecentMenu, "My Recent Documents", L"Recent",
         L"Documents"},
        {"cache on Documents", kTempIntFiles, "Internet Explorer Temporary Internet Files",
         L"Cache", L"Documents"},
        {"cookies on the profile", kCookies, "Internet Explorer Cookies", L"Cookies", L""},
        {"history inside Documents", kBrowseHistory, "Internet Explorer History", L"History",
         L"Documents\\History"},
        {"cookies on Desktop", kCookies, "Internet Explorer Cookies", L"Cookies", L"Desktop"},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring folder = *c.below ? profile + L"\\" + c.below : profile;
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) ||
                    ::GetLastError() == ERROR_ALREADY_EXISTS);
        std::vector<std::wstring> kept = personal;
        kept.push_back(Put(folder + L"\\in-the-folder.dat", 200));
        Environment environment;
        if (c.shellFolder)
            Redirect(c.shellFolder, folder);
        else
            environment = {{L"TMP", L""}, {L"TEMP", L""}, {L"USERPROFILE", profile}};

        const std::string text = ShredAll(c.trace, environment);
        EXPECT_TRUE(Untouched(kept));
        EXPECT_NE(text.find(std::string("->") + c.traceName + " was not shredded: its folder " +
                            Narrow(folder)),
                  std::string::npos)
            << text;
        EXPECT_EQ(CountOf(text, "has been shredded"), 0u) << text;
    }
}

// The same traces on folders of their own are still emptied, and the
// folders kept.
TEST_F(TraceFolders, ATraceOnItsOwnFolderIsStillEmptied)
{
    const struct {
        const char* what;
        TraceKind trace;
        const wchar_t* shellFolder;  // null: TMP and TEMP
    } cases[] = {
        {"temporary folder", kTempFiles, nullptr},
        {"recent documents", kRecentMenu, L"Recent"},
        {"cache", kTempIntFiles, L"Cache"},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring folder = data / (L"trace" + std::to_wstring(index++));
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        const std::vector<std::wstring> traces = {Put(folder + L"\\left-over.tmp", 500)};
        Environment environment;
        if (c.shellFolder)
            Redirect(c.shellFolder, folder);
        else
            environment = {{L"TMP", folder + L"\\"}, {L"TEMP", folder + L"\\"}};

        const std::string text = ShredAll(c.trace, environment);
        EXPECT_TRUE(NoneLeft(traces));
        EXPECT_TRUE(testsupport::PathExists(folder));
        EXPECT_TRUE(Untouched(personal));
        EXPECT_EQ(text.find("was not shredded"), std::string::npos) << text;
    }
}

constexpr wchar_t kProtectedStorage[] = L"Software\\Microsoft\\Protected Storage System Provider";
constexpr wchar_t kSystemSid[] = L"S-1-5-18";
constexpr wchar_t kOtherUserSid[] = L"S-1-5-21-7-7-7-1077";

// Only this user's own bin, named by the process token, is shredded: a
// registry key that names LocalSystem first changes nothing, and another
// user's bin on the same drive stays as it is.
TEST_F(GraventaTest, RecycleBinShredsOnlyTheUsersOwnBin)
{
    std::wstring mySid;
    {
        win32::UniqueHandleNull token;
        ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()));
        ASSERT_TRUE(win32::TokenUserSidString(token.get(), mySid));
    }
    const std::wstring bin = L"C:\\$Recycle.Bin";
    const bool binExisted = testsupport::PathExists(bin);
    ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr) || binExisted);
    const std::wstring mine = bin + L"\\" + mySid;
    const bool mineExisted = testsupport::PathExists(mine);
    ASSERT_TRUE(::CreateDirectoryW(mine.c_str(), nullptr) || mineExisted);
    for (const wchar_t* sid : {kSystemSid, kOtherUserSid})
        ASSERT_TRUE(::CreateDirectoryW((bin + L"\\" + sid).c_str(), nullptr)) << sid;
    const std::vector<std::wstring> own = {Put(mine + L"\\$RScoravelOwn.txt", 700)};
    const std::vector<std::wstring> others = {
        Put(bin + L"\\" + kSystemSid + L"\\$RScoravelSystem.txt", 400),
        Put(bin + L"\\" + kOtherUserSid + L"\\$RScoravelOther.txt", 600)};
    {
        win32::UniqueKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  win32::CreateKey(HKEY_CURRENT_USER,
                                   (std::wstring(kProtectedStorage) + L"\\" + kSystemSid).c_str(),
                                   KEY_READ, key));
    }

    SaveProfile({.traces = {kRecycle}});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    StartResident();
    RunVerb({L"ShredAll"});
    EXPECT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
    resident.Stop();
    EXPECT_TRUE(LogIsComplete());
    const std::string text = ReadText(log);

    EXPECT_TRUE(NoneLeft(own)) << text;
    EXPECT_TRUE(testsupport::PathExists(mine)) << "the user's bin itself stays";
    EXPECT_TRUE(Untouched(others)) << text;
    EXPECT_NE(text.find("->File " + Narrow(mine)), std::string::npos) << text;

    win32::DeleteTree(HKEY_CURRENT_USER,
                      (std::wstring(kProtectedStorage) + L"\\" + kSystemSid).c_str());
    for (const wchar_t* sid : {kSystemSid, kOtherUserSid})
        testsupport::RemoveTree(bin + L"\\" + sid);
    if (!mineExisted)
        testsupport::RemoveTree(mine);
    if (!binExisted)
        ::RemoveDirectoryW(bin.c_str());
}

}  // namespace
}  // namespace graventatest
