// Layers, their mask lists and the selection-clipped drawing facade.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/layer.h"
#include "core/layer_mask_list.h"
#include "core/region_clipped_image.h"
#include "core/region.h"
#include "document/region_file.h"

namespace varnel {
namespace {

// ---------------------------------------------------------------------------------------------
// Layer

TEST(LayerTest, StartsWithTheDefaults) {
  Layer layer;
  EXPECT_EQ(layer.OffsetX(), 0);
  EXPECT_EQ(layer.OffsetY(), 0);
  EXPECT_EQ(layer.Name(), "noname");
  EXPECT_EQ(layer.BlendMode(), BlendMode::kNormal);
  EXPECT_TRUE(layer.IsVisible());
  EXPECT_EQ(layer.Opacity(), 100);
  EXPECT_EQ(layer.Reserved(0), 0);
  EXPECT_EQ(layer.Reserved(1), 0);
  EXPECT_EQ(layer.Masks().Count(), 0);
  // The table is built from the start, not only by SetOpacity.
  EXPECT_EQ(layer.OpacityTable()[0], 0);
  EXPECT_EQ(layer.OpacityTable()[128], 128);
  EXPECT_EQ(layer.OpacityTable()[255], 256);
}

TEST(LayerTest, IsOnlyALayer) {
  Layer layer;
  EXPECT_TRUE(layer.IsType("LAYER"));
  EXPECT_FALSE(layer.IsType("IMAGE"));
  EXPECT_FALSE(layer.IsType("layer"));
  EXPECT_FALSE(layer.IsType("LAYERS"));
  EXPECT_FALSE(layer.IsType("LAYE"));
  EXPECT_FALSE(layer.IsType("IMAGEREGION"));
  EXPECT_FALSE(layer.IsType(nullptr));
}

TEST(LayerTest, OpacityAboveOneHundredIsStoredAsOneHundred) {
  Layer layer;
  layer.SetOpacity(40);
  layer.SetOpacity(150);
  EXPECT_EQ(layer.Opacity(), 100);
  EXPECT_EQ(layer.OpacityTable()[253], 253);
  EXPECT_EQ(layer.OpacityTable()[254], 254);
  EXPECT_EQ(layer.OpacityTable()[255], 256);
}

TEST(LayerTest, OpacityTableFollowsTheOpacity) {
  Layer layer;
  layer.SetOpacity(50);
  EXPECT_EQ(layer.Opacity(), 50);
  EXPECT_EQ(layer.OpacityTable()[0], 0);
  EXPECT_EQ(layer.OpacityTable()[1], 0);
  EXPECT_EQ(layer.OpacityTable()[3], 1);
  EXPECT_EQ(layer.OpacityTable()[200], 100);
  EXPECT_EQ(layer.OpacityTable()[255], 127);
  layer.SetOpacity(100);
  EXPECT_EQ(layer.OpacityTable()[255], 256);
}

TEST(LayerTest, NegativeOpacityIsStoredAsZero) {
  Layer layer;
  layer.SetOpacity(-5);
  EXPECT_EQ(layer.Opacity(), 0);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(layer.OpacityTable()[i], 0) << i;
  }
}

TEST(LayerTest, KeepsItsProperties) {
  Layer layer;
  layer.SetOffset(-3, 7);
  layer.SetName("背景");
  layer.SetBlendMode(BlendMode::kOverlay);
  layer.SetVisible(false);
  layer.SetReserved(1, 42);
  EXPECT_EQ(layer.OffsetX(), -3);
  EXPECT_EQ(layer.OffsetY(), 7);
  EXPECT_EQ(layer.Name(), "背景");
  EXPECT_EQ(layer.BlendMode(), BlendMode::kOverlay);
  EXPECT_FALSE(layer.IsVisible());
  EXPECT_EQ(layer.Reserved(0), 0);
  EXPECT_EQ(layer.Reserved(1), 42);
}

// ---------------------------------------------------------------------------------------------
// Masks

// A 4 × 3 region at (10, 20) whose bytes all differ.
void MakeMaskRegion(Region& region, int32_t seed) {
  ASSERT_EQ(region.Create(Rect{10, 20, 13, 22}, 0), 0);
  for (int32_t r = 0; r < region.Height(); ++r) {
    for (int32_t i = 0; i < region.Width(); ++i) {
      region.Row(r)[i] = static_cast<uint8_t>(seed + r * 40 + i * 9);
    }
  }
}

bool SameRegion(const Region& a, const Region& b) {
  if (a.IsEmpty() || b.IsEmpty() || !(a.Bounds() == b.Bounds())) {
    return false;
  }
  for (int32_t r = 0; r < a.Height(); ++r) {
    for (int32_t i = 0; i < a.Width(); ++i) {
      if (a.Row(r)[i] != b.Row(r)[i]) {
        return false;
      }
    }
  }
  return true;
}

bool IsMaskFileName(const std::string& path) {
  return std::filesystem::path(path).filename().string().rfind("lm", 0) == 0;
}

TEST(LayerMaskListTest, AddMaskWritesAFileAndStartsDisabled) {
  Region region;
  MakeMaskRegion(region, 5);
  LayerMaskList masks;
  EXPECT_EQ(masks.AddMask(region), 0);
  EXPECT_EQ(masks.AddMask(region), 1);
  EXPECT_EQ(masks.Count(), 2);
  ASSERT_TRUE(std::filesystem::exists(masks.FilePath(0)));
  EXPECT_TRUE(IsMaskFileName(masks.FilePath(0)));
  EXPECT_EQ(std::filesystem::path(masks.FilePath(0)).parent_path().string(), std::getenv("TMPDIR"));
  EXPECT_NE(masks.FilePath(0), masks.FilePath(1));
  EXPECT_FALSE(masks.IsEnabled(0));
  EXPECT_EQ(masks.EnabledRegion(0), nullptr);
  EXPECT_FALSE(masks.HasEnabledMask());

  Region read;
  EXPECT_EQ(masks.ReadMask(1, read), 0);
  EXPECT_TRUE(SameRegion(read, region));
}

TEST(LayerMaskListTest, AddMaskAnswersMinusOneWhenTheFileCannotBeWritten) {
  const std::string folder = std::getenv("TMPDIR");
  setenv("TMPDIR", (folder + "/missing").c_str(), 1);
  Region region;
  MakeMaskRegion(region, 5);
  LayerMaskList masks;
  EXPECT_EQ(masks.AddMask(region), -1);
  EXPECT_EQ(masks.Count(), 0);
  setenv("TMPDIR", folder.c_str(), 1);
}

TEST(LayerMaskListTest, EnablingLoadsTheRegionAndDisablingDropsIt) {
  Region region;
  MakeMaskRegion(region, 5);
  LayerMaskList masks;
  ASSERT_EQ(masks.AddMask(region), 0);
  masks.SetMaskEnabled(0, true);
  EXPECT_TRUE(masks.IsEnabled(0));
  EXPECT_TRUE(masks.HasEnabledMask());
  ASSERT_NE(masks.EnabledRegion(0), nullptr);
  EXPECT_TRUE(SameRegion(*masks.EnabledRegion(0), region));
  EXPECT_NE(masks.EnabledRegion(0), &region);

  masks.SetMaskEnabled(0, false);
  EXPECT_FALSE(masks.IsEnabled(0));
  EXPECT_FALSE(masks.HasEnabledMask());
  EXPECT_EQ(masks.EnabledRegion(0), nullptr);
  EXPECT_TRUE(std::filesystem::exists(masks.FilePath(0)));
}

TEST(LayerMaskListTest, EnablingLoadsTheRegionFromTheFileAgain) {
  Region region;
  MakeMaskRegion(region, 5);
  LayerMaskList masks;
  ASSERT_EQ(masks.AddMask(region), 0);
  masks.SetMaskEnabled(0, true);
  Region edited;
  MakeMaskRegion(edited, 77);
  edited.Offset(-4, 2);
  ASSERT_EQ(SaveRegionFile(masks.FilePath(0), edited), 0);
  // Already on: turning it on again still reads the file.
  masks.SetMaskEnabled(0, true);
  ASSERT_NE(masks.EnabledRegion(0), nullptr);
  EXPECT_TRUE(SameRegion(*masks.EnabledRegion(0), edited));
  EXPECT_FALSE(SameRegion(*masks.EnabledRegion(0), region));
}

TEST(LayerMaskListTest, AnEnabledMaskWithoutDataStillCountsAsEnabled) {
  Region region;
  MakeMaskRegion(region, 5);
  LayerMaskList masks;
  ASSERT_EQ(masks.AddMask(region), 0);
  // A region file that is only its magic reads without error but holds no region.
  {
    std::FILE* file = std::fopen(masks.FilePath(0).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("VRDB", file);
    std::fclose(file);
  }
  Region read;
  ASSERT_EQ(masks.ReadMask(0, read), 0);
  ASSERT_TRUE(read.IsEmpty());
  masks.SetMaskEnabled(0, true);
  EXPECT_TRUE(masks.IsEnabled(0));
  EXPECT_TRUE(masks.HasEnabledMask());
  EXPECT_EQ(masks.EnabledRegion(0), nullptr);
}

TEST(LayerMaskListTest, AnUnreadableFileGivesNoRegion) {
  Region region;
  MakeMaskRegion(region, 5);
  LayerMaskList masks;
  ASSERT_EQ(masks.AddMask(region), 0);
  masks.SetMaskEnabled(0, true);
  ASSERT_NE(masks.EnabledRegion(0), nullptr);
  {
    std::FILE* file = std::fopen(masks.FilePath(0).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("not a region", file);
    std::fclose(file);
  }
  masks.SetMaskEnabled(0, true);
  EXPECT_TRUE(masks.IsEnabled(0));
  EXPECT_EQ(masks.EnabledRegion(0), nullptr);
  Region read;
  EXPECT_EQ(masks.ReadMask(0, read), -1);
}

TEST(LayerMaskListTest, RemoveMaskDeletesItsFile) {
  Region first, second;
  MakeMaskRegion(first, 5);
  MakeMaskRegion(second, 99);
  LayerMaskList masks;
  ASSERT_EQ(masks.AddMask(first), 0);
  ASSERT_EQ(masks.AddMask(second), 1);
  const std::string path = masks.FilePath(0);
  const std::string kept = masks.FilePath(1);
  masks.RemoveMask(0);
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(masks.Count(), 1);
  EXPECT_EQ(masks.FilePath(0), kept);
  Region read;
  EXPECT_EQ(masks.ReadMask(0, read), 0);
  EXPECT_TRUE(SameRegion(read, second));
}

TEST(LayerMaskListTest, DestructorDeletesEveryFile) {
  Region region;
  MakeMaskRegion(region, 5);
  std::vector<std::string> paths;
  {
    LayerMaskList masks;
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(masks.AddMask(region), i);
      paths.push_back(masks.FilePath(i));
    }
    masks.SetMaskEnabled(1, true);
    for (const std::string& path : paths) {
      ASSERT_TRUE(std::filesystem::exists(path));
    }
  }
  for (const std::string& path : paths) {
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }
}

TEST(LayerMaskListTest, LayerDestructorDeletesItsMaskFiles) {
  Region region;
  MakeMaskRegion(region, 5);
  std::string path;
  {
    Layer layer;
    ASSERT_EQ(layer.Masks().AddMask(region), 0);
    path = layer.Masks().FilePath(0);
    ASSERT_TRUE(std::filesystem::exists(path));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(LayerMaskListTest, ThumbnailShowsGreyAndTheCrossWhileDisabled) {
  // Two pixels side by side: 0 and 200. Scaled into the top 32 × 16: the left half white,
  // the right half grey 55; the bottom half stays white.
  Region region;
  ASSERT_EQ(region.Create(Rect{10, 20, 11, 20}, 0), 0);
  region.Row(0)[1] = 200;
  LayerMaskList masks;
  ASSERT_EQ(masks.AddMask(region), 0);

  const auto at = [](const std::array<uint32_t, 32 * 32>& pixels, int x, int y) { return pixels[y * 32 + x]; };
  const auto disabled = masks.Thumbnail(0);
  EXPECT_EQ(at(disabled, 5, 5), 0xFFFF0000u);
  EXPECT_EQ(at(disabled, 26, 5), 0xFFFF0000u);
  EXPECT_EQ(at(disabled, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(at(disabled, 31, 0), 0xFFFF0000u);
  EXPECT_EQ(at(disabled, 31, 31), 0xFFFF0000u);
  EXPECT_EQ(at(disabled, 0, 31), 0xFFFF0000u);
  EXPECT_EQ(at(disabled, 20, 5), 0xFF373737u);
  EXPECT_EQ(at(disabled, 3, 5), 0xFFFFFFFFu);
  EXPECT_EQ(at(disabled, 20, 25), 0xFFFFFFFFu);

  masks.SetMaskEnabled(0, true);
  const auto enabled = masks.Thumbnail(0);
  EXPECT_EQ(at(enabled, 5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(at(enabled, 26, 5), 0xFF373737u);
  EXPECT_EQ(at(enabled, 20, 5), 0xFF373737u);
  EXPECT_EQ(at(enabled, 15, 15), 0xFFFFFFFFu);
  EXPECT_EQ(at(enabled, 16, 15), 0xFF373737u);
  EXPECT_EQ(at(enabled, 16, 16), 0xFFFFFFFFu);
  EXPECT_EQ(at(enabled, 0, 0), 0xFFFFFFFFu);
  int red = 0;
  for (uint32_t pixel : enabled) {
    red += pixel == 0xFFFF0000u;
  }
  EXPECT_EQ(red, 0);

  masks.SetMaskEnabled(0, false);
  EXPECT_EQ(masks.Thumbnail(0), disabled);
}

TEST(LayerMaskListTest, OutOfRangeIndicesDoNothing) {
  Region region;
  MakeMaskRegion(region, 5);
  LayerMaskList masks;
  ASSERT_EQ(masks.AddMask(region), 0);
  const std::string path = masks.FilePath(0);
  for (int32_t index : {-1, 1, 1000}) {
    masks.SetMaskEnabled(index, true);
    masks.RemoveMask(index);
    EXPECT_FALSE(masks.IsEnabled(index));
    EXPECT_EQ(masks.EnabledRegion(index), nullptr);
    EXPECT_EQ(masks.FilePath(index), "");
    const auto thumbnail = masks.Thumbnail(index);
    for (uint32_t pixel : thumbnail) {
      ASSERT_EQ(pixel, 0u);
    }
    Region read;
    MakeMaskRegion(read, 1);
    EXPECT_EQ(masks.ReadMask(index, read), -1);
  }
  EXPECT_EQ(masks.Count(), 1);
  EXPECT_FALSE(masks.HasEnabledMask());
  EXPECT_TRUE(std::filesystem::exists(path));
}

// ---------------------------------------------------------------------------------------------
// Selection-clipped facade

// Every channel varies and alpha takes 0 and 255 among other values.
uint32_t Pattern(int32_t x, int32_t y, uint32_t salt) {
  const uint32_t v = static_cast<uint32_t>(x * 37 + y * 101) * 2654435761u + salt * 40503u;
  const uint32_t alpha = ((x + y) % 5 == 0) ? 0u : ((x * 3 + y) % 7 == 0 ? 255u : (v >> 24));
  return alpha << 24 | (v & 0x00FFFFFFu);
}

void FillTarget(ImageSurface& surface, uint32_t salt) {
  for (int32_t y = 0; y < surface.Height(); ++y) {
    for (int32_t x = 0; x < surface.Width(); ++x) {
      surface.Row(y)[x] = Pattern(x, y, salt);
    }
  }
}

uint32_t PixelOf(const ImageSurface& surface, int32_t x, int32_t y) {
  uint32_t colour = 0xDEADBEEFu;
  EXPECT_EQ(surface.GetPixel(x, y, &colour), 1);
  return colour;
}

TEST(RegionClippedImageTest, IsOnlyAnImageRegion) {
  RegionClippedImage facade;
  EXPECT_TRUE(facade.IsType("IMAGEREGION"));
  EXPECT_FALSE(facade.IsType("LAYER"));
  EXPECT_FALSE(facade.IsType("IMAGE"));
  EXPECT_FALSE(facade.IsType("IMAGEREGIONS"));
  EXPECT_FALSE(facade.IsType(nullptr));
}

TEST(RegionClippedImageTest, BlendCoveredFollowsTheRule) {
  struct Case {
    uint32_t p, c;
    int32_t m;
    uint32_t expected;
  };
  const Case cases[] = {
      // Opaque black under opaque white at half: 255 × 128 >> 8 = 127.
      {0xFF000000u, 0xFFFFFFFFu, 128, 0xFF7F7F7Fu},
      // Alpha falls: 255 + (−127 × 128 >> 8) = 255 − 64 (floored, not −63).
      {0xFF204060u, 0x80A0C0E0u, 128, 0xBF6080A0u},
      // Over a transparent pixel the colour is c's; alpha 25500 >> 8 = 99.
      {0x00123456u, 0xFF80C040u, 100, 0x6380C040u},
      // Negative differences floor: red 255 + (−16320 >> 8) = 191, alpha 192 − 32 = 160.
      {0xC0FF8040u, 0x4000A0FFu, 64, 0xA0BF886Fu},
      // Coverage 1 moves nothing up, but a negative difference moves down by one.
      {0x80808080u, 0x90909090u, 1, 0x80808080u},
      {0x80808080u, 0x70707070u, 1, 0x7F7F7F7Fu},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegionClippedImage::BlendCovered(c.p, c.c, c.m), c.expected)
        << std::hex << c.p << " " << c.c << " " << std::dec << c.m;
  }
}

TEST(RegionClippedImageTest, SetPixelWeighsByCoverage) {
  struct Case {
    uint8_t coverage;
    uint32_t before, colour, after;
  };
  const Case cases[] = {
      {0, 0xFF204060u, 0x80A0C0E0u, 0xFF204060u},
      {255, 0xFF204060u, 0x80A0C0E0u, 0x80A0C0E0u},
      {255, 0x00000000u, 0x00112233u, 0x00112233u},
      {128, 0xFF000000u, 0xFFFFFFFFu, 0xFF7F7F7Fu},
      {128, 0xFF204060u, 0x80A0C0E0u, 0xBF6080A0u},
      {100, 0x00123456u, 0xFF80C040u, 0x6380C040u},
      {64, 0xC0FF8040u, 0x4000A0FFu, 0xA0BF886Fu},
  };
  for (const Case& c : cases) {
    Layer target;
    ASSERT_EQ(target.Create(Size{4, 4}), 0);
    target.Row(2)[1] = c.before;
    Region region;
    ASSERT_EQ(region.Create(Rect{0, 0, 3, 3}, 0), 0);
    region.Row(2)[1] = c.coverage;
    RegionClippedImage facade;
    facade.Bind(&target, &region, 0, 0);
    EXPECT_EQ(facade.Coverage(1, 2), c.coverage);
    facade.SetPixel(1, 2, c.colour);
    EXPECT_EQ(PixelOf(target, 1, 2), c.after) << "coverage " << int{c.coverage};
    // Nothing else moves.
    EXPECT_EQ(PixelOf(target, 2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(target.SavedTileCount(), c.coverage == 0 ? 0 : 1);
  }
}

TEST(RegionClippedImageTest, SetPixelOutsideTheTargetDoesNothing) {
  Layer target;
  ASSERT_EQ(target.Create(Size{4, 4}), 0);
  Region region;
  ASSERT_EQ(region.Create(Rect{-2, -2, 6, 6}, 128), 0);
  RegionClippedImage facade;
  facade.Bind(&target, &region, 0, 0);
  facade.SetPixel(-1, 1, 0xFF000000u);
  facade.SetPixel(4, 1, 0xFF000000u);
  EXPECT_EQ(target.SavedTileCount(), 0);
  EXPECT_TRUE(target.IsDirtyEmpty());
}

TEST(RegionClippedImageTest, PositionMapsTargetPixelsToCanvasCoverage) {
  // The target layer sits at (10, 5) on the canvas; the selection is in canvas coordinates.
  Layer target;
  ASSERT_EQ(target.Create(Size{8, 8}), 0);
  target.SetOffset(10, 5);
  Region region;
  ASSERT_EQ(region.Create(Rect{12, 7, 14, 9}, 255), 0);
  region.Row(0)[0] = 77;
  RegionClippedImage facade;
  facade.Bind(&target, &region, -target.OffsetX(), -target.OffsetY());
  EXPECT_TRUE(facade.IsBound());
  EXPECT_EQ(facade.Coverage(2, 2), 77);
  EXPECT_EQ(facade.Coverage(4, 4), 255);
  EXPECT_EQ(facade.Coverage(5, 4), 0);
  EXPECT_EQ(facade.Coverage(1, 2), 0);
  EXPECT_EQ(facade.Coverage(12, 7), 0);

  facade.SetPixel(4, 4, 0xFF010203u);
  facade.SetPixel(12, 7, 0xFF010203u);  // canvas coordinates would be wrong here
  facade.SetPixel(1, 1, 0xFF010203u);
  EXPECT_EQ(PixelOf(target, 4, 4), 0xFF010203u);
  EXPECT_EQ(PixelOf(target, 1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(target.DirtyRect(), (Rect{4, 4, 4, 4}));
}

TEST(RegionClippedImageTest, GetPixelAnswersOnlyWhereCovered) {
  Layer target;
  ASSERT_EQ(target.Create(Size{6, 6}), 0);
  FillTarget(target, 1);
  Region region;
  ASSERT_EQ(region.Create(Rect{1, 1, 3, 3}, 0), 0);
  region.Row(1)[1] = 1;
  region.Row(0)[2] = 255;
  RegionClippedImage facade;
  facade.Bind(&target, &region, 0, 0);

  uint32_t colour = 0x12345678u;
  EXPECT_EQ(facade.GetPixel(2, 2, &colour), 1);
  EXPECT_EQ(colour, Pattern(2, 2, 1));
  EXPECT_EQ(facade.GetPixel(3, 1, &colour), 1);
  EXPECT_EQ(colour, Pattern(3, 1, 1));

  colour = 0x12345678u;
  EXPECT_EQ(facade.GetPixel(1, 1, &colour), 0);  // in the rectangle, coverage 0
  EXPECT_EQ(facade.GetPixel(0, 0, &colour), 0);  // outside the region
  EXPECT_EQ(facade.GetPixel(5, 5, &colour), 0);
  EXPECT_EQ(colour, 0x12345678u);
}

TEST(RegionClippedImageTest, SizeRectAndModifiedGoToTheTarget) {
  Layer target;
  ASSERT_EQ(target.Create(Size{5, 3}), 0);
  FillTarget(target, 2);
  Region region;
  ASSERT_EQ(region.Create(Rect{0, 0, 0, 0}, 255), 0);
  RegionClippedImage facade;
  facade.Bind(&target, &region, 0, 0);
  EXPECT_EQ(facade.GetSize(), (Size{5, 3}));

  // GetRect ignores the selection.
  uint32_t buffer[4] = {};
  EXPECT_EQ(facade.GetRect(Rect{4, 2, 3, 1}, buffer), 1);
  EXPECT_EQ(buffer[0], Pattern(3, 1, 2));
  EXPECT_EQ(buffer[1], Pattern(4, 1, 2));
  EXPECT_EQ(buffer[3], Pattern(4, 2, 2));
  EXPECT_EQ(facade.GetRect(Rect{9, 9, 10, 10}, buffer), 0);

  EXPECT_FALSE(target.IsModified());
  facade.SetModified();
  EXPECT_TRUE(target.IsModified());
  EXPECT_FALSE(facade.IsModified());
}

TEST(RegionClippedImageTest, UnboundFacadeDoesNothing) {
  RegionClippedImage facade;
  EXPECT_FALSE(facade.IsBound());
  EXPECT_EQ(facade.Target(), nullptr);
  facade.SetPixel(0, 0, 0xFF000000u);
  facade.SetModified();
  uint32_t colour = 7;
  EXPECT_EQ(facade.GetPixel(0, 0, &colour), 0);
  EXPECT_EQ(colour, 7u);
  EXPECT_EQ(facade.GetSize(), (Size{}));
  uint32_t buffer[4] = {1, 2, 3, 4};
  EXPECT_EQ(facade.GetRect(Rect{0, 0, 1, 1}, buffer), 0);
  EXPECT_EQ(facade.SetRect(Rect{0, 0, 1, 1}, buffer), 0);
  EXPECT_EQ(facade.Coverage(0, 0), 0);
  EXPECT_FALSE(facade.IsModified());

  // A target without a selection draws nothing either.
  Layer target;
  ASSERT_EQ(target.Create(Size{4, 4}), 0);
  facade.Bind(&target, nullptr, 0, 0);
  EXPECT_FALSE(facade.IsBound());
  facade.SetPixel(1, 1, 0xFF000000u);
  EXPECT_EQ(facade.SetRect(Rect{0, 0, 1, 1}, buffer), 0);
  EXPECT_EQ(facade.GetPixel(1, 1, &colour), 0);
  EXPECT_EQ(target.SavedTileCount(), 0);
  EXPECT_EQ(PixelOf(target, 1, 1), 0xFFFFFFFFu);

  Region region;
  ASSERT_EQ(region.Create(Rect{0, 0, 3, 3}, 255), 0);
  facade.Bind(&target, &region, 0, 0);
  facade.Unbind();
  EXPECT_FALSE(facade.IsBound());
  facade.SetPixel(1, 1, 0xFF000000u);
  EXPECT_EQ(PixelOf(target, 1, 1), 0xFFFFFFFFu);
}

// A soft selection with every kind of coverage, placed so that the rect runs past the
// selection and past the target on several sides.
void MakeSoftRegion(Region& region) {
  ASSERT_EQ(region.Create(Rect{-3, 2, 20, 15}, 0), 0);
  for (int32_t r = 0; r < region.Height(); ++r) {
    for (int32_t i = 0; i < region.Width(); ++i) {
      const int32_t k = (i * 29 + r * 53) % 9;
      region.Row(r)[i] = static_cast<uint8_t>(k == 0 ? 0 : k == 1 ? 255 : k * 28 + r);
    }
  }
}

TEST(RegionClippedImageTest, SetRectEqualsSetPixelForEveryPixel) {
  for (const auto& [positionX, positionY] : std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {-4, 3}, {5, -2}}) {
    Layer byRect, byPixel;
    ASSERT_EQ(byRect.Create(Size{40, 20}), 0);
    ASSERT_EQ(byPixel.Create(Size{40, 20}), 0);
    FillTarget(byRect, 3);
    FillTarget(byPixel, 3);
    Region region;
    MakeSoftRegion(region);

    // Corners given swapped: the rect is normalised first.
    const Rect rect{30, 18, -5, -1};
    const int32_t width = 36, height = 20;
    std::vector<uint32_t> buffer(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        buffer[static_cast<size_t>(y) * width + x] = Pattern(x, y, 9);
      }
    }

    RegionClippedImage rectFacade, pixelFacade;
    rectFacade.Bind(&byRect, &region, positionX, positionY);
    pixelFacade.Bind(&byPixel, &region, positionX, positionY);
    EXPECT_EQ(rectFacade.SetRect(rect, buffer.data()), 1);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        pixelFacade.SetPixel(x - 5, y - 1, buffer[static_cast<size_t>(y) * width + x]);
      }
    }

    int32_t changed = 0, blended = 0;
    for (int32_t y = 0; y < 20; ++y) {
      for (int32_t x = 0; x < 40; ++x) {
        const uint32_t got = PixelOf(byRect, x, y);
        ASSERT_EQ(got, PixelOf(byPixel, x, y)) << x << "," << y << " at " << positionX << "," << positionY;
        changed += got != Pattern(x, y, 3);
        const uint8_t m = rectFacade.Coverage(x, y);
        blended += m != 0 && m != 255 && x <= 30 && y <= 18;
        if (m == 0) {
          ASSERT_EQ(got, Pattern(x, y, 3)) << x << "," << y;
        }
      }
    }
    EXPECT_GT(changed, 100);
    EXPECT_GT(blended, 100);
  }
}

TEST(RegionClippedImageTest, SetRectBacksUpTilesAndWidensTheDirtyRect) {
  Layer target;
  ASSERT_EQ(target.Create(Size{64, 40}), 0);
  target.ClearDirty();
  ASSERT_EQ(target.SavedTileCount(), 0);
  Region region;
  ASSERT_EQ(region.Create(Rect{20, 10, 40, 30}, 200), 0);
  RegionClippedImage facade;
  // Region pixel (x, y) is target pixel (x − 10, y + 2): the selection covers 10…30 × 12…32.
  facade.Bind(&target, &region, -10, 2);

  const Rect rect{0, 0, 19, 15};
  std::vector<uint32_t> buffer(20 * 16, 0xFF000000u);
  EXPECT_EQ(facade.SetRect(rect, buffer.data()), 1);
  // The cut: x 10…19, y 12…15, tiles (0, 0) and (1, 0).
  EXPECT_EQ(target.DirtyRect(), (Rect{10, 12, 19, 15}));
  EXPECT_EQ(target.SavedTileCount(), 2);
  EXPECT_TRUE(target.TileHasBackup(0, 0));
  EXPECT_TRUE(target.TileHasBackup(1, 0));
  // White under black at 200: 255 + (−255 × 200 >> 8) = 55.
  EXPECT_EQ(PixelOf(target, 10, 12), 0xFF373737u);
  EXPECT_EQ(PixelOf(target, 19, 15), 0xFF373737u);
  EXPECT_EQ(PixelOf(target, 9, 12), 0xFFFFFFFFu);
  EXPECT_EQ(PixelOf(target, 10, 11), 0xFFFFFFFFu);

  // The backups hold the pixels from before: reverting restores white.
  target.RevertUncommitted();
  EXPECT_EQ(PixelOf(target, 10, 12), 0xFFFFFFFFu);
}

TEST(RegionClippedImageTest, SetRectAwayFromTheSelectionChangesNothing) {
  Layer target;
  ASSERT_EQ(target.Create(Size{32, 32}), 0);
  target.ClearDirty();
  Region region;
  ASSERT_EQ(region.Create(Rect{20, 20, 25, 25}, 255), 0);
  RegionClippedImage facade;
  facade.Bind(&target, &region, 0, 0);
  std::vector<uint32_t> buffer(10 * 10, 0xFF000000u);
  EXPECT_EQ(facade.SetRect(Rect{0, 0, 9, 9}, buffer.data()), 0);
  // Within the selection but outside the target.
  EXPECT_EQ(facade.SetRect(Rect{-20, 20, -11, 29}, buffer.data()), 0);
  facade.Bind(&target, &region, 30, 0);
  EXPECT_EQ(facade.SetRect(Rect{50, 20, 59, 29}, buffer.data()), 0);
  EXPECT_EQ(target.SavedTileCount(), 0);
  EXPECT_TRUE(target.IsDirtyEmpty());
  EXPECT_EQ(facade.SetRect(Rect{0, 0, 9, 9}, nullptr), 0);
}

TEST(RegionClippedImageTest, SetRectWithFullCoverageCopiesTheBuffer) {
  Layer target;
  ASSERT_EQ(target.Create(Size{8, 8}), 0);
  FillTarget(target, 4);
  Region region;
  ASSERT_EQ(region.Create(Rect{2, 2, 5, 5}, 255), 0);
  RegionClippedImage facade;
  facade.Bind(&target, &region, 0, 0);
  std::vector<uint32_t> buffer(8 * 8);
  for (int32_t i = 0; i < 64; ++i) {
    buffer[static_cast<size_t>(i)] = Pattern(i % 8, i / 8, 5);
  }
  EXPECT_EQ(facade.SetRect(Rect{0, 0, 7, 7}, buffer.data()), 1);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
      EXPECT_EQ(PixelOf(target, x, y), inside ? Pattern(x, y, 5) : Pattern(x, y, 4)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace varnel
