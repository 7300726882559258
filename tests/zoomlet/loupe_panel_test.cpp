// The program's loupe panel: the component registered and created from the library on first
// use, the panel at LOUPEUIXPOS/LOUPEUIYPOS (50, 50 when unset) and its place stored back.

#include "shell/loupe_panel.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/host.h"
#include "platform/profile.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

struct Env {
  test::TempFolder folder;
  Profile profile{folder.File("varnel.ini")};
  Env() { setenv("VARNEL_CONFIG", folder.File("varnel.ini").c_str(), 1); }
  ~Env() { unsetenv("VARNEL_CONFIG"); }
};

TEST(LoupePanel, TheFirstShowCreatesTheLoupeControlOnceAtTheStoredPlace) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, int>> stored;
    QPoint at;
  };
  const std::vector<Case> cases = {
      {"nothing stored", {}, {50, 50}},
      {"stored", {{"LOUPEUIXPOS", 120}, {"LOUPEUIYPOS", 80}}, {120, 80}},
      {"one key missing", {{"LOUPEUIXPOS", 120}}, {50, 50}},
  };
  for (const Case& c : cases) {
    Env env;
    for (const auto& [key, value] : c.stored) env.profile.WriteInt("Settings", key, value);
    LoupePanel panel(env.profile, nullptr, ZOOMLET_LIBRARY);
    EXPECT_EQ(panel.Control(), nullptr) << c.name << ": nothing loaded before the first show";
    panel.SetShown(true);
    ASSERT_NE(panel.Control(), nullptr) << c.name;
    EXPECT_EQ(panel.Control()->objectName(), "loupe") << c.name;
    EXPECT_EQ(panel.pos(), c.at) << c.name;
    QWidget* control = panel.Control();
    panel.SetShown(false);
    panel.SetShown(true);
    EXPECT_EQ(panel.Control(), control) << c.name;
  }
}

TEST(LoupePanel, WhereThePanelWasLeftIsStoredWhenItIsHidden) {
  Env env;
  LoupePanel panel(env.profile, nullptr, ZOOMLET_LIBRARY);
  panel.SetShown(true);
  panel.move(70, 60);
  panel.SetShown(false);
  const Profile written(env.folder.File("varnel.ini"));
  EXPECT_EQ(written.GetInt("Settings", "LOUPEUIXPOS", 0), 70);
  EXPECT_EQ(written.GetInt("Settings", "LOUPEUIYPOS", 0), 60);
}

TEST(LoupePanel, AMissingLibraryIsToldOnceAndShowsNothing) {
  Env env;
  RecordingHost host;
  ScopedHost scope(host);
  LoupePanel panel(env.profile, nullptr, env.folder.File("Ext/Zoomlet.so"));
  panel.SetShown(true);
  panel.SetShown(true);
  EXPECT_FALSE(panel.isVisible());
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "コントロールが作成できません");
}

}  // namespace
}  // namespace varnel
