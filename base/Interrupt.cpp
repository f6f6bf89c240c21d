#include "base/Interrupt.h"

#include <atomic>

namespace qx {
namespace {

std::atomic<bool> g_interrupt{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from signal handlers");

}  // namespace

void RequestInterrupt() { g_interrupt.store(true, std::memory_order_relaxed); }
bool InterruptRequested() { return g_interrupt.load(std::memory_order_relaxed); }
void ClearInterrupt() { g_interrupt.store(false, std::memory_order_relaxed); }

}  // namespace qx
