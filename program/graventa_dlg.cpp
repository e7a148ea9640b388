#include "program/graventa_dlg.h"

#include "ipc/bleach_pipe_client.h"
#include "ipc/bleach_protocol.h"
#include "ipc/main_window_command.h"
#include "program/ui/shred_dialogs.h"
#include "resources/graventa/resource.h"
#include "settings/install_location.h"
#include "settings/settings_store.h"
#include "settings/settings_values.h"
#include "shred/shred_manager.h"
#include "win32/registry.h"
#include "win32/security.h"
#include "win32/string_table.h"

#include <shlobj.h>

namespace {

constexpr int kShredHotKeyId = 1;
constexpr DWORD kShutdownWaitMs = 3000;
constexpr DWORD kDesktopIconPauseMs = 1500;
// Flag of the shell change notification the desktop refresh ends with.
constexpr UINT kAssocChangedFlags = 0x2000;
// The system's shutdown screen that lists the programs holding it back.
constexpr wchar_t kShutdownScreenClass[] = L"BlockedShutdownResolver";

std::wstring ProgramText(UINT id)
{
    return win32::LoadTableString(::GetModuleHandleW(nullptr), id);
}

bool Contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

}  // namespace

CGraventaDlg::CGraventaDlg() : fw::CDialog(IDD_GRAVENTA)
{
    m_icon =
        static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_GRAVENTA),
                                        IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (const HMODULE user32 = ::GetModuleHandleW(L"user32.dll")) {
        m_blockReasonCreate = reinterpret_cast<BlockReasonCreateFn>(
            reinterpret_cast<void*>(::GetProcAddress(user32, "ShutdownBlockReasonCreate")));
        if (m_blockReasonCreate)
            m_blockReasonDestroy = reinterpret_cast<BlockReasonDestroyFn>(
                reinterpret_cast<void*>(::GetProcAddress(user32, "ShutdownBlockReasonDestroy")));
    }
}

CGraventaDlg::~CGraventaDlg()
{
    // OnDestroy must still run while this part of the object exists.
    DestroyWindow();
    // Whatever ended the message loop, no operation may outlive the members
    // it uses.
    WaitForOperations();
}

BOOL CGraventaDlg::OnInitDialog()
{
    ::SendMessageW(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageW(GetHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
    win32::OpenSecurityAttributes(descriptor, attributes);
    m_doneEvent.reset(::CreateEventW(&attributes, FALSE, FALSE, nullptr));
    m_wait = 0;
    RegisterShredHotKey();
    return TRUE;
}

bool CGraventaDlg::OnCommand(WORD id, WORD, HWND)
{
    // Escape and Close would end a modeless dialog; nothing but the end of
    // the session ends this one.
    return id == IDOK || id == IDCANCEL;
}

void CGraventaDlg::OnDestroy()
{
    ::UnregisterHotKey(GetHwnd(), kShredHotKeyId);
}

bool CGraventaDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_SETTEXT:
        if (wParam == 0)
            return false;  // a plain title: the default processing stores it
        OnSetText(wParam, reinterpret_cast<const wchar_t*>(lParam));
        SetMsgResult(TRUE);
        result = TRUE;
        return true;
    case WM_QUERYENDSESSION: {
        LRESULT answer = 0;
        if (!OnQueryEndSession(lParam, answer))
            return false;
        SetMsgResult(answer);
        result = TRUE;
        return true;
    }
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return false;
    case WM_HOTKEY:
        if (wParam == kShredHotKeyId) {
            m_wait = 0;
            StartShredAll(false);
        }
        return false;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(m_icon);
        return true;
    default:
        return false;
    }
}

void CGraventaDlg::OnSetText(WPARAM code, const wchar_t* text)
{
    switch (code) {
    case kCommandShredOne:
        m_wait = 0;
        StartShredOne(text);
        break;
    case kCommandShredAll:
        m_wait = 0;
        StartShredAll(false);
        break;
    case kCommandBleach:
    case kCommandBleachFromVerb:
        m_wait = 0;
        StartDiskBleach();
        break;
    case kCommandInternetExplorer:
        m_wait = 1;
        StartBrowserOperation(kBrowserInternetExplorer, text);
        break;
    case kCommandFirefox:
        m_wait = 1;
        StartBrowserOperation(kBrowserFirefox, text);
        break;
    case kCommandReloadHotKey:
        RegisterShredHotKey();
        break;
    case kCommandUnregisterIcon:
        RemoveDesktopIcon();
        break;
    case kCommandShredAllUnattended:
        m_wait = 1;
        StartShredAll(false);
        break;
    case kCommandShowShredProgress:
        m_shredAll.ShowRunning(nullptr);
        break;
    case kCommandShowBleachProgress:
        ShowBleachProgress();
        break;
    default:
        break;  // a title and nothing else
    }
}

void CGraventaDlg::StartShredOne(const wchar_t* path)
{
    // An empty text names nothing, as no text does.
    if (!path || !*path)
        return;
    const std::wstring copy(path);
    if (RefuseOverlongPath(copy))
        return;
    Launch(std::make_unique<CShredOneOperation>(m_shredUi, copy), m_wait != 0);
}

void CGraventaDlg::StartBrowserOperation(int kind, const wchar_t* verb)
{
    if (!verb)
        return;
    Launch(std::make_unique<CBHOOperation>(m_shredUi, kind, verb), m_wait != 0);
}

bool CGraventaDlg::Launch(std::unique_ptr<fw::CThread> operation, bool wait)
{
    win32::UniqueHandleNull thread;
    if (!LaunchOperation(std::move(operation), &thread))
        return false;
    if (wait) {
        ::WaitForSingleObject(thread.get(), INFINITE);
        return true;
    }
    std::erase_if(m_operationThreads, [](const win32::UniqueHandleNull& running) {
        return ::WaitForSingleObject(running.get(), 0) == WAIT_OBJECT_0;
    });
    m_operationThreads.push_back(std::move(thread));
    return true;
}

void CGraventaDlg::WaitForOperations()
{
    for (const auto& thread : m_operationThreads)
        ::WaitForSingleObject(thread.get(), INFINITE);
    m_operationThreads.clear();
}

void CGraventaDlg::StartShredAll(bool shutdownMode)
{
    // A shred-all that was already running when the shutdown came reports its
    // end like one started for it.
    if (m_shredAll.ShowRunning(shutdownMode ? GetHwnd() : nullptr))
        return;
    auto operation = std::make_unique<CShredAllOperation>(m_shredUi, m_shredAll, m_doneEvent.get(),
                                                          shutdownMode ? GetHwnd() : nullptr,
                                                          shutdownMode || m_wait == 1);
    m_shredAll.Begin(operation.get());
    if (!Launch(std::move(operation), false))
        m_shredAll.Abandon();
}

void CGraventaDlg::StartDiskBleach()
{
    if (m_bleach.ShowRunning())
        return;
    // The operation's construction starts its hidden progress window.
    auto operation = std::make_unique<CBleachAllOperation>(m_bleach);
    m_bleach.Begin(operation.get());
    if (!Launch(std::move(operation), false))
        m_bleach.Abandon();
}

void CGraventaDlg::ShowBleachProgress()
{
    m_bleach.ShowRunning();
}

void CGraventaDlg::RegisterShredHotKey()
{
    SettingsStore settings;
    settings.LoadCurrent();
    ::UnregisterHotKey(GetHwnd(), kShredHotKeyId);
    const std::wstring keys = settings.GetKeyCodeVals();
    if (!settings.GetActivateOnKeyPress() || keys.empty())
        return;

    UINT modifiers = 0;
    if (Contains(keys, L"+CTRL"))
        modifiers |= MOD_CONTROL;
    if (Contains(keys, L"+ALT"))
        modifiers |= MOD_ALT;
    if (Contains(keys, L"+SHIFT"))
        modifiers |= MOD_SHIFT;

    SHORT scan = -1;
    if (::GetSystemDefaultLCID() == 1049) {
        // The key is stored as a Latin letter; read it on the US layout.
        const HKL us = ::LoadKeyboardLayoutW(L"00000409", KLF_ACTIVATE);
        scan = ::VkKeyScanExW(keys[0], us);
    } else {
        scan = ::VkKeyScanW(keys[0]);
    }
    if (scan == -1)
        return;  // no key makes that character
    ::RegisterHotKey(GetHwnd(), kShredHotKeyId, modifiers, LOBYTE(scan));
}

void CGraventaDlg::RemoveDesktopIcon()
{
    win32::UniqueFile pipe;
    if (OpenBleachPipe(CurrentBleachPipes().control, BleachPipeRole::Control, pipe))
        WriteControlMessage(pipe.get(), kUnregisterDesktopIcon,
                            static_cast<int32_t>(::GetCurrentProcessId()),
                            static_cast<int32_t>(::GetCurrentThreadId()));
    // The service unregisters the icon's class asynchronously; give it the
    // time before the desktop is read again.
    ::Sleep(kDesktopIconPauseMs);
    wchar_t desktop[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, desktop)))
        ::SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, desktop, nullptr);
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, kAssocChangedFlags, nullptr, nullptr);
}

bool CGraventaDlg::OnQueryEndSession(LPARAM reason, LRESULT& answer)
{
    // A plain log-off is never held back.
    if (static_cast<DWORD>(reason) == ENDSESSION_LOGOFF)
        return false;

    if (m_shutdownPending) {
        if (m_shredAll.IsRunning()) {
            StartShredAll(true);
            answer = 0;
            return true;
        }
        RecordHistoryCleanup();
        m_shutdownPending = false;
        if (!m_blockReasonSet || !m_blockReasonDestroy)
            return false;
        DestroyBlockReason();
        wchar_t className[64] = {};
        const HWND foreground = ::GetForegroundWindow();
        if (foreground && ::GetClassNameW(foreground, className, ARRAYSIZE(className)) &&
            ::lstrcmpW(className, kShutdownScreenClass) == 0)
            ::PostQuitMessage(0);
        answer = 0;
        return true;
    }

    SettingsStore settings;
    settings.LoadCurrent();
    if (!settings.GetActivateOnSystemShutdown())
        return false;

    // Fails on systems that show no reasons (and under some emulators, with
    // ERROR_CALL_NOT_IMPLEMENTED); the shred runs all the same.
    if (m_blockReasonCreate)
        m_blockReasonSet =
            m_blockReasonCreate(GetHwnd(), ProgramText(IDS_SHUTDOWN_BLOCK_REASON).c_str());
    if (AskShredConfirmation(ProgramText(IDS_SKIP_SHUTDOWN_SHRED))) {
        DestroyBlockReason();
        return false;
    }

    m_shutdownPending = true;
    if (m_doneEvent)
        ::ResetEvent(m_doneEvent.get());
    StartShredAll(true);
    if (!m_doneEvent ||
        ::WaitForSingleObject(m_doneEvent.get(), kShutdownWaitMs) != WAIT_OBJECT_0) {
        // Still shredding: the session waits; the shred's end asks again.
        StartShredAll(false);
        answer = 0;
        return true;
    }
    RecordHistoryCleanup();
    DestroyBlockReason();
    ::PostQuitMessage(0);
    return false;
}

void CGraventaDlg::OnEndSession(bool ending)
{
    if (!ending)
        return;
    if (m_shredAll.IsRunning())
        NotifyShredAllOfEndSession(TRUE);
    // A bleach would hold the session for as long as the wipe runs.
    m_bleach.StopRunning();
    // The running shred stops before its next item; the session must not end
    // before it has closed its log. Every other operation (a shred-one still
    // asking, a browser job) finishes too: they all use this object.
    WaitForOperations();
    ::PostQuitMessage(0);
}

void CGraventaDlg::DestroyBlockReason()
{
    if (m_blockReasonSet && m_blockReasonDestroy) {
        m_blockReasonDestroy(GetHwnd());
        m_blockReasonSet = FALSE;
    }
}

void CGraventaDlg::RecordHistoryCleanup()
{
    if (!HistoryCleanupStarted)
        return;
    win32::UniqueKey key;
    if (win32::CreateKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_SET_VALUE, key) == ERROR_SUCCESS)
        win32::WriteDword(key.get(), settingsvalue::kAutoCleanHistory, 1);
}
