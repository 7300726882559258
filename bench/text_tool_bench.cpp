// The text tool "文字描画" beside QPainter (raster engine, antialiasing on) drawing the same text
// straight onto a QImage (ARGB32_Premultiplied), in the same run: two lines of Japanese at 48
// pixels, horizontal and vertical.
//
//   BM_TextCoverage        the tool's coverage of the text (Qt draws it into an 8-bit image,
//                          which is cut to the ink)
//   BM_TextToolDraw        the coverage painted into a 1024 × 1024 layer through its SetRect,
//                          every tile backed up for the undo step, as Enter does
//   BM_QPainterDrawText    QPainter::drawText of the same lines onto a 1024 × 1024 image
//
// Items are the pixels of the text's box. Qt caches the glyphs after the first round in both.
//
//   build/bench/text_tool_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include "core/layer.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "sdk/varnel_image.h"
#include "shell/text_renderer.h"

namespace {

constexpr int32_t kSide = 1024;
constexpr const char* kText = "吾輩は猫である。名前はまだ無い。\nどこで生れたかとんと見当がつかぬ。";

// Fonts need the application object; the benchmark has no window.
void StartQt() {
  static QGuiApplication* application = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "text_tool_bench";
    static char* argv[] = {name, nullptr};
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    return new QGuiApplication(argc, argv);
  }();
  (void)application;
}

varnel::TextSettings Settings(bool vertical) {
  varnel::TextSettings settings;
  settings.text = kText;
  settings.size = 48;
  settings.vertical = vertical;
  return settings;
}

int64_t BoxPixels(const varnel::CoverageMask& mask) { return int64_t{mask.bounds.Width()} * mask.bounds.Height(); }

void BM_TextCoverage(benchmark::State& state) {
  StartQt();
  const varnel::TextSettings settings = Settings(state.range(0) != 0);
  int64_t pixels = 0;
  for (auto _ : state) {
    const varnel::CoverageMask mask = varnel::RenderTextCoverage(settings);
    pixels = BoxPixels(mask);
    benchmark::DoNotOptimize(mask.coverage.data());
  }
  state.SetItemsProcessed(state.iterations() * pixels);
}

void BM_TextToolDraw(benchmark::State& state) {
  StartQt();
  const varnel::TextSettings settings = Settings(state.range(0) != 0);
  varnel::Layer layer;
  layer.Create({kSide, kSide});
  int64_t pixels = 0;
  for (auto _ : state) {
    varnel::CoverageMask mask = varnel::RenderTextCoverage(settings);
    mask.bounds = mask.bounds.Offset(40, 40);
    varnel::PaintCoverage(layer, mask, 0xFF203040u, 255);
    pixels = BoxPixels(mask);
    state.PauseTiming();
    layer.DiscardBackups();
    layer.ClearDirty();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * pixels);
}

// The same lines the same way: horizontal lines one line spacing apart; vertical columns from
// the right, characters one em apart.
void BM_QPainterDrawText(benchmark::State& state) {
  StartQt();
  const bool vertical = state.range(0) != 0;
  QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QFont font(QString::fromUtf8(varnel::kDefaultTextFont));
  font.setPixelSize(48);
  const QFontMetricsF metrics(font);
  const QStringList lines = QString::fromUtf8(kText).split(u'\n');
  const int64_t pixels = BoxPixels(varnel::RenderTextCoverage(Settings(vertical)));
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x30, 0x40));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (!vertical) {
        painter.drawText(QPointF(40, 40 + metrics.ascent() + i * metrics.lineSpacing()), lines[i]);
        continue;
      }
      const double x = 40 + (lines.size() - 1 - i) * metrics.lineSpacing();
      for (qsizetype k = 0; k < lines[i].size(); ++k)
        painter.drawText(QPointF(x, 40 + 0.88 * 48 + k * 48), lines[i].mid(k, 1));
    }
  }
  state.SetItemsProcessed(state.iterations() * pixels);
}

BENCHMARK(BM_TextCoverage)->Arg(0)->Arg(1)->ArgName("vertical");
BENCHMARK(BM_TextToolDraw)->Arg(0)->Arg(1)->ArgName("vertical");
BENCHMARK(BM_QPainterDrawText)->Arg(0)->Arg(1)->ArgName("vertical");

}  // namespace
