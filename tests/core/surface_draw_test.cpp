// The dirty rect and drawing to the screen through a DrawContext.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/core.h"
#include "tests/core/surface_test_support.h"

namespace varnel {
namespace {

using testing::RecordingDrawContext;

constexpr Size kImage{10, 8};

struct DirtyCase {
  const char* name;
  bool startEmpty;
  Rect start;  // the dirty rect before, when not empty
  Rect added;
  bool endEmpty;
  Rect expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DirtyCase& c, std::ostream* os) { *os << c.name; }

class SurfaceAddDirty : public ::testing::TestWithParam<DirtyCase> {};

TEST_P(SurfaceAddDirty, UnitesClampsAndIgnoresAsExpected) {
  const DirtyCase& c = GetParam();
  ImageSurface surface;
  ASSERT_EQ(surface.Create(kImage), 0);
  if (!c.startEmpty) {
    surface.AddDirtyRect(c.start.left, c.start.top, c.start.right, c.start.bottom);
    ASSERT_EQ(surface.DirtyRect(), c.start);
  }
  surface.AddDirtyRect(c.added.left, c.added.top, c.added.right, c.added.bottom);
  EXPECT_EQ(surface.IsDirtyEmpty(), c.endEmpty);
  if (c.endEmpty) {
    EXPECT_EQ(surface.DirtyRect(), (Rect{kImage.width, kImage.height, -1, -1}));
  } else {
    EXPECT_EQ(surface.DirtyRect(), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rects, SurfaceAddDirty,
    ::testing::Values(
        DirtyCase{"InsideAnEmptyRectSetsIt", true, {}, {2, 3, 4, 5}, false, {2, 3, 4, 5}},
        DirtyCase{"ReversedCornersAreNormalised", true, {}, {4, 5, 2, 3}, false, {2, 3, 4, 5}},
        DirtyCase{"OverhangTopLeftIsClamped", true, {}, {-5, -5, 3, 2}, false, {0, 0, 3, 2}},
        DirtyCase{"OverhangBottomRightIsClamped", true, {}, {5, 4, 20, 30}, false, {5, 4, 9, 7}},
        DirtyCase{"CoveringEverythingIsClampedToTheImage", true, {}, {-100, -100, 100, 100},
                  false, {0, 0, 9, 7}},
        DirtyCase{"WhollyRightIsIgnored", true, {}, {10, 0, 12, 3}, true, {}},
        DirtyCase{"WhollyBelowIsIgnored", true, {}, {0, 8, 3, 9}, true, {}},
        DirtyCase{"WhollyAboveLeftIsIgnored", true, {}, {-3, -3, -1, -1}, true, {}},
        DirtyCase{"ASecondRectIsUnited", false, {2, 2, 3, 3}, {5, 6, 6, 7}, false, {2, 2, 6, 7}},
        DirtyCase{"AnInnerRectChangesNothing", false, {1, 1, 8, 6}, {3, 3, 4, 4}, false,
                  {1, 1, 8, 6}},
        DirtyCase{"AnOutsideRectLeavesTheRectAsItWas", false, {2, 2, 3, 3}, {20, 20, 30, 30},
                  false, {2, 2, 3, 3}},
        DirtyCase{"AnOverhangingRectIsUnitedThenClamped", false, {2, 2, 3, 3}, {-4, 1, 2, 12},
                  false, {0, 1, 3, 7}}),
    [](const ::testing::TestParamInfo<DirtyCase>& info) { return std::string(info.param.name); });

TEST(SurfaceDirty, ClearDirtyUsesItsOwnEmptyForm) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(kImage), 0);
  surface.AddDirtyRect(1, 1, 2, 2);
  surface.ClearDirty();
  EXPECT_EQ(surface.DirtyRect(), (Rect{0xFFFFFF, 0xFFFFFF, -1, -1}));
  EXPECT_TRUE(surface.IsDirtyEmpty());
  // Still empty: the next rect replaces it rather than uniting with the far origin.
  surface.AddDirtyRect(1, 1, 1, 1);
  EXPECT_EQ(surface.DirtyRect(), (Rect{1, 1, 1, 1}));
}

TEST(SurfaceDirty, AddingToASurfaceWithoutPixelsIsIgnored) {
  ImageSurface surface;
  surface.AddDirtyRect(0, 0, 5, 5);
  EXPECT_TRUE(surface.IsDirtyEmpty());
}

struct ZoomCase {
  const char* name;
  double zoom;
  int32_t x;
  int32_t y;
  Rect destination;  // for dirty (3, 2)-(7, 5) drawn at (x, y)
};

void PrintTo(const ZoomCase& c, std::ostream* os) { *os << c.name; }

class SurfaceDrawDirty : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(SurfaceDrawDirty, CopiesTheDirtyRectScaledAndTruncatedThenEmptiesIt) {
  const ZoomCase& c = GetParam();
  ImageSurface surface;
  ASSERT_EQ(surface.Create(kImage), 0);
  surface.AddDirtyRect(3, 2, 7, 5);
  RecordingDrawContext dc;
  surface.DrawDirty(dc, c.x, c.y, c.zoom);
  ASSERT_EQ(dc.calls.size(), 1u);
  EXPECT_EQ(dc.calls[0].surface, &surface);
  EXPECT_EQ(dc.calls[0].source, (Rect{3, 2, 8, 6}));
  EXPECT_EQ(dc.calls[0].destination, c.destination);
  EXPECT_EQ(surface.DirtyRect(), (Rect{kImage.width, kImage.height, -1, -1}));
}

INSTANTIATE_TEST_SUITE_P(
    Zooms, SurfaceDrawDirty,
    ::testing::Values(
        ZoomCase{"AtOneIsAPlainCopy", 1.0, 100, 50, {103, 52, 108, 56}},
        ZoomCase{"AtHalfTruncatesOriginAndSize", 0.5, 100, 50, {101, 51, 103, 53}},
        ZoomCase{"AtTwoDoubles", 2.0, 100, 50, {106, 54, 116, 62}},
        ZoomCase{"AtOneAndAHalfTruncates", 1.5, 100, 50, {104, 53, 111, 59}},
        ZoomCase{"AtAQuarterShrinksToAPixel", 0.25, 100, 50, {100, 50, 101, 51}},
        // The scroll offset is added after truncating: -100 + trunc(4.5), not trunc(-95.5).
        ZoomCase{"AtOneAndAHalfWithANegativeOrigin", 1.5, -100, -51, {-96, -48, -89, -42}},
        ZoomCase{"AtOneWithANegativeOrigin", 1.0, -3, -2, {0, 0, 5, 4}}),
    [](const ::testing::TestParamInfo<ZoomCase>& info) { return std::string(info.param.name); });

TEST(SurfaceDrawDirtyCases, AnEmptyDirtyRectDrawsNothingAndStaysEmpty) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(kImage), 0);
  RecordingDrawContext dc;
  surface.DrawDirty(dc, 0, 0, 1.0);
  EXPECT_TRUE(dc.calls.empty());
  EXPECT_EQ(surface.DirtyRect(), (Rect{kImage.width, kImage.height, -1, -1}));
  surface.AddDirtyRect(1, 1, 1, 1);
  surface.ClearDirty();
  surface.DrawDirty(dc, 0, 0, 1.0);
  EXPECT_TRUE(dc.calls.empty());
  EXPECT_EQ(surface.DirtyRect(), (Rect{0xFFFFFF, 0xFFFFFF, -1, -1}));
}

TEST(SurfaceDrawDirtyCases, ASurfaceWithoutPixelsDrawsNothing) {
  ImageSurface surface;
  RecordingDrawContext dc;
  surface.DrawDirty(dc, 0, 0, 1.0);
  EXPECT_TRUE(dc.calls.empty());
}

TEST(SurfaceDrawDirtyCases, ADrawStartedInsideAnotherDrawsNothingAndKeepsItsDirtyRect) {
  ImageSurface outer;
  ImageSurface inner;
  ASSERT_EQ(outer.Create(kImage), 0);
  ASSERT_EQ(inner.Create(kImage), 0);
  outer.AddDirtyRect(0, 0, 1, 1);
  inner.AddDirtyRect(4, 4, 6, 6);
  RecordingDrawContext innerDc;
  RecordingDrawContext outerDc;
  int32_t nestedDrawAnswer = 99;
  outerDc.during = [&] {
    inner.DrawDirty(innerDc, 0, 0, 1.0);
    nestedDrawAnswer = inner.Draw(innerDc, Rect{0, 0, 2, 2}, Rect{0, 0, 2, 2});
    outer.DrawDirty(innerDc, 0, 0, 2.0);
  };
  outer.DrawDirty(outerDc, 0, 0, 1.0);
  EXPECT_EQ(outerDc.calls.size(), 1u);
  EXPECT_TRUE(innerDc.calls.empty());
  EXPECT_EQ(nestedDrawAnswer, 0);
  EXPECT_EQ(inner.DirtyRect(), (Rect{4, 4, 6, 6}));
  EXPECT_TRUE(outer.IsDirtyEmpty());
  // Once the outer draw is over, the inner surface draws again.
  inner.DrawDirty(innerDc, 0, 0, 1.0);
  ASSERT_EQ(innerDc.calls.size(), 1u);
  EXPECT_EQ(innerDc.calls[0].source, (Rect{4, 4, 7, 7}));
  EXPECT_TRUE(inner.IsDirtyEmpty());
}

struct DrawCase {
  const char* name;
  Rect dest;
  Rect src;
  Rect expectedSource;
  Rect expectedDestination;
};

void PrintTo(const DrawCase& c, std::ostream* os) { *os << c.name; }

class SurfaceDraw : public ::testing::TestWithParam<DrawCase> {};

TEST_P(SurfaceDraw, CopiesPlainWhenSizesMatchAndStretchesOtherwise) {
  const DrawCase& c = GetParam();
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{8, 6}), 0);
  RecordingDrawContext dc;
  EXPECT_EQ(surface.Draw(dc, c.dest, c.src), 0);
  ASSERT_EQ(dc.calls.size(), 1u);
  EXPECT_EQ(dc.calls[0].source, c.expectedSource);
  EXPECT_EQ(dc.calls[0].destination, c.expectedDestination);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, SurfaceDraw,
    ::testing::Values(
        DrawCase{"EqualSizesInsideTheSurface", {10, 10, 14, 13}, {1, 1, 5, 4}, {1, 1, 5, 4},
                 {10, 10, 14, 13}},
        DrawCase{"EqualSizesLargerThanTheSurfaceAreLimited", {0, 0, 20, 20}, {0, 0, 20, 20},
                 {0, 0, 8, 6}, {0, 0, 8, 6}},
        DrawCase{"EqualSizesLimitedKeepTheirOrigins", {5, 5, 25, 25}, {2, 1, 22, 21},
                 {2, 1, 10, 7}, {5, 5, 13, 11}},
        DrawCase{"OnlyTheWiderSideIsLimited", {0, 0, 12, 3}, {0, 0, 12, 3}, {0, 0, 8, 3},
                 {0, 0, 8, 3}},
        DrawCase{"DifferentSizesStretch", {0, 0, 16, 12}, {0, 0, 8, 6}, {0, 0, 8, 6},
                 {0, 0, 16, 12}},
        DrawCase{"DifferentSizesLargerThanTheSurfaceAreNotLimited", {0, 0, 40, 30},
                 {0, 0, 20, 20}, {0, 0, 20, 20}, {0, 0, 40, 30}}),
    [](const ::testing::TestParamInfo<DrawCase>& info) { return std::string(info.param.name); });

TEST(SurfaceDrawCases, WithoutPixelsAnswersMinusOneAndDrawsNothing) {
  ImageSurface surface;
  RecordingDrawContext dc;
  EXPECT_EQ(surface.Draw(dc, Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}), -1);
  EXPECT_TRUE(dc.calls.empty());
}

TEST(SurfaceDrawCases, DrawLeavesTheDirtyRectAlone) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(kImage), 0);
  surface.AddDirtyRect(1, 2, 3, 4);
  RecordingDrawContext dc;
  EXPECT_EQ(surface.Draw(dc, Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}), 0);
  EXPECT_EQ(surface.DirtyRect(), (Rect{1, 2, 3, 4}));
}

}  // namespace
}  // namespace varnel
