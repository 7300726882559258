// The selection tool: regions from geometry, the selection's rotation and scaling, the modes
// applied to the canvas's selection with their undo steps, gestures driven through the canvas's
// events, moving pixels with the selection, and its tool state.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>

#include "core/canvas.h"
#include "core/undo.h"
#include "tools/region_shapes.h"
#include "tools/selection_tool.h"

namespace varnel {
namespace {

constexpr Size kCanvas{32, 24};

std::vector<std::vector<int>> Bytes(const Region& region, Rect area) {
  std::vector<std::vector<int>> rows;
  for (int32_t y = area.top; y <= area.bottom; ++y) {
    rows.emplace_back();
    for (int32_t x = area.left; x <= area.right; ++x) rows.back().push_back(region.At(x, y));
  }
  return rows;
}

TEST(RegionShapes, PolygonCoverageIsTheAreaOfEachPixel) {
  // A box from x 1.5 to 3.5 and y 1 to 3: the side columns are half covered.
  Region region;
  PolygonRegion({{1.5, 1}, {3.5, 1}, {3.5, 3}, {1.5, 3}}, kCanvas, region);
  EXPECT_EQ(region.Bounds(), (Rect{1, 1, 3, 2}));
  EXPECT_EQ(Bytes(region, {1, 1, 3, 2}), (std::vector<std::vector<int>>{{128, 255, 128}, {128, 255, 128}}));

  RectangleRegion(30, 20, 40, 40, kCanvas, region);  // clipped to the canvas
  EXPECT_EQ(region.Bounds(), (Rect{30, 20, 31, 23}));
  RectangleRegion(40, 40, 50, 50, kCanvas, region);
  EXPECT_TRUE(region.IsEmpty());

  EllipseRegion(2, 2, 12, 8, kCanvas, region);
  EXPECT_EQ(region.Bounds(), (Rect{2, 2, 12, 8}));
  EXPECT_EQ(region.At(7, 5), 255);
  EXPECT_EQ(region.At(2, 2), 0);
  EXPECT_EQ(region.At(12, 8), 0);
  for (int32_t x = 2; x <= 12; ++x) EXPECT_EQ(region.At(x, 3), region.At(14 - x, 7)) << x;  // symmetric
}

TEST(RegionShapes, RotationAndScaleSampleBilinearly) {
  Region bar;
  RectangleRegion(2, 3, 4, 3, kCanvas, bar);  // centre (3.5, 3.5)
  Region turned;
  RotateRegion(bar, std::numbers::pi / 2, 3.5, 3.5, kCanvas, turned);
  EXPECT_EQ(turned.Bounds(), (Rect{3, 2, 3, 4}));
  EXPECT_EQ(Bytes(turned, {3, 2, 3, 4}), (std::vector<std::vector<int>>{{255}, {255}, {255}}));

  // Twice the size about the block's corner: destination centre x + 0.5 samples source
  // x / 2 − 0.25, so the outer pixels take 3/4 of the block and the corners 3/4 × 3/4.
  Region block;
  RectangleRegion(0, 0, 1, 1, kCanvas, block);
  Region scaled;
  ScaleRegion(block, 2.0, 2.0, 0.0, 0.0, kCanvas, scaled);
  EXPECT_EQ(scaled.Bounds(), (Rect{0, 0, 3, 3}));
  const int edge = static_cast<int>(std::lround(255 * 0.75)), corner = static_cast<int>(std::lround(255 * 0.5625));
  EXPECT_EQ(Bytes(scaled, {0, 0, 3, 0}), (std::vector<std::vector<int>>{{corner, edge, edge, corner}}));
  EXPECT_EQ(scaled.At(1, 1), 255);
  ScaleRegion(block, 0.0, 1.0, 0.0, 0.0, kCanvas, scaled);
  EXPECT_TRUE(scaled.IsEmpty());
}

class SelectionToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartSpillWriter();
    auto layer = std::make_unique<Layer>();
    ASSERT_EQ(layer->Create(kCanvas), 0);
    for (int32_t y = 0; y < kCanvas.height; ++y) std::fill_n(layer->Row(y), kCanvas.width, 0xFFFFFFFFu);
    canvas.InitWithLayer(std::move(layer));
    canvas.SetTool(kSelectionToolSlot, std::make_unique<SelectionTool>(canvas, settings, [this] { return now; }));
    canvas.SelectTool(kSelectionToolSlot);
  }
  void TearDown() override { StopSpillWriter(); }

  void Drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t flags = 0) {
    canvas.DeliverEvent(kToolButtonDown, flags, x0, y0, 0);
    canvas.DeliverEvent(kToolMove, flags, (x0 + x1) / 2, (y0 + y1) / 2, 256);
    canvas.DeliverEvent(kToolMove, flags, x1, y1, 256);
    canvas.DeliverEvent(kToolButtonUp, flags, x1, y1, 0);
  }
  std::optional<Rect> Bounds() const {
    return canvas.Selection() ? std::optional<Rect>(canvas.Selection()->Bounds()) : std::nullopt;
  }

  Canvas canvas;
  SelectionToolSettings settings;
  int64_t now = 1000;
};

TEST_F(SelectionToolTest, ModesNewAddSubtractAreUndoSteps) {
  struct Step {
    int32_t mode;
    Rect drag;
    std::optional<Rect> bounds;
  };
  const Step steps[] = {
      {kSelectNew, {2, 2, 5, 5}, Rect{2, 2, 5, 5}},
      {kSelectNew, {10, 10, 12, 11}, Rect{10, 10, 12, 11}},
      {kSelectAdd, {2, 2, 3, 3}, Rect{2, 2, 12, 11}},
      {kSelectSubtract, {10, 10, 12, 11}, Rect{2, 2, 3, 3}},
      {kSelectSubtract, {0, 0, 31, 23}, std::nullopt},
  };
  std::vector<std::optional<Rect>> seen = {std::nullopt};
  for (const Step& step : steps) {
    settings.mode = step.mode;
    Drag(step.drag.left, step.drag.top, step.drag.right, step.drag.bottom);
    EXPECT_EQ(Bounds(), step.bounds) << "mode " << step.mode;
    seen.push_back(Bounds());
  }
  EXPECT_EQ(canvas.Selection(), nullptr);
  for (size_t back = seen.size() - 1; back > 0; --back) {
    ASSERT_EQ(canvas.Undo(), 0);
    EXPECT_EQ(Bounds(), seen[back - 1]) << back;
  }
}

TEST_F(SelectionToolTest, GesturesMakeTheirShapes) {
  // Shift keeps a square.
  Drag(4, 4, 10, 6, kToolShift);
  EXPECT_EQ(Bounds(), (Rect{4, 4, 10, 10}));

  // A polygon: three corners, then a click on the first closes it.
  settings.shape = kSelectPolygon;
  for (auto [x, y] : {std::pair{2, 2}, {20, 2}, {2, 20}, {2, 2}}) canvas.DeliverEvent(kToolButtonDown, 0, x, y, 0);
  ASSERT_NE(canvas.Selection(), nullptr);
  EXPECT_EQ(canvas.Selection()->At(4, 4), 255);
  EXPECT_EQ(canvas.Selection()->At(18, 18), 0);
  EXPECT_EQ(canvas.Selection()->At(3, 17), 255);

  // A free path follows the pointer and closes itself.
  settings.shape = kSelectFree;
  canvas.DeliverEvent(kToolButtonDown, 0, 5, 5, 0);
  for (auto [x, y] : {std::pair{15, 5}, {15, 15}, {5, 15}}) canvas.DeliverEvent(kToolMove, 0, x, y, 256);
  ASSERT_FALSE(canvas.ActiveTool()->Feedback().empty());
  canvas.DeliverEvent(kToolButtonUp, 0, 5, 15, 0);
  // The path runs through pixel centres: the pixels it passes are half inside.
  EXPECT_EQ(Bounds(), (Rect{5, 5, 15, 15}));
  EXPECT_EQ(canvas.Selection()->At(5, 10), 128);
  EXPECT_EQ(canvas.Selection()->At(10, 10), 255);
  EXPECT_TRUE(canvas.ActiveTool()->Feedback().empty());
}

TEST_F(SelectionToolTest, TransformModesActOnTheSelection) {
  Drag(4, 4, 7, 5);  // 4 × 2, centre (6, 5)
  settings.mode = kSelectMove;
  Drag(4, 4, 9, 8);
  EXPECT_EQ(Bounds(), (Rect{9, 8, 12, 9}));

  // About a quarter turn about the centre (11, 9): from the right of it to below it, so the
  // lying bar stands.
  settings.mode = kSelectRotate;
  Drag(14, 8, 10, 12);
  EXPECT_GT(Bounds()->Height(), Bounds()->Width());

  settings.mode = kSelectScale;
  MoveSelection(canvas, 0, 0, true);  // nothing to do
  const Rect before = *Bounds();
  Drag(before.right, before.bottom, before.right + 2, before.bottom + 2, kToolShift);
  EXPECT_GT(Bounds()->Width(), before.Width());
  EXPECT_GT(Bounds()->Height(), before.Height());
}

TEST_F(SelectionToolTest, MovingPixelsCarriesThemAndUndoRestoresBoth) {
  Layer& layer = *canvas.ActiveLayer();
  for (int32_t y = 2; y <= 3; ++y) std::fill_n(layer.Row(y) + 2, 2, 0xFFFF0000u);
  layer.DiscardBackups();
  Drag(2, 2, 3, 3);
  settings.mode = kSelectMove;
  for (int32_t operation : {kMoveCarryPixels, kMoveCopyPixels}) {
    settings.moveOperation = operation;
    Drag(2, 2, 12, 7);
    uint32_t moved = 0, source = 0;
    layer.GetPixel(13, 8, &moved);
    layer.GetPixel(3, 3, &source);
    EXPECT_EQ(moved, 0xFFFF0000u) << operation;
    EXPECT_EQ(source, operation == kMoveCarryPixels ? 0u : 0xFFFF0000u) << operation;
    EXPECT_EQ(Bounds(), (Rect{12, 7, 13, 8}));
    // The pixels and the selection step each go back.
    ASSERT_EQ(canvas.Undo(), 0);
    ASSERT_EQ(canvas.Undo(), 0);
    layer.GetPixel(13, 8, &moved);
    layer.GetPixel(3, 3, &source);
    EXPECT_EQ(moved, 0xFFFFFFFFu);
    EXPECT_EQ(source, 0xFFFF0000u);
    EXPECT_EQ(Bounds(), (Rect{2, 2, 3, 3}));
  }
}

TEST_F(SelectionToolTest, CommandsAndHistory) {
  Drag(2, 2, 5, 3);
  FlipSelection(canvas, false, true);
  EXPECT_EQ(Bounds(), (Rect{2, 2, 5, 3}));
  RotateSelection(canvas, 90, true);
  EXPECT_EQ(Bounds(), (Rect{3, 1, 4, 4}));
  MoveSelection(canvas, 40, 0, true);  // off the canvas: nothing left
  EXPECT_EQ(canvas.Selection(), nullptr);
  ASSERT_EQ(canvas.Undo(), 0);
  DropSelection(canvas, true);
  EXPECT_EQ(canvas.Selection(), nullptr);
  ASSERT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(Bounds(), (Rect{3, 1, 4, 4}));

  // Without "ヒストリ" the selection changes leave the history alone.
  settings.history = false;
  const size_t steps = canvas.ActiveLayer()->Undo().StepCount();
  Drag(8, 8, 9, 9);
  EXPECT_EQ(canvas.ActiveLayer()->Undo().StepCount(), steps);
}

TEST(SelectionToolState, RoundTripsThroughARecordAndClampsWhatItReads) {
  SelectionToolSettings written{kSelectRange, kSelectSubtract, false, kMoveCopyPixels, true, 2, 77};
  SelectionToolState out(written);
  MemoryToolStateStream stream;
  ASSERT_EQ(WriteToolState(stream, out), 0);
  SelectionToolSettings read;
  SelectionToolState in(read);
  MemoryToolStateStream back(stream.Bytes());
  ASSERT_EQ(ReadToolState(back, in, false), 0);
  EXPECT_EQ(read.shape, kSelectRange);
  EXPECT_EQ(read.mode, kSelectSubtract);
  EXPECT_FALSE(read.history);
  EXPECT_EQ(read.moveOperation, kMoveCopyPixels);
  EXPECT_TRUE(read.useSurface);
  EXPECT_EQ(read.component, 2);
  EXPECT_EQ(read.tolerance, 77);
}

}  // namespace
}  // namespace varnel
