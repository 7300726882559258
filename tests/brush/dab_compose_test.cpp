// ComposeDab and FinishDab: the weights, the 12 rules, the colour mask and affect alpha, and the
// vector path held to the reference.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "brush/colour_mask.h"
#include "brush/dab_compose.h"
#include "tests/brush/brush_test_support.h"

namespace varnel {
namespace {

using brush_test::Grey;
using brush_test::Rgb;

// One pixel through both paths; they must agree.
uint32_t Compose1(uint32_t old, uint32_t paint, uint8_t mask, int32_t opacity, int32_t rule, bool affectAlpha = true,
                  const ColourMask* colourMask = nullptr) {
  uint32_t result = 0xDEADBEEF, reference = 0xDEADBEEF;
  uint8_t m1 = mask, m2 = mask;
  ComposeDab(1, &result, &old, &paint, &m1, opacity, rule, colourMask, affectAlpha);
  dab_reference::ComposeDab(1, &reference, &old, &paint, &m2, opacity, rule, colourMask, affectAlpha);
  EXPECT_EQ(result, reference);
  return result;
}

uint32_t Finish1(uint32_t old, uint32_t kernel, int32_t opacity, bool affectAlpha = true,
                 const ColourMask* colourMask = nullptr) {
  uint32_t result = kernel, reference = kernel;
  FinishDab(1, &old, &result, opacity, colourMask, affectAlpha);
  dab_reference::FinishDab(1, &old, &reference, opacity, colourMask, affectAlpha);
  EXPECT_EQ(result, reference);
  return result;
}

struct WeightCase {
  const char* name;
  uint32_t old;
  uint32_t paint;
  uint8_t mask;
  int32_t opacity;
  bool affectAlpha;
  uint32_t expected;
};

const WeightCase kWeightCases[] = {
    // m = 256, A' = 255, k = 256: exactly the paint.
    {"FullMaskFullOpacityOverOpaqueIsThePaint", Rgb(10, 20, 30), Rgb(200, 100, 50), 255, 256, true, Rgb(200, 100, 50)},
    // m = 129, k = 129: 100 + (100 × 129) >> 8 = 150; 200 + floor(−100 × 129 / 256) = 149.
    {"HalfMaskRoundsTowardMinusInfinity", Rgb(100, 200, 100), Rgb(200, 100, 200), 128, 256, true, Rgb(150, 149, 150)},
    // m = 32640 / 256 + 1 = 128, A' = (255 × 128 + 127) >> 8 = 127, k = min(256, 32640 / 127) = 256.
    {"OverTransparentTheWeightIsCappedAt256", Grey(0, 0), Rgb(9, 8, 7), 255, 128, true, Rgb(9, 8, 7, 127)},
    // m = 256: A' = 100 + (155 × 256 + 127) >> 8 = 255.
    {"FullStrengthOverHalfAlpha", Grey(0, 100), Grey(255), 255, 256, true, Grey(255, 255)},
    // m = 65, A' = 100 + (155 × 65 + 127) >> 8 = 139, k = 255 × 65 / 139 = 119, c = 255 × 119 >> 8 = 118.
    {"WeightFromTheTable", Grey(0, 100), Grey(255), 64, 256, true, Grey(118, 139)},
    // The same without affect alpha: the colour moves, the alpha stays.
    {"WithoutAffectAlphaTheOldAlphaStays", Grey(0, 100), Grey(255), 64, 256, false, Grey(118, 100)},
    {"WithoutAffectAlphaATransparentPixelStaysWhole", Rgb(1, 2, 3, 0), Grey(255), 255, 256, false, Rgb(1, 2, 3, 0)},
    // Mask 0 leaves the pixel whole.
    {"MaskZeroKeepsTheOldPixel", Rgb(1, 2, 3, 4), Grey(255), 0, 256, true, Rgb(1, 2, 3, 4)},
    // Opacity 0 still lays m = 1: A' = 0 + (255 + 127) >> 8 = 1, k = 255, c = 255 × 255 >> 8 = 254.
    {"OpacityZeroStillLaysTheSmallestStep", Grey(0, 0), Grey(255), 255, 0, true, Grey(254, 1)},
    // Opacities outside 0…256 are taken at the nearest end.
    {"OpacityAbove256IsFull", Rgb(10, 20, 30), Rgb(200, 100, 50), 255, 1000, true, Rgb(200, 100, 50)},
};

class ComposeWeights : public ::testing::TestWithParam<WeightCase> {};

TEST_P(ComposeWeights, FollowTheRule) {
  const WeightCase& c = GetParam();
  EXPECT_EQ(Compose1(c.old, c.paint, c.mask, c.opacity, kComposeNormal, c.affectAlpha), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ComposeWeights, ::testing::ValuesIn(kWeightCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RuleCase {
  const char* name;
  int32_t rule;
  uint32_t expected;
};

// Layer pixel R 50, G 100, B 200 (HLS 221, 125, 153) and paint R 255, G 150, B 100 (HLS 19,
// 178, 255) at full weight, so the result is the rule's target.
const RuleCase kRuleCases[] = {
    {"Normal", kComposeNormal, Rgb(255, 150, 100)},
    // (o × s + 127) / 255: 50 × 255 → 50, 100 × 150 → 59, 200 × 100 → 78.
    {"Multiply", kComposeMultiply, Rgb(50, 59, 78)},
    // 255 − mul(255 − o, 255 − s): R 255, G 255 − 64, B 255 − 33.
    {"Screen", kComposeScreen, Rgb(255, 191, 222)},
    {"Add", kComposeAdd, Rgb(255, 250, 255)},
    {"Subtract", kComposeSubtract, Rgb(0, 0, 100)},
    {"Lighter", kComposeLighter, Rgb(255, 150, 200)},
    {"Darker", kComposeDarker, Rgb(50, 100, 100)},
    // scr − floor((scr − mul) × o / 256): R 255 − 40, G 191 − 51, B 222 − 112.
    {"Overlay", kComposeOverlay, Rgb(215, 140, 110)},
    // HLS (19, 125, 255): m2 = 250, m1 = 0.
    {"Colour", kComposeColour, Rgb(250, 79, 0)},
    // HLS (19, 125, 153): m2 = 200, m1 = 50.
    {"Hue", kComposeHue, Rgb(200, 98, 50)},
    // HLS (221, 125, 255).
    {"Saturation", kComposeSaturation, Rgb(0, 79, 250)},
    // HLS (221, 178, 153): m2 = 224, m1 = 132.
    {"Lightness", kComposeLightness, Rgb(132, 161, 224)},
    // An unknown rule composes normally.
    {"UnknownRuleIsNormal", 12, Rgb(255, 150, 100)},
};

class ComposeRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ComposeRules, GiveTheirTargetAtFullWeight) {
  EXPECT_EQ(Compose1(Rgb(50, 100, 200), Rgb(255, 150, 100), 255, 256, GetParam().rule), GetParam().expected);
  EXPECT_EQ(dab_reference::RuleTarget(GetParam().rule, Rgb(50, 100, 200), Rgb(255, 150, 100)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, ComposeRules, ::testing::ValuesIn(kRuleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComposeDab, RulesMoveByTheWeightTowardTheirTarget) {
  // Multiply, mask 128: k = 129; R 50 → 50, G 100 + floor(−41 × 129 / 256) = 79,
  // B 200 + floor(−122 × 129 / 256) = 138.
  EXPECT_EQ(Compose1(Rgb(50, 100, 200), Rgb(255, 150, 100), 128, 256, kComposeMultiply), Rgb(50, 79, 138));
}

TEST(ComposeDab, BlendModesMapOneToOneOntoRules) {
  for (int32_t mode = 0; mode < 12; ++mode) EXPECT_EQ(ComposeRuleFromBlendMode(mode), mode);
  EXPECT_EQ(ComposeRuleFromBlendMode(12), kComposeNormal);
  EXPECT_EQ(ComposeRuleFromBlendMode(-1), kComposeNormal);
}

TEST(ComposeDab, TheColourMaskClearsTheMaskOfRejectedPixels) {
  auto mask = ColourMask::Create(3, 50, 100, 10);  // background within 25
  mask->SetBackground(0x00FFFFFFu);
  const uint32_t old[2] = {Grey(240), Grey(200)};
  const uint32_t paint[2] = {Grey(0), Grey(0)};
  uint8_t bytes[2] = {255, 255};
  uint32_t result[2];
  ComposeDab(2, result, old, paint, bytes, 256, kComposeNormal, mask.get(), true);
  EXPECT_EQ(result[0], Grey(0));
  EXPECT_EQ(result[1], Grey(200));
  EXPECT_EQ(bytes[1], 0);
}

struct FinishCase {
  const char* name;
  uint32_t old;
  uint32_t kernel;
  int32_t opacity;
  bool affectAlpha;
  uint32_t expected;
};

const FinishCase kFinishCases[] = {
    {"FullOpacityWithAffectAlphaIsTheKernelsResult", Grey(10, 0), Rgb(1, 2, 3, 4), 256, true, Rgb(1, 2, 3, 4)},
    // 200 + floor(−100 × 128 / 256) = 150; 100 + 50 = 150; 101 + floor(99 × 0.5) = 150.
    {"HalfOpacityMovesAlphaAndColour", Rgb(100, 101, 200, 200), Rgb(200, 200, 101, 100), 128, true,
     Rgb(150, 150, 150, 150)},
    // Over alpha 0 the kernel's colour stays and the alpha moves: 0 + 255 × 128 >> 8 = 127.
    {"OverTransparentTheKernelColourStays", Rgb(90, 90, 90, 0), Rgb(10, 20, 30, 255), 128, true, Rgb(10, 20, 30, 127)},
    {"WithoutAffectAlphaTransparentStaysWhole", Rgb(90, 90, 90, 0), Rgb(10, 20, 30, 255), 256, false,
     Rgb(90, 90, 90, 0)},
    // The colour moves all the way at 256; the old alpha stays.
    {"WithoutAffectAlphaTheOldAlphaStays", Rgb(90, 90, 90, 7), Rgb(10, 20, 30, 255), 256, false, Rgb(10, 20, 30, 7)},
    {"WithoutAffectAlphaHalfWay", Rgb(90, 90, 90, 7), Rgb(10, 20, 30, 255), 128, false, Rgb(50, 55, 60, 7)},
    {"OpacityZeroKeepsTheOldPixel", Rgb(90, 90, 90, 7), Rgb(10, 20, 30, 255), 0, true, Rgb(90, 90, 90, 7)},
};

class FinishDabCases : public ::testing::TestWithParam<FinishCase> {};

TEST_P(FinishDabCases, MixByTheOpacity) {
  const FinishCase& c = GetParam();
  EXPECT_EQ(Finish1(c.old, c.kernel, c.opacity, c.affectAlpha), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, FinishDabCases, ::testing::ValuesIn(kFinishCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FinishDab, PixelsTheColourMaskRejectsStayOldEvenAtFullOpacity) {
  auto mask = ColourMask::Create(8, 50, 100, 0);  // sum 381 … 765
  EXPECT_EQ(Finish1(Grey(100), Grey(0), 256, true, mask.get()), Grey(100));
  EXPECT_EQ(Finish1(Grey(200), Grey(0), 256, true, mask.get()), Grey(0));
  EXPECT_EQ(Finish1(Grey(200, 0), Grey(0), 256, false, mask.get()), Grey(200, 0));
}

// The vector path against the reference over runs of every length up to 40 and random pixels;
// alpha, mask and opacity are drawn from small sets that include their ends.
TEST(DabVectorPath, MatchesTheReferenceOnRandomRuns) {
  std::mt19937 random(20240611);
  const int32_t opacities[] = {0, 1, 2, 127, 128, 129, 255, 256};
  const uint8_t alphas[] = {0, 1, 2, 127, 128, 254, 255};
  const uint8_t masks[] = {0, 1, 80, 128, 254, 255};
  for (int trial = 0; trial < 4000; ++trial) {
    const size_t n = 1 + random() % 40;
    std::vector<uint32_t> old(n), paint(n), kernel(n);
    std::vector<uint8_t> mask(n);
    for (size_t i = 0; i < n; ++i) {
      old[i] = (random() & 0x00FFFFFFu) | (uint32_t(alphas[random() % 7]) << 24);
      paint[i] = random();
      kernel[i] = random();
      mask[i] = masks[random() % 6];
    }
    const int32_t opacity = opacities[random() % 8];
    const int32_t rule = int32_t(random() % 12);
    const bool affectAlpha = random() % 2 == 0;
    std::vector<uint32_t> fast(n), slow(n);
    std::vector<uint8_t> m1 = mask, m2 = mask;
    ComposeDab(n, fast.data(), old.data(), paint.data(), m1.data(), opacity, rule, nullptr, affectAlpha);
    dab_reference::ComposeDab(n, slow.data(), old.data(), paint.data(), m2.data(), opacity, rule, nullptr, affectAlpha);
    ASSERT_EQ(fast, slow) << "trial " << trial << " rule " << rule << " opacity " << opacity;
    std::vector<uint32_t> f = kernel, s = kernel;
    FinishDab(n, old.data(), f.data(), opacity, nullptr, affectAlpha);
    dab_reference::FinishDab(n, old.data(), s.data(), opacity, nullptr, affectAlpha);
    ASSERT_EQ(f, s) << "trial " << trial << " opacity " << opacity;
  }
}

// Every mask byte over every old alpha at the opacities that matter, normal rule.
TEST(DabVectorPath, MatchesTheReferenceForEveryMaskAndAlpha) {
  std::vector<uint32_t> old(256), paint(256, Rgb(255, 0, 128)), fast(256), slow(256);
  std::vector<uint8_t> mask(256);
  for (int32_t opacity : {1, 100, 256}) {
    for (int32_t a = 0; a < 256; ++a) {
      for (int32_t i = 0; i < 256; ++i) {
        old[i] = Rgb(uint32_t(i), 255 - uint32_t(i), 37, uint32_t(a));
        mask[i] = uint8_t(i);
      }
      std::vector<uint8_t> m1 = mask, m2 = mask;
      ComposeDab(256, fast.data(), old.data(), paint.data(), m1.data(), opacity, kComposeNormal, nullptr, true);
      dab_reference::ComposeDab(256, slow.data(), old.data(), paint.data(), m2.data(), opacity, kComposeNormal, nullptr,
                                true);
      ASSERT_EQ(fast, slow) << "opacity " << opacity << " alpha " << a;
    }
  }
}

}  // namespace
}  // namespace varnel
