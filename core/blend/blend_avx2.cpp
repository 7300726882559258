// AVX2 blend kernels, channels in 16-bit lanes. The merge frame widens eight pixels in place;
// the display frame splits sixteen pixels into blue, green, red and alpha lanes (Planar), and
// DisplayStack keeps a run of the composite split so while a whole stack of layers goes over
// it. The blended value is computed in the lanes for the modes whose rule is a few integer
// operations or an HLS recombination, and gathered from the F[b][s] table for the others.
// Every result equals the reference (the tests compare them).
//
// The weighting d + ((F - d) × t) >> 8 with t in 0…256 is done as one signed high multiply:
// ((F - d) << 7) × (t << 1) is (F - d) × t × 256, and its high 16 bits are the floor of
// (F - d) × t / 256, exactly the arithmetic shift of the rule.

#include <immintrin.h>

#include <algorithm>
#include <type_traits>

#include "core/blend.h"
#include "core/blend/blend_p.h"
#include "core/colour_convert.h"

namespace varnel::blend_avx2 {
namespace {

// The helpers hand several registers back and forth; out of line they would go through memory.
#define VARNEL_HOT inline __attribute__((always_inline))

struct Lanes {
  __m256i lo;  // pixels 0, 1 | 4, 5 as 16-bit channels
  __m256i hi;  // pixels 2, 3 | 6, 7
};

inline Lanes Widen(__m256i pixels) {
  const __m256i zero = _mm256_setzero_si256();
  return {_mm256_unpacklo_epi8(pixels, zero), _mm256_unpackhi_epi8(pixels, zero)};
}

inline __m256i Narrow(const Lanes& lanes) { return _mm256_packus_epi16(lanes.lo, lanes.hi); }

// One 32-bit value per pixel spread over that pixel's four 16-bit lanes, in Widen's order.
inline Lanes Spread(__m256i perPixel) {
  const __m256i both = _mm256_or_si256(perPixel, _mm256_slli_epi32(perPixel, 16));
  return {_mm256_unpacklo_epi32(both, both), _mm256_unpackhi_epi32(both, both)};
}

// (x + 127) / 255 of products x = b × s, rounding exactly as the MUL table does: with
// t = x + 128 <= 65153, (t + (t >> 8)) >> 8 equals (t × 257) >> 16, one high multiply.
inline __m256i Mul(__m256i b, __m256i s) {
  const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(b, s), _mm256_set1_epi16(128));
  return _mm256_mulhi_epu16(t, _mm256_set1_epi16(257));
}

inline __m256i Mix(__m256i d, __m256i f, __m256i weight) {
  const __m256i x = _mm256_slli_epi16(_mm256_sub_epi16(f, d), 7);
  return _mm256_add_epi16(d, _mm256_mulhi_epi16(x, _mm256_slli_epi16(weight, 1)));
}

const __m256i k255 = _mm256_set1_epi16(255);

// F in 16-bit lanes for the per-channel modes that are a few integer operations.
template <int kMode>
inline __m256i Channels(__m256i b, __m256i s) {
  if constexpr (kMode == 0) return s;
  if constexpr (kMode == 1) return Mul(b, s);
  if constexpr (kMode == 2) return _mm256_sub_epi16(k255, Mul(_mm256_sub_epi16(k255, s), _mm256_sub_epi16(k255, b)));
  if constexpr (kMode == 3) return _mm256_min_epi16(_mm256_add_epi16(b, s), k255);
  if constexpr (kMode == 4) return _mm256_subs_epu16(b, s);
  if constexpr (kMode == 5) return _mm256_max_epi16(b, s);
  if constexpr (kMode == 6) return _mm256_min_epi16(b, s);
  if constexpr (kMode == 9) return _mm256_and_si256(b, s);
  if constexpr (kMode == 10) return _mm256_or_si256(b, s);
  if constexpr (kMode == 11) return _mm256_xor_si256(b, s);
  if constexpr (kMode == 12) {
    // min(255, b × 256 / (s + 1)). In single precision: the numerator is below 2^16, so for
    // s ≥ 1 the rounding error stays under 1 / 512 while a quotient that is not whole lies at
    // least 1 / (s + 1) ≥ 1 / 256 below the next integer; for s = 0 it is exact. Truncation
    // therefore gives the integer quotient.
    auto divide = [](__m256i numerator16, __m256i divisor16, int half) {
      const __m128i n = half == 0 ? _mm256_castsi256_si128(numerator16) : _mm256_extracti128_si256(numerator16, 1);
      const __m128i d = half == 0 ? _mm256_castsi256_si128(divisor16) : _mm256_extracti128_si256(divisor16, 1);
      const __m256 q = _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(n)), _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(d)));
      return _mm256_cvttps_epi32(q);
    };
    const __m256i numerator = _mm256_slli_epi16(b, 8);
    const __m256i divisor = _mm256_add_epi16(s, _mm256_set1_epi16(1));
    // packus keeps lanes in order within each 128-bit half: rebuild the halves' order.
    const __m256i q = _mm256_packus_epi32(divide(numerator, divisor, 0), divide(numerator, divisor, 1));
    const __m256i ordered = _mm256_permute4x64_epi64(q, 0xD8);
    return _mm256_min_epu16(ordered, k255);
  }
  if constexpr (kMode == 13) {
    const __m256i screen = _mm256_sub_epi16(k255, Mul(_mm256_sub_epi16(k255, b), _mm256_sub_epi16(k255, s)));
    const __m256i product = Mul(b, s);
    return _mm256_sub_epi16(screen, _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(screen, product), b), 8));
  }
  if constexpr (kMode == 22) {
    const __m256i dark = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_add_epi16(b, b), s), 8);
    const __m256i light = _mm256_sub_epi16(
        k255, _mm256_add_epi16(
                  _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(k255, b), _mm256_sub_epi16(k255, s)), 8),
                  _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(k255, b), _mm256_sub_epi16(k255, s)), 8)));
    return _mm256_blendv_epi8(light, dark, _mm256_cmpgt_epi16(_mm256_set1_epi16(128), b));
  }
  if constexpr (kMode == 25) {
    // s ≥ 127: 255 + 2(255 − s)(b − 255) / 256 truncated toward zero, i.e. 255 − (2(255 − s)(255 − b) >> 8).
    const __m256i dark = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_add_epi16(b, b), s), 8);
    const __m256i inverse = _mm256_sub_epi16(k255, s);
    const __m256i light = _mm256_sub_epi16(
        k255, _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_add_epi16(inverse, inverse), _mm256_sub_epi16(k255, b)), 8));
    return _mm256_blendv_epi8(light, dark, _mm256_cmpgt_epi16(_mm256_set1_epi16(127), s));
  }
  return s;
}

// F as packed pixels from the F[b][s] table: three gathers of 32 bits, low byte kept. The
// table has three bytes of padding so the last entry can be read that way.
inline __m256i TablePixels(const uint8_t* table, __m256i lower, __m256i upper) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  __m256i f = _mm256_setzero_si256();
  for (int shift = 0; shift < 24; shift += 8) {
    const __m256i b = _mm256_and_si256(_mm256_srli_epi32(lower, shift), byte);
    const __m256i s = _mm256_and_si256(_mm256_srli_epi32(upper, shift), byte);
    const __m256i index = _mm256_or_si256(_mm256_slli_epi32(b, 8), s);
    const __m256i value =
        _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 1), byte);
    f = _mm256_or_si256(f, _mm256_slli_epi32(value, shift));
  }
  return f;
}

// 濃度(濃) and 濃度(薄): the lower colour when its channel sum wins, else the upper colour.
template <int kMode>
inline __m256i DensityPixels(__m256i lower, __m256i upper) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  auto sum = [&](__m256i p) {
    return _mm256_add_epi32(_mm256_add_epi32(_mm256_and_si256(p, byte), _mm256_and_si256(_mm256_srli_epi32(p, 8), byte)),
                            _mm256_and_si256(_mm256_srli_epi32(p, 16), byte));
  };
  const __m256i lowerSum = sum(lower), upperSum = sum(upper);
  // 7 keeps lower when lowerSum >= upperSum; 8 when lowerSum <= upperSum.
  const __m256i takeUpper = kMode == 7 ? _mm256_cmpgt_epi32(upperSum, lowerSum) : _mm256_cmpgt_epi32(lowerSum, upperSum);
  return _mm256_blendv_epi8(lower, upper, takeUpper);
}


// ---- HLS, sixteen pixels at a time in 16-bit lanes -------------------------------------------
// Every HLS mode takes its hue whole from one of the two pixels, and the hue only ever goes
// back into HlsToRgb. There it gives the channel that was the largest (red before green before
// blue on ties) m2, the smallest m1 and the third m1 + ((m2 − m1) × a + 30) / 60, where a is
// the magnitude of the hue rule's quotient (h + 60 × spread) / d: the hue's distance from the
// base of its sextant. A grey has hue 0: red takes m2, green and blue m1. So the hue is kept as
// those roles and a, never as degrees, and no channel needs the sextant search.
//
// The two divisions by pixel-dependent divisors (a = x / d, saturation = x / D) are floors of
// quotients below 256 of integers x < 2^16 by divisors 1…510, done in single precision and
// truncated: the operands convert exactly and the quotient is correctly rounded, so a whole
// quotient comes out exact, and one that is not whole, at least 1 / 510 from the next integer,
// stays within 2^-17 of itself (the half step of single precision below 256).

struct Planar {
  __m256i b, g, r, a;  // 16-bit lanes; pixels 0…3, 8…11 in the low half, 4…7, 12…15 in the high
};

VARNEL_HOT Planar Deinterleave(__m256i p0, __m256i p1) {
  const __m256i blueGreen = _mm256_setr_epi8(0, -1, 4, -1, 8, -1, 12, -1, 1, -1, 5, -1, 9, -1, 13, -1,
                                             0, -1, 4, -1, 8, -1, 12, -1, 1, -1, 5, -1, 9, -1, 13, -1);
  const __m256i redAlpha = _mm256_setr_epi8(2, -1, 6, -1, 10, -1, 14, -1, 3, -1, 7, -1, 11, -1, 15, -1,
                                            2, -1, 6, -1, 10, -1, 14, -1, 3, -1, 7, -1, 11, -1, 15, -1);
  const __m256i bg0 = _mm256_shuffle_epi8(p0, blueGreen), bg1 = _mm256_shuffle_epi8(p1, blueGreen);
  const __m256i ra0 = _mm256_shuffle_epi8(p0, redAlpha), ra1 = _mm256_shuffle_epi8(p1, redAlpha);
  return {_mm256_unpacklo_epi64(bg0, bg1), _mm256_unpackhi_epi64(bg0, bg1), _mm256_unpacklo_epi64(ra0, ra1),
          _mm256_unpackhi_epi64(ra0, ra1)};
}

// The inverse of Deinterleave; every lane must hold 0…255.
VARNEL_HOT void Interleave(const Planar& p, __m256i& p0, __m256i& p1) {
  const __m256i blueGreen = _mm256_or_si256(p.b, _mm256_slli_epi16(p.g, 8));
  const __m256i redAlpha = _mm256_or_si256(p.r, _mm256_slli_epi16(p.a, 8));
  p0 = _mm256_unpacklo_epi16(blueGreen, redAlpha);
  p1 = _mm256_unpackhi_epi16(blueGreen, redAlpha);
}

// floor(x / d) for 0 <= x < 2^16 (unsigned lanes) and 1 <= d <= 510, where the quotient is
// below 256; see above.
VARNEL_HOT __m256i DivideFloor(__m256i x, __m256i d) {
  const __m256i zero = _mm256_setzero_si256();
  auto half = [](__m256i x32, __m256i d32) {
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(x32), _mm256_cvtepi32_ps(d32)));
  };
  return _mm256_packus_epi32(half(_mm256_unpacklo_epi16(x, zero), _mm256_unpacklo_epi16(d, zero)),
                             half(_mm256_unpackhi_epi16(x, zero), _mm256_unpackhi_epi16(d, zero)));
}

// The hue as HlsToRgb uses it.
struct HueRoles {
  __m256i maxRed, maxGreen;            // the channel that takes m2; blue when neither
  __m256i minRed, minGreen, minBlue;   // channels at the minimum take m1 (unless they take m2)
  __m256i along;                       // 0…60; the remaining channel is the ramp at this step
};

struct HlsParts16 {
  __m256i lightness, saturation;
  HueRoles hue;
};

// RgbToHls of sixteen pixels; only the parts asked for are computed, the others are left 0.
template <bool kHue, bool kSaturation>
VARNEL_HOT HlsParts16 Analyse(const Planar& p) {
  const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi16(1);
  const __m256i high = _mm256_max_epi16(p.r, _mm256_max_epi16(p.g, p.b));
  const __m256i low = _mm256_min_epi16(p.r, _mm256_min_epi16(p.g, p.b));
  const __m256i difference = _mm256_sub_epi16(high, low);
  const __m256i sum = _mm256_add_epi16(high, low);
  HlsParts16 out{};
  out.lightness = _mm256_srli_epi16(_mm256_add_epi16(sum, one), 1);
  if constexpr (kHue || kSaturation) {
    // Spreads below 4 are grey: hue 0, saturation 0. Their divisors may be 0; 1 stands in.
    const __m256i grey = _mm256_cmpgt_epi16(_mm256_set1_epi16(4), difference);
    if constexpr (kSaturation) {
      // Lightness above 127 is a sum of 255 or more.
      const __m256i light = _mm256_cmpgt_epi16(sum, _mm256_set1_epi16(254));
      const __m256i divisor = _mm256_blendv_epi8(sum, _mm256_sub_epi16(_mm256_set1_epi16(510), sum), light);
      // D / 2 + 255 × d reaches 65,278: an unsigned lane.
      const __m256i numerator = _mm256_add_epi16(_mm256_srli_epi16(divisor, 1),
                                                 _mm256_sub_epi16(_mm256_slli_epi16(difference, 8), difference));
      out.saturation = _mm256_andnot_si256(grey, DivideFloor(numerator, _mm256_max_epi16(divisor, one)));
    }
    if constexpr (kHue) {
      const __m256i maxRed = _mm256_or_si256(_mm256_cmpeq_epi16(p.r, high), grey);
      const __m256i maxGreen = _mm256_andnot_si256(maxRed, _mm256_cmpeq_epi16(p.g, high));
      const __m256i spread = _mm256_blendv_epi8(
          _mm256_blendv_epi8(_mm256_sub_epi16(p.r, p.g), _mm256_sub_epi16(p.b, p.r), maxGreen),
          _mm256_sub_epi16(p.g, p.b), maxRed);
      // |trunc((h + 60 × spread) / d)| with h = d / 2 is floor((60 × |spread| ± h) / d), taking
      // +h for a positive spread and −h for a negative one, and 0 when that goes below 0.
      const __m256i half = _mm256_srli_epi16(difference, 1);
      const __m256i numerator = _mm256_max_epi16(
          _mm256_add_epi16(_mm256_mullo_epi16(_mm256_abs_epi16(spread), _mm256_set1_epi16(60)),
                           _mm256_sign_epi16(half, spread)),
          zero);
      out.hue.along = _mm256_andnot_si256(grey, DivideFloor(numerator, _mm256_max_epi16(difference, one)));
      out.hue.maxRed = maxRed;
      out.hue.maxGreen = maxGreen;
      out.hue.minRed = _mm256_cmpeq_epi16(p.r, low);
      out.hue.minGreen = _mm256_cmpeq_epi16(p.g, low);
      out.hue.minBlue = _mm256_cmpeq_epi16(p.b, low);
    }
  }
  return out;
}

// HlsToRgb: red, green and blue (0…255) of a hue, lightness 0…255 and saturation 0…255. At
// saturation 0, m1 = m2 = the lightness, so every channel is the lightness, as the rule says.
VARNEL_HOT void Synthesise(const HueRoles& hue, __m256i l, __m256i s, Planar& out) {
  const __m256i c127 = _mm256_set1_epi16(127), c255 = _mm256_set1_epi16(255);
  const __m256i light = _mm256_cmpgt_epi16(l, c127);
  // m2 = l + s − (l × s + 127) / 255 when light, else ((255 + s) × l + 127) / 255. Both
  // numerators stay below 2^16; x / 255 is (x × 0x8081) >> 23 for every 16-bit x.
  const __m256i factor = _mm256_add_epi16(s, _mm256_andnot_si256(light, c255));
  const __m256i numerator = _mm256_add_epi16(_mm256_mullo_epi16(factor, l), c127);
  const __m256i quotient = _mm256_srli_epi16(_mm256_mulhi_epu16(numerator, _mm256_set1_epi16(-32639)), 7);
  const __m256i m2 = _mm256_blendv_epi8(quotient, _mm256_sub_epi16(_mm256_add_epi16(l, s), quotient), light);
  const __m256i m1 = _mm256_sub_epi16(_mm256_add_epi16(l, l), m2);
  // ((m2 − m1) × a + 30) / 60 with a numerator up to 15,330: (x × 17477) >> 20.
  const __m256i step = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(m2, m1), hue.along), _mm256_set1_epi16(30));
  const __m256i ramp = _mm256_add_epi16(m1, _mm256_srli_epi16(_mm256_mulhi_epu16(step, _mm256_set1_epi16(17477)), 4));
  out.r = _mm256_blendv_epi8(_mm256_blendv_epi8(ramp, m1, hue.minRed), m2, hue.maxRed);
  out.g = _mm256_blendv_epi8(_mm256_blendv_epi8(ramp, m1, hue.minGreen), m2, hue.maxGreen);
  out.b = _mm256_blendv_epi8(m2, _mm256_blendv_epi8(ramp, m1, hue.minBlue), _mm256_or_si256(hue.maxRed, hue.maxGreen));
}

// F of an HLS mode for sixteen pixel pairs: red, green and blue; alpha is left as it was.
template <int kMode>
VARNEL_HOT void HlsColours(const Planar& lower, const Planar& upper, Planar& out) {
  constexpr bool kUpperHue = kMode == 14 || kMode == 15;
  constexpr bool kLowerSaturation = kMode == 15 || kMode >= 17;
  constexpr bool kUpperSaturation = kMode == 14 || kMode == 16 || kMode == 20 || kMode == 21;
  const HlsParts16 l = Analyse<!kUpperHue, kLowerSaturation>(lower);
  const HlsParts16 u = Analyse<kUpperHue, kUpperSaturation>(upper);
  const __m256i c255 = _mm256_set1_epi16(255);
  __m256i lightness = l.lightness, saturation = l.saturation;
  if constexpr (kMode == 14 || kMode == 16) saturation = u.saturation;
  if constexpr (kMode == 17) lightness = u.lightness;
  if constexpr (kMode == 18) lightness = _mm256_min_epi16(c255, _mm256_add_epi16(l.lightness, u.lightness));
  if constexpr (kMode == 19) lightness = _mm256_subs_epu16(l.lightness, u.lightness);
  if constexpr (kMode == 20) saturation = _mm256_min_epi16(c255, _mm256_add_epi16(l.saturation, u.saturation));
  if constexpr (kMode == 21) saturation = _mm256_subs_epu16(l.saturation, u.saturation);
  Synthesise(kUpperHue ? u.hue : l.hue, lightness, saturation, out);
}

const __m256i kAlphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));

// alpha × opacity / 100 for alpha × opacity <= 25500: (x × 5243) >> 19, and 256 for alpha 255
// at opacity 100, as the layer's table holds.
struct ComputedWeights {
  __m256i opacity;
  bool full;
  VARNEL_HOT __m256i operator()(__m256i alpha) const {
    const __m256i x = _mm256_mullo_epi32(alpha, opacity);
    __m256i t = _mm256_srli_epi32(_mm256_mullo_epi32(x, _mm256_set1_epi32(5243)), 19);
    if (full) t = _mm256_sub_epi32(t, _mm256_cmpeq_epi32(alpha, _mm256_set1_epi32(255)));
    return t;
  }
};

struct GatheredWeights {
  const int32_t* table;
  VARNEL_HOT __m256i operator()(__m256i alpha) const { return _mm256_i32gather_epi32(table, alpha, 4); }
};

// The same two ways for sixteen alphas in 16-bit lanes, giving twice the weight, as Mix16 takes it.
struct ComputedWeights16 {
  __m256i opacity;
  bool full;
  explicit ComputedWeights16(const ComputedWeights& w)
      : opacity(_mm256_packus_epi32(w.opacity, w.opacity)), full(w.full) {}
  VARNEL_HOT __m256i operator()(__m256i alpha) const {
    // x / 100 for x <= 25500 is (x × 5243) >> 19.
    __m256i t = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(alpha, opacity), _mm256_set1_epi16(5243)), 3);
    if (full) t = _mm256_sub_epi16(t, _mm256_cmpeq_epi16(alpha, _mm256_set1_epi16(255)));
    return _mm256_slli_epi16(t, 1);
  }
};

struct GatheredWeights16 {
  const int32_t* table;
  explicit GatheredWeights16(const GatheredWeights& w) : table(w.table) {}
  VARNEL_HOT __m256i operator()(__m256i alpha) const {
    const __m256i zero = _mm256_setzero_si256(), low16 = _mm256_set1_epi32(0xFFFF);
    // Only the low 16 bits of an entry count, as in Spread.
    const __m256i lo = _mm256_and_si256(_mm256_i32gather_epi32(table, _mm256_unpacklo_epi16(alpha, zero), 4), low16);
    const __m256i hi = _mm256_and_si256(_mm256_i32gather_epi32(table, _mm256_unpackhi_epi16(alpha, zero), 4), low16);
    return _mm256_slli_epi16(_mm256_packus_epi32(lo, hi), 1);
  }
};

template <typename Weights>
struct Weights16Of;
template <>
struct Weights16Of<ComputedWeights> {
  using Type = ComputedWeights16;
};
template <>
struct Weights16Of<GatheredWeights> {
  using Type = GatheredWeights16;
};

// d + ((f − d) × t) >> 8 in 16-bit lanes, given 2t.
VARNEL_HOT __m256i Mix16(__m256i d, __m256i f, __m256i twiceWeight) {
  return _mm256_add_epi16(d, _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_sub_epi16(f, d), 7), twiceWeight));
}

// F of sixteen pixel pairs, widened. Modes that work on eight pixels at a time run twice.
template <typename Blended>
VARNEL_HOT void BlendSixteen(const Blended& blended, const __m256i (&l)[2], const __m256i (&u)[2], const Lanes (&b)[2],
                         Lanes (&f)[2]) {
  if constexpr (Blended::kPlanar) {
    Planar colours;
    const Planar lower = Deinterleave(l[0], l[1]);
    blended.Colours(lower, Deinterleave(u[0], u[1]), colours);
    colours.a = lower.a;
    __m256i f0, f1;
    Interleave(colours, f0, f1);
    f[0] = Widen(f0);
    f[1] = Widen(f1);
  } else {
    f[0] = blended(l[0], u[0], b[0]);
    f[1] = blended(l[1], u[1], b[1]);
  }
}

// One step of the display frame over kGroups × 8 pixels; a single group is blended as the
// sixteen-pixel modes need, with its eight pixels twice.
template <int kGroups, typename Blended, typename Weights>
VARNEL_HOT void DisplayStep(uint32_t* dst, const uint32_t* up, const Weights& weights, const Blended& blended) {
  __m256i d[2], u[2];
  Lanes dl[2], f[2];
  for (int k = 0; k < 2; ++k) {
    const int at = kGroups == 2 ? 8 * k : 0;
    d[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + at));
    u[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(up + at));
    dl[k] = Widen(d[k]);
  }
  BlendSixteen(blended, d, u, dl, f);
  for (int k = 0; k < kGroups; ++k) {
    const Lanes weight = Spread(weights(_mm256_srli_epi32(u[k], 24)));
    const __m256i mixed = Narrow({Mix(dl[k].lo, f[k].lo, weight.lo), Mix(dl[k].hi, f[k].hi, weight.hi)});
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 8 * k), _mm256_blendv_epi8(mixed, d[k], kAlphaMask));
  }
}

// The display frame for the modes that work on sixteen planar pixels: the weights and the
// mix stay in the channel lanes the mode computed in.
template <int kGroups, typename Blended, typename Weights16>
VARNEL_HOT void DisplayPlanarStep(uint32_t* dst, const uint32_t* up, const Weights16& weights, const Blended& blended) {
  const int second = kGroups == 2 ? 8 : 0;
  const __m256i d0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
  const __m256i d1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + second));
  const Planar lower = Deinterleave(d0, d1);
  const Planar upper = Deinterleave(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(up)),
                                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(up + second)));
  Planar f;
  blended.Colours(lower, upper, f);
  const __m256i t = weights(upper.a);
  const Planar mixed{Mix16(lower.b, f.b, t), Mix16(lower.g, f.g, t), Mix16(lower.r, f.r, t), lower.a};
  __m256i p0, p1;
  Interleave(mixed, p0, p1);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), p0);
  if constexpr (kGroups == 2) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 8), p1);
}

// Runs over n & ~7 pixels.
template <typename Blended, typename Weights>
void DisplayWith(uint32_t* dst, const uint32_t* up, const Weights& weights, size_t n, const Blended& blended) {
  size_t i = 0;
  if constexpr (Blended::kPlanarDisplay) {
    const typename Weights16Of<Weights>::Type weights16(weights);
    for (; i + 16 <= n; i += 16) DisplayPlanarStep<2>(dst + i, up + i, weights16, blended);
    if (i + 8 <= n) DisplayPlanarStep<1>(dst + i, up + i, weights16, blended);
  } else {
    for (; i + 16 <= n; i += 16) DisplayStep<2>(dst + i, up + i, weights, blended);
    if (i + 8 <= n) DisplayStep<1>(dst + i, up + i, weights, blended);
  }
}

// Below this many pixels the table check costs more than gathering the weights.
constexpr size_t kComputedWeightsFrom = 1024;

template <typename Blended>
void Display(uint32_t* dst, const uint32_t* up, const int32_t* table, int32_t knownOpacity, size_t n,
             const Blended& blended) {
  const int32_t opacity = knownOpacity >= 0 ? knownOpacity : n >= kComputedWeightsFrom ? OpacityOfTable(table) : -1;
  if (opacity >= 0)
    DisplayWith(dst, up, ComputedWeights{_mm256_set1_epi32(opacity), opacity == 100}, n, blended);
  else
    DisplayWith(dst, up, GatheredWeights{table}, n, blended);
}

template <int kGroups, typename Blended>
VARNEL_HOT void MergeStep(const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage, __m256i o,
                      const int16_t* weights, uint32_t* out, const Blended& blended) {
  const __m256i c255 = _mm256_set1_epi32(255), c127 = _mm256_set1_epi32(127), one = _mm256_set1_epi32(1);
  __m256i l[2], u[2];
  Lanes ll[2], f[2];
  for (int k = 0; k < 2; ++k) {
    const int at = kGroups == 2 ? 8 * k : 0;
    l[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + at));
    u[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + at));
    ll[k] = Widen(l[k]);
  }
  BlendSixteen(blended, l, u, ll, f);
  for (int k = 0; k < kGroups; ++k) {
    const __m256i c = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(coverage + 8 * k)));
    // c × O and (255 − Ab) × (a + 1) are at most 255 × 256, so 16-bit multiplies of the
    // 32-bit lanes (whose high halves are 0) give them exactly.
    const __m256i a1 = _mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi16(c, o), 8), one);
    const __m256i lowerAlpha = _mm256_srli_epi32(l[k], 24);
    const __m256i alpha = _mm256_add_epi32(
        lowerAlpha, _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi16(_mm256_sub_epi32(c255, lowerAlpha), a1), c127), 8));
    // Over opaque lower pixels A is 255 and WEIGHT[a + 1][255] is a + 1 itself.
    __m256i w;
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(lowerAlpha, c255)) == -1) {
      w = a1;
    } else {
      // WEIGHT is read 32 bits at a time at 16-bit steps; the table carries a padding entry.
      const __m256i index = _mm256_add_epi32(_mm256_slli_epi32(a1, 8), alpha);
      w = _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(weights), index, 2),
                           _mm256_set1_epi32(0xFFFF));
    }
    const Lanes weight = Spread(w);
    __m256i mixed = Narrow({Mix(ll[k].lo, f[k].lo, weight.lo), Mix(ll[k].hi, f[k].hi, weight.hi)});
    mixed = _mm256_blendv_epi8(mixed, _mm256_slli_epi32(alpha, 24), kAlphaMask);
    // Coverage 0 leaves the lower pixel as it was, alpha included.
    const __m256i untouched = _mm256_cmpeq_epi32(c, _mm256_setzero_si256());
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * k), _mm256_blendv_epi8(mixed, l[k], untouched));
  }
}

// The merge frame in channel lanes, for the modes that compute in them.
template <int kGroups, typename Blended>
VARNEL_HOT void MergePlanarStep(const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage, __m256i o,
                                const int16_t* weights, uint32_t* out, const Blended& blended) {
  const int second = kGroups == 2 ? 8 : 0;
  const Planar l = Deinterleave(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower)),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + second)));
  const Planar u = Deinterleave(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper)),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + second)));
  // Coverage bytes in the lanes' pixel order: quarters 0, 2 | 1, 3 of the sixteen.
  __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(coverage));
  bytes = kGroups == 2 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(coverage)) : _mm_unpacklo_epi64(bytes, bytes);
  const __m256i c = _mm256_permute4x64_epi64(_mm256_cvtepu8_epi16(bytes), 0xD8);
  // a + 1 and A as in MergeStep; every product is at most 255 × 256.
  const __m256i c255 = _mm256_set1_epi16(255);
  const __m256i a1 = _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(c, o), 8), _mm256_set1_epi16(1));
  const __m256i alpha = _mm256_add_epi16(
      l.a, _mm256_srli_epi16(
               _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(c255, l.a), a1), _mm256_set1_epi16(127)), 8));
  __m256i w;
  if (_mm256_movemask_epi8(_mm256_cmpeq_epi16(l.a, c255)) == -1) {
    w = a1;  // over opaque lower pixels WEIGHT[a + 1][255] is a + 1
  } else {
    // Row a + 1, column A: the index reaches 65,791, so it is formed in 32-bit lanes.
    const __m256i zero = _mm256_setzero_si256(), low16 = _mm256_set1_epi32(0xFFFF);
    auto gather = [&](__m256i rows, __m256i columns) {
      const __m256i index = _mm256_add_epi32(_mm256_slli_epi32(rows, 8), columns);
      return _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(weights), index, 2), low16);
    };
    w = _mm256_packus_epi32(gather(_mm256_unpacklo_epi16(a1, zero), _mm256_unpacklo_epi16(alpha, zero)),
                            gather(_mm256_unpackhi_epi16(a1, zero), _mm256_unpackhi_epi16(alpha, zero)));
  }
  Planar f;
  blended.Colours(l, u, f);
  const __m256i twice = _mm256_slli_epi16(w, 1);
  // Coverage 0 leaves the lower pixel as it was, alpha included.
  const __m256i untouched = _mm256_cmpeq_epi16(c, _mm256_setzero_si256());
  const Planar mixed{_mm256_blendv_epi8(Mix16(l.b, f.b, twice), l.b, untouched),
                     _mm256_blendv_epi8(Mix16(l.g, f.g, twice), l.g, untouched),
                     _mm256_blendv_epi8(Mix16(l.r, f.r, twice), l.r, untouched), _mm256_blendv_epi8(alpha, l.a, untouched)};
  __m256i p0, p1;
  Interleave(mixed, p0, p1);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), p0);
  if constexpr (kGroups == 2) _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), p1);
}

// Runs over n & ~7 pixels; out may be lower (each step loads before it stores).
template <typename Blended>
void Merge(const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage, int32_t opacityWeight,
           uint32_t* out, size_t n, const Blended& blended) {
  const int16_t* weights = WeightTable();
  size_t i = 0;
  if constexpr (Blended::kPlanarDisplay) {
    const __m256i o = _mm256_set1_epi16(static_cast<int16_t>(opacityWeight));
    for (; i + 16 <= n; i += 16) MergePlanarStep<2>(lower + i, upper + i, coverage + i, o, weights, out + i, blended);
    if (i + 8 <= n) MergePlanarStep<1>(lower + i, upper + i, coverage + i, o, weights, out + i, blended);
  } else {
    const __m256i o = _mm256_set1_epi32(opacityWeight);
    for (; i + 16 <= n; i += 16) MergeStep<2>(lower + i, upper + i, coverage + i, o, weights, out + i, blended);
    if (i + 8 <= n) MergeStep<1>(lower + i, upper + i, coverage + i, o, weights, out + i, blended);
  }
}

template <int kMode>
struct ArithmeticMode {
  static constexpr bool kPlanar = false;
  static constexpr bool kPlanarDisplay = true;
  VARNEL_HOT Lanes operator()(__m256i, __m256i u, const Lanes& b) const {
    const Lanes s = Widen(u);
    return {Channels<kMode>(b.lo, s.lo), Channels<kMode>(b.hi, s.hi)};
  }
  VARNEL_HOT void Colours(const Planar& lower, const Planar& upper, Planar& out) const {
    out.b = Channels<kMode>(lower.b, upper.b);
    out.g = Channels<kMode>(lower.g, upper.g);
    out.r = Channels<kMode>(lower.r, upper.r);
  }
};

struct TableMode {
  static constexpr bool kPlanar = false;
  static constexpr bool kPlanarDisplay = false;
  const uint8_t* table;
  VARNEL_HOT Lanes operator()(__m256i l, __m256i u, const Lanes&) const { return Widen(TablePixels(table, l, u)); }
};

template <int kMode>
struct DensityMode {
  static constexpr bool kPlanar = false;
  static constexpr bool kPlanarDisplay = false;
  VARNEL_HOT Lanes operator()(__m256i l, __m256i u, const Lanes&) const { return Widen(DensityPixels<kMode>(l, u)); }
};

template <int kMode>
struct HlsMode {
  static constexpr bool kPlanar = true;
  static constexpr bool kPlanarDisplay = true;
  VARNEL_HOT void Colours(const Planar& lower, const Planar& upper, Planar& out) const {
    HlsColours<kMode>(lower, upper, out);
  }
};

// Runs the frame for the modes done here; answers false for those left to the scalar kernels.
template <typename Frame>
bool ForMode(int32_t mode, Frame&& frame) {
  switch (mode) {
    case 0: frame(ArithmeticMode<0>{}); return true;
    case 1: frame(ArithmeticMode<1>{}); return true;
    case 2: frame(ArithmeticMode<2>{}); return true;
    case 3: frame(ArithmeticMode<3>{}); return true;
    case 4: frame(ArithmeticMode<4>{}); return true;
    case 5: frame(ArithmeticMode<5>{}); return true;
    case 6: frame(ArithmeticMode<6>{}); return true;
    case 7: frame(DensityMode<7>{}); return true;
    case 8: frame(DensityMode<8>{}); return true;
    case 14: frame(HlsMode<14>{}); return true;
    case 15: frame(HlsMode<15>{}); return true;
    case 16: frame(HlsMode<16>{}); return true;
    case 17: frame(HlsMode<17>{}); return true;
    case 18: frame(HlsMode<18>{}); return true;
    case 19: frame(HlsMode<19>{}); return true;
    case 20: frame(HlsMode<20>{}); return true;
    case 21: frame(HlsMode<21>{}); return true;
    case 9: frame(ArithmeticMode<9>{}); return true;
    case 10: frame(ArithmeticMode<10>{}); return true;
    case 11: frame(ArithmeticMode<11>{}); return true;
    case 13: frame(ArithmeticMode<13>{}); return true;
    case 22: frame(ArithmeticMode<22>{}); return true;
    case 25: frame(ArithmeticMode<25>{}); return true;
    case 12: frame(ArithmeticMode<12>{}); return true;
    case 23:
    case 24:
    case 26: frame(TableMode{blend_fast::ChannelTable(mode)}); return true;
    default: return false;
  }
}

// Lane k of a Planar register holds this pixel of the sixteen.
constexpr int PixelOfLane(int k) { return (k & 3) + ((k >> 3) << 2) + ((k & 4) << 1); }

void DisplayAll(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                int32_t knownOpacity, size_t n) {
  const size_t body = n & ~size_t{7};
  if (mode < 0 || mode >= kBlendModeCount ||
      !ForMode(mode, [&](const auto& blended) {
        Display(destination, upper, opacityTable, knownOpacity, body, blended);
      }))
    return blend_fast::DisplayRun(mode, destination, upper, opacityTable, n);
  if (body < n) blend_fast::DisplayRun(mode, destination + body, upper + body, opacityTable, n - body);
}

// ---- a stack of layers over one run ------------------------------------------------------
// The run is split into channel lanes once, kept so in a chunk while every layer goes over it,
// and put back together once: per layer only the upper pixels are split.

constexpr size_t kStackChunk = 256;  // pixels; the chunk's lanes take 2 KiB
constexpr size_t kStackGroups = kStackChunk / 16;

struct PlanarChunk {
  Planar group[kStackGroups];
};

template <typename Blended, typename Weights16>
void DisplayPlanarChunk(PlanarChunk& chunk, size_t groups, const uint32_t* up, const Weights16& weights,
                        const Blended& blended) {
  for (size_t k = 0; k < groups; ++k) {
    Planar& lower = chunk.group[k];
    const Planar upper = Deinterleave(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(up + 16 * k)),
                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(up + 16 * k + 8)));
    Planar f;
    blended.Colours(lower, upper, f);
    const __m256i t = weights(upper.a);
    lower.b = Mix16(lower.b, f.b, t);
    lower.g = Mix16(lower.g, f.g, t);
    lower.r = Mix16(lower.r, f.r, t);
  }
}

void SplitChunk(const uint32_t* pixels, size_t groups, PlanarChunk& chunk) {
  for (size_t k = 0; k < groups; ++k)
    chunk.group[k] = Deinterleave(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + 16 * k)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + 16 * k + 8)));
}

void JoinChunk(const PlanarChunk& chunk, size_t groups, uint32_t* pixels) {
  for (size_t k = 0; k < groups; ++k) {
    __m256i p0, p1;
    Interleave(chunk.group[k], p0, p1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 16 * k), p0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 16 * k + 8), p1);
  }
}

// One layer over the chunk. Modes without a lane form go through packed pixels and back.
void DisplayLayerOnChunk(PlanarChunk& chunk, size_t groups, const DisplayLayer& layer, size_t at) {
  // A mode outside 0…26 changes nothing.
  if (layer.mode < 0 || layer.mode >= kBlendModeCount) return;
  const uint32_t* up = layer.upper + at;
  ForMode(layer.mode, [&](const auto& blended) {
    using Blended = std::decay_t<decltype(blended)>;
    if constexpr (Blended::kPlanarDisplay) {
      if (layer.opacity >= 0)
        DisplayPlanarChunk(chunk, groups, up,
                           ComputedWeights16(ComputedWeights{_mm256_set1_epi32(layer.opacity), layer.opacity == 100}),
                           blended);
      else
        DisplayPlanarChunk(chunk, groups, up, GatheredWeights16(GatheredWeights{layer.opacityTable}), blended);
      return;
    }
    alignas(32) uint32_t packed[kStackChunk];
    JoinChunk(chunk, groups, packed);
    Display(packed, up, layer.opacityTable, layer.opacity, groups * 16, blended);
    SplitChunk(packed, groups, chunk);
  });
}

#undef VARNEL_HOT

}  // namespace

void DisplayStack(uint32_t* destination, const DisplayLayer* layers, size_t count, size_t n) {
  const size_t body = n & ~size_t{15};
  for (size_t at = 0; at < body; at += kStackChunk) {
    const size_t groups = std::min(kStackChunk, body - at) / 16;
    PlanarChunk chunk;
    SplitChunk(destination + at, groups, chunk);
    for (size_t i = 0; i < count; ++i) DisplayLayerOnChunk(chunk, groups, layers[i], at);
    JoinChunk(chunk, groups, destination + at);
  }
  if (body < n)
    for (size_t i = 0; i < count; ++i)
      DisplayAll(layers[i].mode, destination + body, layers[i].upper + body, layers[i].opacityTable,
                 layers[i].opacity, n - body);
}

void AnalyseHlsRun(const uint32_t* pixels, HlsParts* out, size_t n) {
  for (size_t i = 0; i < n; i += 16) {
    alignas(32) uint32_t block[16] = {};
    std::copy(pixels + i, pixels + std::min(n, i + 16), block);
    const Planar planar = Deinterleave(_mm256_load_si256(reinterpret_cast<const __m256i*>(block)),
                                       _mm256_load_si256(reinterpret_cast<const __m256i*>(block + 8)));
    const HlsParts16 parts = Analyse<true, true>(planar);
    alignas(32) int16_t lanes[9][16];
    const __m256i* from[9] = {&parts.lightness,     &parts.saturation,   &parts.hue.along,
                              &parts.hue.maxRed,    &parts.hue.maxGreen, &parts.hue.minRed,
                              &parts.hue.minGreen,  &parts.hue.minBlue,  &parts.hue.minBlue};
    for (int v = 0; v < 9; ++v) _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[v]), *from[v]);
    for (int k = 0; k < 16; ++k) {
      const size_t at = i + static_cast<size_t>(PixelOfLane(k));
      if (at >= n) continue;
      out[at].lightness = lanes[0][k];
      out[at].saturation = lanes[1][k];
      out[at].along = lanes[2][k];
      out[at].roles = static_cast<uint8_t>((lanes[3][k] & kMaxRed) | (lanes[4][k] & kMaxGreen) |
                                           (lanes[5][k] & kMinRed) | (lanes[6][k] & kMinGreen) |
                                           (lanes[7][k] & kMinBlue));
    }
  }
}

void SynthesiseHlsRun(const HlsParts* parts, uint32_t* pixels, size_t n) {
  for (size_t i = 0; i < n; i += 16) {
    alignas(32) int16_t lanes[8][16] = {};
    for (int k = 0; k < 16; ++k) {
      const size_t at = i + static_cast<size_t>(PixelOfLane(k));
      if (at >= n) continue;
      const HlsParts& p = parts[at];
      lanes[0][k] = p.lightness;
      lanes[1][k] = p.saturation;
      lanes[2][k] = p.along;
      const uint8_t bits[5] = {kMaxRed, kMaxGreen, kMinRed, kMinGreen, kMinBlue};
      for (int v = 0; v < 5; ++v) lanes[3 + v][k] = (p.roles & bits[v]) ? int16_t{-1} : int16_t{0};
    }
    auto load = [&](int v) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes[v])); };
    const HueRoles hue{load(3), load(4), load(5), load(6), load(7), load(2)};
    Planar out;
    Synthesise(hue, load(0), load(1), out);
    out.a = _mm256_setzero_si256();
    alignas(32) uint32_t block[16];
    Interleave(out, *reinterpret_cast<__m256i*>(block), *reinterpret_cast<__m256i*>(block + 8));
    std::copy(block, block + std::min<size_t>(16, n - i), pixels + i);
  }
}

void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n) {
  DisplayAll(mode, destination, upper, opacityTable, -1, n);
}

void DisplayRunAtOpacity(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                         int32_t opacity, size_t n) {
  DisplayAll(mode, destination, upper, opacityTable, opacity, n);
}

void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n) {
  const size_t body = n & ~size_t{7};
  if (mode < 0 || mode >= kBlendModeCount ||
      !ForMode(mode, [&](const auto& blended) { Merge(lower, upper, coverage, opacityWeight, out, body, blended); }))
    return blend_fast::MergeRun(mode, lower, upper, coverage, opacityWeight, out, n);
  if (body < n) blend_fast::MergeRun(mode, lower + body, upper + body, coverage + body, opacityWeight, out + body, n - body);
}

}  // namespace varnel::blend_avx2
