// Feathering: hand-computed cone tables and results, the destination rectangle, refusals, and
// every fast kernel against region_reference::Feather bit for bit.

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/region.h"
#include "core/region_feather_p.h"
#include "platform/fast_paths.h"

namespace varnel {
namespace {

using Rows = std::vector<std::vector<uint8_t>>;
using FeatherFn = void (*)(const Region&, int32_t, Region&);

struct Path {
  std::string name;
  FeatherFn feather;
};

// Every way to feather: the reference, the dispatching entry and each kernel this CPU runs.
std::vector<Path> AllPaths() {
  std::vector<Path> paths = {{"reference", &region_reference::Feather},
                             {"Region::Feather", &Region::Feather},
                             {"scalar", &feather_internal::FeatherScalar}};
  if (GetFastPaths().avx2) paths.push_back({"avx2", &feather_internal::FeatherAvx2});
  return paths;
}

std::vector<Path> FastPaths() {
  std::vector<Path> paths = AllPaths();
  paths.erase(paths.begin());
  return paths;
}

void Make(Region& r, int32_t left, int32_t top, const Rows& rows) {
  ASSERT_EQ(r.Create({left, top, left + int32_t(rows[0].size()) - 1, top + int32_t(rows.size()) - 1}, 0), 0);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) r.Row(int32_t(y))[x] = rows[y][x];
}

Rows Bytes(const Region& r) {
  Rows rows;
  for (int32_t y = 0; y < r.Height(); ++y) rows.emplace_back(r.Row(y), r.Row(y) + r.Width());
  return rows;
}

// d = 3: r = 2, r^2 = 4. Only four cells lie strictly inside the circle:
// (i, j) = (1, 1) q = 2 -> 128, (2, 1) and (1, 2) q = 1 -> 192, (2, 2) q = 0 -> 256; W = 768.
// Destination (x, y) sees the pixel at (0, 0) through cell (1 - x, 1 - y), so
// (-1,-1): (384 + 256*255) / 768 = 85, (0,-1) and (-1,0): (384 + 192*255) / 768 = 64,
// (0,0): (384 + 128*255) / 768 = 43; everything else 384 / 768 = 0.
TEST(RegionFeather, SinglePixelDiameterThree) {
  for (const Path& path : AllPaths()) {
    SCOPED_TRACE(path.name);
    Region source, destination;
    Make(source, 0, 0, {{255}});
    path.feather(source, 3, destination);
    EXPECT_EQ(destination.Bounds(), (Rect{-1, -1, 2, 2}));
    EXPECT_EQ(Bytes(destination), (Rows{{85, 64, 0, 0}, {64, 43, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}));
  }
}

// d = 2: r = 1; only cell (1, 1) has q = 0 < 1 (weight 256, W = 256), so (x, y) copies the
// source byte at (x, y): (128 + 256 s) / 256 = s. The destination starts one pixel up-left.
TEST(RegionFeather, DiameterTwoCopiesWithAZeroBorder) {
  for (const Path& path : AllPaths()) {
    SCOPED_TRACE(path.name);
    Region source, destination;
    Make(source, 5, 7, {{10, 20}, {30, 40}});
    path.feather(source, 2, destination);
    EXPECT_EQ(destination.Bounds(), (Rect{4, 6, 7, 9}));
    EXPECT_EQ(Bytes(destination), (Rows{{0, 0, 0, 0}, {0, 10, 20, 0}, {0, 30, 40, 0}, {0, 0, 0, 0}}));
  }
}

// d = 4: r = 2, r^2 = 4; rows j = 1..3 hold 128 192 128 / 192 256 192 / 128 192 128 in
// columns 1..3, the rest is 0; W = 1536. Destination (x, y) sees (0, 0) through cell
// (2 - x, 2 - y): 128 -> (768 + 32640) / 1536 = 21, 192 -> 32, 256 -> 43.
TEST(RegionFeather, SinglePixelDiameterFour) {
  for (const Path& path : AllPaths()) {
    SCOPED_TRACE(path.name);
    Region source, destination;
    Make(source, 0, 0, {{255}});
    path.feather(source, 4, destination);
    EXPECT_EQ(destination.Bounds(), (Rect{-2, -2, 2, 2}));
    EXPECT_EQ(Bytes(destination), (Rows{{0, 0, 0, 0, 0},
                                        {0, 21, 32, 21, 0},
                                        {0, 32, 43, 32, 0},
                                        {0, 21, 32, 21, 0},
                                        {0, 0, 0, 0, 0}}));
  }
}

// A soft value: d = 3 on a single 100 gives (384 + 256*100) / 768 = 33 (33.83 truncated) at
// (-1, -1) and (384 + 128*100) / 768 = 17 (17.17) at (0, 0): the rounding term is W / 2.
TEST(RegionFeather, SoftByteRounding) {
  for (const Path& path : AllPaths()) {
    SCOPED_TRACE(path.name);
    Region source, destination;
    Make(source, 0, 0, {{100}});
    path.feather(source, 3, destination);
    EXPECT_EQ(destination.At(-1, -1), 33);
    EXPECT_EQ(destination.At(0, -1), (384 + 192 * 100) / 768);
    EXPECT_EQ(destination.At(0, 0), 17);
  }
}

TEST(RegionFeather, DestinationRectangle) {
  for (const Path& path : AllPaths()) {
    SCOPED_TRACE(path.name);
    Region source, destination;
    ASSERT_EQ(source.Create({-5, -3, -2, 4}, 255), 0);
    path.feather(source, 3, destination);  // d / 2 = 1
    EXPECT_EQ(destination.Bounds(), (Rect{-6, -4, 0, 6}));
    EXPECT_EQ(destination.At(-4, 1), 255);  // its window (x..x+1, y..y+1) is solid
    path.feather(source, 4, destination);  // d / 2 = 2
    EXPECT_EQ(destination.Bounds(), (Rect{-7, -5, 0, 6}));
    path.feather(source, 7, destination);  // d / 2 = 3
    EXPECT_EQ(destination.Bounds(), (Rect{-8, -6, 2, 8}));
    // Not trimmed, and the last column and row stay 0 even over a full source.
    for (int32_t y = destination.Top(); y <= destination.Bottom(); ++y) EXPECT_EQ(destination.At(2, y), 0);
    for (int32_t x = destination.Left(); x <= destination.Right(); ++x) EXPECT_EQ(destination.At(x, 8), 0);
  }
}

TEST(RegionFeather, RefusalsLeaveTheDestinationEmpty) {
  for (const Path& path : AllPaths()) {
    SCOPED_TRACE(path.name);
    Region source, destination, empty;
    ASSERT_EQ(source.Create({0, 0, 9, 9}, 200), 0);
    for (const int32_t d : {-3, 0, 1, feather_internal::kMaxDiameter + 1, 1000000}) {
      ASSERT_EQ(destination.Create({1, 1, 3, 3}, 7), 0);
      path.feather(source, d, destination);
      EXPECT_TRUE(destination.IsEmpty()) << d;
      EXPECT_EQ(destination.Width(), 0) << d;
    }
    ASSERT_EQ(destination.Create({1, 1, 3, 3}, 7), 0);
    path.feather(empty, 5, destination);
    EXPECT_TRUE(destination.IsEmpty());
  }
}

TEST(RegionFeather, CoordinatesNearTheInt32EdgeAreRefused) {
  for (const Path& path : AllPaths()) {
    SCOPED_TRACE(path.name);
    Region source, destination;
    const int32_t high = std::numeric_limits<int32_t>::max();
    ASSERT_EQ(source.Create({high - 3, 0, high, 2}, 255), 0);
    ASSERT_EQ(destination.Create({0, 0, 0, 0}, 1), 0);
    path.feather(source, 10, destination);  // right - 5 + 10 overflows
    EXPECT_TRUE(destination.IsEmpty());
  }
}

TEST(RegionFeather, SourceMayBeTheDestination) {
  for (const Path& path : FastPaths()) {
    SCOPED_TRACE(path.name);
    Region region, expected;
    Make(region, -2, 3, {{0, 255, 255}, {90, 255, 0}, {255, 17, 255}});
    region_reference::Feather(region, 5, expected);
    path.feather(region, 5, region);
    EXPECT_EQ(region.Bounds(), expected.Bounds());
    EXPECT_EQ(Bytes(region), Bytes(expected));
  }
}

// Random soft region: rectangles of 0 and 255 over random bytes, or over a solid fill, at a
// random (often negative) place.
void RandomRegion(Region& r, std::mt19937& random, int32_t maxSide) {
  const int32_t w = 1 + int32_t(random() % uint32_t(maxSide)), h = 1 + int32_t(random() % uint32_t(maxSide));
  const int32_t left = int32_t(random() % 200) - 100, top = int32_t(random() % 200) - 100;
  ASSERT_EQ(r.Create({left, top, left + w - 1, top + h - 1}, random() % 2 ? 255 : 0), 0);
  if (random() % 3 != 0) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) r.Row(y)[x] = uint8_t(random());
  }
  const int32_t blocks = int32_t(random() % 6);
  for (int32_t b = 0; b < blocks; ++b) {
    const int32_t x0 = int32_t(random() % uint32_t(w)), y0 = int32_t(random() % uint32_t(h));
    const int32_t x1 = x0 + int32_t(random() % uint32_t(w - x0)), y1 = y0 + int32_t(random() % uint32_t(h - y0));
    const uint8_t value = random() % 2 ? 255 : 0;
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = x0; x <= x1; ++x) r.Row(y)[x] = value;
  }
}

void ExpectSameAsReference(const Region& source, int32_t d) {
  Region expected;
  region_reference::Feather(source, d, expected);
  ASSERT_FALSE(expected.IsEmpty());
  for (const Path& path : FastPaths()) {
    Region actual;
    path.feather(source, d, actual);
    ASSERT_EQ(actual.Bounds(), expected.Bounds()) << path.name << " d " << d;
    for (int32_t y = 0; y < expected.Height(); ++y) {
      for (int32_t x = 0; x < expected.Width(); ++x) {
        ASSERT_EQ(actual.Row(y)[x], expected.Row(y)[x])
            << path.name << " d " << d << " at " << expected.Left() + x << "," << expected.Top() + y;
      }
    }
  }
}

TEST(RegionFeather, FastPathsMatchTheReferenceOnRandomRegions) {
  std::mt19937 random(20240611);
  for (const int32_t d : {2, 3, 4, 5, 6, 7, 8, 15, 16, 17, 31, 32, 33, 64}) {
    for (int32_t round = 0; round < 6; ++round) {
      Region source;
      RandomRegion(source, random, 80);
      ExpectSameAsReference(source, d);
    }
  }
}

TEST(RegionFeather, FastPathsMatchTheReferenceOnLargerRegions) {
  std::mt19937 random(77);
  Region source;
  ASSERT_EQ(source.Create({-40, 13, 259, 212}, 0), 0);  // 300 × 200
  // A solid disc with a noisy soft rim, so that all-0, all-255 and soft windows all occur.
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 300; ++x) {
      const int32_t dx = x - 150, dy = y - 100, q = dx * dx + dy * dy;
      source.Row(y)[x] = q < 60 * 60 ? 255 : q < 80 * 80 ? uint8_t(random()) : 0;
    }
  for (const int32_t d : {5, 32}) ExpectSameAsReference(source, d);
  Region solid;
  ASSERT_EQ(solid.Create({3, -9, 130, 90}, 255), 0);
  ExpectSameAsReference(solid, 16);
}

// Above about d = 500 the totals pass 2^32 and the fast path sums the table in row chunks.
TEST(RegionFeather, WideTotalsMatchTheReference) {
  const int32_t d = 600, r = (d + 1) / 2;
  int64_t total = 0;
  for (int32_t j = 0; j < d; ++j)
    for (int32_t i = 0; i < d; ++i) {
      const int64_t q = int64_t(j - r) * (j - r) + int64_t(i - r) * (i - r);
      if (q <= int64_t(r) * r) total += 256 - q * 256 / (int64_t(r) * r);
    }
  ASSERT_GT(total * 255, int64_t{1} << 32);
  Region source;
  Make(source, -1, 4, {{255, 255, 180}, {255, 0, 255}});
  ExpectSameAsReference(source, d);
}

}  // namespace
}  // namespace varnel
