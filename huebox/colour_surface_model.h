#pragma once
// What the colour surface shows where, without a window: the popup paints from these and picks
// through them, and HueboxSurfaceColourAt answers them, so a test checks exactly what a user
// would pick. Geometry in sdk/huebox.h. Qt-free.

#include <cstdint>

#include "platform/colour.h"
#include "sdk/huebox.h"

namespace varnel::huebox {

// Hue in degrees 0…359, saturation and value 0…255.
struct Hsv {
  int32_t hue = 0;
  int32_t saturation = 0;
  int32_t value = 0;
  bool operator==(const Hsv&) const = default;
};

// The hexcone model in integers. With sector = hue / 60 and f = hue % 60:
//   p = round(v × (255 − s) / 255), q = round(v × (1 − s × f / (255 × 60))),
//   t = round(v × (1 − s × (60 − f) / (255 × 60))), halves up;
// sectors 0…5 give (v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q) as red,
// green, blue. The hue is taken mod 360 first; saturation and value are held to 0…255.
ColourRef ColourOfHsv(int32_t hue, int32_t saturation, int32_t value);
// The other way: v = the largest channel, s = round(255 × (max − min) / max), the hue rounded
// to whole degrees (halves up) in 0…359; greys have hue 0 and saturation 0.
Hsv HsvOf(ColourRef colour);

// The part of the surface at a popup pixel (kHueboxPart...).
int32_t SurfacePartAt(int32_t x, int32_t y);
// The hue a row of the hue strip shows (row 0…255 of the strip): row × 360 / 256.
int32_t HueOfStripRow(int32_t row);
// The strip row that shows a hue best: the first row whose hue is at least hue (0…359).
int32_t StripRowOfHue(int32_t hue);
// The saturation and value at a square pixel, points outside held to the square's edge.
Hsv SquareHsvAt(int32_t hue, int32_t x, int32_t y);

// The part at (x, y) and the colour shown there (colour untouched for kHueboxPartNone).
int32_t SurfaceColourAt(const HueboxSurfaceState& state, int32_t x, int32_t y, ColourRef* colour);

}  // namespace varnel::huebox
