#include "tests/program/graventa_test_support.h"

#include "settings/settings_store.h"

#include <gtest/gtest.h>

#ifndef SCORAVEL_GRAVENTA_EXE
#error "the build names the Graventa.exe under test"
#endif

namespace graventatest {

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";

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
    testsupport::ChildOptions child;
    child.folder = folder;
    child.stderrPath = options.stderrPath;
    // The test's own run may carry the rig's UI switch: the child gets it
    // only when asked for.
    child.environment = {{L"SCORAVEL_UNATTENDED_UI", options.unattended ? L"1" : L""}};
    child.environment.insert(child.environment.end(), options.environment.begin(),
                             options.environment.end());
    m_window = nullptr;
    return m_child.Start(program, testsupport::QuotedArguments(arguments), child);
}

HWND GraventaProcess::WaitForWindow()
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (const HWND window : WindowsTitledGraventa())
            if (ProcessOf(window) == Id())
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

void GraventaProcess::Stop()
{
    if (m_window)
        ::PostMessageW(m_window, WM_QUIT, 0, 0);
    WaitForExit(m_window ? 10000 : 0);
    m_child.Kill();
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

ControlPipe::ControlPipe(const std::wstring& name)
    : m_name(name),
      m_pipe(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                4096, 0, nullptr))
{
    m_overlapped.hEvent = m_event.get();
}

bool ControlPipe::Occupy()
{
    // A new instance takes a client before anyone waits for one.
    m_client.reset(
        ::CreateFileW(m_name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(m_client);
}

bool ControlPipe::Listen()
{
    m_client.reset();
    ::DisconnectNamedPipe(m_pipe.get());
    ::ResetEvent(m_event.get());
    if (::ConnectNamedPipe(m_pipe.get(), &m_overlapped))
        return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_PIPE_CONNECTED)
        ::SetEvent(m_event.get());
    return error == ERROR_IO_PENDING || error == ERROR_PIPE_CONNECTED;
}

std::wstring ControlPipe::ReadMessage(DWORD* cbRead)
{
    wchar_t message[300] = {};
    DWORD cb = 0;
    if (::WaitForSingleObject(m_event.get(), kPatienceMs) == WAIT_OBJECT_0) {
        ::ResetEvent(m_event.get());
        bool read = ::ReadFile(m_pipe.get(), message, sizeof(message) - sizeof(wchar_t), &cb,
                               &m_overlapped) != FALSE;
        if (!read && ::GetLastError() == ERROR_IO_PENDING) {
            if (::WaitForSingleObject(m_event.get(), kPatienceMs) != WAIT_OBJECT_0)
                ::CancelIo(m_pipe.get());  // the wait below then ends with the cancel
            read = ::GetOverlappedResult(m_pipe.get(), &m_overlapped, &cb, TRUE) != FALSE;
        }
        if (!read)
            cb = 0;
    } else {
        ::CancelIo(m_pipe.get());
        ::GetOverlappedResult(m_pipe.get(), &m_overlapped, &cb, TRUE);
        cb = 0;
    }
    ::DisconnectNamedPipe(m_pipe.get());
    if (cbRead)
        *cbRead = cb;
    return std::wstring(message, ::wcsnlen(message, cb / sizeof(wchar_t)));
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
    for (const TraceKind kind : profile.traces)
        settings.SetShred(kind, true);
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
        Put(root + L"\\empty.bin", 0),
        Put(root + L"\\one.bin", 1),
        Put(root + L"\\page.bin", 4096 + 7),
        Put(root + L"\\read-only.txt", 700),
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
