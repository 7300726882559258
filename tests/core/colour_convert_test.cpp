// The colour models beside RGB: integer HLS and floating-point HSV. Known values are worked
// out by hand from the conversion rules (the arithmetic is in the comments); sweeps over
// every RGB colour check what the rules promise for all of them; and the writers are fed
// the out-of-range values scripts and files can hand them.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include "core/colour_convert.h"

namespace varnel {
namespace {

constexpr uint8_t kUntouched = 0x5A;
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

uint32_t Pixel(int red, int green, int blue, uint32_t alpha = 0xFF) {
  return (alpha << 24) | (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) |
         static_cast<uint32_t>(blue);
}

// A pixel as it sits in memory: blue, green, red, alpha.
std::array<uint8_t, 4> PixelBytes(int red, int green, int blue, uint8_t alpha = 0xFF) {
  return {static_cast<uint8_t>(blue), static_cast<uint8_t>(green), static_cast<uint8_t>(red), alpha};
}

struct Rgb {
  int red;
  int green;
  int blue;
};

// Runs a writer on a pixel whose bytes all start as kUntouched and returns the bytes.
template <typename Writer>
std::array<uint8_t, 4> Written(Writer writer) {
  std::array<uint8_t, 4> bytes;
  bytes.fill(kUntouched);
  writer(bytes.data());
  return bytes;
}

void ExpectRgb(const std::array<uint8_t, 4>& bytes, const Rgb& expected) {
  EXPECT_EQ(bytes[2], expected.red) << "red";
  EXPECT_EQ(bytes[1], expected.green) << "green";
  EXPECT_EQ(bytes[0], expected.blue) << "blue";
  EXPECT_EQ(bytes[3], kUntouched) << "alpha";
}

std::string CaseName(const char* name) { return name; }

// ---------------------------------------------------------------------------------------
// RGB → HLS

struct RgbToHlsCase {
  const char* name;
  Rgb rgb;
  HlsColour hls;  // hue, lightness, saturation
};

void PrintTo(const RgbToHlsCase& c, std::ostream* os) { *os << c.name; }

class RgbToHlsKnownValues : public ::testing::TestWithParam<RgbToHlsCase> {};

TEST_P(RgbToHlsKnownValues, GiveTheHueLightnessAndSaturationWorkedOutByHand) {
  const RgbToHlsCase& c = GetParam();
  const HlsColour hls = RgbToHls(Pixel(c.rgb.red, c.rgb.green, c.rgb.blue));
  EXPECT_EQ(hls.hue, c.hls.hue);
  EXPECT_EQ(hls.lightness, c.hls.lightness);
  EXPECT_EQ(hls.saturation, c.hls.saturation);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, RgbToHlsKnownValues,
    ::testing::Values(
        // d = 3 is under 4: grey, lightness (13 + 10 + 1) >> 1 = 12.
        RgbToHlsCase{"ThreeApartCountsAsGrey", {10, 12, 13}, {0, 12, 0}},
        // d = 3 again, with green on top: still no hue. L = (103 + 100 + 1) >> 1 = 102.
        RgbToHlsCase{"ThreeApartWithGreenOnTopCountsAsGrey", {100, 103, 100}, {0, 102, 0}},
        // d = 4 is coloured. L = 102, S = (204/2 + 255*4) / 204 = 1122/204 = 5,
        // H = (2 + 60*0) / 4 + 120 = 120.
        RgbToHlsCase{"FourApartHasAHue", {100, 104, 100}, {120, 102, 5}},
        // L = 128 > 127: S = (255/2 + 255*255) / 255 = 65152/255 = 255; H = 127/255 = 0.
        RgbToHlsCase{"PureRed", {255, 0, 0}, {0, 128, 255}},
        RgbToHlsCase{"PureGreen", {0, 255, 0}, {120, 128, 255}},
        RgbToHlsCase{"PureBlue", {0, 0, 255}, {240, 128, 255}},
        // d = 96, L = 161 >> 1 = 80, S = (80 + 24480) / 160 = 153,
        // H = (48 + 60*32) / 96 = 1968/96 = 20.
        RgbToHlsCase{"Brown", {128, 64, 32}, {20, 80, 153}},
        // d = 150, L = 251 >> 1 = 125, S = (125 + 38250) / 250 = 153,
        // H = (75 + 60*50) / 150 = 3075/150 = 20.
        RgbToHlsCase{"Orange", {200, 100, 50}, {20, 125, 153}},
        RgbToHlsCase{"White", {255, 255, 255}, {0, 255, 0}},
        RgbToHlsCase{"Black", {0, 0, 0}, {0, 0, 0}},
        // H = (127 + 60*(0 - 130)) / 255 = -7673/255 = -30 (toward zero), + 360 = 330.
        RgbToHlsCase{"RedWithMoreBlueThanGreenWrapsToThreeThirty", {255, 0, 130}, {330, 128, 255}},
        // H = (127 - 7680) / 255 = -7553/255 = -29 (not -30: truncation), + 360 = 331.
        RgbToHlsCase{"NegativeHueTruncatesTowardZeroBeforeWrapping", {255, 0, 128}, {331, 128, 255}},
        // Red branch: (127 + 60*255) / 255 = 60. The green branch would give -59 + 120 = 61.
        RgbToHlsCase{"RedWinsATieWithGreen", {255, 255, 0}, {60, 128, 255}},
        // Green branch: (127 + 60*255) / 255 + 120 = 180. Blue would give -59 + 240 = 181.
        RgbToHlsCase{"GreenWinsATieWithBlue", {0, 255, 255}, {180, 128, 255}},
        // Red branch: (127 - 15300) / 255 = -59, + 360 = 301. Blue would give 60 + 240 = 300.
        RgbToHlsCase{"RedWinsATieWithBlue", {255, 0, 255}, {301, 128, 255}},
        // Sum 254, L = 127: dark side, S = (127 + 255*146) / 254 = 37357/254 = 147
        // (the light side's divisor 256 would give 145).
        RgbToHlsCase{"LightnessOneTwentySevenUsesTheDarkSide", {200, 54, 54}, {0, 127, 147}},
        // Sum 256, L = 128: light side, S = (254/2 + 255*146) / 254 = 37357/254 = 147
        // (the dark side's divisor 256 would give 145).
        RgbToHlsCase{"LightnessOneTwentyEightUsesTheLightSide", {201, 55, 55}, {0, 128, 147}},
        // Blue on top, light side: d = 44, L = 401 >> 1 = 200, S = (55 + 11220) / 110 = 102,
        // H = (22 + 60*(178 - 207)) / 44 + 240 = -1718/44 + 240 = -39 + 240 = 201.
        RgbToHlsCase{"PaleBlue", {178, 207, 222}, {201, 200, 102}},
        // Odd d = 7 rounds with 7/2 = 3: H = (3 + 60*6) / 7 = 363/7 = 51 (a half of 4 would
        // make it 364/7 = 52). L = 208 >> 1 = 104, S = (103 + 1785) / 207 = 9.
        RgbToHlsCase{"OddDifferenceTakesTheWholeHalf", {107, 106, 100}, {51, 104, 9}}),
    [](const ::testing::TestParamInfo<RgbToHlsCase>& info) { return CaseName(info.param.name); });

TEST(RgbToHlsAlpha, IsIgnored) {
  const HlsColour opaque = RgbToHls(Pixel(128, 64, 32, 0xFF));
  for (uint32_t alpha : {0x00u, 0x01u, 0x7Fu, 0x80u, 0xFEu}) {
    EXPECT_EQ(RgbToHls(Pixel(128, 64, 32, alpha)), opaque) << "alpha " << alpha;
  }
  EXPECT_EQ(opaque, (HlsColour{20, 80, 153}));
}

// Every colour of the cube against what the rules guarantee for all of them. Red-on-top
// hues are (d/2 + 60k)/d with -d ≤ k ≤ d, i.e. -59…60 once truncated (d ≥ 4 makes the
// -d end -59.6 or above), so red owns 301…359 and 0…60, green 61…180 and blue 181…300:
// the ranges also pin down the tie order.
TEST(RgbToHlsEveryColour, KeepsHueLightnessAndSaturationWhereTheRulesPutThem) {
  int64_t failures = 0;
  uint32_t firstFailure = 0;
  for (uint32_t rgb = 0; rgb < (1u << 24); ++rgb) {
    const int red = static_cast<int>(rgb >> 16);
    const int green = static_cast<int>((rgb >> 8) & 0xFF);
    const int blue = static_cast<int>(rgb & 0xFF);
    const int maxChannel = std::max({red, green, blue});
    const int minChannel = std::min({red, green, blue});
    const int difference = maxChannel - minChannel;
    const HlsColour hls = RgbToHls(0xFF000000u | rgb);

    bool ok = hls.hue >= 0 && hls.hue <= 359 && hls.saturation >= 0 && hls.saturation <= 255 &&
              hls.lightness == (maxChannel + minChannel + 1) >> 1 &&
              (hls.saturation == 0) == (difference < 4);
    if (difference < 4) {
      ok = ok && hls.hue == 0;
    } else if (red == maxChannel) {
      ok = ok && (hls.hue <= 60 || hls.hue >= 301);
    } else if (green == maxChannel) {
      ok = ok && hls.hue >= 61 && hls.hue <= 180;
    } else {
      ok = ok && hls.hue >= 181 && hls.hue <= 300;
    }
    if (!ok && failures++ == 0) firstFailure = rgb;
  }
  EXPECT_EQ(failures, 0) << "first at RGB 0x" << std::hex << firstFailure;
}

// With saturation 0 the way back is a plain grey of the lightness, so every near-grey
// (d < 4) and every true grey comes back as three equal channels.
TEST(RgbToHlsEveryNearGrey, ComesBackAsAGreyOfItsLightness) {
  int64_t checked = 0;
  for (int red = 0; red < 256; ++red) {
    for (int green = std::max(0, red - 3); green <= std::min(255, red + 3); ++green) {
      for (int blue = std::max(0, red - 3); blue <= std::min(255, red + 3); ++blue) {
        const int maxChannel = std::max({red, green, blue});
        const int minChannel = std::min({red, green, blue});
        if (maxChannel - minChannel >= 4) continue;
        const int lightness = (maxChannel + minChannel + 1) >> 1;
        const HlsColour hls = RgbToHls(Pixel(red, green, blue));
        ASSERT_EQ(hls, (HlsColour{0, lightness, 0})) << red << "," << green << "," << blue;
        const auto bytes = Written([&](uint8_t* p) { HlsToRgb(hls, p); });
        ASSERT_EQ(bytes[0], lightness);
        ASSERT_EQ(bytes[1], lightness);
        ASSERT_EQ(bytes[2], lightness);
        ++checked;
      }
    }
  }
  // 256 exact greys plus every other triple no more than 3 apart.
  EXPECT_GT(checked, 256 * 20);
}

// ---------------------------------------------------------------------------------------
// HLS → RGB

struct HlsToRgbCase {
  const char* name;
  HlsColour hls;  // hue, lightness, saturation
  Rgb rgb;
};

void PrintTo(const HlsToRgbCase& c, std::ostream* os) { *os << c.name; }

class HlsToRgbKnownValues : public ::testing::TestWithParam<HlsToRgbCase> {};

TEST_P(HlsToRgbKnownValues, WriteTheChannelsWorkedOutByHandAndLeaveAlphaAlone) {
  const HlsToRgbCase& c = GetParam();
  ExpectRgb(Written([&](uint8_t* p) { HlsToRgb(c.hls, p); }), c.rgb);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, HlsToRgbKnownValues,
    ::testing::Values(
        HlsToRgbCase{"ZeroSaturationIsAGreyOfTheLightness", {0, 12, 0}, {12, 12, 12}},
        HlsToRgbCase{"ZeroSaturationIgnoresTheHue", {123, 77, 0}, {77, 77, 77}},
        HlsToRgbCase{"ZeroSaturationIgnoresEvenAWildHue", {kIntMin, 200, 0}, {200, 200, 200}},
        HlsToRgbCase{"White", {0, 255, 0}, {255, 255, 255}},
        HlsToRgbCase{"Black", {0, 0, 0}, {0, 0, 0}},
        // m2 = 128 + 255 - (32640 + 127)/255 = 383 - 128 = 255, m1 = 1. Green at hue 0:
        // 1 + (254*0 + 30)/60 = 1; blue at 240: m1.
        HlsToRgbCase{"PureRedComesBackWithOneInGreenAndBlue", {0, 128, 255}, {255, 1, 1}},
        HlsToRgbCase{"PureGreen", {120, 128, 255}, {1, 255, 1}},
        // Red at 360 wraps to 0: 1 + 30/60 = 1.
        HlsToRgbCase{"PureBlue", {240, 128, 255}, {1, 1, 255}},
        // Dark side: m2 = (408*80 + 127)/255 = 32767/255 = 128, m1 = 32. Green at 20:
        // 32 + (96*20 + 30)/60 = 32 + 1950/60 = 64.
        HlsToRgbCase{"BrownComesBackExactly", {20, 80, 153}, {128, 64, 32}},
        // m2 = (408*125 + 127)/255 = 51127/255 = 200, m1 = 50. Green: 50 + 3030/60 = 100.
        HlsToRgbCase{"OrangeComesBackExactly", {20, 125, 153}, {200, 100, 50}},
        // L = 127, dark side: m2 = (510*127 + 127)/255 = 64897/255 = 254, m1 = 0.
        HlsToRgbCase{"LightnessOneTwentySevenUsesTheDarkSide", {0, 127, 255}, {254, 0, 0}},
        // Light side: m2 = 300 - 20127/255 = 222, m1 = 178. Red at 320: m1. Green at 200
        // (falling edge): 178 + (44*40 + 30)/60 = 178 + 1790/60 = 207. Blue at 80: m2.
        HlsToRgbCase{"FallingEdgeOfTheLightSide", {200, 200, 100}, {178, 207, 222}},
        // Hue 720: red 840 → 480, green 720 → 360, blue 600 → 240; one turn leaves them all
        // at 240 or above, so all three are m1 = 1 (a full reduction would give red).
        HlsToRgbCase{"HueIsWrappedByOneTurnOnly", {720, 128, 255}, {1, 1, 1}},
        // Red -280 → 80: m2 = 255. Green -400 → -40: 1 + (254*-40 + 30)/60 = 1 - 168 = -167,
        // low byte 89. Blue -520 → -160: 1 + (-40640 + 30)/60 = 1 - 676 = -675, low byte 93.
        HlsToRgbCase{"HueTooFarBelowZeroExtrapolatesAndKeepsTheLowByte", {-400, 128, 255}, {255, 89, 93}},
        // Negative saturation from a script: m2 = (155*100 + 127)/255 = 61, m1 = 139.
        // Green at 30: 139 + (-78*30 + 30)/60 = 139 + (-2310/60 = -38, not -39) = 101.
        HlsToRgbCase{"NegativeSaturationDividesTowardZero", {30, 100, -100}, {61, 101, 139}},
        HlsToRgbCase{"LightnessAboveByteRangeKeepsTheLowByte", {0, 300, 0}, {44, 44, 44}},
        HlsToRgbCase{"NegativeLightnessKeepsTheLowByte", {0, -1, 0}, {255, 255, 255}},
        // The int32 extremes, worked with exact integers. m2 = 128, m1 = 0; red's hue
        // -2^31 + 120 + 360 = -2147483168 stays far below zero and extrapolates:
        // (128 * -2147483168 + 30)/60 = -4581297424, low byte 240. Green and blue, 120
        // and 240 degrees further down, land 256 and 512 lower: the same byte.
        HlsToRgbCase{"MostNegativeHue", {kIntMin, 64, 255}, {240, 240, 240}},
        // m2 = 2^32 - 2 - (((2^31 - 1)^2 + 127)/255) = -18085038897708865, m1 = 2L - m2;
        // (m2 - m1) × hue is about 1.3e24, past 64 bits.
        HlsToRgbCase{"MostNegativeHueWithLargestLightnessAndSaturation", {kIntMin, kIntMax, kIntMax}, {200, 200, 200}},
        HlsToRgbCase{"MostNegativeHueLightnessWithLargestSaturation", {kIntMin, kIntMin, kIntMax}, {156, 152, 148}},
        // Largest hue: every channel is m1 after one turn. m1 = -18085045357002816.
        HlsToRgbCase{"LargestHueWithMostNegativeLightnessAndSaturation", {kIntMax, kIntMin, kIntMin}, {192, 192, 192}},
        // m1 = -18085038906130368.
        HlsToRgbCase{"LargestHueLightnessWithMostNegativeSaturation", {kIntMax, kIntMax, kIntMin}, {64, 64, 64}},
        // Dark side with the largest saturation: m2 = 842150550, m1 = -842150350.
        HlsToRgbCase{"NearlyMostNegativeHueWithLargestSaturation", {kIntMin + 1, 100, kIntMax}, {255, 55, 111}}),
    [](const ::testing::TestParamInfo<HlsToRgbCase>& info) { return CaseName(info.param.name); });

TEST(HlsToRgbPixel, WritesOnlyBlueGreenAndRedOfItsOwnPixel) {
  std::array<uint8_t, 8> bytes;
  bytes.fill(kUntouched);
  HlsToRgb(HlsColour{20, 80, 153}, bytes.data());
  EXPECT_EQ(bytes[0], 32);
  EXPECT_EQ(bytes[1], 64);
  EXPECT_EQ(bytes[2], 128);
  for (size_t i = 3; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], kUntouched) << "byte " << i;
}

// ---------------------------------------------------------------------------------------
// RGB → HSV

struct RgbToHsvCase {
  const char* name;
  Rgb rgb;
  double hue;
  double saturation;
  double value;
};

void PrintTo(const RgbToHsvCase& c, std::ostream* os) { *os << c.name; }

class RgbToHsvKnownValues : public ::testing::TestWithParam<RgbToHsvCase> {};

TEST_P(RgbToHsvKnownValues, GiveTheHueSaturationAndValueWorkedOutByHand) {
  const RgbToHsvCase& c = GetParam();
  const auto bytes = PixelBytes(c.rgb.red, c.rgb.green, c.rgb.blue);
  const HsvColour hsv = RgbToHsv(bytes.data());
  EXPECT_DOUBLE_EQ(hsv.hue, c.hue);
  EXPECT_DOUBLE_EQ(hsv.saturation, c.saturation);
  EXPECT_DOUBLE_EQ(hsv.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, RgbToHsvKnownValues,
    ::testing::Values(
        RgbToHsvCase{"PureRed", {255, 0, 0}, 0.0, 1.0, 255.0},
        // 60 * 128 / 255 = 30.117…
        RgbToHsvCase{"Orange", {255, 128, 0}, 60.0 * 128 / 255, 1.0, 255.0},
        // -60 * 128 / 255 + 360 = 329.88…
        RgbToHsvCase{"RedWithMoreBlueThanGreenWraps", {255, 0, 128}, 360.0 - 60.0 * 128 / 255, 1.0, 255.0},
        // Green on top: 60 * 100 / 200 + 120.
        RgbToHsvCase{"GreenOnTop", {0, 200, 100}, 150.0, 1.0, 200.0},
        // Blue on top: 60 * 40 / 80 + 240; saturation 80 / 100.
        RgbToHsvCase{"BlueOnTop", {60, 20, 100}, 270.0, 0.8, 100.0},
        // No near-grey rule here, unlike HLS: 60 * (10 - 12) / 3 + 240 = 200, S = 3/13.
        RgbToHsvCase{"ThreeApartStillHasAHue", {10, 12, 13}, 200.0, 3.0 / 13, 13.0},
        RgbToHsvCase{"GreyHasNoHue", {77, 77, 77}, 0.0, 0.0, 77.0},
        RgbToHsvCase{"White", {255, 255, 255}, 0.0, 0.0, 255.0},
        RgbToHsvCase{"BlackHasNoSaturation", {0, 0, 0}, 0.0, 0.0, 0.0},
        // In HSV every tie gives the same hue whichever branch takes it (60*d/d and
        // -60*d/d + 120 are both exactly 60), so these check the hue, not the order.
        RgbToHsvCase{"RedAndGreenTie", {255, 255, 0}, 60.0, 1.0, 255.0},
        RgbToHsvCase{"GreenAndBlueTie", {0, 255, 255}, 180.0, 1.0, 255.0},
        RgbToHsvCase{"RedAndBlueTie", {255, 0, 255}, 300.0, 1.0, 255.0}),
    [](const ::testing::TestParamInfo<RgbToHsvCase>& info) { return CaseName(info.param.name); });

TEST(RgbToHsvAlpha, IsIgnored) {
  for (uint8_t alpha : {uint8_t{0x00}, uint8_t{0x80}, uint8_t{0xFF}}) {
    const auto bytes = PixelBytes(255, 128, 0, alpha);
    const HsvColour hsv = RgbToHsv(bytes.data());
    EXPECT_DOUBLE_EQ(hsv.hue, 60.0 * 128 / 255) << "alpha " << int{alpha};
    EXPECT_DOUBLE_EQ(hsv.saturation, 1.0);
    EXPECT_DOUBLE_EQ(hsv.value, 255.0);
  }
}

// ---------------------------------------------------------------------------------------
// HSV → RGB

struct HsvToRgbCase {
  const char* name;
  HsvColour hsv;  // hue, saturation, value
  Rgb rgb;
};

void PrintTo(const HsvToRgbCase& c, std::ostream* os) { *os << c.name; }

class HsvToRgbKnownValues : public ::testing::TestWithParam<HsvToRgbCase> {};

TEST_P(HsvToRgbKnownValues, WriteTheChannelsWorkedOutByHandAndLeaveAlphaAlone) {
  const HsvToRgbCase& c = GetParam();
  ExpectRgb(Written([&](uint8_t* p) { HsvToRgb(c.hsv, p); }), c.rgb);
}

// With S = 1 and V = 255: p = trunc(0.5) = 0 and, halfway through a sector (f = 0.5),
// q = t = trunc(127.5 + 0.5) = 128.
INSTANTIATE_TEST_SUITE_P(
    Colours, HsvToRgbKnownValues,
    ::testing::Values(
        HsvToRgbCase{"PureRed", {0.0, 1.0, 255.0}, {255, 0, 0}},
        HsvToRgbCase{"HalfwayThroughSectorZero", {30.0, 1.0, 255.0}, {255, 128, 0}},
        HsvToRgbCase{"HalfwayThroughSectorOne", {90.0, 1.0, 255.0}, {128, 255, 0}},
        // f = 0.5: p = 0, t = trunc(100 + 0.5) = 100.
        HsvToRgbCase{"HalfwayThroughSectorTwo", {150.0, 1.0, 200.0}, {0, 200, 100}},
        HsvToRgbCase{"HalfwayThroughSectorThree", {210.0, 1.0, 255.0}, {0, 128, 255}},
        // p = trunc(0.2*100 + 0.5) = 20, t = trunc(0.6*100 + 0.5) = 60.
        HsvToRgbCase{"HalfwayThroughSectorFour", {270.0, 0.8, 100.0}, {60, 20, 100}},
        HsvToRgbCase{"HalfwayThroughSectorFive", {330.0, 1.0, 255.0}, {255, 0, 128}},
        HsvToRgbCase{"HueThreeSixtyIsRed", {360.0, 1.0, 255.0}, {255, 0, 0}},
        // p = trunc(100 + 0.5) = 100, t = trunc(0.5*200 + 0.5) = 100.
        HsvToRgbCase{"HueThreeSixtyIsLikeZeroAtHalfSaturation", {360.0, 0.5, 200.0}, {200, 100, 100}},
        HsvToRgbCase{"HueZeroAtHalfSaturation", {0.0, 0.5, 200.0}, {200, 100, 100}},
        HsvToRgbCase{"ZeroSaturationTruncatesTheValue", {0.0, 0.0, 127.9}, {127, 127, 127}},
        HsvToRgbCase{"ZeroSaturationIgnoresEvenAHueOutOfRange", {400.0, 0.0, 50.0}, {50, 50, 50}},
        // The top channel truncates (200), the others round: p = trunc(100.45 + 0.5) = 100.
        HsvToRgbCase{"TopChannelTruncatesWhereTheOthersRound", {0.0, 0.5, 200.9}, {200, 100, 100}},
        // Sector 0 with f = -0.5: t = trunc((1 - 1.5)*255 + 0.5) = -127, low byte 129.
        HsvToRgbCase{"HueJustBelowZeroStaysInSectorZero", {-30.0, 1.0, 255.0}, {255, 129, 0}},
        HsvToRgbCase{"ValueAboveByteRangeKeepsTheLowByte", {0.0, 1.0, 300.0}, {44, 0, 0}},
        HsvToRgbCase{"NegativeValueKeepsTheLowByte", {0.0, 0.0, -1.0}, {255, 255, 255}},
        // The last values that still convert to an int32.
        HsvToRgbCase{"LargestConvertibleValue", {0.0, 0.0, 2147483647.9}, {255, 255, 255}},
        HsvToRgbCase{"MostNegativeConvertibleValue", {0.0, 0.0, -2147483648.9}, {0, 0, 0}}),
    [](const ::testing::TestParamInfo<HsvToRgbCase>& info) { return CaseName(info.param.name); });

struct UnchangedCase {
  const char* name;
  HsvColour hsv;
};

void PrintTo(const UnchangedCase& c, std::ostream* os) { *os << c.name; }

class HsvToRgbUnusable : public ::testing::TestWithParam<UnchangedCase> {};

TEST_P(HsvToRgbUnusable, LeavesThePixelAsItWas) {
  const UnchangedCase& c = GetParam();
  const auto bytes = Written([&](uint8_t* p) { HsvToRgb(c.hsv, p); });
  for (size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], kUntouched) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Values, HsvToRgbUnusable,
    ::testing::Values(
        // -60 × the reciprocal is -1: sector -1.
        UnchangedCase{"HueOneSectorBelowZero", {-60.0, 1.0, 255.0}},
        UnchangedCase{"HueBeyondTheLastSector", {400.0, 1.0, 255.0}},
        UnchangedCase{"HueJustPastThreeSixty", {360.5, 1.0, 255.0}},
        UnchangedCase{"NaNHue", {kNaN, 1.0, 255.0}},
        UnchangedCase{"InfiniteHue", {kInfinity, 1.0, 255.0}},
        UnchangedCase{"NegativeInfiniteHue", {-kInfinity, 1.0, 255.0}},
        UnchangedCase{"HugeHue", {1e300, 1.0, 255.0}},
        UnchangedCase{"NaNSaturation", {0.0, kNaN, 255.0}},
        UnchangedCase{"InfiniteSaturation", {0.0, kInfinity, 255.0}},
        UnchangedCase{"NaNValue", {0.0, 1.0, kNaN}},
        UnchangedCase{"HugeValue", {0.0, 1.0, 1e300}},
        UnchangedCase{"HugeNegativeValue", {0.0, 1.0, -1e300}},
        UnchangedCase{"ValueJustPastTheInt32Range", {0.0, 1.0, 2147483648.0}},
        UnchangedCase{"GreyWithNaNValue", {0.0, 0.0, kNaN}},
        UnchangedCase{"GreyWithValuePastTheInt32Range", {0.0, 0.0, 2147483648.0}},
        UnchangedCase{"GreyWithValueJustBelowTheInt32Range", {0.0, 0.0, -2147483649.0}},
        UnchangedCase{"GreyWithInfiniteValue", {0.0, 0.0, kInfinity}}),
    [](const ::testing::TestParamInfo<UnchangedCase>& info) { return CaseName(info.param.name); });

TEST(HsvToRgbPixel, WritesOnlyBlueGreenAndRedOfItsOwnPixel) {
  std::array<uint8_t, 8> bytes;
  bytes.fill(kUntouched);
  HsvToRgb(HsvColour{150.0, 1.0, 200.0}, bytes.data());
  EXPECT_EQ(bytes[0], 100);
  EXPECT_EQ(bytes[1], 200);
  EXPECT_EQ(bytes[2], 0);
  for (size_t i = 3; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], kUntouched) << "byte " << i;
}

TEST(HsvToRgbHueThreeSixty, MatchesHueZeroAcrossSaturationsAndValues) {
  for (double saturation : {0.1, 0.25, 0.5, 0.75, 1.0}) {
    for (double value : {1.0, 64.0, 127.5, 200.0, 255.0}) {
      const auto atZero = Written([&](uint8_t* p) { HsvToRgb(HsvColour{0.0, saturation, value}, p); });
      const auto atFull = Written([&](uint8_t* p) { HsvToRgb(HsvColour{360.0, saturation, value}, p); });
      // Hue 0 is (v, t, p) with f = 0, so green and blue are both p: never left unchanged.
      EXPECT_EQ(atZero[2], static_cast<uint8_t>(value));
      EXPECT_EQ(atZero[1], atZero[0]);
      EXPECT_EQ(atFull, atZero) << "S " << saturation << " V " << value;
    }
  }
}

// A grid of HSV colours against the textbook construction (chroma C = V·S, the middle
// channel C·(1 - |h mod 2 - 1|) above the floor V - C), worked in real numbers. The writer
// truncates the top channel and rounds the other two, so each byte is within one step.
TEST(HsvToRgbGrid, LandsWithinOneStepOfTheExactColour) {
  for (int hueStep = 0; hueStep < 144; ++hueStep) {
    const double hue = 2.5 * hueStep;
    for (int saturationStep = 0; saturationStep <= 20; ++saturationStep) {
      const double saturation = saturationStep / 20.0;
      for (int valueStep = 0; valueStep <= 100; ++valueStep) {
        const double value = 2.55 * valueStep;
        const double sector = hue / 60.0;
        const double chroma = value * saturation;
        const double middle = chroma * (1.0 - std::fabs(std::fmod(sector, 2.0) - 1.0));
        const double floor = value - chroma;
        double red = floor, green = floor, blue = floor;
        switch (static_cast<int>(sector)) {
          case 0: red += chroma; green += middle; break;
          case 1: red += middle; green += chroma; break;
          case 2: green += chroma; blue += middle; break;
          case 3: green += middle; blue += chroma; break;
          case 4: red += middle; blue += chroma; break;
          default: red += chroma; blue += middle; break;
        }
        const auto bytes = Written([&](uint8_t* p) { HsvToRgb(HsvColour{hue, saturation, value}, p); });
        ASSERT_NEAR(bytes[2], red, 1.0) << "H " << hue << " S " << saturation << " V " << value;
        ASSERT_NEAR(bytes[1], green, 1.0) << "H " << hue << " S " << saturation << " V " << value;
        ASSERT_NEAR(bytes[0], blue, 1.0) << "H " << hue << " S " << saturation << " V " << value;
        ASSERT_EQ(bytes[3], kUntouched);
      }
    }
  }
}

// Starting from whole bytes no step is lost: V is the top channel exactly, and the other
// two are rebuilt as a whole number + 0.5, give or take a rounding error far below 0.5,
// before truncation. So every colour of the cube comes back exactly, through hues,
// saturations and values that all stay in their ranges.
TEST(HsvRoundTripEveryColour, ComesBackExactly) {
  int64_t failures = 0;
  uint32_t firstFailure = 0;
  for (uint32_t rgb = 0; rgb < (1u << 24); ++rgb) {
    const std::array<uint8_t, 4> source{static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                                        static_cast<uint8_t>(rgb >> 16), kUntouched};
    const HsvColour hsv = RgbToHsv(source.data());
    std::array<uint8_t, 4> back{0, 0, 0, kUntouched};
    HsvToRgb(hsv, back.data());
    const bool inRange = hsv.hue >= 0.0 && hsv.hue < 360.0 && hsv.saturation >= 0.0 &&
                         hsv.saturation <= 1.0 && hsv.value == std::max({source[0], source[1], source[2]});
    if ((!inRange || back != source) && failures++ == 0) firstFailure = rgb;
  }
  EXPECT_EQ(failures, 0) << "first at RGB 0x" << std::hex << firstFailure;
}

}  // namespace
}  // namespace varnel
