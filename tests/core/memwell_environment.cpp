// The program creates the Memwell pool once at start-up with blocks that hold one tile
// backup; the core tests run against the same pool.

#include <gtest/gtest.h>

#include "memwell/memwell.h"
#include "sdk/varnel_image.h"

namespace {

class MemwellEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup))); }
};

[[maybe_unused]] ::testing::Environment* const g_memwell =
    ::testing::AddGlobalTestEnvironment(new MemwellEnvironment);

}  // namespace
