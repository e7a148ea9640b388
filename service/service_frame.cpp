#include "service/service_frame.h"

#include "settings/install_location.h"
#include "shred/disk_bleach.h"
#include "shred/shred_manager.h"
#include "win32/debug_output.h"
#include "win32/path.h"
#include "win32/system_info.h"

#include <strsafe.h>

#include <atomic>
#include <cstdarg>
#include <vector>

namespace {

constexpr DWORD kPendingWaitHintMs = 3000;
constexpr int kRemoveStopPolls = 60;

// The service this process runs, for the control handler, which the system
// calls without any context.
std::mutex g_serviceLock;
BleachService* g_service = nullptr;

class ScmStatusSink : public ServiceStatusSink {
public:
    explicit ScmStatusSink(SERVICE_STATUS_HANDLE handle) : m_handle(handle) {}
    bool Report(const SERVICE_STATUS& status) override
    {
        SERVICE_STATUS copy = status;
        return ::SetServiceStatus(m_handle, &copy) != FALSE;
    }

private:
    SERVICE_STATUS_HANDLE m_handle;
};

}  // namespace

namespace {

std::atomic<ServiceOptionsSource> g_optionsSource{nullptr};

ServiceOptions OptionsFor(DWORD argc, wchar_t** argv)
{
    const ServiceOptionsSource source = g_optionsSource.load();
    return source ? source(argc, argv) : ServiceOptions();
}

}  // namespace

void SetServiceOptionsSource(ServiceOptionsSource source)
{
    g_optionsSource = source;
}

BleachService::BleachService(ServiceStatusSink& sink, ServiceOptions options)
    : m_sink(sink), m_options(std::move(options))
{
    // Where the manager puts a service it starts, until it reports.
    m_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    m_status.dwCurrentState = SERVICE_START_PENDING;
    m_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    m_status.dwWin32ExitCode = NO_ERROR;
}

BleachService::~BleachService()
{
    std::unique_ptr<BleachServer> server;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        server = std::move(m_server);
    }
    server.reset();  // sets the stop event and waits for the pipe threads
}

void BleachService::Run()
{
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_stopEvent.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (m_stopEvent)
            m_bleachEvent.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    if (!m_stopEvent || !m_bleachEvent) {
        ServiceFatalError(L"CreateEvent");
        return;
    }
    BleachServer* server = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_server = std::make_unique<BleachServer>(m_options.pipes, m_stopEvent.get(),
                                                  m_bleachEvent.get(), InstallFolderOrDefault());
        server = m_server.get();
    }
    const bool listening =
        m_options.startListeners ? m_options.startListeners(*server) : server->StartListeners();
    if (!listening) {
        ServiceFatalError(server->StartFailure());
        return;
    }
    ReportServiceStatus(SERVICE_RUNNING, NO_ERROR, 0, 0);

    const HANDLE waits[] = {m_stopEvent.get(), m_bleachEvent.get()};
    while (!m_fatal && ::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
        RunOneWipe();
    // A fatal error has reported the service stopped already.
    if (m_fatal)
        return;

    if (!WaitForListeners()) {
        ServiceFatalError(L"WaitForMultipleObjects");
        return;
    }
    {
        std::unique_ptr<BleachServer> ending;
        {
            std::lock_guard<std::mutex> lock(m_frameLock);
            ending = std::move(m_server);
        }
    }
    ReportServiceStatus(SERVICE_STOPPED, NO_ERROR, 0, 0);
}

void BleachService::RunOneWipe()
{
    std::unique_ptr<ShredManager> manager;
    try {
        // No window and nobody to ask: the service has no desktop of its own.
        manager = std::make_unique<ShredManager>(
            std::make_unique<ProgressReporter>(std::unique_ptr<ProgressWindow>()), SilentShredUi());
    } catch (...) {
        return;  // no memory for a manager: no wipe this time
    }
    // The pipe threads reach the wipe's progress through the server.
    m_server->BeginWipe(manager.get());
    try {
        manager->Init();
        if (m_options.runWipe)
            m_options.runWipe(*manager);
        else
            manager->RunDiskBleach();
    } catch (...) {
        // The wipe ends short; its subscribers hear of it as an abort.
    }
    // Cleared before the manager goes.
    m_server->EndWipe();
}

bool BleachService::WaitForListeners()
{
    std::vector<HANDLE> listeners;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (m_server)
            listeners = m_server->ListenerThreads();
    }
    if (listeners.empty())
        return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD waited = ::WaitForMultipleObjects(static_cast<DWORD>(listeners.size()),
                                                      listeners.data(), TRUE, 1000);
        if (waited == WAIT_TIMEOUT) {
            ReportServiceStatus(SERVICE_STOP_PENDING, NO_ERROR, ++m_checkpoint, kPendingWaitHintMs);
            continue;
        }
        return waited < WAIT_OBJECT_0 + listeners.size();
    }
    return true;
}

void BleachService::Control(DWORD control)
{
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) {
        SendStatus(nullptr);
        return;
    }
    ReportServiceStatus(SERVICE_STOP_PENDING, NO_ERROR, ++m_checkpoint, kStopWaitHintMs);
    DWORD setError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (!m_stopEvent)
            return;  // not started yet: the body will not get past its events
        if (!::SetEvent(m_stopEvent.get()))
            setError = ::GetLastError();
        else if (m_server)
            m_server->RequestServiceStop();  // the wipe ends at its next write
    }
    if (setError != ERROR_SUCCESS) {
        ::SetLastError(setError);
        ServiceFatalError(L"SetEvent");
    }
}

void BleachService::ReportServiceStatus(DWORD state, DWORD exitCode, DWORD checkpoint,
                                        DWORD waitHint)
{
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    status.dwWin32ExitCode = exitCode;
    status.dwServiceSpecificExitCode = 0;
    status.dwCheckPoint = checkpoint;
    status.dwWaitHint = waitHint;
    SendStatus(&status);
}

void BleachService::SendStatus(const SERVICE_STATUS* status)
{
    bool reported = false;
    {
        std::lock_guard<std::mutex> lock(m_statusLock);
        // Nothing after stopped: the service is gone for the manager.
        if (m_stopped)
            return;
        if (status)
            m_status = *status;
        if (m_status.dwCurrentState == SERVICE_STOPPED)
            m_stopped = true;
        reported = m_sink.Report(m_status);
    }
    // Outside the lock: the fatal path reports stopped through here.
    if (!reported && !m_inFatal)
        ServiceFatalError(L"SetServiceStatus");
}

void BleachService::ServiceFatalError(const wchar_t* api)
{
    DWORD error = ::GetLastError();
    const std::wstring message =
        win32::SystemMessageText(error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT));
    win32::DebugPrint(L"API = %ls, error code = %d, message = %ls", api, static_cast<int>(error),
                      message.c_str());
    // A failure without a code is still a failure.
    if (error == ERROR_SUCCESS)
        error = ERROR_GEN_FAILURE;
    m_inFatal = true;
    m_fatal = true;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (m_stopEvent)
            ::SetEvent(m_stopEvent.get());
        if (m_server)
            m_server->RequestServiceStop();
    }
    WaitForListeners();
    ReportServiceStatus(SERVICE_STOPPED, error, 0, 0);
    m_inFatal = false;
}

CommandLineAction ParseCommandLine(const wchar_t* commandLine)
{
    if (!commandLine || !*commandLine)
        return CommandLineAction::Dispatch;
    if (std::wstring(commandLine) == L"install")
        return CommandLineAction::Install;
    if (std::wstring(commandLine) == L"remove")
        return CommandLineAction::Remove;
    return CommandLineAction::Dispatch;
}

int RunWardelle(const wchar_t* commandLine)
{
    switch (ParseCommandLine(commandLine)) {
    case CommandLineAction::Install:
        InstallService();
        return 0;
    case CommandLineAction::Remove:
        RemoveService();
        return 0;
    case CommandLineAction::Dispatch:
        break;
    }
    wchar_t name[] = L"Wardelle";
    const SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(table))
        win32::DebugPrint(L"StartServiceCtrlDispatcher OK\n");
    else
        win32::DebugPrint(L"Error code for StartServiceCtrlDispatcher: %u.\n",
                          static_cast<unsigned>(::GetLastError()));
    return 0;
}

std::wstring GetLastErrorText()
{
    const DWORD error = ::GetLastError();
    const std::wstring message = win32::SystemMessageText(error, LANG_NEUTRAL);
    const size_t cch = message.size();
    std::wstring text;
    if (cch >= 2 && cch + 14 <= 256) {
        // Without the line break the system text ends in.
        wchar_t formatted[256];
        if (SUCCEEDED(::StringCchPrintfW(formatted, ARRAYSIZE(formatted), L"%ls (0x%x)",
                                         message.substr(0, cch - 2).c_str(),
                                         static_cast<unsigned>(error))))
            text = formatted;
    }
    return text;
}

bool InstallServiceAs(const std::wstring& name, const std::wstring& displayName,
                      const std::wstring& programPath)
{
    // No file name holds a quotation mark; one here would end the quoting.
    if (programPath.empty() || programPath.find(L'"') != std::wstring::npos) {
        win32::DebugPrint(L"Unable to install %ls - not a program path\n", displayName.c_str());
        return false;
    }
    const std::wstring binaryPath = L"\"" + programPath + L"\"";
    win32::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        win32::DebugPrint(L"OpenSCManager failed - %ls\n", GetLastErrorText().c_str());
        return false;
    }
    // An empty list of dependencies ends with two NULs.
    const wchar_t noDependencies[2] = {L'\0', L'\0'};
    win32::UniqueService service(::CreateServiceW(
        manager.get(), name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binaryPath.c_str(),
        L"File System", nullptr, noDependencies, nullptr, nullptr));
    if (!service) {
        win32::DebugPrint(L"CreateService failed - %ls\n", GetLastErrorText().c_str());
        return false;
    }
    win32::DebugPrint(L"%ls installed.\n", displayName.c_str());
    return true;
}

void InstallService()
{
    // The service manager stores longer command lines than MAX_PATH.
    std::wstring path;
    if (FAILED(win32::ModulePath(nullptr, path, 512))) {
        win32::DebugPrint(L"Unable to install %ls - %ls\n", kServiceDisplayName,
                          GetLastErrorText().c_str());
        return;
    }
    InstallServiceAs(kServiceName, kServiceDisplayName, path);
}

bool RemoveServiceNamed(const std::wstring& name, const std::wstring& displayName)
{
    win32::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        win32::DebugPrint(L"OpenSCManager failed - %ls\n", GetLastErrorText().c_str());
        return false;
    }
    win32::UniqueService service(::OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) {
        win32::DebugPrint(L"OpenService failed - %ls\n", GetLastErrorText().c_str());
        return false;
    }
    SERVICE_STATUS status{};
    if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        win32::DebugPrint(L"Stopping %ls.", displayName.c_str());
        for (int poll = 0;
             poll < kRemoveStopPolls && ::QueryServiceStatus(service.get(), &status) &&
             status.dwCurrentState == SERVICE_STOP_PENDING;
             ++poll) {
            win32::DebugPrint(L".");
            ::Sleep(1000);
        }
        if (status.dwCurrentState == SERVICE_STOPPED)
            win32::DebugPrint(L"\n%ls stopped.\n", displayName.c_str());
        else
            win32::DebugPrint(L"\n%ls failed to stop.\n", displayName.c_str());
    }
    // Deleted also when it could not be stopped.
    if (!::DeleteService(service.get())) {
        win32::DebugPrint(L"DeleteService failed - %ls\n", GetLastErrorText().c_str());
        return false;
    }
    win32::DebugPrint(L"%ls removed.\n", displayName.c_str());
    return true;
}

void RemoveService()
{
    RemoveServiceNamed(kServiceName, kServiceDisplayName);
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv)
{
    // Makes the service reachable by the control handler while it lives.
    struct Registration {
        explicit Registration(BleachService* service)
        {
            std::lock_guard<std::mutex> lock(g_serviceLock);
            g_service = service;
        }
        ~Registration()
        {
            std::lock_guard<std::mutex> lock(g_serviceLock);
            g_service = nullptr;
        }
    };
    try {
        const wchar_t* name = argc > 0 && argv && argv[0] ? argv[0] : kServiceName;
        const SERVICE_STATUS_HANDLE handle =
            ::RegisterServiceCtrlHandlerW(name, ServiceCtrlHandler);
        if (!handle) {
            win32::DebugPrint(L"RegisterServiceCtrlHandler failed - %ls\n",
                              GetLastErrorText().c_str());
            return;
        }
        ScmStatusSink sink(handle);
        BleachService service(sink, OptionsFor(argc, argv));
        Registration registration(&service);
        service.Run();
    } catch (...) {
        // Nothing leaves the service main; the process ends with the dispatcher.
    }
}

void WINAPI ServiceCtrlHandler(DWORD control)
{
    try {
        std::lock_guard<std::mutex> lock(g_serviceLock);
        if (g_service)
            g_service->Control(control);
    } catch (...) {
        // The handler returns to the dispatcher whatever happened.
    }
}
