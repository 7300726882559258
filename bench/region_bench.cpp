// Region operations on a 2000 × 2000 soft selection, in pixels per second: Feather's fast
// path against the reference, and the one-step morphology and inversion for scale.
// Compare BM_Feather/32 with BM_FeatherReference/32. BM_FeatherNoise* feather random bytes
// everywhere, where no window is all 0 or all 255: the kernels' worst case.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "core/region.h"
#include "core/region_feather_p.h"

namespace {

constexpr int32_t kSide = 2000;

// A disc of radius 800 whose 40-pixel rim falls off linearly, with noise on the rim: the
// kind of selection a soft brush or a magic wand with anti-aliasing leaves behind.
struct SoftRegion {
  varnel::Region region;
  SoftRegion() {
    if (region.Create({0, 0, kSide - 1, kSide - 1}, 0) != 0) std::abort();
    std::mt19937 random(2000);
    const double centre = kSide / 2.0, inner = 800.0 - 40.0, outer = 800.0;
    for (int32_t y = 0; y < kSide; ++y) {
      uint8_t* row = region.Row(y);
      for (int32_t x = 0; x < kSide; ++x) {
        const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
        const double distance = std::sqrt(dx * dx + dy * dy);
        if (distance <= inner) {
          row[x] = 255;
        } else if (distance < outer) {
          const int32_t value = int32_t(255.0 * (outer - distance) / (outer - inner)) + int32_t(random() % 33) - 16;
          row[x] = uint8_t(std::clamp(value, 0, 255));
        }
      }
    }
  }
};

const varnel::Region& Shared() {
  static SoftRegion soft;
  return soft.region;
}

// Random bytes over the whole square.
const varnel::Region& Noise() {
  static varnel::Region noise;
  if (noise.IsEmpty()) {
    if (noise.Create({0, 0, kSide - 1, kSide - 1}, 0) != 0) std::abort();
    std::mt19937 random(7);
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) noise.Row(y)[x] = uint8_t(random());
  }
  return noise;
}

void SetPixels(benchmark::State& state) {
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}

void BM_Feather(benchmark::State& state) {
  const varnel::Region& source = Shared();
  for (auto _ : state) {
    varnel::Region destination;
    varnel::Region::Feather(source, int32_t(state.range(0)), destination);
    benchmark::DoNotOptimize(destination.Mask());
  }
  SetPixels(state);
}
BENCHMARK(BM_Feather)->Arg(6)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_FeatherNoise(benchmark::State& state) {
  const varnel::Region& source = Noise();
  for (auto _ : state) {
    varnel::Region destination;
    varnel::Region::Feather(source, int32_t(state.range(0)), destination);
    benchmark::DoNotOptimize(destination.Mask());
  }
  SetPixels(state);
}
BENCHMARK(BM_FeatherNoise)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_FeatherNoiseScalar(benchmark::State& state) {
  const varnel::Region& source = Noise();
  for (auto _ : state) {
    varnel::Region destination;
    varnel::feather_internal::FeatherScalar(source, int32_t(state.range(0)), destination);
    benchmark::DoNotOptimize(destination.Mask());
  }
  SetPixels(state);
}
BENCHMARK(BM_FeatherNoiseScalar)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_FeatherReference(benchmark::State& state) {
  const varnel::Region& source = Shared();
  for (auto _ : state) {
    varnel::Region destination;
    varnel::region_reference::Feather(source, int32_t(state.range(0)), destination);
    benchmark::DoNotOptimize(destination.Mask());
  }
  SetPixels(state);
}
BENCHMARK(BM_FeatherReference)->Arg(6)->Unit(benchmark::kMillisecond);
// About four billion multiply-adds: one run is enough to compare.
BENCHMARK(BM_FeatherReference)->Arg(32)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Grow(benchmark::State& state) {
  const varnel::Region& source = Shared();
  for (auto _ : state) {
    varnel::Region destination;
    varnel::Region::Grow(source, destination);
    benchmark::DoNotOptimize(destination.Mask());
  }
  SetPixels(state);
}
BENCHMARK(BM_Grow)->Unit(benchmark::kMillisecond);

void BM_Shrink(benchmark::State& state) {
  const varnel::Region& source = Shared();
  for (auto _ : state) {
    varnel::Region destination;
    varnel::Region::Shrink(source, destination);
    benchmark::DoNotOptimize(destination.Mask());
  }
  SetPixels(state);
}
BENCHMARK(BM_Shrink)->Unit(benchmark::kMillisecond);

void BM_Invert(benchmark::State& state) {
  const varnel::Region& source = Shared();
  for (auto _ : state) {
    varnel::Region destination;
    varnel::Region::Invert(source, kSide, kSide, destination);
    benchmark::DoNotOptimize(destination.Mask());
  }
  SetPixels(state);
}
BENCHMARK(BM_Invert)->Unit(benchmark::kMillisecond);

}  // namespace
