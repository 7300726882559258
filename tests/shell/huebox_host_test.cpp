// The program's host for Ext/Huebox.so: finding the library in the program folder, telling
// once when it or one of its functions is missing and going on, the colour surface's pick as a
// colour reference, and the extension-library protocol of the image information command.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/surface.h"
#include "platform/host.h"
#include "shell/gradient_option_panel.h"
#include "shell/huebox_host.h"
#include "tests/huebox/huebox_test_support.h"
#include "tests/shell/fake_huebox.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::ProgramFolderScope;
using test::TempFolder;

std::vector<std::string> Texts(const RecordingHost& host) {
  std::vector<std::string> texts;
  for (const RecordingHost::Box& box : host.boxes) texts.push_back(box.text);
  return texts;
}

// A program folder whose Ext/Huebox.so is the stand-in that has only the protocol.
class FakeLibraryFolder {
 public:
  FakeLibraryFolder() {
    std::filesystem::create_directories(m_folder.Path() / "Ext");
    std::filesystem::copy_file(FAKE_HUEBOX_LIBRARY, m_folder.Path() / "Ext/Huebox.so");
  }
  std::string Path() const { return m_folder.Path().string(); }
  std::string Library() const { return m_folder / "Ext/Huebox.so"; }

 private:
  TempFolder m_folder;
};

TEST(HueboxHost, AMissingLibraryIsToldOnceAndEveryUseGoesOnWithout) {
  const TempFolder empty;
  const ProgramFolderScope scope(empty.Path().string());
  RecordingHost recorder;
  const ScopedHost installed(recorder);
  HueboxHost host;
  EXPECT_EQ(host.OpenColourSurface(nullptr, {0, 0}, ColourRef{0}), std::nullopt);
  EXPECT_EQ(host.GradientCount(), 0);
  EXPECT_EQ(host.Gradient(0), std::nullopt);
  EXPECT_FALSE(host.ShowGradientEditor(nullptr));
  EXPECT_EQ(host.ShowGradationUI(nullptr, 0), std::nullopt);
  EXPECT_EQ(host.ImageInformationOperation(nullptr), nullptr);
  EXPECT_EQ(Texts(recorder), std::vector<std::string>{"Hueboxライブラリが見つかりません"});
}

TEST(HueboxHost, TheProgramFolderHasTheLibraryAndTheStarterGradients) {
  const ProgramFolderScope scope(VARNEL_PROGRAM_DIR);
  RecordingHost recorder;
  const ScopedHost installed(recorder);
  HueboxHost host;
  EXPECT_EQ(host.GradientCount(), 9);
  const std::optional<HueboxGradient> rainbow = host.Gradient(2);
  ASSERT_TRUE(rainbow.has_value());
  EXPECT_STREQ(rainbow->name, "虹");
  EXPECT_EQ(rainbow->stopCount, 7);
  EXPECT_TRUE(recorder.boxes.empty());
}

TEST(HueboxHost, ThePatternListShowsTransparencyOverTheCheckerboard) {
  const ProgramFolderScope scope(VARNEL_PROGRAM_DIR);
  const GradientSettings saved = ProgramGradientSettings();
  GradientOptionPanel panel;
  QTest::mouseClick(panel.findChild<QRadioButton*>("GradientUser"), Qt::LeftButton);
  const auto* patterns = panel.findChild<QComboBox*>("GradientPatterns");
  ASSERT_GE(patterns->count(), 2);
  const auto swatch = [&](int index) { return patterns->itemIcon(index).pixmap(patterns->iconSize()).toImage(); };
  // The last column is the pattern's end: 黒から白 ends opaque white; 不透明から透明 ends fully
  // transparent, so the checkerboard shows there, grey in the 16th square and white below it.
  const QImage opaque = swatch(0), fading = swatch(1);
  const int last = opaque.width() - 1;
  EXPECT_EQ(opaque.pixel(last, 0), 0xFFFFFFFFu);
  EXPECT_EQ(opaque.pixel(last, 4), 0xFFFFFFFFu);
  EXPECT_EQ(fading.pixel(0, 0), 0xFF000000u);
  EXPECT_EQ(fading.pixel(last, 0), 0xFFCCCCCCu);
  EXPECT_EQ(fading.pixel(last, 4), 0xFFFFFFFFu);
  ProgramGradientSettings() = saved;
}

TEST(HueboxHost, TheColourSurfacesPickComesBackAsAColourReference) {
  const ProgramFolderScope scope(VARNEL_PROGRAM_DIR);
  RecordingHost recorder;
  const ScopedHost installed(recorder);
  HueboxHost host;
  // Blue opens the square at hue 240; its top right corner is full blue.
  test::WhenPopupShown([](QWidget* popup) {
    QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(kHueboxSquareLeft + 255, kHueboxSquareTop));
  });
  EXPECT_EQ(host.OpenColourSurface(nullptr, {10, 10}, MakeColourRef(0, 0, 200)), MakeColourRef(0, 0, 255));
  test::WhenPopupShown([](QWidget* popup) { QTest::keyClick(popup, Qt::Key_Escape); });
  EXPECT_EQ(host.OpenColourSurface(nullptr, {10, 10}, MakeColourRef(0, 0, 200)), std::nullopt);
  EXPECT_TRUE(recorder.boxes.empty());
}

TEST(HueboxHost, AMissingFunctionIsToldOnceForEachAndTheCallGoesOn) {
  const FakeLibraryFolder folder;
  const ProgramFolderScope scope(folder.Path());
  RecordingHost recorder;
  const ScopedHost installed(recorder);
  HueboxHost host;
  EXPECT_EQ(host.GradientCount(), 0);
  EXPECT_EQ(host.OpenColourSurface(nullptr, {0, 0}, ColourRef{0}), std::nullopt);
  EXPECT_EQ(host.OpenColourSurface(nullptr, {0, 0}, ColourRef{0}), std::nullopt);
  EXPECT_EQ(Texts(recorder), (std::vector<std::string>{"Hueboxライブラリに HueboxGradientCount がありません",
                                                       "Hueboxライブラリに OpenColorSurface がありません"}));
}

TEST(HueboxHost, TheImageInformationOperationFollowsTheExtensionProtocol) {
  const FakeLibraryFolder folder;
  const ProgramFolderScope scope(folder.Path());
  RecordingHost recorder;
  const ScopedHost installed(recorder);
  HueboxHost host;
  void* handle = dlopen(folder.Library().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  const FakeHueboxCalls* calls = reinterpret_cast<FakeHueboxRecordFunction>(dlsym(handle, "FakeHueboxRecord"))();

  QWidget mainWindow;
  std::unique_ptr<ExtensionLibraryOperation> operation = host.ImageInformationOperation(&mainWindow);
  ASSERT_NE(operation, nullptr);
  EXPECT_EQ(calls->createUiCalls, 1);
  EXPECT_EQ(calls->mainWindow, &mainWindow);

  ImageSurface image;
  ASSERT_EQ(image.Create({3, 2}), 0);
  operation->Execute(image, 1);
  EXPECT_EQ(calls->paintCalls, 1);
  EXPECT_EQ(calls->code, 32774);
  EXPECT_EQ(calls->count, 1);
  EXPECT_EQ(calls->image, image.Descriptor());
  operation->Execute(image, 0);  // the finishing pass does nothing here
  EXPECT_EQ(calls->paintCalls, 1);
  operation->ExecuteWithoutImage();
  EXPECT_EQ(calls->paintCalls, 2);
  EXPECT_NE(calls->head, nullptr);
  EXPECT_EQ(calls->image, nullptr);
  EXPECT_TRUE(recorder.boxes.empty());
  operation.reset();
  dlclose(handle);
}

}  // namespace
}  // namespace varnel
