#pragma once
// Shared helpers of the brush engine tests: layers of known pixels and brushes that record
// what the engine asks of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "brush/brush_kinds.h"
#include "core/layer.h"

namespace varnel::brush_test {

// Pixels as 0xAARRGGBB.
constexpr uint32_t Grey(uint32_t v, uint32_t alpha = 255) { return (alpha << 24) | (v << 16) | (v << 8) | v; }
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b, uint32_t alpha = 255) {
  return (alpha << 24) | (r << 16) | (g << 8) | b;
}

inline std::unique_ptr<Layer> MakeLayer(Size size, uint32_t fill, int32_t x = 0, int32_t y = 0) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create(size), 0);
  for (int32_t r = 0; r < size.height; ++r) std::fill_n(layer->Row(r), size.width, fill);
  layer->SetOffset(x, y);
  return layer;
}

inline uint32_t At(const ImageSurface& surface, int32_t x, int32_t y) {
  uint32_t pixel = 0;
  surface.GetPixel(x, y, &pixel);
  return pixel;
}

inline std::vector<uint32_t> Pixels(const ImageSurface& surface) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < surface.Height(); ++y)
    pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + surface.Width());
  return pixels;
}

struct DabCall {
  int32_t x;
  int32_t y;
  int32_t opacity;
  Size size;
  friend bool operator==(const DabCall&, const DabCall&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const DabCall& d) {
  return out << "(" << d.x << "," << d.y << " op " << d.opacity << " " << d.size.width << "x" << d.size.height << ")";
}

// A brush of kind K that records every dab (with the working size it was drawn at) and every
// size change before doing what K does.
template <typename K>
class Recording : public K {
 public:
  using K::K;
  void DrawDab(ImageSurface& layer, int32_t x, int32_t y, int32_t opacity) override {
    dabs.push_back({x, y, opacity, this->GetSize()});
    K::DrawDab(layer, x, y, opacity);
  }
  void SetBrushSize(int32_t width, int32_t height) override {
    sizes.push_back({width, height});
    K::SetBrushSize(width, height);
  }
  std::vector<DabCall> dabs;
  std::vector<Size> sizes;
};

}  // namespace varnel::brush_test
