// AVX2 blend kernels: eight pixels at a time, channels widened to 16-bit lanes. The blended
// value is computed in the lanes for the modes whose rule is a few integer operations, and
// gathered from the F[b][s] table for the others; whole-pixel modes other than 7 and 8 stay
// with the scalar kernels. Every result equals the reference (the tests compare them).
//
// The weighting d + ((F - d) × t) >> 8 with t in 0…256 is done as one signed high multiply:
// ((F - d) << 7) × (t << 1) is (F - d) × t × 256, and its high 16 bits are the floor of
// (F - d) × t / 256, exactly the arithmetic shift of the rule.

#include <immintrin.h>

#include "core/blend.h"
#include "core/blend/blend_p.h"

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

const __m256i kAlphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));

template <typename BlendedLanes>
void Display(uint32_t* dst, const uint32_t* up, const int32_t* table, size_t n, BlendedLanes blended) {
  for (size_t i = 0; i + 8 <= n; i += 8) {
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
    const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(up + i));
    const __m256i t = _mm256_i32gather_epi32(table, _mm256_srli_epi32(u, 24), 4);
    const Lanes dl = Widen(d);
    const Lanes f = blended(d, u, dl);
    const Lanes weight = Spread(t);
    const __m256i mixed = Narrow({Mix(dl.lo, f.lo, weight.lo), Mix(dl.hi, f.hi, weight.hi)});
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_blendv_epi8(mixed, d, kAlphaMask));
  }
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
    const __m256i a1 = _mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi32(c, o), 8), one);
    const __m256i lowerAlpha = _mm256_srli_epi32(l, 24);
    const __m256i alpha = _mm256_add_epi32(
        lowerAlpha, _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(c255, lowerAlpha), a1), c127), 8));
    const __m256i index = _mm256_add_epi32(_mm256_slli_epi32(a1, 8), alpha);
    const __m256i w = _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(weights), index, 2), low16);
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
    case 9: frame(ArithmeticMode<9>{}); return true;
    case 10: frame(ArithmeticMode<10>{}); return true;
    case 11: frame(ArithmeticMode<11>{}); return true;
    case 13: frame(ArithmeticMode<13>{}); return true;
    case 22: frame(ArithmeticMode<22>{}); return true;
    case 25: frame(ArithmeticMode<25>{}); return true;
    case 12:
    case 23:
    case 24:
    case 26: frame(TableMode{blend_fast::ChannelTable(mode)}); return true;
    default: return false;
  }
}

}  // namespace

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
