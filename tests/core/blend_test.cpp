// The blend modes: names, tables, the rules' edge cases, and the fast kernels held against
// the reference bit for bit.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "core/blend.h"
#include "core/blend/blend_p.h"
#include "core/blend/hls_fast.h"
#include "core/colour_convert.h"

namespace varnel {
namespace {

uint32_t Pixel(int b, int g, int r, int a) {
  return static_cast<uint32_t>(b) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(r) << 16 |
         static_cast<uint32_t>(a) << 24;
}
int Blue(uint32_t p) { return p & 0xFF; }
int Alpha(uint32_t p) { return p >> 24; }

// F of a per-channel mode on grey pixels, read through the public colour entry.
int F(int mode, int b, int s) {
  const uint32_t lower = Pixel(b, b, b, 255), upper = Pixel(s, s, s, 255);
  uint32_t out;
  BlendColours(mode, &lower, &upper, &out, 1);
  EXPECT_EQ(Blue(out), (out >> 16) & 0xFF);
  return Blue(out);
}

// --- names -------------------------------------------------------------------------------

TEST(BlendModeNames, EveryNameFindsItsNumberAndBack) {
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    EXPECT_EQ(BlendModeFromName(BlendModeName(BlendMode{mode})), BlendMode{mode});
    EXPECT_EQ(kBlendModes[static_cast<size_t>(mode)].mode, BlendMode{mode});
  }
  EXPECT_EQ(BlendModeName(BlendMode::kNormal), "合成");
  EXPECT_EQ(BlendModeName(BlendMode::kOverlay), "オーバーレイ");
  EXPECT_EQ(BlendModeName(BlendMode::kOverlay2), "オーバーレイ2");
  EXPECT_EQ(BlendModeName(BlendMode::kSoftLight), "ソフトライト");
}

TEST(BlendModeNames, UnknownNamesAreModeZeroAndUnknownNumbersHaveNoName) {
  EXPECT_EQ(BlendModeFromName("オーバーレイ3"), BlendMode::kNormal);
  EXPECT_EQ(BlendModeFromName(""), BlendMode::kNormal);
  EXPECT_EQ(BlendModeFromName("乗算 "), BlendMode::kNormal);
  EXPECT_TRUE(BlendModeName(BlendMode{-1}).empty());
  EXPECT_TRUE(BlendModeName(BlendMode{27}).empty());
}

TEST(BlendModeNames, WholePixelModesAreSevenEightAndFourteenToTwentyOne) {
  for (int mode = -1; mode <= 27; ++mode)
    EXPECT_EQ(IsWholePixelMode(BlendMode{mode}), mode == 7 || mode == 8 || (mode >= 14 && mode <= 21)) << mode;
}

// --- tables ------------------------------------------------------------------------------

TEST(BlendTables, MulIsTheRoundedProduct) {
  const uint8_t* mul = MulTable();
  struct Case { int b, s, expected; } cases[] = {
      {0, 0, 0}, {255, 255, 255}, {255, 1, 1}, {1, 1, 0}, {128, 128, 64}, {128, 255, 128}, {100, 200, 78}, {16, 8, 1}};
  for (const Case& c : cases) EXPECT_EQ(mul[c.b * 256 + c.s], c.expected) << c.b << "×" << c.s;
  for (int b = 0; b < 256; ++b)
    for (int s = 0; s < 256; ++s) ASSERT_EQ(mul[b * 256 + s], (b * s + 127) / 255);
}

TEST(BlendTables, ClampHasItsFourQuarters) {
  const uint8_t* clamp = ClampTable();
  EXPECT_EQ(clamp[0], 0);
  EXPECT_EQ(clamp[255], 0);
  EXPECT_EQ(clamp[256], 1);
  EXPECT_EQ(clamp[510], 255);
  EXPECT_EQ(clamp[511], 0);
  EXPECT_EQ(clamp[512], 0);
  EXPECT_EQ(clamp[767], 255);
  EXPECT_EQ(clamp[768], 255);
  EXPECT_EQ(clamp[1023], 255);
  // Mode 3 reads 512 + b + s: the table agrees with min(255, b + s).
  for (int b = 0; b < 256; ++b)
    for (int s = 0; s < 256; ++s) ASSERT_EQ(clamp[512 + b + s], std::min(255, b + s));
}

TEST(BlendTables, WeightIsTheRatioCappedAt256) {
  const int16_t* weight = WeightTable();
  auto w = [&](int j, int k) { return weight[j * 256 + k]; };
  EXPECT_EQ(w(1, 1), 255);
  EXPECT_EQ(w(2, 1), 256);
  EXPECT_EQ(w(256, 255), 256);
  EXPECT_EQ(w(1, 255), 1);
  EXPECT_EQ(w(128, 255), 128);
  EXPECT_EQ(w(100, 200), 127);
  ReleaseBlendTables();
  EXPECT_EQ(WeightTable()[1 * 256 + 1], 255);  // built again on the next use
}

TEST(OpacityTable, EndsAt256OnlyAtFullOpacity) {
  int32_t table[256];
  BuildOpacityTable(100, table);
  EXPECT_EQ(table[253], 253);
  EXPECT_EQ(table[254], 254);
  EXPECT_EQ(table[255], 256);
  EXPECT_EQ(table[128], 128);
  BuildOpacityTable(50, table);
  EXPECT_EQ(table[255], 127);
  EXPECT_EQ(table[1], 0);
  BuildOpacityTable(0, table);
  EXPECT_EQ(table[255], 0);
}

TEST(OpacityWeight, IsOpacityTimes256Over100) {
  EXPECT_EQ(OpacityWeight(100), 256);
  EXPECT_EQ(OpacityWeight(50), 128);
  EXPECT_EQ(OpacityWeight(1), 2);
  EXPECT_EQ(OpacityWeight(0), 0);
  EXPECT_EQ(OpacityWeight(99), 253);
}

// --- the blended value -------------------------------------------------------------------

TEST(BlendedValue, EdgeCasesOfTheRules) {
  struct Case { const char* what; int mode, b, s, expected; } cases[] = {
      {"normal is the upper", 0, 10, 200, 200},
      {"multiply rounds", 1, 128, 128, 64},
      {"screen", 2, 128, 128, 192},
      {"add saturates", 3, 200, 100, 255},
      {"subtract stops at 0", 4, 10, 20, 0},
      {"subtract", 4, 20, 10, 10},
      {"lighten", 5, 10, 20, 20},
      {"darken", 6, 10, 20, 10},
      {"and", 9, 0xF0, 0x3C, 0x30},
      {"or", 10, 0xF0, 0x3C, 0xFC},
      {"xor", 11, 0xF0, 0x3C, 0xCC},
      {"divide by full keeps b", 12, 77, 255, 77},
      {"divide by zero saturates", 12, 1, 0, 255},
      {"divide zero by zero", 12, 0, 0, 0},
      {"divide", 12, 100, 127, 200},
      {"overlay at b 0 is the screen value", 13, 0, 200, 200},
      {"overlay", 13, 128, 128, 192 - (((192 - 64) * 128) >> 8)},
      {"overlay2 b 127 multiplies", 22, 127, 200, (2 * 127 * 200) >> 8},
      {"overlay2 b 128 screens", 22, 128, 200, 255 - 2 * (((255 - 128) * (255 - 200)) >> 8)},
      {"dodge b 0 s 255", 23, 0, 255, 0},
      {"dodge b 1 s 255", 23, 1, 255, 255},
      {"dodge sum 255", 23, 100, 155, (255 * 100) / 100},
      {"dodge", 23, 50, 100, (255 * 50) / 155},
      {"burn b 255 s 0", 24, 255, 0, 255},
      {"burn sum 254", 24, 100, 154, 0},
      {"burn sum 255", 24, 100, 155, 255 + (255 * (100 - 255)) / 155},
      {"burn truncates toward zero", 24, 200, 100, 255 + (255 * -55) / 100},
      {"hard light s 126 multiplies", 25, 100, 126, (2 * 100 * 126) >> 8},
      {"hard light s 127 screens", 25, 100, 127, 255 + (2 * 128 * (100 - 255)) / 256},
      {"hard light b 255", 25, 255, 200, 255},
  };
  for (const Case& c : cases) EXPECT_EQ(F(c.mode, c.b, c.s), c.expected) << c.what;
  EXPECT_EQ(255 + (255 * -55) / 100, 115);  // -140.25 truncates to -140, not -141
}

// Soft light straight from the rule, in double precision, for comparison.
int SoftLightRule(int b, int s) {
  const double x = s * 0.00392156862745098, y = b * 0.00392156862745098;
  const double d = x < 0.5 ? y - y * y : (y <= 0.12549019607843137 ? (y - y * y) * (3 - 8 * y) : std::sqrt(y) - y);
  return static_cast<int>((y + (2 * x - 1) * d) * 255);
}

TEST(BlendedValue, SoftLightFollowsTheFloatingPointRuleForEveryPair) {
  for (int b = 0; b < 256; ++b)
    for (int s = 0; s < 256; ++s) ASSERT_EQ(blend_reference::Channel(26, b, s), SoftLightRule(b, s)) << b << "," << s;
  EXPECT_EQ(F(26, 0, 255), 0);
  EXPECT_EQ(F(26, 128, 128), SoftLightRule(128, 128));
}

TEST(BlendedValue, DensityModesKeepTheLowerColourWhenTheSumsAreEqual) {
  const uint32_t lower = Pixel(10, 20, 30, 200), upper = Pixel(30, 20, 10, 50);
  for (int mode : {7, 8}) {
    uint32_t out;
    BlendColours(mode, &lower, &upper, &out, 1);
    EXPECT_EQ(out, lower) << mode;
  }
  const uint32_t darker = Pixel(1, 1, 1, 9), lighter = Pixel(200, 200, 200, 9);
  uint32_t out;
  BlendColours(7, &darker, &lighter, &out, 1);
  EXPECT_EQ(out, Pixel(200, 200, 200, 9));  // 濃度(濃) keeps the larger sum
  BlendColours(8, &darker, &lighter, &out, 1);
  EXPECT_EQ(out, darker);
}

TEST(BlendedValue, HlsModesCombineTheComponentsOfBothPixels) {
  // Lower pure red: HLS (0, 128, 255). Upper pure blue: (240, 128, 255). Upper white: (0, 255, 0).
  const uint32_t red = Pixel(0, 0, 255, 255), blue = Pixel(255, 0, 0, 255), white = Pixel(255, 255, 255, 255);
  auto blend = [](int mode, uint32_t lower, uint32_t upper) {
    uint32_t out;
    BlendColours(mode, &lower, &upper, &out, 1);
    return out;
  };
  // 色相 takes the upper hue: (240, 128, 255) is blue with m1 = 1: B 255, G 1, R 1.
  EXPECT_EQ(blend(15, red, blue), Pixel(255, 1, 1, 255));
  // 明度 takes the upper lightness 255: white.
  EXPECT_EQ(blend(17, red, white), Pixel(255, 255, 255, 255));
  // 彩度 takes the upper saturation 0: grey of the lower lightness 128.
  EXPECT_EQ(blend(16, red, white), Pixel(128, 128, 128, 255));
  // 明度減算 by 255 gives lightness 0: black.
  EXPECT_EQ(blend(19, red, white), Pixel(0, 0, 0, 255));
  // The alpha byte is the lower pixel's.
  EXPECT_EQ(Alpha(blend(14, Pixel(0, 0, 255, 7), blue)), 7);
}

// --- frames ------------------------------------------------------------------------------

TEST(MergeFrame, NormalAtFullOpacityOnAnOpaquePixelGivesTheUpperColour) {
  const uint32_t lower = Pixel(1, 2, 3, 255), upper = Pixel(200, 100, 50, 255);
  const uint8_t coverage = 255;
  uint32_t out;
  MergeRun(0, &lower, &upper, &coverage, OpacityWeight(100), &out, 1);
  EXPECT_EQ(out, Pixel(200, 100, 50, 255));
}

TEST(MergeFrame, CoverageOneAtHalfOpacityOverTransparencyGivesAlphaOneAndWeight255) {
  const uint32_t lower = Pixel(100, 100, 100, 0), upper = Pixel(200, 0, 100, 255);
  const uint8_t coverage = 1;
  uint32_t out;
  MergeRun(0, &lower, &upper, &coverage, OpacityWeight(50), &out, 1);
  // a = 0, A = (255 + 127) / 256 = 1, w = 255.
  EXPECT_EQ(out, Pixel(100 + ((100 * 255) >> 8), 100 + ((-100 * 255) >> 8), 100, 1));
  EXPECT_EQ((-100 * 255) >> 8, -100);  // the shift rounds toward minus infinity
}

TEST(MergeFrame, CoverageZeroLeavesTheLowerPixelInEveryMode) {
  const uint32_t lower = Pixel(12, 34, 56, 78), upper = Pixel(200, 100, 50, 255);
  const uint8_t coverage = 0;
  for (int mode = -1; mode <= kBlendModeCount; ++mode) {
    uint32_t out;
    MergeRun(mode, &lower, &upper, &coverage, 256, &out, 1);
    EXPECT_EQ(out, lower) << mode;
  }
}

TEST(MergeFrame, AModeOutsideTheTableChangesNothingAndAnOddWeightReadsNoFurther) {
  std::vector<uint32_t> lower(64, Pixel(1, 2, 3, 4)), upper(64, Pixel(9, 9, 9, 255)), out(64);
  std::vector<uint8_t> coverage(64, 255);
  MergeRun(27, lower.data(), upper.data(), coverage.data(), 256, out.data(), 64);
  EXPECT_EQ(out, lower);
  // Weights beyond what opacity 100 gives are held to it.
  std::vector<uint32_t> clamped(64), full(64);
  MergeRun(0, lower.data(), upper.data(), coverage.data(), 100000, clamped.data(), 64);
  MergeRun(0, lower.data(), upper.data(), coverage.data(), 256, full.data(), 64);
  EXPECT_EQ(clamped, full);
  MergeRun(0, lower.data(), upper.data(), coverage.data(), -5, clamped.data(), 64);
  MergeRun(0, lower.data(), upper.data(), coverage.data(), 0, full.data(), 64);
  EXPECT_EQ(clamped, full);
}

TEST(Coverage, ComesFromAlphaAndEachMaskScalesIt) {
  const uint32_t upper[4] = {Pixel(0, 0, 0, 0), Pixel(0, 0, 0, 1), Pixel(0, 0, 0, 128), Pixel(0, 0, 0, 255)};
  uint8_t coverage[4];
  CoverageFromAlpha(upper, coverage, 4);
  EXPECT_EQ(std::vector<uint8_t>(coverage, coverage + 4), (std::vector<uint8_t>{0, 1, 128, 255}));
  const uint8_t full[4] = {255, 255, 255, 255};
  ApplyMaskCoverage(full, coverage, 4);
  EXPECT_EQ(std::vector<uint8_t>(coverage, coverage + 4), (std::vector<uint8_t>{0, 1, 128, 255}));
  const uint8_t half[4] = {127, 127, 127, 127};
  ApplyMaskCoverage(half, coverage, 4);
  EXPECT_EQ(std::vector<uint8_t>(coverage, coverage + 4), (std::vector<uint8_t>{0, 0, 64, 127}));
  const uint8_t none[4] = {0, 0, 0, 0};
  ApplyMaskCoverage(none, coverage, 4);
  EXPECT_EQ(std::vector<uint8_t>(coverage, coverage + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(DisplayFrame, FullOpacityAndAlphaCopyTheUpperColourAndHalfAlphaWeighs128) {
  int32_t table[256];
  BuildOpacityTable(100, table);
  uint32_t destination[2] = {Pixel(0, 0, 0, 0x5A), Pixel(0, 0, 0, 0x5A)};
  const uint32_t upper[2] = {Pixel(200, 100, 50, 255), Pixel(200, 100, 50, 128)};
  DisplayRun(0, destination, upper, table, 2);
  EXPECT_EQ(destination[0], Pixel(200, 100, 50, 0x5A));  // the composite's alpha is not written
  EXPECT_EQ(destination[1], Pixel(100, 50, 25, 0x5A));
}

// --- fast kernels against the reference ----------------------------------------------------

struct FastKernels {
  const char* name;
  decltype(&blend_reference::MergeRun) merge;
  decltype(&blend_reference::DisplayRun) display;
};

std::vector<FastKernels> KernelsToTest() {
  std::vector<FastKernels> kernels{{"scalar", &blend_fast::MergeRun, &blend_fast::DisplayRun}};
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx2")) kernels.push_back({"avx2", &blend_avx2::MergeRun, &blend_avx2::DisplayRun});
#endif
  return kernels;
}

// Every (b, s) pair once per channel: blue walks b-major, green s-major, red a mix.
void AllPairs(std::vector<uint32_t>& lower, std::vector<uint32_t>& upper, int lowerAlpha, int upperAlpha) {
  lower.resize(65536);
  upper.resize(65536);
  for (int i = 0; i < 65536; ++i) {
    const int b = i >> 8, s = i & 255;
    lower[i] = Pixel(b, s, (b * 7 + s) & 255, lowerAlpha);
    upper[i] = Pixel(s, b, (s * 13 + b * 3) & 255, upperAlpha);
  }
}

TEST(FastBlendKernels, DisplayFrameMatchesTheReferenceForEveryChannelPair) {
  std::vector<uint32_t> lower, upper;
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    if (IsWholePixelMode(BlendMode{mode})) continue;
    for (int opacity : {0, 1, 50, 99, 100}) {
      int32_t table[256];
      BuildOpacityTable(opacity, table);
      for (int alpha : {0, 1, 128, 255}) {
        AllPairs(lower, upper, 0x33, alpha);
        std::vector<uint32_t> reference = lower;
        blend_reference::DisplayRun(mode, reference.data(), upper.data(), table, reference.size());
        for (const FastKernels& kernels : KernelsToTest()) {
          std::vector<uint32_t> fast = lower;
          kernels.display(mode, fast.data(), upper.data(), table, fast.size());
          ASSERT_EQ(fast, reference) << kernels.name << " mode " << mode << " opacity " << opacity << " alpha " << alpha;
        }
      }
    }
  }
}

TEST(FastBlendKernels, MergeFrameMatchesTheReferenceForEveryChannelPair) {
  std::vector<uint32_t> lower, upper;
  std::vector<uint8_t> coverage(65536);
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    if (IsWholePixelMode(BlendMode{mode})) continue;
    for (int opacity : {1, 50, 100}) {
      for (int lowerAlpha : {0, 128, 255}) {
        AllPairs(lower, upper, lowerAlpha, 255);
        for (int i = 0; i < 65536; ++i) coverage[i] = static_cast<uint8_t>((i * 31 + lowerAlpha) & 255);
        std::vector<uint32_t> reference(65536);
        blend_reference::MergeRun(mode, lower.data(), upper.data(), coverage.data(), OpacityWeight(opacity),
                                  reference.data(), 65536);
        for (const FastKernels& kernels : KernelsToTest()) {
          std::vector<uint32_t> fast(65536);
          kernels.merge(mode, lower.data(), upper.data(), coverage.data(), OpacityWeight(opacity), fast.data(), 65536);
          ASSERT_EQ(fast, reference) << kernels.name << " mode " << mode << " opacity " << opacity << " lower alpha "
                                     << lowerAlpha;
        }
      }
    }
  }
}

TEST(FastBlendKernels, WholePixelModesAndSoftLightMatchTheReferenceOnRandomPixels) {
  const unsigned seed = 1207;
  std::mt19937 random(seed);
  const size_t n = 1 << 18;
  std::vector<uint32_t> lower(n), upper(n);
  std::vector<uint8_t> coverage(n);
  for (size_t i = 0; i < n; ++i) {
    lower[i] = random();
    upper[i] = random();
    coverage[i] = static_cast<uint8_t>(random());
  }
  int32_t table[256];
  for (int mode : {7, 8, 14, 15, 16, 17, 18, 19, 20, 21, 26}) {
    for (int opacity : {37, 100}) {
      BuildOpacityTable(opacity, table);
      std::vector<uint32_t> displayed = lower, merged(n);
      blend_reference::DisplayRun(mode, displayed.data(), upper.data(), table, n);
      blend_reference::MergeRun(mode, lower.data(), upper.data(), coverage.data(), OpacityWeight(opacity), merged.data(), n);
      for (const FastKernels& kernels : KernelsToTest()) {
        std::vector<uint32_t> fast = lower;
        kernels.display(mode, fast.data(), upper.data(), table, n);
        ASSERT_EQ(fast, displayed) << kernels.name << " display mode " << mode << " seed " << seed;
        kernels.merge(mode, lower.data(), upper.data(), coverage.data(), OpacityWeight(opacity), fast.data(), n);
        ASSERT_EQ(fast, merged) << kernels.name << " merge mode " << mode << " seed " << seed;
      }
    }
  }
}

TEST(FastBlendKernels, RunsOfEveryLengthAndOffsetMatchTheReference) {
  std::mt19937 random(77);
  std::vector<uint32_t> lower(300), upper(300);
  std::vector<uint8_t> coverage(300);
  for (size_t i = 0; i < 300; ++i) {
    lower[i] = random();
    upper[i] = random();
    coverage[i] = static_cast<uint8_t>(random());
  }
  int32_t table[256];
  BuildOpacityTable(73, table);
  for (int mode : {0, 13, 14, 23}) {
    for (size_t offset = 0; offset < 9; ++offset) {
      for (size_t n : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{31}, size_t{250}}) {
        std::vector<uint32_t> displayed(lower.begin() + offset, lower.begin() + offset + n), merged(n);
        blend_reference::DisplayRun(mode, displayed.data(), &upper[offset], table, n);
        blend_reference::MergeRun(mode, &lower[offset], &upper[offset], &coverage[offset], 187, merged.data(), n);
        for (const FastKernels& kernels : KernelsToTest()) {
          std::vector<uint32_t> fast(lower.begin() + offset, lower.begin() + offset + n);
          kernels.display(mode, fast.data(), &upper[offset], table, n);
          ASSERT_EQ(fast, displayed) << kernels.name << " mode " << mode << " offset " << offset << " n " << n;
          kernels.merge(mode, &lower[offset], &upper[offset], &coverage[offset], 187, fast.data(), n);
          ASSERT_EQ(fast, merged) << kernels.name << " mode " << mode << " offset " << offset << " n " << n;
        }
      }
    }
  }
}

// Stacks of every mode (and one outside the table), layers with their own opacity tables and
// with odd tables, over runs of many lengths: the same as each layer in turn by the reference.
TEST(FastBlendKernels, AStackOfLayersEqualsItsLayersOneAfterTheOther) {
  std::mt19937 random(1301);
  const size_t longest = 1100;
  std::vector<std::vector<uint32_t>> uppers(30, std::vector<uint32_t>(longest));
  for (auto& upper : uppers)
    for (uint32_t& pixel : upper) pixel = random();
  std::vector<uint32_t> lower(longest);
  for (uint32_t& pixel : lower) pixel = random() | 0xFF000000u;
  std::vector<std::array<int32_t, 256>> tables(uppers.size());
  std::vector<DisplayLayer> layers(uppers.size());
  for (size_t i = 0; i < layers.size(); ++i) {
    const int32_t mode = i < 27 ? static_cast<int32_t>(i) : (i == 27 ? 27 : static_cast<int32_t>(random() % 27));
    int32_t opacity = static_cast<int32_t>(random() % 101);
    if (i % 7 == 3) {
      for (int k = 0; k < 256; ++k) tables[i][static_cast<size_t>(k)] = (k * 7 + static_cast<int>(i)) % 257;
      opacity = -1;  // not a layer's table: it is read
    } else {
      BuildOpacityTable(opacity, tables[i].data());
    }
    ASSERT_EQ(OpacityOfTable(tables[i].data()), opacity) << i;
    layers[i] = {mode, uppers[i].data(), tables[i].data(), opacity};
  }
  std::shuffle(layers.begin(), layers.end(), random);
  using Stack = void (*)(uint32_t*, const DisplayLayer*, size_t, size_t);
  std::vector<std::pair<const char*, Stack>> stacks{{"dispatched", &DisplayStack}};
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx2")) stacks.push_back({"avx2", &blend_avx2::DisplayStack});
#endif
  for (size_t n : {size_t{0}, size_t{1}, size_t{8}, size_t{15}, size_t{16}, size_t{17}, size_t{100}, size_t{255},
                   size_t{256}, size_t{257}, size_t{513}, longest}) {
    for (size_t count : {size_t{1}, size_t{3}, layers.size()}) {
      for (size_t first = 0; first + count <= layers.size(); first += count) {
        std::vector<uint32_t> reference(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(n));
        for (size_t i = first; i < first + count; ++i)
          blend_reference::DisplayRun(layers[i].mode, reference.data(), layers[i].upper, layers[i].opacityTable, n);
        for (const auto& [name, stack] : stacks) {
          std::vector<uint32_t> fast(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(n));
          stack(fast.data(), &layers[first], count, n);
          ASSERT_EQ(fast, reference) << name << " n " << n << " layers " << first << "+" << count;
        }
      }
    }
  }
}

// Computed weights at every opacity and alpha, on runs short enough that the table would
// otherwise be read, in a planar, an HLS and a table mode.
TEST(FastBlendKernels, DisplayAtAKnownOpacityEqualsDisplayThroughTheTable) {
  std::mt19937 random(1302);
  std::vector<uint32_t> lower(256 + 37), upper(lower.size());
  for (size_t i = 0; i < lower.size(); ++i) {
    lower[i] = random() | 0xFF000000u;
    upper[i] = (random() & 0x00FFFFFFu) | static_cast<uint32_t>(i & 255) << 24;  // every alpha
  }
  int32_t table[256];
  for (int32_t opacity = 0; opacity <= 100; ++opacity) {
    BuildOpacityTable(opacity, table);
    for (int mode : {0, 14, 23}) {
      for (size_t n : {size_t{37}, lower.size()}) {
        std::vector<uint32_t> reference(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(n));
        blend_reference::DisplayRun(mode, reference.data(), upper.data(), table, n);
        std::vector<uint32_t> fast(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(n));
        DisplayRunAtOpacity(mode, fast.data(), upper.data(), table, opacity, n);
        ASSERT_EQ(fast, reference) << "dispatched mode " << mode << " opacity " << opacity << " n " << n;
#if defined(__x86_64__)
        if (!__builtin_cpu_supports("avx2")) continue;
        fast.assign(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(n));
        blend_avx2::DisplayRunAtOpacity(mode, fast.data(), upper.data(), table, opacity, n);
        ASSERT_EQ(fast, reference) << "avx2 mode " << mode << " opacity " << opacity << " n " << n;
#endif
      }
    }
  }
}

TEST(FastBlendKernels, MergeMayWriteOverItsLowerRun) {
  std::vector<uint32_t> lower, upper;
  AllPairs(lower, upper, 90, 200);
  std::vector<uint8_t> coverage(65536, 200);
  std::vector<uint32_t> separate(65536), inPlace = lower;
  MergeRun(13, lower.data(), upper.data(), coverage.data(), 200, separate.data(), 65536);
  MergeRun(13, inPlace.data(), upper.data(), coverage.data(), 200, inPlace.data(), 65536);
  EXPECT_EQ(inPlace, separate);
}

}  // namespace
}  // namespace varnel

namespace varnel {
namespace {

TEST(FastHls, ConvertsEveryColourExactlyAsTheIntegerRule) {
  for (uint32_t rgb = 0; rgb < (1u << 24); ++rgb) {
    const uint32_t pixel = rgb | 0x5A000000u;
    ASSERT_EQ(hls_fast::RgbToHls(pixel), RgbToHls(pixel)) << std::hex << rgb;
  }
}

TEST(FastHls, ConvertsEveryInRangeHlsBackExactlyAsTheIntegerRule) {
  for (int32_t hue = 0; hue < 360; ++hue)
    for (int32_t lightness = 0; lightness < 256; ++lightness)
      for (int32_t saturation = 0; saturation < 256; ++saturation) {
        uint32_t expected = 0xA5123456u;
        HlsToRgb({hue, lightness, saturation}, reinterpret_cast<uint8_t*>(&expected));
        ASSERT_EQ(hls_fast::HlsToRgb({hue, lightness, saturation}, 0xA5123456u), expected)
            << hue << "," << lightness << "," << saturation;
      }
}

}  // namespace
}  // namespace varnel

namespace varnel {
namespace {

#if defined(__x86_64__)
bool VectorKernelsHere() { return __builtin_cpu_supports("avx2"); }

// The hue the vector kernels' roles stand for: the base of the largest channel, plus along
// when the next channel round red → green → blue → red is the middle one, minus otherwise.
int32_t HueOfParts(const blend_avx2::HlsParts& p) {
  using namespace blend_avx2;
  int32_t base = 240;
  bool nextIsSmallest = (p.roles & kMinRed) != 0;
  if (p.roles & kMaxRed) {
    base = 0;
    nextIsSmallest = (p.roles & kMinGreen) != 0;
  } else if (p.roles & kMaxGreen) {
    base = 120;
    nextIsSmallest = (p.roles & kMinBlue) != 0;
  }
  const int32_t hue = nextIsSmallest ? base - p.along : base + p.along;
  return hue < 0 ? hue + 360 : hue;
}

TEST(VectorHls, AnalysesEveryColourExactlyAsTheIntegerRule) {
  if (!VectorKernelsHere()) GTEST_SKIP() << "no AVX2 here";
  using namespace blend_avx2;
  std::vector<uint32_t> pixels(1 << 16);
  std::vector<HlsParts> parts(pixels.size());
  for (uint32_t block = 0; block < 256; ++block) {
    for (uint32_t i = 0; i < pixels.size(); ++i) pixels[i] = (block << 16 | i) | 0xC3000000u;
    AnalyseHlsRun(pixels.data(), parts.data(), pixels.size());
    for (uint32_t i = 0; i < pixels.size(); ++i) {
      const HlsColour expected = RgbToHls(pixels[i]);
      const HlsParts& p = parts[i];
      ASSERT_EQ(p.lightness, expected.lightness) << std::hex << pixels[i];
      ASSERT_EQ(p.saturation, expected.saturation) << std::hex << pixels[i];
      ASSERT_LE(p.along, 60) << std::hex << pixels[i];
      ASSERT_FALSE((p.roles & kMaxRed) && (p.roles & kMaxGreen)) << std::hex << pixels[i];
      ASSERT_EQ(HueOfParts(p), expected.hue) << std::hex << pixels[i];
      if (p.along > 0) {
        // Exactly one of the two channels that do not take m2 is the smallest.
        const uint8_t others = (p.roles & kMaxRed) ? (kMinGreen | kMinBlue)
                               : (p.roles & kMaxGreen) ? (kMinRed | kMinBlue)
                                                        : (kMinRed | kMinGreen);
        const uint8_t flagged = p.roles & others;
        ASSERT_TRUE(flagged != 0 && flagged != others) << std::hex << pixels[i];
      }
    }
  }
}

// Every role pattern the analysis can give (checked above): with along 0 any channels may be
// flagged smallest; otherwise exactly one of the two that do not take m2, and never the
// largest one. Each goes back as HlsToRgb takes its hue back, for every lightness and saturation.
TEST(VectorHls, SynthesisesEveryHueLightnessAndSaturationExactlyAsTheIntegerRule) {
  if (!VectorKernelsHere()) GTEST_SKIP() << "no AVX2 here";
  using namespace blend_avx2;
  std::vector<HlsParts> patterns;
  const uint8_t largest[3] = {kMaxRed, kMaxGreen, 0};
  const uint8_t othersOf[3][2] = {{kMinGreen, kMinBlue}, {kMinRed, kMinBlue}, {kMinRed, kMinGreen}};
  for (int m = 0; m < 3; ++m) {
    for (uint8_t flags = 0; flags < 8; ++flags)
      patterns.push_back({0, 0, 0, static_cast<uint8_t>(largest[m] | (flags * kMinRed))});
    for (int16_t along = 1; along <= 60; ++along)
      for (int smallest = 0; smallest < 2; ++smallest)
        patterns.push_back({0, 0, along, static_cast<uint8_t>(largest[m] | othersOf[m][smallest])});
  }
  std::vector<HlsParts> parts(256 * 256);
  std::vector<uint32_t> pixels(parts.size());
  for (const HlsParts& pattern : patterns) {
    for (int16_t l = 0; l < 256; ++l)
      for (int16_t s = 0; s < 256; ++s) parts[static_cast<size_t>(l * 256 + s)] = {l, s, pattern.along, pattern.roles};
    SynthesiseHlsRun(parts.data(), pixels.data(), pixels.size());
    const int32_t hue = HueOfParts(pattern);
    for (size_t i = 0; i < parts.size(); ++i) {
      uint32_t expected = 0;
      HlsToRgb({hue, parts[i].lightness, parts[i].saturation}, reinterpret_cast<uint8_t*>(&expected));
      ASSERT_EQ(pixels[i], expected) << "roles " << int{pattern.roles} << " along " << pattern.along << " hls " << hue
                                     << "," << parts[i].lightness << "," << parts[i].saturation;
    }
  }
}

// Pixels at the edges of the HLS rules: greys and near greys, black and white, fully
// saturated colours, channel ties, and every hue sextant; every pair of them in every HLS mode.
TEST(VectorHls, EveryHlsModeMatchesTheReferenceOnEveryPairOfEdgeColours) {
  if (!VectorKernelsHere()) GTEST_SKIP() << "no AVX2 here";
  const int values[] = {0, 1, 3, 4, 127, 128, 130, 254, 255};
  std::vector<uint32_t> colours;
  for (int b : values)
    for (int g : values)
      for (int r : values) colours.push_back(Pixel(b, g, r, (b * 3 + g * 5 + r * 7) & 255));
  std::vector<uint32_t> lower, upper;
  for (uint32_t l : colours)
    for (uint32_t u : colours) {
      lower.push_back(l | 0xFF000000u);
      upper.push_back(u);
    }
  std::vector<uint8_t> coverage(lower.size());
  for (size_t i = 0; i < coverage.size(); ++i) coverage[i] = static_cast<uint8_t>(i * 37);
  int32_t table[256];
  BuildOpacityTable(100, table);
  for (int mode = 14; mode <= 21; ++mode) {
    std::vector<uint32_t> displayed = lower, fast = lower;
    blend_reference::DisplayRun(mode, displayed.data(), upper.data(), table, lower.size());
    blend_avx2::DisplayRun(mode, fast.data(), upper.data(), table, fast.size());
    ASSERT_EQ(fast, displayed) << "display mode " << mode;
    std::vector<uint32_t> merged(lower.size());
    blend_reference::MergeRun(mode, lower.data(), upper.data(), coverage.data(), 256, merged.data(), lower.size());
    blend_avx2::MergeRun(mode, lower.data(), upper.data(), coverage.data(), 256, fast.data(), fast.size());
    ASSERT_EQ(fast, merged) << "merge mode " << mode;
  }
}
#endif

}  // namespace
}  // namespace varnel

namespace varnel {
namespace {

TEST(FastBlendKernels, DisplayMatchesTheReferenceForEveryOpacityAndAlphaAndForOddTables) {
  std::mt19937 random(5);
  std::vector<uint32_t> lower(4096), upper(4096);
  for (size_t i = 0; i < lower.size(); ++i) {
    lower[i] = random();
    upper[i] = (random() & 0x00FFFFFFu) | static_cast<uint32_t>(i & 255) << 24;  // every alpha
  }
  auto check = [&](const int32_t* table, const char* what, int opacity) {
    for (int mode : {0, 1, 23}) {
      std::vector<uint32_t> reference = lower;
      blend_reference::DisplayRun(mode, reference.data(), upper.data(), table, lower.size());
      for (const FastKernels& kernels : KernelsToTest()) {
        std::vector<uint32_t> fast = lower;
        kernels.display(mode, fast.data(), upper.data(), table, fast.size());
        ASSERT_EQ(fast, reference) << kernels.name << " " << what << " " << opacity << " mode " << mode;
      }
    }
  };
  int32_t table[256];
  for (int opacity = 0; opacity <= 100; ++opacity) {
    BuildOpacityTable(opacity, table);
    check(table, "opacity", opacity);
  }
  // A table that is not a layer's own is read as given.
  for (int i = 0; i < 256; ++i) table[i] = (i * 7) % 257;
  check(table, "odd table", -1);
}

TEST(FastBlendKernels, MergeOverOpaqueAndTranslucentLowerPixelsMatchesTheReference) {
  std::mt19937 random(6);
  std::vector<uint32_t> lower(4096), upper(4096);
  std::vector<uint8_t> coverage(4096);
  for (size_t i = 0; i < lower.size(); ++i) {
    // Runs of eight opaque lower pixels, then mixed runs.
    lower[i] = random() | ((i / 8) % 2 == 0 ? 0xFF000000u : 0u);
    upper[i] = random();
    coverage[i] = static_cast<uint8_t>(random());
  }
  for (int mode : {0, 13, 17}) {
    for (int opacity : {0, 1, 64, 100}) {
      std::vector<uint32_t> reference(lower.size());
      blend_reference::MergeRun(mode, lower.data(), upper.data(), coverage.data(), OpacityWeight(opacity),
                                reference.data(), lower.size());
      for (const FastKernels& kernels : KernelsToTest()) {
        std::vector<uint32_t> fast(lower.size());
        kernels.merge(mode, lower.data(), upper.data(), coverage.data(), OpacityWeight(opacity), fast.data(), fast.size());
        ASSERT_EQ(fast, reference) << kernels.name << " mode " << mode << " opacity " << opacity;
      }
    }
  }
}

}  // namespace
}  // namespace varnel
