// Wardelle's service frame: the command line ("install", "remove", or the
// service control dispatcher), the plumbing to the service control manager,
// and the service body, which tests can run in-process against a status
// recorder.
//
// The body runs on the service thread: it creates the stop and bleach
// events, starts the pipe listeners, reports running, and runs one
// free-space wipe per start request until it is told to stop. A stop or
// shutdown cancels the running wipe through its cancel flag.
#pragma once

#include "service/bleach_server.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class ShredManager;

inline constexpr wchar_t kServiceName[] = L"Wardelle";
inline constexpr wchar_t kServiceDisplayName[] = L"Scoravel for OV Tarnwell";
// How long a stop may take: a cancelled wipe ends at its next write.
inline constexpr DWORD kStopWaitHintMs = 5000;

// Where status reports go: the service control manager, or a test recorder.
class ServiceStatusSink {
public:
    virtual ~ServiceStatusSink() = default;
    virtual bool Report(const SERVICE_STATUS& status) = 0;
};

struct ServiceOptions {
    BleachPipeNames pipes;
    // One wipe, with `manager` initialised and current on the calling
    // thread. Null: ShredManager::RunDiskBleach.
    std::function<void(ShredManager& manager)> runWipe;
    // Starts the pipe listeners. Null: BleachServer::StartListeners.
    std::function<bool(BleachServer& server)> startListeners;
};

// Where the service main takes its options from. The shipped service uses
// the defaults whatever it is started with; only a test build installs a
// source of its own (before RunWardelle).
using ServiceOptionsSource = ServiceOptions (*)(DWORD argc, wchar_t** argv);
void SetServiceOptionsSource(ServiceOptionsSource source);

class BleachService {
public:
    BleachService(ServiceStatusSink& sink, ServiceOptions options);
    ~BleachService();
    BleachService(const BleachService&) = delete;
    BleachService& operator=(const BleachService&) = delete;

    // The service main after its control handler is registered; returns
    // when the service has stopped (or after a fatal error).
    void Run();
    // The control handler. Controls other than stop and shutdown are
    // answered with the status last reported, so an interrogation during a
    // stop says stop pending.
    void Control(DWORD control);
    void ReportServiceStatus(DWORD state, DWORD exitCode, DWORD checkpoint, DWORD waitHint);
    // Reports a fatal failure of `api` and stops the service.
    void ServiceFatalError(const wchar_t* api);

private:
    // Reports `status`, or with null the status last reported once more.
    void SendStatus(const SERVICE_STATUS* status);
    void RunOneWipe();
    // Waits up to twice a second for the listeners, reporting progress.
    // False when the wait itself failed.
    bool WaitForListeners();

    ServiceStatusSink& m_sink;
    ServiceOptions m_options;
    std::mutex m_frameLock;  // the events and the server, against the handler
    win32::UniqueHandleNull m_stopEvent;
    win32::UniqueHandleNull m_bleachEvent;
    std::unique_ptr<BleachServer> m_server;
    std::atomic<DWORD> m_checkpoint{0};
    std::atomic<bool> m_fatal{false};
    std::atomic<bool> m_inFatal{false};
    // The status last reported, with m_stopped: the service thread and the
    // handler both report.
    std::mutex m_statusLock;
    SERVICE_STATUS m_status{};
    bool m_stopped = false;
};

// "install", "remove" (exactly, case-sensitive) or anything else.
enum class CommandLineAction { Install, Remove, Dispatch };
CommandLineAction ParseCommandLine(const wchar_t* commandLine);

// The program entry: acts on the command line; 0 in every case.
int RunWardelle(const wchar_t* commandLine);

void InstallService();
void RemoveService();
// The same for any service name and program; true when it was done. The
// program's path is registered in quotation marks: unquoted, a path with
// blanks would let the manager start a program at its first blank instead.
bool InstallServiceAs(const std::wstring& name, const std::wstring& displayName,
                      const std::wstring& programPath);
bool RemoveServiceNamed(const std::wstring& name, const std::wstring& displayName);

void WINAPI ServiceMain(DWORD argc, wchar_t** argv);
void WINAPI ServiceCtrlHandler(DWORD control);

// The system's text for the calling thread's last error as "<text> (0x<code>)",
// without the text's line break; empty when there is none or it is too long
// for 256 characters.
std::wstring GetLastErrorText();
