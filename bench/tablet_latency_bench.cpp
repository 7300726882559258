// Latency of pen input: from a tablet event to the end of the view's repaint of the dab it
// painted, for a 64-pixel brush on a 4096 × 4096 picture of ten layers, over strokes of 2,000
// events sent to the real view on the offscreen platform. Reports the 50th and 99th percentiles
// and the largest latency in milliseconds (p99_painted_ms over the events that painted), and the
// events the brush never heard (dropped).
//   build/bench/tablet_latency_bench

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPointingDevice>
#include <QTabletEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "brush/brush_settings.h"
#include "brush/brush_tool.h"
#include "core/blend.h"
#include "core/canvas.h"
#include "core/undo.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "bench/offscreen_view_main.h"

namespace varnel {
namespace {

constexpr int kStrokeEvents = 2000;
constexpr int kSide = 4096;
constexpr int kLayers = 10;

// The program's brush tool, counting the events it hears.
class CountingBrush : public PaintObject {
 public:
  explicit CountingBrush(Canvas& canvas) : m_tool(canvas, [] { return ProgramBrush(); }) {}
  bool ButtonDown(const ToolEvent& e) override { ++heard; return m_tool.ButtonDown(e); }
  bool Move(const ToolEvent& e) override { ++heard; return m_tool.Move(e); }
  bool ButtonUp(const ToolEvent& e) override { ++heard; return m_tool.ButtonUp(e); }
  int64_t heard = 0;

 private:
  BrushTool m_tool;
};

// Counts the view's repaints.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int64_t paints = 0;
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(std::ceil(p * values.size())) - 1);
  return values[index];
}

void BM_TabletEventToPaintedDab(benchmark::State& state) {
  const std::unique_ptr<CVarnelDoc> doc = NewBenchDocument(state, {kSide, kSide});
  if (!doc) return;
  Canvas& canvas = doc->GetCanvas();
  for (int i = 1; i < kLayers; ++i) canvas.AddLayer();
  canvas.ComposeAll();
  BrushToolSettings& brush = ProgramBrushSettings();
  brush.kind = kBrushNormal;
  brush.SetSize(64, 64);
  brush.pressureSizing = true;
  brush.pressureOpacity = true;
  RebuildProgramBrush();
  auto counting = std::make_unique<CountingBrush>(canvas);
  CountingBrush* tool = counting.get();
  canvas.SetTool(kBrushToolSlot, std::move(counting));
  canvas.SelectTool(kBrushToolSlot);

  CVarnelView view(doc.get(), QColor(128, 128, 128));
  view.resize(1600, 1200);
  view.show();
  PaintCounter counter;
  view.viewport()->installEventFilter(&counter);
  QApplication::processEvents();

  QPointingDevice pen("bench pen", 1, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
                      QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
  std::vector<double> latencies, painted;
  latencies.reserve(static_cast<size_t>(kStrokeEvents) * 4);
  int64_t sent = 0, unpainted = 0;
  const int64_t heardBefore = tool->heard;
  for (auto _ : state) {
    for (int i = 0; i < kStrokeEvents; ++i) {
      // A loop across the visible picture, three view pixels an event, pressure rising and falling.
      const double t = i / double(kStrokeEvents);
      const QPointF at(800 + 600 * std::sin(2 * std::numbers::pi * t), 600 + 450 * std::sin(4 * std::numbers::pi * t));
      const double pressure = 0.5 + 0.5 * std::sin(6 * std::numbers::pi * t);
      const QEvent::Type type = i == 0 ? QEvent::TabletPress
                                : i == kStrokeEvents - 1 ? QEvent::TabletRelease : QEvent::TabletMove;
      const Qt::MouseButton button = type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton;
      const Qt::MouseButtons held = type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton;
      QTabletEvent event(type, &pen, at, view.viewport()->mapToGlobal(at), pressure, 0.0f, 0.0f, 0.0f, 0.0, 0.0f,
                         Qt::NoModifier, button, held);
      const int64_t paintsBefore = counter.paints;
      const auto start = std::chrono::steady_clock::now();
      QApplication::sendEvent(view.viewport(), &event);
      // The repaint the event asked for runs with the posted update request.
      QApplication::processEvents();
      const auto end = std::chrono::steady_clock::now();
      ++sent;
      const double latency = std::chrono::duration<double, std::milli>(end - start).count();
      latencies.push_back(latency);
      // Events whose dab fell short of the brush spacing paint nothing.
      if (counter.paints == paintsBefore) ++unpainted;
      else painted.push_back(latency);
    }
  }
  state.counters["p50_ms"] = Percentile(latencies, 0.50);
  state.counters["p99_ms"] = Percentile(latencies, 0.99);
  state.counters["p99_painted_ms"] = Percentile(painted, 0.99);
  state.counters["max_ms"] = Percentile(latencies, 1.0);
  state.counters["dropped"] = static_cast<double>(sent - (tool->heard - heardBefore));
  state.counters["unpainted"] = static_cast<double>(unpainted);
  state.SetItemsProcessed(static_cast<int64_t>(latencies.size()));
}
BENCHMARK(BM_TabletEventToPaintedDab)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace varnel

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_CompressTabletEvents, false);
  return varnel::RunViewBenchmarks(argc, argv);
}
