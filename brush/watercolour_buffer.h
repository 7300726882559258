#pragma once
// The wet paint of a layer for the watercolour ("水彩") brushes.
//
// Dabs of a watercolour brush work on the wet paint instead of the layer: they read their old
// pixels from it and store their result in it, at full dab strength. The layer (the paper)
// takes the wet paint in dab by dab at the watercolour level, so paint builds up where the
// brush passes again and smudging kinds move paint that is still wet.
//
// - Start: the wet paint of a 16 × 16 tile begins as a copy of the layer's tile the first time
//   a dab touches it. Paint left wet from earlier strokes (dry mode 1) stays only where the
//   layer still holds exactly what the brush left there; a tile that anything else changed
//   since (another tool, undo, redo) has dried.
// - Combined view: the layer as it stands, the wet paint soaked in so far included.
// - Drying: what soaked in stays in the layer; the wet paint is let go.
//
// A layer keeps its wet paint as its attachment; a surface that is not a layer (a mask image
// under edit) gets wet paint for one stroke only.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "core/layer.h"

namespace varnel {

class ImageSurface;

class WatercolourBuffer : public LayerAttachment {
 public:
  static constexpr int32_t kTileSize = 16;

  // The wet paint of the layer the brush paints on (for the selection facade, of the layer it
  // confines), created on first use; null when the surface is no layer.
  static WatercolourBuffer* Of(ImageSurface& surface, bool create);

  // Begins a stroke on surface: wet paint of another size is dropped, and so is every tile the
  // layer no longer shows as the brush left it.
  void Start(const ImageSurface& surface);
  // The wet pixels of rect into buffer (rows rect-wide); only the part inside the surface is
  // written. Tiles touched for the first time start as the surface's pixels.
  void Read(const ImageSurface& surface, const Rect& rect, uint32_t* buffer);
  // Stores the part of rect inside the surface.
  void Write(const ImageSurface& surface, const Rect& rect, const uint32_t* buffer);
  // The combined view of layer and wet paint over rect.
  void ReadCombined(const ImageSurface& surface, const Rect& rect, uint32_t* buffer) const;
  // Remembers what the layer shows under every wet tile, so the next stroke can tell where the
  // paint is still wet.
  void Seal(const ImageSurface& surface);
  // All wet paint leaves.
  void Dry();

  bool IsWet() const { return m_wetTiles != 0; }
  int32_t WetTileCount() const { return m_wetTiles; }

 private:
  struct Tile {
    uint32_t wet[kTileSize * kTileSize];
    uint32_t sealed[kTileSize * kTileSize];  // the layer's pixels at the last Seal
    bool hasSeal = false;
  };
  bool Fits(const ImageSurface& surface) const;
  void Reset(const ImageSurface& surface);
  Tile& TileAt(const ImageSurface& surface, int32_t column, int32_t row);
  // The clipped rect; false when nothing of rect lies inside the surface.
  bool Clip(const ImageSurface& surface, const Rect& rect, Rect& clipped) const;
  void ReadTile(const ImageSurface& surface, int32_t column, int32_t row, uint32_t* pixels) const;

  int32_t m_width = 0;
  int32_t m_height = 0;
  int32_t m_columns = 0;
  int32_t m_rows = 0;
  int32_t m_wetTiles = 0;
  std::vector<std::unique_ptr<Tile>> m_tiles;
};

}  // namespace varnel
