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
    const wchar_t* shellFolder;  // redirected to the folder; null: TMP and TEMP
    const wchar_t* folder;       // below the scratch profile, or (own) beside it
    bool own;                    // a folder of the trace's own: emptied, and kept
};

// Each trace's folder is pointed at the user's files, or at a folder of its
// own. On the user's files the trace is left out with a line that names it
// and not one file is touched; on its own folder it is still emptied.
TEST_F(TraceFolders, ATraceEmptiesOnlyAFolderOfItsOwn)
{
    const FolderCase cases[] = {
        {"temporary folder falls back to the profile", kTempFiles, "Windows Temp Files", nullptr,
         L"", false},
        {"recent documents on Documents", kRecentMenu, "My Recent Documents", L"Recent",
         L"Documents", false},
        {"cache on Documents", kTempIntFiles, "Internet Explorer Temporary Internet Files",
         L"Cache", L"Documents", false},
        {"cookies on the profile", kCookies, "Internet Explorer Cookies", L"Cookies", L"", false},
        {"history inside Documents", kBrowseHistory, "Internet Explorer History", L"History",
         L"Documents\\History", false},
        {"cookies on Desktop", kCookies, "Internet Explorer Cookies", L"Cookies", L"Desktop",
         false},
        {"temporary folder of its own", kTempFiles, "Windows Temp Files", nullptr, L"temp", true},
        {"recent documents of their own", kRecentMenu, "My Recent Documents", L"Recent",
         L"recent", true},
        {"cache of its own", kTempIntFiles, "Internet Explorer Temporary Internet Files", L"Cache",
         L"cache", true},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring folder = c.own ? data / c.folder : profile;
        if (!c.own && *c.folder)
            folder += std::wstring(L"\\") + c.folder;
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) ||
                    ::GetLastError() == ERROR_ALREADY_EXISTS);
        const std::vector<std::wstring> inFolder = {Put(folder + L"\\in-the-folder.dat", 200)};
        Environment environment;
        if (c.shellFolder)
            Redirect(c.shellFolder, folder);
        else if (c.own)
            environment = {{L"TMP", folder + L"\\"}, {L"TEMP", folder + L"\\"}};
        else
            environment = {{L"TMP", L""}, {L"TEMP", L""}, {L"USERPROFILE", profile}};

        const std::string text = ShredAll(c.trace, environment);
        EXPECT_TRUE(Untouched(personal)) << text;
        const std::string refusal =
            std::string("->") + c.traceName + " was not shredded: its folder " + Narrow(folder);
        if (c.own) {
            EXPECT_TRUE(NoneLeft(inFolder)) << text;
            EXPECT_TRUE(testsupport::PathExists(folder));
            EXPECT_EQ(text.find("was not shredded"), std::string::npos) << text;
        } else {
            EXPECT_TRUE(Untouched(inFolder)) << text;
            EXPECT_NE(text.find(refusal), std::string::npos) << text;
            EXPECT_EQ(CountOf(text, "has been shredded"), 0u) << text;
        }
    }
}

constexpr wchar_t kProtectedStorage[] = L"Software\\Microsoft\\Protected Storage System Provider";
constexpr wchar_t kSystemSid[] = L"S-1-5-18";
constexpr wchar_t kOtherUserSid[] = L"S-1-5-21-7-7-7-1077";

// Bins of this user, of LocalSystem and of another user on C:, and a
// Protected Storage key whose first subkey is LocalSystem's SID; all of it
// is taken away again.
class RecycleBin : public GraventaTest {
protected:
    void SetUp() override
    {
        GraventaTest::SetUp();
        win32::UniqueHandleNull token;
        ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()));
        ASSERT_TRUE(win32::TokenUserSidString(token.get(), mySid));
        m_binExisted = testsupport::PathExists(kBin);
        ASSERT_TRUE(::CreateDirectoryW(kBin, nullptr) || m_binExisted);
        m_mineExisted = testsupport::PathExists(Bin(mySid));
        ASSERT_TRUE(::CreateDirectoryW(Bin(mySid).c_str(), nullptr) || m_mineExisted);
        for (const wchar_t* sid : {kSystemSid, kOtherUserSid})
            ASSERT_TRUE(::CreateDirectoryW(Bin(sid).c_str(), nullptr)) << sid;
        win32::UniqueKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  win32::CreateKey(HKEY_CURRENT_USER, StorageSubkey().c_str(), KEY_READ, key));
    }

    void TearDown() override
    {
        resident.Stop();
        win32::DeleteTree(HKEY_CURRENT_USER, StorageSubkey().c_str());
        for (const wchar_t* sid : {kSystemSid, kOtherUserSid})
            testsupport::RemoveTree(Bin(sid));
        if (!m_mineExisted)
            testsupport::RemoveTree(Bin(mySid));
        if (!m_binExisted)
            ::RemoveDirectoryW(kBin);
        GraventaTest::TearDown();
    }

    static std::wstring Bin(const std::wstring& sid) { return kBin + (L"\\" + sid); }
    static std::wstring StorageSubkey()
    {
        return std::wstring(kProtectedStorage) + L"\\" + kSystemSid;
    }

    static constexpr wchar_t kBin[] = L"C:\\$Recycle.Bin";
    std::wstring mySid;

private:
    bool m_binExisted = true;
    bool m_mineExisted = true;
};

// Only this user's own bin, named by the process token, is shredded: the
// key that names LocalSystem first changes nothing, and another user's bin
// on the same drive stays as it is.
TEST_F(RecycleBin, ShredAllShredsOnlyTheUsersOwnBin)
{
    const std::vector<std::wstring> own = {Put(Bin(mySid) + L"\\$RScoravelOwn.txt", 700)};
    const std::vector<std::wstring> others = {
        Put(Bin(kSystemSid) + L"\\$RScoravelSystem.txt", 400),
        Put(Bin(kOtherUserSid) + L"\\$RScoravelOther.txt", 600)};

    SaveProfile({.traces = {kRecycle}});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    StartResident();
    RunVerb({L"ShredAll"});
    EXPECT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
    resident.Stop();
    ASSERT_TRUE(LogIsComplete());
    const std::string text = ReadText(log);

    EXPECT_TRUE(NoneLeft(own)) << text;
    EXPECT_TRUE(testsupport::PathExists(Bin(mySid))) << "the user's bin itself stays";
    EXPECT_TRUE(Untouched(others)) << text;
    EXPECT_NE(text.find("->File " + Narrow(Bin(mySid))), std::string::npos) << text;
}

}  // namespace
}  // namespace graventatest
