// The user's data folder standing in for a read-only program folder.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/program_folder.h"
#include "platform_test_support.h"

namespace varnel {
namespace {

using test::Exists;
using test::ScopedEnv;
using test::TempFolder;
using test::WriteFile;

constexpr uid_t kNobody = 65534;

// Runs body in a child process that cannot create files in readOnly: as root the child becomes
// nobody (permission bits do not stop root), else the folder loses its write permission. The
// child's failed expectations are printed by the child and fail the test through its status.
void RunUnableToWrite(const TempFolder& temp, const std::string& readOnly, const std::function<void()>& body) {
  const bool root = ::geteuid() == 0;
  // nobody has to reach everything but the program folder, and write below the test folder.
  ::chmod(temp.Path().c_str(), 0777);
  ::chmod(readOnly.c_str(), root ? 0755 : 0555);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(3);
    body();
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::chmod(readOnly.c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child failed (status 3: it could not become nobody)";
}

// A program folder and a data home inside one test folder, each with the given files.
struct Folders {
  TempFolder temp;
  std::string program = temp / "program";
  std::string dataHome = temp / "data";
  std::string data = dataHome + "/varnel";
  ScopedEnv home{"VARNEL_HOME", program};
  ScopedEnv xdg{"XDG_DATA_HOME", dataHome};

  Folders() {
    ::mkdir(program.c_str(), 0755);
    ::mkdir(dataHome.c_str(), 0777);
    ::chmod(dataHome.c_str(), 0777);  // past the umask, for nobody
  }
  void Put(const std::string& root, const std::string& relative) {
    const std::string path = root + "/" + relative;
    for (size_t slash = path.find('/', temp.Path().string().size() + 1); slash != std::string::npos; slash = path.find('/', slash + 1))
      if (::mkdir(path.substr(0, slash).c_str(), 0777) == 0) ::chmod(path.substr(0, slash).c_str(), 0777);
    if (path.back() != '/') WriteFile(path, relative);
  }
};

struct HomeCase {
  const char* name;
  std::optional<std::string> dataHome;  // nullopt: unset
  std::optional<std::string> home;
  const char* expected;
};

TEST(UserDataFolder, FollowsXdgDataHomeAndFallsBackToHomeForAnUnsetEmptyOrRelativeOne) {
  const HomeCase cases[] = {
      {"absolute", "/data/u", "/home/u", "/data/u/varnel"},
      {"trailing slash", "/data/u/", "/home/u", "/data/u/varnel"},
      {"unset", std::nullopt, "/home/u", "/home/u/.local/share/varnel"},
      {"empty", "", "/home/v", "/home/v/.local/share/varnel"},
      {"relative", "data/u", "/home/w", "/home/w/.local/share/varnel"},
      {"dot relative", "./data", "/home/w/", "/home/w/.local/share/varnel"},
      {"no home either", std::nullopt, std::nullopt, "/.local/share/varnel"},
  };
  for (const HomeCase& c : cases) {
    ScopedEnv data("XDG_DATA_HOME", c.dataHome);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(UserDataFolder(), c.expected) << c.name;
  }
}

TEST(DataFolder, AWritableProgramFolderKeepsEverythingAndTheDataFolderIsLeftAlone) {
  Folders f;
  f.Put(f.data, "res/hist.cd");
  f.Put(f.data, "Ptv/user.ptv");
  f.Put(f.program, "Ptv/shipped.ptv");

  EXPECT_TRUE(ProgramFolderWritable());
  EXPECT_EQ(WritablePath("res/hist.cd"), f.program + "/res/hist.cd");
  EXPECT_EQ(WritablePath("\\Save\\"), f.program + "/Save/");
  EXPECT_FALSE(Exists(f.program + "/res")) << "nothing is created in the program folder";
  EXPECT_EQ(ReadablePath("res/hist.cd"), f.program + "/res/hist.cd");
  EXPECT_EQ(SearchFolders("Ptv"), std::vector<std::string>{f.program + "/Ptv"});
  EXPECT_EQ(f.temp.List("program"), std::vector<std::string>{"Ptv"}) << "the probe is gone";
}

struct WriteCase {
  const char* relative;
  const char* path;    // below the data folder
  const char* folder;  // the deepest folder that has to exist afterwards
};

TEST(DataFolder, AReadOnlyProgramFolderSendsWritesToTheDataFolderAndCreatesItsFolders) {
  Folders f;
  RunUnableToWrite(f.temp, f.program, [&] {
    EXPECT_FALSE(ProgramFolderWritable());
    const WriteCase cases[] = {
        {"res/hist.cd", "/res/hist.cd", "/res"},
        {"\\cloneSource.vlb", "/cloneSource.vlb", ""},
        {"Save/", "/Save/", "/Save"},
        {"Brush/Presets/group/a.bpp", "/Brush/Presets/group/a.bpp", "/Brush/Presets/group"},
        {"NetData", "/NetData", ""},
    };
    for (const WriteCase& c : cases) {
      EXPECT_EQ(WritablePath(c.relative), f.data + c.path) << c.relative;
      struct stat info {};
      EXPECT_TRUE(::stat((f.data + c.folder).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) << c.relative;
    }
    EXPECT_FALSE(Exists(f.data + "/NetData")) << "only the folders above the file";
  });
  EXPECT_TRUE(f.temp.List("program").empty());
}

struct ReadCase {
  const char* name;
  bool shipped;
  bool user;
  bool fromData;  // else from the program folder
};

TEST(DataFolder, AReadOnlyProgramFolderReadsTheUsersCopyOfAFileWhenThereIsOne) {
  const ReadCase cases[] = {
      {"shipped only", true, false, false},
      {"both", true, true, true},
      {"user only", false, true, true},
      {"neither", false, false, false},
  };
  for (const ReadCase& c : cases) {
    Folders f;
    if (c.shipped) f.Put(f.program, "res/hist.cd");
    if (c.user) f.Put(f.data, "res/hist.cd");
    f.Put(f.data, "res/folder.cd/");
    RunUnableToWrite(f.temp, f.program, [&] {
      EXPECT_EQ(ReadablePath("res/hist.cd"), (c.fromData ? f.data : f.program) + "/res/hist.cd") << c.name;
      EXPECT_EQ(ReadablePath("res/folder.cd"), f.program + "/res/folder.cd") << "a folder is no copy";
    });
  }
}

struct SearchCase {
  const char* name;
  bool shipped;
  bool user;
  std::vector<std::string> expected;  // relative to the test folder
};

TEST(DataFolder, AReadOnlyProgramFolderListsItsOwnFolderFirstThenTheUsersExistingOnly) {
  const SearchCase cases[] = {
      {"both", true, true, {"program/Filter", "data/varnel/Filter"}},
      {"shipped only", true, false, {"program/Filter"}},
      {"user only", false, true, {"data/varnel/Filter"}},
      {"neither", false, false, {}},
  };
  for (const SearchCase& c : cases) {
    Folders f;
    if (c.shipped) f.Put(f.program, "Filter/");
    if (c.user) f.Put(f.data, "Filter/");
    std::vector<std::string> expected;
    for (const std::string& relative : c.expected) expected.push_back(f.temp / relative);
    RunUnableToWrite(f.temp, f.program, [&] {
      EXPECT_EQ(SearchFolders("Filter/"), expected) << c.name;
      EXPECT_EQ(SearchFolders("\\Filter"), expected) << c.name;
    });
  }
}

TEST(DataFolder, WritabilityIsFoundAnewForAnotherProgramFolder) {
  Folders f;
  const std::string other = f.temp / "other";
  ::mkdir(other.c_str(), 0777);
  ::chmod(other.c_str(), 0777);
  RunUnableToWrite(f.temp, f.program, [&] {
    EXPECT_FALSE(ProgramFolderWritable());
    setenv("VARNEL_HOME", other.c_str(), 1);
    EXPECT_TRUE(ProgramFolderWritable());
    EXPECT_EQ(WritablePath("res/hist.cd"), other + "/res/hist.cd");
    setenv("VARNEL_HOME", f.program.c_str(), 1);
    EXPECT_FALSE(ProgramFolderWritable());
  });
  EXPECT_TRUE(f.temp.List("other").empty()) << "the probe is gone";
}

TEST(DataFolder, AMissingProgramFolderCountsAsReadOnly) {
  Folders f;
  ScopedEnv home("VARNEL_HOME", f.temp / "missing");
  EXPECT_FALSE(ProgramFolderWritable());
  EXPECT_EQ(WritablePath("script.log"), f.data + "/script.log");
  EXPECT_TRUE(Exists(f.data));
}

}  // namespace
}  // namespace varnel
