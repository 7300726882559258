#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpSocket>
#include <QtTest/QTest>
#include <deque>
#include <random>
#include <string>

#include "peerlook/relay_core.h"
#include "peerlook/relay_server.h"
#include "peerlook/wire.h"

namespace varnel::peerlook {
namespace {

constexpr int kWaitMs = 5000;  // the drop sweep runs every 1.5 s

void EnsureApplication() {
  static int argc = 1;
  static char name[] = "relay_test";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// A member speaking the wire format by hand.
class Member {
 public:
  explicit Member(quint16 port, qint64 readBuffer = 0) {
    m_socket.setReadBufferSize(readBuffer);
    m_socket.connectToHost(QHostAddress::LocalHost, port);
  }
  void Write(const std::string& bytes) { m_socket.write(bytes.data(), static_cast<qint64>(bytes.size())); }
  void Send(std::string_view tag, std::string_view payload) { Write(Frame(tag, payload)); }
  // The next whole message, or "" when none comes.
  std::string Next() {
    (void)QTest::qWaitFor([&] { return Pump() || m_socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs);
    Pump();
    if (m_messages.empty()) return {};
    std::string message = std::move(m_messages.front());
    m_messages.pop_front();
    return message;
  }
  // Reads the greeting; true when it is whole and gives this identifier.
  bool Greeted(int32_t id) {
    return Next() == "NWCM0000000018Welcome To Service" && Next() == "NSVR00000000040001" &&
           Next() == "NUSI0000000010" + Id10(id);
  }
  // Greeting, password and name, as the program's members send them; reads the member list
  // up to the member's own entry.
  void Join(int32_t id, const std::string& name, const std::string& password = "") {
    ASSERT_TRUE(Greeted(id));
    Send("NABP", password);
    Send("NNID", name + "," + Id10(id));
    for (std::string m = Next(); PayloadOf(m) != name + "," + Id10(id); m = Next()) ASSERT_EQ(TagOf(m), Tag::NNID);
  }
  bool Closed() {
    return QTest::qWaitFor([&] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs);
  }
  QTcpSocket& Socket() { return m_socket; }

 private:
  bool Pump() {
    const QByteArray bytes = m_socket.readAll();
    std::vector<std::string> out;
    m_reader.Feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), out);
    m_messages.insert(m_messages.end(), out.begin(), out.end());
    return !m_messages.empty();
  }
  QTcpSocket m_socket;
  FrameReader m_reader{size_t{64} << 20};
  std::deque<std::string> m_messages;
};

class Relay : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    ASSERT_TRUE(server.Listen(0, QHostAddress::LocalHost)) << server.ErrorString().toStdString();
  }
  RelayServer server;
};

TEST_F(Relay, AuthenticatesByPasswordAndDropsAWrongOneEvenWhenNoneIsSet) {
  struct Case {
    const char* name;
    QString password;
    std::string presented;  // as on the wire
    bool admitted;
  };
  const Case cases[] = {
      {"no password, none presented", "", "", true},       {"no password, one presented", "", "x", false},
      {"right", "secret", "secret", true},                  {"wrong", "secret", "wrong", false},
      {"a prefix", "secret", "secre", false},               {"code page 932", "秘密", "\x94\xe9\x96\xa7", true},
      {"the UTF-8 bytes", "秘密", "秘密", false},
  };
  for (const Case& c : cases) {
    RelayServer relay;
    relay.SetPassword(c.password);
    ASSERT_TRUE(relay.Listen(0, QHostAddress::LocalHost));
    Member m(relay.Port());
    ASSERT_TRUE(m.Greeted(1)) << c.name;
    m.Send("NABP", c.presented);
    m.Send("BCMS", "hi");
    if (c.admitted) EXPECT_EQ(m.Next(), "BCMS0000000014,0000000001,hi") << c.name;
    else EXPECT_TRUE(m.Closed()) << c.name;
  }
}

TEST_F(Relay, AcceptsANameOnlyOnceWithACommaAndTheConnectionsOwnIdentifier) {
  struct Case {
    std::string payload;
    std::string firstReply;  // "" when the member is dropped
  };
  const Case cases[] = {{"taro,0000000001", "NNID0000000015taro,0000000001"},
                        {"taro,1", "NNID0000000015taro,0000000001"},
                        {",0000000001", "NNID0000000011,0000000001"},
                        {"taro", ""},
                        {"taro,0000000002", ""},
                        {"taro,x1", ""}};
  for (const Case& c : cases) {
    RelayServer relay;
    ASSERT_TRUE(relay.Listen(0, QHostAddress::LocalHost));
    Member m(relay.Port());
    ASSERT_TRUE(m.Greeted(1));
    m.Send("NNID", c.payload);
    if (c.firstReply.empty()) {
      EXPECT_TRUE(m.Closed()) << c.payload;
      continue;
    }
    EXPECT_EQ(m.Next(), c.firstReply) << c.payload;
    m.Send("NNID", c.payload);  // a second announcement
    EXPECT_TRUE(m.Closed()) << c.payload;
  }
}

TEST_F(Relay, CountsIdentifiersFromOneAndGivesNewcomersEveryNamedMember) {
  Member a(server.Port());
  a.Join(1, "taro");
  Member silent(server.Port());  // identifier 2, never names itself
  ASSERT_TRUE(silent.Greeted(2));
  Member b(server.Port());
  ASSERT_TRUE(b.Greeted(3));
  b.Send("NNID", "hanako,0000000003");
  EXPECT_EQ(a.Next(), "NNID0000000017hanako,0000000003");
  EXPECT_EQ(silent.Next(), "NNID0000000017hanako,0000000003");
  EXPECT_EQ(b.Next(), "NNID0000000015taro,0000000001");
  EXPECT_EQ(b.Next(), "NNID0000000017hanako,0000000003");
  Member c(server.Port());
  ASSERT_TRUE(c.Greeted(4));
  c.Send("NNID", "jiro,0000000004");
  for (Member* other : {&a, &b}) EXPECT_EQ(other->Next(), "NNID0000000015jiro,0000000004");
  for (const char* entry : {"NNID0000000015taro,0000000001", "NNID0000000017hanako,0000000003",
                            "NNID0000000015jiro,0000000004"})
    EXPECT_EQ(c.Next(), entry);
}

TEST_F(Relay, ChatGoesToEveryMemberWithTheSendersIdentifierAndNothingIsLeftOut) {
  Member a(server.Port());
  a.Join(1, "taro");
  Member b(server.Port());
  b.Join(2, "hanako");
  ASSERT_EQ(a.Next(), "NNID0000000017hanako,0000000002");
  struct Case {
    std::string text;
    std::string relayed;
  };
  const Case cases[] = {{"", "BCMS0000000012,0000000002,"},
                        {"hello", "BCMS0000000017,0000000002,hello"},
                        {"a,b\r\n", "BCMS0000000017,0000000002,a,b\r\n"},
                        {"\x82\xa0", "BCMS0000000014,0000000002,\x82\xa0"}};
  for (const Case& c : cases) {
    b.Send("BCMS", c.text);
    EXPECT_EQ(a.Next(), c.relayed);
    EXPECT_EQ(b.Next(), c.relayed);
  }
}

TEST_F(Relay, FileOffersReachTheirTargetOnlyAndOffersToNoOneAreDiscarded) {
  Member a(server.Port());
  a.Join(1, "taro");
  Member b(server.Port());
  b.Join(2, "hanako");
  Member c(server.Port());
  c.Join(3, "jiro");
  ASSERT_EQ(a.Next(), "NNID0000000017hanako,0000000002");
  ASSERT_EQ(a.Next(), "NNID0000000015jiro,0000000003");
  ASSERT_EQ(b.Next(), "NNID0000000015jiro,0000000003");
  const std::string offer = "size:5,crc:FFFF,addr:10.0.0.1,port:14415,etag:0000abcd,0000000005a.vlb";
  a.Send("PSFD", ",0000000003," + offer);
  a.Send("PSFD", ",0000000009," + offer);  // nobody has that identifier
  a.Send("PSFD", ",0000000002");           // too short to name a target
  a.Send("PXYZ", ",0000000002,x");         // any tag that begins with P is routed
  a.Send("BCMS", "end");
  const std::string end = "BCMS0000000015,0000000001,end";
  EXPECT_EQ(c.Next(), "PSFD0000000082,0000000001," + offer);
  EXPECT_EQ(b.Next(), "PXYZ0000000013,0000000001,x");
  for (Member* m : {&a, &b, &c}) EXPECT_EQ(m->Next(), end);
}

TEST_F(Relay, ALeavingMemberIsAnnouncedToTheOthers) {
  Member a(server.Port());
  a.Join(1, "taro");
  {
    Member b(server.Port());
    b.Join(2, "hanako");
    ASSERT_EQ(a.Next(), "NNID0000000017hanako,0000000002");
  }
  EXPECT_EQ(a.Next(), "NDUL0000000017hanako,0000000002");
  EXPECT_TRUE(QTest::qWaitFor([&] { return server.ConnectionCount() == 1; }, kWaitMs));
}

TEST_F(Relay, ShutdownSaysGoodbyeToAuthenticatedMembersAndClosesEveryConnection) {
  RelayServer relay;
  relay.SetPassword("pw");
  ASSERT_TRUE(relay.Listen(0, QHostAddress::LocalHost));
  Member a(relay.Port()), outsider(relay.Port());
  a.Join(1, "taro", "pw");
  ASSERT_TRUE(outsider.Greeted(2));
  relay.Shutdown();
  EXPECT_EQ(a.Next(), "NSST0000000027Server Shutdown\r\nGood Bye\r\n");
  EXPECT_TRUE(a.Closed());
  EXPECT_TRUE(outsider.Closed());
  EXPECT_EQ(outsider.Next(), "");
  EXPECT_FALSE(relay.IsListening());
}

TEST_F(Relay, MessagesCutIntoPiecesOrSharingAWriteAreEachHandledOnceAndWhole) {
  Member a(server.Port());
  a.Join(1, "taro");
  for (char byte : Frame("BCMS", "piecemeal")) {
    a.Write(std::string(1, byte));
    a.Socket().flush();
  }
  a.Write(Frame("BCMS", "one") + Frame("BCMS", "two"));
  EXPECT_EQ(a.Next(), "BCMS0000000021,0000000001,piecemeal");
  EXPECT_EQ(a.Next(), "BCMS0000000015,0000000001,one");
  EXPECT_EQ(a.Next(), "BCMS0000000015,0000000001,two");
}

TEST_F(Relay, HostilePeersAreDroppedWhileTheOthersAreStillServed) {
  Member a(server.Port());
  a.Join(1, "taro");
  std::mt19937 random(20261208);
  std::string noise(10000, '\0');
  for (char& byte : noise) byte = static_cast<char>(random());
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {{"a length past the cap", "BCMS9999999999"},
                        {"a length that is no number", "hello, relay!!"},
                        {"10,000 random bytes", noise}};
  int32_t id = 2;
  for (const Case& c : cases) {
    Member hostile(server.Port());
    ASSERT_TRUE(hostile.Greeted(id++));
    hostile.Write(c.bytes);
    EXPECT_TRUE(hostile.Closed()) << c.name;
    // Without a password it was a member, though it never gave a name.
    EXPECT_EQ(a.Next(), "NDUL0000000011," + Id10(id - 1)) << c.name;
    a.Send("BCMS", "still here");
    EXPECT_EQ(a.Next(), "BCMS0000000022,0000000001,still here") << c.name;
  }
}

TEST_F(Relay, AMemberThatStopsReadingIsDroppedAndTheOthersGoOn) {
  Member a(server.Port());
  a.Join(1, "taro");
  Member stalled(server.Port(), 1024);  // Qt reads no more than this ahead for it
  stalled.Join(2, "hanako");
  ASSERT_EQ(a.Next(), "NNID0000000017hanako,0000000002");
  const std::string line(kMaxControlPayload, 'x');
  // Each line is echoed to the sender; the stalled member's notice of leaving may come between.
  bool gone = false;
  for (int i = 0; i < 64 && !gone; ++i) {
    a.Send("BCMS", line);
    std::string m = a.Next();
    if (m == "NDUL0000000017hanako,0000000002") {
      gone = true;
      m = a.Next();
    }
    ASSERT_EQ(m.size(), kHeaderSize + 12 + line.size()) << i;
  }
  EXPECT_TRUE(gone);
  EXPECT_EQ(server.ConnectionCount(), 1);
}

// Without sockets: a connection that never presents the password.
struct Recorder : RelayOutput {
  void Send(int32_t id, std::string_view message) override { sent.emplace_back(id, message); }
  void Event(std::string_view line) override { events.emplace_back(line); }
  std::vector<std::pair<int32_t, std::string>> sent;
  std::vector<std::string> events;
};

TEST(RelayCore, AConnectionWithoutThePasswordIsDroppedAfterThirtySecondsAndHearsNothing) {
  Recorder out;
  RelayCore core(out);
  core.SetPassword("pw");
  const int32_t outsider = core.Accept(1000);
  const int32_t member = core.Accept(2000);
  core.Receive(member, Frame("NABP", "pw") + Frame("BCMS", "x"));
  core.Receive(outsider, Frame("NNID", "eve,0000000001") + Frame("BCMS", "y"));
  EXPECT_TRUE(core.Sweep(30999).empty());
  EXPECT_EQ(core.Sweep(31000), std::vector<int32_t>{outsider});
  EXPECT_EQ(out.sent.back(), std::make_pair(member, std::string("BCMS0000000013,0000000002,x")));
  EXPECT_EQ(out.events, std::vector<std::string>{"drop 1: no password in time"});
  EXPECT_EQ(core.ConnectionCount(), 1);
}

}  // namespace
}  // namespace varnel::peerlook
