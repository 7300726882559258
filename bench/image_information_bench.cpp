// Huebox's picture information on a 4096 × 4096 layer of noisy gradients (seeded): the whole
// gathering (histograms and the colour count through alpha buckets and a 2 MB bit set) beside
// the plain way of counting different words, a sorted copy and std::unique.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "huebox/image_information.h"

namespace {

constexpr int32_t kSide = 4096;

struct Picture {
  std::vector<uint32_t> pixels;
  std::vector<uint8_t*> rows;
  ImageDescriptor head{};
};

const Picture& NoisyPicture() {
  static const Picture picture = [] {
    Picture p;
    p.pixels.resize(static_cast<size_t>(kSide) * kSide);
    std::mt19937 random(20261208);
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) {
        const uint32_t noise = random();
        const uint32_t r = (x * 255 / kSide + (noise & 31)) & 0xFF, g = (y * 255 / kSide + ((noise >> 8) & 31)) & 0xFF;
        const uint32_t a = (noise >> 24) < 16 ? 0x80 : 0xFF;  // one pixel in sixteen half transparent
        p.pixels[static_cast<size_t>(y) * kSide + x] = a << 24 | r << 16 | g << 8 | ((noise >> 16) & 0xFF);
      }
    for (int32_t y = 0; y < kSide; ++y) p.rows.push_back(reinterpret_cast<uint8_t*>(&p.pixels[static_cast<size_t>(y) * kSide]));
    p.head.header.biWidth = kSide;
    p.head.header.biHeight = kSide;
    p.head.rows = p.rows.data();
    return p;
  }();
  return picture;
}

void BM_GatherImageInformation(benchmark::State& state) {
  const Picture& picture = NoisyPicture();
  for (auto _ : state) {
    auto information = varnel::huebox::GatherImageInformation(&picture.head, 1);
    benchmark::DoNotOptimize(information);
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_GatherImageInformation)->Unit(benchmark::kMillisecond);

void BM_CountColoursBySorting(benchmark::State& state) {
  const Picture& picture = NoisyPicture();
  for (auto _ : state) {
    std::vector<uint32_t> copy = picture.pixels;
    std::sort(copy.begin(), copy.end());
    benchmark::DoNotOptimize(std::unique(copy.begin(), copy.end()) - copy.begin());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_CountColoursBySorting)->Unit(benchmark::kMillisecond);

}  // namespace
