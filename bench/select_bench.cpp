// The colour-based selections on a 4096 × 4096 picture: a background with a little noise
// (±2 per channel) under random discs of another colour that cover about half of it, clicked on
// the background with tolerance 4, so the fill covers about half the picture.
//
//   BM_FillSelect          fill select (the magic wand), RGB matcher
//   BM_OpenCvFloodFill     cv::floodFill on the same picture as BGR: 4-connectivity, fixed
//                          range ±4 per channel, mask only (the mask is cleared every run, as
//                          fill select allocates a cleared one)
//   BM_FuzzySelect         fuzzy select, RGB, tolerance 4 between neighbours
//   BM_ColourRange/<c>     colour range select with each matcher (0 RGB, 1 hue, 2 saturation,
//                          3 lightness); BM_ColourRangeScalarRgb is the RGB reference kernel
//   BM_MaskToRegion        the fill's mask into a trimmed region
//   BM_SelectionMode/<m>   the fill's region applied to a whole-picture soft selection in the
//                          selection tool's mode m (0 new, 1 add, 2 subtract); the undo step
//                          itself only keeps the old region, so it is left out
//
// Items are pixels of the picture.
//
//   build/bench/select_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "tools/colour_select.h"
#include "tools/colour_select_p.h"
#include "tools/selection_tool.h"

#if VARNEL_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using varnel::ColourComponent;
using varnel::ColourMatch;
using varnel::ColourMatcher;
using varnel::ImageSurface;

constexpr int32_t kSide = 4096;
constexpr int32_t kTolerance = 4;
constexpr uint32_t kBackground = 0xFF5A8CB4u;
constexpr uint32_t kDisc = 0xFFC8503Cu;

struct Picture {
  ImageSurface surface;
  int32_t seedX = 0;
  int32_t seedY = 0;

  Picture() {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(1032);
    if (surface.Create({kSide, kSide}) != 0) std::abort();
    std::vector<uint8_t> covered(size_t{kSide} * kSide, 0);
    std::mt19937 random(4096);
    size_t coveredCount = 0;
    while (coveredCount < size_t{kSide} * kSide / 2) {
      const int32_t cx = int32_t(random() % kSide), cy = int32_t(random() % kSide);
      const int32_t r = 20 + int32_t(random() % 100);
      for (int32_t y = std::max(0, cy - r); y <= std::min(kSide - 1, cy + r); ++y)
        for (int32_t x = std::max(0, cx - r); x <= std::min(kSide - 1, cx + r); ++x) {
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > r * r) continue;
          uint8_t& c = covered[size_t(y) * kSide + size_t(x)];
          coveredCount += c == 0;
          c = 1;
        }
    }
    for (int32_t y = 0; y < kSide; ++y) {
      uint32_t* row = surface.Row(y);
      for (int32_t x = 0; x < kSide; ++x) {
        const uint32_t base = covered[size_t(y) * kSide + size_t(x)] ? kDisc : kBackground;
        const uint32_t noise = random();
        uint32_t pixel = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
          const int32_t v = int32_t((base >> shift) & 0xFF) + int32_t((noise >> shift) % 5) - 2;
          pixel |= uint32_t(v) << shift;
        }
        row[x] = pixel;
      }
    }
    // The click lands on the background nearest the centre along the middle row.
    seedY = kSide / 2;
    for (seedX = kSide / 2; seedX < kSide && covered[size_t(seedY) * kSide + size_t(seedX)]; ++seedX) {
    }
    // The fill compares with the clicked pixel; a clicked pixel of the background colour itself
    // gives every background pixel (±2) the same chance.
    surface.Row(seedY)[seedX] = kBackground;
  }
};

const Picture& Shared() {
  static Picture picture;
  return picture;
}

size_t Selected(const std::vector<uint8_t>& mask) { return size_t(std::count(mask.begin(), mask.end(), 255)); }

void BM_FillSelect(benchmark::State& state) {
  const Picture& p = Shared();
  size_t selected = 0;
  for (auto _ : state) {
    std::vector<uint8_t> mask =
        varnel::FillSelectMask(p.surface, p.seedX, p.seedY, {ColourComponent::kRgb, kTolerance});
    benchmark::DoNotOptimize(mask.data());
    state.PauseTiming();
    selected = Selected(mask);
    state.ResumeTiming();
  }
  state.counters["selected %"] = 100.0 * double(selected) / (double(kSide) * kSide);
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_FillSelect)->Unit(benchmark::kMillisecond);

#if VARNEL_HAVE_OPENCV
void BM_OpenCvFloodFill(benchmark::State& state) {
  const Picture& p = Shared();
  cv::Mat bgr(kSide, kSide, CV_8UC3);
  for (int32_t y = 0; y < kSide; ++y) {
    const uint32_t* row = p.surface.Row(y);
    uint8_t* out = bgr.ptr<uint8_t>(y);
    for (int32_t x = 0; x < kSide; ++x) {
      out[3 * x] = uint8_t(row[x]);
      out[3 * x + 1] = uint8_t(row[x] >> 8);
      out[3 * x + 2] = uint8_t(row[x] >> 16);
    }
  }
  cv::Mat mask(kSide + 2, kSide + 2, CV_8UC1);
  const cv::Scalar range(kTolerance, kTolerance, kTolerance);
  const int flags = 4 | cv::FLOODFILL_FIXED_RANGE | cv::FLOODFILL_MASK_ONLY | (255 << 8);
  int filled = 0;
  for (auto _ : state) {
    mask.setTo(0);
    filled = cv::floodFill(bgr, mask, cv::Point(p.seedX, p.seedY), cv::Scalar(), nullptr, range, range, flags);
    benchmark::DoNotOptimize(mask.data);
  }
  state.counters["selected %"] = 100.0 * double(filled) / (double(kSide) * kSide);
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_OpenCvFloodFill)->Unit(benchmark::kMillisecond);
#endif

void BM_FuzzySelect(benchmark::State& state) {
  const Picture& p = Shared();
  size_t selected = 0;
  for (auto _ : state) {
    std::vector<uint8_t> mask =
        varnel::FuzzySelectMask(p.surface, p.seedX, p.seedY, {ColourComponent::kRgb, kTolerance});
    benchmark::DoNotOptimize(mask.data());
    state.PauseTiming();
    selected = Selected(mask);
    state.ResumeTiming();
  }
  state.counters["selected %"] = 100.0 * double(selected) / (double(kSide) * kSide);
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_FuzzySelect)->Unit(benchmark::kMillisecond);

void BM_ColourRange(benchmark::State& state) {
  const Picture& p = Shared();
  const ColourMatcher matcher({ColourComponent(state.range(0)), kTolerance}, kBackground);
  for (auto _ : state) {
    std::vector<uint8_t> mask = varnel::ColourRangeMask(p.surface, matcher);
    benchmark::DoNotOptimize(mask.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_ColourRange)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_ColourRangeScalarRgb(benchmark::State& state) {
  const Picture& p = Shared();
  std::vector<uint8_t> mask(size_t{kSide} * kSide);
  for (auto _ : state) {
    for (int32_t y = 0; y < kSide; ++y)
      varnel::colour_select_internal::ClassifyRgbScalar(p.surface.Row(y), kSide, kBackground, kTolerance, 255,
                                                        mask.data() + size_t(y) * kSide);
    benchmark::DoNotOptimize(mask.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_ColourRangeScalarRgb)->Unit(benchmark::kMillisecond);

void BM_MaskToRegion(benchmark::State& state) {
  const Picture& p = Shared();
  const std::vector<uint8_t> mask =
      varnel::FillSelectMask(p.surface, p.seedX, p.seedY, {ColourComponent::kRgb, kTolerance});
  for (auto _ : state) {
    varnel::Region region;
    varnel::MaskToRegion(mask, kSide, kSide, 0, 0, region);
    benchmark::DoNotOptimize(region.Mask());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_MaskToRegion)->Unit(benchmark::kMillisecond);

void BM_SelectionMode(benchmark::State& state) {
  const Picture& p = Shared();
  const std::vector<uint8_t> mask =
      varnel::FillSelectMask(p.surface, p.seedX, p.seedY, {ColourComponent::kRgb, kTolerance});
  varnel::Region fill;
  varnel::MaskToRegion(mask, kSide, kSide, 0, 0, fill);
  varnel::Region soft;
  soft.Create({0, 0, kSide - 1, kSide - 1}, 0);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) soft.Row(y)[x] = static_cast<uint8_t>(1 + (x ^ y) % 255);
  varnel::Canvas canvas;
  auto layer = std::make_unique<varnel::Layer>();
  layer->Create({kSide, kSide});
  canvas.InitWithLayer(std::move(layer));
  const int32_t mode = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto selection = std::make_unique<varnel::Region>();
    selection->CopyFrom(soft);
    canvas.SetSelection(std::move(selection));
    varnel::Region region;
    region.CopyFrom(fill);
    state.ResumeTiming();
    varnel::ApplySelectionMode(canvas, mode, region, false);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_SelectionMode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
