#pragma once
// What the effects' reference code and their fast paths share: the picture and frame views and
// the arithmetic both must agree on. Private to animorph/.

#include <algorithm>
#include <cstdint>
#include <cstddef>

#include "animorph/effects.h"

namespace varnel::animorph::detail {

inline constexpr double kPi = 3.14159265358979323846;

// A picture with rows counted from the top.
struct Picture {
  int32_t width;
  int32_t height;
  uint8_t* bits;
  uint32_t* Row(int32_t y) const {
    return reinterpret_cast<uint32_t*>(bits + static_cast<size_t>(height - 1 - y) * width * 4);
  }
};

struct Frame {
  Picture dst;
  Picture src;
  int32_t w;  // the smaller width
  int32_t h;  // the smaller height
  int32_t k;
  int32_t n;
};

// Bilinear mix of the colour bytes of four pixels with 8.8 weights, each channel
// (Σ c × w) >> 16 with w = (256 − fx)(256 − fy), fx (256 − fy), (256 − fx) fy, fx fy. Blue and
// red ride in one 64-bit word 32 bits apart, green in another; a lane's sum stays below 2^24,
// so nothing carries from one lane into the next.
inline uint64_t Lanes(uint32_t c) { return (c & 0xFFu) | (static_cast<uint64_t>(c & 0xFF0000u) << 16); }

inline uint32_t MixColour(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fx, uint32_t fy) {
  const uint64_t w00 = (256 - fx) * (256 - fy), w10 = fx * (256 - fy), w01 = (256 - fx) * fy, w11 = fx * fy;
  const uint64_t br = Lanes(c00) * w00 + Lanes(c10) * w10 + Lanes(c01) * w01 + Lanes(c11) * w11;
  const uint64_t g = ((c00 >> 8) & 0xFF) * w00 + ((c10 >> 8) & 0xFF) * w10 + ((c01 >> 8) & 0xFF) * w01 +
                     ((c11 >> 8) & 0xFF) * w11;
  return static_cast<uint32_t>(((br >> 16) & 0xFF) | (((br >> 48) & 0xFF) << 16) | ((g >> 16) << 8));
}

// Enlarge: d = trunc((P − 100) × 0.01 × k × source width ÷ n); the source scaled to
// (width + d) × (height + d) from the top-left corner. Source position of target pixel x is
// x × step in 8.8 with step = (width << 8) ÷ (width + d), so d = 0 is an exact copy; colour is
// bilinear (the right and bottom neighbours held at the last column and row), alpha the
// nearest source pixel (position rounded).
struct Enlargement {
  int64_t stepX, stepY;   // 8.8 source distance between target pixels
  int32_t width, height;  // of the scaled picture, as far as the destination reaches
};
Enlargement MeasureEnlargement(const Frame& f, int32_t percent);

// Rotate by θ = k × 2π ÷ n about the centre of W × H, ((W − 1) ÷ 2, (H − 1) ÷ 2) in 8.8.
// With s, c = trunc(256 sin θ), trunc(256 cos θ) and X, Y the pixel's 8.8 offset from the
// centre, the source position is ((X c + Y s) >> 8, (Y c − X s) >> 8) from the centre; each
// row starts at x = 0 and steps by 256 c and −256 s. Outside the source nothing is written;
// inside, colour is the bilinear mix (neighbours held at the last column and row) and alpha the
// top-left neighbour's.
struct Rotation {
  int64_t s, c;    // sine and cosine × 256, truncated
  int64_t cx, cy;  // the centre in 8.8
};
Rotation MeasureRotation(const Frame& f);

// The pixel at source position (px, py) in 8.8, which lies inside the source.
inline uint32_t RotatedPixel(Picture src, int64_t px, int64_t py) {
  const int32_t x0 = static_cast<int32_t>(px >> 8), y0 = static_cast<int32_t>(py >> 8);
  const int32_t x1 = std::min(x0 + 1, src.width - 1);
  const uint32_t* top = src.Row(y0);
  const uint32_t* bottom = src.Row(std::min(y0 + 1, src.height - 1));
  return MixColour(top[x0], top[x1], bottom[x0], bottom[x1], static_cast<uint32_t>(px & 255),
                   static_cast<uint32_t>(py & 255)) |
         (top[x0] & 0xFF000000u);
}

// The references (effects.cpp), where a fast path cannot get its tables.
int32_t ReferenceEnlarge(const Frame& f, const VarnelEnlargeObject* object);
int32_t ReferenceBlur(const Frame& f);

// The fast paths (effects_sse2.cpp): the same bytes as Enlarge, Rotate and Blur.
int32_t EnlargeFast(const Frame& f, const VarnelEnlargeObject* object);
int32_t RotateFast(const Frame& f);
int32_t BlurFast(const Frame& f);

}  // namespace varnel::animorph::detail
