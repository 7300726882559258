// The AVX2 accumulate kernel of Region::Feather; this file alone is built with -mavx2 and is
// reached only after a run-time CPU check.

#include <immintrin.h>

#include "core/region_feather_p.h"

namespace varnel::feather_internal {

void AccumulateAvx2(const KernelRow* rows, int32_t rowCount, int32_t outputs, uint32_t* acc) {
  // madd_epi16 multiplies the (byte, next byte) halves of eight pair values by one weight pair
  // and adds each product pair: 16 multiply-adds per instruction. Weights <= 256 and bytes
  // <= 255 are positive int16 values, and one pair sum is at most 130560, so the signed 32-bit
  // lanes never overflow; the caller bounds the running totals below 2^32, and adds wrap, so
  // the lanes read back as unsigned totals.
  int32_t o = 0;
  // Four vectors of outputs per weight broadcast keep the running sums in registers for the
  // whole table instead of storing them once per table row.
  for (; o + 32 <= outputs; o += 32) {
    __m256i a0 = _mm256_setzero_si256();
    __m256i a1 = _mm256_setzero_si256();
    __m256i a2 = _mm256_setzero_si256();
    __m256i a3 = _mm256_setzero_si256();
    for (int32_t r = 0; r < rowCount; ++r) {
      const uint32_t* pairs = rows[r].pairs + o;
      const uint32_t* weights = rows[r].weights;
      const int32_t count = rows[r].pairCount;
      for (int32_t p = 0; p < count; ++p) {
        const __m256i w = _mm256_set1_epi32(static_cast<int32_t>(weights[p]));
        const uint32_t* s = pairs + 2 * p;
        a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s)), w));
        a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 8)), w));
        a2 = _mm256_add_epi32(a2, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 16)), w));
        a3 = _mm256_add_epi32(a3, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 24)), w));
      }
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + o), a0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + o + 8), a1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + o + 16), a2);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + o + 24), a3);
  }
  // The tail in whole vectors: up to seven values past outputs land in the caller's slack.
  for (; o < outputs; o += 8) {
    __m256i a0 = _mm256_setzero_si256();
    for (int32_t r = 0; r < rowCount; ++r) {
      const uint32_t* pairs = rows[r].pairs + o;
      const uint32_t* weights = rows[r].weights;
      const int32_t count = rows[r].pairCount;
      for (int32_t p = 0; p < count; ++p) {
        const __m256i w = _mm256_set1_epi32(static_cast<int32_t>(weights[p]));
        a0 = _mm256_add_epi32(
            a0, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + 2 * p)), w));
      }
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + o), a0);
  }
}

}  // namespace varnel::feather_internal
