// The plug-in's requests to the shredding program, sent to a window titled
// "Graventa" in another process that records what it receives.
#include "commands/command_sender.h"

#include "commands/file_folder_dialog.h"
#include "framework/ui_seam.h"
#include "ipc/main_window_command.h"
#include "tests/commands/file_dialog_driver.h"
#include "tests/commands/graventa_recorder.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"
#include "win32/unique_handle.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <type_traits>
#include <thread>
#include <vector>

namespace {

using plugintest::GraventaRecorder;
using plugintest::kRecorderAnswer;
using plugintest::SetText;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testsupport::ScratchFolder;

struct NamedRequest {
    const char* name;
    std::function<LRESULT()> send;
    unsigned long code;
    const wchar_t* text;
};

// Requests without a text go with an empty one (a null text does not cross
// processes everywhere).
const std::vector<NamedRequest>& NamedRequests()
{
    static const std::vector<NamedRequest> requests = {
        {"RequestShredAll(0)", [] { return RequestShredAll(0); }, 0xBABE02, L""},
        {"RequestShredAll(1)", [] { return RequestShredAll(1); }, 0xBABE10, L""},
        {"RequestDiskBleach(0)", [] { return RequestDiskBleach(0); }, 0xBABE03, L""},
        {"RequestDiskBleach(1)", [] { return RequestDiskBleach(1); }, 0xBABE11, L""},
        {"RequestInstallFFBho", [] { return RequestInstallFFBho(); }, 0xBABE05, L"InstallFFBho"},
        {"RequestRemoveFFBho", [] { return RequestRemoveFFBho(); }, 0xBABE05, L"RemoveFFBho"},
        {"RequestRemoveIcon", [] { return RequestRemoveIcon(); }, 0xBABE07, L""},
    };
    return requests;
}

class CommandSenderTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        ASSERT_EQ(nullptr, ::FindWindowW(nullptr, L"Graventa")) << "a Graventa window is left over";
    }

    void StartRecorder() { ASSERT_TRUE(m_graventa.Start(m_scratch / L"received.txt")); }

    ScratchFolder m_scratch;
    GraventaRecorder m_graventa;
};

TEST_F(CommandSenderTest, EachNamedRequestSendsItsCodeAndTextAndPutsTheTitleBack)
{
    StartRecorder();
    std::vector<SetText> expected;
    for (const NamedRequest& request : NamedRequests()) {
        SCOPED_TRACE(request.name);
        EXPECT_EQ(kRecorderAnswer, request.send());
        expected.push_back({request.code, request.text});
        expected.push_back({0, L"Graventa"});
        ASSERT_TRUE(m_graventa.WaitForCount(expected.size()));
        EXPECT_THAT(m_graventa.Received(), ElementsAreArray(expected));
        EXPECT_EQ(L"Graventa", m_graventa.Title());
    }
}

TEST_F(CommandSenderTest, WithoutGraventaEveryRequestReturnsZero)
{
    ASSERT_TRUE(testsupport::WriteFileBytes(m_scratch / L"victim.txt", "secret"));
    for (const NamedRequest& request : NamedRequests())
        EXPECT_EQ(0, request.send()) << request.name;
    EXPECT_EQ(0, RequestShredOne(m_scratch / L"victim.txt"));
}

// A file whose full path is `length` characters long, below `scratch`.
std::wstring FileOfLength(const ScratchFolder& scratch, size_t length)
{
    const std::wstring folder =
        scratch / (std::wstring(100, L'a') + L"\\" + std::wstring(100, L'b'));
    ::CreateDirectoryW((L"\\\\?\\" + scratch / std::wstring(100, L'a')).c_str(), nullptr);
    ::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    const size_t nameLength = length - folder.size() - 1;
    const std::wstring path = folder + L"\\" + std::wstring(nameLength, L'f');
    const HANDLE file = ::CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << ::GetLastError();
    ::CloseHandle(file);
    return path;
}

// Only a path that exists and fits Graventa's 260-character buffer with its
// NUL is sent; nothing else reaches the window.
TEST_F(CommandSenderTest, ShredOneSendsOnlyAnExistingPathThatFits)
{
    StartRecorder();
    const std::wstring good = m_scratch / L"victim.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(good, "secret"));
    const std::wstring fits = FileOfLength(m_scratch, MAX_PATH - 1);
    const std::wstring tooLong = FileOfLength(m_scratch, MAX_PATH);
    ASSERT_EQ(MAX_PATH - 1, fits.size());
    ASSERT_EQ(static_cast<size_t>(MAX_PATH), tooLong.size());

    const struct {
        const char* name;
        std::wstring path;
        bool sent;
    } cases[] = {
        {"missing", m_scratch / L"no such file.txt", false},
        {"260 characters", tooLong, false},
        {"259 characters", fits, true},
        {"an existing file", good, true},
    };
    std::vector<SetText> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.sent ? kRecorderAnswer : 0, RequestShredOne(c.path));
        if (c.sent) {
            expected.push_back({0xBABE01, c.path});
            expected.push_back({0, L"Graventa"});
        }
    }
    // Sending is synchronous: whatever was sent has been recorded.
    ASSERT_TRUE(m_graventa.WaitForCount(expected.size()));
    EXPECT_THAT(m_graventa.Received(), ElementsAreArray(expected));
    EXPECT_EQ(L"Graventa", m_graventa.Title());
}

// Graventa resolves a path in its own current folder and opens it through
// its "\\?\" form: only a fully qualified path of an item that exists in
// that form is sent, and it is sent full. Each refused path names an
// existing item (or a device) from this process's current folder.
TEST_F(CommandSenderTest, ShredOneSendsOnlyAFullyQualifiedPathOfAnItem)
{
    StartRecorder();
    const std::wstring here = m_scratch / L"here";
    const std::wstring devices = m_scratch / L"devices";
    ASSERT_TRUE(::CreateDirectoryW(here.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(devices.c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(here + L"\\file.txt", "bystander"));
    ASSERT_TRUE(testsupport::WriteFileBytes(m_scratch / L"x", "bystander"));
    // A file that only the "\\?\" form reaches by this name.
    ASSERT_TRUE(testsupport::WriteFileBytes(L"\\\\?\\" + (devices + L"\\com1.txt"), "victim"));
    const testsupport::CurrentFolderScope current(here);
    ASSERT_TRUE(current.Entered());
    const std::wstring driveRooted = (m_scratch / L"x").substr(2);       // "\\...\\x"
    const std::wstring driveRelative = here.substr(0, 2) + L"file.txt";  // "C:file.txt"

    const struct {
        std::wstring path;
        std::wstring sent;  // empty: nothing
    } cases[] = {
        {L"file.txt", L""},
        {driveRooted, L""},
        {driveRelative, L""},
        {L"\\\\.\\COM1", L""},
        {here + L"\\com1.txt", L""},
        {here + L"\\..\\x", m_scratch / L"x"},
        {L"\\\\?\\" + (m_scratch / L"x"), m_scratch / L"x"},
        {devices + L"\\com1.txt", devices + L"\\com1.txt"},
        {here, here},
    };
    std::vector<SetText> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        EXPECT_EQ(c.sent.empty() ? 0 : kRecorderAnswer, RequestShredOne(c.path));
        if (!c.sent.empty())
            expected.insert(expected.end(), {{0xBABE01, c.sent}, {0, L"Graventa"}});
        ASSERT_TRUE(m_graventa.WaitForCount(expected.size()));
        EXPECT_THAT(m_graventa.Received(), ElementsAreArray(expected));
    }
}

// Where a window centred on `over` (a window, or the work area when null)
// opens: inside the work area of its monitor.
POINT CentredOn(HWND window, HWND over)
{
    RECT w{};
    ::GetWindowRect(window, &w);
    MONITORINFO monitor = {sizeof(monitor)};
    ::GetMonitorInfoW(::MonitorFromWindow(over ? over : window, MONITOR_DEFAULTTONEAREST),
                      &monitor);
    const RECT& work = monitor.rcWork;
    RECT o = work;
    if (over)
        ::GetWindowRect(over, &o);
    const LONG width = w.right - w.left;
    const LONG height = w.bottom - w.top;
    return {std::clamp<LONG>((o.left + o.right - width) / 2, work.left, work.right - width),
            std::clamp<LONG>((o.top + o.bottom - height) / 2, work.top, work.bottom - height)};
}

// With no path the user chooses in the file-or-folder dialog, the real one,
// opened over the window the user acted in, or mid-screen when there is
// none (the tray menu). Graventa's hidden window never owns it: it would open
// at the screen's corner. A cancel sends nothing and does not leave the
// request busy.
TEST_F(CommandSenderTest, ShredOneWithoutAPathOpensOverTheWindowActedInAndCancelSendsNothing)
{
    StartRecorder();
    const std::wstring good = m_scratch / L"victim.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(good, "secret"));
    // A window of the user's away from the screen's centre and corner.
    MONITORINFO monitor = {sizeof(monitor)};
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor));
    const RECT& work = monitor.rcWork;
    const std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&::DestroyWindow)> acted(
        ::CreateWindowExW(
        0, L"STATIC", L"acted in", WS_POPUP | WS_CAPTION | WS_VISIBLE,
        work.left + (work.right - work.left) / 8, work.top + (work.bottom - work.top) / 2,
        (work.right - work.left) / 2, (work.bottom - work.top) / 3, nullptr, nullptr,
        ::GetModuleHandleW(nullptr), nullptr),
        &::DestroyWindow);
    ASSERT_TRUE(acted);

    const struct {
        const char* name;
        HWND actedIn;
    } cases[] = {{"FromTheTray", nullptr}, {"FromAWindow", acted.get()}};
    size_t sent = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND owner = reinterpret_cast<HWND>(-1);
        bool realDialog = false;
        POINT expected{-1, -1};
        RECT opened{};
        {
            fw::ScopedUiResponder responder([&](const fw::UiRequest& request) -> INT_PTR {
                owner = request.owner;
                realDialog = ::GetDlgItem(request.window, CFileFolderDialog::kShellViewId) != nullptr;
                expected = CentredOn(request.window, c.actedIn);
                ::GetWindowRect(request.window, &opened);
                return IDCANCEL;
            });
            EXPECT_EQ(-1, RequestShredOne(L"", c.actedIn));
        }
        EXPECT_EQ(c.actedIn, owner);
        EXPECT_TRUE(realDialog);
        EXPECT_NEAR(expected.x, opened.left, 1);
        EXPECT_NEAR(expected.y, opened.top, 1);
        EXPECT_EQ(sent, m_graventa.Received().size());

        EXPECT_EQ(kRecorderAnswer, RequestShredOne(good));
        sent += 2;
        ASSERT_TRUE(m_graventa.WaitForCount(sent));
        EXPECT_EQ(SetText({0xBABE01, good}), m_graventa.Received()[sent - 2]);
    }
}

// The file chosen in the dialog is sent; a second request while the dialog
// is open (the tray menu stays live) is ignored.
TEST_F(CommandSenderTest, ShredOneWithoutAPathSendsTheFileChosenInTheDialog)
{
    StartRecorder();
    const std::wstring chosen = m_scratch / L"victim.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(chosen, "secret"));
    ASSERT_TRUE(testsupport::WriteFileBytes(m_scratch / L"bystander.txt", "keep"));
    plugintest::DialogDriver driver;
    LRESULT meanwhile = -2;
    LRESULT result = 0;
    {
        fw::ScopedUiResponder responder([&](const fw::UiRequest& request) -> INT_PTR {
            return driver.Start(request.window, [&](plugintest::DialogDriver& d) {
                if (!d.Navigate(m_scratch.Path()))
                    return false;
                std::wstring shown;
                for (const std::wstring& item : d.Items())
                    if (plugintest::ShowsAs(item, L"victim.txt"))
                        shown = item;
                if (!d.Select(shown))
                    return false;
                d.OnDialog([&] { meanwhile = RequestShredOne(m_scratch / L"bystander.txt"); });
                return d.Press(IDOK);
            });
        });
        result = RequestShredOne(L"");
        driver.Join();
    }
    EXPECT_TRUE(driver.Succeeded());
    EXPECT_EQ(0, meanwhile);
    EXPECT_EQ(kRecorderAnswer, result);
    ASSERT_TRUE(m_graventa.WaitForCount(2));
    EXPECT_THAT(m_graventa.Received(),
                ElementsAre(SetText{0xBABE01, chosen}, SetText{0, L"Graventa"}));
}

// A "Graventa" window on a thread of this process that takes kStallMs to
// answer the send of code `stallAt` (0: the title's), unless stopped sooner:
// longer than a sender that keeps to the limit may wait, and longer than the
// system's five seconds after which a window away from its queue is hung.
// Having answered, it stays away from its queue until the next send waits
// there, as a window still finishing its operation would: a sender that
// asks the system whether the window is hung is refused at once.
class StalledGraventa {
public:
    static constexpr DWORD kStallMs = 2 * kMainWindowAnswerMs + 1000;

    explicit StalledGraventa(UINT stallAt) : m_stallAt(stallAt)
    {
        testsupport::WaitUntil([&] { return m_window.load() != nullptr; });
    }
    ~StalledGraventa() { Stop(); }

    bool Started() const { return m_window.load() != nullptr; }
    // Ends the stall and the window: the codes it was sent, in order.
    std::vector<UINT> Stop()
    {
        ::SetEvent(m_release.get());
        if (m_thread.joinable()) {
            if (const HWND window = m_window.load())
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            m_thread.join();
        }
        return m_codes;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrW(window, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(
                                    reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<StalledGraventa*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_SETTEXT) {
            self->m_codes.push_back(static_cast<UINT>(wParam));  // read once the thread ended
            if (wParam == self->m_stallAt &&
                ::WaitForSingleObject(self->m_release.get(), kStallMs) == WAIT_TIMEOUT) {
                ::ReplyMessage(TRUE);
                // GetQueueStatus only looks: it neither waits on the queue nor
                // counts as taking a message.
                testsupport::WaitUntil(
                    [self] {
                        return (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) ||
                               ::WaitForSingleObject(self->m_release.get(), 0) == WAIT_OBJECT_0;
                    },
                    kStallMs);
            }
        }
        if (message == WM_DESTROY)
            ::PostQuitMessage(0);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    void Run()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ScoravelStalledGraventa";
        ::RegisterClassW(&wc);  // already registered by an earlier case
        const HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"Graventa", WS_OVERLAPPED, 0, 0,
                                              10, 10, nullptr, nullptr, wc.hInstance, this);
        m_window = window;
        MSG msg;
        while (window && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageW(&msg);
    }

    const UINT m_stallAt;
    win32::UniqueHandleNull m_release{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<HWND> m_window{nullptr};
    std::vector<UINT> m_codes;
    std::thread m_thread{[this] { Run(); }};  // last: starts once the others are made
};

// A window that stops answering holds the caller (the host's or the shell's
// user-interface thread) no longer than the limit, and the request fails,
// with no title's send after an unanswered command. Only the browser
// commands wait for their operation, however long; their title's send is
// limited as every other.
TEST_F(CommandSenderTest, AWindowThatStopsAnsweringFailsTheRequestWithinTheLimit)
{
    const struct {
        const char* name;
        LRESULT (*send)();
        UINT stallAt;
        std::vector<UINT> codes;  // what the window received
        bool waits;               // for the window, past the limit
    } cases[] = {
        {"shred all, at its command", [] { return RequestShredAll(0); }, 0xBABE02, {0xBABE02}, false},
        {"browser verb, at the title", RequestInstallFFBho, 0, {0xBABE05, 0}, false},
        {"browser verb, at its command", RequestRemoveFFBho, 0xBABE05, {0xBABE05, 0}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StalledGraventa graventa(c.stallAt);
        ASSERT_TRUE(graventa.Started());
        const ULONGLONG start = ::GetTickCount64();
        const LRESULT result = c.send();
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        EXPECT_THAT(graventa.Stop(), ElementsAreArray(c.codes));
        // The title's send answered, or nothing.
        EXPECT_EQ(c.waits ? TRUE : 0, result);
        if (c.waits)
            EXPECT_GT(elapsed, 2 * kMainWindowAnswerMs);
        else
            EXPECT_LT(elapsed, 2 * kMainWindowAnswerMs) << "the sender waited for the window";
    }
}

// A window that is hung before the send (away from its queue past the
// system's five seconds) is refused at once: the command is never queued for
// it. The stand-in takes and answers whatever is queued for it, so a sender
// that queued the command anyway would see the request succeed.
TEST_F(CommandSenderTest, AWindowHungBeforeTheSendIsRefusedAtOnce)
{
    ASSERT_TRUE(m_graventa.Start({}, true));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ::IsHungAppWindow(m_graventa.Window()); }));
    const std::wstring victim = m_scratch / L"victim.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(victim, "secret"));
    const struct {
        const char* name;
        std::function<LRESULT()> send;
    } cases[] = {
        {"RequestShredAll(0)", [] { return RequestShredAll(0); }},
        {"RequestDiskBleach(1)", [] { return RequestDiskBleach(1); }},
        {"RequestRemoveIcon", [] { return RequestRemoveIcon(); }},
        {"RequestShredOne", [&] { return RequestShredOne(victim); }},
    };
    for (const auto& c : cases)
        EXPECT_EQ(0, c.send()) << c.name;
    m_graventa.Stop();
    EXPECT_THAT(m_graventa.Received(), IsEmpty());
}

TEST(ProductHelp, LanguageChoosesTheHelpFolder)
{
    const struct {
        LANGID language;
        const wchar_t* path;
    } cases[] = {
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN), L"\\help\\German\\OVSCHelp.chm"},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"\\help\\German\\OVSCHelp.chm"},
        {MAKELANGID(LANG_CHINESE, 1), L"\\help\\TChinese\\OVSCHelp.chm"},
        {MAKELANGID(LANG_CHINESE, 3), L"\\help\\TChinese\\OVSCHelp.chm"},
        {MAKELANGID(LANG_CHINESE, 2), L"\\help\\SChinese\\OVSCHelp.chm"},
        {MAKELANGID(LANG_CHINESE, 4), L"\\help\\SChinese\\OVSCHelp.chm"},
        {MAKELANGID(LANG_CHINESE, 5), L"\\help\\SChinese\\OVSCHelp.chm"},
        {MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN),
         L"\\help\\BrPortuguese\\OVSCHelp.chm"},
        {MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE), L"\\help\\BrPortuguese\\OVSCHelp.chm"},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), L"\\help\\English\\OVSCHelp.chm"},
        {MAKELANGID(LANG_DUTCH, SUBLANG_DUTCH), L"\\help\\English\\OVSCHelp.chm"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_NEUTRAL), L"\\help\\English\\OVSCHelp.chm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.path), ProductHelp::LanguageHelpPath(c.language))
            << std::hex << c.language;
}

// hh.exe of the test prefix is replaced by a stub that records what it was
// asked to open (a built-in program needs WINEDLLOVERRIDES "hh.exe=n" for
// the file on disk to run), and put back afterwards.
class OpenHelpTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        wchar_t windows[MAX_PATH] = {};
        ASSERT_NE(0u, ::GetWindowsDirectoryW(windows, ARRAYSIZE(windows)));
        m_hh = std::wstring(windows) + L"\\hh.exe";
        m_original = m_hh + L".scoravel-original";
        // A run that ended early left its backup: that one is the original.
        if (!testsupport::PathExists(m_original)) {
            ASSERT_TRUE(::MoveFileW(m_hh.c_str(), m_original.c_str())) << ::GetLastError();
        }
        ASSERT_TRUE(::CopyFileW(testsupport::ProgramBesideTest(L"hh_stub.exe").c_str(),
                                m_hh.c_str(), FALSE))
            << ::GetLastError();
        m_overrides = Variable(L"WINEDLLOVERRIDES");
        ::SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (m_overrides + L";hh.exe=n").c_str());
        ::SetEnvironmentVariableW(L"SCORAVEL_HH_RECORD", Record().c_str());
    }

    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"WINEDLLOVERRIDES", m_overrides.c_str());
        ::SetEnvironmentVariableW(L"SCORAVEL_HH_RECORD", nullptr);
        if (testsupport::PathExists(m_original))
            ::MoveFileExW(m_original.c_str(), m_hh.c_str(), MOVEFILE_REPLACE_EXISTING);
        ProductRegistryTest::TearDown();
    }

    static std::wstring Variable(const wchar_t* name)
    {
        wchar_t value[1024] = {};
        const DWORD cch = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
        return cch < ARRAYSIZE(value) ? std::wstring(value, cch) : std::wstring();
    }

    std::wstring Record() const { return m_scratch / L"hh-started.txt"; }

    std::vector<std::wstring> Started() const
    {
        std::string bytes;
        std::vector<std::wstring> lines;
        if (!testsupport::ReadFileBytes(Record(), bytes))
            return lines;
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
        size_t start = 0;
        for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    ScratchFolder m_scratch;
    std::wstring m_hh;
    std::wstring m_original;
    std::wstring m_overrides;
};

TEST_F(OpenHelpTest, StartsHhOnTheTopicOfTheUserLanguageBelowTheInstallFolder)
{
    // Without an install folder nothing starts, and the path stays unbuilt.
    ProductHelp homeless;
    EXPECT_EQ(0, homeless.OpenHelp(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN)));
    EXPECT_EQ(L"\\OVSCHelp.chm", homeless.HelpPath());

    const std::wstring folder = m_scratch / L"Scoravel";
    const struct {
        std::wstring installLocation;
        LANGID language;
        std::wstring topic;
    } cases[] = {
        {folder, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN),
         folder + L"\\help\\German\\OVSCHelp.chm::/1_1_3_1.html"},
        {folder + L"\\", MAKELANGID(LANG_CHINESE, 2),
         folder + L"\\help\\SChinese\\OVSCHelp.chm::/1_1_3_1.html"},
    };
    std::vector<std::wstring> expected;
    for (const auto& c : cases) {
        testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                               c.installLocation);
        ProductHelp help;
        EXPECT_EQ(1, help.OpenHelp(c.language));
        expected.push_back(c.topic);
        EXPECT_TRUE(testsupport::WaitUntil([&] { return Started().size() >= expected.size(); }));
    }
    // The help object that had no folder started nothing before these.
    EXPECT_THAT(Started(), ElementsAreArray(expected));
}

}  // namespace
