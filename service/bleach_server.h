// The service side of the bleach pipes: three listeners, one thread per
// connected client, the request queue that the control pipe fills and the
// status pipe answers, the progress subscribers, and the shred manager of
// the running wipe that the pipe threads read.
//
// One lock guards the queue, the subscribers, the wipe bookkeeping and the
// current shred manager. No lock is held while a thread waits, reads or
// writes a pipe. Every wait also watches the stop event, so setting it ends
// every pipe thread within a moment.
#pragma once

#include "ipc/bleach_protocol.h"
#include "service/pipe_io.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class ShredManager;

struct BleachPipeNames {
    std::wstring control = kBleachControlPipe;
    std::wstring status = kBleachStatusPipe;
    std::wstring progress = kBleachProgressPipe;

    // The product's names with `suffix` appended to each (tests, and a
    // service started for a test, use their own pipes).
    static BleachPipeNames WithSuffix(const std::wstring& suffix);
};

// A request whose status connection has not come this long after it was
// queued is dropped: a client that stalls must not hold the others up.
inline constexpr ULONGLONG kStatusConnectionWaitMs = 5000;

// One queued control message.
struct BleachRequest {
    int32_t command = 0;
    int32_t status = kRequestNew;
    int32_t processId = 0;
    int32_t threadId = 0;
    // The control connection it came on: its requests go when it ends.
    uint64_t controlId = 0;
    // The process at the other end of that connection, which the request
    // names as its sender: only a status connection from the same process
    // may answer the request.
    DWORD clientProcess = 0;
    // GetTickCount64 when it was queued.
    ULONGLONG queuedAtMs = 0;
    // StartBleach: the wipe that serves it.
    uint32_t wipeSerial = 0;
};

inline constexpr int32_t kSubscriberAttached = 2;
inline constexpr int32_t kSubscriberWaiting = 3;

struct ProgressSubscriber {
    int32_t processId = 0;
    int32_t threadId = 0;
    int32_t command = 0;
    int32_t state = kSubscriberWaiting;
    uint64_t controlId = 0;
    uint32_t wipeSerial = 0;
};

// What a status connection is bound to (nothing while processId and
// threadId are 0).
struct StatusBinding {
    int32_t processId = 0;
    int32_t threadId = 0;
    uint64_t controlId = 0;
    uint32_t wipeSerial = 0;
    // The process at the other end of the status connection (0 when
    // unknown), known before the connection is bound.
    DWORD clientProcess = 0;
    bool IsBound() const { return processId != 0 || threadId != 0; }
};

// What a progress connection follows: a subscriber (its ids and the wipe it
// asked for) or, with ids 0, whatever wipe runs.
struct ProgressTarget {
    int32_t processId = 0;
    int32_t threadId = 0;
    uint32_t wipeSerial = 0;
};

class BleachServer {
public:
    // The events belong to the caller: `stopEvent` (manual reset) ends every
    // pipe thread, `bleachEvent` (auto reset) is set by each StartBleach.
    BleachServer(BleachPipeNames names, HANDLE stopEvent, HANDLE bleachEvent,
                 std::wstring installFolder);
    // Sets the stop event and waits for every thread of this server.
    ~BleachServer();
    BleachServer(const BleachServer&) = delete;
    BleachServer& operator=(const BleachServer&) = delete;

    // Creates the first instance of each pipe, refusing a name that another
    // program already serves (its clients would talk to that program), then
    // starts the control, status and progress listeners in this order.
    // False, with the last error and StartFailure() telling why, when a pipe
    // or a listener could not be made: a taken pipe is logged and nothing
    // listens; of the listeners the ones started run on.
    bool StartListeners();
    // The call that made StartListeners fail.
    const wchar_t* StartFailure() const { return m_startFailure; }
    // The listener threads started so far, in order.
    const std::vector<HANDLE>& ListenerThreads() const { return m_listenerHandles; }

    // The service thread brackets each wipe with these. A wipe begun after a
    // service stop was asked for is cancelled at once.
    void BeginWipe(ShredManager* manager);
    void EndWipe();
    // Stop or shutdown of the service: cancels the running wipe and any
    // wipe begun from now on.
    void RequestServiceStop();
    ShredManager* CurrentManager();

    // The message handlers, as the connection threads call them. A
    // StopBleach ends only the wipe that its connection's last StartBleach
    // asked for, and only once no other live connection waits for that wipe:
    // running, until it has stored 100 percent (what is left then, the
    // file-table pass, runs to its end); not begun yet, as soon as it begins.
    bool DispatchBleachCommand(int32_t command, int32_t processId, int32_t threadId,
                               uint64_t controlId);
    // The next reply for a status connection with `binding`, or false when
    // there is nothing to send now. A fresh connection takes the first
    // queued start from its own process, a bound one the first request of
    // its sender; each answers in queue order, and none waits behind another
    // sender's request. Requests that no connection took within
    // kStatusConnectionWaitMs are dropped.
    bool BuildStatusReply(std::string& reply, StatusBinding& binding);
    // As above; `answered` receives the request the reply answers.
    bool BuildStatusReply(std::string& reply, StatusBinding& binding, BleachRequest& answered);
    // The first waiting subscriber of `clientProcess` (the process at the
    // other end of the progress connection), now attached; false, with
    // `target` untouched, when that process has none waiting.
    bool TakeWaitingSubscriber(DWORD clientProcess, ProgressTarget& target);
    // False when the connection is to end: the wipe it follows ended short
    // of 100 percent.
    bool BuildProgressReport(std::string& report, const ProgressTarget& target);

    // "regsvr32.exe", or the system folder's one when running under WOW64.
    static std::wstring Regsvr32Program();
    std::wstring DesktopIconParameters(bool unregister) const;

    // For tests: what is queued, and the subscribers.
    size_t QueuedRequests();
    std::vector<ProgressSubscriber> Subscribers();

    // For tests of the listener loop: replacements for ConnectNamedPipe and
    // for the pause after a connect that failed at once (return false to end
    // the listener), and a question asked before each instance after the
    // first (true refuses it with ERROR_PIPE_BUSY, as when every instance is
    // in use). Set before StartListeners.
    struct ListenerHooks {
        std::function<BOOL(HANDLE pipe, OVERLAPPED* overlapped)> connect;
        std::function<bool(DWORD ms)> pause;
        std::function<bool()> allInstancesInUse;
    };
    void SetListenerHooks(ListenerHooks hooks) { m_hooks = std::move(hooks); }

private:
    enum class PipeKind { Control, Status, Progress };
    struct Connection;
    struct ListenerContext {
        BleachServer* server;
        PipeKind kind;
        // The pipe's first instance, made by StartListeners.
        win32::UniqueFile first;
    };

    static DWORD WINAPI ListenerProc(void* parameter);
    static DWORD WINAPI ConnectionProc(void* parameter);
    void ListenerLoop(PipeKind kind, win32::UniqueFile pipe);
    const std::wstring& PipeName(PipeKind kind) const;
    win32::UniqueFile CreateInstance(PipeKind kind, bool first);
    void ControlPipeClientThread(HANDLE pipe);
    void StatusPipeClientThread(HANDLE pipe);
    void ProgressPipeClientThread(HANDLE pipe, const ProgressTarget& target);
    bool StartConnection(PipeKind kind, win32::UniqueFile pipe);
    bool PauseAfterFailure(DWORD ms);
    void ConnectionStarted();
    void ConnectionEnded();
    bool IsStopping() const;

    // Control connections: registered while they run; their requests and
    // waiting subscribers go with them.
    uint64_t ControlStarted(DWORD clientProcess);
    void ControlEnded(uint64_t controlId);
    bool IsControlLive(uint64_t controlId);
    void WakeStatusConnections();
    void AddStatusWaiter(HANDLE wake);
    void RemoveStatusWaiter(HANDLE wake);
    void StartDesktopIconRegistration(bool unregister) const;
    // The caller holds the lock. Mode 1 appends a subscriber for the
    // request, mode 2 removes the first one with its ids.
    bool UpdateSubscribers(int mode, const BleachRequest& request, uint32_t wipeSerial);
    // A StartBleach whose binding reply could not be delivered goes back to
    // the head of the queue for the next status connection (with the time
    // it was first queued, so that it cannot be kept alive for ever).
    void RequeueAtHead(const BleachRequest& request);
    // The caller holds the lock: drops the requests that waited too long.
    void DropStalledRequests(ULONGLONG nowMs);
    // The final percentage of an ended wipe; `known` false when forgotten.
    int32_t OutcomeOf(uint32_t wipeSerial, bool& known) const;
    // The caller holds the lock. One connection fewer waits for the wipe
    // `wipeSerial`; returns how many still do.
    int ReleaseWipeRequester(uint32_t wipeSerial);
    // The caller holds the lock: cancels the wipe `wipeSerial` if it runs
    // short of 100 percent, or as it begins if it has not begun yet.
    void CancelWipe(uint32_t wipeSerial);

    struct LiveControl {
        DWORD clientProcess = 0;
        // The wipe its last StartBleach asked for, until its StopBleach.
        uint32_t startedWipe = 0;
    };

    BleachPipeNames m_names;
    HANDLE m_stopEvent;
    HANDLE m_bleachEvent;
    std::wstring m_installFolder;
    ListenerHooks m_hooks;
    pipeio::PipeSecurity m_security;
    const wchar_t* m_startFailure = L"CreateThread Failed";

    ListenerContext m_contexts[3];
    std::vector<win32::UniqueHandleNull> m_listeners;
    std::vector<HANDLE> m_listenerHandles;
    // The running connection threads, plus one for the server itself that
    // its destructor drops; the event is set when the count reaches zero.
    LONG volatile m_connections = 1;
    win32::UniqueHandleNull m_connectionsDone;

    std::mutex m_lock;
    std::deque<BleachRequest> m_queue;
    std::list<ProgressSubscriber> m_subscribers;
    std::map<uint64_t, LiveControl> m_liveControls;
    // Wipe serial -> live connections whose start it serves.
    std::map<uint32_t, int> m_wipeRequesters;
    uint32_t m_cancelAtBegin = 0;  // a wipe stopped before it began
    uint64_t m_nextControlId = 1;
    std::vector<HANDLE> m_statusWaiters;
    ShredManager* m_current = nullptr;
    bool m_stopping = false;
    uint32_t m_wipeSerial = 0;  // of the wipe running or last run
    bool m_wipeRunning = false;
    std::deque<std::pair<uint32_t, int32_t>> m_outcomes;  // final percentages
};
