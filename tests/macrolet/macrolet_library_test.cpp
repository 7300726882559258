// Ext/Macrolet.so as the program uses it: registered into the profile, ExecScript over a host
// image, the control created by its identifier with its members invoked by name, and
// ProcessScript's log.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "macrolet/macrolet.h"
#include "platform/profile.h"
#include "tests/support/component_library.h"

namespace varnel {
namespace {

// A 3 × 2 host image: the 40-byte header and bottom-up pixel memory of opaque black.
struct HostImage {
  VarnelBitmapInfoHeader info{40, 3, 2, 1, 32, 0, 24, 0, 0, 0, 0};
  std::vector<uint32_t> bits = std::vector<uint32_t>(6, 0xFF000000u);
  // Pixel (x, y) counted from the top.
  uint32_t At(int32_t x, int32_t y) const { return bits[static_cast<size_t>((1 - y) * 3 + x)]; }
};

class MacroletLibrary : public test::ComponentLibraryTest {
 protected:
  MacroletLibrary() : ComponentLibraryTest(MACROLET_LIBRARY) {}
};

TEST_F(MacroletLibrary, RegisteringRecordsTheIdentifierWithTheLibrarysFile) {
  const auto registerServer = Get<MacroletDllRegisterServer>("DllRegisterServer");
  ASSERT_NE(registerServer, nullptr);
  EXPECT_EQ(registerServer(), 0);
  const std::string file = Profile(m_folder.File("varnel.ini")).GetString("Components", MACROLET_PROG_ID, "");
  EXPECT_TRUE(std::filesystem::equivalent(file, MACROLET_LIBRARY)) << file;
}

TEST_F(MacroletLibrary, ExecScriptRunsJscriptOnTheHostImageInPlaceAndNothingElse) {
  struct Case {
    MacroletClsid engine;
    uint32_t expected;
  } cases[] = {{MACROLET_CLSID_JSCRIPT, 0xFFFF0000u}, {MACROLET_CLSID_VBSCRIPT, 0xFF000000u},
               {{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}}, 0xFF000000u}};
  const auto exec = Get<MacroletExecScript>("ExecScript");
  ASSERT_NE(exec, nullptr);
  const std::string text = "Document.Image.SetPixel(2, 0, 0xFF0000FF);";
  for (const Case& c : cases) {
    HostImage image;
    EXPECT_EQ(exec(text.data(), static_cast<int32_t>(text.size()), c.engine, &image.info, image.bits.data()), 0);
    EXPECT_EQ(image.At(2, 0), c.expected) << std::hex << c.engine.data1;
    EXPECT_EQ(image.At(2, 1), 0xFF000000u);
  }
  HostImage image;
  const MacroletClsid jscript = MACROLET_CLSID_JSCRIPT;
  EXPECT_EQ(exec(nullptr, 5, jscript, &image.info, image.bits.data()), 0);
  image.info.biBitCount = 24;  // not an image the control takes: the script runs without one
  EXPECT_EQ(exec(text.data(), static_cast<int32_t>(text.size()), jscript, &image.info, image.bits.data()), 0);
  EXPECT_EQ(image.At(2, 0), 0xFF000000u);
}

TEST_F(MacroletLibrary, TheControlsMembersAreInvokedByName) {
  const auto create = Get<MacroletCreateControl>("CreateControl");
  ASSERT_NE(create, nullptr);
  EXPECT_EQ(create("ZOOMLET.ZoomletCtrl.1", "x", nullptr), nullptr);
  std::unique_ptr<QWidget> control(static_cast<QWidget*>(create(MACROLET_PROG_ID, "macrolet", nullptr)));
  ASSERT_NE(control, nullptr);
  EXPECT_FALSE(control->isVisible());
  EXPECT_GE(control->metaObject()->indexOfMethod("AboutBox()"), 0);

  HostImage image;
  const MacroletClsid jscript = MACROLET_CLSID_JSCRIPT;
  const QString text = QStringLiteral("Document.Image.SetPixel(0, 1, 0x7F00FF00); Document.Image.SetPixel(1, 1, -1);");
  int result = -5;
  // Only the first 43 bytes: the second call is cut off.
  ASSERT_TRUE(QMetaObject::invokeMethod(control.get(), "ParseScriptText", Q_RETURN_ARG(int, result), Q_ARG(QString, text),
                                        Q_ARG(int, 43), Q_ARG(quintptr, reinterpret_cast<quintptr>(&jscript)),
                                        Q_ARG(quintptr, reinterpret_cast<quintptr>(&image.info)),
                                        Q_ARG(quintptr, reinterpret_cast<quintptr>(image.bits.data()))));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(image.At(0, 1), 0x7F00FF00u);
  EXPECT_EQ(image.At(1, 1), 0xFF000000u);

  ASSERT_TRUE(QMetaObject::invokeMethod(control.get(), "ProcessScript", Q_RETURN_ARG(int, result),
                                        Q_ARG(QString, QStringLiteral("x.js")), Q_ARG(quintptr, 0),
                                        Q_ARG(quintptr, reinterpret_cast<quintptr>(image.bits.data()))));
  EXPECT_EQ(result, -1);
}

TEST_F(MacroletLibrary, AScriptThatNeverEndsIsStoppedFromItsRunningDialog) {
  const auto create = Get<MacroletCreateControl>("CreateControl");
  std::unique_ptr<QWidget> control(static_cast<QWidget*>(create(MACROLET_PROG_ID, "macrolet", nullptr)));
  ASSERT_NE(control, nullptr);
  HostImage image;
  const MacroletClsid jscript = MACROLET_CLSID_JSCRIPT;
  const QString text = QStringLiteral("Document.Image.SetPixel(0, 0, 0xFFFF0000); while (true) {}");
  bool stopped = false;
  QTimer stopper;
  QObject::connect(&stopper, &QTimer::timeout, [&] {
    auto* stop = QApplication::activeModalWidget() ? QApplication::activeModalWidget()->findChild<QPushButton*>("ScriptStop")
                                                   : nullptr;
    if (stop == nullptr) return;
    stopped = true;
    stop->click();
  });
  stopper.start(50);
  int result = -5;
  ASSERT_TRUE(QMetaObject::invokeMethod(control.get(), "ParseScriptText", Q_RETURN_ARG(int, result), Q_ARG(QString, text),
                                        Q_ARG(int, static_cast<int>(text.toUtf8().size())),
                                        Q_ARG(quintptr, reinterpret_cast<quintptr>(&jscript)),
                                        Q_ARG(quintptr, reinterpret_cast<quintptr>(&image.info)),
                                        Q_ARG(quintptr, reinterpret_cast<quintptr>(image.bits.data()))));
  EXPECT_TRUE(stopped);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(image.At(0, 0), 0xFF0000FFu);  // what it painted before the stop is kept
}

TEST_F(MacroletLibrary, ProcessScriptRunsTheFileOnAWorkerAndLogsEveryStep) {
  const auto create = Get<MacroletCreateControl>("CreateControl");
  std::unique_ptr<QWidget> control(static_cast<QWidget*>(create(MACROLET_PROG_ID, "macrolet", nullptr)));
  ASSERT_NE(control, nullptr);
  control->setProperty("logFolder", QString::fromStdString(m_folder.Path().string()));
  const std::string script = m_folder.File("s.js");
  std::ofstream(script) << "Document.Image.SetPixel(1, 0, 0xFFFF0000);\n";
  HostImage image;
  int result = -5;
  ASSERT_TRUE(QMetaObject::invokeMethod(control.get(), "ProcessScript", Q_RETURN_ARG(int, result),
                                        Q_ARG(QString, QString::fromStdString(script)),
                                        Q_ARG(quintptr, reinterpret_cast<quintptr>(&image.info)),
                                        Q_ARG(quintptr, reinterpret_cast<quintptr>(image.bits.data()))));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(image.At(1, 0), 0xFF0000FFu);
  std::ifstream in(m_folder.File("script.log"), std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(log, "script path = " + script + "\nwi = 3 he = 2 colorDepth = 32\nloading script...done\n"
                 "creating active script site...done\ncreating active script engine...done\nset image data...done\n"
                 "initting active script parse...done\nset script site...done\n"
                 "script src=%\nDocument.Image.SetPixel(1, 0, 0xFFFF0000);\n%\n"
                 "converting code page...done\nsysalloc string ...done\nparsing script...done\nstarting script...done\n");
}

}  // namespace
}  // namespace varnel
