// CTWNotifications serving the real per-user tray pipe to the host's tray,
// balloon clicks reaching a separate "Graventa" process, and the host
// letting go of everything while the pipe thread still waits.
#include "ipc/tray_notify_client.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "tests/plugin/graventa_recorder.h"
#include "tests/plugin/host_test_support.h"

#include <gtest/gtest.h>
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
    void TearDown() override
    {
        subscriber.reset();
        tray.reset();
        // Every object, and the pipe thread's hold, is gone once it ended.
        EXPECT_TRUE(testsupport::WaitUntil([] { return fw::LiveComObjects() == 0; }));
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

TEST_F(Notifications, HostLettingGoEndsThePipeThreads)
{
    // A second subscription: one more thread, and the new sink replaces the
    // old one, which the plug-in lets go.
    win32::ComPtr<CHostTray> second(new CHostTray);
    ASSERT_EQ(S_OK, subscriber->Subscribe(second.get()));
    ASSERT_TRUE(SendFromWorker(L"After", L"Resubscribe", 28));
    ASSERT_TRUE(second->WaitForBalloons(1, kPatienceMs));
    EXPECT_TRUE(tray->Balloons().empty());
    const long liveWithHost = fw::LiveComObjects();
    tray.reset();  // no one else holds the first sink any more
    EXPECT_EQ(liveWithHost - 1, fw::LiveComObjects());

    // The host lets go while both threads wait for a client, with a
    // balloon's callback still kept.
    second.reset();
    subscriber.reset();
    ASSERT_TRUE(testsupport::WaitUntil([] { return fw::LiveComObjects() == 0; }));
    // Nothing serves the pipe any more.
    TrayNotifyClient client;
    EXPECT_FALSE(client.Send(L"Nobody", L"listens", 28));
}

}  // namespace
