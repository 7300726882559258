// The HSV stage eight pixels at a time: the reference's integer steps in 32-bit lanes, its
// branches as masks and blends, its table reads as gathers.

#include <immintrin.h>

#include "colour/adjustments_p.h"

namespace varnel::adjust {
namespace {

inline __m256i Select(__m256i mask, __m256i ifSet, __m256i otherwise) {
  return _mm256_blendv_epi8(otherwise, ifSet, mask);
}

// (d × multiplier + 2^16) >> 17, lane by lane.
inline __m256i PlaceLanes(__m256i d, __m256i multiplier) {
  return _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(d, multiplier), _mm256_set1_epi32(1 << (kPlaceShift - 1))),
                           kPlaceShift);
}

// a ≥ b for unsigned lanes.
inline __m256i AtLeast(__m256i a, __m256i b) { return _mm256_cmpeq_epi32(_mm256_max_epu32(a, b), a); }

template <bool kHue>
void Run(uint32_t* pixels, size_t count, const HsvTables& tables) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i));
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(p, 16), byte);
    const __m256i g = _mm256_and_si256(_mm256_srli_epi32(p, 8), byte);
    const __m256i b = _mm256_and_si256(p, byte);
    const __m256i maximum = _mm256_max_epu32(_mm256_max_epu32(r, g), b);
    const __m256i minimum = _mm256_min_epu32(_mm256_min_epu32(r, g), b);
    const __m256i chroma = _mm256_sub_epi32(maximum, minimum);
    const __m256i index = _mm256_add_epi32(_mm256_slli_epi32(maximum, 8), chroma);
    const __m256i ends = _mm256_i32gather_epi32(reinterpret_cast<const int*>(tables.ends), index, 4);
    const __m256i newMinimum = _mm256_and_si256(ends, byte);
    const __m256i newMaximum = _mm256_and_si256(_mm256_srli_epi32(ends, 8), byte);
    __m256i outR, outG, outB;
    if constexpr (!kHue) {
      const __m256i multiplier = _mm256_i32gather_epi32(reinterpret_cast<const int*>(tables.place), index, 4);
      outR = _mm256_add_epi32(newMinimum, PlaceLanes(_mm256_sub_epi32(r, minimum), multiplier));
      outG = _mm256_add_epi32(newMinimum, PlaceLanes(_mm256_sub_epi32(g, minimum), multiplier));
      outB = _mm256_add_epi32(newMinimum, PlaceLanes(_mm256_sub_epi32(b, minimum), multiplier));
      // A grey has hue 0: red leads (green and blue are at the minimum already).
      outR = Select(_mm256_cmpeq_epi32(chroma, zero), newMaximum, outR);
    } else {
      const __m256i newChroma = _mm256_srli_epi32(ends, 16);
      const __m256i redMax = _mm256_cmpeq_epi32(r, maximum);
      const __m256i greenMax = _mm256_andnot_si256(redMax, _mm256_cmpeq_epi32(g, maximum));
      // Sector and part for each channel leading, then chosen by the leader.
      const __m256i greenOverBlue = AtLeast(g, b), redOverBlue = AtLeast(r, b), greenOverRed = AtLeast(g, r);
      const __m256i sectorR = Select(greenOverBlue, zero, _mm256_set1_epi32(5 * 256));
      const __m256i partR = Select(greenOverBlue, _mm256_sub_epi32(g, b), _mm256_sub_epi32(maximum, b));
      const __m256i sectorG = Select(redOverBlue, _mm256_set1_epi32(1 * 256), _mm256_set1_epi32(2 * 256));
      const __m256i partG = Select(redOverBlue, _mm256_sub_epi32(maximum, r), _mm256_sub_epi32(b, r));
      const __m256i sectorB = Select(greenOverRed, _mm256_set1_epi32(3 * 256), _mm256_set1_epi32(4 * 256));
      const __m256i partB = Select(greenOverRed, _mm256_sub_epi32(maximum, g), _mm256_sub_epi32(r, g));
      const __m256i sector = Select(redMax, sectorR, Select(greenMax, sectorG, sectorB));
      const __m256i part = Select(redMax, partR, Select(greenMax, partG, partB));
      const __m256i hueMultiplier = _mm256_i32gather_epi32(reinterpret_cast<const int*>(kHueMultipliers.data()), chroma, 4);
      __m256i step = _mm256_add_epi32(sector, PlaceLanes(part, hueMultiplier));
      // One turn is 1536 steps: below it, step − 1536 wraps to a larger number.
      step = _mm256_min_epu32(step, _mm256_sub_epi32(step, _mm256_set1_epi32(static_cast<int>(kHueSteps))));
      // Two-byte entries read four bytes at a time; the table's padding entry keeps the last
      // read inside it.
      step = _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(tables.hue), step, 2),
                              _mm256_set1_epi32(0xFFFF));
      const __m256i k = _mm256_srli_epi32(
          _mm256_add_epi32(_mm256_mullo_epi32(newChroma, _mm256_and_si256(step, byte)), _mm256_set1_epi32(128)), 8);
      const __m256i rising = _mm256_add_epi32(newMinimum, k);
      const __m256i falling = _mm256_sub_epi32(newMaximum, k);
      const __m256i s = _mm256_srli_epi32(step, 8);
      const auto is = [&](int value) { return _mm256_cmpeq_epi32(s, _mm256_set1_epi32(value)); };
      const __m256i s0 = is(0), s1 = is(1), s2 = is(2), s3 = is(3), s4 = is(4);
      // Sector by sector: red is max in 0 and 5, falling in 1, min in 2 and 3, rising in 4; and so on.
      outR = Select(s1, falling, Select(s4, rising, Select(_mm256_or_si256(s2, s3), newMinimum, newMaximum)));
      outG = Select(s0, rising, Select(s3, falling, Select(_mm256_or_si256(s1, s2), newMaximum, newMinimum)));
      outB = Select(s2, rising, Select(_mm256_or_si256(s3, s4), newMaximum, Select(_mm256_or_si256(s0, s1), newMinimum, falling)));
    }
    const __m256i out = _mm256_or_si256(
        _mm256_or_si256(_mm256_and_si256(p, _mm256_set1_epi32(static_cast<int>(0xFF000000u))), _mm256_slli_epi32(outR, 16)),
        _mm256_or_si256(_mm256_slli_epi32(outG, 8), outB));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), out);
  }
  HsvRunReference<kHue>(pixels + i, count - i, tables);
}

}  // namespace

void HsvRunAvx2(uint32_t* pixels, size_t count, const HsvTables& tables, bool hue) {
  if (hue) {
    Run<true>(pixels, count, tables);
  } else {
    Run<false>(pixels, count, tables);
  }
}

}  // namespace varnel::adjust
