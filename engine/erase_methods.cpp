#include "engine/erase_methods.h"

#include "engine/free_space_wipe.h"
#include "engine/progress_reporter.h"
#include "engine/run_state.h"
#include "resources/engine/text_ids.h"
#include "win32/path.h"
#include "win32/unique_handle.h"

#include <shellapi.h>

namespace {

// Silent, no confirmation, allow undo, no error interface.
constexpr FILEOP_FLAGS kRecycleFlags =
    FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI;
static_assert(kRecycleFlags == 0x454);

bool IsMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The shell takes plain paths, which Win32 reads its own way (a last
// component "com1.txt" is the serial port, trailing dots go): only a path
// that reads back as itself may be handed to it.
bool ShellReadsAsItself(const std::wstring& fullPath)
{
    wchar_t read[MAX_PATH];
    const DWORD cch = ::GetFullPathNameW(fullPath.c_str(), ARRAYSIZE(read), read, nullptr);
    return cch > 0 && cch < ARRAYSIZE(read) && fullPath == std::wstring(read, cch);
}

// Only a listing that worked and found nothing but "." and ".." makes a
// folder empty; a folder that cannot be listed may hold anything.
bool ListsAsEmpty(const std::wstring& folder)
{
    const std::wstring search = win32::JoinPath(folder, L"*.*");
    WIN32_FIND_DATAW found;
    win32::UniqueFind find(::FindFirstFileW(win32::ExtendedPath(search).c_str(), &found));
    if (!find)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            return false;
    } while (::FindNextFileW(find.get(), &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

SimpleDelete::~SimpleDelete() = default;

void SimpleDelete::Erase(IDAsset* asset)
{
    if (!asset)
        return;
    const AssetKind kind = asset->GetKind();
    if (kind != AssetKind::File && kind != AssetKind::Folder && kind != AssetKind::RegistryEntry &&
        kind != AssetKind::FileList)
        return;
    ProgressReporter* reporter = Progress();
    if (!reporter)
        return;
    if (reporter->IsCancelled()) {
        BytesDone = 0;
        LastPercent = 0;
        return;
    }
    if (SkipMarkedAsset(asset, IDS_LOG_EXCLUDED_DELETE))
        return;

    AssetList* children = nullptr;
    if (auto* file = dynamic_cast<DocFile*>(asset)) {
        if (RecycleFile(file))
            AnyAssetShredded = true;
        BytesDone += file->GetSize();
    } else if (auto* folder = dynamic_cast<DocFolder*>(asset)) {
        children = &folder->GetChildren();
        while (!children->empty()) {
            Erase(children->front().get());
            children->pop_front();
        }
        BytesDone += kContainerWeight;
        if (folder->GetRemoveSelf() && RecycleFolder(folder))
            AnyAssetShredded = true;
    } else if (auto* entry = dynamic_cast<RegistryEntry*>(asset)) {
        if (DeleteRegistryEntry(entry))
            AnyAssetShredded = true;
        BytesDone += kContainerWeight;
    } else if (auto* list = dynamic_cast<DocFileList*>(asset)) {
        children = &list->GetItems();
        while (!children->empty()) {
            Erase(children->front().get());
            children->pop_front();
        }
        BytesDone += kContainerWeight;
    }
    StepProgress(reporter, m_ownTotalWeight, m_ownCurrentPercent);
}

int SimpleDelete::SendToRecycleBin(const std::wstring& path)
{
    // A list of paths ending with an empty one.
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = kRecycleFlags;
    return ::SHFileOperationW(&operation);
}

bool SimpleDelete::RecycleFile(DocFile* file)
{
    std::wstring path;
    if (!win32::FullPathOf(file->GetPath(), path)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {file->GetPath()}, ERROR_INVALID_NAME, true);
        file->SetStatus(kAssetNotDestroyed);
        return false;
    }
    if (!win32::FitsMaxPath(path)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {path}, ERROR_FILENAME_EXCED_RANGE, true);
        file->SetStatus(kAssetNotDestroyed);
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(win32::ExtendedPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && IsMissing(::GetLastError())) {
        LogTextLine(IDS_LOG_NOT_FOUND, {path}, ::GetLastError(), true);
        file->SetStatus(kAssetNotFound);
        return false;
    }
    if (!file->IsWildcard()) {
        if (IsLinkPath(path, attributes)) {
            const bool removed = RemoveLinkOnly(path, false);
            file->SetStatus(removed ? kAssetDestroyed : kAssetNotDestroyed);
            return removed;
        }
        if (!ShellReadsAsItself(path)) {
            LogTextLine(IDS_LOG_DELETE_FAILED, {path}, ERROR_NOT_SUPPORTED, true);
            file->SetStatus(kAssetNotDestroyed);
            return false;
        }
    }
    Calls().SetAttributes(win32::ExtendedPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    const int result = SendToRecycleBin(path);
    if (result != 0) {
        LogTextLine(IDS_LOG_DELETE_FAILED, {path}, static_cast<DWORD>(result), true);
        file->SetStatus(kAssetNotDestroyed);
        return false;
    }
    if (IsSuccessLoggingOn())
        LogTextLine(IDS_LOG_FILE_SHREDDED, {path});
    file->SetStatus(kAssetDestroyed);
    return true;
}

bool SimpleDelete::RecycleFolder(DocFolder* folder)
{
    std::wstring path;
    if (!win32::FullPathOf(folder->GetPath(), path)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {folder->GetPath()}, ERROR_INVALID_NAME, true);
        folder->SetStatus(kAssetFolderNotRemoved);
        return false;
    }
    if (!win32::FitsMaxPath(path)) {
        LogTextLine(IDS_LOG_OPEN_FAILED, {path}, ERROR_FILENAME_EXCED_RANGE, true);
        folder->SetStatus(kAssetFolderNotRemoved);
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(win32::ExtendedPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && IsMissing(::GetLastError())) {
        LogTextLine(IDS_LOG_NOT_FOUND, {path}, ::GetLastError(), true);
        folder->SetStatus(kAssetNotFound);
        return false;
    }
    if (IsLinkPath(path, attributes)) {
        const bool removed = RemoveLinkOnly(path, true);
        folder->SetStatus(removed ? kAssetDestroyed : kAssetFolderNotRemoved);
        return removed;
    }
    if (!ShellReadsAsItself(path)) {
        LogTextLine(IDS_LOG_DELETE_FAILED, {path}, ERROR_NOT_SUPPORTED, true);
        folder->SetStatus(kAssetFolderNotRemoved);
        return false;
    }
    // Checked just before the shell sees it: the shell would delete a folder
    // with everything in it.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !ListsAsEmpty(path)) {
        LogTextLine(IDS_LOG_NOT_EMPTY, {path});
        folder->SetStatus(kAssetFolderNotRemoved);
        return false;
    }
    Calls().SetAttributes(win32::ExtendedPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    const int result = SendToRecycleBin(path);
    if (result != 0) {
        LogTextLine(IDS_LOG_DELETE_FAILED, {path}, static_cast<DWORD>(result), true);
        folder->SetStatus(kAssetFolderNotRemoved);
        return false;
    }
    if (IsSuccessLoggingOn())
        LogTextLine(IDS_LOG_FOLDER_SHREDDED, {path});
    folder->SetStatus(kAssetDestroyed);
    return true;
}

bool Bleach::WipeFreeSpace(const std::wstring& drive)
{
    return FreeSpaceWipe(*this).Run(drive);
}

std::unique_ptr<Eraser> MakeEraser(int32_t eraseMethodId)
{
    switch (eraseMethodId) {
    case kEraseSimpleDelete:
        return std::make_unique<SimpleDelete>();
    case kEraseOnePass:
        return std::make_unique<OneX>();
    case kEraseThreePasses:
        return std::make_unique<ThreeX>();
    case kEraseSevenPasses:
        return std::make_unique<SevenX>();
    case kEraseFreeSpace:
        return std::make_unique<Bleach>();
    default:
        return nullptr;
    }
}
