// The resamplers and the rotation of Transformer against libvips in the same run: 4096 × 4096
// enlarged to 8192 × 8192 with "通常" (vips affine, bilinear) and "Cubic B-Spline" (vips
// affine, bicubic), shrunk to 1024 × 1024 by area averaging (vips shrink) and turned by 30°
// (vips rotate, bilinear). libvips runs on one thread without its operation cache; Varnel's
// fast path uses both cores for a whole image, its reference path one. Items are output pixels.
//
//   build/bench/transform_bench --benchmark_min_time=1

#include <benchmark/benchmark.h>
#include <vips/vips.h>

#include <cstdlib>
#include <memory>
#include <random>

#include "core/surface.h"
#include "transformer/transformer.h"

namespace {

using namespace varnel;

constexpr int32_t kSide = 4096;

// One random 4096 × 4096 picture for every benchmark (seed 1).
const ImageSurface& Source() {
  static const std::unique_ptr<ImageSurface> source = [] {
    auto surface = std::make_unique<ImageSurface>();
    surface->CreateWithAlpha({kSide, kSide}, 255);
    std::mt19937 random(1);
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) surface->Row(y)[x] = random() | 0xFF000000u;
    surface->DiscardBackups();
    return surface;
  }();
  return *source;
}

void RunResize(benchmark::State& state, Size to, ResampleMethod method, TransformPath path) {
  const ImageSurface& source = Source();
  ImageSurface target;
  target.CreateWithAlpha(to, 0);
  for (auto _ : state) {
    ResizeImage(*source.Descriptor(), *target.Descriptor(), method, path);
    benchmark::DoNotOptimize(target.Bits());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(to.width) * to.height);
}

void RunRotate(benchmark::State& state, TransformPath path) {
  const ImageSurface& source = Source();
  const double angle = TypedRotationAngle(30);
  const RotatedBounds bounds = RotatedBoundingSize(angle, kSide, kSide);
  ImageSurface target;
  target.CreateWithAlpha({bounds.width, bounds.height}, 0);
  for (auto _ : state) {
    RotateImage(*source.Descriptor(), *target.Descriptor(), angle, path);
    benchmark::DoNotOptimize(target.Bits());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(bounds.width) * bounds.height);
}

void BM_VarnelEnlargeBilinear(benchmark::State& s) { RunResize(s, {8192, 8192}, ResampleMethod::kBilinear, TransformPath::kFast); }
void BM_VarnelEnlargeBilinearReference(benchmark::State& s) {
  RunResize(s, {8192, 8192}, ResampleMethod::kBilinear, TransformPath::kReference);
}
void BM_VarnelEnlargeCubicBSpline(benchmark::State& s) {
  RunResize(s, {8192, 8192}, ResampleMethod::kCubicBSpline, TransformPath::kFast);
}
void BM_VarnelEnlargeCubicBSplineReference(benchmark::State& s) {
  RunResize(s, {8192, 8192}, ResampleMethod::kCubicBSpline, TransformPath::kReference);
}
void BM_VarnelShrinkArea(benchmark::State& s) { RunResize(s, {1024, 1024}, ResampleMethod::kBilinear, TransformPath::kFast); }
void BM_VarnelShrinkAreaReference(benchmark::State& s) {
  RunResize(s, {1024, 1024}, ResampleMethod::kBilinear, TransformPath::kReference);
}
void BM_VarnelRotate30(benchmark::State& s) { RunRotate(s, TransformPath::kFast); }
void BM_VarnelRotate30Reference(benchmark::State& s) { RunRotate(s, TransformPath::kReference); }

// ---- libvips -------------------------------------------------------------------------------

VipsImage* VipsSource() {
  static VipsImage* image = [] {
    if (VIPS_INIT("transform_bench")) std::abort();
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    return vips_image_new_from_memory(Source().Bits(), size_t(kSide) * kSide * 4, kSide, kSide, 4, VIPS_FORMAT_UCHAR);
  }();
  return image;
}

// Runs the operation and writes every output pixel to memory, as Varnel writes its target.
template <typename Operation>
void RunVips(benchmark::State& state, Operation operation) {
  VipsImage* source = VipsSource();
  int64_t pixels = 0;
  for (auto _ : state) {
    VipsImage* out = nullptr;
    if (operation(source, &out) != 0) {
      state.SkipWithError(vips_error_buffer());
      return;
    }
    size_t bytes = 0;
    void* memory = vips_image_write_to_memory(out, &bytes);
    benchmark::DoNotOptimize(memory);
    pixels += int64_t(out->Xsize) * out->Ysize;
    g_free(memory);
    g_object_unref(out);
  }
  state.SetItemsProcessed(pixels);
}

void BM_VipsAffineBilinear(benchmark::State& s) {
  RunVips(s, [](VipsImage* in, VipsImage** out) {
    VipsInterpolate* interpolate = vips_interpolate_new("bilinear");
    const int result = vips_affine(in, out, 2.0, 0.0, 0.0, 2.0, "interpolate", interpolate, nullptr);
    g_object_unref(interpolate);
    return result;
  });
}
void BM_VipsAffineBicubic(benchmark::State& s) {
  RunVips(s, [](VipsImage* in, VipsImage** out) {
    VipsInterpolate* interpolate = vips_interpolate_new("bicubic");
    const int result = vips_affine(in, out, 2.0, 0.0, 0.0, 2.0, "interpolate", interpolate, nullptr);
    g_object_unref(interpolate);
    return result;
  });
}
void BM_VipsShrink(benchmark::State& s) {
  RunVips(s, [](VipsImage* in, VipsImage** out) { return vips_shrink(in, out, 4.0, 4.0, nullptr); });
}
void BM_VipsRotate30(benchmark::State& s) {
  RunVips(s, [](VipsImage* in, VipsImage** out) {
    VipsInterpolate* interpolate = vips_interpolate_new("bilinear");
    const int result = vips_rotate(in, out, 30.0, "interpolate", interpolate, nullptr);
    g_object_unref(interpolate);
    return result;
  });
}

// The references take seconds an image: one run each is enough to compare.
BENCHMARK(BM_VarnelEnlargeBilinear)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VarnelEnlargeBilinearReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_VipsAffineBilinear)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VarnelEnlargeCubicBSpline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VarnelEnlargeCubicBSplineReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_VipsAffineBicubic)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VarnelShrinkArea)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VarnelShrinkAreaReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_VipsShrink)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VarnelRotate30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VarnelRotate30Reference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_VipsRotate30)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
