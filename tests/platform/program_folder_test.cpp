#include <gtest/gtest.h>

#include <stdlib.h>

#include "platform/program_folder.h"
#include "platform_test_support.h"

namespace varnel {
namespace {

using test::ScopedEnv;

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  std::string result = resolved != nullptr ? resolved : path;
  free(resolved);
  return result;
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
  ScopedEnv home("VARNEL_HOME", std::nullopt);
  EXPECT_EQ(ProgramFolder(), RealPath(VARNEL_TEST_EXE_DIR));
}

TEST(ProgramFolder, VarnelHomeWinsAndIsReadOnEveryCall) {
  {
    ScopedEnv home("VARNEL_HOME", "/opt/varnel");
    EXPECT_EQ(ProgramFolder(), "/opt/varnel");
    setenv("VARNEL_HOME", "/srv/other/", 1);
    EXPECT_EQ(ProgramFolder(), "/srv/other");
  }
  ScopedEnv empty("VARNEL_HOME", "");
  EXPECT_EQ(ProgramFolder(), RealPath(VARNEL_TEST_EXE_DIR));
}

TEST(ProgramFolder, ToNativePathTurnsBackslashesIntoSlashes) {
  EXPECT_EQ(ToNativePath("\\Filter\\x.dll"), "/Filter/x.dll");
  EXPECT_EQ(ToNativePath("a/b\\c"), "a/b/c");
  EXPECT_EQ(ToNativePath(""), "");
}

TEST(ProgramFolder, ProgramPathJoinsWithExactlyOneSlash) {
  ScopedEnv home("VARNEL_HOME", "/opt/varnel/");
  struct Case {
    const char* relative;
    const char* expected;
  } cases[] = {
      {"\\Filter\\", "/opt/varnel/Filter/"},
      {"Filter/", "/opt/varnel/Filter/"},
      {"/Filter", "/opt/varnel/Filter"},
      {"\\res\\PaletteMenu\\menu.txt", "/opt/varnel/res/PaletteMenu/menu.txt"},
      {"Brush\\Presets", "/opt/varnel/Brush/Presets"},
      {"\\\\Save", "/opt/varnel/Save"},
      {"\\", "/opt/varnel/"},
      {"", "/opt/varnel/"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgramPath(c.relative), c.expected) << c.relative;
}

}  // namespace
}  // namespace varnel
