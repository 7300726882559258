// The gradient tool: positions along the line, the colours of "線形" and of a pattern, solid and
// brush drawing, the selection, the row stepping (two threads too) against the per-pixel
// reference, the drag with Shift and Esc, the undo step and the tool state.

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

#include "core/canvas.h"
#include "core/region_clipped_image.h"
#include "tests/brush/brush_test_support.h"
#include "tests/tools/paint_paths_support.h"
#include "tools/gradient_tool.h"

namespace varnel {
namespace {

using brush_test::MakeLayer;
using brush_test::Rgb;

constexpr uint32_t kWhite = 0xFFFFFFFFu;

// "線形" from f to b at position p, each channel f + floor(((b − f) p + 32768) / 65536).
uint32_t LinearAt(uint32_t f, uint32_t b, int64_t p) {
  uint32_t pixel = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int64_t from = (f >> shift) & 0xFF, sum = (((b >> shift) & 0xFF) - from) * p + 32768;
    pixel |= static_cast<uint32_t>(from + (sum >= 0 ? sum / 65536 : -((-sum + 65535) / 65536))) << shift;
  }
  return pixel;
}

TEST(GradientPosition, ProjectsThePixelOntoTheLineAndHoldsItToTheEnds) {
  struct Case {
    const char* name;
    GradientLine line;
    int32_t x, y, want;
  };
  const Case cases[] = {
      {"the start pixel", {0, 0, 3, 4}, 0, 0, 0},
      {"between: 7 × 65536 / 25 rounded down", {0, 0, 3, 4}, 1, 1, 18350},
      {"beside the line, projected onto the start", {0, 0, 3, 4}, 4, -3, 0},
      {"past the end", {0, 0, 3, 4}, 6, 8, 65536},
      {"a reversed line counts from its own start", {8, 1, 2, 1}, 5, 7, 32768},
      {"int32 extremes stay exact", {INT32_MIN, 0, INT32_MAX, 0}, 0, 0, 32768},
      {"a line without length", {5, 5, 5, 5}, 5, 5, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(GradientPosition(c.line, c.x, c.y), c.want) << c.name;
}

TEST(GradientTable, InterpolatesEachChannelRoundingHalvesUp) {
  const uint32_t a = Rgb(0, 0, 0), b = Rgb(201, 101, 51), c = Rgb(255, 0, 0, 0), d = Rgb(10, 20, 30, 40);
  // Unsorted; b and c share 5000, a hard edge where the later one (c) wins; 12000 is held to
  // 10000 and the first stop lies past 0.
  const GradientPattern stops = {{12000, d}, {2500, a}, {5000, b}, {5000, c}};
  const std::vector<uint32_t> table = GradientTable(stops);
  ASSERT_EQ(table.size(), 65537u);
  struct Case {
    const char* name;
    int32_t p;
    uint32_t want;
  };
  const Case cases[] = {
      {"before the first stop, its colour", 3000, a},
      // 0.375 is half way from a to b: 100.5, 50.5 and 25.5 go up.
      {"half way rounds up", 24576, Rgb(101, 51, 26)},
      {"at the shared position the later stop", 32768, c},
      // From c to d at 3/4: 255 − 245 × 0.5 = 132.5, then 10, 15 and 20.
      {"a falling channel's half goes up too", 49152, Rgb(133, 10, 15, 20)},
      {"the last stop", 65536, d},
  };
  for (const Case& k : cases) EXPECT_EQ(table[static_cast<size_t>(k.p)], k.want) << k.name;
  EXPECT_EQ(GradientTable({})[100], 0u);
}

TEST(GradientRowPositions, StepMatchesThePerPixelReference) {
  std::vector<GradientLine> lines = {
      {5, 3, 30, 3}, {30, 3, 5, 3}, {4, 0, 4, 20}, {36, 0, 0, 22}, {10, 10, 11, 11}, {-40, 7, 90, -3},
      // So long that the remainder needs more than 64 bits (the first one's carries out of them).
      {487754053, -1740227702, 347446704, 1968385692}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
      {INT32_MAX, 3, -2000000000, INT32_MIN}, {2, 2, 2, 2}};
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> near(-60, 100), far(INT32_MIN, INT32_MAX);
  for (int i = 0; i < 200; ++i) {
    std::uniform_int_distribution<int32_t>& d = i % 2 == 0 ? near : far;
    lines.push_back({d(random), d(random), d(random), d(random)});
  }
  std::vector<int32_t> positions(37);
  for (const GradientLine& line : lines)
    for (int32_t y = -2; y < 23; ++y) {
      GradientRowPositions(line, -3, y, 37, positions.data());
      for (int32_t i = 0; i < 37; ++i)
        ASSERT_EQ(positions[static_cast<size_t>(i)], GradientPosition(line, i - 3, y))
            << "seed " << seed << " at " << i - 3 << "," << y << " line " << line.x0 << "," << line.y0 << " "
            << line.x1 << "," << line.y1;
    }
}

TEST(PaintGradient, EveryPixelTakesTheColourOfItsPositionOnOneThreadOrTwo) {
  const GradientPattern stops = {{0, Rgb(0, 0, 0)}, {3000, Rgb(255, 10, 0)}, {7000, Rgb(3, 250, 40)}, {10000, kWhite}};
  const std::vector<uint32_t> table = GradientTable(stops);
  struct Case {
    Size size;  // 640 × 480 takes two threads
    GradientLine line;
  };
  // Across, at 45° and at other multiples rows are copies of the row above moved along.
  const Case cases[] = {{{37, 23}, {36, 0, 0, 22}},   {{37, 23}, {3, 2, 9, 14}},     {{37, 23}, {30, 1, 24, 7}},
                        {{37, 23}, {2, 0, 3, 20}},    {{640, 480}, {30, 500, 610, 20}}, {{640, 480}, {0, 7, 639, 7}},
                        {{640, 480}, {9, 9, 400, 400}}, {{640, 480}, {600, 10, 580, 330}}};
  for (const Case& c : cases) {
    auto target = MakeLayer(c.size, kWhite);
    const Rect all{0, 0, c.size.width - 1, c.size.height - 1};
    EXPECT_EQ(PaintGradient(*target, all, {c.line, stops, kGradientDrawSolid, 256}), all);
    for (int32_t y = 0; y < c.size.height; ++y)
      for (int32_t x = 0; x < c.size.width; ++x)
        ASSERT_EQ(target->Row(y)[x], table[static_cast<size_t>(GradientPosition(c.line, x, y))] | 0xFF000000u)
            << c.size.width << " at " << x << "," << y;
  }
  auto target = MakeLayer({4, 4}, kWhite);
  EXPECT_TRUE(PaintGradient(*target, {0, 0, 3, 3}, {{2, 2, 2, 2}, stops, kGradientDrawSolid, 256}).IsEmpty());
  EXPECT_FALSE(target->IsModified());
}

TEST(PaintGradient, PaintsALayerInPlaceAsThroughASelectionCoveringIt) {
  // Half-transparent stops, so the brush drawing blends with the old pixels. The area starts
  // and ends inside tiles; 640 × 480 takes two threads.
  const GradientPattern stops = {{0, 0x40FF2000u}, {6000, 0xFF00FF80u}, {10000, 0x9010A0F0u}};
  struct Case {
    GradientLine line;
    int32_t drawing;
    Rect area;
  };
  const Case cases[] = {{{0, 0, 639, 0}, kGradientDrawSolid, {5, 7, 630, 470}},
                        {{0, 0, 400, 400}, kGradientDrawSolid, {0, 0, 639, 479}},
                        {{10, 20, 600, 330}, kGradientDrawSolid, {5, 7, 630, 470}},
                        {{10, 20, 600, 330}, kGradientDrawBrush, {5, 7, 630, 470}},
                        {{0, 0, 400, 400}, kGradientDrawBrush, {33, 3, 70, 20}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.line.x1 << "," << c.line.y1 << " drawing " << c.drawing);
    paint_paths::TwoPaths paths({640, 480});
    const GradientPaint paint{c.line, stops, c.drawing, 180};
    EXPECT_EQ(PaintGradient(paths.plain, c.area, paint), c.area);
    EXPECT_EQ(PaintGradient(paths.facade, c.area, paint), c.area);
    paths.ExpectSame();
    for (int32_t y = c.area.top; y <= c.area.bottom; y += 31)
      ASSERT_NE(paths.plain.Row(y)[c.area.left], paint_paths::Old(c.area.left, y)) << y;
  }
}

// An 11 × 3 white layer at (3, 2) on a 16 × 8 white base, with the gradient tool selected and
// pattern 2 of its source the one in pattern.
struct GradientCanvas {
  static constexpr int32_t kOffsetX = 3, kOffsetY = 2;
  GradientSettings settings;
  NormalBrush brush{Size{2, 2}};
  GradientPattern pattern;
  Canvas canvas;
  Layer* layer = nullptr;

  GradientCanvas() {
    canvas.InitWithLayer(MakeLayer({16, 8}, kWhite));
    auto picture = MakeLayer({11, 3}, kWhite, kOffsetX, kOffsetY);
    layer = picture.get();
    canvas.AppendLayer(std::move(picture), false);
    canvas.SetActiveLayer(1);
    canvas.ComposeAll();
    auto patterns = [this](int32_t index) { return index == 2 ? std::optional(pattern) : std::nullopt; };
    canvas.SetTool(kGradientToolSlot,
                   std::make_unique<GradientTool>(canvas, settings, [this] { return &brush; }, patterns));
    canvas.SelectTool(kGradientToolSlot);
    canvas.ActiveTool()->SetColours(MakeColourRef(10, 200, 30), MakeColourRef(250, 0, 130));
  }
  // A drag in layer coordinates.
  bool Drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t flags = 0) {
    canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, x0 + kOffsetX, y0 + kOffsetY, 0);
    canvas.DeliverEvent(kToolMove, kToolLeftButton | flags, x1 + kOffsetX, y1 + kOffsetY, 256);
    return canvas.DeliverEvent(kToolButtonUp, flags, x1 + kOffsetX, y1 + kOffsetY, 0);
  }
  uint32_t At(int32_t x, int32_t y) const { return layer->Row(y)[x]; }
};

const uint32_t kForeground = Rgb(10, 200, 30), kBackground = Rgb(250, 0, 130);

TEST(GradientTool, LinearRunsFromTheForegroundToTheBackgroundAlongTheDrag) {
  GradientCanvas g;
  ASSERT_TRUE(g.Drag(2, 1, 8, 1));
  struct Case {
    const char* name;
    int32_t x;
    uint32_t want;
  };
  // Along = 6 (x − 2) of a length 36.
  const Case cases[] = {
      {"before the start, the foreground", 0, kForeground},
      {"the start pixel", 2, kForeground},
      {"one pixel on: 10922", 3, LinearAt(kForeground, kBackground, 10922)},
      {"the middle: 32768", 5, Rgb(130, 100, 80)},
      {"the end pixel", 8, kBackground},
      {"past the end, the background", 10, kBackground},
  };
  for (const Case& c : cases)
    for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(g.At(c.x, y), c.want) << c.name << ", row " << y;
  uint32_t shown = 0;
  g.canvas.Composite().GetPixel(GradientCanvas::kOffsetX + 5, GradientCanvas::kOffsetY, &shown);
  EXPECT_EQ(shown, Rgb(130, 100, 80));
}

TEST(GradientTool, StaysInsideTheSelectionBlendingItsSoftEdge) {
  GradientCanvas g;
  auto selection = std::make_unique<Region>();
  // Canvas columns 5…7 (layer 2…4), the last one half covered.
  ASSERT_EQ(selection->Create({5, 0, 7, 7}, 255), 0);
  for (int32_t y = 0; y < 8; ++y) selection->FillSpan(7, y, 8, 128);
  g.canvas.SetSelection(std::move(selection));
  ASSERT_TRUE(g.Drag(0, 0, 10, 0));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 11; ++x) {
      const uint32_t paint = LinearAt(kForeground, kBackground, x * 65536 / 10);
      const uint32_t want =
          x == 2 || x == 3 ? paint : x == 4 ? RegionClippedImage::BlendCovered(kWhite, paint, 128) : kWhite;
      EXPECT_EQ(g.At(x, y), want) << x << "," << y;
    }
}

TEST(GradientTool, APatternsColoursSolidOrOverThePixelsByItsAlphaAndTheBrushOpacity) {
  const uint32_t clear = Rgb(0, 0, 255, 0), red = Rgb(255, 0, 0), green = Rgb(0, 255, 0);
  struct Case {
    const char* name;
    int32_t drawing, opacity;
    uint32_t start, quarter, middle, end;  // x = 0, 2 (16384), 4 (32768), 10
  };
  // The quarter is half way from clear to red: (128, 0, 128) at alpha 128 (halves up). Over
  // white at base opacity 128 the quarter has a = 128 × 128 / 256 = 64, w = 255 × 65 / 255 = 65:
  // 255 + ((128 − 255) × 65 >> 8) = 222 and 255 + (−255 × 65 >> 8) = 190; the opaque red and
  // green have a = 127, w = 128: 255 + (−255 × 128 >> 8) = 127.
  const Case cases[] = {
      {"solid: the colours opaque", kGradientDrawSolid, 128, Rgb(0, 0, 255), Rgb(128, 0, 128), red, green},
      {"brush at full opacity", kGradientDrawBrush, 256, kWhite, Rgb(191, 126, 191), red, green},
      {"brush at half opacity", kGradientDrawBrush, 128, kWhite, Rgb(222, 190, 222), Rgb(255, 127, 127),
       Rgb(127, 255, 127)},
  };
  for (const Case& c : cases) {
    GradientCanvas g;
    g.settings = {kGradientShapeUser, 2, c.drawing};
    g.pattern = {{0, clear}, {5000, red}, {10000, green}};
    g.brush.SetBaseOpacity(c.opacity);
    ASSERT_TRUE(g.Drag(0, 1, 8, 1)) << c.name;
    EXPECT_EQ((std::vector{g.At(0, 0), g.At(2, 0), g.At(4, 2), g.At(10, 1)}),
              (std::vector{c.start, c.quarter, c.middle, c.end}))
        << c.name;
  }
}

TEST(GradientTool, ShowsTheLineWhileDraggingShiftKeepsItTo45DegreesAndEscGivesItUp) {
  GradientCanvas g;
  g.canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 4, 3, 0);
  g.canvas.DeliverEvent(kToolMove, kToolLeftButton, 12, 4, 256);
  using Path = std::vector<std::pair<double, double>>;
  EXPECT_EQ(g.canvas.ActiveTool()->Feedback().at(0).points, (Path{{4.5, 3.5}, {12.5, 4.5}}));
  // (8, 1) from the start is shallow: the line runs across.
  g.canvas.DeliverEvent(kToolMove, kToolLeftButton | kToolShift, 12, 4, 256);
  EXPECT_EQ(g.canvas.ActiveTool()->Feedback().at(0).points, (Path{{4.5, 3.5}, {12.5, 3.5}}));
  EXPECT_TRUE(g.canvas.ActiveTool()->KeyMessage(kToolKeyDown, kKeyEscape, 1, 0));
  EXPECT_TRUE(g.canvas.ActiveTool()->Feedback().empty());
  EXPECT_FALSE(g.canvas.DeliverEvent(kToolButtonUp, 0, 12, 4, 0));
  EXPECT_EQ(brush_test::Pixels(*g.layer), std::vector<uint32_t>(33, kWhite));
}

TEST(GradientTool, AClickOrAMissingPatternPaintsNothingAndADragIsOneUndoStep) {
  GradientCanvas g;
  EXPECT_FALSE(g.Drag(4, 1, 4, 1));
  EXPECT_EQ(g.canvas.Undo(), -1);
  // A pattern the source does not have.
  g.settings = {kGradientShapeUser, 3, kGradientDrawSolid};
  EXPECT_FALSE(g.Drag(0, 1, 8, 1));
  EXPECT_EQ(g.At(5, 1), kWhite);
  EXPECT_EQ(g.canvas.Undo(), -1);
  g.settings = {};
  ASSERT_TRUE(g.Drag(0, 0, 10, 2));
  EXPECT_NE(g.At(5, 1), kWhite);
  EXPECT_EQ(g.canvas.Undo(), 0);
  EXPECT_EQ(brush_test::Pixels(*g.layer), std::vector<uint32_t>(33, kWhite));
  uint32_t shown = 0;
  g.canvas.Composite().GetPixel(GradientCanvas::kOffsetX + 5, GradientCanvas::kOffsetY + 1, &shown);
  EXPECT_EQ(shown, kWhite);
  EXPECT_EQ(g.canvas.Undo(), -1);
}

TEST(GradientSettings, AToolStateRoundTripsAndHoldsValuesToTheirRange) {
  struct Case {
    GradientSettings written, want;
  };
  const Case cases[] = {
      {{kGradientShapeUser, 7, kGradientDrawBrush}, {kGradientShapeUser, 7, kGradientDrawBrush}},
      {{5, -3, 9}, {kGradientShapeUser, 0, kGradientDrawBrush}},
      {{-1, 0, -4}, {kGradientShapeLinear, 0, kGradientDrawSolid}},
  };
  for (const Case& c : cases) {
    GradientSettings written = c.written, read{1, 1, 1};
    GradientToolState writer(written), reader(read);
    MemoryToolStateStream stream;
    ASSERT_EQ(WriteToolState(stream, writer), 0);
    ASSERT_TRUE(stream.Seek(0));
    ASSERT_EQ(ReadToolState(stream, reader, false), 0);
    EXPECT_EQ((std::vector{read.shape, read.pattern, read.drawing}),
              (std::vector{c.want.shape, c.want.pattern, c.want.drawing}));
  }
}

}  // namespace
}  // namespace varnel
