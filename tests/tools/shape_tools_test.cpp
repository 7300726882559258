// The shape, ellipse and polygon tools on a canvas: the dragged box, the placed and rounded
// outline, exact fills, the brush along outlines, the selection, closing a polygon every way,
// one undo step per shape, and the tool states.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include "core/canvas.h"
#include "tests/brush/brush_test_support.h"
#include "tools/shape_tools.h"

namespace varnel {
namespace {

using brush_test::MakeLayer;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr int32_t kWidth = 40, kHeight = 30;

// ---- geometry -------------------------------------------------------------------------------

TEST(ShapeGeometry, TheDraggedBoxTakesBothPixelsInAndFollowsShiftAndCtrl) {
  struct Case {
    const char* name;
    int32_t x1, y1;
    bool square, fromCentre;
    Rect want;
  };
  // All from (10, 10).
  for (const Case& c : {Case{"down right", 14, 12, false, false, {10, 10, 14, 12}},
                        Case{"up left", 6, 3, false, false, {6, 3, 10, 10}},
                        Case{"square keeps the direction", 13, 4, true, false, {10, 4, 16, 10}},
                        Case{"from the centre", 13, 8, false, true, {7, 8, 13, 12}},
                        Case{"circle from the centre", 12, 5, true, true, {5, 5, 15, 15}},
                        Case{"a click", 10, 10, true, true, {10, 10, 10, 10}}}) {
    EXPECT_EQ(DraggedBox(10, 10, c.x1, c.y1, c.square, c.fromCentre), c.want) << c.name;
  }
}

TEST(ShapeGeometry, APlacedShapeIsScaledIntoItsBoxAndTurnedClockwiseAboutItsCentre) {
  const std::vector<ShapeVertex> square = RectangleVertices();
  std::vector<ShapePoint> placed = PlaceShapeOutline(square, {2, 3, 4, 2}, 0, 0);
  ASSERT_EQ(placed.size(), 4u);
  EXPECT_EQ(std::pair(placed[2].x, placed[2].y), std::pair(6.0, 5.0));
  // A quarter turn about (4, 4): the top-left corner (−2, −1 from the centre) goes to (+1, −2).
  placed = PlaceShapeOutline(square, {2, 3, 4, 2}, 0, 90);
  ASSERT_EQ(placed.size(), 4u);
  EXPECT_NEAR(placed[0].x, 5, 1e-12);
  EXPECT_NEAR(placed[0].y, 2, 1e-12);
  // Repeated corners, a box of no size and non-finite numbers leave nothing to draw.
  EXPECT_EQ(PlaceShapeOutline(std::vector<ShapeVertex>{{0, 0}, {0, 0}, {0, 0}}, {0, 0, 5, 5}, 0, 0).size(), 0u);
  EXPECT_EQ(PlaceShapeOutline(square, {0, 0, 0, 0}, 20, 0).size(), 0u);
  EXPECT_EQ(PlaceShapeOutline(square, {0, 0, 5, 5}, 0, std::nan("")).size(), 0u);
}

TEST(ShapeGeometry, RoundingCutsEachCornerByItsShareOfHalfTheShorterEdge) {
  // A 10 × 20 box with rounding 50: each corner is cut back 2.5 along both edges, and the cut is
  // bridged by the parabola (2.5 t², 2.5 (1 − t)²) at the top-left, that is √x + √y = √2.5.
  const std::vector<ShapePoint> rounded = PlaceShapeOutline(RectangleVertices(), {0, 0, 10, 20}, 50, 0);
  ASSERT_GT(rounded.size(), 8u);
  EXPECT_DOUBLE_EQ(rounded[0].y, 2.5);
  int32_t onCurve = 0;
  for (const ShapePoint& p : rounded) {
    if (p.x > 2.5 || p.y > 2.5) continue;
    EXPECT_NEAR(std::sqrt(p.x) + std::sqrt(p.y), std::sqrt(2.5), 1e-9) << p.x << "," << p.y;
    ++onCurve;
  }
  EXPECT_GE(onCurve, 3);
  // Above 90 counts as 90; the shorter edges keep a tenth straight.
  EXPECT_DOUBLE_EQ(PlaceShapeOutline(RectangleVertices(), {0, 0, 10, 20}, 500, 0)[0].y, 4.5);
}

TEST(ShapeGeometry, BrushPathsArePixelsWithoutRepeatsAndSavedPolygonsFillTheUnitSquare) {
  const std::vector<ShapePoint> outline = {{0.4, 0.6}, {0.2, 1.4}, {3.5, 1}, {3.6, 0.5}, {0, 1}};
  const std::vector<BrushPathPoint> path = ToBrushPath(outline);
  ASSERT_EQ(path.size(), 2u);
  EXPECT_TRUE(path[0].x == 0 && path[0].y == 1 && path[1].x == 4 && path[1].y == 1 && path[1].pressure == 256);
  const std::vector<std::pair<int32_t, int32_t>> corners = {{10, 20}, {30, 20}, {20, 60}};
  const std::vector<ShapeVertex> unit = {{0, 0, 0, 0}, {1, 0, 0, 0}, {0.5, 1, 0, 0}};
  EXPECT_EQ(PolygonShapeDefinition(corners).vertices, unit);
  // A side of no extent puts every corner at 0 there.
  const std::vector<std::pair<int32_t, int32_t>> flat = {{5, 1}, {5, 3}};
  EXPECT_EQ(PolygonShapeDefinition(flat).vertices[1], (ShapeVertex{0, 1, 0, 0}));
}

// ---- the tools on a canvas --------------------------------------------------------------------

struct ShapeCanvas {
  ShapeToolSettings drawSettings{false}, fillSettings{true};
  PolygonToolSettings polygonSettings;
  NormalBrush brush{Size{3, 3}};  // square dabs, a dab at every pixel
  Canvas canvas;

  // A white kWidth × kHeight layer at (offsetX, offsetY) over a transparent base.
  explicit ShapeCanvas(int32_t offsetX = 0, int32_t offsetY = 0) {
    canvas.InitWithLayer(MakeLayer({kWidth + offsetX, kHeight + offsetY}, 0));
    canvas.AppendLayer(MakeLayer({kWidth, kHeight}, kWhite, offsetX, offsetY), false);
    canvas.SetActiveLayer(1);
    brush.SetColours(MakeColourRef(0, 0, 0), MakeColourRef(255, 255, 255));
    auto use = [this] { return &brush; };
    for (const bool filled : {false, true}) {
      canvas.SetTool(filled ? kShapeFillToolSlot : kShapeDrawToolSlot,
                     std::make_unique<ShapeTool>(canvas, filled, filled ? fillSettings : drawSettings, use));
      canvas.SetTool(filled ? kEllipseFillToolSlot : kEllipseDrawToolSlot,
                     std::make_unique<EllipseTool>(canvas, filled, use));
      canvas.SetTool(filled ? kPolygonFillToolSlot : kPolygonDrawToolSlot,
                     std::make_unique<PolygonTool>(canvas, filled, polygonSettings, use));
    }
    for (int32_t slot = kShapeDrawToolSlot; slot <= kPolygonFillToolSlot; ++slot)
      canvas.Tool(slot)->SetColours(MakeColourRef(0, 0, 0), MakeColourRef(255, 255, 255));
  }
  void Use(int32_t slot) { canvas.SelectTool(slot); }
  // A drag in canvas pixels.
  void Drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t flags = 0) {
    canvas.DeliverEvent(kToolButtonDown, kToolLeftButton | flags, x0, y0, 0);
    canvas.DeliverEvent(kToolMove, kToolLeftButton | flags, (x0 + x1) / 2, (y0 + y1) / 2, 256);
    canvas.DeliverEvent(kToolButtonUp, flags, x1, y1, 0);
  }
  void Click(int32_t x, int32_t y) {
    canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, x, y, 0);
    canvas.DeliverEvent(kToolButtonUp, 0, x, y, 0);
  }
  void Key(int32_t key) { canvas.ActiveTool()->KeyMessage(kToolKeyDown, key, 1, 0); }
  // The active layer's rows: '#' black, '.' white, '+' anything else.
  std::vector<std::string> Picture() const {
    std::vector<std::string> rows(kHeight, std::string(kWidth, '+'));
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const uint32_t p = canvas.ActiveLayer()->Row(y)[x];
        if (p == kBlack || p == kWhite) rows[size_t(y)][size_t(x)] = p == kBlack ? '#' : '.';
      }
    return rows;
  }
};

// A white kWidth × kHeight picture with the pixels of each rectangle (inclusive) black.
std::vector<std::string> Expected(std::initializer_list<Rect> black) {
  std::vector<std::string> rows(kHeight, std::string(kWidth, '.'));
  for (const Rect& r : black)
    for (int32_t y = r.top; y <= r.bottom; ++y)
      for (int32_t x = r.left; x <= r.right; ++x) rows[size_t(y)][size_t(x)] = '#';
  return rows;
}

TEST(ShapeTools, AFilledRectangleCoversExactlyTheDraggedPixels) {
  struct Case {
    const char* name;
    bool antialias;
    uint32_t flags;
    int32_t x1, y1;
    Rect want;  // layer pixels
  };
  // The layer lies at (3, 2) on the canvas; the drag starts at canvas (8, 6), layer (5, 4).
  for (const Case& c : {Case{"aliased", false, 0, 15, 11, {5, 4, 12, 9}},
                        Case{"anti-aliased edges on pixel lines are whole", true, 0, 15, 11, {5, 4, 12, 9}},
                        Case{"dragged up and left", false, 0, 4, 3, {1, 1, 5, 4}},
                        Case{"Shift squares the box", false, kToolShift, 15, 8, {5, 4, 12, 11}}}) {
    ShapeCanvas f(3, 2);
    f.fillSettings.antialias = c.antialias;
    f.Use(kShapeFillToolSlot);
    f.Drag(8, 6, c.x1, c.y1, c.flags);
    EXPECT_EQ(f.Picture(), Expected({c.want})) << c.name;
    // The record keeps the place in canvas pixels.
    EXPECT_EQ(f.fillSettings.shape.left, c.want.left + 3) << c.name;
    EXPECT_EQ(f.fillSettings.shape.width, c.want.Width()) << c.name;
  }
}

TEST(ShapeTools, TheRubberBandShowsTheBoxAndEscGivesTheDragUp) {
  ShapeCanvas f;
  f.Use(kShapeFillToolSlot);
  f.canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 2, 3, 0);
  f.canvas.DeliverEvent(kToolMove, kToolLeftButton, 6, 5, 256);
  const std::vector<FeedbackPath> band = f.canvas.ActiveTool()->Feedback();
  ASSERT_EQ(band.size(), 1u);
  EXPECT_TRUE(band[0].closed);
  EXPECT_EQ(band[0].points, (std::vector<std::pair<double, double>>{{2, 3}, {7, 3}, {7, 6}, {2, 6}}));
  f.Key(kKeyEscape);
  EXPECT_TRUE(f.canvas.ActiveTool()->Feedback().empty());
  f.canvas.DeliverEvent(kToolButtonUp, 0, 6, 5, 0);
  EXPECT_EQ(f.Picture(), Expected({}));
  EXPECT_EQ(f.canvas.Undo(), -1);
}

TEST(ShapeTools, AFilledEllipseCoversItsAreaWithinOnePercent) {
  ShapeCanvas f;
  f.Use(kEllipseFillToolSlot);
  // Ctrl: from the centre (20, 15) out to a corner 14 × 9 pixels away: a box of 29 × 19 pixels.
  f.Drag(20, 15, 34, 24, kToolControl);
  double covered = 0;
  Rect painted{kWidth, kHeight, -1, -1};
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint32_t red = (f.canvas.ActiveLayer()->Row(y)[x] >> 16) & 0xFF;
      if (red == 255) continue;
      covered += (255 - red) / 255.0;
      painted = {std::min(painted.left, x), std::min(painted.top, y), std::max(painted.right, x),
                 std::max(painted.bottom, y)};
    }
  EXPECT_NEAR(covered, std::numbers::pi * 14.5 * 9.5, std::numbers::pi * 14.5 * 9.5 / 100);
  EXPECT_EQ(painted, (Rect{6, 6, 34, 24}));
}

TEST(ShapeTools, OutlinesStayWithinTheBrushOfTheirPath) {
  // The 3 × 3 brush reaches one pixel either side of the path through the outermost pixels.
  {
    ShapeCanvas f;
    f.Use(kShapeDrawToolSlot);
    f.Drag(5, 5, 25, 18);
    const std::vector<std::string> picture = f.Picture();
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const bool inBand = x >= 4 && x <= 26 && y >= 4 && y <= 19 && !(x >= 7 && x <= 23 && y >= 7 && y <= 16);
        const bool onPath = x >= 5 && x <= 25 && y >= 5 && y <= 18 && (x == 5 || x == 25 || y == 5 || y == 18);
        const char p = picture[size_t(y)][size_t(x)];
        EXPECT_TRUE(inBand || p == '.') << x << "," << y;
        EXPECT_TRUE(!onPath || p == '#') << x << "," << y;
      }
  }
  {
    ShapeCanvas f;
    f.Use(kEllipseDrawToolSlot);
    // Through the centres of pixels 4 … 34 and 5 … 25: centre (19, 15), radii 15 and 10.
    f.Drag(4, 5, 34, 25);
    const std::vector<std::string> picture = f.Picture();
    int32_t painted = 0;
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        if (picture[size_t(y)][size_t(x)] == '.') continue;
        ++painted;
        // A dab reaches √2 from its centre; the centres walk the chords between points of the
        // ellipse rounded to pixels, within a pixel of it.
        double nearest = 1e9;
        for (int32_t i = 0; i < 4000; ++i) {
          const double angle = 2 * std::numbers::pi * i / 4000;
          nearest = std::min(nearest, std::hypot(x - 19 - 15 * std::cos(angle), y - 15 - 10 * std::sin(angle)));
        }
        EXPECT_LE(nearest, 1 + std::numbers::sqrt2) << x << "," << y;
      }
    for (const auto& [x, y] : {std::pair{4, 15}, std::pair{34, 15}, std::pair{19, 5}, std::pair{19, 25}})
      EXPECT_EQ(picture[size_t(y)][size_t(x)], '#') << x << "," << y;
    EXPECT_GT(painted, 2 * 80);  // about the perimeter, three pixels wide
  }
}

// The concave L through the centres of its corner pixels: pixels whose centre is inside.
const std::vector<std::string> kL = Expected({{2, 2, 11, 4}, {2, 5, 4, 11}});

TEST(PolygonTool, ClosesEveryWayIntoTheSameConcaveShapeAsOneUndoStep) {
  struct Case {
    const char* name;
    void (*close)(ShapeCanvas&);
  };
  for (const Case& c : {
           Case{"a click near the first corner", [](ShapeCanvas& f) { f.Click(3, 4); }},
           Case{"a double-click on the last corner", [](ShapeCanvas& f) { f.Click(2, 12); }},
           Case{"Enter", [](ShapeCanvas& f) { f.Key(kKeyReturn); }},
           Case{"the right button",
                [](ShapeCanvas& f) { f.canvas.DeliverEvent(kToolRightButtonDown, kToolRightButton, 30, 20, 0); }},
           Case{"Backspace takes a stray corner back, then Enter",
                [](ShapeCanvas& f) {
                  f.Click(30, 25);
                  f.Key(kKeyBack);
                  f.Key(kKeyReturn);
                }},
       }) {
    ShapeCanvas f;
    f.polygonSettings.antialias = false;
    f.Use(kPolygonFillToolSlot);
    for (const auto& [x, y] : {std::pair{2, 2}, {12, 2}, {12, 5}, {5, 5}, {5, 12}, {2, 12}}) f.Click(x, y);
    EXPECT_EQ(f.Picture(), Expected({})) << c.name;
    c.close(f);
    EXPECT_EQ(f.Picture(), kL) << c.name;
    EXPECT_TRUE(f.canvas.ActiveTool()->Feedback().empty()) << c.name;
    ASSERT_EQ(f.canvas.Undo(), 0) << c.name;
    EXPECT_EQ(f.Picture(), Expected({})) << c.name;
    EXPECT_EQ(f.canvas.Undo(), -1) << c.name;
  }
}

TEST(PolygonTool, EscGivesUpAndTheLastPolygonStaysForSaving) {
  ShapeCanvas f;
  f.Use(kPolygonDrawToolSlot);
  auto& tool = dynamic_cast<PolygonTool&>(*f.canvas.ActiveTool());
  for (const auto& [x, y] : {std::pair{2, 2}, {12, 2}, {12, 12}}) f.Click(x, y);
  f.canvas.DeliverEvent(kToolMove, 0, 7, 20, 256);
  ASSERT_EQ(tool.Feedback().size(), 1u);
  EXPECT_EQ(tool.Feedback()[0].points.back(), (std::pair<double, double>{7.5, 20.5}));
  f.Key(kKeyReturn);
  const std::vector<PolygonTool::Corner> drawn = {{2, 2}, {12, 2}, {12, 12}};
  EXPECT_EQ(tool.CurrentOrLastPolygon(), drawn);
  // The brush laid the closed outline: the diagonal back to the first corner too.
  EXPECT_EQ(f.Picture()[7][7], '#');
  f.Click(20, 20);
  f.Click(30, 20);
  f.Key(kKeyEscape);
  f.Key(kKeyReturn);
  EXPECT_EQ(f.Picture()[20][25], '.');
  EXPECT_EQ(tool.CurrentOrLastPolygon(), drawn);
  ASSERT_EQ(f.canvas.Undo(), 0);
  EXPECT_EQ(f.Picture(), Expected({}));
}

TEST(ShapeTools, TheSelectionConfinesEveryShapeAndUndoRestoresIt) {
  struct Case {
    const char* name;
    int32_t slot;
  };
  for (const Case& c : {Case{"filled rectangle", kShapeFillToolSlot}, Case{"outline rectangle", kShapeDrawToolSlot},
                        Case{"filled ellipse", kEllipseFillToolSlot}, Case{"outline ellipse", kEllipseDrawToolSlot}}) {
    ShapeCanvas f;
    auto selection = std::make_unique<Region>();
    ASSERT_EQ(selection->Create({10, 0, 19, kHeight - 1}, 255), 0);
    f.canvas.SetSelection(std::move(selection));
    f.Use(c.slot);
    f.Drag(2, 4, 30, 20);
    const std::vector<std::string> picture = f.Picture();
    bool inside = false;
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const bool selected = x >= 10 && x <= 19;
        EXPECT_TRUE(selected || picture[size_t(y)][size_t(x)] == '.') << c.name << " " << x << "," << y;
        inside = inside || (selected && picture[size_t(y)][size_t(x)] != '.');
      }
    EXPECT_TRUE(inside) << c.name;
    ASSERT_EQ(f.canvas.Undo(), 0) << c.name;
    EXPECT_EQ(f.Picture(), Expected({})) << c.name;
  }
}

// ---- tool states ------------------------------------------------------------------------------

// Writes from's record and lets to read it.
void RoundTrip(ToolStateObject& from, ToolStateObject& to) {
  MemoryToolStateStream stream;
  ASSERT_EQ(WriteToolState(stream, from), 0);
  ASSERT_TRUE(stream.Seek(0));
  ASSERT_EQ(ReadToolState(stream, to, false), 0);
}

TEST(ShapeToolSettings, TheToolStateKeepsTheShapeItsPlaceAndTheFlagsUnderTheToolsOwnKey) {
  ShapeToolSettings written(true);
  written.shape = {4, 5, 60, 70, 0, 35, 12.5, {{0.5, 0, 0.25, 0}, {1, 1, 0, 0}, {0, 1, 1, 0}}, true};
  written.shapeFile = "star.ptv";
  written.antialias = false;
  written.roundCorners = true;
  ShapeToolState writer(written);
  ShapeToolSettings read(true), outline(false);
  ShapeToolState reader(read), outlineReader(outline);
  RoundTrip(writer, reader);
  EXPECT_EQ(std::tuple(read.shape, read.shapeFile, read.antialias, read.roundCorners),
            std::tuple(written.shape, std::string("star.ptv"), false, true));
  // The outline tool reads "Shape.Draw": the filled tool's shape is not taken.
  RoundTrip(writer, outlineReader);
  EXPECT_EQ(outline.shape.vertices, RectangleVertices());
  EXPECT_FALSE(outline.shape.hasShape);

  PolygonToolSettings polygon, polygonRead;
  polygon.antialias = false;
  PolygonToolState polygonWriter(polygon, true), polygonReader(polygonRead, true);
  RoundTrip(polygonWriter, polygonReader);
  EXPECT_FALSE(polygonRead.antialias);
}

}  // namespace
}  // namespace varnel
