#include "platform/crt_rand.h"

#include <atomic>

namespace varnel {
namespace {

std::atomic<uint32_t> g_state{1};

constexpr uint32_t Step(uint32_t state) { return state * 214013u + 2531011u; }

}  // namespace

int CrtRand() {
  // A compare-exchange loop rather than a mutex: every caller gets its own step of the one
  // sequence, so concurrent callers never see the same value twice for one step.
  uint32_t state = g_state.load(std::memory_order_relaxed);
  uint32_t next = Step(state);
  while (!g_state.compare_exchange_weak(state, next, std::memory_order_relaxed)) {
    next = Step(state);
  }
  return static_cast<int>((next >> 16) & 0x7FFF);
}

void CrtSrand(uint32_t seed) { g_state.store(seed, std::memory_order_relaxed); }

}  // namespace varnel
