// The text tool and the layer move tool in the running program, chosen by their keys and driven
// with real pointer and key events on the view, with the text window and the layer's numbers.

#include <gtest/gtest.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "core/canvas.h"
#include "shell/command_ids.h"
#include "shell/text_option_panel.h"
#include "shell/varnel_doc.h"
#include "tests/shell/shell_fixture.h"
#include "tools/text_tool.h"

namespace varnel {
namespace {

class TextLayerMoveGuiTest : public ShellTest {
 protected:
  void StartWith(const std::vector<std::pair<const char*, int32_t>>& settings = {}) {
    ProgramTextSettings() = TextSettings{};
    Start(settings);
    m_app->MainFrame()->resize(1200, 900);
  }
  Layer& Active() { return *ActiveView()->GetDocument()->GetCanvas().ActiveLayer(); }
  QWidget* Viewport() { return ActiveView()->viewport(); }
  static QPoint At(int x, int y) { return {CVarnelView::kMargin + x, CVarnelView::kMargin + y}; }
  template <class Widget>
  Widget* Control(const char* name) { return m_app->MainFrame()->findChild<Widget*>(name); }
  void Undo() {
    m_app->MainFrame()->UpdateCommandStates();
    m_app->MainFrame()->Command(cmd::kEditUndo)->trigger();
  }
  // Pixels of the active layer that are not white.
  int Painted() {
    int painted = 0;
    for (int32_t y = 0; y < Active().Height(); ++y)
      painted += static_cast<int>(std::count_if(Active().Row(y), Active().Row(y) + Active().Width(),
                                                [](uint32_t p) { return p != 0xFFFFFFFFu; }));
    return painted;
  }
};

TEST_F(TextLayerMoveGuiTest, AClickPlacesTheTextAndEnterOrApplyDrawsIt) {
  StartWith({{"TEXTUIXPOS", 123}, {"TEXTUIYPOS", 77}});
  QTest::keyClick(Viewport(), Qt::Key_T);
  auto* window = m_app->MainFrame()->findChild<TextOptionPanel*>();
  ASSERT_TRUE(window != nullptr && window->isVisible());
  EXPECT_EQ(window->pos(), QPoint(123, 77));
  // Letters typed into the window are text, not the tools' keys.
  window->activateWindow();
  Control<QPlainTextEdit>("TextText")->setFocus();
  QTest::keyClicks(Control<QPlainTextEdit>("TextText"), "Bm");
  EXPECT_EQ(ProgramTextSettings().text, "Bm");
  EXPECT_TRUE(window->isVisible());
  Control<QPlainTextEdit>("TextText")->setPlainText("文字描画");
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(50, 60));
  EXPECT_EQ(Painted(), 0);
  // The view shows the glyphs in their box before they are drawn.
  const auto* tool = dynamic_cast<const TextTool*>(ActiveView()->GetDocument()->GetCanvas().ActiveTool());
  ASSERT_NE(tool, nullptr);
  const Rect box = tool->PlacedBounds();
  const QImage shot = Viewport()->grab().toImage();
  int shown = 0;
  for (int32_t y = box.top + 1; y < box.bottom; ++y)
    for (int32_t x = box.left + 1; x < box.right; ++x) shown += (shot.pixel(At(x, y)) & 0xFFFFFF) != 0xFFFFFFu;
  EXPECT_GT(shown, 20);
  QTest::keyClick(Viewport(), Qt::Key_Return);
  const int drawn = Painted();
  EXPECT_GT(drawn, 0);
  Undo();
  EXPECT_EQ(Painted(), 0);
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(50, 60));
  QTest::mouseClick(Control<QPushButton>("TextApply"), Qt::LeftButton);
  EXPECT_EQ(Painted(), drawn);
  // Another tool hides the window, which keeps its place.
  window->move(140, 90);
  QTest::keyClick(Viewport(), Qt::Key_B);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(m_profile->GetInt("Settings", "TEXTUIXPOS", 0), 140);
}

TEST_F(TextLayerMoveGuiTest, ADragAKeyAndTheNumbersMoveTheLayerEachAsOneUndoStep) {
  StartWith();
  for (int32_t y = 0; y < 10; ++y) std::fill_n(Active().Row(y), 10, 0xFFFF0000u);
  Active().DiscardBackups();
  ActiveView()->GetDocument()->GetCanvas().ComposeAll();
  QTest::keyClick(Viewport(), Qt::Key_V);
  QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, At(5, 5));
  QTest::mouseMove(Viewport(), At(35, 20));
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, At(35, 20));
  EXPECT_EQ(ViewPixel(ActiveView(), At(35, 20).x(), At(35, 20).y()), 0xFFFF0000u);
  EXPECT_EQ(ViewPixel(ActiveView(), At(5, 5).x(), At(5, 5).y()), 0xFFFFFFFFu);
  EXPECT_EQ(Control<QSpinBox>("LayerOffsetX")->value(), 30);
  QTest::keyClick(Viewport(), Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(Active().OffsetX(), 20);
  Control<QSpinBox>("LayerOffsetY")->setValue(7);
  QTest::mouseClick(Control<QPushButton>("LayerMove"), Qt::LeftButton);
  EXPECT_EQ(ViewPixel(ActiveView(), At(20, 7).x(), At(20, 7).y()), 0xFFFF0000u);
  Undo();
  EXPECT_EQ((std::pair{Active().OffsetX(), Active().OffsetY()}), (std::pair{20, 15}));
}

}  // namespace
}  // namespace varnel
