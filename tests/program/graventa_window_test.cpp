// The resident Graventa.exe driven the way the other deliverables drive it:
// window-text commands, posted hot keys and the end of the session, sent
// from this process to the real program running under Wine.
#include "engine/traces/browser.h"
#include "ipc/main_window_command.h"
#include "ipc/tray_notify_client.h"
#include "tests/common/tray_recorder.h"
#include "tests/program/graventa_test_support.h"
#include "win32/registry.h"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <thread>

namespace graventatest {
namespace {

// The threads of process `processId` now.
std::set<DWORD> ThreadsOf(DWORD processId)
{
    std::set<DWORD> threads;
    win32::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{sizeof(entry)};
    if (snapshot && ::Thread32First(snapshot.get(), &entry)) {
        do {
            if (entry.th32OwnerProcessID == processId)
                threads.insert(entry.th32ThreadID);
        } while (::Thread32Next(snapshot.get(), &entry));
    }
    return threads;
}

constexpr int kWarnText = 1004;
constexpr int kQuestionText = 1005;
constexpr int kProgressStop = 1002;
constexpr wchar_t kLongPathPrefix[] = L"\\\\?\\";
constexpr wchar_t kSkipShutdownShred[] =
    L"Shred at shutdown is enabled. Do you want to skip shredding?";

std::wstring TitleAfter(UINT code, const wchar_t* text)
{
    EXPECT_TRUE(SendMainWindowCommand(code, text));
    const HWND window = ::FindWindowW(nullptr, kMainWindowTitle);
    wchar_t title[64] = {};
    if (window)
        ::GetWindowTextW(window, title, ARRAYSIZE(title));
    return window ? title : L"<no window titled Graventa>";
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The window's thread is held up in a handler (a SendMessage of ours gets no
// answer in time).
bool IsBusy(HWND window)
{
    DWORD_PTR result = 0;
    return !::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 300, &result) &&
           ::GetLastError() == ERROR_TIMEOUT;
}

// A thread of the test that must not outlive the child it talks to.
class Sender {
public:
    Sender(GraventaProcess& process, std::function<void()> send)
        : m_process(process), m_thread(std::move(send))
    {
    }
    ~Sender()
    {
        m_process.Stop();  // frees a send still waiting for an answer
        m_thread.join();
    }

private:
    GraventaProcess& m_process;
    std::thread m_thread;
};

using Resident = GraventaTest;

TEST_F(Resident, IsAloneInItsSessionAndGetsItsTitleBackAfterEveryCommand)
{
    StartResident();
    GraventaProcess second;
    ASSERT_TRUE(second.Start(exe, {}, install.Path()));
    ASSERT_TRUE(second.WaitForExit(kPatienceMs));
    const auto windows = WindowsTitledGraventa();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0], resident.Window());

    // Commands without a visible effect here, an unknown browser verb, codes
    // that mean nothing (the bleach codes have tests of their own).
    for (const UINT code :
         {0xBABE01u, 0xBABE06u, 0xBABE0Au, 0xBABE0Fu, 0xBABE10u, 0xBABE11u, 0xBABE12u, 0x1234u})
        EXPECT_EQ(TitleAfter(code, nullptr), L"Graventa") << std::hex << code;
    EXPECT_EQ(TitleAfter(kCommandFirefox, L"shredff"), L"Graventa");
    EXPECT_EQ(TitleAfter(kCommandInternetExplorer, L"NoSuchVerb"), L"Graventa");
    EXPECT_EQ(FindDialogOf(resident.Id(), kProgressStop), nullptr);

    // A command never becomes the title, not even one that means nothing;
    // only a plain title does.
    const HWND window = resident.Window();
    EXPECT_EQ(SendCommand(window, 0xBABE0A, L"Elsewhere"), L"Graventa");
    EXPECT_EQ(SendCommand(window, kCommandShredOne, L""), L"Graventa");
    EXPECT_EQ(SendCommand(window, 0, L"Elsewhere"), L"Elsewhere");
    EXPECT_EQ(SendCommand(window, 0, L"Graventa"), L"Graventa");
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_FALSE(::IsWindowVisible(window));
}

TEST_F(Resident, ShredsAWholeFolderTreeAfterTheQuestion)
{
    const std::wstring victim = data / L"victim";
    const auto files = MakeTree(victim);
    StartResident({.unattended = false});

    EXPECT_EQ(TitleAfter(kCommandShredOne, victim.c_str()), L"Graventa");
    HWND question = nullptr;
    ASSERT_TRUE(DialogShows(resident.Id(), kQuestionText,
                            L"Are you sure you want to shred \"" + victim + L"\"?", question));
    Press(question, IDOK);

    ASSERT_TRUE(WaitUntil([&] { return LogIsComplete(); }));
    EXPECT_FALSE(testsupport::PathExists(victim));
    const std::string text = ReadText(log);
    EXPECT_EQ(CountOf(text, "->File "), files.size()) << text;
    EXPECT_EQ(CountOf(text, "->Folder "), 2u) << text;
}

TEST_F(Resident, WarnsAboutAProtectedPathAndLeavesItAlone)
{
    const std::wstring library = Put(data / L"keep.dll", 3000);
    StartResident({.unattended = false});

    SendMainWindowCommand(kCommandShredOne, library.c_str());
    HWND warning = nullptr;
    ASSERT_TRUE(DialogShows(resident.Id(), kWarnText,
                            L"\"" + library + L"\" is a system file/folder. It cannot be shredded.",
                            warning));
    EXPECT_EQ(FindDialogOf(resident.Id(), kQuestionText), nullptr);
    Press(warning, IDOK);

    // The operation is over once its progress window is gone.
    ASSERT_TRUE(WaitUntil([&] { return !FindDialogOf(resident.Id(), kProgressStop); }));
    EXPECT_TRUE(Untouched({library}));
    EXPECT_FALSE(testsupport::PathExists(log));
}

TEST_F(Resident, KeepsAnExcludedFolderInsideAShreddedTree)
{
    const std::wstring victim = data / L"victim";
    const auto files = MakeTree(victim);
    const std::wstring kept = victim + L"\\kept";
    ASSERT_TRUE(::CreateDirectoryW(kept.c_str(), nullptr));
    const std::wstring keptFile = Put(kept + L"\\precious.txt", 1234);
    SaveProfile({.excluded = {kept}});
    StartResident({.unattended = false});

    SendMainWindowCommand(kCommandShredOne, victim.c_str());
    HWND question = nullptr;
    ASSERT_TRUE(DialogShows(resident.Id(), kQuestionText,
                            L"Are you sure you want to shred \"" + victim + L"\"?", question));
    Press(question, IDOK);

    ASSERT_TRUE(WaitUntil([&] { return LogIsComplete(); }));
    EXPECT_TRUE(NoneLeft(files));
    EXPECT_TRUE(Untouched({keptFile}));
    EXPECT_NE(ReadText(log).find("added to the do not shred list"), std::string::npos);
}

TEST_F(Resident, RefusesAPathTooLongForTheEngineWithALogLine)
{
    // A real file behind the long path: nothing may reach it.
    std::wstring folder = data.Path();
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(60, L'd');
        ASSERT_TRUE(::CreateDirectoryW((kLongPathPrefix + folder).c_str(), nullptr));
    }
    const std::wstring target = folder + L"\\target.txt";
    const std::wstring reachable = Put(kLongPathPrefix + target, 500);
    const std::wstring errors = data / L"stderr.txt";
    StartResident({.stderrPath = errors});

    EXPECT_EQ(TitleAfter(kCommandShredOne, target.c_str()), L"Graventa");
    ASSERT_TRUE(WaitUntil([&] { return LogIsComplete(); }));
    EXPECT_NE(ReadText(log).find("->Error opening " + Narrow(target) + " for delete:"),
              std::string::npos)
        << ReadText(log);
    EXPECT_TRUE(Untouched({reachable}));
    resident.Stop();
    EXPECT_EQ(ReadText(errors).find("no answer"), std::string::npos) << "nothing is asked";
}

TEST_F(Resident, StartsOneShredAllAtATime)
{
    const std::wstring first = Put(data / L"first.txt", 2000);
    const std::wstring second = Put(data / L"second.txt", 3000);
    SaveProfile({.files = {first, second}});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    balloons.HoldNextBalloon();
    StartResident();

    EXPECT_EQ(TitleAfter(kCommandShredAll, nullptr), L"Graventa");
    // The run is pinned where it announces itself.
    ASSERT_TRUE(balloons.WaitForHeldSender());
    const HWND progress = FindDialogOf(resident.Id(), kProgressStop);
    ASSERT_TRUE(progress);
    EXPECT_FALSE(::IsWindowVisible(progress)) << "an ordinary shred-all starts hidden";

    EXPECT_EQ(TitleAfter(kCommandShredAll, nullptr), L"Graventa");
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(progress) != FALSE; }))
        << "a second request brings the running shred forward";
    balloons.ReleaseHeldBalloon();

    ASSERT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
    EXPECT_TRUE(NoneLeft({first, second}));
    const auto heard = balloons.Balloons();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].id, kBalloonShredAllStarts);
    EXPECT_EQ(heard[0].title, L"Shred in progress");
    EXPECT_EQ(heard[0].text, L"Click to check the status of your shred.");
    EXPECT_EQ(heard[1].title, L"Shred complete");
}

TEST_F(Resident, StopsARunningShredAllWhenTheSessionEnds)
{
    const std::vector<std::wstring> files = {Put(data / L"a.txt", 100), Put(data / L"b.txt", 200),
                                             Put(data / L"c.txt", 300)};
    SaveProfile({.files = files});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    balloons.HoldNextBalloon();
    StartResident();
    SendMainWindowCommand(kCommandShredAll, nullptr);
    ASSERT_TRUE(balloons.WaitForHeldSender());

    const HWND window = resident.Window();
    {
        Sender ending(resident, [window] { ::SendMessageW(window, WM_ENDSESSION, TRUE, 0); });
        // Held in the handler: it has told the run and waits for its end.
        ASSERT_TRUE(WaitUntil([&] { return IsBusy(window); }));
        balloons.ReleaseHeldBalloon();
        ASSERT_TRUE(resident.WaitForExit(kPatienceMs)) << "the session end quits after the run";
    }
    EXPECT_NE(ReadText(log).find("->Shredding is being terminated because of a Shutdown operation"),
              std::string::npos)
        << ReadText(log);
    EXPECT_TRUE(Untouched(files));
}

TEST_F(Resident, InstallsTheFirefoxExtensionBeforeTheSenderGoesOn)
{
    const std::wstring version = L"115.0 (x64 en-US)";
    const std::wstring machineKey = kFirefoxMachineKey;
    testsupport::PutString(HKEY_LOCAL_MACHINE, machineKey, L"CurrentVersion", version);
    testsupport::PutString(HKEY_LOCAL_MACHINE, machineKey + L"\\" + version + L"\\Main",
                           L"Install Directory", data.Path());
    win32::DeleteTree(HKEY_CURRENT_USER, kFirefoxExtensionsKey);
    StartResident();

    auto extension = [] {
        return testsupport::GetRaw(HKEY_CURRENT_USER, kFirefoxExtensionsKey, kFirefoxExtensionId);
    };
    EXPECT_EQ(TitleAfter(kCommandFirefox, L"installffbho"), L"Graventa");
    EXPECT_FALSE(extension().exists) << "browser verbs match exactly";
    EXPECT_EQ(TitleAfter(kCommandFirefox, L"InstallFFBho"), L"Graventa");
    const auto written = extension();
    EXPECT_TRUE(written.exists);
    EXPECT_EQ(written.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TitleAfter(kCommandFirefox, L"RemoveFFBho"), L"Graventa");
    EXPECT_FALSE(extension().exists);

    win32::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla");
    win32::DeleteTree(HKEY_CURRENT_USER, L"Software\\Mozilla");
}

TEST_F(Resident, ReregistersTheHotKeyWhenToldTheSettingsChanged)
{
    SaveProfile({.hotKey = L'S'});
    StartResident();
    auto taken = [](UINT modifiers, UINT key) {
        if (::RegisterHotKey(nullptr, 0x4242, modifiers, key)) {
            ::UnregisterHotKey(nullptr, 0x4242);
            return false;
        }
        EXPECT_EQ(::GetLastError(), 1409u);
        return true;
    };
    EXPECT_TRUE(taken(MOD_CONTROL | MOD_ALT, 'S'));

    // Behind the program's back: nothing changes until it is told.
    testsupport::PutString(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"keyCodeVals",
                           L"K+CTRL+SHIFT");
    EXPECT_TRUE(taken(MOD_CONTROL | MOD_ALT, 'S'));
    EXPECT_EQ(TitleAfter(kCommandReloadHotKey, nullptr), L"Graventa");
    EXPECT_FALSE(taken(MOD_CONTROL | MOD_ALT, 'S'));
    EXPECT_TRUE(taken(MOD_CONTROL | MOD_SHIFT, 'K'));

    testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"ActivateOnKeyPress", 0);
    EXPECT_EQ(TitleAfter(kCommandReloadHotKey, nullptr), L"Graventa");
    EXPECT_FALSE(taken(MOD_CONTROL | MOD_SHIFT, 'K'));
}

TEST_F(Resident, StartsAnInteractiveShredAllOnItsHotKey)
{
    const std::wstring file = Put(data / L"hot.txt", 4000);
    SaveProfile({.files = {file}, .hotKey = L'S'});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    StartResident();

    ::PostMessageW(resident.Window(), WM_HOTKEY, 1, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'S'));
    ASSERT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
    EXPECT_EQ(balloons.CountWithId(kBalloonShredAllStarts), 1u);
    EXPECT_TRUE(NoneLeft({file}));
}

TEST_F(Resident, NeverHoldsBackALogOff)
{
    const std::wstring file = Put(data / L"stays.txt", 100);
    SaveProfile({.files = {file}, .shredAtShutdown = true});
    StartResident({.unattended = false});

    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(resident.Window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                      SMTO_NORMAL, kPatienceMs, &answer))
        << "no question may hold the log-off up";
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    EXPECT_FALSE(resident.HasExited());
    EXPECT_TRUE(Untouched({file}));
    EXPECT_FALSE(testsupport::PathExists(log));
}

class ShutdownAnswer : public GraventaTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ShutdownAnswer, AsksAndShredsUnlessTheUserSkips)
{
    const bool skip = GetParam();
    const std::vector<std::wstring> files = {Put(data / L"a.txt", 100), Put(data / L"b.txt", 9000)};
    SaveProfile({.files = files, .shredAtShutdown = true});
    StartResident({.unattended = false});

    const HWND window = resident.Window();
    std::atomic<LRESULT> answer{-1};
    {
        Sender asking(resident, [&] { answer = ::SendMessageW(window, WM_QUERYENDSESSION, 0, 0); });
        HWND question = nullptr;
        ASSERT_TRUE(DialogShows(resident.Id(), kQuestionText, kSkipShutdownShred, question));
        Press(question, skip ? IDOK : IDCANCEL);
        if (skip) {
            ASSERT_TRUE(WaitUntil([&] { return answer != -1; }));
            EXPECT_EQ(answer.load(), TRUE);
            EXPECT_FALSE(resident.HasExited());
        } else {
            ASSERT_TRUE(resident.WaitForExit(kPatienceMs)) << "the process ends after the shred";
        }
    }
    if (skip) {
        EXPECT_TRUE(Untouched(files));
    } else {
        EXPECT_TRUE(NoneLeft(files));
        EXPECT_EQ(CountOf(ReadText(log), "->File "), files.size());
    }
}

TEST_F(Resident, HoldsTheSessionWhileAShutdownShredOutlastsItsWait)
{
    const std::wstring file = data / L"twice.txt";
    SaveProfile({.files = {file}, .shredAtShutdown = true});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    StartResident({.unattended = false});

    // An earlier shred-all has signalled the end of a run before.
    Put(file, 100);
    const std::set<DWORD> idle = ThreadsOf(resident.Id());
    SendMainWindowCommand(kCommandShredAll, nullptr);
    ASSERT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
    ASSERT_TRUE(NoneLeft({file}));
    // Its balloon goes out before its thread ends; a shutdown that came in
    // between would be taken by that run (which is how it should be).
    ASSERT_TRUE(WaitUntil([&] {
        const std::set<DWORD> now = ThreadsOf(resident.Id());
        return std::includes(idle.begin(), idle.end(), now.begin(), now.end());
    })) << "the first shred-all's threads end";

    Put(file, 200);
    balloons.HoldNextBalloon();
    const HWND window = resident.Window();
    std::atomic<LRESULT> answer{-1};
    Sender asking(resident, [&] { answer = ::SendMessageW(window, WM_QUERYENDSESSION, 0, 0); });
    HWND question = nullptr;
    ASSERT_TRUE(DialogShows(resident.Id(), kQuestionText, kSkipShutdownShred, question));
    Press(question, IDCANCEL);
    ASSERT_TRUE(balloons.WaitForHeldSender());
    EXPECT_TRUE(::IsWindowVisible(FindDialogOf(resident.Id(), kProgressStop)))
        << "a shred at shutdown shows itself at once";
    ASSERT_TRUE(WaitUntil([&] { return answer != -1; }));
    EXPECT_EQ(answer.load(), 0) << "the session may not end yet";
    EXPECT_FALSE(resident.HasExited());
    EXPECT_TRUE(Untouched({file}));

    balloons.ReleaseHeldBalloon();
    ASSERT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds, 2));
    EXPECT_EQ(balloons.CountWithId(kBalloonShredStartsOrStopped), 1u) << "unattended";
    EXPECT_TRUE(NoneLeft({file}));
}

INSTANTIATE_TEST_SUITE_P(YesOrNo, ShutdownAnswer, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Skip" : "Shred"; });

TEST_F(Resident, AsksTheBleachServiceToDropTheDesktopIcon)
{
    ControlPipe pipe;
    ASSERT_TRUE(pipe.Ready());
    ASSERT_TRUE(pipe.Listen());
    StartResident();
    std::wstring title;
    std::thread sender([&] { title = TitleAfter(kCommandUnregisterIcon, nullptr); });
    DWORD cbRead = 0;
    const std::wstring text = pipe.ReadMessage(&cbRead);
    sender.join();

    EXPECT_EQ(text.rfind(L"$OVSC$:4192:" + std::to_wstring(resident.Id()) + L":", 0), 0u) << text;
    EXPECT_EQ(cbRead, (text.size() + 1) * sizeof(wchar_t)) << "the text and its NUL";
    EXPECT_EQ(title, L"Graventa");
}

// A command that keeps the window past the sender's limit (the service's
// pipe is busy: the window waits for it) fails the request. The window still
// carries its title, so the next request finds it and is carried out.
TEST_F(Resident, StaysReachableAfterASenderGaveUpOnIt)
{
    const std::wstring file = Put(data / L"next.txt", 700);
    SaveProfile({.files = {file}});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    ControlPipe pipe;
    ASSERT_TRUE(pipe.Ready());
    ASSERT_TRUE(pipe.Occupy());
    StartResident();
    const HWND window = resident.Window();

    EXPECT_EQ(SendMainWindowCommand(kCommandUnregisterIcon, nullptr), 0);
    ASSERT_TRUE(IsBusy(window)) << "still waiting for the pipe";
    ASSERT_TRUE(pipe.Listen());
    EXPECT_EQ(pipe.ReadMessage().rfind(L"$OVSC$:4192:" + std::to_wstring(resident.Id()) + L":", 0),
              0u)
        << "the command was carried out all the same";
    ASSERT_TRUE(WaitUntil([&] { return !IsBusy(window); }));

    EXPECT_EQ(TitleAfter(kCommandShredAll, nullptr), L"Graventa");
    ASSERT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
    EXPECT_TRUE(NoneLeft({file}));
}

// The end of the session waits for every operation the window started: a
// shred-one still asking its question is answered and carried out before
// the program ends.
TEST_F(Resident, EndsWithTheSessionOnlyAfterARunningShredOne)
{
    const std::wstring victim = Put(data / L"victim.txt", 5000);
    StartResident({.unattended = false});
    SendMainWindowCommand(kCommandShredOne, victim.c_str());
    HWND question = nullptr;
    ASSERT_TRUE(DialogShows(resident.Id(), kQuestionText,
                            L"Are you sure you want to shred \"" + victim + L"\"?", question));

    const HWND window = resident.Window();
    {
        Sender ending(resident, [window] { ::SendMessageW(window, WM_ENDSESSION, TRUE, 0); });
        ASSERT_TRUE(WaitUntil([&] { return IsBusy(window); }))
            << "the session end waits for the shred-one";
        EXPECT_TRUE(Untouched({victim}));
        Press(question, IDOK);
        ASSERT_TRUE(resident.WaitForExit(kPatienceMs)) << "the session end quits after the shred";
    }
    EXPECT_TRUE(NoneLeft({victim}));
    ASSERT_TRUE(LogIsComplete());
    EXPECT_EQ(CountOf(ReadText(log), "has been shredded"), 1u) << ReadText(log);
}

}  // namespace
}  // namespace graventatest
