#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/code_page.h"

namespace varnel {
namespace {

// Expected bytes come from the code page 932 (Shift_JIS) tables, not from the converter.
struct Pair {
  const char* name;
  std::string utf8;
  std::string cp932;
};

void PrintTo(const Pair& pair, std::ostream* out) { *out << pair.name; }

class CodePage932Table : public testing::TestWithParam<Pair> {};

TEST_P(CodePage932Table, ConvertsBothWays) {
  EXPECT_EQ(ToCodePage932(GetParam().utf8), GetParam().cp932);
  EXPECT_EQ(FromCodePage932(GetParam().cp932), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    KnownCharacters, CodePage932Table,
    testing::Values(
        Pair{"Ascii", "Varnel 1.0 ~\\", "Varnel 1.0 ~\\"},
        Pair{"Hiragana", "あ", "\x82\xA0"},
        Pair{"Composite", "合成", "\x8D\x87\x90\xAC"},
        Pair{"Sentence", "日本語テスト", "\x93\xFA\x96\x7B\x8C\xEA\x83\x65\x83\x58\x83\x67"},
        Pair{"HalfWidthKatakana", "ｺﾋﾟｰ", "\xBA\xCB\xDF\xB0"},
        Pair{"IdeographicSpace", "　", "\x81\x40"},
        Pair{"WaveDash", "～", "\x81\x60"},  // U+FF5E, the Windows reading of 0x8160
        Pair{"CircledDigit", "①", "\x87\x40"},
        Pair{"MixedWithAscii", "レイヤー1", "\x83\x8C\x83\x43\x83\x84\x81\x5B" "1"},
        Pair{"EmbeddedNul", std::string("a\0あ", 5), std::string("a\0\x82\xA0", 4)},
        Pair{"Empty", "", ""}),
    [](const testing::TestParamInfo<Pair>& info) { return info.param.name; });

TEST(CodePage932, CharactersItCannotHoldBecomeOneQuestionMarkEach) {
  EXPECT_EQ(ToCodePage932("€"), "?");
  EXPECT_EQ(ToCodePage932("a😀b"), "a?b");
  EXPECT_EQ(ToCodePage932("é日"), "?\x93\xFA");
  EXPECT_EQ(ToCodePage932("😀😀"), "??");
}

TEST(CodePage932, InvalidUtf8BytesBecomeOneQuestionMarkEach) {
  EXPECT_EQ(ToCodePage932("\xFF"), "?");
  EXPECT_EQ(ToCodePage932("a\x80z"), "a?z");
  EXPECT_EQ(ToCodePage932("\xE3\x81"), "??");               // cut-off sequence
  EXPECT_EQ(ToCodePage932("\xC0\xAF"), "??");               // overlong '/'
  EXPECT_EQ(ToCodePage932("\xED\xA0\x80"), "???");          // surrogate
  EXPECT_EQ(ToCodePage932("\xF4\x90\x80\x80"), "????");     // past U+10FFFF
  EXPECT_EQ(ToCodePage932("\xE3\x81\x82\xFF\xE3\x81\x82"), "\x82\xA0?\x82\xA0");
}

TEST(CodePage932, InvalidCodePage932ThatIsUtf8IsTakenAsItIs) {
  // "à" is C3 A0: C3 is a katakana byte, but A0 is not a character of code page 932.
  EXPECT_EQ(FromCodePage932("à la carte"), "à la carte");
  // U+3000 is E3 80 80: E3 80 is a pair, the last 80 is invalid alone.
  EXPECT_EQ(FromCodePage932("　"), "　");
  EXPECT_EQ(FromCodePage932("😀"), "😀");
}

TEST(CodePage932, ValidCodePage932WinsOverUtf8) {
  // "ﾃｩ" in code page 932 is the same two bytes as "é" in UTF-8.
  EXPECT_EQ(FromCodePage932("\xC3\xA9"), "ﾃｩ");
}

TEST(CodePage932, GarbageBytesBecomeReplacementCharacters) {
  const std::string kBad = "\xEF\xBF\xBD";
  EXPECT_EQ(FromCodePage932("\x82\xA0\xFF" "A"), "あ" + kBad + "A");
  EXPECT_EQ(FromCodePage932("\x80"), kBad);
  EXPECT_EQ(FromCodePage932("\xFD\xFE"), kBad + kBad);
  // A lead byte without a valid second byte: only the lead byte is lost.
  EXPECT_EQ(FromCodePage932("\x82\x20\xFF"), kBad + " " + kBad);
  // A lead byte at the very end.
  EXPECT_EQ(FromCodePage932("\xFF\x82\xA0\x82"), kBad + "あ" + kBad);
}

TEST(CodePage932, OutputStaysWithinFourTimesTheInput) {
  std::string input;
  for (int i = 0; i < 4096; ++i) input += static_cast<char>(i * 37 % 256);
  EXPECT_LE(FromCodePage932(input).size(), input.size() * 4 + 4);
  EXPECT_LE(ToCodePage932(input).size(), input.size() * 4 + 4);
}

TEST(CodePage932, ConvertsFromSeveralThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        if (ToCodePage932("合成" + std::to_string(i)) != "\x8D\x87\x90\xAC" + std::to_string(i) ||
            FromCodePage932("\x82\xA0\xFF") != "あ\xEF\xBF\xBD") {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace varnel
