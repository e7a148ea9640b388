// Pieces of the free-space wipe tests: a fixture on the bounded volume T:,
// a recorder over the wipe's file calls, a filler for the volume, and a
// stand-in for the volume-data request that grows when told to.
#pragma once

#include "engine/file_calls.h"
#include "engine/free_space_wipe.h"
#include "tests/service/service_test_support.h"

#include <windows.h>

#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

class ProgressReporter;

namespace servicetest {

// Runs only on the bounded volume, and leaves it empty before and after.
class BoundedVolumeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::wstring drive;
};

// The names in `folder` (without "." and ".."), sorted.
std::vector<std::wstring> Names(const std::wstring& folder);
// True when `folder` exists and holds nothing.
bool FolderIsEmpty(const std::wstring& folder);

// The real calls, recorded: the files opened, the stored percentages seen
// at each write, the free space when the files are cut.
class WipeCalls : public FileCalls {
public:
    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override;
    BOOL Write(HANDLE file, const void* data, DWORD cbData, DWORD* cbWritten) override;
    BOOL Truncate(HANDLE file) override;

    std::vector<std::wstring> Opened();
    std::vector<int> Percents();
    int Truncates();

    std::wstring drive;
    ProgressReporter* reporter = nullptr;
    // Called after each successful write with its number (from 1).
    std::function<void(int number)> onWrite;
    // This many bytes are "written" without being written.
    uint64_t fakeBytes = 0;
    uint64_t freeAtGiveBack = UINT64_MAX;

private:
    std::mutex m_lock;
    std::vector<std::wstring> m_opened;
    std::vector<int> m_percents;
    int m_writes = 0;
    int m_truncates = 0;
    uint64_t m_faked = 0;
};

// Takes all the free space of the volume while it lives.
class Filler {
public:
    explicit Filler(const std::wstring& drive);
    ~Filler();

private:
    std::wstring m_path;
};

struct FolderSnapshot {
    std::wstring name;
    std::vector<std::wstring> files;
};

// MftValidDataLength stays 1000 until the pass has made `growAfterFiles`
// files (never when 0); then it is 1001. At the growth it records what the
// pass has made. The "volume" is the drive's root folder: Wine knows no
// volume device for a drive mapped after its server started.
class GrowingVolumeQuery : public VolumeQuery {
public:
    HANDLE OpenVolume(const std::wstring& devicePath) override;
    bool ReadMftValidDataLength(HANDLE volume, LONGLONG& length) override;

    uint32_t growAfterFiles = 0;
    std::wstring snapshotFolder;
    std::vector<FolderSnapshot> snapshot;
    std::string firstFileBytes;
    std::string lastFileBytes;
    // Called at the first request (the start value), before it answers.
    std::function<void()> onFirstRequest;
    int requests = 0;

private:
    void TakeSnapshot();
};

}  // namespace servicetest
