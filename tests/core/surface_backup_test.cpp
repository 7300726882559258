// Tile backups: what a change saves before it overwrites pixels, putting it back, dropping
// it, and closing it into an undo step.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/core.h"
#include "memwell/memwell.h"
#include "tests/core/surface_test_support.h"

namespace varnel {
namespace {

using testing::PatternAt;
using testing::PixelAt;

constexpr uint32_t kBlockFill = 0xDEADBEEFu;

class SurfaceBackup : public ::testing::Test {
 protected:
  void Make(Size size) {
    ASSERT_EQ(m_surface.Create(size), 0);
    testing::FillPattern(m_surface);
  }
  std::vector<const TileBackup*> Saved() const {
    std::vector<const TileBackup*> tiles;
    for (int i = 0; i < m_surface.SavedTileCount(); ++i) {
      tiles.push_back(m_surface.SavedTile(i));
    }
    return tiles;
  }
  ImageSurface m_surface;
};

TEST_F(SurfaceBackup, TwoPixelsInOneTileTakeOneBackupAndALaterSetRectOverThatTileTakesNone) {
  Make(Size{48, 32});
  m_surface.SetPixel(17, 3, 0);
  m_surface.SetPixel(30, 14, 0);
  ASSERT_EQ(m_surface.SavedTileCount(), 1);
  EXPECT_EQ(m_surface.SavedTile(0)->column, 1);
  EXPECT_EQ(m_surface.SavedTile(0)->row, 0);
  EXPECT_TRUE(m_surface.TileHasBackup(1, 0));
  EXPECT_FALSE(m_surface.TileHasBackup(0, 0));
  // The backup holds the pixel as it was before the first change.
  EXPECT_EQ(m_surface.SavedTile(0)->pixels[3 * 16 + 1], PatternAt(17, 3));
  const std::vector<uint32_t> buffer(16 * 16, 0x22222222u);
  EXPECT_EQ(m_surface.SetRect(Rect{16, 0, 31, 15}, buffer.data()), 1);
  EXPECT_EQ(m_surface.SavedTileCount(), 1);
}

TEST_F(SurfaceBackup, ASetRectOverFourTilesSavesEachWithItsIndicesAndOldPixels) {
  Make(Size{64, 48});
  const std::vector<uint32_t> buffer(20 * 20, 0x33333333u);
  ASSERT_EQ(m_surface.SetRect(Rect{20, 25, 39, 44}, buffer.data()), 1);
  const std::vector<const TileBackup*> tiles = Saved();
  ASSERT_EQ(tiles.size(), 4u);
  const std::vector<std::pair<int32_t, int32_t>> expected = {{1, 1}, {2, 1}, {1, 2}, {2, 2}};
  for (size_t i = 0; i < tiles.size(); ++i) {
    EXPECT_EQ(tiles[i]->column, expected[i].first) << "tile " << i;
    EXPECT_EQ(tiles[i]->row, expected[i].second) << "tile " << i;
    for (int32_t j = 0; j < 16; ++j) {
      for (int32_t k = 0; k < 16; ++k) {
        ASSERT_EQ(tiles[i]->pixels[j * 16 + k],
                  PatternAt(tiles[i]->column * 16 + k, tiles[i]->row * 16 + j));
      }
    }
  }
}

TEST_F(SurfaceBackup, ATileAtTheImageEdgeLeavesTheBlockBeyondTheEdgeAsItWas) {
  Make(Size{20, 21});  // tile (1, 1) holds 4 x 5 image pixels
  // Memwell hands out the block freed last: prime it so untouched cells are recognisable.
  auto* block = static_cast<TileBackup*>(FXAlloc());
  ASSERT_NE(block, nullptr);
  std::fill(std::begin(block->pixels), std::end(block->pixels), kBlockFill);
  FXFree(block);
  m_surface.SetPixel(18, 19, 0);
  ASSERT_EQ(m_surface.SavedTileCount(), 1);
  const TileBackup* tile = m_surface.SavedTile(0);
  EXPECT_EQ(tile, block);
  EXPECT_EQ(tile->column, 1);
  EXPECT_EQ(tile->row, 1);
  for (int32_t j = 0; j < 16; ++j) {
    for (int32_t k = 0; k < 16; ++k) {
      const bool inside = k < 4 && j < 5;
      ASSERT_EQ(tile->pixels[j * 16 + k], inside ? PatternAt(16 + k, 16 + j) : kBlockFill)
          << "cell " << k << "," << j;
    }
  }
}

TEST_F(SurfaceBackup, CopiedTilesAreTheUnsavedOnesAndKeepingDropsAnySavedMeanwhileOrOutOfPlace) {
  Make(Size{40, 40});  // tiles 0…2 across and down, the last ones partly inside
  m_surface.SetPixel(20, 20, 0);  // tile (1, 1) saved
  std::vector<TileBackup*> copied;
  m_surface.SetRestoring(true);
  m_surface.CopyUnsavedTiles(Rect{0, 0, 39, 39}, copied);
  EXPECT_TRUE(copied.empty());
  m_surface.SetRestoring(false);
  m_surface.CopyUnsavedTiles(Rect{39, 39, 10, 10}, copied);  // corners in any order
  std::vector<std::pair<int32_t, int32_t>> places;
  for (const TileBackup* tile : copied) {
    places.emplace_back(tile->column, tile->row);
    for (int32_t j = 0; j < 16 && tile->row * 16 + j < 40; ++j)
      for (int32_t k = 0; k < 16 && tile->column * 16 + k < 40; ++k)
        ASSERT_EQ(tile->pixels[j * 16 + k], PatternAt(tile->column * 16 + k, tile->row * 16 + j));
  }
  EXPECT_EQ(places, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}}));
  // Tile (0, 0) is saved before the copies are kept, and one block names a tile off the image:
  // both blocks go back to the pool instead of into the list.
  m_surface.SetPixel(0, 0, 0);
  auto* stray = static_cast<TileBackup*>(FXAlloc());
  ASSERT_NE(stray, nullptr);
  stray->column = 3;
  stray->row = 0;
  copied.push_back(stray);
  m_surface.KeepBackups(copied);
  EXPECT_EQ(m_surface.SavedTileCount(), 9);
  EXPECT_EQ(FXAlloc(), stray);
  FXFree(stray);
  m_surface.RevertUncommitted();
  EXPECT_EQ(PixelAt(m_surface, 20, 20), PatternAt(20, 20));
  EXPECT_EQ(PixelAt(m_surface, 0, 0), PatternAt(0, 0));
}

TEST_F(SurfaceBackup, RevertPutsBackTheExactBytesAndReturnsEveryBlock) {
  Make(Size{45, 37});
  const std::vector<uint8_t> before = testing::Snapshot(m_surface);
  m_surface.SetPixel(0, 0, 0x01010101u);
  m_surface.SetPixel(44, 36, 0x02020202u);
  m_surface.SetPixel(20, 20, 0x03030303u);
  std::vector<uint32_t> buffer(30 * 12);
  for (size_t i = 0; i < buffer.size(); ++i) {
    buffer[i] = static_cast<uint32_t>(i * 2654435761u);
  }
  m_surface.SetRect(Rect{-5, 10, 24, 21}, buffer.data());
  m_surface.SetRect(Rect{30, 30, 59, 41}, buffer.data());  // clipped at right and bottom
  m_surface.SetPixel(21, 20, 0x04040404u);
  ASSERT_NE(testing::Snapshot(m_surface), before);
  const std::vector<const TileBackup*> saved = Saved();
  ASSERT_GE(saved.size(), 5u);

  m_surface.RevertUncommitted();
  EXPECT_EQ(testing::Snapshot(m_surface), before);
  EXPECT_EQ(m_surface.SavedTileCount(), 0);
  EXPECT_FALSE(testing::AnyTileFlagSet(m_surface));
  EXPECT_FALSE(m_surface.IsRestoring());
  // Returned in the order saved, so Memwell hands them out again last first.
  std::vector<void*> again;
  for (size_t i = 0; i < saved.size(); ++i) {
    again.push_back(FXAlloc());
  }
  for (size_t i = 0; i < saved.size(); ++i) {
    EXPECT_EQ(again[i], saved[saved.size() - 1 - i]) << "block " << i;
  }
  for (void* block : again) {
    FXFree(block);
  }
}

TEST_F(SurfaceBackup, RevertDirtiesTheRestoredTilesClippedToTheImage) {
  Make(Size{20, 20});
  m_surface.SetPixel(18, 3, 0);
  m_surface.ClearDirty();
  m_surface.RevertUncommitted();
  EXPECT_EQ(m_surface.DirtyRect(), (Rect{16, 0, 19, 15}));
  EXPECT_EQ(testing::PixelAt(m_surface, 18, 3), PatternAt(18, 3));
}

// A derived surface sees the writes a revert makes through the virtual SetRect.
class ObservingSurface : public ImageSurface {
 public:
  int32_t SetRect(Rect rect, const uint32_t* buffer) override {
    writes.push_back({rect, IsRestoring()});
    return ImageSurface::SetRect(rect, buffer);
  }
  std::vector<std::pair<Rect, bool>> writes;
};

TEST(SurfaceRevert, WritesEachTileBackThroughSetRectWhileRestoring) {
  ObservingSurface surface;
  ASSERT_EQ(surface.Create(Size{40, 20}), 0);
  surface.SetPixel(35, 18, 0);
  surface.SetPixel(3, 3, 0);
  surface.writes.clear();
  surface.RevertUncommitted();
  ASSERT_EQ(surface.writes.size(), 2u);
  EXPECT_EQ(surface.writes[0].first, (Rect{32, 16, 47, 31}));
  EXPECT_EQ(surface.writes[1].first, (Rect{0, 0, 15, 15}));
  EXPECT_TRUE(surface.writes[0].second);
  EXPECT_TRUE(surface.writes[1].second);
  EXPECT_FALSE(surface.IsRestoring());
  EXPECT_EQ(testing::PixelAt(surface, 35, 18), 0xFFFFFFFFu);
}

TEST_F(SurfaceBackup, RestoringSuppressesBackupsFromPixelsAndRects) {
  Make(Size{40, 40});
  m_surface.SetRestoring(true);
  EXPECT_TRUE(m_surface.IsRestoring());
  m_surface.SetPixel(1, 1, 0x05050505u);
  const std::vector<uint32_t> buffer(20 * 20, 0x06060606u);
  m_surface.SetRect(Rect{10, 10, 29, 29}, buffer.data());
  EXPECT_EQ(m_surface.SavedTileCount(), 0);
  EXPECT_FALSE(testing::AnyTileFlagSet(m_surface));
  EXPECT_EQ(testing::PixelAt(m_surface, 1, 1), 0x05050505u);
  EXPECT_EQ(testing::PixelAt(m_surface, 29, 29), 0x06060606u);
  EXPECT_EQ(m_surface.DirtyRect(), (Rect{1, 1, 29, 29}));
  m_surface.SetRestoring(false);
  m_surface.SetPixel(1, 1, 0x07070707u);
  ASSERT_EQ(m_surface.SavedTileCount(), 1);
  // The backup holds what restoring mode wrote: that is the state being changed now.
  EXPECT_EQ(m_surface.SavedTile(0)->pixels[1 * 16 + 1], 0x05050505u);
}

TEST_F(SurfaceBackup, DiscardingBackupsKeepsThePixelsAndReturnsTheBlocks) {
  Make(Size{33, 17});
  m_surface.SetPixel(0, 0, 0x08080808u);
  m_surface.SetPixel(32, 16, 0x09090909u);
  m_surface.SetModified();
  const std::vector<const TileBackup*> saved = Saved();
  ASSERT_EQ(saved.size(), 2u);
  m_surface.DiscardBackups();
  EXPECT_EQ(m_surface.SavedTileCount(), 0);
  EXPECT_FALSE(testing::AnyTileFlagSet(m_surface));
  EXPECT_FALSE(m_surface.IsModified());
  EXPECT_EQ(testing::PixelAt(m_surface, 0, 0), 0x08080808u);
  EXPECT_EQ(testing::PixelAt(m_surface, 32, 16), 0x09090909u);
  void* first = FXAlloc();
  void* second = FXAlloc();
  EXPECT_EQ(first, saved[1]);
  EXPECT_EQ(second, saved[0]);
  FXFree(second);
  FXFree(first);
  // The flags are clear, so the next change saves again.
  m_surface.SetPixel(0, 0, 0);
  EXPECT_EQ(m_surface.SavedTileCount(), 1);
}

TEST_F(SurfaceBackup, BackupAllWithPushMakesOneUndoStepHoldingEveryTile) {
  Make(Size{33, 17});
  m_surface.SetPixel(2, 2, 0x0A0A0A0Au);  // tile (0, 0) is saved already, before the change
  m_surface.SetModified();
  m_surface.BackupAll(false, true);
  EXPECT_EQ(m_surface.SavedTileCount(), 0);
  EXPECT_FALSE(testing::AnyTileFlagSet(m_surface));
  EXPECT_FALSE(m_surface.IsModified());
  const UndoStack& undo = m_surface.Undo();
  ASSERT_EQ(undo.StepCount(), 1u);
  EXPECT_EQ(undo.Position(), 1);
  const UndoStep* step = undo.Step(0);
  ASSERT_NE(step, nullptr);
  ASSERT_EQ(step->tiles.size(), 6u);
  std::set<std::pair<int32_t, int32_t>> indices;
  for (const TileBackup* tile : step->tiles) {
    indices.insert({tile->column, tile->row});
  }
  EXPECT_EQ(indices, (std::set<std::pair<int32_t, int32_t>>{
                         {0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}));
  EXPECT_EQ(step->tiles[0]->column, 0);
  EXPECT_EQ(step->tiles[0]->pixels[2 * 16 + 2], PatternAt(2, 2));
  EXPECT_EQ(undo.Step(1), nullptr);
}

TEST_F(SurfaceBackup, BackupAllWithoutPushLeavesEveryTileSaved) {
  Make(Size{33, 17});
  m_surface.BackupAll(false, false);
  EXPECT_EQ(m_surface.SavedTileCount(), 6);
  EXPECT_EQ(m_surface.Undo().StepCount(), 0u);
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 3; ++col) {
      EXPECT_TRUE(m_surface.TileHasBackup(col, row));
    }
  }
  EXPECT_FALSE(m_surface.TileHasBackup(3, 0));
  EXPECT_FALSE(m_surface.TileHasBackup(0, -1));
}

TEST_F(SurfaceBackup, PushingWithNothingSavedAddsNoStep) {
  Make(Size{16, 16});
  EXPECT_EQ(m_surface.Undo().PushUndoStep(m_surface, false), 0);
  EXPECT_EQ(m_surface.Undo().StepCount(), 0u);
  EXPECT_EQ(m_surface.Undo().Position(), 0);
}

TEST_F(SurfaceBackup, PushingAfterStepsWereUndoneDropsTheRedoBranch) {
  Make(Size{32, 32});
  UndoStack& undo = m_surface.Undo();
  for (int i = 0; i < 3; ++i) {
    m_surface.SetPixel(i * 16 % 32, i * 8, static_cast<uint32_t>(i));
    ASSERT_EQ(undo.PushUndoStep(m_surface, false), 0);
  }
  ASSERT_EQ(undo.StepCount(), 3u);
  const UndoStep* firstStep = undo.Step(0);
  ASSERT_EQ(undo.Undo(m_surface), 0);
  ASSERT_EQ(undo.Undo(m_surface), 0);
  m_surface.SetPixel(31, 31, 0x0B0B0B0Bu);
  EXPECT_EQ(undo.PushUndoStep(m_surface, false), 0);
  EXPECT_EQ(undo.StepCount(), 2u);
  EXPECT_EQ(undo.Position(), 2);
  EXPECT_EQ(undo.Step(0), firstStep);
  ASSERT_EQ(undo.Step(1)->tiles.size(), 1u);
  EXPECT_EQ(undo.Step(1)->tiles[0]->column, 1);
  EXPECT_EQ(undo.Step(1)->tiles[0]->row, 1);
}

TEST_F(SurfaceBackup, PushingNothingAfterAnUndoStillDropsTheRedoBranch) {
  Make(Size{32, 32});
  UndoStack& undo = m_surface.Undo();
  m_surface.SetPixel(0, 0, 0);
  undo.PushUndoStep(m_surface, false);
  m_surface.SetPixel(20, 20, 0);
  undo.PushUndoStep(m_surface, false);
  ASSERT_EQ(undo.Undo(m_surface), 0);
  ASSERT_EQ(undo.Undo(m_surface), 0);
  EXPECT_EQ(undo.PushUndoStep(m_surface, false), 0);
  EXPECT_EQ(undo.StepCount(), 0u);
  EXPECT_EQ(undo.Position(), 0);
}

TEST_F(SurfaceBackup, ClearingTheHistoryReturnsEveryStepsTiles) {
  Make(Size{48, 48});
  m_surface.BackupAll(false, true);  // 9 tiles
  m_surface.SetPixel(5, 5, 0);
  m_surface.Undo().PushUndoStep(m_surface, false);  // 1 tile
  std::set<const void*> held;
  for (size_t s = 0; s < m_surface.Undo().StepCount(); ++s) {
    for (const TileBackup* tile : m_surface.Undo().Step(s)->tiles) {
      held.insert(tile);
    }
  }
  ASSERT_EQ(held.size(), 10u);
  m_surface.Undo().ClearHistory();
  EXPECT_EQ(m_surface.Undo().StepCount(), 0u);
  EXPECT_EQ(m_surface.Undo().Position(), 0);
  // The ten blocks freed last are the next ten handed out.
  std::vector<void*> again;
  for (int i = 0; i < 10; ++i) {
    again.push_back(FXAlloc());
  }
  EXPECT_EQ(std::set<const void*>(again.begin(), again.end()), held);
  for (void* block : again) {
    FXFree(block);
  }
}

}  // namespace
}  // namespace varnel
