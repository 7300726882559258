// The Memwell pool. All state is process-wide and guarded by one mutex; the pool is a
// single malloc'd piece cut into 1024 blocks, with a stack of free block indices.

#include "memwell/memwell.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr int32_t kBlockCount = 1024;

struct Pool {
  uint8_t* base;                      // null until created, and again once released
  uint8_t* last;                      // base + 1023 x size
  int32_t size;                       // block size, 0 until created
  uint8_t* blocks[kBlockCount];       // entry i = base + i x size
  uint32_t freeStack[kBlockCount];    // indices of the free blocks, top at count - 1
  int32_t count;
  bool onStack[kBlockCount];          // index i is on the free stack: catches double frees
  // The address range the pool occupied. Kept after the pool is released at unload so a
  // late FXFree of one of its blocks is recognised and not handed to free().
  uintptr_t rangeBegin;
  uintptr_t rangeEnd;                 // one past the last byte
};

Pool g_pool;
// std::mutex is constant-initialised, so it is ready before any constructor runs.
std::mutex g_mutex;

void ResetPool() {
  std::memset(&g_pool, 0, sizeof g_pool);
}

__attribute__((constructor)) void MemwellLoad() {
  std::lock_guard<std::mutex> lock(g_mutex);
  ResetPool();
}

__attribute__((destructor)) void MemwellUnload() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::free(g_pool.base);
  // Blocks still out are now dangling; forget the free stack too so nothing hands them out
  // again. The range stays recorded for FXFree.
  g_pool.base = nullptr;
  g_pool.last = nullptr;
  g_pool.count = 0;
  std::memset(g_pool.blocks, 0, sizeof g_pool.blocks);
  std::memset(g_pool.onStack, 0, sizeof g_pool.onStack);
}

}  // namespace

extern "C" {

int32_t FXCreateMemBlock(int32_t blockSize) {
  std::lock_guard<std::mutex> lock(g_mutex);
  // Re-creating would orphan every block already handed out and move the range FXFree
  // checks against, so the first pool stays for the life of the process.
  if (g_pool.size != 0 || g_pool.rangeEnd != 0) {
    return 0;
  }
  if (blockSize < 1 || blockSize > INT32_MAX / kBlockCount) {
    return 0;
  }
  auto* base = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(blockSize) * kBlockCount));
  if (base == nullptr) {
    return 0;
  }
  g_pool.base = base;
  g_pool.last = base + static_cast<size_t>(kBlockCount - 1) * static_cast<size_t>(blockSize);
  g_pool.size = blockSize;
  g_pool.rangeBegin = reinterpret_cast<uintptr_t>(base);
  g_pool.rangeEnd = g_pool.rangeBegin + static_cast<uintptr_t>(blockSize) * kBlockCount;
  for (int32_t i = 0; i < kBlockCount; ++i) {
    g_pool.blocks[i] = base + static_cast<size_t>(i) * static_cast<size_t>(blockSize);
    // Pushed in ascending order, so the first FXAlloc answers the last block.
    g_pool.freeStack[i] = static_cast<uint32_t>(i);
    g_pool.onStack[i] = true;
  }
  g_pool.count = kBlockCount;
  return 0;
}

void* FXAlloc(void) {
  void* block = nullptr;
  FXAllocBlocks(&block, 1);
  return block;
}

int32_t FXAllocBlocks(void** blocks, int32_t count) {
  if (blocks == nullptr || count < 1) {
    return 0;
  }
  int32_t taken = 0;
  size_t size = 0;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    while (taken < count && g_pool.count > 0) {
      const uint32_t index = g_pool.freeStack[--g_pool.count];
      g_pool.onStack[index] = false;
      blocks[taken++] = g_pool.blocks[index];
    }
    size = static_cast<size_t>(g_pool.size);
  }
  // Without a pool the size is 0, and a malloc(0) block would be overrun by every caller.
  // The rest come from the system outside the lock, so painters on other threads do not
  // queue behind each other's mallocs.
  while (size != 0 && taken < count) {
    void* block = std::malloc(size);
    if (block == nullptr) {
      break;
    }
    blocks[taken++] = block;
  }
  return taken;
}

int32_t FXFree(void* block) {
  if (block == nullptr) {
    return 0;
  }
  std::unique_lock<std::mutex> lock(g_mutex);
  const auto address = reinterpret_cast<uintptr_t>(block);
  if (address < g_pool.rangeBegin || address >= g_pool.rangeEnd) {
    lock.unlock();
    std::free(block);
    return 0;
  }
  // Inside the pool's range: never free(), whatever else is wrong with the address.
  if (g_pool.base == nullptr) {
    return 0;  // the pool was released at unload
  }
  const uintptr_t offset = address - g_pool.rangeBegin;
  const auto size = static_cast<uintptr_t>(g_pool.size);
  if (offset % size != 0) {
    return 0;  // not a block the pool handed out
  }
  const auto index = static_cast<uint32_t>(offset / size);
  if (g_pool.count >= kBlockCount || g_pool.onStack[index]) {
    return 0;  // a double free: pushing it again would hand the block out twice
  }
  g_pool.onStack[index] = true;
  g_pool.freeStack[g_pool.count++] = index;
  return 0;
}

}  // extern "C"
