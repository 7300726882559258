#pragma once
// Splitting row work over the machine's two cores: the rows first…end − 1 as two bands, the
// lower one on a second thread, when the caller judges the work large enough to pay for the
// thread. Without a second core, or when no thread can be had, everything runs on this one.

#include <cstdint>
#include <system_error>
#include <thread>

namespace varnel {

// Calls rows(begin, end) for half-open bands of first…end − 1.
template <typename Rows>
void RunInTwoBands(bool split, int32_t first, int32_t end, Rows rows) {
  static const bool twoCores = std::thread::hardware_concurrency() >= 2;
  if (split && twoCores && end - first >= 2) {
    const int32_t middle = first + (end - first) / 2;
    std::thread lower;
    try {
      lower = std::thread([&] { rows(middle, end); });
    } catch (const std::system_error&) {
      // No second thread to be had: everything on this one.
    }
    if (lower.joinable()) {
      rows(first, middle);
      lower.join();
      return;
    }
  }
  rows(first, end);
}

}  // namespace varnel
