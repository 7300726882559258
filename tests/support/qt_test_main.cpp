// The main of every test program that needs Qt: widgets on the offscreen platform, Qt's own
// settings (file dialog history and the like) in a folder of the run's own, and one
// application object for the whole run.

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

#include "tests/support/temp_folder.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const varnel::test::TempFolder qtSettings;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(qtSettings.Path().string()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
