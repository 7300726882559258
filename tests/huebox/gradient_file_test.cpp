// Gradient files and gradient sampling without Qt: reading, writing, what bad input answers,
// the exact colours a pattern samples to, and the editor's stop operations. Expected values are
// worked out from the file and sampling rules.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "huebox/gradient_file.h"
#include "tests/huebox/huebox_c_layout.h"
#include "tests/support/temp_folder.h"

namespace varnel::huebox {
namespace {

using test::TempFolder;

GradientStop Stop(int32_t position, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return {position, {r, g, b, a}};
}

Gradient Pattern(std::string name, std::vector<GradientStop> stops) { return {std::move(name), std::move(stops)}; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<uint8_t> Reds(const Gradient& gradient, int32_t count) {
  std::vector<uint8_t> reds;
  for (int32_t i = 0; i < count; ++i) reds.push_back(SampleAt(gradient, i, count - 1).red);
  return reds;
}

// ---- reading and writing ----------------------------------------------------------------------

TEST(GradientFile, WritesTheDocumentedForm) {
  const std::vector<Gradient> gradients = {
      Pattern("夕焼け", {Stop(0, 40, 20, 90), Stop(5500, 230, 90, 60), Stop(10000, 250, 210, 120, 0)}),
      Pattern("", {Stop(2500, 1, 2, 3, 4)})};
  EXPECT_EQ(FormatGradientFile(gradients),
            "VNGRAD 1\n"
            "\nNAME=夕焼け\nSTOPS=3\n0.0000 40 20 90 255\n0.5500 230 90 60 255\n1.0000 250 210 120 0\n"
            "\nNAME=\nSTOPS=1\n0.2500 1 2 3 4\n");
}

TEST(GradientFile, WhatIsWrittenReadsBackTheSame) {
  const std::vector<Gradient> gradients = {
      Pattern("a", {Stop(0, 0, 0, 0), Stop(1, 255, 255, 255, 0), Stop(9999, 7, 8, 9), Stop(10000, 1, 1, 1)}),
      Pattern(std::string(kMaxNameBytes, 'x'), {Stop(3333, 10, 20, 30)})};
  std::vector<Gradient> read;
  ASSERT_TRUE(ParseGradientFile(FormatGradientFile(gradients), read).Ok());
  EXPECT_EQ(read, gradients);

  const TempFolder folder;
  ASSERT_TRUE(WriteGradientFile(folder / "grad.gpi", gradients));
  read.clear();
  ASSERT_TRUE(ReadGradientFile(folder / "grad.gpi", read).Ok());
  EXPECT_EQ(read, gradients);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"grad.gpi"});  // no temporary file left behind
}

TEST(GradientFile, TheShippedStarterSetReads) {
  std::vector<Gradient> read;
  ASSERT_TRUE(ReadGradientFile(VARNEL_SOURCE_DIR "/data/res/grad.gpi", read).Ok());
  EXPECT_EQ(read.size(), 9u);
  for (const Gradient& gradient : read) EXPECT_TRUE(IsValidGradient(gradient)) << gradient.name;
}

struct PositionCase {
  const char* name;
  const char* text;
  int32_t expected;
};

TEST(GradientFile, PositionsAreKeptToFourDecimalsRoundedHalfUp) {
  const PositionCase cases[] = {
      {"zero", "0", 0},
      {"one", "1", 10000},
      {"one with a dot", "1.", 10000},
      {"four decimals", "1.0000", 10000},
      {"no leading digit", ".25", 2500},
      {"fifth decimal five rounds up", "0.12345", 1235},
      {"fifth decimal four stays", "0.1234499999", 1234},
      {"rounding up reaches one", "0.99995", 10000},
      {"leading zeros", "000.5", 5000},
  };
  for (const PositionCase& c : cases) {
    std::vector<Gradient> read;
    const std::string text = std::string("VNGRAD 1\nNAME=p\nSTOPS=1\n") + c.text + " 0 0 0 255\n";
    ASSERT_TRUE(ParseGradientFile(text, read).Ok()) << c.name;
    EXPECT_EQ(read.at(0).stops.at(0).position, c.expected) << c.name;
  }
}

TEST(GradientFile, ToleratesByteOrderMarkCarriageReturnsCommentsBlanksAndTabs) {
  const std::string text =
      "\xEF\xBB\xBFVNGRAD 1  \r\n# comment\r\n\r\n  NAME=a b \r\n\tSTOPS= 2\r\n  # inside\r\n"
      "1\t255  0 0 128\r\n0 0 0 255 255\r\n";
  std::vector<Gradient> read;
  ASSERT_TRUE(ParseGradientFile(text, read).Ok());
  EXPECT_EQ(read, (std::vector<Gradient>{Pattern("a b ", {Stop(0, 0, 0, 255), Stop(10000, 255, 0, 0, 128)})}));
}

TEST(GradientFile, StopsAreSortedKeepingTheOrderOfEqualPositions) {
  const std::string text = "VNGRAD 1\nNAME=p\nSTOPS=4\n1 4 0 0 255\n0.5 2 0 0 255\n0 1 0 0 255\n0.5 3 0 0 255\n";
  std::vector<Gradient> read;
  ASSERT_TRUE(ParseGradientFile(text, read).Ok());
  std::vector<uint8_t> order;
  for (const GradientStop& s : read.at(0).stops) order.push_back(s.colour.red);
  EXPECT_EQ(order, (std::vector<uint8_t>{1, 2, 3, 4}));
}

struct BadCase {
  const char* name;
  std::string text;
  GradientFileError error;
  int line;
};

std::string ManyPatterns(int count) {
  std::string text = "VNGRAD 1\n";
  for (int i = 0; i < count; ++i) text += "NAME=p\nSTOPS=1\n0 0 0 0 0\n";
  return text;
}

TEST(GradientFile, BadInputIsRefusedWithItsLineAndLeavesTheListAlone) {
  const std::string head = "VNGRAD 1\nNAME=p\n";
  const BadCase cases[] = {
      {"empty text", "", GradientFileError::kNoHeader, 1},
      {"another header", "VNGRADX 1\n", GradientFileError::kNoHeader, 1},
      {"header without version", "VNGRAD\n", GradientFileError::kUnsupportedVersion, 1},
      {"version 2", "VNGRAD 2\n", GradientFileError::kUnsupportedVersion, 1},
      {"stop before a name", "VNGRAD 1\n0 0 0 0 0\n", GradientFileError::kUnexpectedLine, 2},
      {"lower-case key", "VNGRAD 1\nname=p\n", GradientFileError::kUnexpectedLine, 2},
      {"name of 64 bytes", "VNGRAD 1\nNAME=" + std::string(64, 'n') + "\n", GradientFileError::kBadName, 2},
      {"tab in a name", "VNGRAD 1\nNAME=a\tb\n", GradientFileError::kBadName, 2},
      {"name without stops", head, GradientFileError::kExpectedStopCount, 3},
      {"no stops", head + "STOPS=0\n", GradientFileError::kBadStopCount, 3},
      {"33 stops", head + "STOPS=33\n", GradientFileError::kBadStopCount, 3},
      {"count not a number", head + "STOPS=two\n", GradientFileError::kBadStopCount, 3},
      {"huge count", head + "STOPS=99999999999999\n", GradientFileError::kBadStopCount, 3},
      {"file ends early", head + "STOPS=2\n0 0 0 0 0\n", GradientFileError::kMissingStops, 5},
      {"next name comes early", head + "STOPS=2\n0 0 0 0 0\nNAME=q\n", GradientFileError::kMissingStops, 5},
      {"four fields", head + "STOPS=1\n0 0 0 0\n", GradientFileError::kBadStop, 4},
      {"negative position", head + "STOPS=1\n-0.5 0 0 0 0\n", GradientFileError::kBadStop, 4},
      {"exponent", head + "STOPS=1\n1e-3 0 0 0 0\n", GradientFileError::kBadStop, 4},
      {"dot alone", head + "STOPS=1\n. 0 0 0 0\n", GradientFileError::kBadStop, 4},
      {"channel not a number", head + "STOPS=1\n0 0 x 0 0\n", GradientFileError::kBadStop, 4},
      {"huge channel", head + "STOPS=1\n0 0 0 0 1234567890\n", GradientFileError::kBadStop, 4},
      {"position beyond one", head + "STOPS=1\n1.0001 0 0 0 0\n", GradientFileError::kPositionOutOfRange, 4},
      {"position rounds beyond one", head + "STOPS=1\n1.00005 0 0 0 0\n", GradientFileError::kPositionOutOfRange, 4},
      {"channel 256", head + "STOPS=1\n0 0 256 0 0\n", GradientFileError::kChannelOutOfRange, 4},
      {"257 patterns", ManyPatterns(257), GradientFileError::kTooManyGradients, 2 + 3 * 256},
  };
  for (const BadCase& c : cases) {
    std::vector<Gradient> list = {DefaultGradient("kept")};
    const GradientFileStatus status = ParseGradientFile(c.text, list);
    EXPECT_EQ(status, (GradientFileStatus{c.error, c.line})) << c.name;
    EXPECT_EQ(list, std::vector<Gradient>{DefaultGradient("kept")}) << c.name;
  }
  std::vector<Gradient> full;
  EXPECT_TRUE(ParseGradientFile(ManyPatterns(256), full).Ok());
  EXPECT_EQ(full.size(), 256u);
}

TEST(GradientFile, ReadingAFileThatIsMissingAFolderOrTooLargeFails) {
  const TempFolder folder;
  std::vector<Gradient> read;
  EXPECT_EQ(ReadGradientFile(folder / "missing.gpi", read).error, GradientFileError::kCannotOpen);
  EXPECT_EQ(ReadGradientFile(folder.Path().string(), read).error, GradientFileError::kCannotOpen);
  EXPECT_EQ(ReadGradientFile("", read).error, GradientFileError::kCannotOpen);
  WriteText(folder / "big.gpi", "VNGRAD 1\n" + std::string(kMaxGradientFileBytes, '#'));
  EXPECT_EQ(ReadGradientFile(folder / "big.gpi", read).error, GradientFileError::kTooLarge);
}

TEST(GradientFile, PatternsTheFileCannotHoldAreNotWrittenAndTheOldFileStays) {
  const TempFolder folder;
  const std::string path = folder / "grad.gpi";
  WriteText(path, "old");
  const Gradient good = DefaultGradient("g");
  const std::vector<std::vector<Gradient>> refused = {
      {Pattern("no stops", {})},
      {Pattern("out of order", {Stop(5000, 0, 0, 0), Stop(0, 0, 0, 0)})},
      {Pattern("beyond one", {Stop(10001, 0, 0, 0)})},
      {Pattern(std::string(64, 'x'), {Stop(0, 0, 0, 0)})},
      {Pattern("line\nbreak", {Stop(0, 0, 0, 0)})},
      std::vector<Gradient>(kMaxGradients + 1, good),
  };
  for (const auto& gradients : refused) EXPECT_FALSE(WriteGradientFile(path, gradients));
  EXPECT_EQ(ReadText(path), "old");
  EXPECT_FALSE(WriteGradientFile(folder / "no-such-folder/grad.gpi", {good}));
  EXPECT_EQ(folder.List(), std::vector<std::string>{"grad.gpi"});
}

TEST(GradientFile, NamesAreFittedAtACharacterBoundary) {
  // 21 three-byte characters are 63 bytes; a 22nd does not fit whole.
  std::string kana;
  for (int i = 0; i < 22; ++i) kana += "あ";
  EXPECT_EQ(FittingName(kana), kana.substr(0, 63));
  EXPECT_EQ(FittingName("x" + kana), "x" + kana.substr(0, 60));
  EXPECT_EQ(FittingName("a\tb\x7F"), "a b ");
}

// ---- sampling ---------------------------------------------------------------------------------

struct SampleCase {
  const char* name;
  Gradient gradient;
  int32_t count;
  std::vector<uint8_t> reds;
};

TEST(GradientSampling, ChannelsAreInterpolatedExactlyAndRoundedHalfUp) {
  const Gradient ramp = Pattern("ramp", {Stop(0, 0, 0, 0), Stop(10000, 255, 0, 0)});
  const SampleCase cases[] = {
      // 255 × i / 4: 63.75, 127.5, 191.25.
      {"quarters", ramp, 5, {0, 64, 128, 191, 255}},
      // 255 × i / 6 = 42.5, 85, 127.5, 170, 212.5: thirds and sixths without float error.
      {"sixths", ramp, 7, {0, 43, 85, 128, 170, 213, 255}},
      {"one sample is the start", ramp, 1, {0}},
      {"two samples are the ends", ramp, 2, {0, 255}},
      // Inner stops: 100 at 0.3 and 200 at 0.7; 0.4 is a quarter, 0.5 half, 0.6 three quarters.
      {"inner stops", Pattern("in", {Stop(3000, 100, 0, 0), Stop(7000, 200, 0, 0)}), 11,
       {100, 100, 100, 100, 125, 150, 175, 200, 200, 200, 200}},
      // Falling values round half up as well: 255 − 127.5 = 127.5 gives 128.
      {"falling", Pattern("down", {Stop(0, 255, 0, 0), Stop(10000, 0, 0, 0)}), 3, {255, 128, 0}},
      // Two stops at 0.5: the position itself takes the later one.
      {"hard edge", Pattern("edge", {Stop(0, 0, 0, 0), Stop(5000, 100, 0, 0), Stop(5000, 200, 0, 0), Stop(10000, 0, 0, 0)}),
       5, {0, 50, 200, 100, 0}},
      {"hard edge at the start", Pattern("edge", {Stop(0, 10, 0, 0), Stop(0, 20, 0, 0), Stop(10000, 20, 0, 0)}), 2,
       {20, 20}},
      {"one stop", Pattern("solid", {Stop(6000, 77, 0, 0)}), 3, {77, 77, 77}},
  };
  for (const SampleCase& c : cases) EXPECT_EQ(Reds(c.gradient, c.count), c.reds) << c.name;
}

TEST(GradientSampling, EveryChannelAndAlphaFollowTheSameRule) {
  const Gradient gradient = Pattern("g", {Stop(0, 0, 10, 255, 255), Stop(10000, 255, 20, 0, 0)});
  EXPECT_EQ(SampleAt(gradient, 1, 2), (GradientColour{128, 15, 128, 128}));
  EXPECT_EQ(SampleAt(Pattern("none", {}), 0, 0), (GradientColour{0, 0, 0, 0}));
}

TEST(GradientSampling, ColourReferencesHoldRedInTheLowByteAndNoAlpha) {
  const Gradient gradient = Pattern("g", {Stop(0, 0x11, 0x22, 0x33, 0x44), Stop(10000, 0x55, 0x66, 0x77, 0x88)});
  uint32_t colours[2] = {};
  SampleColourRefs(gradient, 2, colours);
  EXPECT_EQ(colours[0], 0x332211u);
  EXPECT_EQ(colours[1], 0x776655u);
}

// ---- editing ----------------------------------------------------------------------------------

TEST(GradientEditing, AStopIsAddedHalfWayInTheColourShownThere) {
  Gradient gradient = DefaultGradient("g");
  EXPECT_EQ(AddStop(gradient, 0), 1);
  EXPECT_EQ(gradient.stops[1], Stop(5000, 128, 128, 128));
  // From the last stop: half way back toward the one before, where 128 meets 255: 191.5.
  EXPECT_EQ(AddStop(gradient, 2), 2);
  EXPECT_EQ(gradient.stops[2], Stop(7500, 192, 192, 192));
  Gradient single = Pattern("s", {Stop(4000, 9, 9, 9)});
  EXPECT_EQ(AddStop(single, 0), 1);
  EXPECT_EQ(single.stops, (std::vector<GradientStop>{Stop(4000, 9, 9, 9), Stop(4000, 9, 9, 9)}));
}

TEST(GradientEditing, StopsStayBetweenOneAndThirtyTwo) {
  Gradient gradient = DefaultGradient("g");
  while (gradient.stops.size() < kMaxStops) ASSERT_GE(AddStop(gradient, 0), 0);
  EXPECT_EQ(AddStop(gradient, 0), -1);
  Gradient other = DefaultGradient("g");
  EXPECT_EQ(AddStop(other, 2), -1);
  EXPECT_FALSE(DeleteStop(other, 2));
  EXPECT_TRUE(DeleteStop(other, 0));
  EXPECT_FALSE(DeleteStop(other, 0));
  EXPECT_EQ(other.stops, std::vector<GradientStop>{Stop(10000, 255, 255, 255)});
}

struct MoveCase {
  const char* name;
  int index;
  int32_t position;
  int newIndex;
  std::vector<int32_t> positions;
};

TEST(GradientEditing, AMovedStopKeepsTheStopsInOrder) {
  const MoveCase cases[] = {
      {"past the next", 0, 6000, 1, {5000, 6000, 10000}},
      {"to the front", 2, 0, 1, {0, 0, 5000}},  // behind the stop already at 0
      {"onto another goes after it", 0, 5000, 1, {5000, 5000, 10000}},
      {"held to one", 1, 20000, 2, {0, 10000, 10000}},
      {"held to zero", 1, -5, 1, {0, 0, 10000}},
      {"out of range", 3, 0, -1, {0, 5000, 10000}},
  };
  for (const MoveCase& c : cases) {
    Gradient gradient = Pattern("g", {Stop(0, 1, 0, 0), Stop(5000, 2, 0, 0), Stop(10000, 3, 0, 0)});
    EXPECT_EQ(MoveStop(gradient, c.index, c.position), c.newIndex) << c.name;
    std::vector<int32_t> positions;
    for (const GradientStop& s : gradient.stops) positions.push_back(s.position);
    EXPECT_EQ(positions, c.positions) << c.name;
  }
}

// ---- the C interface --------------------------------------------------------------------------

TEST(HueboxHeader, CompilesAsCWithTheLayoutCxxSees) {
  size_t count = 0;
  const HueboxLayoutEntry* entries = HueboxLayoutEntries(&count);
  const size_t expected[] = {sizeof(HueboxGradientStop),         offsetof(HueboxGradientStop, alpha),
                             sizeof(HueboxGradient),             offsetof(HueboxGradient, stopCount),
                             offsetof(HueboxGradient, stops),    sizeof(HueboxSurfaceState),
                             offsetof(HueboxSurfaceState, hue)};
  ASSERT_EQ(count, std::size(expected));
  for (size_t i = 0; i < count; ++i) EXPECT_EQ(entries[i].value, expected[i]) << entries[i].what;
}

}  // namespace
}  // namespace varnel::huebox
