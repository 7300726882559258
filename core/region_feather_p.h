#pragma once
// Internals of Region::Feather shared by the portable and the AVX2 kernels, and by the tests
// that hold each kernel to region_reference::Feather.

#include <cstdint>

#include "core/region.h"

namespace varnel::feather_internal {

constexpr int32_t kMaxDiameter = Region::kMaxFeatherDiameter;

// The accumulate kernels may write up to this many values past the requested outputs, and
// read as far past the end of the pair rows; buffers are sized with it.
constexpr int32_t kOverrun = 32;

// One row of the weight table against one source row. pairs[k] holds the padded source bytes
// k and k + 1 as two 16-bit halves (low, high); weights[p] holds the weights of table columns
// 2p and 2p + 1 of this row's non-zero span, likewise. Output o adds
// sum over p of low(weights[p]) * low(pairs[o + 2p]) + high(weights[p]) * high(pairs[o + 2p]).
struct KernelRow {
  const uint32_t* pairs;
  const uint32_t* weights;
  int32_t pairCount;
};

// acc[o] = the sum over rows for 0 <= o < outputs (the caller keeps every total below 2^32).
using AccumulateFn = void (*)(const KernelRow* rows, int32_t rowCount, int32_t outputs, uint32_t* acc);
void AccumulateScalar(const KernelRow* rows, int32_t rowCount, int32_t outputs, uint32_t* acc);
void AccumulateAvx2(const KernelRow* rows, int32_t rowCount, int32_t outputs, uint32_t* acc);

// Region::Feather through one given kernel; FeatherAvx2 needs a processor with AVX2.
void FeatherScalar(const Region& source, int32_t diameter, Region& destination);
void FeatherAvx2(const Region& source, int32_t diameter, Region& destination);

}  // namespace varnel::feather_internal
