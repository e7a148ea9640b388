#include "framework/com/com_object.h"

#include <atomic>

namespace {
std::atomic<long> g_liveObjects{0};
}  // namespace

namespace fw {

long LiveComObjects()
{
    return g_liveObjects.load();
}

namespace detail {
void ComObjectCreated()
{
    ++g_liveObjects;
}
void ComObjectDestroyed()
{
    --g_liveObjects;
}
}  // namespace detail

}  // namespace fw
