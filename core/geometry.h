#pragma once
// Plain geometry records of the image core.

#include <cstdint>

namespace varnel {

struct Size {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle in pixels. Unless a function says otherwise it is inclusive on all four sides.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;

  // Pixels across and down, both sides counted.
  constexpr int32_t Width() const { return right - left + 1; }
  constexpr int32_t Height() const { return bottom - top + 1; }
  constexpr Size Dimensions() const { return {Width(), Height()}; }
  constexpr Rect Offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  // The part inside other as well; IsEmpty when they do not meet.
  constexpr Rect Intersected(const Rect& other) const {
    return {left > other.left ? left : other.left, top > other.top ? top : other.top,
            right < other.right ? right : other.right, bottom < other.bottom ? bottom : other.bottom};
  }
  constexpr bool IsEmpty() const { return left > right || top > bottom; }
  // The smallest rect holding both; an empty one adds nothing.
  constexpr Rect United(const Rect& other) const {
    if (other.IsEmpty()) return *this;
    if (IsEmpty()) return other;
    return {left < other.left ? left : other.left, top < other.top ? top : other.top,
            right > other.right ? right : other.right, bottom > other.bottom ? bottom : other.bottom};
  }

  // Corners swapped as needed so that left <= right and top <= bottom.
  constexpr Rect Normalized() const {
    Rect r = *this;
    if (r.left > r.right) {
      const int32_t t = r.left;
      r.left = r.right;
      r.right = t;
    }
    if (r.top > r.bottom) {
      const int32_t t = r.top;
      r.top = r.bottom;
      r.bottom = t;
    }
    return r;
  }
};

}  // namespace varnel
