#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "document/region_file.h"
#include "tests/support/folder_test.h"

namespace varnel::cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunInProcess(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = Run(args, out, err);
  return {status, out.str(), err.str()};
}

Bytes MaskOf(const Region& region) {
  Bytes bytes;
  for (int32_t r = 0; r < region.Height(); ++r) {
    bytes.insert(bytes.end(), region.Row(r), region.Row(r) + region.Width());
  }
  return bytes;
}

class RegionCli : public test::FolderTest {
 protected:
  // Saves a region of the given rectangle and bytes (rows top first) as name.
  std::string Save(const std::string& name, const Rect& rect, const Bytes& mask) const {
    Region region;
    EXPECT_EQ(region.Create(rect, 0), 0);
    size_t at = 0;
    for (int32_t r = 0; r < region.Height(); ++r) {
      for (int32_t c = 0; c < region.Width(); ++c) region.Row(r)[c] = mask.at(at++);
    }
    const std::string path = PathOf(name);
    EXPECT_EQ(SaveRegionFile(path, region), 0);
    return path;
  }
};

struct OpCase {
  const char* what;
  std::vector<std::string> arguments;  // after "region OP", with IN and OUT filled in
  Rect inRect;
  Bytes inMask;
  Rect outRect;
  Bytes outMask;
};

TEST_F(RegionCli, EachOperationWritesTheRegionItComputes) {
  const std::string other = Save("other.vrd", {1, 0, 2, 0}, {20, 30});
  const std::vector<OpCase> cases = {
      {"growing a single pixel gives a plus", {"grow"}, {5, 5, 5, 5}, {255}, {4, 4, 6, 6},
       {0, 255, 0, 255, 255, 255, 0, 255, 0}},
      {"growing trims the unselected border away", {"grow"}, {0, 0, 2, 0}, {0, 9, 0}, {0, -1, 2, 1},
       {0, 255, 0, 255, 255, 255, 0, 255, 0}},
      {"shrinking a full square leaves its centre", {"shrink"}, {0, 0, 2, 2}, Bytes(9, 255), {1, 1, 1, 1}, {255}},
      {"trimming keeps only the selected pixels", {"trim"}, {0, 0, 3, 3},
       {0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 1, 2, 1}, {9}},
      {"flipping vertically swaps the rows", {"flip-vertical"}, {-1, 0, 0, 1}, {1, 2, 3, 4}, {-1, 0, 0, 1},
       {3, 4, 1, 2}},
      {"flipping horizontally swaps the columns", {"flip-horizontal"}, {-1, 0, 0, 1}, {1, 2, 3, 4}, {-1, 0, 0, 1},
       {2, 1, 4, 3}},
      {"inverting complements within the canvas", {"invert", "3x2"}, {0, 0, 0, 0}, {255}, {0, 0, 2, 1},
       {0, 255, 255, 255, 255, 255}},
      {"inverting a soft pixel keeps its complement", {"invert", "2x1"}, {1, 0, 1, 0}, {200}, {0, 0, 1, 0},
       {255, 55}},
      {"feathering below a diameter of 2 leaves the region as it is", {"feather", "1"}, {0, 0, 1, 0}, {7, 8},
       {0, 0, 1, 0}, {7, 8}},
      {"union keeps the existing values where both are set", {"union", other}, {0, 0, 1, 0}, {10, 40}, {0, 0, 2, 0},
       {10, 40, 30}},
      {"union fills what the first region leaves unselected", {"union", other}, {0, 0, 1, 0}, {10, 0}, {0, 0, 2, 0},
       {10, 20, 30}},
      {"subtract clears what the other region selects", {"subtract", other}, {0, 0, 3, 0}, {1, 2, 3, 4},
       {0, 0, 3, 0}, {1, 0, 0, 4}},
  };
  for (const OpCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string in = Save("in.vrd", c.inRect, c.inMask);
    const std::string out = PathOf("out.vrd");
    fs::remove(out);
    std::vector<std::string> args = {"region", c.arguments[0], in, out};
    args.insert(args.end(), c.arguments.begin() + 1, c.arguments.end());
    const Result r = RunInProcess(args);
    EXPECT_EQ(r.status, kSuccess);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    Region result;
    ASSERT_EQ(LoadRegionFile(out, result), 0);
    EXPECT_EQ(result.Bounds(), c.outRect);
    EXPECT_EQ(MaskOf(result), c.outMask);
  }
}

TEST_F(RegionCli, FeatheringWritesWhatTheRegionFeatherComputes) {
  const std::string in = Save("in.vrd", {0, 0, 4, 4}, Bytes(25, 255));
  const std::string out = PathOf("out.vrd");
  const Result r = RunInProcess({"region", "feather", in, out, "3"});
  ASSERT_EQ(r.status, kSuccess) << r.err;
  Region source, expected, written;
  ASSERT_EQ(LoadRegionFile(in, source), 0);
  Region::Feather(source, 3, expected);
  ASSERT_EQ(LoadRegionFile(out, written), 0);
  EXPECT_EQ(written.Bounds(), expected.Bounds());
  EXPECT_EQ(MaskOf(written), MaskOf(expected));
}

TEST_F(RegionCli, AnEmptyResultPrintsEmptyRegionAndWritesNothing) {
  const std::string in = Save("full.vrd", {0, 0, 3, 3}, Bytes(16, 255));
  const std::string out = PathOf("out.vrd");
  const Result r = RunInProcess({"region", "invert", in, out, "4x4"});
  EXPECT_EQ(r.status, kSuccess);
  EXPECT_EQ(r.out, "empty region\n");
  EXPECT_FALSE(fs::exists(out));

  const std::string single = Save("single.vrd", {2, 2, 2, 2}, {255});
  const Result shrunk = RunInProcess({"region", "shrink", single, out});
  EXPECT_EQ(shrunk.status, kSuccess);
  EXPECT_EQ(shrunk.out, "empty region\n");
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(RegionCli, DumpPrintsTheRectangleAndTheMaskInHexRowsTopFirst) {
  const std::string in = Save("two.vrd", {-1, 3, 0, 4}, {0x00, 0xff, 0x1a, 0x80});
  const Result r = RunInProcess({"dump", in});
  EXPECT_EQ(r.status, kSuccess);
  EXPECT_EQ(r.out, "{\"left\":-1,\"top\":3,\"right\":0,\"bottom\":4,\"mask\":\"00ff1a80\"}\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(RegionCli, DumpRefusesFilesItCannotDescribe) {
  const std::string text = PathOf("notes.txt");
  std::ofstream(text) << "not a region";
  const std::string broken = PathOf("broken.vrd");
  std::ofstream(broken, std::ios::binary) << "VRDBVRVC\x03" << std::string(3, '\0') << "001";
  const std::string wrongMagic = PathOf("wrong.VRD");
  std::ofstream(wrongMagic, std::ios::binary) << "XXXXVRVC";
  struct Case {
    const char* what;
    std::string path;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"another format", text, "varnel-cli: このファイル形式は扱えません\n"},
      {"a malformed region file", broken, "varnel-cli: 領域ファイルが読み込めません\n"},
      {"a region file by its name, its magic wrong", wrongMagic, "varnel-cli: 領域ファイルが読み込めません\n"},
      {"a missing file", PathOf("absent.vrd"), "varnel-cli: ファイルを開けません\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Result r = RunInProcess({"dump", c.path});
    EXPECT_EQ(r.status, kFailed);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(RegionCli, UnreadableInputsAndUnwritableOutputsFail) {
  const std::string good = Save("good.vrd", {0, 0, 0, 0}, {255});
  const std::string bad = PathOf("bad.vrd");
  std::ofstream(bad) << "XXXX";
  // As wide as a region can be: growing, feathering or joining it cannot be made, which is no
  // empty result.
  Bytes row(Region::kMaxExtent, 0);
  row[0] = 255;
  const std::string wide = Save("wide.vrd", {0, 0, Region::kMaxExtent - 1, 0}, row);
  const std::string far = Save("far.vrd", {Region::kMaxExtent, 0, Region::kMaxExtent, 0}, {9});
  const std::string tooLarge = "varnel-cli: the result would be wider or higher than 65536 pixels\n";
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"a missing input", {"region", "trim", PathOf("absent.vrd"), PathOf("o.vrd")},
       "varnel-cli: 領域ファイルが読み込めません\n"},
      {"a malformed input", {"region", "grow", bad, PathOf("o.vrd")}, "varnel-cli: 領域ファイルが読み込めません\n"},
      {"a malformed other region", {"region", "union", good, PathOf("o.vrd"), bad},
       "varnel-cli: 領域ファイルが読み込めません\n"},
      {"an output in a missing folder", {"region", "trim", good, PathOf("missing/o.vrd")},
       "varnel-cli: 領域ファイルを保存できません\n"},
      {"a grown region too wide", {"region", "grow", wide, PathOf("o.vrd")}, tooLarge},
      {"a feathered region too wide", {"region", "feather", wide, PathOf("o.vrd"), "2"}, tooLarge},
      {"a union too wide", {"region", "union", good, PathOf("o.vrd"), far}, tooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Result r = RunInProcess(c.args);
    EXPECT_EQ(r.status, kFailed);
    EXPECT_EQ(r.err, c.err);
    EXPECT_FALSE(fs::exists(PathOf("o.vrd")));
  }
}

TEST_F(RegionCli, WrongUsageAnswersStatus2AndTouchesNothing) {
  const std::string in = Save("in.vrd", {0, 0, 0, 0}, {255});
  const std::string out = PathOf("out.vrd");
  const std::vector<std::vector<std::string>> cases = {
      {"region"},
      {"region", "grow", in},
      {"region", "grow", in, out, "extra"},
      {"region", "spin", in, out},
      {"region", "invert", in, out},
      {"region", "invert", in, out, "4by4"},
      {"region", "invert", in, out, "0x4"},
      {"region", "invert", in, out, "4x"},
      {"region", "invert", in, out, "65537x1"},
      {"region", "feather", in, out, "three"},
      {"region", "feather", in, out, "-3"},
      {"region", "feather", in, out, "4097"},
      {"region", "union", in, out},
      {"region", "trim", in, out, "--fast"},
      {"dump"},
      {"dump", in, in},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Result r = RunInProcess(args);
    EXPECT_EQ(r.status, kUsage);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.starts_with("varnel-cli: "));
    EXPECT_FALSE(fs::exists(out));
  }
}

}  // namespace
}  // namespace varnel::cli
