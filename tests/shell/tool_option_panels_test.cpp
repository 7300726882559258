// The eraser's and the eyedropper's option panels, driven with real input events on the
// offscreen platform: every control writes the program's settings, and Refresh shows settings
// changed elsewhere without writing any back.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "shell/tool_option_panels.h"
#include "tools/eraser_tool.h"
#include "tools/eyedropper_tool.h"

namespace varnel {
namespace {

template <class Widget>
Widget* Child(QWidget& panel, const char* name) {
  auto* widget = panel.findChild<Widget*>(name);
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

// Check boxes and radio buttons are clicked on their indicator.
void ClickIndicator(QAbstractButton* button) {
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
}

void TypeInto(QSpinBox* spin, const QString& text) {
  ASSERT_NE(spin, nullptr);
  QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(spin, text);
  QTest::keyClick(spin, Qt::Key_Return);
}

TEST(EraserOptionPanel, EveryControlWritesTheProgramSettings) {
  ProgramEraserSettings() = EraserSettings();
  EraserOptionPanel panel;
  panel.show();
  TypeInto(Child<QSpinBox>(panel, "EraserOpacity"), "300");
  EXPECT_EQ(ProgramEraserSettings().baseOpacity, 256);  // held to the range
  TypeInto(Child<QSpinBox>(panel, "EraserOpacity"), "100");
  EXPECT_EQ(ProgramEraserSettings().baseOpacity, 100);
  ClickIndicator(Child<QCheckBox>(panel, "EraserPressureOpacity"));
  ClickIndicator(Child<QCheckBox>(panel, "EraserBackground"));
  EXPECT_EQ(ProgramEraserSettings(), (EraserSettings{100, true, true, true}));
  // Without "透明度に作用" the eraser paints the background anyway: "背景色" has nothing to say.
  ClickIndicator(Child<QCheckBox>(panel, "EraserAffectAlpha"));
  EXPECT_FALSE(ProgramEraserSettings().affectAlpha);
  EXPECT_FALSE(Child<QCheckBox>(panel, "EraserBackground")->isEnabled());

  // Settings loaded elsewhere show without being written back, and the next click starts there.
  ProgramEraserSettings() = EraserSettings{40, true, true, false};
  panel.Refresh();
  EXPECT_EQ(ProgramEraserSettings(), (EraserSettings{40, true, true, false}));
  ClickIndicator(Child<QCheckBox>(panel, "EraserPressureOpacity"));
  EXPECT_EQ(ProgramEraserSettings(), (EraserSettings{40, true, false, false}));
}

TEST(EyedropperOptionPanel, EveryControlWritesTheProgramSettings) {
  ProgramEyedropperSettings() = EyedropperSettings();
  EyedropperOptionPanel panel;
  panel.show();
  EXPECT_TRUE(Child<QCheckBox>(panel, "EyedropperFromDisplay")->isChecked());
  ClickIndicator(Child<QRadioButton>(panel, "EyedropperAverage5"));
  EXPECT_EQ(ProgramEyedropperSettings().average, 2);
  ClickIndicator(Child<QRadioButton>(panel, "EyedropperAverage3"));
  EXPECT_EQ(ProgramEyedropperSettings().average, 1);
  ClickIndicator(Child<QCheckBox>(panel, "EyedropperFromDisplay"));
  EXPECT_EQ(ProgramEyedropperSettings(), (EyedropperSettings{1, false}));

  ProgramEyedropperSettings() = EyedropperSettings{2, false};
  panel.Refresh();
  EXPECT_EQ(ProgramEyedropperSettings(), (EyedropperSettings{2, false}));
  ClickIndicator(Child<QRadioButton>(panel, "EyedropperAverage1"));
  ClickIndicator(Child<QCheckBox>(panel, "EyedropperFromDisplay"));
  EXPECT_EQ(ProgramEyedropperSettings(), (EyedropperSettings{0, true}));
}

}  // namespace
}  // namespace varnel
