// The curve tool's drawing on a 2048 × 2048 layer beside QPainter on a 2048 × 2048 QImage
// (ARGB32_Premultiplied, raster engine) drawing the same cubic path, in the same run. The path
// is a closed loop through 8 anchors, 900 and 600 pixels from the centre in turn.
//
//   BM_CurveFill/<aa>        "塗りつぶし": the loop flattened, its coverage (exact area with
//                            aa = 1, pixel centres with 0) painted through the layer's SetRect,
//                            every tile backed up for the undo step as the tool does
//   BM_CurveFillWithoutBackups/<aa>  the same without the backups
//   BM_QPainterFill/<aa>     QPainter::fillPath of the same cubics, antialiased with aa = 1
//   BM_CurveStroke           the loop stroked: the 9 × 9 normal brush walked along it with the
//                            pressure map, every dab recomposed on the canvas
//   BM_QPainterStroke        QPainter::strokePath, a 9-pixel pen with square caps, no
//                            antialiasing (the normal brush's dab is a square)
//
// Items are the pixels of the loop's bounding box (fill) or of its length (stroke).
//
//   build/bench/curve_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <vector>

#include "brush/brush_kinds.h"
#include "core/canvas.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "sdk/varnel_image.h"
#include "tools/curve_tool.h"

namespace {

constexpr int32_t kSide = 2048;
constexpr int32_t kBrushSide = 9;
constexpr uint32_t kRed = 0xFFC81E28u;

void Pool() {
  static const bool made = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    return true;
  }();
  (void)made;
}

std::vector<varnel::CurveAnchor> Loop() {
  std::vector<varnel::CurveAnchor> anchors;
  for (int i = 0; i < 8; ++i) {
    const double angle = i * std::numbers::pi / 4, radius = i % 2 == 0 ? 900 : 600;
    const varnel::ShapePoint p{1024 + radius * std::cos(angle), 1024 + radius * std::sin(angle)};
    anchors.push_back({p, false, p, p});
  }
  return anchors;
}

// The loop as the tool fills it: anchors on pixel centres, the outline on pixel corners.
std::vector<varnel::ShapePoint> Outline() {
  std::vector<varnel::ShapePoint> outline = varnel::FlattenCurve(Loop(), true);
  for (varnel::ShapePoint& p : outline) p = {p.x + 0.5, p.y + 0.5};
  return outline;
}

QPainterPath LoopPath() {
  QPainterPath path;
  const std::vector<varnel::CubicSegment> segments = varnel::CurveSegments(Loop(), true);
  path.moveTo(segments.front().p0.x + 0.5, segments.front().p0.y + 0.5);
  for (const varnel::CubicSegment& s : segments)
    path.cubicTo(s.p1.x + 0.5, s.p1.y + 0.5, s.p2.x + 0.5, s.p2.y + 0.5, s.p3.x + 0.5, s.p3.y + 0.5);
  return path;
}

int64_t BoxPixels() {
  const QRectF box = LoopPath().boundingRect();
  return static_cast<int64_t>(box.width() * box.height());
}

double LoopLength() {
  const std::vector<varnel::ShapePoint> outline = Outline();
  double length = 0;
  for (size_t i = 1; i < outline.size(); ++i)
    length += std::hypot(outline[i].x - outline[i - 1].x, outline[i].y - outline[i - 1].y);
  return length;
}

void BM_CurveFill(benchmark::State& state) {
  Pool();
  varnel::Layer layer;
  if (layer.Create({kSide, kSide}) != 0) std::abort();
  const std::vector<varnel::ShapePoint> outline = Outline();
  for (auto _ : state) {
    benchmark::DoNotOptimize(varnel::FillOutline(layer, outline, kRed, state.range(0) != 0));
    state.PauseTiming();
    layer.DiscardBackups();
    layer.ClearDirty();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * BoxPixels());
}
BENCHMARK(BM_CurveFill)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurveFillWithoutBackups(benchmark::State& state) {
  varnel::Layer layer;
  if (layer.Create({kSide, kSide}) != 0) std::abort();
  layer.SetRestoring(true);
  const std::vector<varnel::ShapePoint> outline = Outline();
  for (auto _ : state) {
    benchmark::DoNotOptimize(varnel::FillOutline(layer, outline, kRed, state.range(0) != 0));
    layer.ClearDirty();
  }
  state.SetItemsProcessed(state.iterations() * BoxPixels());
}
BENCHMARK(BM_CurveFillWithoutBackups)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QPainterFill(benchmark::State& state) {
  QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  const QPainterPath path = LoopPath();
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, state.range(0) != 0);
    painter.fillPath(path, QColor::fromRgba(kRed));
    painter.end();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * BoxPixels());
}
BENCHMARK(BM_QPainterFill)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurveStroke(benchmark::State& state) {
  Pool();
  varnel::Canvas canvas;
  auto layer = std::make_unique<varnel::Layer>();
  if (layer->Create({kSide, kSide}) != 0) std::abort();
  varnel::Layer* target = layer.get();
  canvas.InitWithLayer(std::move(layer));
  varnel::NormalBrush brush{varnel::Size{kBrushSide, kBrushSide}};
  brush.SetPressureOpacity(true);
  const std::vector<varnel::ShapePoint> line = varnel::FlattenCurve(Loop(), true);
  const varnel::PressureMap taper = {{0, 64}, {500, 256}, {1000, 64}};
  // The tool's step: four dab spacings, the spacing a tenth of the side truncated.
  const std::vector<varnel::BrushPathPoint> points =
      varnel::BrushPointsAlong(line, taper, 4.0 * std::trunc(kBrushSide * brush.Spacing()));
  for (auto _ : state) {
    varnel::DrawBrushPath(canvas, brush, *target, points, false);
    state.PauseTiming();
    target->DiscardBackups();
    target->ClearDirty();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(LoopLength()));
}
BENCHMARK(BM_CurveStroke)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QPainterStroke(benchmark::State& state) {
  QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  const QPainterPath path = LoopPath();
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setPen(QPen(QColor::fromRgba(kRed), kBrushSide, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.strokePath(path, painter.pen());
    painter.end();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(LoopLength()));
}
BENCHMARK(BM_QPainterStroke)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
