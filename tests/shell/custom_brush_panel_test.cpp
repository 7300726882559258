// The custom brush panel and its preset save dialog, driven with real input events on the
// offscreen platform.

#include "shell/custom_brush_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "brush/brush_preset.h"
#include "document/bitmap_file.h"
#include "platform/host.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

class CustomBrushPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"Shape", "Texture", "Presets/水彩"}) std::filesystem::create_directories(m_dir / sub);
    for (const char* file : {"Shape/star.bmp", "Shape/round_soft.bmp", "Texture/paper.bmp"}) WriteSmallBitmap(file);
    m_panel = std::make_unique<CustomBrushPanel>(m_dir.Path().string());
    m_panel->onChanged = [this](const CustomBrushParams& p) { m_changes.push_back(p); };
    m_panel->show();
  }

  void WriteSmallBitmap(const std::string& name) {
    ImageSurface picture;
    ASSERT_EQ(picture.Create({6, 3}), 0);
    picture.SetPixel(1, 1, 0xFF000000u);
    ASSERT_EQ(WriteBitmap24(m_dir / name, picture), 0);
  }

  // The control, with its tab brought to the front so it takes input like a visible control.
  template <class Control>
  Control* Shown(const char* name) {
    auto* control = m_panel->findChild<Control*>(name);
    EXPECT_NE(control, nullptr) << name;
    for (int i = 0; control != nullptr && i < m_panel->Tabs()->count(); ++i)
      if (m_panel->Tabs()->widget(i)->isAncestorOf(control)) m_panel->Tabs()->setCurrentIndex(i);
    return control;
  }

  // A combo box is stepped to the entry at value; a check box is clicked until its state is value.
  void Drive(const char* name, int value) {
    if (auto* combo = m_panel->findChild<QComboBox*>(name)) {
      Shown<QComboBox>(name);
      while (combo->currentIndex() < value) QTest::keyClick(combo, Qt::Key_Down);
      while (combo->currentIndex() > value) QTest::keyClick(combo, Qt::Key_Up);
    } else if (auto* box = Shown<QCheckBox>(name); box != nullptr && box->isChecked() != (value != 0)) {
      QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
    }
  }

  test::TempFolder m_dir;
  RecordingHost m_host;
  ScopedHost m_scopedHost{m_host};
  std::unique_ptr<CustomBrushPanel> m_panel;
  std::vector<CustomBrushParams> m_changes;
};

CustomBrushParams Unusual() {
  CustomBrushParams p;
  p.shapeFile = "gone.bmp";
  p.textureFile = "paper.bmp";
  p.blendMode = 7;
  p.colourMode = 6;
  p.density = 300;
  p.gather = 12;
  p.rotationMode = 2;
  p.fadeOn = 1;
  p.fadeValue = 33;
  p.gradation = 4;
  p.backgroundColourEffect = 1;
  p.inkRefill = 9;
  p.backgroundColourAmount = 77;
  p.colourVariation = 2;
  p.colourVariationValue[0] = 10, p.colourVariationValue[1] = 20, p.colourVariationValue[2] = 30;
  p.positionVariationOn = 1;
  p.positionVariation = 40;
  p.bumpAngle = 30;
  p.strokeCount = 12;
  p.strokeColourJitterMode = 1;
  p.strokeColourJitter[0] = 5, p.strokeColourJitter[1] = 6, p.strokeColourJitter[2] = 7;
  p.strokePositionJitter = 50;
  return p;
}

TEST_F(CustomBrushPanelTest, ParamsComeBackAsSetEvenWhereNoControlCanShowThem) {
  m_panel->SetParams(Unusual());
  EXPECT_EQ(m_panel->Params(), Unusual());
  EXPECT_TRUE(m_changes.empty());
  EXPECT_EQ(m_panel->findChild<QListWidget*>("ShapeList")->currentItem()->data(Qt::UserRole).toString(), "gone.bmp");
  EXPECT_EQ(m_panel->findChild<QComboBox*>("BumpAngle")->currentData().toInt(), 30);

  // Touching one control changes its field alone; the raw values of the others stay.
  Drive("RotationMode", 1);
  CustomBrushParams expected = Unusual();
  expected.rotationMode = 1;
  ASSERT_EQ(m_changes.size(), 1u);
  EXPECT_EQ(m_changes.back(), expected);
  EXPECT_EQ(m_panel->Params(), expected);
}

TEST_F(CustomBrushPanelTest, ListsOfferNoneThenTheBitmapsByNameAndAPickSetsTheFileName) {
  auto* shapes = Shown<QListWidget>("ShapeList");
  ASSERT_EQ(shapes->count(), 3);
  EXPECT_EQ(shapes->item(0)->data(Qt::UserRole).toString(), "");
  EXPECT_EQ(shapes->item(1)->data(Qt::UserRole).toString(), "round_soft.bmp");
  EXPECT_EQ(shapes->item(2)->data(Qt::UserRole).toString(), "star.bmp");
  QTest::mouseClick(shapes->viewport(), Qt::LeftButton, Qt::NoModifier,
                    shapes->visualItemRect(shapes->item(2)).center());
  EXPECT_EQ(m_panel->Params().shapeFile, "star.bmp");
  ASSERT_FALSE(m_changes.empty());
  EXPECT_EQ(m_changes.back().shapeFile, "star.bmp");

  WriteSmallBitmap("Texture/canvas.bmp");
  m_panel->ReloadLists();
  EXPECT_EQ(m_panel->findChild<QListWidget*>("TextureList")->count(), 3);
  EXPECT_EQ(m_panel->Params().shapeFile, "star.bmp");
}

TEST_F(CustomBrushPanelTest, ControlsAreEnabledOnlyWhereTheirSettingApplies) {
  struct Case {
    const char* name;
    const char* control;
    std::vector<int> steps;  // combo entries chosen, or check box states clicked to, in order
    std::vector<const char*> dependents;
    bool enabled;
  };
  const Case cases[] = {
      {"bump angle for bump mode", "ColourMode", {8}, {"BumpAngle"}, true},
      {"bump angle not for mixing", "ColourMode", {8, 7}, {"BumpAngle"}, false},
      {"colour range for RGB range", "ColourMode", {5}, {"RangeForeground", "RangeBackground"}, true},
      {"colour range for HSV range", "ColourMode", {6}, {"RangeForeground", "RangeBackground"}, true},
      {"colour range not for bump", "ColourMode", {5, 8}, {"RangeForeground", "RangeBackground"}, false},
      {"background edits with the box", "BackgroundColourEffect", {1}, {"InkRefill", "BackgroundColourAmount"}, true},
      {"background edits without it", "BackgroundColourEffect", {1, 0}, {"InkRefill", "BackgroundColourAmount"}, false},
      {"variation for HLS", "ColourVariation", {2}, {"ColourVariation1", "ColourVariation3"}, true},
      {"no variation for none", "ColourVariation", {1, 0}, {"ColourVariation1", "ColourVariation3"}, false},
      {"stroke jitter for RGB", "StrokeColourJitterMode", {1}, {"StrokeColourJitter2"}, true},
      {"no stroke jitter for none", "StrokeColourJitterMode", {2, 0}, {"StrokeColourJitter2"}, false},
      {"position variation with the box", "PositionVariationOn", {1}, {"PositionVariation"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_panel->SetParams(CustomBrushParams());
    for (int step : c.steps) Drive(c.control, step);
    for (const char* dependent : c.dependents) {
      auto* widget = m_panel->findChild<QWidget*>(dependent);
      ASSERT_NE(widget, nullptr) << dependent;
      EXPECT_EQ(widget->isEnabled(), c.enabled) << dependent;
    }
  }
}

TEST_F(CustomBrushPanelTest, AnEditClampsOnlyItsOwnFieldAndReportsIt) {
  m_panel->SetParams(Unusual());
  auto* count = Shown<QSpinBox>("StrokeCount");
  QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(count, "20");
  QTest::keyClick(count, Qt::Key_Return);
  ASSERT_EQ(m_changes.size(), 1u);
  EXPECT_EQ(m_changes.back().strokeCount, 8);
  EXPECT_EQ(m_changes.back().density, 300);

  QTest::keyClick(Shown<QSlider>("DensitySlider"), Qt::Key_Home);
  EXPECT_EQ(m_changes.back().density, 0);
  EXPECT_EQ(m_panel->findChild<QSpinBox*>("Density")->value(), 0);
  EXPECT_EQ(m_panel->Params(), m_changes.back());
}

TEST_F(CustomBrushPanelTest, TheSaveButtonWritesThePresetIntoTheChosenGroup) {
  m_panel->SetParams(Unusual());
  std::vector<std::string> saved;
  m_panel->onPresetSaved = [&saved](const std::string& path) { saved.push_back(path); };
  QStringList groups;
  QString proposal;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<PresetSaveDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    for (int i = 0; i < dialog->GroupBox()->count(); ++i) groups << dialog->GroupBox()->itemText(i);
    proposal = dialog->NameEdit()->text();
    dialog->GroupBox()->setEditText("水彩");
    dialog->NameEdit()->setText("にじみ");
    dialog->accept();
  });
  QTest::mouseClick(m_panel->findChild<QPushButton*>("SavePreset"), Qt::LeftButton);
  EXPECT_EQ(groups, QStringList{"水彩"});
  EXPECT_EQ(proposal, "標準ブラシ1");
  const std::string path = m_dir / "Presets/水彩/にじみ.bpp";
  ASSERT_EQ(saved, std::vector<std::string>{path});
  CustomBrushParams readBack;
  ASSERT_TRUE(ReadPresetFile(path, readBack));
  EXPECT_EQ(readBack, m_panel->Params());
  ASSERT_FALSE(m_host.boxes.empty());
  EXPECT_EQ(m_host.boxes.back().text, kPresetSaved);
}

TEST_F(CustomBrushPanelTest, AnEmptyGroupSavesIntoNoNamedGroupUnderTheNextProposedName) {
  m_panel->SaveFromDialog(*m_panel->MakeSaveDialog());
  const auto dialog = m_panel->MakeSaveDialog();
  EXPECT_EQ(dialog->NameEdit()->text(), "標準ブラシ2");
  dialog->GroupBox()->setEditText("");
  const std::optional<std::string> path = m_panel->SaveFromDialog(*dialog);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(*path, m_dir / "Presets/NoNamedGroup/標準ブラシ2.bpp");
  CustomBrushParams readBack = Unusual();
  ASSERT_TRUE(ReadPresetFile(*path, readBack));
  EXPECT_EQ(readBack, m_panel->Params());
}

}  // namespace
}  // namespace varnel
