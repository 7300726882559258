#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <set>

#include "platform/temp_file.h"
#include "platform_test_support.h"

namespace varnel {
namespace {

using test::Exists;
using test::ScopedEnv;
using test::TempFolder;

TEST(TempFile, DirectoryComesFromTmpdirWithoutTrailingSlash) {
  struct Case {
    std::optional<std::string> tmpdir;
    std::string expected;
  } cases[] = {
      {std::nullopt, "/tmp"}, {"", "/tmp"},       {"/var/tmp", "/var/tmp"},
      {"/var/tmp/", "/var/tmp"}, {"/var/tmp//", "/var/tmp"}, {"/", "/"},
  };
  for (const Case& c : cases) {
    ScopedEnv tmpdir("TMPDIR", c.tmpdir);
    EXPECT_EQ(TempDirectory(), c.expected) << c.tmpdir.value_or("(unset)");
  }
}

TEST(TempFile, NameIsPrefixAndUnpaddedUppercaseHex) {
  ScopedEnv tmpdir("TMPDIR", "/scratch/");
  EXPECT_EQ(TempFileName("vnt", 0x1A2F), "/scratch/vnt1A2F.tmp");
  EXPECT_EQ(TempFileName("vnt", 0x1), "/scratch/vnt1.tmp");
  EXPECT_EQ(TempFileName("vnt", 0xFFFF), "/scratch/vntFFFF.tmp");
  EXPECT_EQ(TempFileName("", 0xABC), "/scratch/ABC.tmp");
  EXPECT_EQ(TempFileName("x", 0), "/scratch/x0.tmp");
  ScopedEnv root("TMPDIR", "/");
  EXPECT_EQ(TempFileName("vnt", 0x10), "/vnt10.tmp");
}

TEST(TempFile, CreatesDistinctEmptyPrivateFiles) {
  TempFolder folder;
  ScopedEnv tmpdir("TMPDIR", folder.Path());
  std::set<uint32_t> numbers;
  for (int i = 0; i < 10; ++i) {
    uint32_t number = CreateTempFile("vnt");
    ASSERT_GE(number, 1u);
    ASSERT_LE(number, 0xFFFFu);
    numbers.insert(number);
    std::string path = TempFileName("vnt", number);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_size, 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }
  EXPECT_EQ(numbers.size(), 10u);
  EXPECT_EQ(folder.List().size(), 10u);
}

// Fills every number but `free` so the only way to succeed is to skip taken names (and wrap
// around from 0xFFFF to 1 when the start lies above `free`).
void TakeAllNumbersBut(const std::string& prefix, uint32_t free) {
  for (uint32_t n = 1; n <= 0xFFFF; ++n) {
    if (n == free) continue;
    int fd = open(TempFileName(prefix, n).c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
  }
}

TEST(TempFile, ExistingFilesAreSkippedUntilAFreeNumber) {
  TempFolder folder;
  ScopedEnv tmpdir("TMPDIR", folder.Path());
  TakeAllNumbersBut("vnt", 0x0002);
  EXPECT_EQ(CreateTempFile("vnt"), 0x0002u);
  EXPECT_TRUE(Exists(TempFileName("vnt", 2)));
  // Now every number is taken: the search gives up instead of looping forever.
  EXPECT_EQ(CreateTempFile("vnt"), 0u);
  // Another prefix has its own numbers.
  EXPECT_NE(CreateTempFile("abc"), 0u);
}

TEST(TempFile, MissingOrUnusableDirectoryGivesZero) {
  TempFolder folder;
  test::WriteFile(folder / "plain", "");
  for (const std::string& dir : {folder / "missing", folder / "plain", folder / "plain/sub"}) {
    ScopedEnv tmpdir("TMPDIR", dir);
    EXPECT_EQ(CreateTempFile("vnt"), 0u) << dir;
  }
}

TEST(TempFile, PrefixThatIsNotAFileNameGivesZero) {
  TempFolder folder;
  ScopedEnv tmpdir("TMPDIR", folder.Path());
  EXPECT_EQ(CreateTempFile("../escape"), 0u);
  EXPECT_EQ(CreateTempFile(std::string_view("a\0b", 3)), 0u);
  EXPECT_TRUE(folder.List().empty());
}

}  // namespace
}  // namespace varnel
