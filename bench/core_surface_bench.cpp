// ImageSurface rectangle and pixel throughput on a 1024 x 1024 image. Items are pixels.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "core/surface.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"

namespace {

using varnel::ImageSurface;
using varnel::Rect;
using varnel::Size;

constexpr int32_t kImageSide = 1024;
constexpr int32_t kPatch = 64;
constexpr int64_t kPatchPixels = kPatch * kPatch;

void MakeSurface(ImageSurface& surface) {
  varnel::TuneAllocatorForPainting();
  FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
  surface.Create(Size{kImageSide, kImageSide});
}

// Patches walk across the image on the tile grid so each lands on 16 fresh tiles.
Rect PatchAt(int64_t index) {
  const int32_t across = kImageSide / kPatch;
  const auto cell = static_cast<int32_t>(index % (across * across));
  const int32_t left = (cell % across) * kPatch;
  const int32_t top = (cell / across) * kPatch;
  return Rect{left, top, left + kPatch - 1, top + kPatch - 1};
}

void BM_SetRectWithBackups(benchmark::State& state) {
  ImageSurface surface;
  MakeSurface(surface);
  const std::vector<uint32_t> buffer(kPatchPixels, 0x80402010u);
  int64_t index = 0;
  for (auto _ : state) {
    surface.SetRect(PatchAt(index++), buffer.data());
    state.PauseTiming();
    surface.DiscardBackups();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kPatchPixels);
}
BENCHMARK(BM_SetRectWithBackups);

// The same without pausing: each iteration also pays for returning its 16 blocks.
void BM_SetRectWithBackupsAndDiscard(benchmark::State& state) {
  ImageSurface surface;
  MakeSurface(surface);
  const std::vector<uint32_t> buffer(kPatchPixels, 0x80402010u);
  int64_t index = 0;
  for (auto _ : state) {
    surface.SetRect(PatchAt(index++), buffer.data());
    surface.DiscardBackups();
  }
  state.SetItemsProcessed(state.iterations() * kPatchPixels);
}
BENCHMARK(BM_SetRectWithBackupsAndDiscard);

void BM_SetRectRestoring(benchmark::State& state) {
  ImageSurface surface;
  MakeSurface(surface);
  surface.SetRestoring(true);
  const std::vector<uint32_t> buffer(kPatchPixels, 0x80402010u);
  int64_t index = 0;
  for (auto _ : state) {
    surface.SetRect(PatchAt(index++), buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * kPatchPixels);
}
BENCHMARK(BM_SetRectRestoring);

void BM_GetRect(benchmark::State& state) {
  ImageSurface surface;
  MakeSurface(surface);
  std::vector<uint32_t> buffer(kPatchPixels);
  int64_t index = 0;
  for (auto _ : state) {
    surface.GetRect(PatchAt(index++), buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPatchPixels);
}
BENCHMARK(BM_GetRect);

void BM_SetPixelArea(benchmark::State& state) {
  ImageSurface surface;
  MakeSurface(surface);
  int64_t index = 0;
  for (auto _ : state) {
    const Rect patch = PatchAt(index++);
    for (int32_t y = patch.top; y <= patch.bottom; ++y) {
      for (int32_t x = patch.left; x <= patch.right; ++x) {
        surface.SetPixel(x, y, static_cast<uint32_t>(x ^ y));
      }
    }
    state.PauseTiming();
    surface.DiscardBackups();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kPatchPixels);
}
BENCHMARK(BM_SetPixelArea);

}  // namespace
