#include "huebox/colour_surface_model.h"

#include <algorithm>

namespace varnel::huebox {
namespace {

int32_t WrapHue(int32_t hue) {
  const int32_t wrapped = hue % 360;
  return wrapped < 0 ? wrapped + 360 : wrapped;
}

bool Inside(int32_t x, int32_t y, int32_t left, int32_t top, int32_t width, int32_t height) {
  return x >= left && x < left + width && y >= top && y < top + height;
}

}  // namespace

ColourRef ColourOfHsv(int32_t hue, int32_t saturation, int32_t value) {
  hue = WrapHue(hue);
  const int32_t s = std::clamp(saturation, 0, 255);
  const int32_t v = std::clamp(value, 0, 255);
  const int32_t sector = hue / 60;
  const int32_t f = hue % 60;
  const auto p = static_cast<uint8_t>((v * (255 - s) + 127) / 255);
  const auto q = static_cast<uint8_t>((v * (15300 - s * f) + 7650) / 15300);
  const auto t = static_cast<uint8_t>((v * (15300 - s * (60 - f)) + 7650) / 15300);
  const auto w = static_cast<uint8_t>(v);
  switch (sector) {
    case 0: return MakeColourRef(w, t, p);
    case 1: return MakeColourRef(q, w, p);
    case 2: return MakeColourRef(p, w, t);
    case 3: return MakeColourRef(p, q, w);
    case 4: return MakeColourRef(t, p, w);
    default: return MakeColourRef(w, p, q);
  }
}

Hsv HsvOf(ColourRef colour) {
  const int32_t r = RedOf(colour), g = GreenOf(colour), b = BlueOf(colour);
  const int32_t high = std::max({r, g, b});
  const int32_t low = std::min({r, g, b});
  const int32_t d = high - low;
  Hsv hsv;
  hsv.value = high;
  if (d == 0) return hsv;
  hsv.saturation = (255 * d * 2 + high) / (2 * high);
  // Hue × d = base × d + 60 × (difference of the other two), which lies within ±60 × d of the
  // base; 720 × d keeps the numerator positive so the integer division rounds halves up.
  int32_t base = 0, difference = 0;
  if (high == r) {
    base = 0;
    difference = g - b;
  } else if (high == g) {
    base = 120;
    difference = b - r;
  } else {
    base = 240;
    difference = r - g;
  }
  const int32_t twice = 2 * (base * d + 60 * difference) + d + 720 * d;
  hsv.hue = WrapHue(twice / (2 * d) - 360);
  return hsv;
}

int32_t SurfacePartAt(int32_t x, int32_t y) {
  if (Inside(x, y, kHueboxSquareLeft, kHueboxSquareTop, kHueboxSquareSize, kHueboxSquareSize)) return kHueboxPartSquare;
  if (Inside(x, y, kHueboxHueLeft, kHueboxHueTop, kHueboxHueWidth, kHueboxHueHeight)) return kHueboxPartHue;
  if (Inside(x, y, kHueboxCurrentLeft, kHueboxSwatchTop, kHueboxSwatchWidth, kHueboxSwatchHeight)) {
    return kHueboxPartCurrent;
  }
  if (Inside(x, y, kHueboxPreviousLeft, kHueboxSwatchTop, kHueboxSwatchWidth, kHueboxSwatchHeight)) {
    return kHueboxPartPrevious;
  }
  return kHueboxPartNone;
}

int32_t HueOfStripRow(int32_t row) { return std::clamp(row, 0, kHueboxHueHeight - 1) * 360 / kHueboxHueHeight; }

int32_t StripRowOfHue(int32_t hue) {
  return std::min((WrapHue(hue) * kHueboxHueHeight + 359) / 360, kHueboxHueHeight - 1);
}

Hsv SquareHsvAt(int32_t hue, int32_t x, int32_t y) {
  const int32_t column = std::clamp(x - kHueboxSquareLeft, 0, kHueboxSquareSize - 1);
  const int32_t row = std::clamp(y - kHueboxSquareTop, 0, kHueboxSquareSize - 1);
  return {WrapHue(hue), column, 255 - row};
}

int32_t SurfaceColourAt(const HueboxSurfaceState& state, int32_t x, int32_t y, ColourRef* colour) {
  const int32_t part = SurfacePartAt(x, y);
  ColourRef shown{};
  switch (part) {
    case kHueboxPartSquare: {
      const Hsv hsv = SquareHsvAt(state.hue, x, y);
      shown = ColourOfHsv(hsv.hue, hsv.saturation, hsv.value);
      break;
    }
    case kHueboxPartHue: shown = ColourOfHsv(HueOfStripRow(y - kHueboxHueTop), 255, 255); break;
    case kHueboxPartCurrent: shown = ColourRef{state.current & 0xFFFFFFu}; break;
    case kHueboxPartPrevious: shown = ColourRef{state.previous & 0xFFFFFFu}; break;
    default: return kHueboxPartNone;
  }
  if (colour != nullptr) *colour = shown;
  return part;
}

}  // namespace varnel::huebox
