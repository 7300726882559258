// varnel-cli filter and filters: the listing of Filter/, the run of one filter (real and
// preview entry points, the values as the dialog's scroll bars give them), and bad input.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>

#include "cli/commands.h"
#include "document/layer_file.h"
#include "tests/cli/cli_run.h"
#include "tests/document/test_files.h"

namespace varnel::cli {
namespace {

using cli_test::Result;
using cli_test::RunCli;

// A program folder of the test's own whose Filter/ holds copies of the named probes.
class FilterCliTest : public ::testing::Test {
 protected:
  void UseProbes(std::initializer_list<const char*> probes) {
    std::filesystem::create_directories(folder.File("home/Filter"));
    for (const char* probe : probes)
      std::filesystem::copy_file(std::string(VARNEL_FILTER_PROBE_DIR) + "/" + probe + ".so",
                                 folder.File(std::string("home/Filter/") + probe + ".so"));
    setenv("VARNEL_HOME", folder.File("home").c_str(), 1);
  }
  void TearDown() override { unsetenv("VARNEL_HOME"); }

  // A 3 × 2 picture of one grey layer.
  std::string Picture() {
    auto layer = std::make_unique<Layer>();
    EXPECT_EQ(layer->Create({3, 2}), 0);
    for (int32_t y = 0; y < 2; ++y) std::fill_n(layer->Row(y), 3, 0xFF808080u);
    layer->DiscardBackups();
    ImageSurface composite;
    composite.Create({3, 2});
    EXPECT_EQ(WriteLayerFile(folder.File("in.vlb"), {layer.get()}, 3, 2, composite, GridSettings{}), 0);
    return folder.File("in.vlb");
  }

  uint32_t FirstPixel(const std::string& path) {
    LayerList layers;
    EXPECT_EQ(ReadAnyLayerFile(path, layers), 0);
    return layers.empty() ? 0 : layers[0]->Row(1)[2];
  }

  test::TempFolder folder;
};

struct ListCase {
  const char* probe;
  const char* json;
};

TEST_F(FilterCliTest, FiltersListsEachLibraryWithItsInterfaceFiltersAndParameters) {
  const ListCase cases[] = {
      {"probe_both",
       R"([{"library":"probe_both.so","interface":"name","filters":[{"name":"Named","params":[{"name":"N","min":0,"max":9,"default":1}]}]}])"},
      {"probe_alias",
       R"([{"library":"probe_alias.so","interface":"alias","filters":[{"name":"Stamp","params":[{"name":"Level","min":0,"max":255,"default":50}]},{"name":"Other","params":[]}]}])"},
      {"probe_partial", R"([{"library":"probe_partial.so","interface":"alias","filters":[{"name":"Partial","params":[]}]}])"},
      {"probe_none", R"([{"library":"probe_none.so","interface":"none","filters":[]}])"},
  };
  for (const ListCase& c : cases) {
    std::filesystem::remove_all(folder.File("home"));
    UseProbes({c.probe});
    const Result r = RunCli({"filters"});
    EXPECT_EQ(r.status, kSuccess) << c.probe;
    EXPECT_EQ(r.out, std::string(c.json) + "\n") << c.probe;
  }
  std::filesystem::remove_all(folder.File("home/Filter"));
  EXPECT_EQ(RunCli({"filters"}).out, "[]\n");
  EXPECT_EQ(RunCli({"filters", "extra"}).status, kUsage);
}

struct RunCase {
  const char* name;
  std::vector<std::string> args;  // after IN OUT
  uint32_t pixel;
};

TEST_F(FilterCliTest, FilterRunsTheRealOrThePreviewEntryWithTheValuesTheSlotsWouldHold) {
  UseProbes({"probe_name", "probe_alias"});
  const std::string in = Picture();
  // Markers: alpha = entry (0x22 ProcessFilter, 0x11 Execute, 0x33 alias), red = count,
  // green:blue = sum.
  const RunCase cases[] = {
      {"real run", {"probe_name.so", "Fill", "7,8"}, 0x22020000u | 15},
      {"preview entry", {"probe_name.so", "Fill", "7,8", "--preview"}, 0x11020000u | 15},
      {"values clamped to the range", {"probe_name.so", "Fill", "-4,300"}, 0x22020000u | 255},
      {"missing values take the default", {"probe_name.so", "Fill", "1"}, 0x22020000u | 21},
      {"no values", {"probe_name.so", "Bare"}, 0x22000000u},
      {"seven parameters", {"probe_name.so", "Seven"}, 0x22070000u | (1 + 11 + 21 + 31 + 41 + 51 + 61)},
      {"alias interface", {"probe_alias.so", "Stamp", "9"}, 0x33010000u | 9},
  };
  for (const RunCase& c : cases) {
    std::vector<std::string> args = {"filter", in, folder.File("out.vlb")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = RunCli(args);
    ASSERT_EQ(r.status, kSuccess) << c.name << ": " << r.err;
    EXPECT_EQ(FirstPixel(folder.File("out.vlb")), c.pixel) << c.name;
  }
}

TEST_F(FilterCliTest, TheShippedSamplesRunFromTheProgramFolder) {
  setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1);
  const std::string in = Picture();
  const Result r = RunCli({"filter", in, folder.File("out.vlb"), "SampleEffects.so", "Invert"});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  EXPECT_EQ(FirstPixel(folder.File("out.vlb")), 0xFF7F7F7Fu);
}

struct BadCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* err;
};

TEST_F(FilterCliTest, BadInputIsToldAndWritesNothing) {
  UseProbes({"probe_name", "probe_none"});
  const std::string in = Picture();
  const std::string out = folder.File("never.vlb");
  const BadCase cases[] = {
      {"no such library", {"filter", in, out, "nothing.so", "Fill"}, kFailed,
       "varnel-cli: no filter library nothing.so in Filter/\n"},
      {"no such filter", {"filter", in, out, "probe_name.so", "Blur"}, kFailed,
       "varnel-cli: probe_name.so has no filter Blur\n"},
      {"a library without filters", {"filter", in, out, "probe_none.so", "Any"}, kFailed,
       "varnel-cli: probe_none.so has no filter Any\n"},
      {"values not numbers", {"filter", in, out, "probe_name.so", "Fill", "1,x"}, kUsage, nullptr},
      {"empty value", {"filter", in, out, "probe_name.so", "Fill", "1,,2"}, kUsage, nullptr},
      {"trailing comma", {"filter", in, out, "probe_name.so", "Fill", "1,"}, kUsage, nullptr},
      {"too few arguments", {"filter", in, out, "probe_name.so"}, kUsage, nullptr},
      {"unreadable input", {"filter", folder.File("missing.vlb"), out, "probe_name.so", "Fill"}, kFailed, nullptr},
  };
  for (const BadCase& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.status, c.status) << c.name;
    if (c.err) {
      EXPECT_EQ(r.err, c.err) << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(out)) << c.name;
  }
}

}  // namespace
}  // namespace varnel::cli
