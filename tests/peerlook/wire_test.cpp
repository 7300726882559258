// The wire format: framing over arbitrary read boundaries, the offer and identification texts,
// and what a received name may become.

#include "peerlook/wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnel::peerlook {
namespace {

TEST(PeerlookFrame, HeaderIsTagAndTenDigitLength) {
  EXPECT_EQ(Frame(Tag::NUNN, ""), "NUNN0000000000");
  EXPECT_EQ(Frame(Tag::NSVR, kServerVersion), "NSVR00000000040001");
  EXPECT_EQ(Frame(Tag::NUSI, Id10(7)), "NUSI00000000100000000007");
  EXPECT_EQ(TagOf("NABPx"), Tag::NABP);
  EXPECT_EQ(TagOf("PSF"), Tag::Unknown);
  EXPECT_EQ(TagOf("XXXX0000000000"), Tag::Unknown);
}

// Every split of a stream of three messages yields the same three messages, each once.
TEST(PeerlookFrame, ReassemblesAcrossAnyReadBoundary) {
  const std::vector<std::string> sent = {Frame(Tag::BCMS, "hello"), Frame(Tag::NUNN, ""),
                                         Frame(Tag::NNID, "\x83\x65\x83\x58\x83\x67,0000000003")};
  std::string stream;
  for (const auto& m : sent) stream += m;
  for (size_t a = 0; a <= stream.size(); ++a) {
    for (size_t b = a; b <= stream.size(); b += 5) {
      FrameReader reader;
      std::vector<std::string> got;
      ASSERT_TRUE(reader.Feed(std::string_view(stream).substr(0, a), got));
      ASSERT_TRUE(reader.Feed(std::string_view(stream).substr(a, b - a), got));
      ASSERT_TRUE(reader.Feed(std::string_view(stream).substr(b), got));
      ASSERT_EQ(got, sent) << a << "," << b;
      EXPECT_EQ(reader.Pending(), 0u);
    }
  }
}

TEST(PeerlookFrame, BrokenLengthsStopTheStream) {
  struct Case {
    const char* stream;
    size_t max;
  };
  for (const Case& c : {Case{"BCMS00000x0001a", kMaxControlPayload}, Case{"BCMS-000000001a", kMaxControlPayload},
                        Case{"BCMS0000000011hello world", 10}, Case{"BCMS9999999999", kMaxControlPayload}}) {
    FrameReader reader(c.max);
    std::vector<std::string> got;
    EXPECT_FALSE(reader.Feed(c.stream, got)) << c.stream;
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(reader.Feed(Frame(Tag::BCMS, "after"), got)) << "nothing more is read";
  }
}

TEST(PeerlookFields, NamesIdsAndChat) {
  EXPECT_EQ(Id10(42), "0000000042");
  EXPECT_EQ(ParseDecimal("  0000000012xyz"), 12);
  EXPECT_EQ(ParseDecimal("abc"), 0);
  EXPECT_EQ(ParseDecimal("99999999999999"), INT32_MAX);
  EXPECT_EQ(SplitNameId("taro,0000000005"), std::make_pair(std::string("taro"), 5));
  EXPECT_EQ(SplitNameId("taro"), std::nullopt);
  EXPECT_EQ(SplitChat(",0000000003,a, b"), std::make_pair(3, std::string("a, b")));
  EXPECT_EQ(SplitChat(",0000000003"), std::nullopt);
}

TEST(PeerlookOffer, FormatsAndParsesBack) {
  const FileOffer offer{1234, "192.168.1.5", 14415, 0x00c0ffee, "a,b size:9.vlb"};
  const std::string text = FormatOffer(offer);
  EXPECT_EQ(text, "size:1234,crc:FFFF,addr:192.168.1.5,port:14415,etag:00c0ffee,0000000014a,b size:9.vlb");
  const auto relayed = ParseRelayedOffer("," + Id10(9) + "," + text);
  ASSERT_TRUE(relayed);
  EXPECT_EQ(relayed->first, 9);
  EXPECT_EQ(relayed->second.size, 1234);
  EXPECT_EQ(relayed->second.address, "192.168.1.5");
  EXPECT_EQ(relayed->second.etag, 0x00c0ffeeu);
  EXPECT_EQ(relayed->second.name, "a,b size:9.vlb");
  EXPECT_EQ(OfferPayload(3, offer), ",0000000003," + text);
}

TEST(PeerlookOffer, RefusesMalformedOffers) {
  const auto port = ParseOffer("size:5,crc:FFFF,addr:10.0.0.1,etag:0000000a,0000000001x");
  ASSERT_TRUE(port);
  EXPECT_EQ(port->port, kDefaultFileTransferPort) << "no port field";
  for (const char* bad : {"size:5,crc:FFFF,addr:1.2.3.4,port:1,etag:0000000a,0000065537x",  // name too long
                          "size:5,crc:FFFF,addr:1.2.3.4,port:1,etag:0000000a,0000000009abc",  // runs past the end
                          "size:-5,crc:FFFF,addr:1.2.3.4,port:1,etag:0000000a,0000000000",
                          "size:5,crc:FFFF,addr:1.2.3.4,port:70000,etag:0000000a,0000000000",
                          "size:5,crc:FFFF,addr:1.2.3.4,port:1,etag:zz,0000000000", "crc:FFFF", ""})
    EXPECT_FALSE(ParseOffer(bad)) << bad;
  EXPECT_TRUE(ParseOffer("size:5,crc:FFFF,addr:1.2.3.4,port:1,etag:0000000a,0000065536" + std::string(65536, 'n')));
}

TEST(PeerlookOffer, IdentificationIsTwentyThreeCharacters) {
  const std::string id = Identification(12, 0xdeadbeef);
  EXPECT_EQ(id, "0000000012etag:deadbeef");
  EXPECT_EQ(ParseIdentification(id), std::make_pair(12, 0xdeadbeefu));
  EXPECT_FALSE(ParseIdentification("0000000012etag:deadbee"));
  EXPECT_FALSE(ParseIdentification("000000001xetag:deadbeef"));
}

TEST(PeerlookOffer, ReceivedNamesStayInTheFolder) {
  struct Case {
    const char* offered;
    bool ok;
    const char* name;
  };
  for (const Case& c : {Case{"", true, ""}, Case{"layer.vlb", true, "layer.vlb"}, Case{"../../etc/passwd", true, "passwd"},
                        Case{"C:\\tmp\\x.cd", true, "x.cd"}, Case{"/abs/", false, ""}, Case{"..", false, ""},
                        Case{"a/.", false, ""}, Case{"a\\..", false, ""}}) {
    const ReceivedName r = SafeReceivedName(c.offered);
    EXPECT_EQ(r.ok, c.ok) << c.offered;
    if (c.ok) {
      EXPECT_EQ(r.name, c.name) << c.offered;
    }
  }
  EXPECT_FALSE(SafeReceivedName(std::string("a\0b", 3)).ok);
}

TEST(PeerlookChat, KeepsTheLastTwoHundredFiftyLines) {
  ChatLog log;
  log.Append("me", "hi");
  EXPECT_EQ(log.Text(), "me : \r\n     hi");
  for (int i = 0; i < 200; ++i) log.Append("u", std::to_string(i));
  ASSERT_EQ(log.Lines().size(), kChatLogLines);
  EXPECT_EQ(log.Lines().back(), "     199");
  EXPECT_EQ(log.Lines().front(), "u : ") << "whole entries fall off first line first";
  EXPECT_TRUE(ConstantTimeEquals("pw", "pw"));
  EXPECT_FALSE(ConstantTimeEquals("pw", "pw2"));
  EXPECT_FALSE(ConstantTimeEquals("pw", "pX"));
}

}  // namespace
}  // namespace varnel::peerlook
