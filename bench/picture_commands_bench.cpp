// What a painter waits for around a selection: the view shading the area outside it on every
// redraw of a full-HD window (per mode, in pixels per second), and filling it on a 2048² layer.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/canvas.h"
#include "core/layer.h"
#include "document/picture_commands.h"
#include "core/region.h"

namespace {

// An ellipse with a soft 24-pixel rim over most of the area.
std::unique_ptr<varnel::Region> SoftEllipse(int32_t width, int32_t height) {
  auto region = std::make_unique<varnel::Region>();
  if (region->Create({0, 0, width - 1, height - 1}, 0) != 0) std::abort();
  const double cx = width / 2.0, cy = height / 2.0, rx = width * 0.4, ry = height * 0.4;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = region->Row(y);
    for (int32_t x = 0; x < width; ++x) {
      const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      const double inside = (1.0 - std::sqrt(dx * dx + dy * dy)) * std::min(rx, ry) / 24.0;
      row[x] = static_cast<uint8_t>(std::clamp(inside, 0.0, 1.0) * 255.0);
    }
  }
  return region;
}

void BM_ShowOutsideSelection(benchmark::State& state) {
  constexpr int32_t kWidth = 1920, kHeight = 1080;
  const auto selection = SoftEllipse(kWidth, kHeight);
  std::vector<uint32_t> picture(size_t{kWidth} * kHeight, 0xFF808080u);
  std::vector<uint32_t> shown(picture.size());
  const int32_t mode = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    // The view shades a fresh copy of the composite each time.
    std::copy(picture.begin(), picture.end(), shown.begin());
    varnel::ShowOutsideSelection(mode, selection.get(), {0, 0, kWidth - 1, kHeight - 1}, shown.data(), kWidth);
    benchmark::DoNotOptimize(shown.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ShowOutsideSelection)
    ->ArgName("mode")
    ->DenseRange(1, 6)
    ->Unit(benchmark::kMillisecond);

void BM_FillSelection(benchmark::State& state) {
  constexpr int32_t kSide = 2048;
  varnel::Canvas canvas;
  auto layer = std::make_unique<varnel::Layer>();
  if (layer->Create({kSide, kSide}) != 0) std::abort();
  canvas.InitWithLayer(std::move(layer));
  canvas.ReplaceSelection(SoftEllipse(kSide, kSide), false);
  uint32_t colour = 0xFF102030u;
  for (auto _ : state) {
    varnel::FillSelection(canvas, colour ^= 0x00FFFFFFu);
    // Each fill records its undo step; the history is not what is measured.
    state.PauseTiming();
    canvas.ActiveLayer()->Undo().ClearHistory();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_FillSelection)->Unit(benchmark::kMillisecond);

}  // namespace
