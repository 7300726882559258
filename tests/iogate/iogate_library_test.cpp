// Iogate.so as the program uses it: loaded with dlopen, its three exports looked up by name,
// its dialogs found as the modal window on screen and its messages as message boxes.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>

#include "iogate/iogate.h"
#include "tests/iogate/gui_test_support.h"
#include "tests/iogate/iogate_test_support.h"

namespace varnel::iogate {
namespace {

using testing::ProgramFolder;

class IogateLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    m_handle = dlopen(IOGATE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << dlerror();
    getInstance = reinterpret_cast<IogateGetInstance>(dlsym(m_handle, "GetInstance"));
    getFileName = reinterpret_cast<IogateGetFileName>(dlsym(m_handle, "GetFileName"));
    writeImage = reinterpret_cast<IogateWriteImage>(dlsym(m_handle, "WriteImage"));
    ASSERT_NE(getInstance, nullptr);
    ASSERT_NE(getFileName, nullptr);
    ASSERT_NE(writeImage, nullptr);
  }
  // The library stays loaded, as it does in the program: its plug-in list lives as long.

  ProgramFolder m_folder;
  void* m_handle = nullptr;
  IogateGetInstance getInstance = nullptr;
  IogateGetFileName getFileName = nullptr;
  IogateWriteImage writeImage = nullptr;
};

TEST_F(IogateLibrary, IsNamedAsTheProgramLooksForItInItsFolder) {
  EXPECT_EQ(std::filesystem::path(IOGATE_LIBRARY).filename(), "Iogate.so");
  EXPECT_NE(getInstance(), nullptr);
  EXPECT_EQ(getInstance(), getInstance());
  // Nothing of the library's own code is visible from outside.
  EXPECT_EQ(dlsym(m_handle, "_ZN6varnel6iogate10TheGatewayEv"), nullptr);
}

TEST_F(IogateLibrary, WriteImageAnswersZeroAndWritesThroughTheFirstPluginThatSavesTheExtension) {
  m_folder.Install("jpeg_b", "b.spi");
  m_folder.Install("jpeg_a", "a.spi");
  VarnelWriteInfo info{};
  info.header = testing::Header(3, 2, 32);
  const uint32_t pixels[6] = {0xFF000007u, 0, 0, 0, 0, 0};
  const std::string jpg = m_folder.Picture("x.jpg");
  const std::string png = m_folder.Picture("x.png");
  EXPECT_EQ(writeImage(nullptr, jpg.c_str(), &info, pixels), 0);
  EXPECT_EQ(testing::ReadText(jpg), "A 3 2 7");
  EXPECT_EQ(writeImage(nullptr, png.c_str(), &info, pixels), 0);
  EXPECT_FALSE(std::filesystem::exists(png));
  EXPECT_EQ(writeImage(nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(IogateLibrary, GetFileNameShowsThePreviewOpenDialogAndReturnsTheChosenPath) {
  const std::string path = m_folder.Picture("a picture.bmp");
  testing::WriteBitmapFile(path, 4, 4, [](int, int) { return 0u; });
  testing::WhenModal([](QWidget* w) { return w->inherits("varnel::iogate::CPreviewFileDialog"); },
                     [&](QWidget* dialog) {
                       EXPECT_EQ(dialog->windowTitle(), "open image");
                       testing::TypeAndAccept(*dialog, path);
                     });
  char result[1024];
  EXPECT_EQ(getFileName(1, nullptr, nullptr, 6, "", result, sizeof result, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(result), path);
}

TEST_F(IogateLibrary, GetFileNameInSaveModeIsCancelledWithEscape) {
  testing::WhenModal([](QWidget* w) { return w->inherits("varnel::iogate::CSaveFileDialogExt"); },
                     [](QWidget* dialog) { testing::PressEscape(*dialog); });
  char result[16];
  std::memset(result, 'z', sizeof result);
  EXPECT_EQ(getFileName(0, "*.VLB", "x.vlb", 6, "Varnel layer format(*.vlb)| *.vlb;|", result, sizeof result, nullptr,
                        nullptr, nullptr),
            -1);
  for (char c : result) EXPECT_EQ(c, '\0');
}

TEST_F(IogateLibrary, TheUnknownExceptionWarningIsAMessageBoxOverTheProgram) {
  m_folder.Install("throw_info", "a.spi");
  QString shown;
  testing::WhenModal([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
                     [&](QWidget* w) {
                       auto* box = qobject_cast<QMessageBox*>(w);
                       shown = box->text();
                       QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                     });
  char result[64];
  EXPECT_EQ(getFileName(1, nullptr, nullptr, 6, "", result, sizeof result, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(shown.toStdString(),
            "不明な例外を捕捉しました。作業中のデータを保存してアプリケーションを終了することを推奨します。");
}

}  // namespace
}  // namespace varnel::iogate
