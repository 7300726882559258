// The network sharing panel's side: plv.ini, the use of a received file by its extension, and
// what becomes of received and sent files.

#include "shell/sharing_panel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QMessageBox>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include "document/layer_file.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "shell/varnel_doc.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

TEST(PeerSettings, ReadsLabelledTrimmedLines) {
  struct Case {
    const char* text;
    PeerSettings expected;
  };
  const Case cases[] = {
      {"", {}},
      {"UserName: taro \nServerPassword:\tpw \nServerPort:15000\nFileTransferPort: 15001\n", {"taro", "pw", 15000, 15001}},
      {"UserName:\r\nServerPort:x\r\n", {"noname", "", 14414, 14415}},  // an empty name and a number that does not read
      {"ServerPort:80\n", {"noname", "", 80, 14415}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParsePeerSettings(c.text), c.expected) << c.text;
  const PeerSettings s{"花子", "secret", 1, 65535};
  EXPECT_EQ(FormatPeerSettings(s), "UserName:花子\nServerPassword:secret\nServerPort:1\nFileTransferPort:65535\n");
  EXPECT_EQ(ParsePeerSettings(FormatPeerSettings(s)), s);
}

TEST(PeerSettings, RefusesCommasAndPortsOutOfRange) {
  EXPECT_EQ(CheckPeerSettings({"a,b", "", 14414, 14415}), "ユーザ名に,は使えません");
  EXPECT_EQ(CheckPeerSettings({"a", "", 0, 14415}), "無効な値です");
  EXPECT_EQ(CheckPeerSettings({"a", "", 14414, 65536}), "無効な値です");
  EXPECT_EQ(CheckPeerSettings({"a", "", 65535, 1}), std::nullopt);
}

TEST(ReceivedFiles, AreUsedByTheirExtensionWithoutRegardToCase) {
  EXPECT_EQ(ReceivedUseOf("/n/a.vlb"), ReceivedUse::kDocument);
  EXPECT_EQ(ReceivedUseOf("/n/a.PNG"), ReceivedUse::kDocument);
  EXPECT_EQ(ReceivedUseOf("/n/noext"), ReceivedUse::kDocument);
  EXPECT_EQ(ReceivedUseOf("/n/a.VRD"), ReceivedUse::kRegion);
  EXPECT_EQ(ReceivedUseOf("/n/a.vop"), ReceivedUse::kToolState);
  EXPECT_EQ(ReceivedUseOf("/n/a.Cd"), ReceivedUse::kColour);
  EXPECT_EQ(ReceivedUseOf("/n/a.lzh"), ReceivedUse::kArchive);
}

struct PanelEnv {
  test::TempFolder folder;
  Profile profile{folder.File("varnel.ini")};
  RecordingHost host;
  ScopedHost scoped{host};
  std::optional<ColourRef> foreground;
  std::vector<std::string> opened;
  PanelEnv() { setenv("VARNEL_HOME", folder.Path().c_str(), 1); }
  ~PanelEnv() { unsetenv("VARNEL_HOME"); }
  SharingHooks Hooks() {
    SharingHooks hooks;
    hooks.setForeground = [this](ColourRef c) { foreground = c; };
    hooks.openDocument = [this](const std::string& path) { opened.push_back(path); };
    return hooks;
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder.File(name), std::ios::binary) << bytes;
    return folder.File(name);
  }
};

TEST(SharingPanel, UsesAReceivedFileWhenTheUserSaysYes) {
  PanelEnv env;
  SharingPanel panel(env.profile, nullptr, env.Hooks(), "/nonexistent/Peerlook.so");
  panel.askUse = [](const QString&, bool, bool&) { return true; };
  panel.PeerlookNotice(1, QString::fromStdString(env.Write("c.cd", "10 20 30\n1 2 3\n")));
  EXPECT_EQ(env.foreground, ColourRef{0x1e140a}) << "the first colour, as 0x00BBGGRR";
  panel.PeerlookNotice(1, QString::fromStdString(env.Write("layer.VLB", "x")));
  EXPECT_EQ(env.opened, std::vector<std::string>{env.folder.File("layer.VLB")});
  panel.PeerlookNotice(1, QString::fromStdString(env.Write("empty.cd", "")));
  ASSERT_EQ(env.host.boxes.size(), 1u);
  EXPECT_EQ(env.host.boxes[0].text, "empty.cdが開けません");
}

TEST(SharingPanel, ADeclinedFileMovesWhereTheUserSaysAndNeverOverAnother) {
  PanelEnv env;
  SharingPanel panel(env.profile, nullptr, env.Hooks(), "/nonexistent/Peerlook.so");
  panel.askUse = [](const QString&, bool, bool&) { return false; };
  const std::string taken = env.Write("taken.png", "keep");
  const std::string unwritable = env.folder.File("missing/kept.png");
  std::vector<QString> answers = {QString::fromStdString(taken), QString::fromStdString(unwritable),
                                  QString::fromStdString(env.folder.File("kept.png"))};
  int asked = 0;
  panel.askSavePath = [&](const QString&) { return answers[static_cast<size_t>(asked++)]; };
  const std::string received = env.Write("r.png", "data");
  panel.PeerlookNotice(1, QString::fromStdString(received));
  EXPECT_EQ(asked, 3) << "asked again, saying why, while the name is taken or cannot be written";
  ASSERT_EQ(env.host.boxes.size(), 2u);
  EXPECT_EQ(env.host.boxes[0].text, "「taken.png」は既にあります。別の名前を選んでください。");
  EXPECT_EQ(env.host.boxes[1].text, unwritable + " を保存できません。");
  EXPECT_FALSE(fs::exists(received));
  EXPECT_TRUE(fs::exists(env.folder.File("kept.png")));
  EXPECT_EQ(fs::file_size(taken), 4u);
  // An archive cannot be unpacked here: it is kept like a declined file; a cancel leaves it.
  panel.askUse = [](const QString&, bool, bool&) -> bool { ADD_FAILURE() << "not asked for an archive"; return true; };
  panel.askSavePath = [](const QString&) { return QString(); };
  const std::string archive = env.Write("a.lzh", "lzh");
  panel.PeerlookNotice(1, QString::fromStdString(archive));
  EXPECT_TRUE(fs::exists(archive));
  // A sending that ends deletes only files the panel wrote for sending.
  panel.PeerlookNotice(2, QString::fromStdString(archive));
  EXPECT_TRUE(fs::exists(archive));
}

int FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  return probe.serverPort();
}

// Selects the member called name in the panel's component; false while it is not listed.
bool SelectMember(SharingPanel& panel, const QString& name) {
  auto* list = panel.Control()->findChild<QAbstractItemView*>("members");
  if (list == nullptr) return false;
  for (int row = 0; row < list->model()->rowCount(); ++row) {
    const QModelIndex index = list->model()->index(row, 0);
    if (index.data().toString() == name) {
      list->setCurrentIndex(index);
      return true;
    }
  }
  return false;
}

// Two copies of the program in one process, one running the relay: the active layer of one is
// opened by the other, and a colour goes back the other way. Every question is answered yes.
TEST(SharingPanel, AMemberSendsTheActiveLayerThatTheOtherOpens) {
  PanelEnv env;
  setenv("VARNEL_CONFIG", env.folder.File("varnel.ini").c_str(), 1);
  QTimer answerer;  // the component asks its own user to allow a transfer
  QObject::connect(&answerer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
      for (QAbstractButton* button : box->buttons())
        if (box->buttonRole(button) == QMessageBox::AcceptRole || box->buttonRole(button) == QMessageBox::YesRole) {
          button->click();
          break;
        }
  });
  answerer.start(10);
  CVarnelDoc doc;
  ASSERT_TRUE(doc.OnNewDocument({8, 6}));
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) doc.GetCanvas().GetLayer(0)->Row(y)[x] = 0xFF000000u | static_cast<uint32_t>(x * 16 + y);
  SharingHooks hooksA = env.Hooks();
  hooksA.activeDocument = [&doc] { return &doc; };
  SharingPanel a(env.profile, nullptr, hooksA, PEERLOOK_LIBRARY);
  std::vector<std::string> openedByB;
  SharingHooks hooksB;
  hooksB.openDocument = [&](const std::string& path) { openedByB.push_back(path); };
  hooksB.foreground = [] { return ColourRef{0x00336699}; };
  SharingPanel b(env.profile, nullptr, hooksB, PEERLOOK_LIBRARY);
  for (SharingPanel* p : {&a, &b}) {
    p->askUse = [](const QString&, bool, bool&) { return true; };
    p->askHost = [](const QString&) { return std::optional<QString>("127.0.0.1"); };
    ASSERT_TRUE(p->EnsureControl());
  }
  const int port = FreePort();
  ASSERT_TRUE(a.SetSettings({"taro", "pw", port, FreePort()}));
  a.ToggleServer();
  EXPECT_EQ(a.StatusText(), "サーバ起動中");
  ASSERT_TRUE(b.SetSettings({"花子", "pw", port, FreePort()}));
  a.Connect();
  b.Connect();
  ASSERT_TRUE(QTest::qWaitFor([&] { return SelectMember(a, "花子") && SelectMember(b, "taro"); }));

  a.SendActiveLayer();
  ASSERT_EQ(a.PendingSendFiles().size(), 1u);
  const std::string sent = a.PendingSendFiles()[0];
  ASSERT_TRUE(QTest::qWaitFor([&] { return openedByB.size() == 1 && a.PendingSendFiles().empty(); }, 10000));
  EXPECT_FALSE(fs::exists(sent)) << "the file written for sending goes once it has been sent";
  LayerList layers;
  ASSERT_EQ(ReadAnyLayerFile(openedByB[0], layers), 0);
  ASSERT_EQ(layers.size(), 1u);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(layers[0]->Row(y)[x], doc.GetCanvas().GetLayer(0)->Row(y)[x]);

  b.SendColour();
  ASSERT_TRUE(QTest::qWaitFor([&] { return env.foreground.has_value(); }, 10000));
  EXPECT_EQ(env.foreground, ColourRef{0x00336699});
  a.ToggleServer();
  EXPECT_EQ(a.StatusText(), "サーバ停止中");
  unsetenv("VARNEL_CONFIG");
}

}  // namespace
}  // namespace varnel
