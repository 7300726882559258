// Saving and opening a 10-layer 2048 × 2048 document as OpenRaster (through the program's
// document functions and Oraport from the program folder) beside saving and opening it as the
// program's own layer file, in the same run. The layers look painted: soft strokes of colour on
// transparency with a little grain, as PNG meets them in practice (random pixels would only
// measure deflate giving up).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "core/canvas.h"
#include "document/document_file.h"
#include "document/layer_file.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "platform/host.h"

namespace {

using varnel::Layer;

constexpr int32_t kSide = 2048;
constexpr int32_t kLayers = 10;

std::string Folder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/varnel-ora-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1);
    setenv("VARNEL_CONFIG", (pattern + "/varnel.ini").c_str(), 1);
    return pattern;
  }();
  return folder;
}

// A layer of a few wide strokes: colour ramps along each stroke, alpha fading at its edges,
// grain of ±2 on the colours.
std::unique_ptr<Layer> PaintedLayer(int32_t index, std::mt19937& random) {
  auto layer = std::make_unique<Layer>();
  layer->CreateWithAlpha({kSide, kSide}, 0);
  std::uniform_int_distribution<int32_t> grain(-2, 2);
  std::uniform_real_distribution<double> place(0.0, kSide);
  for (int stroke = 0; stroke < 6; ++stroke) {
    const double cx = place(random);
    const double cy = place(random);
    const double radius = 150 + 40 * stroke;
    for (int32_t y = std::max(0, static_cast<int32_t>(cy - radius)); y < std::min(kSide, static_cast<int32_t>(cy + radius)); ++y) {
      uint32_t* row = layer->Row(y);
      for (int32_t x = std::max(0, static_cast<int32_t>(cx - radius)); x < std::min(kSide, static_cast<int32_t>(cx + radius)); ++x) {
        const double d = std::hypot(x - cx, y - cy) / radius;
        if (d >= 1) continue;
        const uint32_t alpha = static_cast<uint32_t>(255 * (1 - d * d));
        const uint32_t r = static_cast<uint32_t>(std::clamp(x / 8 + index * 20 + grain(random), 0, 255));
        const uint32_t g = static_cast<uint32_t>(std::clamp(y / 8 + grain(random), 0, 255));
        const uint32_t b = static_cast<uint32_t>(std::clamp(128 + stroke * 16 + grain(random), 0, 255));
        row[x] = alpha << 24 | r << 16 | g << 8 | b;
      }
    }
  }
  layer->SetName("レイヤ" + std::to_string(index + 1));
  return layer;
}

varnel::Canvas& SharedCanvas() {
  static varnel::Canvas* canvas = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(1032);
    static varnel::ConsoleHost host;
    varnel::SetHost(&host);
    auto* c = new varnel::Canvas;
    std::mt19937 random(7);
    c->InitWithLayer(PaintedLayer(0, random));
    for (int32_t i = 1; i < kLayers; ++i) c->AppendLayer(PaintedLayer(i, random), false);
    c->ComposeAll();
    return c;
  }();
  return *canvas;
}

void Save(benchmark::State& state, const char* name) {
  const varnel::Canvas& canvas = SharedCanvas();
  const std::string path = Folder() + "/" + name;
  for (auto _ : state) {
    if (varnel::WriteCanvas(path, canvas, varnel::GridSettings{}) != varnel::SaveResult::kWritten) {
      state.SkipWithError("cannot write");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide * kLayers);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f != nullptr) {
    std::fseek(f, 0, SEEK_END);
    state.counters["MiB"] = static_cast<double>(std::ftell(f)) / (1 << 20);
    std::fclose(f);
  }
}

void Open(benchmark::State& state, const char* name) {
  const std::string path = Folder() + "/" + name;
  if (varnel::WriteCanvas(path, SharedCanvas(), varnel::GridSettings{}) != varnel::SaveResult::kWritten) {
    state.SkipWithError("cannot write");
    return;
  }
  for (auto _ : state) {
    varnel::OpenedPicture picture;
    if (varnel::ReadPicture(path, picture) != 0 || picture.layers.size() != kLayers) {
      state.SkipWithError("cannot read");
      return;
    }
    benchmark::DoNotOptimize(picture.layers.front()->Bits());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide * kLayers);
}

void BM_SaveLayerFile(benchmark::State& state) { Save(state, "bench.vlb"); }
void BM_SaveOpenRaster(benchmark::State& state) { Save(state, "bench.ora"); }
void BM_OpenLayerFile(benchmark::State& state) { Open(state, "bench.vlb"); }
void BM_OpenOpenRaster(benchmark::State& state) { Open(state, "bench.ora"); }

BENCHMARK(BM_SaveLayerFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveOpenRaster)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenLayerFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenOpenRaster)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
