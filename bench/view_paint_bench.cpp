// A whole repaint of the view of a 4096 × 3072 picture in a 1600 × 1000 window on the offscreen
// platform, at zoom 1 and at 1/4 (the whole picture in view), with no selection, with
// everything selected and with an elliptical selection: what showing the selection's outline
// adds to scrolling or zooming.
//   build/bench/view_paint_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "core/canvas.h"
#include "core/region.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "bench/offscreen_view_main.h"

namespace varnel {
namespace {

constexpr int32_t kWidth = 4096, kHeight = 3072;

enum Selected { kNothing, kAll, kEllipse };

void BM_WholeRepaint(benchmark::State& state) {
  const std::unique_ptr<CVarnelDoc> doc = NewBenchDocument(state, {kWidth, kHeight});
  if (!doc) return;
  Canvas& canvas = doc->GetCanvas();
  const auto selected = static_cast<Selected>(state.range(0));
  if (selected != kNothing) {
    auto region = std::make_unique<Region>();
    if (region->Create({0, 0, kWidth - 1, kHeight - 1}, selected == kAll ? 255 : 0) != 0) {
      state.SkipWithError("no memory for the selection");
      return;
    }
    if (selected == kEllipse) {
      const double cx = kWidth / 2.0, cy = kHeight / 2.0, rx = kWidth * 0.45, ry = kHeight * 0.45;
      for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
          const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
          if (dx * dx + dy * dy <= 1) region->Row(y)[x] = 255;
        }
    }
    canvas.SetSelection(std::move(region));
  }
  CVarnelView view(doc.get(), QColor(128, 128, 128));
  view.resize(1600, 1000);
  view.show();
  view.SetZoom(state.range(1) == 1 ? 1.0 : 0.25);
  QApplication::processEvents();
  for (auto _ : state) view.viewport()->repaint();
}
BENCHMARK(BM_WholeRepaint)
    ->ArgNames({"selected", "zoom1"})
    ->ArgsProduct({{kNothing, kAll, kEllipse}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varnel

int main(int argc, char** argv) {
  return varnel::RunViewBenchmarks(argc, argv);
}
