// Recovery copies: a snapshot written and read back is the picture, the text file beside it
// round-trips, the listing tells dead runs from live ones, and copies go when they should.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "document/layer_file.h"
#include "document/file_io.h"
#include "document/recovery.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::TempFolder;

struct LayerCase {
  const char* name;
  int32_t width, height, offsetX, offsetY, opacity;
  BlendMode mode;
  bool visible;
  Rect mask;  // right < left: none
};

const LayerCase kLayers[] = {
    {"背景", 7, 5, 0, 0, 100, BlendMode::kNormal, true, {0, 0, -1, -1}},
    {"影", 3, 9, -2, 4, 37, BlendMode::kMultiply, false, {1, 2, 4, 3}},
    {"noname", 1, 1, 100, -50, 0, static_cast<BlendMode>(26), true, {-3, -3, -3, -3}},
};

uint32_t PixelAt(size_t layer, int32_t x, int32_t y) {
  return static_cast<uint32_t>(layer + 1) * 0x01030507u ^ static_cast<uint32_t>(y * 131 + x) * 0x9E3779B1u;
}

// A canvas of the table's layers, each pixel from PixelAt, each mask byte (x + 3y) & 255.
void Fill(Canvas& canvas) {
  for (size_t i = 0; i < std::size(kLayers); ++i) {
    const LayerCase& c = kLayers[i];
    auto layer = std::make_unique<Layer>();
    ASSERT_EQ(layer->Create({c.width, c.height}), 0);
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x) layer->Row(y)[x] = PixelAt(i, x, y);
    layer->SetName(c.name);
    layer->SetOffset(c.offsetX, c.offsetY);
    layer->SetOpacity(c.opacity);
    layer->SetBlendMode(c.mode);
    layer->SetVisible(c.visible);
    if (c.mask.right >= c.mask.left) {
      Region mask;
      ASSERT_EQ(mask.Create(c.mask, 0), 0);
      for (int32_t r = 0; r < mask.Height(); ++r)
        for (int32_t x = 0; x < mask.Width(); ++x)
          mask.Row(r)[x] = static_cast<uint8_t>((c.mask.left + x) + 3 * (c.mask.top + r));
      ASSERT_EQ(layer->Masks().AddMask(mask), 0);
    }
    if (i == 0) canvas.InitWithLayer(std::move(layer));
    else canvas.AppendLayer(std::move(layer), false);
  }
  canvas.ComposeAll();
}

void ExpectTableLayers(const LayerRefs& layers) {
  ASSERT_EQ(layers.size(), std::size(kLayers));
  for (size_t i = 0; i < layers.size(); ++i) {
    const LayerCase& c = kLayers[i];
    const Layer& l = *layers[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::tuple(l.Name(), l.Width(), l.Height(), l.OffsetX(), l.OffsetY(), l.Opacity(), l.BlendMode(),
                         l.IsVisible()),
              std::tuple(std::string(c.name), c.width, c.height, c.offsetX, c.offsetY, c.opacity, c.mode, c.visible));
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x) ASSERT_EQ(l.Row(y)[x], PixelAt(i, x, y)) << x << "," << y;
    const bool hasMask = c.mask.right >= c.mask.left;
    ASSERT_EQ(l.Masks().Count(), hasMask ? 1 : 0);
    if (!hasMask) continue;
    Region mask;
    ASSERT_EQ(l.Masks().ReadMask(0, mask), 0);
    EXPECT_EQ(mask.Bounds(), c.mask);
    for (int32_t y = c.mask.top; y <= c.mask.bottom; ++y)
      for (int32_t x = c.mask.left; x <= c.mask.right; ++x) EXPECT_EQ(mask.At(x, y), static_cast<uint8_t>(x + 3 * y));
  }
}

void ExpectTableLayers(const LayerList& layers) {
  LayerRefs refs;
  for (const auto& l : layers) refs.push_back(l.get());
  ExpectTableLayers(refs);
}

// A complete snapshot of the table's canvas.
std::unique_ptr<CanvasSnapshot> TableSnapshot() {
  Canvas canvas;
  Fill(canvas);
  return CanvasSnapshot::Take(canvas, {});
}

GridSettings SomeGrid() {
  GridSettings grid;
  grid.shown = 1;
  grid.cellWidth = 9;
  grid.axes = GridSettings::DialogAxes();
  return grid;
}

// ---- Snapshots ----

TEST(CanvasSnapshot, WrittenCopyOpensAsThePictureAtTheTimeItWasTakenWithItsLayersMasksAndGrid) {
  TempFolder dir;
  Canvas canvas;
  Fill(canvas);
  const RecoveryStore store(dir / "recovery");
  auto snapshot = CanvasSnapshot::Take(canvas, SomeGrid());
  ASSERT_TRUE(snapshot);
  canvas.GetLayer(0)->Row(0)[0] = 0x12345678;  // painted after the snapshot
  ASSERT_TRUE(store.Write(1, *snapshot, {"/pictures/a.vlb", "a.vlb", ""}));

  LayerList layers;
  Size size{0, 0};
  GridSettings grid;
  ASSERT_EQ(ReadLayerFile(store.PicturePath(1), layers, size, grid), 0);
  ExpectTableLayers(layers);
  EXPECT_EQ(size, canvas.GetSize());
  EXPECT_EQ(grid, SomeGrid());
}

TEST(CanvasSnapshot, StepsOfAnySizeCopyEveryPixelOnceAndAnEmptyCanvasHasNone) {
  // Byte budgets below a row, exactly a row (7 × 4 = 28), across layer ends and at once.
  for (size_t budget : {size_t{1}, size_t{28}, size_t{29}, size_t{140}, size_t{1000}}) {
    SCOPED_TRACE(budget);
    Canvas canvas;
    Fill(canvas);
    auto snapshot = CanvasSnapshot::Begin(canvas, {});
    ASSERT_TRUE(snapshot);
    // 7 × 5 + 3 × 9 + 1 pixels.
    EXPECT_EQ(snapshot->PixelBytes(), uint64_t{(35 + 27 + 1) * 4});
    int steps = 0;
    while (snapshot->Step(canvas, budget) == CanvasSnapshot::Progress::kMore) ASSERT_LT(++steps, 100);
    ASSERT_TRUE(snapshot->IsComplete());
    ExpectTableLayers(snapshot->Layers());
  }
  Canvas empty;
  EXPECT_EQ(CanvasSnapshot::Begin(empty, {}), nullptr);
}


TEST(CanvasSnapshot, IsStaleOnceTheLayersChangeBetweenSteps) {
  struct Case {
    const char* name;
    void (*change)(Canvas&);
  };
  const Case cases[] = {
      {"a layer added", [](Canvas& c) { c.AddLayer(); }},
      {"a layer deleted", [](Canvas& c) { c.DeleteLayer(2); }},
      {"layers swapped", [](Canvas& c) { c.SwapLayers(1, 2); }},
      {"a layer replaced", [](Canvas& c) {
         auto layer = std::make_unique<Layer>();
         layer->Create({7, 5});
         c.ReplaceLayer(0, std::move(layer));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas;
    Fill(canvas);
    auto snapshot = CanvasSnapshot::Begin(canvas, {});
    ASSERT_TRUE(snapshot);
    ASSERT_EQ(snapshot->Step(canvas, 4), CanvasSnapshot::Progress::kMore);
    c.change(canvas);
    EXPECT_EQ(snapshot->Step(canvas, SIZE_MAX), CanvasSnapshot::Progress::kStale);
  }
}

// ---- The text file ----

TEST(RecoveryInfo, RoundTripsEveryByteOfPathAndTitle) {
  const RecoveryInfo cases[] = {
      {"", "Image1", "b00t"},
      {"/home/u/絵/a b.vlb", "a b.vlb", "x"},
      {"/odd\\name\nwith\rbreaks", "\\n literally", ""},
      {"trailing space ", " leading", "id with spaces"},
  };
  for (const RecoveryInfo& info : cases) {
    RecoveryInfo read;
    ASSERT_TRUE(ParseRecoveryInfo(FormatRecoveryInfo(info), read)) << info.originalPath;
    EXPECT_EQ(read, info);
  }
}

TEST(RecoveryInfo, RejectsTextsThatAreNotItsFilesAndPassesOverUnknownKeys) {
  const char* cases[] = {"", "VarnelRecovery 2\n", "LX\r\nL10000", "VarnelRecovery 1\npath bad\\q\n",
                         "VarnelRecovery 1\ntitle ends in \\"};
  for (const char* text : cases) {
    RecoveryInfo info;
    EXPECT_FALSE(ParseRecoveryInfo(text, info)) << text;
  }
  RecoveryInfo info;
  ASSERT_TRUE(ParseRecoveryInfo("VarnelRecovery 1\nzoom 2\ntitle t\n", info));
  EXPECT_EQ(info.title, "t");
}

// ---- Folder and listing ----

TEST(RecoveryFolder, FollowsXdgDataHomeElseHome) {
  // XDG_DATA_HOME (null: unset), HOME, the folder.
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"/x/data", "/home/u", "/x/data/varnel/recovery"},
      {nullptr, "/home/u", "/home/u/.local/share/varnel/recovery"},
      {"relative/data", "/home/u", "/home/u/.local/share/varnel/recovery"},
      {"", "/home/v", "/home/v/.local/share/varnel/recovery"},
  };
  const auto setOrUnset = [](const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); };
  const char* oldData = std::getenv("XDG_DATA_HOME");
  const std::string keptData = oldData ? oldData : "", keptHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  for (const auto& [dataHome, home, expected] : cases) {
    setOrUnset("XDG_DATA_HOME", dataHome);
    setenv("HOME", home, 1);
    EXPECT_EQ(DefaultRecoveryFolder(), expected);
  }
  setOrUnset("XDG_DATA_HOME", oldData ? keptData.c_str() : nullptr);
  setenv("HOME", keptHome.c_str(), 1);
}

// A process that has ended, as the listing sees one that crashed.
ProcessIdentity DeadProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ProcessIdentity dead = ProcessIdentity::Of(child);
  waitpid(child, nullptr, 0);
  return dead;
}

TEST(RecoveryStore, ListsTheCopiesOfDeadRunsOnlyWithTheirTexts) {
  TempFolder dir;
  const std::string folder = dir / "recovery";
  auto snapshot = TableSnapshot();
  ASSERT_TRUE(snapshot);

  ProcessIdentity self = ProcessIdentity::Current();
  ASSERT_NE(self.processId, 0);
  ASSERT_TRUE(self.IsRunning());
  ProcessIdentity dead = DeadProcess();
  ASSERT_NE(dead.processId, 0);
  ASSERT_FALSE(dead.IsRunning());
  // The same id started at another time: a later process that reuses it is not the writer.
  ProcessIdentity reused = self;
  reused.startTicks += 1;
  ProcessIdentity otherBoot = self;
  otherBoot.bootId = "another boot";

  const RecoveryStore live(folder, self), gone(folder, dead), reuse(folder, reused), boot(folder, otherBoot);
  ASSERT_TRUE(live.Write(1, *snapshot, {"/a.vlb", "a.vlb", ""}));
  ASSERT_TRUE(gone.Write(2, *snapshot, {"", "Image3", ""}));
  ASSERT_TRUE(reuse.Write(3, *snapshot, {"/c.vlb", "c.vlb", ""}));
  ASSERT_TRUE(boot.Write(4, *snapshot, {"/d.vlb", "d.vlb", ""}));
  // A copy whose text is lost is still offered, untitled.
  ASSERT_TRUE(gone.Write(5, *snapshot, {"/p.vlb", "p.vlb", ""}));
  std::filesystem::remove(gone.InfoPath(5));

  const auto entries = live.ListAbandoned();
  ASSERT_EQ(entries.size(), 4u);
  std::vector<uint64_t> documents;
  for (const auto& e : entries) documents.push_back(e.document);
  std::sort(documents.begin(), documents.end());
  EXPECT_EQ(documents, (std::vector<uint64_t>{2, 3, 4, 5}));
  for (const auto& e : entries) {
    EXPECT_TRUE(e.document != 5 || e.info.title.empty());
    if (e.document != 2) continue;
    EXPECT_EQ(e.info.title, "Image3");
    EXPECT_EQ(e.info.originalPath, "");
    EXPECT_EQ(e.owner.processId, dead.processId);
    EXPECT_EQ(e.picturePath, gone.PicturePath(2));
    LayerList layers;
    ASSERT_EQ(ReadAnyLayerFile(e.picturePath, layers), 0);
    ExpectTableLayers(layers);
  }
}

TEST(RecoveryStore, ListingTidiesWhatACrashedWriteLeftAndSkipsForeignFiles) {
  TempFolder dir;
  const std::string folder = dir / "recovery";
  std::filesystem::create_directories(folder);
  const ProcessIdentity dead = DeadProcess();
  const std::string prefix = folder + "/" + std::to_string(dead.processId) + "-" + std::to_string(dead.startTicks) + "-";
  std::ofstream(prefix + "5.inf") << FormatRecoveryInfo({"", "lost", ""});
  std::ofstream(folder + "/" + TemporaryNamePrefix(dead.processId) + "0.tmp") << "partial";
  std::ofstream(folder + "/notes.txt") << "mine";
  std::ofstream(folder + "/x-1-2.vlb") << "not ours";

  EXPECT_TRUE(RecoveryStore(folder).ListAbandoned().empty());
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(folder)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"notes.txt", "x-1-2.vlb"}));
}

TEST(RecoveryStore, RemovingACopyOrEndingCleanlyLeavesNoFileOfThisRun) {
  TempFolder dir;
  const std::string folder = dir / "recovery";
  auto snapshot = TableSnapshot();
  const RecoveryStore store(folder), gone(folder, DeadProcess());
  for (uint64_t d : {1, 2, 3}) ASSERT_TRUE(store.Write(d, *snapshot, {}));
  ASSERT_TRUE(gone.Write(1, *snapshot, {}));

  store.Remove(2);
  EXPECT_FALSE(std::filesystem::exists(store.PicturePath(2)));
  EXPECT_FALSE(std::filesystem::exists(store.InfoPath(2)));
  EXPECT_TRUE(std::filesystem::exists(store.PicturePath(1)));

  store.RemoveOwn();
  EXPECT_FALSE(std::filesystem::exists(store.PicturePath(1)));
  EXPECT_FALSE(std::filesystem::exists(store.PicturePath(3)));
  // Another run's copy is not this run's to remove.
  EXPECT_TRUE(std::filesystem::exists(gone.PicturePath(1)));
}

TEST(RecoveryStore, WriteFailsWithoutLeavingAFileWhenTheFolderCannotBeMade) {
  TempFolder dir;
  std::ofstream(dir / "blocker") << "a file where the folder would go";
  const RecoveryStore store(dir / "blocker/recovery");
  EXPECT_FALSE(store.Write(1, *TableSnapshot(), {}));
}

// ---- The writer thread ----

// Holds the writer's callback until the test opens it; tells when the first call arrived.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool entered = false, open = false;
  void Pass() {
    std::unique_lock lock(mutex);
    entered = true;
    cv.notify_all();
    cv.wait(lock, [&] { return open; });
  }
  void WaitEntered() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return entered; });
  }
  void Open() {
    {
      std::lock_guard lock(mutex);
      open = true;
    }
    cv.notify_all();
  }
};

TEST(RecoveryWriter, WritesInTheBackgroundAndRefusesASecondWriteOfTheSameDocument) {
  TempFolder dir;
  Canvas canvas;
  Fill(canvas);
  const RecoveryStore store(dir / "recovery");
  Gate gate;
  std::vector<std::pair<uint64_t, bool>> written;
  RecoveryWriter writer(store, [&](uint64_t document, bool ok) {
    gate.Pass();
    written.emplace_back(document, ok);
  });
  ASSERT_TRUE(writer.Submit(7, CanvasSnapshot::Take(canvas, {}), {}));
  EXPECT_TRUE(writer.IsBusy(7));
  EXPECT_FALSE(writer.Submit(7, CanvasSnapshot::Take(canvas, {}), {}));
  EXPECT_TRUE(writer.Submit(8, CanvasSnapshot::Take(canvas, {}), {}));
  gate.Open();
  writer.WaitIdle();
  EXPECT_FALSE(writer.IsBusy(7));
  EXPECT_EQ(written, (std::vector<std::pair<uint64_t, bool>>{{7, true}, {8, true}}));
  EXPECT_TRUE(std::filesystem::exists(store.PicturePath(7)));
  EXPECT_TRUE(writer.Submit(7, CanvasSnapshot::Take(canvas, {}), {}));
  writer.WaitIdle();
}

TEST(RecoveryWriter, ACopySavedOrClosedWhileWaitingOrWritingLeavesNoFile) {
  TempFolder dir;
  Canvas canvas;
  Fill(canvas);
  const RecoveryStore store(dir / "recovery");
  Gate gate;
  RecoveryWriter writer(store, [&](uint64_t, bool) { gate.Pass(); });
  ASSERT_TRUE(writer.Submit(1, CanvasSnapshot::Take(canvas, {}), {}));
  gate.WaitEntered();
  // Document 1 is being written, document 2 waits behind it.
  ASSERT_TRUE(writer.Submit(2, CanvasSnapshot::Take(canvas, {}), {}));
  writer.Remove(1);
  writer.Remove(2);
  EXPECT_FALSE(writer.IsBusy(2));
  gate.Open();
  writer.WaitIdle();
  for (uint64_t d : {1, 2}) {
    EXPECT_FALSE(std::filesystem::exists(store.PicturePath(d))) << d;
    EXPECT_FALSE(std::filesystem::exists(store.InfoPath(d))) << d;
  }
}

}  // namespace
}  // namespace varnel
