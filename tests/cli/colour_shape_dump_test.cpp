// `dump` of shape definition files, colour definition files, named colour lists and
// colour-correction curve files, through the command dispatcher.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "tests/support/sanitizer.h"
#include "tests/support/temp_folder.h"

namespace varnel::cli {
namespace {

using Json = nlohmann::json;

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result Dump(const std::string& path) {
  std::ostringstream out, err;
  const int status = Run(std::vector<std::string>{"dump", path}, out, err);
  return {status, out.str(), err.str()};
}

class ColourShapeDump : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) const {
    const std::string path = m_folder.File(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // Dumps a file that must succeed, with one line of JSON on stdout.
  Json DumpJson(const std::string& path) const {
    const Result r = Dump(path);
    EXPECT_EQ(r.status, kSuccess) << r.err;
    EXPECT_TRUE(r.err.empty());
    EXPECT_TRUE(!r.out.empty() && r.out.back() == '\n' && r.out.find('\n') == r.out.size() - 1) << r.out;
    return Json::parse(r.out, nullptr, false);
  }
  void ExpectFailure(const std::string& path, const std::string& message) const {
    const Result r = Dump(path);
    EXPECT_EQ(r.status, kFailed);
    EXPECT_EQ(r.err, "varnel-cli: " + message + "\n");
    EXPECT_TRUE(r.out.empty());
  }

  varnel::test::TempFolder m_folder;
};

const std::string kShape =
    "[VARNEL PRIMITIVE DEFINITION]\n[VERSION] 1.1\n[TYPE] 3\n[VERTEXCOUNT] 2\n[JOINMODE] BEVEL\n[VERTEXDATA]\n"
    "(0.5,0.25,1)\n(1.5,-1,0.125)\n";

TEST_F(ColourShapeDump, AShapeFileGivesItsTypeAndClampedVertices) {
  const Result r = Dump(Write("star.ptv", kShape));
  EXPECT_EQ(r.status, kSuccess);
  EXPECT_EQ(r.out, "{\"type\":3,\"vertices\":[[0.5,0.25,1.0],[1.0,0.0,0.125]]}\n");
}

TEST_F(ColourShapeDump, AShapeFileIsRecognisedByItsHeaderUnderAnyName) {
  EXPECT_EQ(DumpJson(Write("outline.txt", kShape)),
            Json::parse(R"({"type": 3, "vertices": [[0.5, 0.25, 1.0], [1.0, 0.0, 0.125]]})"));
  EXPECT_EQ(DumpJson(Write("EMPTY.PTV", "[VARNEL PRIMITIVE DEFINITION]\n[VERSION] 1.1\n")),
            Json::parse(R"({"type": 0, "vertices": []})"));
}

TEST_F(ColourShapeDump, AShapeFileWithoutItsHeaderIsAFormatError) {
  ExpectFailure(Write("bad.ptv", "[VERSION] 1.1\n[VARNEL PRIMITIVE DEFINITION]\n"),
                "形状定義ファイルの形式が正しくありません");
}

TEST_F(ColourShapeDump, AColourDefinitionFileGivesRedGreenAndBluePerColour) {
  EXPECT_EQ(DumpJson(Write("pal.cd", "255 0 0\n1 2 3\r\n300 -1\n")),
            Json::parse(R"({"colours": [{"red": 255, "green": 0, "blue": 0}, {"red": 1, "green": 2, "blue": 3},
                                        {"red": 44, "green": 255, "blue": 0}]})"));
  EXPECT_EQ(DumpJson(Write("EMPTY.CD", "")), Json::parse(R"({"colours": []})"));
}

TEST_F(ColourShapeDump, ALongColourFileIsPrintedWithinAFewTimesItsSize) {
  if (test::kUnderAddressSanitizer) GTEST_SKIP() << "address space is not limitable under the sanitizer";
  std::string text;
  for (int i = 0; i < 2'000'000; ++i) text += "1 2 3\n";
  const std::string path = Write("long.cd", text);
  // 12 MB of colours, printed with 250 MB to spare; as one tree they took 45 times their size
  // and ended the process when that ran out.
  const auto dumpWithinLimit = [&path] {
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{250} << 20);
    const rlimit address{limit, limit};
    setrlimit(RLIMIT_AS, &address);
    std::ostream nowhere(nullptr);
    std::ostringstream err;
    std::_Exit(varnel::cli::Run(std::vector<std::string>{"dump", path}, nowhere, err) == kSuccess ? 0 : 1);
  };
  EXPECT_EXIT(dumpWithinLimit(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ColourShapeDump, ANamedColourListGivesWebOrderHexAndUtf8Names) {
  const std::string path = Write("html.ncl", "RGB.HEX\nff0000 , red\nno comma\n0x1234 ,\x90\xd4, more\n");
  EXPECT_EQ(DumpJson(path),
            Json::parse(R"({"colours": [{"hex": "ff0000", "name": "red"}, {"hex": "001234", "name": "赤"}]})"));
}

TEST_F(ColourShapeDump, ANamedColourListIsRecognisedByItsHeaderInAnyCase) {
  EXPECT_EQ(DumpJson(Write("colours.txt", "rgb.hex\r\n00ff00 , lime\r\n")),
            Json::parse(R"({"colours": [{"hex": "00ff00", "name": "lime"}]})"));
}

TEST_F(ColourShapeDump, ANamedColourListWithAnotherHeaderIsRefused) {
  ExpectFailure(Write("bad.ncl", "RGB\nff0000 , red\n"), "名前付き色リストの形式が正しくありません");
}

TEST_F(ColourShapeDump, ACurveFileGivesChannelTypeAndSortedPoints) {
  EXPECT_EQ(DumpJson(Write("c.cc", "red\npolyline\n2\n0.5 0.25\n0.125 0.75\n")),
            Json::parse(R"({"channel": "RED", "type": "POLYLINE", "points": [[0.125, 0.75], [0.5, 0.25]]})"));
  EXPECT_EQ(DumpJson(Write("D.CC", "Saturation\n3bspline\n0\n")),
            Json::parse(R"({"channel": "SATURATION", "type": "3BSPLINE", "points": []})"));
}

struct CurveFailure {
  const char* name;
  std::string text;
  std::string message;
};

class ColourShapeDumpCurve : public ColourShapeDump, public ::testing::WithParamInterface<CurveFailure> {};

TEST_P(ColourShapeDumpCurve, ThatBreaksARuleFailsWithItsMessage) {
  ExpectFailure(Write("bad.cc", GetParam().text), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ColourShapeDumpCurve,
    ::testing::Values(CurveFailure{"Channel", "ALPHA\nPOLYLINE\n0\n", "色補正ファイルのチャンネルが正しくありません"},
                      CurveFailure{"Count", "RED\nPOLYLINE\n7\n", "色補正ファイルの制御点の数が正しくありません"},
                      CurveFailure{"Point", "RED\nPOLYLINE\n1\n1 0\n", "色補正ファイルの制御点が正しくありません"},
                      CurveFailure{"Truncated", "RED\nPOLYLINE\n2\n0 0\n", "色補正ファイルが途中で終わっています"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ColourShapeDump, TheShippedPaletteAndColourListDump) {
  const Json palette = DumpJson(std::string(VARNEL_SOURCE_DIR) + "/data/PAL.CD");
  ASSERT_TRUE(palette.contains("colours"));
  EXPECT_GE(palette["colours"].size(), 16u);
  EXPECT_EQ(palette["colours"][0], Json::parse(R"({"red": 0, "green": 0, "blue": 0})"));
  const Json list = DumpJson(std::string(VARNEL_SOURCE_DIR) + "/data/res/html.ncl");
  ASSERT_TRUE(list.contains("colours"));
  EXPECT_EQ(list["colours"][0], Json::parse(R"({"hex": "f0f8ff", "name": "aliceblue"})"));
}

TEST_F(ColourShapeDump, AFileWithAnotherExtensionAndNoHeaderIsNotAFormatOfTheProgram) {
  ExpectFailure(Write("notes.txt", "255 0 0\n"), "このファイル形式は扱えません");
  ExpectFailure(m_folder.File("missing.cd"), "ファイルを開けません");
}

}  // namespace
}  // namespace varnel::cli
