// The free-space wipe of the bleach service. Phase I fills the free space
// with one big file in cluster-aligned chunks, phase II fills the last
// cluster byte by byte smaller, phase III fills what is left (small files
// that fit into directory or file-table records); every byte is written
// three times by the overwrite writer. The files are opened delete-on-close,
// so closing them gives the space back. Then the master-file-table pass
// fills the table's free records with small files until it has to grow, and
// deletes them.
#include "win32/debug_output.h"
#include "engine/free_space_wipe.h"

#include "engine/eraser.h"
#include "engine/progress_reporter.h"
#include "resources/engine/text_ids.h"

#include <strsafe.h>
#include <winioctl.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <vector>

namespace {

constexpr DWORD kPhaseOneFlags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN |
                                 FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD kPhaseTwoFlags = FILE_FLAG_WRITE_THROUGH | FILE_FLAG_SEQUENTIAL_SCAN |
                                 FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD kPhaseThreeFlags =
    FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_HIDDEN;
constexpr uint64_t kPhaseOneClusters = 128;
constexpr DWORD kPhaseThreeStartSize = 4096;

constexpr wchar_t kMftFolderPrefix[] = L"~ShredTempMFTEntries";
constexpr size_t kMftNameZeros = 206;
constexpr size_t kMftNameDigits = 8;
constexpr uint32_t kMftFilesPerFolder = 3000;
constexpr uint32_t kMftQueryEvery = 20;
constexpr DWORD kMftBlockSize = 500;

std::atomic<VolumeQuery*> g_volumeQuery{nullptr};

unsigned High(uint64_t value)
{
    return static_cast<unsigned>(value >> 32);
}

unsigned Low(uint64_t value)
{
    return static_cast<unsigned>(value & 0xFFFFFFFF);
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FinalPathOf(HANDLE handle)
{
    const DWORD cchNeeded = ::GetFinalPathNameByHandleW(handle, nullptr, 0, 0);
    if (cchNeeded == 0)
        return {};
    std::wstring path(cchNeeded, L'\0');
    const DWORD cch = ::GetFinalPathNameByHandleW(handle, path.data(), cchNeeded, 0);
    if (cch == 0 || cch >= cchNeeded)
        return {};
    path.resize(cch);
    return path;
}

bool IsPlainItem(HANDLE handle, bool folder, const std::wstring& expectedFinal)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    if (((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder)
        return false;
    const std::wstring finalPath = FinalPathOf(handle);
    return !finalPath.empty() && SamePath(finalPath, expectedFinal);
}

// 206 zeros and eight upper-case hexadecimal digits: a name only the pass
// itself gives.
bool IsMftFileName(const wchar_t* name)
{
    const size_t length = wcslen(name);
    if (length != kMftNameZeros + kMftNameDigits)
        return false;
    for (size_t i = 0; i < kMftNameZeros; ++i) {
        if (name[i] != L'0')
            return false;
    }
    for (size_t i = kMftNameZeros; i < length; ++i) {
        const wchar_t c = name[i];
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')))
            return false;
    }
    return true;
}

std::wstring MftFileName(uint32_t number)
{
    wchar_t digits[kMftNameDigits + 1];
    ::StringCchPrintfW(digits, ARRAYSIZE(digits), L"%08X", number);
    return std::wstring(kMftNameZeros, L'0') + digits;
}

std::wstring MftFolderName(uint32_t number)
{
    wchar_t digits[16];
    ::StringCchPrintfW(digits, ARRAYSIZE(digits), L"%04X", number);
    return std::wstring(kMftFolderPrefix) + digits;
}

// Deletes the pass's own files in `folder` (final path `folderFinal`);
// anything else in it stays, and so does the folder then.
void DeleteMftFiles(const std::wstring& folder, const std::wstring& folderFinal)
{
    WIN32_FIND_DATAW found{};
    win32::UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !IsMftFileName(found.cFileName))
            continue;
        freespace::DeleteOwnFile(folder + L"\\" + found.cFileName,
                                 folderFinal + L"\\" + found.cFileName);
    } while (::FindNextFileW(find.get(), &found));
}

// Empties and removes an MFT folder left by an earlier run. False (with the
// error) when the name is taken by anything but a plain folder of our own.
bool ClearMftFolder(const std::wstring& folder, const std::wstring& folderFinal, DWORD& error)
{
    if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    if (!freespace::HoldOwnFolder(folder, folderFinal, error))
        return false;
    DeleteMftFiles(folder, folderFinal);
    // What stays in it makes the new creation fail, which ends the pass.
    DWORD ignored = 0;
    freespace::RemoveOwnFolder(folder, folderFinal, ignored);
    return true;
}

}  // namespace

HANDLE VolumeQuery::OpenVolume(const std::wstring& devicePath)
{
    return ::CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_WRITE_THROUGH, nullptr);
}

bool VolumeQuery::ReadMftValidDataLength(HANDLE volume, LONGLONG& length)
{
    NTFS_VOLUME_DATA_BUFFER data{};
    DWORD cbReturned = 0;
    if (!::DeviceIoControl(volume, FSCTL_GET_NTFS_VOLUME_DATA, nullptr, 0, &data, sizeof(data),
                           &cbReturned, nullptr))
        return false;
    length = data.MftValidDataLength.QuadPart;
    return true;
}

VolumeQuery& VolumeQuery::Real()
{
    static VolumeQuery real;
    return real;
}

void SetVolumeQuery(VolumeQuery* query)
{
    g_volumeQuery = query;
}

VolumeQuery& CurrentVolumeQuery()
{
    VolumeQuery* query = g_volumeQuery.load();
    return query ? *query : VolumeQuery::Real();
}

namespace freespace {

bool FinalRootOf(const std::wstring& drive, std::wstring& rootFinal)
{
    win32::UniqueFile root(::CreateFileW(drive.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                         nullptr));
    if (!root)
        return false;
    std::wstring path = FinalPathOf(root.get());
    if (path.empty())
        return false;
    if (path.back() != L'\\')
        path += L'\\';
    rootFinal = path;
    return true;
}

win32::UniqueFile HoldOwnFolder(const std::wstring& path, const std::wstring& expectedFinal,
                                DWORD& error)
{
    win32::UniqueFile folder(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) {
        error = ::GetLastError();
        return {};
    }
    if (!IsPlainItem(folder.get(), true, expectedFinal)) {
        error = kErrorNotOwnItem;
        return {};
    }
    return folder;
}

bool RemoveOwnFolder(const std::wstring& path, const std::wstring& expectedFinal, DWORD& error)
{
    win32::UniqueFile folder(::CreateFileW(
        path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) {
        error = ::GetLastError();
        return false;
    }
    if (!IsPlainItem(folder.get(), true, expectedFinal)) {
        error = kErrorNotOwnItem;
        return false;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(folder.get(), FileDispositionInfo, &disposition,
                                      sizeof(disposition))) {
        error = ::GetLastError();
        return false;
    }
    return true;
}

bool DeleteOwnFile(const std::wstring& path, const std::wstring& expectedFinal)
{
    win32::UniqueFile file(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
    if (!file || !IsPlainItem(file.get(), false, expectedFinal))
        return false;
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                        sizeof(disposition)) != FALSE;
}

}  // namespace freespace

bool Eraser::BleachFreeSpace(const std::wstring& drive)
{
    const std::wstring tempFolder = drive + freespace::kTempFolderName;
    ::CreateDirectoryW(tempFolder.c_str(), nullptr);

    ProgressReporter* reporter = CurrentReporter();
    if (!reporter) {
        LogTextLine(IDS_LOG_NO_SHARED_DATA, {});
        return false;
    }
    if (drive.find(L':') == std::wstring::npos) {
        LogTextLine(IDS_LOG_BLEACH_UNC, {});
        return false;
    }

    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (!::GetDiskFreeSpaceW(drive.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                             &totalClusters)) {
        LogTextLine(IDS_LOG_BLEACH_CLUSTER, {}, ::GetLastError(), true);
        return false;
    }
    win32::DebugPrint(L"BFS: GetDiskFreeSpace - %d - %d - %d - %d \n", static_cast<int>(sectorsPerCluster),
              static_cast<int>(bytesPerSector), static_cast<int>(freeClusters),
              static_cast<int>(totalClusters));
    const uint64_t cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    if (cluster == 0) {
        LogTextLine(IDS_LOG_BLEACH_CLUSTER, {}, ERROR_INVALID_PARAMETER, true);
        return false;
    }

    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER freeTotal{};
    if (!::GetDiskFreeSpaceExW(drive.c_str(), &available, &total, &freeTotal)) {
        LogTextLine(IDS_LOG_BLEACH_FREE_SPACE, {}, ::GetLastError(), true);
        return false;
    }
    win32::DebugPrint(L"BFS: GetDiskFreeSpaceEx - Bytes available : 0x%x - 0x%x\n",
              High(available.QuadPart), Low(available.QuadPart));
    win32::DebugPrint(L"BFS: GetDiskFreeSpaceEx - Num Free bytes  : 0x%x - 0x%x\n",
              High(freeTotal.QuadPart), Low(freeTotal.QuadPart));
    win32::DebugPrint(L"BFS: GetDiskFreeSpaceEx - Num Free space : %ld \n",
              static_cast<long>(freeTotal.QuadPart >> 30));
    win32::DebugPrint(L"BFS: GetDiskFreeSpaceEx - Num Total bytes : 0x%x - 0x%x\n", High(total.QuadPart),
              Low(total.QuadPart));
    if (available.QuadPart != freeTotal.QuadPart) {
        LogTextLine(IDS_LOG_BLEACH_QUOTA, {});
        return false;
    }
    const uint64_t freeBytes = freeTotal.QuadPart;

    // The temp folder must be the plain folder its name says, held so that
    // nobody can swap it for a link while the wipe writes into it.
    std::wstring rootFinal;
    DWORD ownError = freespace::kErrorNotOwnItem;
    win32::UniqueFile heldTemp;
    if (freespace::FinalRootOf(drive, rootFinal))
        heldTemp = freespace::HoldOwnFolder(tempFolder, rootFinal + freespace::kTempFolderName,
                                            ownError);
    if (!heldTemp) {
        LogTextLine(IDS_LOG_BLEACH_CLEANUP_FILE, {}, ownError, true);
        return false;
    }
    const std::wstring tempFinal = rootFinal + freespace::kTempFolderName;

    // Phase I. A file of that name left by an earlier run is removed first
    // (only if it is a plain file of ours), and the new one is created new:
    // an existing name is never opened, so a planted link leads nowhere.
    win32::DebugPrint(L"BleachFreeSpace: Starting PHASE I....\n");
    const std::wstring phaseOnePath = tempFolder + L"\\SHREDTEMP";
    freespace::DeleteOwnFile(phaseOnePath, tempFinal + L"\\SHREDTEMP");
    win32::UniqueFile phaseOne(
        Calls().Open(phaseOnePath.c_str(), GENERIC_WRITE, 0, CREATE_NEW, kPhaseOneFlags));
    if (!phaseOne) {
        LogTextLine(IDS_LOG_BLEACH_CLEANUP_FILE, {}, ::GetLastError(), true);
        return false;
    }
    uint64_t chunk = kPhaseOneClusters * cluster;
    uint64_t written = 0;
    int32_t lastStored = reporter->GetStoredPercent();
    while (chunk > cluster) {
        if (reporter->IsCancelRequested()) {
            LogTextLine(IDS_BLEACH_ABORTED, {});
            return false;
        }
        if (!OverwriteContents(phaseOne.get(), chunk)) {
            chunk -= cluster;
            continue;
        }
        written += chunk;
        // No free bytes to begin with means no percentage, not a division
        // by zero; 100 belongs to the end of the run.
        if (freeBytes != 0) {
            uint64_t percent = written * 100 / freeBytes;
            if (percent >= 100)
                percent = 99;
            if (static_cast<int32_t>(percent) != lastStored) {
                lastStored = static_cast<int32_t>(percent);
                reporter->SetStoredPercent(lastStored);
            }
        }
        win32::DebugPrint(L"BleachFreeSpace: %d , 0x%x=0x%x \n", static_cast<int>(lastStored),
                  High(written), Low(written));
    }
    ::FlushFileBuffers(phaseOne.get());

    // Phase II: the tail, write-through, one byte smaller at each failure.
    win32::DebugPrint(L"BleachFreeSpace: Starting PHASE II....\n");
    const std::wstring phaseTwoPath = phaseOnePath + L"1";
    freespace::DeleteOwnFile(phaseTwoPath, tempFinal + L"\\SHREDTEMP1");
    win32::UniqueFile phaseTwo(
        Calls().Open(phaseTwoPath.c_str(), GENERIC_WRITE, 0, CREATE_NEW, kPhaseTwoFlags));
    if (!phaseTwo) {
        win32::DebugPrint(L"BleachFreeSpace: PHASE II - ErrCHK1 \n");
        LogTextLine(IDS_LOG_ERROR_UNKNOWN, {}, ::GetLastError(), true);
    } else {
        while (chunk != 0) {
            if (reporter->IsCancelRequested()) {
                LogTextLine(IDS_BLEACH_ABORTED, {});
                return false;
            }
            if (!OverwriteContents(phaseTwo.get(), chunk))
                --chunk;
        }
        ::FlushFileBuffers(phaseTwo.get());
    }

    // Phase III: small files until one takes nothing more.
    win32::DebugPrint(L"BleachFreeSpace: Starting PHASE III....\n");
    std::vector<win32::UniqueFile> phaseThree;
    const std::wstring phaseThreeFolder = drive + freespace::kPhaseThreeFolderName;
    if (!::CreateDirectoryW(phaseThreeFolder.c_str(), nullptr)) {
        win32::DebugPrint(L"BleachFreeSpace: PHASE III - ErrCHK2 \n");
        LogTextLine(IDS_LOG_COULD_NOT_CREATE, {phaseThreeFolder}, ::GetLastError(), true);
    } else {
        uint64_t size = kPhaseThreeStartSize;
        for (int number = 0;; ++number) {
            if (reporter->IsCancelRequested()) {
                LogTextLine(IDS_BLEACH_ABORTED, {});
                return false;
            }
            wchar_t name[MAX_PATH];
            if (FAILED(::StringCchPrintfW(name, ARRAYSIZE(name), L"%lsShredderTemp1\\SHREDMFT%06d",
                                          drive.c_str(), number))) {
                LogTextLine(IDS_LOG_COULD_NOT_CREATE, {phaseThreeFolder},
                            ERROR_FILENAME_EXCED_RANGE, true);
                break;
            }
            win32::UniqueFile file(
                Calls().Open(name, GENERIC_WRITE, 0, CREATE_NEW, kPhaseThreeFlags));
            if (!file) {
                win32::DebugPrint(L"BleachFreeSpace: PHASE III - ErrCHK1 \n");
                LogTextLine(IDS_LOG_COULD_NOT_CREATE, {name}, ::GetLastError(), true);
                break;
            }
            bool tookData = false;
            for (uint64_t piece = size; piece != 0;) {
                if (OverwriteContents(file.get(), piece)) {
                    size = piece;
                    tookData = true;
                } else {
                    --piece;
                }
            }
            phaseThree.push_back(std::move(file));
            if (!tookData)
                break;
        }
    }

    // Give it all back: cut each file to nothing and close it, which
    // deletes it.
    reporter->SetStoredPercent(100);
    auto release = [this](win32::UniqueFile& file) {
        if (!file)
            return;
        Calls().Seek(file.get(), 0, FILE_BEGIN, nullptr);
        Calls().Truncate(file.get());
        file.reset();
    };
    release(phaseOne);
    release(phaseTwo);
    for (win32::UniqueFile& file : phaseThree)
        release(file);
    heldTemp.reset();

    LogTextLine(IDS_LOG_BLEACH_DONE, {});
    WipeFreeMftEntries(drive);
    return true;
}

bool Eraser::WipeFreeMftEntries(const std::wstring& drive)
{
    if (drive.empty())
        return false;
    const wchar_t letter = drive[0];
    VolumeQuery& query = CurrentVolumeQuery();
    win32::UniqueFile volume(query.OpenVolume(std::wstring(L"\\\\.\\") + letter + L":"));
    if (!volume) {
        LogTextLine(IDS_LOG_MFT_VOLUME, {}, ::GetLastError(), true);
        return false;
    }
    LONGLONG startLength = 0;
    if (!query.ReadMftValidDataLength(volume.get(), startLength))
        return false;

    BYTE block[kMftBlockSize];
    for (BYTE& b : block)
        b = static_cast<BYTE>(std::rand() & 0xFF);

    // The folders go below the wipe's own temp folder, and only while it is
    // the plain folder its name says.
    const std::wstring root = std::wstring(1, letter) + L":\\";
    const std::wstring tempFolder = root + freespace::kTempFolderName;
    std::wstring rootFinal;
    DWORD error = freespace::kErrorNotOwnItem;
    win32::UniqueFile heldTemp;
    if (freespace::FinalRootOf(root, rootFinal))
        heldTemp =
            freespace::HoldOwnFolder(tempFolder, rootFinal + freespace::kTempFolderName, error);
    if (!heldTemp) {
        LogTextLine(IDS_LOG_MFT_DIRECTORY, {}, error, true);
        return false;
    }
    const std::wstring tempFinal = rootFinal + freespace::kTempFolderName;

    ProgressReporter* reporter = CurrentReporter();
    std::vector<std::wstring> folders;
    std::wstring folder;
    bool writeFailed = false;
    LONGLONG length = startLength;
    for (uint32_t number = 0; length <= startLength; ++number) {
        // A service stop must not wait for the table to fill.
        if (reporter && reporter->IsCancelRequested())
            break;
        if (number % kMftFilesPerFolder == 0) {
            const std::wstring name = MftFolderName(number / kMftFilesPerFolder);
            folder = tempFolder + L"\\" + name;
            error = ERROR_SUCCESS;
            if (!ClearMftFolder(folder, tempFinal + L"\\" + name, error) ||
                !::CreateDirectoryW(folder.c_str(), nullptr)) {
                if (error == ERROR_SUCCESS)
                    error = ::GetLastError();
                LogTextLine(IDS_LOG_MFT_DIRECTORY, {}, error, true);
                break;
            }
            folders.push_back(name);
        }
        const std::wstring path = folder + L"\\" + MftFileName(number);
        win32::UniqueFile file(
            Calls().Open(path.c_str(), GENERIC_WRITE, 0, CREATE_NEW, FILE_FLAG_WRITE_THROUGH));
        if (!file) {
            LogTextLine(IDS_LOG_MFT_FILES, {}, ::GetLastError(), true);
            break;
        }
        DWORD cbWritten = 0;
        if (!Calls().Write(file.get(), block, kMftBlockSize, &cbWritten) ||
            cbWritten != kMftBlockSize) {
            writeFailed = true;
            break;
        }
        file.reset();
        if ((number + 1) % kMftQueryEvery == 0 &&
            !query.ReadMftValidDataLength(volume.get(), length))
            break;  // without the volume data there is no telling when to stop
    }

    for (const std::wstring& name : folders) {
        const std::wstring path = tempFolder + L"\\" + name;
        const std::wstring pathFinal = tempFinal + L"\\" + name;
        DeleteMftFiles(path, pathFinal);
        DWORD ignored = 0;
        freespace::RemoveOwnFolder(path, pathFinal, ignored);
    }
    return !writeFailed;
}
