#include "core/area_shrink.h"

#include <emmintrin.h>

#include <algorithm>
#include <vector>

#include "core/bands.h"
#include "core/surface.h"

namespace varnel {
namespace {

// Sums of four channels, as four 32-bit lanes, to the rounded means over count pixels. The
// reciprocal is taken a little large, so that an exact half never falls below itself, yet small
// enough that for count ≤ 2^24 no mean reaches the next whole number: the result is
// ⌊sum / count + 1/2⌋ exactly.
struct MeanOf {
  explicit MeanOf(uint32_t count) : reciprocal(_mm_set1_pd((1.0 + 0x1p-48) / count)), half(_mm_set1_pd(count * 0.5)) {}
  uint32_t operator()(__m128i sums) const {
    const __m128d low = _mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(sums), half), reciprocal);
    const __m128d high = _mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(sums, 0xEE)), half), reciprocal);
    const __m128i whole = _mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high));
    const __m128i words = _mm_packs_epi32(whole, whole);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
  }
  __m128d reciprocal, half;
};

// The box's rows summed per byte of the source span. Sixteen-bit sums hold up to 257 rows,
// taken sixteen bytes at a time down the rows; taller boxes add up in 32 bits.
class ColumnSums {
 public:
  explicit ColumnSums(size_t bytes) : m_bytes(bytes), m_narrow(bytes), m_wide() {}
  void Take(const uint8_t* const* rows, int32_t count) {
    m_tall = count > 257;
    if (m_tall) {
      m_wide.assign(m_bytes, 0);
      for (int32_t r = 0; r < count; ++r)
        for (size_t k = 0; k < m_bytes; ++k) m_wide[k] += rows[r][k];
      return;
    }
    const __m128i zero = _mm_setzero_si128();
    size_t k = 0;
    for (; k + 16 <= m_bytes; k += 16) {
      __m128i low = zero, high = zero;
      for (int32_t r = 0; r < count; ++r) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + k));
        low = _mm_add_epi16(low, _mm_unpacklo_epi8(v, zero));
        high = _mm_add_epi16(high, _mm_unpackhi_epi8(v, zero));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(m_narrow.data() + k), low);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(m_narrow.data() + k + 8), high);
    }
    for (; k < m_bytes; ++k) {
      uint16_t sum = 0;
      for (int32_t r = 0; r < count; ++r) sum = static_cast<uint16_t>(sum + rows[r][k]);
      m_narrow[k] = sum;
    }
  }
  // The four channels of columns first … end − 1 added up.
  __m128i Across(int32_t first, int32_t end) const {
    __m128i sums = _mm_setzero_si128();
    if (m_tall) {
      for (int32_t x = first; x < end; ++x)
        sums = _mm_add_epi32(sums, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_wide.data() + 4 * size_t(x))));
      return sums;
    }
    const __m128i zero = _mm_setzero_si128();
    for (int32_t x = first; x < end; ++x) {
      const __m128i four = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(m_narrow.data() + 4 * size_t(x)));
      sums = _mm_add_epi32(sums, _mm_unpacklo_epi16(four, zero));
    }
    return sums;
  }

 private:
  size_t m_bytes;
  bool m_tall = false;
  std::vector<uint16_t> m_narrow;
  std::vector<uint32_t> m_wide;
};

}  // namespace

bool ShrinkByAveraging(const uint32_t* top, ptrdiff_t rowStep, int32_t columns, int32_t rows, int32_t width,
                       int32_t height, uint32_t* out, size_t stride) {
  const int64_t sw = columns, sh = rows;
  if (top == nullptr || out == nullptr || width < 1 || height < 1 || width > sw || height > sh ||
      stride < static_cast<size_t>(width))
    return false;
  // A box holds at most ⌈sw / width⌉ · ⌈sh / height⌉ pixels; the means are exact up to 2^24.
  const uint64_t largestBox =
      static_cast<uint64_t>((sw + width - 1) / width) * static_cast<uint64_t>((sh + height - 1) / height);
  if (largestBox > (uint64_t{1} << 24)) return false;

  std::vector<int32_t> columnEnd(static_cast<size_t>(width));
  for (int32_t i = 0; i < width; ++i) columnEnd[static_cast<size_t>(i)] = static_cast<int32_t>((i + 1) * sw / width);
  const bool large = sw * sh >= int64_t{1} << 20;
  RunInTwoBands(large, 0, height, [&](int32_t first, int32_t end) {
    ColumnSums sums(static_cast<size_t>(sw) * 4);
    std::vector<const uint8_t*> boxRows;
    for (int32_t j = first; j < end; ++j) {
      const int32_t y0 = static_cast<int32_t>(j * sh / height);
      const int32_t y1 = static_cast<int32_t>((j + 1) * sh / height);
      boxRows.clear();
      for (int32_t y = y0; y < y1; ++y) boxRows.push_back(reinterpret_cast<const uint8_t*>(top + y * rowStep));
      sums.Take(boxRows.data(), y1 - y0);
      uint32_t* row = out + static_cast<size_t>(j) * stride;
      // Boxes of one size share their reciprocal; the widths differ by one at most.
      uint32_t lastCount = 0;
      MeanOf mean(1);
      int32_t x = 0;
      for (int32_t i = 0; i < width; ++i) {
        const int32_t xEnd = columnEnd[static_cast<size_t>(i)];
        const uint32_t count = static_cast<uint32_t>(y1 - y0) * static_cast<uint32_t>(xEnd - x);
        if (count != lastCount) {
          mean = MeanOf(count);
          lastCount = count;
        }
        row[i] = mean(sums.Across(x, xEnd));
        x = xEnd;
      }
    }
  });
  return true;
}


bool ShrinkByAveraging(const ImageSurface& surface, const Rect& source, int32_t width, int32_t height,
                       uint32_t* out, size_t stride) {
  if (surface.Bits() == nullptr || source.left < 0 || source.top < 0 || source.right > surface.Width() ||
      source.bottom > surface.Height() || source.right <= source.left || source.bottom <= source.top)
    return false;
  // The rows lie bottom-up, one stride apart.
  return ShrinkByAveraging(surface.Row(source.top) + source.left, -static_cast<ptrdiff_t>(surface.Stride() / 4),
                           source.right - source.left, source.bottom - source.top, width, height, out, stride);
}

}  // namespace varnel
