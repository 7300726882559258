#pragma once
// The HSV stage of the curves adjustment, one pixel at a time (the reference) and eight at a
// time (AVX2). Both work from the same tables and give the same bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnel::adjust {

inline constexpr uint32_t kHueSteps = 1536;  // 6 sectors of 256

// round(d × q / c), halves up, for 0 ≤ d ≤ c ≤ 255 and q ≤ 256, as (d × K + 2^16) >> 17 with
// K = ceil(q × 2^17 / c): K overshoots q / c by under 2^-17, and d × 2^-17 stays below the 1 / 2c
// that separates the exact quotient (2dq + c) / 2c from the next whole number (2 × 255 × 255 <
// 2^17). d × K is at most q × 2^17 + c, so 32 bits hold it.
inline constexpr int kPlaceShift = 17;
constexpr uint32_t PlaceMultiplier(uint32_t q, uint32_t c) {
  return c == 0 ? 0 : static_cast<uint32_t>(((uint64_t{q} << kPlaceShift) + c - 1) / c);
}
inline uint32_t Place(uint32_t d, uint32_t multiplier) {
  return (d * multiplier + (uint32_t{1} << (kPlaceShift - 1))) >> kPlaceShift;
}

constexpr std::array<uint32_t, 256> MakeHueMultipliers() {
  std::array<uint32_t, 256> table{};
  for (uint32_t c = 0; c < 256; ++c) table[c] = PlaceMultiplier(256, c);
  return table;
}
// round(256 × part / chroma) by chroma.
inline constexpr std::array<uint32_t, 256> kHueMultipliers = MakeHueMultipliers();

// The tables of the stage, indexed max × 256 + chroma (and the hue by hue step).
struct HsvTables {
  const uint32_t* place;  // PlaceMultiplier(new chroma, chroma)
  const uint32_t* ends;   // new minimum | new maximum << 8 | new chroma << 16
  const uint16_t* hue;    // 1536 hue steps, and one entry of padding; null without a hue curve
};

// What HsvTables point into, built from the curve tables of hue, saturation and value.
struct HsvTableStore {
  std::vector<uint32_t> place;
  std::vector<uint32_t> ends;
  std::vector<uint16_t> hue;  // empty when the hue table is the identity
  HsvTables View() const { return {place.data(), ends.data(), hue.empty() ? nullptr : hue.data()}; }
};
HsvTableStore BuildHsvTables(const std::array<uint8_t, 256>& hue, const std::array<uint8_t, 256>& saturation,
                             const std::array<uint8_t, 256>& value);

// The hue in 1536 steps: 256 × sector + round(256 × f), f the mid channel's place in the sector
// (rising from the minimum in sectors 0, 2, 4, falling from the maximum in 1, 3, 5). Ties go to
// red, then green, as in the HSV conversion; greys have hue 0.
inline uint32_t HueStep(uint32_t r, uint32_t g, uint32_t b, uint32_t maximum, uint32_t chroma) {
  uint32_t sector, part;
  if (r == maximum) {
    if (g >= b) {
      sector = 0, part = g - b;
    } else {
      sector = 5, part = maximum - b;
    }
  } else if (g == maximum) {
    if (r >= b) {
      sector = 1, part = maximum - r;
    } else {
      sector = 2, part = b - r;
    }
  } else if (g >= r) {
    sector = 3, part = maximum - g;
  } else {
    sector = 4, part = r - g;
  }
  const uint32_t step = 256 * sector + Place(part, kHueMultipliers[chroma]);
  return step >= kHueSteps ? step - kHueSteps : step;
}

// One pixel (0xAARRGGBB) through the stage; alpha is kept. kHue: the hue goes through the hue
// table; without it each channel keeps its place between the new minimum and maximum.
template <bool kHue>
[[gnu::always_inline]] inline uint32_t HsvPixel(uint32_t pixel, const HsvTables& tables) {
  uint32_t r = (pixel >> 16) & 0xFFu, g = (pixel >> 8) & 0xFFu, b = pixel & 0xFFu;
  // Selections, not branches: on a noisy picture the largest channel is a coin toss.
  const uint32_t high = r > g ? r : g, low = r > g ? g : r;
  const uint32_t maximum = high > b ? high : b, minimum = low < b ? low : b;
  const uint32_t chroma = maximum - minimum;
  const uint32_t index = maximum * 256 + chroma;
  const uint32_t ends = tables.ends[index];
  const uint32_t newMinimum = ends & 0xFFu, newMaximum = (ends >> 8) & 0xFFu, newChroma = ends >> 16;
  if (!kHue) {
    if (chroma == 0) {
      // A grey has hue 0: should it gain chroma, red leads.
      r = newMaximum;
      g = b = newMinimum;
    } else {
      const uint32_t multiplier = tables.place[index];
      r = newMinimum + Place(r - minimum, multiplier);
      g = newMinimum + Place(g - minimum, multiplier);
      b = newMinimum + Place(b - minimum, multiplier);
    }
  } else {
    const uint32_t step = tables.hue[HueStep(r, g, b, maximum, chroma)];
    const uint32_t k = (newChroma * (step & 0xFFu) + 128) >> 8;
    const uint32_t rising = newMinimum + k, falling = newMaximum - k;
    switch (step >> 8) {
      case 0: r = newMaximum, g = rising, b = newMinimum; break;
      case 1: r = falling, g = newMaximum, b = newMinimum; break;
      case 2: r = newMinimum, g = newMaximum, b = rising; break;
      case 3: r = newMinimum, g = falling, b = newMaximum; break;
      case 4: r = rising, g = newMinimum, b = newMaximum; break;
      default: r = newMaximum, g = newMinimum, b = falling; break;
    }
  }
  return (pixel & 0xFF000000u) | r << 16 | g << 8 | b;
}

template <bool kHue>
void HsvRunReference(uint32_t* pixels, size_t count, const HsvTables& tables) {
  for (size_t i = 0; i < count; ++i) pixels[i] = HsvPixel<kHue>(pixels[i], tables);
}

// The same, eight pixels at a time (the rest one by one). In adjustments_avx2.cpp.
void HsvRunAvx2(uint32_t* pixels, size_t count, const HsvTables& tables, bool hue);

}  // namespace varnel::adjust
