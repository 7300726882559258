// Shape outlines: the shape definition file with its header and keyword rules, and the shape
// record with every clamp, in text, in a stream and inside a tool state record. Expected texts
// are spelt out from the file rules.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "document/file_io.h"
#include "tools/shape_file.h"
#include "document/tool_state.h"
#include "tests/document/test_files.h"

namespace varnel {
namespace {

using test::TempFolder;

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Table cases print as their names in failure messages.
template <class Case>
  requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

const std::string kHeader = "[VARNEL PRIMITIVE DEFINITION]\n[VERSION] 1.1\n";

ShapeDefinition Parse(const std::string& text) {
  ShapeDefinition definition;
  ParseShapeFile(text, definition);
  return definition;
}

// ---- shape definition file ------------------------------------------------------------------

TEST(ShapeFile, IsWrittenWithItsHeaderKeywordsAndOneVertexPerLine) {
  ShapeDefinition definition;
  definition.type = 3;
  definition.vertices = {{0, 0, 0, 0}, {1, 0.5, 0.25, 9}};
  EXPECT_EQ(FormatShapeFile(definition),
            "[VARNEL PRIMITIVE DEFINITION]\n"
            "[VERSION] 1.1\n"
            "[TYPE] 3\n"
            "[VERTEXCOUNT] 2\n"
            "[JOINMODE] BEVEL\n"
            "[VERTEXDATA]\n"
            "(0.000000,0.000000,0.000000)\n"
            "(1.000000,0.500000,0.250000)\n");
}

TEST(ShapeFile, AnEmptyShapeHasAZeroCountAndNoVertexLines) {
  ShapeDefinition definition;
  definition.type = -2;
  EXPECT_EQ(FormatShapeFile(definition),
            "[VARNEL PRIMITIVE DEFINITION]\n[VERSION] 1.1\n[TYPE] -2\n[VERTEXCOUNT] 0\n[JOINMODE] BEVEL\n[VERTEXDATA]\n");
}

TEST(ShapeFile, AVersionOfTwoReadsTheSameAsOnePointOne) {
  const std::string body = "[TYPE] 4\n[VERTEXCOUNT] 1\n[VERTEXDATA]\n(0.5,0.25,0.75)\n";
  const ShapeDefinition a = Parse(kHeader + body);
  const ShapeDefinition b = Parse("[VARNEL PRIMITIVE DEFINITION]\n[VERSION] 2.0\n" + body);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.type, 4);
  EXPECT_EQ(a.vertices, (std::vector<ShapeVertex>{{0.5, 0.25, 0.75, 0}}));
}

TEST(ShapeFile, ACountOfThreeBeforeTheDataKeywordYieldsThreeVerticesAndNoCountNone) {
  const std::string data = "[VERTEXDATA]\n(0.1,0.2,0.3)\n(0.4,0.5,0.6)\n(0.7,0.8,0.9)\n";
  const ShapeDefinition counted = Parse(kHeader + "[VERTEXCOUNT] 3\n" + data);
  EXPECT_EQ(counted.vertices,
            (std::vector<ShapeVertex>{{0.1, 0.2, 0.3, 0}, {0.4, 0.5, 0.6, 0}, {0.7, 0.8, 0.9, 0}}));
  EXPECT_TRUE(Parse(kHeader + data).vertices.empty());
  // The count only counts once it has been read: after the data it is too late.
  EXPECT_TRUE(Parse(kHeader + data + "[VERTEXCOUNT] 3\n").vertices.empty());
}

struct HeaderCase {
  const char* name;
  std::string text;
};

class ShapeFileHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ShapeFileHeader, ThatIsWrongRaisesAFormatErrorAndKeepsTheDefinition) {
  ShapeDefinition definition;
  definition.type = 7;
  definition.vertices = {{0.5, 0.5, 0.5, 0}};
  const ShapeDefinition before = definition;
  EXPECT_THROW(ParseShapeFile(GetParam().text, definition), ShapeFormatError);
  EXPECT_EQ(definition, before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ShapeFileHeader,
    ::testing::Values(HeaderCase{"Empty", ""}, HeaderCase{"OnlyTheFirstLine", "[VARNEL PRIMITIVE DEFINITION]\n"},
                      HeaderCase{"NoVersionLine", "[VARNEL PRIMITIVE DEFINITION]\n[TYPE] 1\n[VERSION] 1.1\n"},
                      HeaderCase{"LinesSwapped", "[VERSION] 1.1\n[VARNEL PRIMITIVE DEFINITION]\n"},
                      HeaderCase{"LowerCase", "[varnel primitive definition]\n[version] 1.1\n"},
                      HeaderCase{"LeadingSpace", " [VARNEL PRIMITIVE DEFINITION]\n[VERSION] 1.1\n"},
                      HeaderCase{"BlankFirstLine", "\n[VARNEL PRIMITIVE DEFINITION]\n[VERSION] 1.1\n"},
                      HeaderCase{"OtherFormat", "RGB.HEX\nff0000 , red\n"}),
    [](const auto& info) { return info.param.name; });

TEST(ShapeFile, HeaderLinesNeedOnlyBeginWithTheirKeywords) {
  const ShapeDefinition d = Parse("[VARNEL PRIMITIVE DEFINITION] extra\r\n[VERSION]\r\n[TYPE] 2\r\n");
  EXPECT_EQ(d.type, 2);
}

struct BodyCase {
  const char* name;
  std::string body;
  int32_t type;
  std::vector<ShapeVertex> vertices;
};

class ShapeFileBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(ShapeFileBody, IsReadByKeyword) {
  ShapeDefinition definition;
  definition.type = -1;
  definition.vertices = {{0.9, 0.9, 0.9, 0}};
  ParseShapeFile(kHeader + GetParam().body, definition);
  EXPECT_EQ(definition.type, GetParam().type);
  EXPECT_EQ(definition.vertices, GetParam().vertices);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ShapeFileBody,
    ::testing::Values(
        BodyCase{"NoTypeLineKeepsTheType", "", -1, {}},
        BodyCase{"TypeAfterTheBracket", "[TYPE]12\n", 12, {}},
        BodyCase{"TypeNotANumberKeepsIt", "[TYPE] x\n", -1, {}},
        BodyCase{"LastTypeWins", "[TYPE] 1\n[TYPE] 5\n", 5, {}},
        BodyCase{"KeywordsAreCaseSensitive", "[type] 3\n", -1, {}},
        BodyCase{"KeywordMustBeComplete", "[TYPEX] 3\n", -1, {}},
        BodyCase{"UnknownLinesSkipped", "# comment\n[COLOUR] red\n[TYPE] 6\n", 6, {}},
        BodyCase{"VersionAndJoinModeIgnored", "[VERSION] 9\n[JOINMODE] ROUND\n[TYPE] 1\n", 1, {}},
        BodyCase{"RepeatedHeaderIgnored", "[VARNEL PRIMITIVE DEFINITION]\n[TYPE] 1\n", 1, {}},
        BodyCase{"DataLinesAreNotKeywords", "[VERTEXCOUNT] 1\n[VERTEXDATA]\n[TYPE] 8\n", -1, {{0, 0, 0, 0}}},
        BodyCase{"CountLargerThanTheFile", "[VERTEXCOUNT] 2000000000\n[VERTEXDATA]\n(0.5,0.5,0.5)\n", -1,
                 {{0.5, 0.5, 0.5, 0}}},
        BodyCase{"NegativeCountReadsNothing", "[VERTEXCOUNT] -3\n[VERTEXDATA]\n(0.5,0.5,0.5)\n", -1, {}},
        BodyCase{"CountNotANumberKeepsTheLastOne",
                 "[VERTEXCOUNT] 1\n[VERTEXCOUNT] many\n[VERTEXDATA]\n(0.5,0.5,0.5)\n(0.1,0.1,0.1)\n", -1,
                 {{0.5, 0.5, 0.5, 0}}},
        BodyCase{"TwoDataSectionsAppend",
                 "[VERTEXCOUNT] 1\n[VERTEXDATA]\n(0.1,0.2,0.3)\n[VERTEXDATA]\n(0.4,0.5,0.6)\n", -1,
                 {{0.1, 0.2, 0.3, 0}, {0.4, 0.5, 0.6, 0}}},
        BodyCase{"OutOfRangeClamped", "[VERTEXCOUNT] 2\n[VERTEXDATA]\n(1.5,-0.2,2)\n(-1e300,1e300,0.5)\n", -1,
                 {{1, 0, 1, 0}, {0, 1, 0.5, 0}}},
        BodyCase{"NotANumberIsZero", "[VERTEXCOUNT] 1\n[VERTEXDATA]\n(nan,inf,-inf)\n", -1, {{0, 1, 0, 0}}},
        BodyCase{"MissingNumbersAreZero", "[VERTEXCOUNT] 3\n[VERTEXDATA]\n(0.5)\n0.5,0.5,0.5\n( 0.25 , 0.5,0.75)\n",
                 -1, {{0.5, 0, 0, 0}, {0, 0, 0, 0}, {0.25, 0, 0, 0}}},
        BodyCase{"SpacesAfterCommas", "[VERTEXCOUNT] 1\n[VERTEXDATA]\n(0.25, 0.5,  0.75)\n", -1,
                 {{0.25, 0.5, 0.75, 0}}},
        BodyCase{"CarriageReturns", "[VERTEXCOUNT] 1\r\n[VERTEXDATA]\r\n(0.25,0.5,0.75)\r\n", -1,
                 {{0.25, 0.5, 0.75, 0}}}),
    [](const auto& info) { return info.param.name; });

TEST(ShapeFile, RoundTripsThroughAFile) {
  TempFolder folder;
  ShapeDefinition definition;
  definition.type = 11;
  for (int i = 0; i < 300; ++i) {
    definition.vertices.push_back({i / 300.0, 1.0 - i / 300.0, (i % 7) / 8.0, 0});
  }
  const std::string path = folder.File("star.ptv");
  ASSERT_TRUE(WriteShapeFile(path, definition));
  ShapeDefinition read;
  ReadShapeFile(path, read);
  EXPECT_EQ(read.type, 11);
  ASSERT_EQ(read.vertices.size(), definition.vertices.size());
  for (size_t i = 0; i < read.vertices.size(); ++i) {
    EXPECT_NEAR(read.vertices[i].x, definition.vertices[i].x, 5e-7) << i;
    EXPECT_NEAR(read.vertices[i].y, definition.vertices[i].y, 5e-7) << i;
    EXPECT_NEAR(read.vertices[i].w, definition.vertices[i].w, 5e-7) << i;
    EXPECT_EQ(read.vertices[i].flag, 0);
  }
}

TEST(ShapeFile, AMissingFileRaisesAFileErrorAndABadOneAFormatError) {
  TempFolder folder;
  ShapeDefinition definition;
  EXPECT_THROW(ReadShapeFile(folder.File("none.ptv"), definition), FileError);
  WriteText(folder.File("bad.ptv"), "[SHAPE]\n");
  EXPECT_THROW(ReadShapeFile(folder.File("bad.ptv"), definition), ShapeFormatError);
}

TEST(ShapeFile, AFailedWriteReportsFailureAndLeavesNoFile) {
  TempFolder folder;
  ShapeDefinition definition;
  definition.vertices = {{0.5, 0.5, 0.5, 0}};
  EXPECT_FALSE(WriteShapeFile(folder.File("missing/x.ptv"), definition));
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(ShapeFile, TheProgramFoldersPtvFilesAreListedByName) {
  TempFolder folder;
  const char* old = std::getenv("VARNEL_HOME");
  const std::string saved = old ? old : "";
  setenv("VARNEL_HOME", folder.Path().c_str(), 1);
  std::filesystem::create_directories(folder.Path() / "Ptv");
  for (const char* name : {"star.ptv", "Arrow.PTV", "readme.txt"}) WriteText(folder.File(std::string("Ptv/") + name), "");
  const std::string base = folder.Path().string() + "/Ptv/";
  EXPECT_EQ(ShapeFolder(), folder.Path().string() + "/Ptv");
  EXPECT_EQ(ListShapeFiles(), (std::vector<std::string>{base + "Arrow.PTV", base + "star.ptv"}));
  if (old) {
    setenv("VARNEL_HOME", saved.c_str(), 1);
  } else {
    unsetenv("VARNEL_HOME");
  }
}

// ---- shape record ---------------------------------------------------------------------------

ShapeRecord SampleRecord() {
  ShapeRecord r;
  r.left = -5;
  r.top = 7;
  r.width = 100;
  r.height = 50;
  r.joinMode = 1;
  r.round = 35;
  r.theta = 45.5;
  r.vertices = {{0.25, 0.5, 1, 0}, {0, 1, 0.125, 0}};
  return r;
}

const std::string kSampleText =
    "ver.1\n"
    "TOPLEFT.-5,7\n"
    "SIZE.100,50\n"
    "JOINMODE.1\n"
    "ROUND.35\n"
    "THETA.45.500000\n"
    "BEGINDATA.2\n"
    "0.250000 0.500000 1.000000 0\n"
    "0.000000 1.000000 0.125000 0\n"
    "ENDDATA.0\n";

// A record text with the given lines in place of the defaults.
std::string RecordText(const std::string& size = "SIZE.10,20", const std::string& round = "ROUND.30",
                       const std::string& theta = "THETA.0.000000", const std::string& data = "BEGINDATA.0\n") {
  return "ver.1\nTOPLEFT.1,2\n" + size + "\nJOINMODE.0\n" + round + "\n" + theta + "\n" + data + "ENDDATA.0\n";
}

TEST(ShapeRecordText, IsWrittenLineByLine) { EXPECT_EQ(FormatShapeRecord(SampleRecord()), kSampleText); }

TEST(ShapeRecordText, ReadsBackWhatWasWrittenAndIsMarkedAsAShape) {
  ShapeRecord read;
  size_t consumed = 0;
  ASSERT_TRUE(ParseShapeRecord("Shape.Draw", kSampleText + "more", read, &consumed));
  ShapeRecord expected = SampleRecord();
  expected.hasShape = true;
  EXPECT_EQ(read, expected);
  EXPECT_EQ(consumed, kSampleText.size());
}

struct ClampCase {
  const char* name;
  std::string line;
  int32_t width;
  int32_t height;
};

class ShapeRecordSize : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ShapeRecordSize, IsClampedToZeroThrough65536) {
  ShapeRecord r;
  ASSERT_TRUE(ParseShapeRecord("Shape.Fill", RecordText(GetParam().line), r));
  EXPECT_EQ(r.width, GetParam().width);
  EXPECT_EQ(r.height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(Records, ShapeRecordSize,
                         ::testing::Values(ClampCase{"InRange", "SIZE.640,480", 640, 480},
                                           ClampCase{"Negative", "SIZE.-3,-65537", 0, 0},
                                           ClampCase{"Edges", "SIZE.0,65536", 0, 65536},
                                           ClampCase{"Above", "SIZE.65537,99999999999", 65536, 65536},
                                           ClampCase{"OnlyWidth", "SIZE.7", 7, 0},
                                           ClampCase{"SpaceBeforeComma", "SIZE.7 ,8", 7, 0},
                                           ClampCase{"NotANumber", "SIZE.x,y", 0, 0}),
                         [](const auto& info) { return info.param.name; });

struct RoundCase {
  const char* name;
  std::string line;
  int32_t round;
};

class ShapeRecordRound : public ::testing::TestWithParam<RoundCase> {};

TEST_P(ShapeRecordRound, NegativeBecomesTwentyAndAboveNinetyBecomesNinety) {
  ShapeRecord r;
  ASSERT_TRUE(ParseShapeRecord("Shape.Draw", RecordText("SIZE.1,1", GetParam().line), r));
  EXPECT_EQ(r.round, GetParam().round);
}

INSTANTIATE_TEST_SUITE_P(Records, ShapeRecordRound,
                         ::testing::Values(RoundCase{"MinusFive", "ROUND.-5", 20}, RoundCase{"OneHundredTwenty", "ROUND.120", 90},
                                           RoundCase{"Ninety", "ROUND.90", 90}, RoundCase{"Zero", "ROUND.0", 0},
                                           RoundCase{"MinusOne", "ROUND.-1", 20}, RoundCase{"NinetyOne", "ROUND.91", 90},
                                           RoundCase{"Huge", "ROUND.4294967296", 90},
                                           RoundCase{"NotANumberKeepsTheDefault", "ROUND.", 20}),
                         [](const auto& info) { return info.param.name; });

struct VertexCase {
  const char* name;
  std::string line;
  ShapeVertex vertex;
};

class ShapeRecordVertex : public ::testing::TestWithParam<VertexCase> {};

TEST_P(ShapeRecordVertex, IsClampedToTheUnitRangeWithTheFlagZero) {
  ShapeRecord r;
  ASSERT_TRUE(ParseShapeRecord("Shape.Draw", RecordText("SIZE.1,1", "ROUND.1", "THETA.0", "BEGINDATA.1\n" + GetParam().line + "\n"), r));
  ASSERT_EQ(r.vertices.size(), 1u);
  EXPECT_EQ(r.vertices[0], GetParam().vertex);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ShapeRecordVertex,
    ::testing::Values(VertexCase{"AsInTheRules", "1.5 -0.2 0.5 7", {1, 0, 0.5, 0}},
                      VertexCase{"InRange", "0.25 0.75 0.125 0", {0.25, 0.75, 0.125, 0}},
                      VertexCase{"Edges", "0 1 1 -3", {0, 1, 1, 0}},
                      VertexCase{"NotANumber", "nan -nan 0.5 1", {0, 0, 0.5, 0}},
                      VertexCase{"Infinities", "inf -inf 1e999 0", {1, 0, 1, 0}},
                      VertexCase{"MissingNumbers", "0.5", {0.5, 0, 0, 0}},
                      VertexCase{"Tabs", "\t0.5\t0.25\t0.75\t2", {0.5, 0.25, 0.75, 0}},
                      VertexCase{"Nothing", "", {0, 0, 0, 0}}),
    [](const auto& info) { return info.param.name; });

TEST(ShapeRecordText, TheVertexCountIsCappedAt65536) {
  std::string data = "BEGINDATA.70000\n";
  for (int i = 0; i < 65537; ++i) data += "0.5 0.5 0.5 0\n";
  ShapeRecord r;
  size_t consumed = 0;
  const std::string text = RecordText("SIZE.1,1", "ROUND.1", "THETA.0", data);
  ASSERT_TRUE(ParseShapeRecord("Shape.Draw", text, r, &consumed));
  EXPECT_EQ(r.vertices.size(), 65536u);
  // The line after the 65536th vertex is taken as the end line, whatever it says.
  EXPECT_EQ(text.substr(consumed), "ENDDATA.0\n");
}

TEST(ShapeRecordText, FewerVertexLinesThanCountedEndWithTheText) {
  ShapeRecord r;
  ASSERT_TRUE(ParseShapeRecord("Shape.Draw", "ver.1\nTOPLEFT.1,2\nSIZE.3,4\nJOINMODE.5\nROUND.6\nTHETA.7\nBEGINDATA.1000\n0.5 0.5 0.5 0\n", r));
  EXPECT_EQ(r.vertices, (std::vector<ShapeVertex>{{0.5, 0.5, 0.5, 0}}));
  EXPECT_TRUE(r.hasShape);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.width, 3);
  EXPECT_EQ(r.height, 4);
  EXPECT_EQ(r.joinMode, 5);
  EXPECT_EQ(r.round, 6);
  EXPECT_EQ(r.theta, 7.0);
}

TEST(ShapeRecordText, ValuesFollowTheLabelsLengthWhateverItSays) {
  ShapeRecord r;
  ASSERT_TRUE(ParseShapeRecord("Shape.X", "ver.1\nABCDEFGH-9,8\nXXXXX1,2\nZZZZZZZZZ3\nRRRRRR4\nTTTTTT0.5\nBBBBBBBBBB0\nE\n", r));
  EXPECT_EQ(r.left, -9);
  EXPECT_EQ(r.top, 8);
  EXPECT_EQ(r.width, 1);
  EXPECT_EQ(r.height, 2);
  EXPECT_EQ(r.joinMode, 3);
  EXPECT_EQ(r.round, 4);
  EXPECT_EQ(r.theta, 0.5);
}

TEST(ShapeRecordText, LinesWhoseNumbersDoNotScanKeepTheFieldsTheyHad) {
  ShapeRecord r = SampleRecord();
  ASSERT_TRUE(ParseShapeRecord("Shape.Draw", "ver.1\nTOPLEFT.\nSIZE.\nJOINMODE.\nROUND.\nTHETA.\nBEGINDATA.\nENDDATA.0\n", r));
  EXPECT_EQ(r.left, -5);
  EXPECT_EQ(r.top, 7);
  EXPECT_EQ(r.width, 100);
  EXPECT_EQ(r.height, 50);
  EXPECT_EQ(r.joinMode, 1);
  EXPECT_EQ(r.round, 35);
  EXPECT_EQ(r.theta, 45.5);
  EXPECT_TRUE(r.vertices.empty());  // a count that does not scan is none
}

TEST(ShapeRecordText, AnAngleThatIsNotFiniteReadsAsZero) {
  for (const char* theta : {"THETA.nan", "THETA.inf", "THETA.-infinity", "THETA.1e999"}) {
    ShapeRecord r;
    r.theta = 3;
    ASSERT_TRUE(ParseShapeRecord("Shape.Draw", RecordText("SIZE.1,1", "ROUND.1", theta), r)) << theta;
    EXPECT_EQ(r.theta, 0.0) << theta;
  }
  ShapeRecord r;
  ASSERT_TRUE(ParseShapeRecord("Shape.Draw", RecordText("SIZE.1,1", "ROUND.1", "THETA.-720.25"), r));
  EXPECT_EQ(r.theta, -720.25);
}

struct RejectCase {
  const char* name;
  std::string key;
  std::string text;
};

class ShapeRecordRejection : public ::testing::TestWithParam<RejectCase> {};

TEST_P(ShapeRecordRejection, LeavesTheRecordUnchanged) {
  ShapeRecord r = SampleRecord();
  const ShapeRecord before = r;
  EXPECT_FALSE(ParseShapeRecord(GetParam().key, GetParam().text, r));
  EXPECT_EQ(r, before);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ShapeRecordRejection,
    ::testing::Values(RejectCase{"KeyOfAnotherTool", "Brush.Draw", kSampleText},
                      RejectCase{"KeyInLowerCase", "shape.Draw", kSampleText},
                      RejectCase{"EmptyKey", "", kSampleText},
                      RejectCase{"OtherVersion", "Shape.Draw", "ver.2\n" + kSampleText.substr(6)},
                      RejectCase{"VersionWithSpace", "Shape.Draw", "ver.1 \n" + kSampleText.substr(6)},
                      RejectCase{"EmptyText", "Shape.Draw", ""},
                      RejectCase{"EndsBeforeTheCount", "Shape.Draw", "ver.1\nTOPLEFT.1,2\nSIZE.3,4\nJOINMODE.5\nROUND.6\nTHETA.7\n"},
                      RejectCase{"NegativeCount", "Shape.Draw", RecordText("SIZE.1,1", "ROUND.1", "THETA.0", "BEGINDATA.-1\n")}),
    [](const auto& info) { return info.param.name; });

TEST(ShapeRecordStream, IsWrittenAndReadAtTheStreamsPositionLeavingWhatFollows) {
  MemoryToolStateStream stream;
  const std::string before = "Varnel.Embedded.Shape.Draw\n";
  ASSERT_TRUE(stream.Write(before.data(), before.size()));
  ASSERT_TRUE(WriteShapeRecord(stream, SampleRecord()));
  const std::string after(10000, 'z');  // longer than the pieces the reader takes
  ASSERT_TRUE(stream.Write(after.data(), after.size()));
  EXPECT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().end()), before + kSampleText + after);

  ASSERT_TRUE(stream.Seek(0));
  std::string key;
  ASSERT_TRUE(ReadToolStateFileLine(stream, key));
  EXPECT_EQ(key, "Shape.Draw");
  ShapeRecord read;
  ASSERT_TRUE(ReadShapeRecord(stream, key, read));
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(before.size() + kSampleText.size()));
  ShapeRecord expected = SampleRecord();
  expected.hasShape = true;
  EXPECT_EQ(read, expected);
}

TEST(ShapeRecordStream, ALongRecordIsReadWholeAndStopsAtItsEnd) {
  ShapeRecord record = SampleRecord();
  record.vertices.clear();
  for (int i = 0; i < 1000; ++i) record.vertices.push_back({i / 1000.0, 0.5, 1.0 - i / 1000.0, 0});
  MemoryToolStateStream stream;
  ASSERT_TRUE(WriteShapeRecord(stream, record));
  const int64_t end = stream.Position();
  ASSERT_TRUE(WriteShapeRecord(stream, SampleRecord()));
  ASSERT_TRUE(stream.Seek(0));
  ShapeRecord first, second;
  ASSERT_TRUE(ReadShapeRecord(stream, "Shape.Draw", first));
  EXPECT_EQ(stream.Position(), end);
  ASSERT_EQ(first.vertices.size(), 1000u);
  EXPECT_EQ(first.vertices[999], (ShapeVertex{0.999, 0.5, 0.001, 0}));
  ASSERT_TRUE(ReadShapeRecord(stream, "Shape.Draw", second));
  EXPECT_EQ(second.vertices, SampleRecord().vertices);
  EXPECT_EQ(stream.Position(), stream.Length());
}

TEST(ShapeRecordStream, ARejectedRecordLeavesTheRecordUnchanged) {
  MemoryToolStateStream stream;
  ASSERT_TRUE(WriteShapeRecord(stream, SampleRecord()));
  ASSERT_TRUE(stream.Seek(0));
  ShapeRecord r;
  EXPECT_FALSE(ReadShapeRecord(stream, "Text.Draw", r));
  EXPECT_EQ(r, ShapeRecord{});
}

TEST(ShapeRecordStream, CarriageReturnLineFeedsAreAccepted) {
  std::string text = kSampleText;
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) text.insert(at, "\r");
  MemoryToolStateStream stream(text.data(), text.size());
  ShapeRecord r;
  ASSERT_TRUE(ReadShapeRecord(stream, "Shape.Draw", r));
  EXPECT_EQ(r.vertices, SampleRecord().vertices);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(text.size()));
}

// A tool that keeps its shape as a text entry of its tool state record.
class ShapeTool : public ToolStateObject {
 public:
  ShapeRecord record;
  bool loaded = false;
  std::string ToolClassName() const override { return "CShapeTool"; }
  void SaveState(ToolStateWriter& writer) override {
    writer.WriteInt("Other", 4);
    WriteShapeRecord(writer, kShapeFillKey, record);
  }
  int32_t LoadState(ToolStateReader& reader, bool) override {
    loaded = ReadShapeRecord(reader, kShapeFillKey, record);
    return 0;
  }
};

TEST(ShapeRecordEntry, RoundTripsInsideAToolStateRecord) {
  ShapeTool writer;
  writer.record = SampleRecord();
  MemoryToolStateStream stream;
  ASSERT_EQ(WriteToolState(stream, writer), 0);
  ASSERT_TRUE(stream.Seek(0));
  ShapeTool reader;
  ASSERT_EQ(ReadToolState(stream, reader, false), 0);
  EXPECT_TRUE(reader.loaded);
  ShapeRecord expected = SampleRecord();
  expected.hasShape = true;
  EXPECT_EQ(reader.record, expected);
}

TEST(ShapeRecordEntry, AMissingEntryReadsNothing) {
  MemoryToolStateStream stream;
  class Empty : public ToolStateObject {
   public:
    std::string ToolClassName() const override { return "CShapeTool"; }
    void SaveState(ToolStateWriter& writer) override { writer.WriteInt("Other", 1); }
    int32_t LoadState(ToolStateReader&, bool) override { return 0; }
  } empty;
  ASSERT_EQ(WriteToolState(stream, empty), 0);
  ASSERT_TRUE(stream.Seek(0));
  ShapeTool reader;
  reader.record.round = 33;
  ASSERT_EQ(ReadToolState(stream, reader, false), 0);
  EXPECT_FALSE(reader.loaded);
  EXPECT_EQ(reader.record.round, 33);
  EXPECT_FALSE(reader.record.hasShape);
}

}  // namespace
}  // namespace varnel
