// The drawing and selection tools in the running program: chosen on the palette or by their
// keys, driven with real pointer events on the view, with the selection tool's menu commands.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QPaintEvent>
#include <QRegion>
#include <QTest>

#include "core/canvas.h"
#include "shell/command_ids.h"
#include "shell/file_dialogs.h"
#include "shell/tool_palette.h"
#include "shell/value_dialog.h"
#include "shell/varnel_doc.h"
#include "tests/shell/shell_fixture.h"
#include "tools/area_fill_tool.h"
#include "tools/eraser_tool.h"
#include "tools/eyedropper_tool.h"
#include "tools/measure_tools.h"
#include "tools/selection_tool.h"
#include "tools/shape_tools.h"
#include "tools/stamp_tool.h"

namespace varnel {
namespace {

class ToolsGuiTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    Start();
    m_app->MainFrame()->resize(1200, 900);
    QApplication::processEvents();
    ProgramSelectionSettings() = SelectionToolSettings{};
    ProgramEyedropperSettings() = EyedropperSettings{};
    ProgramEraserSettings() = EraserSettings{};
  }
  void TearDown() override {
    SetValueDialogHookForTesting(nullptr);
    ShellTest::TearDown();
  }

  Canvas& ActiveCanvas() { return ActiveView()->GetDocument()->GetCanvas(); }
  QWidget* Viewport() { return ActiveView()->viewport(); }
  // Where an image pixel is on the view (zoom 1, not scrolled).
  static QPoint At(int x, int y) { return {CVarnelView::kMargin + x, CVarnelView::kMargin + y}; }

  void ChooseOnPalette(int32_t slot) {
    QAbstractButton* button = m_app->MainFrame()->Palette()->ToolButton(slot);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << slot;
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(ActiveCanvas().SelectedTool(), slot);
  }
  void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QTest::mousePress(Viewport(), Qt::LeftButton, keys, from);
    QTest::mouseMove(Viewport(), (from + to) / 2);
    QTest::mouseMove(Viewport(), to);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, keys, to);
    QApplication::processEvents();
  }
  void Trigger(int id) {
    m_app->MainFrame()->UpdateCommandStates();
    QAction* action = m_app->MainFrame()->Command(id);
    ASSERT_NE(action, nullptr) << id;
    ASSERT_TRUE(action->isEnabled()) << id;
    action->trigger();
    QApplication::processEvents();
  }
  std::optional<Rect> Selection() {
    const Region* region = ActiveCanvas().Selection();
    return region ? std::optional<Rect>(region->Bounds()) : std::nullopt;
  }
  void Fill(Rect area, uint32_t colour) {
    Layer& layer = *ActiveCanvas().ActiveLayer();
    for (int32_t y = area.top; y <= area.bottom; ++y) std::fill_n(layer.Row(y) + area.left, area.Width(), colour);
    layer.DiscardBackups();
    ActiveCanvas().ComposeAll();
  }
};

TEST_F(ToolsGuiTest, TheSelectionToolSelectsWithARubberBandAndItsCommandsActOnTheSelection) {
  ChooseOnPalette(kSelectionToolSlot);
  QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, At(10, 10));
  QTest::mouseMove(Viewport(), At(60, 40));
  QApplication::processEvents();
  // While the button is held the band is drawn over the white picture.
  const QImage band = Viewport()->grab().toImage();
  EXPECT_NE(band.pixel(At(35, 10)) & 0xFFFFFF, 0xFFFFFFu);
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, At(60, 40));
  QApplication::processEvents();
  EXPECT_EQ(Selection(), (Rect{10, 10, 60, 40}));

  SetValueDialogHookForTesting([](const QString&, const std::vector<ValueField>&) {
    return std::optional<std::vector<int>>(std::vector<int>{5, -3});
  });
  Trigger(cmd::kSelectionMoveNumeric);
  EXPECT_EQ(Selection(), (Rect{15, 7, 65, 37}));
  Trigger(cmd::kSelectionFlipHorizontal);
  EXPECT_EQ(Selection(), (Rect{15, 7, 65, 37}));
  Trigger(cmd::kSelectionDrop);
  EXPECT_EQ(Selection(), std::nullopt);
  Trigger(cmd::kEditUndo);
  EXPECT_EQ(Selection(), (Rect{15, 7, 65, 37}));

  // The menu's shape and mode drive the next gesture: an ellipse added to the selection.
  Trigger(cmd::kSelectionShapeFirst + kSelectEllipse);
  Trigger(cmd::kSelectionModeFirst + kSelectAdd);
  Drag(At(100, 100), At(120, 130));
  EXPECT_EQ(Selection(), (Rect{15, 7, 120, 130}));
  EXPECT_EQ(ActiveCanvas().Selection()->At(100, 100), 0);
  EXPECT_EQ(ActiveCanvas().Selection()->At(110, 115), 255);
}

TEST_F(ToolsGuiTest, TheEyedropperAndAltClickWithTheBrushPickTheForeground) {
  Fill({30, 30, 40, 40}, 0xFF204080u);
  ChooseOnPalette(kEyedropperToolSlot);
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(35, 35));
  EXPECT_EQ(m_app->MainFrame()->Palette()->Foreground(), MakeColourRef(0x20, 0x40, 0x80));

  m_app->MainFrame()->Palette()->SetForeground(MakeColourRef(0, 0, 0));
  ChooseOnPalette(kBrushToolSlot);
  const size_t steps = ActiveCanvas().ActiveLayer()->Undo().StepCount();
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::AltModifier, At(35, 35));
  EXPECT_EQ(m_app->MainFrame()->Palette()->Foreground(), MakeColourRef(0x20, 0x40, 0x80));
  EXPECT_EQ(ActiveCanvas().ActiveLayer()->Undo().StepCount(), steps);  // nothing painted
}

TEST_F(ToolsGuiTest, TheEraserClearsAlongItsStrokeAndKeysChooseTools) {
  QTest::keyClick(Viewport(), Qt::Key_E);
  ASSERT_EQ(ActiveCanvas().SelectedTool(), kEraserToolSlot);
  Drag(At(50, 50), At(90, 50));
  uint32_t erased = 0;
  ActiveCanvas().ActiveLayer()->GetPixel(60, 50, &erased);
  EXPECT_LT(erased >> 24, 255u);
  Trigger(cmd::kEditUndo);
  ActiveCanvas().ActiveLayer()->GetPixel(60, 50, &erased);
  EXPECT_EQ(erased, 0xFFFFFFFFu);

  for (auto [key, slot] : {std::pair{Qt::Key_M, kSelectionToolSlot}, {Qt::Key_I, kEyedropperToolSlot},
                           {Qt::Key_G, kAreaFillToolSlot}, {Qt::Key_B, kBrushToolSlot}}) {
    QTest::keyClick(Viewport(), key);
    EXPECT_EQ(ActiveCanvas().SelectedTool(), slot) << key;
  }
}

TEST_F(ToolsGuiTest, TheClosedAreaFillFillsTheClickedAreaWithTheForeground) {
  ProgramAreaFillSettings() = AreaFillSettings{};
  Fill({20, 20, 29, 29}, 0xFF000000u);
  m_app->MainFrame()->Palette()->SetForeground(MakeColourRef(0, 200, 0));
  ChooseOnPalette(kAreaFillToolSlot);
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(25, 25));
  uint32_t inside = 0, outside = 0;
  ActiveCanvas().ActiveLayer()->GetPixel(20, 29, &inside);
  ActiveCanvas().ActiveLayer()->GetPixel(30, 25, &outside);
  EXPECT_EQ(inside, 0xFF00C800u);
  EXPECT_EQ(outside, 0xFFFFFFFFu);
  Trigger(cmd::kEditUndo);
  ActiveCanvas().ActiveLayer()->GetPixel(20, 29, &inside);
  EXPECT_EQ(inside, 0xFF000000u);
}

TEST_F(ToolsGuiTest, TheCoordinatesAndTheRulerReportOnTheStatusBar) {
  ChooseOnPalette(kCoordinatesToolSlot);
  QTest::mouseMove(Viewport(), At(10, 12));
  EXPECT_EQ(m_app->MainFrame()->StatusText(), QString("X: 10  Y: 12  R: 255 G: 255 B: 255"));
  ChooseOnPalette(kRulerToolSlot);
  Drag(At(10, 10), At(13, 6));
  EXPECT_EQ(m_app->MainFrame()->StatusText(), QString::fromUtf8("長さ: 5.0  角度: 53.1°"));
  ChooseOnPalette(kBrushToolSlot);
  EXPECT_TRUE(m_app->MainFrame()->StatusText().isEmpty());
}

TEST_F(ToolsGuiTest, ThePointerPaneFollowsThePointerWhateverTheTool) {
  Fill({20, 20, 29, 29}, 0xFF102030u);
  ChooseOnPalette(kRulerToolSlot);
  Drag(At(10, 10), At(25, 24));
  // The ruler keeps its measurement in the message pane; the pointer pane shows the point.
  EXPECT_EQ(m_app->MainFrame()->StatusText(), QString::fromUtf8("長さ: 20.5  角度: 317.0°"));
  EXPECT_EQ(m_app->MainFrame()->PointerStatus(), QString("X: 25  Y: 24  R: 16 G: 32 B: 48"));
  ChooseOnPalette(kBrushToolSlot);
  QTest::mouseMove(Viewport(), At(-3, 5));
  EXPECT_EQ(m_app->MainFrame()->PointerStatus(), QString("X: -3  Y: 5"));
  QTest::mouseMove(Viewport(), At(5, 7));
  EXPECT_EQ(m_app->MainFrame()->PointerStatus(), QString("X: 5  Y: 7  R: 255 G: 255 B: 255"));
  // What a tool lays down at the release shows without another move.
  ProgramShapeSettings(true) = ShapeToolSettings(true);
  ChooseOnPalette(kShapeFillToolSlot);
  m_app->MainFrame()->Palette()->SetForeground(MakeColourRef(0, 200, 0));
  Drag(At(40, 40), At(50, 45));
  EXPECT_EQ(m_app->MainFrame()->PointerStatus(), QString("X: 50  Y: 45  R: 0 G: 200 B: 0"));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(ActiveView(), &leave);
  EXPECT_TRUE(m_app->MainFrame()->PointerStatus().isEmpty());
}

TEST_F(ToolsGuiTest, AFilledRectangleIsDraggedOnTheViewAndUndoneInOneStep) {
  ProgramShapeSettings(true) = ShapeToolSettings(true);
  ProgramShapeSettings(true).antialias = false;
  ChooseOnPalette(kShapeFillToolSlot);
  Drag(At(10, 20), At(40, 30));
  uint32_t corner = 0, beyond = 0;
  ActiveCanvas().ActiveLayer()->GetPixel(40, 30, &corner);
  ActiveCanvas().ActiveLayer()->GetPixel(41, 30, &beyond);
  EXPECT_EQ(corner, 0xFF000000u);
  EXPECT_EQ(beyond, 0xFFFFFFFFu);
  Trigger(cmd::kEditUndo);
  ActiveCanvas().ActiveLayer()->GetPixel(40, 30, &corner);
  EXPECT_EQ(corner, 0xFFFFFFFFu);
}

TEST_F(ToolsGuiTest, TabThroughTheToolOptionsNeverSwitchesToAnotherPicture) {
  Trigger(cmd::kFileNew);
  CVarnelView* top = ActiveView();
  top->parentWidget()->showMaximized();
  ChooseOnPalette(kShapeFillToolSlot);
  m_app->MainFrame()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_app->MainFrame()));
  auto* field = m_app->MainFrame()->ToolOptions()->findChild<QAbstractSpinBox*>();
  ASSERT_NE(field, nullptr);
  field->setFocus();
  for (int i = 0; i < 40; ++i) {
    ASSERT_NE(QApplication::focusWidget(), nullptr) << i;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(ActiveView(), top) << "after " << i + 1 << " tabs";
    ASSERT_EQ(ActiveCanvas().SelectedTool(), kShapeFillToolSlot);
  }
}

// A tool key pressed from a panel's check box changes the option page; the next keys must still
// choose tools, not vanish into the new page's first number field.
TEST_F(ToolsGuiTest, ToolKeysStillChooseToolsAfterTheyChangedTheOptionPageFromThePanel) {
  Trigger(cmd::kFileNew);
  ChooseOnPalette(kBrushToolSlot);
  m_app->MainFrame()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_app->MainFrame()));
  QCheckBox* box = nullptr;
  for (QCheckBox* candidate : m_app->MainFrame()->ToolOptions()->findChildren<QCheckBox*>())
    if (candidate->isVisible() && candidate->isEnabled()) box = candidate;
  ASSERT_NE(box, nullptr);
  box->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_E);
  ASSERT_EQ(ActiveCanvas().SelectedTool(), kEraserToolSlot);
  EXPECT_EQ(QApplication::focusWidget(), ActiveView());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_B);
  EXPECT_EQ(ActiveCanvas().SelectedTool(), kBrushToolSlot);
}

TEST_F(ToolsGuiTest, ToolStatesAreOfferedOnlyForToolsWithSettings) {
  auto* add = m_app->MainFrame()->findChild<QAbstractButton*>("ObjectAdd");
  ASSERT_NE(add, nullptr);
  for (const auto& [slot, keeps] : {std::pair{kEllipseFillToolSlot, false}, std::pair{kBrushToolSlot, true},
                                    std::pair{kRulerToolSlot, false}, std::pair{kShapeFillToolSlot, true}}) {
    ChooseOnPalette(slot);
    m_app->MainFrame()->UpdateCommandStates();
    EXPECT_EQ(m_app->MainFrame()->Command(cmd::kSaveToolState)->isEnabled(), keeps) << slot;
    EXPECT_EQ(add->isEnabled(), keeps) << slot;
  }
}

TEST_F(ToolsGuiTest, ADoubleClickOnTheViewClosesAPolygonAndItsPanelSavesItAsAShape) {
  ProgramPolygonSettings(true).antialias = false;
  ChooseOnPalette(kPolygonFillToolSlot);
  for (const QPoint corner : {At(10, 10), At(50, 10), At(50, 40)})
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, corner);
  // A double-click as the window system delivers it: press, release, double-click, release;
  // the double-click stands for the second press.
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(10, 40));
  QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(10, 40));
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, At(10, 40));
  QApplication::processEvents();
  // The rectangle through the corners' centres: pixels 10 … 49 and 10 … 39, and no new polygon.
  uint32_t inside = 0, outside = 0;
  ActiveCanvas().ActiveLayer()->GetPixel(49, 39, &inside);
  ActiveCanvas().ActiveLayer()->GetPixel(50, 39, &outside);
  EXPECT_EQ(inside, 0xFF000000u);
  EXPECT_EQ(outside, 0xFFFFFFFFu);
  EXPECT_TRUE(ActiveCanvas().ActiveTool()->Feedback().empty());
  ProgramPolygonSettings(true) = PolygonToolSettings{};

  // "形状定義保存" writes that polygon in the unit square of its bounds.
  const std::string saved = m_dir.File("polygon.ptv");
  SetFileDialogHookForTesting(
      [&](const FileDialogRequest&) -> std::optional<QString> { return QString::fromStdString(saved); });
  auto* panel = m_app->MainFrame()->findChild<QWidget*>("PolygonFillOptionPanel");
  ASSERT_NE(panel, nullptr);
  QTest::mouseClick(panel->findChild<QAbstractButton*>("PolygonSaveShape"), Qt::LeftButton);
  SetFileDialogHookForTesting(nullptr);
  ShapeDefinition definition;
  ReadShapeFile(saved, definition);
  const std::vector<ShapeVertex> unit = {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}, {0, 1, 0, 0}};
  EXPECT_EQ(definition.vertices, unit);
}

TEST_F(ToolsGuiTest, ARubberBandThatNoLongerAppliesLeavesTheView) {
  // The stamp's outline follows the pointer over the view and goes when the pointer leaves.
  StampStore& store = ProgramStampStore();
  const Stamp saved = store.stamp;
  store.stamp = {{5, 5}, std::vector<uint32_t>(25, 0xFF00FF00u), 0, 0};
  ChooseOnPalette(kStampToolSlot);
  QTest::mouseMove(Viewport(), At(40, 40));
  QApplication::processEvents();
  // The outline's top edge runs along the top of pixel row 38 (the 5 × 5 stamp centred on 40).
  const auto edge = [&] { return ActiveView()->grab().toImage().pixel(ActiveView()->viewport()->pos() + At(40, 38)); };
  EXPECT_NE(edge(), 0xFFFFFFFFu);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(ActiveView(), &leave);
  EXPECT_EQ(edge(), 0xFFFFFFFFu);
  store.stamp = saved;

  // Choosing another tool repaints where the old tool's rubber band was.
  ChooseOnPalette(kPolygonDrawToolSlot);
  for (const QPoint corner : {At(10, 10), At(50, 10), At(50, 40)})
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, corner);
  QApplication::processEvents();
  ASSERT_FALSE(ActiveCanvas().ActiveTool()->Feedback().empty());
  struct PaintedRegion : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
      return false;
    }
  } recorder;
  Viewport()->installEventFilter(&recorder);
  ChooseOnPalette(kShapeDrawToolSlot);
  QApplication::processEvents();
  Viewport()->removeEventFilter(&recorder);
  EXPECT_TRUE(recorder.painted.contains(QRect(At(10, 10), At(50, 40))));
}

}  // namespace
}  // namespace varnel
