#include "tests/service/free_space_test_support.h"

#include "engine/progress_reporter.h"
#include "tests/common/scratch_folder.h"

#include <algorithm>

namespace servicetest {

void BoundedVolumeTest::SetUp()
{
    drive = BoundedTestDrive();
    if (drive.empty())
        GTEST_SKIP() << "T: is not the bounded test volume (the fixture mounts it as root)";
    ClearTestDrive(drive);
}

void BoundedVolumeTest::TearDown()
{
    if (!drive.empty())
        ClearTestDrive(drive);
}

std::vector<std::wstring> Names(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    win32::UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (::FindNextFileW(find.get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

bool FolderIsEmpty(const std::wstring& folder)
{
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           Names(folder).empty();
}

HANDLE WipeCalls::Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_opened.push_back(path);
    }
    return FileCalls::Open(path, access, share, disposition, flags);
}

BOOL WipeCalls::Write(HANDLE file, const void* data, DWORD cbData, DWORD* cbWritten)
{
    if (reporter) {
        const int percent = reporter->GetStoredPercent();
        std::lock_guard<std::mutex> lock(m_lock);
        if (freeAtGiveBack == UINT64_MAX && percent != 0 &&
            (m_percents.empty() || m_percents.back() != percent))
            m_percents.push_back(percent);
    }
    BOOL result = FALSE;
    if (m_faked < fakeBytes) {
        // Moves on as a real write would, without taking any space.
        m_faked += cbData;
        LARGE_INTEGER distance{};
        distance.QuadPart = cbData;
        result = ::SetFilePointerEx(file, distance, nullptr, FILE_CURRENT);
        *cbWritten = result ? cbData : 0;
    } else {
        result = FileCalls::Write(file, data, cbData, cbWritten);
    }
    if (result) {
        const DWORD error = ::GetLastError();
        int number = 0;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            number = ++m_writes;
        }
        if (onWrite)
            onWrite(number);
        ::SetLastError(error);
    }
    return result;
}

BOOL WipeCalls::Truncate(HANDLE file)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_truncates;
        if (freeAtGiveBack == UINT64_MAX)
            freeAtGiveBack = FreeBytes(drive);
    }
    return FileCalls::Truncate(file);
}

std::vector<std::wstring> WipeCalls::Opened()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_opened;
}

std::vector<int> WipeCalls::Percents()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_percents;
}

int WipeCalls::Truncates()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_truncates;
}

Filler::Filler(const std::wstring& drive) : m_path(drive + L"filler.bin")
{
    win32::UniqueFile file(::CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    std::vector<char> block(1 << 20, 'f');
    for (DWORD cb = static_cast<DWORD>(block.size()); cb >= 512; cb /= 2) {
        DWORD cbWritten = 0;
        while (::WriteFile(file.get(), block.data(), cb, &cbWritten, nullptr) && cbWritten == cb) {
        }
    }
}

Filler::~Filler()
{
    ::DeleteFileW(m_path.c_str());
}

HANDLE GrowingVolumeQuery::OpenVolume(const std::wstring& devicePath)
{
    // "\\.\T:" -> "T:\"
    const std::wstring root = devicePath.substr(devicePath.size() - 2) + L"\\";
    return ::CreateFileW(root.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool GrowingVolumeQuery::ReadMftValidDataLength(HANDLE, LONGLONG& length)
{
    ++requests;
    if (requests == 1) {
        if (onFirstRequest)
            onFirstRequest();
        length = 1000;
        return true;
    }
    // Asked after every 20th file.
    const uint32_t files = static_cast<uint32_t>(requests - 1) * 20;
    if (growAfterFiles != 0 && files >= growAfterFiles) {
        if (snapshot.empty())
            TakeSnapshot();
        length = 1001;
    } else {
        length = 1000;
    }
    return true;
}

void GrowingVolumeQuery::TakeSnapshot()
{
    for (const std::wstring& folder : Names(snapshotFolder)) {
        FolderSnapshot taken;
        taken.name = folder;
        taken.files = Names(snapshotFolder + L"\\" + folder);
        snapshot.push_back(taken);
    }
    if (snapshot.empty() || snapshot.front().files.empty() || snapshot.back().files.empty())
        return;
    testsupport::ReadFileBytes(
        snapshotFolder + L"\\" + snapshot.front().name + L"\\" + snapshot.front().files.front(),
        firstFileBytes);
    testsupport::ReadFileBytes(
        snapshotFolder + L"\\" + snapshot.back().name + L"\\" + snapshot.back().files.back(),
        lastFileBytes);
}

}  // namespace servicetest
