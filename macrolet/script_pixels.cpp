#include "macrolet/script_pixels.h"

#include <algorithm>
#include <cmath>

namespace varnel::script {
namespace {

struct Rgb {
  int32_t r, g, b;
};

Rgb Unpack(uint32_t pixel) {
  return {static_cast<int32_t>((pixel >> 16) & 0xFF), static_cast<int32_t>((pixel >> 8) & 0xFF),
          static_cast<int32_t>(pixel & 0xFF)};
}

// Screen: 255 − M(255 − d, 255 − s).
int32_t Screen(int32_t d, int32_t s) { return 255 - Mul255(255 - d, 255 - s); }

int32_t ByteRule(int32_t operation, int32_t d, int32_t s) {
  switch (operation) {
    case 1: return Mul255(d, s);
    case 2: return Screen(d, s);
    case 3: return std::min(255, d * 256 / (s + 1));
    case 4: {
      const int32_t screen = Screen(d, s);
      return screen - ((screen - Mul255(d, s)) * d) / 256;
    }
    case 5: return std::min(255, d + s);
    case 6: return std::max(0, d - s);
    case 7: return std::max(d, s);
    case 8: return std::min(d, s);
    case 11: return d & s;
    case 12: return d | s;
    case 13: return d ^ s;
    default: return s;
  }
}

Rgb FromHls(Hls hls) {
  Rgb out{};
  HlsToRgb(hls, out.r, out.g, out.b);
  return out;
}

Rgb WholeRule(int32_t operation, Rgb d, Rgb s) {
  const int32_t dSum = d.r + d.g + d.b, sSum = s.r + s.g + s.b;
  switch (operation) {
    case 9: return dSum < sSum ? s : d;
    case 10: return dSum > sSum ? s : d;
    default: break;
  }
  const Hls dh = RgbToHls(d.r, d.g, d.b), sh = RgbToHls(s.r, s.g, s.b);
  switch (operation) {
    case 14: return FromHls({sh.hue, dh.lightness, sh.saturation});
    case 15: return FromHls({sh.hue, dh.lightness, dh.saturation});
    case 16: return FromHls({dh.hue, dh.lightness, sh.saturation});
    default: return FromHls({dh.hue, sh.lightness, dh.saturation});
  }
}

int32_t Towards(int32_t d, int32_t r, int32_t weight) { return d + (((r - d) * weight) >> 8); }

double HueToChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

int32_t ToByte(double v) { return static_cast<int32_t>(std::clamp(std::lround(v * 255.0), 0L, 255L)); }

double Linear(int32_t byte) {
  const double c = byte / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int32_t FromLinear(double c) {
  c = std::clamp(c, 0.0, 1.0);
  return ToByte(c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055);
}

constexpr double kWhiteX = 0.95047, kWhiteZ = 1.08883;

double LabF(double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; }
double LabFInverse(double f) { return f * f * f > 216.0 / 24389 ? f * f * f : (116 * f - 16) * 27 / 24389; }

}  // namespace

std::array<int32_t, 256> BlendWeights(int32_t opa, bool useAlpha) {
  opa = std::clamp(opa, 0, 256);
  std::array<int32_t, 256> table{};
  for (int32_t a = 0; a < 256; ++a) table[a] = useAlpha ? a * opa / 255 : opa;
  return table;
}

uint32_t BlendPixel(int32_t operation, uint32_t destination, uint32_t source, int32_t weight) {
  if (operation < 0 || operation >= kBlendOperations) operation = 0;
  const Rgb d = Unpack(destination), s = Unpack(source);
  Rgb r{};
  if (operation >= 9 && operation != 11 && operation != 12 && operation != 13) {
    r = WholeRule(operation, d, s);
  } else {
    r = {ByteRule(operation, d.r, s.r), ByteRule(operation, d.g, s.g), ByteRule(operation, d.b, s.b)};
  }
  const uint32_t red = static_cast<uint32_t>(Towards(d.r, r.r, weight)) & 0xFF;
  const uint32_t green = static_cast<uint32_t>(Towards(d.g, r.g, weight)) & 0xFF;
  const uint32_t blue = static_cast<uint32_t>(Towards(d.b, r.b, weight)) & 0xFF;
  return (destination & 0xFF000000u) | (red << 16) | (green << 8) | blue;
}

Hls RgbToHls(int32_t red, int32_t green, int32_t blue) {
  const int32_t largest = std::max({red, green, blue}), smallest = std::min({red, green, blue});
  Hls hls;
  hls.lightness = (largest + smallest) / 2;
  const int32_t range = largest - smallest;
  if (range < 4) return hls;
  const int32_t sum = largest + smallest;
  hls.saturation = hls.lightness <= 127 ? range * 255 / sum : range * 255 / (510 - sum);
  int32_t hue;
  if (red == largest) {
    hue = 60 * (green - blue) / range;
  } else if (green == largest) {
    hue = 120 + 60 * (blue - red) / range;
  } else {
    hue = 240 + 60 * (red - green) / range;
  }
  hls.hue = hue < 0 ? hue + 360 : hue;
  return hls;
}

void HlsToRgb(Hls hls, int32_t& red, int32_t& green, int32_t& blue) {
  const int32_t lightness = std::clamp(hls.lightness, 0, 255);
  const int32_t saturation = std::clamp(hls.saturation, 0, 255);
  if (saturation == 0) {
    red = green = blue = lightness;
    return;
  }
  const double l = lightness / 255.0, s = saturation / 255.0;
  const double h = (((hls.hue % 360) + 360) % 360) / 360.0;
  const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
  const double p = 2 * l - q;
  red = ToByte(HueToChannel(p, q, h + 1.0 / 3));
  green = ToByte(HueToChannel(p, q, h));
  blue = ToByte(HueToChannel(p, q, h - 1.0 / 3));
}

Lab RgbToLab(int32_t red, int32_t green, int32_t blue) {
  const double r = Linear(red), g = Linear(green), b = Linear(blue);
  const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / kWhiteX;
  const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
  const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / kWhiteZ;
  const double fx = LabF(x), fy = LabF(y), fz = LabF(z);
  return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

void LabToRgb(Lab lab, int32_t& red, int32_t& green, int32_t& blue) {
  const double fy = (lab.l + 16) / 116, fx = fy + lab.a / 500, fz = fy - lab.b / 200;
  const double x = LabFInverse(fx) * kWhiteX, y = LabFInverse(fy), z = LabFInverse(fz) * kWhiteZ;
  red = FromLinear(3.2404542 * x - 1.5371385 * y - 0.4985314 * z);
  green = FromLinear(-0.9692660 * x + 1.8760108 * y + 0.0415560 * z);
  blue = FromLinear(0.0556434 * x - 0.2040259 * y + 1.0572252 * z);
}

}  // namespace varnel::script
