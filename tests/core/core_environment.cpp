// The program creates the Memwell pool once at start-up with blocks that hold one tile
// backup; the core tests run against the same pool. Undo steps spill into a temporary folder
// of the test's own, which must be empty again when the test ends.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "memwell/memwell.h"
#include "sdk/varnel_image.h"

namespace {

class CoreEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-core-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_folder = pattern;
    setenv("TMPDIR", m_folder.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(m_folder, ec);
  }

 private:
  std::string m_folder;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new CoreEnvironment);

}  // namespace
