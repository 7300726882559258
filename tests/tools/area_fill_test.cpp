// The closed-area fill on a canvas: each mode over the clicked area and over the whole layer,
// the softened edge, the selection, the click filter, the undo step and the tool state.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "core/region_clipped_image.h"
#include "platform/host.h"
#include "tests/brush/brush_test_support.h"
#include "tools/area_fill_tool.h"

namespace varnel {
namespace {

using brush_test::DabCall;
using brush_test::MakeLayer;
using brush_test::Recording;

constexpr uint32_t kA = 0xFF204060u;
constexpr uint32_t kB = 0xFF204061u;  // kA one step bluer
constexpr uint32_t kC = 0xFFC0C0C0u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;    // the tool's foreground
constexpr uint32_t kGreen = 0xFF00FF00u;  // the brush's colour
constexpr int32_t kWidth = 6, kHeight = 4;
constexpr int32_t kOffsetX = 2, kOffsetY = 3;

// Two areas of kA, the left one with a kB pixel in it, parted by kC.
const std::vector<uint32_t> kPicture = {
    kA, kA, kA, kC, kC, kC,  //
    kA, kB, kA, kC, kA, kA,  //
    kA, kA, kA, kC, kA, kA,  //
    kC, kC, kC, kC, kA, kA,  //
};

// The active layer (6 × 4 at (2, 3)) over a white 10 × 8 base, with the fill tool selected.
struct FillCanvas {
  AreaFillSettings settings;
  Recording<NormalBrush> brush{Size{2, 2}};
  int64_t now = 0;
  RecordingHost host;
  ScopedHost scoped{host};
  Canvas canvas;
  Layer* layer = nullptr;

  FillCanvas() {
    canvas.InitWithLayer(MakeLayer({10, 8}, kWhite));
    auto picture = MakeLayer({kWidth, kHeight}, 0, kOffsetX, kOffsetY);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) picture->Row(y)[x] = kPicture[static_cast<size_t>(y * kWidth + x)];
    layer = picture.get();
    canvas.AppendLayer(std::move(picture), false);
    canvas.SetActiveLayer(1);
    canvas.ComposeAll();
    canvas.SetTool(kAreaFillToolSlot, std::make_unique<AreaFillTool>(
                                          canvas, settings, [this] { return &brush; }, [this] { return now; }));
    canvas.SelectTool(kAreaFillToolSlot);
    canvas.ActiveTool()->SetColours(MakeColourRef(255, 0, 0), MakeColourRef(255, 255, 255));
    brush.SetColours(MakeColourRef(0, 255, 0), MakeColourRef(255, 255, 255));
  }
  // A click at layer (x, y) at time t.
  void Click(int32_t x, int32_t y, int64_t t = 0) {
    now = t;
    canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, x + kOffsetX, y + kOffsetY, 0);
  }
  std::vector<uint32_t> Pixels() const { return brush_test::Pixels(*layer); }
};

// The picture with rule applied to the pixels marked '#'.
std::vector<uint32_t> Changed(const std::vector<std::string>& marks, const std::function<uint32_t(uint32_t)>& rule) {
  std::vector<uint32_t> pixels = kPicture;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      if (marks[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#')
        pixels[static_cast<size_t>(y * kWidth + x)] = rule(pixels[static_cast<size_t>(y * kWidth + x)]);
  return pixels;
}

uint32_t Red(uint32_t) { return kRed; }
uint32_t Green(uint32_t) { return kGreen; }
uint32_t Transparent(uint32_t p) { return p & 0x00FFFFFFu; }

const std::vector<std::string> kLeftArea = {"###...", "#.#...", "###...", "......"};
const std::vector<std::string> kLeftAreaWithB = {"###...", "###...", "###...", "......"};
const std::vector<std::string> kAll = {"######", "######", "######", "######"};
const std::vector<std::string> kNone = {"......", "......", "......", "......"};

struct ModeCase {
  const char* name;
  int32_t range;
  int32_t mode;
  int32_t tolerance;
  int32_t x, y;  // layer coordinates
  std::vector<std::string> changed;
  uint32_t (*rule)(uint32_t);
};

TEST(AreaFill, EachModeChangesTheAreaOrTheWholeLayerByItsRule) {
  const ModeCase cases[] = {
      {"the foreground fills the clicked colour's area", kFillRangeRgb, kFillModeForeground, 1, 0, 0, kLeftArea, Red},
      {"tolerance 2 takes in a pixel one step away", kFillRangeRgb, kFillModeForeground, 2, 1, 2, kLeftAreaWithB, Red},
      {"transparency keeps the colours", kFillRangeRgb, kFillModeClear, 1, 2, 0, kLeftArea, Transparent},
      // Each 2 × 2 dab covers its pixel and the ones to the left and above.
      {"the brush lays a dab on every pixel of the area", kFillRangeRgb, kFillModeBrush, 1, 5, 3,
       {"...###", "...###", "...###", "...###"}, Green},
      {"a click beside the layer fills nothing", kFillRangeRgb, kFillModeForeground, 1, 6, 0, kNone, Red},
      {"whole: the foreground everywhere", kFillRangeWhole, kFillModeForeground, 1, 3, 0, kAll, Red},
      {"whole: wherever the click lands", kFillRangeWhole, kFillModeForeground, 1, -5, 9, kAll, Red},
      {"whole: transparency everywhere", kFillRangeWhole, kFillModeClear, 1, 0, 0, kAll, Transparent},
      {"whole: a dab on every pixel", kFillRangeWhole, kFillModeBrush, 1, 0, 0, kAll, Green},
  };
  for (const ModeCase& c : cases) {
    FillCanvas f;
    f.settings = {c.range, c.mode, c.tolerance, false};
    f.Click(c.x, c.y);
    EXPECT_EQ(f.Pixels(), Changed(c.changed, c.rule)) << c.name;
  }
}

// The region the fill clicked at (4, 1) finds, softened as "エッジぼかし" softens it.
void FeatheredRightArea(Region& soft) {
  Region hard;
  ASSERT_EQ(hard.Create({4, 1, 5, 3}, 255), 0);
  Region::Feather(hard, kFillFeatherDiameter, soft);
  ASSERT_FALSE(soft.IsEmpty());
}

TEST(AreaFill, EdgeBlurBlendsTheForegroundInByTheSoftenedCoverage) {
  FillCanvas f;
  f.settings = {kFillRangeRgb, kFillModeForeground, 1, true};
  f.Click(4, 1);
  Region soft;
  FeatheredRightArea(soft);
  std::vector<uint32_t> expected = kPicture;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint8_t c = soft.At(x, y);
      uint32_t& p = expected[static_cast<size_t>(y * kWidth + x)];
      if (c == 255) p = kRed;
      else if (c != 0) p = RegionClippedImage::BlendCovered(p, kRed, c);
    }
  EXPECT_EQ(f.Pixels(), expected);
  // The edge reaches past the area into the parting column.
  EXPECT_NE(f.Pixels()[1 * kWidth + 3], kC);
}

TEST(AreaFill, EdgeBlurGivesTheBrushTheCoverageAsPressure) {
  FillCanvas f;
  f.settings = {kFillRangeRgb, kFillModeBrush, 1, true};
  f.brush.SetPressureOpacity(true);
  f.brush.SetBaseOpacity(200);
  f.Click(4, 1);
  Region soft;
  FeatheredRightArea(soft);
  std::vector<DabCall> expected;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      if (const uint8_t c = soft.At(x, y)) expected.push_back({x, y, (200 * c) >> 8, {2, 2}});
  EXPECT_EQ(f.brush.dabs, expected);
}

TEST(AreaFill, StaysInsideTheSelection) {
  FillCanvas f;
  auto selection = std::make_unique<Region>();
  // Canvas columns 2 and 3: the layer's first two columns.
  ASSERT_EQ(selection->Create({2, 0, 3, 9}, 255), 0);
  f.canvas.SetSelection(std::move(selection));
  f.settings = {kFillRangeWhole, kFillModeForeground, 1, false};
  f.Click(0, 0);
  EXPECT_EQ(f.Pixels(), Changed({"##....", "##....", "##....", "##...."}, Red));
}

TEST(AreaFill, AClickWithin500MsOfTheLastIsIgnored) {
  FillCanvas f;
  f.Click(0, 0, 1000);
  f.canvas.ActiveTool()->SetColours(MakeColourRef(0, 255, 0), MakeColourRef(255, 255, 255));
  f.Click(0, 0, 1499);
  EXPECT_EQ(f.Pixels(), Changed(kLeftArea, Red));
  f.Click(0, 0, 1500);
  EXPECT_EQ(f.Pixels(), Changed(kLeftArea, Green));
}

TEST(AreaFill, ShowsTheWaitCursorRecomposesAndUndoesInOneStep) {
  FillCanvas f;
  f.Click(0, 0);
  EXPECT_EQ(f.host.waitCursorMaxDepth, 1);
  EXPECT_EQ(f.host.waitCursorDepth, 0);
  uint32_t shown = 0;
  f.canvas.Composite().GetPixel(kOffsetX + 1, kOffsetY, &shown);
  EXPECT_EQ(shown, kRed);
  EXPECT_EQ(f.canvas.Undo(), 0);
  EXPECT_EQ(f.Pixels(), kPicture);
  f.canvas.Composite().GetPixel(kOffsetX + 1, kOffsetY, &shown);
  EXPECT_EQ(shown, kA);
  EXPECT_EQ(f.canvas.Undo(), -1);
}

TEST(AreaFillSettings, ReadingAToolStateHoldsEachValueToItsRange) {
  AreaFillSettings written{7, -3, 900, true};
  AreaFillToolState writer(written);
  MemoryToolStateStream stream;
  ASSERT_EQ(WriteToolState(stream, writer), 0);
  ASSERT_TRUE(stream.Seek(0));
  AreaFillSettings read;
  AreaFillToolState reader(read);
  ASSERT_EQ(ReadToolState(stream, reader, false), 0);
  EXPECT_EQ(read.range, kFillRangeWhole);
  EXPECT_EQ(read.mode, kFillModeForeground);
  EXPECT_EQ(read.tolerance, kFillToleranceMaximum);
  EXPECT_TRUE(read.feather);
}

}  // namespace
}  // namespace varnel
