// Shrinking for zoomed-out views: every source pixel counts once, towards the box it falls in,
// and each channel is the box's mean rounded to nearest.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/area_shrink.h"
#include "core/surface.h"

namespace varnel {
namespace {

void Fill(ImageSurface& surface, Size size, uint32_t (*pixel)(int32_t x, int32_t y)) {
  ASSERT_EQ(surface.Create(size), 0);
  for (int32_t y = 0; y < size.height; ++y)
    for (int32_t x = 0; x < size.width; ++x) surface.Row(y)[x] = pixel(x, y);
}

std::vector<uint32_t> Shrunk(const ImageSurface& surface, Rect source, int32_t width, int32_t height) {
  std::vector<uint32_t> out(static_cast<size_t>(width) * height, 0xDEADBEEFu);
  EXPECT_TRUE(ShrinkByAveraging(surface, source, width, height, out.data(), static_cast<size_t>(width)));
  return out;
}

uint32_t Grey(uint32_t v) { return 0xFF000000u | v * 0x010101u; }

TEST(AreaShrink, EachChannelIsItsBoxsRoundedMean) {
  struct Case {
    const char* name;
    Size size;
    uint32_t (*pixel)(int32_t x, int32_t y);
    Rect source;
    int32_t width, height;
    std::vector<uint32_t> expected;
  } cases[] = {
      // Halves round up: (0 + 1) / 2 and (0 + 3) / 2, alpha (255 + 0) / 2.
      {"halves round up", {4, 1}, [](int32_t x, int32_t) { return x == 1 ? 0x00000301u : 0xFF000000u; },
       {0, 0, 4, 1}, 2, 1, {0x80000201u, 0xFF000000u}},
      // Only the rectangle counts: the bright border around it does not.
      {"part of the surface", {6, 4},
       [](int32_t x, int32_t y) { return x >= 2 && x < 4 && y >= 1 && y < 3 ? Grey(static_cast<uint32_t>(x * 10 + y)) : Grey(255); },
       {2, 1, 4, 3}, 1, 1, {Grey(27)}},  // 21, 22, 31 and 32 make 26.5
      // 257 rows of 255 are the most sixteen bits hold; 600 rows take the wide sums.
      {"257 rows", {1, 257}, [](int32_t, int32_t) { return Grey(255); }, {0, 0, 1, 257}, 1, 1, {Grey(255)}},
      {"600 rows", {1, 600}, [](int32_t, int32_t y) { return y % 2 ? Grey(255) : Grey(0); }, {0, 0, 1, 600}, 1, 1,
       {Grey(128)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageSurface surface;
    Fill(surface, c.size, c.pixel);
    EXPECT_EQ(Shrunk(surface, c.source, c.width, c.height), c.expected);
  }
}

TEST(AreaShrink, ALargeShrinkSplitOverTwoThreadsMatchesTheBoxMeans) {
  constexpr int32_t kSide = 1100, kOut = 300;  // boxes of 3 and 4 both ways
  ImageSurface surface;
  Fill(surface, {kSide, kSide}, [](int32_t x, int32_t y) {
    return static_cast<uint32_t>(x * 2654435761u ^ y * 40503u) * 2246822519u;
  });
  const std::vector<uint32_t> out = Shrunk(surface, {0, 0, kSide, kSide}, kOut, kOut);
  for (int32_t j = 0; j < kOut; ++j)
    for (int32_t i = 0; i < kOut; ++i) {
      const int32_t x0 = i * kSide / kOut, x1 = (i + 1) * kSide / kOut;
      const int32_t y0 = j * kSide / kOut, y1 = (j + 1) * kSide / kOut;
      const uint32_t count = static_cast<uint32_t>((x1 - x0) * (y1 - y0));
      uint32_t expected = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = 0;
        for (int32_t y = y0; y < y1; ++y)
          for (int32_t x = x0; x < x1; ++x) sum += surface.Row(y)[x] >> shift & 0xFF;
        expected |= (2 * sum + count) / (2 * count) << shift;
      }
      ASSERT_EQ(out[static_cast<size_t>(j) * kOut + i], expected) << i << "," << j;
    }
}

TEST(AreaShrink, PixelsOfTheirOwnAreReadWithTheirRowStep) {
  // Bottom-up memory: the picture's first row is the second in memory.
  const uint32_t pixels[] = {0x00000004u, 0x00000008u, 0xFF000000u, 0xFF000000u,
                             0x00000000u, 0x00000000u, 0x80000000u, 0x80000000u};
  uint32_t out[2] = {};
  ASSERT_TRUE(ShrinkByAveraging(pixels + 4, -4, 4, 2, 2, 1, out, 2));
  EXPECT_EQ(out[0], 0x00000003u);  // (0 + 0 + 4 + 8) / 4
  EXPECT_EQ(out[1], 0xC0000000u);  // (128 + 128 + 255 + 255) / 4 = 191.5
  EXPECT_FALSE(ShrinkByAveraging(nullptr, 4, 4, 2, 2, 1, out, 2));
}

TEST(AreaShrink, RefusesWhatItCannotTakeAndWritesNothing) {
  ImageSurface surface;
  Fill(surface, {8, 8}, [](int32_t, int32_t) { return Grey(255); });
  const struct {
    const char* name;
    Rect source;
    int32_t width, height;
    size_t stride;
  } cases[] = {
      {"wider than the source", {0, 0, 4, 4}, 5, 2, 5},
      {"outside the surface", {4, 4, 9, 8}, 2, 2, 2},
      {"no output", {0, 0, 8, 8}, 0, 2, 2},
      {"stride too small", {0, 0, 8, 8}, 4, 2, 3},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> out(64, 7u);
    EXPECT_FALSE(ShrinkByAveraging(surface, c.source, c.width, c.height, out.data(), c.stride)) << c.name;
    EXPECT_EQ(out, std::vector<uint32_t>(64, 7u)) << c.name;
  }
}

}  // namespace
}  // namespace varnel
