// Shared pieces of the erase engine tests: a run with a recording progress
// reporter, a recorder over the writer's file calls, a shred log to read
// back, symbolic links, and a file held open by another process.
#pragma once

#include "engine/eraser.h"
#include "engine/file_calls.h"
#include "engine/progress_reporter.h"
#include "shred/shred_manager.h"
#include "tests/common/child_process.h"
#include "tests/common/scratch_folder.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace enginetest {

// Records the percentages it is given; reports a stop once it has received
// `cancelAfter` of them (never when negative).
class RecordingReporter : public ProgressReporter {
public:
    RecordingReporter() = default;
    bool IsCancelled() const override
    {
        return cancelAfter >= 0 && static_cast<int>(percents.size()) >= cancelAfter;
    }
    void SetPercent(int percent) override { percents.push_back(percent); }

    std::vector<int> percents;
    int cancelAfter = -1;
};

// A shred manager with a recording reporter, for the erasers of a test to be
// handed; the run counters start from zero.
class TestRun : public ShredManager {
public:
    TestRun();
    ~TestRun() override;
    RecordingReporter& Reporter() { return *m_reporter; }

private:
    RecordingReporter* m_reporter;
};

// Sees every change the writer makes to a disk, in order, while the real
// calls do the work. Events read "W <pos> <len> <0|F|R>" (a write and its
// pattern: zeros, 0xFF, anything else), "S" (flush), "T <pos>" (truncate), "R <from> <to>"
// (names only), "D <name>", "RD <name>", "A <name>" (attributes).
class RecordingCalls : public FileCalls {
public:
    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override;
    BOOL Write(HANDLE file, const void* data, DWORD cbData, DWORD* cbWritten) override;
    BOOL Flush(HANDLE file) override;
    BOOL Truncate(HANDLE file) override;
    BOOL Rename(const wchar_t* from, const wchar_t* to) override;
    BOOL Delete(const wchar_t* path) override;
    BOOL RemoveFolder(const wchar_t* path) override;
    BOOL SetAttributes(const wchar_t* path, DWORD attributes) override;
    // Recorded like their path forms, under the name the handle reaches now.
    BOOL RenameOpen(HANDLE file, const wchar_t* to) override;
    BOOL DeleteOpen(HANDLE file) override;
    BOOL SetOpenAttributes(HANDLE file, DWORD attributes) override;

    std::vector<std::string> Events() const;
    std::vector<std::string> Writes() const;

    // Called in Open before the real call (for lining threads up).
    std::function<void()> beforeOpen;
    // Called before each write with its 1-based number; return true after
    // setting *result (and the last error) to replace the real write.
    std::function<bool(int number, DWORD cbData, DWORD* cbWritten, BOOL* result)> writeFault;

    // The whole file as it was just before it was cut to zero bytes.
    std::string contentAtTruncate;
    // The longest block written with the random pattern, and every distinct
    // buffer address each pattern was written from.
    std::string randomBlock;
    std::vector<const void*> patternSources[3];

private:
    void Add(std::string event);
    static std::string HandleName(HANDLE file);
    mutable std::mutex m_lock;
    std::vector<std::string> m_events;
    int m_writes = 0;
};

// A shred log file in a scratch folder of its own.
class LogFile {
public:
    const std::wstring& Path() const { return m_path; }
    // Closes the eraser's log and returns the file's bytes.
    std::string Read(Eraser& eraser) const;
    // The same without the banner.
    std::string ReadBody(Eraser& eraser) const;

private:
    testsupport::ScratchFolder m_folder;
    std::wstring m_path = m_folder / L"shred_log.txt";
};

// The ANSI form of a text, as the log writes it.
std::string Ansi(const std::wstring& text);

// A symbolic link at `link` to `target`: a Unix link under Wine (whose own
// link call does nothing), CreateSymbolicLinkW elsewhere. Removed as a link
// when destroyed.
class SymbolicLink {
public:
    SymbolicLink(const std::wstring& link, const std::wstring& target, bool directory);
    ~SymbolicLink();
    SymbolicLink(const SymbolicLink&) = delete;
    SymbolicLink& operator=(const SymbolicLink&) = delete;
    bool Made() const { return m_made; }

private:
    std::wstring m_link;
    std::string m_unixLink;
    bool m_directory;
    bool m_made = false;
};

// What UnixNamedItem makes: a device node is the host's null device, so
// whatever reaches it goes nowhere.
enum class UnixItem { kFile, kFolder, kNullDevice };

// An item made on the Unix side under a name no Windows call could give it
// (for example one holding "\\"), or of a kind no Windows call makes, in
// `folder` inside the test prefix; removed on the Unix side when destroyed.
// Only where Wine runs the tests (device nodes only for the superuser).
class UnixNamedItem {
public:
    UnixNamedItem(const std::wstring& folder, const std::string& unixName, UnixItem kind);
    ~UnixNamedItem();
    UnixNamedItem(const UnixNamedItem&) = delete;
    UnixNamedItem& operator=(const UnixNamedItem&) = delete;
    bool Made() const { return m_made; }
    // Still there on the Unix side.
    bool Exists() const;

private:
    std::string m_unixPath;
    bool m_made = false;
};

// Another process (this test program started again) holding `path` open
// with no sharing until this object is destroyed.
class FileHeldByOtherProcess {
public:
    explicit FileHeldByOtherProcess(const std::wstring& path);
    ~FileHeldByOtherProcess();
    FileHeldByOtherProcess(const FileHeldByOtherProcess&) = delete;
    FileHeldByOtherProcess& operator=(const FileHeldByOtherProcess&) = delete;
    bool Holding() const { return m_holding; }

private:
    testsupport::ChildProcess m_holder;
    win32::UniqueHandleNull m_release;
    bool m_holding = false;
};

// Sets HKLM "EnableSuccessLogging" (needs LOCKS product_registry).
void SetSuccessLogging(DWORD value);

// A string of `size` bytes that no pattern of the writer produces.
std::string Filler(size_t size);

}  // namespace enginetest
