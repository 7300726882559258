// Feathering: the d × d cone correlation of a region, as a plain reference and as the fast
// path Region::Feather (AVX2 or portable kernel, chosen at run time, equal bit for bit).

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "core/region.h"
#include "core/region_feather_p.h"
#include "platform/fast_paths.h"

namespace varnel {

namespace {

// The cone: r = (d + 1) / 2, q = (j - r)^2 + (i - r)^2, weight 256 - q * 256 / r^2 inside
// the circle q <= r^2, else 0. Row j of the table is weights[j * d ... j * d + d - 1].
std::vector<int32_t> ConeWeights(int32_t diameter) {
  const int64_t r = (diameter + 1) / 2;
  const int64_t r2 = r * r;
  std::vector<int32_t> weights(static_cast<size_t>(diameter) * static_cast<size_t>(diameter), 0);
  for (int32_t j = 0; j < diameter; ++j) {
    for (int32_t i = 0; i < diameter; ++i) {
      const int64_t q = (j - r) * (j - r) + (i - r) * (i - r);
      if (q <= r2) {
        weights[static_cast<size_t>(j) * static_cast<size_t>(diameter) + static_cast<size_t>(i)] =
            static_cast<int32_t>(256 - (q * 256) / r2);
      }
    }
  }
  return weights;
}

// The source rectangle moved by -d/2 and grown by d on the right and bottom; false when a
// coordinate leaves int32 (Create refuses sides over kMaxExtent itself).
bool FeatherRect(const Rect& source, int32_t diameter, Rect& rect) {
  const int64_t half = diameter / 2;
  const int64_t left = int64_t{source.left} - half;
  const int64_t top = int64_t{source.top} - half;
  const int64_t right = int64_t{source.right} - half + diameter;
  const int64_t bottom = int64_t{source.bottom} - half + diameter;
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  if (left < kLow || top < kLow || right > kHigh || bottom > kHigh) return false;
  rect = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
          static_cast<int32_t>(bottom)};
  return true;
}

bool FeatherRefused(const Region& source, int32_t diameter) {
  return diameter < 2 || diameter > feather_internal::kMaxDiameter || source.IsEmpty();
}

// Everything the fast path needs from the weight table.
struct Cone {
  int32_t diameter = 0;
  int64_t total = 0;  // W: the sum of every weight
  // Bounding box of the non-zero weights; cells outside it never contribute.
  int32_t jMin = 0, jMax = -1, iMin = 0, iMax = -1;
  // Per table row: first non-zero column, pair count and offset into pairWeights.
  std::vector<int32_t> lo, pairCount, pairOffset;
  std::vector<uint32_t> pairWeights;
  // Table rows [chunkStart[c], chunkStart[c + 1]) sum below 2^32 / 255, so one kernel call
  // over a chunk cannot overflow its 32-bit totals.
  std::vector<int32_t> chunkStart;
};

Cone BuildCone(int32_t diameter) {
  Cone cone;
  cone.diameter = diameter;
  const std::vector<int32_t> weights = ConeWeights(diameter);
  const size_t d = static_cast<size_t>(diameter);
  cone.lo.assign(d, 0);
  cone.pairCount.assign(d, 0);
  cone.pairOffset.assign(d, 0);
  cone.iMin = diameter;
  std::vector<int64_t> rowSums(d, 0);
  for (int32_t j = 0; j < diameter; ++j) {
    const int32_t* row = weights.data() + static_cast<size_t>(j) * d;
    int32_t first = -1, last = -1;
    for (int32_t i = 0; i < diameter; ++i) {
      cone.total += row[i];
      rowSums[static_cast<size_t>(j)] += row[i];
      if (row[i] != 0) {
        if (first < 0) first = i;
        last = i;
      }
    }
    cone.pairOffset[static_cast<size_t>(j)] = static_cast<int32_t>(cone.pairWeights.size());
    if (first < 0) continue;
    if (cone.jMax < 0) cone.jMin = j;
    cone.jMax = j;
    cone.iMin = std::min(cone.iMin, first);
    cone.iMax = std::max(cone.iMax, last);
    cone.lo[static_cast<size_t>(j)] = first;
    const int32_t count = (last - first + 2) / 2;
    cone.pairCount[static_cast<size_t>(j)] = count;
    for (int32_t p = 0; p < count; ++p) {
      const int32_t i = first + 2 * p;
      const uint32_t low = static_cast<uint32_t>(row[i]);
      const uint32_t high = i + 1 <= last ? static_cast<uint32_t>(row[i + 1]) : 0u;
      cone.pairWeights.push_back(low | (high << 16));
    }
  }
  constexpr int64_t kChunkLimit = 0xFFFFFFFFll / 255;
  int64_t sum = 0;
  for (int32_t j = cone.jMin; j <= cone.jMax; ++j) {
    const int64_t rowSum = rowSums[static_cast<size_t>(j)];
    if (cone.chunkStart.empty() || sum + rowSum > kChunkLimit) {
      cone.chunkStart.push_back(j);
      sum = 0;
    }
    sum += rowSum;
  }
  cone.chunkStart.push_back(cone.jMax + 1);
  return cone;
}

// The destination rectangle, created with fill 0 in result. False (and destination cleared)
// when the feather is refused or the rectangle cannot be made.
bool StartFeather(const Region& source, int32_t diameter, Region& destination, Region& result) {
  Rect rect;
  if (FeatherRefused(source, diameter) || !FeatherRect(source.Bounds(), diameter, rect) ||
      result.Create(rect, 0) != 0) {
    destination.Clear();
    return false;
  }
  return true;
}

void FeatherWith(const Region& source, int32_t diameter, Region& destination,
                 feather_internal::AccumulateFn accumulate) {
  using feather_internal::KernelRow;
  Region result;
  if (!StartFeather(source, diameter, destination, result)) return;
  const Rect rect = result.Bounds();
  const Cone cone = BuildCone(diameter);
  const int64_t total = cone.total;  // >= 256: the centre cell (r, r) is inside the table
  const int32_t half = diameter / 2;
  const int64_t left = source.Left(), top = source.Top(), right = source.Right(), bottom = source.Bottom();
  const int32_t sourceWidth = source.Width();
  const int32_t outputs = result.Width() - 1;  // the last column and row stay 0

  // Padded source rows as pairs: pairs[k] = (s[k], s[k + 1]) for padded column k, which is
  // source column left - d + k. Only the rows the table currently covers are kept, in a ring.
  const size_t stride = static_cast<size_t>(sourceWidth) + 2 * static_cast<size_t>(diameter) + feather_internal::kOverrun;
  const int32_t ringSize = cone.jMax - cone.jMin + 1;
  std::vector<uint32_t> ring(stride * static_cast<size_t>(ringSize));
  std::vector<uint8_t> staging(stride + 1, 0);
  // Per source column, how many covered rows hold a byte other than 0 / other than 255; with
  // prefix sums they tell windows that are all 0 (result 0) or all 255 (result 255) at once.
  std::vector<int32_t> nonZero(static_cast<size_t>(sourceWidth), 0), nonFull(static_cast<size_t>(sourceWidth), 0);
  std::vector<int32_t> nonZeroSum(static_cast<size_t>(sourceWidth) + 1, 0), nonFullSum(static_cast<size_t>(sourceWidth) + 1, 0);
  std::vector<uint32_t> acc(static_cast<size_t>(outputs) + feather_internal::kOverrun);
  const bool oneChunk = total * 255 + total / 2 <= 0xFFFFFFFFll;
  std::vector<uint64_t> wide(oneChunk ? 0 : static_cast<size_t>(outputs));
  std::vector<KernelRow> kernelRows(static_cast<size_t>(ringSize));
  const uint32_t total32 = static_cast<uint32_t>(total);
  const uint32_t round32 = static_cast<uint32_t>(total / 2);

  auto slotOf = [&](int64_t sy) {
    return ring.data() + static_cast<size_t>((sy - top) % ringSize) * stride;
  };
  auto countRow = [&](int64_t sy, int32_t sign) {
    const uint8_t* row = source.Row(static_cast<int32_t>(sy - top));
    for (int32_t c = 0; c < sourceWidth; ++c) {
      nonZero[static_cast<size_t>(c)] += sign * (row[c] != 0);
      nonFull[static_cast<size_t>(c)] += sign * (row[c] != 255);
    }
  };
  auto loadRow = [&](int64_t sy) {
    std::memcpy(staging.data() + diameter, source.Row(static_cast<int32_t>(sy - top)), static_cast<size_t>(sourceWidth));
    uint32_t* pairs = slotOf(sy);
    for (size_t k = 0; k < stride; ++k) pairs[k] = staging[k] | (uint32_t{staging[k + 1]} << 16);
    countRow(sy, 1);
  };

  int64_t nextRow = top, countedFrom = top;
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    const int64_t windowTop = y - half + cone.jMin, windowBottom = y - half + cone.jMax;
    const int64_t rowLow = std::max(windowTop, top), rowHigh = std::min(windowBottom, bottom);
    for (; nextRow <= rowHigh; ++nextRow) loadRow(nextRow);
    for (; countedFrom < rowLow && countedFrom < nextRow; ++countedFrom) countRow(countedFrom, -1);
    if (rowLow > rowHigh) continue;
    const bool rowsInside = windowTop >= top && windowBottom <= bottom;
    for (int32_t c = 0; c < sourceWidth; ++c) {
      nonZeroSum[static_cast<size_t>(c) + 1] = nonZeroSum[static_cast<size_t>(c)] + nonZero[static_cast<size_t>(c)];
      nonFullSum[static_cast<size_t>(c) + 1] = nonFullSum[static_cast<size_t>(c)] + nonFull[static_cast<size_t>(c)];
    }
    uint8_t* out = result.Row(static_cast<int32_t>(y - rect.top));

    auto computeRun = [&](int32_t o0, int32_t o1) {
      const int32_t n = o1 - o0;
      // Output o reads padded column o + d - 2 * (d / 2) + i for table column i.
      const size_t base = static_cast<size_t>(o0) + static_cast<size_t>(diameter - 2 * half);
      const size_t chunks = cone.chunkStart.size() - 1;
      for (size_t c = 0; c < chunks; ++c) {
        int32_t count = 0;
        for (int32_t j = cone.chunkStart[c]; j < cone.chunkStart[c + 1]; ++j) {
          const int64_t sy = y - half + j;
          const size_t jj = static_cast<size_t>(j);
          if (sy < top || sy > bottom || cone.pairCount[jj] == 0) continue;
          kernelRows[static_cast<size_t>(count++)] = {slotOf(sy) + base + static_cast<size_t>(cone.lo[jj]),
                                                      cone.pairWeights.data() + cone.pairOffset[jj],
                                                      cone.pairCount[jj]};
        }
        if (count > 0) {
          accumulate(kernelRows.data(), count, n, acc.data());
        } else {
          std::fill_n(acc.data(), n, 0u);
        }
        if (oneChunk) break;
        for (int32_t t = 0; t < n; ++t) {
          wide[static_cast<size_t>(t)] = (c == 0 ? 0 : wide[static_cast<size_t>(t)]) + acc[static_cast<size_t>(t)];
        }
      }
      if (oneChunk) {
        for (int32_t t = 0; t < n; ++t) out[o0 + t] = static_cast<uint8_t>((round32 + acc[static_cast<size_t>(t)]) / total32);
      } else {
        const uint64_t total64 = static_cast<uint64_t>(total), round64 = static_cast<uint64_t>(total / 2);
        for (int32_t t = 0; t < n; ++t) out[o0 + t] = static_cast<uint8_t>((round64 + wide[static_cast<size_t>(t)]) / total64);
      }
    };

    int32_t runStart = -1;
    for (int32_t o = 0; o < outputs; ++o) {
      const int64_t x = int64_t{rect.left} + o;
      const int64_t columnLow = x - half + cone.iMin, columnHigh = x - half + cone.iMax;
      const int64_t cLow = std::max(columnLow, left) - left, cHigh = std::min(columnHigh, right) - left;
      bool uniform = false;
      if (cLow > cHigh || nonZeroSum[static_cast<size_t>(cHigh) + 1] == nonZeroSum[static_cast<size_t>(cLow)]) {
        uniform = true;  // every covered byte is 0: the result is W/2 / W = 0, already there
      } else if (rowsInside && columnLow >= left && columnHigh <= right &&
                 nonFullSum[static_cast<size_t>(cHigh) + 1] == nonFullSum[static_cast<size_t>(cLow)]) {
        uniform = true;  // every covered byte is 255 and inside: (W/2 + 255 W) / W = 255
        out[o] = 255;
      }
      if (uniform) {
        if (runStart >= 0) computeRun(runStart, o);
        runStart = -1;
      } else if (runStart < 0) {
        runStart = o;
      }
    }
    if (runStart >= 0) computeRun(runStart, outputs);
  }
  destination.TakeFrom(result);
}

}  // namespace

namespace region_reference {

void Feather(const Region& source, int32_t diameter, Region& destination) {
  Region result;
  if (!StartFeather(source, diameter, destination, result)) return;
  const Rect rect = result.Bounds();
  const std::vector<int32_t> weights = ConeWeights(diameter);
  int64_t total = 0;
  for (const int32_t w : weights) total += w;
  const int64_t half = diameter / 2;
  const int64_t left = source.Left(), top = source.Top(), right = source.Right(), bottom = source.Bottom();
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    uint8_t* out = result.Row(static_cast<int32_t>(y - rect.top));
    for (int64_t x = rect.left; x < rect.right; ++x) {
      int64_t a = 0;
      for (int64_t j = 0; j < diameter; ++j) {
        const int64_t sy = y - half + j;
        if (sy < top || sy > bottom) continue;
        const uint8_t* row = source.Row(static_cast<int32_t>(sy - top));
        const int32_t* w = weights.data() + j * diameter;
        for (int64_t i = 0; i < diameter; ++i) {
          const int64_t sx = x - half + i;
          if (sx >= left && sx <= right) a += int64_t{w[i]} * row[sx - left];
        }
      }
      out[x - rect.left] = static_cast<uint8_t>((total / 2 + a) / total);
    }
  }
  destination.TakeFrom(result);
}

}  // namespace region_reference

namespace feather_internal {

void AccumulateScalar(const KernelRow* rows, int32_t rowCount, int32_t outputs, uint32_t* acc) {
  std::fill_n(acc, outputs, 0u);
  for (int32_t r = 0; r < rowCount; ++r) {
    for (int32_t p = 0; p < rows[r].pairCount; ++p) {
      const uint32_t low = rows[r].weights[p] & 0xFFFFu, high = rows[r].weights[p] >> 16;
      const uint32_t* pairs = rows[r].pairs + 2 * p;
      for (int32_t o = 0; o < outputs; ++o) acc[o] += low * (pairs[o] & 0xFFFFu) + high * (pairs[o] >> 16);
    }
  }
}

void FeatherScalar(const Region& source, int32_t diameter, Region& destination) {
  FeatherWith(source, diameter, destination, &AccumulateScalar);
}

void FeatherAvx2(const Region& source, int32_t diameter, Region& destination) {
  FeatherWith(source, diameter, destination, &AccumulateAvx2);
}

}  // namespace feather_internal

void Region::Feather(const Region& source, int32_t diameter, Region& destination) {
  if (ForceReferencePaths()) {
    region_reference::Feather(source, diameter, destination);
  } else if (UseAvx2Paths()) {
    feather_internal::FeatherAvx2(source, diameter, destination);
  } else {
    feather_internal::FeatherScalar(source, diameter, destination);
  }
}

}  // namespace varnel
