// Copying rectangles in and out of a surface: clipping on every side, the buffer pitch,
// the backups and dirt a SetRect leaves, and copying between surfaces.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/core.h"
#include "tests/core/surface_test_support.h"

namespace varnel {
namespace {

using testing::PatternAt;

constexpr uint32_t kSentinel = 0xA5A5A5A5u;
constexpr Size kImage{40, 24};  // 3 x 2 tiles, the last column and row partial

struct RectCase {
  const char* name;
  Rect rect;
  int32_t answer;
  int32_t tiles;  // tiles a SetRect of this rect backs up
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RectCase& c, std::ostream* os) { *os << c.name; }

bool Inside(int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < kImage.width && y < kImage.height;
}

uint32_t BufferValue(int32_t i, int32_t j) {
  return 0x40000000u | (static_cast<uint32_t>(j) << 12) | static_cast<uint32_t>(i);
}

class SurfaceRect : public ::testing::TestWithParam<RectCase> {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_surface.Create(kImage), 0);
    testing::FillPattern(m_surface);
  }
  ImageSurface m_surface;
};

TEST_P(SurfaceRect, GetRectCopiesOnlyThePartInsideTheImageToItsPlaceInTheBuffer) {
  const RectCase& c = GetParam();
  const Rect n = c.rect.Normalized();
  const int32_t pitch = n.right - n.left + 1;
  const int32_t rows = n.bottom - n.top + 1;
  std::vector<uint32_t> buffer(static_cast<size_t>(pitch) * rows, kSentinel);
  EXPECT_EQ(m_surface.GetRect(c.rect, buffer.data()), c.answer);
  for (int32_t j = 0; j < rows; ++j) {
    for (int32_t i = 0; i < pitch; ++i) {
      const int32_t x = n.left + i;
      const int32_t y = n.top + j;
      const uint32_t expected = Inside(x, y) ? PatternAt(x, y) : kSentinel;
      ASSERT_EQ(buffer[static_cast<size_t>(j) * pitch + i], expected) << "at " << x << "," << y;
    }
  }
  // Reading changes nothing.
  EXPECT_EQ(m_surface.SavedTileCount(), 0);
  EXPECT_TRUE(m_surface.IsDirtyEmpty());
}

TEST_P(SurfaceRect, SetRectWritesOnlyThePartInsideTheImageFromItsPlaceInTheBuffer) {
  const RectCase& c = GetParam();
  const Rect n = c.rect.Normalized();
  const int32_t pitch = n.right - n.left + 1;
  const int32_t rows = n.bottom - n.top + 1;
  std::vector<uint32_t> buffer(static_cast<size_t>(pitch) * rows);
  for (int32_t j = 0; j < rows; ++j) {
    for (int32_t i = 0; i < pitch; ++i) {
      buffer[static_cast<size_t>(j) * pitch + i] = BufferValue(i, j);
    }
  }
  EXPECT_EQ(m_surface.SetRect(c.rect, buffer.data()), c.answer);
  for (int32_t y = 0; y < kImage.height; ++y) {
    for (int32_t x = 0; x < kImage.width; ++x) {
      const bool written = x >= n.left && x <= n.right && y >= n.top && y <= n.bottom;
      const uint32_t expected = written ? BufferValue(x - n.left, y - n.top) : PatternAt(x, y);
      ASSERT_EQ(testing::PixelAt(m_surface, x, y), expected) << "at " << x << "," << y;
    }
  }
}

TEST_P(SurfaceRect, SetRectDirtiesTheClippedRectAndSavesEachTouchedTileOnceWithItsOldPixels) {
  const RectCase& c = GetParam();
  const Rect n = c.rect.Normalized();
  const size_t cells = static_cast<size_t>(n.right - n.left + 1) * (n.bottom - n.top + 1);
  const std::vector<uint32_t> buffer(cells, 0x01010101u);
  m_surface.SetRect(c.rect, buffer.data());
  if (c.answer == 0) {
    EXPECT_TRUE(m_surface.IsDirtyEmpty());
  } else {
    const Rect clipped{std::max(n.left, 0), std::max(n.top, 0),
                       std::min(n.right, kImage.width - 1), std::min(n.bottom, kImage.height - 1)};
    EXPECT_EQ(m_surface.DirtyRect(), clipped);
  }
  ASSERT_EQ(m_surface.SavedTileCount(), c.tiles);
  for (int i = 0; i < c.tiles; ++i) {
    const TileBackup* tile = m_surface.SavedTile(i);
    ASSERT_NE(tile, nullptr);
    EXPECT_TRUE(m_surface.TileHasBackup(tile->column, tile->row));
    for (int32_t j = 0; j < 16; ++j) {
      for (int32_t k = 0; k < 16; ++k) {
        const int32_t x = tile->column * 16 + k;
        const int32_t y = tile->row * 16 + j;
        if (Inside(x, y)) {
          ASSERT_EQ(tile->pixels[j * 16 + k], PatternAt(x, y)) << "at " << x << "," << y;
        }
      }
    }
  }
  // A second identical SetRect takes no further backups.
  m_surface.SetRect(c.rect, buffer.data());
  EXPECT_EQ(m_surface.SavedTileCount(), c.tiles);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, SurfaceRect,
    ::testing::Values(
        RectCase{"InsideOneTile", {2, 1, 5, 3}, 1, 1},
        RectCase{"InsideAcrossFourTiles", {10, 12, 20, 18}, 1, 4},
        RectCase{"ClippedOnTheLeft", {-3, 1, 2, 2}, 1, 1},
        RectCase{"ClippedAtTheTop", {17, -2, 19, 1}, 1, 1},
        RectCase{"ClippedOnTheRight", {36, 0, 44, 2}, 1, 1},
        RectCase{"ClippedAtTheBottom", {0, 20, 3, 29}, 1, 1},
        RectCase{"ClippedOnAllSides", {-2, -3, 41, 26}, 1, 6},
        RectCase{"WhollyLeftOfTheImage", {-5, 0, -1, 3}, 0, 0},
        RectCase{"WhollyRightOfTheImage", {40, 0, 45, 2}, 0, 0},
        RectCase{"WhollyAboveTheImage", {0, -4, 3, -1}, 0, 0},
        RectCase{"WhollyBelowTheImage", {0, 24, 3, 30}, 0, 0},
        RectCase{"WithReversedCorners", {20, 18, 10, 12}, 1, 4},
        RectCase{"ReversedAndClippedBottomRight", {41, 26, 30, 20}, 1, 2},
        RectCase{"OnTheLastPixel", {39, 23, 39, 23}, 1, 1}),
    [](const ::testing::TestParamInfo<RectCase>& info) { return std::string(info.param.name); });

struct HugeCase {
  const char* name;
  Rect rect;
  int32_t answer;
  size_t count;  // buffer cells written, from the first
  bool row;  // the written cells run along image row 0 (else down column 0)
};

void PrintTo(const HugeCase& c, std::ostream* os) { *os << c.name; }

class SurfaceHugeRect : public ::testing::TestWithParam<HugeCase> {};

TEST_P(SurfaceHugeRect, HandlesCoordinatesNearTheIntLimitsWithoutOverflow) {
  const HugeCase& c = GetParam();
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{4, 3}), 0);
  testing::FillPattern(surface);
  std::vector<uint32_t> buffer(8, kSentinel);
  EXPECT_EQ(surface.GetRect(c.rect, buffer.data()), c.answer);
  for (size_t i = 0; i < buffer.size(); ++i) {
    const bool written = i < c.count;
    const uint32_t expected = !written ? kSentinel
                              : c.row  ? PatternAt(static_cast<int32_t>(i), 0)
                                       : PatternAt(0, static_cast<int32_t>(i));
    EXPECT_EQ(buffer[i], expected) << "cell " << i;
  }
  std::vector<uint32_t> source(8);
  for (size_t i = 0; i < source.size(); ++i) {
    source[i] = 0x70000000u + static_cast<uint32_t>(i);
  }
  EXPECT_EQ(surface.SetRect(c.rect, source.data()), c.answer);
  for (size_t i = 0; i < c.count; ++i) {
    const int32_t x = c.row ? static_cast<int32_t>(i) : 0;
    const int32_t y = c.row ? 0 : static_cast<int32_t>(i);
    EXPECT_EQ(testing::PixelAt(surface, x, y), source[i]);
  }
  EXPECT_EQ(testing::PixelAt(surface, 1, 1), PatternAt(1, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Rects, SurfaceHugeRect,
    ::testing::Values(
        HugeCase{"ARowReachingToIntMax", {0, 0, INT32_MAX, 0}, 1, 4, true},
        HugeCase{"ARowReachingToIntMaxReversed", {INT32_MAX, 0, 0, 0}, 1, 4, true},
        HugeCase{"AColumnReachingToIntMax", {0, 0, 0, INT32_MAX}, 1, 3, false},
        HugeCase{"EverythingLeftOfTheImage", {INT32_MIN, INT32_MIN, -1, INT32_MAX}, 0, 0, true},
        HugeCase{"EverythingRightOfTheImage", {4, INT32_MIN, INT32_MAX, INT32_MAX}, 0, 0, true},
        HugeCase{"EverythingBelowTheImage", {INT32_MIN, 3, INT32_MAX, INT32_MAX}, 0, 0, true}),
    [](const ::testing::TestParamInfo<HugeCase>& info) { return std::string(info.param.name); });

TEST(SurfaceRectBuffer, ANullBufferIsRefused) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{4, 4}), 0);
  EXPECT_EQ(surface.GetRect(Rect{0, 0, 1, 1}, nullptr), 0);
  EXPECT_EQ(surface.SetRect(Rect{0, 0, 1, 1}, nullptr), 0);
  EXPECT_EQ(surface.SavedTileCount(), 0);
}

struct CopyCase {
  const char* name;
  Rect rect;
  Rect copied;  // the image area expected to come from the other surface; empty: none
  bool any;
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class SurfaceCopyFrom : public ::testing::TestWithParam<CopyCase> {};

TEST_P(SurfaceCopyFrom, CopiesTheRectLimitedToBothSurfacesWithoutBackupsOrDirt) {
  const CopyCase& c = GetParam();
  ImageSurface target;
  ImageSurface other;
  ASSERT_EQ(target.Create(Size{10, 8}), 0);
  ASSERT_EQ(other.Create(Size{6, 12}), 0);
  testing::FillPattern(target);
  for (int32_t y = 0; y < 12; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      other.Row(y)[x] = ~PatternAt(x, y);
    }
  }
  target.CopyFrom(other, c.rect);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 10; ++x) {
      const bool copied = c.any && x >= c.copied.left && x <= c.copied.right &&
                          y >= c.copied.top && y <= c.copied.bottom;
      ASSERT_EQ(testing::PixelAt(target, x, y), copied ? ~PatternAt(x, y) : PatternAt(x, y))
          << "at " << x << "," << y;
    }
  }
  EXPECT_EQ(target.SavedTileCount(), 0);
  EXPECT_TRUE(target.IsDirtyEmpty());
  EXPECT_EQ(target.DirtyRect(), (Rect{10, 8, -1, -1}));
}

INSTANTIATE_TEST_SUITE_P(
    Rects, SurfaceCopyFrom,
    ::testing::Values(
        CopyCase{"InsideBoth", {2, 3, 4, 5}, {2, 3, 4, 5}, true},
        CopyCase{"ClampedToTheNarrowerAndTheShorterSurface", {-3, -2, 20, 20}, {0, 0, 5, 7}, true},
        CopyCase{"WithReversedCorners", {4, 5, 2, 3}, {2, 3, 4, 5}, true},
        CopyCase{"BeyondTheNarrowerSurface", {6, 0, 9, 7}, {}, false},
        CopyCase{"AboveBothSurfaces", {0, -5, 5, -1}, {}, false}),
    [](const ::testing::TestParamInfo<CopyCase>& info) { return std::string(info.param.name); });

TEST(SurfaceCopyFromEmpty, CopyingFromOrIntoAnEmptySurfaceDoesNothing) {
  ImageSurface target;
  ImageSurface empty;
  ASSERT_EQ(target.Create(Size{4, 4}), 0);
  const std::vector<uint8_t> before = testing::Snapshot(target);
  target.CopyFrom(empty, Rect{0, 0, 3, 3});
  EXPECT_EQ(testing::Snapshot(target), before);
  empty.CopyFrom(target, Rect{0, 0, 3, 3});
  EXPECT_EQ(empty.GetSize(), (Size{0, 0}));
}

}  // namespace
}  // namespace varnel
