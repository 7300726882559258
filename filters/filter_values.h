#pragma once

#include <cstdint>
#include <vector>

namespace varnel {

// The value array a filter is handed. With no values it is still an array, of none, so a filter
// that looks at it whatever the count says reads a zero, not through a null pointer.
inline int32_t* FilterValues(std::vector<int32_t>& values) {
  thread_local int32_t none = 0;
  none = 0;
  return values.empty() ? &none : values.data();
}

}  // namespace varnel
