#include "engine/bookfile/cBkSearchHitHooks.h"

#include <atomic>

namespace {
const cBkSearchHitHooks kNoHits;
std::atomic<const cBkSearchHitHooks*> g_hooks {&kNoHits};
}  // namespace

const cBkSearchHitHooks& cBkSearchHitHooks::current()
{
    return *g_hooks.load(std::memory_order_acquire);
}

void cBkSearchHitHooks::install(const cBkSearchHitHooks* hooks)
{
    g_hooks.store(hooks != nullptr ? hooks : &kNoHits, std::memory_order_release);
}
