// The pipe threads: three listeners that hand each connected client to a
// thread of its own, and the control, status and progress connections.
#include "service/bleach_server.h"
#include "service/pipe_io.h"
#include "win32/debug_output.h"

#include <algorithm>
#include <memory>
#include <vector>

using pipeio::IoOutcome;

namespace {

// How long a listener rests after a connect that failed: doubling from
// 50 ms up to a second, so that a failure that repeats at once never spins.
DWORD RetryPauseMs(DWORD failures)
{
    const DWORD shift = std::min<DWORD>(failures > 0 ? failures - 1 : 0, 5);
    return std::min<DWORD>(1000, 50u << shift);
}

// The process at the client end of `pipe`, 0 when the system cannot tell.
DWORD ClientProcessOf(HANDLE pipe)
{
    ULONG processId = 0;
    if (!::GetNamedPipeClientProcessId(pipe, &processId))
        return 0;
    return processId;
}

}  // namespace

struct BleachServer::Connection {
    BleachServer* server;
    PipeKind kind;
    win32::UniqueFile pipe;
    ProgressTarget target;
};

BleachPipeNames BleachPipeNames::WithSuffix(const std::wstring& suffix)
{
    BleachPipeNames names;
    names.control += suffix;
    names.status += suffix;
    names.progress += suffix;
    return names;
}

BleachServer::BleachServer(BleachPipeNames names, HANDLE stopEvent, HANDLE bleachEvent,
                           std::wstring installFolder)
    : m_names(std::move(names)),
      m_stopEvent(stopEvent),
      m_bleachEvent(bleachEvent),
      m_installFolder(std::move(installFolder)),
      m_contexts{{this, PipeKind::Control}, {this, PipeKind::Status}, {this, PipeKind::Progress}},
      m_connectionsDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

BleachServer::~BleachServer()
{
    ::SetEvent(m_stopEvent);
    if (!m_listenerHandles.empty())
        ::WaitForMultipleObjects(static_cast<DWORD>(m_listenerHandles.size()),
                                 m_listenerHandles.data(), TRUE, INFINITE);
    // Every connection thread watches the stop event in each of its waits.
    // No listener is left to start one, so once the server's own count is
    // dropped the event is set exactly when the last connection ends.
    if (::InterlockedDecrement(&m_connections) != 0 && m_connectionsDone)
        ::WaitForSingleObject(m_connectionsDone.get(), INFINITE);
}

bool BleachServer::StartListeners()
{
    if (!m_connectionsDone)
        return false;
    if (!m_security.Init(pipeio::kBleachPipeSddl)) {
        m_startFailure = L"ConvertStringSecurityDescriptorToSecurityDescriptor";
        return false;
    }
    for (ListenerContext& context : m_contexts) {
        context.first = CreateInstance(context.kind, true);
        if (!context.first) {
            const DWORD error = ::GetLastError();
            win32::DebugPrint(
                L"Bleach pipe %ls is served by another program or cannot be "
                L"created (error %u): not listening.\n",
                PipeName(context.kind).c_str(), static_cast<unsigned>(error));
            for (ListenerContext& made : m_contexts)
                made.first.reset();
            m_startFailure = L"CreateNamedPipe";
            ::SetLastError(error);
            return false;
        }
    }
    for (ListenerContext& context : m_contexts) {
        win32::UniqueHandleNull thread(
            ::CreateThread(nullptr, 0, ListenerProc, &context, 0, nullptr));
        if (!thread) {
            const DWORD error = ::GetLastError();
            // The pipes no listener took go now, not with the server.
            for (ListenerContext& left : m_contexts)
                if (&left >= &context)
                    left.first.reset();
            m_startFailure = L"CreateThread Failed";
            ::SetLastError(error);
            return false;
        }
        m_listenerHandles.push_back(thread.get());
        m_listeners.push_back(std::move(thread));
    }
    return true;
}

const std::wstring& BleachServer::PipeName(PipeKind kind) const
{
    return kind == PipeKind::Control  ? m_names.control
           : kind == PipeKind::Status ? m_names.status
                                      : m_names.progress;
}

win32::UniqueFile BleachServer::CreateInstance(PipeKind kind, bool first)
{
    const DWORD direction = kind == PipeKind::Control ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_OUTBOUND;
    // The first instance fails when the name exists already: then another
    // program made it first and would get this service's clients.
    const DWORD openMode =
        direction | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    const DWORD pipeMode =
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    if (!first && m_hooks.allInstancesInUse && m_hooks.allInstancesInUse()) {
        ::SetLastError(ERROR_PIPE_BUSY);
        return win32::UniqueFile();
    }
    return win32::UniqueFile(::CreateNamedPipeW(PipeName(kind).c_str(), openMode, pipeMode,
                                                PIPE_UNLIMITED_INSTANCES, kCbPipeBuffer,
                                                kCbPipeBuffer, 0, m_security.Attributes()));
}

bool BleachServer::IsStopping() const
{
    return ::WaitForSingleObject(m_stopEvent, 0) != WAIT_TIMEOUT;
}

bool BleachServer::PauseAfterFailure(DWORD ms)
{
    if (m_hooks.pause)
        return m_hooks.pause(ms);
    return ::WaitForSingleObject(m_stopEvent, ms) == WAIT_TIMEOUT;
}

void BleachServer::ConnectionStarted()
{
    ::InterlockedIncrement(&m_connections);
}

void BleachServer::ConnectionEnded()
{
    // The last connection to end lets the destructor return and free the
    // server: nothing of it may be touched after the count is dropped (not
    // even a lock to release), so the event is taken before.
    const HANDLE done = m_connectionsDone.get();
    if (::InterlockedDecrement(&m_connections) == 0)
        ::SetEvent(done);
}

DWORD WINAPI BleachServer::ListenerProc(void* parameter)
{
    auto* context = static_cast<ListenerContext*>(parameter);
    try {
        context->server->ListenerLoop(context->kind, std::move(context->first));
    } catch (...) {
        // A listener that fails ends alone; the others go on.
    }
    return 0;
}

void BleachServer::ListenerLoop(PipeKind kind, win32::UniqueFile pipe)
{
    win32::UniqueHandleNull connectEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!connectEvent)
        return;
    // The next instance is always made before the last one is let go: while
    // this listener runs the pipe never ceases to exist, so no other program
    // can make it anew in between and take the service's place.
    DWORD failures = 0;
    while (pipe && !IsStopping()) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = connectEvent.get();
        const BOOL started = m_hooks.connect ? m_hooks.connect(pipe.get(), &overlapped)
                                             : ::ConnectNamedPipe(pipe.get(), &overlapped);
        bool connected = started != FALSE;
        if (!connected) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_PIPE_CONNECTED) {
                connected = true;  // the client came before the wait
            } else if (error == ERROR_IO_PENDING) {
                DWORD cbUnused = 0;
                DWORD ioError = 0;
                const IoOutcome outcome =
                    pipeio::Finish(pipe.get(), overlapped, FALSE, m_stopEvent, cbUnused, ioError);
                if (outcome == IoOutcome::Stopped)
                    return;
                connected = outcome == IoOutcome::Done;
            }
        }
        win32::UniqueFile next = CreateInstance(kind, false);
        if (!next) {
            // No further instance (all of them in use): this one stays the
            // listener's and listens again, so that the name cannot lapse
            // when the connections end. A client it took is turned away as
            // if the pipe were busy.
            ::DisconnectNamedPipe(pipe.get());
            if (!PauseAfterFailure(RetryPauseMs(++failures)))
                return;
            continue;
        }
        if (connected) {
            failures = 0;
            if (!StartConnection(kind, std::move(pipe)))
                return;
            pipe = std::move(next);
            continue;
        }
        pipe = std::move(next);
        if (!PauseAfterFailure(RetryPauseMs(++failures)))
            return;
    }
}

bool BleachServer::StartConnection(PipeKind kind, win32::UniqueFile pipe)
{
    auto connection = std::make_unique<Connection>();
    connection->server = this;
    connection->kind = kind;
    connection->pipe = std::move(pipe);
    // With process id and thread id 0 when nobody waits for progress.
    if (kind == PipeKind::Progress)
        TakeWaitingSubscriber(ClientProcessOf(connection->pipe.get()), connection->target);
    ConnectionStarted();
    HANDLE thread = ::CreateThread(nullptr, 0, ConnectionProc, connection.get(), 0, nullptr);
    if (!thread) {
        ConnectionEnded();
        return false;
    }
    connection.release();
    ::CloseHandle(thread);
    return true;
}

DWORD WINAPI BleachServer::ConnectionProc(void* parameter)
{
    std::unique_ptr<Connection> connection(static_cast<Connection*>(parameter));
    BleachServer* server = connection->server;
    try {
        switch (connection->kind) {
        case PipeKind::Control:
            server->ControlPipeClientThread(connection->pipe.get());
            break;
        case PipeKind::Status:
            server->StatusPipeClientThread(connection->pipe.get());
            break;
        case PipeKind::Progress:
            server->ProgressPipeClientThread(connection->pipe.get(), connection->target);
            break;
        }
    } catch (...) {
        // The connection ends; the service goes on.
    }
    // Closed without a disconnect: a reply the client has not read yet (the
    // last status of a bleach) stays readable, and a client that stopped
    // reading cannot hold this thread in a flush.
    connection.reset();
    // The last use of the server: it may be gone once this returns.
    server->ConnectionEnded();
    return 0;
}

void BleachServer::ControlPipeClientThread(HANDLE pipe)
{
    const DWORD clientProcess = ClientProcessOf(pipe);
    const uint64_t controlId = ControlStarted(clientProcess);
    win32::UniqueHandleNull ioEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // Room for a terminating NUL after the longest message.
    std::vector<wchar_t> buffer(kCbControlMessageMax / sizeof(wchar_t) + 1);
    while (ioEvent && !IsStopping()) {
        DWORD cbRead = 0;
        DWORD error = 0;
        IoOutcome outcome = pipeio::ReadMessage(pipe, ioEvent.get(), buffer.data(),
                                                kCbControlMessageMax, m_stopEvent, cbRead, error);
        if (outcome == IoOutcome::Failed && error == ERROR_MORE_DATA) {
            // Longer than any control message: drop all of it.
            std::vector<char> rest(kCbControlMessageMax);
            do {
                outcome = pipeio::ReadMessage(pipe, ioEvent.get(), rest.data(),
                                              static_cast<DWORD>(rest.size()), m_stopEvent, cbRead,
                                              error);
            } while (outcome == IoOutcome::Failed && error == ERROR_MORE_DATA);
            if (outcome != IoOutcome::Done)
                break;
            continue;
        }
        if (outcome != IoOutcome::Done || cbRead == 0)
            break;
        // Only what this read delivered counts, never what an earlier and
        // longer message left behind in the buffer.
        buffer[cbRead / sizeof(wchar_t)] = L'\0';
        int32_t command = 0;
        int32_t processId = 0;
        int32_t threadId = 0;
        // A message in another process's name is refused: its status reply
        // would go to that process's connection, and its requests would
        // stand in for that process's own. An unknown sender is never
        // taken for any process.
        if (ParseControlMessage(std::wstring(buffer.data()), command, processId, threadId) &&
            clientProcess != 0 && static_cast<DWORD>(processId) == clientProcess)
            DispatchBleachCommand(command, processId, threadId, controlId);
    }
    ControlEnded(controlId);
    ::DisconnectNamedPipe(pipe);
}

void BleachServer::StatusPipeClientThread(HANDLE pipe)
{
    win32::UniqueHandleNull ioEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win32::UniqueHandleNull wake(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!ioEvent || !wake)
        return;
    AddStatusWaiter(wake.get());
    StatusBinding binding;
    binding.clientProcess = ClientProcessOf(pipe);
    while (!IsStopping()) {
        // The bound client's control connection is gone: so is the client.
        if (binding.IsBound() && !IsControlLive(binding.controlId))
            break;
        std::string reply;
        BleachRequest answered;
        if (BuildStatusReply(reply, binding, answered)) {
            DWORD error = 0;
            if (pipeio::WriteMessage(pipe, ioEvent.get(), reply, m_stopEvent, error) !=
                IoOutcome::Done) {
                // A connection left behind by a client that died must not
                // swallow the next client's start.
                if (answered.command == kStartBleach)
                    RequeueAtHead(answered);
                break;
            }
            if (!binding.IsBound())
                break;
            continue;
        }
        const HANDLE waits[] = {m_stopEvent, wake.get()};
        if (::WaitForMultipleObjects(2, waits, FALSE, 1000) == WAIT_OBJECT_0)
            break;
    }
    RemoveStatusWaiter(wake.get());
}

void BleachServer::ProgressPipeClientThread(HANDLE pipe, const ProgressTarget& target)
{
    win32::UniqueHandleNull ioEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ioEvent)
        return;
    while (!IsStopping()) {
        std::string report;
        if (!BuildProgressReport(report, target))
            break;
        DWORD error = 0;
        if (pipeio::WriteMessage(pipe, ioEvent.get(), report, m_stopEvent, error) !=
            IoOutcome::Done)
            break;
        if (::WaitForSingleObject(m_stopEvent, 1000) != WAIT_TIMEOUT)
            break;
    }
}
