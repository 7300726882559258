// The colour adjustments: curve tables, each adjustment against a per-pixel reference written
// here from the rules (exact integer arithmetic, plain divisions), the AVX2 HSV stage against the
// reference stage over every colour, the canvas operation through a soft selection with undo,
// and the dialogs' preview. Random pictures use fixed seeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "colour/adjustments.h"
#include "colour/adjustments_p.h"
#include "core/canvas.h"
#include "core/region.h"
#include "platform/fast_paths.h"

namespace varnel {
namespace {

template <class Case>
  requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

// ---- the rules, written out ----------------------------------------------------------------

int64_t FloorDivision(int64_t n, int64_t d) { return n / d - ((n % d != 0) && (n < 0) ? 1 : 0); }
int64_t RoundHalfUp(int64_t n, int64_t d) { return FloorDivision(2 * n + d, 2 * d); }
uint32_t Clamp(int64_t v) { return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 255)); }

uint32_t Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFFu; }
uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

ColourCurve Curve(int32_t channel, int32_t type, std::vector<CurvePoint> points) {
  ColourCurve curve;
  curve.channel = channel;
  curve.type = type;
  curve.points = std::move(points);
  return curve;
}

// A byte position as a curve coordinate.
double At(double byte) { return byte / 256.0; }

bool IsIdentity(const CurveTable& table) {
  for (int i = 0; i < 256; ++i)
    if (table[i] != i) return false;
  return true;
}

// Curves: HSV (value, saturation read between table entries, hue) first, then red, green, blue.
struct CurvesReference {
  explicit CurvesReference(const CurveSet& set) {
    for (int k = 0; k < 6; ++k) t[k] = EvaluateCurve(set.curves[k]);
    hueKept = IsIdentity(t[kCurveHue]);
    hsv = !hueKept || !IsIdentity(t[kCurveSaturation]) || !IsIdentity(t[kCurveValue]);
  }
  uint32_t operator()(uint32_t pixel) const {
    int64_t r = Channel(pixel, 16), g = Channel(pixel, 8), b = Channel(pixel, 0);
    const CurveTable &hue = t[kCurveHue], &sat = t[kCurveSaturation], &val = t[kCurveValue];
    if (hsv) {
      const int64_t M = std::max({r, g, b}), m = std::min({r, g, b}), C = M - m;
      const int64_t newM = val[M];
      int64_t newC;
      if (M == 0) {
        newC = RoundHalfUp(newM * sat[0], 255);
      } else {
        const int64_t i = 255 * C / M, rest = 255 * C % M;
        newC = RoundHalfUp(newM * (sat[i] * (M - rest) + sat[std::min<int64_t>(i + 1, 255)] * rest), 255 * M);
      }
      const int64_t newMin = newM - newC;
      if (hueKept) {
        if (C == 0) {
          r = newM, g = newMin, b = newMin;
        } else {
          r = newMin + RoundHalfUp((r - m) * newC, C);
          g = newMin + RoundHalfUp((g - m) * newC, C);
          b = newMin + RoundHalfUp((b - m) * newC, C);
        }
      } else {
        // The textbook hue, (g − b) / C, (b − r) / C + 2 or (r − g) / C + 4 sixths, in 1536 steps.
        int64_t step = 0;
        if (C != 0) {
          if (r == M) {
            step = RoundHalfUp(256 * (g - b), C);
          } else if (g == M) {
            step = 512 + RoundHalfUp(256 * (b - r), C);
          } else {
            step = 1024 + RoundHalfUp(256 * (r - g), C);
          }
          step = (step % 1536 + 1536) % 1536;
        }
        const int64_t i = step / 6, rest = step % 6;
        const int64_t next = i == 255 ? hue[0] + 256 : hue[i + 1];
        const int64_t moved = (hue[i] * (6 - rest) + next * rest) % 1536;
        const int64_t k = RoundHalfUp(newC * (moved % 256), 256);
        const int64_t up = newMin + k, down = newM - k;
        switch (moved / 256) {
          case 0: r = newM, g = up, b = newMin; break;
          case 1: r = down, g = newM, b = newMin; break;
          case 2: r = newMin, g = newM, b = up; break;
          case 3: r = newMin, g = down, b = newM; break;
          case 4: r = up, g = newMin, b = newM; break;
          default: r = newM, g = newMin, b = down; break;
        }
      }
    }
    return Pack(Channel(pixel, 24), t[kCurveRed][r], t[kCurveGreen][g], t[kCurveBlue][b]);
  }
  CurveTable t[6];
  bool hueKept, hsv;
};

uint32_t BrightnessContrastReference(const BrightnessContrast& bc, uint32_t pixel) {
  const auto channel = [&](int64_t v) -> uint32_t {
    if (bc.contrast == 100) return v < 128 ? 0 : v > 128 ? 255 : Clamp(128 + bc.brightness);
    // k = (100 + c) / 100 lowering, 100 / (100 − c) raising.
    const int64_t scaled = bc.contrast <= 0 ? RoundHalfUp((v - 128) * (100 + bc.contrast), 100)
                                            : RoundHalfUp((v - 128) * 100, 100 - bc.contrast);
    return Clamp(scaled + 128 + bc.brightness);
  };
  return Pack(Channel(pixel, 24), channel(Channel(pixel, 16)), channel(Channel(pixel, 8)), channel(Channel(pixel, 0)));
}

uint32_t ToneReference(const ToneBalance& tone, uint32_t pixel) {
  const auto channel = [&](int axis, int64_t v) -> uint32_t {
    const int64_t s = tone.shifts[0][axis], m = tone.shifts[1][axis], h = tone.shifts[2][axis];
    // 128 × (S (1 − x)² + M 4x(1 − x) + H x²) / 100 with x = v / 255, over the common denominator.
    const int64_t n = 128 * (s * (255 - v) * (255 - v) + m * 4 * v * (255 - v) + h * v * v);
    return Clamp(v + RoundHalfUp(n, 100 * 255 * 255));
  };
  return Pack(Channel(pixel, 24), channel(0, Channel(pixel, 16)), channel(1, Channel(pixel, 8)),
              channel(2, Channel(pixel, 0)));
}

uint32_t RgbaReference(const RgbaValues& rgba, uint32_t pixel) {
  const auto add = [&](int c, int shift) { return Clamp(int64_t{Channel(pixel, shift)} + rgba.values[c] - 255); };
  return Pack(add(3, 24), add(0, 16), add(1, 8), add(2, 0));
}

// Any adjustment's rule, its curve tables made once.
class Rule {
 public:
  explicit Rule(const Adjustment& adjustment) : m_adjustment(adjustment) {
    if (const auto* set = std::get_if<CurveSet>(&adjustment)) m_curves.emplace(*set);
  }
  uint32_t operator()(uint32_t pixel) const {
    if (m_curves) return (*m_curves)(pixel);
    if (const auto* bc = std::get_if<BrightnessContrast>(&m_adjustment)) return BrightnessContrastReference(*bc, pixel);
    if (const auto* tone = std::get_if<ToneBalance>(&m_adjustment)) return ToneReference(*tone, pixel);
    return RgbaReference(std::get<RgbaValues>(m_adjustment), pixel);
  }

 private:
  Adjustment m_adjustment;
  std::optional<CurvesReference> m_curves;
};

// The selection's merge: coverage 0 keeps, 255 replaces; between, alpha moves by
// (new − old) × m >> 8 (flooring), and so does each colour channel unless the old pixel was
// transparent, whose colour is simply replaced.
uint32_t Merge(uint32_t before, uint32_t after, int32_t m) {
  if (m == 0) return before;
  if (m == 255) return after;
  const auto mix = [m](int32_t from, int32_t to) { return static_cast<uint32_t>(from + (((to - from) * m) >> 8)) & 0xFFu; };
  const uint32_t a = mix(int32_t(Channel(before, 24)), int32_t(Channel(after, 24)));
  if (Channel(before, 24) == 0) return a << 24 | (after & 0x00FFFFFFu);
  return Pack(a, mix(int32_t(Channel(before, 16)), int32_t(Channel(after, 16))),
              mix(int32_t(Channel(before, 8)), int32_t(Channel(after, 8))), mix(int32_t(Channel(before, 0)), int32_t(Channel(after, 0))));
}

// ---- pictures ------------------------------------------------------------------------------

// Random colours and alphas, with greys, primaries and channel ties mixed in.
std::vector<uint32_t> SeededPixels(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint32_t> pixels(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t p = random();
    switch (random() % 8) {
      case 0: p = (p & 0xFF000000u) | (p & 0xFFu) * 0x010101u; break;  // grey
      case 1: p = (p & 0xFF00FF00u) | ((p >> 8) & 0xFFu) << 16; break;   // red = green
      case 2: p = (p & 0xFFFFFF00u) | ((p >> 16) & 0xFFu); break;         // blue = red
      default: break;
    }
    pixels[i] = p;
  }
  for (uint32_t special : {0xFF000000u, 0xFFFFFFFFu, 0x00FF0000u, 0x8000FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FFFFu,
                           0xFFFF00FFu, 0x7F808080u})
    pixels.push_back(special);
  return pixels;
}

std::unique_ptr<Layer> LayerOf(int32_t width, int32_t height, uint32_t seed, int32_t x = 0, int32_t y = 0) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({width, height}), 0);
  const std::vector<uint32_t> pixels = SeededPixels(size_t(width) * size_t(height), seed);
  for (int32_t row = 0; row < height; ++row)
    std::copy_n(pixels.begin() + ptrdiff_t(row) * width, width, layer->Row(row));
  layer->DiscardBackups();
  layer->SetOffset(x, y);
  return layer;
}

std::vector<uint32_t> PixelsOf(const ImageSurface& surface) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < surface.Height(); ++y) pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + surface.Width());
  return pixels;
}

// ---- the adjustments measured against their rules --------------------------------------------

struct AdjustmentCase {
  const char* name;
  Adjustment adjustment;
};

CurveSet With(std::vector<ColourCurve> curves) {
  CurveSet set;
  for (ColourCurve& curve : curves) set.curves[curve.channel] = curve;
  return set;
}

ToneBalance Tone(std::array<int32_t, 3> shadows, std::array<int32_t, 3> midtones, std::array<int32_t, 3> highlights) {
  ToneBalance tone;
  tone.shifts = {shadows, midtones, highlights};
  return tone;
}

const AdjustmentCase kAdjustments[] = {
    {"red and blue curves", With({Curve(kCurveRed, kCurveBSpline, {{0.25, 0.4}, {0.7, 0.6}}),
                                  Curve(kCurveBlue, kCurvePolyline, {{0.5, 0.2}})})},
    {"green curve falling", With({Curve(kCurveGreen, kCurvePolyline, {{0.0, 0.99}, {0.99, 0.0}})})},
    {"value curve", With({Curve(kCurveValue, kCurveBSpline, {{0.3, 0.5}, {0.6, 0.8}})})},
    {"saturation up, greys tinted", With({Curve(kCurveSaturation, kCurvePolyline, {{0.0, 0.2}, {0.5, 0.8}})})},
    {"saturation down", With({Curve(kCurveSaturation, kCurveBSpline, {{0.6, 0.3}})})},
    {"hue turned", With({Curve(kCurveHue, kCurvePolyline, {{0.0, 0.3}, {0.7, 0.999}})})},
    {"hue, value and blue together", With({Curve(kCurveHue, kCurveBSpline, {{0.2, 0.35}, {0.6, 0.5}}),
                                           Curve(kCurveValue, kCurvePolyline, {{0.5, 0.6}}),
                                           Curve(kCurveBlue, kCurvePolyline, {{0.25, 0.5}})})},
    {"brightness up, contrast up", BrightnessContrast{40, 50}},
    {"brightness down, contrast down", BrightnessContrast{-30, -60}},
    {"contrast a third up", BrightnessContrast{0, 25}},
    {"threshold", BrightnessContrast{12, 100}},
    {"flat grey", BrightnessContrast{-255, -100}},
    {"tone: red shadows, blue highlights", Tone({100, 0, 0}, {0, -40, 0}, {0, 0, 100})},
    {"tone: every slider", Tone({-100, 55, 13}, {77, -100, 100}, {-3, 100, -100})},
    {"rgba offsets", RgbaValues{{300, 255, 0, 200}}},
    {"rgba full", RgbaValues{{510, 100, 254, 510}}},
};

class AdjustmentRules : public ::testing::TestWithParam<AdjustmentCase> {};

TEST_P(AdjustmentRules, EveryPixelIsWhatTheRuleGives) {
  const Adjustment& adjustment = GetParam().adjustment;
  std::vector<uint32_t> pixels = SeededPixels(4099, 20240611);
  const std::vector<uint32_t> before = pixels;
  const AdjustmentKernel kernel(adjustment);
  kernel.Apply(pixels.data(), pixels.size());
  const Rule rule(adjustment);
  for (size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(pixels[i], rule(before[i])) << std::hex << "pixel " << before[i];
}

INSTANTIATE_TEST_SUITE_P(Adjustments, AdjustmentRules, ::testing::ValuesIn(kAdjustments));

// Spot values worked out by hand from the rules.
struct SpotCase {
  const char* name;
  Adjustment adjustment;
  uint32_t before;
  uint32_t after;
};

const SpotCase kSpots[] = {
    // k = 2: 100 → −28 × 2 + 128 + 10 = 82; 200 → 282 → 255; 128 → 138.
    {"contrast +50 doubles", BrightnessContrast{10, 50}, 0xFF64C880u, 0xFF52FF8Au},
    // k = 1/2: 101 → −13.5 rounds up to −13 → 115; 0 → 64; 255 → 191.5 → 192.
    {"contrast −50 halves", BrightnessContrast{0, -50}, 0x806500FFu, 0x807340C0u},
    // Shadows +100 on red: 0 → 128. Highlights −100 on blue: 255 → 127.
    {"tone ends", Tone({100, 0, 0}, {0, 0, 0}, {0, 0, -100}), 0x120000FFu, 0x1280007Fu},
    // Midtones +100 on green at 128: 128 × 4 × 128 × 127 / 65025 = 127.99… → 128 → 256 → 255;
    // red and blue have no sliders moved.
    {"tone midtones", Tone({0, 0, 0}, {0, 100, 0}, {0, 0, 0}), 0xFF408040u, 0xFF40FF40u},
    {"rgba adds the slider less 255", RgbaValues{{256, 0, 510, 0}}, 0x80102030u, 0x001100FFu},
    // Value halved by a straight curve through (255/256, 128/256): V 200 → 100, the others keep
    // their places: 100 → 50, 0 → 0.
    {"value halves", With({Curve(kCurveValue, kCurvePolyline, {{At(255), At(128)}})}), 0xFFC86400u, 0xFF643200u},
    // Saturation to zero: every colour becomes the grey of its value.
    {"saturation gone", With({Curve(kCurveSaturation, kCurvePolyline, {{0.0, 0.0}, {At(255), 0.0}})}), 0xFF30A050u,
     0xFFA0A0A0u},
    // A grey tinted by saturation 0.5 at its value: red leads, the others at 160 − 80.
    {"grey tinted red", With({Curve(kCurveSaturation, kCurvePolyline, {{0.0, 0.5}, {At(255), 0.5}})}), 0xFFA0A0A0u,
     0xFFA05050u},
    // Red has hue 0; a hue curve starting at half height sends it half way round (step 768,
    // the start of sector 3): cyan.
    {"hue half a turn", With({Curve(kCurveHue, kCurvePolyline, {{0.0, 0.5}})}), 0xFFFF0000u, 0xFF00FFFFu},
};

class AdjustmentSpots : public ::testing::TestWithParam<SpotCase> {};

TEST_P(AdjustmentSpots, GiveTheHandWorkedValue) {
  EXPECT_EQ(AdjustmentKernel(GetParam().adjustment).Apply(GetParam().before), GetParam().after)
      << std::hex << AdjustmentKernel(GetParam().adjustment).Apply(GetParam().before);
}

INSTANTIATE_TEST_SUITE_P(Adjustments, AdjustmentSpots, ::testing::ValuesIn(kSpots));

TEST(AdjustmentKernel, NeutralSettingsChangeNothing) {
  for (const Adjustment& neutral : {Adjustment{CurveSet{}}, Adjustment{BrightnessContrast{}}, Adjustment{ToneBalance{}},
                                    Adjustment{RgbaValues{}}}) {
    const AdjustmentKernel kernel(neutral);
    EXPECT_TRUE(kernel.IsIdentity());
    std::vector<uint32_t> pixels = SeededPixels(300, 5);
    const std::vector<uint32_t> before = pixels;
    kernel.Apply(pixels.data(), pixels.size());
    EXPECT_EQ(pixels, before);
  }
}

TEST(AdjustmentKernel, ValuesOutsideTheirRangesAreHeldToThem) {
  const uint32_t pixel = 0x80406080u;
  EXPECT_EQ(AdjustmentKernel(BrightnessContrast{999, -999}).Apply(pixel),
            AdjustmentKernel(BrightnessContrast{255, -100}).Apply(pixel));
  EXPECT_EQ(AdjustmentKernel(Tone({500, 0, 0}, {0, -500, 0}, {0, 0, 0})).Apply(pixel),
            AdjustmentKernel(Tone({100, 0, 0}, {0, -100, 0}, {0, 0, 0})).Apply(pixel));
  EXPECT_EQ(AdjustmentKernel(RgbaValues{{-7, 9999, 255, 255}}).Apply(pixel),
            AdjustmentKernel(RgbaValues{{0, 510, 255, 255}}).Apply(pixel));
}

// ---- curve tables ----------------------------------------------------------------------------

TEST(CurveTables, NoPointsIsTheIdentityForBothTypes) {
  for (int32_t type : {kCurveBSpline, kCurvePolyline}) EXPECT_TRUE(IsIdentity(EvaluateCurve(Curve(kCurveRed, type, {}))));
}

TEST(CurveTables, KnotsOnTheDiagonalGiveTheIdentityForBothTypes) {
  for (int32_t type : {kCurveBSpline, kCurvePolyline})
    EXPECT_TRUE(IsIdentity(EvaluateCurve(Curve(kCurveRed, type, {{0.25, 0.25}, {0.5, 0.5}, {0.875, 0.875}}))));
}

TEST(CurveTables, APolylinePassesThroughItsPointsAndStraightBetween) {
  const CurveTable t = EvaluateCurve(Curve(kCurveRed, kCurvePolyline, {{At(192), At(32)}, {At(64), At(200)}}));
  EXPECT_EQ(t[64], 200);
  EXPECT_EQ(t[192], 32);
  EXPECT_EQ(t[0], 0);    // the implicit start
  EXPECT_EQ(t[32], 100);  // half way up to (64, 200)
  EXPECT_EQ(t[128], 116);  // half way from 200 down to 32
  EXPECT_EQ(t[255], 255);  // the implicit end
  // From (192, 32) to (255, 255): 32 + 31 × 223 / 63 = 141.7 → 142 at byte 223.
  EXPECT_EQ(t[223], 142);
}

TEST(CurveTables, APointAtTheLeftEdgeReplacesTheImplicitStart) {
  const CurveTable t = EvaluateCurve(Curve(kCurveRed, kCurvePolyline, {{0.0, 0.5}}));
  EXPECT_EQ(t[0], 128);
  EXPECT_EQ(t[255], 255);
  // 128 + 127 × 127 / 255 = 191.25 at byte 127.
  EXPECT_EQ(t[127], 191);
}

TEST(CurveTables, OfKnotsSharingAnXTheLastGivenCounts) {
  const CurveTable t = EvaluateCurve(Curve(kCurveRed, kCurvePolyline, {{0.5, 0.25}, {0.5, 0.75}}));
  EXPECT_EQ(t[128], 192);
  EXPECT_EQ(t[127], 64);  // 127/128 of the way to 64: 63.5, halves up
  EXPECT_EQ(t[129], 192);  // 192 + 63 / 127: 192.49…
}

TEST(CurveTables, AThreeKnotBSplineIsOneQuadraticBezier) {
  // With its middle knot at x = 127.5/256, x runs evenly with the parameter s = i / 255, and the
  // height is 2s(1 − s) × 3/4 + s² × 255/256: 256 × height = (384 i (255 − i) + 255 i²) / 65025.
  const CurveTable t = EvaluateCurve(Curve(kCurveRed, kCurveBSpline, {{At(127.5), 0.75}}));
  for (int64_t i = 0; i < 256; ++i)
    EXPECT_EQ(t[i], RoundHalfUp(384 * i * (255 - i) + 255 * i * i, 65025)) << "byte " << i;
}

TEST(CurveTables, ABSplineStartsAndEndsAtItsEndKnotsAndFollowsItsPolygon) {
  const CurveTable t =
      EvaluateCurve(Curve(kCurveRed, kCurveBSpline, {{0.0, 0.5}, {0.4, 0.1}, {0.8, 0.9}, {At(255), 0.25}}));
  EXPECT_EQ(t[0], 128);
  EXPECT_EQ(t[255], 64);
  // It rises from the low knot towards the high one and bends back down to the last.
  EXPECT_LT(t[102], t[128]);
  EXPECT_LT(t[128], t[200]);
  EXPECT_GT(t[220], t[255]);
}

TEST(CurveTables, CoordinatesOutsideTheRangeAreHeld) {
  const double nan = std::nan("");
  const CurveTable held = EvaluateCurve(Curve(kCurveRed, kCurvePolyline, {{nan, 2.0}, {-1.0, 0.5}, {0.5, nan}}));
  const CurveTable clean = EvaluateCurve(Curve(kCurveRed, kCurvePolyline, {{0.0, 1.0}, {0.0, 0.5}, {0.5, 0.0}}));
  EXPECT_EQ(held, clean);
  EXPECT_EQ(held[0], 128);
}

// ---- the HSV stage's fast path ----------------------------------------------------------------

struct HsvCase {
  const char* name;
  CurveSet curves;
};

const HsvCase kHsvCases[] = {
    {"value and saturation", With({Curve(kCurveValue, kCurveBSpline, {{0.2, 0.5}, {0.6, 0.7}}),
                                   Curve(kCurveSaturation, kCurvePolyline, {{0.3, 0.6}})})},
    {"greys gaining chroma", With({Curve(kCurveSaturation, kCurvePolyline, {{0.0, 0.4}})})},
    {"hue", With({Curve(kCurveHue, kCurveBSpline, {{0.1, 0.3}, {0.5, 0.45}, {0.9, 0.2}})})},
    {"hue, saturation and value", With({Curve(kCurveHue, kCurvePolyline, {{0.0, 0.5}}),
                                        Curve(kCurveSaturation, kCurveBSpline, {{0.5, 0.9}}),
                                        Curve(kCurveValue, kCurvePolyline, {{0.5, 0.3}})})},
};

class HsvStage : public ::testing::TestWithParam<HsvCase> {};

std::vector<uint32_t> EveryColour() {
  std::vector<uint32_t> colours(size_t{1} << 24);
  for (uint32_t c = 0; c < colours.size(); ++c) colours[c] = c | (c * 0x9Eu) << 24;
  return colours;
}

TEST_P(HsvStage, TheAvx2PathGivesTheReferenceBytesForEveryColour) {
  if (!GetFastPaths().avx2) GTEST_SKIP() << "no AVX2 on this processor";
  CurveTable t[6];
  for (int k = 0; k < 6; ++k) t[k] = EvaluateCurve(GetParam().curves.curves[k]);
  const adjust::HsvTableStore store = adjust::BuildHsvTables(t[kCurveHue], t[kCurveSaturation], t[kCurveValue]);
  const bool hue = !store.hue.empty();
  std::vector<uint32_t> fast = EveryColour(), reference = fast;
  // An odd count, so that the tail goes one by one.
  adjust::HsvRunAvx2(fast.data(), fast.size() - 3, store.View(), hue);
  if (hue) {
    adjust::HsvRunReference<true>(reference.data(), reference.size() - 3, store.View());
  } else {
    adjust::HsvRunReference<false>(reference.data(), reference.size() - 3, store.View());
  }
  for (size_t i = 0; i < fast.size(); ++i) ASSERT_EQ(fast[i], reference[i]) << std::hex << "colour " << i;
}

TEST_P(HsvStage, EveryColourIsWhatTheRuleGives) {
  const CurvesReference rule(GetParam().curves);
  std::vector<uint32_t> colours = EveryColour();
  AdjustmentKernel(GetParam().curves).Apply(colours.data(), colours.size());
  const std::vector<uint32_t> before = EveryColour();
  for (size_t i = 0; i < colours.size(); i += 1 + (i % 5))  // a third of them, spread
    ASSERT_EQ(colours[i], rule(before[i])) << std::hex << "colour " << before[i];
}

INSTANTIATE_TEST_SUITE_P(Curves, HsvStage, ::testing::ValuesIn(kHsvCases));

// ---- through the canvas --------------------------------------------------------------------

const Adjustment kCanvasAdjustments[] = {
    With({Curve(kCurveHue, kCurvePolyline, {{0.0, 0.3}}), Curve(kCurveRed, kCurveBSpline, {{0.5, 0.7}})}),
    BrightnessContrast{30, 40},
    Tone({20, 0, -30}, {0, 60, 0}, {-50, 0, 10}),
    RgbaValues{{200, 300, 255, 100}},
};

TEST(AdjustmentOperation, WithoutASelectionTheWholeActiveLayerChangesAndUndoRestoresIt) {
  for (const Adjustment& adjustment : kCanvasAdjustments) {
    Canvas canvas;
    canvas.InitWithLayer(LayerOf(40, 30, 1));
    canvas.AppendLayer(LayerOf(25, 20, 2, 5, 4), false);
    canvas.SetActiveLayer(1);
    canvas.ComposeAll();
    const std::vector<uint32_t> before = PixelsOf(*canvas.GetLayer(1)), composite = PixelsOf(canvas.Composite());
    ApplyAdjustment(canvas, adjustment);
    const std::vector<uint32_t> after = PixelsOf(*canvas.GetLayer(1));
    const Rule rule(adjustment);
    for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after[i], rule(before[i])) << i;
    EXPECT_EQ(PixelsOf(*canvas.GetLayer(0)), PixelsOf(*LayerOf(40, 30, 1)));
    EXPECT_NE(PixelsOf(canvas.Composite()), composite);
    EXPECT_EQ(canvas.Undo(), 0);
    EXPECT_EQ(PixelsOf(*canvas.GetLayer(1)), before);
    EXPECT_EQ(PixelsOf(canvas.Composite()), composite);
  }
}

// A selection of mixed coverage on the canvas, partly off the layer (which sits at 3, 2).
std::unique_ptr<Region> SoftSelection(uint32_t seed) {
  auto region = std::make_unique<Region>();
  EXPECT_EQ(region->Create({1, 4, 30, 26}, 0), 0);
  std::mt19937 random(seed);
  const uint8_t levels[] = {0, 1, 64, 128, 200, 254, 255, 255};
  for (int32_t y = 0; y < region->Height(); ++y)
    for (int32_t x = 0; x < region->Width(); ++x) region->Row(y)[x] = levels[random() % 8];
  return region;
}

TEST(AdjustmentOperation, ThroughASoftSelectionEachPixelMergesByItsCoverageAndUndoRestores) {
  for (const Adjustment& adjustment : kCanvasAdjustments) {
    Canvas canvas;
    canvas.InitWithLayer(LayerOf(24, 20, 3, 3, 2));
    canvas.SetSelection(SoftSelection(4));
    const std::vector<uint32_t> before = PixelsOf(*canvas.ActiveLayer());
    ApplyAdjustment(canvas, adjustment);
    const Rule rule(adjustment);
    const Layer& layer = *canvas.ActiveLayer();
    for (int32_t y = 0; y < layer.Height(); ++y)
      for (int32_t x = 0; x < layer.Width(); ++x) {
        const uint32_t old = before[size_t(y) * 24 + size_t(x)];
        const int32_t m = canvas.Selection()->At(x + 3, y + 2);
        ASSERT_EQ(layer.Row(y)[x], Merge(old, rule(old), m)) << x << "," << y << " coverage " << m;
      }
    EXPECT_EQ(canvas.Undo(), 0);
    EXPECT_EQ(PixelsOf(*canvas.ActiveLayer()), before);
  }
}

// ---- the preview -----------------------------------------------------------------------------

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    canvas.InitWithLayer(LayerOf(48, 40, 7));
    canvas.AppendLayer(LayerOf(30, 30, 8, 6, 5), false);
    canvas.GetLayer(1)->SetOpacity(70);
    canvas.SetActiveLayer(1);
    canvas.ComposeAll();
    layer = PixelsOf(*canvas.GetLayer(1));
    composite = PixelsOf(canvas.Composite());
  }

  // The same picture with the adjustment applied as the operation applies it.
  std::vector<uint32_t> Applied(const Adjustment& adjustment, bool selected) {
    Canvas twin;
    twin.InitWithLayer(LayerOf(48, 40, 7));
    twin.AppendLayer(LayerOf(30, 30, 8, 6, 5), false);
    twin.SetActiveLayer(1);
    if (selected) twin.SetSelection(SoftSelection(9));
    ApplyAdjustment(twin, adjustment);
    return PixelsOf(*twin.GetLayer(1));
  }

  Canvas canvas;
  std::vector<uint32_t> layer, composite;
};

TEST_F(Preview, ShowsTheOperationsPixelsInTheAreaAndNothingOutsideIt) {
  for (const bool selected : {false, true}) {
    if (selected) canvas.SetSelection(SoftSelection(9));
    const Adjustment adjustment = kCanvasAdjustments[1];
    const std::vector<uint32_t> applied = Applied(adjustment, selected);
    AdjustmentPreview preview(canvas);
    preview.Show(adjustment, {10, 8, 25, 40});  // canvas pixels: layer columns 4…19, rows 3…29
    const Layer& shown = *canvas.GetLayer(1);
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 30; ++x) {
        const bool inside = x >= 4 && x <= 19 && y >= 3;
        const size_t i = size_t(y) * 30 + size_t(x);
        ASSERT_EQ(shown.Row(y)[x], inside ? applied[i] : layer[i]) << x << "," << y;
      }
    EXPECT_EQ(canvas.GetLayer(1)->Undo().StepCount(), 0u);
    preview.Revert();
    EXPECT_EQ(PixelsOf(*canvas.GetLayer(1)), layer);
    EXPECT_EQ(PixelsOf(canvas.Composite()), composite);
    canvas.ClearSelection();
  }
}

TEST_F(Preview, EachChangeStartsFromTheOriginalAndLeavingRestoresEveryByte) {
  {
    AdjustmentPreview preview(canvas);
    for (int32_t brightness : {40, -70, 90}) preview.Show(BrightnessContrast{brightness, 0}, {0, 0, 47, 39});
    std::vector<uint32_t> expected = layer;
    const Rule rule(BrightnessContrast{90, 0});
    for (uint32_t& p : expected) p = rule(p);
    EXPECT_EQ(PixelsOf(*canvas.GetLayer(1)), expected);
  }
  EXPECT_EQ(PixelsOf(*canvas.GetLayer(1)), layer);
  EXPECT_EQ(PixelsOf(canvas.Composite()), composite);
}

TEST_F(Preview, AnotherAreaOrANeutralAdjustmentPutsBackWhatWasShownBefore) {
  const Adjustment adjustment = kCanvasAdjustments[3];
  const std::vector<uint32_t> applied = Applied(adjustment, false);
  AdjustmentPreview preview(canvas);
  preview.Show(adjustment, {0, 0, 20, 20});
  preview.Show(adjustment, {20, 20, 47, 39});  // layer columns 14…29, rows 15…29
  const Layer& shown = *canvas.GetLayer(1);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 30; ++x) {
      const size_t i = size_t(y) * 30 + size_t(x);
      ASSERT_EQ(shown.Row(y)[x], x >= 14 && y >= 15 ? applied[i] : layer[i]) << x << "," << y;
    }
  preview.Show(RgbaValues{}, {20, 20, 47, 39});
  EXPECT_EQ(PixelsOf(*canvas.GetLayer(1)), layer);
  EXPECT_EQ(PixelsOf(canvas.Composite()), composite);
}

TEST_F(Preview, CommitAppliesToTheWholeLayerAsOneUndoStep) {
  canvas.SetSelection(SoftSelection(9));
  const Adjustment adjustment = kCanvasAdjustments[2];
  AdjustmentPreview preview(canvas);
  preview.Show(adjustment, {10, 10, 20, 20});
  preview.Commit(adjustment);
  EXPECT_EQ(PixelsOf(*canvas.GetLayer(1)), Applied(adjustment, true));
  EXPECT_EQ(canvas.GetLayer(1)->Undo().StepCount(), 1u);
  EXPECT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(PixelsOf(*canvas.GetLayer(1)), layer);
  EXPECT_EQ(PixelsOf(canvas.Composite()), composite);
}

TEST_F(Preview, CommittingANeutralAdjustmentRecordsNothing) {
  AdjustmentPreview preview(canvas);
  preview.Show(BrightnessContrast{50, 0}, {0, 0, 47, 39});
  preview.Commit(BrightnessContrast{});
  EXPECT_EQ(canvas.GetLayer(1)->Undo().StepCount(), 0u);
  EXPECT_EQ(PixelsOf(*canvas.GetLayer(1)), layer);
}

}  // namespace
}  // namespace varnel
