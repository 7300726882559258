#pragma once
// Memwell keeps one pool per process and it can be created only once, so every scenario
// that creates a pool runs in a child of its own.

#include <functional>

namespace varnel::testing {

// Forks; the child runs body (gtest EXPECT/ASSERT report as usual from there) and exits
// with 1 if the test has failed, else 0. The parent expects a clean exit 0: a crash, an
// abort from the allocator or a sanitizer report in the child fails the test.
void RunInFreshProcess(const std::function<void()>& body);

}  // namespace varnel::testing
