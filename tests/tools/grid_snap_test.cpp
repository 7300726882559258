// The grid's geometry (snapping a point, the lines over a rectangle, when it shows) and the
// zoom tool's steps and clicks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "core/canvas.h"
#include "tools/grid_snap.h"
#include "tools/zoom_tool.h"

namespace varnel {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

GridSettings Rectangular(int32_t width, int32_t height, int32_t originX, int32_t originY) {
  GridSettings grid;
  grid.cellWidth = width;
  grid.cellHeight = height;
  grid.originX = originX;
  grid.originY = originY;
  return grid;
}

GridSettings Axes(std::vector<std::pair<int32_t, int32_t>> intervalsAndAngles, int32_t originX = 0,
                  int32_t originY = 0) {
  GridSettings grid;
  grid.kind = 1;
  grid.originX = originX;
  grid.originY = originY;
  for (const auto& [interval, angle] : intervalsAndAngles) grid.axes.push_back({ColourRef{0x00F0C8C8}, interval, angle});
  return grid;
}

struct SnapCase {
  const char* name;
  GridSettings grid;
  int32_t x, y, wantX, wantY;
};

TEST(GridSnap, MovesPointsToTheNearestCrossingOfTheGrid) {
  // The triangular grid of 0°, 60° and 120° every 16 pixels has its crossings at
  // (32 / √3 × i + 16 / √3 × j, 16 × j): 18.475 apart along a row, rows shifted by 9.238.
  const GridSettings triangles = Axes({{16, 0}, {16, 60}, {16, 120}});
  const SnapCase cases[] = {
      {"on a crossing", Rectangular(16, 10, 3, -2), 3, -2, 3, -2},
      {"nearer the lower crossing", Rectangular(16, 10, 3, -2), 10, 2, 3, -2},
      {"half way goes right and down", Rectangular(16, 10, 3, -2), 11, 3, 19, 8},
      {"left of and above the origin", Rectangular(16, 10, 3, -2), -6, -8, -13, -12},
      {"cells of 0 or less are 1 pixel", Rectangular(0, -5, 3, 3), 7, 9, 7, 9},
      {"no crossing beyond the coordinate range", Rectangular(16, 16, 0, 0), kMax, kMin, kMax, kMin},
      {"axes at 0° and 90° are a rectangular grid", Axes({{10, 0}, {20, 90}}, 5, 5), 17, 12, 25, 15},
      {"triangles: the crossing above", triangles, 10, 14, 9, 16},
      {"triangles: along the top row", triangles, 15, 3, 18, 0},
      {"triangles: the nearest of six", triangles, 28, 8, 28, 16},
      {"triangles: left of and above the origin", triangles, -10, -14, -9, -16},
      // x + y = 14.142 × k; the foot of the perpendicular from (10, 0) is (12.07, 2.07).
      {"one axis: onto the nearest line", Axes({{10, 45}}), 10, 0, 12, 2},
      {"parallel axes: onto the nearest line", Axes({{10, 0}, {7, 180}}), 3, 4, 3, 7},
      {"no axes: the point stays", Axes({}), 5, 6, 5, 6},
      {"intervals of 0 or less are 1 pixel", Axes({{0, 0}, {-3, 90}}), 7, -4, 7, -4},
  };
  for (const SnapCase& c : cases) {
    int32_t x = c.x, y = c.y;
    SnapToGrid(c.grid, x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(c.wantX, c.wantY)) << c.name;
  }
}

TEST(GridSnap, AxesOneDegreeApartFindTheirNearestCrossingFarFromTheFirstGuess) {
  // Lines y = 10k and lines at 1° every 10 pixels cross every 10 / sin 1° = 573 pixels along a
  // row. From (250, 5) the nearest crossing is (0.087, 10), 250 pixels away (checked over every
  // crossing with |k| <= 50), on the nearest horizontal line; crossings on farther lines must
  // all be weighed against it.
  int32_t x = 250, y = 5;
  SnapToGrid(Axes({{10, 0}, {10, 1}}), x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(0, 10));
  // Each line's crossings lie 0.087 × k to the right of 573 × j: from (300, 40) the one at
  // (573.34, 40) is 273 pixels away, the one at (0.35, 40) 300.
  x = 300, y = 40;
  SnapToGrid(Axes({{10, 0}, {10, 1}}), x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(573, 40));
}

using Line = std::tuple<double, double, double, double>;

std::vector<Line> Lines(const std::vector<GridLine>& lines) {
  std::vector<Line> out;
  // Endpoints in reading order, whichever way the line was walked.
  for (const GridLine& l : lines) out.push_back(std::min(Line{l.x0, l.y0, l.x1, l.y1}, Line{l.x1, l.y1, l.x0, l.y0}));
  return out;
}

TEST(GridLines, CrossTheRectangleFamilyByFamily) {
  struct Case {
    const char* name;
    GridSettings grid;
    double minSpacing;
    std::vector<Line> want;
  };
  const Case cases[] = {
      {"rectangular: vertical, then horizontal", Rectangular(10, 20, 5, 0), 1.0,
       {{5, 0, 5, 40}, {15, 0, 15, 40}, {25, 0, 25, 40}, {0, 0, 30, 0}, {0, 20, 30, 20}, {0, 40, 30, 40}}},
      {"too dense a family is left out", Rectangular(10, 20, 5, 0), 12.0, {{0, 0, 30, 0}, {0, 20, 30, 20}, {0, 40, 30, 40}}},
      {"axis grid: one family per axis", Axes({{8, 90}, {25, 0}}, 2, 3), 1.0,
       {{2, 0, 2, 40}, {10, 0, 10, 40}, {18, 0, 18, 40}, {26, 0, 26, 40}, {0, 3, 30, 3}, {0, 28, 30, 28}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lines(GridLinesIn(c.grid, 0, 0, 30, 40, c.minSpacing)), c.want) << c.name;
  }
}

TEST(GridLines, SlantedLinesAreClippedToTheRectangle) {
  // Lines at 45° every 10 pixels: x + y = 10 × √2 × k. Over a 20 × 20 square the line k = 0
  // only touches a corner and is left out; k = 1 and k = 2 cross it.
  const std::vector<GridLine> lines = GridLinesIn(Axes({{10, 45}}), 0, 0, 20, 20, 1.0);
  ASSERT_EQ(lines.size(), 2u);
  const double r = 10 * std::sqrt(2.0);
  const std::vector<Line> got = Lines(lines);
  const std::vector<Line> want = {{0, r, r, 0}, {2 * r - 20, 20, 20, 2 * r - 20}};
  for (size_t i = 0; i < 2; ++i) {
    const auto [x0, y0, x1, y1] = got[i];
    const auto [wx0, wy0, wx1, wy1] = want[i];
    EXPECT_LT(std::abs(x0 - wx0) + std::abs(y0 - wy0) + std::abs(x1 - wx1) + std::abs(y1 - wy1), 1e-9) << i;
  }
  EXPECT_TRUE(GridLinesIn(Axes({{10, 45}}), 5, 5, 5, 9, 1.0).empty());  // no width
}

TEST(ZoomSteps, GoToTheNextStepInEitherDirection) {
  struct Case {
    double zoom;
    bool in;
    double want;
  };
  for (const Case& c : {Case{1.0, true, 1.5}, Case{1.0, false, 2.0 / 3}, Case{1.2, true, 1.5}, Case{1.2, false, 1.0},
                        Case{0.6667, false, 0.5}, Case{0.6667, true, 1.0}, Case{32.0, true, 32.0},
                        Case{0.125, false, 0.125}, Case{100.0, false, 32.0}, Case{0.0, true, 1.0}, Case{-2.0, false, 1.0}}) {
    EXPECT_DOUBLE_EQ(NextZoomStep(c.zoom, c.in), c.want) << c.zoom << (c.in ? " in" : " out");
  }
}

class ZoomToolTest : public ::testing::Test {
 protected:
  static constexpr int32_t kSlot = 19;

  void SetUp() override {
    auto layer = std::make_unique<Layer>();
    ASSERT_EQ(layer->Create({40, 30}), 0);
    canvas.InitWithLayer(std::move(layer));
    auto tool = std::make_unique<ZoomTool>(canvas);
    tool->SetZoomer([this](int32_t x, int32_t y, bool in) { calls.emplace_back(x, y, in); });
    canvas.SetTool(kSlot, std::move(tool));
    canvas.SelectTool(kSlot);
  }

  Canvas canvas;
  std::vector<std::tuple<int32_t, int32_t, bool>> calls;
};

TEST_F(ZoomToolTest, AClickZoomsInAndAltClickOrTheRightButtonZoomsOut) {
  canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 5, 7, 0);
  canvas.DeliverEvent(kToolButtonDown, kToolLeftButton | kToolAlt, 6, 8, 0);
  canvas.DeliverEvent(kToolRightButtonDown, kToolRightButton, 9, 1, 0);
  canvas.DeliverEvent(kToolMove, 0, 12, 12, 256);
  canvas.DeliverEvent(kToolButtonUp, 0, 12, 12, 0);
  const std::vector<std::tuple<int32_t, int32_t, bool>> want = {{5, 7, true}, {6, 8, false}, {9, 1, false}};
  EXPECT_EQ(calls, want);
}

TEST_F(ZoomToolTest, TheZoomerGetsCanvasPointsAfterTheGridMovedThem) {
  canvas.GetLayer(0)->SetOffset(10, 4);
  const GridSettings grid = Rectangular(8, 8, 0, 0);
  canvas.pointFilter = [&grid](int32_t& x, int32_t& y) { SnapToGrid(grid, x, y); };
  canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 13, 3, 0);
  const std::vector<std::tuple<int32_t, int32_t, bool>> want = {{16, 0, true}};
  EXPECT_EQ(calls, want);
  // Without a view to zoom the click is not the tool's.
  static_cast<ZoomTool*>(canvas.Tool(kSlot))->SetZoomer({});
  EXPECT_FALSE(canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 13, 3, 0));
}

}  // namespace
}  // namespace varnel
