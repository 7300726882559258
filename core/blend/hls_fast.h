#pragma once
// RGB ↔ HLS for the blend kernels, giving exactly what RgbToHls and HlsToRgb give for real
// pixels (hue 0…359, lightness and saturation 0…255), without a single division: each
// division by a pixel-dependent divisor is a multiply by a reciprocal, exact for these
// numerators, and divisions by constants are left to the compiler.

#include <array>
#include <cstdint>

#include "core/colour_convert.h"

namespace varnel::hls_fast {

// ceil(2^40 / d) for d = 1…510. For 0 <= x < 2^17, (x × R[d]) >> 40 is x / d exactly: the
// rounding up adds less than x / 2^40, below the 1 / d it would take to reach the next integer.
struct Reciprocals {
  std::array<uint64_t, 511> value{};
  constexpr Reciprocals() {
    for (uint64_t d = 1; d < 511; ++d) value[d] = ((uint64_t{1} << 40) + d - 1) / d;
  }
};
inline constexpr Reciprocals kReciprocals{};

inline int32_t Divide(int32_t x, int32_t d) {
  const uint64_t r = kReciprocals.value[static_cast<size_t>(d)];
  // Truncation toward zero for negative numerators, as the integer rule divides.
  return x >= 0 ? static_cast<int32_t>((static_cast<uint64_t>(x) * r) >> 40)
                : -static_cast<int32_t>((static_cast<uint64_t>(-x) * r) >> 40);
}

inline HlsColour RgbToHls(uint32_t pixel) {
  const int32_t red = static_cast<int32_t>((pixel >> 16) & 0xFF);
  const int32_t green = static_cast<int32_t>((pixel >> 8) & 0xFF);
  const int32_t blue = static_cast<int32_t>(pixel & 0xFF);
  const int32_t high = red > green ? (red > blue ? red : blue) : (green > blue ? green : blue);
  const int32_t low = red < green ? (red < blue ? red : blue) : (green < blue ? green : blue);
  const int32_t difference = high - low;
  const int32_t sum = high + low;
  HlsColour hls{0, (sum + 1) >> 1, 0};
  if (difference < 4) return hls;
  const int32_t divisor = hls.lightness > 127 ? 510 - sum : sum;
  hls.saturation = Divide(divisor / 2 + 255 * difference, divisor);
  // The three hue rules, chosen without branches: random pixels would mispredict them.
  const int32_t half = difference / 2;
  const bool redHigh = red == high;
  const bool greenHigh = !redHigh && green == high;
  const int32_t spread = redHigh ? green - blue : (greenHigh ? blue - red : red - green);
  const int32_t base = redHigh ? 0 : (greenHigh ? 120 : 240);
  int32_t hue = Divide(half + 60 * spread, difference) + base;
  hue += hue < 0 ? 360 : 0;
  hue -= hue >= 360 ? 360 : 0;
  hls.hue = hue;
  return hls;
}

inline int32_t Channel(int32_t hue, int32_t m1, int32_t m2) {
  hue += hue < 0 ? 360 : 0;
  hue -= hue >= 360 ? 360 : 0;
  // Rising edge below 60, falling edge from 180 to 240; both interpolate, the rest is flat.
  const int32_t along = hue < 60 ? hue : 240 - hue;
  const int32_t ramp = m1 + ((m2 - m1) * along + 30) / 60;
  const int32_t flat = hue >= 240 ? m1 : m2;
  return (hue < 60 || (hue >= 180 && hue < 240)) ? ramp : flat;
}

// Replaces blue, green and red of pixel; hls must be in range.
inline uint32_t HlsToRgb(const HlsColour& hls, uint32_t pixel) {
  const int32_t l = hls.lightness, s = hls.saturation;
  int32_t red = l, green = l, blue = l;
  if (s != 0) {
    const int32_t m2 = l >= 128 ? l + s - (l * s + 127) / 255 : ((255 + s) * l + 127) / 255;
    const int32_t m1 = 2 * l - m2;
    red = Channel(hls.hue + 120, m1, m2);
    green = Channel(hls.hue, m1, m2);
    blue = Channel(hls.hue - 120, m1, m2);
  }
  return (pixel & 0xFF000000u) | (static_cast<uint32_t>(red & 0xFF) << 16) |
         (static_cast<uint32_t>(green & 0xFF) << 8) | static_cast<uint32_t>(blue & 0xFF);
}

}  // namespace varnel::hls_fast
