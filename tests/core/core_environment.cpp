// The program creates the Memwell pool once at start-up with blocks that hold one tile
// backup; the core tests run against the same pool. Undo steps and mask files go to a
// temporary folder of the test's own, which must hold none of them any more when the test
// ends: a file left there is a step or a mask that was not cleaned up.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "memwell/memwell.h"
#include "sdk/varnel_image.h"
#include "tests/support/temp_folder.h"

namespace {

class CoreEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    m_folder = std::make_unique<varnel::test::TempFolder>();
    setenv("TMPDIR", m_folder->Path().c_str(), 1);
  }
  void TearDown() override {
    for (const std::string& name : m_folder->List())
      EXPECT_FALSE(name.rfind("lm", 0) == 0 || name.rfind("vnt", 0) == 0) << "left behind: " << name;
    m_folder.reset();
  }

 private:
  std::unique_ptr<varnel::test::TempFolder> m_folder;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new CoreEnvironment);

}  // namespace
