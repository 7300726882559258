// varnel-cli stroke: one brush stroke on the active layer, the brush from a tool state, the
// colours and layer from the options, and its answers to bad input.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "brush/brush_settings.h"
#include "cli/commands.h"
#include "cli/stroke_command.h"
#include "document/layer_file.h"
#include "document/tool_state.h"
#include "tests/document/test_files.h"
#include "tests/cli/cli_run.h"
#include "tests/support/scoped_env.h"

namespace varnel::cli {
namespace {

using cli_test::Result;
using cli_test::RunCli;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;

std::unique_ptr<Layer> Filled(int32_t w, int32_t h, uint32_t colour) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({w, h}), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) layer->Row(y)[x] = colour;
  return layer;
}

class StrokeCliTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder.File(name); }

  std::string WritePicture(const std::string& name, LayerList layers, int32_t w, int32_t h) {
    LayerRefs refs;
    for (const auto& layer : layers) refs.push_back(layer.get());
    ImageSurface composite;
    composite.Create({w, h});
    EXPECT_EQ(WriteLayerFile(Path(name), refs, w, h, composite, GridSettings{}), 0);
    return Path(name);
  }

  std::string WhitePicture(int32_t w, int32_t h) {
    LayerList layers;
    layers.push_back(Filled(w, h, kWhite));
    return WritePicture("in.vlb", std::move(layers), w, h);
  }

  // Every layer's pixels, rows top first.
  std::vector<std::vector<uint32_t>> Layers(const std::string& path) {
    LayerList layers;
    EXPECT_EQ(ReadAnyLayerFile(path, layers), 0);
    std::vector<std::vector<uint32_t>> all;
    for (const auto& layer : layers) {
      std::vector<uint32_t> pixels;
      for (int32_t y = 0; y < layer->Height(); ++y) pixels.insert(pixels.end(), layer->Row(y), layer->Row(y) + layer->Width());
      all.push_back(pixels);
    }
    return all;
  }

  std::string ToolStateFile(BrushToolSettings settings) {
    BrushToolState state(settings);
    EXPECT_EQ(SaveToolStateFile(Path("brush.vpo"), "ブラシ", state), 0);
    return Path("brush.vpo");
  }

  std::string ToolStateRecord(BrushToolSettings settings) {
    BrushToolState state(settings);
    MemoryToolStateStream stream;
    EXPECT_EQ(WriteToolState(stream, state), 0);
    test::WriteBytes(Path("brush.rec"), stream.Bytes());
    return Path("brush.rec");
  }

  test::TempFolder folder;
};

// A w × h image with the given pixels set to black (x, y pairs).
std::vector<uint32_t> WhiteWith(int32_t w, int32_t h, std::initializer_list<std::pair<int32_t, int32_t>> black,
                                uint32_t colour = kBlack) {
  std::vector<uint32_t> pixels(static_cast<size_t>(w * h), kWhite);
  for (auto [x, y] : black) pixels[static_cast<size_t>(y * w + x)] = colour;
  return pixels;
}

TEST_F(StrokeCliTest, ThePenDownAloneLaysOneDabOfTheDefaultBrush) {
  const Result r = RunCli({"stroke", WhitePicture(6, 5), Path("out.vlb"), "--points", "3,3,0"});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  // Normal kind, 2 × 2, black, full opacity: the square (2, 2) … (3, 3).
  EXPECT_EQ(Layers(Path("out.vlb")), (std::vector<std::vector<uint32_t>>{WhiteWith(6, 5, {{2, 2}, {3, 2}, {2, 3}, {3, 3}})}));
}

TEST_F(StrokeCliTest, AMovementTrailsHalfWayAndLaysADabAtEveryStep) {
  // Pen-down at (1, 1), then toward (9, 1): the brush reaches (5, 1); with a 2 × 2 dab the
  // threshold trunc(2 × 0.1) is 0, so dabs fall on 2, 3, 4 and 5.
  const Result r = RunCli({"stroke", WhitePicture(8, 3), Path("out.vlb"), "--points", "1,1,0;9,1,256;", "--fg", "0000FF"});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  constexpr uint32_t kBlue = 0xFF0000FFu;
  EXPECT_EQ(Layers(Path("out.vlb"))[0],
            WhiteWith(8, 3, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}},
                      kBlue));
}

TEST_F(StrokeCliTest, TheBrushComesFromAToolStateFileOrRecord) {
  BrushToolSettings settings;
  settings.kind = kBrushOpacitySubtract;
  settings.SetSize(3, 3);
  // A 3 × 3 round mask has only its lower right cell: alpha 255 − (127 × 255) >> 8 = 129.
  const std::vector<uint32_t> expected = WhiteWith(5, 5, {{3, 3}}, 0x81FFFFFFu);
  for (const std::string& state : {ToolStateFile(settings), ToolStateRecord(settings)}) {
    const Result r = RunCli({"stroke", WhitePicture(5, 5), Path("out.vlb"), "--points", "2,2,128", "--tool-state", state});
    ASSERT_EQ(r.status, kSuccess) << r.err;
    EXPECT_EQ(Layers(Path("out.vlb"))[0], expected) << state;
  }
}

TEST_F(StrokeCliTest, TheLayerOptionPaintsThatLayerAtItsOffset) {
  LayerList layers;
  layers.push_back(Filled(4, 4, kWhite));
  layers.push_back(Filled(3, 3, kWhite));
  layers[1]->SetOffset(1, 1);
  const std::string in = WritePicture("two.vlb", std::move(layers), 4, 4);
  const Result r = RunCli({"stroke", in, Path("out.vlb"), "--points", "3,3,0", "--layer", "1", "--bg", "123456"});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  const auto out = Layers(Path("out.vlb"));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], std::vector<uint32_t>(16, kWhite));
  // Canvas (3, 3) is layer (2, 2): the dab covers (1, 1) … (2, 2) of the layer.
  EXPECT_EQ(out[1], WhiteWith(3, 3, {{1, 1}, {2, 1}, {1, 2}, {2, 2}}));
}

TEST_F(StrokeCliTest, APresetOrACustomToolStatePaintsTheCustomBrush) {
  // The custom kind from a tool state, with the default parameters: the round tip.
  BrushToolSettings custom;
  custom.kind = kBrushCustom;
  custom.SetSize(6, 6);
  Result r = RunCli({"stroke", WhitePicture(10, 10), Path("custom.vlb"), "--points", "5,5,0", "--tool-state",
                     ToolStateRecord(custom)});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  const auto painted = Layers(Path("custom.vlb"))[0];
  EXPECT_EQ(painted[0], kWhite);
  EXPECT_NE(painted[5 * 10 + 5], kWhite);

  // A preset over a normal brush's settings makes the custom brush at that size; a shape that
  // cannot be read falls back to the round tip and is told on stderr.
  BrushToolSettings normal;
  normal.SetSize(6, 6);
  test::WriteBytes(Path("p.bpp"), {'S', 'H', 'A', 'P', 'E', '=', ' ', 'x', '.', 'b', 'm', 'p', '\r', '\n'});
  r = RunCli({"stroke", WhitePicture(10, 10), Path("preset.vlb"), "--points", "5,5,0", "--tool-state",
              ToolStateRecord(normal), "--preset", Path("p.bpp")});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  EXPECT_NE(r.err.find("x.bmp"), std::string::npos) << r.err;
  EXPECT_EQ(Layers(Path("preset.vlb"))[0], painted);
}

// Clone colour read from a tool state paints from the clone source of the program folder, as
// turning it on in the program does; without a source the stroke is refused, not painted plain.
TEST_F(StrokeCliTest, CloneColourFromAToolStatePaintsFromTheCloneSource) {
  const test::ScopedEnv home("VARNEL_HOME", folder.Path().string());
  BrushToolSettings clone;
  clone.cloneColour = true;
  clone.SetSize(1, 1);
  const std::string state = ToolStateRecord(clone);
  const std::vector<std::string> args = {"stroke", WhitePicture(4, 4), Path("out.vlb"), "--points", "1,1,0",
                                         "--tool-state", state, "--fg", "00FF00"};
  Result r = RunCli(args);
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, std::string("varnel-cli: ") + kCloneSourceMissing + "\n");

  LayerList source;
  source.push_back(Filled(2, 1, 0xFFFF0000u));
  source[0]->Row(0)[1] = 0xFF0000FFu;
  WritePicture(kCloneSourceFile, std::move(source), 2, 1);
  r = RunCli(args);
  ASSERT_EQ(r.status, kSuccess) << r.err;
  // (1, 1) takes the source's pixel (1 mod 2, 1 mod 1): blue, not the green foreground.
  EXPECT_EQ(Layers(Path("out.vlb"))[0][1 * 4 + 1], 0xFF0000FFu);
}

struct BadUsage {
  const char* name;
  std::vector<std::string> extra;
};

const BadUsage kBadUsages[] = {
    {"NoPoints", {}},
    {"TwoNumbers", {"--points", "1,2"}},
    {"FourNumbers", {"--points", "1,2,3,4"}},
    {"EmptyItem", {"--points", "1,2,3;;4,5,6"}},
    {"PressureAbove256", {"--points", "1,2,300"}},
    {"NegativePressure", {"--points", "1,2,-1"}},
    {"CoordinateTooFar", {"--points", "1000001,2,3"}},
    {"Spaces", {"--points", "1, 2, 3"}},
    {"ShortColour", {"--points", "1,2,3", "--fg", "12345"}},
    {"NotHex", {"--points", "1,2,3", "--bg", "12345G"}},
    {"NegativeLayer", {"--points", "1,2,3", "--layer", "-1"}},
    {"UnknownOption", {"--points", "1,2,3", "--size", "4"}},
};

class StrokeCliUsage : public StrokeCliTest, public ::testing::WithParamInterface<BadUsage> {};

TEST_P(StrokeCliUsage, IsWrongUsageAndWritesNothing) {
  std::vector<std::string> args{"stroke", WhitePicture(4, 4), Path("out.vlb")};
  args.insert(args.end(), GetParam().extra.begin(), GetParam().extra.end());
  const Result r = RunCli(args);
  EXPECT_EQ(r.status, kUsage) << r.err;
  EXPECT_FALSE(std::filesystem::exists(Path("out.vlb")));
}

INSTANTIATE_TEST_SUITE_P(Cases, StrokeCliUsage, ::testing::ValuesIn(kBadUsages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StrokeCliTest, FailuresTellWhyAndWriteNothing) {
  const std::string in = WhitePicture(4, 4);
  Result r = RunCli({"stroke", Path("missing.vlb"), Path("out.vlb"), "--points", "1,1,1"});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: 画像が読み込めません\n");

  r = RunCli({"stroke", in, Path("out.vlb"), "--points", "1,1,1", "--layer", "1"});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: there is no layer 1\n");

  r = RunCli({"stroke", in, Path("out.vlb"), "--points", "1,1,1", "--tool-state", Path("none.vpo")});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: ファイルを開けません\n");

  test::WriteBytes(Path("junk.vpo"), {'n', 'o', 't', '\n', 'V', 'N'});
  r = RunCli({"stroke", in, Path("out.vlb"), "--points", "1,1,1", "--tool-state", Path("junk.vpo")});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: サポートされていないオブジェクト形式です\n");

  r = RunCli({"stroke", in, Path("out.vlb"), "--points", "1,1,1", "--preset", Path("none.bpp")});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: cannot read the brush preset " + Path("none.bpp") + "\n");

  BrushToolSettings unknown;
  unknown.kind = 40;
  r = RunCli({"stroke", in, Path("out.vlb"), "--points", "1,1,1", "--tool-state", ToolStateFile(unknown)});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: no brush can be built for Style 40\n");
  EXPECT_FALSE(std::filesystem::exists(Path("out.vlb")));
}

TEST(StrokeCliParsing, PointsAndColours) {
  std::vector<StrokePoint> points;
  ASSERT_TRUE(ParseStrokePoints("-3,4,0;5,-6,256", points));
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].x, -3);
  EXPECT_EQ(points[0].y, 4);
  EXPECT_EQ(points[1].pressure, 256);
  EXPECT_FALSE(ParseStrokePoints("", points));
  EXPECT_FALSE(ParseStrokePoints(";", points));
  ColourRef colour{0};
  ASSERT_TRUE(ParseWebColour("FF8001", colour));
  EXPECT_EQ(colour, ColourRef{0x000180FFu});  // 0x00BBGGRR
  ASSERT_TRUE(ParseWebColour("abcdef", colour));
  EXPECT_EQ(colour, ColourRef{0x00EFCDABu});
  EXPECT_FALSE(ParseWebColour("FF80011", colour));
}

}  // namespace
}  // namespace varnel::cli
