#include "ipc/tray_notify_client.h"
#include "win32/unique_handle.h"

#include <sddl.h>

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// The user's SID worked out here independently of the client: through the
// account name, as the plug-in's server does.
std::wstring SidOfLoggedOnUser()
{
    wchar_t user[256] = {};
    DWORD cchUser = ARRAYSIZE(user);
    EXPECT_TRUE(::GetUserNameW(user, &cchUser));
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD cbSid = sizeof(sid);
    wchar_t domain[256] = {};
    DWORD cchDomain = ARRAYSIZE(domain);
    SID_NAME_USE use{};
    EXPECT_TRUE(::LookupAccountNameW(nullptr, user, sid, &cbSid, domain, &cchDomain, &use));
    wchar_t* text = nullptr;
    EXPECT_TRUE(::ConvertSidToStringSidW(sid, &text));
    std::wstring result = text ? text : L"";
    ::LocalFree(text);
    return result;
}

std::wstring PipeName()
{
    return std::wstring(L"\\\\.\\Pipe\\OVSCTrayNotify_") + SidOfLoggedOnUser();
}

// One instance of the per-user pipe that takes a single connection and keeps
// every byte the client sends until it closes its end.
class TestTrayServer {
public:
    explicit TestTrayServer(bool messageMode)
    {
        const DWORD mode = messageMode ? PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT
                                       : PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
        m_pipe.reset(::CreateNamedPipeW(PipeName().c_str(), PIPE_ACCESS_INBOUND, mode, 1, 4096,
                                        4096, 0, nullptr));
        if (!m_pipe)
            return;
        m_thread = std::thread([this] { Serve(); });
    }
    ~TestTrayServer()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    bool Ready() const { return static_cast<bool>(m_pipe); }
    // Waits for the client to go away; the bytes it sent.
    const std::string& Received()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_received;
    }

private:
    void Serve()
    {
        if (!::ConnectNamedPipe(m_pipe.get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED)
            return;
        std::vector<char> chunk(3000);  // smaller than a message on purpose
        for (;;) {
            DWORD cbRead = 0;
            const BOOL ok = ::ReadFile(m_pipe.get(), chunk.data(), static_cast<DWORD>(chunk.size()),
                                       &cbRead, nullptr);
            m_received.append(chunk.data(), cbRead);
            if (!ok && ::GetLastError() != ERROR_MORE_DATA)
                break;
        }
        ::DisconnectNamedPipe(m_pipe.get());
    }

    win32::UniqueFile m_pipe;
    std::thread m_thread;
    std::string m_received;
};

std::wstring TextOf(const std::string& bytes)
{
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

bool ZeroFrom(const std::string& bytes, size_t offset)
{
    for (size_t i = offset; i < bytes.size(); ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

class TrayNotify : public ::testing::TestWithParam<bool> {};

TEST_P(TrayNotify, SendsOneWholeZeroFilledMessage)
{
    TestTrayServer server(GetParam());
    ASSERT_TRUE(server.Ready());

    // Percent signs go out as they stand: the texts are no format.
    const std::wstring title = L"100% %s %d \u00e9\u4e2d";
    const std::wstring text = L"%ls %n";
    EXPECT_TRUE(TrayNotifyClient().Send(title.c_str(), text.c_str(), 28));

    const std::string& bytes = server.Received();
    ASSERT_EQ(8192u, bytes.size());
    const std::wstring expected = title + L"<OVSC>" + text + L"<OVSC>28";
    EXPECT_EQ(expected, TextOf(bytes));
    EXPECT_TRUE(ZeroFrom(bytes, expected.size() * sizeof(wchar_t)));
}

INSTANTIATE_TEST_SUITE_P(MessageAndByteModeServers, TrayNotify, ::testing::Bool());

TEST(TrayNotifyMessage, EmptyOrMissingTextKeepsBothSeparatorsAndTheId)
{
    {
        TestTrayServer server(true);
        ASSERT_TRUE(server.Ready());
        EXPECT_TRUE(TrayNotifyClient().Send(L"Shred in progress", L"", 27));
        const std::string& bytes = server.Received();
        ASSERT_EQ(8192u, bytes.size());
        EXPECT_EQ(L"Shred in progress<OVSC><OVSC>27", TextOf(bytes));
    }
    {
        TestTrayServer server(true);
        ASSERT_TRUE(server.Ready());
        EXPECT_TRUE(TrayNotifyClient().Send(nullptr, nullptr, -1));
        EXPECT_EQ(L"<OVSC><OVSC>-1", TextOf(server.Received()));
    }
}

TEST(TrayNotifyMessage, OverlongTitleIsCutAndStillEndsInNul)
{
    TestTrayServer server(true);
    ASSERT_TRUE(server.Ready());

    const std::wstring title(5000, L'T');
    EXPECT_TRUE(TrayNotifyClient().Send(title.c_str(), L"text", 26));

    const std::string& bytes = server.Received();
    ASSERT_EQ(8192u, bytes.size());
    std::wstring chars(4096, L'\0');
    std::memcpy(chars.data(), bytes.data(), bytes.size());
    EXPECT_EQ(std::wstring(4095, L'T'), chars.substr(0, 4095));
    EXPECT_EQ(L'\0', chars[4095]);
}

TEST(TrayNotifyMessage, ExactFitAndACutSurrogatePair)
{
    wchar_t buffer[kTrayMessageChars];

    // "<OVSC><OVSC>7" is 13 characters: with a title of 4082 the text fills
    // 4095 characters and the NUL takes the last slot.
    const std::wstring fits(kTrayMessageChars - 1 - 13, L'x');
    std::memset(buffer, 0xAB, sizeof(buffer));
    FormatTrayNotifyMessage(fits.c_str(), L"", 7, buffer);
    EXPECT_EQ(fits + L"<OVSC><OVSC>7", std::wstring(buffer));

    // A pair that would be split at the cut is dropped whole.
    std::wstring title(kTrayMessageChars - 2, L'y');
    title += L"\U0001F600";
    FormatTrayNotifyMessage(title.c_str(), L"", 7, buffer);
    EXPECT_EQ(std::wstring(kTrayMessageChars - 2, L'y'), std::wstring(buffer));
    EXPECT_EQ(L'\0', buffer[kTrayMessageChars - 2]);
    EXPECT_EQ(L'\0', buffer[kTrayMessageChars - 1]);
}

TEST(TrayNotifyClientTest, PipeNameIsThePerUserName)
{
    std::wstring name;
    ASSERT_TRUE(TrayNotifyPipeName(name));
    EXPECT_EQ(PipeName(), name);
}

TEST(TrayNotifyClientTest, WithoutAServerSendFailsAtOnce)
{
    EXPECT_FALSE(TrayNotifyClient().Send(L"title", L"text", 28));
}

// A tray server with one instance, taken by another client.
class BusyTrayServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        pipe.reset(::CreateNamedPipeW(PipeName().c_str(), PIPE_ACCESS_INBOUND,
                                      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                      4096, 4096, 0, nullptr));
        ASSERT_TRUE(pipe);
        other.reset(::CreateFileW(PipeName().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
        ASSERT_TRUE(other);
        ASSERT_TRUE(::ConnectNamedPipe(pipe.get(), nullptr) ||
                    ::GetLastError() == ERROR_PIPE_CONNECTED);
    }

    win32::UniqueFile pipe;
    win32::UniqueFile other;
};

TEST_F(BusyTrayServer, DropsTheBalloonWhenItStaysBusy)
{
    // The only instance is taken by another client; the client waits for a
    // free one, gives up and sends nothing.
    EXPECT_FALSE(TrayNotifyClient().Send(L"title", L"text", 44));

    DWORD cbAvailable = 1;
    ASSERT_TRUE(::PeekNamedPipe(pipe.get(), nullptr, 0, nullptr, &cbAvailable, nullptr));
    EXPECT_EQ(0u, cbAvailable);
}

TEST_F(BusyTrayServer, FreedWhileTheClientWaitsGetsTheBalloon)
{
    // The sender finds the only instance taken and waits for it.
    std::atomic<int> sent{-1};
    std::thread sender([&] { sent = TrayNotifyClient().Send(L"title", L"text", 27); });
    other.reset();
    ::DisconnectNamedPipe(pipe.get());
    const bool connected =
        ::ConnectNamedPipe(pipe.get(), nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED;
    std::vector<wchar_t> message(kTrayMessageChars + 1);
    DWORD cbRead = 0;
    const bool read =
        connected && ::ReadFile(pipe.get(), message.data(), static_cast<DWORD>(kTrayMessageBytes),
                                &cbRead, nullptr);
    sender.join();
    ASSERT_TRUE(read);
    EXPECT_EQ(TRUE, sent.load());
    EXPECT_EQ(static_cast<DWORD>(kTrayMessageBytes), cbRead);
    EXPECT_EQ(std::wstring(L"title<OVSC>text<OVSC>27"), std::wstring(message.data()));
}

}  // namespace
