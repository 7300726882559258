#include "brush/round_mask.h"

#include <algorithm>

namespace varnel {

void RoundMask::Build(int32_t width, int32_t height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  // The grid centre c = (s + 1) / 2 lies half a cell toward the lower right for even sizes.
  // With r = 0 (s = 1) no cell passes d² <= r², so the division never sees r² = 0.
  const int32_t s = std::max(width, height);
  const int32_t r = s / 2;
  const int32_t c = (s + 1) / 2;
  const int32_t r2 = r * r;
  std::vector<uint8_t> grid(static_cast<size_t>(s) * static_cast<size_t>(s));
  for (int32_t j = 0; j < s; ++j) {
    for (int32_t i = 0; i < s; ++i) {
      const int32_t d2 = (i - c) * (i - c) + (j - c) * (j - c);
      grid[static_cast<size_t>(j) * static_cast<size_t>(s) + static_cast<size_t>(i)] =
          d2 <= r2 ? static_cast<uint8_t>(255 - (d2 * 255) / r2) : 0;
    }
  }
  m_width = width;
  m_height = height;
  m_bytes.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  for (int32_t j = 0; j < height; ++j) {
    const int32_t gridRow = std::min((j * s) / height, s - 1);
    for (int32_t i = 0; i < width; ++i) {
      const int32_t gridColumn = std::min((i * s) / width, s - 1);
      m_bytes[static_cast<size_t>(j) * static_cast<size_t>(width) + static_cast<size_t>(i)] =
          grid[static_cast<size_t>(gridRow) * static_cast<size_t>(s) + static_cast<size_t>(gridColumn)];
    }
  }
}

}  // namespace varnel
