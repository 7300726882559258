#pragma once
// The vector kernels behind ComposeDab and FinishDab. Private to brush/.

#include <cstddef>
#include <cstdint>

namespace varnel::dab_avx2 {

// The second half of ComposeDab once the targets are known (targets may alias result):
// for every pixel with a mask byte not 0 the move toward its target, else the old pixel.
// opacity in 0…256; weights from WeightTable().
void MixTowardTargets(size_t count, uint32_t* result, const uint32_t* old, const uint32_t* targets,
                      const uint8_t* mask, int32_t opacity, bool affectAlpha, const int16_t* weights);

// FinishDab without a colour mask; opacity in 0…256.
void FinishDab(size_t count, const uint32_t* old, uint32_t* result, int32_t opacity, bool affectAlpha);

}  // namespace varnel::dab_avx2
