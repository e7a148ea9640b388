#include "commands/command_sender.h"

#include "commands/file_folder_dialog.h"
#include "ipc/main_window_command.h"
#include "settings/install_location.h"
#include "win32/path.h"
#include "win32/registry.h"
#include "win32/system_info.h"

#include <shellapi.h>

namespace {

// A second RequestShredOne while the first waits in its dialog (the tray
// menu stays live) is ignored. Only the host's UI thread asks.
bool g_shredOneBusy = false;

class BusyFlag {
public:
    BusyFlag() { g_shredOneBusy = true; }
    ~BusyFlag() { g_shredOneBusy = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;
};

std::wstring ReadMachineString(const wchar_t* keyPath, const wchar_t* name)
{
    win32::UniqueKey key;
    std::wstring value;
    if (win32::OpenKey(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
        win32::ReadString(key.get(), name, value) != ERROR_SUCCESS)
        return {};
    return value;
}

// The item Graventa will shred for `path`, as its engine opens it: the full
// path, looked up through its "\\?\" form. A path that is not fully qualified
// would be resolved in Graventa's current folder, not the sender's; the plain
// form of "C:\x\com1.txt" or "NUL" is a device, so PathFileExistsW would
// vouch for a file that is not there. Graventa copies the text into a
// 260-character buffer: a longer path would reach it cut, naming another.
bool ShredOneTarget(const std::wstring& path, std::wstring& target)
{
    std::wstring full;
    if (!win32::IsFullyQualified(path) || !win32::FullPathOf(path, full) ||
        !win32::FitsMaxPath(full))
        return false;
    if (::GetFileAttributesW(win32::ExtendedPath(full).c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    target = std::move(full);
    return true;
}

// The console's argument: the plug-in's page object and the page index.
constexpr wchar_t kConsolePagePrefix[] = L"{B437C14F-1012-417e-A127-55C84CC0B16F}:";
constexpr wchar_t kHelpTopic[] = L"::/1_1_3_1.html";
constexpr wchar_t kHelpWindowClass[] = L"HH Parent";
constexpr wchar_t kHelpWindowTitle[] = L"Scoravel for OV Tarnwell";

}  // namespace

LRESULT RequestShredAll(int flag)
{
    return SendMainWindowCommand(flag == 1 ? kCommandShowShredProgress : kCommandShredAll, nullptr);
}

LRESULT RequestDiskBleach(int flag)
{
    return SendMainWindowCommand(flag == 1 ? kCommandShowBleachProgress : kCommandBleach, nullptr);
}

LRESULT RequestInstallFFBho()
{
    return SendMainWindowCommand(kCommandFirefox, kVerbInstallFirefoxExtension);
}

LRESULT RequestRemoveFFBho()
{
    return SendMainWindowCommand(kCommandFirefox, kVerbRemoveFirefoxExtension);
}

LRESULT RequestRemoveIcon()
{
    return SendMainWindowCommand(kCommandUnregisterIcon, nullptr);
}

LRESULT RequestShredOne(const std::wstring& path, HWND owner)
{
    if (g_shredOneBusy)
        return 0;
    BusyFlag busy;

    std::wstring chosen = path;
    if (chosen.empty()) {
        // Over the window the user acted in. Graventa's window is never the
        // owner: it is hidden, and the dialog would open at its corner.
        if (owner && !::IsWindow(owner))
            owner = nullptr;
        CFileFolderDialog dialog(true, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, nullptr, owner);
        if (dialog.DoModal() != IDOK)
            return -1;
        chosen = dialog.GetPath();
    }
    std::wstring target;
    if (!ShredOneTarget(chosen, target))
        return 0;
    return SendMainWindowCommand(kCommandShredOne, target.c_str());
}

std::wstring GetHostInstallPath(const wchar_t* hostKeyPath)
{
    return ReadMachineString(hostKeyPath, L"FerrowindPath");
}

bool OpenHostConsole(int page, const wchar_t* hostKeyPath)
{
    // Without the host's folder the console path would start at the root of
    // the current drive.
    const std::wstring hostFolder = GetHostInstallPath(hostKeyPath);
    if (hostFolder.empty())
        return false;
    const std::wstring console = win32::JoinPath(hostFolder, L"Bin\\FWUserConsole.exe");
    const std::wstring parameters = kConsolePagePrefix + std::to_wstring(page);
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
        nullptr, L"open", console.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32;
}

ProductHelp::ProductHelp() : m_installFolder(ReadInstallLocation()), m_helpPath(L"\\OVSCHelp.chm") {}

const wchar_t* ProductHelp::LanguageHelpPath(LANGID language)
{
    const WORD sub = SUBLANGID(language);
    switch (PRIMARYLANGID(language)) {
    case LANG_CHINESE:
        if (sub == 1 || sub == 3)
            return L"\\help\\TChinese\\OVSCHelp.chm";
        if (sub == 2 || sub == 4 || sub == 5)
            return L"\\help\\SChinese\\OVSCHelp.chm";
        break;  // neutral or unknown Chinese: English below
    case LANG_CZECH:
        return L"\\help\\Czech\\OVSCHelp.chm";
    case LANG_GERMAN:
        return L"\\help\\German\\OVSCHelp.chm";
    case LANG_SPANISH:
        return L"\\help\\Spanish\\OVSCHelp.chm";
    case LANG_FRENCH:
        return L"\\help\\French\\OVSCHelp.chm";
    case LANG_ITALIAN:
        return L"\\help\\Italian\\OVSCHelp.chm";
    case LANG_JAPANESE:
        return L"\\help\\Japanese\\OVSCHelp.chm";
    case LANG_KOREAN:
        return L"\\help\\Korean\\OVSCHelp.chm";
    case LANG_PORTUGUESE:
        return L"\\help\\BrPortuguese\\OVSCHelp.chm";
    default:
        break;
    }
    return L"\\help\\English\\OVSCHelp.chm";
}

int ProductHelp::OpenHelp(LANGID language)
{
    if (m_installFolder.empty())
        return 0;
    m_helpPath = win32::JoinPath(m_installFolder, LanguageHelpPath(language));
    const std::wstring topic = m_helpPath + kHelpTopic;
    // By its full path, so that no hh.exe on the search path is taken instead.
    const std::wstring program = win32::SystemWindowsProgramPath(L"hh.exe");
    if (program.empty())
        return 0;
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
        nullptr, L"open", program.c_str(), topic.c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32 ? 1 : 0;
}

HWND FindProductHelpWindow()
{
    return ::FindWindowW(kHelpWindowClass, kHelpWindowTitle);
}

void OpenProductHelp()
{
    if (FindProductHelpWindow())
        return;
    ProductHelp().OpenHelp();
}
