// The brush tool's settings: sizes, the tool state record in its fixed order, preset files,
// the preset menu, saving presets and the clone source.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "brush/brush_preset.h"
#include "brush/brush_settings.h"
#include "document/layer_file.h"
#include "platform/host.h"
#include "tests/document/test_files.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// ------------------------------------------------------------------------------------------
// Size

TEST(BrushSize, EachSideIsClampedTo1Through256) {
  struct Case {
    int32_t w, h, ew, eh;
  };
  for (const Case c : {Case{300, 0, 256, 1}, Case{1, 256, 1, 256}, Case{-5, 257, 1, 256}, Case{17, 3, 17, 3}}) {
    BrushToolSettings s;
    s.SetSize(c.w, c.h);
    EXPECT_EQ(s.width, c.ew) << c.w << "x" << c.h;
    EXPECT_EQ(s.height, c.eh) << c.w << "x" << c.h;
  }
  BrushToolSettings s;
  s.SetPackedSize(0x00200008);
  EXPECT_EQ(s.width, 32);
  EXPECT_EQ(s.height, 8);
  EXPECT_EQ(s.PackedSize(), 0x00200008);
}

TEST(BrushLabels, KindsMaskModesAndCustomModesKeepTheirTexts) {
  EXPECT_STREQ(BrushKindLabel(0), "現在のカスタムブラシ");
  EXPECT_STREQ(BrushKindLabel(22), "彩度減少");
  EXPECT_STREQ(BrushKindLabel(23), "");
  EXPECT_STREQ(BrushKindTooltip(1), "高速描画");
  EXPECT_STREQ(BrushKindTooltip(2), "筆風描画");
  EXPECT_STREQ(BrushKindTooltip(13), "焼き込み(明るい部分)");
  EXPECT_STREQ(ColourMaskModeLabel(10), "彩度範囲");
  EXPECT_STREQ(CustomBlendModeLabel(11), "明度");
  EXPECT_STREQ(CustomColourModeLabel(0), "テクスチャ　-　濃度");
}

// ------------------------------------------------------------------------------------------
// Tool state

std::vector<std::string> KeysInOrder(const std::vector<uint8_t>& record) {
  MemoryToolStateStream stream(record);
  ToolStateReader reader(stream);
  std::vector<std::string> keys;
  for (const ToolStateEntry& e : reader.ListEntries()) keys.push_back(e.key);
  return keys;
}

std::vector<uint8_t> Record(BrushToolSettings& s) {
  MemoryToolStateStream stream;
  BrushToolState tool(s);
  EXPECT_EQ(WriteToolState(stream, tool), 0);
  return stream.Bytes();
}

TEST(BrushToolStateRecord, WritesTheBrushKeysThenTheCustomKeysOnlyWithThePanel) {
  const std::vector<std::string> brushKeys = {
      "AntiAlias", "Opaque", "CloneBrushOn", "Alpha", "MinSize", "PixelFilterMin", "PixelFilterMax",
      "PixelFilterMode", "PixelFilterRange", "PressureSizing", "PressureTransparency", "SizeCX", "SizeCY",
      "StrokeLength", "Style", "WashLevel", "WashOn"};
  const std::vector<std::string> customKeys = {
      "bkColorEffect", "bkColorSrc", "BlendMode", "BumpAngle", "ColorMode", "ColorVariation", "CV1", "CV2", "CV3",
      "Density", "FadeOn", "FadeVal", "Gather", "HotSpotMode", "HotSpotValue", "InkSrc", "StrokeCount",
      "RotationMode", "ShapeFile", "TexFile", "BeginPosJitter", "BeginColorJitter1", "BeginColorJitter2",
      "BeginColorJitter3", "BeginColorJitterMode"};
  BrushToolSettings s;
  EXPECT_EQ(KeysInOrder(Record(s)), brushKeys);
  s.customPanel = CustomBrushParams{};
  std::vector<std::string> all = brushKeys;
  all.insert(all.end(), customKeys.begin(), customKeys.end());
  EXPECT_EQ(KeysInOrder(Record(s)), all);
}

TEST(BrushToolStateRecord, RoundTripsEveryField) {
  BrushToolSettings s;
  s.colourMaskMode = 7;
  s.colourMaskMinimum = 11;
  s.colourMaskMaximum = 88;
  s.colourMaskTolerance = 5;
  s.kind = kBrushSharpen;
  s.SetSize(40, 12);
  s.pressureSizing = s.pressureOpacity = s.antiAlias = s.watercolour = true;
  s.affectAlpha = false;
  s.watercolourLevel = 200;
  s.baseOpacity = 100;
  s.minimumSize = 45;
  s.spacing = 33;
  CustomBrushParams p;
  p.shapeFile = "丸.bmp";
  p.textureFile = "紙.bmp";
  p.blendMode = 9;
  p.colourVariationValue[2] = -4;
  p.fadeOn = 1;
  p.strokeCount = 8;
  p.strokeColourJitter[1] = 77;
  s.customPanel = p;
  const std::vector<uint8_t> record = Record(s);

  BrushToolSettings back;
  back.customPanel = CustomBrushParams{};
  MemoryToolStateStream stream(record);
  BrushToolState tool(back);
  ASSERT_EQ(ReadToolState(stream, tool, false), 0);
  EXPECT_EQ(back.colourMaskMode, 7);
  EXPECT_EQ(back.colourMaskMinimum, 11);
  EXPECT_EQ(back.colourMaskMaximum, 88);
  EXPECT_EQ(back.colourMaskTolerance, 5);
  EXPECT_EQ(back.kind, kBrushSharpen);
  EXPECT_EQ(back.width, 40);
  EXPECT_EQ(back.height, 12);
  EXPECT_TRUE(back.pressureSizing && back.pressureOpacity && back.antiAlias && back.watercolour);
  EXPECT_FALSE(back.affectAlpha);
  EXPECT_EQ(back.watercolourLevel, 200);
  EXPECT_EQ(back.baseOpacity, 100);
  EXPECT_EQ(back.minimumSize, 45);
  EXPECT_EQ(back.spacing, 33);
  EXPECT_EQ(back.customPanel, p);
}

TEST(BrushToolStateRecord, MissingKeysReadAsZeroAndWithoutThePanelTheCustomPartIsLeftAlone) {
  // A record of another tool holding only a shared key.
  struct OtherTool : ToolStateObject {
    std::string ToolClassName() const override { return "COther"; }
    void SaveState(ToolStateWriter& w) override { w.WriteInt("Opaque", 77); }
    int32_t LoadState(ToolStateReader&, bool) override { return 0; }
  } other;
  MemoryToolStateStream stream;
  ASSERT_EQ(WriteToolState(stream, other), 0);
  BrushToolSettings s;  // defaults: size 2 × 2, spacing 10, affect alpha on …
  s.customPanel = CustomBrushParams{};
  s.customPanel->shapeFile = "keep.bmp";
  s.customPanel->density = 3;
  MemoryToolStateStream in(stream.Bytes());
  BrushToolState tool(s);
  ASSERT_EQ(ReadToolState(in, tool, false), 0);
  EXPECT_EQ(s.baseOpacity, 77);
  EXPECT_EQ(s.spacing, 0);
  EXPECT_FALSE(s.affectAlpha);
  EXPECT_EQ(s.kind, 0);
  EXPECT_EQ(s.width, 1);  // a size of 0 is held at 1
  EXPECT_EQ(s.minimumSize, 0);
  // Without any custom key the panel keeps what it shows.
  EXPECT_EQ(s.customPanel->density, 3);
  EXPECT_EQ(s.customPanel->shapeFile, "keep.bmp");

  BrushToolSettings noPanel;
  MemoryToolStateStream again(stream.Bytes());
  BrushToolState noPanelTool(noPanel);
  ASSERT_EQ(ReadToolState(again, noPanelTool, false), 0);
  EXPECT_FALSE(noPanel.customPanel.has_value());
}

// ------------------------------------------------------------------------------------------
// Preset files

TEST(PresetFile, WritesTwentySixLinesInOrderAndReadsThemBack) {
  TempFolder folder;
  CustomBrushParams p;
  p.shapeFile = "shape one.bmp";
  p.textureFile = "";
  p.blendMode = 3;
  p.fadeOn = 1;
  p.gradation = 6;
  p.colourVariationValue[0] = -20;
  p.bumpAngle = 315;
  p.strokeColourJitterMode = 2;
  WritePresetFile(folder.File("a.bpp"), p);
  const std::string expected =
      "SHAPE= shape one.bmp\r\nTEXTURE= \r\nBLENDMODE= 3\r\nCOLORMODE= 0\r\nFADEON= 1\r\nFADEVAL= 10\r\n"
      "DENSITY= 255\r\nGATHER= 64\r\nGRADATION= 6\r\nBKCOLOREFFECT= 0\r\nINKSOURCE= 5\r\nBKCOLORSOURCE= 20\r\n"
      "ROTMODE= 0\r\nCOLORVARIATION= 0\r\nCOLORVARIATION_VALUE1= -20\r\nCOLORVARIATION_VALUE2= 0\r\n"
      "COLORVARIATION_VALUE3= 0\r\nHOTSPOT= 0\r\nHOTSPOT_VALUE= 0\r\nBUMP ANGLE= 315\r\nSTROKE COUNT= 1\r\n"
      "STROKE POS JITTER= 0\r\nSTROKE COLOR JITTER1= 0\r\nSTROKE COLOR JITTER2= 0\r\nSTROKE COLOR JITTER3= 0\r\n"
      "STROKE COLOR JITTER MODE= 2\r\n";
  EXPECT_EQ(ReadText(folder.File("a.bpp")), expected);
  CustomBrushParams back;
  back.density = 1;
  ASSERT_TRUE(ReadPresetFile(folder.File("a.bpp"), back));
  EXPECT_EQ(back, p);
}

TEST(PresetFile, KeywordRules) {
  struct Case {
    std::string what;
    std::string text;
    CustomBrushParams expected;
  };
  std::vector<Case> cases;
  auto with = [](auto change) {
    CustomBrushParams p;
    change(p);
    return p;
  };
  cases.push_back({"only density", "DENSITY= 10\r\n", with([](CustomBrushParams& p) { p.density = 10; })});
  cases.push_back({"value 1 is not the mode", "COLORVARIATION_VALUE1= 7\r\n",
                   with([](CustomBrushParams& p) { p.colourVariationValue[0] = 7; })});
  cases.push_back({"fade 2 is on", "FADEON= 2\n", with([](CustomBrushParams& p) { p.fadeOn = 1; })});
  cases.push_back({"range lines do nothing", "RANGERED= 12\r\nRANGEVALUE= 3\r\n", CustomBrushParams{}});
  cases.push_back({"shape loses leading spaces only", "SHAPE=   a b.bmp  \r\n",
                   with([](CustomBrushParams& p) { p.shapeFile = "a b.bmp  "; })});
  cases.push_back({"unparsable number keeps the field", "GATHER= x12\r\nDENSITY=\t-3junk\r\n",
                   with([](CustomBrushParams& p) { p.density = -3; })});
  cases.push_back({"keywords are case-sensitive and at the start", "density= 1\r\n DENSITY= 2\r\nnothing\r\n",
                   CustomBrushParams{}});
  cases.push_back({"last line without ending", "BUMP ANGLE= 90", with([](CustomBrushParams& p) { p.bumpAngle = 90; })});
  for (const Case& c : cases) {
    CustomBrushParams p;
    ReadPresetText(c.text, p);
    EXPECT_EQ(p, c.expected) << c.what;
  }
}

TEST(PresetFile, MissingFileLeavesParametersAndHugeLinesAreCut) {
  TempFolder folder;
  CustomBrushParams p;
  p.density = 9;
  EXPECT_FALSE(ReadPresetFile(folder.File("none.bpp"), p));
  EXPECT_EQ(p.density, 9);
  WriteText(folder.File("long.bpp"), "SHAPE= " + std::string(100000, 'x') + "\nDENSITY= 4\n");
  ASSERT_TRUE(ReadPresetFile(folder.File("long.bpp"), p));
  EXPECT_EQ(p.density, 4);
  EXPECT_LT(p.shapeFile.size(), 5000u);
}

// ------------------------------------------------------------------------------------------
// Preset menu, selecting and saving

class PresetFolderTest : public ::testing::Test {
 protected:
  TempFolder folder;
  RecordingHost host;
  ScopedHost scoped{host};
  std::string Root() const { return folder.Path().string(); }
};

TEST_F(PresetFolderTest, MenuNumbersGroupsThenTopLevelPresetsAndMapsIdsBack) {
  fs::create_directories(folder.Path() / "水彩");
  fs::create_directories(folder.Path() / "empty");
  fs::create_directories(folder.Path() / "水彩" / "deeper");
  CustomBrushParams p;
  p.density = 1;
  WritePresetFile(Root() + "/水彩/a.bpp", p);
  p.density = 2;
  WritePresetFile(Root() + "/水彩/b.bpp", p);
  p.density = 3;
  WritePresetFile(Root() + "/top.BPP", p);  // listed whatever the extension's case, and read
  WriteText(Root() + "/notes.txt", "x");
  const PresetMenu menu = PresetMenu::Build(Root());
  ASSERT_EQ(menu.groups.size(), 2u);
  size_t ids = 0;
  for (const auto& g : menu.groups) ids += g.titles.size();
  EXPECT_EQ(ids, 2u);
  EXPECT_EQ(menu.topFirstId, 35002);
  EXPECT_EQ(menu.topTitles, (std::vector<std::string>{"top"}));
  EXPECT_EQ(menu.Title(35002), "top");
  EXPECT_FALSE(menu.Title(35003).has_value());
  EXPECT_FALSE(menu.Title(34999).has_value());

  BrushToolSettings settings;
  settings.presetsFolder = Root();
  CustomBrushParams params;
  // The top-level preset after the last group is not taken for a member of that group.
  EXPECT_EQ(SelectPreset(menu, 35002, settings, params), "top");
  EXPECT_EQ(params.density, 3);
  EXPECT_EQ(settings.kind, kBrushCustom);
  const auto& group = menu.groups[0].name == "水彩" ? menu.groups[0] : menu.groups[1];
  ASSERT_EQ(group.titles.size(), 2u);
  ASSERT_TRUE(SelectPreset(menu, group.firstId + 1, settings, params).has_value());
  EXPECT_EQ(params.density, group.titles[1] == "b" ? 2 : 1);
}

TEST_F(PresetFolderTest, SavingNamesCreatesTheGroupAndReports) {
  PresetNamer namer;
  EXPECT_EQ(namer.Proposal(), "標準ブラシ1");
  namer.Confirmed();
  EXPECT_EQ(namer.Proposal(), "標準ブラシ2");

  CustomBrushParams p;
  p.gather = 5;
  const auto path = SavePreset(Root(), "", "mine", p);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(*path, Root() + "/NoNamedGroup/mine.bpp");
  CustomBrushParams back;
  ASSERT_TRUE(ReadPresetFile(*path, back));
  EXPECT_EQ(back.gather, 5);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "保存完了");
  EXPECT_EQ(host.boxes[0].style & kMbIconMask, static_cast<uint32_t>(kMbIconInformation));

  EXPECT_FALSE(SavePreset(Root(), "g", "", p).has_value());
  EXPECT_EQ(host.boxes.back().text, "名前を入力してください");
  EXPECT_TRUE(fs::is_directory(folder.Path() / "g"));
  EXPECT_TRUE(fs::is_empty(folder.Path() / "g"));
}

TEST_F(PresetFolderTest, CloneColourReadsTheCloneSourceOrAsksForOne) {
  setenv("VARNEL_HOME", Root().c_str(), 1);
  BrushToolSettings s;
  EXPECT_FALSE(s.SetCloneColour(true));
  EXPECT_EQ(host.boxes.back().text, "クローンソースを設定してください");
  EXPECT_EQ(s.cloneSource, nullptr);

  auto layer = std::make_unique<Layer>();
  ASSERT_EQ(layer->Create({3, 2}), 0);
  layer->Row(1)[2] = 0xFF123456;
  ASSERT_EQ(WriteLayerList(Root() + "/cloneSource.vlb", LayerRefs{layer.get()}), 0);
  EXPECT_TRUE(s.SetCloneColour(true));
  ASSERT_NE(s.cloneSource, nullptr);
  EXPECT_EQ(s.cloneSource->GetSize(), (Size{3, 2}));
  EXPECT_EQ(s.cloneSource->Row(1)[2], 0xFF123456u);
  EXPECT_TRUE(s.SetCloneColour(false));
  EXPECT_EQ(s.cloneSource, nullptr);
  unsetenv("VARNEL_HOME");
}

}  // namespace
}  // namespace varnel
