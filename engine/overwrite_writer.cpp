// The overwrite writer: destroys one file (overwrite in place, truncate,
// rename, delete) or one folder (rename, remove). Links are removed as links;
// what they point at is never opened for writing, renamed or deleted.
#include "engine/eraser.h"
#include "resources/engine/text_ids.h"
#include "win32/debug_output.h"
#include "win32/path.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr DWORD kPatternSize = 65536;
constexpr DWORD kFallbackSize = 1024;
constexpr int kPatternCount = 3;  // 0x00, 0xFF, random
constexpr wchar_t kRenameAlphabet[] = L"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr size_t kRenameAlphabetSize = ARRAYSIZE(kRenameAlphabet) - 1;

// Three 64 KiB blocks made once per process and kept until it ends. The
// random block is drawn once: every chunk and pass of the process writes it.
struct PatternBlocks {
    BYTE* block[kPatternCount] = {};
};

INIT_ONCE g_patternsOnce = INIT_ONCE_STATIC_INIT;
PatternBlocks g_patterns;

BOOL CALLBACK CreatePatternBlocks(PINIT_ONCE, PVOID parameter, PVOID*)
{
    auto* error = static_cast<DWORD*>(parameter);
    PatternBlocks blocks;
    for (BYTE*& block : blocks.block) {
        block = static_cast<BYTE*>(
            ::VirtualAlloc(nullptr, kPatternSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (!block) {
            *error = ::GetLastError();
            for (BYTE* made : blocks.block) {
                if (made)
                    ::VirtualFree(made, 0, MEM_RELEASE);
            }
            // Not marked done: the next caller tries again.
            return FALSE;
        }
    }
    // Fresh committed memory is already zero.
    std::memset(blocks.block[1], 0xFF, kPatternSize);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (DWORD i = 0; i < kPatternSize; ++i)
        blocks.block[2][i] = static_cast<BYTE>(std::rand());
    g_patterns = blocks;
    return TRUE;
}

const PatternBlocks* AcquirePatternBlocks(DWORD& error)
{
    error = ERROR_SUCCESS;
    if (!::InitOnceExecuteOnce(&g_patternsOnce, CreatePatternBlocks, &error, nullptr)) {
        if (error == ERROR_SUCCESS)
            error = ::GetLastError();
        return nullptr;
    }
    return &g_patterns;
}

// The 1 KiB blocks (0x00, 0xFF, random) written only after a write failed
// for want of buffer space: made at the first such failure of a call, so
// that a call that never needs them pays nothing for them.
class FallbackBlocks {
public:
    const BYTE* Get(int pattern)
    {
        if (!m_made) {
            std::srand(static_cast<unsigned>(std::time(nullptr)));
            std::memset(m_block[0], 0x00, kFallbackSize);
            std::memset(m_block[1], 0xFF, kFallbackSize);
            for (BYTE& b : m_block[2])
                b = static_cast<BYTE>(std::rand());
            m_made = true;
        }
        return m_block[pattern];
    }

private:
    bool m_made = false;
    BYTE m_block[kPatternCount][kFallbackSize];
};

// Where the system ignores write-through (Wine), a file's passes wait in the
// page cache until the flush before the cut, and the disk idles while they
// are written. Flushing the chunks already finished on a pool thread, while
// the next ones are written, lets both go on at once; the flush before the
// cut stays, and decides.
class FlushBehind {
public:
    // Every this many bytes written, a flush starts unless one still runs.
    static constexpr uint64_t kStep = 32ull << 20;

    FlushBehind(FileCalls& calls, HANDLE file) : m_calls(calls), m_file(file) {}
    ~FlushBehind() { Finish(); }
    FlushBehind(const FlushBehind&) = delete;
    FlushBehind& operator=(const FlushBehind&) = delete;

    void Written(uint64_t cbDone)
    {
        if (cbDone < m_next)
            return;
        m_next = cbDone + kStep;
        // Made only for a file that reaches the first step: a small file
        // costs nothing here. Without it the flush before the cut does all.
        if (!m_work && !m_failed) {
            m_work = ::CreateThreadpoolWork(&FlushBehind::Run, this, nullptr);
            m_failed = !m_work;
        }
        if (m_work && !m_running.exchange(true))
            ::SubmitThreadpoolWork(m_work);
    }
    // Waits for a flush still running; none starts afterwards.
    void Finish()
    {
        if (!m_work)
            return;
        ::WaitForThreadpoolWorkCallbacks(m_work, FALSE);
        ::CloseThreadpoolWork(m_work);
        m_work = nullptr;
    }

private:
    static void CALLBACK Run(PTP_CALLBACK_INSTANCE, PVOID context, PTP_WORK)
    {
        auto* self = static_cast<FlushBehind*>(context);
        // A failure here changes nothing: the flush before the cut is checked.
        self->m_calls.Flush(self->m_file);
        self->m_running = false;
    }

    FileCalls& m_calls;
    HANDLE m_file;
    PTP_WORK m_work = nullptr;
    bool m_failed = false;
    uint64_t m_next = kStep;
    std::atomic<bool> m_running{false};
};

}  // namespace

HANDLE FileCalls::Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags)
{
    return ::CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

BOOL FileCalls::Seek(HANDLE file, LONGLONG distance, DWORD method, LONGLONG* position)
{
    LARGE_INTEGER move{};
    move.QuadPart = distance;
    LARGE_INTEGER reached{};
    const BOOL ok = ::SetFilePointerEx(file, move, &reached, method);
    if (ok && position)
        *position = reached.QuadPart;
    return ok;
}

BOOL FileCalls::Write(HANDLE file, const void* data, DWORD cbData, DWORD* cbWritten)
{
    return ::WriteFile(file, data, cbData, cbWritten, nullptr);
}

BOOL FileCalls::Flush(HANDLE file)
{
    return ::FlushFileBuffers(file);
}

BOOL FileCalls::Truncate(HANDLE file)
{
    return ::SetEndOfFile(file);
}

BOOL FileCalls::Rename(const wchar_t* from, const wchar_t* to)
{
    return ::MoveFileW(from, to);
}

BOOL FileCalls::Delete(const wchar_t* path)
{
    return ::DeleteFileW(path);
}

BOOL FileCalls::RemoveFolder(const wchar_t* path)
{
    return ::RemoveDirectoryW(path);
}

BOOL FileCalls::SetAttributes(const wchar_t* path, DWORD attributes)
{
    return ::SetFileAttributesW(path, attributes);
}

BOOL FileCalls::RenameOpen(HANDLE file, const wchar_t* to)
{
    // The native form of the target: Wine reads a name without a root
    // against the process's current folder, not the file's.
    std::wstring target = to;
    if (target.rfind(L"\\\\?\\", 0) == 0)
        target.replace(0, 4, L"\\??\\");
    const DWORD cbName = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFO, FileName) + cbName + sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = cbName;
    std::memcpy(info->FileName, target.data(), cbName);
    return ::SetFileInformationByHandle(file, FileRenameInfo, info,
                                        static_cast<DWORD>(buffer.size()));
}

BOOL FileCalls::DeleteOpen(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                        sizeof(disposition));
}

BOOL FileCalls::SetOpenAttributes(HANDLE file, DWORD attributes)
{
    // Zero times are left as they are.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic));
}

FileCalls& FileCalls::Real()
{
    static FileCalls real;
    return real;
}

bool Eraser::IsLinkPath(const std::wstring& fullPath, DWORD foundAttributes) const
{
    if (IsLinkAttributes(foundAttributes))
        return true;
    // Unopenable: the writer's own exclusive open decides.
    return ProbePathReach(fullPath) == PathReach::ThroughLink;
}

bool Eraser::RemoveLinkOnly(const std::wstring& fullPath, bool isFolder)
{
    DWORD error = ERROR_SUCCESS;
    {
        win32::UniqueFile link(::CreateFileW(
            win32::ExtendedPath(fullPath).c_str(), DELETE | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        FILE_ATTRIBUTE_TAG_INFO tag{};
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        if (!link ||
            !::GetFileInformationByHandleEx(link.get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
            error = ::GetLastError();
        } else if (!IsLinkAttributes(tag.FileAttributes) ||
                   !win32::HandleReachesPath(link.get(), fullPath)) {
            // The system handed out what the link points at, or the link
            // itself lies behind another link: deleting through this handle
            // (or by name) would destroy something outside the selection.
            error = ERROR_NOT_SUPPORTED;
        } else if (!::SetFileInformationByHandle(link.get(), FileDispositionInfo, &disposition,
                                                 sizeof(disposition))) {
            error = ::GetLastError();
        }
    }
    if (error != ERROR_SUCCESS) {
        LogTextLine(IDS_LOG_DELETE_FAILED, {fullPath}, error, true);
        return false;
    }
    if (m_successLogging)
        LogTextLine(isFolder ? IDS_LOG_FOLDER_SHREDDED : IDS_LOG_FILE_SHREDDED, {fullPath});
    return true;
}

bool Eraser::ShredFile(DocFile* asset, int32_t passes)
{
    if (!asset)
        return false;
    m_passCount = passes;
    std::wstring path;
    if (!win32::FullPathOf(asset->GetPath(), path)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {asset->GetPath()}, ERROR_INVALID_NAME, true);
        asset->SetStatus(kAssetNotDestroyed);
        return false;
    }
    const ShredOutcome outcome = ShredFullPath(path, nullptr);
    if (outcome == ShredOutcome::NotFound) {
        asset->SetStatus(kAssetNotFound);
        return false;
    }
    asset->ReplacePath(path);
    const bool destroyed = outcome == ShredOutcome::Destroyed;
    asset->SetStatus(destroyed ? kAssetDestroyed : kAssetNotDestroyed);
    return destroyed;
}

bool Eraser::OverwriteFile(std::wstring& path, DWORD sizeHigh, DWORD sizeLow)
{
    std::wstring full;
    if (!win32::FullPathOf(path, full)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {path}, ERROR_INVALID_NAME, true);
        return false;
    }
    path = full;
    const uint64_t size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
    return ShredFullPath(path, &size) == ShredOutcome::Destroyed;
}

HANDLE Eraser::OpenForShred(const std::wstring& extendedPath)
{
    // Everything the shred does goes through this one handle; the last
    // component is not followed, and nobody else may open the file meanwhile.
    return Calls().Open(extendedPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                        OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH | FILE_FLAG_OPEN_REPARSE_POINT);
}

Eraser::Refusal Eraser::ResetReadOnly(const std::wstring& path, const std::wstring& extendedPath,
                                      bool& isFolder, DWORD& attributesBefore)
{
    // Looked at through a handle of its own: the attribute is reset only on
    // the very file the path names, never on what a link leads to.
    win32::UniqueFile item(
        Calls().Open(extendedPath.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!item ||
        !::GetFileInformationByHandleEx(item.get(), FileAttributeTagInfo, &tag, sizeof(tag)))
        return Refusal::Other;
    isFolder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    attributesBefore = tag.FileAttributes;
    if (IsLinkAttributes(tag.FileAttributes) || !win32::HandleReachesPath(item.get(), path))
        return Refusal::Link;
    if (isFolder || !(tag.FileAttributes & FILE_ATTRIBUTE_READONLY) ||
        !Calls().SetOpenAttributes(item.get(), FILE_ATTRIBUTE_NORMAL))
        return Refusal::Other;
    return Refusal::ReadOnlyReset;
}

Eraser::ShredOutcome Eraser::ShredFullPath(std::wstring& path, const uint64_t* knownSize)
{
    if (!win32::FitsMaxPath(path)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {path}, ERROR_FILENAME_EXCED_RANGE, true);
        return ShredOutcome::NotDestroyed;
    }
    const std::wstring extended = win32::ExtendedPath(path);
    // What the file's attributes were before any reset: a file that keeps
    // other names gets them back.
    DWORD attributesBefore = 0;
    win32::UniqueFile file(OpenForShred(extended));
    if (!file) {
        DWORD error = ::GetLastError();
        // A shred of a listed or chosen file (no size given) reports a
        // missing one as not found.
        if (!knownSize && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
            LogTextLine(IDS_LOG_NOT_FOUND, {path}, error, true);
            return ShredOutcome::NotFound;
        }
        // Refused: a read-only file (writable once its attribute is reset),
        // a folder, or a link the system will not open as a file.
        bool isFolder = false;
        const Refusal refusal = error == ERROR_ACCESS_DENIED
                                    ? ResetReadOnly(path, extended, isFolder, attributesBefore)
                                    : Refusal::Other;
        if (refusal == Refusal::Link)
            return RemoveLinkOnly(path, isFolder) ? ShredOutcome::Destroyed
                                                  : ShredOutcome::NotDestroyed;
        if (refusal == Refusal::ReadOnlyReset) {
            file.reset(OpenForShred(extended));
            error = ::GetLastError();
        }
        if (!file) {
            LogTextLine(IDS_LOG_OPEN_FAILED, {path}, error, true);
            return ShredOutcome::NotDestroyed;
        }
    }
    // Only a file on a disk is overwritten: never a device, a pipe or
    // whatever a link led to.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        file.reset();
        LogTextLine(IDS_LOG_DELETE_FAILED, {path}, ERROR_NOT_SUPPORTED, true);
        return ShredOutcome::NotDestroyed;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof(tag)) ||
        IsLinkAttributes(tag.FileAttributes) || !win32::HandleReachesPath(file.get(), path)) {
        file.reset();
        return RemoveLinkOnly(path, false) ? ShredOutcome::Destroyed : ShredOutcome::NotDestroyed;
    }
    if (!attributesBefore)
        attributesBefore = tag.FileAttributes;
    // Read-only, hidden and system go: a read-only file cannot be deleted.
    if (tag.FileAttributes &
        (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        Calls().SetOpenAttributes(file.get(), FILE_ATTRIBUTE_NORMAL);

    // The length now as well as the listed one: whatever the file grew by
    // since it was listed is overwritten too.
    FILE_STANDARD_INFO standard{};
    if (!::GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard,
                                        sizeof(standard))) {
        const DWORD error = ::GetLastError();
        file.reset();
        LogTextLine(IDS_LOG_OPEN_FAILED, {path}, error, true);
        return ShredOutcome::NotDestroyed;
    }
    // Another name of the file (a hard link anywhere on the volume, inside
    // the selection or not) still holds these contents: overwriting or
    // cutting them through this name would destroy what that name keeps.
    // Only this name goes; the attributes the names share come back.
    if (standard.NumberOfLinks > 1)
        return RemoveOneName(file, path, attributesBefore);
    uint64_t size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
    if (knownSize)
        size = std::max(size, *knownSize);
    if (size != 0) {
        // The last byte first, then chunk by chunk with every pass before
        // the next chunk, then cut the file to nothing. Where the system
        // ignores write-through (Wine), the passes wait in a cache that
        // cutting the file would discard unwritten: flush before the cut.
        bool done =
            Calls().Seek(file.get(), static_cast<LONGLONG>(size - 1), FILE_BEGIN, nullptr) &&
            OverwriteContents(file.get(), 1) && Calls().Seek(file.get(), 0, FILE_BEGIN, nullptr);
        FlushBehind behind(Calls(), file.get());
        for (uint64_t offset = 0; done && offset < size - 1; offset += kPatternSize) {
            done =
                OverwriteContents(file.get(), std::min<uint64_t>(kPatternSize, size - 1 - offset));
            behind.Written(offset + kPatternSize);
        }
        behind.Finish();
        done = done && Calls().Flush(file.get()) &&
               Calls().Seek(file.get(), 0, FILE_BEGIN, nullptr) && Calls().Truncate(file.get());
        if (!done) {
            file.reset();
            LogTextLine(IDS_LOG_OVERWRITE_FAILED, {path});
            return ShredOutcome::NotDestroyed;
        }
    }

    std::wstring startPath;
    if (RenameAndDelete(file.get(), path, startPath)) {
        // Gone once its one handle closes.
        file.reset();
        if (m_successLogging)
            LogTextLine(IDS_LOG_FILE_SHREDDED, {path});
        return ShredOutcome::Destroyed;
    }
    return ShredOutcome::NotDestroyed;
}

bool Eraser::RenameAndDelete(HANDLE file, std::wstring& path, std::wstring& startPath)
{
    RenamePasses(path, startPath, [&](const std::wstring&, const std::wstring& to) {
        return Calls().RenameOpen(file, win32::ExtendedPath(to).c_str()) != FALSE;
    });
    if (Calls().DeleteOpen(file))
        return true;
    LogTextLine(IDS_LOG_DELETE_FAILED, {path}, ::GetLastError(), true);
    if (path != startPath) {
        if (Calls().RenameOpen(file, win32::ExtendedPath(startPath).c_str()))
            path = startPath;
        else
            LogTextLine(IDS_LOG_RENAME_BACK_FAILED, {path}, ::GetLastError(), true);
    }
    return false;
}

Eraser::ShredOutcome Eraser::RemoveOneName(win32::UniqueFile& file, std::wstring& path,
                                           DWORD attributesBefore)
{
    std::wstring startPath;
    const bool removed = RenameAndDelete(file.get(), path, startPath);
    constexpr DWORD kShared =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (attributesBefore & kShared) {
        // The attributes belong to the file, not to this name: the names
        // left keep what they had. Set through the handle, which a pending
        // delete still allows.
        const DWORD keep = attributesBefore & (kShared | FILE_ATTRIBUTE_ARCHIVE);
        Calls().SetOpenAttributes(file.get(), keep);
    }
    file.reset();
    if (!removed)
        return ShredOutcome::NotDestroyed;
    LogTextLine(IDS_LOG_OTHER_NAMES_KEPT, {startPath});
    return ShredOutcome::Destroyed;
}

bool Eraser::OverwriteContents(HANDLE file, uint64_t length)
{
    FallbackBlocks fallback;
    DWORD error = ERROR_SUCCESS;
    const PatternBlocks* patterns = AcquirePatternBlocks(error);
    if (!patterns) {
        LogError(LoadLogText(IDS_LOG_ERROR_UNKNOWN), error, true);
        win32::DebugPrint(L"EFContents: ErrCHK1 - %d\n", static_cast<int>(error));
        return false;
    }

    LONGLONG lastPosition = 0;
    bool firstWrite = true;
    for (int32_t pass = 0; pass < m_passCount; ++pass) {
        for (int pattern = 0; pattern < kPatternCount; ++pattern) {
            if (!firstWrite &&
                !Calls().Seek(file, -static_cast<LONGLONG>(length), FILE_CURRENT, &lastPosition)) {
                error = ::GetLastError();
                LogTextLine(IDS_LOG_OVERWRITE_FAILED, {L"MFTTempfile"}, error, true);
                return false;
            }
            firstWrite = false;
            uint64_t remaining = length;
            while (remaining > 0) {
                const DWORD cbPiece =
                    static_cast<DWORD>(std::min<uint64_t>(remaining, kPatternSize));
                DWORD cbWritten = 0;
                if (Calls().Write(file, patterns->block[pattern], cbPiece, &cbWritten)) {
                    if (cbWritten > 0) {
                        remaining -= std::min<uint64_t>(cbWritten, remaining);
                        continue;
                    }
                    // "Success" with nothing written would loop for ever.
                    error = ERROR_WRITE_FAULT;
                } else {
                    error = ::GetLastError();
                }
                if (error == ERROR_INVALID_USER_BUFFER || error == ERROR_NOT_ENOUGH_MEMORY) {
                    win32::DebugPrint(L"EFContents: Using alternate method - ErrCHK - %d\n",
                                      static_cast<int>(error));
                    const BYTE* const block = fallback.Get(pattern);
                    bool pieceWritten = true;
                    for (DWORD i = 0; i < cbPiece / kFallbackSize; ++i) {
                        if (!Calls().Write(file, block, kFallbackSize, &cbWritten) ||
                            cbWritten != kFallbackSize) {
                            win32::DebugPrint(L"EFContents: ErrCHK3 - %d\n",
                                              static_cast<int>(::GetLastError()));
                            pieceWritten = false;
                        }
                    }
                    const DWORD cbRest = cbPiece % kFallbackSize;
                    if (cbRest != 0 &&
                        (!Calls().Write(file, block, cbRest, &cbWritten) || cbWritten != cbRest)) {
                        win32::DebugPrint(L"EFContents: ErrCHK4 - %d - %d\n",
                                          static_cast<int>(::GetLastError()),
                                          static_cast<int>(cbRest));
                        pieceWritten = false;
                    }
                    if (!pieceWritten)
                        return false;
                    remaining -= cbPiece;
                    continue;
                }
                LogTextLine(IDS_LOG_OVERWRITE_FAILED, {L"MFTTempfile"}, error, true);
                win32::DebugPrint(L"EFContents: ErrCHK2 - %d - %d - 0x%x,0x%x - %d\n",
                                  static_cast<int>(error), static_cast<int>(cbPiece),
                                  static_cast<unsigned>(static_cast<uint64_t>(lastPosition) >> 32),
                                  static_cast<unsigned>(lastPosition & 0xFFFFFFFF), pattern);
                return false;
            }
        }
    }
    return true;
}

void Eraser::RenameBeforeDelete(std::wstring& path, std::wstring& startPath)
{
    RenamePasses(path, startPath, [&](const std::wstring& from, const std::wstring& to) {
        return Calls().Rename(win32::ExtendedPath(from).c_str(), win32::ExtendedPath(to).c_str()) !=
               FALSE;
    });
}

void Eraser::RenamePasses(
    std::wstring& path, std::wstring& startPath,
    const std::function<bool(const std::wstring&, const std::wstring&)>& rename)
{
    startPath = path;
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return;
    const std::wstring folder = path.substr(0, slash + 1);
    std::wstring name = path.substr(slash + 1);
    if (name.empty())
        return;
    // Each new name is derived from the one before; length and dots stay.
    for (int32_t pass = 0; pass < m_passCount; ++pass) {
        for (wchar_t& c : name) {
            if (c != L'.')
                c = kRenameAlphabet[static_cast<unsigned>(c) % kRenameAlphabetSize];
        }
        std::wstring renamed = folder + name;
        if (!rename(path, renamed))
            break;
        path = std::move(renamed);
    }
}

bool Eraser::DeleteFolder(DocFolder* folder, int32_t passes)
{
    if (!folder)
        return false;
    m_passCount = passes;
    if (!folder->GetRemoveSelf())
        return false;
    std::wstring startPath;
    if (!win32::FullPathOf(folder->GetPath(), startPath)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {folder->GetPath()}, ERROR_INVALID_NAME, true);
        folder->SetStatus(kAssetFolderNotRemoved);
        return false;
    }
    if (!win32::FitsMaxPath(startPath)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {startPath}, ERROR_FILENAME_EXCED_RANGE, true);
        folder->SetStatus(kAssetFolderNotRemoved);
        return false;
    }
    WIN32_FIND_DATAW found;
    win32::UniqueFind find(::FindFirstFileW(win32::ExtendedPath(startPath).c_str(), &found));
    if (!find) {
        LogTextLine(IDS_LOG_NOT_FOUND, {startPath}, ::GetLastError(), true);
        folder->SetStatus(kAssetNotFound);
        return false;
    }
    WIN32_FIND_DATAW second;
    if (::FindNextFileW(find.get(), &second)) {
        // A pattern, not one folder: nothing of its own to remove.
        folder->SetStatus(kAssetDestroyed);
        return true;
    }
    find.reset();

    if (IsLinkPath(startPath, found.dwFileAttributes)) {
        const bool removed = RemoveLinkOnly(startPath, true);
        folder->SetStatus(removed ? kAssetDestroyed : kAssetFolderNotRemoved);
        return removed;
    }

    std::wstring path = startPath;
    std::wstring renamedFrom;
    RenameBeforeDelete(path, renamedFrom);
    Calls().SetAttributes(win32::ExtendedPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!Calls().RemoveFolder(win32::ExtendedPath(path).c_str())) {
        LogTextLine(IDS_LOG_DELETE_FAILED, {startPath}, ::GetLastError(), true);
        folder->SetStatus(kAssetFolderNotRemoved);
        if (!win32::EqualNoCase(path, startPath) &&
            !Calls().Rename(win32::ExtendedPath(path).c_str(),
                            win32::ExtendedPath(startPath).c_str()))
            LogTextLine(IDS_LOG_RENAME_BACK_FAILED, {path}, ::GetLastError(), true);
        return false;
    }
    if (m_successLogging)
        LogTextLine(IDS_LOG_FOLDER_SHREDDED, {path});
    folder->SetStatus(kAssetDestroyed);
    return true;
}
