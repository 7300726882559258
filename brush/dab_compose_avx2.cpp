// AVX2 kernels for ComposeDab and FinishDab, eight pixels per step in 32-bit lanes. Every
// product and shift is the reference's, lane by lane; the tails go through the reference.

#include <immintrin.h>

#include "brush/dab_compose.h"
#include "brush/dab_compose_p.h"

namespace varnel::dab_avx2 {
namespace {

inline __m256i ChannelOf(__m256i pixels, int shift) {
  return _mm256_and_si256(_mm256_srli_epi32(pixels, shift), _mm256_set1_epi32(0xFF));
}

// c + floor((t − c) × weight / 256) for one channel in every lane.
inline __m256i MoveChannel(__m256i from, __m256i to, __m256i weight) {
  return _mm256_add_epi32(from, _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(to, from), weight), 8));
}

}  // namespace

void MixTowardTargets(size_t count, uint32_t* result, const uint32_t* old, const uint32_t* targets,
                      const uint8_t* mask, int32_t opacity, bool affectAlpha, const int16_t* weights) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i opacityLanes = _mm256_set1_epi32(opacity);
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i full = _mm256_set1_epi32(255);
  const __m256i rounding = _mm256_set1_epi32(127);
  const __m256i low16 = _mm256_set1_epi32(0xFFFF);
  const __m256i alphaBits = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(targets + i));
    const __m256i maskLanes = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mask + i)));
    const __m256i unmasked = _mm256_cmpeq_epi32(maskLanes, zero);
    if (_mm256_movemask_epi8(unmasked) == -1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(result + i), o);
      continue;
    }
    // m = mask × opacity / 256 + 1, A' = A + ((255 − A) × m + 127) >> 8, k = WEIGHT[m][A'].
    const __m256i m = _mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi32(maskLanes, opacityLanes), 8), one);
    const __m256i a = _mm256_srli_epi32(o, 24);
    const __m256i newAlpha =
        _mm256_add_epi32(a, _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(full, a), m), rounding), 8));
    // The table is 16-bit; each gather reads 32 bits (the table is padded for the last entry).
    const __m256i index = _mm256_add_epi32(_mm256_slli_epi32(m, 8), newAlpha);
    const __m256i k = _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(weights), index, 2), low16);
    const __m256i blue = MoveChannel(ChannelOf(o, 0), ChannelOf(t, 0), k);
    const __m256i green = MoveChannel(ChannelOf(o, 8), ChannelOf(t, 8), k);
    const __m256i red = MoveChannel(ChannelOf(o, 16), ChannelOf(t, 16), k);
    __m256i out = _mm256_or_si256(blue, _mm256_or_si256(_mm256_slli_epi32(green, 8), _mm256_slli_epi32(red, 16)));
    if (affectAlpha) {
      out = _mm256_or_si256(out, _mm256_slli_epi32(newAlpha, 24));
    } else {
      out = _mm256_or_si256(out, _mm256_and_si256(o, alphaBits));
      out = _mm256_blendv_epi8(out, o, _mm256_cmpeq_epi32(a, zero));
    }
    out = _mm256_blendv_epi8(out, o, unmasked);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(result + i), out);
  }
  if (i < count) {
    // The tail: targets already computed, so the normal rule with them as paint is the rule.
    uint8_t tailMask[8];
    for (size_t j = i; j < count; ++j) tailMask[j - i] = mask[j];
    dab_reference::ComposeDab(count - i, result + i, old + i, targets + i, tailMask, opacity, kComposeNormal,
                              nullptr, affectAlpha);
  }
}

void FinishDab(size_t count, const uint32_t* old, uint32_t* result, int32_t opacity, bool affectAlpha) {
  if (affectAlpha && opacity == 256) return;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i weight = _mm256_set1_epi32(opacity);
  const __m256i colourBits = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i alphaBits = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(result + i));
    const __m256i transparent = _mm256_cmpeq_epi32(_mm256_srli_epi32(o, 24), zero);
    const __m256i blue = MoveChannel(ChannelOf(o, 0), ChannelOf(r, 0), weight);
    const __m256i green = MoveChannel(ChannelOf(o, 8), ChannelOf(r, 8), weight);
    const __m256i red = MoveChannel(ChannelOf(o, 16), ChannelOf(r, 16), weight);
    __m256i colour = _mm256_or_si256(blue, _mm256_or_si256(_mm256_slli_epi32(green, 8), _mm256_slli_epi32(red, 16)));
    __m256i out;
    if (affectAlpha) {
      const __m256i alpha = MoveChannel(_mm256_srli_epi32(o, 24), _mm256_srli_epi32(r, 24), weight);
      // Over a transparent old pixel the result's colour stays.
      colour = _mm256_blendv_epi8(colour, _mm256_and_si256(r, colourBits), transparent);
      out = _mm256_or_si256(colour, _mm256_slli_epi32(alpha, 24));
    } else {
      out = _mm256_or_si256(colour, _mm256_and_si256(o, alphaBits));
      out = _mm256_blendv_epi8(out, o, transparent);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(result + i), out);
  }
  if (i < count) dab_reference::FinishDab(count - i, old + i, result + i, opacity, nullptr, affectAlpha);
}

}  // namespace varnel::dab_avx2
