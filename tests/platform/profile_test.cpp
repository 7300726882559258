#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform_test_support.h"

namespace varnel {
namespace {

using test::Exists;
using test::ReadFile;
using test::ScopedEnv;
using test::TempFolder;
using test::WriteFile;

// ---- Where the file lives ----

struct LocationCase {
  const char* name;
  std::optional<std::string> config;
  std::optional<std::string> xdg;
  std::optional<std::string> home;
  std::string expected;
};

void PrintTo(const LocationCase& c, std::ostream* out) { *out << c.name; }

class ProfileLocation : public testing::TestWithParam<LocationCase> {};

TEST_P(ProfileLocation, FollowsTheEnvironment) {
  const LocationCase& c = GetParam();
  ScopedEnv config("VARNEL_CONFIG", c.config);
  ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
  ScopedEnv home("HOME", c.home);
  EXPECT_EQ(Profile::DefaultPath(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environment, ProfileLocation,
    testing::Values(
        LocationCase{"ConfigWins", "/c/my.ini", "/x", "/h", "/c/my.ini"},
        LocationCase{"EmptyConfigIgnored", "", "/x", "/h", "/x/varnel/varnel.ini"},
        LocationCase{"XdgConfigHome", std::nullopt, "/x", "/h", "/x/varnel/varnel.ini"},
        LocationCase{"RelativeXdgIgnored", std::nullopt, "rel", "/h",
                     "/h/.config/varnel/varnel.ini"},
        LocationCase{"HomeFallback", std::nullopt, std::nullopt, "/h",
                     "/h/.config/varnel/varnel.ini"}),
    [](const testing::TestParamInfo<LocationCase>& info) { return info.param.name; });

TEST(Profile, AppProfileOpensTheDefaultPathOnceAndResetReopensIt) {
  TempFolder folder;
  ScopedEnv config("VARNEL_CONFIG", folder / "first.ini");
  WriteFile(folder / "first.ini", "[S]\nk=first\n");
  WriteFile(folder / "second.ini", "[S]\nk=second\n");

  Profile& profile = AppProfile();
  EXPECT_EQ(profile.Path(), folder / "first.ini");
  EXPECT_EQ(profile.GetString("S", "k", ""), "first");

  setenv("VARNEL_CONFIG", (folder / "second.ini").c_str(), 1);
  EXPECT_EQ(&AppProfile(), &profile);
  EXPECT_EQ(AppProfile().GetString("S", "k", ""), "first");
  ResetAppProfile();
  EXPECT_EQ(&AppProfile(), &profile);  // earlier references stay valid
  EXPECT_EQ(profile.GetString("S", "k", ""), "second");
}

// ---- Reading ----

TEST(Profile, MissingFileIsAnEmptyProfile) {
  TempFolder folder;
  Profile profile(folder / "none/varnel.ini");
  EXPECT_FALSE(profile.Has("S", "k"));
  EXPECT_EQ(profile.GetInt("S", "k", 42), 42);
  EXPECT_EQ(profile.GetString("S", "k", "def"), "def");
  EXPECT_TRUE(profile.Keys("S").empty());
}

TEST(Profile, AFolderInPlaceOfTheFileIsAnEmptyProfile) {
  TempFolder folder;
  // Inside the test's own folder, so the lock file beside it goes with the folder.
  const std::filesystem::path inPlace = folder.Path() / "varnel.ini";
  std::filesystem::create_directory(inPlace);
  Profile profile(inPlace);
  EXPECT_TRUE(profile.Keys("S").empty());
  EXPECT_FALSE(profile.WriteInt("S", "k", 1));
  EXPECT_EQ(profile.GetInt("S", "k", 0), 1);
}

struct IntCase {
  const char* text;
  int32_t expected;  // kDefault when the text is not a number
};
constexpr int32_t kDefault = -777;

// Shows the text in brackets; a backslash would need escaping in the CTest listing.
void PrintTo(const IntCase& c, std::ostream* out) {
  *out << '[';
  for (const char* p = c.text; *p != '\0'; ++p) *out << (*p == '\\' ? '/' : *p);
  *out << ']';
}

class ProfileGetInt : public testing::TestWithParam<IntCase> {};

TEST_P(ProfileGetInt, ReadsLikeARegistryDword) {
  TempFolder folder;
  WriteFile(folder / "p.ini", std::string("[S]\nk=\"") + GetParam().text + "\"\n");
  Profile profile(folder / "p.ini");
  EXPECT_EQ(profile.GetInt("S", "k", kDefault), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ProfileGetInt,
    testing::Values(IntCase{"0", 0}, IntCase{"123", 123}, IntCase{"  123  ", 123},
                    IntCase{"+7", 7}, IntCase{"-1", -1}, IntCase{"-2147483648", INT32_MIN},
                    IntCase{"2147483647", INT32_MAX}, IntCase{"0x1F", 31},
                    IntCase{"0XfF", 255}, IntCase{"-0x10", -16}, IntCase{"010", 10},
                    IntCase{"0xFFFFFFFF", -1}, IntCase{"4294967295", -1},
                    IntCase{"4294967296", 0}, IntCase{"0x123456789", 0x23456789},
                    IntCase{"18446744073709551615", -1},
                    IntCase{"18446744073709551616", kDefault},
                    IntCase{"0x10000000000000000", kDefault}, IntCase{"", kDefault},
                    IntCase{" ", kDefault}, IntCase{"abc", kDefault}, IntCase{"12abc", kDefault},
                    IntCase{"1 2", kDefault}, IntCase{"0x", kDefault}, IntCase{"-", kDefault},
                    IntCase{"--1", kDefault}, IntCase{"- 1", kDefault},
                    IntCase{"0x1G", kDefault}, IntCase{"1.5", kDefault},
                    IntCase{"\\n5", kDefault}));

// ---- Writing ----

TEST(Profile, WriteIntStoresDecimalAndReadsBack) {
  TempFolder folder;
  Profile profile(folder / "p.ini");
  EXPECT_TRUE(profile.WriteInt("Window", "OBJECTPALUIyPOS", -35));
  EXPECT_EQ(profile.GetInt("window", "objectpaluiypos", 0), -35);
  EXPECT_EQ(ReadFile(folder / "p.ini"), "[Window]\nOBJECTPALUIyPOS=-35\n");
  EXPECT_EQ(Profile(folder / "p.ini").GetInt("WINDOW", "ObjectPalUIyPos", 0), -35);
}

TEST(Profile, WriteStringKeepsAwkwardValuesIntact) {
  TempFolder folder;
  const std::string value = "  C:\\Varnel\\Save \"x\"\n\t";
  Profile(folder / "p.ini").WriteString("Paths", "Save", value);
  EXPECT_EQ(Profile(folder / "p.ini").GetString("paths", "save", ""), value);
}

TEST(Profile, WriteKeepsTheFirstSpellingOfAnExistingKey) {
  TempFolder folder;
  WriteFile(folder / "p.ini", "[Palette]\nColorPalette.Visible=0\n");
  Profile profile(folder / "p.ini");
  EXPECT_TRUE(profile.WriteInt("PALETTE", "colorpalette.visible", 1));
  EXPECT_EQ(ReadFile(folder / "p.ini"), "[Palette]\nColorPalette.Visible=1\n");
}

TEST(Profile, WriteIntoAMissingFolderCreatesIt) {
  TempFolder folder;
  std::string path = folder / "a/b/c/varnel.ini";
  Profile profile(path);
  EXPECT_TRUE(profile.WriteString("S", "k", "v"));
  EXPECT_EQ(ReadFile(path), "[S]\nk=v\n");
}

TEST(Profile, WriteIntSurvivesAnotherProfileWritingADifferentKey) {
  TempFolder folder;
  Profile first(folder / "p.ini");
  Profile second(folder / "p.ini");
  EXPECT_TRUE(first.WriteInt("S", "first", 1));
  EXPECT_TRUE(second.WriteInt("S", "second", 2));  // second never read "first"
  EXPECT_TRUE(first.WriteInt("Other", "third", 3));

  Profile fresh(folder / "p.ini");
  EXPECT_EQ(fresh.GetInt("S", "first", 0), 1);
  EXPECT_EQ(fresh.GetInt("S", "second", 0), 2);
  EXPECT_EQ(fresh.GetInt("Other", "third", 0), 3);
  // A successful write also brings in what the other copy wrote.
  EXPECT_EQ(first.GetInt("S", "second", 0), 2);
}

TEST(Profile, ConcurrentProcessesWritingDifferentKeysAllSurvive) {
  TempFolder folder;
  std::string path = folder / "p.ini";
  constexpr int kProcesses = 4;
  constexpr int kWrites = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      Profile profile(path);
      bool ok = true;
      for (int i = 0; i < kWrites; ++i) {
        ok = profile.WriteInt("P" + std::to_string(p), "k" + std::to_string(i), p * 100 + i) && ok;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Profile result(path);
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_EQ(result.GetInt("P" + std::to_string(p), "k" + std::to_string(i), -1), p * 100 + i);
    }
  }
}

TEST(Profile, ReplacementLeavesNoTemporaryFilesBehind) {
  TempFolder folder;
  Profile profile(folder / "varnel.ini");
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(profile.WriteInt("S", "k" + std::to_string(i), i));
  EXPECT_EQ(folder.List(), (std::vector<std::string>{"varnel.ini", "varnel.ini.lock"}));
}

TEST(Profile, ReplacementSwapsTheFileRatherThanRewritingIt) {
  TempFolder folder;
  std::string path = folder / "p.ini";
  Profile profile(path);
  ASSERT_TRUE(profile.WriteInt("S", "a", 1));
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  ASSERT_TRUE(profile.WriteInt("S", "b", 2));
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
}

TEST(Profile, UnwritableLocationAnswersFalseButKeepsTheValueInMemory) {
  TempFolder folder;
  WriteFile(folder / "blocker", "a file where a folder should be");
  Profile profile(folder / "blocker/varnel.ini");
  EXPECT_FALSE(profile.WriteInt("S", "n", 5));
  EXPECT_FALSE(profile.WriteString("S", "s", "text"));
  EXPECT_EQ(profile.GetInt("S", "n", 0), 5);
  EXPECT_EQ(profile.GetString("S", "s", ""), "text");
  EXPECT_EQ(ReadFile(folder / "blocker"), "a file where a folder should be");
  profile.Reload();
  EXPECT_FALSE(profile.Has("S", "n"));
}

TEST(Profile, InvalidNamesAreRefused) {
  TempFolder folder;
  Profile profile(folder / "p.ini");
  EXPECT_FALSE(profile.WriteInt("S", "a=b", 1));
  EXPECT_FALSE(profile.WriteInt("S", "line\nbreak", 1));
  EXPECT_FALSE(profile.WriteInt("S", "", 1));
  EXPECT_FALSE(Exists(folder / "p.ini"));
}

TEST(Profile, DeleteKeyRemovesItFromFileAndMemory) {
  TempFolder folder;
  WriteFile(folder / "p.ini", "[S]\na=1\nb=2\n");
  Profile profile(folder / "p.ini");
  EXPECT_TRUE(profile.DeleteKey("s", "A"));
  EXPECT_FALSE(profile.Has("S", "a"));
  EXPECT_EQ(ReadFile(folder / "p.ini"), "[S]\nb=2\n");
  EXPECT_TRUE(profile.DeleteKey("S", "never-there"));
  EXPECT_EQ(ReadFile(folder / "p.ini"), "[S]\nb=2\n");
}

TEST(Profile, DeletingFromAMissingFileCreatesNothing) {
  TempFolder folder;
  Profile profile(folder / "p.ini");
  EXPECT_TRUE(profile.DeleteKey("S", "k"));
  EXPECT_FALSE(Exists(folder / "p.ini"));
}

TEST(Profile, ReloadDropsWhatIsOnlyInMemoryAndSeesOtherWriters) {
  TempFolder folder;
  Profile profile(folder / "p.ini");
  ASSERT_TRUE(profile.WriteInt("S", "a", 1));
  WriteFile(folder / "p.ini", "[S]\nb=2\n");
  EXPECT_EQ(profile.GetInt("S", "a", 0), 1);
  profile.Reload();
  EXPECT_FALSE(profile.Has("S", "a"));
  EXPECT_EQ(profile.GetInt("S", "b", 0), 2);
}

TEST(Profile, KeepsFilePermissionsAcrossWrites) {
  TempFolder folder;
  std::string path = folder / "p.ini";
  WriteFile(path, "[S]\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(Profile(path).WriteInt("S", "k", 1));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// A linked settings file is written where the link points and the link stays; a file nobody
// may write is left as it is, the value kept in memory only.
TEST(Profile, ALinkIsFollowedAndAReadOnlyFileIsLeftAlone) {
  TempFolder folder;
  WriteFile(folder / "kept.ini", "[S]\na=1\n");
  ASSERT_EQ(symlink((folder / "kept.ini").c_str(), (folder / "p.ini").c_str()), 0);
  ASSERT_TRUE(Profile(folder / "p.ini").WriteInt("S", "b", 2));
  struct stat link {};
  ASSERT_EQ(lstat((folder / "p.ini").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_EQ(ReadFile(folder / "kept.ini"), "[S]\na=1\nb=2\n");

  WriteFile(folder / "frozen.ini", "[S]\na=1\n");
  ASSERT_EQ(chmod((folder / "frozen.ini").c_str(), 0444), 0);
  Profile frozen(folder / "frozen.ini");
  EXPECT_FALSE(frozen.WriteInt("S", "a", 5));
  EXPECT_EQ(frozen.GetInt("S", "a", 0), 5);
  EXPECT_EQ(ReadFile(folder / "frozen.ini"), "[S]\na=1\n");
}

}  // namespace
}  // namespace varnel
