#include "program/operations.h"

#include "engine/eraser.h"
#include "engine/progress_reporter.h"
#include "ipc/main_window_command.h"
#include "program/ui/progress_window.h"
#include "resources/graventa/resource.h"
#include "settings/install_location.h"
#include "shred/shred_manager.h"
#include "win32/path.h"

#include <shlwapi.h>

#include <string>

namespace {

// The shred log is ANSI text with CR LF line ends.
bool WriteNewLog(const std::wstring& path, const std::string& text)
{
    win32::UniqueFile log(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log)
        return false;
    DWORD cbWritten = 0;
    return ::WriteFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &cbWritten,
                       nullptr) &&
           cbWritten == text.size();
}

}  // namespace

bool LaunchOperation(std::unique_ptr<fw::CThread> operation, win32::UniqueHandleNull* thread)
{
    if (!operation || !operation->CreateThread(true))
        return false;
    win32::UniqueHandleNull own;
    if (thread) {
        HANDLE duplicate = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), operation->ThreadHandle(),
                               ::GetCurrentProcess(), &duplicate, SYNCHRONIZE, FALSE, 0))
            return false;  // never resumed: the suspended thread goes with the object
        own.reset(duplicate);
    }
    // From here on the object belongs to its thread.
    fw::CThread* running = operation.release();
    if (!running->ResumeThread()) {
        delete running;
        return false;
    }
    if (thread)
        *thread = std::move(own);
    return true;
}

bool RefuseOverlongPath(const std::wstring& path)
{
    if (win32::FitsMaxPath(path))
        return false;
    std::wstring logPath;
    if (Eraser::ShredLogPath(InstallFolderOrDefault(), logPath)) {
        // The engine's own line for a path it cannot open, in a log of its own
        // as every request has.
        Eraser log;
        if (log.OpenLog(logPath)) {
            log.LogTextLine(IDS_LOG_OPEN_FAILED, {path}, ERROR_FILENAME_EXCED_RANGE, true);
            log.CloseLog();
        }
    }
    return true;
}

BOOL CShredOneOperation::InitInstance()
{
    ShredManager manager(std::make_unique<ProgressReporter>(OpenProgressWindow()), m_ui);
    manager.Init();

    std::unique_ptr<IDAsset> asset = MakePathAsset(m_path);
    manager.ShredOne(asset.get());
    return FALSE;
}

BOOL CBHOOperation::InitInstance()
{
    // No window: the browser jobs run unseen and cannot be stopped.
    ShredManager manager(std::make_unique<ProgressReporter>(), m_ui);
    manager.Init();

    if (m_kind == kBrowserInternetExplorer) {
        if (m_verb == kVerbInstallIEExtension)
            manager.InstallIEExtension();
        else if (m_verb == kVerbRemoveIEExtension)
            manager.RemoveIEExtension();
        else if (m_verb == kVerbShredInternetExplorer)
            manager.ShredAssets(kListInternetExplorer);
    } else if (m_kind == kBrowserFirefox) {
        if (m_verb == kVerbInstallFirefoxExtension)
            manager.InstallFirefoxExtension();
        else if (m_verb == kVerbRemoveFirefoxExtension)
            manager.RemoveFirefoxExtension();
        else if (m_verb == kVerbShredFirefox)
            manager.ShredAssets(kListFirefox);
    }
    return FALSE;
}

bool ShredAllSlot::ShowRunning(HWND notifyWindow)
{
    return WithRunning([notifyWindow](CShredAllOperation& operation) {
        if (notifyWindow)
            operation.SetNotifyWindow(notifyWindow);
        operation.ShowProgress();
    });
}

void ShredAllSlot::NotifyEndSession(int value)
{
    WithRunning([value](CShredAllOperation& operation) { operation.WriteEndSessionLine(value); });
}

HWND ShredAllSlot::Finish(CShredAllOperation* operation)
{
    HWND notify = nullptr;
    Detach(operation, [&notify](CShredAllOperation& ending) { notify = ending.NotifyWindow(); });
    return notify;
}

CShredAllOperation::CShredAllOperation(IShredUi& ui, ShredAllSlot& slot, HANDLE doneEvent,
                                       HWND notifyWindow, bool unattended)
    : m_ui(ui),
      m_slot(slot), m_doneEvent(doneEvent), m_notifyWindow(notifyWindow), m_unattended(unattended)
{
}

CShredAllOperation::~CShredAllOperation()
{
    delete m_manager.exchange(nullptr);
}

void CShredAllOperation::ShowProgress()
{
    if (ShredManager* manager = m_manager.load())
        manager->GetProgress()->BringToFront();
}

void CShredAllOperation::WriteEndSessionLine(int value)
{
    // Recorded first, so that a manager made from now on sees it even when it
    // is not there yet below.
    m_endSession.store(1);
    if (ShredManager* manager = m_manager.load()) {
        manager->SetShutdownPending();
        return;
    }
    std::wstring logPath;
    if (!Eraser::ShredLogPath(InstallFolderOrDefault(), logPath))
        return;
    char line[64] = {};
    wsprintfA(line, "\r\n ENDSESSION - 0x%x \r\n", static_cast<unsigned>(value));
    WriteNewLog(logPath, line);
}

BOOL CShredAllOperation::InitInstance()
{
    auto owned = std::make_unique<ShredManager>(
        std::make_unique<ProgressReporter>(OpenProgressWindow()), m_ui);
    ShredManager* manager = owned.get();
    m_manager.store(owned.release());
    manager->Init();
    if (m_endSession.load())
        manager->SetShutdownPending();

    ProgressReporter* progress = manager->GetProgress();
    progress->SetTexts(LoadLogText(IDS_SHRED_IN_PROGRESS), LoadLogText(IDS_STOP_SHRED));
    // A shred at shutdown shows itself at once; any other waits until the
    // user asks for it.
    if (NotifyWindow())
        progress->BringToFront();

    if (m_unattended)
        manager->RunUnattended();
    else
        manager->RunInteractive();
    return FALSE;
}

int CShredAllOperation::ExitInstance()
{
    const HWND notify = m_slot.Finish(this);
    if (m_doneEvent)
        ::SetEvent(m_doneEvent);
    delete m_manager.exchange(nullptr);
    if (notify)
        ::PostMessageW(notify, WM_QUERYENDSESSION, 0, 0);
    return fw::CWorkerThread::ExitInstance();
}
