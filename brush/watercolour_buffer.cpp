#include "brush/watercolour_buffer.h"

#include <algorithm>
#include <cstring>

#include "core/region_clipped_image.h"
#include "core/surface.h"

namespace varnel {

WatercolourBuffer* WatercolourBuffer::Of(ImageSurface& surface, bool create) {
  ImageSurface* holder = &surface;
  if (surface.IsType("IMAGEREGION")) holder = static_cast<RegionClippedImage&>(surface).Target();
  if (holder == nullptr || !holder->IsType("LAYER")) return nullptr;
  Layer& layer = static_cast<Layer&>(*holder);
  if (auto* wet = dynamic_cast<WatercolourBuffer*>(layer.Attachment())) return wet;
  if (!create || layer.Attachment() != nullptr) return nullptr;
  layer.SetAttachment(std::make_unique<WatercolourBuffer>());
  return static_cast<WatercolourBuffer*>(layer.Attachment());
}

bool WatercolourBuffer::Fits(const ImageSurface& surface) const {
  const Size size = surface.GetSize();
  return size.width == m_width && size.height == m_height;
}

void WatercolourBuffer::Reset(const ImageSurface& surface) {
  const Size size = surface.GetSize();
  m_width = std::max(size.width, 0);
  m_height = std::max(size.height, 0);
  m_columns = (m_width + kTileSize - 1) / kTileSize;
  m_rows = (m_height + kTileSize - 1) / kTileSize;
  m_tiles.clear();
  m_tiles.resize(static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows));
  m_wetTiles = 0;
}

void WatercolourBuffer::ReadTile(const ImageSurface& surface, int32_t column, int32_t row, uint32_t* pixels) const {
  const int32_t left = column * kTileSize;
  const int32_t top = row * kTileSize;
  std::fill(pixels, pixels + kTileSize * kTileSize, 0u);
  surface.GetRect({left, top, left + kTileSize - 1, top + kTileSize - 1}, pixels);
}

void WatercolourBuffer::Start(const ImageSurface& surface) {
  if (!Fits(surface)) {
    Reset(surface);
    return;
  }
  uint32_t current[kTileSize * kTileSize];
  for (int32_t row = 0; row < m_rows; ++row) {
    for (int32_t column = 0; column < m_columns; ++column) {
      auto& tile = m_tiles[static_cast<size_t>(row) * static_cast<size_t>(m_columns) + static_cast<size_t>(column)];
      if (!tile) continue;
      ReadTile(surface, column, row, current);
      if (!tile->hasSeal || std::memcmp(current, tile->sealed, sizeof(current)) != 0) {
        tile.reset();
        --m_wetTiles;
      }
    }
  }
}

WatercolourBuffer::Tile& WatercolourBuffer::TileAt(const ImageSurface& surface, int32_t column, int32_t row) {
  auto& tile = m_tiles[static_cast<size_t>(row) * static_cast<size_t>(m_columns) + static_cast<size_t>(column)];
  if (!tile) {
    tile = std::make_unique<Tile>();
    ReadTile(surface, column, row, tile->wet);
    ++m_wetTiles;
  }
  return *tile;
}

bool WatercolourBuffer::Clip(const ImageSurface& surface, const Rect& rect, Rect& clipped) const {
  if (!Fits(surface)) return false;
  const Rect r = rect.Normalized();
  clipped = {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, m_width - 1), std::min(r.bottom, m_height - 1)};
  return clipped.left <= clipped.right && clipped.top <= clipped.bottom;
}

void WatercolourBuffer::Read(const ImageSurface& surface, const Rect& rect, uint32_t* buffer) {
  if (!Fits(surface)) Reset(surface);
  Rect clipped;
  if (!Clip(surface, rect, clipped)) return;
  const Rect r = rect.Normalized();
  const size_t pitch = static_cast<size_t>(r.Width());
  for (int32_t y = clipped.top; y <= clipped.bottom; ++y) {
    uint32_t* out = buffer + static_cast<size_t>(y - r.top) * pitch;
    for (int32_t x = clipped.left; x <= clipped.right;) {
      const int32_t column = x / kTileSize;
      const int32_t end = std::min(clipped.right, column * kTileSize + kTileSize - 1);
      const Tile& tile = TileAt(surface, column, y / kTileSize);
      std::memcpy(out + (x - r.left), tile.wet + (y % kTileSize) * kTileSize + (x % kTileSize),
                  static_cast<size_t>(end - x + 1) * sizeof(uint32_t));
      x = end + 1;
    }
  }
}

void WatercolourBuffer::Write(const ImageSurface& surface, const Rect& rect, const uint32_t* buffer) {
  if (!Fits(surface)) Reset(surface);
  Rect clipped;
  if (!Clip(surface, rect, clipped)) return;
  const Rect r = rect.Normalized();
  const size_t pitch = static_cast<size_t>(r.Width());
  for (int32_t y = clipped.top; y <= clipped.bottom; ++y) {
    const uint32_t* in = buffer + static_cast<size_t>(y - r.top) * pitch;
    for (int32_t x = clipped.left; x <= clipped.right;) {
      const int32_t column = x / kTileSize;
      const int32_t end = std::min(clipped.right, column * kTileSize + kTileSize - 1);
      Tile& tile = TileAt(surface, column, y / kTileSize);
      std::memcpy(tile.wet + (y % kTileSize) * kTileSize + (x % kTileSize), in + (x - r.left),
                  static_cast<size_t>(end - x + 1) * sizeof(uint32_t));
      x = end + 1;
    }
  }
}

void WatercolourBuffer::ReadCombined(const ImageSurface& surface, const Rect& rect, uint32_t* buffer) const {
  surface.GetRect(rect, buffer);
}

void WatercolourBuffer::Seal(const ImageSurface& surface) {
  if (!Fits(surface)) {
    Reset(surface);
    return;
  }
  for (int32_t row = 0; row < m_rows; ++row) {
    for (int32_t column = 0; column < m_columns; ++column) {
      auto& tile = m_tiles[static_cast<size_t>(row) * static_cast<size_t>(m_columns) + static_cast<size_t>(column)];
      if (!tile) continue;
      ReadTile(surface, column, row, tile->sealed);
      tile->hasSeal = true;
    }
  }
}

void WatercolourBuffer::Dry() {
  for (auto& tile : m_tiles) tile.reset();
  m_wetTiles = 0;
}

}  // namespace varnel
