// Members of a group through a real relay on 127.0.0.1: the member lists, the chat, leaving and
// losing the relay, and file transfers between members and from a hand-made hostile member.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "document/document_file.h"
#include "peerlook/peer_client.h"
#include "peerlook/relay_server.h"
#include "tests/support/temp_folder.h"

namespace varnel::peerlook {
namespace {

using test::TempFolder;

struct ScriptedPrompts : PeerPrompts {
  void Information(const QString& text) override { information << text; }
  bool AskAllowTransfer(const QString& requestName) override {
    asked << requestName;
    return allow;
  }
  void Error(const QString& text) override { errors << text; }
  QStringList information, asked, errors;
  bool allow = true;
};

struct Member {
  ScriptedPrompts prompts;
  PeerClient client{&prompts};
  QSignalSpy notices{&client, &PeerClient::Notice};
  TempFolder store;

  QStringList Names() {
    QStringList names;
    MemberListModel& list = *client.Members();
    for (int row = 0; row < list.rowCount(); ++row) names << list.data(list.index(row), Qt::DisplayRole).toString();
    return names;
  }
  QString Notice(int i) const { return QString::number(notices[i][0].toInt()) + " " + notices[i][1].toString(); }
};

// A member written by hand on a raw socket, free to send what a real one never would, with a
// data listener of its own that hands out size + 5 bytes for whatever identification arrives.
struct RawMember {
  QTcpSocket control;
  QTcpServer data;
  FrameReader reader;
  int32_t id = 0;
  QByteArray identification;

  explicit RawMember(quint16 relayPort) {
    data.listen(QHostAddress::LocalHost);
    QObject::connect(&data, &QTcpServer::newConnection, [this] {
      QTcpSocket* socket = data.nextPendingConnection();
      QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] {
        identification += socket->readAll();
        if (identification.size() < 23) return;
        socket->write(QByteArray(8, 'v') + "EXTRA");
        socket->disconnectFromHost();
      });
    });
    QObject::connect(&control, &QTcpSocket::readyRead, [this] {
      const QByteArray bytes = control.readAll();
      std::vector<std::string> messages;
      reader.Feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), messages);
      for (const std::string& message : messages)
        if (TagOf(message) == Tag::NUSI) {
          id = ParseDecimal(PayloadOf(message));
          Send(Frame(Tag::NNID, "raw," + Id10(id)));
        }
    });
    control.connectToHost(QHostAddress::LocalHost, relayPort);
  }
  void Send(const std::string& message) { control.write(message.data(), static_cast<qint64>(message.size())); }
  void Offer(int32_t target, const std::string& name) {
    FileOffer offer{8, "127.0.0.1", data.serverPort(), 0xCAFE0001u, name};
    Send(Frame(Tag::PSFD, OfferPayload(target, offer)));
  }
};

class PeerClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(relay.Listen(0, QHostAddress::LocalHost)) << relay.ErrorString().toStdString(); }

  Member& Join(const QString& name) {
    members.push_back(std::make_unique<Member>());
    Member& m = *members.back();
    m.client.SetUserName(name);
    m.client.SetFileTransferPort(0);
    m.client.SetDataStorePath(QString::fromStdString(m.store.Path().string()));
    EXPECT_TRUE(m.client.ConnectServer(QStringLiteral("127.0.0.1"), relay.Port()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.client.OwnId() != 0; }));
    EXPECT_EQ(m.prompts.information, QStringList{QString::fromUtf8("サーバに接続しました")});
    // Every member sees every other one before the next joins, so the order is the joining order.
    const int others = static_cast<int>(members.size()) - 1;
    for (auto& each : members)
      EXPECT_TRUE(QTest::qWaitFor([&] { return each->client.Members()->rowCount() == others; }));
    return m;
  }

  RelayServer relay;
  std::vector<std::unique_ptr<Member>> members;
};

// ---- the group ----------------------------------------------------------------------------------

TEST_F(PeerClientTest, MembersSeeTheOthersInTheOrderTheyWereAnnouncedWithTheirIds) {
  Member& a = Join(QString::fromUtf8("太郎"));
  Member& b = Join(QStringLiteral("jiro"));
  Member& c = Join(QString::fromUtf8("三郎"));
  EXPECT_EQ(a.Names(), (QStringList{"jiro", QString::fromUtf8("三郎")}));
  EXPECT_EQ(b.Names(), (QStringList{QString::fromUtf8("太郎"), QString::fromUtf8("三郎")}));
  EXPECT_EQ(c.Names(), (QStringList{QString::fromUtf8("太郎"), "jiro"}));
  EXPECT_EQ((std::vector{a.client.OwnId(), b.client.OwnId(), c.client.OwnId()}), (std::vector{1, 2, 3}));
  EXPECT_EQ(c.client.Members()->IdAt(0), 1);
  EXPECT_EQ(c.client.Members()->IdAt(1), 2);
}

TEST_F(PeerClientTest, ChatReachesEveryMemberUnderTheSendersName) {
  Member& a = Join(QString::fromUtf8("太郎"));
  Member& b = Join(QStringLiteral("jiro"));
  a.client.SendChat(QString::fromUtf8("こんにちは"));
  a.client.SendChat(QString());  // nothing is sent for an empty line
  b.client.SendChat(QStringLiteral("hi"));
  const QString expected = QString::fromUtf8("太郎 : \n     こんにちは\njiro : \n     hi");
  for (Member* m : {&a, &b})
    EXPECT_TRUE(QTest::qWaitFor([&] { return m->client.ChatText() == expected; }))
        << m->client.ChatText().toStdString();
}

TEST_F(PeerClientTest, TheLongestLineTheRelayTakesReachesTheOthersWithItsSendersId) {
  Member& a = Join(QStringLiteral("a"));
  Member& b = Join(QStringLiteral("b"));
  a.client.SendChat(QString(static_cast<qsizetype>(kMaxControlPayload), QLatin1Char('x')));
  EXPECT_TRUE(QTest::qWaitFor([&] { return b.client.ChatText().size() > static_cast<qsizetype>(kMaxControlPayload); }));
  EXPECT_TRUE(b.client.IsConnected());
  EXPECT_TRUE(a.client.IsConnected());
}

TEST_F(PeerClientTest, AMemberWhoLeavesIsRemovedFromTheOthersLists) {
  Member& a = Join(QStringLiteral("a"));
  Member& b = Join(QStringLiteral("b"));
  Join(QStringLiteral("c")).client.Disconnect();
  for (Member* m : {&a, &b})
    EXPECT_TRUE(QTest::qWaitFor([&] { return m->Names().size() == 1; })) << m->Names().join(',').toStdString();
  EXPECT_EQ(a.Names(), QStringList{"b"});
  EXPECT_EQ(b.Names(), QStringList{"a"});
}

TEST_F(PeerClientTest, ARelayThatDoesNotAnswerIsAFailedConnectionNotALostOne) {
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 port = closed.serverPort();
  closed.close();
  Member m;
  m.client.SetFileTransferPort(0);
  ASSERT_TRUE(m.client.ConnectServer(QStringLiteral("127.0.0.1"), port));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m.prompts.errors.isEmpty(); }));
  EXPECT_EQ(m.prompts.errors, QStringList{QStringLiteral("サーバ 127.0.0.1:%1 に接続できませんでした").arg(port)});
  EXPECT_TRUE(m.prompts.information.isEmpty());
  EXPECT_EQ(m.client.FileTransferListenPort(), 0);
  // A later attempt that reaches the relay is an ordinary connection.
  ASSERT_TRUE(m.client.ConnectServer(QStringLiteral("127.0.0.1"), relay.Port()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return m.client.OwnId() != 0; }));
}

TEST_F(PeerClientTest, LosingTheRelayTellsSoAndClearsTheLists) {
  Member& a = Join(QStringLiteral("a"));
  Join(QStringLiteral("b"));
  a.client.SendChat(QStringLiteral("x"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !a.client.ChatText().isEmpty(); }));
  relay.Shutdown();
  ASSERT_TRUE(QTest::qWaitFor([&] { return a.prompts.information.size() == 2; }));
  EXPECT_EQ(a.prompts.information.last(), QString::fromUtf8("切断されました"));
  EXPECT_EQ(a.client.Members()->rowCount(), 0);
  EXPECT_EQ(a.client.ChatText(), QString());
  EXPECT_FALSE(a.client.IsConnected());
}

// ---- file transfers -----------------------------------------------------------------------------

TEST_F(PeerClientTest, AnAllowedLayerFileArrivesWholeAndOpensWithTheSamePixels) {
  Member& a = Join(QString::fromUtf8("太郎"));
  Member& b = Join(QString::fromUtf8("次郎"));
  Layer layer;
  ASSERT_EQ(layer.Create({37, 23}), 0);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) layer.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x * 7 + y * 301));
  const std::string source = a.store / "絵.vlb";
  ASSERT_EQ(WriteLayerFile(source, {&layer}, 37, 23, layer, GridSettings{}), 0);

  ASSERT_TRUE(a.client.SendFile(QString::fromStdString(source), b.client.OwnId()));
  EXPECT_EQ(a.client.Transfers()->Labels(), QStringList{QString::fromUtf8("To:次郎")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.notices.size() == 1 && a.notices.size() == 1; }));
  const QString arrived = QString::fromStdString(b.store / "絵.vlb");
  EXPECT_EQ(b.Notice(0), "1 " + arrived);
  EXPECT_EQ(a.Notice(0), "2 " + QString::fromStdString(source));
  EXPECT_EQ(a.prompts.asked, QStringList{QString::fromUtf8("From:次郎")});
  EXPECT_EQ(b.client.Transfers()->Labels(), QStringList{QString::fromUtf8("From:太郎")});
  EXPECT_EQ(b.client.Transfers()->Progress(), QStringList{QString::fromUtf8("進捗100%")});
  EXPECT_EQ(a.client.PendingOfferCount(), 0);

  Canvas canvas;
  ASSERT_EQ(OpenPicture(arrived.toStdString(), canvas), 0);
  ASSERT_EQ(canvas.LayerCount(), 1);
  const Layer& back = *canvas.GetLayer(0);
  ASSERT_EQ(back.Width(), 37);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) ASSERT_EQ(back.Row(y)[x], layer.Row(y)[x]) << x << "," << y;
}

TEST_F(PeerClientTest, ADeclinedTransferLeavesNoFileAndEndsTheSending) {
  Member& a = Join(QStringLiteral("a"));
  Member& b = Join(QStringLiteral("b"));
  const std::string source = a.store / "note.txt";
  std::ofstream(source) << "twelve bytes";
  a.prompts.allow = false;
  ASSERT_TRUE(a.client.SendFile(QString::fromStdString(source), b.client.OwnId()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return a.notices.size() == 1 && b.client.Transfers()->rowCount() == 0; }));
  EXPECT_EQ(a.Notice(0), "2 " + QString::fromStdString(source));
  EXPECT_EQ(b.notices.size(), 0);
  EXPECT_EQ(b.store.List(), std::vector<std::string>{});
  EXPECT_EQ(a.client.Transfers()->rowCount(), 0);
}

TEST_F(PeerClientTest, FilesThatCannotBeOfferedAreToldAndNothingIsSent) {
  Member& a = Join(QStringLiteral("a"));
  Member& b = Join(QStringLiteral("b"));
  std::ofstream(a.store / "empty");
  struct Case {
    std::string path;
    int32_t target;
    const char* error;  // null: refused without a word
  } cases[] = {
      {a.store / "empty", b.client.OwnId(), "File Size が0です"},
      {a.store / "missing", b.client.OwnId(), "ファイル情報の取得に失敗しました"},
      {a.store.Path().string(), b.client.OwnId(), "ファイル情報の取得に失敗しました"},
      {a.store / "empty", 77, nullptr},
  };
  for (const Case& c : cases) {
    a.prompts.errors.clear();
    EXPECT_FALSE(a.client.SendFile(QString::fromStdString(c.path), c.target)) << c.path;
    EXPECT_EQ(a.prompts.errors, c.error ? QStringList{QString::fromUtf8(c.error)} : QStringList{}) << c.path;
  }
  EXPECT_EQ(a.client.PendingOfferCount(), 0);
}

TEST_F(PeerClientTest, DataConnectionsThatDoNotNameAPendingOfferAreClosedUnasked) {
  Member& a = Join(QStringLiteral("a"));
  RawMember raw(relay.Port());  // never fetches what it is offered
  ASSERT_TRUE(QTest::qWaitFor([&] { return a.client.Members()->rowCount() == 1; }));
  const std::string source = a.store / "f";
  std::ofstream(source) << "data";
  ASSERT_TRUE(a.client.SendFile(QString::fromStdString(source), raw.id));
  a.client.SetIdentificationTimeout(300);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"another member's id", Identification(a.client.OwnId(), 0)},
      {"a made-up etag", Identification(raw.id, 0x12345678)},
      {"garbage", std::string(23, 'x')},
      {"too few bytes in time", "00000"},
  };
  for (const Case& c : cases) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, a.client.FileTransferListenPort());
    ASSERT_TRUE(socket.waitForConnected(5000)) << c.name;
    socket.write(c.bytes.data(), static_cast<qint64>(c.bytes.size()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; })) << c.name;
  }
  EXPECT_EQ(a.prompts.asked, QStringList{});
}

TEST_F(PeerClientTest, HostileOffersLandInsideTheStoreOrAreIgnored) {
  Member& b = Join(QStringLiteral("b"));
  RawMember raw(relay.Port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.client.Members()->rowCount() == 1; }));
  struct Case {
    const char* name;
    std::string offered;
    std::string stored;  // empty: ignored
  } cases[] = {
      {"climbing up", "../up.txt", "up.txt"},
      {"backslashes", "..\\..\\back.txt", "back.txt"},
      {"dot-dot alone", "..", ""},
      {"name too long", std::string(65537, 'n'), ""},
      {"no name", "", "nat"},  // a temporary name
      {"a name received before", "up.txt", "up (2).txt"},
  };
  for (const Case& c : cases) {
    const int noticesBefore = static_cast<int>(b.notices.size());
    raw.Offer(b.client.OwnId(), c.offered);
    // The chat line after it shows the offer has been read.
    raw.Send(Frame(Tag::BCMS, c.name));
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.client.ChatText().endsWith(QString::fromUtf8(c.name)); })) << c.name;
    if (c.stored.empty()) {
      EXPECT_EQ(b.notices.size(), noticesBefore) << c.name;
      continue;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.notices.size() == noticesBefore + 1; })) << c.name;
    std::string stored = c.stored;
    for (const std::string& name : b.store.List())
      if (c.stored == "nat" && name.rfind("nat", 0) == 0 && name.size() > 7 && name.ends_with(".tmp")) stored = name;
    const std::string path = b.store / stored;
    EXPECT_EQ(b.Notice(noticesBefore), "1 " + QString::fromStdString(path)) << c.name;
    // The sender's five bytes beyond the offered size are dropped.
    EXPECT_EQ(std::filesystem::file_size(path), 8u) << c.name;
    raw.identification.clear();
  }
  EXPECT_EQ(b.store.List().size(), 4u);
}

}  // namespace
}  // namespace varnel::peerlook
