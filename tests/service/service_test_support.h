// Shared pieces of the bleach service tests: raw pipe clients, an
// in-process server on pipes of its own, the bounded test volume T: with its
// safety check, and links planted with the host's own ln.
#pragma once

#include "engine/progress_reporter.h"
#include "service/bleach_server.h"
#include "service/service_frame.h"
#include "shred/shred_manager.h"
#include "tests/common/child_process.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace servicetest {

// A shred manager as the service makes it: no progress window, nobody to ask.
class SilentManager : public ShredManager {
public:
    SilentManager()
        : ShredManager(std::make_unique<ProgressReporter>(std::unique_ptr<ProgressWindow>()),
                       SilentShredUi())
    {
    }
};

// Every status a service body reports, in order.
class RecordingSink : public ServiceStatusSink {
public:
    bool Report(const SERVICE_STATUS& status) override;
    std::vector<SERVICE_STATUS> Reports();
    bool Reported(DWORD state);
    // Waits (bounded) until `state` has been reported.
    bool WaitFor(DWORD state);

private:
    std::mutex m_lock;
    std::vector<SERVICE_STATUS> m_reports;
};

// A pipe-name suffix no other test process uses.
std::wstring UniqueSuffix();

// The reply bytes of `text`: its UTF-16 code units and ONE zero byte.
std::string ReplyBytes(const std::wstring& text);
// The control message bytes of `text`, with or without its UTF-16 NUL.
std::string MessageBytes(const std::wstring& text, bool withNul = true);

// A raw client end of a bleach pipe in message mode. Opens retry until the
// server's listener has made the pipe (listeners start asynchronously).
class PipeClient {
public:
    bool Open(const std::wstring& name, bool forWriting);
    void Close() { m_pipe.reset(); }
    bool Write(const std::string& bytes);
    // One whole message; false on a broken pipe or when none came within
    // `timeoutMs` (the read is then cancelled). `error` tells which.
    bool Read(std::string& message, DWORD& error, DWORD timeoutMs = 20000);
    bool Read(std::string& message)
    {
        DWORD error = 0;
        return Read(message, error);
    }
    HANDLE Handle() const { return m_pipe.get(); }

private:
    win32::UniqueFile m_pipe;
    win32::UniqueHandleNull m_event;
};

// stalled_client.exe (beside the test program) run while it lives: sends
// `command` from its own process and `threadId` on `controlPipe`, then keeps the
// connection and never opens the status pipe. Given `statusPipe`, it reads the
// reply there and sends each of `laterCommands` after the reply to the one
// before. Released (and at the worst ended) when destroyed.
class StalledClient {
public:
    StalledClient(const std::wstring& controlPipe, int command, int threadId,
                  const std::wstring& statusPipe = {}, const std::vector<int>& laterCommands = {});
    ~StalledClient();
    StalledClient(const StalledClient&) = delete;
    StalledClient& operator=(const StalledClient&) = delete;

    bool Started() const { return m_process.Handle() != nullptr; }
    bool Running() { return !m_process.HasExited(); }

private:
    win32::UniqueHandleNull m_release;
    testsupport::ChildProcess m_process;
};

// A server on its own pipes with its own events, listening while it lives.
class TestServer {
public:
    explicit TestServer(const std::wstring& installFolder = L"C:\\Scoravel Test");
    ~TestServer();
    BleachServer& Server() { return *m_server; }
    const BleachPipeNames& Names() const { return m_names; }
    HANDLE StopEvent() const { return m_stop.get(); }
    HANDLE BleachEvent() const { return m_bleach.get(); }
    bool Start() { return m_server->StartListeners(); }

    // Waits (bounded) until the queue holds `count` requests.
    bool WaitForQueued(size_t count);

private:
    BleachPipeNames m_names;
    win32::UniqueHandleNull m_stop;
    win32::UniqueHandleNull m_bleach;
    std::unique_ptr<BleachServer> m_server;
};

// The bounded test volume: "T:\" when it is mapped and small (at most 1 GiB
// free and in total), else empty. Nothing is ever wiped without this check.
std::wstring BoundedTestDrive();
// Skips the test when T: is not the bounded volume.
#define REQUIRE_BOUNDED_VOLUME(drive)                             \
    const std::wstring drive = ::servicetest::BoundedTestDrive(); \
    if (drive.empty())                                            \
    GTEST_SKIP() << "T: is not the bounded test volume (run as root with the fixture)"

// Free bytes of `drive`, or 0.
uint64_t FreeBytes(const std::wstring& drive);

// A symbolic link made by the host (as a user could plant one): `link` must
// lie on T:, `target` on T: too or in the test prefix. Removed as a link
// when destroyed.
class PlantedLink {
public:
    PlantedLink(const std::wstring& link, const std::wstring& target);
    ~PlantedLink();
    bool Made() const { return m_made; }

private:
    std::string m_unixLink;
    bool m_made = false;
};

// Removes everything under T:\ left by a test (never follows links).
void ClearTestDrive(const std::wstring& drive);

std::string ReadWholeFile(const std::wstring& path);

}  // namespace servicetest
