// The eyedropper: the mean of a block with the edge pixels standing in outside the picture, the
// source (the displayed picture or the layer, Shift swapping them for one click), the point
// taken back to the canvas for the composite, and its tool state.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "document/tool_state.h"
#include "tests/brush/brush_test_support.h"
#include "tools/eyedropper_tool.h"

namespace varnel {
namespace {

using brush_test::Grey;
using brush_test::MakeLayer;
using brush_test::Rgb;

// --- the block mean ------------------------------------------------------------------------

// A 3 × 3 picture whose pixel (x, y) has red 10 + 40x, green 20 + 60y, blue 100 + 10x + 20y.
std::unique_ptr<Layer> Gradient() {
  auto layer = MakeLayer({3, 3}, 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x)
      layer->Row(y)[x] = Rgb(uint32_t(10 + 40 * x), uint32_t(20 + 60 * y), uint32_t(100 + 10 * x + 20 * y));
  return layer;
}

struct PickCase {
  const char* name;
  int32_t x, y, n;
  ColourRef expected;
};

const PickCase kPickCases[] = {
    {"OnePixelIsThatPixel", 2, 1, 1, MakeColourRef(90, 80, 140)},
    // Columns and rows −1, 0, 1 read 0, 0, 1: pixel (0, 0) four times, (1, 0) and (0, 1) twice,
    // (1, 1) once. Red 3 × (2 × 10 + 50) / 9 = 210 / 9 = 23, green 3 × (2 × 20 + 80) / 9 = 40,
    // blue (900 + 10 × 3 + 20 × 3) / 9 = 110.
    {"ACornerBlockRepeatsTheEdgePixels", 0, 0, 3, MakeColourRef(23, 40, 110)},
    // Columns 0 … 4 read 0, 1, 2, 2, 2 (weights 1, 1, 3): red 5 × (10 + 50 + 270) / 25 = 66,
    // green 5 × (20 + 80 + 420) / 25 = 104, blue (2500 + 10 × 35 + 20 × 35) / 25 = 142.
    {"AFiveBlockAtTheBottomRight", 2, 2, 5, MakeColourRef(66, 104, 142)},
    {"APointFarOutsideTakesTheNearestCorner", 100, -50, 1, MakeColourRef(90, 20, 120)},
    {"ASideBelowOneReadsOnePixel", 1, 0, -4, MakeColourRef(50, 20, 110)},
};

class PickColourCase : public ::testing::TestWithParam<PickCase> {};

TEST_P(PickColourCase, MeansTheBlockWithEdgePixelsOutside) {
  const PickCase& c = GetParam();
  EXPECT_EQ(PickColour(*Gradient(), c.x, c.y, c.n), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Blocks, PickColourCase, ::testing::ValuesIn(kPickCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- the tool on a canvas ------------------------------------------------------------------

// Canvas: a 20 × 20 white base with a blue pixel at (7, 9), and above it a hidden 10 × 10
// green layer at (5, 6), active, whose pixel (2, 3), at canvas (7, 9), is red. So the composite
// at canvas (7, 9) is blue and the layer there is red; a point not taken back to the canvas
// would read the composite's white (2, 3), one taken there twice the layer's green (7, 9).
class EyedropperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto base = MakeLayer({20, 20}, Grey(255));
    base->Row(9)[7] = Rgb(0, 0, 255);
    m_canvas.InitWithLayer(std::move(base));
    auto top = MakeLayer({10, 10}, Rgb(0, 255, 0), 5, 6);
    top->Row(3)[2] = Rgb(255, 0, 0);
    top->SetVisible(false);
    m_canvas.AppendLayer(std::move(top), false);
    m_canvas.SetActiveLayer(1);
    m_canvas.ComposeAll();
    m_canvas.SetTool(kEyedropperToolSlot, std::make_unique<EyedropperTool>(
                                              m_canvas, [this](ColourRef c) { m_picked.push_back(c); }, m_settings));
    m_canvas.SelectTool(kEyedropperToolSlot);
  }

  std::optional<ColourRef> Click(int32_t x, int32_t y, uint32_t flags) {
    m_picked.clear();
    m_canvas.DeliverEvent(kToolButtonDown, kToolLeftButton | flags, x, y, 0);
    m_canvas.DeliverEvent(kToolButtonUp, flags, x, y, 0);
    if (m_picked.size() != 1) return std::nullopt;
    return m_picked[0];
  }

  Canvas m_canvas;
  EyedropperSettings m_settings;
  std::vector<ColourRef> m_picked;
};

const ColourRef kBlue = MakeColourRef(0, 0, 255);
const ColourRef kRed = MakeColourRef(255, 0, 0);

struct SourceCase {
  const char* name;
  bool fromDisplay;
  uint32_t flags;
  ColourRef expected;
};

const SourceCase kSourceCases[] = {
    {"TheDisplayedPictureAtTheCanvasPoint", true, 0, kBlue},
    {"TheLayerAtTheLayerPoint", false, 0, kRed},
    {"ShiftTurnsTheDisplayIntoTheLayer", true, kToolShift, kRed},
    {"ShiftTurnsTheLayerIntoTheDisplay", false, kToolShift, kBlue},
};

class EyedropperSource : public EyedropperTest, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(EyedropperSource, PicksFromTheChosenSource) {
  m_settings.fromDisplay = GetParam().fromDisplay;
  EXPECT_EQ(Click(7, 9, GetParam().flags), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sources, EyedropperSource, ::testing::ValuesIn(kSourceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EyedropperTest, ShiftSwapsTheSourceForOneClickOnly) {
  EXPECT_EQ(Click(7, 9, kToolShift), kRed);
  EXPECT_EQ(Click(7, 9, 0), kBlue);
  EXPECT_EQ(Click(7, 9, kToolShift), kRed);
}

TEST_F(EyedropperTest, ThreeByThreeOverOneBlackAndEightWhiteGives226) {
  m_canvas.GetLayer(0)->Row(9)[7] = Grey(0);
  m_canvas.ComposeAll();
  m_settings.average = 1;
  // (8 × 255) / 9 = 226 in each channel.
  EXPECT_EQ(Click(8, 10, 0), MakeColourRef(226, 226, 226));
}

TEST_F(EyedropperTest, TheLayerBehindASelectionIsReadOutsideTheSelectionToo) {
  auto selection = std::make_unique<Region>();
  ASSERT_EQ(selection->Create({0, 0, 3, 3}, 255), 0);
  m_canvas.SetSelection(std::move(selection));
  m_settings.fromDisplay = false;
  EXPECT_EQ(Click(7, 9, 0), kRed);
}

// --- tool state ----------------------------------------------------------------------------

TEST(EyedropperState, SavedThroughTheToolStateObjectReadsIntoFreshSettings) {
  EyedropperSettings saved{1, false};
  EyedropperToolState writer(saved);
  MemoryToolStateStream stream;
  ASSERT_EQ(WriteToolState(stream, writer), 0);
  ASSERT_TRUE(stream.Seek(0));
  EXPECT_EQ(ReadToolClassName(stream), "CSpoitTool");
  ASSERT_TRUE(stream.Seek(0));
  EyedropperSettings fresh;
  EyedropperToolState reader(fresh);
  ASSERT_EQ(ReadToolState(stream, reader, false), 0);
  EXPECT_EQ(fresh, saved);
}

}  // namespace
}  // namespace varnel
