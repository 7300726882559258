// The wet paint of the watercolour brushes: what dabs do to it and to the layer, when it dries,
// and where paint left wet by an earlier stroke survives.

#include <gtest/gtest.h>

#include "brush/brush_kinds.h"
#include "brush/watercolour_buffer.h"
#include "core/region_clipped_image.h"
#include "core/region.h"
#include "tests/brush/brush_test_support.h"

namespace varnel {
namespace {

using brush_test::At;
using brush_test::Grey;
using brush_test::MakeLayer;

std::unique_ptr<NormalBrush> WetBrush(int32_t dryMode) {
  auto brush = std::make_unique<NormalBrush>(Size{2, 2});
  brush->SetWatercolour(true);
  brush->SetWatercolourLevel(128);
  brush->SetDryMode(dryMode);
  brush->SetColours(MakeColourRef(0, 0, 0), MakeColourRef(255, 255, 255));
  return brush;
}

TEST(Watercolour, TheLayerTakesTheWetPaintAtTheLevelDabByDab) {
  auto layer = MakeLayer({8, 8}, Grey(255));
  auto brush = WetBrush(kDryAtStrokeEnd);
  brush->BeginStroke(*layer, 4, 4, 256);
  // The wet paint becomes black; the paper 255 + floor(−255 × 128 / 256) = 127.
  EXPECT_EQ(At(*layer, 4, 4), Grey(127));
  EXPECT_EQ(At(*layer, 3, 3), Grey(127));
  EXPECT_EQ(At(*layer, 5, 5), Grey(255));
  brush->DrawDab(*layer, 4, 4, 256);
  EXPECT_EQ(At(*layer, 4, 4), Grey(63));  // 127 + floor(−127 × 0.5)
  WatercolourBuffer* wet = WatercolourBuffer::Of(*layer, false);
  ASSERT_NE(wet, nullptr);
  EXPECT_EQ(wet->WetTileCount(), 1);
  brush->EndStroke(*layer);
  EXPECT_FALSE(wet->IsWet());  // dried at pen-up
  EXPECT_EQ(At(*layer, 4, 4), Grey(63));
}

TEST(Watercolour, TheDabOpacityActsOnTheWetPaintTwiceAndTheLevelOnThePaper) {
  auto layer = MakeLayer({8, 8}, Grey(255));
  auto brush = WetBrush(kDryAtStrokeEnd);
  brush->SetBaseOpacity(128);
  brush->BeginStroke(*layer, 4, 4, 256);
  // Compose: m = 128, k = 128 → 127; FinishDab 128 → 255 + floor(−128 / 2) = 191 wet;
  // the paper 255 + floor(−64 / 2) = 223.
  EXPECT_EQ(At(*layer, 4, 4), Grey(223));
  brush->EndStroke(*layer);
}

struct DryCase {
  const char* name;
  int32_t dryMode;
  uint32_t secondStroke;
};

// A second stroke at opacity 128 over the first. Wet paint still there (191): compose → 95,
// finish → 143 wet, paper 223 + floor(−80 / 2) = 183. Dried: the wet paint starts from the
// paper (223): compose → 111, finish → 167, paper 223 + floor(−56 / 2) = 195.
const DryCase kDryCases[] = {
    {"OnCommandKeepsThePaintWetBetweenStrokes", kDryOnCommand, Grey(183)},
    {"AtStrokeEndStartsEachStrokeDry", kDryAtStrokeEnd, Grey(195)},
};

class DryModes : public ::testing::TestWithParam<DryCase> {};

TEST_P(DryModes, DecideWhatTheNextStrokeFinds) {
  auto layer = MakeLayer({8, 8}, Grey(255));
  auto brush = WetBrush(GetParam().dryMode);
  brush->SetBaseOpacity(128);
  brush->BeginStroke(*layer, 4, 4, 256);
  brush->EndStroke(*layer);
  ASSERT_EQ(At(*layer, 4, 4), Grey(223));
  brush->BeginStroke(*layer, 4, 4, 256);
  brush->EndStroke(*layer);
  EXPECT_EQ(At(*layer, 4, 4), GetParam().secondStroke);
}

INSTANTIATE_TEST_SUITE_P(Modes, DryModes, ::testing::ValuesIn(kDryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Watercolour, TheDryCommandDriesOnlyInDryModeOne) {
  auto layer = MakeLayer({8, 8}, Grey(255));
  auto byCommand = WetBrush(kDryOnCommand);
  byCommand->BeginStroke(*layer, 4, 4, 256);
  byCommand->EndStroke(*layer);
  WatercolourBuffer* wet = WatercolourBuffer::Of(*layer, false);
  ASSERT_NE(wet, nullptr);
  EXPECT_TRUE(wet->IsWet());
  auto atEnd = WetBrush(kDryAtStrokeEnd);
  atEnd->DryCommand(*layer);
  EXPECT_TRUE(wet->IsWet());
  byCommand->DryCommand(*layer);
  EXPECT_FALSE(wet->IsWet());
  EXPECT_EQ(At(*layer, 4, 4), Grey(127));  // what soaked in stays
}

TEST(Watercolour, PaintAnythingElseChangedSinceHasDried) {
  auto layer = MakeLayer({40, 8}, Grey(255));
  auto brush = WetBrush(kDryOnCommand);
  brush->BeginStroke(*layer, 4, 4, 256);
  brush->DrawDab(*layer, 36, 4, 256);
  brush->EndStroke(*layer);
  WatercolourBuffer* wet = WatercolourBuffer::Of(*layer, false);
  ASSERT_EQ(wet->WetTileCount(), 2);
  layer->SetPixel(0, 0, Grey(1));  // another tool touches the first tile
  brush->BeginStroke(*layer, 20, 4, 256);
  EXPECT_EQ(wet->WetTileCount(), 2);  // the first tile dried, the second (and now the middle) is wet
  brush->EndStroke(*layer);
  layer->Undo().ClearHistory();
}

TEST(Watercolour, WithoutAStrokeADabIsPlain) {
  auto layer = MakeLayer({8, 8}, Grey(255));
  auto brush = WetBrush(kDryAtStrokeEnd);
  brush->DrawPoint(*layer);  // (3, 3), as the command does
  EXPECT_EQ(At(*layer, 3, 3), Grey(0));
  EXPECT_EQ(WatercolourBuffer::Of(*layer, false), nullptr);
}

TEST(Watercolour, ASurfaceThatIsNoLayerGetsWetPaintForOneStroke) {
  ImageSurface plain;
  ASSERT_EQ(plain.Create({8, 8}), 0);
  auto brush = WetBrush(kDryOnCommand);
  brush->BeginStroke(plain, 4, 4, 256);
  EXPECT_EQ(At(plain, 4, 4), Grey(127));
  brush->DrawDab(plain, 4, 4, 256);
  EXPECT_EQ(At(plain, 4, 4), Grey(63));
  brush->EndStroke(plain);
  brush->BeginStroke(plain, 4, 4, 256);  // fresh wet paint from the paper (63)
  EXPECT_EQ(At(plain, 4, 4), Grey(31));  // 63 + floor(−63 / 2)
  brush->EndStroke(plain);
}

TEST(Watercolour, ThroughASelectionTheLayerBehindKeepsTheWetPaint) {
  auto layer = MakeLayer({8, 8}, Grey(255));
  Region selection;
  ASSERT_EQ(selection.Create({0, 0, 7, 7}, 255), 0);
  RegionClippedImage facade;
  facade.Bind(layer.get(), &selection, 0, 0);
  auto brush = WetBrush(kDryOnCommand);
  brush->BeginStroke(facade, 4, 4, 256);
  brush->EndStroke(facade);
  EXPECT_EQ(At(*layer, 4, 4), Grey(127));
  WatercolourBuffer* wet = WatercolourBuffer::Of(*layer, false);
  ASSERT_NE(wet, nullptr);
  EXPECT_TRUE(wet->IsWet());
  EXPECT_EQ(facade.Attachment(), nullptr);
}

TEST(WatercolourBuffer, TilesStartAsTheLayerAndKeepWhatIsWritten) {
  auto layer = MakeLayer({20, 20}, Grey(9));
  WatercolourBuffer wet;
  wet.Start(*layer);
  uint32_t pixels[4] = {0, 0, 0, 0};
  wet.Read(*layer, {15, 15, 16, 16}, pixels);  // four tiles
  EXPECT_EQ(wet.WetTileCount(), 4);
  for (uint32_t p : pixels) EXPECT_EQ(p, Grey(9));
  const uint32_t written[4] = {1, 2, 3, 4};
  wet.Write(*layer, {15, 15, 16, 16}, written);
  uint32_t back[4];
  wet.Read(*layer, {15, 15, 16, 16}, back);
  EXPECT_EQ(std::vector<uint32_t>(back, back + 4), std::vector<uint32_t>(written, written + 4));
  // Outside the layer nothing is read or written.
  uint32_t outside[2] = {7, 7};
  wet.Read(*layer, {-2, 0, -1, 0}, outside);
  EXPECT_EQ(outside[0], 7u);
  // A layer of another size starts afresh.
  auto other = MakeLayer({4, 4}, Grey(1));
  wet.Start(*other);
  EXPECT_FALSE(wet.IsWet());
}

}  // namespace
}  // namespace varnel
