#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "document/layer_mask_file.h"
#include "document/region_file.h"
#include "tests/support/folder_test.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Builds region files byte by byte, so every test states exactly what is on disk.
class FileBuilder {
 public:
  FileBuilder& Raw(const std::string& text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
  }
  FileBuilder& Raw(const Bytes& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }
  FileBuilder& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  FileBuilder& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  FileBuilder& Magic() { return Raw("VRDB"); }
  FileBuilder& Version() { return Raw("VRVC").U32(4).Raw("0001"); }
  FileBuilder& Header(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t size = 16) {
    return Raw("VRDH").U32(size).I32(left).I32(top).I32(right).I32(bottom);
  }
  FileBuilder& Data(const Bytes& body) { return Raw("VRDD").U32(static_cast<uint32_t>(body.size())).Raw(body); }
  // Drops the last n bytes, for files cut short.
  FileBuilder& Cut(size_t n) {
    m_bytes.resize(m_bytes.size() - n);
    return *this;
  }
  const Bytes& Get() const { return m_bytes; }

 private:
  Bytes m_bytes;
};

class RegionFile : public test::FolderTest {};

// The mask bytes row by row from the top.
Bytes MaskOf(const Region& region) {
  Bytes bytes;
  for (int32_t r = 0; r < region.Height(); ++r) {
    bytes.insert(bytes.end(), region.Row(r), region.Row(r) + region.Width());
  }
  return bytes;
}

void MakeRegion(const Rect& rect, const Bytes& mask, Region& region) {
  ASSERT_EQ(region.Create(rect, 0), 0);
  ASSERT_EQ(mask.size(), static_cast<size_t>(region.Width()) * static_cast<size_t>(region.Height()));
  size_t at = 0;
  for (int32_t r = 0; r < region.Height(); ++r) {
    for (int32_t c = 0; c < region.Width(); ++c) region.Row(r)[c] = mask[at++];
  }
}

TEST_F(RegionFile, RandomSoftRegionsSurviveASaveAndALoadUnchanged) {
  const std::vector<Rect> rects = {
      {0, 0, 0, 0},       {0, 0, 15, 9},        {-7, -3, 4, 12},  {-100, -200, -90, -195},
      {1000, 5, 1063, 5}, {3, -40, 3, 17},      {-1, -1, 1, 1},   {20000, 30000, 20129, 30077},
  };
  std::mt19937 random(12345);
  for (const Rect& rect : rects) {
    Region original;
    const size_t pixels = static_cast<size_t>(rect.right - rect.left + 1) * static_cast<size_t>(rect.bottom - rect.top + 1);
    Bytes mask(pixels);
    // Zeros are frequent so that unselected pixels inside the rectangle are covered too.
    for (uint8_t& b : mask) b = random() % 3 == 0 ? 0 : static_cast<uint8_t>(random());
    MakeRegion(rect, mask, original);

    const std::string path = PathOf("round.vrd");
    ASSERT_EQ(SaveRegionFile(path, original), 0);
    Region loaded;
    ASSERT_EQ(LoadRegionFile(path, loaded), 0);
    EXPECT_EQ(loaded.Bounds(), rect);
    EXPECT_EQ(MaskOf(loaded), mask) << rect.left << ',' << rect.top;
  }
}

TEST_F(RegionFile, ASavedFileHoldsMagicVersionRectangleAndMaskInThatOrder) {
  Region region;
  MakeRegion({-2, 3, 0, 4}, {1, 0, 255, 7, 8, 0}, region);
  const std::string path = PathOf("layout.vrd");
  ASSERT_EQ(SaveRegionFile(path, region), 0);
  const Bytes expected = {'V', 'R', 'D', 'B',                                //
                          'V', 'R', 'V', 'C', 4, 0, 0, 0, '0', '0', '0', '1',  //
                          'V', 'R', 'D', 'H', 16, 0, 0, 0,                     //
                          0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0,
                          'V', 'R', 'D', 'D', 6, 0, 0, 0, 1, 0, 255, 7, 8, 0};
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"layout.vrd"});
}

TEST_F(RegionFile, AnEmptyRegionIsSavedWithAZeroRectangleAndNoMaskBytes) {
  Region empty;
  const std::string path = PathOf("empty.vrd");
  ASSERT_EQ(SaveRegionFile(path, empty), 0);
  EXPECT_EQ(ReadFile(path), FileBuilder().Magic().Version().Header(0, 0, 0, 0).Data({}).Get());

  // Reading it back gives one unselected pixel, which trims away to nothing.
  Region loaded;
  ASSERT_EQ(LoadRegionFile(path, loaded), 0);
  EXPECT_EQ(loaded.Bounds(), (Rect{0, 0, 0, 0}));
  EXPECT_EQ(MaskOf(loaded), Bytes{0});
  loaded.TrimToContent();
  EXPECT_TRUE(loaded.IsEmpty());
}

TEST_F(RegionFile, SavingReplacesAnExistingFile) {
  const std::string path = WriteFile("old.vrd", Bytes(100, 'x'));
  Region region;
  MakeRegion({5, 5, 5, 5}, {9}, region);
  ASSERT_EQ(SaveRegionFile(path, region), 0);
  Region loaded;
  ASSERT_EQ(LoadRegionFile(path, loaded), 0);
  EXPECT_EQ(loaded.Bounds(), (Rect{5, 5, 5, 5}));
  EXPECT_EQ(MaskOf(loaded), Bytes{9});
}

struct LoadCase {
  const char* what;
  Bytes file;
  int32_t status;
  // Unset: the region is empty afterwards.
  std::optional<Rect> bounds;
  Bytes mask;
};

TEST_F(RegionFile, LoadingFollowsTheBlockRulesForEveryKindOfFile) {
  const std::vector<LoadCase> cases = {
      {"a complete file", FileBuilder().Magic().Version().Header(1, 2, 2, 3).Data({1, 2, 3, 4}).Get(), 0,
       Rect{1, 2, 2, 3}, {1, 2, 3, 4}},
      {"a wrong magic is refused", FileBuilder().Raw("VRDA").Version().Header(0, 0, 0, 0).Data({5}).Get(), -1,
       std::nullopt, {}},
      {"a magic cut short is refused", FileBuilder().Raw("VRD").Get(), -1, std::nullopt, {}},
      {"an empty file is refused", Bytes{}, -1, std::nullopt, {}},
      {"a version block of size 3 is refused", FileBuilder().Magic().Raw("VRVC").U32(3).Raw("001").Get(), -1,
       std::nullopt, {}},
      {"a version block of size 5 is refused", FileBuilder().Magic().Raw("VRVC").U32(5).Raw("00001").Get(), -1,
       std::nullopt, {}},
      {"a malformed block after the rectangle keeps what was read",
       FileBuilder().Magic().Header(0, 0, 0, 0).Data({7}).Raw("VRVC").U32(0).Get(), -1, Rect{0, 0, 0, 0}, {7}},
      {"any version reads the same", FileBuilder().Magic().Raw("VRVC").U32(4).Raw("9999").Header(0, 0, 0, 0).Data({3}).Get(),
       0, Rect{0, 0, 0, 0}, {3}},
      {"the magic alone is an empty region", FileBuilder().Magic().Get(), 0, std::nullopt, {}},
      {"a side of 65536 pixels loads", FileBuilder().Magic().Header(0, 0, 65535, 0).Data({1, 2}).Get(), 0,
       Rect{0, 0, 65535, 0}, {}},
      {"a width of 65537 is refused", FileBuilder().Magic().Header(0, 0, 65536, 0).Get(), -1, std::nullopt, {}},
      {"a height of 65537 is refused", FileBuilder().Magic().Header(0, 0, 0, 65536).Get(), -1, std::nullopt, {}},
      {"a span across zero of 65537 is refused", FileBuilder().Magic().Header(-32768, 0, 32768, 0).Get(), -1,
       std::nullopt, {}},
      {"the widest possible corners are refused without overflow",
       FileBuilder()
           .Magic()
           .Header(std::numeric_limits<int32_t>::min(), 0, std::numeric_limits<int32_t>::max(), 0)
           .Get(),
       -1, std::nullopt, {}},
      {"reversed corners are put in order", FileBuilder().Magic().Header(3, 5, 1, 4).Data({1, 2, 3, 4, 5, 6}).Get(),
       0, Rect{1, 4, 3, 5}, {1, 2, 3, 4, 5, 6}},
      {"negative coordinates are kept", FileBuilder().Magic().Header(-5, -9, -4, -9).Data({8, 9}).Get(), 0,
       Rect{-5, -9, -4, -9}, {8, 9}},
      {"the rectangle's size field is not consulted",
       FileBuilder().Magic().Header(0, 0, 1, 0, 0).Data({4, 5}).Get(), 0, Rect{0, 0, 1, 0}, {4, 5}},
      {"a short mask leaves the rest unselected", FileBuilder().Magic().Header(0, 0, 1, 1).Data({6, 7, 8}).Get(), 0,
       Rect{0, 0, 1, 1}, {6, 7, 8, 0}},
      {"a mask of zeros keeps the stated rectangle",
       FileBuilder().Magic().Header(10, 20, 12, 20).Data({0, 0, 0}).Get(), 0, Rect{10, 20, 12, 20}, {0, 0, 0}},
      {"a header without a mask is all unselected", FileBuilder().Magic().Header(0, 0, 1, 0).Get(), 0,
       Rect{0, 0, 1, 0}, {0, 0}},
      {"a mask before the rectangle stores nothing",
       FileBuilder().Magic().Data({9, 9, 9, 9}).Header(0, 0, 1, 1).Get(), 0, Rect{0, 0, 1, 1}, {0, 0, 0, 0}},
      {"a mask before the rectangle does not disturb a later one",
       FileBuilder().Magic().Data({9, 9, 9}).Header(0, 0, 0, 1).Data({1, 2}).Get(), 0, Rect{0, 0, 0, 1}, {1, 2}},
      {"a long mask's extra bytes are passed over",
       FileBuilder().Magic().Header(0, 0, 1, 0).Data({1, 2, 3, 4, 5}).Header(9, 9, 9, 9).Data({42}).Get(), 0,
       Rect{9, 9, 9, 9}, {42}},
      {"a second mask adds its non-zero bytes",
       FileBuilder().Magic().Header(0, 0, 2, 0).Data({1, 0, 3}).Data({0, 5, 6}).Get(), 0, Rect{0, 0, 2, 0}, {1, 5, 6}},
      {"an unknown block is passed over",
       FileBuilder().Magic().Header(0, 0, 0, 0).Raw("ABCD").U32(3).Raw("xyz").Data({11}).Get(), 0, Rect{0, 0, 0, 0},
       {11}},
      {"an unknown block running past the end ends the file",
       FileBuilder().Magic().Header(0, 0, 0, 0).Data({12}).Raw("ZZZZ").U32(1000).Raw("ab").Get(), 0,
       Rect{0, 0, 0, 0}, {12}},
      {"an unknown block of the largest size ends the file",
       FileBuilder().Magic().Header(0, 0, 0, 0).Data({13}).Raw("ZZZZ").U32(0xFFFFFFFF).Get(), 0, Rect{0, 0, 0, 0},
       {13}},
      {"a file cut inside a tag ends normally", FileBuilder().Magic().Header(0, 0, 0, 0).Data({14}).Raw("VR").Get(), 0,
       Rect{0, 0, 0, 0}, {14}},
      {"a file cut inside a size ends normally",
       FileBuilder().Magic().Header(0, 0, 0, 0).Data({15}).Raw("VRDD").Raw(Bytes{1, 0}).Get(), 0, Rect{0, 0, 0, 0},
       {15}},
      {"a file cut inside the version ends normally", FileBuilder().Magic().Version().Cut(2).Get(), 0, std::nullopt,
       {}},
      {"a file cut inside the rectangle ends normally", FileBuilder().Magic().Header(0, 0, 4, 4).Cut(5).Get(), 0,
       std::nullopt, {}},
      {"a file cut inside the mask keeps what was there",
       FileBuilder().Magic().Header(0, 0, 1, 1).Data({1, 2, 3, 4}).Cut(2).Get(), 0, Rect{0, 0, 1, 1}, {1, 2, 0, 0}},
      {"a mask claiming the largest size keeps what was there",
       FileBuilder().Magic().Header(0, 0, 2, 0).Raw("VRDD").U32(0xFFFFFFFF).Raw(Bytes{7, 8}).Get(), 0,
       Rect{0, 0, 2, 0}, {7, 8, 0}},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = WriteFile("case.vrd", c.file);
    Region region;
    // Whatever the region held before is gone.
    ASSERT_EQ(region.Create({100, 100, 101, 101}, 255), 0);
    EXPECT_EQ(LoadRegionFile(path, region), c.status);
    if (!c.bounds) {
      EXPECT_TRUE(region.IsEmpty());
      continue;
    }
    ASSERT_FALSE(region.IsEmpty());
    EXPECT_EQ(region.Bounds(), *c.bounds);
    if (!c.mask.empty()) {
      EXPECT_EQ(MaskOf(region), c.mask);
    }
  }
}

TEST_F(RegionFile, ASixtyFiveThousandPixelRowLoadsWithTheGivenBytesAndZerosAfter) {
  const std::string path =
      WriteFile("row.vrd", FileBuilder().Magic().Header(-65535, 7, 0, 7).Data({1, 2}).Get());
  Region region;
  ASSERT_EQ(LoadRegionFile(path, region), 0);
  EXPECT_EQ(region.Width(), 65536);
  EXPECT_EQ(region.Height(), 1);
  EXPECT_EQ(region.At(-65535, 7), 1);
  EXPECT_EQ(region.At(-65534, 7), 2);
  const uint8_t* row = region.Row(0);
  EXPECT_EQ(std::count(row + 2, row + 65536, 0), 65534);
}

// The mask is allocated lazily, so this stays quick as long as neither the loader nor the test
// touches more than the first row.
TEST_F(RegionFile, AFullSizedRectangleWithATinyMaskLoadsQuickly) {
  const Bytes body = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::string path = WriteFile("huge.vrd", FileBuilder().Magic().Header(0, 0, 65535, 65535).Data(body).Get());
  Region region;
  ASSERT_EQ(LoadRegionFile(path, region), 0);
  EXPECT_EQ(region.Width(), 65536);
  EXPECT_EQ(region.Height(), 65536);
  EXPECT_EQ(Bytes(region.Row(0), region.Row(0) + 12), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0}));
  EXPECT_EQ(region.At(65535, 65535), 0);
}

TEST_F(RegionFile, AMissingFileCannotBeLoaded) {
  Region region;
  ASSERT_EQ(region.Create({0, 0, 0, 0}, 1), 0);
  EXPECT_EQ(LoadRegionFile(PathOf("absent.vrd"), region), -1);
  EXPECT_TRUE(region.IsEmpty());
}

TEST_F(RegionFile, SavingIntoAMissingFolderFailsAndLeavesNothing) {
  Region region;
  MakeRegion({0, 0, 1, 0}, {1, 2}, region);
  const std::string path = PathOf("missing/out.vrd");
  EXPECT_EQ(SaveRegionFile(path, region), -1);
  EXPECT_FALSE(fs::exists(PathOf("missing")));
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(RegionFile, SavingOverAFolderFailsAndLeavesNoTemporaryFile) {
  fs::create_directory(PathOf("taken.vrd"));
  Region region;
  MakeRegion({0, 0, 1, 0}, {1, 2}, region);
  EXPECT_EQ(SaveRegionFile(PathOf("taken.vrd"), region), -1);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"taken.vrd"});
  EXPECT_TRUE(fs::is_directory(PathOf("taken.vrd")));
}

TEST(MaskFile, IsATemporaryRegionFileWithThePrefixLm) {
  Region mask, back;
  MakeRegion({-3, 4, -2, 5}, {0, 255, 128, 0}, mask);
  const std::string path = WriteMaskFile(mask);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(std::filesystem::path(path).filename().string().rfind("lm", 0), 0u);
  ASSERT_EQ(LoadRegionFile(path, back), 0);
  EXPECT_EQ(back.Bounds(), mask.Bounds());
  EXPECT_EQ(MaskOf(back), MaskOf(mask));
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace varnel
