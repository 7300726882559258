#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "platform/crt_rand.h"

namespace varnel {
namespace {

// The state step written out independently of the library, for expected values.
int ReferenceRand(uint32_t& state) {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFF);
}

TEST(CrtRand, StartsWithTheWindowsRuntimeSequence) {
  // The first values of rand() in a fresh process, before any srand().
  const std::vector<int> expected = {41, 18467, 6334, 26500, 19169,
                                     15724, 11478, 29358, 26962, 24464};
  std::vector<int> actual;
  for (size_t i = 0; i < expected.size(); ++i) actual.push_back(CrtRand());
  EXPECT_EQ(actual, expected);
}

TEST(CrtRand, SrandOneRestartsTheSequence) {
  for (int i = 0; i < 5; ++i) CrtRand();
  CrtSrand(1);
  EXPECT_EQ(CrtRand(), 41);
  EXPECT_EQ(CrtRand(), 18467);
}

TEST(CrtRand, SeedsGiveTheirOwnSequences) {
  for (uint32_t seed : {0u, 2u, 12345u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    CrtSrand(seed);
    uint32_t state = seed;
    for (int i = 0; i < 100; ++i) {
      int value = CrtRand();
      ASSERT_EQ(value, ReferenceRand(state)) << "seed " << seed << " step " << i;
      ASSERT_GE(value, 0);
      ASSERT_LE(value, kCrtRandMax);
    }
  }
  CrtSrand(0);
  EXPECT_EQ(CrtRand(), 38);  // 2531011 >> 16
}

TEST(CrtRand, ConcurrentCallersShareOneSequenceWithoutRepeats) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 20000;
  CrtSrand(99);
  std::vector<std::vector<int>> drawn(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&drawn, t] {
      drawn[t].reserve(kPerThread);
      for (int i = 0; i < kPerThread; ++i) drawn[t].push_back(CrtRand());
    });
  }
  for (std::thread& thread : threads) thread.join();

  std::vector<int> all;
  for (const std::vector<int>& values : drawn) all.insert(all.end(), values.begin(), values.end());
  std::vector<int> expected;
  uint32_t state = 99;
  for (int i = 0; i < kThreads * kPerThread; ++i) expected.push_back(ReferenceRand(state));
  std::sort(all.begin(), all.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);
  // The state moved exactly once per call.
  EXPECT_EQ(CrtRand(), ReferenceRand(state));
}

}  // namespace
}  // namespace varnel
