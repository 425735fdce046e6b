#include "render/cBlockRenderUserData.h"

#include <atomic>

namespace {
const cBlockRenderUserData kNone;
std::atomic<const cBlockRenderUserData*> g_userData {&kNone};
}  // namespace

const cBlockRenderUserData& cBlockRenderUserData::current()
{
    return *g_userData.load(std::memory_order_acquire);
}

void cBlockRenderUserData::install(const cBlockRenderUserData* userData)
{
    g_userData.store(userData != nullptr ? userData : &kNone, std::memory_order_release);
}
