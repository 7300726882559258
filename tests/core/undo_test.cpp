// The undo history: steps, their files in the temporary folder, and the spill writer.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <unistd.h>

#include "core/surface.h"
#include "core/undo.h"
#include "memwell/memwell.h"
#include "platform/host.h"
#include "platform/temp_file.h"
#include "surface_test_support.h"
#include "tests/support/sanitizer.h"

namespace varnel {
namespace {

using testing::FillPattern;
using testing::PatternAt;
using testing::PixelAt;
using testing::Snapshot;

namespace fs = std::filesystem;

std::vector<fs::path> StepFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(UndoFolder())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kUndoFilePrefix, 0) == 0 && entry.path().extension() == ".tmp") files.push_back(entry.path());
  }
  return files;
}

std::string StepFileName(const UndoStep& step) {
  return TempFileName(UndoFolder(), kUndoFilePrefix, step.fileNumber);
}

// Waits (boundedly) until the writer has let go of the step.
bool WaitUntilIdle(const UndoStep& step) {
  for (int i = 0; i < 5000 && step.IsBusy(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return !step.IsBusy();
}

// Paints a random stroke of short runs through SetRect, as a brush would.
void RandomStroke(ImageSurface& surface, std::mt19937& random) {
  std::uniform_int_distribution<int> coordinate(-8, std::max(surface.Width(), surface.Height()) + 8);
  std::uniform_int_distribution<uint32_t> colour;
  const int dabs = 1 + static_cast<int>(random() % 12);
  for (int d = 0; d < dabs; ++d) {
    const int x = coordinate(random), y = coordinate(random);
    const int size = 1 + static_cast<int>(random() % 24);
    std::vector<uint32_t> dab(static_cast<size_t>(size * size), colour(random));
    surface.SetRect({x, y, x + size - 1, y + size - 1}, dab.data());
  }
}

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StepFiles().empty()); }
  void TearDown() override {
    SetSpillWriteHook(nullptr);
    StopSpillWriter();
    SetUndoStepRecordedHandler(nullptr);
  }

  ImageSurface& Make(ImageSurface& surface, Size size) {
    EXPECT_EQ(surface.Create(size), 0);
    FillPattern(surface);
    return surface;
  }
};

// --- undo and redo -----------------------------------------------------------------------

TEST_F(UndoTest, UndoAndRedoOfRandomStrokesRestoreTheExactBytes) {
  for (bool background : {false, true}) {
    if (background) StartSpillWriter();
    const unsigned seed = 20261207;
    std::mt19937 random(seed);
    ImageSurface surface;
    Make(surface, {97, 61});
    std::vector<std::vector<uint8_t>> states{Snapshot(surface)};
    for (int s = 0; s < 12; ++s) {
      RandomStroke(surface, random);
      ASSERT_EQ(surface.Undo().PushUndoStep(surface, false), 0);
      // A stroke wholly outside the picture records no step.
      if (surface.Undo().StepCount() == states.size()) states.push_back(Snapshot(surface));
      ASSERT_EQ(Snapshot(surface), states.back());
    }
    const int steps = static_cast<int>(surface.Undo().StepCount());
    ASSERT_GE(steps, 8);
    for (int s = steps - 1; s >= 0; --s) {
      ASSERT_EQ(surface.Undo().Undo(surface), 0);
      ASSERT_EQ(Snapshot(surface), states[static_cast<size_t>(s)]) << "seed " << seed << " undo to " << s;
    }
    EXPECT_EQ(surface.Undo().Undo(surface), -1);
    for (int s = 1; s <= steps; ++s) {
      ASSERT_EQ(surface.Undo().Redo(surface), 0);
      ASSERT_EQ(Snapshot(surface), states[static_cast<size_t>(s)]) << "seed " << seed << " redo to " << s;
    }
    EXPECT_EQ(surface.Undo().Redo(surface), 0);
    EXPECT_EQ(surface.Undo().Position(), steps);
    StopSpillWriter();
  }
}

TEST_F(UndoTest, NothingToUndoAnswersMinusOneAndNothingToRedoAnswersZero) {
  ImageSurface surface;
  Make(surface, {16, 16});
  EXPECT_EQ(surface.Undo().Undo(surface), -1);
  EXPECT_EQ(surface.Undo().Redo(surface), 0);
  EXPECT_EQ(surface.Undo().Position(), 0);
}

TEST_F(UndoTest, UndoFirstRevertsAnUncommittedChange) {
  ImageSurface surface;
  Make(surface, {32, 32});
  surface.SetPixel(1, 1, 0x11111111u);
  surface.Undo().PushUndoStep(surface, false);
  surface.SetPixel(20, 20, 0x22222222u);  // not yet a step
  ASSERT_EQ(surface.Undo().Undo(surface), 0);
  EXPECT_EQ(PixelAt(surface, 1, 1), PatternAt(1, 1));
  EXPECT_EQ(PixelAt(surface, 20, 20), PatternAt(20, 20));
  EXPECT_EQ(surface.SavedTileCount(), 0);
}

TEST_F(UndoTest, ApplyingAStepWidensTheDirtyRectangleToItsTiles) {
  ImageSurface surface;
  Make(surface, {40, 40});
  surface.SetPixel(17, 33, 0);
  surface.Undo().PushUndoStep(surface, false);
  surface.ClearDirty();
  ASSERT_EQ(surface.Undo().Undo(surface), 0);
  EXPECT_EQ(surface.DirtyRect(), (Rect{16, 32, 31, 39}));
}

TEST_F(UndoTest, ExchangingTwiceGivesBackTheSameStepAndPixels) {
  ImageSurface surface;
  Make(surface, {50, 50});
  const auto before = Snapshot(surface);
  std::vector<uint32_t> block(50 * 50, 0xABCDEF01u);
  surface.SetRect({0, 0, 49, 49}, block.data());
  UndoStep step;
  surface.Undo().PushUndoStep(surface, false);
  UndoStep& recorded = *surface.Undo().Step(0);
  ASSERT_EQ(recorded.TileCount(), 16);
  const auto after = Snapshot(surface);
  ExchangeStep(surface, recorded);
  EXPECT_EQ(Snapshot(surface), before);
  ExchangeStep(surface, recorded);
  EXPECT_EQ(Snapshot(surface), after);
  ExchangeStep(surface, step);  // an empty step changes nothing
  EXPECT_EQ(Snapshot(surface), after);
}

// --- step files --------------------------------------------------------------------------

TEST_F(UndoTest, AStepFileIsACountAndThe1032ByteTileRecordsInOrder) {
  ImageSurface surface;
  Make(surface, {33 * 16, 16});  // 33 tiles: one full write piece and one record more
  surface.BackupAll(true, true);
  const UndoStep& step = *surface.Undo().Step(0);
  EXPECT_FALSE(step.resident);
  EXPECT_TRUE(step.tiles.empty());
  std::ifstream file(StepFileName(step), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 4u + 33u * 1032u);
  EXPECT_EQ(std::vector<char>(bytes.begin(), bytes.begin() + 4), (std::vector<char>{33, 0, 0, 0}));
  for (int t = 0; t < 33; ++t) {
    const char* record = bytes.data() + 4 + t * 1032;
    uint32_t firstPixel, lastPixel;
    int32_t column, row;
    std::memcpy(&firstPixel, record, 4);
    std::memcpy(&lastPixel, record + 1020, 4);
    std::memcpy(&column, record + 1024, 4);
    std::memcpy(&row, record + 1028, 4);
    EXPECT_EQ(column, t);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(firstPixel, PatternAt(t * 16, 0));
    EXPECT_EQ(lastPixel, PatternAt(t * 16 + 15, 15));
  }
}

TEST_F(UndoTest, EachApplicationReadsAndDeletesTheFileAndWritesANewOne) {
  ImageSurface surface;
  Make(surface, {32, 32});
  surface.SetPixel(3, 3, 0);
  ASSERT_EQ(surface.Undo().PushUndoStep(surface, true), 0);
  UndoStep& step = *surface.Undo().Step(0);
  const std::string first = StepFileName(step);
  ASSERT_TRUE(fs::exists(first));
  ASSERT_EQ(surface.Undo().Undo(surface), 0);
  const std::string second = StepFileName(step);
  EXPECT_FALSE(step.resident);
  EXPECT_TRUE(fs::exists(second));
  EXPECT_EQ(fs::file_size(second), 4u + 1032u);
  if (second != first) {
    EXPECT_FALSE(fs::exists(first));
  }
  ASSERT_EQ(surface.Undo().Redo(surface), 0);
  EXPECT_EQ(StepFiles().size(), 1u);
  EXPECT_EQ(PixelAt(surface, 3, 3), 0u);
}

TEST_F(UndoTest, PushingAfterAnUndoDeletesTheRedoStepsFiles) {
  ImageSurface surface;
  Make(surface, {64, 64});
  for (int i = 0; i < 4; ++i) {
    surface.SetPixel(i * 16, 0, 0);
    surface.Undo().PushUndoStep(surface, true);
  }
  ASSERT_EQ(StepFiles().size(), 4u);
  surface.Undo().Undo(surface);
  surface.Undo().Undo(surface);
  surface.Undo().Undo(surface);
  ASSERT_EQ(StepFiles().size(), 4u);
  surface.SetPixel(50, 50, 0);
  surface.Undo().PushUndoStep(surface, true);
  EXPECT_EQ(surface.Undo().StepCount(), 2u);
  EXPECT_EQ(StepFiles().size(), 2u);
}

TEST_F(UndoTest, PushingAnEmptyStepStillDiscardsTheRedoBranchAndItsFiles) {
  ImageSurface surface;
  Make(surface, {32, 32});
  surface.SetPixel(0, 0, 0);
  surface.Undo().PushUndoStep(surface, true);
  surface.Undo().Undo(surface);
  ASSERT_EQ(StepFiles().size(), 1u);
  EXPECT_EQ(surface.Undo().PushUndoStep(surface, true), 0);
  EXPECT_EQ(surface.Undo().StepCount(), 0u);
  EXPECT_TRUE(StepFiles().empty());
}

TEST_F(UndoTest, HistoriesOfTwoSurfacesAreIndependent) {
  ImageSurface a, b;
  Make(a, {32, 32});
  Make(b, {32, 32});
  a.SetPixel(1, 1, 0xAu);
  a.Undo().PushUndoStep(a, true);
  b.SetPixel(1, 1, 0xBu);
  b.Undo().PushUndoStep(b, true);
  b.SetPixel(30, 30, 0xBu);
  b.Undo().PushUndoStep(b, true);
  ASSERT_EQ(a.Undo().Undo(a), 0);
  EXPECT_EQ(PixelAt(a, 1, 1), PatternAt(1, 1));
  EXPECT_EQ(PixelAt(b, 1, 1), 0xBu);
  a.Undo().ClearHistory();
  EXPECT_EQ(StepFiles().size(), 2u);
  ASSERT_EQ(b.Undo().Undo(b), 0);
  ASSERT_EQ(b.Undo().Undo(b), 0);
  EXPECT_EQ(PixelAt(b, 1, 1), PatternAt(1, 1));
  EXPECT_EQ(PixelAt(b, 30, 30), PatternAt(30, 30));
}

TEST_F(UndoTest, DestroyingEverySurfaceLeavesNoStepFile) {
  StartSpillWriter();
  {
    ImageSurface a, b;
    Make(a, {100, 100});
    Make(b, {20, 20});
    std::mt19937 random(7);
    for (int i = 0; i < 20; ++i) {
      RandomStroke(i % 2 ? a : b, random);
      (i % 2 ? a : b).Undo().PushUndoStep(i % 2 ? a : b, i % 3 == 0);
    }
    a.Undo().Undo(a);
    b.BackupAll(false, true);
    EXPECT_FALSE(StepFiles().empty());
  }
  StopSpillWriter();
  EXPECT_TRUE(StepFiles().empty());
}

// --- failures ----------------------------------------------------------------------------

TEST_F(UndoTest, AnUnwritableFolderKeepsStepsInMemoryAndUndoStillWorks) {
  // The writer reads the folder when it starts: point it at a folder that is not there.
  const std::string saved = getenv("TMPDIR");
  setenv("TMPDIR", (saved + "/missing/folder").c_str(), 1);
  StartSpillWriter();
  RecordingHost host;
  ScopedHost scoped(host);
  ImageSurface surface;
  Make(surface, {32, 32});
  surface.SetPixel(5, 5, 0);
  EXPECT_EQ(surface.Undo().PushUndoStep(surface, true), -1);
  EXPECT_TRUE(surface.Undo().Step(0)->resident);
  surface.SetPixel(25, 25, 0);
  EXPECT_EQ(surface.Undo().PushUndoStep(surface, false), 0);
  WaitUntilIdle(*surface.Undo().Step(1));
  EXPECT_TRUE(surface.Undo().Step(1)->resident);
  ASSERT_EQ(surface.Undo().Undo(surface), 0);
  ASSERT_EQ(surface.Undo().Undo(surface), 0);
  EXPECT_EQ(PixelAt(surface, 5, 5), PatternAt(5, 5));
  EXPECT_EQ(PixelAt(surface, 25, 25), PatternAt(25, 25));
  ASSERT_FALSE(host.debugMessages.empty());
  EXPECT_EQ(host.debugMessages.front().level, 3);
  StopSpillWriter();
  setenv("TMPDIR", saved.c_str(), 1);
  StartSpillWriter();  // back to the test's own folder for the checks that follow
}

TEST_F(UndoTest, AStepWhoseFileIsGoneIsAppliedAsEmptyAndThePositionStillMoves) {
  RecordingHost host;
  ScopedHost scoped(host);
  ImageSurface surface;
  Make(surface, {32, 32});
  surface.SetPixel(2, 2, 0);
  surface.Undo().PushUndoStep(surface, true);
  fs::remove(StepFileName(*surface.Undo().Step(0)));
  EXPECT_EQ(surface.Undo().Undo(surface), 0);
  EXPECT_EQ(surface.Undo().Position(), 0);
  EXPECT_EQ(PixelAt(surface, 2, 2), 0u);
  ASSERT_EQ(host.debugMessages.size(), 1u);
  EXPECT_EQ(host.debugMessages[0].level, 3);
  EXPECT_EQ(surface.Undo().Redo(surface), 0);
  EXPECT_EQ(surface.Undo().Position(), 1);
}

TEST_F(UndoTest, ADamagedStepFileIsRefusedWithoutReadingPastItsEnd) {
  struct Case {
    const char* name;
    std::string content;
  } cases[] = {
      {"empty", ""},
      {"short count", std::string("\x01\x00", 2)},
      {"count larger than the file", std::string("\x10\x00\x00\x00", 4) + std::string(1032, 'x')},
      {"negative count", std::string("\xff\xff\xff\xff", 4)},
      {"huge count", std::string("\xff\xff\xff\x7f", 4)},
      {"trailing bytes", std::string("\x01\x00\x00\x00", 4) + std::string(1033, 'x')},
  };
  for (const Case& c : cases) {
    RecordingHost host;
    ScopedHost scoped(host);
    ImageSurface surface;
    Make(surface, {16, 16});
    surface.SetPixel(0, 0, 0);
    surface.Undo().PushUndoStep(surface, true);
    std::ofstream(StepFileName(*surface.Undo().Step(0)), std::ios::binary | std::ios::trunc) << c.content;
    EXPECT_EQ(surface.Undo().Undo(surface), -1) << c.name;
    EXPECT_EQ(PixelAt(surface, 0, 0), 0u) << c.name;
    EXPECT_EQ(surface.Undo().Step(0)->TileCount(), 0) << c.name;
    EXPECT_TRUE(StepFiles().empty()) << c.name;
  }
}

// --- the writer --------------------------------------------------------------------------

TEST_F(UndoTest, StepsGoToDiskInTheBackground) {
  StartSpillWriter();
  ImageSurface surface;
  Make(surface, {64, 64});
  surface.BackupAll(false, true);
  UndoStep& step = *surface.Undo().Step(0);
  ASSERT_TRUE(WaitUntilIdle(step));
  EXPECT_FALSE(step.resident);
  EXPECT_EQ(fs::file_size(StepFileName(step)), 4u + 16u * 1032u);
}

TEST_F(UndoTest, WithoutTheWriterSpillLaterKeepsTheStepResident) {
  ImageSurface surface;
  Make(surface, {16, 16});
  surface.SetPixel(0, 0, 0);
  surface.Undo().PushUndoStep(surface, false);
  EXPECT_TRUE(surface.Undo().Step(0)->resident);
  EXPECT_EQ(SpillLater(*surface.Undo().Step(0)), -1);
  EXPECT_TRUE(StepFiles().empty());
}

TEST_F(UndoTest, UndoRightAfterAStrokeAbortsTheSpillAndAppliesAtOnce) {
  StartSpillWriter();
  std::atomic<bool> reached{false};
  SetSpillWriteHook([&](int32_t tile) {
    if (tile != 3) return;
    reached = true;
    // Hold the writer mid-write until the user-interface thread asks it to stop.
    for (int i = 0; i < 5000 && !IsSpillAbortRequested(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  ImageSurface surface;
  Make(surface, {64, 64});
  const auto before = Snapshot(surface);
  std::vector<uint32_t> stroke(64 * 64, 0x12345678u);
  surface.SetRect({0, 0, 63, 63}, stroke.data());
  surface.Undo().PushUndoStep(surface, false);
  UndoStep& step = *surface.Undo().Step(0);
  for (int i = 0; i < 5000 && !reached; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(reached);
  EXPECT_TRUE(step.IsBusy());
  SetSpillWriteHook(nullptr);
  ASSERT_EQ(surface.Undo().Undo(surface), 0);
  EXPECT_EQ(Snapshot(surface), before);
  // The aborted write left no half file: the only file is the complete one written after.
  const auto files = StepFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(fs::file_size(files[0]), 4u + 16u * 1032u);
  ASSERT_EQ(surface.Undo().Redo(surface), 0);
  EXPECT_EQ(PixelAt(surface, 40, 40), 0x12345678u);
}

// The step goes out in many system calls, the last one partly filled.
TEST_F(UndoTest, ALargeStepIsWrittenWholeAndComesBackByteForByte) {
  ImageSurface surface;
  Make(surface, {2048, 1040});  // 8320 tiles
  const auto before = Snapshot(surface);
  surface.BackupAll(false, false);
  std::vector<uint32_t> paint(2048 * 1040, 0x89ABCDEFu);
  surface.SetRect({0, 0, 2047, 1039}, paint.data());
  ASSERT_EQ(surface.Undo().PushUndoStep(surface, true), 0);
  const auto files = StepFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(fs::file_size(files[0]), 4u + 8320u * 1032u);
  ASSERT_EQ(surface.Undo().Undo(surface), 0);
  EXPECT_EQ(Snapshot(surface), before);
}

TEST_F(UndoTest, ALargeStepWhoseSpillIsStoppedHalfWayLeavesNoFileAndStaysResident) {
  StartSpillWriter();
  std::atomic<bool> reached{false};
  SetSpillWriteHook([&](int32_t tile) {
    if (tile != 6000) return;
    reached = true;
    for (int i = 0; i < 5000 && !IsSpillAbortRequested(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  ImageSurface surface;
  Make(surface, {2048, 1024});
  const auto before = Snapshot(surface);
  surface.BackupAll(false, false);
  std::vector<uint32_t> paint(2048 * 1024, 0x01020304u);
  surface.SetRect({0, 0, 2047, 1023}, paint.data());
  surface.Undo().PushUndoStep(surface, false);
  for (int i = 0; i < 5000 && !reached; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(reached);
  SetSpillWriteHook(nullptr);
  ASSERT_EQ(surface.Undo().Undo(surface), 0);  // stops the writer, applies the resident tiles
  EXPECT_EQ(Snapshot(surface), before);
  // Only the complete file written after the undo.
  const auto files = StepFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(fs::file_size(files[0]), 4u + 8192u * 1032u);
}

TEST_F(UndoTest, WhileTheWriterIsBusyTheNextStepStaysResidentAndTheCallerDoesNotWait) {
  StartSpillWriter();
  std::atomic<bool> reached{false}, release{false};
  SetSpillWriteHook([&](int32_t) {
    reached = true;
    for (int i = 0; i < 5000 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  ImageSurface surface;
  Make(surface, {64, 64});
  surface.SetPixel(0, 0, 0);
  surface.Undo().PushUndoStep(surface, false);
  for (int i = 0; i < 5000 && !reached; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  surface.SetPixel(40, 40, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SpillLater(*surface.Undo().Step(0)), -1);
  surface.Undo().PushUndoStep(surface, false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_TRUE(surface.Undo().Step(1)->resident);
  EXPECT_FALSE(surface.Undo().Step(1)->IsBusy());
  release = true;
  ASSERT_TRUE(WaitUntilIdle(*surface.Undo().Step(0)));
  EXPECT_FALSE(surface.Undo().Step(0)->resident);
}

TEST_F(UndoTest, DestroyingAStepTheWriterHoldsWaitsForItAndLeavesNoFile) {
  StartSpillWriter();
  std::atomic<bool> reached{false};
  SetSpillWriteHook([&](int32_t tile) {
    if (tile != 1) return;
    reached = true;
    for (int i = 0; i < 5000 && !IsSpillAbortRequested(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  {
    ImageSurface surface;
    Make(surface, {48, 48});
    surface.BackupAll(false, true);
    for (int i = 0; i < 5000 && !reached; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(surface.Undo().Step(0)->IsBusy());
  }
  EXPECT_TRUE(StepFiles().empty());
}

TEST_F(UndoTest, TheRecordedHandlerHearsOfEveryNonEmptyStep) {
  int calls = 0;
  const ImageSurface* seen = nullptr;
  SetUndoStepRecordedHandler([&](ImageSurface& s) {
    ++calls;
    seen = &s;
  });
  ImageSurface surface;
  Make(surface, {16, 16});
  surface.Undo().PushUndoStep(surface, false);
  EXPECT_EQ(calls, 0);
  surface.SetPixel(0, 0, 0);
  surface.Undo().PushUndoStep(surface, false);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, &surface);
}

// Resident memory of this process in bytes.
size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(UndoTest, TenThousandStepsCostDiskNotMemory) {
  ImageSurface surface;
  Make(surface, {256, 256});
  // Warm up allocations that happen once.
  surface.SetPixel(0, 0, 1);
  surface.Undo().PushUndoStep(surface, true);
  const size_t before = ResidentBytes();
  for (int i = 0; i < 10000; ++i) {
    // Four tiles per step: 4 KiB each would be 40 MB if steps stayed in memory.
    std::vector<uint32_t> dab(20 * 20, static_cast<uint32_t>(i));
    const int x = (i * 37) % 230, y = (i * 53) % 230;
    surface.SetRect({x, y, x + 19, y + 19}, dab.data());
    ASSERT_EQ(surface.Undo().PushUndoStep(surface, true), 0) << i;
  }
  const size_t after = ResidentBytes();
  EXPECT_EQ(StepFiles().size(), 10001u);
  if (!test::kUnderAddressSanitizer) {
    EXPECT_LT(after - std::min(after, before), size_t{8} << 20);
  }
  surface.Undo().ClearHistory();
  EXPECT_TRUE(StepFiles().empty());
}

}  // namespace
}  // namespace varnel
