// The transform commands of the 画像 menu on the offscreen platform: each opens its result as a
// new document and leaves the picture it came from alone; the dialogs of Transformer.so link
// their fields and measure the dragged line as the library's rules say.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QTest>
#include <cstdlib>
#include <random>

#include "core/canvas.h"
#include "platform/host.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/transform_dialogs.h"
#include "shell/varnel_doc.h"
#include "shell_fixture.h"
#include "transformer/transform_host.h"
#include "transformer/transformer.h"

namespace varnel {
namespace {

class TransformCommandTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1);
  }
  void TearDown() override {
    SetTransformDialogHookForTesting(nullptr);
    unsetenv("VARNEL_HOME");
    ShellTest::TearDown();
  }

  // A 6 × 4 picture of seeded opaque colours.
  void StartWithPicture() {
    Start({{"NEWIMAGESIZE", PackSize(6, 4)}});
    Layer& layer = *Canvas().ActiveLayer();
    std::mt19937 random(5);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 6; ++x) layer.Row(y)[x] = 0xFF000000u | (random() & 0x00FFFFFFu);
    layer.DiscardBackups();
    m_source = &layer;
    m_before = Pixels(layer);
  }

  varnel::Canvas& Canvas() { return ActiveView()->GetDocument()->GetCanvas(); }
  int Documents() { return int(m_app->MainFrame()->MdiArea()->subWindowList().size()); }

  static std::vector<uint32_t> Pixels(const ImageSurface& surface) {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < surface.Height(); ++y) pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + surface.Width());
    return pixels;
  }

  void Trigger(int id) {
    CMainFrame& frame = *m_app->MainFrame();
    frame.UpdateCommandStates();
    QAction* action = frame.Command(id);
    ASSERT_NE(action, nullptr);
    ASSERT_TRUE(action->isEnabled());
    action->trigger();
    QApplication::processEvents();
  }

  RecordingHost m_host;
  std::unique_ptr<ScopedHost> m_scoped;
  Layer* m_source = nullptr;
  std::vector<uint32_t> m_before;
};

TEST_F(TransformCommandTest, TheFixedTurnsOpenANewDocumentAndLeaveTheSourceAlone) {
  StartWithPicture();
  Trigger(cmd::kTurnLeft);
  ASSERT_EQ(Documents(), 2);
  const Layer& turned = *Canvas().ActiveLayer();
  ASSERT_EQ(Canvas().GetSize(), (Size{4, 6}));
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(turned.Row(5 - x)[r], m_before[size_t(r * 6 + x)]);
  EXPECT_EQ(Pixels(*m_source), m_before);
}

// "RESIZE" with 幅 typed as 12 and the height's percentage as 50: 12 × 2 by "Cubic B-Spline".
TEST_F(TransformCommandTest, ResizeAsksRESIZEAndOpensTheResizedLayer) {
  StartWithPicture();
  QString percentShown;
  SetTransformDialogHookForTesting([&](QDialog& dialog) {
    auto* width = dialog.findChild<QLineEdit*>("width");
    width->clear();
    QTest::keyClicks(width, "12");
    percentShown = dialog.findChild<QLineEdit*>("widthPercent")->text();
    auto* heightPercent = dialog.findChild<QLineEdit*>("heightPercent");
    heightPercent->clear();
    QTest::keyClicks(heightPercent, "50");
    dialog.findChild<QComboBox*>("method")->setCurrentIndex(3);
    return int(QDialog::Accepted);
  });
  Trigger(cmd::kResizeActiveLayer);
  EXPECT_EQ(percentShown, "200");
  ASSERT_EQ(Documents(), 2);
  EXPECT_EQ(Canvas().GetSize(), (Size{12, 2}));
  EXPECT_EQ(Pixels(*m_source), m_before);
}

TEST_F(TransformCommandTest, AnEmptiedSizeIsToldAndCancelOpensNothing) {
  StartWithPicture();
  m_scoped = std::make_unique<ScopedHost>(m_host);
  SetTransformDialogHookForTesting([](QDialog& dialog) {
    auto* height = dialog.findChild<QLineEdit*>("height");
    height->selectAll();
    QTest::keyClick(height, Qt::Key_Delete);
    return int(dialog.findChild<QLineEdit*>("heightPercent")->text() == "0" ? QDialog::Accepted : QDialog::Rejected);
  });
  Trigger(cmd::kResizeAllLayers);
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].text, kMsgZeroSize);
  SetTransformDialogHookForTesting([](QDialog&) { return int(QDialog::Rejected); });
  Trigger(cmd::kRotateFree);
  EXPECT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(Documents(), 1);
}

// Dragged leftward the line reads 180°, at 200 % as at 100 %: the turn is then a half turn.
TEST_F(TransformCommandTest, TheDraggedLineGivesTheDegreesOfRotateToLine) {
  StartWithPicture();
  QString shown;
  SetTransformDialogHookForTesting([&](QDialog& dialog) {
    dialog.findChild<QComboBox*>("zoom")->setCurrentIndex(3);
    QWidget* view = static_cast<ParallelLineDialog&>(dialog).PictureView();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 4));
    QTest::mouseMove(view, QPoint(2, 4));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(2, 4));
    shown = dialog.findChild<QLineEdit*>("degrees")->text();
    return int(QDialog::Accepted);
  });
  Trigger(cmd::kRotateToLine);
  EXPECT_EQ(shown, "180.00");
  ASSERT_EQ(Documents(), 2);
  const RotatedBounds bounds = RotatedBoundingSize(LineRotationAngle(180.0), 6, 4);
  EXPECT_EQ(Canvas().GetSize(), (Size{bounds.width, bounds.height}));
}

}  // namespace
}  // namespace varnel
