// The favourite folders of the open dialog and where they are kept.

#include "iogate/folder_history.h"

#include <gtest/gtest.h>

#include "tests/iogate/iogate_test_support.h"

namespace varnel::iogate {
namespace {

TEST(FolderKey, PadsTheIndexWithASpace) {
  EXPECT_EQ(FolderKey(0), "Folder 0");
  EXPECT_EQ(FolderKey(9), "Folder 9");
  EXPECT_EQ(FolderKey(10), "Folder10");
}

TEST(GatewayProfilePath, IsIogateIniBesideTheProgramsSettings) {
  setenv("VARNEL_CONFIG", "/some/where/varnel.ini", 1);
  EXPECT_EQ(GatewayProfilePath(), "/some/where/iogate.ini");
  unsetenv("VARNEL_CONFIG");
}

TEST(FolderHistory, RoundTripsThroughTheProfileUnderSectionHistory) {
  test::TempFolder dir;
  const std::string file = dir.File("iogate.ini");
  {
    Profile profile(file);
    FolderHistory history;
    history.Add("/home/user/pictures");
    history.Add("/tmp/a folder ");
    ASSERT_TRUE(history.Save(profile));
  }
  const std::string text = testing::ReadText(file);
  EXPECT_NE(text.find("[History]"), std::string::npos);
  EXPECT_NE(text.find("Folder 0=/home/user/pictures"), std::string::npos);
  Profile again(file);
  FolderHistory loaded;
  loaded.Load(again);
  EXPECT_EQ(loaded.Folders(), (std::vector<std::string>{"/home/user/pictures", "/tmp/a folder "}));
}

TEST(FolderHistory, LoadingSkipsEmptyAndMissingEntriesAndReadsOnlyTen) {
  test::TempFolder dir;
  Profile profile(dir.File("iogate.ini"));
  profile.WriteString("History", "Folder 1", "/b");
  profile.WriteString("History", "Folder 3", "");
  profile.WriteString("History", "Folder 4", "/d");
  profile.WriteString("History", "Folder10", "/beyond");
  profile.WriteString("History", "Folder0", "/unpadded");
  FolderHistory history;
  history.Load(profile);
  EXPECT_EQ(history.Folders(), (std::vector<std::string>{"/b", "/d"}));
}

TEST(FolderHistory, SavingAShorterListRemovesTheKeysAfterIt) {
  test::TempFolder dir;
  Profile profile(dir.File("iogate.ini"));
  for (int i = 0; i < 10; ++i) profile.WriteString("History", FolderKey(i), "/old" + std::to_string(i));
  FolderHistory history;
  history.Add("/new");
  ASSERT_TRUE(history.Save(profile));
  Profile again(dir.File("iogate.ini"));
  EXPECT_EQ(again.Keys("History"), (std::vector<std::string>{"Folder 0"}));
  EXPECT_EQ(again.GetString("History", "Folder 0", ""), "/new");
}

TEST(FolderHistory, HoldsTenFoldersTheOldestMakingRoomAndNoneTwice) {
  FolderHistory history;
  for (int i = 0; i < 10; ++i) history.Add("/f" + std::to_string(i));
  history.Add("/f3");
  history.Add("");
  EXPECT_EQ(history.Folders().size(), 10u);
  history.Add("/f10");
  ASSERT_EQ(history.Folders().size(), 10u);
  EXPECT_EQ(history.Folders().front(), "/f1");
  EXPECT_EQ(history.Folders().back(), "/f10");
}

}  // namespace
}  // namespace varnel::iogate
