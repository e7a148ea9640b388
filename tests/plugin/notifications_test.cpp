// CTWNotifications serving the real per-user tray pipe to the host's tray,
// balloon clicks reaching a separate "Graventa" process, the server going on
// once the host let go of the subscription, senders that come together, and
// a pipe name that another process took first, and who else may use it.
#include "ipc/tray_notify_client.h"
#include "tests/commands/graventa_recorder.h"
#include "tests/common/debug_output_recorder.h"
#include "tests/common/open_recorder.h"
#include "tests/common/pipe_rights.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "tests/plugin/host_test_support.h"

#include <sddl.h>

#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace {

using fwhost::CHostTray;
using testsupport::kPatienceMs;

class Notifications : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        ASSERT_HRESULT_SUCCEEDED(hosttest::InProcessCreator(
            IID_IFWTWTraySubscribe, IID_IFWTWTraySubscribe, subscriber.put_void()));
        ASSERT_EQ(S_OK, subscriber->Subscribe(tray.get()));
    }
    // The server serves on for the rest of this process (each case runs in
    // one of its own), holding the tray it was given last.
    void TearDown() override
    {
        subscriber.reset();
        tray.reset();
        ProductRegistryTest::TearDown();
    }

    // Sends from a thread of its own, as Graventa's workers do.
    static bool SendFromWorker(const wchar_t* title, const wchar_t* text, int id)
    {
        bool sent = false;
        std::thread([&] { sent = hosttest::SendBalloon(title, text, id); }).join();
        return sent;
    }

    win32::ComPtr<IFWTWTraySubscribe> subscriber;
    win32::ComPtr<CHostTray> tray{new CHostTray};
};

TEST_F(Notifications, BalloonsFromTheClientReachTheHostsTray)
{
    const std::wstring longText(kTrayMessageChars, L'x');
    const struct {
        const wchar_t* title;
        std::wstring text;
        int id;
        std::wstring shownText;
    } rows[] = {
        {L"Shred", L"Done", 28, L"Done"},
        {L"Zarev Ozi", L"100% <done> & more", 26, L"100% <done> & more"},
        {L"Bl\u00e9ach \u6f22", L" ", 42, L" "},
        // Cut by the sender: the id and second separator are lost with it.
        {L"Long", longText, 44, {}},
        {L"Last", L"Text", -7, L"Text"},
    };
    size_t shown = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        ASSERT_TRUE(SendFromWorker(row.title, row.text.c_str(), row.id));
        if (row.shownText.empty())
            continue;
        ASSERT_TRUE(tray->WaitForBalloons(++shown, kPatienceMs));
        const CHostTray::Balloon balloon = tray->Balloons().back();
        EXPECT_EQ(row.title, balloon.title);
        EXPECT_EQ(row.shownText, balloon.text);
        EXPECT_EQ(static_cast<UINT>(row.id), balloon.id);
        EXPECT_EQ(1u, balloon.kind);
        EXPECT_TRUE(balloon.hasCallback);
    }
    EXPECT_EQ(shown, tray->Balloons().size());
}

TEST_F(Notifications, BadClientsAreDroppedAndTheServerGoesOn)
{
    EXPECT_TRUE(hosttest::SendRaw({}));  // connects and closes
    // A full buffer without a terminator.
    EXPECT_TRUE(hosttest::SendRaw(std::string(kTrayMessageBytes, 'A')));
    // Without separators, and with an empty title or text.
    const std::wstring noSeparators = L"just a text";
    EXPECT_TRUE(hosttest::SendRaw(std::string(reinterpret_cast<const char*>(noSeparators.c_str()),
                                              (noSeparators.size() + 1) * sizeof(wchar_t))));
    ASSERT_TRUE(SendFromWorker(L"", L"Done", 28));
    ASSERT_TRUE(SendFromWorker(L"Shred", L"", 28));
    // Many at once, each gone without a word.
    std::vector<std::thread> crowd;
    for (int i = 0; i < 16; ++i)
        crowd.emplace_back([] { hosttest::SendRaw({}); });
    for (auto& client : crowd)
        client.join();
    // Short and unterminated, ended by its sender: taken to its end.
    const std::wstring unterminated = L"Open<OVSC>ended<OVSC>27";
    EXPECT_TRUE(hosttest::SendRaw(std::string(reinterpret_cast<const char*>(unterminated.c_str()),
                                              unterminated.size() * sizeof(wchar_t))));
    // Unterminated and left open: dropped once its time is up, and the next
    // sender is served meanwhile.
    const win32::UniqueFile stalled(hosttest::OpenTrayPipe());
    ASSERT_TRUE(stalled);
    const std::wstring partial = L"Stalled<OVSC>never<OVSC>2";
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(stalled.get(), partial.c_str(),
                            static_cast<DWORD>(partial.size() * sizeof(wchar_t)), &written,
                            nullptr));
    ASSERT_TRUE(SendFromWorker(L"Good", L"Still served", 29));

    ASSERT_TRUE(tray->WaitForBalloons(2, kPatienceMs));
    const auto balloons = tray->Balloons();
    ASSERT_EQ(2u, balloons.size());
    EXPECT_EQ(L"Open", balloons[0].title);
    EXPECT_EQ(L"ended", balloons[0].text);
    EXPECT_EQ(27u, balloons[0].id);
    EXPECT_EQ(L"Good", balloons[1].title);
    EXPECT_EQ(29u, balloons[1].id);
}

TEST_F(Notifications, ClickOnRunningBalloonsShowsTheirProgress)
{
    plugintest::GraventaRecorder graventa;
    ASSERT_TRUE(graventa.Start());
    const struct {
        int id;
        std::vector<UINT> codes;
    } rows[] = {{26, {0xBABE10}}, {42, {0xBABE11}}, {28, {}}, {27, {}}, {44, {}}, {29, {}}};
    std::vector<UINT> expected;
    for (size_t i = 0; i < ARRAYSIZE(rows); ++i) {
        SCOPED_TRACE(rows[i].id);
        ASSERT_TRUE(SendFromWorker(L"Title", L"Text", rows[i].id));
        ASSERT_TRUE(tray->WaitForBalloons(i + 1, kPatienceMs));
        EXPECT_EQ(S_OK, tray->Click(i));
        expected.insert(expected.end(), rows[i].codes.begin(), rows[i].codes.end());
        EXPECT_EQ(expected, graventa.Codes());
        EXPECT_EQ(L"Graventa", graventa.Title());
    }

    // Only the click notification counts.
    win32::ComPtr<IFWTWTrayNotifyCallback> callback;
    ASSERT_HRESULT_SUCCEEDED(hosttest::InProcessCreator(
        IID_IFWTWTrayNotifyCallback, IID_IFWTWTrayNotifyCallback, callback.put_void()));
    for (UINT code : {0x400u, 0x402u, 0x404u, 0u})
        EXPECT_EQ(S_OK, callback->OnNotify(code, 26));
    EXPECT_EQ(expected, graventa.Codes());
}

TEST_F(Notifications, ResubscribingHandsTheServerItsNewSink)
{
    win32::ComPtr<CHostTray> second(new CHostTray);
    ASSERT_EQ(S_OK, subscriber->Subscribe(second.get()));
    ASSERT_TRUE(SendFromWorker(L"After", L"Resubscribe", 28));
    ASSERT_TRUE(second->WaitForBalloons(1, kPatienceMs));
    EXPECT_TRUE(tray->Balloons().empty());
    const long liveWithHost = fw::LiveComObjects();
    tray.reset();  // the plug-in let go of the first sink
    EXPECT_EQ(liveWithHost - 1, fw::LiveComObjects());
}

// The host drops the subscription object right after Subscribe and holds
// no reference on the balloons' callbacks: later balloons still arrive, the
// one on show stays clickable, and the one it replaced is let go.
TEST_F(Notifications, BalloonsGoOnAfterTheHostLetsGoAndStayClickable)
{
    plugintest::GraventaRecorder graventa;
    ASSERT_TRUE(graventa.Start());
    win32::ComPtr<CHostTray> unheld(new CHostTray(false));
    ASSERT_EQ(S_OK, subscriber->Subscribe(unheld.get()));
    subscriber.reset();
    const long liveBefore = fw::LiveComObjects();
    const struct {
        const wchar_t* title;
        int id;
        UINT code;
    } rows[] = {{L"Zarev Ozi", 26, 0xBABE10}, {L"Bleach", 42, 0xBABE11}};
    std::vector<UINT> expected;
    for (size_t i = 0; i < ARRAYSIZE(rows); ++i) {
        SCOPED_TRACE(rows[i].id);
        ASSERT_TRUE(hosttest::SendBalloon(rows[i].title, L"Running", rows[i].id));
        ASSERT_TRUE(unheld->WaitForBalloons(i + 1, kPatienceMs));
        // Only the shown balloon's callback is alive, kept by the plug-in.
        EXPECT_EQ(liveBefore + 1, fw::LiveComObjects());
        EXPECT_EQ(S_OK, unheld->Click(i));
        expected.push_back(rows[i].code);
        EXPECT_EQ(expected, graventa.Codes());
    }
}

// Senders that come at the same moment, and a start balloon followed at once
// by its end, each with one Send as Graventa's workers make it: every one
// arrives, run after run.
TEST_F(Notifications, SendersThatComeTogetherAreAllServed)
{
    const struct {
        const char* name;
        int senders;    // threads started together
        int perSender;  // balloons each sends, one right after the other
    } rows[] = {{"sixteen at once", 16, 1}, {"start then end", 1, 2}};
    size_t total = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (int run = 0; run < 20; ++run) {
            SCOPED_TRACE(run);
            std::atomic<int> waiting{row.senders};
            std::vector<std::thread> senders;
            for (int i = 0; i < row.senders; ++i)
                senders.emplace_back([&, i] {
                    --waiting;
                    while (waiting.load() > 0)
                        std::this_thread::yield();
                    for (int k = 0; k < row.perSender; ++k) {
                        TrayNotifyClient client;
                        const int id = 1000 + i * row.perSender + k;
                        EXPECT_TRUE(client.Send(L"Together", std::to_wstring(run).c_str(), id));
                    }
                });
            for (auto& sender : senders)
                sender.join();
            const int count = row.senders * row.perSender;
            total += count;
            ASSERT_TRUE(tray->WaitForBalloons(total, kPatienceMs));
            const auto balloons = tray->Balloons();
            std::set<UINT> ids;
            for (size_t b = total - count; b < balloons.size(); ++b)
                if (balloons[b].text == std::to_wstring(run))
                    ids.insert(balloons[b].id);
            // Only this run's ids carry its text: each of them once.
            EXPECT_EQ(static_cast<size_t>(count), ids.size());
        }
    }
}

// The server's calls of CreateNamedPipeW recorded from before it starts.
class RecordedTrayPipe : public Notifications {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recorder.Installed());
        ASSERT_TRUE(TrayNotifyPipeName(name));
        Notifications::SetUp();
    }

    // The server's instances made so far.
    size_t Made() const
    {
        size_t made = 0;
        for (const auto& create : recorder.CreatesOf(name))
            made += create.made ? 1 : 0;
        return made;
    }

    testsupport::PipeCreateRecorder recorder;
    std::wstring name;
};

// Wine does not enforce FILE_FLAG_FIRST_PIPE_INSTANCE: what the server asked
// for is read from its calls. Only its first instance may demand it; a later
// one with it would fail where the flag is enforced.
TEST_F(RecordedTrayPipe, OnlyTheFirstInstanceDemandsToBeFirst)
{
    ASSERT_TRUE(SendFromWorker(L"First", L"sender", 28));
    // The sender took the first instance; the server made the next.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Made() >= 2; }));
    const auto creates = recorder.CreatesOf(name);
    for (size_t i = 0; i < creates.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(creates[i].made) << creates[i].error;
        EXPECT_EQ(i == 0, (creates[i].openMode & FILE_FLAG_FIRST_PIPE_INSTANCE) != 0);
    }
}

// While a stalled sender is read, another instance already listens: a second
// sender's single open succeeds at once, and the stalled one is still read
// to its end.
TEST_F(RecordedTrayPipe, ASecondSenderFindsAnInstanceWhileAStalledOneIsRead)
{
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Made() >= 1; }));
    win32::UniqueFile stalled(hosttest::OpenTrayPipe());
    ASSERT_TRUE(stalled);
    auto write = [](HANDLE pipe, const std::wstring& text, bool withNul) {
        const DWORD cb = static_cast<DWORD>((text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
        DWORD written = 0;
        return ::WriteFile(pipe, text.c_str(), cb, &written, nullptr) && written == cb;
    };
    ASSERT_TRUE(write(stalled.get(), L"Stalled<OVSC>", false));
    // The server took the stalled sender and made the next instance.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Made() >= 2; }));

    // One open, without waiting for the pipe.
    win32::UniqueFile second(
        ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(second) << ::GetLastError();
    ASSERT_TRUE(write(stalled.get(), L"read on<OVSC>31", true)) << ::GetLastError();
    stalled.reset();
    ASSERT_TRUE(tray->WaitForBalloons(1, kPatienceMs));
    ASSERT_TRUE(write(second.get(), L"Second<OVSC>served<OVSC>32", true));
    second.reset();
    ASSERT_TRUE(tray->WaitForBalloons(2, kPatienceMs));
    const auto balloons = tray->Balloons();
    EXPECT_EQ(L"Stalled", balloons[0].title);
    EXPECT_EQ(L"read on", balloons[0].text);
    EXPECT_EQ(L"Second", balloons[1].title);
}

// Another process created the tray pipe before the plug-in subscribed. The
// server waits until the name is let go, then serves it. (Windows refuses
// FILE_FLAG_FIRST_PIPE_INSTANCE on any existing name; Wine only on one whose
// instance limit or direction differs from ours.)
class SquattedTrayPipe : public Notifications {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(debugOutput.Installed());
        ASSERT_TRUE(recorder.Installed());
        ASSERT_TRUE(TrayNotifyPipeName(name));
        squatter.reset(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND,
                                          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096,
                                          4096, 0, nullptr));
        ASSERT_TRUE(squatter) << ::GetLastError();
        Notifications::SetUp();
    }
    // The server's tries to make the name its own that failed.
    size_t FailedFirstTries() const
    {
        size_t failed = 0;
        for (const auto& create : recorder.CreatesOf(name))
            if ((create.openMode & FILE_FLAG_FIRST_PIPE_INSTANCE) != 0 && !create.made)
                ++failed;
        return failed;
    }

    testsupport::DebugOutputRecorder debugOutput;
    testsupport::PipeCreateRecorder recorder;
    std::wstring name;
    win32::UniqueFile squatter;
};

TEST_F(SquattedTrayPipe, ServerOwnsTheNameOnceLetGo)
{
    // The server has met the taken name, and no balloon came through it;
    // only then is the name let go.
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        return testsupport::DebugOutputRecorder::Recorded(name);
    })) << "the server never met the taken name";
    // Held through more than one retry: the server keeps trying.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return FailedFirstTries() >= 3; }))
        << FailedFirstTries() << " tries";
    EXPECT_TRUE(tray->Balloons().empty());
    squatter.reset();
    ASSERT_TRUE(SendFromWorker(L"Owned", L"again", 28));
    ASSERT_TRUE(tray->WaitForBalloons(1, kPatienceMs));
    EXPECT_EQ(L"Owned", tray->Balloons()[0].title);
}

// The descriptor a sender reads back from the pipe (Wine enforces none of
// it): the user and the system may serve and send; no other account may
// create instances under the name or send a balloon.
TEST_F(Notifications, OnlyTheUserAndTheSystemMayServeOrSend)
{
    std::wstring userSid;
    ASSERT_TRUE(CurrentUserSidString(userSid));
    const struct {
        const char* name;
        std::wstring sid;
        bool allowed;
    } rows[] = {
        {"TheUser", userSid, true},
        {"LocalSystem", L"SY", true},
        // Those a pipe's default descriptor lets in.
        {"Administrators", L"BA", false},
        {"Everyone", L"WD", false},
        {"AnonymousLogon", L"AN", false},
        // Every other user of the machine.
        {"AuthenticatedUsers", L"AU", false},
        {"Users", L"BU", false},
        {"Interactive", L"IU", false},
        {"Guests", L"BG", false},
    };
    const win32::UniqueFile pipe(hosttest::OpenTrayPipe());
    ASSERT_TRUE(pipe);
    const testsupport::HandleDacl dacl(pipe.get());
    ASSERT_TRUE(dacl.Read());
    const std::string sddl = testing::PrintToString(dacl.Sddl());
    // The user's entry and the system's, and nothing else.
    ASSERT_NE(nullptr, dacl.Dacl());
    EXPECT_EQ(2u, dacl.Dacl()->AceCount) << sddl;
    const DWORD sendAccess = testsupport::MapPipeAccess(kTrayClientAccess);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        win32::UniqueLocal<PSID> sid;
        ASSERT_TRUE(::ConvertStringSidToSidW(row.sid.c_str(), sid.put()));
        const DWORD rights = testsupport::PipeRightsOf(dacl.Dacl(), sid.get());
        // FILE_CREATE_PIPE_INSTANCE, under the name it has on a pipe.
        EXPECT_EQ(row.allowed, (rights & FILE_APPEND_DATA) != 0) << sddl;
        EXPECT_EQ(row.allowed, (rights & sendAccess) == sendAccess) << sddl;
    }
}

}  // namespace
