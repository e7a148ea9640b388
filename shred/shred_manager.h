// The shred manager: every shred of the shredding program runs through one.
// An operation thread makes a manager for one request with the progress
// reporter and the IShredUi of its program, loads the user's settings into it
// (Init) and calls one of its runs. A run makes the profile's erase method and
// hands it the manager's progress reporter, opens the user's shred log,
// builds and marks the list of assets, hands them to the erase method while
// the reporter shows the percentage, runs the post-shred actions and
// announces start and end as tray balloons.
//
// Results of the runs: 1 went through, 0 the manager was busy, -1 refused or
// not started.
#pragma once

#include "engine/asset.h"
#include "engine/progress_reporter.h"
#include "settings/settings_store.h"
#include "shred/shred_ui.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Eraser;
class ShredManager;

// A trace left out of a list because a folder of its own is not one it may
// empty: its display name and that folder.
struct RefusedTrace {
    std::wstring name;
    std::wstring folder;
};

// What a list run collects.
enum ShredListType : int32_t {
    kListNothing = 1,
    kListInternetExplorer = 3,
    kListFirefox = 4,
    kListEverything = 6,
};

// Post-shred actions a list run collects from the display names of the
// assets it erased; each completed action clears its bit.
enum PostShredFlags : int32_t {
    kPostRecycleBin = 1,
    kPostIEHistory = 2,
    kPostIETempFiles = 4,
    kPostIEAutoComplete = 8,
};

// What a shred run gives back: callers keep the numbers (a run's thread
// returns them as its exit code).
enum RunResult : int32_t {
    kRunRefused = -1,  // nothing to shred, or the user said no
    kRunBusy = 0,      // another run of this manager is going on
    kRunDone = 1,
};

// Set once the history clean-up program was started by a post-shred action;
// read by the program's window thread.
extern std::atomic<bool> HistoryCleanupStarted;

// The platform calls behind the post-shred actions. The product uses the real
// ones; tests install their own to see what is asked (Wine only stubs the
// history store's ClearHistory and Protected Storage).
class ShredPlatform {
public:
    virtual ~ShredPlatform() = default;
    // Internet Explorer's version ("IE" under "Version Vector"); false when it
    // cannot be read.
    virtual bool ReadIEVersion(std::wstring& version);
    // IUrlHistoryStg2::ClearHistory; false when the store cannot be created.
    virtual bool ClearUrlHistory();
    // Starts "<install folder>\OVSCCleanup.exe" hidden.
    virtual void StartHistoryCleanup(const std::wstring& program);
    // SHEmptyRecycleBinW for all drives, silently.
    virtual void EmptyRecycleBin();
    // Deletes Internet Explorer's auto-complete items from Protected Storage;
    // true when the last deletion succeeded.
    virtual bool ClearProtectedStorage();
};

// The platform the managers of this process use; null restores the real one.
void SetShredPlatform(ShredPlatform* platform);
ShredPlatform& CurrentShredPlatform();

// The view of a run's asset list and its total weight.
class ShredList {
public:
    void Clear();
    // Builds the manager's list for `listType` and points at it; another list
    // type leaves the list unchanged.
    ShredList& Build(int32_t listType, ShredManager& manager);
    // The total weight of `list` (files by size, every container 1000); the
    // lists are left as they are.
    uint64_t SumSizes(const AssetList& list);
    uint64_t TotalWeight() const { return m_totalWeight; }
    AssetList* Assets() const { return m_assets; }

private:
    AssetList* m_assets = nullptr;
    uint64_t m_totalWeight = 0;
};

class ShredManager {
public:
    // The runs ask, warn and announce through `ui`, which outlives the
    // manager; `progress` is what the run's erase method reports to.
    ShredManager(std::unique_ptr<ProgressReporter> progress, IShredUi& ui);
    virtual ~ShredManager();
    ShredManager(const ShredManager&) = delete;
    ShredManager& operator=(const ShredManager&) = delete;

    // Progress to 0, the user's settings, the log folder, stopped cleared.
    void Init();

    ProgressReporter* GetProgress() const { return m_progress.get(); }
    SettingsStore& Settings() { return m_settings; }
    const std::wstring& LogFolder() const { return m_logFolder; }
    // "<log folder>\<user>_ShredderLog.txt"; empty (no log) when that
    // cannot be had whole.
    std::wstring LogPath() const;
    bool IsBusy() const { return m_busy; }
    bool IsStopped() const { return m_stopped; }

    // From the window thread: the log-on is ending; the list run stops before
    // its next asset.
    void SetShutdownPending() { m_shutdownPending = true; }

    // One file or folder the user named: protection test, confirmation, log,
    // erase. No balloon, no post-shred action.
    RunResult ShredOne(IDAsset* asset);
    // The interactive list run (warnings and confirmations).
    RunResult ShredAll(int32_t listType);
    // The unattended list run (no dialog at all).
    RunResult ShredAssets(int32_t listType);
    RunResult RunInteractive() { return ShredAll(kListEverything); }
    RunResult RunUnattended() { return ShredAssets(kListEverything); }

    // Counts an asset as done without shredding it.
    void SkipAsset(Eraser* eraser, IDAsset* asset);

    HRESULT InstallIEExtension();
    HRESULT RemoveIEExtension();
    HRESULT InstallFirefoxExtension();
    HRESULT RemoveFirefoxExtension();

    // The run's erase method for the profile's "EraseMethod" (replacing the
    // previous one), reporting to this manager's progress reporter; or null.
    Eraser* CreateEraser();
    Eraser* GetEraser() const { return m_eraser.get(); }

    // The list builder.
    AssetList& GetAssetList() { return m_assets; }
    // The user's entries the last build left out because they name no full
    // path (and are no pattern): the run logs them.
    const std::vector<std::wstring>& LeftOutEntries() const { return m_leftOutEntries; }
    void ClearAssets();
    void BuildShredList(int32_t listType);
    void MarkProtectedAndExcluded(AssetList& list);
    // The same over the items listed in `folder` (not the folder itself).
    void MarkProtectedAndExcludedBelow(DocFolder& folder);
    // True when `path` is, or lies below, a place the exclude list names
    // (however either is spelled), has the extension of a pattern entry, or
    // is spelled exactly like an entry.
    bool IsExcluded(const std::wstring& path) const;
    bool IsProtected(const std::wstring& path);
    int32_t RunPostShredActions(int32_t flags);
    void RunDiskBleach();  // the bleach service's free-space wipe (disk_bleach.cpp)

private:
    RunResult RunList(int32_t listType, bool interactive);
    // Logs the entries and traces the list build left out (the log is open).
    void LogLeftOut();
    void SendBalloon(UINT titleId, const wchar_t* fixedText, UINT textId, int id);
    bool EraseWithEraserInUse(IDAsset* asset);

    IShredUi* m_ui;
    SettingsStore m_settings;
    std::unique_ptr<Eraser> m_eraser;
    AssetList m_assets;
    std::vector<std::wstring> m_leftOutEntries;
    // The traces the last build left out because a folder of theirs is not
    // one a trace may empty: the run logs them.
    std::vector<RefusedTrace> m_refusedTraces;
    ShredList m_list;
    Eraser* m_eraserInUse = nullptr;
    std::wstring m_logFolder;
    std::unique_ptr<ProgressReporter> m_progress;
    // Read from other threads (the window, the service) while a run goes.
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_shutdownPending{false};
};
