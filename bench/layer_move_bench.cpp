// The layer move tool "レイヤ移動": one step of a drag, a 1024 × 1024 layer moved by 3 pixels on a
// 2048 × 2048 picture of four layers (an opaque base and three half-transparent layers), which
// recomposes the union of its old and new places; beside QPainter (raster engine, source over)
// composing the same four images (ARGB32_Premultiplied) into the same rectangle of a
// 2048 × 2048 image, in the same run.
//
//   BM_LayerMoveStep      Canvas::SetLayerOffset, back and forth by 3 pixels
//   BM_QPainterCompose    white, then the four images at their places, clipped to that union
//
// Items are the pixels of the recomposed rectangle.
//
//   build/bench/layer_move_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <memory>
#include <random>
#include <vector>

#include "core/canvas.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "sdk/varnel_image.h"

namespace {

using varnel::Canvas;
using varnel::Layer;

constexpr int32_t kSide = 2048;
constexpr int32_t kLayerSide = 1024;
constexpr int32_t kStep = 3;
constexpr QPoint kPlaces[] = {{0, 0}, {200, 300}, {700, 500}, {600, 900}};  // base first

// Random colours; the base opaque, the others with alpha 64…191.
std::unique_ptr<Layer> RandomLayer(std::mt19937& random, int32_t side, bool opaque) {
  auto layer = std::make_unique<Layer>();
  layer->Create({side, side});
  for (int32_t y = 0; y < side; ++y) {
    uint32_t* row = layer->Row(y);
    for (int32_t x = 0; x < side; ++x) {
      const uint32_t alpha = opaque ? 255u : 64u + (random() & 127u);
      row[x] = alpha << 24 | (random() & 0xFFFFFFu);
    }
  }
  layer->DiscardBackups();
  return layer;
}

// The picture, and the same layers as premultiplied images.
struct Picture {
  Canvas canvas;
  std::vector<QImage> images;
};

Picture& SharedPicture() {
  static Picture* picture = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    auto* p = new Picture;
    std::mt19937 random(15);
    for (int i = 0; i < 4; ++i) {
      auto layer = RandomLayer(random, i == 0 ? kSide : kLayerSide, i == 0);
      layer->SetOffset(kPlaces[i].x(), kPlaces[i].y());
      // The surface keeps its rows bottom-up; the image takes them top-down.
      QImage image(layer->Width(), layer->Height(), QImage::Format_ARGB32);
      for (int32_t y = 0; y < layer->Height(); ++y)
        std::copy_n(layer->Row(y), layer->Width(), reinterpret_cast<uint32_t*>(image.scanLine(y)));
      p->images.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
      p->canvas.AppendLayer(std::move(layer), false);
    }
    p->canvas.SetActiveLayer(3);
    p->canvas.ComposeAll();
    return p;
  }();
  return *picture;
}

constexpr int64_t kUnionPixels = int64_t{kLayerSide + kStep} * kLayerSide;

void BM_LayerMoveStep(benchmark::State& state) {
  Picture& picture = SharedPicture();
  Layer& top = *picture.canvas.GetLayer(3);
  int32_t step = kStep;
  for (auto _ : state) {
    picture.canvas.SetLayerOffset(top, top.OffsetX() + step, top.OffsetY());
    picture.canvas.Composite().ClearDirty();
    step = -step;
  }
  state.SetItemsProcessed(state.iterations() * kUnionPixels);
}

void BM_QPainterCompose(benchmark::State& state) {
  Picture& picture = SharedPicture();
  QImage composite(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  int32_t step = kStep;
  for (auto _ : state) {
    const QPoint from = kPlaces[3], to = kPlaces[3] + QPoint(step > 0 ? kStep : 0, 0);
    const QRect area = QRect(from, QSize(kLayerSide, kLayerSide)).united(QRect(to, QSize(kLayerSide, kLayerSide)));
    QPainter painter(&composite);
    painter.setClipRect(area);
    painter.fillRect(area, Qt::white);
    for (int i = 0; i < 4; ++i) painter.drawImage(i == 3 ? to : kPlaces[i], picture.images[static_cast<size_t>(i)]);
    step = -step;
  }
  state.SetItemsProcessed(state.iterations() * kUnionPixels);
}

// Large compositions run in two bands on two threads: the wall clock is what the user waits.
BENCHMARK(BM_LayerMoveStep)->UseRealTime();
BENCHMARK(BM_QPainterCompose)->UseRealTime();

}  // namespace
