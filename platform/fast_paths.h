#pragma once
// Which fast paths this process takes, decided once: the instruction sets the processor has,
// unless VARNEL_FORCE_REFERENCE=1 sends every kernel to its scalar reference. Every fast result
// is bit-identical to the reference; the variable is there to check exactly that.

namespace varnel {

struct FastPaths {
  bool forceReference = false;  // VARNEL_FORCE_REFERENCE=1
  bool avx2 = false;            // the processor has AVX2, forced or not
};

// Read at the first call and kept for the life of the process.
const FastPaths& GetFastPaths();

inline bool ForceReferencePaths() { return GetFastPaths().forceReference; }
// AVX2 kernels may run: the processor has them and the reference is not forced.
inline bool UseAvx2Paths() { return GetFastPaths().avx2 && !GetFastPaths().forceReference; }

}  // namespace varnel
