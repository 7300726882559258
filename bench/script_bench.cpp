// Inverting a 1024 × 1024 script image three ways in the same engine: per-pixel GetPixel and
// SetPixel calls, row access through GetRow/SetRow, and the same loop over a plain
// ArrayBuffer that never leaves the engine (the reference).

#include <benchmark/benchmark.h>

#include "macrolet/script_engine.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "sdk/varnel_image.h"

namespace varnel {
namespace {

constexpr int32_t kSide = 1024;

void RunInvert(benchmark::State& state, const char* text, double callsPerRun) {
  static const bool pool =
      (TuneAllocatorForPainting(), FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup))), true);
  (void)pool;
  ImageSurface image;
  image.Create({kSide, kSide});
  image.DiscardBackups();
  for (auto _ : state) {
    const ScriptOutcome outcome = RunScript(text, ScriptLanguage::kJScript, &image, {});
    if (outcome.failed) state.SkipWithError(outcome.description.c_str());
  }
  if (callsPerRun > 0)
    state.counters["calls/s"] = benchmark::Counter(callsPerRun * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
  state.counters["pixels/s"] = benchmark::Counter(double(kSide) * kSide * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}

void BM_ScriptInvertPerPixel(benchmark::State& state) {
  RunInvert(state,
            "var img = Document.Image, w = img.CX, h = img.CY;\n"
            "for (var y = 0; y < h; ++y) for (var x = 0; x < w; ++x) img.SetPixel(x, y, img.GetPixel(x, y) ^ 0xFFFFFF);\n",
            2.0 * kSide * kSide);
}
BENCHMARK(BM_ScriptInvertPerPixel)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ScriptInvertRows(benchmark::State& state) {
  RunInvert(state,
            "var img = Document.Image, w = img.CX, h = img.CY;\n"
            "for (var y = 0; y < h; ++y) {\n"
            "  var row = new Uint32Array(img.GetRow(y));\n"
            "  for (var x = 0; x < w; ++x) row[x] ^= 0xFFFFFF;\n"
            "  img.SetRow(y, row);\n"
            "}\n",
            0);
}
BENCHMARK(BM_ScriptInvertRows)->Unit(benchmark::kMillisecond);

void BM_ScriptInvertPlainArrayBuffer(benchmark::State& state) {
  RunInvert(state,
            "var w = 1024, h = 1024, pixels = new Uint32Array(new ArrayBuffer(w * h * 4));\n"
            "for (var y = 0; y < h; ++y) {\n"
            "  var row = pixels.subarray(y * w, y * w + w);\n"
            "  for (var x = 0; x < w; ++x) row[x] ^= 0xFFFFFF;\n"
            "}\n",
            0);
}
BENCHMARK(BM_ScriptInvertPlainArrayBuffer)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varnel
