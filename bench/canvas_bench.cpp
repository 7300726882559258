// Canvas composition: a full recomposition of a 4096 x 4096 canvas through 10 layers (modes
// normal, multiply, screen, overlay and colour), one 64 x 64 dirty rectangle through the same
// stack (what a brush dab costs), MergeInto of a full layer, and a plain copy of the same
// bytes as the bandwidth ceiling.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/canvas.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"

namespace {

using varnel::Canvas;
using varnel::Layer;
using varnel::Size;

constexpr int32_t kSide = 4096;
constexpr int32_t kLayers = 10;

std::unique_ptr<Layer> RandomLayer(std::mt19937& random, int32_t mode) {
  auto layer = std::make_unique<Layer>();
  layer->Create({kSide, kSide});
  for (int32_t y = 0; y < kSide; ++y) {
    uint32_t* row = layer->Row(y);
    for (int32_t x = 0; x < kSide; ++x) row[x] = random();
  }
  layer->DiscardBackups();
  layer->SetBlendMode(varnel::BlendMode{mode});
  layer->SetOpacity(90);
  return layer;
}

Canvas& SharedCanvas() {
  static Canvas* canvas = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(1032);
    auto* c = new Canvas;
    std::mt19937 random(10);
    const int32_t modes[] = {0, 1, 2, 13, 14};
    for (int32_t i = 0; i < kLayers; ++i) c->AppendLayer(RandomLayer(random, modes[i % 5]), false);
    c->ComposeAll();
    return c;
  }();
  return *canvas;
}

void BM_FullRecomposition(benchmark::State& state) {
  Canvas& canvas = SharedCanvas();
  for (auto _ : state) {
    canvas.ComposeAll();
    canvas.Composite().ClearDirty();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}

// The same bytes the composition reads and writes, copied: 10 layers read, the composite
// written once.
void BM_PlainPassOverTheSameBytes(benchmark::State& state) {
  Canvas& canvas = SharedCanvas();
  const size_t bytes = size_t{kSide} * kSide * 4;
  for (auto _ : state) {
    uint8_t* out = canvas.Composite().Bits();
    for (int32_t i = 0; i < kLayers; ++i) std::memcpy(out, canvas.GetLayer(i)->Bits(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes) * (kLayers + 1));
}

void BM_DirtyRectangle64(benchmark::State& state) {
  Canvas& canvas = SharedCanvas();
  int32_t step = 0;
  for (auto _ : state) {
    const int32_t x = (step * 577) % (kSide - 64), y = (step * 991) % (kSide - 64);
    ++step;
    canvas.Compose({x, y, x + 63, y + 63});
    canvas.Composite().ClearDirty();
  }
  state.SetItemsProcessed(state.iterations() * 64 * 64);
}

// The same rectangle every time, so its rows stay in the cache: the blending alone, without
// the wait for memory that a rectangle somewhere new has.
void BM_DirtyRectangle64InCache(benchmark::State& state) {
  Canvas& canvas = SharedCanvas();
  for (auto _ : state) {
    canvas.Compose({1000, 1000, 1063, 1063});
    canvas.Composite().ClearDirty();
  }
  state.SetItemsProcessed(state.iterations() * 64 * 64);
}

void BM_MergeIntoFullLayer(benchmark::State& state) {
  std::mt19937 random(11);
  auto target = RandomLayer(random, 0);
  auto source = RandomLayer(random, 1);
  for (auto _ : state) {
    Canvas::MergeInto(*target, *source);
    state.PauseTiming();
    target->Undo().ClearHistory();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}

// The whole stack merged into a new layer (統合), in one pass, against the same layers merged
// into a new layer one after the other as MergeDown does, each with its undo step.
void BM_MergeStackIntoNewLayer(benchmark::State& state) {
  Canvas& canvas = SharedCanvas();
  std::vector<int32_t> all(kLayers);
  for (int32_t i = 0; i < kLayers; ++i) all[static_cast<size_t>(i)] = i;
  for (auto _ : state) benchmark::DoNotOptimize(canvas.MergeIntoNewLayer(all));
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide * kLayers);
}

void BM_MergeLayersInTurnIntoNewLayer(benchmark::State& state) {
  Canvas& canvas = SharedCanvas();
  for (auto _ : state) {
    auto target = std::make_unique<Layer>();
    target->Create({kSide, kSide});
    for (int32_t i = 0; i < kLayers; ++i) Canvas::MergeInto(*target, *canvas.GetLayer(i));
    benchmark::DoNotOptimize(target);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide * kLayers);
}

// Large compositions run on two threads: wall-clock time is what counts.
BENCHMARK(BM_FullRecomposition)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PlainPassOverTheSameBytes)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_DirtyRectangle64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirtyRectangle64InCache)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MergeIntoFullLayer)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MergeStackIntoNewLayer)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_MergeLayersInTurnIntoNewLayer)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
