// The colour adjustments' dialogs driven from the 画像 menu on the offscreen platform: the view
// shows the preview while a dialog is open, Cancel gives back every byte, OK records one undo
// step over the whole layer, and the curves dialog's files and curve editor.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <fstream>
#include <functional>
#include <random>

#include "colour/adjustments.h"
#include "core/canvas.h"
#include "platform/host.h"
#include "settings/app_settings.h"
#include "shell/adjust_dialogs.h"
#include "shell/command_ids.h"
#include "shell/file_dialogs.h"
#include "shell/varnel_doc.h"
#include "shell_fixture.h"

namespace varnel {
namespace {

class AdjustDialogTest : public ShellTest {
 protected:
  void TearDown() override {
    SetAdjustmentDialogHookForTesting(nullptr);
    SetFileDialogHookForTesting(nullptr);
    ShellTest::TearDown();
  }

  // A picture wider than the window, of seeded opaque colours; the view at the top-left.
  void StartWithPicture() {
    Start({{"NEWIMAGESIZE", PackSize(3000, 120)}});
    Layer& layer = *Canvas().ActiveLayer();
    std::mt19937 random(31);
    for (int32_t y = 0; y < layer.Height(); ++y)
      for (int32_t x = 0; x < layer.Width(); ++x) layer.Row(y)[x] = 0xFF000000u | (random() & 0x00FFFFFFu);
    layer.DiscardBackups();
    Canvas().ComposeAll();
    ActiveView()->GetDocument()->UpdateAllViews();
    QApplication::processEvents();
    m_layer = Pixels(layer);
    m_composite = Pixels(Canvas().Composite());
  }

  varnel::Canvas& Canvas() { return ActiveView()->GetDocument()->GetCanvas(); }

  static std::vector<uint32_t> Pixels(const ImageSurface& surface) {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < surface.Height(); ++y) pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + surface.Width());
    return pixels;
  }
  uint32_t Original(int32_t x, int32_t y) const { return m_layer[size_t(y) * 3000 + size_t(x)]; }

  void Trigger(int id) {
    CMainFrame& frame = *m_app->MainFrame();
    frame.UpdateCommandStates();
    QAction* action = frame.Command(id);
    ASSERT_NE(action, nullptr);
    ASSERT_TRUE(action->isEnabled());
    action->trigger();
    QApplication::processEvents();
  }

  // What the view shows at an image pixel (zoom 1, 20 pixels of margin).
  uint32_t Shown(int32_t x, int32_t y) { return ViewPixel(ActiveView(), 20 + x, 20 + y); }

  std::vector<uint32_t> m_layer, m_composite;
};

TEST_F(AdjustDialogTest, ASliderShowsThePreviewInTheViewAndCancelGivesBackEveryByte) {
  StartWithPicture();
  const AdjustmentKernel darker(BrightnessContrast{-40, 0});
  SetAdjustmentDialogHookForTesting([&](AdjustmentDialog& dialog) {
    dialog.findChild<QSlider*>("brightness")->setValue(-40);
    QApplication::processEvents();
    EXPECT_EQ(Shown(0, 0), darker.Apply(Original(0, 0)));
    EXPECT_EQ(Shown(37, 90), darker.Apply(Original(37, 90)));
    // Beyond the window the layer waits for OK.
    EXPECT_EQ(Canvas().ActiveLayer()->Row(60)[2990], Original(2990, 60));
    return int(QDialog::Rejected);
  });
  Trigger(cmd::kBrightnessContrast);
  EXPECT_EQ(Pixels(*Canvas().ActiveLayer()), m_layer);
  EXPECT_EQ(Pixels(Canvas().Composite()), m_composite);
  EXPECT_EQ(Canvas().ActiveLayer()->Undo().StepCount(), 0u);
  EXPECT_EQ(Shown(0, 0), Original(0, 0));
}

TEST_F(AdjustDialogTest, OkAdjustsTheWholeLayerAsOneUndoStep) {
  StartWithPicture();
  ToneBalance tone;
  tone.shifts[ToneBalance::kShadows][ToneBalance::kCyanRed] = 60;
  tone.shifts[ToneBalance::kShadows][ToneBalance::kYellowBlue] = -25;
  const AdjustmentKernel expected(tone);
  SetAdjustmentDialogHookForTesting([&](AdjustmentDialog& dialog) {
    dialog.findChild<QRadioButton*>("zone0")->click();  // シャドウ
    dialog.findChild<QSlider*>("cyanRed")->setValue(60);
    dialog.findChild<QSlider*>("yellowBlue")->setValue(-25);
    QApplication::processEvents();
    EXPECT_EQ(Shown(5, 5), expected.Apply(Original(5, 5)));
    return int(QDialog::Accepted);
  });
  Trigger(cmd::kToneBalance);
  std::vector<uint32_t> adjusted = m_layer;
  expected.Apply(adjusted.data(), adjusted.size());
  EXPECT_EQ(Pixels(*Canvas().ActiveLayer()), adjusted);
  EXPECT_EQ(Canvas().ActiveLayer()->Undo().StepCount(), 1u);
  EXPECT_TRUE(ActiveView()->GetDocument()->IsModified());
  EXPECT_EQ(Canvas().Undo(), 0);
  EXPECT_EQ(Pixels(*Canvas().ActiveLayer()), m_layer);
  EXPECT_EQ(Pixels(Canvas().Composite()), m_composite);
}

class CurvesDialogTest : public AdjustDialogTest {
 protected:
  std::string CurveFile(const char* name, const char* text) {
    const std::string path = m_dir.File(name);
    std::ofstream(path) << text;
    return path;
  }
  void AnswerFiles(std::vector<std::string> paths) {
    SetFileDialogHookForTesting([paths, i = size_t{0}](const FileDialogRequest& request) mutable -> std::optional<QString> {
      EXPECT_EQ(request.filter, QString("色補正ファイル(*.cc)|*.cc||"));
      if (i >= paths.size()) return std::nullopt;
      return QString::fromStdString(paths[i++]);
    });
  }
  // Runs check on the shown dialog's curve editor, with the side of the square the bytes 0…255
  // span 8 pixels in from the editor's top-left corner; the dialog is then cancelled.
  void WithCurveEditor(const std::function<void(AdjustmentDialog&, QWidget*, double)>& check) {
    StartWithPicture();
    SetAdjustmentDialogHookForTesting([&](AdjustmentDialog& dialog) {
      dialog.show();
      QApplication::processEvents();
      QWidget* editor = dialog.findChild<QWidget*>("curveEditor");
      check(dialog, editor, std::min(editor->width(), editor->height()) - 16.0);
      return int(QDialog::Rejected);
    });
    Trigger(cmd::kColourCurves);
    EXPECT_EQ(Pixels(*Canvas().ActiveLayer()), m_layer);
  }
};

TEST_F(CurvesDialogTest, ABadFileIsToldAndKeepsTheCurveAGoodOneReplacesItsChannel) {
  StartWithPicture();
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  const std::string good = CurveFile("red.cc", "RED\nPOLYLINE\n1\n0.500000 0.250000\n");
  const std::string bad = CurveFile("bad.cc", "GREEN\nPOLYLINE\n9\n");
  AnswerFiles({good, bad});
  ColourCurve red;
  red.channel = kCurveRed;
  red.type = kCurvePolyline;
  red.points = {{0.5, 0.25}};
  CurveSet expected;
  expected.curves[kCurveRed] = red;
  SetAdjustmentDialogHookForTesting([&](AdjustmentDialog& dialog) {
    auto* load = dialog.findChild<QPushButton*>("load");
    load->click();
    QApplication::processEvents();
    EXPECT_EQ(dialog.findChild<QComboBox*>("channel")->currentIndex(), kCurveRed);
    EXPECT_EQ(Shown(3, 3), AdjustmentKernel(expected).Apply(Original(3, 3)));
    load->click();
    QApplication::processEvents();
    const Adjustment kept = dialog.Current();
    EXPECT_TRUE(std::get<CurveSet>(kept) == expected);
    return int(QDialog::Rejected);
  });
  Trigger(cmd::kColourCurves);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "色補正ファイルの制御点の数が正しくありません");
  EXPECT_EQ(Pixels(*Canvas().ActiveLayer()), m_layer);
}

TEST_F(CurvesDialogTest, AClickAddsAPointOnWholeBytesAndTheRightButtonRemovesIt) {
  WithCurveEditor([](AdjustmentDialog& dialog, QWidget* editor, double side) {
    // The byte point (64, 192) lies at 64/255 of the square across and 192/255 of it up.
    const QPoint at(int(std::lround(8.5 + side * 64 / 255)), int(std::lround(8.5 + side - side * 192 / 255)));
    QTest::mouseClick(editor, Qt::LeftButton, {}, at);
    const Adjustment added = dialog.Current();
    EXPECT_EQ(std::get<CurveSet>(added).curves[kCurveValue].points, (std::vector<CurvePoint>{{64 / 256.0, 192 / 256.0}}));
    QTest::mouseClick(editor, Qt::RightButton, {}, at);
    const Adjustment removed = dialog.Current();
    EXPECT_TRUE(std::get<CurveSet>(removed).curves[kCurveValue].points.empty());
  });
}

TEST_F(CurvesDialogTest, TheCurvesEndsCanBeGrabbedAndMoved) {
  WithCurveEditor([](AdjustmentDialog& dialog, QWidget* editor, double side) {
    const QPointF black(8.5, 8.5 + side), white(8.5 + side, 8.5);
    // Pressed two pixels off each corner and dragged straight: the black end rises to 128, the
    // white end falls to 192, and neither moves sideways.
    const auto drag = [&](QPointF corner, QPoint off, double bytes) {
      const QPoint press = (corner + QPointF(off)).toPoint();
      QTest::mousePress(editor, Qt::LeftButton, {}, press);
      QTest::mouseMove(editor, press + QPoint(0, int(std::lround(side * bytes / 255))));
      QTest::mouseRelease(editor, Qt::LeftButton, {}, press + QPoint(0, int(std::lround(side * bytes / 255))));
    };
    drag(black, {2, -2}, -128);
    drag(white, {-2, 2}, 63);
    const Adjustment moved = dialog.Current();
    EXPECT_EQ(std::get<CurveSet>(moved).curves[kCurveValue].points,
              (std::vector<CurvePoint>{{0, 128 / 256.0}, {255 / 256.0, 192 / 256.0}}));
  });
}

}  // namespace
}  // namespace varnel
