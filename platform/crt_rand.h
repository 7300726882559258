#pragma once
// The process-wide pseudo-random generator. It reproduces the Windows C runtime's rand(), so
// every random choice of the program (and every result built on one) is reproducible.

#include <cstdint>

namespace varnel {

inline constexpr int kCrtRandMax = 32767;

// state = state * 214013 + 2531011; answers (state >> 16) & 0x7FFF. Thread-safe.
int CrtRand();
// Sets the state; the state at process start is 1.
void CrtSrand(uint32_t seed);

}  // namespace varnel
