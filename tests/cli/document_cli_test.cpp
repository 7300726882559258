// The document commands of varnel-cli: info, new, convert, flatten and merge-all, their
// outputs by extension and their answers to bad input.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "document/document_file.h"
#include "document/picture_loader.h"
#include "platform/profile.h"
#include "settings/app_settings.h"
#include "tests/document/test_files.h"
#include "tests/cli/cli_run.h"

namespace varnel::cli {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

using cli_test::Result;
using cli_test::RunCli;

std::unique_ptr<Layer> Filled(int32_t w, int32_t h, uint32_t colour) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({w, h}), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) layer->Row(y)[x] = colour;
  return layer;
}

class DocumentCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The settings of the test's own; nothing of the user's is read.
    setenv("VARNEL_CONFIG", Path("varnel.ini").c_str(), 1);
  }
  void TearDown() override { unsetenv("VARNEL_CONFIG"); }

  std::string Path(const std::string& name) const { return folder.File(name); }

  // A 4 × 3 canvas: an opaque red base, a hidden green layer, and a blue layer of 2 × 1 at
  // (1, 1) with a mask that covers only its left pixel.
  std::string WriteSample(const std::string& name) {
    LayerList layers;
    layers.push_back(Filled(4, 3, 0xFFFF0000));
    layers.push_back(Filled(4, 3, 0xFF00FF00));
    layers[1]->SetVisible(false);
    layers[1]->SetName("隠し");
    layers.push_back(Filled(2, 1, 0xFF0000FF));
    layers[2]->SetOffset(1, 1);
    layers[2]->SetName("青");
    Region mask;
    mask.Create({1, 1, 1, 1}, 255);
    layers[2]->Masks().AddMask(mask);
    LayerRefs refs{layers[0].get(), layers[1].get(), layers[2].get()};
    ImageSurface composite;
    composite.Create({4, 3});
    GridSettings grid;
    grid.shown = 1;
    grid.axes = GridSettings::DialogAxes();
    EXPECT_EQ(WriteLayerFile(Path(name), refs, 4, 3, composite, grid), 0);
    return Path(name);
  }

  // The pixels (0xAARRGGBB, rows top first) of the only layer of a layer file.
  std::vector<uint32_t> OnlyLayer(const std::string& path, Size* size = nullptr) {
    LayerList layers;
    EXPECT_EQ(ReadAnyLayerFile(path, layers), 0);
    EXPECT_EQ(layers.size(), 1u);
    if (layers.size() != 1) return {};
    if (size) *size = layers[0]->GetSize();
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < layers[0]->Height(); ++y)
      pixels.insert(pixels.end(), layers[0]->Row(y), layers[0]->Row(y) + layers[0]->Width());
    return pixels;
  }

  test::TempFolder folder;
};

TEST_F(DocumentCliTest, InfoDescribesCanvasGridAndLayers) {
  const Result r = RunCli({"info", WriteSample("s.vlb")});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  const auto info = nlohmann::json::parse(r.out);
  EXPECT_EQ(info["format"], "vlb");
  EXPECT_EQ(info["canvas"], (nlohmann::json{{"width", 4}, {"height", 3}}));
  EXPECT_EQ(info["grid"]["shown"], 1);
  EXPECT_EQ(info["grid"]["cell_width"], 16);
  EXPECT_EQ(info["grid"]["zoom_threshold"], 4.0);
  ASSERT_EQ(info["grid"]["axes"].size(), 3u);
  EXPECT_EQ(info["grid"]["axes"][1], (nlohmann::json{{"colour", 0x00F0C8C8}, {"interval", 16}, {"angle", 60}}));
  ASSERT_EQ(info["layers"].size(), 3u);
  EXPECT_EQ(info["layers"][1]["name"], "隠し");
  EXPECT_EQ(info["layers"][1]["visible"], 0);
  EXPECT_EQ(info["layers"][2]["x"], 1);
  EXPECT_EQ(info["layers"][2]["width"], 2);
  EXPECT_EQ(info["layers"][2]["masks"],
            (nlohmann::json::array({{{"left", 1}, {"top", 1}, {"right", 1}, {"bottom", 1}}})));
  // The keys in the order of the contract.
  EXPECT_LT(r.out.find("\"format\""), r.out.find("\"canvas\""));
  EXPECT_LT(r.out.find("\"grid\""), r.out.find("\"layers\""));
}

TEST_F(DocumentCliTest, NewWritesOneOpaqueWhiteLayerOfTheGivenOrConfiguredSize) {
  ASSERT_EQ(RunCli({"new", Path("a.vlb"), "5", "2"}).status, kSuccess);
  Size size{};
  EXPECT_EQ(OnlyLayer(Path("a.vlb"), &size), std::vector<uint32_t>(10, 0xFFFFFFFF));
  EXPECT_EQ(size, (Size{5, 2}));

  ASSERT_EQ(RunCli({"new", Path("default.vlb")}).status, kSuccess);
  OnlyLayer(Path("default.vlb"), &size);
  EXPECT_EQ(size, (Size{300, 300}));

  Profile(Path("varnel.ini")).WriteInt("Settings", "NEWIMAGESIZE", PackSize(40, 30));
  ASSERT_EQ(RunCli({"new", Path("set.vlb")}).status, kSuccess);
  OnlyLayer(Path("set.vlb"), &size);
  EXPECT_EQ(size, (Size{40, 30}));
}

TEST_F(DocumentCliTest, ConvertWritesTheCompositeAsBitmapAndKeepsLayersAndGridAsLayerFile) {
  const std::string in = WriteSample("s.vlb");
  ASSERT_EQ(RunCli({"convert", in, Path("out.BMP")}).status, kSuccess);
  const std::vector<uint8_t> bmp = ReadBytes(Path("out.BMP"));
  ASSERT_EQ(bmp.size(), 54u + 3 * 12);  // stride of 4 pixels: 12 bytes
  // Bottom row first. Row 1 from the top: red, blue (masked in), red (the mask is off), red.
  const std::vector<uint8_t> middle(bmp.begin() + 54 + 12, bmp.begin() + 54 + 24);
  EXPECT_EQ(middle, (std::vector<uint8_t>{0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 0, 255}));

  ASSERT_EQ(RunCli({"convert", in, Path("copy.vlb")}).status, kSuccess);
  const auto info = nlohmann::json::parse(RunCli({"info", Path("copy.vlb")}).out);
  EXPECT_EQ(info["layers"].size(), 3u);
  EXPECT_EQ(info["grid"]["axes"].size(), 3u);
  EXPECT_EQ(info["layers"][2]["name"], "青");
}

TEST_F(DocumentCliTest, ConvertReadsSimpleLayerLists) {
  LayerList layers;
  layers.push_back(Filled(2, 2, 0xFF102030));
  ASSERT_EQ(WriteLayerList(Path("list.vlb"), LayerRefs{layers[0].get()}), 0);
  const auto info = nlohmann::json::parse(RunCli({"info", Path("list.vlb")}).out);
  EXPECT_EQ(info["format"], "vlb-list");
  EXPECT_FALSE(info.contains("grid"));
  ASSERT_EQ(RunCli({"convert", Path("list.vlb"), Path("chunked.vlb")}).status, kSuccess);
  EXPECT_EQ(DetectLayerFileKind(Path("chunked.vlb")), 2);
  EXPECT_EQ(OnlyLayer(Path("chunked.vlb")), std::vector<uint32_t>(4, 0xFF102030));
}

TEST_F(DocumentCliTest, FlattenComposesVisibleLayersWithEnabledMasksOnly) {
  const std::string in = WriteSample("s.vlb");
  ASSERT_EQ(RunCli({"flatten", in, Path("flat.vlb")}).status, kSuccess);
  const uint32_t R = 0xFFFF0000, B = 0xFF0000FF;
  Size size{};
  EXPECT_EQ(OnlyLayer(Path("flat.vlb"), &size), (std::vector<uint32_t>{R, R, R, R, R, B, B, R, R, R, R, R}));
  EXPECT_EQ(size, (Size{4, 3}));
  ASSERT_EQ(RunCli({"flatten", in, Path("masked.vlb"), "--enable-masks"}).status, kSuccess);
  EXPECT_EQ(OnlyLayer(Path("masked.vlb")), (std::vector<uint32_t>{R, R, R, R, R, B, R, R, R, R, R, R}));
}

TEST_F(DocumentCliTest, MergeAllMergesHiddenLayersToo) {
  const std::string in = WriteSample("s.vlb");
  ASSERT_EQ(RunCli({"merge-all", "--enable-masks", in, Path("all.vlb")}).status, kSuccess);
  const uint32_t G = 0xFF00FF00, B = 0xFF0000FF;
  EXPECT_EQ(OnlyLayer(Path("all.vlb")), (std::vector<uint32_t>{G, G, G, G, G, B, G, G, G, G, G, G}));
  // The picture's grid goes with it, as with flatten.
  EXPECT_EQ(nlohmann::json::parse(RunCli({"info", Path("all.vlb")}).out)["grid"]["shown"], 1);
}

TEST_F(DocumentCliTest, APngKeepsTheTransparencyOfTheVisibleLayers) {
  // The shipped PNG plug-in, in the program folder.
  setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1);
  // A transparent base with one red pixel, a hidden green layer, and blue at half opacity.
  LayerList layers;
  layers.push_back(Filled(4, 3, 0x00FFFFFF));
  layers[0]->Row(0)[0] = 0xFFFF0000;
  layers.push_back(Filled(4, 3, 0xFF00FF00));
  layers[1]->SetVisible(false);
  layers.push_back(Filled(2, 1, 0xFF0000FF));
  layers[2]->SetOffset(1, 1);
  layers[2]->SetOpacity(50);
  ImageSurface composite;
  ASSERT_EQ(composite.Create({4, 3}), 0);
  ASSERT_EQ(WriteLayerFile(Path("t.vlb"), {layers[0].get(), layers[1].get(), layers[2].get()}, 4, 3, composite,
                           GridSettings{}),
            0);
  const Result r = RunCli({"convert", Path("t.vlb"), Path("t.png")});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  ImageSurface back;
  std::string message;
  ASSERT_EQ(LoadPicture(Path("t.png"), back, message), 0);
  // Blue over nothing at opacity 50: coverage a = 255 × 128 / 256 = 127, alpha
  // (255 × 128 + 127) / 256 = 127, and the weight reaches 256: the colour is blue itself.
  const uint32_t T = 0x00FFFFFF, R = 0xFFFF0000, B = 0x7F0000FF;
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < 3; ++y) pixels.insert(pixels.end(), back.Row(y), back.Row(y) + 4);
  EXPECT_EQ(pixels, (std::vector<uint32_t>{R, T, T, T, T, B, B, T, T, T, T, T}));
  ReleasePictureLoaders();
  unsetenv("VARNEL_HOME");
}

TEST_F(DocumentCliTest, BadInputFailsWithTheProgramsMessageAndWritesNothing) {
  WriteBytes(Path("junk.vlb"), {'L', 'B', 1, 0, 0, 0, 9});
  for (const char* command : {"convert", "flatten", "merge-all"}) {
    const Result r = RunCli({command, Path("junk.vlb"), Path("out.vlb")});
    EXPECT_EQ(r.status, kFailed) << command;
    EXPECT_EQ(r.err, "varnel-cli: 画像が読み込めません\n") << command;
  }
  EXPECT_EQ(RunCli({"info", Path("missing.vlb")}).status, kFailed);
  const Result noWriter = RunCli({"convert", WriteSample("s.vlb"), Path("out.xyz")});
  EXPECT_EQ(noWriter.status, kFailed);
  EXPECT_EQ(noWriter.err, std::string("varnel-cli: ") + kNoWriterForFormat + "\n");
  const Result noFolder = RunCli({"new", Path("none/a.vlb"), "2", "2"});
  EXPECT_EQ(noFolder.status, kFailed);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder.Path())) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"junk.vlb", "s.vlb"}));
}

// A canvas larger than any picture can have cannot be opened: before, its size was dropped and
// the file written again with a canvas of 0 × 0.
TEST_F(DocumentCliTest, ACanvasTooLargeToMakeFailsAndWritesNothing) {
  std::vector<uint8_t> bytes = ReadBytes(WriteSample("big.vlb"));
  const std::string tag = "CHCNVS";
  const auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end()) - bytes.begin() + 10;
  ASSERT_LT(static_cast<size_t>(at) + 8, bytes.size());
  for (const size_t field : {size_t{0}, size_t{4}}) {
    const uint32_t side = 40000;
    std::memcpy(bytes.data() + at + field, &side, 4);
  }
  WriteBytes(Path("big.vlb"), bytes);
  for (const char* command : {"convert", "flatten", "merge-all"}) {
    for (const char* out : {"out.vlb", "out.png"}) {
      const Result r = RunCli({command, Path("big.vlb"), Path(out)});
      EXPECT_EQ(r.status, kFailed) << command << " " << out;
      EXPECT_EQ(r.err, "varnel-cli: ドキュメントの作成に失敗しました\n") << command << " " << out;
      EXPECT_FALSE(fs::exists(Path(out))) << command << " " << out;
    }
  }
}

TEST_F(DocumentCliTest, BitmapsAreReadByTheBuiltInReader) {
  test::Bytes bmp;  // 2 × 1, 24 bits: blue, then red
  bmp.Raw("BM").U32(62).U16(0).U16(0).U32(54);
  bmp.U32(40).I32(2).I32(1).U16(1).U16(24).U32(0).U32(8).U32(0).U32(0).U32(0).U32(0);
  bmp.U8(255).U8(0).U8(0).U8(0).U8(0).U8(255).Zeros(2);
  WriteBytes(Path("in.DIB"), bmp.data);
  const Result info = RunCli({"info", Path("in.DIB")});
  ASSERT_EQ(info.status, kSuccess) << info.err;
  const auto json = nlohmann::json::parse(info.out);
  EXPECT_EQ(json["format"], "bitmap");
  EXPECT_EQ(json["canvas"], (nlohmann::json{{"width", 2}, {"height", 1}}));
  EXPECT_FALSE(json.contains("grid"));
  ASSERT_EQ(RunCli({"convert", Path("in.DIB"), Path("out.vlb")}).status, kSuccess);
  EXPECT_EQ(OnlyLayer(Path("out.vlb")), (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000}));

  bmp.data[28] = 0;  // bit count 0
  WriteBytes(Path("bad.bmp"), bmp.data);
  const Result bad = RunCli({"convert", Path("bad.bmp"), Path("bad.vlb")});
  EXPECT_EQ(bad.status, kFailed);
  EXPECT_EQ(bad.err, "varnel-cli: BMPファイルではありません\n");
  const Result missing = RunCli({"convert", Path("missing.bmp"), Path("m.vlb")});
  EXPECT_EQ(missing.status, kFailed);
  EXPECT_EQ(missing.err, "varnel-cli: ファイルを開けません\n");
  WriteBytes(Path("picture.qqq"), {1, 2, 3});
  const Result unknown = RunCli({"convert", Path("picture.qqq"), Path("q.vlb")});
  EXPECT_EQ(unknown.err, "varnel-cli: 画像が読み込めません\n");
}

TEST_F(DocumentCliTest, WrongUsageAnswersStatus2) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"info"}, {"info", "a", "b"}, {"new"}, {"new", "a", "0", "5"}, {"new", "a", "5"},
           {"convert", "a"}, {"flatten", "a", "b", "--bogus"}, {"merge-all", "a", "b", "c"}}) {
    EXPECT_EQ(RunCli(args).status, kUsage) << args[0];
  }
}

}  // namespace
}  // namespace varnel::cli
