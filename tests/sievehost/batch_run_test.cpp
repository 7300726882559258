#include "sievehost/batch_run.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/surface.h"
#include "memwell/memwell.h"
#include "platform/dynamic_library.h"

namespace varnel {
namespace {

const std::string kProbeFolder = VARNEL_SIEVEHOST_PROBE_DIR;

// The probe's record of its calls since the last look.
std::string TakeLog(const char* library) {
  DynamicLibrary probe;
  EXPECT_TRUE(probe.Open(kProbeFolder + "/" + library));
  const auto take = probe.Function<const char* (*)()>("ProbeTakeLog");
  return take ? take() : "";
}

class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(surface.Create({20, 10}), 0);
    TakeLog("BatchProbe.so");
  }

  // Runs content over the surface's head as the dialog does; the hooks record what they see.
  BatchRunResult RunBatch(const std::string& content, bool abortOnProgress = false) {
    BatchRun* running = nullptr;
    BatchRunHooks hooks;
    hooks.message = [&](const std::string& text) { messages.push_back(text); };
    hooks.status = [&](const std::string& text) { statuses.push_back(text); };
    hooks.progress = [&](int32_t percent) {
      percents.push_back(percent);
      if (abortOnProgress) running->RequestAbort();
    };
    hooks.skipped = [&](int32_t line, const std::string&, BatchLine::Problem) { skippedLines.push_back(line); };
    BatchRun run(libraries, std::move(hooks));
    running = &run;
    return RunBatchOnImage(run, content, surface.Descriptor());
  }

  SievehostLibraryList libraries{kProbeFolder};
  ImageSurface surface;
  std::vector<std::string> messages, statuses;
  std::vector<int32_t> percents, skippedLines;
};

TEST_F(BatchRunTest, LibraryNamesAreFoundWithoutRegardToCase) {
  const BatchRunResult result = RunBatch("BATCHPROBE.SO:Mark:3,,7,9\nbatchprobe.so:Mark:\n");
  EXPECT_EQ(result.filtersRun, 2);
  EXPECT_FALSE(result.aborted);
  EXPECT_EQ(TakeLog("BatchProbe.so"), "ProcessFilter Mark 2:3,7;ProcessFilter Mark 0:;");
  EXPECT_EQ(surface.Row(0)[0], 0xFF000002u);
  EXPECT_EQ(statuses, (std::vector<std::string>{"Markを実行中です...", "Markを実行中です..."}));
  EXPECT_EQ(percents, (std::vector<int32_t>{50, 50}));
}

TEST_F(BatchRunTest, MessageLinesInAnyCaseReachTheHostAndTheRunGoesOn) {
  RunBatch("message:first\nMESSAGE:second: part\nBatchProbe.so:Mark:1\n");
  EXPECT_EQ(messages, (std::vector<std::string>{"first", "second: part"}));
  EXPECT_EQ(TakeLog("BatchProbe.so"), "ProcessFilter Mark 1:1;");
}

TEST_F(BatchRunTest, LinesThatRunNothingAreReportedWithTheirNumberAndSkipped) {
  const BatchRunResult result =
      RunBatch("BatchProbe.so:Mark\n\nNoSuch.so:Mark:1\nwhatever\nBatchProbe.so:Mark:5");
  EXPECT_EQ(skippedLines, (std::vector<int32_t>{1, 3, 4}));
  EXPECT_EQ(result.filtersRun, 1);
  EXPECT_EQ(TakeLog("BatchProbe.so"), "ProcessFilter Mark 1:5;");
}

TEST_F(BatchRunTest, ALibraryWithoutProcessFilterRunsExecute) {
  RunBatch("executeprobe.so:Dot:68\n");
  EXPECT_EQ(surface.Row(0)[1], 0xFF000044u);
}

TEST_F(BatchRunTest, AbortStopsAfterTheCurrentFilterAndRevertsTheSavedTiles) {
  surface.BackupAll(false, false);
  ASSERT_GT(surface.SavedTileCount(), 0);
  const BatchRunResult result = RunBatch("BatchProbe.so:Wide:\nBatchProbe.so:Mark:2\n", true);
  EXPECT_TRUE(result.aborted);
  EXPECT_EQ(result.filtersRun, 1);
  EXPECT_EQ(TakeLog("BatchProbe.so"), "ProcessFilter Wide 0:;abort;");
  // The head went back to the caller: the tiles are restored and the list is empty.
  EXPECT_EQ(surface.SavedTileCount(), 0);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 20; ++x) ASSERT_EQ(surface.Row(y)[x], 0xFFFFFFFFu) << x << "," << y;
}

TEST_F(BatchRunTest, WithoutAnAbortTheFiltersWorkStaysAndTheBackupIsKept) {
  surface.BackupAll(false, false);
  const int32_t saved = surface.SavedTileCount();
  RunBatch("BatchProbe.so:Wide:\n");
  EXPECT_EQ(surface.SavedTileCount(), saved);
  EXPECT_EQ(surface.Row(9)[19], 0xFF112233u);
}

TEST_F(BatchRunTest, AStoppedDialogStartsNoFurtherLine) {
  BatchRunHooks hooks;
  hooks.stopped = [] { return true; };
  BatchRun run(libraries, std::move(hooks));
  EXPECT_EQ(RunBatchOnImage(run, "BatchProbe.so:Mark:1\n", surface.Descriptor()).filtersRun, 0);
  EXPECT_EQ(TakeLog("BatchProbe.so"), "");
}

TEST(BatchProgress, AnswersZeroWithoutARun) { EXPECT_EQ(BatchRun::Progress(0, 30), 0); }

TEST(SavedTiles, ATileOutsideTheImageIsFreedWithoutBeingWritten) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create({16, 16}), 0);
  surface.BackupAll(false, false);
  ASSERT_EQ(surface.SavedTileCount(), 1);
  ImageDescriptor& head = *surface.Descriptor();
  head.savedTiles[0]->column = 5;
  head.savedTiles[0]->pixels[0] = 0;
  surface.Row(0)[0] = 0xFF0000FFu;
  RevertSavedTiles(head);
  EXPECT_EQ(head.savedTileCount, 0);
  EXPECT_EQ(surface.Row(0)[0], 0xFF0000FFu);
  EXPECT_EQ(head.tileFlags[0], 0);
}

TEST(BatchFolder, ListsOnlyBatchFiles) {
  const std::vector<std::string> names = BatchFileNames(kProbeFolder);
  EXPECT_TRUE(names.empty());
}

TEST(BatchOperationProtocol, PassOneHandsTheTargetsHeadToProcessBatch) {
  BatchOperation operation(reinterpret_cast<void*>(0x1), VARNEL_EXTENSION_PROBE);
  ASSERT_TRUE(operation.IsLoaded());
  ImageSurface target;
  ASSERT_EQ(target.Create({7, 3}), 0);
  operation.Execute(target, 0);
  operation.Execute(target, 1);
  DynamicLibrary probe;
  ASSERT_TRUE(probe.Open(VARNEL_EXTENSION_PROBE));
  EXPECT_EQ(std::string(probe.Function<const char* (*)()>("ProbeTakeLog")()), "ProcessBatch window 7x3;");
}

TEST(BatchOperationProtocol, AMissingLibraryDoesNothing) {
  BatchOperation operation(nullptr, "/nonexistent/Sievehost.dll");
  EXPECT_FALSE(operation.IsLoaded());
  ImageSurface target;
  ASSERT_EQ(target.Create({2, 2}), 0);
  operation.Execute(target, 1);
  EXPECT_EQ(target.Row(0)[0], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace varnel
