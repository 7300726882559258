#include "brush/dab_buffers.h"

#include <algorithm>

namespace varnel {

DabBuffers& DabBuffers::Shared() {
  static DabBuffers buffers;
  return buffers;
}

void DabBuffers::Reserve(int32_t width, int32_t height) {
  const size_t needed = static_cast<size_t>(std::max(width, 1)) * static_cast<size_t>(std::max(height, 1));
  if (needed <= m_capacity) return;
  // All four are replaced together so a failed allocation leaves the old set whole.
  auto old = std::make_unique<uint32_t[]>(needed);
  auto result = std::make_unique<uint32_t[]>(needed);
  auto colour = std::make_unique<uint32_t[]>(needed);
  auto mask = std::make_unique<uint8_t[]>(needed);
  m_old = std::move(old);
  m_result = std::move(result);
  m_colour = std::move(colour);
  m_mask = std::move(mask);
  m_capacity = needed;
}

}  // namespace varnel
