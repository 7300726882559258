#pragma once
// Private to the blend kernels.

#include <cstddef>
#include <cstdint>

namespace varnel {

struct DisplayLayer;

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

namespace blend_avx2 {
// What the vector kernels keep of a pixel's HLS, for the tests: the lightness, the saturation
// and the hue as HlsToRgb uses it. The channel flagged largest takes m2, the others flagged
// smallest take m1, and any remaining one m1 + ((m2 − m1) × along + 30) / 60.
inline constexpr uint8_t kMaxRed = 1, kMaxGreen = 2, kMinRed = 4, kMinGreen = 8, kMinBlue = 16;  // blue largest when neither
struct HlsParts {
  int16_t lightness, saturation, along;
  uint8_t roles;
};
void AnalyseHlsRun(const uint32_t* pixels, HlsParts* out, size_t n);
// Writes blue, green and red from the parts; alpha 0.
void SynthesiseHlsRun(const HlsParts* parts, uint32_t* pixels, size_t n);
void DisplayRunAtOpacity(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                         int32_t opacity, size_t n);
void DisplayStack(uint32_t* destination, const DisplayLayer* layers, size_t count, size_t n);
void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n);
void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n);
}  // namespace blend_avx2

}  // namespace varnel
