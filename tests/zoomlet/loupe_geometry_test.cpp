// The loupe's arithmetic: magnification table, layout, hit tests, the screen point under a
// control point, and the nearest-pixel stretch (the copied rectangle: zoomlet_ctrl_test.cpp).

#include "zoomlet/loupe_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace varnel {
namespace {

TEST(LoupeFactors, EveryIndexHasItsFactorAndAnIndexOutsideTheTableCountsAsTheDefault) {
  struct Case {
    int32_t index;
    int factor;
  };
  for (const Case& c : std::vector<Case>{{0, 2}, {1, 4}, {2, 6}, {3, 8}, {4, 12}, {5, 16}, {-1, 6}, {6, 6}, {INT32_MIN, 6}})
    EXPECT_EQ(LoupeFactorOf(c.index), c.factor) << "index " << c.index;
}

TEST(LoupeLayout, TheStripTakesTheBottomTwentyPixelsWithThreeButtonsEighteenApart) {
  const LoupeLayout layout = LayoutLoupe(128, 128);
  EXPECT_EQ(layout.magnified, (LoupeRect{0, 0, 128, 108}));
  EXPECT_EQ(layout.strip, (LoupeRect{0, 108, 128, 128}));
  EXPECT_EQ(layout.timer, (LoupeRect{2, 110, 20, 128}));
  EXPECT_EQ(layout.pick, (LoupeRect{20, 110, 38, 128}));
  EXPECT_EQ(layout.magnification, (LoupeRect{38, 110, 56, 128}));
}

TEST(LoupeLayout, AControlSmallerThanTheStripHasNoMagnifiedArea) {
  EXPECT_EQ(LayoutLoupe(30, 12).magnified.Height(), 0);
  EXPECT_EQ(LayoutLoupe(-5, -5).magnified, (LoupeRect{0, 0, 0, 0}));
}

TEST(LoupeHitTest, ButtonsAreFoundByTheirRectanglesAndEverythingElseIsTheMagnifiedArea) {
  struct Case {
    const char* name;
    int x, y;
    LoupePart part;
  };
  const LoupeLayout layout = LayoutLoupe(128, 128);
  const std::vector<Case> cases = {
      {"timer top left", 2, 110, LoupePart::Timer},
      {"timer bottom right", 19, 127, LoupePart::Timer},
      {"pick starts where the timer ends", 20, 110, LoupePart::Pick},
      {"pick bottom right", 37, 127, LoupePart::Pick},
      {"magnification starts where pick ends", 38, 110, LoupePart::Magnification},
      {"magnification bottom right", 55, 127, LoupePart::Magnification},
      {"strip right of the buttons", 56, 120, LoupePart::Magnified},
      {"strip left of the buttons", 1, 120, LoupePart::Magnified},
      {"strip above the buttons", 10, 109, LoupePart::Magnified},
      {"picture", 10, 10, LoupePart::Magnified},
      {"outside the control", -3, 500, LoupePart::Magnified},
  };
  for (const Case& c : cases) EXPECT_EQ(HitTestLoupe(layout, c.x, c.y), c.part) << c.name;
}

TEST(LoupeScreenPoint, AControlPointMapsToItsQuotientPlusTheOrigin) {
  struct Case {
    int factor;
    LoupePoint origin, control, screen;
  };
  const std::vector<Case> cases = {
      {2, {100, 100}, {10, 10}, {105, 105}},
      {2, {100, 100}, {11, 11}, {105, 105}},
      {2, {100, 100}, {0, 0}, {100, 100}},
      {16, {100, 100}, {127, 107}, {107, 106}},
      {12, {-40, 7}, {25, 35}, {-38, 9}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LoupeScreenPoint(c.origin, c.factor, c.control), c.screen) << "factor " << c.factor;
}

TEST(StretchNearest, EachDestinationPixelTakesTheSourcePixelItsPositionScalesDownTo) {
  // 3 → 7: x · 3 ÷ 7 gives 0 0 0 1 1 2 2.
  const std::vector<uint32_t> row = {10, 20, 30};
  std::vector<uint32_t> wide(14);
  StretchNearest(row.data(), 3, 1, 3, wide.data(), 7, 2, 7);
  EXPECT_EQ(wide, (std::vector<uint32_t>{10, 10, 10, 20, 20, 30, 30, 10, 10, 10, 20, 20, 30, 30}));
}

TEST(StretchNearest, AnEmptySourceLeavesTheDestinationAsItWas) {
  std::vector<uint32_t> dst(4, 7);
  const uint32_t pixel = 1;
  StretchNearest(&pixel, 0, 1, 1, dst.data(), 2, 2, 2);
  StretchNearest(nullptr, 1, 1, 1, dst.data(), 2, 2, 2);
  EXPECT_EQ(dst, std::vector<uint32_t>(4, 7));
}

}  // namespace
}  // namespace varnel
