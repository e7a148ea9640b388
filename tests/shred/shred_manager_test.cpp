// The shred manager end to end over the real registry and scratch folders:
// which list a profile gives, what the runs skip, ask, shred and announce,
// and what the post-shred actions ask of the platform.
#include "shred/shred_manager.h"

#include "engine/run_state.h"
#include "ipc/tray_notify_client.h"
#include "settings/install_location.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/tray_recorder.h"
#include "tests/engine/erase_test_support.h"
#include "win32/registry.h"

#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using testsupport::PathExists;
using testsupport::PutDword;
using testsupport::PutString;
using testsupport::WriteFileBytes;

class FakePlatform : public ShredPlatform {
public:
    bool ReadIEVersion(std::wstring& version) override
    {
        if (ieVersion.empty())
            return false;
        version = ieVersion;
        return true;
    }
    bool ClearUrlHistory() override { return ++historyClears, true; }
    void StartHistoryCleanup(const std::wstring& program) override
    {
        cleanupStarts.push_back(program);
    }
    void EmptyRecycleBin() override { ++recycleEmpties; }
    bool ClearProtectedStorage() override { return ++storageClears, storageResult; }

    std::wstring ieVersion = L"7.0";
    int historyClears = 0;
    std::vector<std::wstring> cleanupStarts;
    int recycleEmpties = 0;
    int storageClears = 0;
    bool storageResult = true;
};

// How a run's question or warning reached the program.
enum class Shown { kQuestion, kWarning };

struct Asked {
    Shown kind;
    std::wstring text;
};

// The shredding program as a run meets it: questions and warnings go to the
// responder a case installs (none: nothing is shown and every question is
// answered No, as in an unattended program), balloons through the real tray
// pipe.
class ProgramUi : public IShredUi {
public:
    using Responder = std::function<bool(const Asked&)>;

    bool Ask(const std::wstring& question) override
    {
        return Respond({Shown::kQuestion, question});
    }
    void Warn(const std::wstring& message) override { Respond({Shown::kWarning, message}); }
    void Balloon(const std::wstring& title, const std::wstring& text, int id) override
    {
        TrayNotifyClient().Send(title.c_str(), text.c_str(), id);
    }

    void SetResponder(Responder responder)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_responder = std::move(responder);
    }

private:
    bool Respond(const Asked& asked)
    {
        Responder responder;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            responder = m_responder;
        }
        return responder && responder(asked);
    }

    std::mutex m_lock;
    Responder m_responder;
};

ProgramUi g_programUi;

// Puts a responder in charge of the program's questions while it lives.
class ScopedResponder {
public:
    explicit ScopedResponder(ProgramUi::Responder responder)
    {
        g_programUi.SetResponder(std::move(responder));
    }
    ~ScopedResponder() { g_programUi.SetResponder(nullptr); }
    ScopedResponder(const ScopedResponder&) = delete;
    ScopedResponder& operator=(const ScopedResponder&) = delete;
};

// Says Yes to everything, on whatever thread asks; shows nothing.
class AgreeingUi : public IShredUi {
public:
    bool Ask(const std::wstring&) override { return true; }
    void Warn(const std::wstring&) override {}
    void Balloon(const std::wstring&, const std::wstring&, int) override {}
};

// A manager with a recording reporter that asks through `ui` (the program
// unless told otherwise).
class Manager : public ShredManager {
public:
    explicit Manager(IShredUi& ui = g_programUi)
        : ShredManager(std::make_unique<enginetest::RecordingReporter>(), ui)
    {
        BytesDone = 0;
        LastPercent = 0;
        AnyAssetShredded = false;
    }
    enginetest::RecordingReporter& Reporter()
    {
        return static_cast<enginetest::RecordingReporter&>(*GetProgress());
    }
};

std::wstring ReadText(const std::wstring& path)
{
    std::string bytes;
    if (!testsupport::ReadFileBytes(path, bytes))
        return {};
    return std::wstring(bytes.begin(), bytes.end());
}

class ShredManagerTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        ClearTraceKeys();
        // The temporary-files trace lists the temp folder: make it ours, so
        // that no other test's scratch folder is ever in a list.
        m_temp = m_scratch / L"temp";
        m_install = m_scratch / L"install";
        m_data = m_scratch / L"data";
        for (const auto& folder : {m_temp, m_install, m_data})
            ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        wchar_t previous[MAX_PATH] = {};
        ::GetEnvironmentVariableW(L"TMP", previous, ARRAYSIZE(previous));
        m_previousTmp = previous;
        ::SetEnvironmentVariableW(L"TMP", (m_temp + L"\\").c_str());
        PutString(HKEY_LOCAL_MACHINE, kProductKeyPath, L"InstallLocation", m_install);
        PutDword(HKEY_LOCAL_MACHINE, kProductKeyPath, L"EnableSuccessLogging", 1);
        SetShredPlatform(&m_platform);
        HistoryCleanupStarted = false;
    }

    void TearDown() override
    {
        SetShredPlatform(nullptr);
        ::SetEnvironmentVariableW(L"TMP", m_previousTmp.empty() ? nullptr : m_previousTmp.c_str());
        ClearTraceKeys();
        ProductRegistryTest::TearDown();
    }

    static void ClearTraceKeys()
    {
        win32::DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Word.Application");
        win32::DeleteTree(HKEY_CURRENT_USER, L"Software\\RealNetworks");
        win32::DeleteTree(HKEY_CURRENT_USER,
                          L"Software\\Microsoft\\Protected Storage System Provider");
        win32::DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Mozilla\\Mozilla Firefox");
    }

    static void PlantSystemTraces()
    {
        PutString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Word.Application\\CurVer", nullptr,
                  L"Word.Application.12");
        PutDword(HKEY_CURRENT_USER,
                 L"Software\\RealNetworks\\RealPlayer\\6.0\\Preferences\\MostRecentClips1", L"x",
                 1);
        PutDword(
            HKEY_CURRENT_USER,
            L"Software\\Microsoft\\Protected Storage System Provider\\S-1-5-21-1-2-3-1000\\Data",
            L"x", 1);
    }

    // Saves a profile as the plug-in would and loads it into `manager`.
    static void UseProfile(SettingsStore& profile, Manager& manager)
    {
        ASSERT_TRUE(profile.SaveAll());
        manager.Init();
    }

    std::vector<std::wstring> ListNames(Manager& manager, int32_t listType,
                                        std::vector<bool>* confirms = nullptr)
    {
        manager.BuildShredList(listType);
        std::vector<std::wstring> names;
        for (auto& asset : manager.GetAssetList()) {
            names.push_back(asset->GetName().empty() ? asset->GetPath() : asset->GetName());
            if (confirms)
                confirms->push_back(asset->GetConfirm());
        }
        manager.ClearAssets();
        return names;
    }

    // Records what the program is shown; answers every question with `yes`.
    ScopedResponder Answer(bool yes)
    {
        return ScopedResponder([this, yes](const Asked& asked) {
            m_asked.push_back(asked);
            return yes;
        });
    }

    std::wstring LogPath(Manager& manager) { return manager.LogPath(); }

    testsupport::ScratchFolder m_scratch;
    std::wstring m_temp, m_install, m_data, m_previousTmp;
    FakePlatform m_platform;
    std::vector<Asked> m_asked;
};

TEST_F(ShredManagerTest, BuiltInProfilesGiveTheirTracesInOrder)
{
    PlantSystemTraces();
    Manager manager;
    SettingsStore low;
    low.SetSecurityProfile(kProfileLow);
    UseProfile(low, manager);
    std::vector<bool> confirms;
    // Firefox is not installed: only Internet Explorer's five traces.
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Internet Explorer AutoComplete Data", L"Internet Explorer History",
                  L"Internet Explorer URL List Data", L"Internet Explorer Cookies",
                  L"Internet Explorer Temporary Internet Files"}),
              ListNames(manager, kListEverything, &confirms));
    EXPECT_EQ(std::vector<bool>(5, true), confirms);

    // A fresh manager per profile, as every request makes one.
    Manager highManager;
    SettingsStore high;
    high.SetSecurityProfile(kProfileHigh);
    UseProfile(high, highManager);
    const auto names = ListNames(highManager, kListEverything);
    ASSERT_EQ(11u, names.size());
    EXPECT_EQ((std::vector<std::wstring>(names.begin() + 5, names.end())),
              (std::vector<std::wstring>{L"My Recent Documents", L"MS Office Recent Documents",
                                         L"Windows Media Player Recent File List",
                                         L"Real Player Recent File List", L"Recycle Bin",
                                         L"Windows Temp Files"}));

    Manager mediumManager;
    SettingsStore medium;
    medium.SetSecurityProfile(kProfileMedium);
    UseProfile(medium, mediumManager);
    EXPECT_EQ((std::vector<std::wstring>{L"Recycle Bin", L"Windows Temp Files"}), [&] {
        auto all = ListNames(mediumManager, kListEverything);
        return std::vector<std::wstring>(all.begin() + 5, all.end());
    }());
    // A browser verb collects only that browser's traces.
    EXPECT_EQ(5u, ListNames(mediumManager, kListInternetExplorer).size());
    EXPECT_TRUE(ListNames(mediumManager, kListFirefox).empty());
}

TEST_F(ShredManagerTest, CustomProfilesAddTheUsersEntriesWithTheirConfirmFlags)
{
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\one.bin", "1"));
    ASSERT_TRUE(::CreateDirectoryW((m_data + L"\\folder").c_str(), nullptr));
    for (int32_t profile : {kProfileAdvanced, kProfileSimple}) {
        Manager manager;
        SettingsStore custom;
        custom.SetSecurityProfile(profile);
        custom.ClearProfileBody();
        custom.SetShredRecycle(true);
        custom.SetConfirmShredRecycle(false);
        PutDword(
            HKEY_CURRENT_USER,
            L"Software\\Microsoft\\Protected Storage System Provider\\S-1-5-21-1-2-3-1000\\Data",
            L"x", 1);
        custom.AddFileEntry(m_data + L"\\one.bin", true);
        custom.AddFileEntry(m_data + L"\\missing.bin", true);
        custom.AddFileEntry(m_data + L"\\*.bin", false);
        custom.AddFileEntry(m_data + L"\\folder", false);
        UseProfile(custom, manager);
        std::vector<bool> confirms;
        EXPECT_EQ((std::vector<std::wstring>{L"Recycle Bin", m_data + L"\\one.bin",
                                             m_data + L"\\folder"}),
                  ListNames(manager, kListEverything, &confirms))
            << profile;
        EXPECT_EQ((std::vector<bool>{false, true, false}), confirms);
        // The user's entries belong to the everything list only.
        EXPECT_TRUE(ListNames(manager, kListInternetExplorer).empty());
    }
}

TEST_F(ShredManagerTest, ExcludedAndProtectedEntriesSurviveAShreddedFolder)
{
    const std::string payload(5000, 'p');
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\gone.bin", payload));
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\notes.txt", payload));
    ASSERT_TRUE(::CreateDirectoryW((m_data + L"\\keep").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\keep\\inside.bin", payload));
    ASSERT_TRUE(::CreateDirectoryW((m_data + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\sub\\deep.dat", payload));
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, ARRAYSIZE(windows));
    const std::wstring systemFile = std::wstring(windows) + L"\\scoravel-protected-" +
                                    std::to_wstring(::GetCurrentProcessId()) + L".bin";
    ASSERT_TRUE(WriteFileBytes(systemFile, payload));

    Manager manager;
    SettingsStore custom;
    custom.SetSecurityProfile(kProfileAdvanced);
    custom.ClearProfileBody();
    custom.SetEraseMethod(kEraseOnePass);
    custom.AddFileEntry(m_data, false);
    custom.AddFileEntry(systemFile, false);
    custom.AddExcludeEntry(L"C:\\elsewhere\\*.TXT");  // entries match in any letter case
    custom.AddExcludeEntry(m_data + L"\\KEEP");
    UseProfile(custom, manager);
    testsupport::TrayRecorder tray;
    ASSERT_TRUE(tray.Ready());

    EXPECT_EQ(kRunDone, manager.ShredAssets(kListEverything));

    EXPECT_FALSE(PathExists(m_data + L"\\gone.bin"));
    EXPECT_FALSE(PathExists(m_data + L"\\sub"));
    EXPECT_TRUE(PathExists(m_data + L"\\notes.txt"));
    EXPECT_TRUE(PathExists(m_data + L"\\keep\\inside.bin"));
    EXPECT_TRUE(PathExists(m_data));  // not empty: it stays
    std::string survivor;
    ASSERT_TRUE(testsupport::ReadFileBytes(systemFile, survivor));
    EXPECT_EQ(payload, survivor);
    ::DeleteFileW(systemFile.c_str());

    const std::wstring log = ReadText(LogPath(manager));
    EXPECT_NE(std::wstring::npos, log.find(L"do not shred list.\r\n" + m_data + L"\\notes.txt"));
    EXPECT_NE(std::wstring::npos, log.find(L"has been shredded"));
    EXPECT_FALSE(manager.IsBusy());
    EXPECT_TRUE(manager.GetAssetList().empty());
    ASSERT_TRUE(tray.WaitFor(2, 5000));
    EXPECT_EQ((std::vector<int>{27, 28}), tray.Ids());
    EXPECT_EQ(L"Shred complete", tray.Balloons()[1].title);
    EXPECT_EQ(100, manager.Reporter().percents.back());
}

// However a relative entry got into the profile (older settings, another
// program's write), the run never reads it against its own current folder:
// the entry is logged and left out, and the full-path entry beside it is
// still shredded.
TEST_F(ShredManagerTest, EntriesThatAreNoFullPathAreLoggedAndLeftOut)
{
    wchar_t previous[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetCurrentDirectoryW(ARRAYSIZE(previous), previous));
    const struct {
        const wchar_t* what;
        std::wstring entry;      // relative to the folder "run" below
        const wchar_t* reached;  // what the entry would name from there
        bool rootRelative;       // the entry is `reached` without its drive
    } cases[] = {
        {L"current folder", L".", L"run\\keep.txt", false},
        {L"parent", L"..\\x", L"x", false},
        {L"relative file", L"docs\\report.txt", L"run\\docs\\report.txt", false},
        {L"drive relative", m_data.substr(0, 2) + L"rel.txt", L"run\\rel.txt", false},
        {L"root relative", L"", L"run\\rooted.txt", true},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring base = m_scratch / (L"case" + std::to_wstring(index++));
        const std::wstring run = base + L"\\run";
        for (const auto& folder : {base, run, run + L"\\docs"})
            ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        const std::wstring reached = base + L"\\" + c.reached;
        ASSERT_TRUE(WriteFileBytes(reached, "keep"));
        const std::wstring full = base + L"\\full.bin";
        ASSERT_TRUE(WriteFileBytes(full, "gone"));
        const std::wstring entry = c.rootRelative ? reached.substr(2) : c.entry;

        Manager manager;
        SettingsStore custom;
        custom.SetSecurityProfile(kProfileAdvanced);
        custom.ClearProfileBody();
        custom.SetEraseMethod(kEraseOnePass);
        custom.AddFileEntry(entry, false);
        custom.AddFileEntry(full, false);
        UseProfile(custom, manager);
        ASSERT_TRUE(::SetCurrentDirectoryW(run.c_str()));
        const RunResult result = manager.ShredAssets(kListEverything);
        ::SetCurrentDirectoryW(previous);

        EXPECT_EQ(kRunDone, result);
        EXPECT_TRUE(PathExists(reached));
        EXPECT_FALSE(PathExists(full));
        EXPECT_NE(std::wstring::npos,
                  ReadText(LogPath(manager))
                      .find(L"Entry " + entry + L" is not a full path and was not shredded."));
    }
}

TEST_F(ShredManagerTest, DecliningAConfirmationKeepsTheItemAndStillReaches100)
{
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\ask-no.bin", std::string(3000, 'n')));
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\ask-yes.bin", std::string(3000, 'y')));
    Manager manager;
    SettingsStore custom;
    custom.SetSecurityProfile(kProfileAdvanced);
    custom.ClearProfileBody();
    custom.AddFileEntry(m_data + L"\\ask-no.bin", true);
    custom.AddFileEntry(m_data + L"\\ask-yes.bin", true);
    UseProfile(custom, manager);

    ScopedResponder responder([&](const Asked& asked) {
        m_asked.push_back(asked);
        return m_asked.size() != 1;
    });
    testsupport::TrayRecorder tray;
    EXPECT_EQ(kRunDone, manager.ShredAll(kListEverything));

    ASSERT_EQ(2u, m_asked.size());
    EXPECT_EQ(Shown::kQuestion, m_asked[0].kind);
    EXPECT_EQ(L"Are you sure you want to shred \"" + m_data + L"\\ask-no.bin\"?", m_asked[0].text);
    EXPECT_TRUE(PathExists(m_data + L"\\ask-no.bin"));
    EXPECT_FALSE(PathExists(m_data + L"\\ask-yes.bin"));
    EXPECT_EQ(100, manager.Reporter().percents.back());
    ASSERT_TRUE(tray.WaitFor(2, 5000));
    EXPECT_EQ(26, tray.Balloons()[0].id);
    EXPECT_EQ(L"Click to check the status of your shred.", tray.Balloons()[0].text);
}

// Each erase method reports to the manager that made it, on a thread that
// knows nothing of that manager, while another manager stands by.
TEST_F(ShredManagerTest, ARunOnAnotherThreadShredsAndReportsToItsOwnManager)
{
    const int32_t methods[] = {kEraseSimpleDelete, kEraseOnePass, kEraseSevenPasses};
    for (const int32_t method : methods) {
        SCOPED_TRACE(method);
        const std::wstring first = m_data + L"\\first.bin";
        const std::wstring second = m_data + L"\\second.bin";
        ASSERT_TRUE(WriteFileBytes(first, std::string(3000, 'a')));
        ASSERT_TRUE(WriteFileBytes(second, std::string(1000, 'b')));
        AgreeingUi ui;
        Manager bystander(ui);
        Manager manager(ui);
        SettingsStore custom;
        custom.SetSecurityProfile(kProfileAdvanced);
        custom.ClearProfileBody();
        custom.SetEraseMethod(method);
        custom.AddFileEntry(first, false);
        custom.AddFileEntry(second, false);
        UseProfile(custom, manager);

        RunResult result = kRunBusy;
        std::thread worker([&] { result = manager.ShredAssets(kListEverything); });
        worker.join();

        EXPECT_EQ(kRunDone, result);
        EXPECT_FALSE(PathExists(first));
        EXPECT_FALSE(PathExists(second));
        // Init starts the reporter at 0; then 3000 of 4000 bytes, then all.
        EXPECT_EQ(std::vector<int>({0, 75, 100}), manager.Reporter().percents);
        EXPECT_TRUE(bystander.Reporter().percents.empty());
        const std::wstring log = ReadText(manager.LogPath());
        EXPECT_EQ(std::wstring::npos, log.find(L"Cannot access shared data")) << log;
    }
}

TEST_F(ShredManagerTest, NothingSelectedWarnsOrAnnouncesAndOpensNoLog)
{
    Manager manager;
    SettingsStore empty;
    empty.SetSecurityProfile(kProfileAdvanced);
    empty.ClearProfileBody();
    UseProfile(empty, manager);
    auto responder = Answer(true);
    testsupport::TrayRecorder tray;

    EXPECT_EQ(kRunRefused, manager.ShredAll(kListEverything));
    ASSERT_EQ(1u, m_asked.size());
    EXPECT_EQ(Shown::kWarning, m_asked[0].kind);
    EXPECT_EQ(
        L"No items selected for Shred. Please select items from the Settings page and start "
        L"Shred again.",
        m_asked[0].text);
    EXPECT_FALSE(PathExists(LogPath(manager)));

    EXPECT_EQ(kRunRefused, manager.ShredAssets(kListEverything));
    ASSERT_TRUE(tray.WaitFor(1, 5000));
    EXPECT_EQ(28, tray.Balloons()[0].id);
    EXPECT_EQ(L"No valid files identified to shred", tray.Balloons()[0].title);
    EXPECT_FALSE(PathExists(LogPath(manager)));
    EXPECT_FALSE(manager.IsBusy());
}

TEST_F(ShredManagerTest, StopAfterTheFirstAssetLeavesTheRestAndTheRecycleBin)
{
    PutDword(HKEY_CURRENT_USER,
             L"Software\\Microsoft\\Protected Storage System Provider\\S-1-5-21-1-2-3-1000\\Data",
             L"x", 1);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(WriteFileBytes(m_data + L"\\f" + std::to_wstring(i) + L".bin",
                                   std::string(20000, 'x')));
    Manager manager;
    manager.Reporter().cancelAfter = 2;  // 0 % from Init, then the first asset's step
    SettingsStore custom;
    custom.SetSecurityProfile(kProfileSimple);
    custom.ClearProfileBody();
    custom.SetEraseMethod(kEraseOnePass);
    custom.SetShredRecycle(true);
    for (int i = 0; i < 3; ++i)
        custom.AddFileEntry(m_data + L"\\f" + std::to_wstring(i) + L".bin", false);
    UseProfile(custom, manager);
    testsupport::TrayRecorder tray;

    EXPECT_EQ(kRunDone, manager.ShredAssets(kListEverything));
    EXPECT_TRUE(manager.IsStopped());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(PathExists(m_data + L"\\f" + std::to_wstring(i) + L".bin")) << i;
    EXPECT_EQ(0, m_platform.recycleEmpties);
    ASSERT_TRUE(tray.WaitFor(2, 5000));
    EXPECT_EQ(27, tray.Balloons()[1].id);
    EXPECT_EQ(L"Shred aborted", tray.Balloons()[1].title);
    EXPECT_EQ(L"Shred has been stopped by the user.", tray.Balloons()[1].text);
}

TEST_F(ShredManagerTest, NoEraseMethodFreesTheListAndClearsBusy)
{
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\kept.bin", "k"));
    Manager manager;
    SettingsStore custom;
    custom.SetSecurityProfile(kProfileAdvanced);
    custom.ClearProfileBody();
    custom.AddFileEntry(m_data + L"\\kept.bin", false);
    UseProfile(custom, manager);
    manager.Settings().SetEraseMethod(6);
    EXPECT_EQ(kRunRefused, manager.ShredAssets(kListEverything));
    EXPECT_FALSE(manager.IsBusy());
    EXPECT_TRUE(manager.GetAssetList().empty());
    EXPECT_TRUE(PathExists(m_data + L"\\kept.bin"));
    EXPECT_FALSE(PathExists(LogPath(manager)));
    // The manager is usable again.
    manager.Settings().SetEraseMethod(kEraseOnePass);
    EXPECT_EQ(kRunDone, manager.ShredAssets(kListEverything));
    EXPECT_FALSE(PathExists(m_data + L"\\kept.bin"));
}

TEST_F(ShredManagerTest, ShredOneAsksRefusesOrWarnsByPath)
{
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\x.txt", "excluded"));
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\y.bin", "declined"));
    ASSERT_TRUE(WriteFileBytes(m_data + L"\\z.bin", "accepted"));
    SettingsStore custom;
    custom.SetSecurityProfile(kProfileAdvanced);
    custom.AddExcludeEntry(L"*.txt");
    ASSERT_TRUE(custom.SaveAll());
    ASSERT_TRUE(WriteFileBytes(m_install + L"\\previous.log", ""));

    const auto shredOne = [&](const std::wstring& path, bool answer) {
        Manager manager;
        manager.Init();
        auto responder = Answer(answer);
        DocFile file;
        file.SetPath(path);
        return manager.ShredOne(&file);
    };
    EXPECT_EQ(kRunRefused, shredOne(m_data + L"\\x.txt", true));
    EXPECT_TRUE(m_asked.empty());
    EXPECT_TRUE(PathExists(m_data + L"\\x.txt"));

    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, ARRAYSIZE(windows));
    EXPECT_EQ(kRunRefused, shredOne(std::wstring(windows) + L"\\win.ini", true));
    ASSERT_EQ(1u, m_asked.size());
    EXPECT_EQ(Shown::kWarning, m_asked[0].kind);
    EXPECT_EQ(L"\"" + std::wstring(windows) +
                  L"\\win.ini\" is a system file/folder. It cannot be shredded.",
              m_asked[0].text);

    m_asked.clear();
    EXPECT_EQ(kRunRefused, shredOne(m_data + L"\\y.bin", false));
    EXPECT_TRUE(PathExists(m_data + L"\\y.bin"));
    Manager probe;
    probe.Init();
    EXPECT_FALSE(PathExists(probe.LogPath()));

    EXPECT_EQ(kRunDone, shredOne(m_data + L"\\z.bin", true));
    EXPECT_FALSE(PathExists(m_data + L"\\z.bin"));
    EXPECT_NE(std::wstring::npos, ReadText(probe.LogPath()).find(L"has been shredded"));
}

TEST_F(ShredManagerTest, PostShredActionsFollowTheBrowserVersion)
{
    Manager manager;
    SettingsStore high;
    high.SetSecurityProfile(kProfileHigh);
    UseProfile(high, manager);
    const int32_t all = kPostRecycleBin | kPostIEHistory | kPostIETempFiles | kPostIEAutoComplete;

    m_platform.ieVersion = L"8.0.6001";
    EXPECT_EQ(kPostIEHistory | kPostIETempFiles, manager.RunPostShredActions(all));
    ASSERT_EQ(1u, m_platform.cleanupStarts.size());
    EXPECT_EQ(m_install + L"\\OVSCCleanup.exe", m_platform.cleanupStarts[0]);
    EXPECT_TRUE(HistoryCleanupStarted);
    EXPECT_EQ(0, m_platform.historyClears);
    EXPECT_EQ(1, m_platform.recycleEmpties);
    EXPECT_EQ(0, m_platform.storageClears);

    m_platform.ieVersion = L"7.0";
    EXPECT_EQ(kPostIETempFiles, manager.RunPostShredActions(all));
    EXPECT_EQ(1, m_platform.historyClears);

    m_platform.ieVersion = L"6.0000";
    m_platform.storageResult = false;
    EXPECT_EQ(kPostIETempFiles | kPostIEAutoComplete, manager.RunPostShredActions(all));
    EXPECT_EQ(1, m_platform.storageClears);

    m_platform.ieVersion.clear();  // unreadable: the auto-complete bit stays
    EXPECT_EQ(kPostIEAutoComplete, manager.RunPostShredActions(kPostIEAutoComplete));

    // Without the profile's flags nothing is cleared.
    Manager lowManager;
    SettingsStore low;
    low.SetSecurityProfile(kProfileLow);
    UseProfile(low, lowManager);
    EXPECT_EQ(kPostRecycleBin, lowManager.RunPostShredActions(kPostRecycleBin));
}

TEST(ShredPlatformTest, ProtectedStorageThatCannotEnumerateReportsFailure)
{
    // Wine's provider is created but cannot enumerate its types.
    EXPECT_FALSE(ShredPlatform().ClearProtectedStorage());
}

}  // namespace

namespace {

// Firefox's profile list is another program's file: a "Path" holding a NUL
// or a bare CR names no file and is passed over, and the log never shows a
// line the run did not write.
TEST_F(ShredManagerTest, FirefoxProfilePathsWithControlCharactersArePassedOver)
{
    wchar_t appData[MAX_PATH] = {};
    ASSERT_EQ(S_OK, ::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                       SHGFP_TYPE_CURRENT, appData));
    const std::wstring mozilla = std::wstring(appData) + L"\\Mozilla";
    ASSERT_FALSE(PathExists(mozilla)) << "the test prefix holds a real Firefox profile list";
    PutString(HKEY_LOCAL_MACHINE, L"Software\\Mozilla\\Mozilla Firefox", L"CurrentVersion",
              L"10.0");
    PutString(HKEY_LOCAL_MACHINE, L"Software\\Mozilla\\Mozilla Firefox\\10.0\\Main",
              L"Install Directory", L"C:\\Program Files\\Mozilla Firefox");

    const std::wstring good = m_data + L"\\good";
    const std::wstring truncated = m_data + L"\\cut";  // what a NUL would cut a path to
    for (const auto& folder : {good, truncated})
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(good + L"\\cookies.sqlite", "cookies"));
    ASSERT_TRUE(WriteFileBytes(truncated + L"\\keep.txt", "keep"));
    const std::string narrowData(m_data.begin(), m_data.end());  // scratch paths are ASCII
    const struct {
        const char* what;
        std::string path;
    } profiles[] = {
        {"good", narrowData + "\\good"},
        {"NUL", narrowData + "\\cut" + std::string(1, '\0') + "\\x"},
        {"bare CR", narrowData + "\\cr\r->File C:\\forged.txt has been shredded:"},
        {"escape", narrowData + "\\esc\x1b[2K"},
    };
    std::string ini = "[General]\r\nStartWithLastProfile=1\r\n";
    int index = 0;
    for (const auto& profile : profiles)
        ini += "\r\n[Profile" + std::to_string(index++) + "]\r\nName=" + profile.what +
               "\r\nIsRelative=0\r\nPath=" + profile.path + "\r\n";
    ASSERT_TRUE(::SHCreateDirectoryExW(nullptr, (mozilla + L"\\FireFox").c_str(), nullptr) ==
                ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileBytes(mozilla + L"\\FireFox\\profiles.ini", ini));

    Manager manager;
    SettingsStore custom;
    custom.SetSecurityProfile(kProfileAdvanced);
    custom.ClearProfileBody();
    custom.SetEraseMethod(kEraseOnePass);
    custom.SetShredCookies(true);
    custom.SetConfirmShredCookies(false);
    UseProfile(custom, manager);
    const RunResult result = manager.ShredAssets(kListFirefox);
    testsupport::RemoveTree(mozilla);

    EXPECT_EQ(kRunDone, result);
    EXPECT_FALSE(PathExists(good + L"\\cookies.sqlite"));
    EXPECT_TRUE(PathExists(truncated + L"\\keep.txt"));
    std::string log;
    ASSERT_TRUE(testsupport::ReadFileBytes(LogPath(manager), log));
    for (size_t i = 0; i < log.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(log[i]);
        const bool lineBreak = (c == '\r' && i + 1 < log.size() && log[i + 1] == '\n') ||
                               (c == '\n' && i > 0 && log[i - 1] == '\r');
        EXPECT_TRUE(lineBreak || (c >= 0x20 && c != 0x7F)) << "byte " << int{c} << " at " << i;
    }
    // One line per profile that names a file: the good one.
    size_t lines = 0;
    for (size_t at = log.find("\r\n->"); at != std::string::npos; at = log.find("\r\n->", at + 1))
        ++lines;
    EXPECT_EQ(1u, lines) << log;
    // The file is logged by the random name it had when it went.
    const size_t shredded = log.find("->File " + narrowData + "\\good\\");
    ASSERT_NE(std::string::npos, shredded) << log;
    EXPECT_LT(log.find(" has been shredded:", shredded), log.find("\r\n", shredded)) << log;
}

}  // namespace
