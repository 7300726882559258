// The fast paths of the enlargement, the rotation and the blur, with SSE2 on two cores; each
// gives the bytes of its reference in effects.cpp.

#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "animorph/effects_p.h"
#include "core/bands.h"

namespace varnel::animorph::detail {

namespace {
//
// The bilinear mix runs in two steps without rounding between them: per channel
// V = (256 − fy) top + fy bottom (at most 65280), then (256 − fx) V(x0) + fx V(x1), which is
// Σ c × w exactly. V is held less 32768 so that it fits a signed 16-bit lane of pmaddwd; the
// 256 × 32768 that takes off the second sum is added back before the shift. The enlargement
// gives alpha the weights 256 and 0, which pick one neighbour whole (65536 a >> 16 is a); the
// rotation puts the top-left neighbour's alpha in afterwards.

// Work below this many pixels stays on one thread; starting the second costs more than it saves.
constexpr int64_t kSplitPixels = int64_t{1} << 17;

constexpr int32_t kMixBias = 32768;

// pmaddwd weights of one channel: first for the lower lane of a pair, second for the upper.
inline int32_t WeightPair(int32_t first, int32_t second) { return first | second << 16; }

// Sums (256 × V − 2^23 in 32-bit lanes) to the channel bytes in the low lanes.
inline __m128i Unbias(__m128i sums) {
  return _mm_srli_epi32(_mm_add_epi32(sums, _mm_set1_epi32(256 * kMixBias)), 16);
}

// Four results of Unbias to four pixels, and one.
inline __m128i PackPixels(__m128i p0, __m128i p1, __m128i p2, __m128i p3) {
  return _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
}
inline uint32_t PackPixel(__m128i p) {
  const __m128i words = _mm_packs_epi32(p, p);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

// V less the bias for count pixels of two rows, four 16-bit lanes a pixel, weighted per lane.
void MixRowPair(const uint32_t* top, const uint32_t* bottom, int32_t count, __m128i topWeights,
                __m128i bottomWeights, int16_t* out) {
  const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const auto mix = [&](__m128i t, __m128i b) {
    return _mm_xor_si128(_mm_add_epi16(_mm_mullo_epi16(t, topWeights), _mm_mullo_epi16(b, bottomWeights)), bias);
  };
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i),
                     mix(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(b, zero)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i + 8),
                     mix(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(b, zero)));
  }
  for (; i < count; ++i) {
    const __m128i t = _mm_cvtsi32_si128(static_cast<int32_t>(top[i]));
    const __m128i b = _mm_cvtsi32_si128(static_cast<int32_t>(bottom[i]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i),
                     mix(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(b, zero)));
  }
}

// pmaddwd weights of the four channels of one target column.
struct ColumnWeights {
  int32_t lanes[4];
};

// Target pixel x mixes entries x0s[x] and x0s[x] + 1 of the row pair's V with weights[x].
void MixColumns(const int16_t* mixed, const int32_t* x0s, const ColumnWeights* weights, int32_t count,
                uint32_t* out) {
  const auto pixel = [&](int32_t x) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mixed + 4 * x0s[x]));
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights[x].lanes));
    return Unbias(_mm_madd_epi16(_mm_unpacklo_epi16(v, _mm_srli_si128(v, 8)), w));
  };
  int32_t x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i p0 = pixel(x), p1 = pixel(x + 1), p2 = pixel(x + 2), p3 = pixel(x + 3);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), PackPixels(p0, p1, p2, p3));
  }
  for (; x < count; ++x) out[x] = PackPixel(pixel(x));
}

}  // namespace

// The enlargement a row at a time: the two source rows mixed once over the columns the row
// reads, then each target pixel from two neighbouring entries. The alpha weights pick the
// nearest source pixel, which is always one of the four: the rounded position is x0 + 1 exactly
// when fx ≥ 128, and held at the last column like x1.
int32_t EnlargeFast(const Frame& f, const VarnelEnlargeObject* object) {
  if (!object || object->percent <= 99) return -1;
  const Enlargement e = MeasureEnlargement(f, object->percent);
  const int32_t lastX0 = static_cast<int32_t>(((e.width - 1) * e.stepX) >> 8);
  // The entry after the last column repeats it, so x1 = x0 + 1 holds at the right edge too.
  const int32_t mixedColumns = std::min(lastX0 + 2, f.src.width);
  const size_t entries = static_cast<size_t>(lastX0) + 2;
  const bool split = static_cast<int64_t>(e.width) * e.height >= kSplitPixels;
  std::unique_ptr<int32_t[]> x0s(new (std::nothrow) int32_t[e.width]);
  std::unique_ptr<ColumnWeights[]> weights(new (std::nothrow) ColumnWeights[e.width]);
  std::unique_ptr<int16_t[]> mixed(new (std::nothrow) int16_t[entries * 4 * (split ? 2 : 1)]);
  // Without room for its tables the reference, which needs less, may still manage.
  if (!x0s || !weights || !mixed) return ReferenceEnlarge(f, object);
  for (int32_t x = 0; x < e.width; ++x) {
    const int64_t px = x * e.stepX;
    const int32_t fx = static_cast<int32_t>(px & 255);
    x0s[x] = static_cast<int32_t>(px >> 8);
    const int32_t colour = WeightPair(256 - fx, fx), alpha = fx >= 128 ? WeightPair(0, 256) : WeightPair(256, 0);
    weights[x] = {{colour, colour, colour, alpha}};
  }
  RunInTwoBands(split, 0, e.height, [&](int32_t begin, int32_t end) {
    int16_t* row = mixed.get() + (begin == 0 ? 0 : entries * 4);
    for (int32_t y = begin; y < end; ++y) {
      const int64_t py = y * e.stepY;
      const int32_t y0 = static_cast<int32_t>(py >> 8);
      const int16_t fy = static_cast<int16_t>(py & 255);
      // Colour weights t and b; alpha all from the nearer row.
      const int16_t t = static_cast<int16_t>(256 - fy), b = fy;
      const int16_t ta = fy >= 128 ? 0 : 256, ba = static_cast<int16_t>(256 - ta);
      MixRowPair(f.src.Row(y0), f.src.Row(std::min(y0 + 1, f.src.height - 1)), mixedColumns,
                 _mm_set_epi16(ta, t, t, t, ta, t, t, t), _mm_set_epi16(ba, b, b, b, ba, b, b, b), row);
      if (static_cast<size_t>(mixedColumns) < entries)
        std::memcpy(row + 4 * mixedColumns, row + 4 * (mixedColumns - 1), 4 * sizeof(int16_t));
      MixColumns(row, x0s.get(), weights.get(), e.width, f.dst.Row(y));
    }
  });
  return 0;
}

namespace {

// ⌊a ÷ b⌋ for b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The x of first … end − 1 (within 0 … count − 1) where low ≤ start + step × x < high. The
// values are linear in x, so they form one run.
struct Span {
  int64_t first, end;
};

Span LinearSpan(int64_t start, int64_t step, int64_t low, int64_t high, int64_t count) {
  Span span{0, count};
  if (step == 0) {
    if (start < low || start >= high) span.end = 0;
  } else if (step > 0) {
    span.first = -FloorDiv(start - low, step);  // ⌈(low − start) ÷ step⌉
    span.end = FloorDiv(high - 1 - start, step) + 1;
  } else {
    span.first = FloorDiv(start - high, -step) + 1;
    span.end = FloorDiv(start - low, -step) + 1;
  }
  return {std::clamp<int64_t>(span.first, 0, count), std::clamp<int64_t>(span.end, 0, count)};
}

Span Intersect(Span a, Span b) { return {std::max(a.first, b.first), std::min(a.end, b.end)}; }

// The colour lanes of one rotated pixel whose four neighbours lie inside the source: top at
// its top-left neighbour, below the row under it. down holds fy in every 16-bit lane, across
// the pair (256 − fx, fx) in every 32-bit lane. V = 256 t + fy (b − t) is reckoned modulo
// 2^16, which is exact since V itself fits. Alpha comes out mixed and is replaced afterwards.
inline __m128i RotatedColour(const uint32_t* top, ptrdiff_t below, __m128i down, __m128i across) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i t = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top)), zero);
  const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + below)), zero);
  const __m128i v = _mm_xor_si128(_mm_add_epi16(_mm_slli_epi16(t, 8), _mm_mullo_epi16(_mm_sub_epi16(b, t), down)),
                                  _mm_set1_epi16(static_cast<int16_t>(0x8000)));
  return Unbias(_mm_madd_epi16(_mm_unpacklo_epi16(v, _mm_srli_si128(v, 8)), across));
}

template <int kLane>
inline __m128i Broadcast(__m128i v) {
  return _mm_shuffle_epi32(v, kLane * 0x55);
}

// count rotated pixels whose four neighbours all lie inside the source, from position (px, py)
// on in steps of (c, −s). topRow is source row 0; rows lie stride pixels apart, downwards in
// memory. Four at a time the weights are made side by side: a fraction needs only the low
// bits of its position, so 32-bit lanes do even for pictures whose positions do not fit them.
void RotateRun(const uint32_t* topRow, ptrdiff_t stride, int64_t px, int64_t py, int64_t c, int64_t s, int32_t count,
               uint32_t* out) {
  const __m128i fraction = _mm_set1_epi32(255), whole = _mm_set1_epi32(256);
  const __m128i alpha = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const auto low = [](int64_t v) { return static_cast<int32_t>(static_cast<uint64_t>(v) & 0xFFFFFFFFu); };
  __m128i xs = _mm_setr_epi32(low(px), low(px + c), low(px + 2 * c), low(px + 3 * c));
  __m128i ys = _mm_setr_epi32(low(py), low(py - s), low(py - 2 * s), low(py - 3 * s));
  const __m128i stepX = _mm_set1_epi32(low(4 * c)), stepY = _mm_set1_epi32(low(-4 * s));
  const auto topLeft = [&](int64_t i) { return topRow - ((py - s * i) >> 8) * stride + ((px + c * i) >> 8); };
  int32_t x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i fx = _mm_and_si128(xs, fraction), fy = _mm_and_si128(ys, fraction);
    const __m128i across = _mm_or_si128(_mm_sub_epi32(whole, fx), _mm_slli_epi32(fx, 16));
    const __m128i down = _mm_or_si128(fy, _mm_slli_epi32(fy, 16));
    xs = _mm_add_epi32(xs, stepX);
    ys = _mm_add_epi32(ys, stepY);
    const uint32_t *t0 = topLeft(0), *t1 = topLeft(1), *t2 = topLeft(2), *t3 = topLeft(3);
    px += 4 * c;
    py -= 4 * s;
    const __m128i colour =
        PackPixels(RotatedColour(t0, -stride, Broadcast<0>(down), Broadcast<0>(across)),
                   RotatedColour(t1, -stride, Broadcast<1>(down), Broadcast<1>(across)),
                   RotatedColour(t2, -stride, Broadcast<2>(down), Broadcast<2>(across)),
                   RotatedColour(t3, -stride, Broadcast<3>(down), Broadcast<3>(across)));
    const __m128i alphas = _mm_setr_epi32(static_cast<int32_t>(*t0), static_cast<int32_t>(*t1),
                                          static_cast<int32_t>(*t2), static_cast<int32_t>(*t3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_or_si128(_mm_andnot_si128(alpha, colour), _mm_and_si128(alpha, alphas)));
  }
  for (; x < count; ++x, px += c, py -= s) {
    const int32_t fx = static_cast<int32_t>(px & 255), fy = static_cast<int32_t>(py & 255);
    const uint32_t* t = topLeft(0);
    const uint32_t colour = PackPixel(RotatedColour(t, -stride, _mm_set1_epi16(static_cast<int16_t>(fy)),
                                                    _mm_set1_epi32(WeightPair(256 - fx, fx))));
    out[x] = (colour & 0x00FFFFFFu) | (*t & 0xFF000000u);
  }
}

}  // namespace

// The rotation a row at a time. The position steps by c and −s whole 8.8 units from the
// row's start, so which pixels land inside the source, and which of those have all four
// neighbours inside, are runs computed from the row's start; the rims between them take the
// reference's pixel.
int32_t RotateFast(const Frame& f) {
  const Rotation r = MeasureRotation(f);
  const int64_t limitX = static_cast<int64_t>(f.src.width) << 8, limitY = static_cast<int64_t>(f.src.height) << 8;
  const ptrdiff_t stride = f.src.width;
  const uint32_t* topRow = f.src.Row(0);
  const bool split = static_cast<int64_t>(f.w) * f.h >= kSplitPixels;
  RunInTwoBands(split, 0, f.h, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      const int64_t dy = static_cast<int64_t>(y) * 256 - r.cy;
      const int64_t px = ((-r.cx * r.c + dy * r.s) >> 8) + r.cx, py = ((dy * r.c + r.cx * r.s) >> 8) + r.cy;
      const Span inside = Intersect(LinearSpan(px, r.c, 0, limitX, f.w), LinearSpan(py, -r.s, 0, limitY, f.w));
      Span inner = Intersect(inside, Intersect(LinearSpan(px, r.c, 0, limitX - 256, f.w),
                                               LinearSpan(py, -r.s, 0, limitY - 256, f.w)));
      if (inner.first >= inner.end) inner = {inside.end, inside.end};
      uint32_t* out = f.dst.Row(y);
      for (int64_t x = inside.first; x < inner.first; ++x) out[x] = RotatedPixel(f.src, px + r.c * x, py - r.s * x);
      RotateRun(topRow, stride, px + r.c * inner.first, py - r.s * inner.first, r.c, r.s,
                static_cast<int32_t>(inner.end - inner.first), out + inner.first);
      for (int64_t x = inner.end; x < inside.end; ++x) out[x] = RotatedPixel(f.src, px + r.c * x, py - r.s * x);
    }
  });
  return 0;
}

namespace {

// Moves the blur's column sums down a row: adds the entering row and takes off the leaving
// one, in 16-bit lanes (a sum is at most 32 rows × 255).
void MoveColumnSums(const uint32_t* entering, const uint32_t* leaving, int32_t count, uint16_t* sums) {
  const __m128i zero = _mm_setzero_si128();
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(entering + i));
    const __m128i out = _mm_loadu_si128(reinterpret_cast<const __m128i*>(leaving + i));
    __m128i* sum = reinterpret_cast<__m128i*>(sums + 4 * i);
    _mm_storeu_si128(sum, _mm_add_epi16(_mm_loadu_si128(sum), _mm_sub_epi16(_mm_unpacklo_epi8(in, zero),
                                                                             _mm_unpacklo_epi8(out, zero))));
    _mm_storeu_si128(sum + 1, _mm_add_epi16(_mm_loadu_si128(sum + 1), _mm_sub_epi16(_mm_unpackhi_epi8(in, zero),
                                                                                     _mm_unpackhi_epi8(out, zero))));
  }
  const uint8_t* in = reinterpret_cast<const uint8_t*>(entering);
  const uint8_t* out = reinterpret_cast<const uint8_t*>(leaving);
  for (i *= 4; i < count * 4; ++i) sums[i] = static_cast<uint16_t>(sums[i] + in[i] - out[i]);
}

// 1 ÷ divisor of one column, in every lane.
struct Reciprocal {
  float lanes[4];
};

// One blurred row. sums holds the column sums of the row's window, zero beyond the source on
// both sides, so the running window adds the entering column and drops the leaving one
// without a test; it starts as the window of column −1.
//
// The quotient is ⌊(v + ½) × 1/d⌋ in single precision, with v = window + 8 × own below 2^19
// and d = pixels + 8 at most 1032: v + ½ is exact, and the two roundings (of 1/d and of the
// product) move a result below 256 by less than 256 × 2^-22 = 2^-14 in any rounding mode,
// while (v + ½) ÷ d lies at least ½ ÷ d ≥ 1/2064 from every whole number. So the truncation is
// exactly ⌊v ÷ d⌋.
void BlurRow(const uint16_t* sums, const uint32_t* own, const Reciprocal* reciprocals, int32_t a, int32_t count,
             uint32_t* out) {
  const int32_t half = a / 2;
  const __m128i zero = _mm_setzero_si128();
  const auto column = [&](int32_t c) {
    return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + 4 * c)), zero);
  };
  __m128i window = zero;
  for (int32_t c = -half - 1; c <= a - 2 - half; ++c) window = _mm_add_epi32(window, column(c));
  const __m128 oneHalf = _mm_set1_ps(0.5f);
  // eightfold: the pixel's own channels × 8 in 32-bit lanes.
  const auto pixel = [&](int32_t x, __m128i eightfold) {
    window = _mm_sub_epi32(_mm_add_epi32(window, column(x - half + a - 1)), column(x - 1 - half));
    const __m128 v = _mm_add_ps(_mm_cvtepi32_ps(_mm_add_epi32(window, eightfold)), oneHalf);
    return _mm_cvttps_epi32(_mm_mul_ps(v, _mm_loadu_ps(reciprocals[x].lanes)));
  };
  int32_t x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i self = _mm_loadu_si128(reinterpret_cast<const __m128i*>(own + x));
    const __m128i front = _mm_slli_epi16(_mm_unpacklo_epi8(self, zero), 3);
    const __m128i back = _mm_slli_epi16(_mm_unpackhi_epi8(self, zero), 3);
    const __m128i p0 = pixel(x, _mm_unpacklo_epi16(front, zero)), p1 = pixel(x + 1, _mm_unpackhi_epi16(front, zero));
    const __m128i p2 = pixel(x + 2, _mm_unpacklo_epi16(back, zero)), p3 = pixel(x + 3, _mm_unpackhi_epi16(back, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), PackPixels(p0, p1, p2, p3));
  }
  for (; x < count; ++x) {
    const __m128i self = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int32_t>(own[x])), zero);
    out[x] = PackPixel(pixel(x, _mm_unpacklo_epi16(_mm_slli_epi16(self, 3), zero)));
  }
}

}  // namespace

// The blur a band of rows at a time, each band with its own column sums.
int32_t BlurFast(const Frame& f) {
  const int32_t a = static_cast<int32_t>(static_cast<int64_t>(f.k) * 32 / f.n);
  if (a == 0) return 0;
  const int32_t half = a / 2;
  const int32_t sw = f.src.width, sh = f.src.height;
  // Columns −(half + 1) … sw + a − 1: every column a window reaches, and the one before.
  const int32_t left = half + 1;
  const size_t sumsSize = (static_cast<size_t>(left) + sw + a) * 4;
  const bool split = static_cast<int64_t>(f.w) * f.h >= kSplitPixels;
  const int32_t bands = split ? 2 : 1;
  std::unique_ptr<uint16_t[]> sums(new (std::nothrow) uint16_t[sumsSize * bands]());
  std::unique_ptr<Reciprocal[]> reciprocals(new (std::nothrow) Reciprocal[static_cast<size_t>(f.w) * bands]);
  std::unique_ptr<int32_t[]> columns(new (std::nothrow) int32_t[f.w]);
  // What a window row outside the source adds.
  std::unique_ptr<uint32_t[]> nothing(new (std::nothrow) uint32_t[sw]());
  if (!sums || !reciprocals || !columns || !nothing) return ReferenceBlur(f);
  for (int32_t x = 0; x < f.w; ++x) columns[x] = std::min(sw - 1, x - half + a - 1) - std::max(0, x - half) + 1;
  const auto sourceRow = [&](int32_t y) { return y >= 0 && y < sh ? f.src.Row(y) : nothing.get(); };
  RunInTwoBands(split, 0, f.h, [&](int32_t begin, int32_t end) {
    const int32_t band = begin == 0 ? 0 : 1;
    uint16_t* bandSums = sums.get() + sumsSize * band + static_cast<size_t>(left) * 4;
    Reciprocal* bandReciprocals = reciprocals.get() + static_cast<size_t>(f.w) * band;
    for (int32_t row = std::max(0, begin - half); row <= std::min(sh - 1, begin - half + a - 1); ++row)
      MoveColumnSums(f.src.Row(row), nothing.get(), sw, bandSums);
    int32_t reciprocalRows = 0;
    for (int32_t y = begin; y < end; ++y) {
      if (y > begin) MoveColumnSums(sourceRow(y - half + a - 1), sourceRow(y - 1 - half), sw, bandSums);
      const int32_t rows = std::min(sh - 1, y - half + a - 1) - std::max(0, y - half) + 1;
      if (rows != reciprocalRows) {
        for (int32_t x = 0; x < f.w; ++x) {
          const float r = 1.0f / static_cast<float>(rows * columns[x] + 8);
          bandReciprocals[x] = {{r, r, r, r}};
        }
        reciprocalRows = rows;
      }
      BlurRow(bandSums, f.src.Row(y), bandReciprocals, a, f.w, f.dst.Row(y));
    }
  });
  return 0;
}
}  // namespace varnel::animorph::detail
#endif  // __SSE2__
