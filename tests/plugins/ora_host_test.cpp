// The program's side of layered picture plug-ins, with Oraport from the program folder: saving
// a canvas as OpenRaster keeps every layer without asking, opening one places each layer at its
// offset on a canvas-sized layer, and the plug-in's warnings reach the user.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "core/blend.h"
#include "core/canvas.h"
#include "document/document_file.h"
#include "document/layer_file.h"
#include "document/layer_mask_file.h"
#include "document/picture_loader.h"
#include "platform/host.h"
#include "tests/plugins/ora_test_support.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::Pattern;
using test::TempFolder;

class OraHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1);
    setenv("VARNEL_CONFIG", folder.File("varnel.ini").c_str(), 1);
    ReleasePictureLoaders();
  }
  void TearDown() override {
    ReleasePictureLoaders();
    unsetenv("VARNEL_HOME");
    unsetenv("VARNEL_CONFIG");
  }

  TempFolder folder;
  RecordingHost host;
  ScopedHost scoped{host};
};

struct LayerPlan {
  const char* name;
  int32_t x, y, width, height;
  int32_t opacity;
  bool visible;
  BlendMode mode;
};

std::unique_ptr<Layer> MakeLayer(const LayerPlan& plan, uint32_t seed) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->CreateUnfilled({plan.width, plan.height}), 0);
  const std::vector<uint8_t> pixels = Pattern(plan.width, plan.height, seed);
  std::memcpy(layer->Bits(), pixels.data(), pixels.size());
  layer->SetName(plan.name);
  layer->SetOffset(plan.x, plan.y);
  layer->SetOpacity(plan.opacity);
  layer->SetVisible(plan.visible);
  layer->SetBlendMode(plan.mode);
  return layer;
}

// The pixel a layer of plan shows at canvas (x, y): its own where it lies, else transparent black.
uint32_t Placed(const LayerPlan& plan, uint32_t seed, int32_t x, int32_t y) {
  const int32_t lx = x - plan.x;
  const int32_t ly = y - plan.y;
  if (lx < 0 || ly < 0 || lx >= plan.width || ly >= plan.height) return 0;
  const std::vector<uint8_t> pixels = Pattern(plan.width, plan.height, seed);
  const size_t at = (static_cast<size_t>(plan.height - 1 - ly) * static_cast<size_t>(plan.width) + static_cast<size_t>(lx)) * 4;
  return static_cast<uint32_t>(pixels[at]) | static_cast<uint32_t>(pixels[at + 1]) << 8 |
         static_cast<uint32_t>(pixels[at + 2]) << 16 | static_cast<uint32_t>(pixels[at + 3]) << 24;
}

TEST_F(OraHostTest, SavingLayersAsOpenRasterAsksNothingAndOpensAsPluginLayersOfTheCanvasSize) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({"背景", 0, 0, 10, 8, 100, true, BlendMode::kNormal}, 1));
  canvas.AppendLayer(MakeLayer({"線画", 3, 2, 4, 3, 37, true, BlendMode::kMultiply}, 2), false);
  canvas.ComposeAll();
  const std::string path = folder.File("picture.ora");
  ASSERT_EQ(SaveDocument(path, canvas, GridSettings{}, false), SaveResult::kWritten);
  EXPECT_TRUE(host.boxes.empty()) << host.boxes.front().text;
  OpenedPicture picture;
  ASSERT_EQ(ReadPicture(path, picture), 0);
  EXPECT_EQ(picture.kind, OpenedPicture::Kind::kPlugin);
  ASSERT_TRUE(picture.canvasSize.has_value());
  EXPECT_EQ(picture.canvasSize->width, 10);
  EXPECT_EQ(picture.canvasSize->height, 8);
  ASSERT_EQ(picture.layers.size(), 2u);
  EXPECT_EQ(picture.layers[1]->GetSize().width, 10);
  EXPECT_EQ(picture.layers[1]->GetSize().height, 8);
}

TEST_F(OraHostTest, SavingMaskedLayersAsOpenRasterAsksFirstSinceMasksAreNotKept) {
  InstallMaskFileStore();
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({"背景", 0, 0, 6, 4, 100, true, BlendMode::kNormal}, 1));
  Region mask;
  ASSERT_EQ(mask.Create({0, 0, 5, 3}, 128), 0);
  ASSERT_EQ(canvas.GetLayer(0)->Masks().AddMask(mask), 0);
  canvas.ComposeAll();
  const std::string path = folder.File("masked.ora");
  host.QueueAnswer(kIdNo);
  EXPECT_EQ(SaveDocument(path, canvas, GridSettings{}, false), SaveResult::kDeclined);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, kLayersWillBeLost);
  EXPECT_FALSE(std::filesystem::exists(path));
  host.QueueAnswer(kIdYes);
  EXPECT_EQ(SaveDocument(path, canvas, GridSettings{}, false), SaveResult::kWritten);
}

TEST_F(OraHostTest, ConvertingALayerFileToOpenRasterAndBackKeepsEveryLayerWithOffsetsAsPlacedPixels) {
  const LayerPlan plans[] = {
      {"下地", 0, 0, 9, 7, 100, true, BlendMode::kNormal},
      {"スクリーン & <影>", 2, 3, 3, 3, 64, false, BlendMode::kScreen},
      {"色相", -1, -2, 4, 4, 99, true, BlendMode::kHue},
      {"覆い焼き", 7, 5, 6, 3, 0, true, BlendMode::kDodge},
      {"", 0, 0, 9, 7, 1, false, BlendMode::kSoftLight},
  };
  LayerList layers;
  LayerRefs refs;
  for (uint32_t i = 0; i < std::size(plans); ++i) {
    layers.push_back(MakeLayer(plans[i], i + 1));
    refs.push_back(layers.back().get());
  }
  ImageSurface preview;
  ASSERT_EQ(preview.Create({9, 7}), 0);
  const std::string vlb = folder.File("a.vlb");
  const std::string ora = folder.File("b.ora");
  const std::string back = folder.File("c.vlb");
  ASSERT_EQ(WriteLayerFile(vlb, refs, 9, 7, preview, GridSettings{}), 0);
  std::ostringstream out, err;
  ASSERT_EQ(cli::Run(std::vector<std::string>{"--quiet", "convert", vlb, ora}, out, err), 0) << err.str();
  ASSERT_EQ(cli::Run(std::vector<std::string>{"--quiet", "convert", ora, back}, out, err), 0) << err.str();
  EXPECT_TRUE(err.str().empty()) << err.str();

  OpenedPicture picture;
  ASSERT_EQ(ReadPicture(back, picture), 0);
  EXPECT_EQ(picture.kind, OpenedPicture::Kind::kLayerFile);
  ASSERT_TRUE(picture.canvasSize.has_value());
  EXPECT_EQ(picture.canvasSize->width, 9);
  EXPECT_EQ(picture.canvasSize->height, 7);
  ASSERT_EQ(picture.layers.size(), std::size(plans));
  for (size_t i = 0; i < std::size(plans); ++i) {
    const LayerPlan& plan = plans[i];
    const Layer& layer = *picture.layers[i];
    EXPECT_EQ(layer.Name(), plan.name);
    EXPECT_EQ(layer.Opacity(), plan.opacity) << plan.name;
    EXPECT_EQ(layer.IsVisible(), plan.visible) << plan.name;
    EXPECT_EQ(layer.BlendMode(), plan.mode) << plan.name;
    ASSERT_EQ(layer.GetSize().width, 9) << plan.name;
    ASSERT_EQ(layer.GetSize().height, 7) << plan.name;
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 9; ++x)
        ASSERT_EQ(layer.Row(y)[x], Placed(plan, static_cast<uint32_t>(i + 1), x, y)) << plan.name << " at " << x << "," << y;
  }
}

TEST_F(OraHostTest, EveryOpacityPercentageSurvivesTheByteOfTheInterface) {
  struct Case {
    int32_t percent;
    uint8_t byte;
  };
  // byte = (percent x 255 + 50) / 100
  const Case cases[] = {{0, 0}, {1, 3}, {2, 5}, {37, 94}, {50, 128}, {99, 252}, {100, 255}};
  for (const Case& c : cases) EXPECT_EQ(OpacityToByte(c.percent), c.byte) << c.percent;
  for (int32_t percent = 0; percent <= 100; ++percent) EXPECT_EQ(OpacityFromByte(OpacityToByte(percent)), percent);
  // percent = (byte x 100 + 127) / 255
  EXPECT_EQ(OpacityFromByte(127), 50);
  EXPECT_EQ(OpacityFromByte(1), 0);
  EXPECT_EQ(OpacityFromByte(2), 1);
}

TEST_F(OraHostTest, AModeOpenRasterLacksIsSavedWithAWarningBoxNamingTheLayer) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({"下地", 0, 0, 4, 4, 100, true, BlendMode::kNormal}, 1));
  canvas.AppendLayer(MakeLayer({"排他", 0, 0, 4, 4, 100, true, BlendMode::kXor}, 2), false);
  canvas.ComposeAll();
  const std::string path = folder.File("xor.ora");
  ASSERT_EQ(WriteCanvas(path, canvas, GridSettings{}), SaveResult::kWritten);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_NE(host.boxes[0].text.find("「排他」"), std::string::npos) << host.boxes[0].text;
  EXPECT_EQ(host.boxes[0].style & kMbIconMask, static_cast<uint32_t>(kMbIconWarning));
  OpenedPicture picture;
  ASSERT_EQ(ReadPicture(path, picture), 0);
  ASSERT_EQ(picture.layers.size(), 2u);
  EXPECT_EQ(picture.layers[1]->BlendMode(), BlendMode::kNormal);
}

TEST_F(OraHostTest, ABrokenArchiveOpensNothing) {
  const std::string path = folder.File("broken.ora");
  ASSERT_TRUE(test::WriteArchive(path, {{"mimetype", "image/openraster", true},
                                        {"stack.xml", "<image w=\"2\" h=\"2\"><stack><layer src=\"data/none.png\"/></stack></image>"}}));
  OpenedPicture picture;
  EXPECT_EQ(ReadPicture(path, picture), -1);
  EXPECT_TRUE(picture.layers.empty());
}

TEST(OraSdk, TheSdkBlendNumbersAreTheProgramsModeNumbers) {
  const std::pair<int32_t, BlendMode> cases[] = {
      {kVarnelBlendNormal, BlendMode::kNormal},           {kVarnelBlendMultiply, BlendMode::kMultiply},
      {kVarnelBlendScreen, BlendMode::kScreen},           {kVarnelBlendAdd, BlendMode::kAdd},
      {kVarnelBlendSubtract, BlendMode::kSubtract},       {kVarnelBlendLighten, BlendMode::kLighten},
      {kVarnelBlendDarken, BlendMode::kDarken},           {kVarnelBlendDarkerColour, BlendMode::kDarkerColour},
      {kVarnelBlendLighterColour, BlendMode::kLighterColour}, {kVarnelBlendAnd, BlendMode::kAnd},
      {kVarnelBlendOr, BlendMode::kOr},                   {kVarnelBlendXor, BlendMode::kXor},
      {kVarnelBlendDivide, BlendMode::kDivide},           {kVarnelBlendOverlay, BlendMode::kOverlay},
      {kVarnelBlendColour, BlendMode::kColour},           {kVarnelBlendHue, BlendMode::kHue},
      {kVarnelBlendSaturation, BlendMode::kSaturation},   {kVarnelBlendLightness, BlendMode::kLightness},
      {kVarnelBlendLightnessAdd, BlendMode::kLightnessAdd}, {kVarnelBlendLightnessSubtract, BlendMode::kLightnessSubtract},
      {kVarnelBlendSaturationAdd, BlendMode::kSaturationAdd}, {kVarnelBlendSaturationSubtract, BlendMode::kSaturationSubtract},
      {kVarnelBlendOverlay2, BlendMode::kOverlay2},       {kVarnelBlendDodge, BlendMode::kDodge},
      {kVarnelBlendBurn, BlendMode::kBurn},               {kVarnelBlendHardLight, BlendMode::kHardLight},
      {kVarnelBlendSoftLight, BlendMode::kSoftLight},
  };
  static_assert(std::size(cases) == kVarnelBlendModeCount);
  static_assert(kVarnelBlendModeCount == kBlendModeCount);
  for (const auto& [number, mode] : cases) EXPECT_EQ(number, ModeNumber(mode)) << BlendModeName(mode);
}

}  // namespace
}  // namespace varnel
