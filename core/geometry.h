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
