// Oraport loaded from the program folder as any host loads it: every layer written through its
// layered export comes back through GetLayers as it went in, archives put together by hand after
// the OpenRaster rules are read into the layer list the rules say, and broken or hostile
// archives are refused without harm.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/document/test_files.h"
#include "tests/plugins/ora_test_support.h"

namespace varnel {
namespace {

using test::Entry;
using test::MakeLayer;
using test::OraLayer;
using test::OraRead;
using test::Pattern;
using test::PngBytes;
using test::Picture;
using test::TempFolder;

class OraportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ora.plugin.Loaded()) << ora.plugin.Error();
    ASSERT_NE(ora.getLayers, nullptr);
    ASSERT_NE(ora.writeLayers, nullptr);
  }

  std::string File(const std::string& name) const { return folder.File(name); }

  test::Oraport ora;
  TempFolder folder;
};

void ExpectSameLayer(const OraLayer& got, const OraLayer& want, const std::string& what) {
  EXPECT_EQ(got.name, want.name) << what;
  EXPECT_EQ(got.x, want.x) << what;
  EXPECT_EQ(got.y, want.y) << what;
  EXPECT_EQ(got.width, want.width) << what;
  EXPECT_EQ(got.height, want.height) << what;
  EXPECT_EQ(got.blendMode, want.blendMode) << what;
  EXPECT_EQ(got.opacity, want.opacity) << what;
  EXPECT_EQ(got.visible, want.visible) << what;
  EXPECT_TRUE(got.pixels == want.pixels) << what << ": pixels differ";
}

// ---- Round trip through the writer ----

TEST_F(OraportTest, EveryLayerComesBackWithItsNameOffsetOpacityVisibilityAndPixels) {
  struct Case {
    const char* name;
    int32_t x, y, width, height;
    uint8_t opacity, visible;
  };
  const Case cases[] = {
      {"背景", 0, 0, 12, 9, 255, 1},
      {"<a & b> \"quoted\" 'single'", 3, 2, 4, 5, 128, 1},
      {"線画 &amp; ]]> レイヤ", -2, -3, 6, 4, 0, 1},
      {"hidden", 10, 7, 5, 5, 1, 0},
      {"", 0, 0, 1, 1, 254, 0},
  };
  std::vector<OraLayer> layers;
  uint32_t seed = 1;
  for (const Case& c : cases) {
    OraLayer layer = MakeLayer(c.name, c.x, c.y, c.width, c.height, seed++);
    layer.opacity = c.opacity;
    layer.visible = c.visible;
    layers.push_back(layer);
  }
  const std::string path = File("round.ora");
  std::vector<std::string> warnings;
  ASSERT_EQ(ora.Write(path, 12, 9, layers, Pattern(12, 9, 99), &warnings), 0);
  EXPECT_TRUE(warnings.empty());

  const OraRead read = ora.Read(path);
  ASSERT_EQ(read.result, kVarnelPluginSuccess);
  EXPECT_EQ(read.width, 12);
  EXPECT_EQ(read.height, 9);
  EXPECT_TRUE(read.warnings.empty());
  ASSERT_EQ(read.layers.size(), layers.size());
  for (size_t i = 0; i < layers.size(); ++i) ExpectSameLayer(read.layers[i], layers[i], cases[i].name);
}

// Every mode OpenRaster has, by the composite-op the file must carry.
struct ModeCase {
  int32_t mode;
  const char* op;
};
const ModeCase kMappedModes[] = {
    {kVarnelBlendNormal, "svg:src-over"},      {kVarnelBlendMultiply, "svg:multiply"},
    {kVarnelBlendScreen, "svg:screen"},        {kVarnelBlendOverlay, "svg:overlay"},
    {kVarnelBlendDarken, "svg:darken"},        {kVarnelBlendLighten, "svg:lighten"},
    {kVarnelBlendDodge, "svg:color-dodge"},    {kVarnelBlendBurn, "svg:color-burn"},
    {kVarnelBlendHardLight, "svg:hard-light"}, {kVarnelBlendSoftLight, "svg:soft-light"},
    {kVarnelBlendHue, "svg:hue"},              {kVarnelBlendSaturation, "svg:saturation"},
    {kVarnelBlendColour, "svg:color"},         {kVarnelBlendLightness, "svg:luminosity"},
    {kVarnelBlendAdd, "svg:plus"},
};

TEST_F(OraportTest, EveryMappedModeIsWrittenAsItsCompositeOpAndReadBack) {
  for (const ModeCase& c : kMappedModes) {
    OraLayer layer = MakeLayer(c.op, 0, 0, 2, 2, static_cast<uint32_t>(c.mode));
    layer.blendMode = c.mode;
    const std::string path = File("mode.ora");
    std::vector<std::string> warnings;
    ASSERT_EQ(ora.Write(path, 2, 2, {layer}, Pattern(2, 2, 5), &warnings), 0) << c.op;
    EXPECT_TRUE(warnings.empty()) << c.op;
    const std::string stack = test::ReadEntry(path, "stack.xml");
    EXPECT_NE(stack.find(std::string("composite-op=\"") + c.op + "\""), std::string::npos) << c.op << "\n" << stack;
    const OraRead read = ora.Read(path);
    ASSERT_EQ(read.result, kVarnelPluginSuccess) << c.op;
    ASSERT_EQ(read.layers.size(), 1u) << c.op;
    EXPECT_EQ(read.layers[0].blendMode, c.mode) << c.op;
  }
}

TEST_F(OraportTest, ModesWithoutAnEquivalentAreWrittenAsSrcOverWithTheirPixelsAndOneWarningNamingThem) {
  std::vector<OraLayer> layers = {MakeLayer("減算レイヤ", 0, 0, 3, 3, 1), MakeLayer("普通", 0, 0, 3, 3, 2),
                                  MakeLayer("除算", 1, 1, 2, 2, 3)};
  layers[0].blendMode = kVarnelBlendSubtract;
  layers[1].blendMode = kVarnelBlendMultiply;
  layers[2].blendMode = kVarnelBlendDivide;
  const std::string path = File("unmapped.ora");
  std::vector<std::string> warnings;
  ASSERT_EQ(ora.Write(path, 3, 3, layers, Pattern(3, 3, 9), &warnings), 0);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("「減算レイヤ」"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("「除算」"), std::string::npos) << warnings[0];
  EXPECT_EQ(warnings[0].find("普通"), std::string::npos) << warnings[0];

  const OraRead read = ora.Read(path);
  ASSERT_EQ(read.result, kVarnelPluginSuccess);
  ASSERT_EQ(read.layers.size(), 3u);
  const int32_t expected[] = {kVarnelBlendNormal, kVarnelBlendMultiply, kVarnelBlendNormal};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read.layers[i].blendMode, expected[i]) << i;
    EXPECT_TRUE(read.layers[i].pixels == layers[i].pixels) << i;
  }
}

// ---- The archive as other programs find it ----

TEST_F(OraportTest, TheArchiveStartsWithTheStoredMimetypeAndHoldsStackLayersMergedAndThumbnail) {
  const std::string path = File("layout.ora");
  ASSERT_EQ(ora.Write(path, 4, 3, {MakeLayer("a", 0, 0, 4, 3, 1), MakeLayer("b", 1, 1, 2, 2, 2)}, Pattern(4, 3, 3)), 0);
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  ASSERT_GT(bytes.size(), 54u);
  EXPECT_EQ(std::memcmp(bytes.data(), "PK\x03\x04", 4), 0);
  EXPECT_EQ(bytes[8] | bytes[9] << 8, 0) << "stored";
  EXPECT_EQ(bytes[28] | bytes[29] << 8, 0) << "no extra field";
  EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 38), "mimetype");
  EXPECT_EQ(std::string(bytes.begin() + 38, bytes.begin() + 54), "image/openraster");
  EXPECT_NE(ora.plugin.isSupported(path.c_str(), reinterpret_cast<intptr_t>(bytes.data())), 0);

  const std::vector<std::string> names = test::EntryNames(path);
  const std::vector<std::string> expected = {"mimetype", "stack.xml", "data/layer000.png", "data/layer001.png",
                                             "mergedimage.png", "Thumbnails/thumbnail.png"};
  EXPECT_EQ(names, expected);
}

TEST_F(OraportTest, OldHostsGetTheMergedPictureAndItsSizeAndAThumbnailOfAtMost256) {
  struct Case {
    int32_t width, height, thumbWidth, thumbHeight;
  };
  const Case cases[] = {{600, 300, 256, 128}, {300, 600, 128, 256}, {100, 50, 100, 50}, {1000, 3, 256, 1}};
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height);
    const std::string path = File("merged.ora");
    const std::vector<uint8_t> merged = Pattern(c.width, c.height, 7);
    ASSERT_EQ(ora.Write(path, c.width, c.height, {MakeLayer("a", 0, 0, 2, 2, 1)}, merged), 0) << what;
    Picture picture;
    ASSERT_EQ(ora.plugin.getPicture(path.c_str(), 0, kVarnelInputFile, &picture.info, &picture.bits, nullptr, 0), 0) << what;
    EXPECT_EQ(picture.Header().biWidth, c.width) << what;
    EXPECT_EQ(picture.Header().biHeight, c.height) << what;
    EXPECT_EQ(picture.Header().biBitCount, 32) << what;
    EXPECT_EQ(std::memcmp(picture.Bytes(), merged.data(), merged.size()), 0) << what;
    VarnelPictureInfo info{};
    ASSERT_EQ(ora.plugin.getPictureInfo(path.c_str(), 0, kVarnelInputFile, &info), 0) << what;
    EXPECT_EQ(info.width, c.width) << what;
    EXPECT_EQ(info.height, c.height) << what;
    EXPECT_EQ(info.colourDepth, 32) << what;
    Picture thumbnail;
    ASSERT_EQ(ora.plugin.getPreview(path.c_str(), 0, kVarnelInputFile, &thumbnail.info, &thumbnail.bits, nullptr, 0), 0);
    EXPECT_EQ(thumbnail.Header().biWidth, c.thumbWidth) << what;
    EXPECT_EQ(thumbnail.Header().biHeight, c.thumbHeight) << what;
  }
}

TEST_F(OraportTest, ThumbnailPixelsAreTheAverageOfThePixelsTheyCover) {
  // 512 x 2 halves to 256 x 1: each thumbnail pixel averages a 2 x 2 block, halves rounding up.
  std::vector<uint8_t> merged(512 * 2 * 4);
  for (size_t i = 0; i < merged.size(); ++i) merged[i] = static_cast<uint8_t>(i % 7 * 30);
  const std::string path = File("thumb.ora");
  ASSERT_EQ(ora.Write(path, 512, 2, {MakeLayer("a", 0, 0, 1, 1, 1)}, merged), 0);
  Picture thumbnail;
  ASSERT_EQ(ora.plugin.getPreview(path.c_str(), 0, kVarnelInputFile, &thumbnail.info, &thumbnail.bits, nullptr, 0), 0);
  ASSERT_EQ(thumbnail.Header().biWidth, 256);
  for (int32_t x = 0; x < 256; ++x) {
    for (int c = 0; c < 4; ++c) {
      uint32_t sum = 0;
      for (int32_t row = 0; row < 2; ++row)
        for (int32_t dx = 0; dx < 2; ++dx) sum += merged[(static_cast<size_t>(row) * 512 + 2 * x + dx) * 4 + c];
      ASSERT_EQ(thumbnail.Bytes()[x * 4 + c], (sum + 2) / 4) << "x " << x << " channel " << c;
    }
  }
}

TEST_F(OraportTest, OnePictureFromAnOldHostBecomesAOneLayerArchive) {
  const std::vector<uint8_t> pixels = Pattern(5, 4, 11);
  const std::string path = File("single.ora");
  const VarnelWriteInfo info = test::WriteInfo(5, 4);
  ASSERT_EQ(ora.plugin.writeImage(path.c_str(), pixels.data(), &info), 0);
  const OraRead read = ora.Read(path);
  ASSERT_EQ(read.result, kVarnelPluginSuccess);
  ASSERT_EQ(read.layers.size(), 1u);
  OraLayer want = MakeLayer("noname", 0, 0, 5, 4, 11);
  ExpectSameLayer(read.layers[0], want, "single");
}

// ---- Archives put together after the OpenRaster rules ----

// stack.xml lists the top first; nested stacks move, fade and hide their children.
const char* const kNestedStack = R"(<?xml version="1.0" encoding="UTF-8"?>
<image version="0.0.5" w="8" h="6">
  <stack>
    <layer name="top" src="data/a.png" x="1" y="2" opacity="0.5"/>
    <stack name="group" x="2" y="1" opacity="0.5">
      <layer name="inner top" src="data/b.png" composite-op="svg:multiply"/>
      <layer name="inner hidden" src="data/c.png" x="-1" y="3" visibility="hidden"/>
    </stack>
    <stack name="hidden group" visibility="hidden">
      <layer name="in hidden group" src="data/d.png" composite-op="svg:dst-in" opacity="1.0"/>
    </stack>
    <layer name="&lt;bottom&gt; &amp; 下地" src="data/e.png" opacity="0.25" composite-op="svg:src-over"/>
  </stack>
</image>
)";

TEST_F(OraportTest, NestedStacksFlattenBottomFirstWithTheirOffsetsOpacityAndVisibility) {
  const std::string path = File("nested.ora");
  ASSERT_TRUE(test::WriteArchive(path, {{"mimetype", "image/openraster", true},
                                        {"stack.xml", kNestedStack},
                                        {"data/a.png", PngBytes(2, 2, Pattern(2, 2, 1)), true},
                                        {"data/b.png", PngBytes(3, 1, Pattern(3, 1, 2))},
                                        {"data/c.png", PngBytes(1, 2, Pattern(1, 2, 3))},
                                        {"data/d.png", PngBytes(8, 6, Pattern(8, 6, 4))},
                                        {"data/e.png", PngBytes(8, 6, Pattern(8, 6, 5))}}));
  struct Want {
    const char* name;
    int32_t x, y, width, height, mode;
    uint8_t opacity, visible;
    uint32_t seed;
  };
  // Opacities: round(255 x product); 0.5 x 255 = 127.5 rounds to 128, 0.25 x 255 = 63.75 to 64.
  const Want want[] = {
      {"<bottom> & 下地", 0, 0, 8, 6, kVarnelBlendNormal, 64, 1, 5},
      {"in hidden group", 0, 0, 8, 6, kVarnelBlendNormal, 255, 0, 4},
      {"inner hidden", 1, 4, 1, 2, kVarnelBlendNormal, 128, 0, 3},
      {"inner top", 2, 1, 3, 1, kVarnelBlendMultiply, 128, 1, 2},
      {"top", 1, 2, 2, 2, kVarnelBlendNormal, 128, 1, 1},
  };
  const OraRead read = ora.Read(path);
  ASSERT_EQ(read.result, kVarnelPluginSuccess);
  EXPECT_EQ(read.width, 8);
  EXPECT_EQ(read.height, 6);
  ASSERT_EQ(read.layers.size(), std::size(want));
  for (size_t i = 0; i < std::size(want); ++i) {
    OraLayer expected = MakeLayer(want[i].name, want[i].x, want[i].y, want[i].width, want[i].height, want[i].seed);
    expected.blendMode = want[i].mode;
    expected.opacity = want[i].opacity;
    expected.visible = want[i].visible;
    ExpectSameLayer(read.layers[i], expected, want[i].name);
  }
  ASSERT_EQ(read.warnings.size(), 1u);
  EXPECT_NE(read.warnings[0].find("「in hidden group」(svg:dst-in)"), std::string::npos) << read.warnings[0];
}

// ---- Broken and hostile archives ----

std::string Stack(const std::string& size, const std::string& layers) {
  return "<?xml version=\"1.0\"?><image " + size + "><stack>" + layers + "</stack></image>";
}

std::vector<Entry> WithStack(const std::string& stack, std::vector<Entry> more = {}) {
  std::vector<Entry> entries = {{"mimetype", "image/openraster", true}, {"stack.xml", stack}};
  entries.insert(entries.end(), more.begin(), more.end());
  return entries;
}

// A PNG header that claims a large picture, with next to nothing behind it.
std::string ClaimingPng(uint32_t width, uint32_t height) {
  std::string png = PngBytes(1, 1, Pattern(1, 1, 1));
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<char>(height >> (24 - 8 * i));
  }
  return png;
}

TEST_F(OraportTest, BrokenAndHostileArchivesAreRefusedWithoutLayers) {
  const std::string onePng = PngBytes(2, 2, Pattern(2, 2, 1));
  const std::string oneLayer = "<layer src=\"data/a.png\"/>";
  std::string manyLayers;
  for (int i = 0; i < 4097; ++i) manyLayers += oneLayer;
  std::string budgetLayers;
  for (int i = 0; i < 20; ++i) budgetLayers += oneLayer;
  std::string muchMarkup = oneLayer;
  for (int i = 0; i < 65536; ++i) muchMarkup += "<x/>";
  struct Case {
    const char* name;
    std::vector<Entry> entries;  // empty: the file holds "not a zip"
  };
  const Case cases[] = {
      {"not an archive", {}},
      {"no stack.xml", {{"mimetype", "image/openraster", true}, {"data/a.png", onePng}}},
      {"stack.xml is no XML", WithStack("<image w=\"2\" h=\"2\"><stack>", {{"data/a.png", onePng}})},
      {"a layer's PNG is missing", WithStack(Stack("w=\"2\" h=\"2\"", oneLayer))},
      {"a layer's PNG is no PNG", WithStack(Stack("w=\"2\" h=\"2\"", oneLayer), {{"data/a.png", "not a png"}})},
      {"src climbs out", WithStack(Stack("w=\"2\" h=\"2\"", "<layer src=\"../a.png\"/>"), {{"a.png", onePng}})},
      {"src climbs out midway", WithStack(Stack("w=\"2\" h=\"2\"", "<layer src=\"data/../../a.png\"/>"), {{"a.png", onePng}})},
      {"src is absolute", WithStack(Stack("w=\"2\" h=\"2\"", "<layer src=\"/etc/passwd\"/>"))},
      {"src is missing", WithStack(Stack("w=\"2\" h=\"2\"", "<layer name=\"x\"/>"), {{"data/a.png", onePng}})},
      {"no layers", WithStack(Stack("w=\"2\" h=\"2\"", ""))},
      {"width 0", WithStack(Stack("w=\"0\" h=\"2\"", oneLayer), {{"data/a.png", onePng}})},
      {"width past 65535", WithStack(Stack("w=\"65536\" h=\"2\"", oneLayer), {{"data/a.png", onePng}})},
      {"no height", WithStack(Stack("w=\"2\"", oneLayer), {{"data/a.png", onePng}})},
      {"a canvas over 2 GiB", WithStack(Stack("w=\"65535\" h=\"65535\"", oneLayer), {{"data/a.png", onePng}})},
      {"layers past the pixel budget", WithStack(Stack("w=\"32767\" h=\"16384\"", budgetLayers), {{"data/a.png", onePng}})},
      {"more than 4096 layers", WithStack(Stack("w=\"2\" h=\"2\"", manyLayers), {{"data/a.png", onePng}})},
      {"more markup than a stack needs", WithStack(Stack("w=\"2\" h=\"2\"", muchMarkup), {{"data/a.png", onePng}})},
      {"a PNG claiming far more than its bytes", WithStack(Stack("w=\"2\" h=\"2\"", oneLayer), {{"data/a.png", ClaimingPng(30000, 30000)}})},
      {"stack.xml inflating past 16 MiB", WithStack(Stack("w=\"2\" h=\"2\"", oneLayer) + std::string(17 << 20, ' '), {{"data/a.png", onePng}})},
      {"entities in a document type", WithStack("<?xml version=\"1.0\"?><!DOCTYPE image [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
                                                "<image w=\"2\" h=\"2\"><stack><layer name=\"&b;\" src=\"data/a.png\"/></stack></image>",
                                                {{"data/a.png", onePng}})},
  };
  for (const Case& c : cases) {
    const std::string path = File("bad.ora");
    if (c.entries.empty()) {
      test::WriteBytes(path, {'n', 'o', 't', ' ', 'a', ' ', 'z', 'i', 'p'});
    } else {
      ASSERT_TRUE(test::WriteArchive(path, c.entries)) << c.name;
    }
    const OraRead read = ora.Read(path);
    EXPECT_NE(read.result, kVarnelPluginSuccess) << c.name;
    EXPECT_TRUE(read.layers.empty()) << c.name;
    Picture picture;
    EXPECT_NE(ora.plugin.getPicture(path.c_str(), 0, kVarnelInputFile, &picture.info, &picture.bits, nullptr, 0), 0) << c.name;
  }
}

TEST_F(OraportTest, AWriteThatCannotHappenLeavesTheOldFile) {
  const std::string path = File("kept.ora");
  test::WriteBytes(path, {'o', 'l', 'd'});
  OraLayer empty = MakeLayer("a", 0, 0, 1, 1, 1);
  empty.width = 0;
  EXPECT_NE(ora.Write(path, 1, 1, {empty}, Pattern(1, 1, 1)), 0);
  EXPECT_NE(ora.Write(folder.File("missing/x.ora"), 1, 1, {MakeLayer("a", 0, 0, 1, 1, 1)}, Pattern(1, 1, 1)), 0);
  EXPECT_EQ(test::ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(test::FilesIn(folder.Path().string()), (std::vector<std::string>{"kept.ora"}));
}

}  // namespace
}  // namespace varnel
