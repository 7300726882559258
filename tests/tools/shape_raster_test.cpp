// Shape coverage: exact areas with anti-aliasing, pixel centres without, the fill rules, the
// clip, curve flattening, and painting through the coverage.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <cstring>
#include <numbers>

#include "core/surface.h"
#include "tests/tools/paint_paths_support.h"
#include "tools/shape_raster.h"

namespace varnel {
namespace {

std::vector<ShapePoint> Box(double left, double top, double right, double bottom) {
  return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

double Area(const CoverageMask& mask) {
  double sum = 0;
  for (const uint8_t c : mask.coverage) sum += c;
  return sum / 255.0;
}

constexpr Rect kClip{0, 0, 99, 99};

TEST(ShapeCoverage, AntialiasedBoxCoversEachPixelByItsArea) {
  struct Case {
    double left, top, right, bottom;
    Rect bounds;
    uint8_t corner, edge, inside;  // at bounds' top-left, the left edge's middle, the centre
  };
  // 0.5 of a pixel is 127.5 → 128; a quarter is 63.75 → 64.
  for (const Case& c : {Case{2, 3, 6, 8, {2, 3, 5, 7}, 255, 255, 255},
                        Case{2.5, 3, 6, 8, {2, 3, 5, 7}, 128, 128, 255},
                        Case{2.5, 3.5, 6.5, 8.5, {2, 3, 6, 8}, 64, 128, 255}}) {
    ShapeCoverage shape;
    shape.AddPolygon(Box(c.left, c.top, c.right, c.bottom));
    const CoverageMask mask = shape.Render(kClip, true);
    EXPECT_EQ(mask.bounds, c.bounds);
    EXPECT_EQ(mask.At(c.bounds.left, c.bounds.top), c.corner);
    EXPECT_EQ(mask.At(c.bounds.left, (c.bounds.top + c.bounds.bottom) / 2), c.edge);
    EXPECT_EQ(mask.At(4, 5), c.inside);
    EXPECT_EQ(mask.At(c.bounds.right + 1, c.bounds.top), 0);
    EXPECT_NEAR(Area(mask), (c.right - c.left) * (c.bottom - c.top), 0.05);
  }
}

TEST(ShapeCoverage, SlantedAndRoundShapesKeepTheirArea) {
  ShapeCoverage triangle;
  triangle.AddPolygon(std::vector<ShapePoint>{{10.3, 5.1}, {60.7, 20.2}, {25.4, 70.9}});
  // Shoelace area of the triangle.
  const double want = std::fabs((60.7 - 10.3) * (70.9 - 5.1) - (25.4 - 10.3) * (20.2 - 5.1)) / 2;
  EXPECT_NEAR(Area(triangle.Render(kClip, true)), want, want * 0.002);

  ShapeCoverage ellipse;
  ellipse.AddEllipse(50, 50, 40, 25, 30);
  EXPECT_NEAR(Area(ellipse.Render(kClip, true)), std::numbers::pi * 40 * 25, std::numbers::pi * 40 * 25 * 0.002);
}

TEST(ShapeCoverage, FillRulesDecideOverlaps) {
  // Two boxes wound the same way overlap in 10 × 10 pixels.
  ShapeCoverage shape;
  shape.AddPolygon(Box(0, 0, 20, 20));
  shape.AddPolygon(Box(10, 10, 30, 30));
  for (const bool antialias : {true, false}) {
    EXPECT_EQ(shape.Render(kClip, antialias, FillRule::kNonZero).At(15, 15), 255);
    EXPECT_EQ(shape.Render(kClip, antialias, FillRule::kEvenOdd).At(15, 15), 0);
    EXPECT_EQ(shape.Render(kClip, antialias, FillRule::kEvenOdd).At(5, 5), 255);
  }
}

TEST(ShapeCoverage, WithoutAntialiasingPixelCentresDecide) {
  // Pixel x is inside when x + 0.5 lies within 2.4 … 6.6: pixels 2 … 6; rows likewise 1 … 3.
  ShapeCoverage shape;
  shape.AddPolygon(Box(2.4, 1.2, 6.6, 3.7));
  const CoverageMask mask = shape.Render(kClip, false);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 10; ++x)
      EXPECT_EQ(mask.At(x, y), x >= 2 && x <= 6 && y >= 1 && y <= 3 ? 255 : 0) << x << "," << y;
}

TEST(ShapeCoverage, ClipKeepsWhatLiesLeftOfIt) {
  // Part of the shape lies left of and above the clip; the pixels inside are still covered.
  ShapeCoverage shape;
  shape.AddPolygon(std::vector<ShapePoint>{{-50, -10}, {20, 5}, {-30, 40}});
  const CoverageMask clipped = shape.Render({0, 0, 9, 9}, true);
  const CoverageMask whole = shape.Render({-60, -20, 30, 50}, true);
  EXPECT_EQ(clipped.bounds, (Rect{0, 0, 9, 9}));
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(clipped.At(x, y), whole.At(x, y)) << x << "," << y;
}

TEST(ShapeCoverage, DegenerateInputAddsNothing) {
  ShapeCoverage shape;
  shape.AddPolygon(std::vector<ShapePoint>{{1, 1}});
  shape.AddPolygon(std::vector<ShapePoint>{{1, 1}, {NAN, 4}, {5, 5}});
  shape.AddEllipse(5, 5, 0, 3);
  shape.AddEllipse(5, 5, INFINITY, 3);
  EXPECT_TRUE(shape.IsEmpty());
  EXPECT_TRUE(shape.Render(kClip, true).IsEmpty());
}

TEST(FlattenCubic, StaysWithinAnEighthOfAPixel) {
  const ShapePoint p0{0, 0}, p1{100, 0}, p2{0, 100}, p3{100, 100};
  std::vector<ShapePoint> points{p0};
  FlattenCubic(p0, p1, p2, p3, points);
  EXPECT_EQ(points.back().x, 100);
  EXPECT_EQ(points.back().y, 100);
  auto at = [&](double t) {
    const double u = 1 - t;
    return ShapePoint{3 * u * u * t * 100 + t * t * t * 100, 3 * u * t * t * 100 + t * t * t * 100};
  };
  // Every point of the curve is close to some chord.
  for (int i = 0; i <= 1000; ++i) {
    const ShapePoint q = at(i / 1000.0);
    double best = 1e9;
    for (size_t k = 0; k + 1 < points.size(); ++k) {
      const ShapePoint a = points[k], b = points[k + 1];
      const double dx = b.x - a.x, dy = b.y - a.y, len = dx * dx + dy * dy;
      const double t = len > 0 ? std::clamp(((q.x - a.x) * dx + (q.y - a.y) * dy) / len, 0.0, 1.0) : 0;
      best = std::min(best, std::hypot(a.x + t * dx - q.x, a.y + t * dy - q.y));
    }
    EXPECT_LE(best, 0.125) << i;
  }
}

TEST(PaintCoverage, ReplacesAtFullCoverageAndBlendsTheRest) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create({8, 4}), 0);
  CoverageMask mask;
  mask.bounds = {1, 1, 4, 1};
  mask.coverage = {255, 128, 0, 255};
  const uint32_t red = 0xFFFF0000u;
  const Rect changed = PaintCoverage(surface, mask, red, 255);
  EXPECT_EQ(changed, (Rect{1, 1, 4, 1}));
  uint32_t p = 0;
  surface.GetPixel(1, 1, &p);
  EXPECT_EQ(p, red);
  surface.GetPixel(3, 1, &p);
  EXPECT_EQ(p, 0xFFFFFFFFu);
  // White toward red by 128/256: green and blue 255 + floor(−255 × 128 / 256) = 127.
  surface.GetPixel(2, 1, &p);
  EXPECT_EQ(p, 0xFFFF7F7Fu);
  EXPECT_TRUE(surface.IsModified());

  // Opacity 51 scales full coverage to (255 × 51 + 127) / 255 = 51: 255 + floor(−255 × 51 / 256) = 204.
  ImageSurface faint;
  ASSERT_EQ(faint.Create({8, 4}), 0);
  PaintCoverage(faint, mask, red, 51);
  faint.GetPixel(1, 1, &p);
  EXPECT_EQ(p, 0xFFFFCCCCu);
  EXPECT_TRUE(PaintCoverage(faint, mask, red, 0).IsEmpty());
}

TEST(FillShape, PaintsWhatTheMaskPaints) {
  // A shape taller than a band, partly outside the target, with half-covered edges.
  ShapeCoverage shape;
  shape.AddEllipse(30, 40, 35.5, 50.25, 20);
  shape.AddPolygon(std::vector<ShapePoint>{{5, 5}, {70, 12}, {40, 90}});
  for (const bool antialias : {true, false}) {
    for (const FillRule rule : {FillRule::kNonZero, FillRule::kEvenOdd}) {
      ImageSurface viaMask, fused;
      ASSERT_EQ(viaMask.Create({60, 80}), 0);
      ASSERT_EQ(fused.Create({60, 80}), 0);
      const Rect a = PaintCoverage(viaMask, shape.Render({0, 0, 59, 79}, antialias, rule), 0x80102030u, 200);
      const Rect b = FillShape(fused, shape, antialias, rule, 0x80102030u, 200);
      EXPECT_EQ(a, b);
      for (int32_t y = 0; y < 80; ++y)
        ASSERT_EQ(std::memcmp(viaMask.Row(y), fused.Row(y), 60 * 4), 0) << y << " " << antialias;
    }
  }
}

TEST(FillShape, PaintsALayerInPlaceAsThroughASelectionCoveringIt) {
  // The 700 × 520 shapes are large enough to be painted in two halves on two threads; the
  // small one is painted whole. Odd corners put the shapes' edges inside tiles.
  struct Case {
    const char* name;
    Size size;
    bool antialias;
    int32_t opacity;
    std::function<void(ShapeCoverage&)> add;
  };
  const Case cases[] = {
      {"ellipse", {720, 560}, true, 255, [](ShapeCoverage& s) { s.AddEllipse(363.3, 271.7, 350, 260); }},
      {"faint ellipse", {720, 560}, true, 97, [](ShapeCoverage& s) { s.AddEllipse(363.3, 271.7, 350, 260, 30); }},
      {"jagged ellipse", {720, 560}, false, 255, [](ShapeCoverage& s) { s.AddEllipse(363.3, 271.7, 350, 260); }},
      // Thin and slanted: each tile row's rows touch tiles far apart, with none between them.
      {"sliver", {720, 560}, true, 255,
       [](ShapeCoverage& s) { s.AddPolygon(std::vector<ShapePoint>{{3.5, 7}, {9, 7}, {715, 553.5}, {709.5, 553.5}}); }},
      {"small", {70, 50}, true, 200, [](ShapeCoverage& s) { s.AddEllipse(20.5, 30.25, 25, 21); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    paint_paths::TwoPaths paths(c.size);
    ShapeCoverage shape;
    c.add(shape);
    const Rect direct = FillShape(paths.plain, shape, c.antialias, FillRule::kNonZero, 0xC0336699u, c.opacity);
    const Rect through = FillShape(paths.facade, shape, c.antialias, FillRule::kNonZero, 0xC0336699u, c.opacity);
    EXPECT_EQ(direct, through);
    EXPECT_FALSE(direct.IsEmpty());
    paths.ExpectSame();
    paths.plain.RevertUncommitted();
    for (int32_t y = 0; y < c.size.height; ++y)
      for (int32_t x = 0; x < c.size.width; ++x) ASSERT_EQ(paths.plain.Row(y)[x], paint_paths::Old(x, y)) << x << "," << y;
  }
}

}  // namespace
}  // namespace varnel
