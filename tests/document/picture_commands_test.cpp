// The selection, channel, clipboard and information commands: their effects on the canvas,
// their undo steps, the clipboard block, the files they write and the outside-selection view.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "document/bitmap_file.h"
#include "document/document_file.h"
#include "document/file_io.h"
#include "document/region_file.h"
#include "document/picture_commands.h"
#include "platform/host.h"
#include "test_files.h"
#include "tests/support/scoped_env.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::unique_ptr<Layer> MakeLayer(Size size, uint32_t fill, int32_t x = 0, int32_t y = 0) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create(size), 0);
  for (int32_t r = 0; r < size.height; ++r) std::fill_n(layer->Row(r), size.width, fill);
  layer->SetOffset(x, y);
  return layer;
}

std::unique_ptr<Region> MakeRegion(Rect rect, uint8_t fill) {
  auto region = std::make_unique<Region>();
  EXPECT_EQ(region->Create(rect, fill), 0);
  return region;
}

uint32_t PixelAt(const ImageSurface& surface, int32_t x, int32_t y) {
  uint32_t colour = 0;
  EXPECT_EQ(surface.GetPixel(x, y, &colour), 1) << x << "," << y;
  return colour;
}

std::optional<Rect> SelectionBounds(const Canvas& canvas) {
  if (!canvas.Selection()) return std::nullopt;
  return canvas.Selection()->Bounds();
}

// A colour unique to each pixel, alpha included.
uint32_t PatternAt(int32_t x, int32_t y) {
  return static_cast<uint32_t>(x * 37 + y * 101 + 3) * 0x9E3779B1u;
}

class PictureCommandsTest : public ::testing::Test {
 protected:
  // One layer of the canvas size, opaque white unless filled otherwise.
  Layer& Start(Size size, uint32_t fill = 0xFFFFFFFFu) {
    canvas.InitWithLayer(MakeLayer(size, fill));
    canvas.ComposeAll();
    return *canvas.ActiveLayer();
  }
  void FillPattern(Layer& layer) {
    for (int32_t y = 0; y < layer.Height(); ++y)
      for (int32_t x = 0; x < layer.Width(); ++x) layer.Row(y)[x] = PatternAt(x, y);
  }
  size_t Steps() const { return canvas.ActiveLayer()->Undo().StepCount(); }

  TempFolder folder;
  test::ScopedEnv home{"VARNEL_HOME", folder.Path().string()};
  RecordingHost host;
  ScopedHost scoped{host};
  Canvas canvas;
};

// ---- selection ----------------------------------------------------------------------------

TEST_F(PictureCommandsTest, SelectAllCoversTheCanvasWithFullStrengthAsOneUndoStep) {
  Start({640, 480});
  ASSERT_EQ(SelectAll(canvas), 0);
  ASSERT_EQ(SelectionBounds(canvas), (Rect{0, 0, 639, 479}));
  const Region& selection = *canvas.Selection();
  for (int32_t r = 0; r < selection.Height(); ++r)
    ASSERT_TRUE(std::all_of(selection.Row(r), selection.Row(r) + 640, [](uint8_t b) { return b == 255; })) << r;
  EXPECT_EQ(Steps(), 1u);
  canvas.Undo();
  EXPECT_EQ(canvas.Selection(), nullptr);
}

TEST_F(PictureCommandsTest, DeselectCanBeUndone) {
  Start({8, 8});
  EXPECT_EQ(Deselect(canvas), -1);
  EXPECT_EQ(Steps(), 0u);
  canvas.SetSelection(MakeRegion({1, 1, 2, 2}, 255));
  EXPECT_EQ(Deselect(canvas), 0);
  EXPECT_EQ(canvas.Selection(), nullptr);
  canvas.Undo();
  EXPECT_EQ(SelectionBounds(canvas), (Rect{1, 1, 2, 2}));
}

TEST_F(PictureCommandsTest, InvertSelectionComplementsWithinTheCanvas) {
  Start({10, 10});
  auto region = MakeRegion({2, 2, 4, 4}, 255);
  region->Row(1)[1] = 100;  // (3, 3)
  canvas.SetSelection(std::move(region));
  ASSERT_EQ(InvertSelection(canvas), 0);
  const Region& inverted = *canvas.Selection();
  EXPECT_EQ(inverted.Bounds(), (Rect{0, 0, 9, 9}));
  EXPECT_EQ(inverted.At(0, 0), 255);
  EXPECT_EQ(inverted.At(2, 2), 0);
  EXPECT_EQ(inverted.At(3, 3), 155);
  EXPECT_EQ(Steps(), 1u);
  // Inverting the whole canvas leaves nothing; inverting nothing does nothing.
  ASSERT_EQ(SelectAll(canvas), 0);
  ASSERT_EQ(InvertSelection(canvas), 0);
  EXPECT_EQ(canvas.Selection(), nullptr);
  EXPECT_EQ(InvertSelection(canvas), -1);
  EXPECT_EQ(Steps(), 3u);
}

TEST_F(PictureCommandsTest, AlphaToSelectionTakesTheAlphaAtTheLayersPlaceTrimmed) {
  Start({20, 20});
  canvas.AppendLayer(MakeLayer({6, 5}, 0x00FFFFFFu, 3, 2), false);
  canvas.SetActiveLayer(1);
  Layer& layer = *canvas.ActiveLayer();
  layer.Row(1)[2] = 0x40000000u;  // canvas (5, 3)
  layer.Row(3)[4] = 0xFF123456u;  // canvas (7, 5)
  ASSERT_EQ(AlphaToSelection(canvas), 0);
  ASSERT_EQ(SelectionBounds(canvas), (Rect{5, 3, 7, 5}));
  EXPECT_EQ(canvas.Selection()->At(5, 3), 0x40);
  EXPECT_EQ(canvas.Selection()->At(7, 5), 0xFF);
  EXPECT_EQ(canvas.Selection()->At(6, 4), 0);
  EXPECT_EQ(Steps(), 1u);
}

TEST_F(PictureCommandsTest, GrowAndShrinkAreOnePixelHardEdgedSteps) {
  Start({16, 16});
  canvas.SetSelection(MakeRegion({5, 5, 5, 5}, 90));
  ASSERT_EQ(GrowSelection(canvas), 0);
  ASSERT_EQ(SelectionBounds(canvas), (Rect{4, 4, 6, 6}));
  const uint8_t plus[3][3] = {{0, 255, 0}, {255, 255, 255}, {0, 255, 0}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(canvas.Selection()->At(4 + x, 4 + y), plus[y][x]) << x << "," << y;

  canvas.SetSelection(MakeRegion({1, 1, 3, 3}, 255));
  ASSERT_EQ(ShrinkSelection(canvas), 0);
  EXPECT_EQ(SelectionBounds(canvas), (Rect{2, 2, 2, 2}));
  canvas.SetSelection(MakeRegion({1, 1, 2, 2}, 255));
  ASSERT_EQ(ShrinkSelection(canvas), 0);
  EXPECT_EQ(canvas.Selection(), nullptr);
  EXPECT_EQ(Steps(), 3u);
  canvas.Undo();
  EXPECT_EQ(SelectionBounds(canvas), (Rect{1, 1, 2, 2}));
}

TEST_F(PictureCommandsTest, FeatherSoftensWithTheConeAndIgnoresSmallDiameters) {
  Start({16, 16});
  canvas.SetSelection(MakeRegion({5, 5, 5, 5}, 255));
  EXPECT_EQ(FeatherSelection(canvas, 1), -1);
  EXPECT_EQ(Steps(), 0u);
  ASSERT_EQ(FeatherSelection(canvas, 2), 0);
  // d = 2: r = 1, weights 256 − 256q for q = (j − 1)² + (i − 1)², so only cells with q <= 1
  // count: (1,1) 256, (0,1) and (1,0) 0 — the table is {0,0;0,256}: W = 256 for every pixel.
  // Destination (x, y) sees source (x − 1 + i, y − 1 + j); the one weighted cell is (x, y).
  EXPECT_EQ(canvas.Selection()->At(5, 5), 255);
  EXPECT_EQ(SelectionBounds(canvas), (Rect{5, 5, 5, 5}));
  // d = 3: r = 2, r² = 4; cell (i, j) weighs 256 − 64q: (2,2) 256, (1,2) and (2,1) 192, (1,1) 128,
  // all others 0, so W = 768. Destination (x, y) sees source (5, 5) through cell (6 − x, 6 − y).
  ASSERT_EQ(FeatherSelection(canvas, 3), 0);
  ASSERT_EQ(SelectionBounds(canvas), (Rect{4, 4, 5, 5}));
  EXPECT_EQ(canvas.Selection()->At(4, 4), 85);  // (384 + 256 × 255) ÷ 768
  EXPECT_EQ(canvas.Selection()->At(5, 4), 64);  // (384 + 192 × 255) ÷ 768
  EXPECT_EQ(canvas.Selection()->At(4, 5), 64);
  EXPECT_EQ(canvas.Selection()->At(5, 5), 43);  // (384 + 128 × 255) ÷ 768
  EXPECT_EQ(Steps(), 2u);
}

TEST_F(PictureCommandsTest, SavedSelectionLoadsBackAndLandsAtTheOrigin) {
  Start({640, 480});
  auto far = MakeRegion({5000, 10, 5003, 12}, 200);
  ASSERT_EQ(SaveRegionFile(folder.File("far.vrd"), *far), 0);
  ASSERT_EQ(LoadSelection(canvas, folder.File("far.vrd")), 0);
  EXPECT_EQ(SelectionBounds(canvas), (Rect{0, 10, 3, 12}));
  EXPECT_EQ(canvas.Selection()->At(0, 10), 200);

  auto low = MakeRegion({7, 480, 8, 481}, 255);
  ASSERT_EQ(SaveRegionFile(folder.File("low.vrd"), *low), 0);
  ASSERT_EQ(LoadSelection(canvas, folder.File("low.vrd")), 0);
  EXPECT_EQ(SelectionBounds(canvas), (Rect{7, 0, 8, 1}));
  EXPECT_EQ(Steps(), 2u);

  ASSERT_EQ(SaveSelection(canvas, folder.File("again.vrd")), 0);
  Region read;
  ASSERT_EQ(LoadRegionFile(folder.File("again.vrd"), read), 0);
  EXPECT_EQ(read.Bounds(), (Rect{7, 0, 8, 1}));
  canvas.Undo();
  EXPECT_EQ(SelectionBounds(canvas), (Rect{0, 10, 3, 12}));
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(PictureCommandsTest, ABrokenRegionFileKeepsTheSelectionAndSaysSo) {
  Start({32, 32});
  canvas.SetSelection(MakeRegion({1, 2, 3, 4}, 255));
  WriteBytes(folder.File("bad.vrd"), {'V', 'R', 'D', 'X', 0, 0});
  EXPECT_EQ(LoadSelection(canvas, folder.File("bad.vrd")), -1);
  EXPECT_EQ(LoadSelection(canvas, folder.File("missing.vrd")), -1);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].text, "選択領域が読み込めません");
  EXPECT_EQ(SelectionBounds(canvas), (Rect{1, 2, 3, 4}));
  EXPECT_EQ(Steps(), 0u);
}

TEST_F(PictureCommandsTest, SavingWithoutSelectionWritesNothingAndAFailedWriteSaysSo) {
  Start({8, 8});
  EXPECT_EQ(SaveSelection(canvas, folder.File("none.vrd")), -1);
  EXPECT_FALSE(fs::exists(folder.File("none.vrd")));
  EXPECT_TRUE(host.boxes.empty());
  canvas.SetSelection(MakeRegion({0, 0, 1, 1}, 255));
  EXPECT_EQ(SaveSelection(canvas, folder.File("no/such/folder.vrd")), -1);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "選択領域を保存できません");
}

TEST_F(PictureCommandsTest, TheSelectionGoesIntoTheMaskListDisabled) {
  Start({8, 8});
  EXPECT_EQ(AddSelectionToMaskList(canvas), -1);
  canvas.SetSelection(MakeRegion({2, 2, 5, 5}, 128));
  EXPECT_EQ(AddSelectionToMaskList(canvas), 0);
  const LayerMaskList& masks = canvas.ActiveLayer()->Masks();
  ASSERT_EQ(masks.Count(), 1);
  EXPECT_FALSE(masks.IsEnabled(0));
  Region back;
  ASSERT_EQ(masks.ReadMask(0, back), 0);
  EXPECT_EQ(back.Bounds(), (Rect{2, 2, 5, 5}));
  EXPECT_EQ(back.At(3, 3), 128);
}

// ---- pixels of the active layer -----------------------------------------------------------

TEST_F(PictureCommandsTest, SelectionToAlphaWritesCoverageAndZeroOutsideKeepingColour) {
  Layer& layer = Start({4, 1}, 0xFF102030u);
  auto region = MakeRegion({1, 0, 2, 0}, 255);
  region->Row(0)[1] = 128;
  canvas.SetSelection(std::move(region));
  ASSERT_EQ(SelectionToAlpha(canvas), 0);
  EXPECT_EQ(PixelAt(layer, 0, 0), 0x00102030u);
  EXPECT_EQ(PixelAt(layer, 1, 0), 0xFF102030u);
  EXPECT_EQ(PixelAt(layer, 2, 0), 0x80102030u);
  EXPECT_EQ(PixelAt(layer, 3, 0), 0x00102030u);
  EXPECT_EQ(Steps(), 1u);
  canvas.Undo();
  for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(layer, x, 0), 0xFF102030u);
  canvas.ClearSelection();
  EXPECT_EQ(SelectionToAlpha(canvas), -1);
}

TEST_F(PictureCommandsTest, FillBlendsByCoverageAsAStrokeThroughTheSelection) {
  Layer& layer = Start({4, 1}, 0xFF000000u);
  layer.Row(0)[3] = 0x00000000u;
  auto region = MakeRegion({0, 0, 3, 0}, 255);
  region->Row(0)[1] = 128;
  region->Row(0)[2] = 0;
  region->Row(0)[3] = 128;
  canvas.SetSelection(std::move(region));
  ASSERT_EQ(FillSelection(canvas, 0xFFFFFFFFu), 0);
  EXPECT_EQ(PixelAt(layer, 0, 0), 0xFFFFFFFFu);
  // 0 + (255 × 128) >> 8 = 127 for each colour; alpha 255 stays.
  EXPECT_EQ(PixelAt(layer, 1, 0), 0xFF7F7F7Fu);
  EXPECT_EQ(PixelAt(layer, 2, 0), 0xFF000000u);
  // Over a transparent pixel: alpha 0 + (255 × 128) >> 8 = 127, the colour is the fill's.
  EXPECT_EQ(PixelAt(layer, 3, 0), 0x7FFFFFFFu);
  EXPECT_EQ(Steps(), 1u);
  EXPECT_EQ(PixelAt(canvas.Composite(), 0, 0), 0xFFFFFFFFu);
  canvas.ClearSelection();
  EXPECT_EQ(FillSelection(canvas, 0xFF00FF00u), -1);
  EXPECT_EQ(Steps(), 1u);
}

struct ChannelCase {
  const char* name;
  Channel channel;
  uint32_t cleared;   // of 0xC8A0B0C0 (alpha 0xC8, red 0xA0, green 0xB0, blue 0xC0)
  uint32_t inverted;
  uint32_t halfCleared;  // with coverage 128
  uint32_t halfInverted;
};

// With coverage 128: clear v + ((0 − v) × 128) >> 8, invert v + ((255 − 2v) × 128) >> 8 (floored).
//   0xA0 = 160: clear 80 (0x50), invert 160 + floor(−65 / 2) = 127 (0x7F)
//   0xB0 = 176: clear 88 (0x58), invert 176 + floor(−97 / 2) = 127 (0x7F)
//   0xC0 = 192: clear 96 (0x60), invert 192 + floor(−129 / 2) = 127 (0x7F)
//   0xC8 = 200: clear 100 (0x64), invert 200 + floor(−145 / 2) = 127 (0x7F)
const ChannelCase kChannelCases[] = {
    {"red", Channel::kRed, 0xC800B0C0u, 0xC85FB0C0u, 0xC850B0C0u, 0xC87FB0C0u},
    {"green", Channel::kGreen, 0xC8A000C0u, 0xC8A04FC0u, 0xC8A058C0u, 0xC8A07FC0u},
    {"blue", Channel::kBlue, 0xC8A0B000u, 0xC8A0B03Fu, 0xC8A0B060u, 0xC8A0B07Fu},
    {"alpha", Channel::kAlpha, 0x00A0B0C0u, 0x37A0B0C0u, 0x64A0B0C0u, 0x7FA0B0C0u},
};

TEST_F(PictureCommandsTest, ChannelClearAndInvertChangeOneChannel) {
  for (const ChannelCase& c : kChannelCases) {
    SCOPED_TRACE(c.name);
    Canvas fresh;
    fresh.InitWithLayer(MakeLayer({3, 1}, 0xC8A0B0C0u));
    Layer& layer = *fresh.ActiveLayer();
    ASSERT_EQ(ClearChannel(fresh, c.channel), 0);
    EXPECT_EQ(PixelAt(layer, 0, 0), c.cleared);
    fresh.Undo();
    ASSERT_EQ(InvertChannel(fresh, c.channel), 0);
    EXPECT_EQ(PixelAt(layer, 2, 0), c.inverted);
    fresh.Undo();
    EXPECT_EQ(PixelAt(layer, 2, 0), 0xC8A0B0C0u);
    auto region = MakeRegion({0, 0, 1, 0}, 128);
    region->Row(0)[1] = 255;
    fresh.SetSelection(std::move(region));
    ASSERT_EQ(ClearChannel(fresh, c.channel), 0);
    EXPECT_EQ(PixelAt(layer, 0, 0), c.halfCleared);
    EXPECT_EQ(PixelAt(layer, 1, 0), c.cleared);
    EXPECT_EQ(PixelAt(layer, 2, 0), 0xC8A0B0C0u);  // outside the selection
    fresh.Undo();
    ASSERT_EQ(InvertChannel(fresh, c.channel), 0);
    EXPECT_EQ(PixelAt(layer, 0, 0), c.halfInverted);
    EXPECT_EQ(PixelAt(layer, 1, 0), c.inverted);
    EXPECT_EQ(PixelAt(layer, 2, 0), 0xC8A0B0C0u);
    EXPECT_EQ(layer.Undo().StepCount(), 1u);  // each undone step gave way to the next command
  }
}

TEST_F(PictureCommandsTest, InvertingAChannelTwiceGivesTheLayerBack) {
  Layer& layer = Start({37, 21});
  FillPattern(layer);
  for (const Channel channel : {Channel::kRed, Channel::kGreen, Channel::kBlue, Channel::kAlpha}) {
    ASSERT_EQ(InvertChannel(canvas, channel), 0);
    ASSERT_EQ(InvertChannel(canvas, channel), 0);
  }
  for (int32_t y = 0; y < layer.Height(); ++y)
    for (int32_t x = 0; x < layer.Width(); ++x) ASSERT_EQ(layer.Row(y)[x], PatternAt(x, y)) << x << "," << y;
}

TEST_F(PictureCommandsTest, ChannelCommandsFollowTheLayersOffset) {
  Start({20, 20});
  canvas.AppendLayer(MakeLayer({4, 4}, 0xFF808080u, 5, 5), false);
  canvas.SetActiveLayer(1);
  canvas.SetSelection(MakeRegion({5, 5, 5, 5}, 255));  // the layer's pixel (0, 0)
  ASSERT_EQ(ClearChannel(canvas, Channel::kRed), 0);
  EXPECT_EQ(PixelAt(*canvas.ActiveLayer(), 0, 0), 0xFF008080u);
  EXPECT_EQ(PixelAt(*canvas.ActiveLayer(), 1, 0), 0xFF808080u);
  canvas.SetSelection(MakeRegion({0, 0, 2, 2}, 255));  // beside the layer
  EXPECT_EQ(ClearChannel(canvas, Channel::kGreen), -1);
  EXPECT_EQ(canvas.ActiveLayer()->Undo().StepCount(), 1u);
}

TEST_F(PictureCommandsTest, UnifyAlphaSetsEveryAlphaAndRefusesValuesOutOfRange) {
  Layer& layer = Start({5, 3});
  FillPattern(layer);
  ASSERT_EQ(UnifyAlpha(canvas, 77), 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(layer.Row(y)[x], (PatternAt(x, y) & 0x00FFFFFFu) | 0x4D000000u);
  EXPECT_EQ(UnifyAlpha(canvas, 256), -1);
  EXPECT_EQ(UnifyAlpha(canvas, -1), -1);
  EXPECT_EQ(Steps(), 1u);
}

// ---- new layers ----------------------------------------------------------------------------

TEST_F(PictureCommandsTest, SelectionToLayerCutsThePartWithCoverageOnAlpha) {
  Start({20, 20});
  canvas.AppendLayer(MakeLayer({10, 10}, 0xC8112233u, 2, 3), false);
  canvas.SetActiveLayer(1);
  canvas.GetLayer(1)->SetBlendMode(BlendMode::kAdd);
  canvas.GetLayer(1)->SetOpacity(60);
  auto region = MakeRegion({4, 5, 6, 6}, 255);
  region->Row(1)[2] = 128;  // canvas (6, 6)
  canvas.SetSelection(std::move(region));
  const int32_t counter = canvas.LayerCounter();
  Layer* made = SelectionToLayer(canvas);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(canvas.LayerCount(), 3);
  EXPECT_EQ(canvas.GetLayer(2), made);
  EXPECT_EQ(canvas.ActiveLayer(), made);
  EXPECT_EQ(made->Name(), "レイヤ" + std::to_string(counter));
  EXPECT_EQ(made->GetSize(), (Size{3, 2}));
  EXPECT_EQ(made->OffsetX(), 4);
  EXPECT_EQ(made->OffsetY(), 5);
  EXPECT_EQ(made->BlendMode(), BlendMode::kAdd);
  EXPECT_EQ(made->Opacity(), 60);
  EXPECT_EQ(PixelAt(*made, 0, 0), 0xC8112233u);
  // ((128 + 1) × 200) >> 8 = 100
  EXPECT_EQ(PixelAt(*made, 2, 1), 0x64112233u);
  EXPECT_EQ(made->Undo().StepCount(), 0u);
  EXPECT_EQ(canvas.GetLayer(1)->Undo().StepCount(), 0u);  // the source is not touched
}

TEST_F(PictureCommandsTest, SelectionToLayerWithoutSelectionCopiesTheWholeLayer) {
  Layer& base = Start({6, 4});
  FillPattern(base);
  base.SetOffset(-2, 1);
  Layer* made = SelectionToLayer(canvas);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetSize(), (Size{6, 4}));
  EXPECT_EQ(made->OffsetX(), -2);
  EXPECT_EQ(made->OffsetY(), 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(PixelAt(*made, x, y), PatternAt(x, y));
  // A selection beside the layer gives nothing.
  canvas.SetActiveLayer(0);
  canvas.SetSelection(MakeRegion({10, 10, 12, 12}, 255));
  EXPECT_EQ(SelectionToLayer(canvas), nullptr);
  EXPECT_EQ(canvas.LayerCount(), 2);
}

TEST_F(PictureCommandsTest, ChannelToLayerMakesAGreyPicture) {
  struct Case {
    Channel channel;
    uint32_t expected;  // of 0x80112233
  };
  const Case cases[] = {{Channel::kRed, 0x80111111u},
                        {Channel::kGreen, 0x80222222u},
                        {Channel::kBlue, 0x80333333u},
                        {Channel::kAlpha, 0xFF808080u}};
  Start({3, 2}, 0x80112233u);
  canvas.ActiveLayer()->SetOffset(4, 1);
  for (const Case& c : cases) {
    canvas.SetActiveLayer(0);
    Layer* made = ChannelToLayer(canvas, c.channel);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(canvas.ActiveLayer(), made);
    EXPECT_EQ(made->GetSize(), (Size{3, 2}));
    EXPECT_EQ(made->OffsetX(), 4);
    EXPECT_EQ(PixelAt(*made, 2, 1), c.expected) << static_cast<int>(c.channel);
  }
  EXPECT_EQ(canvas.LayerCount(), 5);
}

TEST_F(PictureCommandsTest, APastedPictureBecomesANamedActiveLayer) {
  Start({10, 10});
  ImageSurface picture;
  ASSERT_EQ(picture.Create({3, 2}), 0);
  picture.Row(1)[2] = 0x7F010203u;
  const int32_t counter = canvas.LayerCounter();
  Layer* made = PasteImageAsLayer(canvas, picture);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->Name(), "レイヤ" + std::to_string(counter));
  EXPECT_EQ(canvas.ActiveLayer(), made);
  EXPECT_EQ(PixelAt(*made, 2, 1), 0x7F010203u);
  EXPECT_EQ(PixelAt(*made, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(made->Undo().StepCount(), 0u);
}

TEST_F(PictureCommandsTest, PastingALayerListAddsEveryLayerAndTheLastIsActive) {
  Start({10, 10});
  auto a = MakeLayer({2, 2}, 0xFF0000FFu, 1, 1);
  a->SetName("甲");
  auto b = MakeLayer({3, 1}, 0x8000FF00u, 4, 5);
  b->SetName("乙");
  ASSERT_EQ(WriteLayerList(folder.File("list.vlb"), {a.get(), b.get()}), 0);
  EXPECT_EQ(PasteLayerFile(canvas, folder.File("list.vlb")), 2);
  ASSERT_EQ(canvas.LayerCount(), 3);
  EXPECT_EQ(canvas.GetLayer(1)->Name(), "甲");
  EXPECT_EQ(canvas.GetLayer(2)->Name(), "乙");
  EXPECT_EQ(canvas.ActiveIndex(), 2);
  EXPECT_EQ(canvas.GetLayer(2)->OffsetX(), 4);
  EXPECT_EQ(PixelAt(canvas.Composite(), 1, 1), 0xFF0000FFu);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(PictureCommandsTest, ABrokenLayerListPastesNothing) {
  Start({10, 10});
  auto a = MakeLayer({2, 2}, 0xFF0000FFu);
  ASSERT_EQ(WriteLayerList(folder.File("list.vlb"), {a.get(), a.get()}), 0);
  std::vector<uint8_t> bytes = ReadBytes(folder.File("list.vlb"));
  bytes.resize(bytes.size() - 3);  // the second record breaks off
  WriteBytes(folder.File("cut.vlb"), bytes);
  EXPECT_EQ(PasteLayerFile(canvas, folder.File("cut.vlb")), -1);
  EXPECT_EQ(PasteLayerFile(canvas, folder.File("missing.vlb")), -1);
  EXPECT_EQ(canvas.LayerCount(), 1);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].text, "画像が読み込めません");
}

// ---- clipboard -----------------------------------------------------------------------------

TEST(LayerDataBlock, HoldsTheLengthThePathAndItsZero) {
  const std::vector<uint8_t> expected{5, 0, 0, 0, '/', 'a', '/', 'b', 0};
  EXPECT_EQ(MakeLayerDataBlock("/a/b"), expected);
  EXPECT_EQ(ParseLayerDataBlock(expected), std::optional<std::string>("/a/b"));
  const std::string longest = "/" + std::string(kMaxLayerDataPath - 2, 'x');
  const std::vector<uint8_t> block = MakeLayerDataBlock(longest);
  ASSERT_EQ(block.size(), 4 + kMaxLayerDataPath);
  EXPECT_EQ(ParseLayerDataBlock(block), longest);
  EXPECT_TRUE(MakeLayerDataBlock(longest + "x").empty());
  EXPECT_TRUE(MakeLayerDataBlock(std::string("/a\0b", 4)).empty());
}

TEST(LayerDataBlock, ParserRejectsEveryMalformedBlock) {
  struct Case {
    const char* name;
    std::vector<uint8_t> block;
  };
  std::vector<uint8_t> tooLong{0x01, 0x10, 0, 0, '/'};  // 4097
  tooLong.resize(4 + 4097, 'x');
  tooLong.back() = 0;
  const Case cases[] = {
      {"empty", {}},
      {"length cut short", {5, 0, 0}},
      {"no path", {1, 0, 0, 0, 0}},
      {"length beyond the block", {6, 0, 0, 0, '/', 'a', '/', 'b', 0}},
      {"length short of the block", {4, 0, 0, 0, '/', 'a', '/', 'b', 0}},
      {"no terminator", {4, 0, 0, 0, '/', 'a', '/', 'b'}},
      {"last byte not zero", {4, 0, 0, 0, '/', 'a', 'b', 'c'}},
      {"embedded zero", {5, 0, 0, 0, '/', 0, '/', 'b', 0}},
      {"relative path", {4, 0, 0, 0, 'a', '/', 'b', 0}},
      {"huge length", {0xFF, 0xFF, 0xFF, 0xFF, '/', 0}},
      {"longer than allowed", tooLong},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseLayerDataBlock(c.block), std::nullopt) << c.name;
}

TEST_F(PictureCommandsTest, CopyWritesThePartAndTheBlockNamesIt) {
  Layer& layer = Start({8, 8});
  FillPattern(layer);
  auto region = MakeRegion({2, 3, 4, 3}, 255);
  region->Row(0)[0] = 128;
  canvas.SetSelection(std::move(region));
  const std::optional<std::vector<uint8_t>> block = CopyLayerData(canvas);
  ASSERT_TRUE(block);
  const std::string path = (folder.Path() / "cachedData.vlb").string();
  EXPECT_EQ(ParseLayerDataBlock(*block), path);
  LayerList read;
  ASSERT_EQ(ReadLayerList(path, read), 0);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0]->GetSize(), (Size{3, 1}));
  EXPECT_EQ(read[0]->OffsetX(), 2);
  EXPECT_EQ(read[0]->OffsetY(), 3);
  const uint32_t p = PatternAt(2, 3);
  EXPECT_EQ(PixelAt(*read[0], 0, 0), (p & 0x00FFFFFFu) | ((129 * (p >> 24)) >> 8) << 24);
  EXPECT_EQ(PixelAt(*read[0], 2, 0), PatternAt(4, 3));
  EXPECT_EQ(Steps(), 0u);
  // Pasting the block gives the part back as a layer.
  EXPECT_EQ(PasteLayerData(canvas, *block), 1);
  EXPECT_EQ(canvas.LayerCount(), 2);
}

TEST_F(PictureCommandsTest, CutClearsThePartByCoverageAsOneStep) {
  Layer& layer = Start({4, 1}, 0xFF804020u);
  auto region = MakeRegion({0, 0, 1, 0}, 255);
  region->Row(0)[1] = 128;
  canvas.SetSelection(std::move(region));
  ASSERT_TRUE(CutLayerData(canvas));
  EXPECT_EQ(PixelAt(layer, 0, 0), 0x00000000u);
  // v + ((0 − v) × 128) >> 8: 255 → 127, 0x80 → 0x40, 0x40 → 0x20, 0x20 → 0x10.
  EXPECT_EQ(PixelAt(layer, 1, 0), 0x7F402010u);
  EXPECT_EQ(PixelAt(layer, 2, 0), 0xFF804020u);
  EXPECT_EQ(Steps(), 1u);
  canvas.Undo();
  EXPECT_EQ(PixelAt(layer, 0, 0), 0xFF804020u);
  EXPECT_TRUE(fs::exists(folder.File("cachedData.vlb")));
}

TEST_F(PictureCommandsTest, CutClearsNothingWhenTheCopyCannotBeWritten) {
  Layer& layer = Start({4, 1}, 0xFF804020u);
  // A missing program folder sends the copy to the data folder, which a file stands in the way of.
  std::ofstream(folder.File("blocker")) << "x";
  test::ScopedEnv nowhere{"VARNEL_HOME", folder.File("missing")};
  test::ScopedEnv noData{"XDG_DATA_HOME", folder.File("blocker")};
  EXPECT_THROW(CutLayerData(canvas), FileError);
  EXPECT_EQ(PixelAt(layer, 0, 0), 0xFF804020u);
  EXPECT_EQ(Steps(), 0u);
}

TEST_F(PictureCommandsTest, BitmapCopiesAreThePartAndTheComposite) {
  Layer& layer = Start({5, 5}, 0xFF336699u);
  layer.SetOffset(1, 1);
  canvas.ComposeAll();
  canvas.SetSelection(MakeRegion({0, 0, 2, 2}, 255));
  std::unique_ptr<ImageSurface> part = SelectionBitmap(canvas);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->GetSize(), (Size{2, 2}));  // the selection cut to the layer
  EXPECT_EQ(PixelAt(*part, 0, 0), 0xFF336699u);
  std::unique_ptr<ImageSurface> shown = CompositeCopy(canvas);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->GetSize(), (Size{5, 5}));
  EXPECT_EQ(PixelAt(*shown, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(PixelAt(*shown, 1, 1), 0xFF336699u);
}

// ---- files of the program folder -----------------------------------------------------------

TEST_F(PictureCommandsTest, EmptyingTheQuickSaveFolderDeletesOnlyLayerFilesDirectlyInIt) {
  EXPECT_EQ(EmptyQuickSaveFolder(), -1);  // no Save folder yet
  const fs::path save = folder.Path() / "Save";
  fs::create_directories(save / "sub.VLB");
  for (const char* name : {"Y2005M 3D 7H 9M 5S 2.VLB", "b.vlb", "c.Vlb", "notes.txt", "d.VLB.bak", "VLB",
                           "sub.VLB/inner.VLB"})
    std::ofstream(save / name) << "x";
  std::ofstream(folder.Path() / "outside.VLB") << "x";
  fs::create_symlink(folder.Path() / "outside.VLB", save / "link.VLB");
  EXPECT_EQ(EmptyQuickSaveFolder(), 3);
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(save)) left.push_back(entry.path().lexically_relative(save).string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"VLB", "d.VLB.bak", "link.VLB", "notes.txt", "sub.VLB",
                                            "sub.VLB/inner.VLB"}));
  EXPECT_TRUE(fs::exists(folder.Path() / "outside.VLB"));
  EXPECT_EQ(EmptyQuickSaveFolder(), 0);
}

TEST_F(PictureCommandsTest, TheCloneSourceIsTheActiveLayerAsALayerList) {
  Layer& layer = Start({3, 2});
  FillPattern(layer);
  layer.SetName("元");
  ASSERT_EQ(WriteCloneSource(canvas), 0);
  LayerList read;
  ASSERT_EQ(ReadLayerList(folder.File("cloneSource.vlb"), read), 0);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0]->Name(), "元");
  EXPECT_EQ(PixelAt(*read[0], 2, 1), PatternAt(2, 1));
}

TEST_F(PictureCommandsTest, SavingTheActiveLayerWritesThatLayerOnly) {
  Start({12, 10}, 0xFF000000u);
  canvas.AppendLayer(MakeLayer({3, 2}, 0xFF0000FFu, 4, 4), false);
  canvas.SetActiveLayer(1);
  canvas.ComposeAll();
  ASSERT_EQ(SaveActiveLayer(folder.File("one.vlb"), canvas, GridSettings{}), SaveResult::kWritten);
  LayerList layers;
  Size size{};
  GridSettings grid;
  ASSERT_EQ(ReadLayerFile(folder.File("one.vlb"), layers, size, grid), 0);
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(layers[0]->GetSize(), (Size{3, 2}));
  EXPECT_EQ(size, (Size{12, 10}));
  ASSERT_EQ(SaveActiveLayer(folder.File("one.bmp"), canvas, GridSettings{}), SaveResult::kWritten);
  ImageSurface bitmap;
  std::string message;
  ASSERT_EQ(ReadBitmapFile(folder.File("one.bmp"), bitmap, message), 0);
  EXPECT_EQ(bitmap.GetSize(), (Size{3, 2}));
  EXPECT_EQ(PixelAt(bitmap, 0, 0), 0xFF0000FFu);
  EXPECT_TRUE(host.boxes.empty());
}

// ---- information ---------------------------------------------------------------------------

TEST_F(PictureCommandsTest, PictureInformationLines) {
  Start({640, 480});
  canvas.AppendLayer(MakeLayer({100, 50}, 0xFFFFFFFFu, 10, -5), false);
  canvas.SetActiveLayer(1);
  Layer& layer = *canvas.ActiveLayer();
  layer.SetName("下絵");
  layer.SetOpacity(80);
  canvas.SetSelection(MakeRegion({1, 2, 30, 40}, 255));
  const PictureInfo info = GetPictureInfo(canvas, "/home/a/picture.vlb");
  EXPECT_EQ(info.layerCount, 2);
  EXPECT_EQ(info.activeIndex, 1);
  EXPECT_EQ(PictureInfoText(info),
            "キャンバスサイズ: 640 × 480\n"
            "レイヤ数: 2\n"
            "アクティブレイヤ: 下絵 (レイヤ番号 1)\n"
            "  サイズ: 100 × 50\n"
            "  位置: (10, -5)\n"
            "  合成モード: 合成\n"
            "  不透明度: 80\n"
            "  表示: する\n"
            "  レイヤマスク: 0\n"
            "選択範囲: (1, 2) - (30, 40) (30 × 39)\n"
            "ファイル: /home/a/picture.vlb");
  canvas.ClearSelection();
  const std::string unsaved = PictureInfoText(GetPictureInfo(canvas, ""));
  EXPECT_NE(unsaved.find("選択範囲: なし\nファイル: (未保存)"), std::string::npos);
}

TEST_F(PictureCommandsTest, StatisticsOfAKnownPicture) {
  Layer& layer = Start({4, 1});
  // red 10, 20, 20, 50; green 0, 0, 255, 255; blue 7 everywhere; alpha 255, 255, 255, 0.
  const uint32_t pixels[4] = {0xFF0A0007u, 0xFF140007u, 0xFF14FF07u, 0x0032FF07u};
  std::copy(pixels, pixels + 4, layer.Row(0));
  const std::optional<PictureStatistics> s = ComputeStatistics(canvas);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->pixelCount, 4u);
  EXPECT_FALSE(s->withinSelection);
  const ChannelStatistics& red = s->channels[0];
  EXPECT_DOUBLE_EQ(red.average, 25.0);
  EXPECT_EQ(red.mode, 20);
  EXPECT_DOUBLE_EQ(red.standardDeviation, 15.0);  // sqrt((225 + 25 + 25 + 625) / 4)
  EXPECT_EQ(red.minimum, 10);
  EXPECT_EQ(red.maximum, 50);
  const ChannelStatistics& green = s->channels[1];
  EXPECT_DOUBLE_EQ(green.average, 127.5);
  EXPECT_EQ(green.mode, 0);  // a tie goes to the smaller value
  EXPECT_DOUBLE_EQ(green.standardDeviation, 127.5);
  const ChannelStatistics& blue = s->channels[2];
  EXPECT_EQ(blue.mode, 7);
  EXPECT_DOUBLE_EQ(blue.standardDeviation, 0.0);
  EXPECT_EQ(blue.minimum, 7);
  EXPECT_EQ(blue.maximum, 7);
  const ChannelStatistics& alpha = s->channels[3];
  EXPECT_DOUBLE_EQ(alpha.average, 191.25);
  EXPECT_EQ(alpha.mode, 255);
  EXPECT_NEAR(alpha.standardDeviation, std::sqrt((3 * 63.75 * 63.75 + 191.25 * 191.25) / 4), 1e-9);

  EXPECT_EQ(StatisticsText(*s),
            "レイヤ全体 (4 ピクセル)\n"
            "赤: 平均 25.00  最頻値 20  標準偏差 15.00  範囲 10 - 50\n"
            "緑: 平均 127.50  最頻値 0  標準偏差 127.50  範囲 0 - 255\n"
            "青: 平均 7.00  最頻値 7  標準偏差 0.00  範囲 7 - 7\n"
            "アルファ: 平均 191.25  最頻値 255  標準偏差 110.42  範囲 0 - 255");

  // Within a selection: the pixels with any coverage, each once.
  auto region = MakeRegion({1, 0, 3, 0}, 1);
  region->Row(0)[1] = 0;
  canvas.SetSelection(std::move(region));
  const std::optional<PictureStatistics> within = ComputeStatistics(canvas);
  ASSERT_TRUE(within);
  EXPECT_TRUE(within->withinSelection);
  EXPECT_EQ(within->pixelCount, 2u);
  EXPECT_DOUBLE_EQ(within->channels[0].average, 35.0);
  EXPECT_EQ(within->channels[0].minimum, 20);
  canvas.SetSelection(MakeRegion({9, 9, 9, 9}, 255));
  EXPECT_FALSE(ComputeStatistics(canvas));
}

// ---- the area outside the selection --------------------------------------------------------

// One pixel straight from the rule, for comparison with the row-span code.
uint32_t ReferenceShown(int32_t mode, uint32_t v, int32_t x, int32_t y, uint32_t m) {
  if (mode < 1 || mode > 6 || m == 255) return v;
  uint32_t out = v & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const int32_t c = static_cast<int32_t>((v >> shift) & 0xFF);
    int32_t s = 0;
    switch (mode) {
      case kRegionViewInverted: s = 255 - c; break;
      case kRegionViewBlack: s = 0; break;
      case kRegionViewChecker: s = ((x >> 3) + (y >> 3)) % 2 == 0 ? kCheckerLight : kCheckerDark; break;
      case kRegionViewWhite: s = 255; break;
      case kRegionViewDarker: s = c / 2; break;
      case kRegionViewBrighter: s = c + (255 - c) / 2; break;
    }
    const int32_t blended =
        static_cast<int32_t>(std::lround((s * (255.0 - m) + c * static_cast<double>(m)) / 255.0));
    out |= static_cast<uint32_t>(blended) << shift;
  }
  return out;
}

TEST(OutsideSelectionView, EachModeShowsTheOutsideAsDescribed) {
  struct Case {
    int32_t mode;
    uint32_t expected;  // of 0xFF204080 at (0, 0)
  };
  const Case cases[] = {
      {kRegionViewNone, 0xFF204080u},     {kRegionViewInverted, 0xFFDFBF7Fu}, {kRegionViewBlack, 0xFF000000u},
      {kRegionViewChecker, 0xFFFFFFFFu},  {kRegionViewWhite, 0xFFFFFFFFu},    {kRegionViewDarker, 0xFF102040u},
      {kRegionViewBrighter, 0xFF8F9FBFu}, {7, 0xFF204080u},                   {-1, 0xFF204080u},
  };
  Region selection;
  ASSERT_EQ(selection.Create({5, 0, 5, 0}, 255), 0);
  for (const Case& c : cases) {
    uint32_t pixels[6] = {0xFF204080u, 0xFF204080u, 0xFF204080u, 0xFF204080u, 0xFF204080u, 0xFF204080u};
    ShowOutsideSelection(c.mode, &selection, {0, 0, 5, 0}, pixels, 6);
    EXPECT_EQ(pixels[0], c.expected) << c.mode;
    EXPECT_EQ(pixels[5], 0xFF204080u) << c.mode;  // selected
  }
}

TEST(OutsideSelectionView, CheckerCellsAreEightPixelsAndFollowCanvasCoordinates) {
  Region selection;
  ASSERT_EQ(selection.Create({100, 100, 100, 100}, 255), 0);
  // Canvas columns -9 … 16 of row 8.
  std::vector<uint32_t> row(26, 0xFF000000u);
  ShowOutsideSelection(kRegionViewChecker, &selection, {-9, 8, 16, 8}, row.data(), 26);
  for (int32_t i = 0; i < 26; ++i) {
    const int32_t x = i - 9;
    // Row 8 lies in cell row 1, so columns in even cells ([-16, -8), [0, 8), [16, 24)) are dark.
    const bool evenColumnCell = x < -8 || (x >= 0 && x < 8) || x >= 16;
    EXPECT_EQ(row[static_cast<size_t>(i)], evenColumnCell ? 0xFFCCCCCCu : 0xFFFFFFFFu) << x;
  }
}

TEST(OutsideSelectionView, PartialCoverageBlendsAndNoSelectionChangesNothing) {
  Region selection;
  ASSERT_EQ(selection.Create({0, 0, 0, 0}, 128), 0);
  uint32_t pixel = 0xFF808080u;
  // (0 × 127 + 128 × 128) ÷ 255 = 64.25 → 64
  ShowOutsideSelection(kRegionViewBlack, &selection, {0, 0, 0, 0}, &pixel, 1);
  EXPECT_EQ(pixel, 0xFF404040u);
  pixel = 0xFF808080u;
  ShowOutsideSelection(kRegionViewBlack, nullptr, {0, 0, 0, 0}, &pixel, 1);
  EXPECT_EQ(pixel, 0xFF808080u);
}

TEST(OutsideSelectionView, RowSpansMatchThePixelRuleForEveryMode) {
  std::mt19937 random(20261208);
  SCOPED_TRACE("seed 20261208");
  for (int round = 0; round < 20; ++round) {
    Region selection;
    const int32_t left = int32_t(random() % 40) - 10, top = int32_t(random() % 40) - 10;
    ASSERT_EQ(selection.Create({left, top, left + int32_t(random() % 30), top + int32_t(random() % 30)}, 0), 0);
    for (int32_t r = 0; r < selection.Height(); ++r)
      for (int32_t c = 0; c < selection.Width(); ++c) {
        const uint32_t pick = random() % 4;
        selection.Row(r)[c] = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<uint8_t>(random());
      }
    const Rect area{int32_t(random() % 20) - 5, int32_t(random() % 20) - 5, 0, 0};
    const Rect full{area.left, area.top, area.left + 31, area.top + 23};
    std::vector<uint32_t> source(32 * 24);
    for (uint32_t& p : source) p = static_cast<uint32_t>(random());
    for (int32_t mode = 0; mode <= 6; ++mode) {
      // Bottom-up, as the composite lies in memory: the last row first, a negative stride.
      std::vector<uint32_t> shown = source;
      ShowOutsideSelection(mode, &selection, full, shown.data() + 23 * 32, -32);
      for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 32; ++x) {
          const size_t at = static_cast<size_t>((23 - y) * 32 + x);
          const int32_t cx = full.left + x, cy = full.top + y;
          ASSERT_EQ(shown[at], ReferenceShown(mode, source[at], cx, cy, selection.At(cx, cy)))
              << "round " << round << " mode " << mode << " at " << cx << "," << cy;
        }
    }
  }
}

}  // namespace
}  // namespace varnel
