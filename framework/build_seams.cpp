#include "framework/build_seams.h"

#include <atomic>

namespace fw {

namespace {

std::atomic<bool (*)()> g_unattendedUi{nullptr};
std::atomic<std::wstring (*)()> g_bleachPipeSuffix{nullptr};
std::atomic<DWORD (*)(DWORD)> g_desktopIconPauseMs{nullptr};

}  // namespace

void InstallBuildSeams(const BuildSeams& seams)
{
    g_unattendedUi = seams.unattendedUi;
    g_bleachPipeSuffix = seams.bleachPipeSuffix;
    g_desktopIconPauseMs = seams.desktopIconPauseMs;
}

bool UnattendedUi()
{
    const auto seam = g_unattendedUi.load();
    return seam && seam();
}

std::wstring BleachPipeSuffix()
{
    const auto seam = g_bleachPipeSuffix.load();
    return seam ? seam() : std::wstring();
}

DWORD DesktopIconPauseMs(DWORD shipped)
{
    const auto seam = g_desktopIconPauseMs.load();
    return seam ? seam(shipped) : shipped;
}

}  // namespace fw
