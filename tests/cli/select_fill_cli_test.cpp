// varnel-cli select and fill: the region each colour-based shape writes, the layer or the
// composite as the colour source, the fill's modes and options, an empty selection, and the
// answers to bad input.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "brush/brush_settings.h"
#include "cli/commands.h"
#include "document/layer_file.h"
#include "document/region_file.h"
#include "document/tool_state.h"
#include "tests/document/test_files.h"
#include "tests/cli/cli_run.h"

namespace varnel::cli {
namespace {

using cli_test::Result;
using cli_test::RunCli;

constexpr uint32_t kA = 0xFF204060u;
constexpr uint32_t kB = 0xFF204061u;  // kA one step bluer, of the same hue
constexpr uint32_t kC = 0xFFC0C0C0u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

// Two areas of kA parted by kC; the left one holds a kB pixel.
const std::vector<uint32_t> kPicture = {
    kA, kA, kA, kC, kC, kC,  //
    kA, kB, kA, kC, kA, kA,  //
    kA, kA, kA, kC, kA, kA,  //
    kC, kC, kC, kC, kA, kA,  //
};

std::unique_ptr<Layer> LayerOf(int32_t w, int32_t h, const std::vector<uint32_t>& pixels, int32_t x = 0,
                               int32_t y = 0) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({w, h}), 0);
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c) layer->Row(r)[c] = pixels[static_cast<size_t>(r * w + c)];
  layer->SetOffset(x, y);
  return layer;
}

class SelectFillCli : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder.File(name); }

  std::string Write(const std::string& name, LayerList layers, int32_t w, int32_t h) {
    LayerRefs refs;
    for (const auto& layer : layers) refs.push_back(layer.get());
    ImageSurface composite;
    composite.Create({w, h});
    EXPECT_EQ(WriteLayerFile(Path(name), refs, w, h, composite, GridSettings{}), 0);
    return Path(name);
  }
  std::string Picture() {
    LayerList layers;
    layers.push_back(LayerOf(6, 4, kPicture));
    return Write("in.vlb", std::move(layers), 6, 4);
  }
  // A white 6 × 4 base under a 2 × 2 square of kA at (3, 1).
  std::string Square() {
    LayerList layers;
    layers.push_back(LayerOf(6, 4, std::vector<uint32_t>(24, kWhite)));
    layers.push_back(LayerOf(2, 2, std::vector<uint32_t>(4, kA), 3, 1));
    return Write("square.vlb", std::move(layers), 6, 4);
  }

  // The region file's rectangle and bytes.
  std::pair<Rect, std::vector<uint8_t>> RegionAt(const std::string& path) {
    Region region;
    EXPECT_EQ(LoadRegionFile(path, region), 0);
    return {region.Bounds(), std::vector<uint8_t>(region.Mask(), region.Mask() + region.Width() * region.Height())};
  }
  std::vector<uint32_t> Layer0(const std::string& path) {
    LayerList layers;
    EXPECT_EQ(ReadAnyLayerFile(path, layers), 0);
    if (layers.empty()) return {};
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < layers[0]->Height(); ++y)
      pixels.insert(pixels.end(), layers[0]->Row(y), layers[0]->Row(y) + layers[0]->Width());
    return pixels;
  }

  test::TempFolder folder;
};

struct SelectCase {
  const char* name;
  bool square;  // the square picture, else the two areas
  std::vector<std::string> options;
  Rect rect;
  std::vector<uint8_t> mask;
};

constexpr uint8_t X = 255;

TEST_F(SelectFillCli, EachShapeWritesTheRegionItSelects) {
  const SelectCase cases[] = {
      {"fill select stops at a pixel one step away", false, {"--fill", "0,0"}, {0, 0, 2, 2},
       {X, X, X, X, 0, X, X, X, X}},
      {"tolerance 1 takes it in", false, {"--fill", "2,2", "--tolerance", "1"}, {0, 0, 2, 2},
       std::vector<uint8_t>(9, X)},
      {"so does the hue", false, {"--fill", "0,0", "--component", "hue"}, {0, 0, 2, 2}, std::vector<uint8_t>(9, X)},
      {"colour range takes every area of the colour", false, {"--range", "5,3"}, {0, 0, 5, 3},
       {X, X, X, 0, 0, 0, X, 0, X, 0, X, X, X, X, X, 0, X, X, 0, 0, 0, 0, X, X}},
      {"fuzzy select spreads over neighbours near each other", false, {"--fuzzy", "0,0", "--tolerance", "1"},
       {0, 0, 2, 2}, std::vector<uint8_t>(9, X)},
      {"the active layer lies at its offset", true, {"--fill", "4,2", "--layer", "1"}, {3, 1, 4, 2},
       std::vector<uint8_t>(4, X)},
      {"the base layer alone is white throughout", true, {"--fill", "0,0"}, {0, 0, 5, 3}, std::vector<uint8_t>(24, X)},
      {"the composite shows the square", true, {"--fill", "0,0", "--surface"}, {0, 0, 5, 3},
       {X, X, X, X, X, X, X, X, X, 0, 0, X, X, X, X, 0, 0, X, X, X, X, X, X, X}},
  };
  for (const SelectCase& c : cases) {
    std::vector<std::string> args{"select", c.square ? Square() : Picture(), Path("out.vrd")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Result r = RunCli(args);
    ASSERT_EQ(r.status, kSuccess) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.name;
    const auto [rect, mask] = RegionAt(Path("out.vrd"));
    EXPECT_EQ(rect, c.rect) << c.name;
    EXPECT_EQ(mask, c.mask) << c.name;
    std::filesystem::remove(Path("out.vrd"));
  }
}

TEST_F(SelectFillCli, AnEmptySelectionIsToldAndWritesNothing) {
  for (const char* shape : {"--fill", "--fuzzy", "--range"}) {
    const Result r = RunCli({"select", Picture(), Path("out.vrd"), shape, "6,0"});
    EXPECT_EQ(r.status, kSuccess) << shape << ": " << r.err;
    EXPECT_EQ(r.out, "empty region\n") << shape;
    EXPECT_FALSE(std::filesystem::exists(Path("out.vrd"))) << shape;
  }
}

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kGreen = 0xFF00FF00u;

// The picture with the pixels marked '#' (four rows of six) replaced by paint, or made
// transparent for 0.
std::vector<uint32_t> Painted(const std::vector<std::string>& rows, uint32_t paint) {
  std::vector<uint32_t> pixels = kPicture;
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      if (rows[y][x] == '#') pixels[y * 6 + x] = paint == 0 ? pixels[y * 6 + x] & 0x00FFFFFFu : paint;
  return pixels;
}

TEST_F(SelectFillCli, FillPaintsTheClickedAreaByItsMode) {
  BrushToolSettings single;
  single.SetSize(1, 1);
  BrushToolState state(single);
  ASSERT_EQ(SaveToolStateFile(Path("brush.vpo"), "ブラシ", state), 0);
  const struct {
    const char* name;
    std::vector<std::string> options;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"black by default, the exact colour only", {"0,0"}, Painted({"###", "#.#", "###"}, kBlack)},
      {"tolerance 2 and a foreground", {"1,0", "--tolerance", "2", "--fg", "0000FF"},
       Painted({"###", "###", "###"}, kBlue)},
      {"transparency over the whole layer", {"9,9", "--mode", "clear", "--whole"},
       Painted({"######", "######", "######", "######"}, 0)},
      {"the brush from a tool state", {"5,3", "--mode", "brush", "--tool-state", Path("brush.vpo"), "--fg", "00FF00"},
       Painted({"", "....##", "....##", "....##"}, kGreen)},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"fill", Picture(), Path("out.vlb")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Result r = RunCli(args);
    ASSERT_EQ(r.status, kSuccess) << c.name << ": " << r.err;
    EXPECT_EQ(Layer0(Path("out.vlb")), c.expected) << c.name;
  }
}

TEST_F(SelectFillCli, WrongUsageWritesNothing) {
  const struct {
    const char* command;
    std::vector<std::string> options;  // after IN OUT
  } cases[] = {
      {"select", {}},
      {"select", {"--fill", "0,0", "--range", "1,1"}},
      {"select", {"--fill", "0;0"}},
      {"select", {"--fill", "0,0", "--tolerance", "256"}},
      {"select", {"--fill", "0,0", "--tolerance", "-1"}},
      {"select", {"--fill", "0,0", "--component", "blue"}},
      {"select", {"--fill", "0,0", "--size", "3"}},
      {"select", {"extra", "--fill", "0,0"}},
      {"fill", {}},
      {"fill", {"0,0", "--tolerance", "0"}},
      {"fill", {"0,0", "--tolerance", "256"}},
      {"fill", {"0,0", "--mode", "paint"}},
      {"fill", {"0,0", "--fg", "12345"}},
      {"fill", {"0,0", "0,0"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{c.command, Picture(), Path("out")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Result r = RunCli(args);
    EXPECT_EQ(r.status, kUsage) << c.command << ' ' << ::testing::PrintToString(c.options) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out"))) << ::testing::PrintToString(c.options);
  }
}

TEST_F(SelectFillCli, FailuresTellWhy) {
  Result r = RunCli({"fill", Path("missing.vlb"), Path("out.vlb"), "0,0"});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: 画像が読み込めません\n");
  r = RunCli({"fill", Picture(), Path("out.vlb"), "0,0", "--mode", "brush", "--tool-state", Path("none.vpo")});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: ファイルを開けません\n");
  r = RunCli({"select", Picture(), Path("out.vrd"), "--fill", "0,0", "--layer", "1"});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "varnel-cli: there is no layer 1\n");
}

}  // namespace
}  // namespace varnel::cli
