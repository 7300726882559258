#include "macrolet/script_pixels.h"

#include <gtest/gtest.h>

namespace varnel::script {
namespace {

// Surface pixels 0xAARRGGBB with the same value in every colour byte.
constexpr uint32_t Grey(uint32_t alpha, uint32_t v) { return alpha << 24 | v * 0x010101u; }

TEST(ScriptColourLayout, RedAndBlueTradePlacesBothWays) {
  EXPECT_EQ(SwapRedBlue(0x80112233u), 0x80332211u);
  EXPECT_EQ(SwapRedBlue(SwapRedBlue(0x12345678u)), 0x12345678u);
}

TEST(BlendWeights, HoldOpacityToItsRangeAndScaleByAlphaWithIntegerDivision) {
  struct Case {
    int32_t opa;
    bool useAlpha;
    int32_t alpha;
    int32_t expected;
  } cases[] = {
      {300, false, 0, 256},  {-5, false, 255, 0},  {256, true, 255, 256}, {256, true, 128, 128},
      {256, true, 1, 1},     {100, true, 200, 78}, {100, false, 7, 100},  {100, true, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(BlendWeights(c.opa, c.useAlpha)[c.alpha], c.expected) << c.opa << " " << c.useAlpha << " " << c.alpha;
}

TEST(BlendPixel, EveryPerByteOperationAtFullWeight) {
  struct Case {
    int32_t operation;
    uint32_t d, s, expected;
  } cases[] = {
      {0, 200, 100, 100},  {1, 200, 100, 78},   {2, 200, 100, 222}, {3, 200, 100, 255}, {3, 50, 200, 63},
      {4, 200, 100, 110},  {5, 200, 100, 255},  {6, 200, 100, 100}, {6, 100, 200, 0},   {7, 200, 100, 200},
      {8, 200, 100, 100},  {11, 0xF0, 0x3C, 0x30}, {12, 0xF0, 0x3C, 0xFC}, {13, 0xF0, 0x3C, 0xCC},
      {18, 200, 100, 100}, {-1, 200, 100, 100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(BlendPixel(c.operation, Grey(0x40, c.d), Grey(0xFF, c.s), 256), Grey(0x40, c.expected))
        << "operation " << c.operation;
}

TEST(BlendPixel, MovesTowardsTheResultByTheWeightWithAnArithmeticShift) {
  EXPECT_EQ(BlendPixel(0, 0x80102030u, 0xFF405060u, 128), 0x80283848u);
  EXPECT_EQ(BlendPixel(0, Grey(0, 200), Grey(0, 100), 128), Grey(0, 150));
  // (−1 × 128) >> 8 is −1, where a division would give 0.
  EXPECT_EQ(BlendPixel(0, Grey(0, 101), Grey(0, 100), 128), Grey(0, 100));
  EXPECT_EQ(BlendPixel(0, Grey(0x11, 101), Grey(0, 100), 0), Grey(0x11, 101));
}

TEST(BlendPixel, WholeColourOperationsCompareTheSumsOfTheColourBytes) {
  const uint32_t d = 0xFF0A141E;  // 10, 20, 30: sum 60
  struct Case {
    int32_t operation;
    uint32_t s, expected;
  } cases[] = {
      {9, 0x00050505, d},  {9, 0x00640000, 0xFF640000}, {9, 0x00141414, d},  // sum 60 is not less than 60
      {10, 0x00050505, 0xFF050505}, {10, 0x00640000, d},
  };
  for (const Case& c : cases) EXPECT_EQ(BlendPixel(c.operation, d, c.s, 256), c.expected) << c.operation;
}

TEST(BlendPixel, HueLightnessSaturationOperationsCombineTheComponentsAsListed) {
  const uint32_t red = 0xFFFF0000, green = 0xFF00FF00, grey = 0xFF646665;  // 100, 102, 101: grey
  struct Case {
    int32_t operation;
    uint32_t d, s, expected;
  } cases[] = {
      {14, red, green, 0xFF00FE00}, {15, red, green, 0xFF00FE00}, {16, red, green, 0xFFFE0000},
      {17, red, green, 0xFFFE0000}, {14, red, grey, 0xFF7F7F7F},  {16, red, grey, 0xFF7F7F7F},
  };
  for (const Case& c : cases) EXPECT_EQ(BlendPixel(c.operation, c.d, c.s, 256), c.expected) << c.operation;
}

TEST(HueLightnessSaturation, FollowsTheLightnessAndGreyRules) {
  struct Case {
    int32_t r, g, b, hue, lightness, saturation;
  } cases[] = {
      {255, 0, 0, 0, 127, 255},     {0, 255, 0, 120, 127, 255},   {0, 0, 255, 240, 127, 255},
      {255, 128, 0, 30, 127, 255},  {255, 255, 128, 60, 191, 255}, {10, 12, 13, 0, 11, 0},
      {255, 0, 255, 300, 127, 255},
  };
  for (const Case& c : cases) {
    const Hls hls = RgbToHls(c.r, c.g, c.b);
    EXPECT_EQ(hls.hue, c.hue) << c.r << "," << c.g << "," << c.b;
    EXPECT_EQ(hls.lightness, c.lightness) << c.r << "," << c.g << "," << c.b;
    EXPECT_EQ(hls.saturation, c.saturation) << c.r << "," << c.g << "," << c.b;
  }
  int32_t r = 0, g = 0, b = 0;
  HlsToRgb({200, 90, 0}, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{90, 90, 90}));
  HlsToRgb({480, 127, 255}, r, g, b);  // 480 is 120
  EXPECT_EQ((std::array{r, g, b}), (std::array{0, 254, 0}));
}

TEST(Lab, WhiteAndBlackSitAtTheEndsAndColoursComeBack) {
  const Lab white = RgbToLab(255, 255, 255);
  EXPECT_NEAR(white.l, 100.0, 1e-3);
  EXPECT_NEAR(white.a, 0.0, 1e-2);
  EXPECT_NEAR(RgbToLab(0, 0, 0).l, 0.0, 1e-9);
  int32_t r = 0, g = 0, b = 0;
  LabToRgb(RgbToLab(12, 200, 99), r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{12, 200, 99}));
}

}  // namespace
}  // namespace varnel::script
