#include "program/bleach_operation.h"

#include "engine/ui/shred_dialogs.h"
#include "framework/build_seams.h"
#include "framework/module.h"
#include "ipc/bleach_protocol.h"
#include "ipc/tray_notify_client.h"
#include "program/graventa_dlg.h"
#include "resources/graventa/resource.h"
#include "win32/string_table.h"

#include <objbase.h>

namespace {

constexpr DWORD kPipeBusyWaitMs = 20000;
constexpr DWORD kProgressStepMs = 500;
constexpr DWORD kClosePauseMs = 500;
// A reply is a few dozen bytes; the buffer keeps its last two bytes zero so
// that whatever is read always ends in a NUL.
constexpr DWORD kCbReplyBuffer = 512;

std::wstring ProgramText(UINT id)
{
    return win32::LoadTableString(fw::ResourceInstance(), id);
}

// One reply read whole (continuing while the service reports more data);
// each part is taken as a text of its own. False when the read failed for
// any reason but a longer message.
bool ReadReply(HANDLE pipe, int32_t& value, int32_t processId, int32_t threadId)
{
    for (;;) {
        wchar_t buffer[kCbReplyBuffer / sizeof(wchar_t)] = {};
        DWORD cbRead = 0;
        const BOOL read =
            ::ReadFile(pipe, buffer, kCbReplyBuffer - sizeof(wchar_t), &cbRead, nullptr);
        const DWORD error = read ? ERROR_SUCCESS : ::GetLastError();
        if (!read && error != ERROR_MORE_DATA)
            return false;
        int32_t pid = 0;
        int32_t tid = 0;
        int32_t field = 0;
        if (ParseReply(buffer, pid, tid, field) && pid == processId && tid == threadId)
            value = field;
        if (read)
            return true;
    }
}

// Replies are read one message at a time; the handle is opened with
// FILE_WRITE_ATTRIBUTES so that Windows lets the mode be set.
void UseMessageReadMode(HANDLE pipe)
{
    DWORD mode = PIPE_READMODE_MESSAGE;
    ::SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
}

class ScopedMutexRelease {
public:
    explicit ScopedMutexRelease(HANDLE mutex) : m_mutex(mutex) {}
    ~ScopedMutexRelease() { ::ReleaseMutex(m_mutex); }
    ScopedMutexRelease(const ScopedMutexRelease&) = delete;
    ScopedMutexRelease& operator=(const ScopedMutexRelease&) = delete;

private:
    HANDLE m_mutex;
};

}  // namespace

BleachClientPipes CurrentBleachPipes()
{
    BleachClientPipes pipes{kBleachControlPipe, kBleachStatusPipe, kBleachProgressPipe};
    // Only a test build has a suffix (framework/build_seams.h).
    const std::wstring suffix = fw::BleachPipeSuffix();
    pipes.control += suffix;
    pipes.status += suffix;
    pipes.progress += suffix;
    return pipes;
}

bool BleachSlot::ShowRunning()
{
    return WithRunning([](CBleachAllOperation& operation) { operation.ShowProgress(); });
}

void BleachSlot::Finish(CBleachAllOperation* operation)
{
    Detach(operation, [](CBleachAllOperation&) {});
}

CBleachAllOperation::CBleachAllOperation(BleachSlot& slot) : m_slot(slot)
{
    m_hasWindow = m_progress.Launch();
}

CBleachAllOperation::~CBleachAllOperation()
{
    m_progress.Shutdown();
}

void CBleachAllOperation::ShowProgress()
{
    if (CProgressDlg* dialog = m_hasWindow ? m_progress.Dialog() : nullptr)
        dialog->BringToFront();
}

void CBleachAllOperation::SetTexts(const std::wstring& title, const std::wstring& button)
{
    if (CProgressDlg* dialog = m_hasWindow ? m_progress.Dialog() : nullptr)
        dialog->SetTexts(title, button);
}

void CBleachAllOperation::SetPercent(int percent)
{
    if (CProgressDlg* dialog = m_hasWindow ? m_progress.Dialog() : nullptr)
        dialog->SetPercent(percent);
}

bool CBleachAllOperation::OpenPipe(const std::wstring& name, DWORD access, win32::UniqueFile& pipe)
{
    win32::UniqueFile opened(
        ::CreateFileW(name.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!opened) {
        if (::GetLastError() != ERROR_PIPE_BUSY || !::WaitNamedPipeW(name.c_str(), kPipeBusyWaitMs))
            return false;
        opened.reset(::CreateFileW(name.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!opened)
            return false;
    }
    pipe = std::move(opened);
    return true;
}

bool CBleachAllOperation::WritePipeMessage(HANDLE pipe, int32_t command, int32_t processId,
                                           int32_t threadId)
{
    return WriteControlMessage(pipe, command, processId, threadId);
}

bool CBleachAllOperation::ReadStatus(HANDLE pipe, int32_t& value, int32_t processId,
                                     int32_t threadId)
{
    return ReadReply(pipe, value, processId, threadId);
}

bool CBleachAllOperation::ReadProgress(HANDLE pipe, int32_t& value, int32_t processId,
                                       int32_t threadId)
{
    // Never wait in a read here: a service that went quiet would otherwise
    // hold the loop, and with it the stop button, for good.
    DWORD cbAvailable = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &cbAvailable, nullptr))
        return false;
    if (cbAvailable == 0)
        return true;
    int32_t percent = value;
    if (!ReadReply(pipe, percent, processId, threadId))
        return false;
    if (percent >= 0 && percent <= 100)
        value = percent;
    return true;
}

void CBleachAllOperation::SendBalloon(UINT titleId, const std::wstring& text, int id)
{
    const std::wstring title = ProgramText(titleId);
    const HRESULT initialised = ::CoInitialize(nullptr);
    TrayNotifyClient().Send(title.c_str(), text.c_str(), id);
    if (SUCCEEDED(initialised))
        ::CoUninitialize();
}

BOOL CBleachAllOperation::InitInstance()
{
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
    CreateOpenSecurityAttributes(descriptor, attributes);
    win32::UniqueHandleNull mutex(::CreateMutexW(&attributes, TRUE, kBleachSystemMutex));
    if (!mutex)
        return FALSE;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        mutex.reset();
        ShowShredWarning(ProgramText(IDS_BLEACH_ALREADY_RUNNING));
        return FALSE;
    }
    ScopedMutexRelease release(mutex.get());
    Run(CurrentBleachPipes());
    return FALSE;
}

void CBleachAllOperation::Run(const BleachClientPipes& pipes)
{
    const auto processId = static_cast<int32_t>(::GetCurrentProcessId());
    const auto threadId = static_cast<int32_t>(::GetCurrentThreadId());
    int32_t status = 0;

    win32::UniqueFile control;
    if (OpenPipe(pipes.control, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, control))
        WritePipeMessage(control.get(), kStartBleach, processId, threadId);

    win32::UniqueFile statusPipe;
    if (OpenPipe(pipes.status, GENERIC_READ | FILE_WRITE_ATTRIBUTES, statusPipe)) {
        UseMessageReadMode(statusPipe.get());
        ReadStatus(statusPipe.get(), status, processId, threadId);
    }
    // The status values only keep the two pipes in step.
    if (control && WritePipeMessage(control.get(), kSubscribeProgress, processId, threadId) &&
        statusPipe)
        ReadStatus(statusPipe.get(), status, processId, threadId);

    SetTexts(ProgramText(IDS_BLEACH_IN_PROGRESS), ProgramText(IDS_STOP_BLEACH));
    SendBalloon(IDS_BALLOON_BLEACH_IN_PROGRESS, ProgramText(IDS_BALLOON_BLEACH_CLICK),
                kBalloonBleachStarts);

    int32_t percent = 0;
    win32::UniqueFile progress;
    if (OpenPipe(pipes.progress, GENERIC_READ | FILE_WRITE_ATTRIBUTES, progress)) {
        UseMessageReadMode(progress.get());
        FollowProgress(progress.get(), processId, threadId, percent);
    }

    // Also after a completed bleach: it is what lets the service end this
    // status connection.
    if (control && WritePipeMessage(control.get(), kStopBleach, processId, threadId) && statusPipe)
        ReadStatus(statusPipe.get(), status, processId, threadId);

    SendBalloon(percent == 100 ? IDS_BLEACH_COMPLETE : IDS_BLEACH_ABORTED, L"  ",
                kBalloonBleachEnds);

    progress.reset();
    ::Sleep(kClosePauseMs);
    statusPipe.reset();
    ::Sleep(kClosePauseMs);
    control.reset();
}

void CBleachAllOperation::FollowProgress(HANDLE progressPipe, int32_t processId, int32_t threadId,
                                         int32_t& percent)
{
    for (;;) {
        // No window thread (it never started or has ended) ends the wait at
        // once, and the loop with it.
        if (::WaitForSingleObject(m_progress.ThreadHandle(), kProgressStepMs) != WAIT_TIMEOUT)
            return;
        if (!m_hasWindow || !m_progress.Dialog() || m_progress.Dialog()->IsStopRequested())
            return;
        // The service ends the progress connection when a wipe stops short of
        // the end: the bleach is over, aborted.
        if (!ReadProgress(progressPipe, percent, processId, threadId))
            return;
        SetPercent(percent);
        if (percent == 100)
            return;
    }
}

int CBleachAllOperation::ExitInstance()
{
    m_slot.Finish(this);
    return fw::CWorkerThread::ExitInstance();
}
