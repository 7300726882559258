// The filled shape tools' painting on a 2048 × 2048 layer beside QPainter (raster engine,
// antialiasing on, solid brush, no pen) on a 2048 × 2048 QImage (ARGB32_Premultiplied), in the
// same run:
//
//   BM_Ellipse            "塗りつぶし楕円": a 2000 × 1500 ellipse, its exact-area coverage
//                         rendered a band of rows at a time and painted into the layer's rows,
//                         the upper and lower half on two threads, every tile backed up for the
//                         undo step as the tool does (FillEllipse); the backups are freed
//                         untimed, as the undo step keeps them
//   BM_EllipseRender      only the coverage of that ellipse, as one mask, on one thread
//   BM_EllipseNoBackups   the whole paint path with the layer restoring, so without backups
//   BM_QPainterEllipse    QPainter::drawEllipse of the same box
//   BM_EllipseBackupsOnly only the undo backups of the tiles under that ellipse, the upper and
//                         lower half on two threads, nothing painted: the least that painting
//                         it with undo can cost
//   BM_Star               "塗りつぶし多角形", anti-aliased: a 100-corner star (corners 1000 and 400
//                         pixels from the centre in turn), rendered and painted (FillOutline)
//   BM_StarRender         only its coverage
//   BM_StarNoBackups      the whole paint path with the layer restoring
//   BM_QPainterStar       QPainter::drawPolygon of the same corners, odd-even
//
// Items are the pixels of the shape's bounding box.
//
//   build/bench/shape_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <numbers>
#include <vector>

#include "core/bands.h"
#include "core/layer.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "sdk/varnel_image.h"
#include "tools/shape_tools.h"

namespace {

constexpr int32_t kSide = 2048;
constexpr uint32_t kColour = 0xFF2850C8u;
constexpr double kCentre = kSide / 2.0;
constexpr double kRadiusX = 1000, kRadiusY = 750;
constexpr int kStarCorners = 100;
constexpr double kStarOuter = 1000, kStarInner = 400;

void Pool() {
  static const bool made = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    return true;
  }();
  (void)made;
}

varnel::Layer& Target() {
  static varnel::Layer* layer = [] {
    Pool();
    auto* made = new varnel::Layer;
    if (made->Create({kSide, kSide}) != 0) std::abort();
    return made;
  }();
  return *layer;
}

QImage& Image() {
  static QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  return image;
}

std::vector<varnel::ShapePoint> Star() {
  std::vector<varnel::ShapePoint> points;
  for (int i = 0; i < kStarCorners; ++i) {
    const double angle = 2 * std::numbers::pi * i / kStarCorners, radius = i % 2 == 0 ? kStarOuter : kStarInner;
    points.push_back({kCentre + radius * std::cos(angle), kCentre + radius * std::sin(angle)});
  }
  return points;
}

void BM_Ellipse(benchmark::State& state) {
  varnel::Layer& layer = Target();
  int64_t tiles = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(varnel::FillEllipse(layer, kCentre, kCentre, kRadiusX, kRadiusY, kColour));
    // The undo step would take the backups, and free them only when it leaves the history;
    // here they go back to the pool untimed.
    state.PauseTiming();
    tiles = layer.SavedTileCount();
    layer.DiscardBackups();
    state.ResumeTiming();
  }
  state.counters["tiles"] = static_cast<double>(tiles);
  state.SetItemsProcessed(state.iterations() * int64_t(2 * kRadiusX) * int64_t(2 * kRadiusY));
}
BENCHMARK(BM_Ellipse)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EllipseRender(benchmark::State& state) {
  for (auto _ : state) {
    varnel::ShapeCoverage coverage;
    coverage.AddEllipse(kCentre, kCentre, kRadiusX, kRadiusY);
    benchmark::DoNotOptimize(coverage.Render({0, 0, kSide - 1, kSide - 1}, true));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(2 * kRadiusX) * int64_t(2 * kRadiusY));
}
BENCHMARK(BM_EllipseRender)->Unit(benchmark::kMillisecond);

void BM_EllipseNoBackups(benchmark::State& state) {
  varnel::Layer& layer = Target();
  layer.SetRestoring(true);
  for (auto _ : state)
    benchmark::DoNotOptimize(varnel::FillEllipse(layer, kCentre, kCentre, kRadiusX, kRadiusY, kColour));
  layer.SetRestoring(false);
  state.SetItemsProcessed(state.iterations() * int64_t(2 * kRadiusX) * int64_t(2 * kRadiusY));
}
BENCHMARK(BM_EllipseNoBackups)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QPainterEllipse(benchmark::State& state) {
  QImage& image = Image();
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(kColour));
    painter.drawEllipse(QRectF(kCentre - kRadiusX, kCentre - kRadiusY, 2 * kRadiusX, 2 * kRadiusY));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(2 * kRadiusX) * int64_t(2 * kRadiusY));
}
BENCHMARK(BM_QPainterEllipse)->Unit(benchmark::kMillisecond);

void BM_EllipseBackupsOnly(benchmark::State& state) {
  varnel::Layer& layer = Target();
  constexpr int32_t kTile = varnel::ImageSurface::kTileSize;
  const int32_t top = static_cast<int32_t>(kCentre - kRadiusY) / kTile, bottom = static_cast<int32_t>(kCentre + kRadiusY) / kTile;
  // Each tile row's reach: the ellipse's widest row within it.
  std::vector<varnel::Rect> rows;
  for (int32_t row = top; row <= bottom; ++row) {
    const double nearest = std::clamp(kCentre, row * kTile + 0.0, row * kTile + kTile - 1.0);
    const double dy = (nearest - kCentre) / kRadiusY, half = kRadiusX * std::sqrt(std::max(0.0, 1 - dy * dy));
    rows.push_back({static_cast<int32_t>(kCentre - half), row * kTile, static_cast<int32_t>(kCentre + half), row * kTile + kTile - 1});
  }
  std::mutex records;
  int64_t tiles = 0;
  for (auto _ : state) {
    varnel::RunInTwoBands(true, 0, static_cast<int32_t>(rows.size()), [&](int32_t first, int32_t end) {
      std::vector<TileBackup*> backups;
      for (int32_t i = first; i < end; ++i) {
        layer.CopyUnsavedTiles(rows[static_cast<size_t>(i)], backups);
        const std::lock_guard lock(records);
        layer.KeepBackups(backups);
      }
    });
    state.PauseTiming();
    tiles = layer.SavedTileCount();
    layer.DiscardBackups();
    state.ResumeTiming();
  }
  state.counters["tiles"] = static_cast<double>(tiles);
}
BENCHMARK(BM_EllipseBackupsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Star(benchmark::State& state) {
  varnel::Layer& layer = Target();
  const std::vector<varnel::ShapePoint> star = Star();
  for (auto _ : state) {
    benchmark::DoNotOptimize(varnel::FillOutline(layer, star, kColour, true, varnel::FillRule::kEvenOdd));
    state.PauseTiming();
    layer.DiscardBackups();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(2 * kStarOuter) * int64_t(2 * kStarOuter));
}
BENCHMARK(BM_Star)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StarRender(benchmark::State& state) {
  const std::vector<varnel::ShapePoint> star = Star();
  for (auto _ : state) {
    varnel::ShapeCoverage coverage;
    coverage.AddPolygon(star);
    benchmark::DoNotOptimize(coverage.Render({0, 0, kSide - 1, kSide - 1}, true, varnel::FillRule::kEvenOdd));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(2 * kStarOuter) * int64_t(2 * kStarOuter));
}
BENCHMARK(BM_StarRender)->Unit(benchmark::kMillisecond);

void BM_StarNoBackups(benchmark::State& state) {
  varnel::Layer& layer = Target();
  const std::vector<varnel::ShapePoint> star = Star();
  layer.SetRestoring(true);
  for (auto _ : state) benchmark::DoNotOptimize(varnel::FillOutline(layer, star, kColour, true, varnel::FillRule::kEvenOdd));
  layer.SetRestoring(false);
  state.SetItemsProcessed(state.iterations() * int64_t(2 * kStarOuter) * int64_t(2 * kStarOuter));
}
BENCHMARK(BM_StarNoBackups)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QPainterStar(benchmark::State& state) {
  QImage& image = Image();
  QPolygonF polygon;
  for (const varnel::ShapePoint& p : Star()) polygon << QPointF(p.x, p.y);
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(kColour));
    painter.drawPolygon(polygon, Qt::OddEvenFill);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(2 * kStarOuter) * int64_t(2 * kStarOuter));
}
BENCHMARK(BM_QPainterStar)->Unit(benchmark::kMillisecond);

}  // namespace
