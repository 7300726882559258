// The gradient tool's paint function over a whole 4096 × 4096 layer beside QPainter filling a
// 4096 × 4096 QImage (ARGB32_Premultiplied, raster engine) with a QLinearGradient of the same
// line and colours, in the same run. Three lines of 4096 pixels' length: across the layer (every
// row alike), at 45° and at 30°. The paint function runs as the tool runs it, every tile backed
// up for the undo step, and once more without backups, which is the gradient itself; writing
// the layer through SetRect alone shows what the backups cost.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/layer.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "sdk/varnel_image.h"
#include "tools/gradient_tool.h"

namespace {

constexpr int32_t kSide = 4096;

struct Line {
  const char* name;
  varnel::GradientLine line;
};
// 2896 × √2 is 4095.6 pixels, (3547, 2048) 4095.8. At 45° every row is the one above moved by a
// pixel; at 30° every pixel is stepped.
const Line kLines[] = {
    {"across", {0, 0, kSide - 1, 0}}, {"45 degrees", {0, 0, 2896, 2896}}, {"30 degrees", {0, 0, 3547, 2048}}};

const varnel::ColourRef kForeground = varnel::MakeColourRef(20, 90, 200);
const varnel::ColourRef kBackground = varnel::MakeColourRef(250, 220, 40);

void Pool() {
  static const bool made = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    return true;
  }();
  (void)made;
}

varnel::Layer& SharedLayer() {
  static varnel::Layer* layer = [] {
    auto* made = new varnel::Layer;
    if (made->Create({kSide, kSide}) != 0) std::abort();
    return made;
  }();
  return *layer;
}

varnel::GradientPaint Paint(int64_t index) {
  return {kLines[index].line, varnel::LinearPattern(kForeground, kBackground), varnel::kGradientDrawSolid, 256};
}

void BM_PaintGradient(benchmark::State& state) {
  Pool();
  varnel::Layer& layer = SharedLayer();
  const varnel::GradientPaint paint = Paint(state.range(0));
  for (auto _ : state) {
    varnel::PaintGradient(layer, {0, 0, kSide - 1, kSide - 1}, paint);
    benchmark::ClobberMemory();
    state.PauseTiming();
    layer.DiscardBackups();
    layer.ClearDirty();
    state.ResumeTiming();
  }
  state.SetLabel(kLines[state.range(0)].name);
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_PaintGradient)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintGradientWithoutBackups(benchmark::State& state) {
  varnel::Layer& layer = SharedLayer();
  const varnel::GradientPaint paint = Paint(state.range(0));
  layer.SetRestoring(true);
  for (auto _ : state) {
    varnel::PaintGradient(layer, {0, 0, kSide - 1, kSide - 1}, paint);
    benchmark::ClobberMemory();
  }
  layer.SetRestoring(false);
  layer.ClearDirty();
  state.SetLabel(kLines[state.range(0)].name);
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_PaintGradientWithoutBackups)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

// One colour written through SetRect a tile row at a time, every tile backed up: the floor
// under any tool that rewrites the whole layer.
void BM_SetRectWithBackups(benchmark::State& state) {
  Pool();
  varnel::Layer& layer = SharedLayer();
  const std::vector<uint32_t> band(size_t{kSide} * varnel::ImageSurface::kTileSize, 0xFF336699u);
  for (auto _ : state) {
    for (int32_t top = 0; top < kSide; top += varnel::ImageSurface::kTileSize)
      layer.SetRect({0, top, kSide - 1, top + varnel::ImageSurface::kTileSize - 1}, band.data());
    benchmark::ClobberMemory();
    state.PauseTiming();
    layer.DiscardBackups();
    layer.ClearDirty();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_SetRectWithBackups)->Unit(benchmark::kMillisecond)->UseRealTime();

QColor ToQColor(varnel::ColourRef colour) {
  return QColor(varnel::RedOf(colour), varnel::GreenOf(colour), varnel::BlueOf(colour));
}

// The same gradient replacing every pixel (CompositionMode_Source, as "ソリッド描画" does), the
// line through the pixel centres.
void BM_QPainterLinearGradient(benchmark::State& state) {
  QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  const varnel::GradientLine& line = kLines[state.range(0)].line;
  QLinearGradient gradient(QPointF(line.x0 + 0.5, line.y0 + 0.5), QPointF(line.x1 + 0.5, line.y1 + 0.5));
  gradient.setColorAt(0, ToQColor(kForeground));
  gradient.setColorAt(1, ToQColor(kBackground));
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(image.rect(), gradient);
    painter.end();
    benchmark::ClobberMemory();
  }
  state.SetLabel(kLines[state.range(0)].name);
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK(BM_QPainterLinearGradient)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
