// Recovery copies of a 10-layer 4096 × 4096 picture: what the user-interface thread pays (the
// snapshot's start, then slices of copying no longer than the service allows, 8 ms, between
// events) and what the background thread pays (the layer file written from the snapshot).
// Fixed content, no randomness.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "document/recovery.h"

namespace varnel {
namespace {

constexpr int32_t kSide = 4096;
constexpr int32_t kLayers = 10;
constexpr double kSliceBudgetMs = 8.0;  // RecoveryService::kSliceMilliseconds
constexpr size_t kPiece = size_t{1} << 20;

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

Canvas& Picture() {
  static Canvas* canvas = [] {
    auto* c = new Canvas;
    for (int32_t i = 0; i < kLayers; ++i) {
      auto layer = std::make_unique<Layer>();
      layer->Create({kSide, kSide});
      for (int32_t y = 0; y < kSide; ++y) {
        uint32_t* row = layer->Row(y);
        for (int32_t x = 0; x < kSide; ++x) row[x] = static_cast<uint32_t>(i * 7919 + y * 31 + x) | 0x80000000u;
      }
      if (i == 0) c->InitWithLayer(std::move(layer));
      else c->AppendLayer(std::move(layer), false);
    }
    c->ComposeAll();
    return c;
  }();
  return *canvas;
}

// The user-interface thread's side as the service runs it: Begin, then slices of 1 MiB pieces
// until the budget is spent. Counters: the start, the longest slice and the number of slices.
void BM_SnapshotOnUiThread(benchmark::State& state) {
  Canvas& canvas = Picture();
  double longestSlice = 0, longestBegin = 0, slices = 0;
  for (auto _ : state) {
    const auto begun = Clock::now();
    auto snapshot = CanvasSnapshot::Begin(canvas, {});
    longestBegin = std::max(longestBegin, Milliseconds(Clock::now() - begun));
    int count = 0;
    for (auto progress = CanvasSnapshot::Progress::kMore; progress == CanvasSnapshot::Progress::kMore; ++count) {
      const auto start = Clock::now();
      bool waiting = false;
      do {
        const uint64_t before = snapshot->CopiedBytes();
        progress = snapshot->Step(canvas, kPiece);
        waiting = snapshot->CopiedBytes() == before;
      } while (progress == CanvasSnapshot::Progress::kMore && !waiting &&
               Milliseconds(Clock::now() - start) < kSliceBudgetMs);
      longestSlice = std::max(longestSlice, Milliseconds(Clock::now() - start));
      // As the service does: while the pages are being put in place, the next slice waits.
      if (waiting) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    slices = count;
    benchmark::DoNotOptimize(snapshot.get());
  }
  state.counters["begin_ms"] = longestBegin;
  state.counters["longest_slice_ms"] = longestSlice;
  state.counters["slices"] = slices;
  state.SetBytesProcessed(state.iterations() * int64_t{kLayers} * kSide * kSide * 4);
}
BENCHMARK(BM_SnapshotOnUiThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The whole copy in one go, as it would block painting without the slices.
void BM_SnapshotAtOnce(benchmark::State& state) {
  Canvas& canvas = Picture();
  for (auto _ : state) benchmark::DoNotOptimize(CanvasSnapshot::Take(canvas, {}).get());
  state.SetBytesProcessed(state.iterations() * int64_t{kLayers} * kSide * kSide * 4);
}
BENCHMARK(BM_SnapshotAtOnce)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The background thread's side: the layer file and its text file, renamed into place.
void BM_BackgroundWrite(benchmark::State& state) {
  Canvas& canvas = Picture();
  const auto snapshot = CanvasSnapshot::Take(canvas, {});
  const std::string folder = (std::filesystem::temp_directory_path() / "varnel-recovery-bench").string();
  const RecoveryStore store(folder);
  for (auto _ : state) benchmark::DoNotOptimize(store.Write(1, *snapshot, {"/a.vlb", "a.vlb", ""}));
  store.RemoveOwn();
  std::filesystem::remove(folder);
  state.SetBytesProcessed(state.iterations() * int64_t{kLayers} * kSide * kSide * 4);
}
BENCHMARK(BM_BackgroundWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace varnel

BENCHMARK_MAIN();
