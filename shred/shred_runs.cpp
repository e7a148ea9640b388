// The shred runs: one named item, and the list runs with their questions,
// warnings, balloons and post-shred actions.
#include "engine/erase_methods.h"
#include "engine/eraser.h"
#include "engine/run_state.h"
#include "engine/table_text.h"
#include "engine/traces/browser.h"
#include "framework/module.h"
#include "ipc/tray_notify_client.h"
#include "resources/engine/text_ids.h"
#include "shred/shred_manager.h"
#include "win32/string_table.h"

#include <shlobj.h>

namespace {

std::wstring TableText(UINT id)
{
    return win32::LoadTableString(fw::ResourceInstance(), id);
}

// Clears the busy state on every way out of a run.
class BusyScope {
public:
    explicit BusyScope(std::atomic<bool>& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::atomic<bool>& m_busy;
};

void ResetRunCounters()
{
    BytesDone = 0;
    LastPercent = 0;
}

}  // namespace

Eraser* ShredManager::CreateEraser()
{
    m_eraser.reset();
    m_eraserInUse = nullptr;
    m_eraser = MakeEraser(m_settings.GetEraseMethod());
    if (m_eraser)
        m_eraser->SetProgress(m_progress.get());
    return m_eraser.get();
}

bool ShredManager::EraseWithEraserInUse(IDAsset* asset)
{
    if (!m_eraserInUse)
        return false;
    m_eraserInUse->Erase(asset);
    return true;
}

void ShredManager::SendBalloon(UINT titleId, const wchar_t* fixedText, UINT textId, int id)
{
    const std::wstring title = TableText(titleId);
    const std::wstring text = fixedText ? std::wstring(fixedText) : TableText(textId);
    m_ui->Balloon(title, text, id);
}

void ShredManager::SkipAsset(Eraser* eraser, IDAsset* asset)
{
    if (!eraser || !asset)
        return;
    BytesDone += eraser->SumAssetSize(asset, true);
    const uint64_t total = eraser->GetByteCount();
    if (total == 0)
        return;
    const int64_t percent64 =
        static_cast<int64_t>(BytesDone.load()) * 100 / static_cast<int64_t>(total);
    const int32_t percent = static_cast<int32_t>(percent64);
    if (percent != LastPercent.load()) {
        if (m_progress)
            m_progress->SetPercent(percent);
        LastPercent = percent;
    }
    if (percent == 100)
        ResetRunCounters();
}

RunResult ShredManager::ShredOne(IDAsset* asset)
{
    if (m_busy)
        return kRunBusy;
    BusyScope busy(m_busy);
    if (!asset)
        return kRunRefused;
    const std::wstring path = asset->GetPath();
    if (IsExcluded(path))
        return kRunRefused;
    if (IsProtected(path)) {
        m_ui->Warn(FormatTableText(IDS_SYSTEM_PATH_WARNING, path));
        return kRunRefused;
    }
    // Asked for every item that gets this far, whatever its confirm flag.
    if (!m_ui->Ask(FormatTableText(IDS_CONFIRM_SHRED, path)))
        return kRunRefused;
    if (!CreateEraser())
        return kRunRefused;

    m_eraser->OpenLog(LogPath());
    m_eraserInUse = m_eraser.get();
    if (asset->GetKind() == AssetKind::Folder) {
        MarkProtectedAndExcludedBelow(*static_cast<DocFolder*>(asset));
    } else if (asset->GetKind() == AssetKind::FileList) {
        MarkProtectedAndExcluded(static_cast<DocFileList*>(asset)->GetItems());
    }
    EraseWithEraserInUse(asset);
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
    m_eraser->CloseLog();
    return kRunDone;
}

RunResult ShredManager::ShredAll(int32_t listType)
{
    return RunList(listType, true);
}

RunResult ShredManager::ShredAssets(int32_t listType)
{
    return RunList(listType, false);
}

void ShredManager::LogLeftOut()
{
    for (const auto& entry : m_leftOutEntries)
        m_eraser->LogTextLine(IDS_LOG_NOT_FULL_PATH, {entry});
    for (const auto& trace : m_refusedTraces)
        m_eraser->LogTextLine(IDS_LOG_TRACE_REFUSED, {trace.name, trace.folder});
}

RunResult ShredManager::RunList(int32_t listType, bool interactive)
{
    if (m_busy)
        return kRunBusy;
    BusyScope busy(m_busy);

    m_list.Clear();
    m_list.Build(listType, *this);
    if (m_assets.empty()) {
        // What was left out is still told, even when nothing is left to shred.
        if ((!m_leftOutEntries.empty() || !m_refusedTraces.empty()) && CreateEraser()) {
            m_eraser->OpenLog(LogPath());
            LogLeftOut();
            m_eraser->CloseLog();
        }
        if (interactive)
            m_ui->Warn(TableText(IDS_NOTHING_SELECTED));
        else
            SendBalloon(IDS_NO_VALID_FILES, L" ", 0, kBalloonShredEnds);
        return kRunRefused;
    }
    if (!CreateEraser()) {
        ClearAssets();
        m_list.Clear();
        return kRunRefused;
    }

    if (interactive)
        SendBalloon(IDS_BALLOON_SHRED_IN_PROGRESS, nullptr, IDS_BALLOON_SHRED_CLICK,
                    kBalloonShredAllStarts);
    else
        SendBalloon(IDS_BALLOON_SHRED_IN_PROGRESS, L" ", 0, kBalloonShredStartsOrStopped);

    m_eraser->OpenLog(LogPath());
    LogLeftOut();
    m_eraser->SetByteCount(m_list.SumSizes(m_assets));
    m_eraserInUse = m_eraser.get();

    int32_t flags = 0;
    const std::wstring recycleBin = TableText(IDS_RECYCLE_BIN);
    const std::wstring ieHistory = TableText(IDS_IE_HISTORY);
    const std::wstring ieTempFiles = TableText(IDS_IE_TEMP_FILES);
    const std::wstring ieAutoComplete = TableText(IDS_IE_AUTOCOMPLETE);

    for (auto& entry : m_assets) {
        m_stopped = m_progress && m_progress->IsCancelled();
        if (m_stopped) {
            ResetRunCounters();
            break;
        }
        if (m_shutdownPending) {
            m_eraser->WriteLogLine(TableText(IDS_LOG_SHUTDOWN_TERMINATED));
            ResetRunCounters();
            break;
        }
        IDAsset* asset = entry.get();
        if (!asset)
            continue;
        if (asset->IsExcluded()) {
            SkipAsset(m_eraser.get(), asset);
            continue;
        }
        if (asset->IsBlocked()) {
            if (interactive)
                m_ui->Warn(FormatTableText(IDS_SYSTEM_PATH_WARNING, asset->GetPath()));
            SkipAsset(m_eraser.get(), asset);
            continue;
        }
        if (interactive && asset->GetConfirm()) {
            std::wstring what = asset->GetName();
            if (what.empty())
                what = asset->GetPath();
            if (what.empty())
                what = TableText(IDS_THIS_ASSET);
            if (!m_ui->Ask(FormatTableText(IDS_CONFIRM_SHRED, what))) {
                SkipAsset(m_eraser.get(), asset);
                continue;
            }
        }
        const std::wstring name = asset->GetName();
        if (!name.empty()) {
            if (name == ieHistory)
                flags |= kPostIEHistory;
            else if (name == recycleBin)
                flags |= kPostRecycleBin;
            else if (name == ieTempFiles)
                flags |= kPostIETempFiles;
            else if (name == ieAutoComplete)
                flags |= kPostIEAutoComplete;
        }
        EraseWithEraserInUse(asset);
    }

    if (!m_stopped) {
        const int32_t remaining = RunPostShredActions(flags);
        m_eraser->DeleteUrlCacheEntries(flags);
        if (remaining & kPostIEAutoComplete)
            m_eraser->LogError(TableText(IDS_LOG_AUTOCOMPLETE_FAILED), 0, true);
    }

    m_eraser->CloseLog();
    ResetRunCounters();
    ClearAssets();
    m_list.Clear();

    if (m_stopped)
        SendBalloon(IDS_SHRED_ABORTED, nullptr, IDS_SHRED_STOPPED_BY_USER,
                    kBalloonShredStartsOrStopped);
    else if (AnyAssetShredded.load())
        SendBalloon(IDS_SHRED_COMPLETE, L"  ", 0, kBalloonShredEnds);
    else
        SendBalloon(IDS_NO_VALID_FILES, L"  ", 0, kBalloonShredEnds);
    AnyAssetShredded = false;

    ::SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
    return kRunDone;
}

HRESULT ShredManager::InstallIEExtension()
{
    return InternetExp().InstallExtension();
}

HRESULT ShredManager::RemoveIEExtension()
{
    return InternetExp().RemoveExtension();
}

HRESULT ShredManager::InstallFirefoxExtension()
{
    return FireFox().InstallExtension();
}

HRESULT ShredManager::RemoveFirefoxExtension()
{
    return FireFox().RemoveExtension();
}
