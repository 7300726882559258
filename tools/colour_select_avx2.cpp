// The AVX2 kernel of the RGB matcher; this file alone is built with -mavx2 and is reached only
// after a run-time CPU check.

#include <immintrin.h>

#include "tools/colour_select_p.h"

namespace varnel::colour_select_internal {

void ClassifyRgbAvx2(const uint32_t* pixels, size_t count, uint32_t reference, uint8_t tolerance, uint8_t value,
                     uint8_t* out) {
  // |p − r| per byte is (p ⊖ r) | (r ⊖ p) with saturating subtraction; it exceeds the tolerance
  // exactly where (|p − r| ⊖ t) is not 0. Alpha bytes are masked off before the test.
  const __m256i ref = _mm256_set1_epi32(static_cast<int32_t>(reference));
  const __m256i tol = _mm256_set1_epi8(static_cast<char>(tolerance));
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i fill = _mm256_set1_epi8(static_cast<char>(value));
  // The two packs interleave the four vectors by 128-bit lane; this puts the pixels back in order.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const auto accepted = [&](const uint32_t* p) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i difference = _mm256_or_si256(_mm256_subs_epu8(v, ref), _mm256_subs_epu8(ref, v));
    const __m256i over = _mm256_and_si256(_mm256_subs_epu8(difference, tol), colour);
    return _mm256_cmpeq_epi32(over, zero);  // all ones where accepted
  };
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i a01 = _mm256_packs_epi32(accepted(pixels + i), accepted(pixels + i + 8));
    const __m256i a23 = _mm256_packs_epi32(accepted(pixels + i + 16), accepted(pixels + i + 24));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packs_epi16(a01, a23), order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_and_si256(bytes, fill));
  }
  if (i < count) ClassifyRgbScalar(pixels + i, count - i, reference, tolerance, value, out + i);
}

}  // namespace varnel::colour_select_internal
