#pragma once
// The four scratch buffers every brush shares: the old pixels of the dab rectangle, the result
// pixels, the colour pixels and the mask bytes. They hold the largest dab seen so far, grow
// when a larger size is set and never shrink, so no dab allocates. User-interface thread only.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace varnel {

class DabBuffers {
 public:
  static DabBuffers& Shared();

  // Grows every buffer to hold at least width × height pixels (each side taken as at least 1).
  void Reserve(int32_t width, int32_t height);
  size_t Capacity() const { return m_capacity; }

  uint32_t* Old() { return m_old.get(); }
  uint32_t* Result() { return m_result.get(); }
  uint32_t* Colour() { return m_colour.get(); }
  uint8_t* Mask() { return m_mask.get(); }

 private:
  size_t m_capacity = 0;
  std::unique_ptr<uint32_t[]> m_old;
  std::unique_ptr<uint32_t[]> m_result;
  std::unique_ptr<uint32_t[]> m_colour;
  std::unique_ptr<uint8_t[]> m_mask;
};

}  // namespace varnel
