#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace varnel {
namespace {

std::string ValueOf(const IniData& data, std::string_view section, std::string_view key) {
  const std::string* value = data.Find(section, key);
  return value != nullptr ? *value : std::string("<missing>");
}

struct ParseCase {
  const char* name;
  std::string text;
  std::string section;
  std::string key;
  std::string expected;  // "<missing>" when the key must not be found
};

// Keeps the test names readable (and free of addresses) in the CTest listing.
void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class IniParse : public testing::TestWithParam<ParseCase> {};

TEST_P(IniParse, FindsTheExpectedValue) {
  const ParseCase& c = GetParam();
  EXPECT_EQ(ValueOf(IniData::Parse(c.text), c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, IniParse,
    testing::Values(
        ParseCase{"Plain", "[A]\nk=v\n", "A", "k", "v"},
        ParseCase{"NoFinalNewline", "[A]\nk=v", "A", "k", "v"},
        ParseCase{"CrLf", "[A]\r\nk=v\r\nz=w\r\n", "A", "k", "v"},
        ParseCase{"ByteOrderMark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        ParseCase{"SpacesAroundEverything", "  [ A ]  \n  k  =  v  \n", "A", "k", "v"},
        ParseCase{"TabsAroundValue", "[A]\nk=\tv\t\n", "A", "k", "v"},
        ParseCase{"LinesBeforeFirstSectionIgnored", "k=early\n[A]\n", "A", "k", "<missing>"},
        ParseCase{"DuplicateKeyLastWins", "[A]\nk=1\nk=2\n", "A", "k", "2"},
        ParseCase{"DuplicateKeyOtherCaseLastWins", "[A]\nKey=1\nKEY=2\n", "A", "key", "2"},
        ParseCase{"ReopenedSectionMerges", "[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n", "A", "z", "3"},
        ParseCase{"SemicolonComment", "[A]\n;k=v\n", "A", ";k", "<missing>"},
        ParseCase{"HashComment", "[A]\n#k=v\n", "A", "#k", "<missing>"},
        ParseCase{"SemicolonInsideValueKept", "[A]\nk=a ; b\n", "A", "k", "a ; b"},
        ParseCase{"EmptyValue", "[A]\nk=\n", "A", "k", ""},
        ParseCase{"EqualsInValue", "[A]\nk=a=b\n", "A", "k", "a=b"},
        ParseCase{"EmptyKeySkipped", "[A]\n=v\n", "A", "", "<missing>"},
        ParseCase{"LineWithoutEqualsSkipped", "[A]\njunk\nk=v\n", "A", "junk", "<missing>"},
        ParseCase{"DottedMixedCaseKey", "[Palette]\nColorPalette.Visible=1\n", "palette",
                  "colorpalette.visible", "1"},
        ParseCase{"QuotedKeepsOuterSpaces", "[A]\nk=\"  v  \"\n", "A", "k", "  v  "},
        ParseCase{"QuotedEscapes", "[A]\nk=\"a\\\\b\\\"c\\nd\\re\\tf\"\n", "A", "k",
                  "a\\b\"c\nd\re\tf"},
        ParseCase{"QuotedHexEscape", "[A]\nk=\"\\x01\\x7f\"\n", "A", "k", "\x01\x7f"},
        ParseCase{"UnknownEscapeKept", "[A]\nk=\"a\\qb\\x4\"\n", "A", "k", "a\\qb\\x4"},
        ParseCase{"TextAfterClosingQuoteIgnored", "[A]\nk=\"v\" ; note\n", "A", "k", "v"},
        ParseCase{"MissingClosingQuote", "[A]\nk=\"open\n", "A", "k", "open"},
        ParseCase{"QuoteInsideUnquotedValue", "[A]\nk=say \"hi\"\n", "A", "k", "say \"hi\""},
        ParseCase{"LoneCarriageReturnInsideValue", "[A]\nk=a\rb\n", "A", "k", "a\rb"},
        ParseCase{"EmbeddedNul", std::string("[A]\nk=a\0b\n", 10), "A", "k",
                  std::string("a\0b", 3)},
        ParseCase{"BracketKeyIsNotASection", "[A]\n[k=v\n", "A", "[k", "v"},
        ParseCase{"SectionNameWithClosingBracket", "[A]B]\nk=v\n", "A]B", "k", "v"},
        ParseCase{"EmptySectionName", "[]\nk=v\n", "", "k", "v"}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(IniData, KeepsTheFirstSpellingOfSectionsAndKeys) {
  IniData data = IniData::Parse("[Window]\nOBJECTPALUIyPOS=1\n[WINDOW]\nobjectpaluiypos=2\n");
  data.Set("window", "ObjectPalUIyPos", "3");
  ASSERT_EQ(data.Sections().size(), 1u);
  EXPECT_EQ(data.Sections()[0].name, "Window");
  EXPECT_EQ(data.Keys("WiNdOw"), std::vector<std::string>{"OBJECTPALUIyPOS"});
  EXPECT_EQ(ValueOf(data, "WINDOW", "objectpaluiypos"), "3");
}

TEST(IniData, CaseFoldingIsAsciiOnly) {
  IniData data;
  data.Set("Ä", "É", "1");
  EXPECT_EQ(data.Find("ä", "É"), nullptr);
  EXPECT_EQ(ValueOf(data, "Ä", "É"), "1");
}

TEST(IniData, SerializeWritesSectionsInOrderWithABlankLineBetween) {
  IniData data;
  data.Set("Second", "b", "2");
  data.Set("First", "a", "1");
  data.Set("Second", "button0000001f", "x");
  EXPECT_EQ(data.Serialize(), "[Second]\nb=2\nbutton0000001f=x\n\n[First]\na=1\n");
}

TEST(IniData, SerializeQuotesOnlyValuesThatNeedIt) {
  struct Case {
    std::string value;
    std::string written;
  } cases[] = {
      {"plain", "plain"},
      {"", ""},
      {"inner space", "inner space"},
      {"say \"hi\"", "say \"hi\""},
      {" lead", "\" lead\""},
      {"trail ", "\"trail \""},
      {"\"quoted\"", "\"\\\"quoted\\\"\""},
      {"C:\\Temp", "\"C:\\\\Temp\""},
      {"two\nlines", "\"two\\nlines\""},
      {"tab\there", "\"tab\\there\""},
      {std::string("nul\0", 4), "\"nul\\x00\""},
      {"\x1B[0m", "\"\\x1B[0m\""},
      {"日本語", "日本語"},
  };
  for (const Case& c : cases) {
    IniData data;
    data.Set("S", "k", c.value);
    EXPECT_EQ(data.Serialize(), "[S]\nk=" + c.written + "\n") << c.value;
  }
}

TEST(IniData, KeyStartingWithABracketReadsBackAsAKey) {
  IniData data;
  data.Set("S", "[k", "v]");
  IniData back = IniData::Parse(data.Serialize());
  EXPECT_EQ(ValueOf(back, "S", "[k"), "v]");
  EXPECT_EQ(back.Sections().size(), 1u);
}

TEST(IniData, RejectsNamesTheFileCannotHold) {
  IniData data;
  data.Set("S", "", "v");
  data.Set("S", "a=b", "v");
  data.Set("S", " padded", "v");
  data.Set("S", "two\nlines", "v");
  data.Set("S", ";comment", "v");
  data.Set("bad\nsection", "k", "v");
  data.Set("S ", "k", "v");
  EXPECT_TRUE(data.Sections().empty());
  EXPECT_EQ(data.Serialize(), "");
}

TEST(IniData, RemoveDeletesOnlyThatKeyAndKeepsOrder) {
  IniData data = IniData::Parse("[S]\na=1\nb=2\nc=3\n");
  EXPECT_TRUE(data.Remove("s", "B"));
  EXPECT_FALSE(data.Remove("s", "b"));
  EXPECT_FALSE(data.Remove("missing", "a"));
  EXPECT_EQ(data.Keys("S"), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(ValueOf(data, "S", "c"), "3");
  data.Set("S", "b", "again");
  EXPECT_EQ(data.Serialize(), "[S]\na=1\nc=3\nb=again\n");
}

TEST(IniData, RoundTripKeepsEveryRandomValueByteForByte) {
  std::mt19937 random(20240607);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 40);
  IniData data;
  std::vector<std::string> values;
  for (int i = 0; i < 500; ++i) {
    std::string value;
    int n = length(random);
    for (int k = 0; k < n; ++k) {
      // Every other value mixes in the bytes the quoting is about.
      static const char kSpecial[] = " \t\"\\\n\r=[];#";
      value += (i % 2 == 0 && k % 3 == 0) ? kSpecial[byte(random) % (sizeof kSpecial - 1)]
                                           : static_cast<char>(byte(random));
    }
    values.push_back(value);
    data.Set("Section" + std::to_string(i % 7), "key" + std::to_string(i), value);
  }
  std::string text = data.Serialize();
  IniData back = IniData::Parse(text);
  for (int i = 0; i < 500; ++i) {
    EXPECT_EQ(ValueOf(back, "Section" + std::to_string(i % 7), "key" + std::to_string(i)),
              values[i])
        << "value " << i;
  }
  EXPECT_EQ(back.Serialize(), text);
}

TEST(IniData, ParsesAMegabyteFileQuickly) {
  std::string text = "[Big]\n";
  for (int i = 0; text.size() < (1 << 20); ++i) text += "key" + std::to_string(i) + "=value\n";
  text += "[Long]\nk=" + std::string(1 << 20, 'x') + "\n";
  auto start = std::chrono::steady_clock::now();
  IniData data = IniData::Parse(text);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(ValueOf(data, "big", "KEY100"), "value");
  EXPECT_EQ(ValueOf(data, "long", "k").size(), size_t{1} << 20);
  // Quadratic lookups take minutes here; linear work takes well under a second even with
  // sanitizers.
  EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count(), 5);
}

TEST(IniData, ParsesArbitraryBytesWithoutLosingTheRoundTrip) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 200; ++round) {
    std::string text;
    static const char kShape[] = "[]=\"\\\n\r ;#";
    for (int k = 0; k < 300; ++k) {
      text += byte(random) < 128 ? kShape[byte(random) % (sizeof kShape - 1)]
                                 : static_cast<char>(byte(random));
    }
    IniData first = IniData::Parse(text);
    IniData second = IniData::Parse(first.Serialize());
    ASSERT_EQ(first.Serialize(), second.Serialize()) << "round " << round;
    ASSERT_EQ(first.Sections().size(), second.Sections().size());
  }
}

}  // namespace
}  // namespace varnel
