#include "tests/plugin/host_test_support.h"

#include "framework/build_seams.h"
#include "ipc/bleach_protocol.h"
#include "ipc/main_window_command.h"
#include "ipc/tray_notify_client.h"
#include "plugin/backup_restore.h"
#include "plugin/plugin_objects.h"
#include "tests/common/wait.h"

namespace hosttest {

namespace {

struct CreatorRow {
    const GUID* clsid;
    const wchar_t* category;
    HRESULT (*create)(REFIID, void**);
};

const CreatorRow kCreators[] = {
    {&IID_IFWTWPages, fwhost::kUserConsoleCategory, CreatePluginPages},
    {&IID_IFWTWTrayMenuItems, fwhost::kTrayIconCategory, CreateTrayMenu},
    {&IID_IFWTWTraySubscribe, fwhost::kTrayIconCategory, CreateTrayNotifications},
    {&IID_IFWTWTrayNotifyCallback, fwhost::kTrayIconCategory, CreateTrayNotifyCallback},
    {&CLSID_TWBackupRestore, fwhost::kBackupRestoreCategory, CreateBackupRestore},
};

}  // namespace

HRESULT InProcessCreator(REFCLSID clsid, REFIID riid, void** ppv)
{
    for (const CreatorRow& row : kCreators)
        if (IsEqualCLSID(clsid, *row.clsid))
            return row.create(riid, ppv);
    *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

std::vector<fwhost::PluginEntry> InProcessEntries()
{
    std::vector<fwhost::PluginEntry> entries;
    for (const CreatorRow& row : kCreators)
        entries.push_back({row.category, *row.clsid, L"in-process"});
    return entries;
}

fwhost::PluginObjects CreateInProcessObjects()
{
    return fwhost::CreatePluginObjects(InProcessEntries(), InProcessCreator);
}

std::wstring BuiltFile(const char* unixPath)
{
    std::wstring path = L"\\\\?\\unix";
    for (const char* c = unixPath; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

PrivateIconRequests::PrivateIconRequests()
{
    static int serial = 0;
    const std::wstring suffix =
        L"_pages_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
    m_pipe = kBleachControlPipe + suffix;
    ::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, suffix.c_str());
    ::SetEnvironmentVariableW(fw::kDesktopIconPauseVariable, L"0");
}

PrivateIconRequests::~PrivateIconRequests()
{
    ::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, nullptr);
    ::SetEnvironmentVariableW(fw::kDesktopIconPauseVariable, nullptr);
}

HANDLE OpenTrayPipe()
{
    std::wstring name;
    if (!TrayNotifyPipeName(name))
        return INVALID_HANDLE_VALUE;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    testsupport::WaitUntil([&] {
        pipe = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_PIPE_BUSY)
            ::WaitNamedPipeW(name.c_str(), 1000);
        return pipe != INVALID_HANDLE_VALUE;
    });
    return pipe;
}

bool SendRaw(const std::string& bytes)
{
    const win32::UniqueFile pipe(OpenTrayPipe());
    if (!pipe)
        return false;
    DWORD written = 0;
    return bytes.empty() || (::WriteFile(pipe.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                         &written, nullptr) &&
                             written == bytes.size());
}

bool SendBalloon(const wchar_t* title, const wchar_t* text, int id)
{
    // Between two clients the server has no instance for a moment, and the
    // client gives up at once then.
    TrayNotifyClient client;
    return testsupport::WaitUntil([&] { return client.Send(title, text, id) != FALSE; });
}

}  // namespace hosttest
