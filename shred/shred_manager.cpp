// The shred manager's own state: settings, log folder and progress. The runs
// and their erase method (shred_runs.cpp) and the list builder
// (shred_list.cpp) are apart, so that the bleach service, which uses only
// this part, links no trace catalogue and no asset erasers.
#include "shred/shred_manager.h"

#include "engine/eraser.h"
#include "settings/install_location.h"

namespace {

class SilentUi : public IShredUi {
public:
    bool Ask(const std::wstring&) override { return false; }
    void Warn(const std::wstring&) override {}
    void Balloon(const std::wstring&, const std::wstring&, int) override {}
};

}  // namespace

IShredUi& SilentShredUi()
{
    static SilentUi ui;
    return ui;
}

ShredManager::ShredManager(std::unique_ptr<ProgressReporter> progress, IShredUi& ui)
    : m_ui(&ui), m_logFolder(kDefaultInstallFolder), m_progress(std::move(progress))
{
}

ShredManager::~ShredManager()
{
    // The assets go before the erase method that may still refer to them.
    ClearAssets();
    m_eraser.reset();
}

void ShredManager::Init()
{
    if (m_progress)
        m_progress->SetPercent(0);
    m_settings.LoadCurrent();
    const std::wstring installFolder = ReadInstallLocation();
    if (!installFolder.empty())
        m_logFolder = installFolder;
    m_stopped = false;
}

std::wstring ShredManager::LogPath() const
{
    std::wstring path;
    return Eraser::ShredLogPath(m_logFolder, path) ? path : std::wstring();
}

void ShredManager::ClearAssets()
{
    while (!m_assets.empty())
        m_assets.pop_front();
}
