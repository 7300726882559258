// AVX2 blend kernels: eight pixels at a time, channels widened to 16-bit lanes. The blended
// value is computed in the lanes for the modes whose rule is a few integer operations or an
// HLS recombination, and gathered from the F[b][s] table for the others. Every result
// equals the reference (the tests compare them).
//
// The weighting d + ((F - d) × t) >> 8 with t in 0…256 is done as one signed high multiply:
// ((F - d) << 7) × (t << 1) is (F - d) × t × 256, and its high 16 bits are the floor of
// (F - d) × t / 256, exactly the arithmetic shift of the rule.

#include <immintrin.h>

#include <algorithm>

#include "core/blend.h"
#include "core/blend/blend_p.h"
#include "core/colour_convert.h"

namespace varnel::blend_avx2 {
namespace {

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

// (x + 127) / 255 of products x = b × s, rounding exactly as the MUL table does.
inline __m256i Mul(__m256i b, __m256i s) {
  const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(b, s), _mm256_set1_epi16(128));
  return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
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


// ---- HLS, eight pixels at a time ----------------------------------------------------------
// The integer HLS rules with every branch turned into a select. Divisions by a divisor that
// depends on the pixel are done in single precision and truncated. That is exact here: every
// numerator is below 2^24 (so converts exactly), every quotient is below 2^10, so the correctly
// rounded quotient is within 2^-14 of the true one, while a quotient that is not whole lies at
// least 1 / 510 from the next integer. Negative quotients truncate toward zero, as the rule
// divides.

struct HlsLanes {
  __m256i hue, lightness, saturation;
};

inline __m256i DivideTruncating(__m256i numerator, __m256i divisor) {
  return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(numerator), _mm256_cvtepi32_ps(divisor)));
}

inline __m256i Select(__m256i condition, __m256i ifTrue, __m256i ifFalse) {
  return _mm256_blendv_epi8(ifFalse, ifTrue, condition);
}

// Only the components a mode uses are computed; the others are left 0.
template <bool kHue = true, bool kSaturation = true>
inline HlsLanes RgbToHls8(__m256i pixels) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const __m256i red = _mm256_and_si256(_mm256_srli_epi32(pixels, 16), byte);
  const __m256i green = _mm256_and_si256(_mm256_srli_epi32(pixels, 8), byte);
  const __m256i blue = _mm256_and_si256(pixels, byte);
  const __m256i high = _mm256_max_epi32(red, _mm256_max_epi32(green, blue));
  const __m256i low = _mm256_min_epi32(red, _mm256_min_epi32(green, blue));
  const __m256i difference = _mm256_sub_epi32(high, low);
  const __m256i sum = _mm256_add_epi32(high, low);
  const __m256i lightness = _mm256_srli_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(1)), 1);
  const __m256i grey = _mm256_cmpgt_epi32(_mm256_set1_epi32(4), difference);
  const __m256i one = _mm256_set1_epi32(1);
  // Greys divide by 1 instead of by a zero that would not be used.
  __m256i saturation = _mm256_setzero_si256();
  if constexpr (kSaturation) {
    __m256i divisor = Select(_mm256_cmpgt_epi32(lightness, _mm256_set1_epi32(127)),
                             _mm256_sub_epi32(_mm256_set1_epi32(510), sum), sum);
    divisor = Select(grey, one, divisor);
    const __m256i numerator =
        _mm256_add_epi32(_mm256_srli_epi32(divisor, 1), _mm256_mullo_epi32(_mm256_set1_epi32(255), difference));
    saturation = DivideTruncating(numerator, divisor);
  }
  __m256i hue = _mm256_setzero_si256();
  if constexpr (kHue) {
    const __m256i redHigh = _mm256_cmpeq_epi32(red, high);
    const __m256i greenHigh = _mm256_andnot_si256(redHigh, _mm256_cmpeq_epi32(green, high));
    const __m256i spread = Select(redHigh, _mm256_sub_epi32(green, blue),
                                  Select(greenHigh, _mm256_sub_epi32(blue, red), _mm256_sub_epi32(red, green)));
    const __m256i base = Select(redHigh, _mm256_setzero_si256(),
                                Select(greenHigh, _mm256_set1_epi32(120), _mm256_set1_epi32(240)));
    const __m256i hueDivisor = Select(grey, one, difference);
    const __m256i hueNumerator =
        _mm256_add_epi32(_mm256_srli_epi32(hueDivisor, 1), _mm256_mullo_epi32(_mm256_set1_epi32(60), spread));
    hue = _mm256_add_epi32(DivideTruncating(hueNumerator, hueDivisor), base);
    hue = _mm256_add_epi32(hue, _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), hue), _mm256_set1_epi32(360)));
    hue = _mm256_sub_epi32(hue, _mm256_and_si256(_mm256_cmpgt_epi32(hue, _mm256_set1_epi32(359)), _mm256_set1_epi32(360)));
  }
  return {_mm256_andnot_si256(grey, hue), lightness, _mm256_andnot_si256(grey, saturation)};
}

// x / 60 for 0 <= x <= 15330 (the largest interpolation numerator): (x × 34953) >> 21.
inline __m256i DivideBy60(__m256i x) { return _mm256_srli_epi32(_mm256_mullo_epi32(x, _mm256_set1_epi32(34953)), 21); }

inline __m256i HlsChannel(__m256i hue, __m256i m1, __m256i m2) {
  const __m256i turn = _mm256_set1_epi32(360);
  hue = _mm256_add_epi32(hue, _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), hue), turn));
  hue = _mm256_sub_epi32(hue, _mm256_and_si256(_mm256_cmpgt_epi32(hue, _mm256_set1_epi32(359)), turn));
  const __m256i below60 = _mm256_cmpgt_epi32(_mm256_set1_epi32(60), hue);
  const __m256i below180 = _mm256_cmpgt_epi32(_mm256_set1_epi32(180), hue);
  const __m256i below240 = _mm256_cmpgt_epi32(_mm256_set1_epi32(240), hue);
  const __m256i along = Select(below60, hue, _mm256_sub_epi32(_mm256_set1_epi32(240), hue));
  // Lanes that do not interpolate may compute a negative numerator; they are not selected.
  const __m256i ramp = _mm256_add_epi32(
      m1, DivideBy60(_mm256_add_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(m2, m1), along), _mm256_set1_epi32(30))));
  const __m256i flat = Select(below240, m2, m1);
  const __m256i interpolates = _mm256_or_si256(below60, _mm256_andnot_si256(below180, below240));
  return Select(interpolates, ramp, flat);
}

// Replaces blue, green and red of pixels; every lane in range.
inline __m256i HlsToRgb8(const HlsLanes& hls, __m256i pixels) {
  const __m256i l = hls.lightness, s = hls.saturation;
  const __m256i c127 = _mm256_set1_epi32(127), c255 = _mm256_set1_epi32(255);
  const __m256i light = _mm256_cmpgt_epi32(l, c127);
  // m2 = l + s − (l × s + 127) / 255 when light, else ((255 + s) × l + 127) / 255: one division.
  const __m256i numerator = _mm256_add_epi32(
      _mm256_mullo_epi32(Select(light, s, _mm256_add_epi32(c255, s)), l), c127);
  const __m256i quotient = DivideTruncating(numerator, c255);
  const __m256i m2 = Select(light, _mm256_sub_epi32(_mm256_add_epi32(l, s), quotient), quotient);
  const __m256i m1 = _mm256_sub_epi32(_mm256_add_epi32(l, l), m2);
  const __m256i c120 = _mm256_set1_epi32(120);
  const __m256i noSaturation = _mm256_cmpeq_epi32(s, _mm256_setzero_si256());
  const __m256i red = Select(noSaturation, l, HlsChannel(_mm256_add_epi32(hls.hue, c120), m1, m2));
  const __m256i green = Select(noSaturation, l, HlsChannel(hls.hue, m1, m2));
  const __m256i blue = Select(noSaturation, l, HlsChannel(_mm256_sub_epi32(hls.hue, c120), m1, m2));
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const __m256i colour = _mm256_or_si256(
      _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(red, byte), 16), _mm256_slli_epi32(_mm256_and_si256(green, byte), 8)),
      _mm256_and_si256(blue, byte));
  return _mm256_blendv_epi8(colour, pixels, _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
}

template <int kMode>
inline __m256i HlsPixels(__m256i lower, __m256i upper) {
  // 14 takes only the lower lightness; the upper pixel gives one component, except for 14.
  const HlsLanes l = kMode == 14 ? RgbToHls8<false, false>(lower) : RgbToHls8(lower);
  constexpr bool kUpperHue = kMode == 14 || kMode == 15;
  constexpr bool kUpperSaturation = kMode == 14 || kMode == 16 || kMode == 20 || kMode == 21;
  const HlsLanes u = RgbToHls8<kUpperHue, kUpperSaturation>(upper);
  const __m256i zero = _mm256_setzero_si256(), c255 = _mm256_set1_epi32(255);
  HlsLanes r = l;
  if constexpr (kMode == 14) r = {u.hue, l.lightness, u.saturation};
  if constexpr (kMode == 15) r.hue = u.hue;
  if constexpr (kMode == 16) r.saturation = u.saturation;
  if constexpr (kMode == 17) r.lightness = u.lightness;
  if constexpr (kMode == 18) r.lightness = _mm256_min_epi32(c255, _mm256_add_epi32(l.lightness, u.lightness));
  if constexpr (kMode == 19) r.lightness = _mm256_max_epi32(zero, _mm256_sub_epi32(l.lightness, u.lightness));
  if constexpr (kMode == 20) r.saturation = _mm256_min_epi32(c255, _mm256_add_epi32(l.saturation, u.saturation));
  if constexpr (kMode == 21) r.saturation = _mm256_max_epi32(zero, _mm256_sub_epi32(l.saturation, u.saturation));
  return HlsToRgb8(r, lower);
}

const __m256i kAlphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));

// The opacity a table was built for, when it is exactly BuildOpacityTable's table for it (the
// table of every layer); -1 otherwise. Its weights can then be computed instead of gathered.
int32_t StandardOpacity(const int32_t* table) {
  const int32_t opacity = table[100];
  if (opacity < 0 || opacity > 100) return -1;
  int32_t expected[256];
  BuildOpacityTable(opacity, expected);
  return std::equal(expected, expected + 256, table) ? opacity : -1;
}

// alpha × opacity / 100 for alpha × opacity <= 25500: (x × 5243) >> 19, and 256 for alpha 255
// at opacity 100, as the layer's table holds.
struct ComputedWeights {
  __m256i opacity;
  bool full;
  __m256i operator()(__m256i alpha) const {
    const __m256i x = _mm256_mullo_epi32(alpha, opacity);
    __m256i t = _mm256_srli_epi32(_mm256_mullo_epi32(x, _mm256_set1_epi32(5243)), 19);
    if (full) t = _mm256_sub_epi32(t, _mm256_cmpeq_epi32(alpha, _mm256_set1_epi32(255)));
    return t;
  }
};

struct GatheredWeights {
  const int32_t* table;
  __m256i operator()(__m256i alpha) const { return _mm256_i32gather_epi32(table, alpha, 4); }
};

template <typename BlendedLanes, typename Weights>
void DisplayWith(uint32_t* dst, const uint32_t* up, const Weights& weights, size_t n, BlendedLanes blended) {
  for (size_t i = 0; i + 8 <= n; i += 8) {
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
    const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(up + i));
    const __m256i t = weights(_mm256_srli_epi32(u, 24));
    const Lanes dl = Widen(d);
    const Lanes f = blended(d, u, dl);
    const Lanes weight = Spread(t);
    const __m256i mixed = Narrow({Mix(dl.lo, f.lo, weight.lo), Mix(dl.hi, f.hi, weight.hi)});
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_blendv_epi8(mixed, d, kAlphaMask));
  }
}

// Below this many pixels the table check costs more than gathering the weights.
constexpr size_t kComputedWeightsFrom = 1024;

template <typename BlendedLanes>
void Display(uint32_t* dst, const uint32_t* up, const int32_t* table, size_t n, BlendedLanes blended) {
  const int32_t opacity = n >= kComputedWeightsFrom ? StandardOpacity(table) : -1;
  if (opacity >= 0)
    DisplayWith(dst, up, ComputedWeights{_mm256_set1_epi32(opacity), opacity == 100}, n, blended);
  else
    DisplayWith(dst, up, GatheredWeights{table}, n, blended);
}

template <typename BlendedLanes>
void Merge(const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage, int32_t opacityWeight,
           uint32_t* out, size_t n, BlendedLanes blended) {
  // WEIGHT is read 32 bits at a time at 16-bit steps; the table carries a padding entry.
  const int16_t* weights = WeightTable();
  const __m256i o = _mm256_set1_epi32(opacityWeight);
  const __m256i c255 = _mm256_set1_epi32(255), c127 = _mm256_set1_epi32(127), one = _mm256_set1_epi32(1);
  const __m256i low16 = _mm256_set1_epi32(0xFFFF);
  for (size_t i = 0; i + 8 <= n; i += 8) {
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + i));
    const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + i));
    const __m256i c = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(coverage + i)));
    // c × O and (255 − Ab) × (a + 1) are at most 255 × 256, so 16-bit multiplies of the
    // 32-bit lanes (whose high halves are 0) give them exactly.
    const __m256i a1 = _mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi16(c, o), 8), one);
    const __m256i lowerAlpha = _mm256_srli_epi32(l, 24);
    const __m256i alpha = _mm256_add_epi32(
        lowerAlpha, _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi16(_mm256_sub_epi32(c255, lowerAlpha), a1), c127), 8));
    // Over opaque lower pixels A is 255 and WEIGHT[a + 1][255] is a + 1 itself.
    __m256i w;
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(lowerAlpha, c255)) == -1) {
      w = a1;
    } else {
      const __m256i index = _mm256_add_epi32(_mm256_slli_epi32(a1, 8), alpha);
      w = _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(weights), index, 2), low16);
    }
    const Lanes ll = Widen(l);
    const Lanes f = blended(l, u, ll);
    const Lanes weight = Spread(w);
    __m256i mixed = Narrow({Mix(ll.lo, f.lo, weight.lo), Mix(ll.hi, f.hi, weight.hi)});
    mixed = _mm256_blendv_epi8(mixed, _mm256_slli_epi32(alpha, 24), kAlphaMask);
    // Coverage 0 leaves the lower pixel as it was, alpha included.
    const __m256i untouched = _mm256_cmpeq_epi32(c, _mm256_setzero_si256());
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_blendv_epi8(mixed, l, untouched));
  }
}

template <int kMode>
struct ArithmeticMode {
  Lanes operator()(__m256i, __m256i u, const Lanes& b) const {
    const Lanes s = Widen(u);
    return {Channels<kMode>(b.lo, s.lo), Channels<kMode>(b.hi, s.hi)};
  }
};

struct TableMode {
  const uint8_t* table;
  Lanes operator()(__m256i l, __m256i u, const Lanes&) const { return Widen(TablePixels(table, l, u)); }
};

template <int kMode>
struct HlsMode {
  Lanes operator()(__m256i l, __m256i u, const Lanes&) const { return Widen(HlsPixels<kMode>(l, u)); }
};

template <int kMode>
struct DensityMode {
  Lanes operator()(__m256i l, __m256i u, const Lanes&) const { return Widen(DensityPixels<kMode>(l, u)); }
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

}  // namespace

void RgbToHlsRun(const uint32_t* pixels, HlsColour* out, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const HlsLanes lanes = RgbToHls8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i)));
    alignas(32) int32_t hue[8], lightness[8], saturation[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(hue), lanes.hue);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lightness), lanes.lightness);
    _mm256_store_si256(reinterpret_cast<__m256i*>(saturation), lanes.saturation);
    for (int k = 0; k < 8; ++k) out[i + k] = {hue[k], lightness[k], saturation[k]};
  }
  for (; i < n; ++i) out[i] = RgbToHls(pixels[i]);
}

void HlsToRgbRun(const HlsColour* hls, uint32_t* pixels, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    alignas(32) int32_t hue[8], lightness[8], saturation[8];
    for (int k = 0; k < 8; ++k) {
      hue[k] = hls[i + k].hue;
      lightness[k] = hls[i + k].lightness;
      saturation[k] = hls[i + k].saturation;
    }
    const HlsLanes lanes{_mm256_load_si256(reinterpret_cast<const __m256i*>(hue)),
                         _mm256_load_si256(reinterpret_cast<const __m256i*>(lightness)),
                         _mm256_load_si256(reinterpret_cast<const __m256i*>(saturation))};
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), HlsToRgb8(lanes, in));
  }
  for (; i < n; ++i) HlsToRgb(hls[i], reinterpret_cast<uint8_t*>(&pixels[i]));
}

void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n) {
  const size_t body = n & ~size_t{7};
  if (mode < 0 || mode >= kBlendModeCount ||
      !ForMode(mode, [&](auto blended) { Display(destination, upper, opacityTable, body, blended); }))
    return blend_fast::DisplayRun(mode, destination, upper, opacityTable, n);
  blend_fast::DisplayRun(mode, destination + body, upper + body, opacityTable, n - body);
}

void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n) {
  const size_t body = n & ~size_t{7};
  if (mode < 0 || mode >= kBlendModeCount ||
      !ForMode(mode, [&](auto blended) { Merge(lower, upper, coverage, opacityWeight, out, body, blended); }))
    return blend_fast::MergeRun(mode, lower, upper, coverage, opacityWeight, out, n);
  blend_fast::MergeRun(mode, lower + body, upper + body, coverage + body, opacityWeight, out + body, n - body);
}

}  // namespace varnel::blend_avx2
