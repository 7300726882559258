#include "sievehost/filter_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/surface.h"
#include "platform/dynamic_library.h"

namespace varnel {
namespace {

const std::string kProbeFolder = VARNEL_SIEVEHOST_PROBE_DIR;

std::string TakeLog() {
  DynamicLibrary probe;
  EXPECT_TRUE(probe.Open(kProbeFolder + "/BatchProbe.so"));
  const auto take = probe.Function<const char* (*)()>("ProbeTakeLog");
  return take ? take() : "";
}

// ---- the preview -----------------------------------------------------------------------------

TEST(SievehostPreview, TheLongerSideTakes140AndTheOtherItsShare) {
  struct Case {
    const char* name;
    int32_t width, height;
    Size expected;
  } cases[] = {
      {"wider", 300, 200, {140, 93}},           // 200 × 140 / 300 = 93.3
      {"taller", 200, 300, {93, 140}},
      {"square is not wider", 100, 100, {140, 140}},
      {"one pixel grows", 1, 1, {140, 140}},
      {"just wider", 141, 140, {140, 139}},     // 140 × 140 / 141 = 139.0
      {"a strip rounds to nothing", 4000, 1, {0, 0}},
      {"a column rounds to nothing", 1, 141, {0, 0}},
      {"no width", 0, 5, {0, 0}},
      {"negative height", 5, -3, {0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(SievehostPreviewSize(c.width, c.height), c.expected) << c.name;
}

// Pixel (x, y) of the picture: its position in the low bytes, opaque.
uint32_t Marked(int32_t x, int32_t y) { return 0xFF000000u | static_cast<uint32_t>(y << 8 | x); }

void FillMarked(ImageSurface& surface) {
  for (int32_t y = 0; y < surface.Height(); ++y)
    for (int32_t x = 0; x < surface.Width(); ++x) surface.Row(y)[x] = Marked(x, y);
}

TEST(SievehostPreview, EachPreviewPixelTakesItsNearestSourcePixel) {
  struct Case {
    const char* name;
    Size source;
    int32_t x, y;          // in the preview
    int32_t fromX, fromY;  // x × W / pw, y × H / ph
  } cases[] = {
      {"wide, corner", {4, 2}, 0, 0, 0, 0},          {"wide, last of the first cell", {4, 2}, 34, 34, 0, 0},
      {"wide, next column", {4, 2}, 35, 34, 1, 0},   {"wide, next row", {4, 2}, 69, 35, 1, 1},
      {"wide, far corner", {4, 2}, 139, 69, 3, 1},   {"wide, third column", {4, 2}, 104, 0, 2, 0},
      {"tall, corner", {2, 4}, 34, 34, 0, 0},        {"tall, second column", {2, 4}, 35, 35, 1, 1},
      {"tall, last row", {2, 4}, 0, 139, 0, 3},
  };
  for (const Case& c : cases) {
    ImageSurface source;
    ASSERT_EQ(source.Create(c.source), 0);
    FillMarked(source);
    SievehostPreview preview;
    ASSERT_TRUE(preview.Load(*source.Descriptor())) << c.name;
    EXPECT_EQ(preview.Surface().Width(), c.source.width > c.source.height ? 140 : 70) << c.name;
    EXPECT_EQ(preview.Surface().Row(c.y)[c.x], Marked(c.fromX, c.fromY)) << c.name;
  }
}

TEST(SievehostPreview, APictureWithoutAPreviewLeavesNothingToShow) {
  ImageSurface strip;
  ASSERT_EQ(strip.Create({300, 1}), 0);
  ImageSurface square;
  ASSERT_EQ(square.Create({4, 4}), 0);
  ImageDescriptor noRows = *square.Descriptor();
  noRows.rows = nullptr;
  struct Case {
    const char* name;
    const ImageDescriptor* head;
  } cases[] = {{"a strip", strip.Descriptor()}, {"a head without rows", &noRows}};
  for (const Case& c : cases) {
    SievehostPreview preview;
    ASSERT_TRUE(preview.Load(*square.Descriptor()));
    EXPECT_FALSE(preview.Load(*c.head)) << c.name;
    EXPECT_FALSE(preview.IsLoaded()) << c.name;
  }
}

// ---- the values and the batch line ---------------------------------------------------------

TEST(SievehostValues, SlidersGiveTheFirstSixAndDefaultsTheRest) {
  std::vector<SievehostParameter> eight;
  for (int32_t i = 0; i < 8; ++i) eight.push_back({"p", 0, 100, 10 + i});
  struct Case {
    const char* name;
    std::vector<SievehostParameter> parameters;
    std::vector<int32_t> positions;
    std::vector<int32_t> expected;
  } cases[] = {
      {"eight parameters", eight, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 16, 17}},
      {"held to the range", {{"a", -5, 5, 0}, {"b", 0, 9, 3}}, {-20, 30, 0, 0, 0, 0}, {-5, 9}},
      {"no parameters", {}, {1, 2, 3, 4, 5, 6}, {}},
      {"fewer positions than parameters", {{"a", 0, 9, 4}, {"b", 0, 9, 7}}, {2}, {2, 7}},
  };
  for (const Case& c : cases) EXPECT_EQ(SievehostRunValues(c.parameters, c.positions), c.expected) << c.name;
}

TEST(SievehostValues, CopyParamWritesTheBatchLine) {
  struct Case {
    const char* name;
    const char *library, *filter;
    std::vector<int32_t> values;
    const char* expected;
  } cases[] = {
      {"values", "SampleEffects.so", "Noise", {3, 7}, "SampleEffects.so:Noise:3,7"},
      {"negative", "a.so", "F", {-5, 0}, "a.so:F:-5,0"},
      {"no values", "a.so", "F", {}, "a.so:F:"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SievehostCopyParamText(c.library, c.filter, c.values), c.expected) << c.name;
}

// ---- the libraries ---------------------------------------------------------------------------

TEST(SievehostLibraries, TheTreeListsEveryLibraryWithItsFiltersAndParameters) {
  const SievehostLibraryList libraries(kProbeFolder);
  std::vector<SievehostTreeNode> tree = SievehostFilterTree(libraries);
  std::sort(tree.begin(), tree.end(), [](const auto& a, const auto& b) { return a.library < b.library; });
  EXPECT_EQ(tree, (std::vector<SievehostTreeNode>{{"BatchProbe.so", {"Mark", "Wide"}}, {"ExecuteProbe.so", {"Dot"}}}));

  const SievehostLibrary& probe = *libraries.Find("BatchProbe.so");
  const SievehostLibrary& dot = *libraries.Find("ExecuteProbe.so");
  EXPECT_EQ(libraries.Find("batchprobe.so"), nullptr);  // the dialog's lookup minds the case
  struct Case {
    const char* name;
    const SievehostLibrary* library;
    std::vector<SievehostParameter> parameters;
    std::string valueText;  // of parameter 0 at 25
  } cases[] = {
      {"EnumParams and ParamToString", &probe, {{"Level", 0, 100, 40}}, "Mark 0: 25%"},
      {"neither", &dot, {}, ""},
  };
  for (const Case& c : cases) {
    const std::string filter = c.library == &probe ? "Mark" : "Dot";
    EXPECT_EQ(SievehostParameters(*c.library, filter), c.parameters) << c.name;
    EXPECT_EQ(SievehostValueText(*c.library, filter, 0, 25), c.valueText) << c.name;
  }
}

TEST(SievehostLibraries, ThePreviewCallsExecuteOnTheUnfilteredPictureEveryTime) {
  const SievehostLibraryList libraries(kProbeFolder);
  ImageSurface picture;
  ASSERT_EQ(picture.Create({4, 2}), 0);
  FillMarked(picture);
  SievehostPreview preview;
  ASSERT_TRUE(preview.Load(*picture.Descriptor()));
  TakeLog();
  struct Case {
    const char* name;
    const char *library, *filter;
    std::vector<int32_t> values;
    uint32_t pixel;  // preview pixel (1, 0) afterwards
    const char* log;
  } cases[] = {
      {"Execute only", "ExecuteProbe.so", "Dot", {5}, 0xFF000005u, ""},
      {"never ProcessFilter, and the dot is gone", "BatchProbe.so", "Mark", {40}, Marked(0, 0), "Execute Mark 1:40;"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(preview.Run(*libraries.Find(c.library), c.filter, c.values)) << c.name;
    EXPECT_EQ(preview.Surface().Row(0)[1], c.pixel) << c.name;
    EXPECT_EQ(TakeLog(), c.log) << c.name;
  }
  EXPECT_EQ(picture.Row(0)[1], Marked(1, 0));  // the picture itself is only read
}

TEST(SievehostLibraries, OkRunsProcessFilterAndAnAbortPutsTheSavedTilesBack) {
  const SievehostLibraryList libraries(kProbeFolder);
  struct Case {
    const char* name;
    const char *library, *filter;
    bool abort;
    uint32_t pixel;  // every pixel afterwards
    std::vector<int32_t> percents;
  } cases[] = {
      {"a full run", "BatchProbe.so", "Wide", false, 0xFF112233u, {50}},
      {"aborted at the progress call", "BatchProbe.so", "Wide", true, 0xFFFFFFFFu, {50}},
      {"Execute without ProcessFilter", "ExecuteProbe.so", "Dot", false, 0, {}},
  };
  for (const Case& c : cases) {
    ImageSurface layer;
    ASSERT_EQ(layer.Create({20, 10}), 0);  // opaque white
    layer.BackupAll(false, false);         // as the canvas backs the target up first
    std::vector<int32_t> percents;
    SievehostFilterRun* running = nullptr;
    SievehostFilterRun run([&](int32_t percent) {
      percents.push_back(percent);
      if (c.abort) running->RequestAbort();
    });
    running = &run;
    TakeLog();
    EXPECT_TRUE(run.Run(*libraries.Find(c.library), c.filter, {7}, *layer.Descriptor())) << c.name;
    EXPECT_EQ(run.Aborted(), c.abort) << c.name;
    EXPECT_EQ(percents, c.percents) << c.name;
    if (c.pixel != 0) {
      EXPECT_EQ(layer.Row(0)[0], c.pixel) << c.name;
      EXPECT_EQ(layer.Row(9)[19], c.pixel) << c.name;
    } else {
      EXPECT_EQ(layer.Row(0)[1], 0xFF000007u) << c.name;
    }
    EXPECT_EQ(layer.SavedTileCount(), c.abort ? 0 : 2) << c.name;
  }
  EXPECT_EQ(SievehostFilterRun::Progress(0, 50), 0);  // no run going on
}

}  // namespace
}  // namespace varnel
