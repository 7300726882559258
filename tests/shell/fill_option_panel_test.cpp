// The closed-area fill's option panel: the tolerance comes from its dialog, and a cancelled
// dialog keeps it.

#include "shell/fill_option_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

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

}  // namespace
}  // namespace varnel
