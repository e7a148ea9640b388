#include "engine/shred_manager.h"

namespace {
// Each operation thread runs its own job; the engine on that thread must see
// that job's manager and no other.
thread_local ShredManager* t_currentShredManager = nullptr;
}  // namespace

ShredManager* CurrentShredManager()
{
    return t_currentShredManager;
}

void SetCurrentShredManager(ShredManager* manager)
{
    t_currentShredManager = manager;
}
