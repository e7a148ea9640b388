#include "program/graventa_app.h"

#include "ipc/main_window_command.h"
#include "resources/graventa/resource.h"
#include "settings/install_location.h"
#include "settings/settings_values.h"
#include "shred/shred_manager.h"
#include "win32/path.h"
#include "win32/registry.h"
#include "win32/security.h"
#include "win32/unique_handle.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

namespace {

constexpr wchar_t kCleanupProgram[] = L"OVSCCleanup.exe";

// Lets the system restart the resident program after an update or a crash.
void RegisterForRestart()
{
    using RegisterRestartFn = HRESULT(WINAPI*)(PCWSTR, DWORD);
    const HMODULE kernel = ::GetModuleHandleW(L"KERNEL32.DLL");
    if (!kernel)
        return;
    // Present from the first system version that restarts programs.
    const auto registerRestart = reinterpret_cast<RegisterRestartFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "RegisterApplicationRestart")));
    if (registerRestart)
        registerRestart(L"", 0);
}

void StartHistoryCleanupIfAsked()
{
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return;
    DWORD value = 0;
    if (win32::ReadDword(key.get(), settingsvalue::kAutoCleanHistory, value) != ERROR_SUCCESS || value != 1)
        return;
    key.reset();
    // Without an install folder the name would resolve against the current
    // drive's root: a program we never put there.
    const std::wstring folder = ReadInstallLocation();
    if (folder.empty())
        return;
    CurrentShredPlatform().StartHistoryCleanup(win32::JoinPath(folder, kCleanupProgram));
}

}  // namespace

CGraventaApp::~CGraventaApp()
{
    ReleaseSessionMutex();
}

BOOL CGraventaApp::InitInstance()
{
    int argc = 0;
    win32::UniqueLocal<wchar_t**> argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv)
        return FALSE;
    std::vector<std::wstring> args;
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv.get()[i]);
    return Start(args);
}

BOOL CGraventaApp::Start(const std::vector<std::wstring>& args)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);
    RegisterForRestart();

    m_dlg = std::make_unique<CGraventaDlg>();
    SetMainWindow(m_dlg.get());
    if (args.size() < 2)
        return StartResident();
    RunVerb(args);
    return FALSE;
}

void CGraventaApp::RunVerb(const std::vector<std::wstring>& args)
{
    const std::wstring& verb = args[1];
    // The forwarded verbs come from scheduled tasks, on no user-interface
    // thread: a busy resident is waited for, or the run would be lost.
    if (win32::EqualNoCase(verb, L"ShredAll")) {
        SendMainWindowCommandPatiently(kCommandShredAllUnattended, nullptr);
    } else if (win32::EqualNoCase(verb, L"DiskBleach")) {
        SendMainWindowCommandPatiently(kCommandBleachFromVerb, nullptr);
    } else if (verb == L"ShredOneFile") {
        if (args.size() > 2)
            m_dlg->StartShredOne(args[2].c_str());
    } else if (win32::EqualNoCase(verb, kVerbShredFirefox)) {
        m_dlg->StartBrowserOperation(kBrowserFirefox, kVerbShredFirefox);
    } else if (win32::EqualNoCase(verb, kVerbShredInternetExplorer)) {
        m_dlg->StartBrowserOperation(kBrowserInternetExplorer, kVerbShredInternetExplorer);
    } else if (win32::EqualNoCase(verb, kVerbInstallFirefoxExtension)) {
        m_dlg->StartBrowserOperation(kBrowserFirefox, kVerbInstallFirefoxExtension);
    } else if (win32::EqualNoCase(verb, kVerbRemoveFirefoxExtension)) {
        m_dlg->StartBrowserOperation(kBrowserFirefox, kVerbRemoveFirefoxExtension);
    } else if (win32::EqualNoCase(verb, L"ClearHistory")) {
        ClearInternetExplorerHistory();
    }
}

BOOL CGraventaApp::StartResident()
{
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
    win32::OpenSecurityAttributes(descriptor, attributes);
    m_sessionMutex.reset(::CreateMutexW(&attributes, TRUE, kSessionMutexName));
    if (m_sessionMutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        m_sessionMutex.reset();  // another instance owns it
        return FALSE;
    }
    // Without the mutex the program still serves as the resident instance.
    m_ownsSessionMutex = static_cast<bool>(m_sessionMutex);

    // Nobody could reach a resident without its window, and it would keep
    // the next one from starting.
    if (!m_dlg->Create(nullptr))
        return FALSE;
    ::ShowWindow(m_dlg->GetHwnd(), SW_HIDE);
    StartHistoryCleanupIfAsked();
    return TRUE;
}

int CGraventaApp::ExitInstance()
{
    ReleaseSessionMutex();
    SetMainWindow(nullptr);
    m_dlg.reset();
    return fw::CWinApp::ExitInstance();
}

void CGraventaApp::ReleaseSessionMutex()
{
    if (m_sessionMutex && m_ownsSessionMutex)
        ::ReleaseMutex(m_sessionMutex.get());
    m_ownsSessionMutex = false;
    m_sessionMutex.reset();
}

void ClearInternetExplorerHistory()
{
    CurrentShredPlatform().ClearUrlHistory();

    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_SET_VALUE, key) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), settingsvalue::kAutoCleanHistory);
}
