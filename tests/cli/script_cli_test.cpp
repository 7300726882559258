// varnel-cli script: the script over the active layer, its message boxes on stdout, errors with
// their line on stderr and no output, VBScript refused, and the timeout.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/commands.h"
#include "document/layer_file.h"
#include "tests/cli/cli_run.h"
#include "tests/support/temp_folder.h"

namespace varnel::cli {
namespace {

using cli_test::Result;
using cli_test::RunCli;

class ScriptCliTest : public ::testing::Test {
 protected:
  // Two 2 × 2 layers: layer 0 opaque black, layer 1 opaque white.
  std::string Picture() {
    std::vector<std::unique_ptr<Layer>> layers;
    for (uint32_t colour : {0xFF000000u, 0xFFFFFFFFu}) {
      auto layer = std::make_unique<Layer>();
      EXPECT_EQ(layer->Create({2, 2}), 0);
      for (int32_t y = 0; y < 2; ++y) std::fill_n(layer->Row(y), 2, colour);
      layer->DiscardBackups();
      layers.push_back(std::move(layer));
    }
    ImageSurface composite;
    composite.Create({2, 2});
    EXPECT_EQ(WriteLayerFile(folder.File("in.vlb"), {layers[0].get(), layers[1].get()}, 2, 2, composite, GridSettings{}), 0);
    return folder.File("in.vlb");
  }
  std::string Script(const char* name, const std::string& text) {
    std::ofstream(folder.File(name)) << text;
    return folder.File(name);
  }
  uint32_t Pixel(const std::string& path, size_t layer, int32_t x, int32_t y) {
    LayerList layers;
    EXPECT_EQ(ReadAnyLayerFile(path, layers), 0);
    return layers.size() > layer ? layers[layer]->Row(y)[x] : 0;
  }

  test::TempFolder folder;
};

TEST_F(ScriptCliTest, RunsOverTheChosenLayerAndPrintsMessageBoxes) {
  struct Case {
    std::vector<std::string> layerOption;
    size_t layer;
    uint32_t untouched;
  } cases[] = {{{}, 0, 0xFF000000u}, {{"--layer", "1"}, 1, 0xFFFFFFFFu}};
  for (const Case& c : cases) {
    const std::string script = Script("s.js", "var i = Document.Image;\ni.SetPixel(1, 0, 0x800000FF);\n"
                                              "Document.UserInterface.MessageBox(i.CX + ',' + i.GetPixel(0, 1));\n");
    std::vector<std::string> args = {"script", Picture(), folder.File("out.vlb"), script};
    args.insert(args.end(), c.layerOption.begin(), c.layerOption.end());
    const Result r = RunCli(args);
    ASSERT_EQ(r.status, kSuccess) << r.err;
    EXPECT_EQ(r.out, "2," + std::to_string(static_cast<int32_t>(c.untouched)) + "\n");
    EXPECT_EQ(Pixel(folder.File("out.vlb"), c.layer, 1, 0), 0x80FF0000u);
    EXPECT_EQ(Pixel(folder.File("out.vlb"), c.layer, 0, 0), c.untouched);
  }
}

TEST_F(ScriptCliTest, AnUncaughtErrorPrintsItsLineAndWritesNothing) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"var a = 1;\nthrow new Error('boom');\n", "s.js:2: Error: boom\n"},
      {"throw new Error('two\\nlines');\n", "s.js:1: Error: two lines\n"},
      {"\n\nDocument.CreateImage().Create(0, 1);\n", "s.js:3: Error: E_FAIL\n"},
      {"Document.SetImage(4096, 4096);\n", "s.js:1: Error: E_FAIL\n"},
  };
  for (const Case& c : cases) {
    const Result r = RunCli({"script", Picture(), folder.File("out.vlb"), Script("s.js", c.text)});
    EXPECT_EQ(r.status, kFailed) << c.text;
    EXPECT_EQ(r.err, "varnel-cli: " + folder.File("") + c.message) << c.text;
    EXPECT_FALSE(std::filesystem::exists(folder.File("out.vlb"))) << c.text;
  }
}

TEST_F(ScriptCliTest, VbscriptIsRefusedAndATimeoutStopsALoop) {
  const Result vbs = RunCli({"script", Picture(), folder.File("out.vlb"), Script("s.VbS", "MsgBox 1")});
  EXPECT_EQ(vbs.status, kFailed);
  EXPECT_EQ(vbs.err, "varnel-cli: VBScriptは使えません。JScriptで書いてください。\n");
  const Result loop = RunCli({"script", Picture(), folder.File("out.vlb"), Script("l.js", "for (;;) {}"), "--timeout", "1"});
  EXPECT_EQ(loop.status, kFailed);
  EXPECT_EQ(loop.err, "varnel-cli: " + folder.File("l.js") + ": stopped after 1 s\n");
  EXPECT_FALSE(std::filesystem::exists(folder.File("out.vlb")));
  EXPECT_EQ(RunCli({"script", Picture(), folder.File("out.vlb"), "l.js", "--timeout", "0"}).status, kUsage);
}

TEST_F(ScriptCliTest, TheShippedPatternScriptMultipliesItsRampAtHalfStrength) {
  const Result r = RunCli({"script", Picture(), folder.File("out.vlb"), VARNEL_SOURCE_DIR "/data/Ext/Scripts/pattern.js"});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  // Light square 0xFFE0F0FF under ramp value 0: each byte d becomes d + ((0 − d) × 128 >> 8).
  EXPECT_EQ(Pixel(folder.File("out.vlb"), 0, 0, 0), 0xFF7F7870u);
}

}  // namespace
}  // namespace varnel::cli
