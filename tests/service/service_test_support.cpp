#include "tests/service/service_test_support.h"

#include "shred/disk_bleach.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/unix_host.h"
#include "tests/common/wait.h"
#include "tests/service/test_volume.h"

#include <atomic>
#include <cstdlib>
#include <vector>

namespace servicetest {

using testsupport::RunUnix;
using testsupport::UnixName;

namespace {

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return !prefix.empty() && text.compare(0, prefix.size(), prefix) == 0;
}

void ClearFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found{};
    win32::UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // A link: only the link goes, by the host's rm.
            const std::string unixPath = UnixName(path);
            if (!unixPath.empty())
                RunUnix({"rm", "-f", unixPath});
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ClearFolder(path);
            ::RemoveDirectoryW(path.c_str());
        } else {
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        }
    } while (::FindNextFileW(find.get(), &found));
}

}  // namespace

bool RecordingSink::Report(const SERVICE_STATUS& status)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_reports.push_back(status);
    return true;
}

std::vector<SERVICE_STATUS> RecordingSink::Reports()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_reports;
}

bool RecordingSink::Reported(DWORD state)
{
    for (const SERVICE_STATUS& status : Reports())
        if (status.dwCurrentState == state)
            return true;
    return false;
}

bool RecordingSink::WaitFor(DWORD state)
{
    return testsupport::WaitUntil([&] { return Reported(state); });
}

std::wstring UniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    return L"-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

std::string ReplyBytes(const std::wstring& text)
{
    return MessageBytes(text, false) + std::string(1, '\0');
}

std::string MessageBytes(const std::wstring& text, bool withNul)
{
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    if (withNul)
        bytes += std::string(2, '\0');
    return bytes;
}

bool PipeClient::Open(const std::wstring& name, bool forWriting)
{
    // Setting the read mode needs write-attribute access on Windows.
    const DWORD access = forWriting ? GENERIC_WRITE : GENERIC_READ | FILE_WRITE_ATTRIBUTES;
    for (int attempt = 0; attempt < 500; ++attempt) {
        win32::UniqueFile pipe(::CreateFileW(name.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            if (!::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr))
                return false;
            m_pipe = std::move(pipe);
            m_event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
            return static_cast<bool>(m_event);
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_BUSY)
            ::WaitNamedPipeW(name.c_str(), 1000);
        else if (error == ERROR_FILE_NOT_FOUND)
            ::Sleep(20);  // the listener has not made the pipe yet
        else
            return false;
    }
    return false;
}

bool PipeClient::Write(const std::string& bytes)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_event.get();
    DWORD cbWritten = 0;
    if (!::WriteFile(m_pipe.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr,
                     &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING)
        return false;
    if (!::GetOverlappedResult(m_pipe.get(), &overlapped, &cbWritten, TRUE))
        return false;
    return cbWritten == bytes.size();
}

bool PipeClient::Read(std::string& message, DWORD& error, DWORD timeoutMs)
{
    message.clear();
    error = ERROR_SUCCESS;
    for (;;) {
        char buffer[1024];
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_event.get();
        DWORD cbRead = 0;
        if (!::ReadFile(m_pipe.get(), buffer, sizeof(buffer), nullptr, &overlapped)) {
            const DWORD started = ::GetLastError();
            if (started == ERROR_IO_PENDING) {
                if (::WaitForSingleObject(m_event.get(), timeoutMs) != WAIT_OBJECT_0) {
                    ::CancelIoEx(m_pipe.get(), &overlapped);
                    ::GetOverlappedResult(m_pipe.get(), &overlapped, &cbRead, TRUE);
                    error = WAIT_TIMEOUT;
                    return false;
                }
            } else if (started != ERROR_MORE_DATA) {
                error = started;
                return false;
            }
        }
        const BOOL done = ::GetOverlappedResult(m_pipe.get(), &overlapped, &cbRead, FALSE);
        message.append(buffer, cbRead);
        if (done)
            return true;
        error = ::GetLastError();
        if (error != ERROR_MORE_DATA)
            return false;
    }
}

StalledClient::StalledClient(const std::wstring& controlPipe, int command, int threadId,
                             const std::wstring& statusPipe, const std::vector<int>& laterCommands)
{
    const std::wstring eventName = L"Local\\ScoravelStalledClient" + UniqueSuffix();
    m_release.reset(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    std::vector<std::wstring> arguments = {controlPipe, std::to_wstring(command),
                                           std::to_wstring(threadId), eventName};
    if (!statusPipe.empty()) {
        arguments.push_back(statusPipe);
        for (int later : laterCommands)
            arguments.push_back(std::to_wstring(later));
    }
    if (m_release)
        m_process.Start(testsupport::ProgramBesideTest(L"stalled_client.exe"),
                        testsupport::QuotedArguments(arguments));
}

StalledClient::~StalledClient()
{
    ::SetEvent(m_release.get());
    m_process.WaitForExit(20000);
}

TestServer::TestServer(const std::wstring& installFolder)
    : m_names(BleachPipeNames::WithSuffix(UniqueSuffix())),
      m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_bleach(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_server(std::make_unique<BleachServer>(m_names, m_stop.get(), m_bleach.get(), installFolder))
{
}

TestServer::~TestServer()
{
    m_server.reset();
}

bool TestServer::WaitForQueued(size_t count)
{
    return testsupport::WaitUntil([&] { return m_server->QueuedRequests() == count; }, 10000);
}

std::wstring BoundedTestDrive()
{
    const std::wstring drive = L"T:\\";
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER free{};
    if (!::GetDiskFreeSpaceExW(drive.c_str(), &available, &total, &free))
        return {};
    if (free.QuadPart > kTestVolumeMaxBytes || total.QuadPart > kTestVolumeMaxBytes ||
        total.QuadPart == 0)
        return {};
    return drive;
}

uint64_t FreeBytes(const std::wstring& drive)
{
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER free{};
    if (!::GetDiskFreeSpaceExW(drive.c_str(), &available, &total, &free))
        return 0;
    return free.QuadPart;
}

PlantedLink::PlantedLink(const std::wstring& link, const std::wstring& target)
{
    const size_t slash = link.rfind(L'\\');
    const std::string folder = WithoutTrailingSlash(UnixName(link.substr(0, slash + 1)));
    const std::string unixTarget = UnixName(target);
    const std::string volume = WithoutTrailingSlash(UnixName(L"T:\\"));
    const char* prefix = std::getenv("WINEPREFIX");
    if (folder.empty() || unixTarget.empty() || !prefix || BoundedTestDrive().empty() ||
        !StartsWith(folder, volume) ||
        !(StartsWith(unixTarget, volume + "/") ||
          StartsWith(unixTarget, std::string(prefix) + "/"))) {
        ADD_FAILURE() << "a planted link must lie on T: and lead to T: or into the test prefix";
        return;
    }
    std::wstring name = link.substr(slash + 1);
    m_unixLink = folder + "/" + std::string(name.begin(), name.end());
    m_made = RunUnix({"ln", "-s", unixTarget, m_unixLink});
}

PlantedLink::~PlantedLink()
{
    if (m_made)
        RunUnix({"rm", "-f", m_unixLink});
}

void ClearTestDrive(const std::wstring& drive)
{
    if (drive != L"T:\\" || BoundedTestDrive().empty())
        return;
    ClearFolder(L"T:");
}

std::string ReadWholeFile(const std::wstring& path)
{
    std::string bytes;
    testsupport::ReadFileBytes(path, bytes);
    return bytes;
}

}  // namespace servicetest
