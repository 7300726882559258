#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/program_folder.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::TempFolder;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

TEST(AppSettings, WithNothingStoredEveryValueHasItsShippedDefault) {
  TempFolder dir;
  Profile profile(dir.File("none.ini"));
  const AppSettings s = AppSettings::Load(profile);
  EXPECT_EQ(s.NewImageSize().width, 300);
  EXPECT_EQ(s.NewImageSize().height, 300);
  EXPECT_EQ(s.mainWindowCX, 600);
  EXPECT_EQ(s.mainWindowCY, 480);
  EXPECT_EQ(s.mainWindowX, 0);
  EXPECT_EQ(s.mainWindowY, 0);
  EXPECT_EQ(s.marginColor, 0xDCDCDC);
  EXPECT_EQ(s.brushSize, 0x00020002);
  EXPECT_EQ(s.mutex, 0);
  EXPECT_EQ(s.debugLevel, 0);
  EXPECT_EQ(s.rulerTicInterval, 5);
  EXPECT_EQ(s.rulerCaptionInterval, 100);
  EXPECT_EQ(s.paletteCellCX, 20);
  EXPECT_EQ(s.paletteCellCY, 14);
  EXPECT_EQ(s.paletteMarginCX, 4);
  EXPECT_EQ(s.paletteMarginCY, 3);
  EXPECT_EQ(s.filterUIXPos, 50);
  EXPECT_EQ(s.plUIYPos, 50);
  EXPECT_EQ(s.paletteFile, ProgramFolder() + "/PAL.CD");
  EXPECT_TRUE(s.susieFolder.empty());
  EXPECT_FALSE(s.fgColor.has_value());
  EXPECT_FALSE(s.objectPalUIYPos.has_value());
}

// Each key exactly as the program stores it, with a value unlike its default.
struct StoredKey {
  const char* section;
  const char* key;
  int32_t value;
  int32_t AppSettings::*field;
};

TEST(AppSettings, ReadsEveryIntegerKeyByItsStoredSpelling) {
  const StoredKey keys[] = {
      {"Settings", "SHELLREGIST", 1, &AppSettings::shellRegist},
      {"Settings", "MUTEX", 1, &AppSettings::mutex},
      {"Settings", "NEWIMAGESIZE", 0x01000080, &AppSettings::newImageSize},
      {"Settings", "BRUSHCURSORON", 1, &AppSettings::brushCursorOn},
      {"Settings", "SHOWDRAGOBJECT", 1, &AppSettings::showDragObject},
      {"Settings", "RULERON", 1, &AppSettings::rulerOn},
      {"Settings", "REGIONVIEWMODE", 4, &AppSettings::regionViewMode},
      {"Settings", "MarginColor", 0x123456, &AppSettings::marginColor},
      {"Settings", "ISMAXIMIZED", 1, &AppSettings::isMaximized},
      {"Settings", "MainWindowCX", 800, &AppSettings::mainWindowCX},
      {"Settings", "MainWindowCY", 700, &AppSettings::mainWindowCY},
      {"Settings", "MainWindowX", -8, &AppSettings::mainWindowX},
      {"Settings", "MainWindowY", 33, &AppSettings::mainWindowY},
      {"Settings", "DebugLevel", 6, &AppSettings::debugLevel},
      {"Settings", "BACKUPSAVE", 1, &AppSettings::backupSave},
      {"Settings", "ColorPalette.Visible", 1, &AppSettings::colorPaletteVisible},
      {"Settings", "BRUSHSIZE", 0x00100008, &AppSettings::brushSize},
      {"General", "BrushBrowser.Visible", 1, &AppSettings::brushBrowserVisible},
      {"Settings", "BRUSH_BROWSER_POS", 77, &AppSettings::brushBrowserPos},
      {"Settings", "BRUSH_BROWSER_SIZE", 88, &AppSettings::brushBrowserSize},
      {"Settings", "RULERTICINTEVAL", 10, &AppSettings::rulerTicInterval},
      {"Settings", "RULERCAPTIONINTERVAL", 50, &AppSettings::rulerCaptionInterval},
      {"Settings", "PALETTECELLCX", 21, &AppSettings::paletteCellCX},
      {"Settings", "PALETTECELLCY", 15, &AppSettings::paletteCellCY},
      {"Settings", "PALETTEMARGINCX", 5, &AppSettings::paletteMarginCX},
      {"Settings", "PALETTEMARGINCY", 6, &AppSettings::paletteMarginCY},
      {"Settings", "FILTERUIXPOS", 11, &AppSettings::filterUIXPos},
      {"Settings", "FILTERUIYPOS", 12, &AppSettings::filterUIYPos},
      {"Settings", "LOUPEUIXPOS", 13, &AppSettings::loupeUIXPos},
      {"Settings", "LOUPEUIYPOS", 14, &AppSettings::loupeUIYPos},
      {"Settings", "PLUIXPOS", 15, &AppSettings::plUIXPos},
      {"Settings", "PLUIYPOS", 16, &AppSettings::plUIYPos},
  };
  TempFolder dir;
  Profile profile(dir.File("keys.ini"));
  for (const StoredKey& k : keys) ASSERT_TRUE(profile.WriteInt(k.section, k.key, k.value)) << k.key;
  // A separate reader sees them: the values went to the file, not just into memory.
  const AppSettings s = AppSettings::Load(Profile(dir.File("keys.ini")));
  for (const StoredKey& k : keys) EXPECT_EQ(s.*(k.field), k.value) << k.key;
}

TEST(AppSettings, OddlySpelledKeysAreReadOnlyUnderTheirOwnSpelling) {
  TempFolder dir;
  WriteFile(dir.File("odd.ini"),
            "[Settings]\nOBJECTPALUIyPOS=41\nOBJECTPALUIXPOS=40\nRULERTICINTEVAL=9\nRULERTICINTERVAL=3\n"
            "FGCOLOR=255\nBGCOLOR=16711680\nTEXTUIXPOS=7\nTEXTUIYPOS=8\nPALETTEXPOS=1\nPALETTEYPOS=2\n"
            "SusieFolder=/opt/spi\nPALETTEFILE=/home/u/my.cd\n");
  const AppSettings s = AppSettings::Load(Profile(dir.File("odd.ini")));
  EXPECT_EQ(s.objectPalUIYPos, 41);
  EXPECT_EQ(s.objectPalUIXPos, 40);
  EXPECT_EQ(s.rulerTicInterval, 9);
  EXPECT_EQ(s.fgColor, 255);
  EXPECT_EQ(s.bgColor, 0xFF0000);
  EXPECT_EQ(s.textUIXPos, 7);
  EXPECT_EQ(s.textUIYPos, 8);
  EXPECT_EQ(s.paletteXPos, 1);
  EXPECT_EQ(s.paletteYPos, 2);
  EXPECT_EQ(s.susieFolder, "/opt/spi");
  EXPECT_EQ(s.paletteFile, "/home/u/my.cd");
}

TEST(AppSettings, BrushBrowserVisibilityLivesInTheGeneralSection) {
  TempFolder dir;
  WriteFile(dir.File("g.ini"), "[Settings]\nBrushBrowser.Visible=1\n");
  EXPECT_EQ(AppSettings::Load(Profile(dir.File("g.ini"))).brushBrowserVisible, 0);
  WriteFile(dir.File("g.ini"), "[General]\nBrushBrowser.Visible=1\n");
  EXPECT_EQ(AppSettings::Load(Profile(dir.File("g.ini"))).brushBrowserVisible, 1);
}

TEST(AppSettings, SaveThenLoadGivesBackEveryValue) {
  TempFolder dir;
  Profile profile(dir.File("rt.ini"));
  AppSettings s;
  s.shellRegist = 1;
  s.mutex = 1;
  s.newImageSize = PackSize(640, 480);
  s.marginColor = 0x00FF00;
  s.susieFolder = "/srv/プラグイン";
  s.fgColor = 0x0000FF;
  s.objectPalUIYPos = -5;
  s.brushBrowserVisible = 1;
  s.mainWindowX = 120;
  s.brushSize = PackSize(30, 31);
  s.Save(profile);
  const AppSettings back = AppSettings::Load(Profile(dir.File("rt.ini")));
  EXPECT_EQ(back.shellRegist, 1);
  EXPECT_EQ(back.mutex, 1);
  EXPECT_EQ(back.NewImageSize().width, 640);
  EXPECT_EQ(back.NewImageSize().height, 480);
  EXPECT_EQ(back.marginColor, 0x00FF00);
  EXPECT_EQ(back.susieFolder, "/srv/プラグイン");
  EXPECT_EQ(back.fgColor, 0x0000FF);
  EXPECT_FALSE(back.bgColor.has_value());
  EXPECT_EQ(back.objectPalUIYPos, -5);
  EXPECT_EQ(back.brushBrowserVisible, 1);
  EXPECT_EQ(back.mainWindowX, 120);
  EXPECT_EQ(back.brushSize, PackSize(30, 31));
}

TEST(AppSettings, ShutdownWritesOnlyPlacementMaximizedAndBrushSize) {
  TempFolder dir;
  Profile profile(dir.File("sd.ini"));
  AppSettings s;
  s.isMaximized = 1;
  s.brushSize = PackSize(9, 9);
  s.mainWindowX = 10;
  s.mainWindowY = 20;
  s.mainWindowCX = 700;
  s.mainWindowCY = 500;
  s.marginColor = 0x111111;
  s.SaveShutdown(profile);
  const Profile back(dir.File("sd.ini"));
  std::vector<std::string> keys = back.Keys("Settings");
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"BRUSHSIZE", "ISMAXIMIZED", "MainWindowCX", "MainWindowCY",
                                            "MainWindowX", "MainWindowY"}));
  EXPECT_EQ(back.GetInt("Settings", "BRUSHSIZE", 0), 0x00090009);
  EXPECT_EQ(back.GetInt("Settings", "MainWindowCY", 0), 500);
}

TEST(PackedSize, HighWordIsWidthLowWordIsHeight) {
  struct Case {
    int32_t packed;
    int32_t width;
    int32_t height;
  } cases[] = {
      {19661100, 300, 300},
      {0x00020002, 2, 2},
      {0x01000080, 256, 128},
      {static_cast<int32_t>(0xFFFF0001u), 65535, 1},
      {0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnpackSize(c.packed).width, c.width) << c.packed;
    EXPECT_EQ(UnpackSize(c.packed).height, c.height) << c.packed;
    EXPECT_EQ(PackSize(c.width, c.height), c.packed) << c.packed;
  }
}

TEST(ButtonSetting, ValueNamesAreEightLowerCaseHexDigits) {
  EXPECT_EQ(ButtonSettingKey(0), "button00000000");
  EXPECT_EQ(ButtonSettingKey(0x2A), "button0000002a");
  EXPECT_EQ(ButtonSettingKey(0xDEADBEEF), "buttondeadbeef");
}

}  // namespace
}  // namespace varnel
