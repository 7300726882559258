// Strokes: pressure sizes, pen-down, the trailing target, the spaced path with its distance
// and size steps, the anti-aliased path, pen-up, clone colour and the colour mask reference.

#include <gtest/gtest.h>

#include <cmath>

#include "brush/brush_kinds.h"
#include "platform/crt_rand.h"
#include "tests/brush/brush_test_support.h"

namespace varnel {
namespace {

using brush_test::At;
using brush_test::DabCall;
using brush_test::Grey;
using brush_test::MakeLayer;
using brush_test::Recording;
using brush_test::Rgb;

constexpr double kSqrt2 = 1.4142135623730951;

struct PressureCase {
  const char* name;
  Size full;
  int32_t minimum;
  int32_t pressure;
  bool smooth;
  Size working;
  Size expected;
};

const PressureCase kPressureCases[] = {
    // minW = (30 × 100 + 50) / 100 = 30; (30 × 256 + 128) / 256 = 30.
    {"ZeroPressureGivesTheMinimum", {100, 100}, 30, 0, false, {}, {30, 30}},
    {"FullPressureGivesTheFullSize", {100, 100}, 30, 256, false, {}, {100, 100}},
    // (30 × 128 + 100 × 128 + 128) / 256 = 65.
    {"HalfPressure", {100, 100}, 30, 128, false, {}, {65, 65}},
    // (100 + 30) / 2.
    {"SmoothingGoesHalfWayFromTheWorkingSize", {100, 100}, 30, 0, true, {100, 100}, {65, 65}},
    // minW = 2, minH = 1: (2 × 192 + 7 × 64 + 128) / 256 = 3, (192 + 192 + 128) / 256 = 2.
    {"EachSideOnItsOwn", {7, 3}, 30, 64, false, {}, {3, 2}},
    // (0 + 0 + 128) / 256 = 0, raised to 1.
    {"NeverBelowOne", {1, 1}, 0, 0, false, {}, {1, 1}},
    // Pressures outside 0…256 are taken at the nearest end.
    {"PressureAbove256IsFull", {20, 10}, 30, 999, false, {}, {20, 10}},
    {"NegativePressureIsZero", {20, 10}, 30, -5, false, {}, {6, 3}},
};

class PressureSizes : public ::testing::TestWithParam<PressureCase> {};

TEST_P(PressureSizes, FollowTheRule) {
  const PressureCase& c = GetParam();
  EXPECT_EQ(PressureSize(c.full, c.minimum, c.pressure, c.smooth ? &c.working : nullptr), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PressureSizes, ::testing::ValuesIn(kPressureCases),
                         [](const auto& info) { return std::string(info.param.name); });

class StrokeTest : public ::testing::Test {
 protected:
  std::unique_ptr<Layer> layer = MakeLayer({64, 64}, Grey(255));
};

TEST_F(StrokeTest, APointerThatDoesNotMoveDrawsOnlyThePenDownDab) {
  Recording<NormalBrush> brush({2, 2});
  brush.BeginStroke(*layer, 5, 5, 0);
  for (int i = 0; i < 5; ++i) brush.StrokeTo(*layer, 5, 5, 256);
  brush.EndStroke(*layer);
  EXPECT_EQ(brush.dabs, (std::vector<DabCall>{{5, 5, 256, {2, 2}}}));
}

TEST_F(StrokeTest, TheFirstMoveGoesOnlyHalfWay) {
  Recording<NormalBrush> brush({1, 1});
  brush.BeginStroke(*layer, 0, 0, 0);
  brush.StrokeTo(*layer, 10, 0, 256);  // trunc((10 + 0 + 1) × 0.5) = 5
  EXPECT_EQ(brush.LastX(), 5.0);
  EXPECT_EQ(brush.LastY(), 0.0);
  // A 1 × 1 dab has threshold 0: every step after the start lays a dab.
  const std::vector<DabCall> expected{{0, 0, 256, {1, 1}}, {1, 0, 256, {1, 1}}, {2, 0, 256, {1, 1}},
                                      {3, 0, 256, {1, 1}}, {4, 0, 256, {1, 1}}, {5, 0, 256, {1, 1}}};
  EXPECT_EQ(brush.dabs, expected);
  EXPECT_EQ(brush.Distance(), 1.0);  // the step after the end point
}

TEST_F(StrokeTest, SpacingOfTenPercentOnATwentyPixelDabLaysADabEveryTwoSteps) {
  Recording<NormalBrush> brush({20, 20});
  brush.SetSpacing(10 * 0.01);
  brush.BeginStroke(*layer, 0, 0, 0);
  brush.dabs.clear();
  brush.StrokeTo(*layer, 40, 0, 256);  // target 20
  std::vector<int32_t> xs;
  for (const DabCall& d : brush.dabs) xs.push_back(d.x);
  EXPECT_EQ(xs, (std::vector<int32_t>{2, 4, 6, 8, 10, 12, 14, 16, 18, 20}));
  EXPECT_EQ(brush.Distance(), 1.0);
  // From 20 with 1.0 already walked: the next dab is due one step on.
  brush.dabs.clear();
  brush.StrokeTo(*layer, 40, 0, 256);  // target trunc((40 + 20 + 1) × 0.5) = 30
  xs.clear();
  for (const DabCall& d : brush.dabs) xs.push_back(d.x);
  EXPECT_EQ(xs, (std::vector<int32_t>{21, 23, 25, 27, 29}));
  EXPECT_EQ(brush.LastX(), 29.0);
  EXPECT_EQ(brush.Distance(), 2.0);
  // The walk restarts at the last dab (29), whose due distance is spent on the start.
  brush.dabs.clear();
  brush.StrokeTo(*layer, 40, 0, 256);  // target 35
  xs.clear();
  for (const DabCall& d : brush.dabs) xs.push_back(d.x);
  EXPECT_EQ(xs, (std::vector<int32_t>{31, 33, 35}));
}

TEST_F(StrokeTest, DiagonalStepsAddTheSquareRootOfTwo) {
  Recording<NormalBrush> brush({1, 1});
  brush.SetSpacing(10.0);  // threshold trunc(1 × 10) = 10
  brush.BeginStroke(*layer, 0, 0, 0);
  brush.StrokeTo(*layer, 20, 20, 256);  // target (10, 10)
  // Distances at the steps 0 … 10: 0, √2, 2√2, … 7√2 ≈ 9.9 < 10, 8√2 ≈ 11.3 → dab at (8, 8).
  ASSERT_EQ(brush.dabs.size(), 2u);
  EXPECT_EQ(brush.dabs[1], (DabCall{8, 8, 256, {1, 1}}));
  double d = 0.0;
  for (int i = 0; i < 3; ++i) d += kSqrt2;  // steps 8→9, 9→10 and the one after the end
  EXPECT_DOUBLE_EQ(brush.Distance(), d);
}

TEST_F(StrokeTest, AShallowLineMixesAxisAndDiagonalSteps) {
  Recording<NormalBrush> brush({1, 1});
  brush.SetSpacing(100.0);
  brush.BeginStroke(*layer, 0, 0, 0);
  brush.StrokeTo(*layer, 8, 4, 256);  // target (4, 2): (0,0) (1,1) (2,1) (3,2) (4,2), then (5,3)
  double d = 0.0;
  d += kSqrt2;
  d += 1.0;
  d += kSqrt2;
  d += 1.0;
  d += kSqrt2;
  EXPECT_DOUBLE_EQ(brush.Distance(), d);
  EXPECT_EQ(brush.dabs.size(), 1u);
}

TEST_F(StrokeTest, TheSizeMovesTowardThePressureSizeAtMostOnePixelPerStep) {
  Recording<NormalBrush> brush({10, 10});
  brush.SetPressureSizing(true);
  brush.BeginStroke(*layer, 0, 0, 256);
  EXPECT_TRUE(brush.sizes.empty());  // full pressure: the full size
  // Target (3 + 10) / 2 = 6 from 10 over 11 steps: size 10 − 4 × (i + 1) / 11.
  brush.StrokeTo(*layer, 20, 0, 0);
  EXPECT_EQ(brush.sizes, (std::vector<Size>{{9, 9}, {8, 8}, {7, 7}, {6, 6}}));
  // Threshold trunc(10 × 0.1) = 1 at size 10, 0 below.
  const std::vector<DabCall> expected{
      {0, 0, 256, {10, 10}}, {1, 0, 256, {10, 10}}, {2, 0, 256, {9, 9}}, {3, 0, 256, {9, 9}},
      {4, 0, 256, {9, 9}},   {5, 0, 256, {8, 8}},   {6, 0, 256, {8, 8}}, {7, 0, 256, {8, 8}},
      {8, 0, 256, {7, 7}},   {9, 0, 256, {7, 7}},   {10, 0, 256, {6, 6}}};
  EXPECT_EQ(brush.dabs, expected);
  brush.EndStroke(*layer);
  EXPECT_EQ(brush.GetSize(), (Size{10, 10}));
  EXPECT_EQ(brush.FullSize(), (Size{-1, -1}));
}

TEST_F(StrokeTest, PenDownAtZeroPressureStartsAtTheMinimumSize) {
  Recording<NormalBrush> brush({100, 100});
  brush.SetPressureSizing(true);
  brush.BeginStroke(*layer, 30, 30, 0);
  EXPECT_EQ(brush.GetSize(), (Size{30, 30}));
  EXPECT_EQ(brush.FullSize(), (Size{100, 100}));
  // Zero pressure keeps the target at (30 + 30) / 2 = 30.
  brush.StrokeTo(*layer, 32, 30, 0);  // target 31
  EXPECT_EQ(brush.GetSize(), (Size{30, 30}));
  // Full pressure asks for (30 + 100) / 2 = 65, but over a walk of two steps (30 → 32,
  // d = 36) the size grows by 35 × (i + 1) / 36: 0, 1, 2.
  brush.StrokeTo(*layer, 33, 30, 256);  // from the last dab (30): target trunc(64 × 0.5) = 32
  EXPECT_EQ(brush.sizes.back(), (Size{32, 32}));
  EXPECT_EQ(brush.GetSize(), (Size{32, 32}));
  brush.EndStroke(*layer);
  EXPECT_EQ(brush.GetSize(), (Size{100, 100}));
}

TEST_F(StrokeTest, PressureOpacityScalesTheBaseOpacity) {
  Recording<NormalBrush> brush({1, 1});
  brush.SetBaseOpacity(200);
  brush.SetPressureOpacity(true);
  brush.BeginStroke(*layer, 0, 0, 128);  // 200 × 128 >> 8
  brush.StrokeTo(*layer, 4, 0, 300);     // above 256: 256
  brush.StrokeTo(*layer, 8, 0, 64);
  ASSERT_GE(brush.dabs.size(), 3u);
  EXPECT_EQ(brush.dabs[0].opacity, 100);
  EXPECT_EQ(brush.dabs[1].opacity, 200);
  EXPECT_EQ(brush.dabs.back().opacity, 50);
  // Without pressure opacity every dab has the base opacity.
  Recording<NormalBrush> plain({1, 1});
  plain.SetBaseOpacity(200);
  plain.BeginStroke(*layer, 0, 0, 0);
  plain.StrokeTo(*layer, 4, 0, 0);
  for (const DabCall& d : plain.dabs) EXPECT_EQ(d.opacity, 200);
}

TEST_F(StrokeTest, NothingHappensOutsideAStrokeOrWhenThePenGoesDownTwice) {
  Recording<NormalBrush> brush({1, 1});
  brush.StrokeTo(*layer, 4, 4, 256);
  brush.EndStroke(*layer);
  EXPECT_TRUE(brush.dabs.empty());
  EXPECT_FALSE(layer->IsModified());
  brush.BeginStroke(*layer, 1, 1, 256);
  brush.BeginStroke(*layer, 9, 9, 256);
  EXPECT_EQ(brush.dabs.size(), 1u);
  EXPECT_FALSE(brush.IsIdle());
  brush.EndStroke(*layer);
  EXPECT_TRUE(brush.IsIdle());
  EXPECT_TRUE(layer->IsModified());
}

TEST_F(StrokeTest, CtrlAtPenDownOpensTheColourSurfaceInsteadOfAStroke) {
  Recording<NormalBrush> brush({1, 1});
  int32_t openedX = -1, openedY = -1;
  brush.openColourSurface = [&](int32_t x, int32_t y) {
    openedX = x;
    openedY = y;
  };
  brush.BeginStroke(*layer, 7, 8, 256, true);
  EXPECT_EQ(openedX, 7);
  EXPECT_EQ(openedY, 8);
  EXPECT_TRUE(brush.IsIdle());
  EXPECT_TRUE(brush.dabs.empty());
}

TEST_F(StrokeTest, TheAntiAliasedPathDrawsEveryCoveredPixelWithItsCoverage) {
  Recording<NormalBrush> brush({1, 1});
  brush.SetAntiAlias(true);
  brush.BeginStroke(*layer, 0, 0, 256);
  brush.StrokeTo(*layer, 2, 0, 256);  // target (1, 0)
  // Both pixels: edge rows 0 180 … 180 0 and inner rows 180 255 … 255 180 around them, each
  // pixel summing 2970 → coverage 186 → opacity (186 × 256 + 127) / 255 = 187.
  const std::vector<DabCall> expected{{0, 0, 256, {1, 1}}, {0, 0, 187, {1, 1}}, {1, 0, 187, {1, 1}}};
  EXPECT_EQ(brush.dabs, expected);
  EXPECT_EQ(brush.LastX(), 1.0);
}

TEST_F(StrokeTest, TheAntiAliasedDiagonalCoversTheCornersLess) {
  Recording<NormalBrush> brush({1, 1});
  brush.SetAntiAlias(true);
  brush.BeginStroke(*layer, 0, 0, 256);
  brush.dabs.clear();
  brush.StrokeTo(*layer, 2, 2, 256);  // target (1, 1)
  // On the line: 2865 → 179 → opacity 180; beside it: 615 → 38 → opacity 38. Rows top first.
  const std::vector<DabCall> expected{
      {0, 0, 180, {1, 1}}, {1, 0, 38, {1, 1}}, {0, 1, 38, {1, 1}}, {1, 1, 180, {1, 1}}};
  EXPECT_EQ(brush.dabs, expected);
}

TEST_F(StrokeTest, TheAntiAliasedPathGoesTopDownAlsoWhenTheLineGoesUp) {
  Recording<NormalBrush> brush({1, 1});
  brush.SetAntiAlias(true);
  brush.SetPressureOpacity(true);
  brush.BeginStroke(*layer, 0, 2, 256);
  brush.dabs.clear();
  brush.StrokeTo(*layer, 0, 0, 128);  // target (0, 1); opacity (186 × 128 + 127) / 255 = 93
  const std::vector<DabCall> expected{{0, 1, 93, {1, 1}}, {0, 2, 93, {1, 1}}};
  EXPECT_EQ(brush.dabs, expected);
  EXPECT_EQ(brush.LastY(), 1.0);
}

TEST_F(StrokeTest, ALongAntiAliasedJumpStaysNearTheLine) {
  Recording<NormalBrush> brush({1, 1});
  brush.SetAntiAlias(true);
  auto big = MakeLayer({8, 8}, Grey(255));
  brush.BeginStroke(*big, 0, 0, 256);
  brush.dabs.clear();
  brush.StrokeTo(*big, 40000, 20000, 256);  // target (20000, 10000), far beyond the layer
  // A pixel is drawn only near the line: at most three per column.
  EXPECT_LE(brush.dabs.size(), 3u * 20001u);
  EXPECT_GE(brush.dabs.size(), 20001u);
  for (const DabCall& d : brush.dabs) EXPECT_LE(std::abs(2 * d.y - d.x), 4) << d;
}

TEST_F(StrokeTest, CloneColourPaintsWithTheSourcePixelAndResetsAtPenUp) {
  auto source = std::make_shared<ImageSurface>();
  ASSERT_EQ(source->Create({2, 2}), 0);
  source->Row(0)[0] = Rgb(1, 1, 1);
  source->Row(0)[1] = Rgb(10, 20, 30);
  source->Row(1)[0] = Rgb(40, 50, 60);
  source->Row(1)[1] = Rgb(70, 80, 90);
  NormalBrush brush({1, 1});
  brush.SetColours(MakeColourRef(200, 0, 0), MakeColourRef(255, 255, 255));
  brush.SetCloneColour(true, source);
  brush.BeginStroke(*layer, 3, 2, 256);  // (3 mod 2, 2 mod 2) = (1, 0)
  EXPECT_EQ(At(*layer, 3, 2), Rgb(10, 20, 30));
  brush.EndStroke(*layer);
  EXPECT_EQ(brush.Foreground(), 0x00C80000u);
  // Left of the origin the source repeats too: (−1, 0) samples (1, 0).
  brush.BeginStroke(*layer, -1, 0, 256);
  EXPECT_EQ(brush.Foreground(), 0x000A141Eu);
  brush.EndStroke(*layer);
}

TEST_F(StrokeTest, TheColourMaskTakesItsReferenceAtPenDown) {
  NormalBrush brush({3, 3});
  brush.SetColourMask(ColourMask::Create(1, 50, 100, 10));  // within 25
  brush.SetColours(MakeColourRef(0, 0, 255), ColourRef{0});
  layer->Row(10)[11] = Grey(100);
  brush.BeginStroke(*layer, 10, 10, 256);  // reference white
  EXPECT_EQ(At(*layer, 10, 10), Rgb(0, 0, 255));
  EXPECT_EQ(At(*layer, 11, 10), Grey(100));  // rejected, left as it was
  EXPECT_EQ(At(*layer, 9, 9), Rgb(0, 0, 255));
  brush.EndStroke(*layer);
}

}  // namespace
}  // namespace varnel
