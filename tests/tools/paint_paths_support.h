#pragma once
// Two ways a painter reaches a layer: its rows directly, or through a selection facade that
// covers the whole layer. Both must leave the same pixels, the same tile backups holding the
// old pixels, and the same dirty rectangle.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <utility>

#include "core/layer.h"
#include "core/region.h"
#include "core/region_clipped_image.h"
#include "memwell/memwell.h"

namespace varnel::paint_paths {

// A colour of its own for every pixel, alpha included.
inline uint32_t Old(int32_t x, int32_t y) {
  return static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u ^ 0x5A000000u;
}

struct TwoPaths {
  Layer plain, behind;
  Region all;
  RegionClippedImage facade;

  explicit TwoPaths(Size size) {
    // The backups' blocks; a pool made earlier stays.
    FXCreateMemBlock(static_cast<int32_t>(sizeof(TileBackup)));
    for (Layer* layer : {&plain, &behind}) {
      EXPECT_EQ(layer->Create(size), 0);
      for (int32_t y = 0; y < size.height; ++y)
        for (int32_t x = 0; x < size.width; ++x) layer->Row(y)[x] = Old(x, y);
    }
    EXPECT_EQ(all.Create({0, 0, size.width - 1, size.height - 1}, 255), 0);
    facade.Bind(&behind, &all, 0, 0);
  }

  // Saved tiles by place; fails when a place is saved twice or a backup is not the old pixels.
  static std::map<std::pair<int32_t, int32_t>, const TileBackup*> Backups(const Layer& layer) {
    std::map<std::pair<int32_t, int32_t>, const TileBackup*> tiles;
    for (int i = 0; i < layer.SavedTileCount(); ++i) {
      const TileBackup* tile = layer.SavedTile(i);
      EXPECT_TRUE(tiles.emplace(std::pair{tile->column, tile->row}, tile).second) << tile->column << "," << tile->row;
      for (int32_t j = 0; j < 16; ++j)
        for (int32_t k = 0; k < 16; ++k) {
          const int32_t x = tile->column * 16 + k, y = tile->row * 16 + j;
          if (x < layer.Width() && y < layer.Height()) {
            EXPECT_EQ(tile->pixels[j * 16 + k], Old(x, y)) << x << "," << y;
          }
        }
    }
    return tiles;
  }

  void ExpectSame() const {
    for (int32_t y = 0; y < plain.Height(); ++y)
      for (int32_t x = 0; x < plain.Width(); ++x)
        ASSERT_EQ(plain.Row(y)[x], behind.Row(y)[x]) << x << "," << y;
    const auto direct = Backups(plain), through = Backups(behind);
    EXPECT_FALSE(through.empty());
    EXPECT_EQ(direct.size(), through.size());
    for (const auto& [place, tile] : through) EXPECT_TRUE(direct.contains(place)) << place.first << "," << place.second;
    EXPECT_EQ(plain.DirtyRect(), behind.DirtyRect());
    EXPECT_EQ(plain.IsModified(), behind.IsModified());
  }
};

}  // namespace varnel::paint_paths
