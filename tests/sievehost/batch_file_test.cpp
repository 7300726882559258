#include "sievehost/batch_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace varnel {
namespace {

using Kind = BatchLine::Kind;
using Problem = BatchLine::Problem;

struct MessageCase {
  const char* name;
  const char* line;
  const char* text;
};

TEST(BatchFile, MessageLinesShowTheTextAfterTheFirstColonWhateverTheKeywordsCase) {
  const MessageCase cases[] = {
      {"as written", "Message:hello", "hello"},
      {"lower case", "message:hello", "hello"},
      {"capitals", "MESSAGE:a:b:c", "a:b:c"},
      {"empty text", "mEsSaGe:", ""},
      {"line end dropped", "Message:done\r\n", "done"},
  };
  for (const MessageCase& c : cases) {
    const BatchLine line = ParseBatchLine(c.line);
    EXPECT_EQ(line.kind, Kind::kMessage) << c.name;
    EXPECT_EQ(line.text, c.text) << c.name;
  }
}

struct FilterCase {
  const char* name;
  const char* line;
  const char* library;
  const char* filter;
  std::vector<int32_t> values;
};

TEST(BatchFile, FilterLinesReadTheValueListUpToTheFirstEmptyPiece) {
  const FilterCase cases[] = {
      {"three values", "a.so:Blur:1,2,3", "a.so", "Blur", {1, 2, 3}},
      {"trailing colon passes no values", "a.so:Blur:", "a.so", "Blur", {}},
      {"empty piece, then one more", "a.so:Blur:3,,7", "a.so", "Blur", {3, 7}},
      {"empty piece stops the list", "a.so:Blur:3,,7,9", "a.so", "Blur", {3, 7}},
      {"leading empty piece", "a.so:Blur:,5", "a.so", "Blur", {5}},
      {"trailing comma", "a.so:Blur:3,", "a.so", "Blur", {3}},
      {"signs and spaces", "a.so:Blur: -4,+5", "a.so", "Blur", {-4, 5}},
      {"digits then other text", "a.so:Blur:12abc,7", "a.so", "Blur", {12, 7}},
      {"not a number counts 0", "a.so:Blur:x,8", "a.so", "Blur", {0, 8}},
      {"third colon belongs to the values", "a.so:Blur:1,2:3", "a.so", "Blur", {1, 2}},
      {"too large holds at the top", "a.so:Blur:99999999999", "a.so", "Blur", {INT32_MAX}},
      {"too small holds at the bottom", "a.so:Blur:-99999999999", "a.so", "Blur", {INT32_MIN}},
      {"CRLF line end", "A.SO:Blur:4\r\n", "A.SO", "Blur", {4}},
  };
  for (const FilterCase& c : cases) {
    const BatchLine line = ParseBatchLine(c.line);
    EXPECT_EQ(line.kind, Kind::kFilter) << c.name;
    EXPECT_EQ(line.library, c.library) << c.name;
    EXPECT_EQ(line.filter, c.filter) << c.name;
    EXPECT_EQ(line.values, c.values) << c.name;
  }
}

struct IgnoredCase {
  const char* name;
  const char* line;
  Problem problem;
};

TEST(BatchFile, LinesThatNameNoCallAreIgnoredWithTheirReason) {
  const IgnoredCase cases[] = {
      {"blank", "\n", Problem::kBlank},
      {"no colon", "just text", Problem::kNoColon},
      {"Message without a colon", "Message", Problem::kNoColon},
      {"no second colon", "a.so:Blur", Problem::kNoSecondColon},
      {"empty library", ":Blur:1", Problem::kEmptyLibrary},
      {"empty filter", "a.so::1", Problem::kEmptyFilter},
  };
  for (const IgnoredCase& c : cases) {
    const BatchLine line = ParseBatchLine(c.line);
    EXPECT_EQ(line.kind, Kind::kIgnored) << c.name;
    EXPECT_EQ(line.problem, c.problem) << c.name;
  }
}

TEST(BatchFile, FilesSplitIntoLinesKeepingTheLastWithoutItsLineEnd) {
  const std::vector<std::string_view> expected = {"a\n", "\r\n", "b"};
  EXPECT_EQ(BatchFileLines("a\n\r\nb"), expected);
  EXPECT_TRUE(BatchFileLines("").empty());
}

TEST(BatchFile, ParsedLinesWriteBackAsTheClipboardFormat) {
  EXPECT_EQ(BatchLineText(ParseBatchLine("x.so:F:3,,7")), "x.so:F:3,7");
  EXPECT_EQ(BatchLineText(ParseBatchLine("x.so:F:")), "x.so:F:");
  EXPECT_EQ(BatchLineText(ParseBatchLine("message:hi")), "Message:hi");
}

}  // namespace
}  // namespace varnel
