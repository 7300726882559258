// The view's zoom tool and its panel, the rulers, the grid and the selection outline in the running
// program: clicks and strokes as real pointer events on the view, the commands from the menus.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "core/region.h"
#include "document/layer_file.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/grid_dialog.h"
#include "shell/tool_palette.h"
#include "shell/varnel_doc.h"
#include "shell/view_rulers.h"
#include "shell/zoom_option_panel.h"
#include "tests/shell/shell_fixture.h"
#include "tools/line_tool.h"
#include "tools/measure_tools.h"

namespace varnel {
namespace {

TEST(RulerIntervals, WidenUntilTicksAndCaptionsHaveRoom) {
  struct Case {
    int32_t tick, caption;
    double zoom;
    RulerIntervals want;
  };
  // Ticks 4 to 40 view pixels apart, captions 40 to 200; steps of 1, 2, 5 per decade.
  const Case cases[] = {
      {5, 100, 1.0, {5, 100}},     {0, 0, 1.0, {5, 100}},        {-4, -1, 2.0, {5, 100}},
      {5, 100, 0.5, {10, 100}},    {5, 100, 0.2, {25, 200}},     {5, 100, 0.01, {500, 5000}},
      {3, 7, 8.0, {3, 7}},
      // Zoomed in: ticks 5 × 8 = 40 still fit, captions 800 apart narrow to 20 (160).
      {5, 100, 8.0, {5, 20}},      {5, 100, 32.0, {1, 5}},       {5, 100, 3.0, {5, 50}},
      // Nothing narrower than one image pixel.
      {1, 1, 300.0, {1, 1}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RulerIntervalsAt(c.tick, c.caption, c.zoom, 40), c.want) << c.tick << " " << c.caption << " " << c.zoom;
}

TEST(RulerTicks, FollowTheScrollAndTheZoom) {
  struct Case {
    const char* name;
    double zoom;
    int32_t origin, length;
    RulerIntervals intervals;
    std::vector<RulerTick> want;
  };
  const Case cases[] = {
      // Scrolled 30 view pixels at zoom 2: image 0 lies 10 pixels before the ruler starts.
      {"zoomed and scrolled", 2.0, -10, 100, {5, 20},
       {{0, 5, false}, {10, 10, false}, {20, 15, false}, {30, 20, true}, {40, 25, false}, {50, 30, false},
        {60, 35, false}, {70, 40, true}, {80, 45, false}, {90, 50, false}}},
      {"captions off the tick interval", 1.0, 3, 20, {6, 10},
       {{3, 0, true}, {9, 6, false}, {13, 10, true}, {15, 12, false}}},
      {"zoomed out: image pixels share view pixels", 0.5, 0, 12, {8, 16}, {{0, 0, true}, {4, 8, false}, {8, 16, true}}},
      {"left of the picture the values are negative", 3.0, 7, 10, {1, 2}, {{1, -2, true}, {4, -1, false}, {7, 0, true}}},
      {"no length", 1.0, 0, 0, {5, 100}, {}},
      {"no zoom", 0.0, 0, 100, {5, 100}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(RulerTicks(c.zoom, c.origin, c.length, c.intervals), c.want) << c.name;
}

class ViewGridTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    Start();
    m_app->MainFrame()->resize(1200, 900);
    QApplication::processEvents();
  }
  void TearDown() override {
    SetGridDialogHookForTesting(nullptr);
    ShellTest::TearDown();
  }

  CVarnelDoc& Doc() { return *ActiveView()->GetDocument(); }
  Canvas& ActiveCanvas() { return Doc().GetCanvas(); }
  QWidget* Viewport() { return ActiveView()->viewport(); }
  // Where an image pixel is on the view (zoom 1, not scrolled).
  static QPoint At(int x, int y) { return {CVarnelView::kMargin + x, CVarnelView::kMargin + y}; }
  void Trigger(int id) {
    m_app->MainFrame()->UpdateCommandStates();
    QAction* action = m_app->MainFrame()->Command(id);
    ASSERT_NE(action, nullptr) << id;
    ASSERT_TRUE(action->isEnabled()) << id;
    action->trigger();
    QApplication::processEvents();
  }
  bool Checked(int id) {
    m_app->MainFrame()->UpdateCommandStates();
    return m_app->MainFrame()->Command(id)->isChecked();
  }
  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(Viewport(), to);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, to);
    QApplication::processEvents();
  }
};

TEST_F(ViewGridTest, AZoomToolClickKeepsTheClickedPixelUnderThePointer) {
  QTest::keyClick(Viewport(), Qt::Key_Z);
  ASSERT_EQ(ActiveCanvas().SelectedTool(), kZoomToolSlot);
  EXPECT_EQ(m_app->MainFrame()->ToolOptions()->ShownSlot(), kZoomToolSlot);
  CVarnelView* view = ActiveView();
  const QPoint pointer = At(100, 80);
  struct Step {
    Qt::MouseButton button;
    Qt::KeyboardModifiers keys;
    double zoom;
  };
  // In from 1 to 1.5 and 2, out with the right button and with Alt.
  for (const Step& step : {Step{Qt::LeftButton, Qt::NoModifier, 1.5}, Step{Qt::LeftButton, Qt::NoModifier, 2.0},
                           Step{Qt::RightButton, Qt::NoModifier, 1.5}, Step{Qt::LeftButton, Qt::AltModifier, 1.0}}) {
    QTest::mouseClick(Viewport(), step.button, step.keys, pointer);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(view->Zoom(), step.zoom);
    EXPECT_EQ(view->ViewToImage(pointer), QPoint(100, 80)) << step.zoom;
  }
  // At 2 the pixel's centre (100.5, 80.5) lies at the pointer: scrolled by 2 × 100.5 + 20 − 120.
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, pointer);
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, pointer);
  EXPECT_EQ(view->horizontalScrollBar()->value(), 101);
  EXPECT_EQ(view->verticalScrollBar()->value(), 81);
}

TEST_F(ViewGridTest, TheZoomPanelAppliesItsPercentageAndFollowsTheView) {
  QTest::keyClick(Viewport(), Qt::Key_Z);
  QWidget* panel = m_app->MainFrame()->ToolOptions()->Panel(kZoomToolSlot);
  ASSERT_NE(panel, nullptr);
  auto* percent = panel->findChild<QSpinBox*>("ZoomPercent");
  auto* apply = panel->findChild<QPushButton*>("ZoomApply");
  ASSERT_TRUE(percent && apply);
  EXPECT_EQ(percent->value(), 100);
  percent->setValue(250);
  QTest::mouseClick(apply, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(ActiveView()->Zoom(), 2.5);
  // The picture is drawn at the new zoom: pixel (10, 10) starts 25 view pixels in.
  EXPECT_EQ(ActiveView()->ImageToViewport({10, 10, 10, 10}).size(), QSize(3, 3));
  // A zoom from elsewhere (Ctrl + wheel, a click) shows in the panel.
  ActiveView()->SetZoom(4.0);
  EXPECT_EQ(percent->value(), 400);
}

TEST_F(ViewGridTest, RulersFollowTheZoomAndScrollAndTheirToggleIsKept) {
  CVarnelView* view = ActiveView();
  m_app->MainFrame()->ActiveChildFrame()->resize(600, 500);
  QApplication::processEvents();
  EXPECT_FALSE(view->TopRuler()->isVisible());
  Trigger(cmd::kRulers);
  EXPECT_TRUE(Checked(cmd::kRulers));
  EXPECT_EQ(m_profile->GetInt(kSettingsSection, "RULERON", 0), 1);
  ASSERT_TRUE(view->TopRuler()->isVisible());
  // Image 0 is 20 view pixels into the viewport, 100 two hundred at zoom 2.
  auto has = [](const ViewRuler* ruler, RulerTick tick) {
    const auto& ticks = ruler->Ticks();
    return std::find(ticks.begin(), ticks.end(), tick) != ticks.end();
  };
  EXPECT_TRUE(has(view->TopRuler(), {120, 100, true}));
  EXPECT_TRUE(has(view->LeftRuler(), {25, 5, false}));
  view->SetZoom(2.0);
  EXPECT_TRUE(has(view->TopRuler(), {220, 100, true}));
  view->horizontalScrollBar()->setValue(50);
  EXPECT_TRUE(has(view->TopRuler(), {170, 100, true}));

  Trigger(cmd::kRulers);
  EXPECT_FALSE(view->TopRuler()->isVisible());
  EXPECT_EQ(m_profile->GetInt(kSettingsSection, "RULERON", 1), 0);
}

TEST_F(ViewGridTest, TheGridIsDrawnOverThePictureFromItsZoomOn) {
  // The default grid: black lines every 16 pixels from (0, 0).
  Trigger(cmd::kGrid);
  EXPECT_TRUE(Checked(cmd::kGrid));
  EXPECT_FALSE(Doc().IsModified());  // looking at the grid changes nothing to save
  CVarnelView* view = ActiveView();
  const auto pixel = [this, view](QPoint at) { return ViewPixel(view, at.x(), at.y()); };
  EXPECT_EQ(pixel(At(16, 5)), 0xFF000000u);
  EXPECT_EQ(pixel(At(5, 32)), 0xFF000000u);
  EXPECT_EQ(pixel(At(17, 5)), 0xFFFFFFFFu);
  GridSettings gated = Doc().Grid();
  gated.zoomGate = 1;  // from 400 % on
  Doc().SetGrid(gated, false);
  QApplication::processEvents();
  EXPECT_EQ(pixel(At(16, 5)), 0xFFFFFFFFu);
  view->SetZoom(4.0);
  QApplication::processEvents();
  // Pixel 16 starts 64 view pixels in.
  EXPECT_EQ(pixel({20 + 64, 20 + 4}), 0xFF000000u);
  EXPECT_EQ(pixel({20 + 65, 20 + 4}), 0xFFFFFFFFu);
}

TEST_F(ViewGridTest, WithSnappingOnAStrokeRunsFromGridPointToGridPoint) {
  BrushToolSettings& brush = ProgramBrushSettings();
  const BrushToolSettings before = brush;
  brush.SetSize(1, 1);
  RebuildProgramBrush();
  Trigger(cmd::kGridSnap);
  EXPECT_TRUE(Checked(cmd::kGridSnap));
  // With the ruler: from (10, 13) to (60, 40) becomes (16, 16) to (64, 48) (40 is half way
  // between 32 and 48 and goes down): 48 across, 32 up the screen.
  m_app->MainFrame()->Palette()->SelectTool(kRulerToolSlot);
  Drag(At(10, 13), At(60, 40));
  EXPECT_EQ(m_app->MainFrame()->StatusText(), QString::fromUtf8("長さ: 57.7  角度: 326.3°"));
  // The line tool paints between the grid points only.
  QTest::keyClick(Viewport(), Qt::Key_L);
  ASSERT_EQ(ActiveCanvas().SelectedTool(), kLineToolSlot);
  Drag(At(10, 13), At(60, 20));
  Rect painted{1000, 1000, -1, -1};
  const Layer& layer = *ActiveCanvas().ActiveLayer();
  for (int32_t y = 0; y < layer.Height(); ++y)
    for (int32_t x = 0; x < layer.Width(); ++x)
      if (layer.Row(y)[x] != 0xFFFFFFFFu)
        painted = {std::min(painted.left, x), std::min(painted.top, y), std::max(painted.right, x),
                   std::max(painted.bottom, y)};
  EXPECT_EQ(painted, (Rect{16, 16, 64, 16}));
  brush = before;
  RebuildProgramBrush();
}

TEST_F(ViewGridTest, TheGridDialogEditsTheGridWhichIsSavedWithThePicture) {
  Doc().SetModifiedFlag(false);
  SetGridDialogHookForTesting([](GridDialog& dialog) {
    // It starts with the three axes of its own, at 0°, 60° and 120°.
    EXPECT_EQ(dialog.AxisCount(), 3);
    dialog.findChild<QCheckBox*>("GridShown")->setChecked(true);
    dialog.findChild<QRadioButton*>("GridKind1")->setChecked(true);
    dialog.findChild<QSpinBox*>("GridCellWidth")->setValue(10);
    dialog.findChild<QSpinBox*>("GridOriginY")->setValue(-4);
    dialog.findChild<QCheckBox*>("GridZoomGate")->setChecked(true);
    dialog.findChild<QSpinBox*>("GridZoomThreshold")->setValue(250);
    dialog.findChild<QCheckBox*>("GridSnap")->setChecked(true);
    dialog.AddAxis({ColourRef{0x00123456}, 24, 45});
    return int(QDialog::Accepted);
  });
  Trigger(cmd::kGridSettings);
  GridSettings want;
  want.shown = 1;
  want.kind = want.zoomGate = want.snap = 1;
  want.cellWidth = 10;
  want.originY = -4;
  want.zoomThreshold = 2.5;
  want.axes = GridSettings::DialogAxes();
  want.axes.push_back({ColourRef{0x00123456}, 24, 45});
  EXPECT_EQ(Doc().Grid(), want);
  EXPECT_TRUE(Doc().IsModified() && Checked(cmd::kGrid) && Checked(cmd::kGridSnap));

  // Cancel changes nothing.
  SetGridDialogHookForTesting([](GridDialog& dialog) {
    dialog.findChild<QSpinBox*>("GridCellWidth")->setValue(99);
    return int(QDialog::Rejected);
  });
  Trigger(cmd::kGridSettings);
  EXPECT_EQ(Doc().Grid(), want);

  const std::string path = m_dir.File("grid.vlb");
  ASSERT_TRUE(Doc().OnSaveDocument(QString::fromStdString(path)));
  LayerList layers;
  Size size;
  GridSettings read;
  ASSERT_EQ(ReadLayerFile(path, layers, size, read), 0);
  EXPECT_EQ(read, want);
}

TEST_F(ViewGridTest, TheAxisWhoseControlsWereUsedLastIsTheOneRemoved) {
  GridSettings grid;
  grid.kind = 1;
  GridDialog dialog(grid);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  auto* remove = dialog.findChild<QPushButton*>("GridRemoveAxis");
  const std::vector<GridAxis> axes = GridSettings::DialogAxes();
  // Nothing chosen yet: the last axis goes.
  QTest::mouseClick(remove, Qt::LeftButton);
  EXPECT_EQ(dialog.Settings().axes, std::vector<GridAxis>(axes.begin(), axes.begin() + 2));
  // A click into the first axis's angle chooses that axis.
  QWidget* first = dialog.findChild<QTableWidget*>("GridAxes")->cellWidget(0, 2);
  ASSERT_NE(first, nullptr);
  QTest::mouseClick(first, Qt::LeftButton, {}, first->rect().center());
  QTest::mouseClick(remove, Qt::LeftButton);
  EXPECT_EQ(dialog.Settings().axes, std::vector<GridAxis>{axes[1]});
}

TEST_F(ViewGridTest, TheSelectionOutlineIsDashedAlongSlantedEdgesToo) {
  // Staircases of one-pixel steps, each stair a left or right side and a top or bottom side in
  // one pixel: the dashes run four view pixels black, four white, counted along the rows.
  struct Case {
    const char* name;
    bool rising;  // selected where x + y ≥ 39, else where x ≥ y
  };
  for (const Case& c : {Case{"falling edge", false}, Case{"rising edge", true}}) {
    SCOPED_TRACE(c.name);
    auto region = std::make_unique<Region>();
    ASSERT_EQ(region->Create({0, 0, 39, 39}, 0), 0);
    for (int y = 0; y < 40; ++y) region->FillSpan(c.rising ? 39 - y : y, y, 40, 255);
    ActiveCanvas().SetSelection(std::move(region));
    ActiveView()->viewport()->update();
    QApplication::processEvents();
    for (int y = 1; y < 39; ++y) {
      const QPoint stair = At(c.rising ? 39 - y : y, y);
      EXPECT_EQ(ViewPixel(ActiveView(), stair.x(), stair.y()), (stair.y() & 7) < 4 ? 0xFF000000u : 0xFFFFFFFFu) << y;
    }
  }
}

}  // namespace
}  // namespace varnel
