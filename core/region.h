#pragma once
// Region: a rectangle on the canvas with one byte of selection strength per pixel (0 not
// selected, 255 fully selected, values between soft). Selections and layer masks are regions.
// Pixels outside the rectangle are not selected. An empty region has no mask and a zero
// rectangle.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/geometry.h"

namespace varnel {

class Region {
 public:
  // Both sides are inclusive; width and height are 0 when the region is empty.
  static constexpr int32_t kMaxExtent = 65536;
  // Larger diameters are refused (destination left empty): a script could otherwise ask for a
  // d × d weight table of any size.
  static constexpr int32_t kMaxFeatherDiameter = 4096;

  Region() = default;
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;
  ~Region() = default;

  // Sets the rectangle and allocates width × height bytes equal to fill. Answers -1 and
  // changes nothing when right < left or bottom < top, when a side is longer than
  // kMaxExtent, or when the memory cannot be had; else 0.
  int32_t Create(const Rect& rect, uint8_t fill);
  void Clear();
  void ZeroMask();
  // An exact copy of other; nothing happens when other is empty (or on failure).
  void CopyFrom(const Region& other);
  // Moves other's buffers and rectangle here without copying; other is left empty.
  void TakeFrom(Region& other);
  void Offset(int32_t dx, int32_t dy);
  // Shrinks the rectangle to the non-zero bytes; clears the region when there are none.
  void TrimToContent();
  // Adds other; where both are set the existing byte wins. -1 (and no change) when other is
  // empty.
  int32_t Union(const Region& other);
  // Zeroes every byte whose pixel has a non-zero byte in other.
  void Subtract(const Region& other);
  // Selected, with at least one of its four neighbours unselected or outside.
  bool IsEdge(int32_t x, int32_t y) const;

  // One step of erosion / dilation; hard-edged results. Shrink trims its result; the caller
  // trims after Grow.
  static void Shrink(const Region& source, Region& destination);
  static void Grow(const Region& source, Region& destination);
  // The complement within the canvas, trimmed. -1 (destination left empty) without a source.
  static int32_t Invert(const Region& source, int32_t canvasWidth, int32_t canvasHeight, Region& destination);
  static void FlipVertical(const Region& source, Region& destination);
  static void FlipHorizontal(const Region& source, Region& destination);
  // Softens with the d × d cone kernel; nothing happens for d < 2 (destination left empty).
  static void Feather(const Region& source, int32_t diameter, Region& destination);

  // The half-open span [x0, x1) of row y, clipped to the rectangle, when top <= y <= bottom.
  void FillSpan(int32_t x0, int32_t y, int32_t x1, uint8_t value);
  void XorSpan(int32_t x0, int32_t y, int32_t x1, uint8_t value);
  // Row y for max(x0, left) <= x <= min(x1, right) into buffer[x - x0], when top <= y <= bottom.
  void ReadSpan(int32_t x0, int32_t y, int32_t x1, uint8_t* buffer) const;

  bool IsEmpty() const { return m_mask == nullptr; }
  Rect Bounds() const { return {m_left, m_top, m_right, m_bottom}; }
  int32_t Left() const { return m_left; }
  int32_t Top() const { return m_top; }
  int32_t Right() const { return m_right; }
  int32_t Bottom() const { return m_bottom; }
  int32_t Width() const { return m_width; }
  int32_t Height() const { return m_height; }
  // Row r of the rectangle (0 = top), null outside.
  uint8_t* Row(int32_t r) { return r >= 0 && r < m_height ? m_rows[static_cast<size_t>(r)] : nullptr; }
  const uint8_t* Row(int32_t r) const { return r >= 0 && r < m_height ? m_rows[static_cast<size_t>(r)] : nullptr; }
  // The byte at canvas (x, y); 0 outside the rectangle.
  uint8_t At(int32_t x, int32_t y) const;
  uint8_t* Mask() { return m_mask.get(); }
  const uint8_t* Mask() const { return m_mask.get(); }

 private:
  int32_t m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
  int32_t m_width = 0, m_height = 0;
  std::unique_ptr<uint8_t[], void (*)(void*)> m_mask{nullptr, &std::free};
  std::vector<uint8_t*> m_rows;
};

// The straightforward d × d feather, kept for the tests and benchmarks to hold Feather to.
namespace region_reference {
void Feather(const Region& source, int32_t diameter, Region& destination);
}

}  // namespace varnel
