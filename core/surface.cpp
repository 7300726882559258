#include "core/surface.h"

#include <emmintrin.h>
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <typeinfo>

#include "core/layer.h"
#include "memwell/memwell.h"

namespace varnel {
namespace {

// Stride and offsets cross plug-in interfaces as 32-bit values, so no image may be larger.
constexpr int64_t kMaxImageBytes = 0x7FFFFFFF;
// ClearDirty's left/top: an empty rect all the same, since its bottom is -1.
constexpr int32_t kClearedDirtyOrigin = 0xFFFFFF;
constexpr int32_t kBytesPerPixel = 4;

// Large pictures go into 2 MiB-aligned memory the system may back with huge pages: compositing
// walks many layers row by row, and with 4 KiB pages every row of every layer is a TLB miss.
constexpr size_t kHugePage = size_t{2} << 20;

uint8_t* AllocatePixels(size_t bytes) {
  if (bytes < 4 * kHugePage) return static_cast<uint8_t*>(std::malloc(bytes));
  void* memory = nullptr;
  const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  if (posix_memalign(&memory, kHugePage, rounded) != 0) return nullptr;
  madvise(memory, rounded, MADV_HUGEPAGE);
  return static_cast<uint8_t*>(memory);
}

// Only one copy to the screen may be in progress at a time, as the device context of the
// screen is shared: a copy started while another is running (a DrawContext calling back
// into a surface) draws nothing.
std::atomic<int> g_sharedSelection{0};

class SharedSelection {
 public:
  SharedSelection() : m_outermost(g_sharedSelection.fetch_add(1) == 0) {}
  ~SharedSelection() { g_sharedSelection.fetch_sub(1); }
  SharedSelection(const SharedSelection&) = delete;
  SharedSelection& operator=(const SharedSelection&) = delete;
  bool IsOutermost() const { return m_outermost; }

 private:
  bool m_outermost;
};

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// value x zoom truncated toward zero, held to the int32 range (the cast alone is undefined
// for out-of-range values and NaN).
int32_t ScaleTruncated(int64_t value, double zoom) {
  const double scaled = std::trunc(static_cast<double>(value) * zoom);
  if (std::isnan(scaled)) {
    return 0;
  }
  if (scaled <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
    return std::numeric_limits<int32_t>::min();
  }
  if (scaled >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(scaled);
}

Rect TileRect(int32_t col, int32_t row) {
  const int32_t left = col * ImageSurface::kTileSize;
  const int32_t top = row * ImageSurface::kTileSize;
  return Rect{left, top, left + ImageSurface::kTileSize - 1, top + ImageSurface::kTileSize - 1};
}

}  // namespace

ImageSurface::ImageSurface() {
  std::memset(&m_head, 0, sizeof m_head);
  SetDirtyEmpty();
}

ImageSurface::~ImageSurface() {
  Release();
  m_undo.ClearHistory();
}

bool ImageSurface::IsType(const char* tag) const {
  return tag != nullptr && std::strcmp(tag, "IMAGE") == 0;
}

void ImageSurface::SetModified() {
  m_head.modified = 1;
}

void ImageSurface::Release() {
  for (int32_t i = 0; i < m_head.savedTileCount; ++i) {
    FXFree(m_head.savedTiles[i]);
  }
  std::free(m_head.bits);
  std::free(m_head.tileFlags);
  std::free(m_head.savedTiles);
  std::free(m_head.rows);
  const uint8_t modified = m_head.modified;
  std::memset(&m_head, 0, sizeof m_head);
  m_head.modified = modified;
  SetDirtyEmpty();
}

void ImageSurface::SetDirtyEmpty() {
  m_head.dirtyLeft = m_head.header.biWidth;
  m_head.dirtyTop = m_head.header.biHeight;
  m_head.dirtyRight = -1;
  m_head.dirtyBottom = -1;
}

int32_t ImageSurface::Create(Size size) { return Allocate(size, true); }

int32_t ImageSurface::CreateUnfilled(Size size) { return Allocate(size, false); }

int32_t ImageSurface::Allocate(Size size, bool fillWhite) {
  Release();
  if (size.width < 1 || size.height < 1) {
    return -1;
  }
  const int64_t pixelCount = static_cast<int64_t>(size.width) * size.height;
  if (pixelCount > kMaxImageBytes / kBytesPerPixel) {
    return -1;
  }
  const int32_t stride = size.width * kBytesPerPixel;
  const size_t imageBytes = static_cast<size_t>(stride) * static_cast<size_t>(size.height);
  const int32_t tilesAcross = (size.width - 1) / kTileSize + 1;
  const int32_t tilesDown = (size.height - 1) / kTileSize + 1;
  const size_t tileCount = static_cast<size_t>(tilesAcross) * static_cast<size_t>(tilesDown);

  auto* bits = AllocatePixels(imageBytes);
  auto* tileFlags = static_cast<uint8_t*>(std::calloc(tileCount, 1));
  auto* savedTiles = static_cast<TileBackup**>(std::calloc(tileCount, sizeof(TileBackup*)));
  auto* rows = static_cast<uint8_t**>(std::malloc(sizeof(uint8_t*) * static_cast<size_t>(size.height)));
  if (bits == nullptr || tileFlags == nullptr || savedTiles == nullptr || rows == nullptr) {
    std::free(bits);
    std::free(tileFlags);
    std::free(savedTiles);
    std::free(rows);
    return -1;
  }
  if (fillWhite) std::memset(bits, 0xFF, imageBytes);
  for (int32_t y = 0; y < size.height; ++y) {
    rows[y] = bits + static_cast<size_t>(size.height - 1 - y) * static_cast<size_t>(stride);
  }

  m_head.bitmap = bits;
  m_head.header.biSize = sizeof(VarnelBitmapInfoHeader);
  m_head.header.biWidth = size.width;
  m_head.header.biHeight = size.height;
  m_head.header.biPlanes = 1;
  m_head.header.biBitCount = 32;
  m_head.bits = bits;
  m_head.stride = stride;
  m_head.tilesAcross = tilesAcross;
  m_head.tilesDown = tilesDown;
  m_head.tileFlags = tileFlags;
  m_head.savedTileCount = 0;
  m_head.savedTiles = savedTiles;
  m_head.rows = rows;
  SetDirtyEmpty();
  return 0;
}

int32_t ImageSurface::CreateWithAlpha(Size size, uint8_t alpha) {
  const int32_t result = Create(size);
  if (result != 0) {
    return result;
  }
  const size_t pixelCount = static_cast<size_t>(size.width) * static_cast<size_t>(size.height);
  uint8_t* bytes = m_head.bits;
  for (size_t i = 0; i < pixelCount; ++i) {
    bytes[i * kBytesPerPixel + 3] = alpha;
  }
  return 0;
}

uint32_t* ImageSurface::Row(int32_t y) {
  if (!HasBitmap() || y < 0 || y >= Height()) {
    return nullptr;
  }
  return reinterpret_cast<uint32_t*>(m_head.rows[y]);
}

const uint32_t* ImageSurface::Row(int32_t y) const {
  if (!HasBitmap() || y < 0 || y >= Height()) {
    return nullptr;
  }
  return reinterpret_cast<const uint32_t*>(m_head.rows[y]);
}

Size ImageSurface::GetSize() const {
  if (!HasBitmap()) {
    return Size{};
  }
  return Size{Width(), Height()};
}

Rect ImageSurface::DirtyRect() const {
  return Rect{m_head.dirtyLeft, m_head.dirtyTop, m_head.dirtyRight, m_head.dirtyBottom};
}

const TileBackup* ImageSurface::SavedTile(int i) const {
  if (i < 0 || i >= m_head.savedTileCount) {
    return nullptr;
  }
  return m_head.savedTiles[i];
}

bool ImageSurface::TileHasBackup(int col, int row) const {
  if (!HasBitmap() || col < 0 || row < 0 || col >= m_head.tilesAcross ||
      row >= m_head.tilesDown) {
    return false;
  }
  return m_head.tileFlags[row * m_head.tilesAcross + col] != 0;
}

bool ImageSurface::Clip(const Rect& rect, Rect* clipped) const {
  if (!HasBitmap() || rect.right < 0 || rect.bottom < 0 || rect.left >= Width() ||
      rect.top >= Height()) {
    return false;
  }
  clipped->left = std::max(rect.left, 0);
  clipped->top = std::max(rect.top, 0);
  clipped->right = std::min(rect.right, Width() - 1);
  clipped->bottom = std::min(rect.bottom, Height() - 1);
  return true;
}

void ImageSurface::SetPixel(int32_t x, int32_t y, uint32_t colour) {
  if (!HasBitmap() || x < 0 || y < 0 || x >= Width() || y >= Height()) {
    return;
  }
  if (m_restoring == 0) {
    const int32_t col = x / kTileSize;
    const int32_t row = y / kTileSize;
    if (m_head.tileFlags[row * m_head.tilesAcross + col] == 0) {
      BackupTile(col, row);
    }
  }
  reinterpret_cast<uint32_t*>(m_head.rows[y])[x] = colour;
  AddDirtyRect(x, y, x, y);
}

int32_t ImageSurface::GetPixel(int32_t x, int32_t y, uint32_t* colour) const {
  if (!HasBitmap() || x < 0 || y < 0 || x >= Width() || y >= Height()) {
    return 0;
  }
  if (colour != nullptr) {
    *colour = reinterpret_cast<const uint32_t*>(m_head.rows[y])[x];
  }
  return 1;
}

namespace {

// Where the clipped part of a caller's rectangle lies in the caller's buffer, whose row pitch
// is the whole rectangle's width. The rectangle may reach far outside the image: its width can
// exceed int32 and buffer offsets int64, but both stay below 2^64 unsigned.
struct BufferWindow {
  uint64_t pitch;
  uint64_t columnOffset;
  size_t rowBytes;
  size_t imageOffset;  // byte offset of the clipped part within an image row

  BufferWindow(const Rect& wanted, const Rect& clipped)
      : pitch(static_cast<uint64_t>(static_cast<int64_t>(wanted.right) - wanted.left + 1)),
        columnOffset(static_cast<uint64_t>(static_cast<int64_t>(clipped.left) - wanted.left)),
        rowBytes(static_cast<size_t>(clipped.Width()) * kBytesPerPixel),
        imageOffset(static_cast<size_t>(clipped.left) * kBytesPerPixel) {}

  uint64_t RowStart(const Rect& wanted, int32_t y) const {
    return static_cast<uint64_t>(static_cast<int64_t>(y) - wanted.top) * pitch + columnOffset;
  }
};

}  // namespace

int32_t ImageSurface::GetRect(Rect rect, uint32_t* buffer) const {
  const Rect wanted = rect.Normalized();
  Rect clipped;
  if (buffer == nullptr || !Clip(wanted, &clipped)) {
    return 0;
  }
  const BufferWindow window(wanted, clipped);
  for (int32_t y = clipped.top; y <= clipped.bottom; ++y)
    std::memcpy(buffer + window.RowStart(wanted, y), m_head.rows[y] + window.imageOffset, window.rowBytes);
  return 1;
}

int32_t ImageSurface::SetRect(Rect rect, const uint32_t* buffer) {
  const Rect wanted = rect.Normalized();
  Rect clipped;
  if (buffer == nullptr || !Clip(wanted, &clipped)) {
    return 0;
  }
  if (m_restoring == 0) {
    BackupTiles(clipped);
  }
  const BufferWindow window(wanted, clipped);
  for (int32_t y = clipped.top; y <= clipped.bottom; ++y)
    std::memcpy(m_head.rows[y] + window.imageOffset, buffer + window.RowStart(wanted, y), window.rowBytes);
  AddDirtyRect(clipped.left, clipped.top, clipped.right, clipped.bottom);
  return 1;
}

void ImageSurface::CopyTileInto(TileBackup* tile, int32_t col, int32_t row) const {
  tile->column = col;
  tile->row = row;
  const int32_t left = col * kTileSize;
  const int32_t top = row * kTileSize;
  if (left + kTileSize <= Width() && top + kTileSize <= Height()) {
    // A whole tile: sixteen rows of 64 bytes, without GetRect's clipping per call.
    constexpr size_t kRowBytes = kTileSize * kBytesPerPixel;
    const auto begin = reinterpret_cast<uintptr_t>(tile->pixels);
    if (begin % 16 != 0) {
      for (int32_t r = 0; r < kTileSize; ++r) {
        std::memcpy(tile->pixels + r * kTileSize, m_head.rows[top + r] + static_cast<size_t>(left) * kBytesPerPixel,
                    kRowBytes);
      }
      return;
    }
    // The cache lines wholly inside the block are written around the cache: the copy is read
    // again only by an undo, long after, and skipping the cache spares reading the lines in
    // first. The lines it shares with the allocator's records are written as usual.
    const uintptr_t streamFrom = (begin + 63) & ~uintptr_t{63};
    const uintptr_t streamTo = (begin + sizeof tile->pixels) & ~uintptr_t{63};
    for (int32_t r = 0; r < kTileSize; ++r) {
      const auto* from = reinterpret_cast<const __m128i*>(m_head.rows[top + r] + static_cast<size_t>(left) * kBytesPerPixel);
      auto* to = reinterpret_cast<__m128i*>(tile->pixels + r * kTileSize);
      for (int k = 0; k < 4; ++k) {
        const __m128i chunk = _mm_loadu_si128(from + k);
        const auto at = reinterpret_cast<uintptr_t>(to + k);
        if (at >= streamFrom && at < streamTo)
          _mm_stream_si128(to + k, chunk);
        else
          _mm_store_si128(to + k, chunk);
      }
    }
  } else {
    // Not the virtual GetRect: the backup holds the raw pixels whatever a derived type shows.
    ImageSurface::GetRect(TileRect(col, row), tile->pixels);
  }
}

void ImageSurface::BackupTile(int32_t col, int32_t row) {
  auto* tile = static_cast<TileBackup*>(FXAlloc());
  if (tile != nullptr) {
    CopyTileInto(tile, col, row);
    _mm_sfence();
  }
  KeepBackups({&tile, 1});
}

template <typename Batch>
void ImageSurface::CopyUnsavedTilesInBatches(const Rect& clipped, Batch batch) const {
  // The blocks a batch at a time: a painter on the other thread would otherwise meet this one
  // at the pool's lock for every tile, and a dab's few tiles need no list on the heap.
  constexpr int32_t kBatch = 64;
  int32_t cols[kBatch], rows[kBatch];
  TileBackup* tiles[kBatch];
  int32_t count = 0;
  const auto flush = [&] {
    const int32_t taken = FXAllocBlocks(reinterpret_cast<void**>(tiles), count);
    for (int32_t i = 0; i < taken; ++i) {
      CopyTileInto(tiles[i], cols[i], rows[i]);
    }
    // The copies written around the cache are in memory before anyone is handed the blocks.
    _mm_sfence();
    batch(std::span<TileBackup* const>(tiles, static_cast<size_t>(taken)));
    count = 0;
  };
  for (int32_t row = clipped.top / kTileSize; row <= clipped.bottom / kTileSize; ++row) {
    const uint8_t* flags = m_head.tileFlags + row * m_head.tilesAcross;
    for (int32_t col = clipped.left / kTileSize; col <= clipped.right / kTileSize; ++col) {
      if (flags[col] != 0) {
        continue;
      }
      cols[count] = col;
      rows[count] = row;
      if (++count == kBatch) {
        flush();
      }
    }
  }
  if (count > 0) {
    flush();
  }
}

void ImageSurface::CopyUnsavedTiles(const Rect& rect, std::vector<TileBackup*>& out) const {
  out.clear();
  Rect clipped;
  if (m_restoring != 0 || !Clip(rect.Normalized(), &clipped)) {
    return;
  }
  CopyUnsavedTilesInBatches(clipped, [&out](std::span<TileBackup* const> tiles) {
    out.insert(out.end(), tiles.begin(), tiles.end());
  });
}

void ImageSurface::KeepBackups(std::span<TileBackup* const> tiles) {
  const int32_t capacity = m_head.tilesAcross * m_head.tilesDown;
  for (TileBackup* tile : tiles) {
    if (tile == nullptr) {
      continue;
    }
    const bool inside = HasBitmap() && tile->column >= 0 && tile->column < m_head.tilesAcross && tile->row >= 0 &&
                        tile->row < m_head.tilesDown;
    const int32_t index = inside ? tile->row * m_head.tilesAcross + tile->column : 0;
    // A tile saved meanwhile keeps its first backup. The list has room for every tile and each
    // tile is saved once, so it can only be full if a plug-in has rewritten the flags; dropping
    // the backup then beats writing past the list.
    if (!inside || m_head.tileFlags[index] != 0 || m_head.savedTileCount >= capacity) {
      FXFree(tile);
      continue;
    }
    m_head.tileFlags[index] = 1;
    m_head.savedTiles[m_head.savedTileCount++] = tile;
  }
}

bool ImageSurface::HasPlainRows() const {
  // Only these two types are known to keep SetRect and GetRect as the surface's own.
  return HasBitmap() && (typeid(*this) == typeid(ImageSurface) || typeid(*this) == typeid(Layer));
}

void ImageSurface::BackupTiles(const Rect& clipped) {
  CopyUnsavedTilesInBatches(clipped, [this](std::span<TileBackup* const> tiles) { KeepBackups(tiles); });
}

void ImageSurface::BackupAll(bool writeNow, bool push) {
  if (HasBitmap()) {
    BackupTiles(Rect{0, 0, Width() - 1, Height() - 1});
  }
  if (push) {
    m_undo.PushUndoStep(*this, writeNow);
  }
}

std::vector<TileBackup*> ImageSurface::TakeSavedTiles() {
  std::vector<TileBackup*> tiles;
  if (!HasBitmap()) {
    return tiles;
  }
  tiles.assign(m_head.savedTiles, m_head.savedTiles + m_head.savedTileCount);
  for (int32_t i = 0; i < m_head.savedTileCount; ++i) {
    m_head.savedTiles[i] = nullptr;
  }
  std::memset(m_head.tileFlags, 0,
              static_cast<size_t>(m_head.tilesAcross) * static_cast<size_t>(m_head.tilesDown));
  m_head.savedTileCount = 0;
  m_head.modified = 0;
  return tiles;
}

void ImageSurface::DiscardBackups() {
  for (TileBackup* tile : TakeSavedTiles()) {
    FXFree(tile);
  }
  m_head.modified = 0;
}

void ImageSurface::RevertUncommitted() {
  m_restoring = 1;
  for (int32_t i = 0; i < m_head.savedTileCount; ++i) {
    TileBackup* tile = m_head.savedTiles[i];
    // The blocks are reachable by plug-ins through the descriptor; an index out of range
    // would put the tile somewhere else entirely.
    if (tile->column >= 0 && tile->column < m_head.tilesAcross && tile->row >= 0 &&
        tile->row < m_head.tilesDown) {
      SetRect(TileRect(tile->column, tile->row), tile->pixels);
    }
    FXFree(tile);
    m_head.savedTiles[i] = nullptr;
  }
  if (HasBitmap()) {
    std::memset(m_head.tileFlags, 0,
                static_cast<size_t>(m_head.tilesAcross) * static_cast<size_t>(m_head.tilesDown));
  }
  m_restoring = 0;
  m_head.savedTileCount = 0;
}

void ImageSurface::AddDirtyRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const Rect added = Rect{left, top, right, bottom}.Normalized();
  if (!HasBitmap() || added.right < 0 || added.bottom < 0 || added.left >= Width() ||
      added.top >= Height()) {
    return;
  }
  if (IsDirtyEmpty()) {
    m_head.dirtyLeft = added.left;
    m_head.dirtyTop = added.top;
    m_head.dirtyRight = added.right;
    m_head.dirtyBottom = added.bottom;
  } else {
    m_head.dirtyLeft = std::min(m_head.dirtyLeft, added.left);
    m_head.dirtyTop = std::min(m_head.dirtyTop, added.top);
    m_head.dirtyRight = std::max(m_head.dirtyRight, added.right);
    m_head.dirtyBottom = std::max(m_head.dirtyBottom, added.bottom);
  }
  m_head.dirtyLeft = std::clamp(m_head.dirtyLeft, 0, Width() - 1);
  m_head.dirtyTop = std::clamp(m_head.dirtyTop, 0, Height() - 1);
  m_head.dirtyRight = std::clamp(m_head.dirtyRight, 0, Width() - 1);
  m_head.dirtyBottom = std::clamp(m_head.dirtyBottom, 0, Height() - 1);
}

void ImageSurface::ClearDirty() {
  m_head.dirtyLeft = kClearedDirtyOrigin;
  m_head.dirtyTop = kClearedDirtyOrigin;
  m_head.dirtyRight = -1;
  m_head.dirtyBottom = -1;
}

void ImageSurface::DrawDirty(DrawContext& dc, int32_t x, int32_t y, double zoom) {
  const SharedSelection selection;
  if (!selection.IsOutermost() || !HasBitmap() || IsDirtyEmpty()) {
    return;
  }
  const Rect dirty = DirtyRect();
  const int64_t width = static_cast<int64_t>(dirty.right) - dirty.left + 1;
  const int64_t height = static_cast<int64_t>(dirty.bottom) - dirty.top + 1;
  const Rect source{dirty.left, dirty.top, dirty.right + 1, dirty.bottom + 1};
  Rect destination;
  if (zoom == 1.0) {
    destination.left = Saturate(static_cast<int64_t>(x) + dirty.left);
    destination.top = Saturate(static_cast<int64_t>(y) + dirty.top);
    destination.right = Saturate(static_cast<int64_t>(destination.left) + width);
    destination.bottom = Saturate(static_cast<int64_t>(destination.top) + height);
  } else {
    destination.left = Saturate(static_cast<int64_t>(x) + ScaleTruncated(dirty.left, zoom));
    destination.top = Saturate(static_cast<int64_t>(y) + ScaleTruncated(dirty.top, zoom));
    destination.right =
        Saturate(static_cast<int64_t>(destination.left) + ScaleTruncated(width, zoom));
    destination.bottom =
        Saturate(static_cast<int64_t>(destination.top) + ScaleTruncated(height, zoom));
  }
  dc.CopyPixels(*this, source, destination);
  SetDirtyEmpty();
}

int32_t ImageSurface::Draw(DrawContext& dc, Rect dest, Rect src) {
  const SharedSelection selection;
  if (!HasBitmap()) {
    return -1;
  }
  if (!selection.IsOutermost()) {
    return 0;
  }
  const int64_t destWidth = static_cast<int64_t>(dest.right) - dest.left;
  const int64_t destHeight = static_cast<int64_t>(dest.bottom) - dest.top;
  const int64_t srcWidth = static_cast<int64_t>(src.right) - src.left;
  const int64_t srcHeight = static_cast<int64_t>(src.bottom) - src.top;
  if (destWidth == srcWidth && destHeight == srcHeight) {
    const int64_t width = std::min<int64_t>(destWidth, Width());
    const int64_t height = std::min<int64_t>(destHeight, Height());
    const Rect source{src.left, src.top, Saturate(src.left + width), Saturate(src.top + height)};
    const Rect destination{dest.left, dest.top, Saturate(dest.left + width),
                           Saturate(dest.top + height)};
    dc.CopyPixels(*this, source, destination);
  } else {
    dc.CopyPixels(*this, src, dest);
  }
  return 0;
}

void ImageSurface::CopyFrom(const ImageSurface& other, Rect rect) {
  if (&other == this || !HasBitmap() || !other.HasBitmap()) {
    return;
  }
  const Rect wanted = rect.Normalized();
  const int32_t left = std::max(wanted.left, 0);
  const int32_t top = std::max(wanted.top, 0);
  const int32_t right = std::min(wanted.right, std::min(Width(), other.Width()) - 1);
  const int32_t bottom = std::min(wanted.bottom, std::min(Height(), other.Height()) - 1);
  if (left > right || top > bottom) {
    return;
  }
  const size_t offset = static_cast<size_t>(left) * kBytesPerPixel;
  const size_t rowBytes = static_cast<size_t>(right - left + 1) * kBytesPerPixel;
  for (int32_t y = top; y <= bottom; ++y) {
    std::memcpy(m_head.rows[y] + offset, other.m_head.rows[y] + offset, rowBytes);
  }
}

}  // namespace varnel
