// Memwell's pool: order of hand-out, fallback to malloc, and the guards that keep a bad
// FXFree or a misused FXCreateMemBlock from corrupting memory.

#include <gtest/gtest.h>
#include <link.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "memwell/memwell.h"
#include "tests/memwell/fresh_process.h"

namespace {

using varnel::testing::RunInFreshProcess;

constexpr int32_t kBlockSize = 1032;
constexpr int kBlockCount = 1024;

uint8_t* AsBytes(void* block) {
  return static_cast<uint8_t*>(block);
}

// Takes all 1024 pool blocks of a fresh pool; the last one taken is the pool's base.
std::vector<void*> TakeWholePool() {
  std::vector<void*> blocks;
  blocks.reserve(kBlockCount);
  for (int i = 0; i < kBlockCount; ++i) {
    blocks.push_back(FXAlloc());
  }
  return blocks;
}

bool InPool(const void* block, const uint8_t* base, int32_t blockSize = kBlockSize) {
  const auto address = reinterpret_cast<uintptr_t>(block);
  const auto begin = reinterpret_cast<uintptr_t>(base);
  return address >= begin &&
         address < begin + static_cast<uintptr_t>(blockSize) * kBlockCount;
}

TEST(MemwellPool, HandsOutAllBlocksFromTheLastDownToTheBase) {
  RunInFreshProcess([] {
    EXPECT_EQ(FXCreateMemBlock(kBlockSize), 0);
    const std::vector<void*> blocks = TakeWholePool();
    uint8_t* base = AsBytes(blocks.back());
    ASSERT_NE(base, nullptr);
    for (int i = 0; i < kBlockCount; ++i) {
      EXPECT_EQ(blocks[i], base + static_cast<size_t>(kBlockCount - 1 - i) * kBlockSize)
          << "allocation " << i;
    }
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(),
              static_cast<size_t>(kBlockCount));
  });
}

TEST(MemwellPool, FallsBackToMallocOnceThePoolIsExhausted) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    const std::vector<void*> blocks = TakeWholePool();
    uint8_t* base = AsBytes(blocks.back());
    void* extra = FXAlloc();
    ASSERT_NE(extra, nullptr);
    EXPECT_FALSE(InPool(extra, base));
    // The fallback block is a full block: the whole of it must be writable.
    std::memset(extra, 0x5A, kBlockSize);
    EXPECT_EQ(FXFree(extra), 0);
  });
}

TEST(MemwellPool, ABatchTakesWhatSingleAllocsWouldThenFallsBackToMalloc) {
  RunInFreshProcess([] {
    void* none[2] = {};
    EXPECT_EQ(FXAllocBlocks(none, 2), 0);  // before any pool
    FXCreateMemBlock(kBlockSize);
    EXPECT_EQ(FXAllocBlocks(none, 0), 0);
    EXPECT_EQ(FXAllocBlocks(nullptr, 3), 0);
    uint8_t* last = AsBytes(FXAlloc());
    // 1,023 blocks are left in the pool: a batch of 1,030 takes them in FXAlloc's order, then
    // seven from malloc.
    std::vector<void*> batch(kBlockCount + 6);
    ASSERT_EQ(FXAllocBlocks(batch.data(), static_cast<int32_t>(batch.size())), static_cast<int32_t>(batch.size()));
    const uint8_t* base = last - static_cast<size_t>(kBlockCount - 1) * kBlockSize;
    for (int i = 0; i < kBlockCount - 1; ++i) EXPECT_EQ(batch[i], last - static_cast<size_t>(i + 1) * kBlockSize) << i;
    for (size_t i = kBlockCount - 1; i < batch.size(); ++i) {
      EXPECT_FALSE(InPool(batch[i], base)) << i;
      std::memset(batch[i], 0x5A, kBlockSize);
    }
    for (void* block : batch) FXFree(block);
    // The pool blocks went back: the next single alloc is the last one freed.
    EXPECT_EQ(FXAlloc(), batch[kBlockCount - 2]);
  });
}

TEST(MemwellPool, FreeingABlockFromOutsideThePoolLeavesTheFreeStackAlone) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    uint8_t* first = AsBytes(FXAlloc());
    uint8_t* second = AsBytes(FXAlloc());
    ASSERT_EQ(first - second, kBlockSize);
    FXFree(second);
    EXPECT_EQ(FXFree(std::malloc(kBlockSize)), 0);
    EXPECT_EQ(FXAlloc(), second);
    EXPECT_EQ(FXAlloc(), second - kBlockSize);
  });
}

TEST(MemwellPool, AFreedBlockIsTheNextOneHandedOut) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    void* a = FXAlloc();
    void* b = FXAlloc();
    void* c = FXAlloc();
    FXFree(a);
    EXPECT_EQ(FXAlloc(), a);
    FXFree(c);
    FXFree(b);
    EXPECT_EQ(FXAlloc(), b);
    EXPECT_EQ(FXAlloc(), c);
  });
}

TEST(MemwellPool, ASecondCreateKeepsTheFirstPool) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    uint8_t* first = AsBytes(FXAlloc());
    EXPECT_EQ(FXCreateMemBlock(64), 0);
    uint8_t* second = AsBytes(FXAlloc());
    EXPECT_EQ(first - second, kBlockSize);
    // The blocks handed out before the second call are still pool blocks.
    FXFree(first);
    EXPECT_EQ(FXAlloc(), first);
    const std::vector<void*> rest = TakeWholePool();
    // 1022 blocks were left; the two after them come from malloc.
    EXPECT_EQ(rest[kBlockCount - 3], second - static_cast<size_t>(kBlockCount - 2) * kBlockSize);
    EXPECT_FALSE(InPool(rest[kBlockCount - 2], second - (kBlockCount - 2) * kBlockSize));
    FXFree(rest[kBlockCount - 2]);
    FXFree(rest[kBlockCount - 1]);
  });
}

class MemwellRejectedSize : public ::testing::TestWithParam<int32_t> {};

TEST_P(MemwellRejectedSize, LeavesThePoolUncreatedAndALaterValidSizeStillCreatesIt) {
  const int32_t size = GetParam();
  RunInFreshProcess([size] {
    EXPECT_EQ(FXCreateMemBlock(size), 0);
    EXPECT_EQ(FXAlloc(), nullptr);
    FXCreateMemBlock(kBlockSize);
    uint8_t* first = AsBytes(FXAlloc());
    uint8_t* second = AsBytes(FXAlloc());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first - second, kBlockSize);
  });
}

INSTANTIATE_TEST_SUITE_P(
    SizesBelowOneOrOverflowing, MemwellRejectedSize,
    ::testing::Values(0, -1, INT32_MIN, INT32_MAX / 1024 + 1, 0x00400000, INT32_MAX),
    [](const ::testing::TestParamInfo<int32_t>& info) {
      const int32_t v = info.param;
      return v < 0 ? "Negative" + std::to_string(-static_cast<int64_t>(v))
                   : "Size" + std::to_string(v);
    });

TEST(MemwellPool, AllocBeforeAnyPoolAnswersNull) {
  RunInFreshProcess([] {
    EXPECT_EQ(FXAlloc(), nullptr);
    EXPECT_EQ(FXAlloc(), nullptr);
  });
}

TEST(MemwellPool, FreeingNullDoesNothing) {
  RunInFreshProcess([] {
    EXPECT_EQ(FXFree(nullptr), 0);  // before any pool
    FXCreateMemBlock(kBlockSize);
    uint8_t* first = AsBytes(FXAlloc());
    EXPECT_EQ(FXFree(nullptr), 0);
    EXPECT_EQ(FXAlloc(), first - kBlockSize);
  });
}

TEST(MemwellPool, AnAddressInsideABlockIsIgnoredNotFreed) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    uint8_t* first = AsBytes(FXAlloc());
    uint8_t* second = AsBytes(FXAlloc());
    EXPECT_EQ(FXFree(second + 8), 0);
    EXPECT_EQ(FXFree(second + kBlockSize - 1), 0);
    // The tail of the last block lies past "last" but is still pool memory.
    EXPECT_EQ(FXFree(first + 4), 0);
    EXPECT_EQ(FXFree(first + kBlockSize - 1), 0);
    EXPECT_EQ(FXAlloc(), second - kBlockSize);
  });
}

TEST(MemwellPool, FreeingIntoAFullFreeStackIsIgnored) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    uint8_t* last = AsBytes(FXAlloc());
    FXFree(last);  // the stack is full again
    uint8_t* base = last - static_cast<size_t>(kBlockCount - 1) * kBlockSize;
    EXPECT_EQ(FXFree(base), 0);
    EXPECT_EQ(FXFree(last), 0);
    EXPECT_EQ(FXFree(base + 7 * kBlockSize), 0);
    const std::vector<void*> blocks = TakeWholePool();
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(),
              static_cast<size_t>(kBlockCount));
    for (void* block : blocks) {
      EXPECT_TRUE(InPool(block, base));
    }
    void* extra = FXAlloc();
    EXPECT_FALSE(InPool(extra, base));
    FXFree(extra);
  });
}

TEST(MemwellPool, ADoubleFreeDoesNotHandTheBlockOutTwice) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    uint8_t* first = AsBytes(FXAlloc());
    uint8_t* second = AsBytes(FXAlloc());
    FXFree(second);
    FXFree(second);
    EXPECT_EQ(FXAlloc(), second);
    EXPECT_EQ(FXAlloc(), second - kBlockSize);
    EXPECT_NE(first, nullptr);
  });
}

// Runs the library's unload handlers the way the loader does at exit, but leaves the code
// mapped so a call arriving afterwards (a plug-in's late destructor) can be made.
struct FiniArray {
  uintptr_t address = 0;
  size_t bytes = 0;
};

int FindMemwellFiniArray(dl_phdr_info* info, size_t, void* data) {
  if (info->dlpi_name == nullptr || std::strstr(info->dlpi_name, "libMemwell.so") == nullptr) {
    return 0;
  }
  auto* result = static_cast<FiniArray*>(data);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    if (info->dlpi_phdr[i].p_type != PT_DYNAMIC) {
      continue;
    }
    const auto* entry = reinterpret_cast<const ElfW(Dyn)*>(info->dlpi_addr +
                                                           info->dlpi_phdr[i].p_vaddr);
    for (; entry->d_tag != DT_NULL; ++entry) {
      if (entry->d_tag == DT_FINI_ARRAY) {
        result->address = info->dlpi_addr + entry->d_un.d_ptr;
      } else if (entry->d_tag == DT_FINI_ARRAYSZ) {
        result->bytes = entry->d_un.d_val;
      }
    }
  }
  return 1;
}

bool RunMemwellUnloadHandlers() {
  FiniArray fini;
  dl_iterate_phdr(FindMemwellFiniArray, &fini);
  if (fini.address == 0 || fini.bytes == 0) {
    return false;
  }
  using Handler = void (*)();
  auto* handlers = reinterpret_cast<Handler*>(fini.address);
  for (size_t i = fini.bytes / sizeof(Handler); i > 0; --i) {
    handlers[i - 1]();
  }
  return true;
}

TEST(MemwellPool, AFreeArrivingAfterUnloadReleasedThePoolIsIgnored) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    void* held = FXAlloc();
    void* other = FXAlloc();
    uint8_t* base = AsBytes(other) - static_cast<size_t>(kBlockCount - 2) * kBlockSize;
    ASSERT_TRUE(RunMemwellUnloadHandlers());
    // The pool memory is gone: freeing these again would be a double or invalid free.
    EXPECT_EQ(FXFree(held), 0);
    EXPECT_EQ(FXFree(other), 0);
    EXPECT_EQ(FXFree(base), 0);
    // Nothing from the released pool is handed out any more.
    void* late = FXAlloc();
    ASSERT_NE(late, nullptr);
    EXPECT_NE(late, held);
    EXPECT_NE(late, base + static_cast<size_t>(kBlockCount - 3) * kBlockSize);
    std::memset(late, 0, kBlockSize);
    FXFree(late);
    // The child leaves with _exit, so the real unload never runs a second time.
  });
}

TEST(MemwellPool, TwoThreadsTakingAndReturningBlocksNeverShareOrLoseOne) {
  RunInFreshProcess([] {
    FXCreateMemBlock(kBlockSize);
    std::vector<void*> pool = TakeWholePool();
    const std::set<void*> poolSet(pool.begin(), pool.end());
    for (void* block : pool) {
      FXFree(block);
    }

    constexpr int kOperations = 200000;
    constexpr size_t kMaxHeld = 48;
    constexpr int kCheckedWords[] = {0, kBlockSize / 8, kBlockSize / 4 - 1};
    std::atomic<int> corrupted{0};
    std::atomic<int> foreign{0};
    std::atomic<int> ready{0};
    auto worker = [&](uint32_t threadId) {
      std::vector<std::pair<void*, uint32_t>> held;
      held.reserve(kMaxHeld);
      // Start together so the two threads really contend for the pool.
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
      uint32_t random = 0x9E3779B9u * (threadId + 1);
      uint32_t serial = 0;
      for (int op = 0; op < kOperations; ++op) {
        random = random * 1664525u + 1013904223u;
        const bool take = held.empty() || (held.size() < kMaxHeld && (random >> 16) % 2 == 0);
        if (take) {
          void* block = FXAlloc();
          if (poolSet.count(block) == 0) {
            foreign.fetch_add(1);
            FXFree(block);
            continue;
          }
          const uint32_t pattern = (threadId << 24) | (++serial & 0xFFFFFF);
          // First, middle and last word: enough to see a block shared by both threads
          // while keeping most of the time inside the pool calls, where races would be.
          auto* words = static_cast<uint32_t*>(block);
          for (int w : kCheckedWords) {
            words[w] = pattern;
          }
          held.emplace_back(block, pattern);
        } else {
          const size_t pick = (random >> 8) % held.size();
          const auto [block, pattern] = held[pick];
          const auto* words = static_cast<const uint32_t*>(block);
          for (int w : kCheckedWords) {
            if (words[w] != pattern) {
              corrupted.fetch_add(1);
              break;
            }
          }
          held[pick] = held.back();
          held.pop_back();
          FXFree(block);
        }
      }
      for (const auto& [block, pattern] : held) {
        FXFree(block);
      }
    };
    std::thread one(worker, 1);
    std::thread two(worker, 2);
    one.join();
    two.join();
    EXPECT_EQ(corrupted.load(), 0);
    EXPECT_EQ(foreign.load(), 0);

    const std::vector<void*> after = TakeWholePool();
    EXPECT_EQ(std::set<void*>(after.begin(), after.end()), poolSet);
    void* extra = FXAlloc();
    EXPECT_EQ(poolSet.count(extra), 0u);
    FXFree(extra);
  });
}

}  // namespace
