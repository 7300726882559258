// The view's grid: snapping one point of tool input, and drawing the grid over a full repaint
// of a 1200 × 900 viewport at zoom 4 (300 × 225 pixels of the picture), beside QPainter's
// own drawing of the picture into the same viewport, which every repaint pays anyway.
//
//   BM_Snap/<grid>          SnapToGrid on 4096 fixed random points: 0 rectangular 16 × 16,
//                           1 the triangular axis grid (0°, 60°, 120°), 2 two axes 1° apart
//                           (the longest search); items are points
//   BM_GridOverlay/<grid>   GridLinesIn plus QPainter::drawLines of the lines, as the view
//                           draws them (cosmetic pen, no anti-aliasing), 0 rectangular,
//                           1 triangular; items are viewport pixels
//   BM_PictureRepaint       the reference: QPainter::drawImage of the 300 × 225 picture
//                           scaled to 1200 × 900 (raster engine, ARGB32 premultiplied)
//
//   build/bench/grid_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QVector>
#include <random>
#include <vector>

#include "tools/grid_snap.h"

namespace {

using varnel::GridSettings;

constexpr int kViewWidth = 1200;
constexpr int kViewHeight = 900;
constexpr double kZoom = 4.0;

GridSettings Grid(int64_t which) {
  GridSettings grid;
  grid.shown = 1;
  if (which == 0) return grid;
  grid.kind = 1;
  grid.axes = which == 1 ? GridSettings::DialogAxes()
                         : std::vector<varnel::GridAxis>{{varnel::ColourRef{0}, 10, 0}, {varnel::ColourRef{0}, 10, 1}};
  return grid;
}

void BM_Snap(benchmark::State& state) {
  const GridSettings grid = Grid(state.range(0));
  std::mt19937 random(16);
  std::uniform_int_distribution<int32_t> coordinate(0, 4095);
  std::vector<std::pair<int32_t, int32_t>> points(4096);
  for (auto& [x, y] : points) x = coordinate(random), y = coordinate(random);
  for (auto _ : state) {
    for (auto [x, y] : points) {
      varnel::SnapToGrid(grid, x, y);
      benchmark::DoNotOptimize(x);
      benchmark::DoNotOptimize(y);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_Snap)->Arg(0)->Arg(1)->Arg(2);

void BM_GridOverlay(benchmark::State& state) {
  const GridSettings grid = Grid(state.range(0));
  QImage view(kViewWidth, kViewHeight, QImage::Format_ARGB32_Premultiplied);
  view.fill(Qt::white);
  for (auto _ : state) {
    const std::vector<varnel::GridLine> lines =
        varnel::GridLinesIn(grid, 0, 0, kViewWidth / kZoom, kViewHeight / kZoom, 3.0 / kZoom);
    QVector<QLineF> drawn;
    drawn.reserve(static_cast<qsizetype>(lines.size()));
    for (const varnel::GridLine& l : lines) drawn.append(QLineF(l.x0 * kZoom, l.y0 * kZoom, l.x1 * kZoom, l.y1 * kZoom));
    QPainter painter(&view);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLines(drawn);
    benchmark::DoNotOptimize(view.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kViewWidth * kViewHeight);
}
BENCHMARK(BM_GridOverlay)->Arg(0)->Arg(1);

void BM_PictureRepaint(benchmark::State& state) {
  QImage picture(static_cast<int>(kViewWidth / kZoom), static_cast<int>(kViewHeight / kZoom),
                 QImage::Format_ARGB32_Premultiplied);
  std::mt19937 random(4);
  for (int y = 0; y < picture.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x) row[x] = random() | 0xFF000000u;
  }
  QImage view(kViewWidth, kViewHeight, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter painter(&view);
    painter.drawImage(QRect(0, 0, kViewWidth, kViewHeight), picture);
    benchmark::DoNotOptimize(view.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kViewWidth * kViewHeight);
}
BENCHMARK(BM_PictureRepaint);

}  // namespace
