// The colour tools' files: colour definition files (palettes), the named colour list and the
// colour-correction curve file, with the palette files of the program folder. Expected bytes are
// spelt out from the file rules.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "colour/colour_curve_file.h"
#include "colour/colour_file.h"
#include "document/text_file.h"
#include "tests/document/test_files.h"

namespace varnel {
namespace {

std::vector<ColourRef> Refs(const std::vector<uint32_t>& values) {
  std::vector<ColourRef> colours;
  for (uint32_t value : values) colours.push_back(ColourRef{value});
  return colours;
}

using test::TempFolder;

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Table cases print as their names in failure messages.
template <class Case>
  requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

// Points the program folder at a temporary folder for one test.
class ProgramFolderScope {
 public:
  explicit ProgramFolderScope(const std::string& folder) {
    if (const char* old = std::getenv("VARNEL_HOME")) m_old = old, m_had = true;
    setenv("VARNEL_HOME", folder.c_str(), 1);
  }
  ~ProgramFolderScope() {
    if (m_had) {
      setenv("VARNEL_HOME", m_old.c_str(), 1);
    } else {
      unsetenv("VARNEL_HOME");
    }
  }

 private:
  std::string m_old;
  bool m_had = false;
};

// ---- colour order ---------------------------------------------------------------------------

TEST(ColourOrder, WebOrderAndTheProgramsOrderExchangeTheLowestAndTheThirdByte) {
  EXPECT_EQ(ToColourRef(RgbColour{0x123456u}), ColourRef{0x563412u});
  EXPECT_EQ(ToRgb(ColourRef{0x563412u}), RgbColour{0x123456u});
  EXPECT_EQ(ToColourRef(RgbColour{0xFF0000u}), ColourRef{0x0000FFu});  // red
  // A fourth byte is no part of a colour.
  EXPECT_EQ(ToColourRef(RgbColour{0xAB123456u}), ColourRef{0x563412u});
  EXPECT_EQ(MakeColour(1, 2, 3), ColourRef{0x030201u});
  EXPECT_EQ(MakeColour(256, -1, 511), ColourRef{0xFFFF00u});
}

// ---- colour definition file -----------------------------------------------------------------

struct ParseCase {
  const char* name;
  std::string text;
  std::vector<uint32_t> colours;
};

class ColourDefinitionParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ColourDefinitionParsing, YieldsOneColourPerLineBuiltFromItsLowBytes) {
  EXPECT_EQ(ParseColourDefinitions(GetParam().text), Refs(GetParam().colours));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ColourDefinitionParsing,
    ::testing::Values(
        ParseCase{"EmptyFileIsAnEmptyPalette", "", {}},
        ParseCase{"RedGreenBlue", "255 0 0\n0 255 0\n0 0 255\n", {0x0000FF, 0x00FF00, 0xFF0000}},
        ParseCase{"MixedComponents", "0 128 255\n", {0xFF8000}},
        ParseCase{"LastLineWithoutLineFeed", "1 2 3\n4 5 6", {0x030201, 0x060504}},
        ParseCase{"CarriageReturnLineFeed", "1 2 3\r\n4 5 6\r\n", {0x030201, 0x060504}},
        ParseCase{"AnyWhiteSpaceBetween", "  7\t8   9  trailing words\n", {0x090807}},
        ParseCase{"ComponentsTakeTheirLowByte", "256 -1 511\n", {0xFFFF00}},
        ParseCase{"HugeNumbersSaturateBeforeTheLowByte", "99999999999999999999999 0 0\n", {0x0000FF}},
        ParseCase{"MissingComponentsAreZero", "12 34\n", {0x00220C}},
        ParseCase{"CommasEndTheScanAfterRed", "1,2,3\n", {0x000001}},
        ParseCase{"BlankLineIsStillALine", "1 1 1\n\n2 2 2\n", {0x010101, 0x000000, 0x020202}},
        ParseCase{"LineEndsAtNul", std::string("1 2\0 3\n", 7), {0x000201}},
        ParseCase{"SignedComponents", "+5 -0 +255\n", {0xFF0005}}),
    [](const auto& info) { return info.param.name; });

TEST(ColourDefinitionFile, IsWrittenAsRedGreenBlueDecimalsPerLine) {
  const std::vector<ColourRef> colours = Refs({0x00FF8000, 0x00000000, 0x7F010203});
  EXPECT_EQ(FormatColourDefinitions(colours), "0 128 255\n0 0 0\n3 2 1\n");
  EXPECT_EQ(FormatColourDefinitions({}), "");
}

TEST(ColourDefinitionFile, RoundTripsAPaletteLargerThanTheFirstReservation) {
  TempFolder folder;
  std::vector<ColourRef> palette;
  for (uint32_t i = 0; i < 1000; ++i) palette.push_back(ColourRef{(i * 2654435761u) & 0xFFFFFF});
  const std::string path = folder.File("big.cd");
  ASSERT_TRUE(WriteColourDefinitionFile(path, palette));
  std::vector<ColourRef> read;
  ASSERT_TRUE(ReadColourDefinitionFile(path, read));
  EXPECT_EQ(read, palette);
}

TEST(ColourDefinitionFile, AnEmptyFileReadsAsAnEmptyPalette) {
  TempFolder folder;
  WriteText(folder.File("empty.cd"), "");
  std::vector<ColourRef> read = Refs({1, 2, 3});
  ASSERT_TRUE(ReadColourDefinitionFile(folder.File("empty.cd"), read));
  EXPECT_TRUE(read.empty());
}

TEST(ColourDefinitionFile, AMissingFileFailsAndKeepsThePalette) {
  TempFolder folder;
  std::vector<ColourRef> read = Refs({1, 2, 3});
  errno = 0;
  EXPECT_FALSE(ReadColourDefinitionFile(folder.File("none.cd"), read));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(read, Refs({1, 2, 3}));
  EXPECT_FALSE(ReadColourDefinitionFile(folder.Path().string(), read));  // a folder
  EXPECT_EQ(read, Refs({1, 2, 3}));
}

TEST(ColourDefinitionFile, AWriteIntoAMissingFolderFailsAndLeavesNothing) {
  TempFolder folder;
  const std::vector<ColourRef> colours = Refs({1});
  EXPECT_FALSE(WriteColourDefinitionFile(folder.File("no/such/x.cd"), colours));
  EXPECT_FALSE(std::filesystem::exists(folder.File("no")));
}

TEST(ColourDefinitionFile, RewritingReplacesTheWholeFileAndLeavesNoTemporaryBehind) {
  TempFolder folder;
  const std::string path = folder.File("p.cd");
  WriteText(path, "9 9 9\n8 8 8\n7 7 7\n");
  const std::vector<ColourRef> colours = Refs({0x030201});
  ASSERT_TRUE(WriteColourDefinitionFile(path, colours));
  EXPECT_EQ(ReadText(path), "1 2 3\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

// ---- the program's palette files ------------------------------------------------------------

TEST(PaletteFiles, LiveInTheProgramFolder) {
  TempFolder folder;
  ProgramFolderScope home(folder.Path().string());
  const std::string base = folder.Path().string();
  EXPECT_EQ(DefaultPalettePath(), base + "/PAL.CD");
  EXPECT_EQ(ColourHistoryPath(), base + "/res/hist.cd");
  EXPECT_EQ(NamedColourListPath(), base + "/res/html.ncl");
  EXPECT_EQ(PaletteMenuFolder(), base + "/res/PaletteMenu");
}

TEST(PaletteFiles, TheMenuListsEveryCdFileOfItsFolderByNameInAnyCase) {
  TempFolder folder;
  ProgramFolderScope home(folder.Path().string());
  const std::filesystem::path menu = folder.Path() / "res" / "PaletteMenu";
  std::filesystem::create_directories(menu / "folder.cd");
  for (const char* name : {"b.cd", "A.CD", "c.Cd", "notes.txt", "cd", ".cd", "x.cdx"}) {
    WriteText((menu / name).string(), "1 2 3\n");
  }
  const std::string base = menu.string() + "/";
  EXPECT_EQ(ListPaletteMenuFiles(), (std::vector<std::string>{base + "A.CD", base + "b.cd", base + "c.Cd"}));
}

// The shipped folder and the user's data folder, listed together: file name -> folder index.
TEST(PaletteFiles, SeveralFoldersListEachNameOnceFromTheLastFolderThatHasIt) {
  TempFolder folder;
  const std::string shipped = folder.File("shipped");
  const std::string user = folder.File("user");
  std::filesystem::create_directories(shipped);
  std::filesystem::create_directories(user);
  for (const char* name : {"a.cd", "grey.cd", "Skin.CD", "notes.txt"}) WriteText(shipped + "/" + name, "1 2 3\n");
  for (const char* name : {"grey.cd", "mine.cd", "skin.cd"}) WriteText(user + "/" + name, "4 5 6\n");
  const struct {
    const char* name;
    std::vector<std::string> folders;
    std::vector<std::string> expected;
  } cases[] = {
      {"shipped then user", {shipped, user},
       {shipped + "/Skin.CD", shipped + "/a.cd", user + "/grey.cd", user + "/mine.cd", user + "/skin.cd"}},
      {"user then shipped", {user, shipped},
       {shipped + "/Skin.CD", shipped + "/a.cd", shipped + "/grey.cd", user + "/mine.cd", user + "/skin.cd"}},
      {"a missing folder adds nothing", {shipped, folder.File("missing")},
       {shipped + "/Skin.CD", shipped + "/a.cd", shipped + "/grey.cd"}},
      {"no folder", {}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ListFilesWithExtension(c.folders, ".cd"), c.expected) << c.name;
}

TEST(PaletteFiles, AMissingMenuFolderListsNothing) {
  TempFolder folder;
  ProgramFolderScope home(folder.Path().string());
  EXPECT_TRUE(ListPaletteMenuFiles().empty());
}

TEST(PaletteFiles, HistoryAndDefaultPaletteRoundTripThroughTheirPaths) {
  TempFolder folder;
  ProgramFolderScope home(folder.Path().string());
  std::filesystem::create_directories(folder.Path() / "res");
  const std::vector<ColourRef> history = Refs({0x0000FF, 0x123456});
  ASSERT_TRUE(WriteColourDefinitionFile(ColourHistoryPath(), history));
  EXPECT_EQ(ReadText(folder.File("res/hist.cd")), "255 0 0\n86 52 18\n");
  std::vector<ColourRef> read;
  ASSERT_TRUE(ReadColourDefinitionFile(ColourHistoryPath(), read));
  EXPECT_EQ(read, Refs({0x0000FF, 0x123456}));
}

// The palette and colour list the program ships, as they stand in the source tree.
TEST(ShippedColourFiles, ThePaletteHoldsOnlyWellFormedColours) {
  const std::string text = ReadText(std::string(VARNEL_SOURCE_DIR) + "/data/PAL.CD");
  const std::vector<ColourRef> colours = ParseColourDefinitions(text);
  ASSERT_GE(colours.size(), 16u);
  // Written exactly as the writer would write them: the file is its own canonical form.
  EXPECT_EQ(FormatColourDefinitions(colours), text);
}

TEST(ShippedColourFiles, TheColourListHasItsHeaderAndNamedEntriesInCanonicalForm) {
  const std::string text = ReadText(std::string(VARNEL_SOURCE_DIR) + "/data/res/html.ncl");
  std::vector<NamedColour> list;
  ASSERT_EQ(ParseNamedColourList(text, list), NamedColourListResult::kRead);
  ASSERT_GE(list.size(), 100u);
  for (const NamedColour& entry : list) EXPECT_FALSE(entry.name.empty());
  EXPECT_EQ(FormatNamedColourList(list), text);
}

// ---- named colour list ----------------------------------------------------------------------

struct HeaderCase {
  const char* name;
  std::string text;
  bool accepted;
};

class NamedColourListHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(NamedColourListHeader, IsRgbHexInAnyCaseOrTheFileAddsNothing) {
  std::vector<NamedColour> list = {{ColourRef{0x010203}, "keep"}};
  const NamedColourListResult result = ParseNamedColourList(GetParam().text, list);
  if (GetParam().accepted) {
    EXPECT_EQ(result, NamedColourListResult::kRead);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], (NamedColour{ColourRef{0x0000FF}, "red"}));
  } else {
    EXPECT_EQ(result, NamedColourListResult::kNotAList);
    EXPECT_EQ(list, (std::vector<NamedColour>{{ColourRef{0x010203}, "keep"}}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    FirstLine, NamedColourListHeader,
    ::testing::Values(HeaderCase{"UpperCase", "RGB.HEX\nff0000 , red\n", true},
                      HeaderCase{"LowerCase", "rgb.hex\nff0000 , red\n", true},
                      HeaderCase{"MixedCaseWithCarriageReturn", "Rgb.Hex\r\nff0000 , red\r\n", true},
                      HeaderCase{"OtherWord", "RGB HEX\nff0000 , red\n", false},
                      HeaderCase{"LeadingSpace", " RGB.HEX\nff0000 , red\n", false},
                      HeaderCase{"TrailingText", "RGB.HEX2\nff0000 , red\n", false},
                      HeaderCase{"EntryFirst", "ff0000 , red\n", false},
                      HeaderCase{"Empty", "", false}),
    [](const auto& info) { return info.param.name; });

struct EntryCase {
  const char* name;
  std::string line;
  bool added;
  NamedColour entry;
};

class NamedColourListEntry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(NamedColourListEntry, SplitsAtTheFirstCommaScansHexAndTrimsTheName) {
  std::vector<NamedColour> list;
  ASSERT_EQ(ParseNamedColourList("RGB.HEX\n" + GetParam().line + "\n", list), NamedColourListResult::kRead);
  if (!GetParam().added) {
    EXPECT_TRUE(list.empty());
    return;
  }
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NamedColourListEntry,
    ::testing::Values(
        EntryCase{"AsWritten", "f0f8ff , aliceblue", true, {ColourRef{0xFFF8F0}, "aliceblue"}},
        EntryCase{"NoSpaces", "00ff00,lime", true, {ColourRef{0x00FF00}, "lime"}},
        EntryCase{"UpperCaseDigits", "0000FF , Blue", true, {ColourRef{0xFF0000}, "Blue"}},
        EntryCase{"SecondCommaEndsTheName", "123456 , first , second", true, {ColourRef{0x563412}, "first"}},
        EntryCase{"NameTrimmedOnBothSides", "  a0b0c0 ,\t  light grey  \t", true, {ColourRef{0xC0B0A0}, "light grey"}},
        EntryCase{"HexPrefix", "0x123456 , prefixed", true, {ColourRef{0x563412}, "prefixed"}},
        EntryCase{"ShortNumber", "ff , low", true, {ColourRef{0xFF0000}, "low"}},
        EntryCase{"FourthByteDropped", "ab123456 , wide", true, {ColourRef{0x563412}, "wide"}},
        EntryCase{"TooLongSaturates", "1ff123456 , huge", true, {ColourRef{0xFFFFFF}, "huge"}},
        EntryCase{"NoNumberIsBlack", "zz , nothing", true, {ColourRef{0x000000}, "nothing"}},
        EntryCase{"EmptyNumber", ", unnamed colour", true, {ColourRef{0x000000}, "unnamed colour"}},
        EntryCase{"EmptyName", "ff0000 ,", true, {ColourRef{0x0000FF}, ""}},
        EntryCase{"CodePage932Name", "ff0000 , \x90\xd4", true, {ColourRef{0x0000FF}, "赤"}},
        EntryCase{"NoCommaSkipped", "ff0000 red", false, {}},
        EntryCase{"EmptyLineSkipped", "", false, {}}),
    [](const auto& info) { return info.param.name; });

TEST(NamedColourList, AppendsToTheListInFileOrder) {
  std::vector<NamedColour> list = {{ColourRef{1}, "old"}};
  ASSERT_EQ(ParseNamedColourList("RGB.HEX\n000001 , a\nno comma\n000002 , b", list), NamedColourListResult::kRead);
  EXPECT_EQ(list, (std::vector<NamedColour>{{ColourRef{1}, "old"}, {ColourRef{0x010000}, "a"}, {ColourRef{0x020000}, "b"}}));
}

TEST(NamedColourList, IsWrittenWithItsHeaderAndSixLowerCaseDigitsInWebOrder) {
  const std::vector<NamedColour> list = {{ColourRef{0x0000FF}, "red"}, {ColourRef{0x010000}, "nearly black"}, {ColourRef{0xABCDEF}, "赤"}};
  EXPECT_EQ(FormatNamedColourList(list),
            "RGB.HEX\nff0000 , red\n000001 , nearly black\nefcdab , \x90\xd4\n");
  EXPECT_EQ(FormatNamedColourList({}), "RGB.HEX\n");
}

struct NameCase {
  const char* name;
  std::string given;
  std::string kept;
};

class ColourListNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ColourListNames, AreWrittenSoThatTheyReadBackUnchanged) {
  EXPECT_EQ(NameForColourList(GetParam().given), GetParam().kept);
  const std::vector<NamedColour> list = {{ColourRef{0x123456}, GetParam().given}};
  std::vector<NamedColour> read;
  ASSERT_EQ(ParseNamedColourList(FormatNamedColourList(list), read), NamedColourListResult::kRead);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].name, GetParam().kept);
  EXPECT_EQ(read[0].colour, ColourRef{0x123456u});
}

INSTANTIATE_TEST_SUITE_P(
    Names, ColourListNames,
    ::testing::Values(NameCase{"Plain", "sky blue", "sky blue"},
                      NameCase{"Japanese", "空色", "空色"},
                      NameCase{"CommaBecomesFullWidth", "red, dark", "red， dark"},
                      NameCase{"LineBreaksBecomeSpaces", "two\nlines\r\nhere", "two lines  here"},
                      NameCase{"OuterSpaceTrimmed", "  padded\t", "padded"},
                      NameCase{"NulBecomesSpace", std::string("a\0b", 3), "a b"}),
    [](const auto& info) { return info.param.name; });

TEST(NamedColourList, RoundTripsThroughAFile) {
  TempFolder folder;
  const std::string path = folder.File("html.ncl");
  const std::vector<NamedColour> list = {{ColourRef{0x00A5FF}, "orange"}, {ColourRef{0x808080}, "灰色"}, {ColourRef{0xFFFFFF}, "white"}};
  ASSERT_TRUE(WriteNamedColourList(path, list));
  std::vector<NamedColour> read;
  ASSERT_EQ(ReadNamedColourList(path, read), NamedColourListResult::kRead);
  EXPECT_EQ(read, list);
}

TEST(NamedColourList, AMissingFileCannotBeOpenedAndAddsNothing) {
  TempFolder folder;
  std::vector<NamedColour> list;
  EXPECT_EQ(ReadNamedColourList(folder.File("none.ncl"), list), NamedColourListResult::kCannotOpen);
  EXPECT_TRUE(list.empty());
}

// ---- colour-correction curve file -----------------------------------------------------------

TEST(ColourCurveFile, ReadsChannelTypeAndPointsSortedByX) {
  ColourCurve curve;
  ASSERT_EQ(ParseColourCurve("RED\nPOLYLINE\n3\n0.5 0.25\n0.1 0.9\n0.3 0.3\n", curve), CurveFileResult::kRead);
  EXPECT_EQ(curve.channel, kCurveRed);
  EXPECT_EQ(curve.type, kCurvePolyline);
  EXPECT_EQ(curve.points, (std::vector<CurvePoint>{{0.1, 0.9}, {0.3, 0.3}, {0.5, 0.25}}));
}

TEST(ColourCurveFile, ACountOfZeroIsAValidCurveWithoutPoints) {
  ColourCurve curve;
  curve.points = {{0.5, 0.5}};
  ASSERT_EQ(ParseColourCurve("HUE\n3BSPLINE\n0\n", curve), CurveFileResult::kRead);
  EXPECT_EQ(curve.channel, kCurveHue);
  EXPECT_EQ(curve.type, kCurveBSpline);
  EXPECT_TRUE(curve.points.empty());
}

TEST(ColourCurveFile, PointsWrittenInDescendingXComeBackAscending) {
  ColourCurve curve;
  ASSERT_EQ(ParseColourCurve("BLUE\n3BSPLINE\n6\n0.9 0\n0.8 0.1\n0.6 0.2\n0.4 0.3\n0.2 0.4\n0 0.5\n", curve),
            CurveFileResult::kRead);
  EXPECT_EQ(curve.points, (std::vector<CurvePoint>{{0, 0.5}, {0.2, 0.4}, {0.4, 0.3}, {0.6, 0.2}, {0.8, 0.1}, {0.9, 0}}));
}

TEST(ColourCurveFile, PointsWithEqualXAreAllKept) {
  ColourCurve curve;
  ASSERT_EQ(ParseColourCurve("GREEN\nPOLYLINE\n3\n0.5 0.1\n0.2 0.7\n0.5 0.3\n", curve), CurveFileResult::kRead);
  ASSERT_EQ(curve.points.size(), 3u);
  EXPECT_EQ(curve.points[0], (CurvePoint{0.2, 0.7}));
  EXPECT_EQ(curve.points[1].x, 0.5);
  EXPECT_EQ(curve.points[2].x, 0.5);
  EXPECT_DOUBLE_EQ(curve.points[1].y + curve.points[2].y, 0.4);
}

struct ChannelCase {
  const char* name;
  std::string line;
  int32_t channel;  // -1: refused
};

class ColourCurveChannel : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(ColourCurveChannel, IsOneOfSixNamesInAnyCase) {
  ColourCurve curve;
  curve.channel = kCurveGreen;
  curve.points = {{0.25, 0.75}};
  const ColourCurve before = curve;
  const CurveFileResult result = ParseColourCurve(GetParam().line + "\nPOLYLINE\n0\n", curve);
  if (GetParam().channel < 0) {
    EXPECT_EQ(result, CurveFileResult::kBadChannel);
    EXPECT_EQ(curve, before);
  } else {
    EXPECT_EQ(result, CurveFileResult::kRead);
    EXPECT_EQ(curve.channel, GetParam().channel);
  }
}

INSTANTIATE_TEST_SUITE_P(Names, ColourCurveChannel,
                         ::testing::Values(ChannelCase{"Hue", "HUE", 0}, ChannelCase{"Saturation", "Saturation", 1},
                                           ChannelCase{"Value", "value", 2}, ChannelCase{"Red", "red", 3},
                                           ChannelCase{"Green", "GREEN", 4}, ChannelCase{"Blue", "bLuE", 5},
                                           ChannelCase{"Alpha", "ALPHA", -1}, ChannelCase{"Empty", "", -1},
                                           ChannelCase{"TrailingSpace", "RED ", -1},
                                           ChannelCase{"Number", "3", -1}),
                         [](const auto& info) { return info.param.name; });

struct TypeCase {
  const char* name;
  std::string line;
  int32_t type;
};

class ColourCurveType : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ColourCurveType, IsTheBSplineOnlyFor3BSplineAndThePolylineOtherwise) {
  ColourCurve curve;
  ASSERT_EQ(ParseColourCurve("VALUE\n" + GetParam().line + "\n0\n", curve), CurveFileResult::kRead);
  EXPECT_EQ(curve.type, GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Names, ColourCurveType,
                         ::testing::Values(TypeCase{"BSpline", "3BSPLINE", 0}, TypeCase{"BSplineLower", "3bspline", 0},
                                           TypeCase{"Polyline", "POLYLINE", 2}, TypeCase{"Other", "spline", 2},
                                           TypeCase{"Empty", "", 2}, TypeCase{"BSplineWithSpace", "3BSPLINE ", 2}),
                         [](const auto& info) { return info.param.name; });

struct BadCase {
  const char* name;
  std::string text;
  CurveFileResult result;
};

class ColourCurveRefusal : public ::testing::TestWithParam<BadCase> {};

TEST_P(ColourCurveRefusal, FailsAndKeepsThePreviousCurve) {
  ColourCurve curve;
  curve.channel = kCurveSaturation;
  curve.type = kCurvePolyline;
  curve.points = {{0.1, 0.2}, {0.3, 0.4}};
  const ColourCurve before = curve;
  EXPECT_EQ(ParseColourCurve(GetParam().text, curve), GetParam().result);
  EXPECT_EQ(curve, before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ColourCurveRefusal,
    ::testing::Values(
        BadCase{"EmptyFile", "", CurveFileResult::kBadChannel},
        BadCase{"CountSeven", "RED\nPOLYLINE\n7\n0 0\n0 0\n0 0\n0 0\n0 0\n0 0\n0 0\n", CurveFileResult::kBadPointCount},
        BadCase{"CountNegative", "RED\nPOLYLINE\n-1\n", CurveFileResult::kBadPointCount},
        BadCase{"CountNotANumber", "RED\nPOLYLINE\nsix\n", CurveFileResult::kBadPointCount},
        BadCase{"CountHuge", "RED\nPOLYLINE\n4294967297\n", CurveFileResult::kBadPointCount},
        BadCase{"NoTypeLine", "RED\n", CurveFileResult::kTruncated},
        BadCase{"NoCountLine", "RED\nPOLYLINE\n", CurveFileResult::kTruncated},
        BadCase{"FewerPointsThanCounted", "RED\nPOLYLINE\n2\n0.1 0.1\n", CurveFileResult::kTruncated},
        BadCase{"XIsOne", "RED\nPOLYLINE\n1\n1 0.5\n", CurveFileResult::kBadPoint},
        BadCase{"YIsOne", "RED\nPOLYLINE\n1\n0.5 1.0\n", CurveFileResult::kBadPoint},
        BadCase{"XBelowZero", "RED\nPOLYLINE\n1\n-0.000001 0.5\n", CurveFileResult::kBadPoint},
        BadCase{"YNotANumber", "RED\nPOLYLINE\n1\n0.5 nan\n", CurveFileResult::kBadPoint},
        BadCase{"XInfinite", "RED\nPOLYLINE\n1\ninf 0.5\n", CurveFileResult::kBadPoint},
        BadCase{"OnlyX", "RED\nPOLYLINE\n1\n0.5\n", CurveFileResult::kBadPoint},
        BadCase{"EmptyPointLine", "RED\nPOLYLINE\n1\n\n", CurveFileResult::kBadPoint},
        BadCase{"SecondPointBad", "RED\nPOLYLINE\n2\n0.1 0.1\n0.2 2\n", CurveFileResult::kBadPoint}),
    [](const auto& info) { return info.param.name; });

TEST(ColourCurveFile, AcceptsTheEdgesOfTheRangeAndCarriageReturns) {
  ColourCurve curve;
  ASSERT_EQ(ParseColourCurve("Red\r\n3BSpline\r\n2\r\n0 0.999999\r\n0.999999 0\r\n", curve), CurveFileResult::kRead);
  EXPECT_EQ(curve.type, kCurveBSpline);
  EXPECT_EQ(curve.points, (std::vector<CurvePoint>{{0, 0.999999}, {0.999999, 0}}));
}

TEST(ColourCurveFile, IsWrittenLineByLineWithSixDecimals) {
  ColourCurve curve;
  curve.channel = kCurveGreen;
  curve.type = kCurveBSpline;
  curve.points = {{0.1, 0.2}, {0.5, 0.75}};
  EXPECT_EQ(FormatColourCurve(curve), "GREEN\n3BSPLINE\n2\n0.100000 0.200000\n0.500000 0.750000\n");
  curve.type = 1;  // any type but the B-spline is written as the polyline
  curve.points.clear();
  EXPECT_EQ(FormatColourCurve(curve), "GREEN\nPOLYLINE\n0\n");
}

TEST(ColourCurveFile, ACoordinateThatWouldPrintAsOneIsWrittenJustBelowIt) {
  ColourCurve curve;
  curve.channel = kCurveHue;
  curve.type = kCurvePolyline;
  curve.points = {{0.9999997, 0.99999949}, {-0.0, 0.0000004}};
  EXPECT_EQ(FormatColourCurve(curve), "HUE\nPOLYLINE\n2\n0.999999 0.999999\n0.000000 0.000000\n");
  ColourCurve read;
  EXPECT_EQ(ParseColourCurve(FormatColourCurve(curve), read), CurveFileResult::kRead);
}

TEST(ColourCurveFile, CurvesTheReaderWouldRefuseAreNotWritten) {
  TempFolder folder;
  ColourCurve tooMany;
  tooMany.points.assign(7, {0.5, 0.5});
  ColourCurve badChannel;
  badChannel.channel = 6;
  ColourCurve badPoint;
  badPoint.points = {{1.0, 0.5}};
  for (const ColourCurve* curve : {&tooMany, &badChannel, &badPoint}) {
    EXPECT_FALSE(IsValidColourCurve(*curve));
    EXPECT_EQ(FormatColourCurve(*curve), "");
    errno = 0;
    EXPECT_FALSE(WriteColourCurveFile(folder.File("x.cc"), *curve));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(std::filesystem::exists(folder.File("x.cc")));
  }
}

TEST(ColourCurveFile, RoundTripsThroughAFileSorted) {
  TempFolder folder;
  ColourCurve curve;
  curve.channel = kCurveBlue;
  curve.type = kCurvePolyline;
  curve.points = {{0.75, 0.125}, {0.25, 0.5}, {0.5, 0.0}};
  const std::string path = folder.File("c.cc");
  ASSERT_TRUE(WriteColourCurveFile(path, curve));
  ColourCurve read;
  ASSERT_EQ(ReadColourCurveFile(path, read), CurveFileResult::kRead);
  EXPECT_EQ(read.channel, kCurveBlue);
  EXPECT_EQ(read.type, kCurvePolyline);
  EXPECT_EQ(read.points, (std::vector<CurvePoint>{{0.25, 0.5}, {0.5, 0.0}, {0.75, 0.125}}));
}

TEST(ColourCurveFile, AMissingFileCannotBeOpenedAndKeepsTheCurve) {
  TempFolder folder;
  ColourCurve curve;
  curve.points = {{0.5, 0.5}};
  EXPECT_EQ(ReadColourCurveFile(folder.File("none.cc"), curve), CurveFileResult::kCannotOpen);
  EXPECT_EQ(curve.points.size(), 1u);
  EXPECT_STRNE(CurveFileMessage(CurveFileResult::kCannotOpen), "");
  EXPECT_STREQ(CurveFileMessage(CurveFileResult::kRead), "");
}

TEST(ColourCurveFile, SortingExchangesPairsIntoAscendingX) {
  std::vector<CurvePoint> points = {{0.3, 0}, {0.1, 1}, {0.2, 2}};
  SortCurvePoints(points);
  EXPECT_EQ(points, (std::vector<CurvePoint>{{0.1, 1}, {0.2, 2}, {0.3, 0}}));
}

}  // namespace
}  // namespace varnel
