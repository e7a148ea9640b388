#include "program/bleach_operation.h"

#include "framework/build_seams.h"
#include "framework/module.h"
#include "ipc/bleach_pipe_client.h"
#include "ipc/bleach_protocol.h"
#include "ipc/tray_notify_client.h"
#include "program/graventa_dlg.h"
#include "program/ui/shred_dialogs.h"
#include "resources/graventa/resource.h"
#include "win32/security.h"
#include "win32/string_table.h"

#include <objbase.h>

namespace {

constexpr DWORD kProgressStepMs = 500;
constexpr DWORD kClosePauseMs = 500;

std::wstring ProgramText(UINT id)
{
    return win32::LoadTableString(fw::ResourceInstance(), id);
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

void BleachSlot::StopRunning()
{
    WithRunning([](CBleachAllOperation& operation) { operation.RequestStop(); });
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
    if (!ReadBleachReply(pipe, percent, processId, threadId))
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
    win32::OpenSecurityAttributes(descriptor, attributes);
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
    if (OpenBleachPipe(pipes.control, BleachPipeRole::Control, control))
        WriteControlMessage(control.get(), kStartBleach, processId, threadId);

    win32::UniqueFile statusPipe;
    if (OpenBleachPipe(pipes.status, BleachPipeRole::Reply, statusPipe))
        ReadBleachReply(statusPipe.get(), status, processId, threadId);
    // The status values only keep the two pipes in step.
    if (control && WriteControlMessage(control.get(), kSubscribeProgress, processId, threadId) &&
        statusPipe)
        ReadBleachReply(statusPipe.get(), status, processId, threadId);

    SetTexts(ProgramText(IDS_BLEACH_IN_PROGRESS), ProgramText(IDS_STOP_BLEACH));
    SendBalloon(IDS_BALLOON_BLEACH_IN_PROGRESS, ProgramText(IDS_BALLOON_BLEACH_CLICK),
                kBalloonBleachStarts);

    int32_t percent = 0;
    win32::UniqueFile progress;
    if (OpenBleachPipe(pipes.progress, BleachPipeRole::Reply, progress))
        FollowProgress(progress.get(), processId, threadId, percent);

    // Also after a completed bleach: it is what lets the service end this
    // status connection.
    if (control && WriteControlMessage(control.get(), kStopBleach, processId, threadId) &&
        statusPipe)
        ReadBleachReply(statusPipe.get(), status, processId, threadId);

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
        if (m_stopRequested.load() || !m_hasWindow || !m_progress.Dialog() ||
            m_progress.Dialog()->IsStopRequested())
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
