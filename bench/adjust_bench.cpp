// The colour adjustments on a 4096 × 4096 layer: the kernel alone and the whole canvas operation
// (tile backups and the undo step included), per adjustment; a plain copy of the same bytes as
// the bandwidth ceiling; and one refresh of a dialog's live preview over a 1920 × 1080 view
// (revert, adjust, merge, recompose), with and without a soft selection, over one and three
// layers. The picture is smooth gradients with noise on top, seeded.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "colour/adjustments.h"
#include "core/canvas.h"
#include "core/region.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"

namespace {

using varnel::Adjustment;

constexpr int32_t kSide = 4096;
constexpr int32_t kViewWidth = 1920, kViewHeight = 1080;

std::unique_ptr<varnel::Layer> Picture(int32_t width, int32_t height, uint32_t seed) {
  auto layer = std::make_unique<varnel::Layer>();
  if (layer->Create({width, height}) != 0) std::abort();
  std::mt19937 random(seed);
  for (int32_t y = 0; y < height; ++y) {
    uint32_t* row = layer->Row(y);
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t noise = random();
      const uint32_t r = (x * 255 / width + (noise & 31)) & 0xFF;
      const uint32_t g = (y * 255 / height + ((noise >> 8) & 31)) & 0xFF;
      const uint32_t b = ((x + y) * 127 / (width + height) + ((noise >> 16) & 63)) & 0xFF;
      row[x] = 0xFF000000u | r << 16 | g << 8 | b;
    }
  }
  layer->DiscardBackups();
  return layer;
}

varnel::ColourCurve Curve(int32_t channel, int32_t type, std::vector<varnel::CurvePoint> points) {
  varnel::ColourCurve curve;
  curve.channel = channel;
  curve.type = type;
  curve.points = std::move(points);
  return curve;
}

// The adjustments measured, by benchmark argument.
Adjustment Case(int64_t index, int32_t variation = 0) {
  const double lift = variation * 0.001;
  switch (index) {
    case 0: {  // RGB curves
      varnel::CurveSet set;
      set.curves[varnel::kCurveRed] = Curve(varnel::kCurveRed, varnel::kCurveBSpline, {{0.25, 0.35 + lift}, {0.75, 0.7}});
      set.curves[varnel::kCurveBlue] = Curve(varnel::kCurveBlue, varnel::kCurvePolyline, {{0.5, 0.4}});
      return set;
    }
    case 1: {  // value and saturation curves
      varnel::CurveSet set;
      set.curves[varnel::kCurveValue] = Curve(varnel::kCurveValue, varnel::kCurveBSpline, {{0.3, 0.4 + lift}, {0.7, 0.8}});
      set.curves[varnel::kCurveSaturation] = Curve(varnel::kCurveSaturation, varnel::kCurvePolyline, {{0.5, 0.7}});
      return set;
    }
    case 2: {  // hue curve
      varnel::CurveSet set;
      set.curves[varnel::kCurveHue] = Curve(varnel::kCurveHue, varnel::kCurveBSpline, {{0.2, 0.3 + lift}, {0.6, 0.5}});
      return set;
    }
    case 3:
      return varnel::BrightnessContrast{20 + variation, 30};
    case 4: {
      varnel::ToneBalance tone;
      tone.shifts[varnel::ToneBalance::kShadows] = {20 + variation, -10, 5};
      tone.shifts[varnel::ToneBalance::kHighlights] = {-15, 10, 30};
      return tone;
    }
    default:
      return varnel::RgbaValues{{300 + variation, 255, 200, 240}};
  }
}

const char* const kNames[] = {"curves-rgb", "curves-value-saturation", "curves-hue", "brightness-contrast",
                              "tone-balance", "rgba"};

void Pool() {
  static const bool made = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(1032);
    return true;
  }();
  (void)made;
}

varnel::Layer& SharedLayer() {
  static varnel::Layer* layer = Picture(kSide, kSide, 7).release();
  return *layer;
}

void BM_Kernel(benchmark::State& state) {
  Pool();
  varnel::Layer& layer = SharedLayer();
  const varnel::AdjustmentKernel kernel(Case(state.range(0)));
  for (auto _ : state) {
    kernel.ApplyToSurface(layer);
    benchmark::ClobberMemory();
  }
  state.SetLabel(kNames[state.range(0)]);
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_Kernel)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();

// One thread over the same layer: what one core does.
void BM_KernelOneThread(benchmark::State& state) {
  Pool();
  varnel::Layer& layer = SharedLayer();
  const varnel::AdjustmentKernel kernel(Case(state.range(0)));
  for (auto _ : state) {
    for (int32_t y = 0; y < kSide; ++y) kernel.Apply(layer.Row(y), kSide);
    benchmark::ClobberMemory();
  }
  state.SetLabel(kNames[state.range(0)]);
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_KernelOneThread)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// The same bytes read and written once, on one thread: what the memory allows.
void BM_CopyCeiling(benchmark::State& state) {
  varnel::Layer& layer = SharedLayer();
  std::vector<uint32_t> copy(size_t{kSide} * kSide);
  for (auto _ : state) {
    std::memcpy(copy.data(), layer.Bits(), copy.size() * sizeof(uint32_t));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_CopyCeiling)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole operation as the program runs it: every tile backed up into an undo step, the
// layer adjusted, the canvas recomposed.
void BM_Operation(benchmark::State& state) {
  Pool();
  varnel::Canvas canvas;
  canvas.InitWithLayer(Picture(kSide, kSide, 7));
  canvas.ComposeAll();
  const Adjustment adjustment = Case(state.range(0));
  for (auto _ : state) {
    varnel::ApplyAdjustment(canvas, adjustment);
    state.PauseTiming();
    canvas.ActiveLayer()->Undo().ClearHistory();
    canvas.Composite().ClearDirty();
    state.ResumeTiming();
  }
  state.SetLabel(kNames[state.range(0)]);
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_Operation)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();

// A soft ellipse over most of the view.
std::unique_ptr<varnel::Region> SoftSelection(int32_t left, int32_t top, int32_t width, int32_t height) {
  auto region = std::make_unique<varnel::Region>();
  if (region->Create({left, top, left + width - 1, top + height - 1}, 0) != 0) std::abort();
  const double cx = width / 2.0, cy = height / 2.0, rx = width * 0.45, ry = height * 0.45;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = region->Row(y);
    for (int32_t x = 0; x < width; ++x) {
      const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      row[x] = static_cast<uint8_t>(std::clamp((1.0 - std::sqrt(dx * dx + dy * dy)) * 10.0, 0.0, 1.0) * 255.0);
    }
  }
  return region;
}

// One change of a dialog's value: the preview reverts what it showed, adjusts the part of the
// layer a full-HD view shows, and recomposes it. Arguments: the adjustment, the layer count, and
// whether a soft selection is set.
void BM_PreviewRefresh(benchmark::State& state) {
  Pool();
  varnel::Canvas canvas;
  const int32_t layers = static_cast<int32_t>(state.range(1));
  for (int32_t i = 0; i < layers; ++i) {
    auto layer = Picture(kSide, kSide, 11 + static_cast<uint32_t>(i));
    if (i > 0) layer->SetOpacity(60);
    canvas.AppendLayer(std::move(layer), false);
  }
  canvas.SetActiveLayer(0);
  const varnel::Rect view{1000, 1000, 1000 + kViewWidth - 1, 1000 + kViewHeight - 1};
  if (state.range(2) != 0) canvas.SetSelection(SoftSelection(view.left, view.top, kViewWidth, kViewHeight));
  canvas.ComposeAll();
  varnel::AdjustmentPreview preview(canvas);
  int32_t variation = 0;
  for (auto _ : state) {
    preview.Show(Case(state.range(0), variation), view);
    variation = (variation + 1) % 16;
    canvas.Composite().ClearDirty();
  }
  preview.Revert();
  state.SetLabel(std::string(kNames[state.range(0)]) + (state.range(2) ? ", soft selection" : ""));
  state.SetItemsProcessed(state.iterations() * int64_t{kViewWidth} * kViewHeight);
}
BENCHMARK(BM_PreviewRefresh)
    ->ArgNames({"adjustment", "layers", "selection"})
    ->Args({0, 1, 0})
    ->Args({2, 1, 0})
    ->Args({3, 1, 0})
    ->Args({3, 3, 0})
    ->Args({3, 1, 1})
    ->Args({2, 3, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
