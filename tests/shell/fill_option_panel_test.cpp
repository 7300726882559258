// The closed-area fill's option panel, driven with real input events on the offscreen platform:
// every control writes the program's fill settings, the tolerance comes from its dialog, and
// Refresh shows settings changed elsewhere without writing any back.

#include "shell/fill_option_panel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "shell/value_dialog.h"
#include "tools/area_fill_tool.h"

namespace varnel {
namespace {

template <class Widget>
Widget* Child(QWidget& panel, const QString& name) {
  auto* widget = panel.findChild<Widget*>(name);
  EXPECT_NE(widget, nullptr) << name.toStdString();
  return widget;
}

// Check boxes and radio buttons are clicked on their indicator.
void ClickIndicator(QAbstractButton* button) {
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
}

bool SameSettings(const AreaFillSettings& a, const AreaFillSettings& b) {
  return a.range == b.range && a.mode == b.mode && a.tolerance == b.tolerance && a.feather == b.feather;
}

TEST(AreaFillOptionPanel, EveryControlWritesTheProgramSettings) {
  ProgramAreaFillSettings() = AreaFillSettings();
  AreaFillOptionPanel panel;
  panel.show();
  ClickIndicator(Child<QRadioButton>(panel, "FillRange1"));
  ClickIndicator(Child<QRadioButton>(panel, "FillMode2"));
  ClickIndicator(Child<QCheckBox>(panel, "FillEdgeBlur"));
  EXPECT_TRUE(SameSettings(ProgramAreaFillSettings(), {kFillRangeWhole, kFillModeClear, 1, true}));
  ClickIndicator(Child<QRadioButton>(panel, "FillRange0"));
  ClickIndicator(Child<QRadioButton>(panel, "FillMode1"));
  EXPECT_TRUE(SameSettings(ProgramAreaFillSettings(), {kFillRangeRgb, kFillModeBrush, 1, true}));
}

TEST(AreaFillOptionPanel, TheToleranceComesFromItsDialogAndCancelKeepsIt) {
  ProgramAreaFillSettings() = AreaFillSettings();
  ProgramAreaFillSettings().tolerance = 12;
  AreaFillOptionPanel panel;
  std::vector<ValueField> asked;
  std::optional<std::vector<int>> answer = std::vector<int>{37};
  SetValueDialogHookForTesting([&](const QString& title, const std::vector<ValueField>& fields) {
    EXPECT_EQ(title, QString("塗りつぶしの判定の甘さ"));
    asked = fields;
    return answer;
  });
  Child<QPushButton>(panel, "FillTolerance")->click();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].value, 12);
  EXPECT_EQ(asked[0].minimum, 1);
  EXPECT_EQ(asked[0].maximum, 255);
  EXPECT_EQ(ProgramAreaFillSettings().tolerance, 37);
  answer.reset();
  Child<QPushButton>(panel, "FillTolerance")->click();
  EXPECT_EQ(ProgramAreaFillSettings().tolerance, 37);
  SetValueDialogHookForTesting(nullptr);
}

TEST(AreaFillOptionPanel, RefreshShowsTheSettingsWithoutWritingThem) {
  ProgramAreaFillSettings() = AreaFillSettings();
  AreaFillOptionPanel panel;
  panel.show();
  ProgramAreaFillSettings() = {kFillRangeWhole, kFillModeBrush, 9, true};
  panel.Refresh();
  EXPECT_TRUE(SameSettings(ProgramAreaFillSettings(), {kFillRangeWhole, kFillModeBrush, 9, true}));
  EXPECT_TRUE(Child<QRadioButton>(panel, "FillRange1")->isChecked());
  EXPECT_TRUE(Child<QRadioButton>(panel, "FillMode1")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(panel, "FillEdgeBlur")->isChecked());
  // The next click starts from what is shown.
  ClickIndicator(Child<QCheckBox>(panel, "FillEdgeBlur"));
  EXPECT_FALSE(ProgramAreaFillSettings().feather);
}

}  // namespace
}  // namespace varnel
