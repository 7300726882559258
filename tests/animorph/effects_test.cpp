#include "animorph/effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/crt_rand.h"

namespace varnel::animorph {
namespace {

// A picture in the effect contract's layout, written and read with rows from the top.
struct Pic {
  int32_t width;
  int32_t height;
  std::vector<uint32_t> memory;  // bottom row first
  Pic(int32_t w, int32_t h, uint32_t fill = 0) : width(w), height(h), memory(static_cast<size_t>(w) * h, fill) {}
  uint32_t& At(int32_t x, int32_t y) { return memory[static_cast<size_t>(height - 1 - y) * width + x]; }
  uint32_t At(int32_t x, int32_t y) const { return memory[static_cast<size_t>(height - 1 - y) * width + x]; }
  EffectPicture View() { return {width, height, reinterpret_cast<uint8_t*>(memory.data())}; }
  std::vector<uint32_t> TopDown() const {
    std::vector<uint32_t> rows;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) rows.push_back(At(x, y));
    return rows;
  }
};

Pic FromRows(int32_t w, int32_t h, const std::vector<uint32_t>& topDown) {
  Pic p(w, h);
  for (int32_t i = 0; i < w * h; ++i) p.At(i % w, i / w) = topDown[static_cast<size_t>(i)];
  return p;
}

// Every pixel its own value: alpha 0xFF, the position in the colour bytes.
Pic Numbered(int32_t w, int32_t h) {
  Pic p(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) p.At(x, y) = 0xFF000000u | static_cast<uint32_t>(y << 8 | x);
  return p;
}

constexpr uint32_t kKept = 0x5A5A5A5Au;  // what the host put in the destination

int32_t Render(int32_t type, void* object, Pic& dst, Pic& src, int32_t k, int32_t n, int32_t* opacity = nullptr) {
  return ExecEffect(type, object, dst.View(), src.View(), k, n, opacity);
}

// --- fades ---------------------------------------------------------------------------------

TEST(Fades, OpacityRisesAndFallsWithTheFrame) {
  struct Case {
    int32_t k, n, in, out;
  };
  const Case cases[] = {{0, 1, 128, 128}, {1, 1, 256, 0}, {0, 4, 51, 205}, {1, 4, 102, 154},
                        {2, 4, 153, 103}, {4, 4, 256, 0}};
  for (const Case& c : cases) {
    Pic src = Numbered(2, 2), dst(2, 2, kKept);
    int32_t opacity = -1;
    ASSERT_EQ(Render(kFadeIn, nullptr, dst, src, c.k, c.n, &opacity), 0);
    EXPECT_EQ(opacity, c.in) << c.k << "/" << c.n;
    ASSERT_EQ(Render(kFadeOut, nullptr, dst, src, c.k, c.n, &opacity), 0);
    EXPECT_EQ(opacity, c.out) << c.k << "/" << c.n;
    EXPECT_EQ(dst.memory, src.memory);
  }
}

TEST(Fades, CopyOnlyThePartBothPicturesShareAndWipesLeaveTheRestAlone) {
  // A 2 × 3 source into a 3 × 2 destination; the wipe at frame 0 clears what it reaches.
  Pic src = Numbered(2, 3), fade(3, 2, kKept), wipe(3, 2, kKept);
  ASSERT_EQ(Render(kFadeIn, nullptr, fade, src, 0, 1, nullptr), 0);
  EXPECT_EQ(fade.TopDown(), (std::vector{src.At(0, 0), src.At(1, 0), kKept, src.At(0, 1), src.At(1, 1), kKept}));
  ASSERT_EQ(Render(kWipeIn, nullptr, wipe, src, 0, 2), 0);
  EXPECT_EQ(wipe.TopDown(), (std::vector<uint32_t>{0, 0, kKept, 0, 0, kKept}));
}

// --- wipes ---------------------------------------------------------------------------------

TEST(Wipes, RowsAboveKTimesHOverNAreCopiedInAndClearedOut) {
  struct Case {
    int32_t k, n, rows;  // rows = k × H ÷ n with H = 4
  };
  const Case cases[] = {{0, 4, 0}, {1, 4, 1}, {2, 4, 2}, {4, 4, 4}, {1, 3, 1}, {2, 3, 2}};
  for (const Case& c : cases) {
    Pic src = Numbered(3, 4);
    Pic in(3, 4, kKept), out(3, 4, kKept);
    ASSERT_EQ(Render(kWipeIn, nullptr, in, src, c.k, c.n), 0);
    ASSERT_EQ(Render(kWipeOut, nullptr, out, src, c.k, c.n), 0);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 3; ++x) {
        EXPECT_EQ(in.At(x, y), y < c.rows ? src.At(x, y) : 0u) << c.k << "/" << c.n << " " << x << "," << y;
        EXPECT_EQ(out.At(x, y), y < c.rows ? 0u : src.At(x, y)) << c.k << "/" << c.n << " " << x << "," << y;
      }
  }
}

// --- enlarge -------------------------------------------------------------------------------

TEST(Enlarge, FailsWithoutAPercentAbove99AndCopiesExactlyAtFrameZero) {
  Pic src = Numbered(5, 3), dst(5, 3, kKept);
  VarnelEnlargeObject object{1, 99};
  EXPECT_EQ(Render(kEnlarge, &object, dst, src, 1, 2), -1);
  EXPECT_EQ(Render(kEnlarge, nullptr, dst, src, 1, 2), -1);
  EXPECT_EQ(dst.memory, std::vector<uint32_t>(15, kKept));
  object.percent = 300;
  ASSERT_EQ(Render(kEnlarge, &object, dst, src, 0, 7), 0);
  EXPECT_EQ(dst.memory, src.memory);
}

TEST(Enlarge, DoublesATwoByTwoPictureBilinearlyFromTheTopLeft) {
  // d = (200 − 100) × 0.01 × 2 × 2 ÷ 2 = 2: 4 × 4, step 128. Blue and alpha vary.
  Pic src = FromRows(2, 2, {0x0A000000u | 0, 0x14000000u | 200, 0x1E000000u | 100, 0x28000000u | 40});
  Pic dst(4, 4, kKept);
  VarnelEnlargeObject object{1, 200};
  ASSERT_EQ(Render(kEnlarge, &object, dst, src, 2, 2), 0);
  const uint32_t blue[4][4] = {{0, 100, 200, 200}, {50, 85, 120, 120}, {100, 70, 40, 40}, {100, 70, 40, 40}};
  const uint32_t alpha[4][4] = {{10, 20, 20, 20}, {30, 40, 40, 40}, {30, 40, 40, 40}, {30, 40, 40, 40}};
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dst.At(x, y), alpha[y][x] << 24 | blue[y][x]) << x << "," << y;
}

TEST(Enlarge, WritesOnlyWhatFitsTheDestination) {
  Pic src = Numbered(3, 3), dst(2, 5, kKept);
  VarnelEnlargeObject object{1, INT_MAX};
  ASSERT_EQ(Render(kEnlarge, &object, dst, src, 3, 3), 0);
  // Scaled that far the step is 0: every pixel in reach reads the top-left source pixel.
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 2; ++x) EXPECT_EQ(dst.At(x, y), src.At(0, 0));
}

// --- rotate --------------------------------------------------------------------------------

TEST(Rotate, WholeTurnsCopyHalfTurnsMirrorBothWaysAndQuarterTurnsTakeColumnsFromRows) {
  struct Case {
    int32_t k, n, w, h;
    std::pair<int32_t, int32_t> (*reads)(int32_t x, int32_t y, int32_t w, int32_t h);  // the source pixel
  };
  const auto same = [](int32_t x, int32_t y, int32_t, int32_t) { return std::pair(x, y); };
  const auto mirrored = [](int32_t x, int32_t y, int32_t w, int32_t h) { return std::pair(w - 1 - x, h - 1 - y); };
  // A quarter turn: s = 256, c = 0, centre (1, 1): pixel (x, y) reads (y, 2 − x).
  const auto quarter = [](int32_t x, int32_t y, int32_t, int32_t) { return std::pair(y, 2 - x); };
  const Case cases[] = {{0, 4, 3, 2, same},     {4, 4, 3, 2, same},     {1, 2, 3, 2, mirrored},
                        {3, 6, 3, 2, mirrored}, {1, 4, 3, 3, quarter}};
  for (const Case& c : cases) {
    Pic src = Numbered(c.w, c.h), dst(c.w, c.h, kKept);
    ASSERT_EQ(Render(kRotate, nullptr, dst, src, c.k, c.n), 0);
    for (int32_t y = 0; y < c.h; ++y)
      for (int32_t x = 0; x < c.w; ++x) {
        const auto [sx, sy] = c.reads(x, y, c.w, c.h);
        EXPECT_EQ(dst.At(x, y), src.At(sx, sy)) << c.k << "/" << c.n << " " << x << "," << y;
      }
  }
}

TEST(Rotate, AnEighthTurnMixesNeighboursAndSkipsWhatFallsOutside) {
  // s = c = 181, centre (0.5, 0.5) = 128. (0, 0) and (1, 0) land at −53 (outside). (0, 1) lands
  // at (128, 309): columns 0 and 1 of row 1 half and half. (1, 1) at (309, 128): column 1 of
  // rows 0 and 1 half and half.
  Pic src = FromRows(2, 2, {0x11000000u | 7, 0x22000000u | 90, 0x33000000u | 100, 0x44000000u | 51});
  Pic dst(2, 2, kKept);
  ASSERT_EQ(Render(kRotate, nullptr, dst, src, 1, 8), 0);
  EXPECT_EQ(dst.TopDown(), (std::vector<uint32_t>{kKept, kKept, 0x33000000u | 75, 0x22000000u | 70}));
}

// --- sine wave -----------------------------------------------------------------------------

// Source row each column reads for rows 0…3 of a 4 × 4 picture; o = 0, 3, 6, 9 at φ = 0
// and 0, −3, −6, −9 at φ = π.
TEST(SineWave, ColumnsReadRowsShiftedAndFoldedIntoThePicture) {
  struct Case {
    int32_t k, n;
    int32_t rows[4][4];  // [x][y]
  };
  const Case cases[] = {
      {0, 1, {{0, 1, 2, 3}, {3, 0, 1, 2}, {2, 3, 0, 1}, {1, 2, 3, 0}}},
      {1, 2, {{0, 1, 2, 3}, {3, 2, 1, 0}, {2, 1, 0, 3}, {1, 0, 3, 2}}},
  };
  for (const Case& c : cases) {
    Pic src = Numbered(4, 4), dst(4, 4, kKept);
    ASSERT_EQ(Render(kSineWave, nullptr, dst, src, c.k, c.n), 0);
    for (int32_t x = 0; x < 4; ++x)
      for (int32_t y = 0; y < 4; ++y) EXPECT_EQ(dst.At(x, y), src.At(x, c.rows[x][y])) << x << "," << y;
  }
}

TEST(SineWave, CopiesOnlyRowsAboveTheSmallerHeight) {
  Pic src = Numbered(4, 4), dst(4, 2, kKept);
  ASSERT_EQ(Render(kSineWave, nullptr, dst, src, 0, 1), 0);
  EXPECT_EQ(dst.TopDown(),
            (std::vector{src.At(0, 0), kKept, kKept, src.At(3, 1), src.At(0, 1), src.At(1, 0), kKept, kKept}));
}

// --- mosaic --------------------------------------------------------------------------------

TEST(Mosaic, BlocksTakeTheirTopLeftPixel) {
  struct Case {
    int32_t k, n, block;
  };
  const Case cases[] = {{0, 4, 1}, {1, 32, 1}, {2, 32, 2}, {3, 32, 3}, {1, 8, 4}, {4, 4, 32}};
  for (const Case& c : cases) {
    Pic src = Numbered(5, 5), dst(5, 5, kKept);
    ASSERT_EQ(Render(kMosaic, nullptr, dst, src, c.k, c.n), 0);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 5; ++x)
        EXPECT_EQ(dst.At(x, y), src.At(x / c.block * c.block, y / c.block * c.block)) << c.k << "/" << c.n;
  }
}

// --- blinds --------------------------------------------------------------------------------

TEST(Blinds, CopyEveryStepthRowUpFromTheBottom) {
  struct Case {
    int32_t k, n;
    const char* copied;  // rows 0…7, '1' copied
  };
  const Case cases[] = {{0, 32, "00000001"}, {16, 32, "00000001"}, {29, 32, "01001001"},
                        {30, 32, "01010101"}, {31, 32, "11111111"}, {32, 32, "11111111"}};
  for (const Case& c : cases) {
    Pic src = Numbered(2, 8), dst(2, 8, kKept);
    ASSERT_EQ(Render(kBlinds, nullptr, dst, src, c.k, c.n), 0);
    for (int32_t y = 0; y < 8; ++y)
      EXPECT_EQ(dst.At(1, y), c.copied[y] == '1' ? src.At(1, y) : kKept) << c.k << "/" << c.n << " row " << y;
  }
}

// --- line slide ----------------------------------------------------------------------------

TEST(LineSlide, EvenRowsSlideLeftAndOddRowsRight) {
  struct Case {
    int32_t k, n, dstWidth;
    int32_t even[4];  // source column per destination column, −1 kept
    int32_t odd[4];
  };
  const Case cases[] = {
      {0, 4, 4, {0, 1, 2, 3}, {0, 1, 2, 3}},      // m = 4, g = 0
      {1, 4, 4, {1, 2, 3, -1}, {-1, 0, 1, 2}},    // m = 3, g = 1
      {2, 4, 4, {2, 3, -1, -1}, {-1, -1, 0, 1}},  // m = 2, g = 2
      {4, 4, 4, {-1, -1, -1, -1}, {-1, -1, -1, 0}},  // m = 0, g = 4: odd rows start at column 3
      {1, 4, 3, {1, 2, 3, -1}, {-1, 0, 1, -1}},   // a narrower destination
  };
  for (const Case& c : cases) {
    Pic src = Numbered(4, 2), dst(c.dstWidth, 2, kKept);
    ASSERT_EQ(Render(kLineSlide, nullptr, dst, src, c.k, c.n), 0);
    for (int32_t x = 0; x < c.dstWidth; ++x) {
      EXPECT_EQ(dst.At(x, 0), c.even[x] < 0 ? kKept : src.At(c.even[x], 0)) << c.k << " x " << x;
      EXPECT_EQ(dst.At(x, 1), c.odd[x] < 0 ? kKept : src.At(c.odd[x], 1)) << c.k << " x " << x;
    }
  }
}

// --- blur ----------------------------------------------------------------------------------

// (window sum + 8 × own) ÷ (window pixels + 8), straight from the rule.
Pic ReferenceBlur(const Pic& src, int32_t width, int32_t height, int32_t a, uint32_t kept) {
  Pic out(width, height, kept);
  const int32_t half = a / 2;
  for (int32_t y = 0; y < std::min(height, src.height); ++y)
    for (int32_t x = 0; x < std::min(width, src.width); ++x) {
      uint32_t value = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = 0, count = 0;
        for (int32_t wy = y - half; wy < y - half + a; ++wy)
          for (int32_t wx = x - half; wx < x - half + a; ++wx)
            if (wx >= 0 && wy >= 0 && wx < src.width && wy < src.height) {
              sum += (src.At(wx, wy) >> shift) & 0xFF;
              ++count;
            }
        value |= ((sum + 8 * ((src.At(x, y) >> shift) & 0xFF)) / (count + 8)) << shift;
      }
      out.At(x, y) = value;
    }
  return out;
}

TEST(Blur, AveragesTheWindowWithThePixelWeightedEightFromFrameOne) {
  Pic src(3, 2, 0xFF000000u);
  const uint32_t blue[2][3] = {{10, 20, 30}, {40, 50, 60}};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) src.At(x, y) |= blue[y][x];
  struct Case {
    int32_t k, n;
    uint32_t expected[2][3];
  };
  const Case cases[] = {
      {1, 16, {{10, 19, 29}, {37, 43, 53}}},  // a = 2: the pixel and those above and left
      {3, 32, {{16, 26, 33}, {36, 43, 53}}},  // a = 3: centred
  };
  for (const Case& c : cases) {
    Pic dst(3, 2, kKept);
    ASSERT_EQ(Render(kBlur, nullptr, dst, src, c.k, c.n), 0);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(dst.At(x, y), 0xFF000000u | c.expected[y][x]) << c.k << "/" << c.n << " " << x << "," << y;
  }
  Pic dst(3, 2, kKept);
  ASSERT_EQ(Render(kBlur, nullptr, dst, src, 0, 5), 0);
  EXPECT_EQ(dst.memory, std::vector<uint32_t>(6, kKept));
}

// Shapes that catch the fast paths out: single pixels and lines, widths off the vector width,
// sources larger and smaller than the destination each way, and pictures large enough to be
// split over two threads.
struct Shape {
  int32_t srcW, srcH, dstW, dstH;
};
constexpr Shape kShapes[] = {
    {1, 1, 1, 1},    {3, 5, 3, 5},     {5, 3, 3, 5},       {37, 23, 37, 23},     {5, 40, 9, 3},
    {50, 1, 20, 4},  {1, 30, 2, 30},   {33, 33, 40, 30},   {7, 9, 13, 11},       {17, 2, 17, 2},
    {2, 17, 2, 17},  {131, 67, 64, 99}, {420, 330, 420, 330}, {400, 330, 403, 331},
};

// Random pixels from a fixed seed (a linear congruential generator, printed on failure).
constexpr uint32_t kSeed = 12345;
struct Random {
  uint32_t state;
  uint32_t operator()() { return state = state * 1664525u + 1013904223u; }
};

Pic RandomPic(int32_t w, int32_t h, Random& random) {
  Pic p(w, h);
  for (uint32_t& pixel : p.memory) pixel = random();
  return p;
}

TEST(Blur, MatchesTheDirectWindowOnPicturesOfEverySizeAndFrame) {
  Random random{kSeed};
  for (const Shape& c : kShapes) {
    if (int64_t{c.srcW} * c.srcH > 10000) continue;  // the direct window is slow
    Pic src = RandomPic(c.srcW, c.srcH, random);
    const int32_t n = 32;
    for (int32_t k : {1, 2, n / 2, 31, n}) {
      Pic dst(c.dstW, c.dstH, kKept);
      ASSERT_EQ(Render(kBlur, nullptr, dst, src, k, n), 0);
      EXPECT_EQ(dst.memory, ReferenceBlur(src, c.dstW, c.dstH, k * 32 / n, kKept).memory)
          << c.srcW << "x" << c.srcH << " into " << c.dstW << "x" << c.dstH << " k " << k << " seed " << kSeed;
    }
  }
}

TEST(Blur, AFlatPictureStaysFlatAndOneDarkerPixelDarkensExactlyTheWindowsItFallsIn) {
  // Every channel of a flat picture divides evenly, (c × pixels + 8c) ÷ (pixels + 8) = c, for
  // every divisor the edges give; the darker pixel puts a window's sum one (or nine, as its own
  // pixel) below that, which floors to c − 1.
  const int32_t w = 41, h = 35, darkX = 20, darkY = 17;
  for (int32_t a : {1, 2, 3, 16, 31, 32})
    for (uint32_t c = 0; c < 256; ++c) {
      Pic src(w, h, c * 0x01010101u), dst(w, h, kKept);
      if (c > 0) src.At(darkX, darkY) = (c - 1) * 0x01010101u;
      ASSERT_EQ(Render(kBlur, nullptr, dst, src, a, 32), 0);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          const int32_t left = x - a / 2, top = y - a / 2;
          const bool covers = c > 0 && darkX >= left && darkX < left + a && darkY >= top && darkY < top + a;
          ASSERT_EQ(dst.At(x, y), (covers ? c - 1 : c) * 0x01010101u)
              << "a " << a << " c " << c << " " << x << "," << y;
        }
    }
}

// --- fast paths ----------------------------------------------------------------------------

// The enlargement, the rotation and the blur take fast paths; each must give the reference's
// bytes for every shape and frame, pixels left alone included.
TEST(FastPaths, MatchTheReferenceOnRandomPicturesOfEveryShapeAndFrame) {
  struct Case {
    const char* name;
    int32_t type;
    int32_t percent;  // of the enlargement
    int32_t n;
    std::vector<int32_t> frames;
  };
  std::vector<int32_t> everyThirtySecond, everySeventh;
  for (int32_t k = 0; k <= 32; ++k) everyThirtySecond.push_back(k);
  for (int32_t k = 0; k <= 7; ++k) everySeventh.push_back(k);
  const Case cases[] = {
      {"enlarge 200%", kEnlarge, 200, 32, {0, 1, 7, 16, 31, 32}},
      {"enlarge 200%, one frame", kEnlarge, 200, 1, {0, 1}},
      {"enlarge 101%", kEnlarge, 101, 7, everySeventh},
      {"enlarge 355%", kEnlarge, 355, 32, {1, 5, 16, 32}},
      {"enlarge 10000%", kEnlarge, 10000, 32, {1, 32}},
      {"enlarge without limit", kEnlarge, INT_MAX, 3, {1, 3}},
      {"rotate by 32nds", kRotate, 0, 32, everyThirtySecond},
      {"rotate by 7ths", kRotate, 0, 7, everySeventh},
      {"rotate by degrees", kRotate, 0, 360, {1, 44, 45, 89, 91, 135, 179, 181, 269, 271, 359}},
      {"rotate, one frame", kRotate, 0, 1, {0, 1}},
      {"blur", kBlur, 0, 32, everyThirtySecond},
      {"blur, one frame", kBlur, 0, 1, {0, 1}},
      {"blur by 5ths", kBlur, 0, 5, {1, 2, 3, 4}},
  };
  Random random{kSeed};
  for (const Shape& shape : kShapes) {
    const Pic src = RandomPic(shape.srcW, shape.srcH, random);
    const Pic before = RandomPic(shape.dstW, shape.dstH, random);
    for (const Case& c : cases) {
      VarnelEnlargeObject object{1, c.percent};
      for (int32_t k : c.frames) {
        Pic fast = before, reference = before, source = src;
        const int32_t answer = ExecEffect(c.type, &object, fast.View(), source.View(), k, c.n, nullptr);
        ASSERT_EQ(answer, ExecReferenceEffect(c.type, &object, reference.View(), source.View(), k, c.n, nullptr));
        ASSERT_EQ(answer, 0);
        ASSERT_EQ(source.memory, src.memory);
        ASSERT_TRUE(fast.memory == reference.memory)
            << c.name << " frame " << k << " of " << c.n << ", " << shape.srcW << "x" << shape.srcH << " into "
            << shape.dstW << "x" << shape.dstH << ", seed " << kSeed;
      }
    }
  }
}

// --- snow ----------------------------------------------------------------------------------

struct SnowDeleter {
  void operator()(SnowObject* snow) const { DeleteEffectObject(kSnow, snow); }
};
using SnowPtr = std::unique_ptr<SnowObject, SnowDeleter>;

TEST(Snow, FlakesAreDrawnWithTheProgramsRand) {
  // Seeded 1, the generator gives 41, 18467, 6334, 26500, …
  CrtSrand(1);
  SnowPtr snow(static_cast<SnowObject*>(CreateEffectObject(kSnow)));
  ASSERT_NE(snow, nullptr);
  const SnowFlake& first = snow->flakes[0];
  // y 18467 mod 400, size 4 + 6334 mod 12.
  EXPECT_EQ(std::tuple(first.base, first.y, first.size), std::tuple(41.0, 67.0, 14));
  EXPECT_DOUBLE_EQ(first.phase, 26500 * 2.0 * 3.14159265358979323846 / 32767);
  for (const SnowFlake& flake : snow->flakes) {
    EXPECT_TRUE(flake.size >= 4 && flake.size <= 15 && flake.base < 400) << flake.size << " " << flake.base;
  }
}

TEST(Snow, MasksAreRoundWithAlphaFallingWithTheSquaredDistance) {
  SnowPtr snow(static_cast<SnowObject*>(CreateEffectObject(kSnow)));
  ASSERT_NE(snow, nullptr);
  // Size 4: r = 2 about pixel (2, 2).
  const uint32_t alpha[4][4] = {{0, 0, 0, 0}, {0, 128, 192, 128}, {0, 192, 255, 192}, {0, 128, 192, 128}};
  const uint32_t* mask = snow->masks[0];
  for (int32_t j = 0; j < 4; ++j)
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(mask[j * 4 + i], alpha[j][i] << 24 | 0xFFFFFFu) << i << "," << j;
  // Size 5: r = 2 about pixel (2, 2) too; (4, 2) is on the rim.
  EXPECT_EQ(std::pair(snow->masks[1][2 * 5 + 4] >> 24, snow->masks[1][2 * 5 + 2] >> 24), std::pair(0u, 255u));
}

// One flake of size 4 at (base, y), every other out of sight and never restarting.
SnowPtr OneFlake(double base, double y) {
  SnowPtr snow(static_cast<SnowObject*>(CreateEffectObject(kSnow)));
  for (SnowFlake& flake : snow->flakes) flake = {10000, -1000, 4, 0};
  snow->flakes[0] = {base, y, 4, 0};
  return snow;
}

TEST(Snow, FlakesBlendTheirMaskOverACopyOfTheSource) {
  SnowPtr snow = OneFlake(1, 1);
  Pic src(6, 6, 0x80402010u), dst(6, 6, kKept);
  ASSERT_EQ(Render(kSnow, snow.get(), dst, src, 0, 1), 0);
  // The mask's top-left at (1, 1): its centre (alpha 255, v 256) at (3, 3) is white; alpha 192
  // beside it gives (b × 64 + 255 × 192) >> 8, alpha (128 × 64 + 192 × 192) >> 8.
  EXPECT_EQ((std::vector{dst.At(3, 3), dst.At(2, 3), dst.At(1, 1), dst.At(0, 0)}),
            (std::vector{0xFFFFFFFFu, 0xB0CFC7C3u, src.At(1, 1), src.At(0, 0)}));
  EXPECT_DOUBLE_EQ(snow->flakes[0].y, 1.4);
  EXPECT_EQ(snow->flakes[0].phase, 0.1);
}

TEST(Snow, FlakesAreClippedAtTheEdges) {
  SnowPtr snow = OneFlake(-2, -2);
  Pic src(3, 3, 0xFF000000u), dst(3, 3, kKept);
  ASSERT_EQ(Render(kSnow, snow.get(), dst, src, 0, 1), 0);
  // The centre at (0, 0); pixel (1, 0) is mask pixel (3, 2) with alpha 192:
  // colour 255 × 192 >> 8, alpha (255 × 64 + 192 × 192) >> 8.
  EXPECT_EQ((std::vector{dst.At(0, 0), dst.At(1, 0), dst.At(2, 2)}),
            (std::vector{0xFFFFFFFFu, 0xCFBFBFBFu, 0xFF000000u}));
}

TEST(Snow, AFlakePastTheBottomRestartsAtTheTopWithANewBaseAndSize) {
  SnowPtr snow = OneFlake(1, 5.8);
  Pic src(6, 6), dst(6, 6);
  CrtSrand(1);
  ASSERT_EQ(Render(kSnow, snow.get(), dst, src, 3, 4), 0);
  // Base 41 mod 6, size 4 + 18467 mod 12.
  EXPECT_EQ(std::tuple(snow->flakes[0].y, snow->flakes[0].base, snow->flakes[0].size), std::tuple(0.0, 5.0, 15));
}

// --- sizes ---------------------------------------------------------------------------------

TEST(EveryEffect, RefusesBadSizesFramesAndTypesWithoutWriting) {
  struct Case {
    const char* name;
    int32_t dstW, dstH, srcW, srcH, k, n, type;
    bool nullDst, nullSrc;
  };
  const Case cases[] = {
      {"zero destination width", 0, 2, 2, 2, 0, 1, -1, false, false},
      {"negative destination height", 2, -2, 2, 2, 0, 1, -1, false, false},
      {"zero source height", 2, 2, 2, 0, 0, 1, -1, false, false},
      {"negative source width", 2, 2, -1, 2, 0, 1, -1, false, false},
      {"over 2 GiB", 2, 2, 65536, 65536, 0, 1, -1, false, false},
      {"null destination", 2, 2, 2, 2, 0, 1, -1, true, false},
      {"null source", 2, 2, 2, 2, 0, 1, -1, false, true},
      {"no frames", 2, 2, 2, 2, 0, 0, -1, false, false},
      {"frame below 0", 2, 2, 2, 2, -1, 4, -1, false, false},
      {"frame past n", 2, 2, 2, 2, 5, 4, -1, false, false},
      {"type 12", 2, 2, 2, 2, 0, 1, 12, false, false},
      {"type -1", 2, 2, 2, 2, 0, 1, -2, false, false},
  };
  for (const Case& c : cases) {
    const int32_t first = c.type == -1 ? 0 : (c.type == -2 ? -1 : c.type);
    const int32_t last = c.type == -1 ? kEffectCount - 1 : first;
    for (int32_t type = first; type <= last; ++type) {
      std::vector<uint32_t> dst(4, kKept), src(4, 0xFFFFFFFFu);
      void* object = CreateEffectObject(type);
      int32_t opacity = -7;
      const EffectPicture d{c.dstW, c.dstH, c.nullDst ? nullptr : reinterpret_cast<uint8_t*>(dst.data())};
      const EffectPicture s{c.srcW, c.srcH, c.nullSrc ? nullptr : reinterpret_cast<uint8_t*>(src.data())};
      EXPECT_EQ(ExecEffect(type, object, d, s, c.k, c.n, &opacity), -1) << c.name << " type " << type;
      EXPECT_EQ(dst, std::vector<uint32_t>(4, kKept)) << c.name << " type " << type;
      EXPECT_EQ(opacity, -7) << c.name;
      DeleteEffectObject(type, object);
    }
  }
}

TEST(EveryEffect, RefusesMissingHeaders) {
  std::vector<uint32_t> pixels(4);
  const VarnelBitmapInfoHeader header{40, 2, 2, 1, 32, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ExecEffect(kFadeIn, nullptr, nullptr, pixels.data(), &header, pixels.data(), 0, 1, nullptr), -1);
  EXPECT_EQ(ExecEffect(kFadeIn, nullptr, &header, pixels.data(), nullptr, pixels.data(), 0, 1, nullptr), -1);
}

TEST(EveryEffect, StaysInsideDestinationsOfEveryShapeAtEveryFrame) {
  // Each picture sits between guard words; no effect may touch them.
  const int32_t shapes[][4] = {{1, 1, 7, 5}, {7, 5, 1, 1}, {3, 9, 9, 3}, {130, 2, 2, 130}, {2, 130, 130, 2}};
  for (const auto& shape : shapes)
    for (int32_t type = 0; type < kEffectCount; ++type) {
      void* object = CreateEffectObject(type);
      const int32_t n = 6;
      for (int32_t k = 0; k <= n; ++k) {
        const size_t dstCount = static_cast<size_t>(shape[0]) * shape[1];
        std::vector<uint32_t> dst(dstCount + 2, kKept), src(static_cast<size_t>(shape[2]) * shape[3] + 2, 0x80808080u);
        dst.front() = dst.back() = 0xDEADBEEFu;
        const EffectPicture d{shape[0], shape[1], reinterpret_cast<uint8_t*>(dst.data() + 1)};
        const EffectPicture s{shape[2], shape[3], reinterpret_cast<uint8_t*>(src.data() + 1)};
        ExecEffect(type, object, d, s, k, n, nullptr);
        EXPECT_EQ(std::pair(dst.front(), dst.back()), std::pair(0xDEADBEEFu, 0xDEADBEEFu))
            << "type " << type << " k " << k;
      }
      DeleteEffectObject(type, object);
    }
}

}  // namespace
}  // namespace varnel::animorph
