// The colour mask modes: their references, tolerances and bounds.

#include <gtest/gtest.h>

#include "brush/colour_mask.h"
#include "tests/brush/brush_test_support.h"

namespace varnel {
namespace {

using brush_test::Grey;
using brush_test::MakeLayer;
using brush_test::Rgb;

TEST(ColourMask, ModeZeroAndUnknownModesHaveNoObject) {
  EXPECT_EQ(ColourMask::Create(0, 50, 100, 30), nullptr);
  EXPECT_EQ(ColourMask::Create(11, 50, 100, 30), nullptr);
  EXPECT_EQ(ColourMask::Create(-1, 50, 100, 30), nullptr);
}

TEST(ColourMask, PercentagesBecomeLevelsTruncatingTowardZero) {
  auto mask = ColourMask::Create(1, 50, 100, 30);
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask->ChannelTolerance(), 76);  // 30 × 255 / 100 = 76.5
  EXPECT_EQ(mask->HueTolerance(), 108);     // 30 × 360 / 100
  EXPECT_EQ(mask->Minimum(), 127);          // 50 × 255 / 100 = 127.5
  EXPECT_EQ(mask->Maximum(), 255);
  auto negative = ColourMask::Create(1, -1, 100, -10);
  EXPECT_EQ(negative->ChannelTolerance(), -25);  // −25.5 toward zero
  EXPECT_EQ(negative->Minimum(), -2);
}

struct MaskTest {
  const char* name;
  int32_t mode;
  uint32_t reference;  // the layer pixel at pen-down, or the background colour for mode 3
  uint32_t pixel;
  bool accepted;
};

// Tolerance 30 % (76, hue 108), minimum 50 % (127), maximum 100 % (255).
const MaskTest kMaskTests[] = {
    {"StartPointChannelAtTolerance", 1, Grey(100), Rgb(176, 100, 100), true},
    {"StartPointChannelPastTolerance", 1, Grey(100), Rgb(100, 100, 24 - 1), false},
    {"StartPointBlueAtTolerance", 1, Grey(100), Rgb(100, 100, 24), true},
    {"StartPointAlphaIgnored", 1, Grey(100, 255), Grey(100, 0), true},
    {"OtherThanStartOneChannelPast", 2, Grey(100), Rgb(100, 177, 100), true},
    {"OtherThanStartAllWithin", 2, Grey(100), Rgb(176, 24, 100), false},
    {"BackgroundWithin", 3, Grey(200), Grey(255), true},
    {"BackgroundPast", 3, Grey(200), Grey(100), false},
    {"StartSumAtThreeTolerances", 4, Grey(100), Rgb(255, 255, 18), true},   // 528 − 300 = 228
    {"StartSumPastThreeTolerances", 4, Grey(100), Rgb(255, 255, 19), false},
    {"StartHueWithin", 5, Rgb(255, 0, 0), Rgb(255, 255, 0), true},           // hue 60
    {"StartHuePast", 5, Rgb(255, 0, 0), Rgb(0, 255, 0), false},              // hue 120 > 108
    {"StartHueDoesNotWrap", 5, Rgb(255, 0, 0), Rgb(255, 0, 255), false},     // hue 301
    {"StartLightnessWithin", 6, Grey(100), Grey(176), true},
    {"StartLightnessPast", 6, Grey(100), Grey(177), false},
    {"StartSaturationWithin", 7, Grey(100), Rgb(200, 100, 50), false},      // S 153 − 0 > 76
    {"StartSaturationSame", 7, Rgb(255, 0, 0), Rgb(0, 0, 255), true},       // both 255
    {"SumRangeLowerBound", 8, 0, Grey(127), true},                           // 381 = 3 × 127
    {"SumRangeBelow", 8, 0, Rgb(127, 127, 126), false},
    {"SumRangeUpperBound", 8, 0, Grey(255), true},
    {"LightnessRangeLowerBound", 9, 0, Grey(127), true},
    {"LightnessRangeBelow", 9, 0, Grey(126), false},
    {"SaturationRangeFull", 10, 0, Rgb(255, 0, 0), true},
    {"SaturationRangeGrey", 10, 0, Grey(200), false},
};

class ColourMaskModes : public ::testing::TestWithParam<MaskTest> {};

TEST_P(ColourMaskModes, TestsThePixelAgainstTheReference) {
  const MaskTest& t = GetParam();
  auto mask = ColourMask::Create(t.mode, 50, 100, 30);
  ASSERT_NE(mask, nullptr);
  auto layer = MakeLayer({3, 3}, Grey(0));
  layer->Row(1)[2] = t.reference;
  mask->TakeReference(*layer, 2, 1);
  mask->SetBackground(t.reference & 0x00FFFFFFu);
  EXPECT_EQ(mask->Accepts(t.pixel), t.accepted);
}

INSTANTIATE_TEST_SUITE_P(Modes, ColourMaskModes, ::testing::ValuesIn(kMaskTests),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ColourMask, OnlyTheStartModesTakeTheirReferenceFromTheLayer) {
  auto layer = MakeLayer({2, 2}, Grey(10));
  auto background = ColourMask::Create(3, 50, 100, 0);
  background->SetBackground(0x00FF0000u);
  background->TakeReference(*layer, 0, 0);
  EXPECT_EQ(background->Reference(), 0x00FF0000u);
  EXPECT_TRUE(background->Accepts(Rgb(255, 0, 0)));
  // The other modes ignore the background colour.
  auto start = ColourMask::Create(1, 50, 100, 0);
  start->TakeReference(*layer, 1, 1);
  start->SetBackground(0x00FF0000u);
  EXPECT_EQ(start->Reference(), 0x000A0A0Au);
}

TEST(ColourMask, APenDownOutsideTheLayerTakesBlack) {
  auto layer = MakeLayer({2, 2}, Grey(10));
  auto mask = ColourMask::Create(1, 50, 100, 0);
  mask->TakeReference(*layer, 5, -1);
  EXPECT_EQ(mask->Reference(), 0u);
  EXPECT_TRUE(mask->Accepts(Grey(0)));
  EXPECT_FALSE(mask->Accepts(Grey(1)));
}

}  // namespace
}  // namespace varnel
