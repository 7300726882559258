// RGB to and from HLS and HSV, one pixel at a time.
//
// HLS is integer arithmetic throughout so the blend modes and colour correction give the
// same bytes on every machine. HSV is floating point for the colour pickers. Both writers
// take values straight from scripts and files, so whatever they are given they must not
// overflow a signed integer or convert an out-of-range double.

#include "core/colour_convert.h"

#include <algorithm>

namespace varnel {
namespace {

// (m2 − m1) × hue needs more than 64 bits when lightness, saturation and hue are all near
// the int32 limits (about 2^55 × 2^31); no real colour comes close, but scripts can ask.
__extension__ typedef __int128 WideInt;

// Pixels keep the low eight bits; converting to an unsigned type wraps, which is defined.
uint8_t LowByte(WideInt value) { return static_cast<uint8_t>(value); }

// One channel of HLS → RGB. hue is the channel's own hue (the colour's hue ± 120).
WideInt HlsChannel(int64_t hue, int64_t m1, int64_t m2) {
  // Wrapped by one turn only, never reduced: a hue further out stays out of range and
  // falls into whichever branch the comparisons below pick.
  if (hue < 0) {
    hue += 360;
  } else if (hue >= 360) {
    hue -= 360;
  }
  if (hue >= 60 && hue < 180) return m2;
  if (hue >= 240) return m1;
  const WideInt rise = static_cast<WideInt>(m2) - m1;
  if (hue < 60) return m1 + (rise * hue + 30) / 60;
  return m1 + (rise * (240 - hue) + 30) / 60;
}

// Truncates toward zero when the result fits an int32. NaN, infinities and anything else
// outside would be undefined behaviour to convert, so they report failure instead.
bool TruncateToInt(double value, int32_t* out) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

void WriteRgb(uint8_t* pixelBytes, int32_t red, int32_t green, int32_t blue) {
  pixelBytes[0] = static_cast<uint8_t>(blue);
  pixelBytes[1] = static_cast<uint8_t>(green);
  pixelBytes[2] = static_cast<uint8_t>(red);
}

}  // namespace

HlsColour RgbToHls(uint32_t pixel) {
  const int32_t red = static_cast<int32_t>((pixel >> 16) & 0xFF);
  const int32_t green = static_cast<int32_t>((pixel >> 8) & 0xFF);
  const int32_t blue = static_cast<int32_t>(pixel & 0xFF);
  const int32_t maxChannel = std::max({red, green, blue});
  const int32_t minChannel = std::min({red, green, blue});
  const int32_t difference = maxChannel - minChannel;
  const int32_t sum = maxChannel + minChannel;

  HlsColour hls{0, (sum + 1) >> 1, 0};
  // Channels this close are noise on a grey; a hue taken from them would jump about, so they
  // count as grey.
  if (difference < 4) return hls;

  // Both divisors are at least 4 here: d ≥ 4 keeps the sum above 0 and below 510.
  if (hls.lightness > 127) {
    const int32_t room = 510 - sum;
    hls.saturation = (room / 2 + 255 * difference) / room;
  } else {
    hls.saturation = (sum / 2 + 255 * difference) / sum;
  }

  // Ties go to red, then green: the order the channels are tested in.
  const int32_t half = difference / 2;
  int32_t hue;
  if (red == maxChannel) {
    hue = (half + 60 * (green - blue)) / difference;
  } else if (green == maxChannel) {
    hue = (half + 60 * (blue - red)) / difference + 120;
  } else {
    hue = (half + 60 * (red - green)) / difference + 240;
  }
  if (hue < 0) hue += 360;
  if (hue >= 360) hue -= 360;
  hls.hue = hue;
  return hls;
}

void HlsToRgb(const HlsColour& hls, uint8_t* pixelBytes) {
  // Widened before any arithmetic: m1 and m2 fit 64 bits for any int32 inputs, and the
  // channel interpolation goes wider still.
  const int64_t hue = hls.hue;
  const int64_t lightness = hls.lightness;
  const int64_t saturation = hls.saturation;
  if (saturation == 0) {
    const uint8_t grey = LowByte(lightness);
    pixelBytes[0] = pixelBytes[1] = pixelBytes[2] = grey;
    return;
  }
  const int64_t m2 = lightness >= 128
                         ? lightness + saturation - (lightness * saturation + 127) / 255
                         : ((255 + saturation) * lightness + 127) / 255;
  const int64_t m1 = 2 * lightness - m2;
  pixelBytes[0] = LowByte(HlsChannel(hue - 120, m1, m2));
  pixelBytes[1] = LowByte(HlsChannel(hue, m1, m2));
  pixelBytes[2] = LowByte(HlsChannel(hue + 120, m1, m2));
}

HsvColour RgbToHsv(const uint8_t* pixelBytes) {
  const int32_t red = pixelBytes[2];
  const int32_t green = pixelBytes[1];
  const int32_t blue = pixelBytes[0];
  const int32_t maxChannel = std::max({red, green, blue});
  const int32_t minChannel = std::min({red, green, blue});

  HsvColour hsv{0.0, 0.0, static_cast<double>(maxChannel)};
  if (maxChannel != 0) {
    hsv.saturation = static_cast<double>(maxChannel - minChannel) / static_cast<double>(maxChannel);
  }
  if (hsv.saturation == 0.0) return hsv;

  // Same tie order as HLS: red, then green.
  int32_t offset;
  int32_t sector;
  if (red == maxChannel) {
    offset = green - blue;
    sector = 0;
  } else if (green == maxChannel) {
    offset = blue - red;
    sector = 2;
  } else {
    offset = red - green;
    sector = 4;
  }
  hsv.hue = static_cast<double>(60 * offset) / static_cast<double>(maxChannel - minChannel) +
            60.0 * sector;
  if (hsv.hue < 0.0) hsv.hue += 360.0;
  return hsv;
}

void HsvToRgb(const HsvColour& hsv, uint8_t* pixelBytes) {
  if (hsv.saturation == 0.0) {
    int32_t grey;
    if (!TruncateToInt(hsv.value, &grey)) return;
    WriteRgb(pixelBytes, grey, grey, grey);
    return;
  }

  // A multiplication by this reciprocal, not a division by 60: the two differ in the last
  // bit for about one hue in ten, and the fraction feeds straight into the rounding below.
  // 360 is the same hue as 0 but would give sector 6, so it is read as 0.
  const double position = (hsv.hue == 360.0 ? 0.0 : hsv.hue) * 0.016666666666666666;
  // Only sectors 0…5 exist. Testing the double first also keeps NaN and huge hues away
  // from the integer conversion; (-1, 6) is exactly what truncates to 0…5.
  if (!(position > -1.0 && position < 6.0)) return;
  const int32_t sector = static_cast<int32_t>(position);
  const double fraction = position - sector;

  const double s = hsv.saturation;
  const double v = hsv.value;
  int32_t p;
  int32_t q;
  int32_t t;
  int32_t top;
  if (!TruncateToInt((1.0 - s) * v + 0.5, &p) || !TruncateToInt((1.0 - fraction * s) * v + 0.5, &q) ||
      !TruncateToInt((1.0 - (1.0 - fraction) * s) * v + 0.5, &t) || !TruncateToInt(v, &top)) {
    return;
  }
  switch (sector) {
    case 0: WriteRgb(pixelBytes, top, t, p); break;
    case 1: WriteRgb(pixelBytes, q, top, p); break;
    case 2: WriteRgb(pixelBytes, p, top, t); break;
    case 3: WriteRgb(pixelBytes, p, q, top); break;
    case 4: WriteRgb(pixelBytes, t, p, top); break;
    case 5: WriteRgb(pixelBytes, top, p, q); break;
    default: break;  // unreachable after the range check above; the pixel stays as it was
  }
}

}  // namespace varnel
