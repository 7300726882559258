// The custom brush: shape resampling, the colour sources of its colour modes, determinism, the
// stroke-count clamp, missing files, and every shipped preset painting.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "brush/brush_factory.h"
#include "brush/brush_preset.h"
#include "brush/brush_stroke.h"
#include "brush/custom_brush.h"
#include "brush_test_support.h"
#include "document/bitmap_file.h"
#include "platform/crt_rand.h"
#include "platform/host.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using brush_test::At;
using brush_test::Grey;
using brush_test::MakeLayer;
using brush_test::Pixels;
using brush_test::Rgb;

const ColourRef kBlack = MakeColourRef(0, 0, 0);

ByteBitmap Bytes(int32_t w, int32_t h, std::vector<uint8_t> bytes) { return {w, h, std::move(bytes)}; }

// A solid black tip: mask 255 everywhere, so a dab over an opaque pixel lays the colour exactly.
CustomBrushFiles SolidTip(std::shared_ptr<ImageSurface> texture = nullptr) {
  CustomBrushFiles files;
  files.shape = Bytes(1, 1, {255});
  files.texture = std::move(texture);
  return files;
}

std::shared_ptr<ImageSurface> Picture(int32_t w, int32_t h, std::vector<uint32_t> pixels) {
  auto picture = std::make_shared<ImageSurface>();
  EXPECT_EQ(picture->Create({w, h}), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) picture->SetPixel(x, y, pixels[static_cast<size_t>(y * w + x)]);
  return picture;
}

TEST(CustomBrushShape, DarknessPaintsAndResamplesByNearestNeighbour) {
  EXPECT_EQ(Darkness(Grey(255)), 0);
  EXPECT_EQ(Darkness(Grey(0)), 255);
  EXPECT_EQ(Darkness(Rgb(255, 0, 0)), 255 - (77 * 255 >> 8));

  const ByteBitmap shape = Bytes(4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
  std::vector<uint8_t> mask;
  ResampleShape(shape, 8, 6, mask);
  for (int32_t j = 0; j < 6; ++j)
    for (int32_t i = 0; i < 8; ++i)
      EXPECT_EQ(mask[static_cast<size_t>(j * 8 + i)], shape.bytes[static_cast<size_t>((j * 2 / 6) * 4 + i * 4 / 8)])
          << i << "," << j;
  ResampleShape(shape, 5, 5, mask);
  EXPECT_EQ(mask[0], 1);
  EXPECT_EQ(mask[24], 8);
}

TEST(CustomBrushShape, DabsUnderFivePixelsGetTheShapesMean) {
  const ByteBitmap shape = Bytes(2, 2, {0, 255, 255, 255});  // mean 191.25 rounds to 191
  for (Size size : {Size{4, 10}, Size{10, 4}, Size{1, 1}}) {
    std::vector<uint8_t> mask;
    ResampleShape(shape, size.width, size.height, mask);
    ASSERT_EQ(mask.size(), static_cast<size_t>(size.width * size.height));
    EXPECT_EQ(std::set<uint8_t>(mask.begin(), mask.end()), std::set<uint8_t>{191});
  }
}

// One dab of a 6 × 6 solid tip over an opaque white layer: every pixel takes the colour source.
std::vector<uint32_t> OneDab(CustomBrushParams params, std::shared_ptr<ImageSurface> texture, ColourRef fg,
                             ColourRef bg, int32_t offsetX = 0, int32_t offsetY = 0) {
  CrtSrand(1);
  auto layer = MakeLayer({6, 6}, Grey(255));
  CustomBrush brush({6, 6}, params, SolidTip(std::move(texture)));
  brush.SetTextureOffset(offsetX, offsetY);
  brush.SetColours(fg, bg);
  brush.DrawDab(*layer, 3, 3, 256);
  return Pixels(*layer);
}

TEST(CustomBrushColourModes, TextureColourIsTiledOverTheLayerWithTheOffset) {
  const std::vector<uint32_t> tex = {Rgb(10, 0, 0), Rgb(20, 0, 0), Rgb(30, 0, 0), Rgb(0, 10, 0), Rgb(0, 20, 0),
                                     Rgb(0, 30, 0)};
  CustomBrushParams params;
  params.colourMode = 4;
  const auto pixels = OneDab(params, Picture(3, 2, tex), kBlack, kBlack, 4, -1);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x)
      EXPECT_EQ(pixels[static_cast<size_t>(y * 6 + x)], tex[static_cast<size_t>(((y - 1 + 2) % 2) * 3 + (x + 4) % 3)])
          << x << "," << y;
}

TEST(CustomBrushColourModes, BumpLightsWhatFacesTheLight) {
  // Grey texture 0, 100, 200, 50 in one row; light from the right (0°): L(x−1) − L(x+1).
  CustomBrushParams params;
  params.colourMode = 8;
  params.bumpAngle = 0;
  const auto pixels = OneDab(params, Picture(4, 1, {Grey(0), Grey(100), Grey(200), Grey(50)}),
                             MakeColourRef(100, 100, 100), kBlack);
  const uint32_t expected[4] = {Grey(50), Grey(0), Grey(150), Grey(255)};
  for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(pixels[static_cast<size_t>(x)], expected[x % 4]) << x;
}

TEST(CustomBrushColourModes, TextureValuesIndexTheColourTable) {
  // A mid-grey texture (darkness 128) keeps the colour's hue and lightness; white (darkness 0)
  // takes all the saturation away.
  const auto mid = Picture(1, 1, {Grey(127)});
  const auto white = Picture(1, 1, {Grey(255)});
  const ColourRef red = MakeColourRef(255, 0, 0);
  struct Case {
    int32_t mode;
    std::shared_ptr<ImageSurface> texture;
    uint32_t expected;
  };
  const uint32_t grey = Rgb(128, 128, 128);
  for (const Case& c : {Case{2, mid, Rgb(255, 0, 0)}, Case{3, mid, Rgb(255, 0, 0)}, Case{1, white, grey},
                        Case{0, nullptr, Rgb(255, 0, 0)}, Case{4, nullptr, Rgb(255, 0, 0)}}) {
    CustomBrushParams params;
    params.colourMode = c.mode;
    const auto pixels = OneDab(params, c.texture, red, kBlack);
    EXPECT_EQ(std::set<uint32_t>(pixels.begin(), pixels.end()), std::set<uint32_t>{c.expected}) << "mode " << c.mode;
  }
}

TEST(CustomBrushColourModes, DensityModeScalesTheMaskByTheTexturesDarkness) {
  CustomBrushParams params;  // colour mode 0
  CustomBrush brush({6, 6}, params, SolidTip(Picture(3, 1, {Grey(255), Grey(127), Grey(0)})));
  brush.SetColours(MakeColourRef(1, 2, 3), kBlack);
  auto layer = MakeLayer({6, 6}, Grey(255));
  std::vector<uint32_t> old(36), colour(36);
  std::vector<uint8_t> mask(36);
  ASSERT_TRUE(brush.ColourAndMask(*layer, {0, 0, 5, 5}, old.data(), colour.data(), mask.data()));
  for (int32_t x = 0; x < 6; ++x) {
    const int32_t darkness = 255 - (x % 3 == 0 ? 255 : x % 3 == 1 ? 127 : 0);
    EXPECT_EQ(mask[static_cast<size_t>(x)], (255 * (darkness + 1)) >> 8) << x;
    EXPECT_EQ(colour[static_cast<size_t>(x)], Rgb(1, 2, 3));
  }
}

TEST(CustomBrushColourModes, RandomModesStayBetweenPaintAndBackground) {
  const ColourRef fg = MakeColourRef(200, 10, 50), bg = MakeColourRef(100, 60, 50);
  for (int32_t mode : {5, 7}) {
    CustomBrushParams params;
    params.colourMode = mode;
    const auto pixels = OneDab(params, nullptr, fg, bg);
    std::set<uint32_t> distinct(pixels.begin(), pixels.end());
    EXPECT_GT(distinct.size(), 3u) << "mode " << mode;
    for (uint32_t p : pixels) {
      const int32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      EXPECT_TRUE(r >= 100 && r <= 200 && g >= 10 && g <= 60 && b == 50) << std::hex << p;
      // The mix keeps every channel at the same fraction of the way.
      if (mode == 7) {
        EXPECT_LE(std::abs((200 - r) * 50 - (g - 10) * 100), 100 * 2) << std::hex << p;
      }
    }
  }
}

// A stroke with every random choice the brush makes.
std::vector<uint32_t> BusyStroke() {
  CrtSrand(1);
  CustomBrushParams params;
  params.density = 140;
  params.rotationMode = 1;
  params.strokeCount = 4;
  params.gather = 10;
  params.colourVariation = 2;
  params.colourVariationValue[0] = 30;
  params.positionVariationOn = 1;
  params.positionVariation = 40;
  params.strokePositionJitter = 20;
  params.strokeColourJitterMode = 1;
  params.strokeColourJitter[1] = 50;
  params.backgroundColourEffect = 1;
  params.colourMode = 6;
  auto layer = MakeLayer({64, 48}, Rgb(30, 140, 90));
  CustomBrush brush({12, 12}, params, SolidTip());
  brush.SetColours(MakeColourRef(200, 40, 40), MakeColourRef(20, 20, 220));
  brush.BeginStroke(*layer, 8, 8, 256);
  for (int32_t x = 10; x < 60; x += 6) brush.StrokeTo(*layer, x, 8 + x / 2, 256);
  brush.EndStroke(*layer);
  return Pixels(*layer);
}

TEST(CustomBrushStroke, ReplaysToTheSameBytes) {
  const auto first = BusyStroke();
  EXPECT_EQ(first, BusyStroke());
  EXPECT_NE(first, Pixels(*MakeLayer({64, 48}, Rgb(30, 140, 90))));
}

TEST(CustomBrushStroke, WetBrushPicksUpTheCanvasAndRefills) {
  // Painting black over green with full pick-up and no refill: the paint turns green.
  CustomBrushParams params;
  params.backgroundColourEffect = 1;
  params.backgroundColourAmount = 255;
  params.inkRefill = 0;
  auto layer = MakeLayer({40, 10}, Rgb(0, 200, 0));
  CustomBrush brush({6, 6}, params, SolidTip());
  brush.SetColours(kBlack, kBlack);
  brush.DrawDab(*layer, 20, 5, 256);
  EXPECT_EQ(brush.StrokePaint(0), 0x00C800u);
  params.inkRefill = 255;
  CustomBrush clean({6, 6}, params, SolidTip());
  clean.SetColours(kBlack, kBlack);
  clean.DrawDab(*layer, 20, 5, 256);
  EXPECT_EQ(clean.StrokePaint(0), 0u);
  EXPECT_EQ(At(*layer, 20, 5), Rgb(0, 0, 0));
}

TEST(CustomBrushBuild, StrokeCountIsClampedAndMissingFilesFallBack) {
  const test::TempFolder dir;
  RecordingHost host;
  ScopedHost scoped(host);
  BrushToolSettings settings;
  settings.brushFolder = dir.Path().string();
  settings.kind = kBrushCustom;
  settings.SetSize(20, 20);
  for (auto [asked, built] : {std::pair{12, 8}, {0, 1}, {-5, 1}, {3, 3}}) {
    CustomBrushParams params;
    params.strokeCount = asked;
    settings.customPanel = params;
    auto brush = BuildBrush(settings, 0);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(static_cast<CustomBrush&>(*brush).StrokeCount(), built) << asked;
  }
  EXPECT_TRUE(host.boxes.empty());

  // A missing shape paints with the round tip and is told once; a name with a folder in it is
  // never followed out of the shape folder.
  std::filesystem::create_directories(dir.File("Shape"));
  auto outside = MakeLayer({4, 4}, Grey(0));
  ASSERT_EQ(WriteBitmap24(dir.File("outside.bmp"), *outside), 0);
  CustomBrushParams params;
  for (const char* name : {"gone.bmp", "../outside.bmp"}) {
    params.shapeFile = name;
    settings.customPanel = params;
    for (int twice = 0; twice < 2; ++twice) {
      auto brush = BuildBrush(settings, 0);
      ASSERT_NE(brush, nullptr);
      std::vector<uint8_t> round;
      RoundMask tip;
      tip.Build(64, 64);
      ResampleShape({64, 64, {tip.Data(), tip.Data() + 64 * 64}}, 20, 20, round);
      EXPECT_EQ(static_cast<CustomBrush&>(*brush).PreparedMask(), round);
    }
  }
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].text, MissingShapeMessage("gone.bmp"));
  EXPECT_EQ(host.boxes[1].text, MissingShapeMessage("../outside.bmp"));

  settings.customPanel.reset();
  EXPECT_EQ(BuildBrush(settings, 0), nullptr);
  EXPECT_EQ(host.boxes.back().text, kBrushFactoryError);
}

TEST(CustomBrushPresets, EveryShippedPresetPaintsAStroke) {
  const std::string presets = VARNEL_PROGRAM_DIR "/Brush/Presets";
  const PresetMenu menu = PresetMenu::Build(presets);
  int32_t count = 0;
  RecordingHost host;
  ScopedHost scoped(host);
  auto paint = [&](const std::string& path) {
    BrushToolSettings settings;
    CustomBrushParams params;
    ASSERT_TRUE(ReadPresetFile(path, params)) << path;
    settings.kind = kBrushCustom;
    settings.customPanel = params;
    settings.brushFolder = VARNEL_PROGRAM_DIR "/Brush";
    settings.SetSize(24, 24);
    auto brush = BuildBrush(settings, 0);
    ASSERT_NE(brush, nullptr) << path;
    brush->SetColours(MakeColourRef(40, 60, 160), MakeColourRef(240, 220, 60));
    // A mid-tone layer, so that presets that lighten, darken or recolour all show.
    auto layer = MakeLayer({96, 48}, Rgb(150, 120, 90));
    const auto before = Pixels(*layer);
    brush->BeginStroke(*layer, 12, 24, 256);
    for (int32_t x = 16; x <= 90; x += 4) brush->StrokeTo(*layer, x, 24, 256);
    brush->EndStroke(*layer);
    EXPECT_TRUE(Pixels(*layer) != before) << path;
    ++count;
  };
  for (const PresetMenu::Group& group : menu.groups)
    for (const std::string& title : group.titles) paint(presets + "/" + group.name + "/" + title + ".bpp");
  for (const std::string& title : menu.topTitles) paint(presets + "/" + title + ".bpp");
  EXPECT_GE(count, 16);
  // Every shape and texture the presets name ships too.
  for (const auto& box : host.boxes) ADD_FAILURE() << box.text;
}

}  // namespace
}  // namespace varnel
