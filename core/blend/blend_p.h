#pragma once
// Private to the blend kernels.

#include <cstddef>
#include <cstdint>

namespace varnel {

namespace blend_reference {
// F of a whole-pixel mode (7, 8, 14…21) for one pair; alpha byte from lower.
uint32_t WholePixelColour(int32_t mode, uint32_t lower, uint32_t upper);
}  // namespace blend_reference

namespace blend_fast {
void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n);
void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n);
void ReleaseTables();
// F[b][s] of a per-channel mode, 65,536 bytes plus padding for 32-bit gathers.
const uint8_t* ChannelTable(int32_t mode);
}  // namespace blend_fast

struct HlsColour;

namespace blend_avx2 {
// The HLS conversions of the vector kernels, over runs, for the tests.
void RgbToHlsRun(const uint32_t* pixels, HlsColour* out, size_t n);
void HlsToRgbRun(const HlsColour* hls, uint32_t* pixels, size_t n);
void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n);
void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n);
}  // namespace blend_avx2

}  // namespace varnel
