// A server destroyed while its connection threads end: once its destructor
// has returned, no thread may touch the object any more (its owner frees it).
//
// The race is made certain rather than hoped for: the thread that signals the
// end of the last connection is held right after the signal until the server
// is destroyed, and the server's own memory is then made inaccessible, so
// that each later access is seen (and let through) by a vectored handler.
#include "service/bleach_server.h"
#include "tests/common/open_recorder.h"
#include "tests/common/wait.h"
#include "tests/service/service_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <new>
#include <vector>

using servicetest::MessageBytes;
using servicetest::PipeClient;

namespace {

using SetEventFn = BOOL(WINAPI*)(HANDLE);
using CreateEventWFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCWSTR);

// No std::mutex here: the threads library may signal its own events through
// the same import, so the hooks must not wait on it.
SRWLOCK g_lock = SRWLOCK_INIT;
SetEventFn g_setEvent = nullptr;
CreateEventWFn g_createEvent = nullptr;
std::atomic<DWORD> g_recordingThread{0};
std::vector<HANDLE> g_serverEvents;
std::atomic<bool> g_armed{false};
HANDLE g_destroyed = nullptr;
std::vector<HANDLE> g_heldThreads;

std::atomic<BYTE*> g_roomBegin{nullptr};
std::atomic<BYTE*> g_roomEnd{nullptr};
std::atomic<int> g_touches{0};

HANDLE WINAPI RecordingCreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset,
                                    BOOL initialState, LPCWSTR name)
{
    const HANDLE event = g_createEvent(security, manualReset, initialState, name);
    const DWORD error = ::GetLastError();
    if (event && ::GetCurrentThreadId() == g_recordingThread.load()) {
        ::AcquireSRWLockExclusive(&g_lock);
        g_serverEvents.push_back(event);
        ::ReleaseSRWLockExclusive(&g_lock);
    }
    ::SetLastError(error);
    return event;
}

// After a server event is set by one of its threads, that thread waits here
// until the test has destroyed the server.
BOOL WINAPI HoldingSetEvent(HANDLE event)
{
    const BOOL set = g_setEvent(event);
    const DWORD error = ::GetLastError();
    if (g_armed.load()) {
        ::AcquireSRWLockExclusive(&g_lock);
        const bool ours =
            std::find(g_serverEvents.begin(), g_serverEvents.end(), event) != g_serverEvents.end();
        HANDLE self = nullptr;
        if (ours)
            self = ::OpenThread(SYNCHRONIZE, FALSE, ::GetCurrentThreadId());
        if (self)
            g_heldThreads.push_back(self);
        ::ReleaseSRWLockExclusive(&g_lock);
        if (ours)
            ::WaitForSingleObject(g_destroyed, testsupport::kPatienceMs);
    }
    ::SetLastError(error);
    return set;
}

LONG CALLBACK CountTouches(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    BYTE* const begin = g_roomBegin.load();
    BYTE* const end = g_roomEnd.load();
    const auto* address = reinterpret_cast<const BYTE*>(record->ExceptionInformation[1]);
    if (!begin || address < begin || address >= end)
        return EXCEPTION_CONTINUE_SEARCH;
    ++g_touches;
    DWORD unused = 0;
    ::VirtualProtect(begin, static_cast<SIZE_T>(end - begin), PAGE_READWRITE, &unused);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// CreateEventW and SetEvent of this program through the hooks above, and the
// touch counter, while it lives.
class HeldSignals {
public:
    HeldSignals()
    {
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        auto* setEvent = reinterpret_cast<void*>(::GetProcAddress(kernel, "SetEvent"));
        auto* createEvent = reinterpret_cast<void*>(::GetProcAddress(kernel, "CreateEventW"));
        m_destroyed.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        g_destroyed = m_destroyed.get();
        g_setEvent = reinterpret_cast<SetEventFn>(setEvent);
        g_createEvent = reinterpret_cast<CreateEventWFn>(createEvent);
        g_serverEvents.clear();
        g_heldThreads.clear();
        g_touches = 0;
        m_handler = ::AddVectoredExceptionHandler(1, CountTouches);
        m_setSlot = setEvent ? testsupport::ImportSlotOf(setEvent) : nullptr;
        m_createSlot = createEvent ? testsupport::ImportSlotOf(createEvent) : nullptr;
        if (m_setSlot && !testsupport::ExchangeImport(
                             m_setSlot, reinterpret_cast<void*>(&HoldingSetEvent)))
            m_setSlot = nullptr;
        if (m_createSlot && !testsupport::ExchangeImport(
                                m_createSlot, reinterpret_cast<void*>(&RecordingCreateEventW)))
            m_createSlot = nullptr;
    }
    ~HeldSignals()
    {
        g_armed = false;
        ::SetEvent(m_destroyed.get());
        if (m_setSlot)
            testsupport::ExchangeImport(m_setSlot, reinterpret_cast<void*>(g_setEvent));
        if (m_createSlot)
            testsupport::ExchangeImport(m_createSlot, reinterpret_cast<void*>(g_createEvent));
        for (HANDLE thread : g_heldThreads)
            ::CloseHandle(thread);
        g_heldThreads.clear();
        if (m_handler)
            ::RemoveVectoredExceptionHandler(m_handler);
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

    bool Installed() const { return m_setSlot && m_createSlot && m_handler && m_destroyed; }
    // The events that the calling thread makes until the call with false
    // count as the server's.
    void RecordEventsOfThisThread(bool on) { g_recordingThread = on ? ::GetCurrentThreadId() : 0; }
    void Arm() { g_armed = true; }
    // The server is gone: the held threads go on.
    void Release() { ::SetEvent(m_destroyed.get()); }
    // False when a held thread has not ended in time.
    bool WaitForHeldThreads()
    {
        ::AcquireSRWLockShared(&g_lock);
        const std::vector<HANDLE> threads = g_heldThreads;
        ::ReleaseSRWLockShared(&g_lock);
        return threads.empty() ||
               ::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE,
                                        testsupport::kPatienceMs) < WAIT_OBJECT_0 + threads.size();
    }

private:
    win32::UniqueHandleNull m_destroyed;
    void* m_handler = nullptr;
    void** m_setSlot = nullptr;
    void** m_createSlot = nullptr;
};

// Pages of their own for one server; inaccessible once it is destroyed.
class Room {
public:
    Room()
        : m_cb(sizeof(BleachServer)),
          m_memory(::VirtualAlloc(nullptr, m_cb, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
    {
        g_roomBegin = static_cast<BYTE*>(m_memory);
        g_roomEnd = static_cast<BYTE*>(m_memory) + m_cb;
    }
    ~Room()
    {
        g_roomBegin = nullptr;
        g_roomEnd = nullptr;
        // Kept when the server may still run in it (a test that failed early).
        if (m_memory && m_closed)
            ::VirtualFree(m_memory, 0, MEM_RELEASE);
    }
    Room(const Room&) = delete;
    Room& operator=(const Room&) = delete;

    void* Memory() const { return m_memory; }
    bool Close()
    {
        DWORD unused = 0;
        m_closed = ::VirtualProtect(m_memory, m_cb, PAGE_NOACCESS, &unused) != FALSE;
        return m_closed;
    }

private:
    SIZE_T m_cb;
    void* m_memory;
    bool m_closed = false;
};

std::string Control(int command, int threadId)
{
    return MessageBytes(L"$OVSC$:" + std::to_wstring(command) + L":" +
                        std::to_wstring(::GetCurrentProcessId()) + L":" +
                        std::to_wstring(threadId));
}

struct Clients {
    PipeClient control;
    PipeClient status;
    PipeClient progress;
};

}  // namespace

TEST(ServerLifetimeTest, NoConnectionThreadTouchesTheServerAfterItsDestructorReturned)
{
    const struct {
        const char* name;
        // Leaves connection threads running, which only the stop ends.
        std::function<bool(BleachServer&, const BleachPipeNames&, Clients&)> connect;
    } rows[] = {
        {"a control connection",
         [](BleachServer& server, const BleachPipeNames& names, Clients& clients) {
             return clients.control.Open(names.control, true) &&
                    clients.control.Write(Control(0x1020, 1)) &&
                    testsupport::WaitUntil([&] { return server.QueuedRequests() == 1; }, 20000);
         }},
        {"a bound status connection with its control connection",
         [](BleachServer&, const BleachPipeNames& names, Clients& clients) {
             std::string reply;
             return clients.control.Open(names.control, true) &&
                    clients.control.Write(Control(0x1020, 2)) &&
                    clients.status.Open(names.status, false) && clients.status.Read(reply);
         }},
        {"a progress connection",
         [](BleachServer&, const BleachPipeNames& names, Clients& clients) {
             std::string report;
             return clients.progress.Open(names.progress, false) && clients.progress.Read(report);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HeldSignals signals;
        ASSERT_TRUE(signals.Installed());
        Room room;
        ASSERT_NE(nullptr, room.Memory());
        const BleachPipeNames names = BleachPipeNames::WithSuffix(servicetest::UniqueSuffix());
        const win32::UniqueHandleNull stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        const win32::UniqueHandleNull bleach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        ASSERT_TRUE(stop && bleach);
        signals.RecordEventsOfThisThread(true);
        auto* server = new (room.Memory())
            BleachServer(names, stop.get(), bleach.get(), L"C:\\Scoravel Test");
        signals.RecordEventsOfThisThread(false);
        const bool listening = server->StartListeners();
        Clients clients;
        const bool connected = listening && row.connect(*server, names, clients);

        signals.Arm();
        server->~BleachServer();
        ASSERT_TRUE(listening);
        ASSERT_TRUE(connected);
        ASSERT_TRUE(room.Close());
        signals.Release();
        // A thread that signalled the end of the last connection has gone on
        // by now (or the destructor itself saw the count reach zero).
        ASSERT_TRUE(signals.WaitForHeldThreads());
        EXPECT_EQ(0, g_touches.load()) << "a connection thread used the destroyed server";
    }
}

