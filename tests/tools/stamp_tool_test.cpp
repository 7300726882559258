// The stamp tool: taking a rectangle, the selection or a picture file; laying the stamp at a
// click (copied or blended, with opacity, scaled, at its own place) inside the selection as one
// undo step; the outline while dragging; the tool state.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "core/canvas.h"
#include "core/region.h"
#include "core/region_clipped_image.h"
#include "document/bitmap_file.h"
#include "tests/brush/brush_test_support.h"
#include "tests/support/temp_folder.h"
#include "tools/stamp_tool.h"

namespace varnel {
namespace {

using brush_test::MakeLayer;
using brush_test::Rgb;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr int32_t kWidth = 12, kHeight = 9;
constexpr int32_t kOffsetX = 2, kOffsetY = 1;

// Every pixel of the picture different: red is the column, green the row.
uint32_t Original(int32_t x, int32_t y) { return Rgb(static_cast<uint32_t>(x * 20), static_cast<uint32_t>(y * 25), 7); }

// A 12 × 9 picture layer at (2, 1) over a 16 × 12 white base, with the stamp tool selected.
struct StampCanvas {
  StampSettings settings;
  StampStore store;
  Canvas canvas;
  Layer* layer = nullptr;

  StampCanvas() {
    canvas.InitWithLayer(MakeLayer({16, 12}, kWhite));
    auto picture = MakeLayer({kWidth, kHeight}, 0, kOffsetX, kOffsetY);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) picture->Row(y)[x] = Original(x, y);
    picture->DiscardBackups();
    layer = picture.get();
    canvas.AppendLayer(std::move(picture), false);
    canvas.SetActiveLayer(1);
    canvas.ComposeAll();
    canvas.SetTool(kStampToolSlot, std::make_unique<StampTool>(canvas, settings, store));
    canvas.SelectTool(kStampToolSlot);
  }
  // A drag in layer coordinates.
  bool Drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, x0 + kOffsetX, y0 + kOffsetY, 0);
    canvas.DeliverEvent(kToolMove, kToolLeftButton, x1 + kOffsetX, y1 + kOffsetY, 256);
    return canvas.DeliverEvent(kToolButtonUp, 0, x1 + kOffsetX, y1 + kOffsetY, 0);
  }
  bool Take(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    store.taking = true;
    return Drag(x0, y0, x1, y1);
  }
  bool Click(int32_t x, int32_t y) { return Drag(x, y, x, y); }
  uint32_t At(int32_t x, int32_t y) const { return layer->Row(y)[x]; }
  // The picture with the pixels of rect replaced by rule(x, y).
  template <class Rule>
  std::vector<uint32_t> Expected(const Rect& rect, Rule rule) const {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x)
        pixels.push_back(x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom ? rule(x, y)
                                                                                              : Original(x, y));
    return pixels;
  }
  std::vector<uint32_t> Pixels() const { return brush_test::Pixels(*layer); }
};

TEST(StampTool, TakesTheDraggedRectangleAndLaysItCentredOnTheClick) {
  for (const bool copy : {false, true}) {
    StampCanvas s;
    s.settings = {copy ? 1 : 0, copy, false, 100, 100};  // copying pays no heed to "乗算"
    // Dragged from the lower right to the upper left: the same 3 × 2 rectangle.
    ASSERT_TRUE(s.Take(3, 2, 1, 1));
    EXPECT_FALSE(s.store.taking);
    EXPECT_EQ(std::tuple(s.store.stamp.size, s.store.stamp.originX, s.store.stamp.originY),
              std::tuple(Size{3, 2}, 1 + kOffsetX, 1 + kOffsetY));
    EXPECT_EQ(s.Pixels(), s.Expected({}, Original));
    // Centred on (8, 6): the top-left at (8 − 1, 6 − 1). 合成 lays an opaque stamp exactly.
    ASSERT_TRUE(s.Click(8, 6));
    EXPECT_EQ(s.Pixels(), s.Expected({7, 5, 9, 6}, [](int32_t x, int32_t y) { return Original(x - 6, y - 4); }))
        << copy;
  }
}

TEST(StampTool, CopyReplacesAlphaTooBlendingLaysByAlphaAndOpacity) {
  struct Case {
    const char* name;
    bool copy;
    int32_t opacity;
    uint32_t stamp, want;  // over Original(5, 5) = (100, 125, 7)
  };
  // Blend at coverage 128: a = 128, w = 255 × 129 / 255 = 129, so 100 + (−100 × 129 >> 8) = 49,
  // 125 + (−125 × 129 >> 8) = 62, 7 + (−7 × 129 >> 8) = 3. Opaque at 50 %: weight 128 (copy:
  // (50 × 255 + 50) / 100 = 128), a = 127, w = 128: 100 − 50 = 50, 125 − 63 = 62, 7 − 4 = 3.
  const Case cases[] = {
      {"copy takes a transparent pixel", true, 100, Rgb(10, 20, 30, 0), Rgb(10, 20, 30, 0)},
      {"blend leaves it", false, 100, Rgb(10, 20, 30, 0), Original(5, 5)},
      {"blend by half alpha", false, 100, Rgb(0, 0, 0, 128), Rgb(49, 62, 3)},
      {"blend at 50 %", false, 50, Rgb(0, 0, 0), Rgb(50, 62, 3)},
      {"copy at 50 %", true, 50, Rgb(0, 0, 0), Rgb(50, 62, 3)},
      {"0 % lays nothing", true, 0, Rgb(0, 0, 0), Original(5, 5)},
  };
  for (const Case& c : cases) {
    StampCanvas s;
    s.settings = {0, c.copy, false, 100, c.opacity};
    s.store.stamp = {{1, 1}, {c.stamp}, 0, 0};
    EXPECT_EQ(s.Click(5, 5), c.opacity != 0) << c.name;
    EXPECT_EQ(s.At(5, 5), c.want) << c.name;
  }
}

TEST(StampTool, ScaleSamplesTheStampPixelUnderEachCentre) {
  const std::vector<uint32_t> stamp = {Rgb(1, 0, 0), Rgb(2, 0, 0), Rgb(3, 0, 0), Rgb(4, 0, 0),
                                       Rgb(5, 0, 0), Rgb(6, 0, 0), Rgb(7, 0, 0), Rgb(8, 0, 0)};
  struct Case {
    int32_t scale;
    Rect place;  // for a click at (6, 4)
    std::vector<uint32_t> want;
  };
  const Case cases[] = {
      {200, {2, 2, 9, 5},
       {1, 1, 2, 2, 3, 3, 4, 4, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 5, 5, 6, 6, 7, 7, 8, 8}},
      // Centres at 0.5 and 1.5 of 2 fall on columns 1 and 3, the centre of 1 row on row 1.
      {50, {5, 4, 6, 4}, {6, 8}},
  };
  for (const Case& c : cases) {
    StampCanvas s;
    s.settings.scale = c.scale;
    s.store.stamp = {{4, 2}, stamp, 0, 0};
    ASSERT_TRUE(s.Click(6, 4));
    size_t i = 0;
    EXPECT_EQ(s.Pixels(), s.Expected(c.place, [&](int32_t, int32_t) { return Rgb(c.want[i++], 0, 0); })) << c.scale;
  }
}

TEST(StampTool, FixedPositionPaintsTheStampBackWhereItCameFrom) {
  StampCanvas s;
  s.settings.fixedPosition = true;
  ASSERT_TRUE(s.Take(2, 3, 5, 4));
  for (int32_t y = 3; y <= 4; ++y) std::fill_n(s.layer->Row(y) + 2, 4, kWhite);
  ASSERT_TRUE(s.Click(10, 8));
  EXPECT_EQ(s.Pixels(), s.Expected({}, Original));
  // The same place on the canvas once the layer has moved one pixel right.
  EXPECT_EQ(StampPlacement(s.store.stamp, s.settings, 0, 0, kOffsetX + 1, kOffsetY), (Rect{1, 3, 4, 4}));
}

TEST(StampTool, TheSelectionGivesTheStampItsAlphaAndConfinesThePlacing) {
  StampCanvas s;
  auto selection = std::make_unique<Region>();
  // Canvas (4, 3)…(6, 4) is layer (2, 2)…(4, 3); its last column at 100.
  ASSERT_EQ(selection->Create({4, 3, 6, 4}, 255), 0);
  for (int32_t y : {3, 4}) selection->FillSpan(6, y, 7, 100);
  s.canvas.SetSelection(std::move(selection));
  const uint32_t seeThrough = (Original(4, 3) & 0xFFFFFFu) | 130u << 24;
  s.layer->Row(3)[4] = seeThrough;
  ASSERT_TRUE(TakeStampFromCanvasSelection(s.canvas, s.store.stamp));
  EXPECT_EQ((std::pair{s.store.stamp.originX, s.store.stamp.originY}), (std::pair{4, 3}));
  // (255 × 100 + 127) / 255 = 100 and (130 × 100 + 127) / 255 = 51.
  const auto faded = [](uint32_t p, uint32_t alpha) { return (p & 0xFFFFFFu) | alpha << 24; };
  EXPECT_EQ(s.store.stamp.pixels, (std::vector{Original(2, 2), Original(3, 2), faded(Original(4, 2), 100),
                                              Original(2, 3), Original(3, 3), faded(seeThrough, 51)}));
  // Copied to (3, 2)…(5, 3): column 3 is selected, column 4 at 100, column 5 not at all.
  s.settings.copy = true;
  ASSERT_TRUE(s.Click(4, 3));
  EXPECT_EQ(s.Pixels(), s.Expected({3, 2, 4, 3}, [&](int32_t x, int32_t y) {
    const uint32_t under = y == 3 ? seeThrough : Original(4, y);
    return x == 3 ? Original(2, y) : RegionClippedImage::BlendCovered(under, Original(3, y), 100);
  }));
  s.canvas.ClearSelection();
  EXPECT_FALSE(TakeStampFromCanvasSelection(s.canvas, s.store.stamp));
  EXPECT_EQ(s.store.stamp.size, (Size{3, 2}));
}

TEST(StampTool, TakesAPictureFileFlattened) {
  test::TempFolder folder;
  auto picture = MakeLayer({3, 2}, 0);
  for (int32_t i = 0; i < 6; ++i) picture->Row(i / 3)[i % 3] = Rgb(static_cast<uint32_t>(40 * i), 9, 200);
  ASSERT_EQ(WriteBitmap24(folder / "stamp.bmp", *picture), 0);
  Stamp stamp;
  ASSERT_EQ(TakeStampFromFile(folder / "stamp.bmp", stamp), 0);
  EXPECT_EQ(stamp.pixels, brush_test::Pixels(*picture));
  EXPECT_EQ(std::tuple(stamp.size, stamp.originX, stamp.originY), std::tuple(Size{3, 2}, 0, 0));
  EXPECT_EQ(TakeStampFromFile(folder / "missing.bmp", stamp), -1);
  EXPECT_EQ(stamp.size, (Size{3, 2}));
}

TEST(StampTool, EachPlacementIsOneUndoStepAndNothingWithoutAStamp) {
  StampCanvas s;
  EXPECT_FALSE(s.Click(4, 4));
  ASSERT_TRUE(s.Take(0, 0, 1, 1));
  ASSERT_TRUE(s.Click(6, 6));
  ASSERT_TRUE(s.Click(9, 3));
  EXPECT_EQ(s.canvas.Undo(), 0);
  EXPECT_EQ(s.Pixels(), s.Expected({5, 5, 6, 6}, [](int32_t x, int32_t y) { return Original(x - 5, y - 5); }));
  uint32_t shown = 0;
  s.canvas.Composite().GetPixel(9 + kOffsetX, 3 + kOffsetY, &shown);
  EXPECT_EQ(shown, Original(9, 3));
  EXPECT_EQ(s.canvas.Undo(), 0);
  EXPECT_EQ(s.Pixels(), s.Expected({}, Original));
  EXPECT_EQ(s.canvas.Undo(), -1);
}

TEST(StampTool, ShowsTheOutlineUnderThePointerAndWhileDraggingAndEscGivesItUp) {
  StampCanvas s;
  s.store.stamp = {{3, 3}, std::vector<uint32_t>(9, kWhite), 0, 0};
  // Without a button the outline follows the pointer; not while a rectangle is to be taken.
  s.canvas.DeliverEvent(kToolMove, 0, 4, 4, 256);
  const std::vector<FeedbackPath> hover = s.canvas.ActiveTool()->Feedback();
  ASSERT_EQ(hover.size(), 1u);
  EXPECT_EQ(hover[0].points, (std::vector<std::pair<double, double>>{{3, 3}, {6, 3}, {6, 6}, {3, 6}}));
  EXPECT_TRUE(hover[0].hover);
  s.store.taking = true;
  s.canvas.DeliverEvent(kToolMove, 0, 5, 5, 256);
  EXPECT_TRUE(s.canvas.ActiveTool()->Feedback().empty());
  s.store.taking = false;
  s.canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 2, 2, 0);
  s.canvas.DeliverEvent(kToolMove, kToolLeftButton, 9, 8, 256);
  // Moved to canvas (9, 8) before the release: the outline around (8, 7)…(10, 9).
  const std::vector<FeedbackPath> band = s.canvas.ActiveTool()->Feedback();
  ASSERT_EQ(band.size(), 1u);
  EXPECT_EQ(band[0].points, (std::vector<std::pair<double, double>>{{8, 7}, {11, 7}, {11, 10}, {8, 10}}));
  EXPECT_FALSE(band[0].hover);
  EXPECT_TRUE(s.canvas.ActiveTool()->KeyMessage(kToolKeyDown, kKeyEscape, 1, 0));
  EXPECT_TRUE(s.canvas.ActiveTool()->Feedback().empty());
  EXPECT_FALSE(s.canvas.DeliverEvent(kToolButtonUp, 0, 9, 8, 0));
  EXPECT_EQ(s.Pixels(), s.Expected({}, Original));
}

TEST(StampSettings, AToolStateRoundTripsAndHoldsValuesToTheirRange) {
  struct Case {
    StampSettings written, want;
  };
  const Case cases[] = {
      {{13, true, true, 250, 40}, {13, true, true, 250, 40}},
      {{27, false, true, 900, 101}, {26, false, true, kStampScaleMaximum, 100}},
      {{-1, true, false, 3, -5}, {0, true, false, kStampScaleMinimum, 0}},
  };
  for (const Case& c : cases) {
    StampSettings written = c.written, read{5, false, false, 77, 77};
    StampToolState writer(written), reader(read);
    MemoryToolStateStream stream;
    ASSERT_EQ(WriteToolState(stream, writer), 0);
    ASSERT_TRUE(stream.Seek(0));
    ASSERT_EQ(ReadToolState(stream, reader, false), 0);
    EXPECT_EQ(std::tuple(read.mode, read.copy, read.fixedPosition, read.scale, read.opacity),
              std::tuple(c.want.mode, c.want.copy, c.want.fixedPosition, c.want.scale, c.want.opacity));
  }
}

}  // namespace
}  // namespace varnel
