#include "tests/program/graventa_test_support.h"

#include "ipc/tray_notify_client.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#ifndef SCORAVEL_GRAVENTA_EXE
#error "the build names the Graventa.exe under test"
#endif

namespace graventatest {

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";

// A program argument as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& argument)
{
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

bool HasName(const wchar_t* entry, const wchar_t* name)
{
    const size_t cch = ::wcslen(name);
    return ::_wcsnicmp(entry, name, cch) == 0 && entry[cch] == L'=';
}

// The test's environment without the UI switch, plus the child's own.
std::vector<wchar_t> ChildEnvironment(const ChildOptions& options)
{
    std::vector<wchar_t> block;
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += ::wcslen(entry) + 1) {
            if (HasName(entry, L"SCORAVEL_UNATTENDED_UI"))
                continue;
            block.insert(block.end(), entry, entry + ::wcslen(entry) + 1);
        }
        ::FreeEnvironmentStringsW(strings);
    }
    auto add = [&block](const std::wstring& entry) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    };
    if (options.unattended)
        add(L"SCORAVEL_UNATTENDED_UI=1");
    block.push_back(L'\0');
    return block;
}

std::wstring TitleOf(HWND window)
{
    wchar_t title[512] = {};
    ::GetWindowTextW(window, title, ARRAYSIZE(title));
    return title;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    ::EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(20);
    }
}

std::wstring BuiltProgram(const char* unixPath)
{
    // Wine reaches files outside every drive as "\\?\unix\...".
    std::wstring path = L"\\\\?\\unix";
    for (const char* c = unixPath; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

GraventaProcess::~GraventaProcess()
{
    Stop();
}

bool GraventaProcess::Start(const std::wstring& program, const std::vector<std::wstring>& arguments,
                            const std::wstring& folder, const ChildOptions& options)
{
    std::wstring commandLine = Quoted(program);
    for (const auto& argument : arguments)
        commandLine += L" " + Quoted(argument);
    std::vector<wchar_t> environment = ChildEnvironment(options);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    win32::UniqueFile errors;
    if (!options.stderrPath.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        errors.reset(::CreateFileW(options.stderrPath.c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!errors)
            return false;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = errors.get();
    }
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                          errors ? TRUE : FALSE, CREATE_UNICODE_ENVIRONMENT, environment.data(),
                          folder.c_str(), &startup, &info))
        return false;
    ::CloseHandle(info.hThread);
    m_process.reset(info.hProcess);
    m_id = info.dwProcessId;
    return true;
}

HWND GraventaProcess::WaitForWindow()
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (const HWND window : WindowsTitledGraventa())
            if (ProcessOf(window) == m_id)
                found = window;
        return found != nullptr || HasExited();
    });
    // Answering a message proves that its initialisation is over.
    DWORD_PTR result = 0;
    if (found && !::SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &result))
        found = nullptr;
    m_window = found;
    return found;
}

bool GraventaProcess::WaitForExit(DWORD timeoutMs, DWORD* code)
{
    if (!m_process)
        return true;
    if (::WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (code)
        ::GetExitCodeProcess(m_process.get(), code);
    return true;
}

void GraventaProcess::Stop()
{
    if (!m_process)
        return;
    if (m_window)
        ::PostMessageW(m_window, WM_QUIT, 0, 0);
    if (!WaitForExit(m_window ? 10000 : 0)) {
        ::TerminateProcess(m_process.get(), 1);
        WaitForExit(10000);
    }
    m_process.reset();
    m_window = nullptr;
}

std::vector<HWND> WindowsTitledGraventa()
{
    std::vector<HWND> found;
    for (const HWND window : TopLevelWindows())
        if (TitleOf(window) == L"Graventa")
            found.push_back(window);
    return found;
}

void KillStrayResidents()
{
    for (const HWND window : WindowsTitledGraventa()) {
        ADD_FAILURE() << "a Graventa window was left running; ending its process";
        win32::UniqueHandleNull process(
            ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessOf(window)));
        if (process) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 10000);
        }
    }
}

HWND FindDialogOf(DWORD pid, int controlId)
{
    for (const HWND window : TopLevelWindows())
        if (ProcessOf(window) == pid && ClassOf(window) == kDialogClass &&
            ::GetDlgItem(window, controlId))
            return window;
    return nullptr;
}

HWND WaitForDialogOf(DWORD pid, int controlId)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialogOf(pid, controlId)) != nullptr; });
    return found;
}

std::wstring ControlText(HWND dialog, int controlId)
{
    return TitleOf(::GetDlgItem(dialog, controlId));
}

::testing::AssertionResult DialogShows(DWORD pid, int controlId, const std::wstring& text,
                                       HWND& dialog)
{
    std::wstring seen = L"<no dialog>";
    HWND found = nullptr;
    const bool shown = WaitUntil([&] {
        found = FindDialogOf(pid, controlId);
        if (found)
            seen = ControlText(found, controlId);
        return found && seen == text;
    });
    if (!shown)
        return ::testing::AssertionFailure()
               << "no dialog of process " << pid << " showed " << ::testing::PrintToString(text)
               << " in control " << controlId << "; last seen: " << ::testing::PrintToString(seen);
    dialog = found;
    return ::testing::AssertionSuccess();
}

void Press(HWND dialog, int buttonId)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, buttonId)));
}

std::wstring SendCommand(HWND window, UINT code, const wchar_t* text)
{
    ::SendMessageW(window, WM_SETTEXT, code, reinterpret_cast<LPARAM>(text));
    return TitleOf(window);
}

bool IsClosedFile(const std::wstring& path)
{
    win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}

std::string ReadText(const std::wstring& path)
{
    std::string bytes;
    testsupport::ReadFileBytes(path, bytes);
    return bytes;
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

BalloonRecorder::BalloonRecorder()
{
    if (!TrayNotifyPipeName(m_name))
        return;
    // The first instance listens before the constructor returns, as the real
    // tray's does: a sender that finds no pipe at all gives up at once.
    win32::UniqueFile first = CreateInstance();
    if (!first)
        return;
    m_ready = true;
    m_listener = std::thread([this, pipe = std::move(first)]() mutable { Listen(std::move(pipe)); });
}

win32::UniqueFile BalloonRecorder::CreateInstance() const
{
    // A tiny buffer: a sender's write completes only once it is read.
    return win32::UniqueFile(::CreateNamedPipeW(
        m_name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
        PIPE_UNLIMITED_INSTANCES, 1, 1, 0, nullptr));
}

BalloonRecorder::~BalloonRecorder()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_listener.joinable()) {
        // A connection of our own ends the wait for the next sender.
        WaitUntil([&] {
            win32::UniqueFile wake(::CreateFileW(m_name.c_str(), GENERIC_WRITE, 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
            return static_cast<bool>(wake);
        }, 5000);
        m_listener.join();
    }
    for (auto& server : m_servers)
        server.join();
}

void BalloonRecorder::Listen(win32::UniqueFile pipe)
{
    while (pipe) {
        const bool connected =
            ::ConnectNamedPipe(pipe.get(), nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED;
        // The next instance listens before this one is handed on, so that no
        // sender ever finds the pipe missing.
        win32::UniqueFile next = CreateInstance();
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_stopping)
            return;
        if (connected)
            m_servers.emplace_back([this, p = std::move(pipe)]() mutable { Serve(std::move(p)); });
        pipe = std::move(next);
    }
}

void BalloonRecorder::Serve(win32::UniqueFile pipe)
{
    {
        std::unique_lock<std::mutex> guard(m_lock);
        if (m_holdNext) {
            m_holdNext = false;
            m_holding = true;
            m_changed.notify_all();
            m_changed.wait(guard, [this] { return m_released || m_stopping; });
            m_holding = false;
        }
    }
    std::vector<char> bytes;
    char chunk[4096];
    for (;;) {
        DWORD cbRead = 0;
        const BOOL ok = ::ReadFile(pipe.get(), chunk, sizeof(chunk), &cbRead, nullptr);
        bytes.insert(bytes.end(), chunk, chunk + cbRead);
        if (ok || ::GetLastError() != ERROR_MORE_DATA)
            break;
    }
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy(bytes.begin(), bytes.begin() + text.size() * sizeof(wchar_t),
              reinterpret_cast<char*>(text.data()));
    text = text.substr(0, text.find(L'\0'));
    Balloon balloon;
    const size_t first = text.find(kTrayMessageSeparator);
    const size_t second = first == std::wstring::npos
                              ? std::wstring::npos
                              : text.find(kTrayMessageSeparator, first + 1);
    if (second != std::wstring::npos) {
        const size_t cchSeparator = ::wcslen(kTrayMessageSeparator);
        balloon.title = text.substr(0, first);
        balloon.text = text.substr(first + cchSeparator, second - first - cchSeparator);
        balloon.id = ::_wtoi(text.c_str() + second + cchSeparator);
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_balloons.push_back(balloon);
    }
    m_changed.notify_all();
    ::DisconnectNamedPipe(pipe.get());
}

void BalloonRecorder::HoldNextBalloon()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_holdNext = true;
    m_released = false;
}

bool BalloonRecorder::WaitForHeldSender()
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(kPatienceMs),
                              [this] { return m_holding; });
}

void BalloonRecorder::ReleaseHeldBalloon()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_released = true;
    }
    m_changed.notify_all();
}

bool BalloonRecorder::WaitForBalloon(int id, size_t count)
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(kPatienceMs), [&] {
        return static_cast<size_t>(std::count_if(m_balloons.begin(), m_balloons.end(),
                                                 [id](const Balloon& b) { return b.id == id; })) >=
               count;
    });
}

std::vector<BalloonRecorder::Balloon> BalloonRecorder::Balloons()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_balloons;
}

size_t BalloonRecorder::CountWithId(int id)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<size_t>(std::count_if(m_balloons.begin(), m_balloons.end(),
                                             [id](const Balloon& b) { return b.id == id; }));
}

void GraventaTest::SetUp()
{
    testsupport::ProductRegistryTest::SetUp();
    KillStrayResidents();
    exe = install / L"Graventa.exe";
    ASSERT_TRUE(::CopyFileW(BuiltProgram(SCORAVEL_GRAVENTA_EXE).c_str(), exe.c_str(), FALSE))
        << ::GetLastError();
    testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                           install.Path());
    testsupport::PutDword(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"EnableSuccessLogging", 1);
    wchar_t user[MAX_PATH + 1] = {};
    DWORD cchUser = ARRAYSIZE(user);
    ASSERT_TRUE(::GetUserNameW(user, &cchUser));
    log = install / (std::wstring(user) + L"_ShredderLog.txt");
}

void GraventaTest::TearDown()
{
    resident.Stop();
    testsupport::ProductRegistryTest::TearDown();
}

void GraventaTest::SaveProfile(const TestProfile& profile)
{
    SettingsStore settings;
    settings.SetSecurityProfile(kProfileAdvanced);
    settings.ClearProfileBody();
    for (int kind = 0; kind < kTraceKindCount; ++kind)
        settings.SetConfirm(static_cast<TraceKind>(kind), false);
    settings.SetEraseMethod(kEraseOnePass);
    for (const auto& file : profile.files)
        settings.AddFileEntry(file, false);
    for (const auto& path : profile.excluded)
        settings.AddExcludeEntry(path);
    settings.SetActivateOnSystemShutdown(profile.shredAtShutdown);
    settings.SetActivateOnKeyPress(profile.hotKey != 0);
    if (profile.hotKey)
        settings.SetKeySequence(true, true, false, std::wstring(1, profile.hotKey));
    ASSERT_TRUE(settings.SaveAll());
}

void GraventaTest::StartResident(const ChildOptions& options)
{
    ASSERT_TRUE(resident.Start(exe, {}, install.Path(), options)) << ::GetLastError();
    ASSERT_TRUE(resident.WaitForWindow());
}

void GraventaTest::RunVerb(const std::vector<std::wstring>& arguments, const ChildOptions& options)
{
    GraventaProcess verb;
    ASSERT_TRUE(verb.Start(exe, arguments, install.Path(), options)) << ::GetLastError();
    ASSERT_TRUE(verb.WaitForExit(kPatienceMs));
}

std::wstring GraventaTest::Put(const std::wstring& path, size_t cb)
{
    std::string bytes(cb, '\0');
    for (size_t i = 0; i < cb; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + path.size()) % 26);
    EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes)) << path;
    m_written[path] = bytes;
    return path;
}

std::vector<std::wstring> GraventaTest::MakeTree(const std::wstring& root)
{
    EXPECT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    EXPECT_TRUE(::CreateDirectoryW((root + L"\\nested").c_str(), nullptr));
    std::vector<std::wstring> files = {
        Put(root + L"\\empty.bin", 0),          Put(root + L"\\one.bin", 1),
        Put(root + L"\\page.bin", 4096 + 7),     Put(root + L"\\read-only.txt", 700),
        Put(root + L"\\nested\\large.bin", 70000),
    };
    EXPECT_TRUE(::SetFileAttributesW((root + L"\\read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    return files;
}

bool GraventaTest::Untouched(const std::vector<std::wstring>& files)
{
    for (const auto& file : files) {
        std::string bytes;
        if (!testsupport::ReadFileBytes(file, bytes) || bytes != m_written[file])
            return false;
    }
    return true;
}

bool GraventaTest::NoneLeft(const std::vector<std::wstring>& files)
{
    for (const auto& file : files)
        if (testsupport::PathExists(file))
            return false;
    return true;
}

bool GraventaTest::LogIsComplete()
{
    return testsupport::PathExists(log) && IsClosedFile(log);
}

}  // namespace graventatest
