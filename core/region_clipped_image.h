#pragma once
// A Layer-shaped facade that confines drawing to the selection: pixels are written into the
// target surface weighted by the selection's coverage (0 keeps, 255 replaces, values between
// blend alpha first and colour only over a pixel that is not transparent).

#include <cstdint>

#include "core/layer.h"

namespace varnel {

class Region;

class RegionClippedImage : public Layer {
 public:
  // Binds the facade to a target and a region whose coverage at canvas (x, y) is the region's
  // byte at (x − positionX, y − positionY) in the target's coordinates; the canvas passes minus
  // the target layer's offset so region coordinates stay canvas coordinates.
  void Bind(ImageSurface* target, const Region* region, int32_t positionX, int32_t positionY);
  void Unbind() { Bind(nullptr, nullptr, 0, 0); }
  ImageSurface* Target() const { return m_target; }
  bool IsBound() const { return m_target != nullptr && m_region != nullptr; }

  bool IsType(const char* tag) const override;  // "IMAGEREGION" only
  void SetModified() override;
  void SetPixel(int32_t x, int32_t y, uint32_t colour) override;
  int32_t GetPixel(int32_t x, int32_t y, uint32_t* colour) const override;
  Size GetSize() const override;
  int32_t GetRect(Rect rect, uint32_t* buffer) const override;
  int32_t SetRect(Rect rect, const uint32_t* buffer) override;

  // Coverage 0…255 at target (x, y); 0 outside the region.
  uint8_t Coverage(int32_t x, int32_t y) const;
  // One pixel of the rule: target pixel p, new colour c, coverage m (1…254).
  static uint32_t BlendCovered(uint32_t p, uint32_t c, int32_t m);

 private:
  ImageSurface* m_target = nullptr;
  const Region* m_region = nullptr;
  int32_t m_positionX = 0;
  int32_t m_positionY = 0;
};

}  // namespace varnel
