#pragma once
// Pixel rules of the script image: the colour layout scripts see, the 18 operations of
// BlendImage with their weight table, and the hue/lightness/saturation conversion that
// operations 14…17 and the script colour share. Qt-free and independent of the engine.

#include <array>
#include <cstdint>

namespace varnel::script {

inline constexpr int32_t kBlendOperations = 18;

// Scripts see 0xAABBGGRR (red in the lowest byte); the surface keeps 0xAARRGGBB (bytes blue,
// green, red, alpha). Swapping red and blue turns either into the other.
constexpr uint32_t SwapRedBlue(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour >> 16) & 0xFFu) | ((colour & 0xFFu) << 16);
}

// M(a, b) of the blend rules: (a × b + 127) / 255, integer division.
constexpr int32_t Mul255(int32_t a, int32_t b) { return (a * b + 127) / 255; }

// opa held to 0…256; every entry opa without useAlpha, else entry a = a × opa / 255.
std::array<int32_t, 256> BlendWeights(int32_t opa, bool useAlpha);

// One BlendImage step on surface pixels (0xAARRGGBB): the operation's result r for each colour
// byte moved towards by weight w (d + ((r − d) × w) >> 8); the destination's alpha kept.
// An operation outside 0…17 counts as 0.
uint32_t BlendPixel(int32_t operation, uint32_t destination, uint32_t source, int32_t weight);

// Hue 0…359, lightness and saturation 0…255. Lightness is (largest + smallest) / 2; a colour
// whose largest and smallest bytes differ by less than 4 is grey (hue and saturation 0).
struct Hls {
  int32_t hue = 0;
  int32_t lightness = 0;
  int32_t saturation = 0;
};
Hls RgbToHls(int32_t red, int32_t green, int32_t blue);
// Back to bytes; a saturation of 0 gives the grey of the lightness. Out-of-range components are
// held to their ranges (hue taken modulo 360).
void HlsToRgb(Hls hls, int32_t& red, int32_t& green, int32_t& blue);

// CIE L*a*b* (D65, sRGB bytes) for the script colour's Lab members.
struct Lab {
  double l = 0, a = 0, b = 0;
};
Lab RgbToLab(int32_t red, int32_t green, int32_t blue);
void LabToRgb(Lab lab, int32_t& red, int32_t& green, int32_t& blue);

}  // namespace varnel::script
