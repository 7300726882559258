#include "zoomlet/loupe_geometry.h"

#include <algorithm>

namespace varnel {

int LoupeFactorOf(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(kLoupeFactors.size())) return kLoupeFactors[kLoupeDefaultIndex];
  return kLoupeFactors[static_cast<size_t>(index)];
}

LoupeLayout LayoutLoupe(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  LoupeLayout layout;
  const int stripTop = std::max(height - kLoupeStripHeight, 0);
  layout.magnified = {0, 0, width, stripTop};
  layout.strip = {0, stripTop, width, height};
  const int top = height - kLoupeButtonSize;
  layout.timer = {2, top, 2 + kLoupeButtonSize, height};
  layout.pick = {20, top, 20 + kLoupeButtonSize, height};
  layout.magnification = {38, top, 38 + kLoupeButtonSize, height};
  return layout;
}

LoupePart HitTestLoupe(const LoupeLayout& layout, int x, int y) {
  if (layout.magnification.Contains(x, y)) return LoupePart::Magnification;
  if (layout.pick.Contains(x, y)) return LoupePart::Pick;
  if (layout.timer.Contains(x, y)) return LoupePart::Timer;
  return LoupePart::Magnified;
}

LoupeRect LoupeSourceRect(LoupePoint origin, int factor, int width, int height) {
  factor = std::max(factor, 1);
  return {origin.x, origin.y, origin.x + std::max(width, 0) / factor, origin.y + std::max(height, 0) / factor};
}

LoupePoint LoupeScreenPoint(LoupePoint origin, int factor, LoupePoint p) {
  factor = std::max(factor, 1);
  return {p.x / factor + origin.x, p.y / factor + origin.y};
}

void StretchNearest(const uint32_t* src, int srcWidth, int srcHeight, int srcStride, uint32_t* dst,
                    int dstWidth, int dstHeight, int dstStride) {
  if (src == nullptr || dst == nullptr || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  for (int y = 0; y < dstHeight; ++y) {
    const uint32_t* srcRow = src + static_cast<int64_t>(y) * srcHeight / dstHeight * srcStride;
    uint32_t* dstRow = dst + static_cast<int64_t>(y) * dstStride;
    for (int x = 0; x < dstWidth; ++x) dstRow[x] = srcRow[static_cast<int64_t>(x) * srcWidth / dstWidth];
  }
}

}  // namespace varnel
