// The effect dialog on the offscreen platform, driven by clicks and keys: the frame it shows is
// the host's frame k of n, play steps through the frames, and the two outputs write frames 0 … n
// as layers of a new document or as numbered PNG files.

#include "shell/effect_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "core/canvas.h"
#include "core/layer.h"
#include "document/document_file.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/varnel_doc.h"
#include "shell_fixture.h"

namespace varnel {
namespace {

constexpr int32_t kWidth = 8;
constexpr int32_t kHeight = 6;
enum EffectType : int32_t { kFadeIn = 0, kFadeOut = 1, kWipeIn = 2, kEnlarge = 4, kMosaic = 7, kBlinds = 8, kSnow = 11 };

std::vector<uint32_t> Pixels(const ImageSurface& surface) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < surface.Height(); ++y)
    pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + surface.Width());
  return pixels;
}

void FillSeeded(ImageSurface& surface, unsigned seed) {
  ASSERT_EQ(surface.CreateUnfilled({kWidth, kHeight}), 0);
  std::mt19937 random(seed);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) surface.Row(y)[x] = static_cast<uint32_t>(random()) | 0x10000000u;
  surface.DiscardBackups();
}

// Wipe in: the top k × H ÷ n rows of the source, every byte of the others 0.
std::vector<uint32_t> WipeInFrame(const std::vector<uint32_t>& source, int32_t k, int32_t n) {
  std::vector<uint32_t> frame(source.size(), 0);
  const int32_t m = k * kHeight / n;
  std::copy(source.begin(), source.begin() + m * kWidth, frame.begin());
  return frame;
}

// The dialog's widgets, worked as a user works them.
struct Driver {
  QDialog& dialog;

  template <typename T>
  T* Child(const char* name) {
    T* widget = dialog.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void ChooseEffect(int32_t type) {
    dialog.show();
    QApplication::processEvents();
    auto* tree = Child<QTreeWidget>("effects");
    QTreeWidgetItem* library = tree->findItems(kAnimorphLibrary, Qt::MatchExactly).value(0);
    ASSERT_NE(library, nullptr);
    QTreeWidgetItem* item = library->child(type);
    ASSERT_NE(item, nullptr);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
  }
  void SetFrameCount(int32_t n) {
    auto* count = Child<QSpinBox>("frameCount");
    count->setFocus();
    QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(count, QString::number(n));
  }
  void MoveSliderTo(int32_t k) {
    auto* slider = Child<QSlider>("frame");
    QTest::keyClick(slider, Qt::Key_Home);
    for (int32_t step = 0; step < k; ++step) QTest::keyClick(slider, Qt::Key_Right);
  }
  void Click(const char* button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }
};

class EffectDialogTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1);
    FillSeeded(m_source, 3);
    FillSeeded(m_start, 9);
  }
  void TearDown() override {
    SetEffectDialogHookForTesting(nullptr);
    SetEffectFolderChooserForTesting(nullptr);
    unsetenv("VARNEL_HOME");
    ShellTest::TearDown();
  }

  ImageSurface m_source;
  ImageSurface m_start;
};

// ---- The frame shown --------------------------------------------------------------------------

// The frame beside the host's own rendering of it; the opacity by the rule as well: a fade's is
// (k + 1) × 256 ÷ (n + 1), 256 less that for the fade out, every other effect's 256.
TEST_F(EffectDialogTest, TheSliderShowsTheFrameTheHostRendersForIt) {
  Start();
  struct Case {
    const char* name;
    int32_t type;
    int32_t n;
    int32_t k;
    bool withStart;
    int32_t opacity;
  };
  const Case cases[] = {{"wipe in half way", kWipeIn, 4, 2, false, 256},
                        {"mosaic over a start picture", kMosaic, 8, 5, true, 256},
                        {"enlarge at the end", kEnlarge, 3, 3, false, 256},
                        {"blinds at frame 1", kBlinds, 16, 1, true, 256},
                        {"fade in of one frame", kFadeIn, 1, 0, false, 128},
                        {"fade in half way", kFadeIn, 4, 2, true, 153},
                        {"fade out of one frame", kFadeOut, 1, 0, false, 128},
                        {"fade out at the end", kFadeOut, 3, 3, false, 0}};
  for (const Case& c : cases) {
    EffectDialog dialog(ProgramEffectLibraries(), m_source, {{"start", &m_start}});
    Driver driver{dialog};
    driver.ChooseEffect(c.type);
    driver.SetFrameCount(c.n);
    if (c.withStart) driver.Child<QComboBox>("start")->setCurrentIndex(1);
    driver.MoveSliderTo(c.k);
    ASSERT_EQ(dialog.CurrentFrame(), c.k) << c.name;
    EffectInstance reference(*ProgramEffectLibraries().Find(kAnimorphLibrary), c.type);
    ImageSurface expected;
    int32_t opacity = 0;
    ASSERT_TRUE(reference.RenderFrame(m_source, c.withStart ? &m_start : nullptr, c.k, c.n, expected, opacity)) << c.name;
    EXPECT_EQ(Pixels(dialog.Frame()), Pixels(expected)) << c.name;
    EXPECT_EQ(dialog.FrameOpacity(), c.opacity) << c.name;
  }
}

TEST_F(EffectDialogTest, AFrameTheEffectCannotDrawLeavesNothingShown) {
  Start();
  EffectDialog dialog(ProgramEffectLibraries(), m_source, {});
  Driver driver{dialog};
  driver.ChooseEffect(kEnlarge);
  ASSERT_NE(dialog.Effect()->EnlargeObject(), nullptr);
  dialog.Effect()->EnlargeObject()->percent = 99;
  driver.MoveSliderTo(1);
  EXPECT_EQ(dialog.Frame().Width(), 0);
}

// Only the enlargement has settings in Animorph; the snow keeps an object but no settings.
TEST_F(EffectDialogTest, SettingsAreOfferedOnlyForAnEffectThatHasThem) {
  Start();
  for (const auto& [type, offered] : {std::pair{kEnlarge, true}, std::pair{kSnow, false}, std::pair{kFadeIn, false}}) {
    EffectDialog dialog(ProgramEffectLibraries(), m_source, {});
    Driver driver{dialog};
    driver.ChooseEffect(type);
    EXPECT_EQ(driver.Child<QPushButton>("settings")->isEnabled(), offered) << type;
  }
}

// ---- Playing --------------------------------------------------------------------------------

TEST_F(EffectDialogTest, PlayStepsThroughTheFramesAndStartsAgainAfterTheLast) {
  Start();
  EffectDialog dialog(ProgramEffectLibraries(), m_source, {});
  Driver driver{dialog};
  driver.ChooseEffect(kWipeIn);
  driver.SetFrameCount(2);
  driver.Child<QSpinBox>("frameRate")->setValue(60);
  std::vector<int32_t> shown;
  QObject::connect(driver.Child<QSlider>("frame"), &QSlider::valueChanged, [&](int k) { shown.push_back(k); });
  driver.Click("play");
  EXPECT_TRUE(dialog.IsPlaying());
  QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 4, 2000);
  driver.Click("play");
  EXPECT_FALSE(dialog.IsPlaying());
  EXPECT_EQ(std::vector<int32_t>(shown.begin(), shown.begin() + 4), (std::vector<int32_t>{1, 2, 0, 1}));
  EXPECT_EQ(Pixels(dialog.Frame()), WipeInFrame(Pixels(m_source), dialog.CurrentFrame(), 2));
}

// ---- Output ---------------------------------------------------------------------------------

// The command on the menu: frames 0 … 2 of the fade out become three layers of a new document,
// each with the fade's opacity (171, 86, 0) as a layer's, rounded to 0 … 100.
TEST_F(EffectDialogTest, OutputAsLayersOpensADocumentWithOneLayerPerFrame) {
  Start({{"NEWIMAGESIZE", PackSize(kWidth, kHeight)}});
  Layer& layer = *ActiveView()->GetDocument()->GetCanvas().ActiveLayer();
  ASSERT_EQ(layer.GetSize(), (Size{kWidth, kHeight}));
  for (int32_t y = 0; y < kHeight; ++y) std::copy(m_source.Row(y), m_source.Row(y) + kWidth, layer.Row(y));
  layer.DiscardBackups();
  SetEffectDialogHookForTesting([](QDialog& dialog) {
    Driver driver{dialog};
    driver.ChooseEffect(kFadeOut);
    driver.SetFrameCount(2);
    driver.Click("outputLayers");
    return int(QDialog::Accepted);
  });
  CMainFrame& frame = *m_app->MainFrame();
  frame.UpdateCommandStates();
  QAction* action = frame.Command(cmd::kEffectDialog);
  ASSERT_NE(action, nullptr);
  ASSERT_TRUE(action->isEnabled());
  action->trigger();
  QApplication::processEvents();

  ASSERT_EQ(frame.MdiArea()->subWindowList().size(), 2);
  const Canvas& output = ActiveView()->GetDocument()->GetCanvas();
  ASSERT_EQ(output.LayerCount(), 3);
  EXPECT_EQ(output.GetSize(), (Size{kWidth, kHeight}));
  const int32_t opacities[] = {67, 34, 0};
  for (int32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(Pixels(*output.GetLayer(k)), Pixels(m_source)) << k;
    EXPECT_EQ(output.GetLayer(k)->Opacity(), opacities[k]) << k;
  }
}

// Frames 0 … 3 of the fade in as frame0000.png … frame0003.png, the opacity in the alpha channel:
// frame 2 shows at 3 × 256 ÷ 4 = 192, so each alpha becomes alpha × 192 ÷ 256.
TEST_F(EffectDialogTest, PngExportWritesOneNumberedFilePerFrame) {
  Start();
  const std::string folder = m_dir.File("frames");
  std::filesystem::create_directory(folder);
  SetEffectFolderChooserForTesting([&] { return QString::fromStdString(folder); });
  EffectDialog dialog(ProgramEffectLibraries(), m_source, {});
  Driver driver{dialog};
  driver.ChooseEffect(kFadeIn);
  driver.SetFrameCount(3);
  driver.Click("exportPng");

  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frame0000.png", "frame0001.png", "frame0002.png", "frame0003.png"}));

  OpenedPicture picture;
  ASSERT_EQ(ReadPicture(folder + "/frame0002.png", picture), 0);
  ASSERT_EQ(picture.layers.size(), 1u);
  std::vector<uint32_t> expected = Pixels(m_source);
  for (uint32_t& pixel : expected) pixel = (pixel & 0x00FFFFFFu) | (((pixel >> 24) * 192 >> 8) << 24);
  EXPECT_EQ(Pixels(*picture.layers[0]), expected);

  // A cancelled folder choice writes nothing.
  std::filesystem::remove_all(folder);
  SetEffectFolderChooserForTesting([] { return QString(); });
  driver.Click("exportPng");
  EXPECT_FALSE(std::filesystem::exists(folder));
}

}  // namespace
}  // namespace varnel
