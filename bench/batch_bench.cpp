// A filter batch against the same filters run one by one.
//
// Five no-op filters on a 4096 × 4096 layer: as one batch (one backup with its undo step, as the
// canvas makes it before "フィルタバッチ処理", then the batch run over a copy of the head), as
// five separate "実行"s (a backup with its undo step before each call), and the floor the batch
// is held to: one backup and the five calls made directly. Goal: batch ≤ 1.1 × the floor.
// The history is cleared between iterations, untimed.
//
//   build/bench/batch_bench --benchmark_min_time=1

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "filters/filter_host.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "sievehost/batch_run.h"

namespace {

using namespace varnel;

constexpr int32_t kSide = 4096;
constexpr int kFilters = 5;

void Prepare(ImageSurface& surface) {
  static const bool prepared = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    return true;
  }();
  (void)prepared;
  surface.CreateWithAlpha({kSide, kSide}, 255);
  surface.DiscardBackups();
}

void Finish(benchmark::State& state, ImageSurface& surface) {
  state.PauseTiming();
  surface.Undo().ClearHistory();
  state.ResumeTiming();
}

void BM_BatchOfFiveNoOpFilters(benchmark::State& state) {
  ImageSurface surface;
  Prepare(surface);
  const SievehostLibraryList libraries(VARNEL_BENCH_FILTER_DIR);
  std::string content;
  for (int i = 0; i < kFilters; ++i) content += "filter_noop.so:Nop:\r\n";
  for (auto _ : state) {
    surface.BackupAll(false, true);
    BatchRun run(libraries, {});
    if (RunBatchOnImage(run, content, surface.Descriptor()).filtersRun != kFilters) state.SkipWithError("no Nop");
    Finish(state, surface);
  }
}
BENCHMARK(BM_BatchOfFiveNoOpFilters)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FiveSeparateRuns(benchmark::State& state) {
  ImageSurface surface;
  Prepare(surface);
  const FilterLibraryList libraries(VARNEL_BENCH_FILTER_DIR);
  const std::optional<FilterSelection> selection = SelectFilter(libraries, "filter_noop.so", "Nop");
  if (!selection) {
    state.SkipWithError("no filter_noop.so");
    return;
  }
  for (auto _ : state) {
    for (int i = 0; i < kFilters; ++i) {
      surface.BackupAll(false, true);
      FilterCommand command(*selection, {});
      command.Execute(surface, 1);
      command.Execute(surface, 0);
    }
    Finish(state, surface);
  }
}
BENCHMARK(BM_FiveSeparateRuns)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OneBackupAndFiveDirectCalls(benchmark::State& state) {
  ImageSurface surface;
  Prepare(surface);
  const SievehostLibraryList libraries(VARNEL_BENCH_FILTER_DIR);
  const SievehostLibrary* library = libraries.Find("filter_noop.so");
  if (!library || !library->processFilter) {
    state.SkipWithError("no filter_noop.so");
    return;
  }
  for (auto _ : state) {
    surface.BackupAll(false, true);
    for (int i = 0; i < kFilters; ++i) library->processFilter("Nop", surface.Descriptor(), 0, nullptr, nullptr);
    Finish(state, surface);
  }
}
BENCHMARK(BM_OneBackupAndFiveDirectCalls)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
