// Memwell against the system allocator for tile-sized blocks: single take/return pairs and
// bursts like a large brush stroke backing up many tiles at once.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "memwell/memwell.h"

namespace {

constexpr int kBlockSize = 1032;
constexpr int kBurst = 256;

void EnsurePool() {
  // Only the first call creates the pool; the rest are ignored.
  FXCreateMemBlock(kBlockSize);
}

void BM_MemwellAllocFree(benchmark::State& state) {
  EnsurePool();
  for (auto _ : state) {
    void* block = FXAlloc();
    benchmark::DoNotOptimize(block);
    FXFree(block);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemwellAllocFree);

void BM_MallocFree(benchmark::State& state) {
  for (auto _ : state) {
    void* block = std::malloc(kBlockSize);
    benchmark::DoNotOptimize(block);
    std::free(block);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MallocFree);

void BM_MemwellBurst(benchmark::State& state) {
  EnsurePool();
  std::vector<void*> blocks(kBurst);
  for (auto _ : state) {
    for (int i = 0; i < kBurst; ++i) {
      blocks[i] = FXAlloc();
    }
    benchmark::ClobberMemory();
    for (int i = 0; i < kBurst; ++i) {
      FXFree(blocks[i]);
    }
  }
  state.SetItemsProcessed(state.iterations() * kBurst);
}
BENCHMARK(BM_MemwellBurst);

void BM_MallocBurst(benchmark::State& state) {
  std::vector<void*> blocks(kBurst);
  for (auto _ : state) {
    for (int i = 0; i < kBurst; ++i) {
      blocks[i] = std::malloc(kBlockSize);
    }
    benchmark::ClobberMemory();
    for (int i = 0; i < kBurst; ++i) {
      std::free(blocks[i]);
    }
  }
  state.SetItemsProcessed(state.iterations() * kBurst);
}
BENCHMARK(BM_MallocBurst);

}  // namespace
