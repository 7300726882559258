// varnel-cli resize, rotate and turn: the new document each writes (pixels worked out from the
// rules on pictures whose results are exact), the messages of the program as failure lines, and
// the answers to bad input.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "document/layer_file.h"
#include "tests/cli/cli_run.h"
#include "tests/support/temp_folder.h"

namespace varnel::cli {
namespace {

using cli_test::Result;
using cli_test::RunCli;

class TransformCliTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1); }
  void TearDown() override { unsetenv("VARNEL_HOME"); }

  std::string Path(const std::string& name) const { return folder.File(name); }

  // A 4 × 3 picture: layer 0 of one colour, layer 1 (2 × 2 at 1, 1) numbered pixel by pixel.
  std::string Picture(uint32_t base) {
    LayerList layers;
    layers.push_back(std::make_unique<Layer>());
    layers.back()->Create({4, 3});
    for (int32_t y = 0; y < 3; ++y) std::fill_n(layers.back()->Row(y), 4, base);
    layers.push_back(std::make_unique<Layer>());
    layers.back()->Create({2, 2});
    for (uint32_t k = 0; k < 4; ++k) layers.back()->Row(int32_t(k / 2))[k % 2] = 0xFF000000u | (k + 1);
    layers.back()->SetOffset(1, 1);
    LayerRefs refs;
    for (auto& layer : layers) {
      layer->DiscardBackups();
      refs.push_back(layer.get());
    }
    ImageSurface composite;
    composite.Create({4, 3});
    EXPECT_EQ(WriteLayerFile(Path("in.vlb"), refs, 4, 3, composite, GridSettings{}), 0);
    return Path("in.vlb");
  }

  LayerList Read(const std::string& path) {
    LayerList layers;
    EXPECT_EQ(ReadAnyLayerFile(path, layers), 0);
    return layers;
  }

  test::TempFolder folder;
};

// Twice the size by "通常": a flat colour stays exactly that colour.
TEST_F(TransformCliTest, ResizeOfTheActiveLayerOpensItAloneAtTheNewSize) {
  const Result r = RunCli({"resize", Picture(0xFF336699u), Path("out.vlb"), "8", "6", "--method", "0"});
  ASSERT_EQ(r.status, 0) << r.err;
  const LayerList layers = Read(Path("out.vlb"));
  ASSERT_EQ(layers.size(), 1u);
  ASSERT_EQ(layers[0]->GetSize(), (Size{8, 6}));
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(layers[0]->Row(y)[x], 0xFF336699u) << x << "," << y;
}

// Every layer by the canvas's ratio: the 2 × 2 layer at (1, 1) becomes 4 × 4 at (2, 2); by
// "Keys'function" a pixel of it at a whole source position is the source pixel.
TEST_F(TransformCliTest, ResizeOfAllLayersScalesEachByTheCanvasRatio) {
  const Result r = RunCli({"resize", Picture(0xFF000000u), Path("out.vlb"), "8", "6", "--all-layers", "--method", "5"});
  ASSERT_EQ(r.status, 0) << r.err;
  const LayerList layers = Read(Path("out.vlb"));
  ASSERT_EQ(layers.size(), 2u);
  EXPECT_EQ(layers[1]->GetSize(), (Size{4, 4}));
  EXPECT_EQ(layers[1]->OffsetX(), 2);
  EXPECT_EQ(layers[1]->OffsetY(), 2);
  EXPECT_EQ(layers[1]->Row(0)[0], 0xFF000001u);
  EXPECT_EQ(layers[1]->Row(3)[3], 0xFF000004u);
}

// 右90度回転 of the 2 × 2 layer: target (1 − r, x) = source (x, r).
TEST_F(TransformCliTest, TurnsAndFlipsTheChosenLayer) {
  struct Case {
    const char* turn;
    std::vector<uint32_t> pixels;  // rows of the result, top first
  };
  for (const Case& c : {Case{"right", {3, 1, 4, 2}}, Case{"left", {2, 4, 1, 3}}, Case{"flip-vertical", {3, 4, 1, 2}},
                        Case{"flip-horizontal", {2, 1, 4, 3}}}) {
    const Result r = RunCli({"turn", Picture(0xFF000000u), Path("out.vlb"), c.turn, "--layer", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    const LayerList layers = Read(Path("out.vlb"));
    ASSERT_EQ(layers.size(), 1u);
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 2; ++x) pixels.push_back(layers[0]->Row(y)[x] & 0xFFFFFFu);
    EXPECT_EQ(pixels, c.pixels) << c.turn;
  }
}

// 90° turns 4 × 3 into a 3 × 4 box; −270 keeps its sign and gives the same box.
TEST_F(TransformCliTest, RotateWritesTheRotatedBoundingSize) {
  for (const char* degrees : {"90", "-270"}) {
    const Result r = RunCli({"rotate", Picture(0xFF102030u), Path("out.vlb"), degrees});
    ASSERT_EQ(r.status, 0) << r.err;
    const LayerList layers = Read(Path("out.vlb"));
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_EQ(layers[0]->GetSize(), (Size{3, 4})) << degrees;
  }
}

struct FailureCase {
  const char* name;
  std::vector<std::string> arguments;  // after IN OUT
  int status;
  std::string err;
};

const FailureCase kFailures[] = {
    {"ZeroWidth", {"0", "5"}, 1, "varnel-cli: サイズを0にすることはできません\n"},
    {"NegativeHeight", {"4", "-1"}, 2, ""},
    {"MethodOutOfRange", {"4", "4", "--method", "6"}, 2, ""},
    {"MissingHeight", {"4"}, 2, ""},
    {"NoSuchLayer", {"4", "4", "--layer", "5"}, 1, "varnel-cli: there is no layer 5\n"},
};

class TransformCliFailures : public TransformCliTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(TransformCliFailures, AnswerWithTheProgramsMessageOrAsWrongUsage) {
  const FailureCase& c = GetParam();
  std::vector<std::string> args = {"resize", Picture(0xFF000000u), Path("out.vlb")};
  args.insert(args.end(), c.arguments.begin(), c.arguments.end());
  const Result r = RunCli(args);
  EXPECT_EQ(r.status, c.status) << r.err;
  if (!c.err.empty()) {
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_FALSE(std::filesystem::exists(Path("out.vlb")));
}

INSTANTIATE_TEST_SUITE_P(TransformCli, TransformCliFailures, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransformCliTest, AnUnknownTurnOrAngleIsWrongUsage) {
  EXPECT_EQ(RunCli({"turn", Picture(0xFF000000u), Path("out.vlb"), "sideways"}).status, 2);
  EXPECT_EQ(RunCli({"rotate", Path("in.vlb"), Path("out.vlb"), "30.5"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(Path("out.vlb")));
}

}  // namespace
}  // namespace varnel::cli
