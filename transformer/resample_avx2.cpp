// AVX2 inner loops of the resamplers: the four channels of a pixel side by side in one
// register of doubles. Each lane does exactly the reference's multiplications and additions in
// the reference's order (no fused multiply-add), so the bytes are the reference's. Nothing here
// calls an inline helper shared with other files: a copy built for AVX2 must never stand in
// for theirs.

#include <immintrin.h>

#include "transformer/resample_p.h"

namespace varnel::transform_detail {
namespace {

// The four bytes of a pixel as four doubles, blue first.
inline __m256d LoadPixel(const uint8_t* pixel) {
  int32_t bytes;
  __builtin_memcpy(&bytes, pixel, 4);
  return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes)));
}

// Truncates four doubles toward zero, holds them to 0…255 (NaN gives 0, as ClampTruncated
// does) and packs them into a pixel.
inline uint32_t PackPixel(__m256d value) {
  value = _mm256_max_pd(value, _mm256_setzero_pd());  // the second operand wins for NaN
  value = _mm256_min_pd(value, _mm256_set1_pd(255.0));
  const __m128i words = _mm256_cvttpd_epi32(value);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packus_epi32(words, words), words)));
}

// A truncated weighted sum packed as TruncatedSum packs each channel.
inline uint32_t PackTruncatedSum(__m256d value) {
  return PackPixel(_mm256_add_pd(value, _mm256_set1_pd(kTruncationSlack)));
}

inline void StorePixel(uint8_t* out, uint32_t pixel) { __builtin_memcpy(out, &pixel, 4); }

// Blue, green and red of the four samples weighed (1 − ax)(1 − ay), ax(1 − ay), (1 − ax)ay,
// ax·ay in that order, with the first sample's alpha.
inline uint32_t Bilinear(const uint8_t* s0, const uint8_t* s1, const uint8_t* s2, const uint8_t* s3, double ax,
                         double ay) {
  const double bx = 1.0 - ax, by = 1.0 - ay;
  __m256d sum = _mm256_mul_pd(_mm256_set1_pd(bx * by), LoadPixel(s0));
  sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(ax * by), LoadPixel(s1)));
  sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(bx * ay), LoadPixel(s2)));
  sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(ax * ay), LoadPixel(s3)));
  return (PackTruncatedSum(sum) & 0x00FFFFFFu) | (uint32_t(s0[3]) << 24);
}

// The weighted sum of one pixel over its rows and columns, rows outer.
struct Weighted {
  __m256d sum;
  double weights;
};

inline Weighted WeighOne(const WeightedRow& row, int32_t i) {
  const uint8_t* const* rows = row.rows;
  const int32_t first = row.columnFirst[i], columns = row.columnCount[i];
  const double* columnWeights = row.columnWeights + size_t(i) * size_t(row.columnStride);
  Weighted w{_mm256_setzero_pd(), 0.0};
  for (int32_t r = 0; r < row.rowCount; ++r) {
    const uint8_t* pixel = rows[r] + size_t(first) * 4;
    const double rowWeight = row.rowWeights[r];
    for (int32_t c = 0; c < columns; ++c) {
      const double weight = columnWeights[c] * rowWeight;
      w.sum = _mm256_add_pd(w.sum, _mm256_mul_pd(_mm256_set1_pd(weight), LoadPixel(pixel + c * 4)));
      w.weights += weight;
    }
  }
  return w;
}

// N pixels with the same number of columns at once: their sums are independent, so the
// processor works on all of them while any one waits for an addition.
template <int N>
inline void WeighMany(const WeightedRow& row, int32_t i, Weighted (&w)[N]) {
  const uint8_t* pixels[N];
  const double* columnWeights[N];
  for (int p = 0; p < N; ++p) {
    w[p] = {_mm256_setzero_pd(), 0.0};
    columnWeights[p] = row.columnWeights + size_t(i + p) * size_t(row.columnStride);
  }
  const int32_t columns = row.columnCount[i];
  for (int32_t r = 0; r < row.rowCount; ++r) {
    for (int p = 0; p < N; ++p) pixels[p] = row.rows[r] + size_t(row.columnFirst[i + p]) * 4;
    const double rowWeight = row.rowWeights[r];
    for (int32_t c = 0; c < columns; ++c) {
      for (int p = 0; p < N; ++p) {
        const double weight = columnWeights[p][c] * rowWeight;
        w[p].sum = _mm256_add_pd(w[p].sum, _mm256_mul_pd(_mm256_set1_pd(weight), LoadPixel(pixels[p] + c * 4)));
        w[p].weights += weight;
      }
    }
  }
}

inline void Finish(const WeightedRow& row, int32_t i, const Weighted& w) {
  const __m256d value = _mm256_div_pd(w.sum, _mm256_set1_pd(w.weights));
  uint32_t pixel;
  if (row.kernel)
    pixel = PackPixel(_mm256_add_pd(value, _mm256_set1_pd(0.5)));
  else
    pixel = (PackTruncatedSum(value) & 0x00FFFFFFu) | (uint32_t(row.rows[0][size_t(row.columnFirst[i]) * 4 + 3]) << 24);
  StorePixel(row.out + size_t(i) * 4, pixel);
}

}  // namespace

void WeightedPixelsAvx2(const WeightedRow& row) {
  constexpr int kTogether = 4;
  int32_t i = 0;
  while (i < row.count) {
    bool same = i + kTogether <= row.count;
    for (int p = 1; same && p < kTogether; ++p) same = row.columnCount[i + p] == row.columnCount[i];
    if (same) {
      Weighted w[kTogether];
      WeighMany(row, i, w);
      for (int p = 0; p < kTogether; ++p) Finish(row, i + p, w[p]);
      i += kTogether;
    } else {
      Finish(row, i, WeighOne(row, i));
      ++i;
    }
  }
}

void BilinearResizeRowAvx2(const BilinearResizeRow& row) {
  for (int32_t i = 0; i < row.count; ++i) {
    const uint8_t* s1 = row.top + size_t(row.x1[i]) * 4;
    const uint8_t* s2 = row.bottomInside ? row.bottom + size_t(row.x0[i]) * 4 : s1;
    StorePixel(row.out + size_t(i) * 4,
               Bilinear(row.top + size_t(row.x0[i]) * 4, s1, s2, row.bottom + size_t(row.x1[i]) * 4, row.ax[i], row.ay));
  }
}

void RotateRowAvx2(RotateRow& row) {
  const int32_t w = row.width, h = row.height;
  for (int32_t i = 0; i < row.count; ++i) {
    const double sx = row.xCos[i] + row.ySin;
    const double sy = row.yCos - row.xSin[i];
    // Beyond the int range is far outside the source; inside, truncation toward zero.
    if (!(sx > -2147483647.0 && sx < 2147483647.0 && sy > -2147483647.0 && sy < 2147483647.0)) continue;
    const int32_t x0 = static_cast<int32_t>(sx), y0 = static_cast<int32_t>(sy);
    if (x0 < 0 || x0 >= w || y0 < 0 || y0 >= h) continue;
    const uint8_t* s0 = row.rows[y0] + size_t(x0) * 4;
    const bool right = x0 + 1 < w, below = y0 + 1 < h;
    const uint8_t* s1 = right ? s0 + 4 : s0;
    const uint8_t* s2 = below ? row.rows[y0 + 1] + size_t(x0) * 4 : s1;
    const uint8_t* s3 = right && below ? s2 + 4 : s2;
    // A position in (−1, 0) is read at 0.
    const double ax = sx - x0 > 0.0 ? sx - x0 : 0.0;
    const double ay = sy - y0 > 0.0 ? sy - y0 : 0.0;
    StorePixel(row.out + size_t(i) * 4, Bilinear(s0, s1, s2, s3, ax, ay));
    if (i < row.left) row.left = i;
    if (i > row.right) row.right = i;
  }
}

}  // namespace varnel::transform_detail
