// The bleach service's free-space wipe, composed over an eraser's overwrite
// writer and shred log; the volume-data request behind its master-file-table
// pass; and the checks that keep the wipe to the folders and files it made
// itself.
//
// The wipe runs as the local system account on a volume where any user may
// have made folders and links first, so every item it deletes, writes into
// or removes is checked by handle to be the very item its name says: a
// plain file or folder whose final path is the expected one, never a link
// or junction that leads somewhere else.
#pragma once

#include "win32/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class Eraser;
class ProgressReporter;

// One free-space wipe of a drive root ("X:\"). Phase I fills the free space
// with one big file in cluster-aligned chunks, phase II fills the last
// cluster byte by byte smaller, phase III fills what is left with small
// files; every byte goes through the eraser's OverwriteContents, and every
// failure becomes a line in the eraser's log. The files are opened
// delete-on-close, so closing them gives the space back. Then the
// master-file-table pass fills the table's free records with small files
// until it has to grow, and deletes them.
class FreeSpaceWipe {
public:
    // `eraser` (its writer, file calls and log) must outlive the wipe.
    explicit FreeSpaceWipe(Eraser& eraser);

    // The three phases, the give-back, then the master-file-table pass;
    // false when the fill could not be made or was cancelled.
    bool Run(const std::wstring& drive);
    // The master-file-table pass alone; false when it could not start or a
    // write failed.
    bool WipeFreeMftEntries(const std::wstring& drive);

private:
    struct FillState {
        uint64_t cluster = 0;
        uint64_t freeBytes = 0;
        // The chunk phase I ended with, where phase II begins.
        uint64_t chunk = 0;
        std::wstring tempFolder;
        std::wstring tempFinal;
    };
    struct FillFiles {
        win32::UniqueFile phaseOne;
        win32::UniqueFile phaseTwo;
        std::vector<win32::UniqueFile> phaseThree;
    };

    // Cluster size and free bytes; false (logged) when unreadable or when a
    // quota hides part of the free space.
    bool MeasureFreeSpace(const std::wstring& drive, FillState& fill);
    // Each phase returns false when the run has to end (cancel, or phase I
    // without its file); other failures are logged and the run goes on.
    bool FillWithOneFile(ProgressReporter& reporter, FillState& fill, FillFiles& files);
    bool FillTheTail(ProgressReporter& reporter, FillState& fill, FillFiles& files);
    bool FillWithSmallFiles(ProgressReporter& reporter, const std::wstring& drive,
                            FillFiles& files);
    void GiveBack(FillFiles& files);

    Eraser& m_eraser;
};

// What the master-file-table pass asks of the volume. The product asks the
// system; a test can stand in (Wine has no NTFS volume data).
class VolumeQuery {
public:
    virtual ~VolumeQuery() = default;
    // "\\.\X:" opened for reading and writing, shared, write-through.
    virtual HANDLE OpenVolume(const std::wstring& devicePath);
    // MftValidDataLength of the NTFS volume data; false with the last error
    // set (50 on a volume that is not NTFS).
    virtual bool ReadMftValidDataLength(HANDLE volume, LONGLONG& length);

    static VolumeQuery& Real();
};

// The query the wipes of this process use; null restores the real one.
void SetVolumeQuery(VolumeQuery* query);
VolumeQuery& CurrentVolumeQuery();

namespace freespace {

inline constexpr wchar_t kTempFolderName[] = L"ShredderTemp";
inline constexpr wchar_t kPhaseThreeFolderName[] = L"ShredderTemp1";
// Logged when an item is a link, or not what its name says.
inline constexpr DWORD kErrorNotOwnItem = ERROR_CANT_ACCESS_FILE;

// The final path of the drive root `drive` ("C:\" gives "\\?\C:\"), always
// ending in a backslash; false when the root cannot be opened.
bool FinalRootOf(const std::wstring& drive, std::wstring& rootFinal);

// Opens the folder at `path` without following a link and without sharing
// delete, so it cannot be renamed or removed while held. Empty (with
// `error`) unless it is a plain folder whose final path is `expectedFinal`.
win32::UniqueFile HoldOwnFolder(const std::wstring& path, const std::wstring& expectedFinal,
                                DWORD& error);
// Removes the empty folder at `path` through a handle checked as above.
bool RemoveOwnFolder(const std::wstring& path, const std::wstring& expectedFinal, DWORD& error);
// Deletes the plain file at `path` when its final path is `expectedFinal`;
// a link (or what it leads to) is left alone.
bool DeleteOwnFile(const std::wstring& path, const std::wstring& expectedFinal);

}  // namespace freespace
