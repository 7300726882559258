// varnel-cli adjust: each adjustment on the chosen layer (expected pixels worked out by hand from
// the adjustments' rules), curve files one per channel, and the answers to bad input.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "document/layer_file.h"
#include "tests/document/test_files.h"
#include "tests/cli/cli_run.h"

namespace varnel::cli {
namespace {

using cli_test::Result;
using cli_test::RunCli;

std::unique_ptr<Layer> Filled(int32_t w, int32_t h, uint32_t colour, int32_t x = 0, int32_t y = 0) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({w, h}), 0);
  for (int32_t row = 0; row < h; ++row) std::fill_n(layer->Row(row), w, colour);
  layer->DiscardBackups();
  layer->SetOffset(x, y);
  return layer;
}

class AdjustCliTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder.File(name); }

  // A 4 × 3 picture: layer 0 of one colour, layer 1 (2 × 2 at 1, 1) of another.
  std::string Picture(uint32_t base, uint32_t upper = 0xFF000000u) {
    LayerList layers;
    layers.push_back(Filled(4, 3, base));
    layers.push_back(Filled(2, 2, upper, 1, 1));
    LayerRefs refs;
    for (const auto& layer : layers) refs.push_back(layer.get());
    ImageSurface composite;
    composite.Create({4, 3});
    EXPECT_EQ(WriteLayerFile(Path("in.vlb"), refs, 4, 3, composite, GridSettings{}), 0);
    return Path("in.vlb");
  }

  std::string CurveFile(const std::string& name, const std::string& text) {
    test::WriteBytes(Path(name), std::vector<uint8_t>(text.begin(), text.end()));
    return Path(name);
  }

  // The first pixel of each layer of a written picture.
  std::vector<uint32_t> FirstPixels(const std::string& path) {
    LayerList layers;
    EXPECT_EQ(ReadAnyLayerFile(path, layers), 0);
    std::vector<uint32_t> pixels;
    for (const auto& layer : layers) {
      for (int32_t y = 0; y < layer->Height(); ++y)
        for (int32_t x = 0; x < layer->Width(); ++x) EXPECT_EQ(layer->Row(y)[x], layer->Row(0)[0]);
      pixels.push_back(layer->Row(0)[0]);
    }
    return pixels;
  }

  test::TempFolder folder;
};

struct HappyCase {
  const char* name;
  uint32_t before;
  std::vector<std::string> options;
  uint32_t after;
};

// The value curve through (255/256, 1/2) halves V; the red curve from (0, 1/2) lifts red to
// 128 + r × 127/255.
const char* const kValueCurve = "VALUE\nPOLYLINE\n1\n0.996094 0.500000\n";
const char* const kRedCurve = "red\n3BSPLINE\n1\n0.000000 0.500000\n";

const HappyCase kHappyCases[] = {
    // 100, 200, 128 with k = 2 and +10: 82, 282 → 255, 138.
    {"BrightnessAndContrast", 0xFF64C880u, {"--brightness", "10", "--contrast", "50"}, 0xFF52FF8Au},
    {"BrightnessAlone", 0xFF64C880u, {"--brightness", "-20"}, 0xFF50B46Cu},
    // Red +45, blue −255, alpha −55.
    {"RgbaValues", 0xFF64C880u, {"--rgba", "45,0,-255,-55"}, 0xC891C800u},
    // Shadows fully red lift red 0 by 128; highlights fully yellow lower blue 255 by 128.
    {"ToneBalance", 0xFF0000FFu, {"--tone", "100,0,0;0,0,0;0,0,-100"}, 0xFF80007Fu},
    // V 200 → 100, green keeps its place half way: 50.
    {"ValueCurve", 0xFFC86400u, {"--curve", "value.cc"}, 0xFF643200u},
    // Then red 100 → 128 + 100 × 127/255 = 177.8 → 178 (a B-spline of two knots is straight).
    {"TwoCurveFiles", 0xFFC86400u, {"--curve", "value.cc", "--curve", "red.cc"}, 0xFFB23200u},
};

class AdjustCliHappy : public AdjustCliTest, public ::testing::WithParamInterface<HappyCase> {};

TEST_P(AdjustCliHappy, AdjustsTheActiveLayerOnly) {
  CurveFile("value.cc", kValueCurve);
  CurveFile("red.cc", kRedCurve);
  std::vector<std::string> args{"adjust", Picture(GetParam().before, GetParam().before), Path("out.vlb")};
  for (const std::string& option : GetParam().options)
    args.push_back(option.ends_with(".cc") ? Path(option) : option);
  args.insert(args.end(), {"--layer", "1"});
  const Result r = RunCli(args);
  ASSERT_EQ(r.status, kSuccess) << r.err;
  EXPECT_EQ(FirstPixels(Path("out.vlb")), (std::vector<uint32_t>{GetParam().before, GetParam().after}));
}

INSTANTIATE_TEST_SUITE_P(Cases, AdjustCliHappy, ::testing::ValuesIn(kHappyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AdjustCliTest, WithoutLayerTheBaseLayerIsAdjustedAndBitmapsAreWritten) {
  const Result r = RunCli({"adjust", Picture(0xFF64C880u), Path("out.vlb"), "--rgba", "0,0,10,0"});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  EXPECT_EQ(FirstPixels(Path("out.vlb")), (std::vector<uint32_t>{0xFF64C88Au, 0xFF000000u}));
  EXPECT_EQ(RunCli({"adjust", Path("in.vlb"), Path("out.bmp"), "--contrast", "-100"}).status, kSuccess);
  EXPECT_TRUE(std::filesystem::exists(Path("out.bmp")));
}

struct BadCurve {
  const char* name;
  const char* text;
  const char* message;
};

const BadCurve kBadCurves[] = {
    {"UnknownChannel", "ALPHA\nPOLYLINE\n0\n", "色補正ファイルのチャンネルが正しくありません"},
    {"SevenPoints", "RED\nPOLYLINE\n7\n", "色補正ファイルの制御点の数が正しくありません"},
    {"PointAtOne", "RED\nPOLYLINE\n1\n1.0 0.5\n", "色補正ファイルの制御点が正しくありません"},
};

class AdjustCliBadCurve : public AdjustCliTest, public ::testing::WithParamInterface<BadCurve> {};

TEST_P(AdjustCliBadCurve, FailsWithTheReadersMessageAndWritesNothing) {
  const std::string curve = CurveFile("bad.cc", GetParam().text);
  const Result r = RunCli({"adjust", Picture(0xFF808080u), Path("out.vlb"), "--curve", curve});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: " + curve + ": " + GetParam().message + "\n");
  EXPECT_FALSE(std::filesystem::exists(Path("out.vlb")));
}

INSTANTIATE_TEST_SUITE_P(Cases, AdjustCliBadCurve, ::testing::ValuesIn(kBadCurves),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AdjustCliTest, FailuresTellWhyAndWriteNothing) {
  Result r = RunCli({"adjust", Path("missing.vlb"), Path("out.vlb"), "--brightness", "1"});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: 画像が読み込めません\n");
  r = RunCli({"adjust", Picture(0xFF808080u), Path("out.vlb"), "--brightness", "1", "--layer", "2"});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: there is no layer 2\n");
  r = RunCli({"adjust", Path("in.vlb"), Path("out.vlb"), "--curve", Path("none.cc")});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_FALSE(std::filesystem::exists(Path("out.vlb")));
}

struct BadUsage {
  const char* name;
  std::vector<std::string> extra;
};

const BadUsage kBadUsages[] = {
    {"NoAdjustment", {}},
    {"TwoAdjustments", {"--rgba", "1,2,3,4", "--brightness", "3"}},
    {"RgbaThreeValues", {"--rgba", "1,2,3"}},
    {"RgbaAbove255", {"--rgba", "1,2,3,256"}},
    {"RgbaBelowMinus255", {"--rgba", "-256,2,3,4"}},
    {"RgbaNotNumbers", {"--rgba", "a,b,c,d"}},
    {"RgbaEmptyPart", {"--rgba", "1,,3,4"}},
    {"ToneTwoZones", {"--tone", "1,2,3;4,5,6"}},
    {"ToneTwoSliders", {"--tone", "1,2;3,4,5;6,7,8"}},
    {"ToneAbove100", {"--tone", "0,0,0;0,101,0;0,0,0"}},
    {"BrightnessAbove255", {"--brightness", "256"}},
    {"ContrastBelow100", {"--contrast", "-101"}},
    {"ContrastNotANumber", {"--contrast", "x"}},
    {"NegativeLayer", {"--brightness", "1", "--layer", "-1"}},
    {"UnknownOption", {"--gamma", "2"}},
    {"MissingValue", {"--rgba"}},
};

class AdjustCliUsage : public AdjustCliTest, public ::testing::WithParamInterface<BadUsage> {};

TEST_P(AdjustCliUsage, IsWrongUsageAndWritesNothing) {
  std::vector<std::string> args{"adjust", Picture(0xFF808080u), Path("out.vlb")};
  args.insert(args.end(), GetParam().extra.begin(), GetParam().extra.end());
  const Result r = RunCli(args);
  EXPECT_EQ(r.status, kUsage) << r.err;
  EXPECT_FALSE(std::filesystem::exists(Path("out.vlb")));
}

INSTANTIATE_TEST_SUITE_P(Cases, AdjustCliUsage, ::testing::ValuesIn(kBadUsages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AdjustCliTest, OnlyOnePathIsWrongUsage) {
  EXPECT_EQ(RunCli({"adjust", Picture(0xFF808080u), "--brightness", "1"}).status, kUsage);
}

}  // namespace
}  // namespace varnel::cli
