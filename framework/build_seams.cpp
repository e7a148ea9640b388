#include "framework/build_seams.h"

#include <atomic>

namespace fw {

namespace {

std::atomic<bool (*)()> g_unattendedUi{nullptr};
std::atomic<std::wstring (*)()> g_bleachPipeSuffix{nullptr};

}  // namespace

void InstallBuildSeams(const BuildSeams& seams)
{
    g_unattendedUi = seams.unattendedUi;
    g_bleachPipeSuffix = seams.bleachPipeSuffix;
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

}  // namespace fw
