#pragma once
// The two colour models beside RGB: integer HLS (hue in whole degrees, lightness and
// saturation 0…255) for the HLS blend modes, the brush colour modes and colour correction,
// and floating-point HSV for the colour pickers. One pixel at a time; channels are the
// pixel's bytes blue (0), green (1) and red (2); alpha is never touched.

#include <cstdint>

namespace varnel {

struct HlsColour {
  int32_t hue;         // 0…359 degrees
  int32_t lightness;   // 0…255
  int32_t saturation;  // 0…255
  friend bool operator==(const HlsColour&, const HlsColour&) = default;
};

struct HsvColour {
  double hue;         // degrees, 0 <= hue < 360 (360 is taken as 0)
  double saturation;  // 0.0…1.0
  double value;       // 0.0…255.0
};

// pixel is 0xAARRGGBB.
HlsColour RgbToHls(uint32_t pixel);
// Writes blue, green and red of the pixel bytes (byte 0, 1, 2).
void HlsToRgb(const HlsColour& hls, uint8_t* pixelBytes);
// Reads blue, green and red of the pixel bytes.
HsvColour RgbToHsv(const uint8_t* pixelBytes);
// Writes blue, green and red; leaves them unchanged when the hue sector is out of range.
void HsvToRgb(const HsvColour& hsv, uint8_t* pixelBytes);

}  // namespace varnel
