// Ext/Zoomlet.so as the program uses it: registered into the profile, then created by its
// identifier, with its properties and AboutBox reached by name.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/profile.h"
#include "tests/support/component_library.h"
#include "zoomlet/zoomlet.h"

namespace varnel {
namespace {

class ZoomletLibrary : public test::ComponentLibraryTest {
 protected:
  ZoomletLibrary() : ComponentLibraryTest(ZOOMLET_LIBRARY) {}
};

TEST_F(ZoomletLibrary, RegisteringRecordsTheIdentifierWithTheLibrarysFile) {
  const auto registerServer = Get<ZoomletDllRegisterServer>("DllRegisterServer");
  ASSERT_NE(registerServer, nullptr);
  EXPECT_EQ(registerServer(), 0);
  const std::string file = Profile(m_folder.File("varnel.ini")).GetString("Components", "ZOOMLET.ZoomletCtrl.1", "");
  EXPECT_TRUE(std::filesystem::equivalent(file, ZOOMLET_LIBRARY)) << file;
}

TEST_F(ZoomletLibrary, RegisteringFailsWhenTheProfileCannotBeWritten) {
  // A file where the profile's folder would be.
  std::ofstream(m_folder.File("blocked")) << "x";
  setenv("VARNEL_CONFIG", m_folder.File("blocked/varnel.ini").c_str(), 1);
  EXPECT_EQ(Get<ZoomletDllRegisterServer>("DllRegisterServer")(), -1);
}

TEST_F(ZoomletLibrary, TheControlIsCreatedByItsIdentifierWithTheWindowNameAndItsProperties) {
  const auto create = Get<ZoomletCreateControl>("CreateControl");
  ASSERT_NE(create, nullptr);
  std::unique_ptr<QWidget> control(static_cast<QWidget*>(create("ZOOMLET.ZoomletCtrl.1", "loupe", nullptr)));
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->objectName(), "loupe");
  EXPECT_EQ(control->size(), QSize(128, 128));
  EXPECT_EQ(control->property("TimerOn"), QVariant(false));
  EXPECT_EQ(control->property("TimerElapse"), QVariant(300));
  EXPECT_EQ(control->property("LoupePows"), QVariant(2));
  EXPECT_GE(control->metaObject()->indexOfMethod("AboutBox()"), 0);
}

TEST_F(ZoomletLibrary, OtherIdentifiersCreateNothing) {
  const auto create = Get<ZoomletCreateControl>("CreateControl");
  EXPECT_EQ(create("MACROLET.MacroletCtrl.1", "loupe", nullptr), nullptr);
  EXPECT_EQ(create(nullptr, "loupe", nullptr), nullptr);
  EXPECT_EQ(create("", nullptr, nullptr), nullptr);
}

}  // namespace
}  // namespace varnel
