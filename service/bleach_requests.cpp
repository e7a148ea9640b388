// The shared state behind the pipes: the request queue, the progress
// subscribers, the wipe bookkeeping and the current shred manager. Every
// function here takes the service-wide lock for a moment and never waits
// while holding it.
#include "engine/progress_reporter.h"
#include "service/bleach_server.h"
#include "shred/shred_manager.h"
#include "win32/system_info.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <new>
#include <utility>

namespace {

// More queued requests than any honest set of clients could leave behind;
// beyond it a flooding client's messages are dropped.
constexpr size_t kMaxQueuedRequests = 4096;
// Ended wipes whose outcome a late progress connection can still learn.
constexpr size_t kKeptOutcomes = 64;

int32_t StoredPercentOf(ShredManager* manager)
{
    if (!manager || !manager->GetProgress())
        return 0;
    return manager->GetProgress()->GetStoredPercent();
}

}  // namespace

void BleachServer::BeginWipe(ShredManager* manager)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_current = manager;
    ++m_wipeSerial;
    m_wipeRunning = true;
    // A stop that came between the start request and this point.
    const bool stopped = m_stopping || m_cancelAtBegin == m_wipeSerial;
    if (stopped && manager && manager->GetProgress())
        manager->GetProgress()->RequestCancel();
}

void BleachServer::EndWipe()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_outcomes.emplace_back(m_wipeSerial, StoredPercentOf(m_current));
    while (m_outcomes.size() > kKeptOutcomes)
        m_outcomes.pop_front();
    m_current = nullptr;
    m_wipeRunning = false;
    // No later stop can reach an ended wipe.
    m_wipeRequesters.erase(m_wipeRequesters.begin(), m_wipeRequesters.upper_bound(m_wipeSerial));
}

void BleachServer::RequestServiceStop()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_stopping = true;
    if (m_current && m_current->GetProgress())
        m_current->GetProgress()->RequestCancel();
}

ShredManager* BleachServer::CurrentManager()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_current;
}

bool BleachServer::DispatchBleachCommand(int32_t command, int32_t processId, int32_t threadId,
                                         uint64_t controlId)
{
    if (command == kRegisterDesktopIcon || command == kUnregisterDesktopIcon) {
        StartDesktopIconRegistration(command == kUnregisterDesktopIcon);
        return true;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    const ULONGLONG now = ::GetTickCount64();
    DropStalledRequests(now);
    BleachRequest request;
    request.command = command;
    request.status = kRequestNew;
    request.processId = processId;
    request.threadId = threadId;
    request.controlId = controlId;
    const auto control = m_liveControls.find(controlId);
    LiveControl* sender = control != m_liveControls.end() ? &control->second : nullptr;
    request.clientProcess = sender ? sender->clientProcess : 0;
    request.queuedAtMs = now;
    if (command == kStopBleach) {
        // Only the wipe this connection asked for: another client's wipe,
        // begun right after this one's, is not this client's to stop.
        if (sender && sender->startedWipe != 0) {
            const uint32_t wipe = std::exchange(sender->startedWipe, 0);
            if (ReleaseWipeRequester(wipe) == 0)
                CancelWipe(wipe);
        }
    } else if (command == kStartBleach) {
        // A wipe that already runs began before this request: the next one
        // serves it. Any number of requests meanwhile make one more wipe.
        request.wipeSerial = m_wipeSerial + 1;
        if (sender && sender->startedWipe != request.wipeSerial) {
            if (sender->startedWipe != 0)
                ReleaseWipeRequester(sender->startedWipe);
            sender->startedWipe = request.wipeSerial;
            ++m_wipeRequesters[request.wipeSerial];
        }
        // Asked for again: a stop before it began no longer holds.
        if (m_cancelAtBegin == request.wipeSerial)
            m_cancelAtBegin = 0;
        ::SetEvent(m_bleachEvent);
    }
    if (m_queue.size() < kMaxQueuedRequests) {
        m_queue.push_back(request);
        for (HANDLE wake : m_statusWaiters)
            ::SetEvent(wake);
    }
    return true;
}

bool BleachServer::BuildStatusReply(std::string& reply, StatusBinding& binding)
{
    BleachRequest answered;
    return BuildStatusReply(reply, binding, answered);
}

bool BleachServer::BuildStatusReply(std::string& reply, StatusBinding& binding,
                                    BleachRequest& answered)
{
    std::lock_guard<std::mutex> lock(m_lock);
    // The status pipe carries nothing from the client, so the process at
    // its other end is all that tells one client's connection from another's.
    // A process the system cannot name matches none.
    const auto fromSameProcess = [&](const BleachRequest& r) {
        return r.clientProcess != 0 && r.clientProcess == binding.clientProcess;
    };
    auto found = m_queue.end();
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (!fromSameProcess(*it))
            continue;
        if (!binding.IsBound()) {
            // Only a start binds a fresh connection; anything else waits for
            // the connection of its own sender.
            if (it->command == kStartBleach) {
                found = it;
                break;
            }
            continue;
        }
        if (it->processId == binding.processId && it->threadId == binding.threadId) {
            // A second start from the bound sender has nobody to answer it
            // here, and what the sender sent after it waits behind it.
            if (it->command != kStartBleach)
                found = it;
            break;
        }
    }
    if (found == m_queue.end()) {
        DropStalledRequests(::GetTickCount64());
        return false;
    }
    BleachRequest& request = *found;
    if (!binding.IsBound()) {
        request.status = kRequestDone;
        StatusBinding bound;
        bound.processId = request.processId;
        bound.threadId = request.threadId;
        bound.controlId = request.controlId;
        bound.wipeSerial = request.wipeSerial;
        bound.clientProcess = binding.clientProcess;
        reply = FormatReply(request.processId, request.threadId, request.status);
        answered = request;
        binding = bound;
        m_queue.erase(found);
        return true;
    }
    switch (request.command) {
    case kStopBleach:
        request.status = kRequestDone;
        binding = StatusBinding{};
        break;
    case kSubscribeProgress:
    case kUnsubscribeProgress: {
        const int mode = request.command == kSubscribeProgress ? 1 : 2;
        request.status =
            UpdateSubscribers(mode, request, binding.wipeSerial) ? kRequestDone : kRequestFailed;
        break;
    }
    default:
        return false;
    }
    reply = FormatReply(request.processId, request.threadId, request.status);
    answered = request;
    m_queue.erase(found);
    return true;
}

void BleachServer::DropStalledRequests(ULONGLONG nowMs)
{
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                 [&](const BleachRequest& r) {
                                     return nowMs - r.queuedAtMs >= kStatusConnectionWaitMs;
                                 }),
                  m_queue.end());
}

void BleachServer::RequeueAtHead(const BleachRequest& request)
{
    std::lock_guard<std::mutex> lock(m_lock);
    BleachRequest again = request;
    again.status = kRequestNew;
    // Its sender may have gone meanwhile; then it goes with it.
    if (m_liveControls.count(again.controlId) == 0)
        return;
    // Its time is up all the same: a client cannot keep it alive by
    // connecting and going again.
    if (::GetTickCount64() - again.queuedAtMs >= kStatusConnectionWaitMs)
        return;
    m_queue.push_front(again);
    for (HANDLE wake : m_statusWaiters)
        ::SetEvent(wake);
}

bool BleachServer::UpdateSubscribers(int mode, const BleachRequest& request, uint32_t wipeSerial)
{
    if (mode == 1) {
        ProgressSubscriber subscriber;
        subscriber.processId = request.processId;
        subscriber.threadId = request.threadId;
        subscriber.command = request.command;
        subscriber.state = request.status;
        subscriber.controlId = request.controlId;
        subscriber.wipeSerial = wipeSerial;
        try {
            m_subscribers.push_back(subscriber);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    if (mode == 2) {
        const auto found = std::find_if(
            m_subscribers.begin(), m_subscribers.end(), [&](const ProgressSubscriber& s) {
                return s.processId == request.processId && s.threadId == request.threadId;
            });
        if (found != m_subscribers.end())
            m_subscribers.erase(found);
        return true;
    }
    return false;
}

bool BleachServer::TakeWaitingSubscriber(DWORD clientProcess, ProgressTarget& target)
{
    // As with status replies, the process at the other end is all that tells
    // one client's progress connection from another's; an unknown process
    // matches none.
    if (clientProcess == 0)
        return false;
    std::lock_guard<std::mutex> lock(m_lock);
    for (ProgressSubscriber& subscriber : m_subscribers) {
        if (subscriber.command == kSubscribeProgress && subscriber.state == kSubscriberWaiting &&
            static_cast<DWORD>(subscriber.processId) == clientProcess) {
            subscriber.state = kSubscriberAttached;
            target.processId = subscriber.processId;
            target.threadId = subscriber.threadId;
            target.wipeSerial = subscriber.wipeSerial;
            return true;
        }
    }
    return false;
}

int BleachServer::ReleaseWipeRequester(uint32_t wipeSerial)
{
    const auto found = m_wipeRequesters.find(wipeSerial);
    if (found == m_wipeRequesters.end())
        return 0;
    if (--found->second > 0)
        return found->second;
    m_wipeRequesters.erase(found);
    return 0;
}

void BleachServer::CancelWipe(uint32_t wipeSerial)
{
    if (m_wipeRunning && wipeSerial == m_wipeSerial) {
        // The client stops when it reads 100, while the file-table pass is
        // still to come: a stop then would cut that pass short. Only a
        // service stop cancels from there on.
        if (m_current && m_current->GetProgress() && StoredPercentOf(m_current) < 100)
            m_current->GetProgress()->RequestCancel();
    } else if (wipeSerial > m_wipeSerial) {
        m_cancelAtBegin = wipeSerial;
    }
}

int32_t BleachServer::OutcomeOf(uint32_t wipeSerial, bool& known) const
{
    for (const auto& outcome : m_outcomes) {
        if (outcome.first == wipeSerial) {
            known = true;
            return outcome.second;
        }
    }
    known = false;
    return 0;
}

bool BleachServer::BuildProgressReport(std::string& report, const ProgressTarget& target)
{
    std::lock_guard<std::mutex> lock(m_lock);
    int32_t percent = 0;
    const bool follows = (target.processId != 0 || target.threadId != 0) && target.wipeSerial != 0;
    if (!follows || (m_wipeRunning && m_wipeSerial == target.wipeSerial)) {
        percent = StoredPercentOf(m_current);
    } else if (target.wipeSerial <= m_wipeSerial) {
        // Its wipe has ended. A finished one keeps saying 100 so that a
        // subscriber polling once a second cannot miss the end; one that
        // ended short closes the connection, which the client sees as an
        // aborted bleach.
        bool known = false;
        const int32_t outcome = OutcomeOf(target.wipeSerial, known);
        if (!known || outcome < 100)
            return false;
        percent = 100;
    }
    report = FormatReply(target.processId, target.threadId, percent);
    return true;
}

uint64_t BleachServer::ControlStarted(DWORD clientProcess)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const uint64_t id = m_nextControlId++;
    m_liveControls[id].clientProcess = clientProcess;
    return id;
}

void BleachServer::ControlEnded(uint64_t controlId)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const auto control = m_liveControls.find(controlId);
    // A client that went away without a stop leaves its wipe to whoever
    // else asked for it.
    if (control != m_liveControls.end() && control->second.startedWipe != 0)
        ReleaseWipeRequester(control->second.startedWipe);
    m_liveControls.erase(controlId);
    // A client that went away must not leave a start at the head that binds
    // the next client's status connection, nor a subscriber that the next
    // progress connection would take.
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                 [&](const BleachRequest& r) { return r.controlId == controlId; }),
                  m_queue.end());
    m_subscribers.remove_if([&](const ProgressSubscriber& s) {
        return s.controlId == controlId && s.state == kSubscriberWaiting;
    });
    for (HANDLE wake : m_statusWaiters)
        ::SetEvent(wake);
}

bool BleachServer::IsControlLive(uint64_t controlId)
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_liveControls.count(controlId) != 0;
}

void BleachServer::AddStatusWaiter(HANDLE wake)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_statusWaiters.push_back(wake);
}

void BleachServer::RemoveStatusWaiter(HANDLE wake)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_statusWaiters.erase(std::remove(m_statusWaiters.begin(), m_statusWaiters.end(), wake),
                          m_statusWaiters.end());
}

size_t BleachServer::QueuedRequests()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_queue.size();
}

std::vector<ProgressSubscriber> BleachServer::Subscribers()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return {m_subscribers.begin(), m_subscribers.end()};
}

std::wstring BleachServer::Regsvr32Program()
{
    BOOL wow64 = FALSE;
    if (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64)
        return win32::WindowsFolder() + L"\\system32\\regsvr32.exe";
    return L"regsvr32.exe";
}

std::wstring BleachServer::DesktopIconParameters(bool unregister) const
{
    const std::wstring dll = L"\"" + m_installFolder + L"\\Fennick.dll\"";
    // Silent both ways: a message box in the service's session would stay
    // open for ever.
    return unregister ? L"/u " + dll + L" /s" : dll + L" /s";
}

void BleachServer::StartDesktopIconRegistration(bool unregister) const
{
    const std::wstring program = Regsvr32Program();
    const std::wstring parameters = DesktopIconParameters(unregister);
    const HRESULT initialised =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // The service neither waits for regsvr32 nor looks at what it did.
    ::ShellExecuteW(nullptr, L"open", program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(initialised))
        ::CoUninitialize();
}
