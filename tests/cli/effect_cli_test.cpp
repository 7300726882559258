// varnel-cli effect and effects: one frame of an Animorph effect from the active layer, over
// zeros or the first layer of another picture, the fades' opacity, and bad input.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "cli/commands.h"
#include "document/layer_file.h"
#include "tests/cli/cli_run.h"
#include "tests/support/temp_folder.h"

namespace varnel::cli {
namespace {

using cli_test::Result;
using cli_test::RunCli;

class EffectCliTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1); }
  void TearDown() override { unsetenv("VARNEL_HOME"); }

  // A picture of one layer filled with colour.
  std::string Picture(const std::string& name, int32_t w, int32_t h, uint32_t colour) {
    auto layer = std::make_unique<Layer>();
    EXPECT_EQ(layer->Create({w, h}), 0);
    for (int32_t y = 0; y < h; ++y) std::fill_n(layer->Row(y), w, colour);
    layer->DiscardBackups();
    ImageSurface composite;
    composite.Create({w, h});
    EXPECT_EQ(WriteLayerFile(folder.File(name), {layer.get()}, w, h, composite, GridSettings{}), 0);
    return folder.File(name);
  }

  std::unique_ptr<Layer> Layer0(const std::string& path) {
    LayerList layers;
    EXPECT_EQ(ReadAnyLayerFile(path, layers), 0);
    EXPECT_EQ(layers.size(), 1u);
    return layers.empty() ? nullptr : std::move(layers[0]);
  }

  test::TempFolder folder;
};

TEST_F(EffectCliTest, EffectsListsAnimorphWithItsTwelveEffects) {
  const Result r = RunCli({"effects"});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  EXPECT_NE(r.out.find("{\"library\":\"Animorph.so\",\"effects\":[\"フェードイン\",\"フェードアウト\",\"ワイプイン\","
                       "\"ワイプアウト\",\"拡大\",\"回転\",\"正弦波\",\"モザイク\",\"すだれ\",\"行スライド\",\"ぼかし\",\"雪\"]}"),
            std::string::npos)
      << r.out;
}

TEST_F(EffectCliTest, WipeInOverZerosAndOverAnotherPicture) {
  const std::string in = Picture("in.vlb", 2, 4, 0xFF112233u);
  const std::string dest = Picture("dest.vlb", 2, 4, 0x80445566u);
  // Rows 2 and 3 at k = 2 of 4 are cleared: every byte 0 over either start.
  for (bool withDest : {false, true}) {
    std::vector<std::string> args = {"effect", in, folder.File("out.vlb"), "2", "2", "4"};
    if (withDest) args.insert(args.end(), {"--dest", dest});
    const Result r = RunCli(args);
    ASSERT_EQ(r.status, kSuccess) << r.err;
    EXPECT_TRUE(r.out.empty());
    const auto out = Layer0(folder.File("out.vlb"));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Row(1)[1], 0xFF112233u);
    EXPECT_EQ(out->Row(2)[0], 0u);
  }
  // Blinds at frame 0 copy only the last row; the rest shows the destination picture.
  ASSERT_EQ(RunCli({"effect", in, folder.File("out.vlb"), "8", "0", "4", "--dest", dest}).status, kSuccess);
  const auto out = Layer0(folder.File("out.vlb"));
  EXPECT_EQ(out->Row(0)[0], 0x80445566u);
  EXPECT_EQ(out->Row(3)[0], 0xFF112233u);
}

TEST_F(EffectCliTest, FadesPrintTheirOpacity) {
  const std::string in = Picture("in.vlb", 2, 2, 0xFF112233u);
  struct Case {
    const char* index;
    const char* frame;
    const char* count;
    const char* out;
  };
  const Case cases[] = {{"0", "0", "1", "opacity: 128\n"}, {"1", "0", "1", "opacity: 128\n"},
                        {"0", "1", "3", "opacity: 128\n"}, {"1", "2", "3", "opacity: 64\n"}};
  for (const Case& c : cases) {
    const Result r = RunCli({"effect", in, folder.File("out.vlb"), c.index, c.frame, c.count});
    ASSERT_EQ(r.status, kSuccess) << r.err;
    EXPECT_EQ(r.out, c.out) << c.index << " " << c.frame << "/" << c.count;
  }
}

TEST_F(EffectCliTest, PercentSetsTheEnlargement) {
  const std::string in = Picture("in.vlb", 2, 2, 0xFF112233u);
  EXPECT_EQ(RunCli({"effect", in, folder.File("out.vlb"), "4", "1", "2"}).status, kSuccess);
  const Result r = RunCli({"effect", in, folder.File("none.vlb"), "4", "1", "2", "--percent", "99"});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_FALSE(std::filesystem::exists(folder.File("none.vlb")));
}

TEST_F(EffectCliTest, BadInputIsWrongUsageOrAFailure) {
  const std::string in = Picture("in.vlb", 2, 2, 0xFF112233u);
  const std::string out = folder.File("out.vlb");
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {{"effect", in, out, "0", "0"}, kUsage},
      {{"effect", in, out, "x", "0", "1"}, kUsage},
      {{"effect", in, out, "0", "0", "0"}, kUsage},
      {{"effect", in, out, "0", "2", "1"}, kUsage},
      {{"effect", in, out, "0", "-1", "1"}, kUsage},
      {{"effect", in, out, "4", "0", "1", "--percent", "a"}, kUsage},
      {{"effect", in, out, "0", "0", "1", "--layer", "3"}, kFailed},
      {{"effect", in, out, "12", "0", "1"}, kFailed},
      {{"effect", folder.File("missing.vlb"), out, "0", "0", "1"}, kFailed},
      {{"effect", in, out, "0", "0", "1", "--dest", folder.File("missing.vlb")}, kFailed},
      {{"effects", "extra"}, kUsage},
  };
  for (const Case& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[3];
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace varnel::cli
