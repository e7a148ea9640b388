// The whole disk bleach through the real channels: Wardelle.exe installed
// in the service manager as "Wardelle", the resident Graventa.exe asked by
// "Graventa.exe DiskBleach", balloons on a stand-in tray pipe. Runs only in
// the prefix that scripts/bleach-e2e.sh makes, whose C: is a small tmpfs;
// it refuses any C: with 1 GiB or more free, so never the host disk.
#include "engine/free_space_wipe.h"
#include "program/bleach_operation.h"
#include "service/service_frame.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/tray_recorder.h"
#include "tests/program/graventa_test_support.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

using graventatest::BuiltProgram;
using graventatest::GraventaProcess;
using testsupport::WaitUntil;

constexpr wchar_t kDrive[] = L"C:\\";
constexpr wchar_t kInstall[] = L"C:\\Scoravel";
constexpr uint64_t kMaxBytes = 1ull << 30;

uint64_t FreeBytes()
{
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER freeTotal{};
    if (!::GetDiskFreeSpaceExW(kDrive, &available, &total, &freeTotal))
        return 0;
    return freeTotal.QuadPart;
}

bool IsBoundedSystemDrive()
{
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER freeTotal{};
    if (!::GetDiskFreeSpaceExW(kDrive, &available, &total, &freeTotal))
        return false;
    return freeTotal.QuadPart < kMaxBytes && total.QuadPart < kMaxBytes;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Nothing named like the wipe's temp folders is left on the drive.
bool NoTempFolderLeft()
{
    WIN32_FIND_DATAW found{};
    win32::UniqueFind find(::FindFirstFileW(L"C:\\ShredderTemp*", &found));
    return !find;
}

// The least free space seen while it lives: the wipe really filled the drive.
class FreeSpaceWatch {
public:
    FreeSpaceWatch()
        : m_least(FreeBytes()), m_thread([this] {
              while (!m_stop) {
                  const uint64_t now = FreeBytes();
                  if (now != 0)
                      m_least = std::min<uint64_t>(m_least, now);
                  ::Sleep(2);
              }
          })
    {
    }
    ~FreeSpaceWatch() { Stop(); }
    uint64_t Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_least;
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_least;
    std::thread m_thread;
};

bool MutexIsFree()
{
    win32::UniqueHandleNull mutex(::CreateMutexW(nullptr, FALSE, kBleachSystemMutex));
    return mutex && ::GetLastError() != ERROR_ALREADY_EXISTS;
}

bool StateIs(SC_HANDLE service, DWORD state)
{
    SERVICE_STATUS status{};
    return ::QueryServiceStatus(service, &status) && status.dwCurrentState == state;
}

// Stops and removes the product's service whatever the test did.
struct ServiceRemoval {
    ~ServiceRemoval()
    {
        win32::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager)
            return;
        win32::UniqueService service(
            ::OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
        if (!service)
            return;
        SERVICE_STATUS status{};
        ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        WaitUntil([&] { return StateIs(service.get(), SERVICE_STOPPED); });
        service.reset();
        RemoveServiceNamed(kServiceName, kServiceDisplayName);
    }
};

TEST(BleachEndToEnd, WipesTheBoundedSystemDriveThroughTheInstalledService)
{
    // The one guard between this test and a real disk.
    ASSERT_TRUE(IsBoundedSystemDrive()) << "C: is not a bounded volume: refusing to bleach it";

    ASSERT_TRUE(::CreateDirectoryW(kInstall, nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    const std::wstring install = kInstall;
    const std::wstring wardelle = install + L"\\Wardelle.exe";
    const std::wstring graventa = install + L"\\Graventa.exe";
    ASSERT_TRUE(::CopyFileW(BuiltProgram(SCORAVEL_WARDELLE_EXE).c_str(), wardelle.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(BuiltProgram(SCORAVEL_GRAVENTA_EXE).c_str(), graventa.c_str(), FALSE));
    testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                           install);

    win32::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    ServiceRemoval removal;
    testsupport::ChildOptions inInstall;
    inInstall.folder = kInstall;
    ASSERT_TRUE(testsupport::RunAndWait(wardelle, L"install", inInstall));
    win32::UniqueService service(::OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service) << "\"Wardelle.exe install\" made no service";
    // An auto-start service may already be up from an earlier Wine start.
    if (!::StartServiceW(service.get(), 0, nullptr)) {
        ASSERT_EQ(static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING), ::GetLastError());
    }
    ASSERT_TRUE(WaitUntil([&] { return StateIs(service.get(), SERVICE_RUNNING); }));

    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    GraventaProcess resident;
    ASSERT_TRUE(resident.Start(graventa, {}, install));
    ASSERT_TRUE(resident.WaitForWindow());

    const uint64_t freeBefore = FreeBytes();
    ASSERT_GT(freeBefore, 0u);
    FreeSpaceWatch watch;
    GraventaProcess verb;
    ASSERT_TRUE(verb.Start(graventa, {L"DiskBleach"}, install));
    ASSERT_TRUE(verb.WaitForExit(graventatest::kPatienceMs));

    ASSERT_TRUE(balloons.WaitForBalloon(42));
    ASSERT_TRUE(balloons.WaitForBalloon(44));
    const uint64_t leastFree = watch.Stop();
    EXPECT_LT(leastFree, freeBefore / 4) << "the wipe never filled C:";
    const auto shown = balloons.Balloons();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].id, 42);
    EXPECT_EQ(shown[1].id, 44);
    EXPECT_EQ(shown[1].title, L"Free Space Bleaching complete");

    wchar_t user[MAX_PATH + 1] = {};
    DWORD cchUser = ARRAYSIZE(user);
    ASSERT_TRUE(::GetUserNameW(user, &cchUser));
    const std::wstring log = install + L"\\" + user + L"_DiskBleachLog.txt";
    ASSERT_TRUE(WaitUntil([&] { return Exists(log) && graventatest::IsClosedFile(log); })) << log;
    const std::string logText = graventatest::ReadText(log);
    EXPECT_EQ(graventatest::CountOf(logText, "DiskBleach completed successfully"), 1u) << logText;

    const std::wstring temp = std::wstring(kDrive) + freespace::kTempFolderName;
    const std::wstring phaseThree = std::wstring(kDrive) + freespace::kPhaseThreeFolderName;
    EXPECT_TRUE(
        WaitUntil([&] { return !Exists(temp) && !Exists(phaseThree) && NoTempFolderLeft(); }));
    // Given back: what the log and its folder took aside, the same free space.
    EXPECT_TRUE(WaitUntil([&] {
        const uint64_t after = FreeBytes();
        return after + (1u << 20) >= freeBefore && after <= freeBefore + (1u << 20);
    })) << freeBefore
        << " before, " << FreeBytes() << " after";
    EXPECT_TRUE(WaitUntil(MutexIsFree));

    resident.Stop();
    SERVICE_STATUS status{};
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(WaitUntil([&] { return StateIs(service.get(), SERVICE_STOPPED); }));
    service.reset();
    EXPECT_TRUE(RemoveServiceNamed(kServiceName, kServiceDisplayName));
    EXPECT_TRUE(WaitUntil([&] {
        win32::UniqueService gone(
            ::OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
        return !gone;
    }));
}

}  // namespace
