// CTWNotifications serves the per-user tray-notify pipe and turns each
// message into a balloon of the host's tray; CTWTrayNotifyCallback answers a
// click on one of them.
//
// Lifetime: the host's references keep CTWNotifications alive; its pipe
// threads hold only the server state below. When the host lets the object go
// the server is stopped: the threads leave their pipe waits, drop the sink
// and end, so no plug-in code keeps running for a host that has gone.
#include "framework/com/com_object.h"
#include "ipc/tray_notify_client.h"
#include "plugin/command_sender.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/plugin_objects.h"
#include "win32/com_ptr.h"
#include "win32/pipe_io.h"
#include "win32/unique_handle.h"

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

using pipeio::IoOutcome;

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

    void Stop()
    {
        ::SetEvent(m_stop.get());
        SetSink(nullptr);
    }

    // Serves one client at a time until the pipe cannot be created or the
    // server is stopped.
    void Serve()
    {
        std::wstring name;
        if (!TrayNotifyPipeName(name))
            name = kTrayPipePrefix;  // no SID: the bare prefix, as the sender would fail too

        // Everyone may connect; remote clients are refused by the pipe mode.
        SECURITY_DESCRIPTOR descriptor;
        if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE))
            return;
        SECURITY_ATTRIBUTES security = {sizeof(security), &descriptor, FALSE};

        win32::UniqueHandleNull ioEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        // One character more than a message holds, for the terminator.
        std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[kTrayMessageChars + 1]);
        if (!ioEvent || !buffer)
            return;

        while (::WaitForSingleObject(m_stop.get(), 0) == WAIT_TIMEOUT) {
            win32::UniqueFile pipe(::CreateNamedPipeW(
                name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                kPipeInstances, kPipeBufferBytes, kPipeBufferBytes, 0, &security));
            if (!pipe)
                return;
            switch (ServeClient(pipe.get(), ioEvent.get(), buffer.get())) {
            case Client::Stopped:
                return;
            case Client::NotConnected:
                ::WaitForSingleObject(m_stop.get(), kRetryPauseMs);
                break;
            case Client::Done:
                break;
            }
        }
    }

private:
    enum class Client { Done, NotConnected, Stopped };

    Client ServeClient(HANDLE pipe, HANDLE ioEvent, wchar_t* buffer)
    {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = ioEvent;
        DWORD cb = 0;
        DWORD error = 0;
        const BOOL connected = ::ConnectNamedPipe(pipe, &overlapped);
        if (connected || ::GetLastError() != ERROR_PIPE_CONNECTED) {
            switch (pipeio::Finish(pipe, overlapped, connected, m_stop.get(), cb, error)) {
            case IoOutcome::Done:
                break;
            case IoOutcome::Stopped:
                return Client::Stopped;
            default:
                return Client::NotConnected;
            }
        }

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
        // Ours is released after the call: a host that keeps the callback for
        // a later click takes its own reference.
        win32::ComPtr<IFWTWTrayNotifyCallback> callback;
        if (FAILED(CreateTrayNotifyCallback(IID_IFWTWTrayNotifyCallback, callback.put_void())))
            return;
        sink->ShowBalloon(fields.title.c_str(), fields.text.c_str(), kBalloonKind,
                          static_cast<UINT>(fields.id), callback.get());
    }

    ~CTrayNotifyServer() override { SetSink(nullptr); }

    SRWLOCK m_lock;
    IFWTWTraySink* m_sink = nullptr;
    win32::UniqueHandleNull m_stop;
};

// Holds one reference on the server, taken before the thread was created.
DWORD WINAPI TrayNotifyPipeThread(void* parameter)
{
    auto* server = static_cast<CTrayNotifyServer*>(parameter);
    try {
        server->Serve();
    } catch (...) {
        // Nothing may leave a thread procedure; the balloons stop here.
    }
    server->Release();
    return 0;
}

class CTWNotifications final
    : public fw::CComObjectBase<IFWTWTraySubscribe, IID_IFWTWTraySubscribe> {
public:
    STDMETHODIMP Subscribe(IFWTWTraySink* sink) override
    {
        if (!m_server) {
            win32::ComPtr<CTrayNotifyServer> server(new (std::nothrow) CTrayNotifyServer);
            if (!server)
                return E_OUTOFMEMORY;
            if (!server->Init())
                return HRESULT_FROM_WIN32(::GetLastError());
            m_server = std::move(server);
        }
        m_server->SetSink(sink);

        // Every subscription starts one more server thread.
        m_server->AddRef();
        const HANDLE thread =
            ::CreateThread(nullptr, 0, TrayNotifyPipeThread, m_server.get(), 0, nullptr);
        if (!thread) {
            const DWORD error = ::GetLastError();
            m_server->Release();
            return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
        }
        // Nobody waits for it: it ends on its own once stopped.
        ::CloseHandle(thread);
        return S_OK;
    }

private:
    ~CTWNotifications() override
    {
        if (m_server)
            m_server->Stop();
    }

    win32::ComPtr<CTrayNotifyServer> m_server;
};

class CTWTrayNotifyCallback final
    : public fw::CComObjectBase<IFWTWTrayNotifyCallback, IID_IFWTWTrayNotifyCallback> {
public:
    STDMETHODIMP OnNotify(UINT code, UINT balloonId) override
    {
        if (code != kFwtwBalloonUserClick)
            return S_OK;
        try {
            // A click on a running shred's or bleach's balloon shows its progress.
            if (balloonId == kBalloonShredAllStarts)
                RequestShredAll(1);
            else if (balloonId == kBalloonBleachStarts)
                RequestDiskBleach(1);
        } catch (...) {
            // Nothing leaves a COM method; the click is lost.
        }
        return S_OK;
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
