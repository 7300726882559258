// The program creates the Memwell pool once at start-up with blocks that hold one tile
// backup; the core tests run against the same pool. Undo steps and mask files go to a
// temporary folder of the test's own, which must hold none of them any more when the test
// ends: a file left there is a step or a mask that was not cleaned up.

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
    for (const auto& entry : std::filesystem::directory_iterator(m_folder, ec)) {
      const std::string name = entry.path().filename().string();
      EXPECT_FALSE(name.rfind("lm", 0) == 0 || name.rfind("vnt", 0) == 0) << "left behind: " << entry.path();
    }
    std::filesystem::remove_all(m_folder, ec);
  }

 private:
  std::string m_folder;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new CoreEnvironment);

}  // namespace
