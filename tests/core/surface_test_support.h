#pragma once
// Shared helpers of the core tests.

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "core/surface.h"

namespace varnel::testing {

// A colour unique to each pixel of any image the tests use, alpha included.
inline uint32_t PatternAt(int32_t x, int32_t y) {
  const uint32_t alpha = static_cast<uint32_t>(x * 7 + y * 13 + 1) & 0xFFu;
  return (alpha << 24) | ((static_cast<uint32_t>(y) & 0xFFFu) << 12) |
         (static_cast<uint32_t>(x) & 0xFFFu);
}

// Fills the surface with PatternAt straight through the row table: no backups, no dirt.
inline void FillPattern(ImageSurface& surface) {
  for (int32_t y = 0; y < surface.Height(); ++y) {
    uint32_t* row = surface.Row(y);
    for (int32_t x = 0; x < surface.Width(); ++x) {
      row[x] = PatternAt(x, y);
    }
  }
}

inline std::vector<uint8_t> Snapshot(const ImageSurface& surface) {
  const size_t bytes = static_cast<size_t>(surface.Stride()) * surface.Height();
  return std::vector<uint8_t>(surface.Bits(), surface.Bits() + bytes);
}

inline uint32_t PixelAt(const ImageSurface& surface, int32_t x, int32_t y) {
  uint32_t colour = 0;
  surface.GetPixel(x, y, &colour);
  return colour;
}

inline bool AnyTileFlagSet(const ImageSurface& surface) {
  const ImageDescriptor* head = surface.Descriptor();
  for (int32_t i = 0; i < head->tilesAcross * head->tilesDown; ++i) {
    if (head->tileFlags[i] != 0) {
      return true;
    }
  }
  return false;
}

struct CopyCall {
  const ImageSurface* surface;
  Rect source;
  Rect destination;
};

// Records every copy it is asked for; optionally runs a callback inside the copy.
class RecordingDrawContext : public DrawContext {
 public:
  void CopyPixels(const ImageSurface& surface, const Rect& source,
                  const Rect& destination) override {
    calls.push_back(CopyCall{&surface, source, destination});
    if (during) {
      during();
    }
  }

  std::vector<CopyCall> calls;
  std::function<void()> during;
};

}  // namespace varnel::testing
