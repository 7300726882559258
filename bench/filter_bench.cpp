// The filter host's cost around a call, and the sample Gaussian blur beside libvips.
//
// Host overhead: a filter that does nothing run on a 4096 × 4096 layer the way "実行" runs it
// without a selection (every tile backed up into an undo step, then the call through
// FilterCommand), against BackupAll with its undo step alone. The undo writer is not started, so
// steps stay in memory and both sides pay the same; the history is cleared between iterations,
// untimed. Goal: at most 1.2 × BackupAll.
//
// Blur: SampleEffects' "Gaussian Blur" at radius 10 (sigma 5) against vips_gaussblur at sigma 5
// on the same 4096 × 4096 BGRA picture, one thread each, libvips without its operation cache.
// Both results are compared on a test card first: the counters max_diff and mean_diff tell how
// far the box approximation lies from a full Gaussian (libvips with min_ampl 0.001). Goal: at least 1.0 × libvips.
//
// Times are wall-clock: libvips works on a thread of its own even at one thread.
//
//   build/bench/filter_bench --benchmark_min_time=1

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "filters/filter_host.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"

#ifdef VARNEL_HAVE_VIPS
#include <vips/vips.h>
#endif

namespace {

using namespace varnel;

constexpr int32_t kSide = 4096;

void Prepare() {
  static const bool prepared = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    return true;
  }();
  (void)prepared;
}

// Random opaque pixels, seed 1.
void FillRandom(ImageSurface& surface, int32_t side) {
  surface.CreateWithAlpha({side, side}, 255);
  std::mt19937 random(1);
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x) surface.Row(y)[x] = random() | 0xFF000000u;
  surface.DiscardBackups();
}

const FilterLibraryList& Libraries() {
  static const FilterLibraryList list(VARNEL_BENCH_FILTER_DIR);
  return list;
}

const FilterLibrary& Samples() {
  static const FilterLibraryList list(VARNEL_PROGRAM_DIR "/Filter");
  const FilterLibrary* library = list.Find("SampleEffects.so");
  if (!library) std::abort();
  return *library;
}

void BM_BackupAllWithUndoStep(benchmark::State& state) {
  Prepare();
  ImageSurface surface;
  FillRandom(surface, kSide);
  for (auto _ : state) {
    surface.BackupAll(false, true);
    state.PauseTiming();
    surface.Undo().ClearHistory();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_BackupAllWithUndoStep)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FilterRunOfANoOpFilter(benchmark::State& state) {
  Prepare();
  ImageSurface surface;
  FillRandom(surface, kSide);
  const std::optional<FilterSelection> selection = SelectFilter(Libraries(), "filter_noop.so", "Nop");
  if (!selection) {
    state.SkipWithError("no filter_noop.so");
    return;
  }
  for (auto _ : state) {
    // What Canvas::ApplyOperation does without a selection, short of recomposing the view.
    surface.BackupAll(false, true);
    FilterCommand command(*selection, {});
    command.Execute(surface, 1);
    command.Execute(surface, 0);
    state.PauseTiming();
    surface.Undo().ClearHistory();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_FilterRunOfANoOpFilter)->Unit(benchmark::kMillisecond)->UseRealTime();

void SampleBlur(ImageSurface& surface, int32_t radius) {
  Samples().RunRealEntry("Gaussian Blur", surface, {radius}, nullptr);
}

#ifdef VARNEL_HAVE_VIPS
void InitVips() {
  static const bool ready = [] {
    if (VIPS_INIT("filter_bench")) std::abort();
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    return true;
  }();
  (void)ready;
}

// vips_gaussblur of a BGRA block (rows top first); the result written back over it. minAmpl
// below 0 keeps vips' own default (0.2), where its mask is cut off.
bool VipsBlur(uint8_t* pixels, int32_t width, int32_t height, double sigma, double minAmpl = -1) {
  VipsImage* in = vips_image_new_from_memory(pixels, size_t(width) * height * 4, width, height, 4, VIPS_FORMAT_UCHAR);
  VipsImage* out = nullptr;
  bool done = false;
  const int failed = !in ? -1
                     : minAmpl < 0 ? vips_gaussblur(in, &out, sigma, nullptr)
                                   : vips_gaussblur(in, &out, sigma, "min_ampl", minAmpl, nullptr);
  if (failed == 0) {
    size_t size = 0;
    void* result = vips_image_write_to_memory(out, &size);
    if (result && size == size_t(width) * height * 4) {
      std::memcpy(pixels, result, size);
      done = true;
    }
    g_free(result);
  }
  if (out) g_object_unref(out);
  if (in) g_object_unref(in);
  return done;
}

// Both blurs of a 512 × 512 card of 32-pixel squares: the largest and the mean difference of a
// channel, against libvips with its mask carried out to 0.1 % of the peak (a full Gaussian).
void CompareOnTestCard(benchmark::State& state) {
  constexpr int32_t kCard = 512;
  ImageSurface ours;
  ours.CreateWithAlpha({kCard, kCard}, 255);
  for (int32_t y = 0; y < kCard; ++y)
    for (int32_t x = 0; x < kCard; ++x) ours.Row(y)[x] = ((x / 32 + y / 32) % 2) ? 0xFFFFFFFFu : 0xFF000000u;
  ours.DiscardBackups();
  std::vector<uint8_t> theirs(size_t(kCard) * kCard * 4);
  for (int32_t y = 0; y < kCard; ++y) std::memcpy(&theirs[size_t(y) * kCard * 4], ours.Row(y), size_t(kCard) * 4);
  SampleBlur(ours, 10);
  if (!VipsBlur(theirs.data(), kCard, kCard, 5.0, 0.001)) {
    state.SkipWithError("vips_gaussblur failed");
    return;
  }
  int maxDiff = 0;
  double sum = 0;
  for (int32_t y = 0; y < kCard; ++y) {
    const auto* row = reinterpret_cast<const uint8_t*>(ours.Row(y));
    for (int32_t i = 0; i < kCard * 4; ++i) {
      const int diff = std::abs(int(row[i]) - int(theirs[size_t(y) * kCard * 4 + size_t(i)]));
      maxDiff = std::max(maxDiff, diff);
      sum += diff;
    }
  }
  state.counters["max_diff"] = maxDiff;
  state.counters["mean_diff"] = sum / (double(kCard) * kCard * 4);
}
#endif

void BM_SampleGaussianBlurRadius10(benchmark::State& state) {
  Prepare();
  ImageSurface source, surface;
  FillRandom(source, kSide);
  FillRandom(surface, kSide);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(surface.Bits(), source.Bits(), size_t(kSide) * kSide * 4);
    state.ResumeTiming();
    SampleBlur(surface, 10);
  }
#ifdef VARNEL_HAVE_VIPS
  InitVips();
  CompareOnTestCard(state);
#endif
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_SampleGaussianBlurRadius10)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef VARNEL_HAVE_VIPS
void BM_VipsGaussblurSigma5(benchmark::State& state) {
  Prepare();
  InitVips();
  ImageSurface source;
  FillRandom(source, kSide);
  std::vector<uint8_t> pixels(size_t(kSide) * kSide * 4);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(pixels.data(), source.Bits(), pixels.size());
    state.ResumeTiming();
    if (!VipsBlur(pixels.data(), kSide, kSide, 5.0)) state.SkipWithError("vips_gaussblur failed");
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_VipsGaussblurSigma5)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace
