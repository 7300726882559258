// The options dialog オプション: every option through the settings file and back, the ranges the
// values are held to, and the dialog driven from the ツール menu with real edits (OK writes and
// applies them at once, キャンセル changes nothing).

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <fstream>
#include <sstream>
#include <tuple>

#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "shell/command_ids.h"
#include "shell/options_dialog.h"
#include "shell/varnel_doc.h"
#include "shell/view_rulers.h"
#include "shell_fixture.h"

namespace varnel {

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// ---- the settings file ---------------------------------------------------------------------

struct RoundTripCase {
  const char* name;
  OptionValues values;
  int32_t storedSize;    // NEWIMAGESIZE: width << 16 | height, as a signed 32-bit number
  int32_t storedMargin;  // MarginColor: 0x00BBGGRR
};

const RoundTripCase kRoundTrips[] = {
    {"the shipped values", {}, 300 * 65536 + 300, 0xDCDCDC},
    {"every option away from its default",
     {.singleInstance = true, .backupSave = true, .newImageWidth = 640, .newImageHeight = 480,
      .marginColor = MakeColourRef(0x12, 0x34, 0x56), .brushCursor = true, .showDragObject = true, .rulers = true,
      .rulerTicInterval = 8, .rulerCaptionInterval = 64, .regionViewMode = 3, .susieFolder = "/opt/susie plugins",
      .debugLevel = 4, .penEraser = 11, .brushSizeStep = 10, .autosaveMinutes = 0},
     640 * 65536 + 480, 0x563412},
    {"the largest values",
     {.newImageWidth = 65535, .newImageHeight = 65535, .marginColor = MakeColourRef(255, 255, 255),
      .rulerTicInterval = 65535, .rulerCaptionInterval = 65535, .regionViewMode = 6,
      .susieFolder = "/home/ユーザー/Susie", .debugLevel = 6, .penEraser = 15, .brushSizeStep = 256,
      .autosaveMinutes = 1440},
     -1, 0xFFFFFF},
};

TEST(OptionsFile, EveryOptionIsWrittenToTheFileAndReadBackFromItAndNoOtherKey) {
  for (const RoundTripCase& c : kRoundTrips) {
    SCOPED_TRACE(c.name);
    test::TempFolder dir;
    {
      Profile profile(dir.File("varnel.ini"));
      profile.WriteInt("Settings", "MainWindowCX", 1234);
      profile.WriteInt("Settings", "BRUSHSIZE", PackSize(9, 9));
      // Settings loaded before the window and the brush changed: their old values stay unwritten.
      AppSettings settings;
      ApplyOptions(c.values, settings, profile);
      EXPECT_EQ(ReadOptions(settings, profile), c.values);
    }
    const Profile stored(dir.File("varnel.ini"));
    EXPECT_EQ(ReadOptions(AppSettings::Load(stored), stored), c.values);
    EXPECT_EQ(stored.GetInt("Settings", "NEWIMAGESIZE", 0), c.storedSize);
    EXPECT_EQ(stored.GetInt("Settings", "MarginColor", -1), c.storedMargin);
    // The eraser is kept as its entry's index + 1.
    EXPECT_EQ(stored.GetInt("Settings", "PENERASER", 0), c.values.penEraser);
    EXPECT_EQ(PenEraserAssignment(stored), c.values.penEraser);
    EXPECT_EQ(BrushSizeStep(stored), c.values.brushSizeStep);
    EXPECT_EQ(std::pair(stored.GetInt("Settings", "MainWindowCX", 0), stored.GetInt("Settings", "BRUSHSIZE", 0)),
              std::pair(1234, PackSize(9, 9)));
    EXPECT_FALSE(stored.Has("Settings", "FGCOLOR"));
  }
}

// What the dialog offers for stored values it would not write itself.
struct StoredCase {
  const char* key;
  const char* stored;
  OptionValues expected;
};

const StoredCase kStoredCases[] = {
    {"NEWIMAGESIZE", "0", {}},      // no size: the shipped one
    {"NEWIMAGESIZE", "65536", {}},  // height 0: the shipped size too
    {"DebugLevel", "0", {}},        // the shipped level shows as 1
    {"PENERASER", "99", {.penEraser = 15}},
    {"PENERASER", "abc", {}},       // not a number
    {"BRUSHSIZESTEP", "-3", {.brushSizeStep = 1}},
    {"MUTEX", "5", {.singleInstance = true}},  // non-zero is on
};

TEST(OptionsFile, StoredValuesOutsideTheirRangesReadAsTheNearestOneTheDialogOffers) {
  for (const StoredCase& c : kStoredCases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.stored);
    test::TempFolder dir;
    Profile profile(dir.File("varnel.ini"));
    profile.WriteString("Settings", c.key, c.stored);
    EXPECT_EQ(ReadOptions(AppSettings::Load(profile), profile), c.expected);
    EXPECT_EQ(PenEraserAssignment(profile), c.expected.penEraser);
    EXPECT_EQ(BrushSizeStep(profile), c.expected.brushSizeStep);
  }
}

// ---- ranges ----------------------------------------------------------------------------------

struct ClampCase {
  const char* name;
  OptionValues given, expected;
};

const ClampCase kClampCases[] = {
    {"below their ranges",
     {.newImageWidth = 0, .newImageHeight = -5, .rulerTicInterval = 0, .rulerCaptionInterval = -100,
      .regionViewMode = -1, .debugLevel = 0, .penEraser = 0, .brushSizeStep = 0},
     {.newImageWidth = 1, .newImageHeight = 1, .rulerTicInterval = 1, .rulerCaptionInterval = 1,
      .regionViewMode = 0, .debugLevel = 1, .penEraser = 1, .brushSizeStep = 1}},
    {"above their ranges",
     {.newImageWidth = 65536, .newImageHeight = 100000, .rulerTicInterval = 65536, .rulerCaptionInterval = 70000,
      .regionViewMode = 7, .debugLevel = 7, .penEraser = 16, .brushSizeStep = 1000},
     {.newImageWidth = 65535, .newImageHeight = 65535, .rulerTicInterval = 65535, .rulerCaptionInterval = 65535,
      .regionViewMode = 6, .debugLevel = 6, .penEraser = 15, .brushSizeStep = 256}},
    {"a margin colour with a top byte", {.marginColor = ColourRef{0xFF563412u}},
     {.marginColor = ColourRef{0x563412u}}},
};

TEST(OptionRanges, ValuesOutsideTheirRangesAreHeldToTheNearestEndAndWrittenSo) {
  for (const ClampCase& c : kClampCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ClampOptions(c.given), c.expected);
    test::TempFolder dir;
    Profile profile(dir.File("varnel.ini"));
    AppSettings settings;
    ApplyOptions(c.given, settings, profile);
    const Profile stored(dir.File("varnel.ini"));
    EXPECT_EQ(ReadOptions(AppSettings::Load(stored), stored), c.expected);
  }
}

TEST(OptionRanges, EachEraserEntryPutsItsToolOnThePensEraserEnd) {
  // Entry (index + 1) → the tool palette's slot of the tool it names; anything else is 消しゴム.
  const std::pair<int32_t, int32_t> cases[] = {
      {1, 2},   {2, 4},  {3, 5},   {4, 7},   {5, 8},  {6, 9}, {7, 10}, {8, 11}, {9, 12},
      {10, 13}, {11, 6}, {12, 16}, {13, 15}, {14, 3}, {15, 17}, {0, 2}, {16, 2}, {-1, 2}};
  for (const auto& [assignment, slot] : cases) EXPECT_EQ(PenEraserToolSlot(assignment), slot) << assignment;
}

// ---- the dialog ------------------------------------------------------------------------------

class OptionsDialogTest : public ShellTest {
 protected:
  void TearDown() override {
    SetOptionsDialogHookForTesting(nullptr);
    ProgramBrushSettings().SetSize(2, 2);
    RebuildProgramBrush();
    ShellTest::TearDown();
  }

  CMainFrame& Frame() { return *m_app->MainFrame(); }

  void Trigger(int id) {
    QAction* action = Frame().Command(id);
    ASSERT_NE(action, nullptr) << id;
    Frame().UpdateCommandStates();
    ASSERT_TRUE(action->isEnabled()) << id;
    action->trigger();
    QApplication::processEvents();
  }

  // Opens ツール → オプション..., lets edit change the dialog as a user would and presses the button.
  void RunDialog(const std::function<void(OptionsDialog&)>& edit, QDialogButtonBox::StandardButton press) {
    bool ran = false;
    SetOptionsDialogHookForTesting([&](OptionsDialog& dialog) {
      ran = true;
      edit(dialog);
      QTest::mouseClick(dialog.findChild<QDialogButtonBox*>("Buttons")->button(press), Qt::LeftButton);
      return dialog.result();
    });
    Trigger(cmd::kOptions);
    EXPECT_TRUE(ran);
  }

  template <class Widget>
  static Widget* Find(OptionsDialog& dialog, const char* name) {
    Widget* widget = dialog.findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  static void Type(OptionsDialog& dialog, const char* name, const char* text) {
    auto* spin = Find<QSpinBox>(dialog, name);
    spin->selectAll();
    QTest::keyClicks(spin, text);
  }
  static void Toggle(OptionsDialog& dialog, const char* name) {
    QTest::keyClick(Find<QCheckBox>(dialog, name), Qt::Key_Space);
  }

  // Every option changed through its control; the margin colour from the colour dialog.
  static void EditEverything(OptionsDialog& dialog) {
    for (const char* box : {"SingleInstance", "BackupSave", "BrushCursor", "ShowDragObject", "Rulers"})
      Toggle(dialog, box);
    for (const auto& [spin, text] : {std::pair{"NewImageWidth", "640"}, {"NewImageHeight", "480"},
                                     {"RulerTicInterval", "8"}, {"RulerCaptionInterval", "64"}, {"DebugLevel", "6"},
                                     {"BrushSizeStep", "10"}})
      Type(dialog, spin, text);
    Find<QComboBox>(dialog, "RegionViewMode")->setCurrentIndex(3);  // チェック
    Find<QComboBox>(dialog, "PenEraser")->setCurrentIndex(14);      // 定規
    auto* folder = Find<QLineEdit>(dialog, "SusieFolder");
    folder->selectAll();
    QTest::keyClicks(folder, "/opt/susie");
    dialog.SetColourChooser([](ColourRef, QWidget*) { return std::optional(MakeColourRef(0x12, 0x34, 0x56)); });
    QTest::mouseClick(Find<QPushButton>(dialog, "MarginColor"), Qt::LeftButton);
  }
};

TEST_F(OptionsDialogTest, OkWritesEveryEditToTheSettingsFileAndTheProgramUsesThemAtOnce) {
  Start();
  RunDialog(EditEverything, QDialogButtonBox::Ok);

  const Profile stored(m_dir.File("varnel.ini"));
  const std::pair<const char*, int32_t> expected[] = {
      {"MUTEX", 1},           {"BACKUPSAVE", 1},       {"NEWIMAGESIZE", 640 * 65536 + 480},
      {"MarginColor", 0x563412}, {"BRUSHCURSORON", 1}, {"SHOWDRAGOBJECT", 1},
      {"RULERON", 1},         {"RULERTICINTEVAL", 8},  {"RULERCAPTIONINTERVAL", 64},
      {"REGIONVIEWMODE", 3},  {"DebugLevel", 6},       {"PENERASER", 15},
      {"BRUSHSIZESTEP", 10}};
  for (const auto& [key, value] : expected) EXPECT_EQ(stored.GetInt("Settings", key, -1), value) << key;
  EXPECT_EQ(stored.GetString("Settings", "SusieFolder", ""), "/opt/susie");

  // The console, the menu, the open view's rulers, the size step and the next new picture.
  EXPECT_EQ(m_app->Console().Level(), 6);
  Frame().UpdateCommandStates();
  EXPECT_TRUE(Frame().Command(cmd::kRegionViewChecker)->isChecked());
  EXPECT_FALSE(ActiveView()->TopRuler()->isHidden());
  EXPECT_EQ(ActiveView()->MarginColor(), QColor(0x12, 0x34, 0x56));  // the open view too
  Trigger(cmd::kBrushSizeUp);
  EXPECT_EQ(ProgramBrushSettings().width, 2 + 10);
  Trigger(cmd::kBrushSizeDown);
  EXPECT_EQ(ProgramBrushSettings().width, 2);
  Trigger(cmd::kFileNew);
  EXPECT_EQ(ActiveView()->GetDocument()->GetCanvas().GetSize(), (Size{640, 480}));
  EXPECT_EQ(ActiveView()->MarginColor(), QColor(0x12, 0x34, 0x56));
}

TEST_F(OptionsDialogTest, CancelLeavesTheFileAndTheProgramAsTheyWere) {
  Start({{"RULERTICINTEVAL", 7}, {"DebugLevel", 3}, {"PENERASER", 4}});
  const std::string before = FileText(m_dir.File("varnel.ini"));
  const int32_t newImageSize = m_app->Settings().newImageSize;
  RunDialog(
      [](OptionsDialog& dialog) {
        // It opens on the settings in effect.
        const OptionValues shown = dialog.Values();
        EXPECT_EQ(std::tuple(shown.rulerTicInterval, shown.debugLevel, shown.penEraser), std::tuple(7, 3, 4));
        EditEverything(dialog);
      },
      QDialogButtonBox::Cancel);

  EXPECT_EQ(FileText(m_dir.File("varnel.ini")), before);
  EXPECT_EQ(m_app->Settings().newImageSize, newImageSize);
  EXPECT_EQ(m_app->Settings().rulerOn, 0);
  EXPECT_EQ(m_app->Console().Level(), 3);
  Trigger(cmd::kBrushSizeUp);
  EXPECT_EQ(ProgramBrushSettings().width, 2 + 4);
}

TEST_F(OptionsDialogTest, NumbersTypedOutsideTheirRangesAreHeldToThem) {
  Start();
  RunDialog(
      [](OptionsDialog& dialog) {
        for (const auto& [spin, text] : {std::pair{"NewImageWidth", "70000"}, {"NewImageHeight", "0"},
                                         {"RulerCaptionInterval", "0"}, {"DebugLevel", "9"}, {"BrushSizeStep", "999"}})
          Type(dialog, spin, text);
      },
      QDialogButtonBox::Ok);
  const Profile stored(m_dir.File("varnel.ini"));
  // NEWIMAGESIZE: 65535 << 16 | 1 as the signed number the file keeps.
  for (const auto& [key, value] : {std::pair{"NEWIMAGESIZE", int32_t(0xFFFF0001u)}, {"RULERCAPTIONINTERVAL", 1},
                                   {"DebugLevel", 6}, {"BRUSHSIZESTEP", 256}})
    EXPECT_EQ(stored.GetInt("Settings", key, 0), value) << key;
}

}  // namespace
}  // namespace varnel
