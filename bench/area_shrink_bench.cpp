// Zoomed-out view drawing: a 4096 × 3072 picture shrunk to a quarter each way by averaging, side
// by side with Qt's smooth QImage::scaled (its own box-averaging shrink) in the same run. Items
// are source pixels.
//   build/bench/area_shrink_bench --benchmark_repetitions=6

#include <benchmark/benchmark.h>

#include <QImage>
#include <cstdint>
#include <vector>

#include "core/area_shrink.h"
#include "core/surface.h"

namespace {

using varnel::ImageSurface;

constexpr int32_t kWidth = 4096, kHeight = 3072, kShrink = 4;

// Brush-like strokes on white: the content matters little to either.
uint32_t PatternPixel(int32_t x, int32_t y) {
  return (x * 7 + y * 3) % 97 < 5 ? 0xFF203040u + static_cast<uint32_t>(x % 200) : 0xFFFFFFFFu;
}

void BM_ShrinkByAveraging(benchmark::State& state) {
  ImageSurface surface;
  if (surface.Create({kWidth, kHeight}) != 0) {
    state.SkipWithError("no memory");
    return;
  }
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) surface.Row(y)[x] = PatternPixel(x, y);
  std::vector<uint32_t> out(static_cast<size_t>(kWidth / kShrink) * (kHeight / kShrink));
  for (auto _ : state) {
    varnel::ShrinkByAveraging(surface, {0, 0, kWidth, kHeight}, kWidth / kShrink, kHeight / kShrink, out.data(),
                              kWidth / kShrink);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ShrinkByAveraging)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QImageSmoothScaled(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (int32_t y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int32_t x = 0; x < kWidth; ++x) row[x] = PatternPixel(x, y);
  }
  for (auto _ : state) {
    QImage shrunk = image.scaled(kWidth / kShrink, kHeight / kShrink, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    benchmark::DoNotOptimize(shrunk.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_QImageSmoothScaled)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
