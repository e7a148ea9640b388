#include "tests/engine/erase_test_support.h"

#include "engine/run_state.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/unix_host.h"
#include "win32/path.h"
#include "win32/unique_handle.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>

namespace enginetest {

using testsupport::RunUnix;

namespace {

constexpr wchar_t kHoldPathVariable[] = L"SCORAVEL_TEST_HOLD_PATH";
constexpr wchar_t kHoldReadyVariable[] = L"SCORAVEL_TEST_HOLD_READY";
constexpr wchar_t kHoldReleaseVariable[] = L"SCORAVEL_TEST_HOLD_RELEASE";

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD cch = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return cch > 0 && cch < ARRAYSIZE(value) ? std::wstring(value, cch) : std::wstring();
}

// The child half of FileHeldByOtherProcess: runs before main when this
// program is started to hold a file, and never returns.
const bool g_holderChecked = [] {
    const std::wstring path = Variable(kHoldPathVariable);
    if (path.empty())
        return false;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        ::ExitProcess(2);
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, Variable(kHoldReadyVariable).c_str());
    HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, Variable(kHoldReleaseVariable).c_str());
    if (!ready || !release)
        ::ExitProcess(3);
    ::SetEvent(ready);
    ::WaitForSingleObject(release, 60000);
    ::CloseHandle(file);
    ::ExitProcess(0);
}();

std::string Narrow(const std::wstring& text)
{
    return Ansi(text);
}

std::string NameOf(const wchar_t* path)
{
    const std::wstring text = path;
    const size_t slash = text.rfind(L'\\');
    return Narrow(slash == std::wstring::npos ? text : text.substr(slash + 1));
}

char PatternOf(const void* data, DWORD cbData)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (std::all_of(bytes, bytes + cbData, [](unsigned char b) { return b == 0x00; }))
        return '0';
    if (std::all_of(bytes, bytes + cbData, [](unsigned char b) { return b == 0xFF; }))
        return 'F';
    return 'R';
}

LONGLONG PositionOf(HANDLE file)
{
    LARGE_INTEGER zero{};
    LARGE_INTEGER position{};
    ::SetFilePointerEx(file, zero, &position, FILE_CURRENT);
    return position.QuadPart;
}

// The Unix path of a Windows path inside the test prefix; empty for any path
// that leads outside it.
std::string UnixPathInPrefix(const std::wstring& path)
{
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix || !*prefix)
        return {};
    const std::string result = testsupport::UnixName(path);
    const std::string root = std::string(prefix) + "/";
    return result.compare(0, root.size(), root) == 0 ? result : std::string();
}

}  // namespace

TestRun::TestRun() : ShredManager(std::make_unique<RecordingReporter>(), SilentShredUi())
{
    m_reporter = static_cast<RecordingReporter*>(GetProgress());
    BytesDone = 0;
    LastPercent = 0;
    AnyAssetShredded = false;
}

TestRun::~TestRun() = default;

HANDLE RecordingCalls::Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                            DWORD flags)
{
    Add("O " + NameOf(path));
    if (beforeOpen)
        beforeOpen();
    return FileCalls::Open(path, access, share, disposition, flags);
}

BOOL RecordingCalls::Write(HANDLE file, const void* data, DWORD cbData, DWORD* cbWritten)
{
    int number;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        number = ++m_writes;
    }
    // The writer writes from pattern buffers of at least 1 KiB; looking at
    // their first 64 bytes tells a 1-byte random write that happens to be
    // 0x00 or 0xFF from a write of zeros or ones.
    const char pattern = PatternOf(data, std::max<DWORD>(cbData, 64));
    {
        std::lock_guard<std::mutex> hold(m_lock);
        auto& sources = patternSources[pattern == '0' ? 0 : pattern == 'F' ? 1 : 2];
        if (std::find(sources.begin(), sources.end(), data) == sources.end())
            sources.push_back(data);
        if (pattern == 'R' && cbData > randomBlock.size())
            randomBlock.assign(static_cast<const char*>(data), cbData);
    }
    Add("W " + std::to_string(PositionOf(file)) + " " + std::to_string(cbData) + " " + pattern);
    BOOL result = FALSE;
    if (writeFault && writeFault(number, cbData, cbWritten, &result))
        return result;
    return FileCalls::Write(file, data, cbData, cbWritten);
}

BOOL RecordingCalls::Flush(HANDLE file)
{
    Add("S");
    return FileCalls::Flush(file);
}

BOOL RecordingCalls::Truncate(HANDLE file)
{
    const LONGLONG position = PositionOf(file);
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file, &size);
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    LARGE_INTEGER start{};
    DWORD cbRead = 0;
    if (::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && !content.empty())
        ::ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &cbRead, nullptr);
    content.resize(cbRead);
    LARGE_INTEGER back{};
    back.QuadPart = position;
    ::SetFilePointerEx(file, back, nullptr, FILE_BEGIN);
    {
        std::lock_guard<std::mutex> hold(m_lock);
        contentAtTruncate = content;
    }
    Add("T " + std::to_string(position));
    return FileCalls::Truncate(file);
}

BOOL RecordingCalls::Rename(const wchar_t* from, const wchar_t* to)
{
    Add("R " + NameOf(from) + " " + NameOf(to));
    return FileCalls::Rename(from, to);
}

BOOL RecordingCalls::Delete(const wchar_t* path)
{
    Add("D " + NameOf(path));
    return FileCalls::Delete(path);
}

BOOL RecordingCalls::RemoveFolder(const wchar_t* path)
{
    Add("RD " + NameOf(path));
    return FileCalls::RemoveFolder(path);
}

BOOL RecordingCalls::SetAttributes(const wchar_t* path, DWORD attributes)
{
    Add("A " + NameOf(path));
    return FileCalls::SetAttributes(path, attributes);
}

BOOL RecordingCalls::RenameOpen(HANDLE file, const wchar_t* to)
{
    Add("R " + HandleName(file) + " " + NameOf(to));
    return FileCalls::RenameOpen(file, to);
}

BOOL RecordingCalls::DeleteOpen(HANDLE file)
{
    Add("D " + HandleName(file));
    return FileCalls::DeleteOpen(file);
}

BOOL RecordingCalls::SetOpenAttributes(HANDLE file, DWORD attributes)
{
    Add("A " + HandleName(file));
    return FileCalls::SetOpenAttributes(file, attributes);
}

std::string RecordingCalls::HandleName(HANDLE file)
{
    std::wstring path;
    return win32::FinalPathOf(file, path) ? NameOf(path.c_str()) : std::string("?");
}

void RecordingCalls::Add(std::string event)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.push_back(std::move(event));
}

std::vector<std::string> RecordingCalls::Events() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_events;
}

std::vector<std::string> RecordingCalls::Writes() const
{
    std::vector<std::string> writes;
    for (const std::string& event : Events()) {
        if (event.rfind("W ", 0) == 0)
            writes.push_back(event);
    }
    return writes;
}

std::string LogFile::Read(Eraser& eraser) const
{
    eraser.CloseLog();
    std::string bytes;
    EXPECT_TRUE(testsupport::ReadFileBytes(m_path, bytes));
    return bytes;
}

std::string LogFile::ReadBody(Eraser& eraser) const
{
    const std::string log = Read(eraser);
    const std::string stars(100, '*');
    const size_t second = log.find(stars, log.find(stars) + stars.size());
    if (second == std::string::npos) {
        ADD_FAILURE() << "no banner in the log:\n" << log;
        return log;
    }
    return log.substr(second + stars.size() + 2);
}

std::string Ansi(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int cb = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(cb), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), cb,
                          nullptr, nullptr);
    return bytes;
}

SymbolicLink::SymbolicLink(const std::wstring& link, const std::wstring& target, bool directory)
    : m_link(link), m_directory(directory)
{
    if (testsupport::CanRunUnix()) {
        const size_t slash = link.rfind(L'\\');
        const std::string folder = UnixPathInPrefix(link.substr(0, slash));
        const std::string unixTarget = UnixPathInPrefix(target);
        if (folder.empty() || unixTarget.empty()) {
            ADD_FAILURE() << "link or target outside the test prefix";
            return;
        }
        m_unixLink = folder + "/" + Narrow(link.substr(slash + 1));
        m_made = RunUnix({"ln", "-s", unixTarget, m_unixLink});
        return;
    }
    m_made = ::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                                   (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) |
                                       SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
}

SymbolicLink::~SymbolicLink()
{
    if (!m_unixLink.empty()) {
        // rm on a link removes the link, whatever it points at.
        RunUnix({"rm", "-f", m_unixLink});
    } else if (m_made) {
        if (m_directory)
            ::RemoveDirectoryW(m_link.c_str());
        else
            ::DeleteFileW(m_link.c_str());
    }
}

UnixNamedItem::UnixNamedItem(const std::wstring& folder, const std::string& unixName, UnixItem kind)
{
    const std::string unixFolder = UnixPathInPrefix(folder);
    if (unixFolder.empty() || !testsupport::CanRunUnix())
        return;
    m_unixPath = unixFolder + "/" + unixName;
    switch (kind) {
    case UnixItem::kFile:
        m_made = RunUnix({"touch", m_unixPath});
        break;
    case UnixItem::kFolder:
        m_made = RunUnix({"mkdir", m_unixPath});
        break;
    case UnixItem::kNullDevice:
        m_made = RunUnix({"mknod", m_unixPath, "c", "1", "3"});
        break;
    }
}

bool UnixNamedItem::Exists() const
{
    return m_made && RunUnix({"test", "-e", m_unixPath});
}

UnixNamedItem::~UnixNamedItem()
{
    if (m_made)
        RunUnix({"rm", "-rf", m_unixPath});
}

FileHeldByOtherProcess::FileHeldByOtherProcess(const std::wstring& path)
{
    static std::atomic<unsigned> counter{0};
    const std::wstring tag =
        std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    const std::wstring readyName = L"ScoravelTestHoldReady-" + tag;
    const std::wstring releaseName = L"ScoravelTestHoldRelease-" + tag;
    win32::UniqueHandleNull ready(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    m_release.reset(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(ARRAYSIZE(temp), temp);
    testsupport::ChildOptions options;
    options.folder = temp;
    options.environment = {{kHoldPathVariable, path},
                           {kHoldReadyVariable, readyName},
                           {kHoldReleaseVariable, releaseName}};
    if (!m_holder.Start(testsupport::ProgramBesideTest(), {}, options)) {
        ADD_FAILURE() << "cannot start the holder process, error " << ::GetLastError();
        return;
    }
    const HANDLE waits[] = {ready.get(), m_holder.Handle()};
    m_holding = ::WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
    EXPECT_TRUE(m_holding) << "the holder process could not open the file";
}

FileHeldByOtherProcess::~FileHeldByOtherProcess()
{
    if (m_release)
        ::SetEvent(m_release.get());
    m_holder.WaitForExit(30000);
}

void SetSuccessLogging(DWORD value)
{
    testsupport::PutDword(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"EnableSuccessLogging",
                          value);
}

std::string Filler(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 23);
    return bytes;
}

}  // namespace enginetest
