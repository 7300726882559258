// Creating a surface: size checks, the white fill, the tile map, the bottom-up row table
// and the descriptor plug-ins see.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/core.h"
#include "memwell/memwell.h"
#include "tests/core/surface_test_support.h"

namespace varnel {
namespace {

using testing::PatternAt;

struct TileCase {
  const char* name;
  Size size;
  int32_t across;
  int32_t down;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TileCase& c, std::ostream* os) { *os << c.name; }

class SurfaceTiles : public ::testing::TestWithParam<TileCase> {};

TEST_P(SurfaceTiles, CoverTheImageInSixteenPixelSquares) {
  const TileCase& c = GetParam();
  ImageSurface surface;
  ASSERT_EQ(surface.Create(c.size), 0);
  const ImageDescriptor* head = surface.Descriptor();
  EXPECT_EQ(head->tilesAcross, c.across);
  EXPECT_EQ(head->tilesDown, c.down);
  EXPECT_EQ(head->savedTileCount, 0);
  EXPECT_FALSE(testing::AnyTileFlagSet(surface));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SurfaceTiles,
    ::testing::Values(TileCase{"OneByOneHasOneTile", {1, 1}, 1, 1},
                      TileCase{"SixteenBySixteenHasOneTile", {16, 16}, 1, 1},
                      TileCase{"SeventeenBySixteenHasTwoTilesAcross", {17, 16}, 2, 1},
                      TileCase{"SixteenBySeventeenHasTwoTilesDown", {16, 17}, 1, 2},
                      TileCase{"ThirtyThreeBySeventeenHasThreeByTwo", {33, 17}, 3, 2},
                      TileCase{"ThirtyTwoSquareHasTwoByTwo", {32, 32}, 2, 2}),
    [](const ::testing::TestParamInfo<TileCase>& info) { return std::string(info.param.name); });

struct SizeCase {
  const char* name;
  Size size;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class SurfaceCreate : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SurfaceCreate, FillsEveryPixelWithOpaqueWhiteAndLeavesNothingDirty) {
  const Size size = GetParam().size;
  ImageSurface surface;
  ASSERT_EQ(surface.Create(size), 0);
  EXPECT_EQ(surface.GetSize(), size);
  EXPECT_EQ(surface.Stride(), size.width * 4);
  for (int32_t y = 0; y < size.height; ++y) {
    for (int32_t x = 0; x < size.width; ++x) {
      uint32_t colour = 0;
      ASSERT_EQ(surface.GetPixel(x, y, &colour), 1);
      ASSERT_EQ(colour, 0xFFFFFFFFu) << x << "," << y;
    }
  }
  EXPECT_EQ(surface.DirtyRect(), (Rect{size.width, size.height, -1, -1}));
  EXPECT_TRUE(surface.IsDirtyEmpty());
  EXPECT_FALSE(surface.IsModified());
}

TEST_P(SurfaceCreate, FillsTheBitmapHeaderAsA32BitImage) {
  const Size size = GetParam().size;
  ImageSurface surface;
  ASSERT_EQ(surface.Create(size), 0);
  const VarnelBitmapInfoHeader& header = surface.Descriptor()->header;
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, size.width);
  EXPECT_EQ(header.biHeight, size.height);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 32);
  EXPECT_EQ(header.biCompression, 0u);
  EXPECT_EQ(header.biSizeImage, 0u);
  EXPECT_EQ(header.biXPelsPerMeter, 0);
  EXPECT_EQ(header.biYPelsPerMeter, 0);
  EXPECT_EQ(header.biClrUsed, 0u);
  EXPECT_EQ(header.biClrImportant, 0u);
  EXPECT_NE(surface.Descriptor()->bitmap, nullptr);
}

TEST_P(SurfaceCreate, StoresRowsBottomUpWithTheRowTableCountingFromTheTop) {
  const Size size = GetParam().size;
  ImageSurface surface;
  ASSERT_EQ(surface.Create(size), 0);
  const ImageDescriptor* head = surface.Descriptor();
  EXPECT_EQ(reinterpret_cast<uint8_t*>(surface.Row(0)),
            surface.Bits() + static_cast<size_t>(size.height - 1) * surface.Stride());
  EXPECT_EQ(reinterpret_cast<uint8_t*>(surface.Row(size.height - 1)), surface.Bits());
  EXPECT_EQ(head->bits, surface.Bits());
  for (int32_t y = 0; y < size.height; ++y) {
    EXPECT_EQ(head->rows[y], surface.Bits() + static_cast<size_t>(size.height - 1 - y) * surface.Stride());
    EXPECT_EQ(reinterpret_cast<uint8_t*>(surface.Row(y)), head->rows[y]);
  }
  EXPECT_EQ(surface.Row(-1), nullptr);
  EXPECT_EQ(surface.Row(size.height), nullptr);
}

TEST_P(SurfaceCreate, ShowsPlugInsTheSurfaceThroughItsDescriptor) {
  const Size size = GetParam().size;
  ImageSurface surface;
  ASSERT_EQ(surface.Create(size), 0);
  ImageDescriptor* desc = surface.Descriptor();
  EXPECT_EQ(desc->header.biWidth, surface.Width());
  EXPECT_EQ(desc->header.biHeight, surface.Height());
  EXPECT_EQ(desc->stride, surface.Stride());
  EXPECT_EQ(desc->tilesAcross, (size.width - 1) / 16 + 1);
  EXPECT_EQ(desc->tilesDown, (size.height - 1) / 16 + 1);
  EXPECT_EQ(desc->bits, surface.Bits());
  EXPECT_EQ(desc->rows[0], reinterpret_cast<uint8_t*>(surface.Row(0)));
  // A plug-in writes through the row table; the surface sees it.
  const int32_t x = size.width - 1;
  const int32_t y = size.height / 2;
  reinterpret_cast<uint32_t*>(desc->rows[y])[x] = 0x12345678u;
  EXPECT_EQ(testing::PixelAt(surface, x, y), 0x12345678u);
  // And pixel bytes are B, G, R, A.
  const uint8_t* bytes = desc->rows[y] + x * 4;
  EXPECT_EQ(bytes[0], 0x78);
  EXPECT_EQ(bytes[3], 0x12);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SurfaceCreate,
    ::testing::Values(SizeCase{"OnePixel", {1, 1}}, SizeCase{"OneTile", {16, 16}},
                      SizeCase{"WideStrip", {37, 3}}, SizeCase{"TallStrip", {2, 41}},
                      SizeCase{"UnevenTiles", {33, 17}}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

void ExpectEmpty(ImageSurface& surface) {
  EXPECT_EQ(surface.GetSize(), (Size{0, 0}));
  EXPECT_EQ(surface.Descriptor()->bitmap, nullptr);
  EXPECT_EQ(surface.Bits(), nullptr);
  EXPECT_EQ(surface.Descriptor()->rows, nullptr);
  EXPECT_EQ(surface.Row(0), nullptr);
  uint32_t buffer[4] = {1, 2, 3, 4};
  EXPECT_EQ(surface.GetRect(Rect{0, 0, 1, 1}, buffer), 0);
  EXPECT_EQ(surface.SetRect(Rect{0, 0, 1, 1}, buffer), 0);
  EXPECT_EQ(buffer[0], 1u);
  uint32_t colour = 7;
  EXPECT_EQ(surface.GetPixel(0, 0, &colour), 0);
  EXPECT_EQ(colour, 7u);
  surface.SetPixel(0, 0, 0);
  EXPECT_EQ(surface.SavedTileCount(), 0);
  EXPECT_TRUE(surface.IsDirtyEmpty());
}

class SurfaceCreateRefused : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SurfaceCreateRefused, AnswersMinusOneAndLeavesTheSurfaceEmpty) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{4, 4}), 0);
  surface.SetPixel(1, 1, 0);  // a saved tile that the failed Create must release
  ASSERT_EQ(surface.SavedTileCount(), 1);
  EXPECT_EQ(surface.Create(GetParam().size), -1);
  ExpectEmpty(surface);
  EXPECT_EQ(surface.SavedTileCount(), 0);
  // Still usable afterwards.
  EXPECT_EQ(surface.Create(Size{3, 2}), 0);
  EXPECT_EQ(surface.GetSize(), (Size{3, 2}));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SurfaceCreateRefused,
    ::testing::Values(SizeCase{"ZeroWidth", {0, 10}}, SizeCase{"ZeroHeight", {10, 0}},
                      SizeCase{"NegativeWidth", {-1, 5}}, SizeCase{"NegativeHeight", {5, -3}},
                      SizeCase{"MostNegative", {INT32_MIN, INT32_MIN}},
                      SizeCase{"ExactlyTwoGigabytes", {16384, 32768}},
                      SizeCase{"OneColumnTwoGigabytes", {1, 0x20000000}},
                      SizeCase{"ProductOverflowsThirtyTwoBits", {46341, 46341}},
                      SizeCase{"WidestRow", {INT32_MAX, 1}},
                      SizeCase{"LargestBoth", {INT32_MAX, INT32_MAX}}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST(SurfaceCreateState, ANewSurfaceIsEmpty) {
  ImageSurface surface;
  ExpectEmpty(surface);
  EXPECT_EQ(surface.DirtyRect(), (Rect{0, 0, -1, -1}));
}

TEST(SurfaceCreateState, CreatingAgainReleasesSavedTilesAndStartsWhite) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{20, 20}), 0);
  surface.SetPixel(0, 0, 0x11223344u);
  surface.SetPixel(19, 19, 0x11223344u);
  ASSERT_EQ(surface.SavedTileCount(), 2);
  const void* firstSaved = surface.SavedTile(0);
  const void* secondSaved = surface.SavedTile(1);
  ASSERT_EQ(surface.Create(Size{5, 6}), 0);
  EXPECT_EQ(surface.SavedTileCount(), 0);
  EXPECT_FALSE(testing::AnyTileFlagSet(surface));
  EXPECT_EQ(testing::PixelAt(surface, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(surface.DirtyRect(), (Rect{5, 6, -1, -1}));
  // The blocks went back to Memwell in the order they were saved; it hands them out
  // last-in first-out.
  void* one = FXAlloc();
  void* two = FXAlloc();
  EXPECT_EQ(one, secondSaved);
  EXPECT_EQ(two, firstSaved);
  FXFree(two);
  FXFree(one);
}

struct AlphaCase {
  const char* name;
  uint8_t alpha;
};

void PrintTo(const AlphaCase& c, std::ostream* os) { *os << c.name; }

class SurfaceCreateWithAlpha : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(SurfaceCreateWithAlpha, SetsEveryAlphaByteAndKeepsTheColourWhite) {
  const uint8_t alpha = GetParam().alpha;
  ImageSurface surface;
  ASSERT_EQ(surface.CreateWithAlpha(Size{19, 7}, alpha), 0);
  const uint32_t expected = (static_cast<uint32_t>(alpha) << 24) | 0x00FFFFFFu;
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 19; ++x) {
      ASSERT_EQ(testing::PixelAt(surface, x, y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(surface.SavedTileCount(), 0);
  EXPECT_TRUE(surface.IsDirtyEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Alphas, SurfaceCreateWithAlpha,
    ::testing::Values(AlphaCase{"Transparent", 0}, AlphaCase{"Half", 128},
                      AlphaCase{"Opaque", 255}),
    [](const ::testing::TestParamInfo<AlphaCase>& info) { return std::string(info.param.name); });

TEST(SurfaceCreateWithAlphaRefused, AnswersMinusOneForABadSize) {
  ImageSurface surface;
  EXPECT_EQ(surface.CreateWithAlpha(Size{0, 3}, 0), -1);
  ExpectEmpty(surface);
}

struct TypeCase {
  const char* tag;
  bool expected;
  const char* name;
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }

class SurfaceType : public ::testing::TestWithParam<TypeCase> {};

TEST_P(SurfaceType, AnswersOnlyToImage) {
  ImageSurface surface;
  EXPECT_EQ(surface.IsType(GetParam().tag), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, SurfaceType,
    ::testing::Values(TypeCase{"IMAGE", true, "ImageIsAccepted"},
                      TypeCase{"LAYER", false, "LayerIsRefused"},
                      TypeCase{"IMAG", false, "APrefixIsRefused"},
                      TypeCase{"IMAGES", false, "ALongerTagIsRefused"},
                      TypeCase{"image", false, "LowerCaseIsRefused"},
                      TypeCase{"", false, "EmptyIsRefused"},
                      TypeCase{nullptr, false, "NullIsRefused"}),
    [](const ::testing::TestParamInfo<TypeCase>& info) { return std::string(info.param.name); });

TEST(SurfaceModified, SetModifiedRaisesTheModifiedByte) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{2, 2}), 0);
  EXPECT_FALSE(surface.IsModified());
  surface.SetModified();
  EXPECT_TRUE(surface.IsModified());
  EXPECT_EQ(surface.Descriptor()->modified, 1);
}

TEST(SurfacePixels, GetPixelAnswersZeroOutsideAndOneInside) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{3, 2}), 0);
  testing::FillPattern(surface);
  uint32_t colour = 0;
  EXPECT_EQ(surface.GetPixel(2, 1, &colour), 1);
  EXPECT_EQ(colour, PatternAt(2, 1));
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {0, -1}, {3, 0}, {0, 2}}) {
    colour = 99;
    EXPECT_EQ(surface.GetPixel(x, y, &colour), 0);
    EXPECT_EQ(colour, 99u);
  }
}

TEST(SurfacePixels, SetPixelOutsideIsIgnored) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{3, 2}), 0);
  const std::vector<uint8_t> before = testing::Snapshot(surface);
  surface.SetPixel(-1, 0, 0);
  surface.SetPixel(3, 0, 0);
  surface.SetPixel(0, -1, 0);
  surface.SetPixel(0, 2, 0);
  EXPECT_EQ(testing::Snapshot(surface), before);
  EXPECT_EQ(surface.SavedTileCount(), 0);
  EXPECT_TRUE(surface.IsDirtyEmpty());
}

TEST(SurfacePixels, SetPixelStoresAndWidensTheDirtyRect) {
  ImageSurface surface;
  ASSERT_EQ(surface.Create(Size{30, 20}), 0);
  surface.SetPixel(4, 7, 0xAABBCCDDu);
  EXPECT_EQ(testing::PixelAt(surface, 4, 7), 0xAABBCCDDu);
  EXPECT_EQ(surface.DirtyRect(), (Rect{4, 7, 4, 7}));
  surface.SetPixel(25, 2, 0x01020304u);
  EXPECT_EQ(surface.DirtyRect(), (Rect{4, 2, 25, 7}));
}

}  // namespace
}  // namespace varnel
