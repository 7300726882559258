// The undo history: spilling steps to disk in the background against plain write(), undo and
// redo latency, and what a spilled history costs in memory. Step files go to $TMPDIR.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <thread>
#include <vector>

#include "core/surface.h"
#include "core/undo.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "platform/temp_file.h"

namespace {

using varnel::ImageSurface;
using varnel::Rect;
using varnel::Size;
using varnel::UndoStep;

void Prepare() {
  varnel::TuneAllocatorForPainting();
  FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
  varnel::StartSpillWriter();
}

void WaitUntilIdle(const UndoStep& step) {
  while (step.IsBusy()) std::this_thread::sleep_for(std::chrono::microseconds(50));
}

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// A full backup of a 4096 x 4096 layer (65,536 tiles, 67.6 MB) pushed and written out,
// either handed to the writer (timed until it is done) or written at once on this thread.
// The backup itself is not timed.
void SpillFullLayer(benchmark::State& state, bool inBackground) {
  Prepare();
  ImageSurface surface;
  surface.Create(Size{4096, 4096});
  for (auto _ : state) {
    state.PauseTiming();
    surface.BackupAll(false, false);
    state.ResumeTiming();
    surface.Undo().PushUndoStep(surface, !inBackground);
    UndoStep& step = *surface.Undo().Step(surface.Undo().StepCount() - 1);
    WaitUntilIdle(step);
    state.PauseTiming();
    if (step.resident) state.SkipWithError("the step was not written");
    surface.Undo().ClearHistory();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{65536} * 1032);
}

void BM_SpillFullLayerInBackground(benchmark::State& state) { SpillFullLayer(state, true); }
void BM_SpillFullLayerNow(benchmark::State& state) { SpillFullLayer(state, false); }

// The same 67.6 MB written with write() in pieces of state.range(0) bytes to a new file in
// the same folder.
void BM_PlainWriteOfTheSameBytes(benchmark::State& state) {
  const std::string path = varnel::TempDirectory() + "/varnel-bench-write.tmp";
  const size_t total = size_t{65536} * 1032 + 4;
  std::vector<uint8_t> data(total, 0x5A);
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (size_t done = 0; done < total;) {
      const size_t piece = std::min<size_t>(static_cast<size_t>(state.range(0)), total - done);
      const ssize_t n = write(fd, data.data() + done, piece);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    close(fd);
    state.PauseTiming();
    unlink(path.c_str());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(total));
}

// Undo followed by redo of one recorded step; each reads the step file back, exchanges the
// tiles and writes the step out again.
void UndoRedo(benchmark::State& state, Size size, Rect stroke) {
  Prepare();
  ImageSurface surface;
  surface.Create(size);
  std::vector<uint32_t> paint(static_cast<size_t>(stroke.right - stroke.left + 1) * (stroke.bottom - stroke.top + 1),
                              0xFF336699u);
  surface.SetRect(stroke, paint.data());
  const int32_t tiles = surface.SavedTileCount();
  surface.Undo().PushUndoStep(surface, true);
  for (auto _ : state) {
    surface.Undo().Undo(surface);
    surface.Undo().Redo(surface);
  }
  state.counters["tiles"] = tiles;
  // Items are single undos or redos.
  state.SetItemsProcessed(state.iterations() * 2);
}

// A typical stroke: a band 8 tiles high and 25 tiles long, 200 tiles.
void BM_UndoRedoStrokeStep(benchmark::State& state) { UndoRedo(state, {2048, 2048}, {100 * 16, 60 * 16, 125 * 16 - 1, 68 * 16 - 1}); }

void BM_UndoRedoFullLayerStep(benchmark::State& state) { UndoRedo(state, {4096, 4096}, {0, 0, 4095, 4095}); }

// Resident memory before 100 full-layer steps (2048 x 2048, 16.9 MB each) are pushed, and
// after the writer has spilled them all.
void BM_MemoryOfASpilledHistory(benchmark::State& state) {
  Prepare();
  for (auto _ : state) {
    ImageSurface surface;
    surface.Create(Size{2048, 2048});
    surface.BackupAll(true, true);  // allocations made once per surface
    malloc_trim(0);                 // what earlier benchmarks left in the heap
    const size_t before = ResidentBytes();
    size_t peak = before;
    for (int i = 0; i < 100; ++i) {
      surface.BackupAll(false, true);
      peak = std::max(peak, ResidentBytes());
      WaitUntilIdle(*surface.Undo().Step(surface.Undo().StepCount() - 1));
    }
    const size_t after = ResidentBytes();
    int resident = 0;
    for (size_t s = 0; s < surface.Undo().StepCount(); ++s) resident += surface.Undo().Step(s)->resident ? 1 : 0;
    state.counters["rss_before_MB"] = static_cast<double>(before) / 1e6;
    state.counters["rss_peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["rss_after_MB"] = static_cast<double>(after) / 1e6;
    state.counters["steps_left_resident"] = resident;
  }
}

BENCHMARK(BM_SpillFullLayerInBackground)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(BM_SpillFullLayerNow)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_PlainWriteOfTheSameBytes)->Arg(1 << 20)->Arg(33024)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_UndoRedoStrokeStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoRedoFullLayerStep)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MemoryOfASpilledHistory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
