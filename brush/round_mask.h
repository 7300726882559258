#pragma once
// The round dab mask of the round kinds: one byte per dab pixel, 255 at the centre falling
// off with the squared distance to 0 at the radius, laid out on a square grid of the larger
// side and resampled to the dab by nearest neighbour.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnel {

class RoundMask {
 public:
  // Rebuilds the mask for a dab of width × height (each at least 1).
  void Build(int32_t width, int32_t height);

  int32_t Width() const { return m_width; }
  int32_t Height() const { return m_height; }
  // Row-major, Width() bytes per row.
  const uint8_t* Data() const { return m_bytes.data(); }
  uint8_t At(int32_t x, int32_t y) const { return m_bytes[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)]; }

 private:
  int32_t m_width = 0;
  int32_t m_height = 0;
  std::vector<uint8_t> m_bytes;
};

}  // namespace varnel
