// The layer move tool: a drag and the arrow keys move the active layer and what the canvas
// shows, each as one undo step; Escape, a mask image under edit, the selection and the limits.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/canvas.h"
#include "core/region.h"
#include "core/undo.h"
#include "tools/layer_move_tool.h"

namespace varnel {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u;
using Offset = std::pair<int32_t, int32_t>;

// A white 16 × 8 base and, active above it, a red 4 × 3 layer at (2, 2).
struct MoveCanvas {
  MoveCanvas() {
    StartSpillWriter();
    auto base = std::make_unique<Layer>(), top = std::make_unique<Layer>();
    EXPECT_EQ(base->Create({16, 8}), 0);
    EXPECT_EQ(top->CreateWithAlpha({4, 3}, 255), 0);
    for (int32_t y = 0; y < 3; ++y) std::fill_n(top->Row(y), 4, kRed);
    top->SetOffset(2, 2);
    canvas.InitWithLayer(std::move(base));
    canvas.AppendLayer(std::move(top), false);
    canvas.SetActiveLayer(1);
    canvas.ComposeAll();
    canvas.SetTool(kLayerMoveToolSlot, std::make_unique<LayerMoveTool>(canvas));
    canvas.SelectTool(kLayerMoveToolSlot);
  }
  ~MoveCanvas() { StopSpillWriter(); }

  Layer& Top() { return *canvas.GetLayer(1); }
  Offset Place() { return {Top().OffsetX(), Top().OffsetY()}; }
  bool Key(int32_t key, uint32_t flags = 0) { return canvas.ActiveTool()->KeyMessage(kToolKeyDown, key, 1, flags); }
  // Whether the composite is red exactly on the 4 × 3 pixels from (x, y) and white elsewhere.
  bool ShowsRedAt(Offset at) const {
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        uint32_t pixel = 0;
        canvas.Composite().GetPixel(x, y, &pixel);
        const bool red = x >= at.first && x < at.first + 4 && y >= at.second && y < at.second + 3;
        if (pixel != (red ? kRed : 0xFFFFFFFFu)) return false;
      }
    return true;
  }

  Canvas canvas;
};

TEST(LayerMoveTool, TheLayerFollowsTheDragAndTheDragIsOneUndoStep) {
  MoveCanvas f;
  f.canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 3, 3, 0);
  f.canvas.DeliverEvent(kToolMove, kToolLeftButton, 5, 4, 0);
  EXPECT_TRUE(f.ShowsRedAt({4, 3}));
  f.canvas.DeliverEvent(kToolMove, kToolLeftButton, 8, 6, 0);
  f.canvas.DeliverEvent(kToolButtonUp, 0, 9, 6, 0);
  EXPECT_EQ(f.Place(), (Offset{8, 5}));
  EXPECT_TRUE(f.ShowsRedAt({8, 5}));
  EXPECT_EQ(f.Top().Undo().StepCount(), 1u);
  ASSERT_EQ(f.canvas.Undo(), 0);
  EXPECT_TRUE(f.ShowsRedAt({2, 2}));
  ASSERT_EQ(f.canvas.Redo(), 0);
  EXPECT_TRUE(f.ShowsRedAt({8, 5}));
}

TEST(LayerMoveTool, EachArrowKeyMovesByOneOrWithShiftByTenAsOneUndoStep) {
  struct Case {
    int32_t key;
    uint32_t flags;
    Offset want;
  };
  for (const Case& c : {Case{kKeyLeft, 0, {1, 2}}, Case{kKeyRight, 0, {3, 2}}, Case{kKeyUp, 0, {2, 1}},
                        Case{kKeyDown, 0, {2, 3}}, Case{kKeyRight, kToolShift, {12, 2}},
                        Case{kKeyUp, kToolShift, {2, -8}}}) {
    MoveCanvas f;
    EXPECT_TRUE(f.Key(c.key, c.flags));
    EXPECT_TRUE(f.ShowsRedAt(c.want)) << c.key << " " << c.flags;
    ASSERT_EQ(f.canvas.Undo(), 0);
    EXPECT_TRUE(f.ShowsRedAt({2, 2})) << c.key << " " << c.flags;
  }
}

TEST(LayerMoveTool, EscapeAMaskImageUnderEditAndTheLimitsKeepTheLayerInPlace) {
  MoveCanvas f;
  f.canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 3, 3, 0);
  f.canvas.DeliverEvent(kToolMove, kToolLeftButton, 10, 3, 0);
  EXPECT_TRUE(f.Key(kKeyEscape));
  f.canvas.DeliverEvent(kToolButtonUp, 0, 12, 3, 0);
  EXPECT_TRUE(f.ShowsRedAt({2, 2}));
  EXPECT_EQ(f.Top().Undo().StepCount(), 0u);

  EXPECT_TRUE(MoveActiveLayerTo(f.canvas, INT32_MAX, INT32_MIN));
  EXPECT_EQ(f.Place(), (Offset{kLayerOffsetLimit, -kLayerOffsetLimit}));
  EXPECT_FALSE(MoveActiveLayerTo(f.canvas, INT32_MAX, INT32_MIN));

  auto mask = std::make_unique<ImageSurface>();
  ASSERT_EQ(mask->CreateWithAlpha({16, 8}, 255), 0);
  f.canvas.EditMaskImage(std::move(mask));
  EXPECT_FALSE(f.canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 3, 3, 0));
  EXPECT_FALSE(f.Key(kKeyRight));
  EXPECT_EQ(f.Place(), (Offset{kLayerOffsetLimit, -kLayerOffsetLimit}));
}

TEST(LayerMoveTool, TheSelectionStaysOnTheCanvasWhileTheLayerMovesUnderIt) {
  MoveCanvas f;
  auto selection = std::make_unique<Region>();
  ASSERT_EQ(selection->Create({8, 0, 15, 7}, 255), 0);
  f.canvas.SetSelection(std::move(selection));
  ASSERT_TRUE(MoveActiveLayerTo(f.canvas, 7, 5));
  // Blue over the whole layer through the selection: only columns 1…3 (canvas 8…10) take it.
  const std::vector<uint32_t> blue(12, 0xFF0000FFu);
  f.canvas.DrawingTarget()->SetRect({0, 0, 3, 2}, blue.data());
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(f.Top().Row(1)[x], x == 0 ? kRed : blue[0]) << x;
}

}  // namespace
}  // namespace varnel
