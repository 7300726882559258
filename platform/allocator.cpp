#include "platform/allocator.h"

#include <malloc.h>

namespace varnel {

void TuneAllocatorForPainting() {
#ifdef M_TRIM_THRESHOLD
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

}  // namespace varnel
