// The curve tool: the Bézier through the anchors, the brush laid along it at the tool's size with
// the pressure map, the filled closed path, editing and freehand input, Enter, Escape and
// Backspace, the undo step, the tool state and the shape definition file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "core/undo.h"
#include "tests/brush/brush_test_support.h"
#include "tests/support/temp_folder.h"
#include "tools/curve_tool.h"

namespace varnel {
namespace {

using brush_test::Recording;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr int32_t kWidth = 60, kHeight = 40;

// The point of a cubic at t.
ShapePoint CubicAt(const CubicSegment& s, double t) {
  const double u = 1 - t, a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
  return {a * s.p0.x + b * s.p1.x + c * s.p2.x + d * s.p3.x, a * s.p0.y + b * s.p1.y + c * s.p2.y + d * s.p3.y};
}

// The path as the rule makes it: a cubic from each anchor to the next whose handles lie a sixth
// of the chord between the anchor's neighbours before and beyond it (an open end is its own
// neighbour).
std::vector<CubicSegment> RuleCurve(const std::vector<ShapePoint>& p, bool closed) {
  const size_t n = p.size();
  auto at = [&](ptrdiff_t i) {
    if (closed) return p[static_cast<size_t>((i + static_cast<ptrdiff_t>(n)) % static_cast<ptrdiff_t>(n))];
    return p[static_cast<size_t>(std::clamp<ptrdiff_t>(i, 0, static_cast<ptrdiff_t>(n) - 1))];
  };
  std::vector<CubicSegment> segments;
  for (ptrdiff_t i = 0; i + 1 < static_cast<ptrdiff_t>(n) + (closed ? 1 : 0); ++i) {
    const ShapePoint a = at(i), b = at(i + 1), before = at(i - 1), after = at(i + 2);
    segments.push_back({a, {a.x + (b.x - before.x) / 6, a.y + (b.y - before.y) / 6},
                        {b.x - (after.x - a.x) / 6, b.y - (after.y - a.y) / 6}, b});
  }
  return segments;
}

std::vector<CurveAnchor> Anchors(std::initializer_list<ShapePoint> points) {
  std::vector<CurveAnchor> anchors;
  for (ShapePoint p : points) anchors.push_back({p, false, p, p});
  return anchors;
}

TEST(CurvePath, SegmentsJoinTheAnchorsWithHandlesASixthOfTheNeighboursChord) {
  struct Case {
    const char* name;
    std::vector<CurveAnchor> anchors;
    bool closed;
    size_t segments;
  };
  for (const Case& c : {Case{"open three", Anchors({{0, 0}, {6, 0}, {12, 6}}), false, 2},
                        Case{"closed four", Anchors({{10, 0}, {20, 10}, {10, 20}, {0, 10}}), true, 4},
                        Case{"closed two stays open", Anchors({{0, 0}, {9, 3}}), true, 1}}) {
    ASSERT_EQ(CurveSegments(c.anchors, c.closed).size(), c.segments) << c.name;
    // The flattened path starts on the first anchor and meets every anchor exactly.
    const std::vector<ShapePoint> flat = FlattenCurve(c.anchors, c.closed);
    EXPECT_EQ(flat.front().x, c.anchors.front().point.x) << c.name;
    for (const CurveAnchor& a : c.anchors) {
      auto onAnchor = [&](ShapePoint p) { return p.x == a.point.x && p.y == a.point.y; };
      EXPECT_TRUE(std::any_of(flat.begin(), flat.end(), onAnchor)) << c.name;
    }
  }
  // Open (0,0) (6,0) (12,6): the middle out handle is (6,0) + (12,6)/6, the first one
  // (0,0) + (6,0)/6 as the end counts as its own neighbour.
  ShapePoint in, out;
  const std::vector<CurveAnchor> open = Anchors({{0, 0}, {6, 0}, {12, 6}});
  CurveHandles(open, 1, false, in, out);
  EXPECT_EQ(std::make_tuple(in.x, in.y, out.x, out.y), std::make_tuple(4.0, -1.0, 8.0, 1.0));
  CurveHandles(open, 0, false, in, out);
  EXPECT_EQ(std::make_pair(out.x, out.y), std::make_pair(1.0, 0.0));
}

TEST(CurvePressureMap, StraightBetweenPointsHeldBeyondThemAndReadBackHeldToRanges) {
  const PressureMap map = {{200, 0}, {600, 200}, {1000, 100}};
  for (auto [t, pressure] : {std::pair{0.0, 0}, std::pair{0.3, 50}, std::pair{0.45, 125}, std::pair{0.8, 150},
                             std::pair{7.0, 100}, std::pair{double(NAN), 0}})
    EXPECT_EQ(PressureAt(map, t), pressure) << t;
  EXPECT_EQ(PressureAt({}, 0.5), 256);
  EXPECT_EQ(PressureAt({{0, 256}, {1000, 0}}, 0.7), 77);  // 76.8 rounded
  struct Case {
    const char* text;
    bool read;
    PressureMap map;
  };
  const PressureMap before = {{0, 1}, {1000, 2}};
  for (const Case& c : {Case{"1000,5;-3,300;x;500", true, {{0, 256}, {1000, 5}}},
                        Case{"1,1;2,2;3,3;4,4;5,5;6,6;7,7;8,8;9,9", true,
                             {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}}},
                        Case{"nothing", false, before}}) {
    PressureMap read = before;
    EXPECT_EQ(ParsePressureMap(c.text, read), c.read) << c.text;
    EXPECT_EQ(read, c.map) << c.text;
  }
}

TEST(CurveSettings, ToolStateRoundTripHoldsValuesToTheirRanges) {
  CurveSettings written{kCurveModeFreehandAdd, true, true, false, 17, 90, {{0, 10}, {500, 256}, {1000, 40}}};
  CurveSettings wild = written, clamped = written;
  std::tie(wild.mode, wild.size, wild.opacity) = std::tuple(9, 0, 999);
  std::tie(clamped.mode, clamped.size, clamped.opacity) = std::tuple(kCurveModeFreehandDraw, 1, 256);
  for (auto [stored, expected] : {std::pair{written, written}, std::pair{wild, clamped}}) {
    MemoryToolStateStream stream;
    CurveToolState out(stored);
    ASSERT_EQ(WriteToolState(stream, out), 0);
    stream.Seek(0);
    CurveSettings read;
    CurveToolState in(read);
    ASSERT_EQ(ReadToolState(stream, in, false), 0);
    EXPECT_EQ(read, expected);
  }
}

// A white 60 × 40 layer with the curve tool selected, stroking with a recording 1 × 1 brush.
class CurveToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartSpillWriter();
    canvas.InitWithLayer(brush_test::MakeLayer({kWidth, kHeight}, kWhite));
    brush.SetColours(MakeColourRef(0, 0, 0), MakeColourRef(255, 255, 255));
    settings.size = 1;
    auto owned = std::make_unique<CurveTool>(canvas, settings, [this] { return &brush; });
    tool = owned.get();
    canvas.SetTool(kCurveToolSlot, std::move(owned));
    canvas.SelectTool(kCurveToolSlot);
    tool->SetColours(MakeColourRef(255, 0, 0), MakeColourRef(255, 255, 255));
  }
  void TearDown() override { StopSpillWriter(); }

  void Press(int32_t x, int32_t y, uint32_t flags = 0) { canvas.DeliverEvent(kToolButtonDown, flags, x, y, 0); }
  void MoveTo(int32_t x, int32_t y, uint32_t flags = 0) { canvas.DeliverEvent(kToolMove, flags, x, y, 0); }
  void Release(int32_t x, int32_t y, uint32_t flags = 0) { canvas.DeliverEvent(kToolButtonUp, flags, x, y, 0); }
  void Click(std::initializer_list<std::pair<int32_t, int32_t>> points) {
    for (auto [x, y] : points) Press(x, y), Release(x, y);
  }
  bool Key(int32_t key) { return tool->KeyMessage(kToolKeyDown, key, 1, 0); }
  uint32_t At(int32_t x, int32_t y) const { return brush_test::At(*canvas.ActiveLayer(), x, y); }
  std::vector<uint32_t> Pixels() const { return brush_test::Pixels(*canvas.ActiveLayer()); }
  static std::vector<uint32_t> Blank() { return std::vector<uint32_t>(kWidth * kHeight, kWhite); }

  CurveSettings settings;
  Recording<NormalBrush> brush{Size{1, 1}};
  Canvas canvas;
  CurveTool* tool = nullptr;
};

TEST_F(CurveToolTest, AStrokedCurvePaintsOnlyWithinTheBrushsReachOfThePathAsOneUndoStep) {
  settings.size = 3;
  Click({{10, 10}, {30, 25}, {50, 10}});
  EXPECT_EQ(Pixels(), Blank());
  ASSERT_TRUE(Key(kKeyReturn));
  EXPECT_TRUE(tool->Anchors().empty());
  // The curve sampled finely. A dab centre strays from it by the flattening (1/8), the dropped
  // points (1/2) and the rounding to a pixel (√2/2); a 3 × 3 dab reaches √2 further.
  std::vector<ShapePoint> curve;
  for (const CubicSegment& s : RuleCurve({{10, 10}, {30, 25}, {50, 10}}, false))
    for (int i = 0; i <= 400; ++i) curve.push_back(CubicAt(s, i / 400.0));
  int32_t painted = 0;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      if (At(x, y) == kWhite) continue;
      ++painted;
      double nearest = 1e9;
      for (ShapePoint p : curve) nearest = std::min(nearest, std::hypot(p.x - x, p.y - y));
      EXPECT_LE(nearest, 2.75) << x << "," << y;
    }
  EXPECT_GT(painted, 3 * 45);  // unbroken: three pixels wide over a path longer than 45
  for (auto [x, y] : {std::pair{10, 10}, std::pair{30, 25}, std::pair{50, 10}}) EXPECT_NE(At(x, y), kWhite);
  // The brush is as it was.
  EXPECT_EQ(brush.GetSize(), (Size{1, 1}));
  EXPECT_FALSE(brush.PressureOpacity());
  ASSERT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(Pixels(), Blank());
  EXPECT_NE(canvas.Undo(), 0);
}

TEST_F(CurveToolTest, ThePressureMapSetsEachDabsOpacityAlongThePath) {
  settings.pressureMap = {{0, 256}, {1000, 0}};
  Click({{2, 5}, {22, 5}});
  ASSERT_TRUE(tool->Commit());
  // One dab on every pixel of the 20-pixel line, its pressure 256 × (1 − share of the length)
  // rounded, and the opacity 256 × pressure / 256.
  ASSERT_EQ(brush.dabs.size(), 21u);
  for (int32_t i = 0; i <= 20; ++i) {
    const int32_t pressure = static_cast<int32_t>(std::floor(256.0 * (1 - i / 20.0) + 0.5));
    EXPECT_EQ(brush.dabs[static_cast<size_t>(i)], (brush_test::DabCall{2 + i, 5, pressure, Size{1, 1}})) << i;
  }
}

// The loop through (46,20) (30,36) (14,20) (30,4): each quarter is a cubic whose handles lie a
// third of the radius 16 along the tangent. Its area by Green's theorem over fine samples.
double LoopArea() {
  double twice = 0;
  for (const CubicSegment& s : RuleCurve({{46, 20}, {30, 36}, {14, 20}, {30, 4}}, true)) {
    ShapePoint a = s.p0;
    for (int i = 1; i <= 20000; ++i) {
      const ShapePoint b = CubicAt(s, i / 20000.0);
      twice += a.x * b.y - b.x * a.y;
      a = b;
    }
  }
  return std::abs(twice) / 2;
}

TEST_F(CurveToolTest, AFilledClosedLoopCoversItsInsideWithTheForeground) {
  settings.fill = true;
  struct Case {
    bool antialias;
    double tolerance;  // of the covered area against the loop's
  };
  for (const Case& c : {Case{true, 0.0075}, Case{false, 0.02}}) {
    settings.antialias = c.antialias;
    Click({{46, 20}, {30, 36}, {14, 20}, {30, 4}});
    ASSERT_TRUE(Key(kKeyReturn));
    // Red over white: the green byte falls by the coverage.
    double covered = 0;
    for (uint32_t pixel : Pixels()) covered += (255.0 - ((pixel >> 8) & 0xFF)) / 255.0;
    EXPECT_NEAR(covered, LoopArea(), LoopArea() * c.tolerance) << c.antialias;
    EXPECT_EQ(At(30, 20), 0xFFFF0000u);
    EXPECT_EQ(At(30, 6), 0xFFFF0000u);
    EXPECT_EQ(At(48, 20), kWhite);
    EXPECT_EQ(At(14 + 4, 4 + 4), kWhite);  // outside the loop, inside its bounding box
    EXPECT_TRUE(brush.dabs.empty());
    ASSERT_EQ(canvas.Undo(), 0);
    EXPECT_EQ(Pixels(), Blank());
  }
}

TEST_F(CurveToolTest, EscapeDiscardsThePathAndBackspaceTakesTheLastAnchorBack) {
  Click({{5, 5}, {20, 15}, {40, 5}});
  EXPECT_FALSE(tool->Feedback().empty());
  ASSERT_TRUE(Key(kKeyBack));
  ASSERT_EQ(tool->Anchors().size(), 2u);
  EXPECT_EQ(tool->Anchors().back().point.x, 20.0);
  ASSERT_TRUE(Key(kKeyEscape));
  EXPECT_TRUE(tool->Anchors().empty());
  EXPECT_TRUE(tool->Feedback().empty());
  EXPECT_FALSE(Key(kKeyReturn));
  EXPECT_EQ(Pixels(), Blank());
  EXPECT_NE(canvas.Undo(), 0);
}

TEST_F(CurveToolTest, EditingDragsAnchorsAndTurnsTheOtherHandleUnlessShiftIsHeld) {
  Click({{10, 10}, {30, 10}, {50, 10}});
  settings.mode = kCurveModeEdit;
  // Grabbed one pixel off, the anchor moves with the pointer.
  Press(31, 11);
  MoveTo(31, 21);
  Release(31, 21);
  ASSERT_EQ(tool->Anchors()[1].point.y, 20.0);
  EXPECT_FALSE(tool->Anchors()[1].ownHandles);
  // Its out handle lies at (30,20) + (40,0)/6; pulled to (36,26), the in handle turns opposite
  // and keeps its length 40/6.
  Press(37, 20);
  Release(36, 26);
  const CurveAnchor& a = tool->Anchors()[1];
  ASSERT_TRUE(a.ownHandles);
  EXPECT_EQ(std::make_pair(a.out.x, a.out.y), std::make_pair(36.0, 26.0));
  const double k = (40.0 / 6) / std::hypot(6.0, 6.0);
  EXPECT_NEAR(a.in.x, 30 - 6 * k, 1e-9);
  EXPECT_NEAR(a.in.y, 20 - 6 * k, 1e-9);
  const ShapePoint in = a.in;
  Press(36, 26, kToolShift);
  Release(38, 20, kToolShift);
  EXPECT_EQ(tool->Anchors()[1].in.x, in.x);
  EXPECT_EQ(tool->Anchors()[1].out.x, 38.0);
  // A press that meets nothing does nothing.
  EXPECT_FALSE(canvas.DeliverEvent(kToolButtonDown, 0, 30, 35, 0));
}

TEST_F(CurveToolTest, FreehandAddsItsCornersAsAnchorsOrDrawsAtOnce) {
  settings.mode = kCurveModeFreehandAdd;
  Press(5, 5);
  for (int32_t x = 6; x <= 25; ++x) MoveTo(x, 5);
  for (int32_t y = 6; y <= 25; ++y) MoveTo(25, y);
  Release(25, 25);
  ASSERT_EQ(tool->Anchors().size(), 3u);
  EXPECT_EQ(std::make_pair(tool->Anchors()[1].point.x, tool->Anchors()[1].point.y), std::make_pair(25.0, 5.0));
  EXPECT_EQ(Pixels(), Blank());

  tool->Discard();
  settings.mode = kCurveModeFreehandDraw;
  Press(5, 30);
  for (int32_t x = 6; x <= 40; ++x) MoveTo(x, 30);
  Release(40, 30);
  EXPECT_TRUE(tool->Anchors().empty());
  for (int32_t x = 5; x <= 40; ++x) EXPECT_EQ(At(x, 30), 0xFF000000u) << x;
  EXPECT_EQ(At(41, 30), kWhite);
  ASSERT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(Pixels(), Blank());
}

TEST_F(CurveToolTest, ThePathSavesAsAShapeFittedIntoItsBoundingBox) {
  EXPECT_TRUE(tool->PathShape().vertices.empty());
  settings.closed = true;
  Click({{46, 20}, {30, 36}, {14, 20}, {30, 4}});
  const ShapeDefinition shape = tool->PathShape();
  ASSERT_GT(shape.vertices.size(), 8u);
  // The first anchor (46,20) is the right end at half height; the loop spans the unit square.
  EXPECT_EQ(shape.vertices[0], (ShapeVertex{1.0, 0.5, 0.0, 0}));
  double minX = 1, maxX = 0, minY = 1, maxY = 0;
  for (const ShapeVertex& v : shape.vertices) {
    minX = std::min(minX, v.x), maxX = std::max(maxX, v.x), minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
  }
  EXPECT_EQ(std::make_tuple(minX, maxX, minY, maxY), std::make_tuple(0.0, 1.0, 0.0, 1.0));
  test::TempFolder folder;
  ASSERT_TRUE(WriteShapeFile(folder / "curve.ptv", shape));
  ShapeDefinition read;
  ReadShapeFile(folder / "curve.ptv", read);
  ASSERT_EQ(read.vertices.size(), shape.vertices.size());
  for (size_t i = 0; i < read.vertices.size(); ++i) {
    EXPECT_NEAR(read.vertices[i].x, shape.vertices[i].x, 1e-6) << i;
    EXPECT_NEAR(read.vertices[i].y, shape.vertices[i].y, 1e-6) << i;
  }
}

}  // namespace
}  // namespace varnel
