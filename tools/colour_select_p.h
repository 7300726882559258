#pragma once
// Internals of the colour-based selections shared by the portable and the AVX2 kernels, and by
// the tests that hold the fast kernel to the reference.

#include <cstddef>
#include <cstdint>

namespace varnel::colour_select_internal {

// out[i] = value when blue, green and red of pixels[i] each differ from reference's by at most
// tolerance, else 0. Alpha is ignored.
using ClassifyRgbFn = void (*)(const uint32_t* pixels, size_t count, uint32_t reference, uint8_t tolerance,
                               uint8_t value, uint8_t* out);
void ClassifyRgbScalar(const uint32_t* pixels, size_t count, uint32_t reference, uint8_t tolerance, uint8_t value,
                       uint8_t* out);
// Needs a processor with AVX2.
void ClassifyRgbAvx2(const uint32_t* pixels, size_t count, uint32_t reference, uint8_t tolerance, uint8_t value,
                     uint8_t* out);

}  // namespace varnel::colour_select_internal
