// The base of the erase methods. One Eraser serves one shred run: it owns the
// run's shred log and total weight, walks each asset it is handed, and has
// the overwrite writer destroy files, folders and registry entries.
//
// Nothing here throws or returns an error to the run: every failure becomes
// one log line and the asset's status, and the run goes on.
#pragma once

#include "engine/asset.h"
#include "engine/file_calls.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

class ProgressReporter;

class Eraser {
public:
    // Reads the machine's "EnableSuccessLogging" switch.
    Eraser();
    virtual ~Eraser();
    Eraser(const Eraser&) = delete;
    Eraser& operator=(const Eraser&) = delete;

    virtual int32_t GetMethodId() const;
    // Destroys one asset of the run; the base does nothing.
    virtual void Erase(IDAsset* asset);
    // Total weight of the run: the denominator of the progress percentage.
    virtual void SetByteCount(uint64_t total);
    virtual uint64_t GetByteCount() const;
    virtual void CloseLog();
    // Creates (or empties) the log and writes its banner. Without a log the
    // run goes on and writes no lines.
    virtual bool OpenLog(const std::wstring& path);
    // The shred log of the calling thread's user in `folder`:
    // "<folder>\<user>_ShredderLog.txt". False when the user name cannot be
    // read (a log of no one would be shared by everyone) or the path does
    // not fit MAX_PATH.
    static bool ShredLogPath(const std::wstring& folder, std::wstring& path);

    // Walks one asset by kind with `passes` overwrite passes per file.
    void ShredAsset(IDAsset* asset, int32_t passes);
    // Weight of an asset and everything under it. The children are taken off
    // their lists (and freed) as they are counted: only for assets that are
    // skipped, never shredded afterwards. `restart` is kept for callers; every
    // call sums afresh.
    uint64_t SumAssetSize(IDAsset* asset, bool restart);

    // The overwrite writer.
    bool ShredFile(DocFile* file, int32_t passes);
    // Overwrites, truncates, renames and deletes the file at `path`; `path`
    // ends up naming where the file is (its last name when it is gone).
    bool OverwriteFile(std::wstring& path, DWORD sizeHigh, DWORD sizeLow);
    // Writes `length` bytes at the current position once per pass and
    // pattern (0x00, 0xFF, random); leaves the position `length` further on.
    bool OverwriteContents(HANDLE file, uint64_t length);
    // Gives the item at `path` pass-count new names; `path` follows it and
    // `startPath` receives where it started.
    void RenameBeforeDelete(std::wstring& path, std::wstring& startPath);
    bool DeleteFolder(DocFolder* folder, int32_t passes);
    // True when at least one key or value was deleted.
    bool DeleteRegistryEntry(RegistryEntry* entry);
    // Empties the URL cache when `flags` holds 4; returns the flags with 4
    // cleared once the cache was walked.
    int32_t DeleteUrlCacheEntries(int32_t flags);

    // The shred log. Texts are written as they stand ("%" is not special).
    void WriteLogLine(const std::wstring& text);
    void LogError(const std::wstring& text, DWORD errorCode, bool withSystemText);

    int32_t GetPassCount() const { return m_passCount; }
    bool IsSuccessLoggingOn() const { return m_successLogging; }
    bool IsLogOpen() const { return static_cast<bool>(m_log); }

    // The calls the writer changes the disk with; not owned. Null restores
    // the real ones.
    void SetFileCalls(FileCalls* calls);

    // A string-table line formatted with `args` ("%s", "%d" in order),
    // optionally followed by the system's text for `errorCode`.
    void LogTextLine(UINT id, std::initializer_list<std::wstring> args, DWORD errorCode = 0,
                     bool withSystemText = false);

    // The calls the writer changes the disk with.
    FileCalls& Calls() const { return *m_calls; }

    // The run's progress reporter (its stop flag and percentage), handed over
    // by whoever runs the eraser; not owned. Without one the eraser shreds
    // nothing and logs so.
    void SetProgress(ProgressReporter* progress) { m_progress = progress; }
    ProgressReporter* Progress() const { return m_progress; }

protected:
    // Logs and counts an excluded, blocked or in-use asset, or one whose
    // listed name is unusable; true when the asset was skipped.
    bool SkipMarkedAsset(IDAsset* asset, UINT excludedTextId);
    // Hands the run's percentage to the reporter when it changed.
    void StepProgress(ProgressReporter* reporter, uint64_t total, int32_t& currentPercent);
    // `kind` 1 to 4 go to ShredAsset; others are ignored.
    void EraseWithPasses(IDAsset* asset, int32_t passes);

    // A string-table text with the path appended directly behind it.
    void LogTextAndPath(UINT id, const std::wstring& path);

    // True when the full path `fullPath` (found with `foundAttributes`) is a
    // link, or reaches its item through a link in any component.
    bool IsLinkPath(const std::wstring& fullPath, DWORD foundAttributes) const;
    // Removes a link without touching what it points at; logs the outcome.
    // A link the system will not hand out as itself, or one that lies behind
    // another link, is left in place with the "error deleting" line.
    bool RemoveLinkOnly(const std::wstring& fullPath, bool isFolder);

    int32_t m_passCount = 1;

private:
    enum class ShredOutcome { Destroyed, NotDestroyed, NotFound };
    // Why an open for the shred was refused.
    enum class Refusal { ReadOnlyReset, Link, Other };

    void WriteText(const std::wstring& text);
    // The whole shred of the plain file at the full path `path` through one
    // handle, which must reach exactly that path: overwrite the length the
    // handle reports, or `knownSize` bytes when that is more (null: a
    // missing file is "not found"), cut, rename, delete. `path` ends up naming where the
    // file is.
    ShredOutcome ShredFullPath(std::wstring& path, const uint64_t* knownSize);
    HANDLE OpenForShred(const std::wstring& extendedPath);
    // After an open was denied: resets the read-only attribute of the file
    // `path` names (its attributes before in `attributesBefore`), or tells
    // that the path is a link (`isFolder` for a folder link) or something
    // else that stays refused.
    Refusal ResetReadOnly(const std::wstring& path, const std::wstring& extendedPath,
                          bool& isFolder, DWORD& attributesBefore);
    // Renames the open file pass-count times and marks it for deletion; on
    // failure logs, gives it its starting name back and returns false.
    // `path` follows the file, `startPath` receives where it started.
    bool RenameAndDelete(HANDLE file, std::wstring& path, std::wstring& startPath);
    // The open file has other names: removes only `path`'s name, leaves the
    // contents and gives back the shared attributes it had before the shred
    // (`attributesBefore`). Closes `file`.
    ShredOutcome RemoveOneName(win32::UniqueFile& file, std::wstring& path, DWORD attributesBefore);
    // RenameBeforeDelete's names, each given by `rename`(from, to) (full
    // paths); stops at the first that fails.
    void RenamePasses(std::wstring& path, std::wstring& startPath,
                      const std::function<bool(const std::wstring&, const std::wstring&)>& rename);
    void ShredChildren(AssetList& children, int32_t passes);

    win32::UniqueFile m_log;
    uint64_t m_totalWeight = 0;
    int32_t m_currentPercent = 0;
    bool m_successLogging = false;
    FileCalls* m_calls;
    ProgressReporter* m_progress = nullptr;
};

// The string-table text `id` of the running program, or empty.
std::wstring LoadLogText(UINT id);
// Fills "%s" and "%d" in `format` with `args` in order ("%%" is "%"). Only the
// format is interpreted, never an argument.
std::wstring FormatLogText(const std::wstring& format, std::initializer_list<std::wstring> args);
// `text` (a path or name, often from outside) with every control character
// shown as "?", a character no path holds: it can then neither break a log
// line nor start a line of its own.
std::wstring LogSafeText(const std::wstring& text);
