#include "engine/shred_manager.h"

namespace {
thread_local ShredManager* t_currentShredManager = nullptr;
}

ShredManager::ShredManager() : m_progress(std::make_unique<ProgressReporter>()) {}

ShredManager::ShredManager(bool silent) : m_progress(std::make_unique<ProgressReporter>(silent)) {}

ShredManager::ShredManager(std::unique_ptr<ProgressReporter> progress)
    : m_progress(std::move(progress))
{
}

ShredManager::~ShredManager() = default;

ShredManager* CurrentShredManager()
{
    return t_currentShredManager;
}

void SetCurrentShredManager(ShredManager* manager)
{
    t_currentShredManager = manager;
}
