// Graventa.exe started with a verb: it acts once and ends. Run as a real
// process under Wine, beside a resident instance where the verb needs one.
#include "ipc/main_window_command.h"
#include "ipc/tray_notify_client.h"
#include "program/graventa_app.h"
#include "shred/shred_manager.h"
#include "tests/common/tray_recorder.h"
#include "tests/program/graventa_test_support.h"

#include <gtest/gtest.h>
#include <thread>

namespace graventatest {
namespace {

constexpr wchar_t kAutoCleanHistory[] = L"Autocleanhistory";
constexpr int kQuestionText = 1005;
// What an unattended child writes on standard error for a dialog it refused.
constexpr char kUnanswered[] = "no answer";

bool AutoCleanHistoryIsThere()
{
    return testsupport::GetRaw(HKEY_CURRENT_USER, testsupport::kSettingsKey, kAutoCleanHistory)
        .exists;
}

using Verbs = GraventaTest;

TEST_F(Verbs, ShredAllWithoutAResidentDoesNothing)
{
    const std::wstring file = Put(data / L"stays.txt", 100);
    SaveProfile({.files = {file}});
    testsupport::TrayRecorder balloons;
    RunVerb({L"ShredAll"});
    EXPECT_TRUE(Untouched({file}));
    EXPECT_FALSE(testsupport::PathExists(log));
    EXPECT_TRUE(balloons.Balloons().empty());
}

TEST_F(Verbs, ShredAllInAnyCaseHandsAnUnattendedRunToTheResident)
{
    const std::wstring file = Put(data / L"goes.txt", 100);
    SaveProfile({.files = {file}});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    StartResident();

    RunVerb({L"sHREDaLL"});
    ASSERT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
    EXPECT_EQ(balloons.CountWithId(kBalloonShredStartsOrStopped), 1u);
    EXPECT_EQ(balloons.CountWithId(kBalloonShredAllStarts), 0u) << "no interactive run";
    EXPECT_TRUE(NoneLeft({file}));
    EXPECT_EQ(WindowsTitledGraventa().size(), 1u);
}

// A listed file that has another name elsewhere loses only its listed name:
// the other name keeps every byte.
TEST_F(Verbs, ShredAllKeepsTheContentsThatAnotherNameHolds)
{
    testsupport::ScratchFolder elsewhere;
    const std::wstring kept = Put(elsewhere / L"kept.txt", 70000);
    const std::wstring listed = data / L"listed.txt";
    ASSERT_TRUE(::CreateHardLinkW(listed.c_str(), kept.c_str(), nullptr));
    SaveProfile({.files = {listed}});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    StartResident();

    RunVerb({L"ShredAll"});
    ASSERT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds));
    ASSERT_TRUE(WaitUntil([&] { return LogIsComplete(); }));
    EXPECT_TRUE(NoneLeft({listed}));
    EXPECT_TRUE(Untouched({kept}));
    const std::string text = ReadText(log);
    EXPECT_EQ(CountOf(text, "->File " + std::string(listed.begin(), listed.end()) +
                                " has other names that still hold its contents"),
              1u)
        << text;
    EXPECT_EQ(CountOf(text, "->Error"), 0u) << text;
}

// A verb forwarded by a scheduled task while the resident is busy long past
// the senders' limit, so long that it seems hung: the service's control pipe
// is taken, and the resident waits for it until the pipe's own limit. The
// verb waits for the resident, and the run it asks for takes place.
struct BusyResidentCase {
    const wchar_t* verb;
    int balloon;  // what shows that the run took place
};

void PrintTo(const BusyResidentCase& c, std::ostream* out)
{
    *out << testing::PrintToString(std::wstring(c.verb));
}

class VerbForBusyResident : public GraventaTest,
                            public ::testing::WithParamInterface<BusyResidentCase> {};

TEST_P(VerbForBusyResident, WaitsUntilTheResidentTakesIt)
{
    const std::wstring file = Put(data / L"scheduled.txt", 900);
    SaveProfile({.files = {file}});
    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    ControlPipe pipe;
    ASSERT_TRUE(pipe.Ready());
    ASSERT_TRUE(pipe.Occupy());
    StartResident();
    const HWND window = resident.Window();

    // The text is the title, so that a window that still took command texts
    // for titles stays findable: only the verb's wait is tried here.
    std::thread holder([window] {
        ::SendMessageW(window, WM_SETTEXT, kCommandUnregisterIcon,
                       reinterpret_cast<LPARAM>(L"Graventa"));
    });
    const bool hung = WaitUntil([&] { return ::IsHungAppWindow(window) != FALSE; });
    bool started = false;
    bool ended = false;
    if (hung) {
        GraventaProcess verb;
        started = verb.Start(exe, {GetParam().verb}, install.Path());
        // The resident gives the pipe up at its limit, then takes the verb's
        // command.
        ended = started && verb.WaitForExit(kPatienceMs);
    }
    // A bleach writes to the pipe.
    const bool listening = pipe.Listen();
    holder.join();
    ASSERT_TRUE(hung) << "the resident never seemed hung";
    ASSERT_TRUE(started);
    EXPECT_TRUE(ended);
    ASSERT_TRUE(listening);
    EXPECT_TRUE(balloons.WaitForBalloon(GetParam().balloon));
}

INSTANTIATE_TEST_SUITE_P(Scheduled, VerbForBusyResident,
                         ::testing::Values(BusyResidentCase{L"ShredAll", kBalloonShredEnds},
                                           BusyResidentCase{L"DiskBleach", kBalloonBleachStarts}),
                         [](const auto& info) {
                             const std::wstring verb = info.param.verb;
                             return std::string(verb.begin(), verb.end());
                         });

TEST_F(Verbs, ShredOneFileShredsATreeAndWaitsForIt)
{
    const std::wstring victim = data / L"victim";
    const auto files = MakeTree(victim);
    GraventaProcess verb;
    ASSERT_TRUE(verb.Start(exe, {L"ShredOneFile", victim, L"ignored"}, install.Path(),
                           {.unattended = false}));
    HWND question = nullptr;
    ASSERT_TRUE(DialogShows(verb.Id(), kQuestionText,
                            L"Are you sure you want to shred \"" + victim + L"\"?", question));
    EXPECT_TRUE(Untouched(files)) << "nothing before the answer";
    Press(question, IDOK);
    ASSERT_TRUE(verb.WaitForExit(kPatienceMs));
    EXPECT_FALSE(testsupport::PathExists(victim));
    ASSERT_TRUE(LogIsComplete());
    EXPECT_EQ(CountOf(ReadText(log), "->File "), files.size());
}

// Under the plain Win32 rules these paths name devices; Graventa shreds the
// files of those names and logs exactly that.
TEST_F(Verbs, ShredOneFileShredsFilesNamedLikeDevices)
{
    SaveProfile({});  // one overwrite pass
    for (const wchar_t* name : {L"com1.txt", L"NUL", L"aux.c"}) {
        const std::wstring file = data / name;
        SCOPED_TRACE(testing::PrintToString(file));
        ASSERT_TRUE(testsupport::WriteFileBytes(L"\\\\?\\" + file, std::string(4000, 'x')));
        GraventaProcess verb;
        ASSERT_TRUE(
            verb.Start(exe, {L"ShredOneFile", file}, install.Path(), {.unattended = false}));
        HWND question = nullptr;
        ASSERT_TRUE(DialogShows(verb.Id(), kQuestionText,
                                L"Are you sure you want to shred \"" + file + L"\"?", question));
        Press(question, IDOK);
        ASSERT_TRUE(verb.WaitForExit(kPatienceMs));
        EXPECT_FALSE(testsupport::PathExists(L"\\\\?\\" + file));
        ASSERT_TRUE(LogIsComplete());
        const std::string text = ReadText(log);
        EXPECT_EQ(CountOf(text, "has been shredded"), 1u) << text;
        EXPECT_EQ(CountOf(text, "->Error"), 0u) << text;
    }
}

TEST_F(Verbs, ShredOneFileMatchesOnlyInItsOwnCase)
{
    const std::wstring victim = data / L"victim";
    const auto files = MakeTree(victim);
    const std::wstring errors = data / L"stderr.txt";
    RunVerb({L"shredonefile", victim}, {.stderrPath = errors});
    EXPECT_TRUE(Untouched(files));
    EXPECT_FALSE(testsupport::PathExists(log));
    EXPECT_EQ(ReadText(errors).find(kUnanswered), std::string::npos) << "nothing is asked";
}

TEST_F(Verbs, ShredOneFileLeavesAnExcludedPathUnaskedAndUntouched)
{
    const std::wstring kept = Put(data / L"kept.txt", 321);
    SaveProfile({.excluded = {kept}});
    const std::wstring errors = data / L"stderr.txt";
    RunVerb({L"ShredOneFile", kept}, {.stderrPath = errors});
    EXPECT_TRUE(Untouched({kept}));
    EXPECT_FALSE(testsupport::PathExists(log));
    EXPECT_EQ(ReadText(errors).find(kUnanswered), std::string::npos) << ReadText(errors);
}

TEST_F(Verbs, ShredOneFileTakesAnEmptyPathForNone)
{
    const std::wstring errors = data / L"stderr.txt";
    RunVerb({L"ShredOneFile", L""}, {.stderrPath = errors});
    EXPECT_EQ(ReadText(errors).find(kUnanswered), std::string::npos) << ReadText(errors);
    EXPECT_FALSE(testsupport::PathExists(log));
}

TEST_F(Verbs, ShredOneFileRefusesAPathTooLongForTheEngine)
{
    std::wstring path = data.Path();
    while (path.size() < MAX_PATH)
        path += L"\\" + std::wstring(40, L'x');
    const std::wstring errors = data / L"stderr.txt";
    RunVerb({L"ShredOneFile", path}, {.stderrPath = errors});
    EXPECT_EQ(ReadText(errors).find(kUnanswered), std::string::npos) << "refused before asking";
    ASSERT_TRUE(LogIsComplete());
    const std::string text = ReadText(log);
    EXPECT_NE(
        text.find("->Error opening " + std::string(path.begin(), path.end()) + " for delete:"),
        std::string::npos)
        << text;
    EXPECT_EQ(CountOf(text, "->Error"), 1u);
}

TEST_F(Verbs, ClearHistoryDeletesTheCleanUpRequest)
{
    testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey, kAutoCleanHistory, 1);
    RunVerb({L"clearhistory"});
    EXPECT_FALSE(AutoCleanHistoryIsThere());
}

TEST_F(Verbs, TheResidentStartsTheCleanUpProgramWhileItIsRequested)
{
    ASSERT_TRUE(::CopyFileW(BuiltProgram(SCORAVEL_CLEANUP_STUB_EXE).c_str(),
                            (install / L"OVSCCleanup.exe").c_str(), FALSE));
    testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey, kAutoCleanHistory, 1);
    StartResident();
    EXPECT_TRUE(WaitUntil([&] { return testsupport::PathExists(install / L"cleanup-ran.txt"); }));
    EXPECT_TRUE(AutoCleanHistoryIsThere()) << "only ClearHistory deletes the request";
}

// The history store behind a platform of the test's own: Wine's store
// cannot clear anything, so what is seen here is that it was asked.
class RecordingPlatform : public ShredPlatform {
public:
    bool ClearUrlHistory() override
    {
        ++asked;
        return false;
    }
    int asked = 0;
};

TEST(ClearHistory, AsksTheHistoryStoreAndDeletesTheRequestEvenWhenItFails)
{
    testsupport::ClearProductKeys();
    testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey, kAutoCleanHistory, 1);
    RecordingPlatform platform;
    SetShredPlatform(&platform);
    ClearInternetExplorerHistory();
    SetShredPlatform(nullptr);
    EXPECT_EQ(platform.asked, 1);
    EXPECT_FALSE(AutoCleanHistoryIsThere());
    testsupport::ClearProductKeys();
}

}  // namespace
}  // namespace graventatest
