// CTWNotifications serves the per-user tray-notify pipe and turns each
// message into a balloon of the host's tray; CTWTrayNotifyCallback answers a
// click on one of them.
//
// Lifetime: the first Subscribe starts the library's one server, whose thread
// holds everything it uses: the server state, the host's sink, the callback
// of the balloon on show and a reference on this library. The host may let
// the subscription object go at once; balloons go on until a pipe call fails
// or the process ends.
#include "commands/command_sender.h"
#include "framework/com/com_object.h"
#include "ipc/tray_notify_client.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/plugin_objects.h"
#include "win32/com_ptr.h"
#include "win32/debug_output.h"
#include "win32/last_error.h"
#include "win32/pipe_io.h"
#include "win32/unique_handle.h"

#include <atomic>
#include <memory>
#include <new>
#include <utility>

namespace {

// The value the host expects in ShowBalloon's third argument.
constexpr UINT kBalloonKind = 1;
constexpr DWORD kPipeInstances = 255;
constexpr DWORD kPipeBufferBytes = 4096;
// A sender writes its whole message at once; one that stalls is dropped so
// that it cannot hold the only listening instance.
constexpr DWORD kClientReadTimeoutMs = 5000;
// After a failed connect, before the next instance: no busy spin.
constexpr DWORD kRetryPauseMs = 50;
// While another process holds the pipe name, between tries to own it.
constexpr DWORD kSquattedRetryMs = 250;

using pipeio::IoOutcome;

// Everything to the user whose balloons these are (the server and Graventa
// both run as that user) and to the local system account; no other account
// may open the pipe, and so none can create instances under its name
// (FILE_CREATE_PIPE_INSTANCE is FILE_APPEND_DATA on a pipe), read the
// user's balloons or send false ones.
std::wstring TrayPipeSddl(const std::wstring& userSid)
{
    return L"D:(A;;GA;;;SY)(A;;GA;;;" + userSid + L")";
}

bool HasNul(const wchar_t* text, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (text[i] == L'\0')
            return true;
    return false;
}

// What the pipe threads share with the object that started them.
class CTrayNotifyServer final : public fw::CComObjectBase<IUnknown, IID_IUnknown> {
public:
    CTrayNotifyServer() { ::InitializeSRWLock(&m_lock); }

    bool Init()
    {
        m_stop.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        return static_cast<bool>(m_stop);
    }

    void SetSink(IFWTWTraySink* sink)
    {
        if (sink)
            sink->AddRef();
        ::AcquireSRWLockExclusive(&m_lock);
        IFWTWTraySink* old = std::exchange(m_sink, sink);
        ::ReleaseSRWLockExclusive(&m_lock);
        if (old)
            old->Release();  // outside the lock: the host may call back
    }

    // Serves one client at a time, with the next instance always created
    // before the connected one is read, so that a sender never finds the
    // name without a listening instance. Ends when a pipe cannot be created
    // once the name is ours.
    void Serve()
    {
        // The name and the access list both follow the user this runs as;
        // without a SID no sender can find the pipe either.
        std::wstring sid;
        if (!CurrentUserSidString(sid))
            return;
        const std::wstring name = kTrayPipePrefix + sid;
        pipeio::PipeSecurity security;
        if (!security.Init(TrayPipeSddl(sid).c_str()))
            return;
        auto createInstance = [&](DWORD flags) {
            return win32::UniqueFile(::CreateNamedPipeW(
                name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | flags,
                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                kPipeInstances, kPipeBufferBytes, kPipeBufferBytes, 0, security.Attributes()));
        };

        win32::UniqueHandleNull ioEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        // One character more than a message holds, for the terminator.
        std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[kTrayMessageChars + 1]);
        if (!ioEvent || !buffer)
            return;

        // A name some other process created first is not ours to serve: its
        // senders would talk to that process. Wait until it lets the name go.
        win32::UniqueFile listening = createInstance(FILE_FLAG_FIRST_PIPE_INSTANCE);
        if (!listening)
            win32::DebugPrint(L"Tray pipe %s is taken (error %u): waiting until it is free\n",
                              name.c_str(), ::GetLastError());
        while (!listening) {
            if (::WaitForSingleObject(m_stop.get(), kSquattedRetryMs) != WAIT_TIMEOUT)
                return;
            listening = createInstance(FILE_FLAG_FIRST_PIPE_INSTANCE);
        }

        for (;;) {
            switch (Connect(listening.get(), ioEvent.get())) {
            case Client::Stopped:
                return;
            case Client::NotConnected:
                // That instance is spent; a fresh one takes its place.
                listening = createInstance(0);
                if (!listening ||
                    ::WaitForSingleObject(m_stop.get(), kRetryPauseMs) != WAIT_TIMEOUT)
                    return;
                continue;
            case Client::Done:
                break;
            }
            win32::UniqueFile connected = std::move(listening);
            listening = createInstance(0);
            const Client read = ReadClient(connected.get(), ioEvent.get(), buffer.get());
            if (read == Client::Stopped || !listening)
                return;
        }
    }

    // Set once the pipe thread has left Serve: balloons stop until the host
    // subscribes again.
    void MarkEnded() { m_ended.store(true); }
    bool Ended() const { return m_ended.load(); }

    // The reference on this library that the pipe thread gives back.
    void SetLibrary(HMODULE library) { m_library = library; }
    HMODULE Library() const { return m_library; }

    // Keeps the callback of the balloon on show: it can be clicked until the
    // next balloon takes its place, whether or not the host holds it.
    void KeepCallback(IFWTWTrayNotifyCallback* callback)
    {
        callback->AddRef();
        ::AcquireSRWLockExclusive(&m_lock);
        IFWTWTrayNotifyCallback* old = std::exchange(m_callback, callback);
        ::ReleaseSRWLockExclusive(&m_lock);
        if (old)
            old->Release();
    }

private:
    enum class Client { Done, NotConnected, Stopped };

    Client Connect(HANDLE pipe, HANDLE ioEvent)
    {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = ioEvent;
        DWORD cb = 0;
        DWORD error = 0;
        const BOOL connected = ::ConnectNamedPipe(pipe, &overlapped);
        // A sender may come, write and even leave before the instance's turn
        // (ERROR_NO_DATA): what it wrote is still there to read.
        const DWORD early = connected ? ERROR_SUCCESS : ::GetLastError();
        if (early == ERROR_PIPE_CONNECTED || early == ERROR_NO_DATA)
            return Client::Done;
        ::SetLastError(early);
        switch (pipeio::Finish(pipe, overlapped, connected, m_stop.get(), cb, error)) {
        case IoOutcome::Done:
            return Client::Done;
        case IoOutcome::Stopped:
            return Client::Stopped;
        default:
            return Client::NotConnected;
        }
    }

    Client ReadClient(HANDLE pipe, HANDLE ioEvent, wchar_t* buffer)
    {
        DWORD cb = 0;
        DWORD error = 0;

        // The whole message, up to its full size or until the sender closes:
        // a byte pipe may hand a write over in parts, and a sender whose
        // message was not read to its end would see its write fail.
        auto* bytes = reinterpret_cast<BYTE*>(buffer);
        DWORD cbHave = 0;
        bool terminated = false;
        bool ended = false;  // by its sender, not by the deadline
        const ULONGLONG deadline = ::GetTickCount64() + kClientReadTimeoutMs;
        while (cbHave < kTrayMessageBytes) {
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline)
                break;
            const IoOutcome outcome = pipeio::ReadMessage(
                pipe, ioEvent, bytes + cbHave, static_cast<DWORD>(kTrayMessageBytes) - cbHave,
                m_stop.get(), cb, error, static_cast<DWORD>(deadline - now));
            if (outcome == IoOutcome::Stopped)
                return Client::Stopped;
            if (outcome == IoOutcome::TimedOut)
                break;
            if (outcome == IoOutcome::Failed && error != ERROR_BROKEN_PIPE)
                return Client::Done;  // a broken read: nothing of it is shown
            if (outcome == IoOutcome::Failed || cb == 0) {
                ended = true;  // the sender closed: its message ends here
                break;
            }
            const size_t cchBefore = cbHave / sizeof(wchar_t);
            cbHave += cb;
            terminated = terminated || HasNul(buffer, cchBefore, cbHave / sizeof(wchar_t));
        }

        const size_t cch = cbHave / sizeof(wchar_t);
        // Nothing, a full message without its terminator (cut, or not ours)
        // or a stalled one: shown as nothing. A shorter one that ended with
        // its sender is taken to its end.
        if (cch == 0 || (!terminated && !ended))
            return Client::Done;
        buffer[cch] = L'\0';
        TrayNotifyFields fields;
        if (ParseTrayNotifyMessage(buffer, cch, fields))
            ShowBalloon(fields);
        return Client::Done;
    }

    void ShowBalloon(const TrayNotifyFields& fields)
    {
        if (fields.title.empty() || fields.text.empty())
            return;
        ::AcquireSRWLockShared(&m_lock);
        win32::ComPtr<IFWTWTraySink> sink(m_sink);
        if (m_sink)
            m_sink->AddRef();
        ::ReleaseSRWLockShared(&m_lock);
        if (!sink)
            return;
        win32::ComPtr<IFWTWTrayNotifyCallback> callback;
        if (FAILED(CreateTrayNotifyCallback(IID_IFWTWTrayNotifyCallback, callback.put_void())))
            return;
        KeepCallback(callback.get());
        sink->ShowBalloon(fields.title.c_str(), fields.text.c_str(), kBalloonKind,
                          static_cast<UINT>(fields.id), callback.get());
    }

    ~CTrayNotifyServer() override
    {
        SetSink(nullptr);
        if (m_callback)
            m_callback->Release();
    }

    SRWLOCK m_lock;
    IFWTWTraySink* m_sink = nullptr;
    IFWTWTrayNotifyCallback* m_callback = nullptr;
    HMODULE m_library = nullptr;
    std::atomic<bool> m_ended{false};
    // Every wait of the thread is written against it; nothing sets it while
    // the thread holds the library, so a server ends with its pipe or with
    // the process.
    win32::UniqueHandleNull m_stop;
};

// Holds one reference on the server and one on this library, both taken
// before the thread was created: the library cannot unload under it.
DWORD WINAPI TrayNotifyPipeThread(void* parameter)
{
    auto* server = static_cast<CTrayNotifyServer*>(parameter);
    const HMODULE library = server->Library();
    fw::ComBoundary([server] {
        server->Serve();
        return S_OK;
    });
    server->MarkEnded();
    server->Release();
    ::FreeLibraryAndExitThread(library, 0);
}

// The library's one server: the pipe name can have one owner, so every
// subscription of every CTWNotifications hands this server its sink. One
// reference is kept here for the life of the process (never released at
// exit, when the host's sink may be gone already); a server whose pipe
// failed is replaced by the next Subscribe.
SRWLOCK g_serverLock = SRWLOCK_INIT;
CTrayNotifyServer* g_server = nullptr;

HRESULT StartServer(IFWTWTraySink* sink, CTrayNotifyServer*& started)
{
    win32::ComPtr<CTrayNotifyServer> server(new (std::nothrow) CTrayNotifyServer);
    if (!server)
        return E_OUTOFMEMORY;
    if (!server->Init())
        return win32::LastErrorHResult();
    HMODULE library = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<const wchar_t*>(&TrayNotifyPipeThread), &library))
        return win32::LastErrorHResult();
    server->SetLibrary(library);
    server->SetSink(sink);
    server->AddRef();  // the thread's
    const HANDLE thread =
        ::CreateThread(nullptr, 0, TrayNotifyPipeThread, server.get(), 0, nullptr);
    if (!thread) {
        const HRESULT hr = win32::LastErrorHResult();
        server->Release();
        ::FreeLibrary(library);
        return hr;
    }
    // Nobody waits for it: it serves on its own.
    ::CloseHandle(thread);
    started = server.release();
    return S_OK;
}

class CTWNotifications final
    : public fw::CComObjectBase<IFWTWTraySubscribe, IID_IFWTWTraySubscribe> {
public:
    STDMETHODIMP Subscribe(IFWTWTraySink* sink) override
    {
        return fw::ComBoundary([sink]() -> HRESULT {
            ::AcquireSRWLockExclusive(&g_serverLock);
            CTrayNotifyServer* ended = nullptr;
            HRESULT hr = S_OK;
            if (g_server && !g_server->Ended()) {
                g_server->SetSink(sink);
            } else {
                CTrayNotifyServer* started = nullptr;
                hr = StartServer(sink, started);
                if (SUCCEEDED(hr))
                    ended = std::exchange(g_server, started);
            }
            ::ReleaseSRWLockExclusive(&g_serverLock);
            if (ended)
                ended->Release();
            return hr;
        });
    }
};

class CTWTrayNotifyCallback final
    : public fw::CComObjectBase<IFWTWTrayNotifyCallback, IID_IFWTWTrayNotifyCallback> {
public:
    STDMETHODIMP OnNotify(UINT code, UINT balloonId) override
    {
        return fw::ComBoundary([=] {
            // A click on a running shred's or bleach's balloon shows its progress.
            if (code == kFwtwBalloonUserClick && balloonId == kBalloonShredAllStarts)
                RequestShredAll(1);
            else if (code == kFwtwBalloonUserClick && balloonId == kBalloonBleachStarts)
                RequestDiskBleach(1);
            return S_OK;
        });
    }
};

}  // namespace

HRESULT CreateTrayNotifications(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CTWNotifications>(riid, ppv);
}

HRESULT CreateTrayNotifyCallback(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CTWTrayNotifyCallback>(riid, ppv);
}
