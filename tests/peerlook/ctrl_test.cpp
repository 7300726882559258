// Ext/Peerlook.so as the program uses it: registered into the profile, created by its
// identifier, and driven by name: its properties, its refusals, and a relay of its own that it
// joins.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "peerlook/peerlook.h"
#include "platform/profile.h"
#include "tests/support/component_library.h"

namespace varnel {
namespace {

class PeerlookLibrary : public test::ComponentLibraryTest {
 protected:
  PeerlookLibrary() : ComponentLibraryTest(PEERLOOK_LIBRARY) {}

  std::unique_ptr<QWidget> Create() {
    const auto create = Get<PeerlookCreateControl>("CreateControl");
    return std::unique_ptr<QWidget>(static_cast<QWidget*>(create(PEERLOOK_PROG_ID, "peerlook", nullptr)));
  }
};

// The texts of the modal boxes shown while action runs, each closed as soon as it appears.
QStringList ModalBoxesDuring(const std::function<void()>& action) {
  QStringList texts;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      texts << box->text();
      box->reject();
    }
  });
  closer.start(10);
  action();
  return texts;
}

// A port nobody listens on at the moment.
int FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  return probe.serverPort();
}

TEST_F(PeerlookLibrary, RegisteringRecordsTheIdentifierWithTheLibrarysFile) {
  ASSERT_EQ(Get<PeerlookDllRegisterServer>("DllRegisterServer")(), 0);
  const std::string file = Profile(m_folder.File("varnel.ini")).GetString("Components", "PEERLOOK.PeerlookCtrl.1", "");
  EXPECT_TRUE(std::filesystem::equivalent(file, PEERLOOK_LIBRARY)) << file;
}

TEST_F(PeerlookLibrary, TheControlIsCreatedByItsIdentifierWithItsDefaultsAndMembers) {
  const auto control = Create();
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->objectName(), "peerlook");
  EXPECT_EQ(control->property("ServerPort"), QVariant(14414));
  EXPECT_EQ(control->property("FileTransferPort"), QVariant(14415));
  EXPECT_EQ(control->property("UserName"), QVariant(QStringLiteral("noname")));
  EXPECT_EQ(control->property("ServerPassword"), QVariant(QString()));
  for (const char* member :
       {"SetupServer()", "ShutdownServer()", "ConnectServer(QString,int)", "DisConnect()", "SendFile(QString)",
        "SetUserName(QString)", "SetServerPassword(QString)", "SetDataStorePath(QString)", "SetNotifyHWND(QObject*)",
        "AboutBox()", "IsServerRunning()", "IsConnected()", "Notice(int,QString)"})
    EXPECT_GE(control->metaObject()->indexOfMethod(member), 0) << member;
  EXPECT_EQ(Get<PeerlookCreateControl>("CreateControl")("ZOOMLET.ZoomletCtrl.1", "x", nullptr), nullptr);
}

TEST_F(PeerlookLibrary, ACommaInTheNameAndPortsOutsideTheRangeAreRefused) {
  const auto control = Create();
  QObject* c = control.get();
  struct Case {
    const char* name;
    std::function<void()> action;
    const char* message;
  } cases[] = {
      {"comma name", [c] { QMetaObject::invokeMethod(c, "SetUserName", Q_ARG(QString, "a,b")); },
       "ユーザ名に,は使えません"},
      {"server port 0", [c] { c->setProperty("ServerPort", 0); }, "無効な値です"},
      {"transfer port 65536", [c] { c->setProperty("FileTransferPort", 65536); }, "無効な値です"},
      {"connect to port -1",
       [c] { QMetaObject::invokeMethod(c, "ConnectServer", Q_ARG(QString, "x"), Q_ARG(int, -1)); }, "無効な値です"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(ModalBoxesDuring(k.action), QStringList{QString::fromUtf8(k.message)}) << k.name;
  EXPECT_EQ(c->property("UserName"), QVariant(QStringLiteral("noname")));
  EXPECT_EQ(c->property("ServerPort"), QVariant(14414));
  EXPECT_EQ(c->property("FileTransferPort"), QVariant(14415));
}

TEST_F(PeerlookLibrary, TheControlRunsARelayAndJoinsIt) {
  const auto control = Create();
  QObject* c = control.get();
  const int port = FreePort();
  c->setProperty("ServerPort", port);
  c->setProperty("FileTransferPort", FreePort());
  bool ok = false;
  ASSERT_TRUE(QMetaObject::invokeMethod(c, "SetupServer", Q_RETURN_ARG(bool, ok)));
  ASSERT_TRUE(ok);
  ASSERT_TRUE(QMetaObject::invokeMethod(c, "ConnectServer", Q_RETURN_ARG(bool, ok), Q_ARG(QString, "127.0.0.1"),
                                        Q_ARG(int, port)));
  ASSERT_TRUE(ok);
  const auto boxTexts = [&] {
    QStringList texts;
    for (auto* box : control->findChildren<QMessageBox*>()) texts << box->text();
    return texts;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return boxTexts() == QStringList{QString::fromUtf8("サーバに接続しました")}; }));
  bool running = false;
  QMetaObject::invokeMethod(c, "IsServerRunning", Q_RETURN_ARG(bool, running));
  EXPECT_TRUE(running);

  // A second relay on the same port cannot be made.
  const auto second = Create();
  second->setProperty("ServerPort", port);
  EXPECT_EQ(ModalBoxesDuring([&] { QMetaObject::invokeMethod(second.get(), "SetupServer"); }),
            QStringList{QStringLiteral("サーバソケット(ポート %1)が作成できません").arg(port)});

  QMetaObject::invokeMethod(c, "ShutdownServer");
  EXPECT_TRUE(QTest::qWaitFor([&] { return boxTexts().contains(QString::fromUtf8("切断されました")); }));
  QMetaObject::invokeMethod(c, "IsServerRunning", Q_RETURN_ARG(bool, running));
  EXPECT_FALSE(running);
}

}  // namespace
}  // namespace varnel
