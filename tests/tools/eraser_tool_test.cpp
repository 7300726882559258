// The eraser on a canvas: its three modes at the centre and the edge of a dab, pressure and
// base opacity, the size it takes from the brush, the selection, each dab recomposed, the one
// undo step of a stroke, and its tool state.
//
// A 4 × 4 dab at (8, 8) covers 6…9 on both axes; its round mask is 255 at (8, 8) and
// 255 − 255 / 4 = 192 at (9, 8) (grid centre 2, r² = 4, d² = 1).

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "document/tool_state.h"
#include "tests/brush/brush_test_support.h"
#include "tools/eraser_tool.h"

namespace varnel {
namespace {

using brush_test::At;
using brush_test::Grey;
using brush_test::MakeLayer;
using brush_test::Pixels;
using brush_test::Rgb;

const ColourRef kBackground = MakeColourRef(200, 150, 100);

class EraserTest : public ::testing::Test {
 protected:
  // A canvas of one size × size layer of fill with the eraser selected.
  void SetUpCanvas(uint32_t fill, int32_t size = 16) {
    m_canvas.InitWithLayer(MakeLayer({size, size}, fill));
    m_canvas.ComposeAll();
    m_brush.SetSize(4, 4);
    auto tool = std::make_unique<EraserTool>(m_canvas, m_settings, m_brush);
    tool->SetColours(MakeColourRef(0, 0, 0), kBackground);
    m_canvas.SetTool(kEraserToolSlot, std::move(tool));
    m_canvas.SelectTool(kEraserToolSlot);
  }

  // Pen-down at the first point, a movement to each further one, pen-up at the last, as the
  // view delivers them (canvas coordinates).
  void Stroke(std::vector<std::array<int32_t, 2>> points, int32_t pressure = 256) {
    m_canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, points[0][0], points[0][1], pressure);
    for (size_t i = 1; i < points.size(); ++i)
      m_canvas.DeliverEvent(kToolMove, kToolLeftButton, points[i][0], points[i][1], pressure);
    m_canvas.DeliverEvent(kToolButtonUp, 0, points.back()[0], points.back()[1], pressure);
  }

  Layer& Layer0() { return *m_canvas.GetLayer(0); }

  Canvas m_canvas;
  EraserSettings m_settings;
  BrushToolSettings m_brush;
};

// --- one dab -------------------------------------------------------------------------------

struct DabCase {
  const char* name;
  EraserSettings settings;
  uint32_t fill;
  int32_t pressure;
  uint32_t centre;  // (8, 8), mask 255
  uint32_t edge;    // (9, 8), mask 192
};

const DabCase kDabCases[] = {
    // Alpha a × (255 − mask) rounded: 0 at the centre, (255 × 63 + 127) / 255 = 63 at the edge.
    {"ClearsAlphaAndKeepsTheColour", {}, Rgb(10, 20, 30), 256, Rgb(10, 20, 30, 0), Rgb(10, 20, 30, 63)},
    // Opacity 128 over alpha 200: 200 + ⌊(0 − 200) × 128 / 256⌋ = 100 at the centre; at the edge
    // the kernel gives (200 × 63 + 127) / 255 = 49, then 200 + ⌊(49 − 200) / 2⌋ = 124.
    {"BaseOpacityMixesTheErasure", {128, true, false, false}, Rgb(10, 20, 30, 200), 256, Rgb(10, 20, 30, 100),
     Rgb(10, 20, 30, 124)},
    // Pressure 128 halves opacity 256: 255 + ⌊−255 / 2⌋ = 127; edge 255 + ⌊(63 − 255) / 2⌋ = 159.
    {"PressureScalesTheErasure", {256, true, true, false}, Rgb(10, 20, 30), 128, Rgb(10, 20, 30, 127),
     Rgb(10, 20, 30, 159)},
    // The background colour composed as the brush composes paint, alpha kept. Centre: m = 256,
    // k = 256, the colour itself. Edge over alpha 100: m = 193, A' = 100 + (155 × 193 + 127) >> 8
    // = 217, k = 255 × 193 / 217 = 226; red 10 + ⌊190 × 226 / 256⌋ = 177, green 20 + ⌊130 × 226 /
    // 256⌋ = 134, blue 30 + ⌊70 × 226 / 256⌋ = 91.
    {"WithoutAffectAlphaPaintsTheBackgroundKeepingAlpha", {256, false, false, false}, Rgb(10, 20, 30, 100), 256,
     Rgb(200, 150, 100, 100), Rgb(177, 134, 91, 100)},
    // "背景色" with "透明度に作用": alpha rises as under the brush. Edge: A' = (255 × 193 + 127) >> 8
    // = 192, k = min(256, 255 × 193 / 192) = 256.
    {"BackgroundWithAffectAlphaPaintsOverTransparency", {256, true, false, true}, Rgb(10, 20, 30, 0), 256,
     Rgb(200, 150, 100), Rgb(200, 150, 100, 192)},
    // Pressure 64 gives opacity 64 over black: at the centre m = 64, k = 64, so each channel is
    // ⌊t × 64 / 256⌋: 50, 37, 25; at the edge m = 49, k = 49: ⌊t × 49 / 256⌋ = 38, 28, 19.
    {"PressureScalesTheBackground", {256, false, true, false}, Grey(0), 64, Rgb(50, 37, 25), Rgb(38, 28, 19)},
};

class EraserDab : public EraserTest, public ::testing::WithParamInterface<DabCase> {};

TEST_P(EraserDab, ChangesTheCentreAndEdgeAsItsModeSays) {
  const DabCase& c = GetParam();
  SetUpCanvas(c.fill);
  m_settings = c.settings;
  Stroke({{8, 8}}, c.pressure);
  EXPECT_EQ(At(Layer0(), 8, 8), c.centre);
  EXPECT_EQ(At(Layer0(), 9, 8), c.edge);
  // Outside the dab nothing changes.
  EXPECT_EQ(At(Layer0(), 10, 8), c.fill);
  EXPECT_EQ(At(Layer0(), 5, 5), c.fill);
}

INSTANTIATE_TEST_SUITE_P(Modes, EraserDab, ::testing::ValuesIn(kDabCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- size ----------------------------------------------------------------------------------

TEST_F(EraserTest, AOnePixelEraserErasesExactlyThatPixel) {
  SetUpCanvas(Rgb(10, 20, 30));
  m_brush.SetSize(1, 1);
  const std::vector<uint32_t> before = Pixels(Layer0());
  Stroke({{5, 5}});
  std::vector<uint32_t> expected = before;
  expected[5 * 16 + 5] = Rgb(10, 20, 30, 0);
  EXPECT_EQ(Pixels(Layer0()), expected);
}

TEST_F(EraserTest, TakesTheBrushSizeAtEachPenDown) {
  SetUpCanvas(Rgb(10, 20, 30));
  Stroke({{4, 4}});
  EXPECT_EQ(At(Layer0(), 7, 4), Rgb(10, 20, 30));  // beyond a 4 × 4 dab
  m_brush.SetSize(8, 8);
  Stroke({{10, 10}});
  // An 8 × 8 dab: grid centre 4, r² = 16; three pixels right d² = 9 gives 255 − 143 = 112, so
  // alpha (255 × 143 + 127) / 255 = 143.
  EXPECT_EQ(At(Layer0(), 13, 10), Rgb(10, 20, 30, 143));
}

// --- on the canvas -------------------------------------------------------------------------

TEST_F(EraserTest, AStrokeIsOneUndoStepThatRestoresTheLayer) {
  SetUpCanvas(Rgb(90, 60, 30));
  const std::vector<uint32_t> layerBefore = Pixels(Layer0());
  const std::vector<uint32_t> compositeBefore = Pixels(m_canvas.Composite());
  Stroke({{3, 3}, {12, 4}, {12, 4}, {12, 12}, {12, 12}, {3, 12}, {3, 12}});
  EXPECT_EQ(Layer0().Undo().StepCount(), 1u);
  EXPECT_NE(Pixels(Layer0()), layerBefore);
  ASSERT_EQ(m_canvas.Undo(), 0);
  EXPECT_EQ(Pixels(Layer0()), layerBefore);
  EXPECT_EQ(Pixels(m_canvas.Composite()), compositeBefore);
}

TEST_F(EraserTest, EveryDabIsComposedOnAnOffsetLayer) {
  SetUpCanvas(Grey(255), 24);
  m_canvas.AppendLayer(MakeLayer({10, 10}, Rgb(255, 0, 0), 6, 6), false);
  m_canvas.SetActiveLayer(1);
  m_canvas.ComposeAll();
  Stroke({{10, 10}, {13, 12}, {13, 12}});
  // Layer-relative (4, 4) is cleared, so the white base shows there.
  EXPECT_EQ(At(*m_canvas.GetLayer(1), 4, 4), Rgb(255, 0, 0, 0));
  EXPECT_EQ(At(m_canvas.Composite(), 10, 10), Grey(255));
  const std::vector<uint32_t> byDabs = Pixels(m_canvas.Composite());
  m_canvas.ComposeAll();
  EXPECT_EQ(Pixels(m_canvas.Composite()), byDabs);
  EXPECT_EQ(m_canvas.GetLayer(0)->Undo().StepCount(), 0u);
}

TEST_F(EraserTest, ASelectionConfinesTheStroke) {
  SetUpCanvas(Rgb(10, 20, 30));
  auto selection = std::make_unique<Region>();
  ASSERT_EQ(selection->Create({0, 0, 7, 15}, 255), 0);
  m_canvas.SetSelection(std::move(selection));
  Stroke({{2, 8}, {15, 8}, {15, 8}, {15, 8}, {15, 8}});
  for (int32_t x = 8; x < 16; ++x)
    for (int32_t y = 0; y < 16; ++y) ASSERT_EQ(At(Layer0(), x, y), Rgb(10, 20, 30)) << x << "," << y;
  EXPECT_EQ(At(Layer0(), 4, 8), Rgb(10, 20, 30, 0));
  EXPECT_EQ(Layer0().Undo().StepCount(), 1u);
}

// --- tool state ----------------------------------------------------------------------------

TEST(EraserState, SavedThroughTheToolStateObjectReadsIntoFreshSettings) {
  EraserSettings saved{77, false, true, true};
  EraserToolState writer(saved);
  MemoryToolStateStream stream;
  ASSERT_EQ(WriteToolState(stream, writer), 0);
  ASSERT_TRUE(stream.Seek(0));
  EXPECT_EQ(ReadToolClassName(stream), "CEraserTool");
  ASSERT_TRUE(stream.Seek(0));
  EraserSettings fresh;
  EraserToolState reader(fresh);
  ASSERT_EQ(ReadToolState(stream, reader, false), 0);
  EXPECT_EQ(fresh, saved);
}

}  // namespace
}  // namespace varnel
