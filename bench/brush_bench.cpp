// Brush dabs: dabs per second of the normal kind at diameters 8 to 128, of blur, finger
// smudge, sharpen and dodge at 32 and of a textured custom brush at 64 (one and four stroke
// sub-objects), beside libmypaint's draw_dab at the same diameters (hard,
// opaque, one thread); and a 2000-pixel stroke of a 32-pixel normal brush on a 4096 × 4096
// layer of a 10-layer canvas, each dab followed by the recomposition of its rectangle, with
// the worst single dab.
//
//   build/bench/brush_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <random>
#include <vector>

#include "brush/brush_kinds.h"
#include "brush/brush_stroke.h"
#include "brush/custom_brush.h"
#include "core/canvas.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"

extern "C" {
#include <mypaint-fixed-tiled-surface.h>
void omp_set_num_threads(int threads);
}

namespace {

using varnel::BrushEngine;
using varnel::Canvas;
using varnel::Layer;
using varnel::Size;

constexpr int32_t kDabLayerSide = 1024;

void InitPool() {
  static const bool once = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(1032);
    return true;
  }();
  (void)once;
}

// An opaque layer of random colours that every dab benchmark paints on.
Layer& DabLayer() {
  static Layer* layer = [] {
    InitPool();
    auto* l = new Layer;
    l->Create({kDabLayerSide, kDabLayerSide});
    std::mt19937 random(7);
    for (int32_t y = 0; y < kDabLayerSide; ++y)
      for (int32_t x = 0; x < kDabLayerSide; ++x) l->Row(y)[x] = random() | 0xFF000000u;
    l->DiscardBackups();
    return l;
  }();
  return *layer;
}

// Dab centres marching across the layer a quarter diameter apart, row after row, as along
// a stroke.
struct DabWalk {
  int32_t diameter;
  int32_t x;
  int32_t y;
  explicit DabWalk(int32_t d) : diameter(d), x(d), y(d) {}
  void Next(int32_t side) {
    const int32_t step = std::max(1, diameter / 4);
    x += step;
    if (x > side - diameter) {
      x = diameter;
      y += step;
      if (y > side - diameter) y = diameter;
    }
  }
};

void RunDabs(benchmark::State& state, int32_t kind) {
  const int32_t d = static_cast<int32_t>(state.range(0));
  Layer& layer = DabLayer();
  std::unique_ptr<BrushEngine> brush = varnel::CreateBrushKind(kind, {d, d});
  brush->SetColours(varnel::ColourRef{0x00336699u}, varnel::ColourRef{0x00FFFFFFu});
  DabWalk walk(d);
  for (auto _ : state) {
    brush->DrawDab(layer, walk.x, walk.y, 256);
    walk.Next(kDabLayerSide);
  }
  layer.ClearDirty();
  state.SetItemsProcessed(state.iterations());
  state.counters["pixels"] = benchmark::Counter(static_cast<double>(state.iterations()) * d * d,
                                                benchmark::Counter::kIsRate);
}

void BM_NormalDab(benchmark::State& state) { RunDabs(state, varnel::kBrushNormal); }
void BM_BlurDab(benchmark::State& state) { RunDabs(state, varnel::kBrushBlur); }
void BM_FingerSmudgeDab(benchmark::State& state) { RunDabs(state, varnel::kBrushFingerSmudge); }
void BM_SharpenDab(benchmark::State& state) { RunDabs(state, varnel::kBrushSharpen); }
void BM_DodgeDab(benchmark::State& state) { RunDabs(state, varnel::kBrushDodgeAll); }

// The custom brush at diameter 64 with a soft round tip and a 128 × 128 paper texture in the
// density colour mode, laying one or four stroke sub-objects per dab.
void BM_CustomTexturedDab(benchmark::State& state) {
  constexpr int32_t d = 64;
  Layer& layer = DabLayer();
  varnel::CustomBrushParams params;
  params.strokeCount = static_cast<int32_t>(state.range(0));
  params.colourMode = 0;
  varnel::CustomBrushFiles files;
  files.texture = std::make_shared<varnel::ImageSurface>();
  files.texture->Create({128, 128});
  std::mt19937 random(11);
  for (int32_t y = 0; y < 128; ++y)
    for (int32_t x = 0; x < 128; ++x) files.texture->SetPixel(x, y, 0xFF000000u | (random() & 0x7F7F7Fu));
  varnel::CustomBrush brush({d, d}, params, files);
  brush.SetColours(varnel::ColourRef{0x00336699u}, varnel::ColourRef{0x00FFFFFFu});
  DabWalk walk(d);
  for (auto _ : state) {
    brush.DrawDab(layer, walk.x, walk.y, 256);
    walk.Next(kDabLayerSide);
  }
  layer.ClearDirty();
  state.SetItemsProcessed(state.iterations());
  state.counters["pixels"] = benchmark::Counter(static_cast<double>(state.iterations()) * d * d,
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CustomTexturedDab)->Arg(1)->Arg(4);

BENCHMARK(BM_NormalDab)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Arg(128);
BENCHMARK(BM_BlurDab)->Arg(32);
BENCHMARK(BM_FingerSmudgeDab)->Arg(32);
BENCHMARK(BM_SharpenDab)->Arg(32);
BENCHMARK(BM_DodgeDab)->Arg(32);

// libmypaint's fixed tiled surface: a hard, opaque round dab, each one finished (its tiles
// processed) before the next, on one thread like the engine.
void BM_LibMyPaintDab(benchmark::State& state) {
  const int32_t d = static_cast<int32_t>(state.range(0));
  omp_set_num_threads(1);
  MyPaintFixedTiledSurface* fixed = mypaint_fixed_tiled_surface_new(kDabLayerSide, kDabLayerSide);
  MyPaintSurface* surface = mypaint_fixed_tiled_surface_interface(fixed);
  DabWalk walk(d);
  for (auto _ : state) {
    mypaint_surface_begin_atomic(surface);
    mypaint_surface_draw_dab(surface, static_cast<float>(walk.x), static_cast<float>(walk.y), d * 0.5f, 0.2f, 0.4f,
                             0.6f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
    MyPaintRectangle roi;
    mypaint_surface_end_atomic(surface, &roi);
    walk.Next(kDabLayerSide);
  }
  mypaint_surface_unref(surface);
  state.SetItemsProcessed(state.iterations());
  state.counters["pixels"] = benchmark::Counter(static_cast<double>(state.iterations()) * d * d,
                                                benchmark::Counter::kIsRate);
}

BENCHMARK(BM_LibMyPaintDab)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Arg(128);

// --- a stroke on a 10-layer canvas ------------------------------------------------------------

constexpr int32_t kCanvasSide = 4096;
constexpr int32_t kCanvasLayers = 10;
constexpr int32_t kActiveLayer = 5;

Canvas& TenLayerCanvas() {
  static Canvas* canvas = [] {
    InitPool();
    auto* c = new Canvas;
    std::mt19937 random(10);
    const int32_t modes[] = {0, 1, 2, 13, 14};
    for (int32_t i = 0; i < kCanvasLayers; ++i) {
      auto layer = std::make_unique<Layer>();
      layer->Create({kCanvasSide, kCanvasSide});
      for (int32_t y = 0; y < kCanvasSide; ++y) {
        uint32_t* row = layer->Row(y);
        for (int32_t x = 0; x < kCanvasSide; ++x) row[x] = random();
      }
      layer->DiscardBackups();
      layer->SetBlendMode(varnel::BlendMode{modes[i % 5]});
      layer->SetOpacity(90);
      c->AppendLayer(std::move(layer), false);
    }
    c->SetActiveLayer(kActiveLayer);
    c->ComposeAll();
    c->Composite().ClearDirty();
    return c;
  }();
  return *canvas;
}

double ThreadCpuNs() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// The normal kind, timing each dab together with the recomposition it triggers: by the wall
// clock (which on a busy machine includes being scheduled out) and by this thread's CPU time.
class TimedBrush : public varnel::NormalBrush {
 public:
  using NormalBrush::NormalBrush;
  void DrawDab(varnel::ImageSurface& layer, int32_t x, int32_t y, int32_t opacity) override {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuNs();
    NormalBrush::DrawDab(layer, x, y, opacity);
    const double cpu = ThreadCpuNs() - cpuStart;
    const auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    worstNs = std::max(worstNs, ns);
    worstCpuNs = std::max(worstCpuNs, cpu);
    ++dabs;
  }
  double worstNs = 0.0;
  double worstCpuNs = 0.0;
  int64_t dabs = 0;
};

void BM_StrokeOnTenLayerCanvas(benchmark::State& state) {
  Canvas& canvas = TenLayerCanvas();
  // 2000 pixels to the right in pen reports 4 pixels apart.
  std::vector<varnel::StrokePoint> points;
  for (int32_t x = 0; x <= 2000; x += 4) points.push_back({1000 + x, 2000 + x / 10, 256});
  TimedBrush brush({32, 32});
  brush.SetColours(varnel::ColourRef{0x00336699u}, varnel::ColourRef{0x00FFFFFFu});
  for (auto _ : state) {
    varnel::PaintStroke(canvas, brush, points);
    state.PauseTiming();
    // Each stroke starts from a layer without saved tiles or history, like the first one.
    canvas.ActiveLayer()->Undo().ClearHistory();
    canvas.Composite().ClearDirty();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(brush.dabs);
  state.counters["dabs_per_stroke"] = static_cast<double>(brush.dabs) / static_cast<double>(state.iterations());
  state.counters["worst_dab_us"] = brush.worstNs / 1000.0;
  state.counters["worst_dab_cpu_us"] = brush.worstCpuNs / 1000.0;
}

BENCHMARK(BM_StrokeOnTenLayerCanvas)->Unit(benchmark::kMillisecond);

}  // namespace
