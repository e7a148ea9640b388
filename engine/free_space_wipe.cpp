// The free-space wipe of the bleach service. Phase III's small files fit
// into directory or file-table records; every byte is written three times
// by the overwrite writer.
#include "engine/free_space_wipe.h"

#include "engine/eraser.h"
#include "engine/progress_reporter.h"
#include "resources/engine/text_ids.h"
#include "win32/debug_output.h"
#include "win32/path.h"

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
    return !finalPath.empty() && win32::EqualNoCase(finalPath, expectedFinal);
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
    win32::UniqueFile root(::CreateFileW(
        drive.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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

FreeSpaceWipe::FreeSpaceWipe(Eraser& eraser) : m_eraser(eraser) {}

bool FreeSpaceWipe::Run(const std::wstring& drive)
{
    const std::wstring tempFolder = drive + freespace::kTempFolderName;
    ::CreateDirectoryW(tempFolder.c_str(), nullptr);

    ProgressReporter* reporter = m_eraser.Progress();
    if (!reporter) {
        m_eraser.LogTextLine(IDS_LOG_NO_SHARED_DATA, {});
        return false;
    }
    if (drive.find(L':') == std::wstring::npos) {
        m_eraser.LogTextLine(IDS_LOG_BLEACH_UNC, {});
        return false;
    }
    FillState fill;
    if (!MeasureFreeSpace(drive, fill))
        return false;

    // The temp folder must be the plain folder its name says, held so that
    // nobody can swap it for a link while the wipe writes into it.
    std::wstring rootFinal;
    DWORD ownError = freespace::kErrorNotOwnItem;
    win32::UniqueFile heldTemp;
    if (freespace::FinalRootOf(drive, rootFinal))
        heldTemp =
            freespace::HoldOwnFolder(tempFolder, rootFinal + freespace::kTempFolderName, ownError);
    if (!heldTemp) {
        m_eraser.LogTextLine(IDS_LOG_BLEACH_CLEANUP_FILE, {}, ownError, true);
        return false;
    }
    fill.tempFolder = tempFolder;
    fill.tempFinal = rootFinal + freespace::kTempFolderName;

    // Declared after the held folder: on every early return the fill files
    // close (and go) before the folder is let go.
    FillFiles files;
    if (!FillWithOneFile(*reporter, fill, files))
        return false;
    if (!FillTheTail(*reporter, fill, files))
        return false;
    if (!FillWithSmallFiles(*reporter, drive, files))
        return false;

    reporter->SetStoredPercent(100);
    GiveBack(files);
    heldTemp.reset();

    m_eraser.LogTextLine(IDS_LOG_BLEACH_DONE, {});
    WipeFreeMftEntries(drive);
    return true;
}

bool FreeSpaceWipe::MeasureFreeSpace(const std::wstring& drive, FillState& fill)
{
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (!::GetDiskFreeSpaceW(drive.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                             &totalClusters)) {
        m_eraser.LogTextLine(IDS_LOG_BLEACH_CLUSTER, {}, ::GetLastError(), true);
        return false;
    }
    win32::DebugPrint(L"BFS: GetDiskFreeSpace - %d - %d - %d - %d \n",
                      static_cast<int>(sectorsPerCluster), static_cast<int>(bytesPerSector),
                      static_cast<int>(freeClusters), static_cast<int>(totalClusters));
    const uint64_t cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    if (cluster == 0) {
        m_eraser.LogTextLine(IDS_LOG_BLEACH_CLUSTER, {}, ERROR_INVALID_PARAMETER, true);
        return false;
    }

    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER freeTotal{};
    if (!::GetDiskFreeSpaceExW(drive.c_str(), &available, &total, &freeTotal)) {
        m_eraser.LogTextLine(IDS_LOG_BLEACH_FREE_SPACE, {}, ::GetLastError(), true);
        return false;
    }
    win32::DebugPrint(L"BFS: GetDiskFreeSpaceEx - Bytes available : 0x%x - 0x%x\n",
                      High(available.QuadPart), Low(available.QuadPart));
    win32::DebugPrint(L"BFS: GetDiskFreeSpaceEx - Num Free bytes  : 0x%x - 0x%x\n",
                      High(freeTotal.QuadPart), Low(freeTotal.QuadPart));
    win32::DebugPrint(L"BFS: GetDiskFreeSpaceEx - Num Free space : %ld \n",
                      static_cast<long>(freeTotal.QuadPart >> 30));
    win32::DebugPrint(L"BFS: GetDiskFreeSpaceEx - Num Total bytes : 0x%x - 0x%x\n",
                      High(total.QuadPart), Low(total.QuadPart));
    if (available.QuadPart != freeTotal.QuadPart) {
        m_eraser.LogTextLine(IDS_LOG_BLEACH_QUOTA, {});
        return false;
    }
    fill.cluster = cluster;
    fill.freeBytes = freeTotal.QuadPart;
    return true;
}

bool FreeSpaceWipe::FillWithOneFile(ProgressReporter& reporter, FillState& fill, FillFiles& files)
{
    // A file of that name left by an earlier run is removed first (only if
    // it is a plain file of ours), and the new one is created new: an
    // existing name is never opened, so a planted link leads nowhere.
    win32::DebugPrint(L"BleachFreeSpace: Starting PHASE I....\n");
    const std::wstring path = fill.tempFolder + L"\\SHREDTEMP";
    freespace::DeleteOwnFile(path, fill.tempFinal + L"\\SHREDTEMP");
    files.phaseOne.reset(
        m_eraser.Calls().Open(path.c_str(), GENERIC_WRITE, 0, CREATE_NEW, kPhaseOneFlags));
    if (!files.phaseOne) {
        m_eraser.LogTextLine(IDS_LOG_BLEACH_CLEANUP_FILE, {}, ::GetLastError(), true);
        return false;
    }
    fill.chunk = kPhaseOneClusters * fill.cluster;
    uint64_t written = 0;
    int32_t lastStored = reporter.GetStoredPercent();
    while (fill.chunk > fill.cluster) {
        if (reporter.IsCancelRequested()) {
            m_eraser.LogTextLine(IDS_BLEACH_ABORTED, {});
            return false;
        }
        if (!m_eraser.OverwriteContents(files.phaseOne.get(), fill.chunk)) {
            fill.chunk -= fill.cluster;
            continue;
        }
        written += fill.chunk;
        // No free bytes to begin with means no percentage, not a division
        // by zero; 100 belongs to the end of the run.
        if (fill.freeBytes != 0) {
            uint64_t percent = written * 100 / fill.freeBytes;
            if (percent >= 100)
                percent = 99;
            if (static_cast<int32_t>(percent) != lastStored) {
                lastStored = static_cast<int32_t>(percent);
                reporter.SetStoredPercent(lastStored);
            }
        }
        win32::DebugPrint(L"BleachFreeSpace: %d , 0x%x=0x%x \n", static_cast<int>(lastStored),
                          High(written), Low(written));
    }
    ::FlushFileBuffers(files.phaseOne.get());
    return true;
}

bool FreeSpaceWipe::FillTheTail(ProgressReporter& reporter, FillState& fill, FillFiles& files)
{
    // Write-through, one byte smaller at each failure.
    win32::DebugPrint(L"BleachFreeSpace: Starting PHASE II....\n");
    const std::wstring path = fill.tempFolder + L"\\SHREDTEMP1";
    freespace::DeleteOwnFile(path, fill.tempFinal + L"\\SHREDTEMP1");
    files.phaseTwo.reset(
        m_eraser.Calls().Open(path.c_str(), GENERIC_WRITE, 0, CREATE_NEW, kPhaseTwoFlags));
    if (!files.phaseTwo) {
        // The wipe goes on without the tail.
        win32::DebugPrint(L"BleachFreeSpace: PHASE II - ErrCHK1 \n");
        m_eraser.LogTextLine(IDS_LOG_ERROR_UNKNOWN, {}, ::GetLastError(), true);
        return true;
    }
    while (fill.chunk != 0) {
        if (reporter.IsCancelRequested()) {
            m_eraser.LogTextLine(IDS_BLEACH_ABORTED, {});
            return false;
        }
        if (!m_eraser.OverwriteContents(files.phaseTwo.get(), fill.chunk))
            --fill.chunk;
    }
    ::FlushFileBuffers(files.phaseTwo.get());
    return true;
}

bool FreeSpaceWipe::FillWithSmallFiles(ProgressReporter& reporter, const std::wstring& drive,
                                       FillFiles& files)
{
    // Until one takes nothing more.
    win32::DebugPrint(L"BleachFreeSpace: Starting PHASE III....\n");
    const std::wstring folder = drive + freespace::kPhaseThreeFolderName;
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) {
        win32::DebugPrint(L"BleachFreeSpace: PHASE III - ErrCHK2 \n");
        m_eraser.LogTextLine(IDS_LOG_COULD_NOT_CREATE, {folder}, ::GetLastError(), true);
        return true;
    }
    uint64_t size = kPhaseThreeStartSize;
    for (int number = 0;; ++number) {
        if (reporter.IsCancelRequested()) {
            m_eraser.LogTextLine(IDS_BLEACH_ABORTED, {});
            return false;
        }
        wchar_t name[MAX_PATH];
        if (FAILED(::StringCchPrintfW(name, ARRAYSIZE(name), L"%lsShredderTemp1\\SHREDMFT%06d",
                                      drive.c_str(), number))) {
            m_eraser.LogTextLine(IDS_LOG_COULD_NOT_CREATE, {folder}, ERROR_FILENAME_EXCED_RANGE,
                                 true);
            return true;
        }
        win32::UniqueFile file(
            m_eraser.Calls().Open(name, GENERIC_WRITE, 0, CREATE_NEW, kPhaseThreeFlags));
        if (!file) {
            win32::DebugPrint(L"BleachFreeSpace: PHASE III - ErrCHK1 \n");
            m_eraser.LogTextLine(IDS_LOG_COULD_NOT_CREATE, {name}, ::GetLastError(), true);
            return true;
        }
        bool tookData = false;
        for (uint64_t piece = size; piece != 0;) {
            if (m_eraser.OverwriteContents(file.get(), piece)) {
                size = piece;
                tookData = true;
            } else {
                --piece;
            }
        }
        files.phaseThree.push_back(std::move(file));
        if (!tookData)
            return true;
    }
}

void FreeSpaceWipe::GiveBack(FillFiles& files)
{
    // Each file cut to nothing and closed, which deletes it.
    auto release = [this](win32::UniqueFile& file) {
        if (!file)
            return;
        m_eraser.Calls().Seek(file.get(), 0, FILE_BEGIN, nullptr);
        m_eraser.Calls().Truncate(file.get());
        file.reset();
    };
    release(files.phaseOne);
    release(files.phaseTwo);
    for (win32::UniqueFile& file : files.phaseThree)
        release(file);
}

bool FreeSpaceWipe::WipeFreeMftEntries(const std::wstring& drive)
{
    if (drive.empty())
        return false;
    const wchar_t letter = drive[0];
    VolumeQuery& query = CurrentVolumeQuery();
    win32::UniqueFile volume(query.OpenVolume(std::wstring(L"\\\\.\\") + letter + L":"));
    if (!volume) {
        m_eraser.LogTextLine(IDS_LOG_MFT_VOLUME, {}, ::GetLastError(), true);
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
        m_eraser.LogTextLine(IDS_LOG_MFT_DIRECTORY, {}, error, true);
        return false;
    }
    const std::wstring tempFinal = rootFinal + freespace::kTempFolderName;

    ProgressReporter* reporter = m_eraser.Progress();
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
                m_eraser.LogTextLine(IDS_LOG_MFT_DIRECTORY, {}, error, true);
                break;
            }
            folders.push_back(name);
        }
        const std::wstring path = folder + L"\\" + MftFileName(number);
        win32::UniqueFile file(m_eraser.Calls().Open(path.c_str(), GENERIC_WRITE, 0, CREATE_NEW,
                                                     FILE_FLAG_WRITE_THROUGH));
        if (!file) {
            m_eraser.LogTextLine(IDS_LOG_MFT_FILES, {}, ::GetLastError(), true);
            break;
        }
        DWORD cbWritten = 0;
        if (!m_eraser.Calls().Write(file.get(), block, kMftBlockSize, &cbWritten) ||
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
