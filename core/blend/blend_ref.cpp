// The scalar reference of the blend modes and both frames, written straight from the rules,
// one pixel and one channel at a time, with the tables as given. Slow on purpose: clear.

#include <algorithm>
#include <cmath>

#include "core/blend.h"
#include "core/blend/blend_p.h"
#include "core/colour_convert.h"

namespace varnel::blend_reference {
namespace {

inline int Mul(int b, int s) { return MulTable()[b * 256 + s]; }
inline int Weight(int j, int k) { return WeightTable()[j * 256 + k]; }
inline int Blue(uint32_t p) { return static_cast<int>(p & 0xFF); }
inline int Green(uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int Red(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
inline uint32_t Colour(int b, int g, int r, uint32_t alpha) {
  return static_cast<uint32_t>(b) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(r) << 16 | (alpha & 0xFF000000u);
}

// Mode 26, per channel, in double precision.
int SoftLight(int b, int s) {
  const double x = s * 0.00392156862745098;
  const double y = b * 0.00392156862745098;
  double d;
  if (x < 0.5)
    d = y - y * y;
  else if (y <= 0.12549019607843137)
    d = (y - y * y) * (3 - 8 * y);
  else
    d = std::sqrt(y) - y;
  return static_cast<int>((y + (2 * x - 1) * d) * 255);
}

}  // namespace

// The whole-pixel modes: F for a pair of pixels, as a colour (alpha taken from lower).
uint32_t WholePixelColour(int32_t mode, uint32_t lower, uint32_t upper) {
  const int lowerSum = Blue(lower) + Green(lower) + Red(lower);
  const int upperSum = Blue(upper) + Green(upper) + Red(upper);
  switch (mode) {
    // 7 濃度(濃): the lower colour if its sum is at least the upper's.
    case 7: return lowerSum >= upperSum ? lower : (upper & 0x00FFFFFFu) | (lower & 0xFF000000u);
    // 8 濃度(薄): the lower colour if its sum is at most the upper's.
    case 8: return lowerSum <= upperSum ? lower : (upper & 0x00FFFFFFu) | (lower & 0xFF000000u);
    default: break;
  }
  const HlsColour l = RgbToHls(lower);
  const HlsColour u = RgbToHls(upper);
  HlsColour r = l;
  switch (mode) {
    case 14: r = {u.hue, l.lightness, u.saturation}; break;                                // カラー
    case 15: r = {u.hue, l.lightness, l.saturation}; break;                                // 色相
    case 16: r = {l.hue, l.lightness, u.saturation}; break;                                // 彩度
    case 17: r = {l.hue, u.lightness, l.saturation}; break;                                // 明度
    case 18: r = {l.hue, std::min(255, l.lightness + u.lightness), l.saturation}; break;   // 明度加算
    case 19: r = {l.hue, std::max(0, l.lightness - u.lightness), l.saturation}; break;     // 明度減算
    case 20: r = {l.hue, l.lightness, std::min(255, l.saturation + u.saturation)}; break;  // 彩度加算
    case 21: r = {l.hue, l.lightness, std::max(0, l.saturation - u.saturation)}; break;    // 彩度減算
    default: return lower;
  }
  uint32_t out = lower;
  HlsToRgb(r, reinterpret_cast<uint8_t*>(&out));
  return out;
}

uint8_t Channel(int32_t mode, uint8_t b8, uint8_t s8) {
  const int b = b8, s = s8;
  int f = b;
  switch (mode) {
    case 0: f = s; break;                                             // 合成
    case 1: f = Mul(b, s); break;                                     // 乗算
    case 2: f = 255 - Mul(255 - s, 255 - b); break;                   // スクリーン
    case 3: f = std::min(255, b + s); break;                          // 加算
    case 4: f = std::max(0, b - s); break;                            // 減算
    case 5: f = std::max(b, s); break;                                // 明るく
    case 6: f = std::min(b, s); break;                                // 暗く
    case 9: f = b & s; break;                                         // 論理積
    case 10: f = b | s; break;                                        // 論理和
    case 11: f = b ^ s; break;                                        // 排他的論理和
    case 12: f = std::min(255, (b * 256) / (s + 1)); break;           // 除算
    case 13: {                                                        // オーバーレイ
      const int screen = 255 - Mul(255 - b, 255 - s);
      const int product = Mul(b, s);
      f = screen - (((screen - product) * b) >> 8);
      break;
    }
    case 22:                                                          // オーバーレイ2: b < 128
      f = b < 128 ? (2 * b * s) >> 8 : 255 - 2 * (((255 - b) * (255 - s)) >> 8);
      break;
    case 23:                                                          // 覆い焼き: b + s < 256
      f = b + s < 256 ? (b == 0 ? 0 : (255 * b) / (255 - s)) : 255;
      break;
    case 24:                                                          // 焼きこみ: b + s < 255
      f = b + s < 255 ? 0 : (s == 0 ? 255 : 255 + (255 * (b - 255)) / s);
      break;
    case 25:                                                          // ハードライト: s < 127
      f = s < 127 ? (2 * b * s) >> 8 : 255 + (2 * (255 - s) * (b - 255)) / 256;
      break;
    case 26: f = SoftLight(b, s); break;                              // ソフトライト
    default: break;
  }
  return static_cast<uint8_t>(f);
}

void BlendColours(int32_t mode, const uint32_t* lower, const uint32_t* upper, uint32_t* out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (mode < 0 || mode >= kBlendModeCount) {
      out[i] = lower[i];
    } else if (IsWholePixelMode(BlendMode{mode})) {
      out[i] = WholePixelColour(mode, lower[i], upper[i]);
    } else {
      const uint32_t l = lower[i], u = upper[i];
      out[i] = Colour(Channel(mode, static_cast<uint8_t>(Blue(l)), static_cast<uint8_t>(Blue(u))),
                      Channel(mode, static_cast<uint8_t>(Green(l)), static_cast<uint8_t>(Green(u))),
                      Channel(mode, static_cast<uint8_t>(Red(l)), static_cast<uint8_t>(Red(u))), l);
    }
  }
}

void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n) {
  opacityWeight = std::clamp(opacityWeight, 0, 256);  // what opacities 0…100 give
  for (size_t i = 0; i < n; ++i) {
    const uint32_t l = lower[i];
    out[i] = l;  // 1. start from the lower pixel, all four bytes
    const int c = coverage[i];
    if (c == 0 || mode < 0 || mode >= kBlendModeCount) continue;  // 2.
    const int a = (c * opacityWeight) / 256;                          // 3.
    const int lowerAlpha = static_cast<int>(l >> 24);
    const int alpha = lowerAlpha + ((255 - lowerAlpha) * (a + 1) + 127) / 256;
    const int w = Weight(a + 1, alpha);                               // 4.
    uint32_t f;
    BlendColours(mode, &l, &upper[i], &f, 1);
    // 5. out = b + ((F − b) × w) >> 8, the shift arithmetic (rounds toward minus infinity).
    auto mix = [&](int b, int fb) { return b + (((fb - b) * w) >> 8); };
    out[i] = Colour(mix(Blue(l), Blue(f)), mix(Green(l), Green(f)), mix(Red(l), Red(f)),
                    static_cast<uint32_t>(alpha) << 24);  // 6.
  }
}

void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n) {
  if (mode < 0 || mode >= kBlendModeCount) return;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t d = destination[i];
    const int t = opacityTable[upper[i] >> 24];
    uint32_t f;
    BlendColours(mode, &d, &upper[i], &f, 1);
    auto mix = [&](int dc, int fc) { return dc + (((fc - dc) * t) >> 8); };
    destination[i] = Colour(mix(Blue(d), Blue(f)), mix(Green(d), Green(f)), mix(Red(d), Red(f)), d);
  }
}

}  // namespace varnel::blend_reference
