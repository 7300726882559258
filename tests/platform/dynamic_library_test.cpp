#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/dynamic_library.h"
#include "platform_test_support.h"

namespace varnel {
namespace {

using test::ScopedEnv;
using test::TempFolder;

using AnswerFunction = int (*)(int);

// A program folder with the test plug-in installed as Filter/TestPlug.so.
class PluginFolder {
 public:
  PluginFolder() : m_home("VARNEL_HOME", m_folder.Path()) {
    mkdir((m_folder / "Filter").c_str(), 0755);
    test::WriteFile(m_folder / "Filter/TestPlug.so", test::ReadFile(VARNEL_TEST_PLUGIN));
  }
  const TempFolder& Folder() const { return m_folder; }

 private:
  TempFolder m_folder;
  ScopedEnv m_home;
};

TEST(DynamicLibrary, ResolvePathMapsWindowsNames) {
  TempFolder folder;
  ScopedEnv home("VARNEL_HOME", folder.Path());
  test::WriteFile(folder / "Local.so", "");
  struct Case {
    std::string name;
    std::string expected;
  } cases[] = {
      {"\\Filter\\blur.dll", "/Filter/blur.so"},          // absolute stays absolute
      {"Filter\\blur.DLL", folder / "Filter/blur.so"},     // relative with a folder
      {"Ext/view.ocx", folder / "Ext/view.so"},
      {"Ext/view.Ocx", folder / "Ext/view.so"},
      {"Filter/read.spi", folder / "Filter/read.spi"},     // other extensions stay
      {"Local.dll", folder / "Local.so"},                  // found in the program folder
      {"libm.so.6", "libm.so.6"},                          // left to the system search
      {"kernel32.dll", "kernel32.so"},
      {"/usr/lib/x.dll", "/usr/lib/x.so"},
      {"a.dll/b", folder / "a.dll/b"},                     // only the file name's extension
      {".dll", ".so"},
  };
  for (const Case& c : cases) EXPECT_EQ(DynamicLibrary::ResolvePath(c.name), c.expected) << c.name;
}

TEST(DynamicLibrary, LoadsAPluginByItsWindowsNameAndCallsIt) {
  PluginFolder plugins;
  DynamicLibrary library;
  ASSERT_TRUE(library.Open("Filter\\TestPlug.dll")) << library.Error();
  EXPECT_TRUE(library.IsOpen());
  EXPECT_EQ(library.Path(), plugins.Folder() / "Filter/TestPlug.so");
  auto answer = library.Function<AnswerFunction>("VarnelTestPluginAnswer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(20), 41);
  EXPECT_TRUE(library.Error().empty());
}

TEST(DynamicLibrary, MissingOrHiddenExportAnswersNull) {
  PluginFolder plugins;
  DynamicLibrary library;
  ASSERT_TRUE(library.Open("Filter/TestPlug.so")) << library.Error();
  EXPECT_EQ(library.Symbol("NoSuchFunction"), nullptr);
  EXPECT_EQ(library.Symbol("HiddenHelper"), nullptr);
  EXPECT_EQ(library.Symbol("_Z12HiddenHelperv"), nullptr);
  EXPECT_EQ(library.Symbol(nullptr), nullptr);
  EXPECT_TRUE(library.IsOpen());
}

TEST(DynamicLibrary, MissingFileAnswersFalseWithAnError) {
  PluginFolder plugins;
  DynamicLibrary library;
  EXPECT_FALSE(library.Open("Filter\\Missing.dll"));
  EXPECT_FALSE(library.IsOpen());
  EXPECT_NE(library.Error().find("Missing.so"), std::string::npos) << library.Error();
  EXPECT_EQ(library.Symbol("VarnelTestPluginAnswer"), nullptr);
}

TEST(DynamicLibrary, NotALibraryAnswersFalseWithAnError) {
  PluginFolder plugins;
  test::WriteFile(plugins.Folder() / "Filter/Broken.so", "not an ELF file");
  DynamicLibrary library;
  EXPECT_FALSE(library.Open("Filter/Broken.dll"));
  EXPECT_FALSE(library.Error().empty());
  EXPECT_FALSE(library.Open(""));
  EXPECT_FALSE(library.Error().empty());
  EXPECT_FALSE(library.IsOpen());
}

TEST(DynamicLibrary, FailedOpenClosesWhatWasOpenAndSuccessClearsTheError) {
  PluginFolder plugins;
  DynamicLibrary library;
  ASSERT_TRUE(library.Open("Filter/TestPlug.so"));
  EXPECT_FALSE(library.Open("Filter/Missing.so"));
  EXPECT_FALSE(library.IsOpen());
  EXPECT_TRUE(library.Open("Filter/TestPlug.so"));
  EXPECT_TRUE(library.Error().empty());
  library.Close();
  EXPECT_FALSE(library.IsOpen());
  library.Close();  // closing twice is harmless
}

TEST(DynamicLibrary, MovingHandsTheLibraryOver) {
  PluginFolder plugins;
  DynamicLibrary first;
  ASSERT_TRUE(first.Open("Filter/TestPlug.so"));
  DynamicLibrary second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  ASSERT_TRUE(second.IsOpen());
  DynamicLibrary third;
  third = std::move(second);
  EXPECT_FALSE(second.IsOpen());
  auto answer = third.Function<AnswerFunction>("VarnelTestPluginAnswer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(-1), -1);
}

TEST(DynamicLibrary, SystemLibrariesLoadByBareName) {
  TempFolder folder;
  ScopedEnv home("VARNEL_HOME", folder.Path());
  DynamicLibrary library;
  ASSERT_TRUE(library.Open("libm.so.6")) << library.Error();
  EXPECT_NE(library.Symbol("cos"), nullptr);
}

TEST(DynamicLibrary, LibraryFilesTakeALaterFoldersLibraryInPlaceOfAnEarlierOnesOfTheSameName) {
  TempFolder folder;
  mkdir((folder / "shipped").c_str(), 0755);
  mkdir((folder / "user").c_str(), 0755);
  for (const char* name : {"shipped/a.so", "shipped/b.so", "shipped/.so", "shipped/notes.so.txt", "user/b.so", "user/c.so"})
    test::WriteFile(folder / name, "");
  auto found = LibraryFiles({folder / "shipped", folder / "missing", folder / "user"});
  // Each folder comes in the file system's order; only where each name ends up matters here.
  std::sort(found.begin(), found.end());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"a.so", folder / "shipped/a.so"}, {"b.so", folder / "user/b.so"}, {"c.so", folder / "user/c.so"}};
  EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace varnel
