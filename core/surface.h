#pragma once
// ImageSurface: the one pixel container of the program. 32-bit BGRA pixels, stored
// bottom-up (the last image row first in memory), with a per-tile backup of the pixels a
// change overwrites, for undo. Coordinates count rows from the top.
//
// The surface's head is an ImageDescriptor, the record plug-ins receive: a plug-in handed
// Descriptor() reads and writes this surface in place.

#include <cstdint>
#include <span>
#include <vector>

#include "core/draw_context.h"
#include "core/geometry.h"
#include "core/undo.h"
#include "sdk/varnel_image.h"

namespace varnel {

class ImageSurface {
 public:
  static constexpr int32_t kTileSize = 16;

  ImageSurface();
  ImageSurface(const ImageSurface&) = delete;
  ImageSurface& operator=(const ImageSurface&) = delete;

  // The virtual operations keep this order: derived layers and plug-in glue rely on it.
  virtual bool IsType(const char* tag) const;
  virtual void SetModified();
  // Replaces the content with an opaque white image. Answers -1 (and leaves the surface
  // empty) for a width or height below 1, an image over 0x7FFFFFFF bytes, or no memory.
  virtual int32_t Create(Size size);
  virtual void SetPixel(int32_t x, int32_t y, uint32_t colour);
  // Answers 1 and the pixel, or 0 outside the image.
  virtual int32_t GetPixel(int32_t x, int32_t y, uint32_t* colour) const;
  virtual Size GetSize() const;
  // Copies the inclusive rect (corners in any order) into buffer, whose rows are the rect's
  // full width apart. Only the part inside the image is written. Answers 0 when nothing of
  // the rect is inside the image, else 1.
  virtual int32_t GetRect(Rect rect, uint32_t* buffer) const;
  // The reverse of GetRect. Backs up the tiles it touches first (unless restoring) and
  // widens the dirty rect.
  virtual int32_t SetRect(Rect rect, const uint32_t* buffer);
  virtual ~ImageSurface();

  // Widens the dirty rect by an inclusive rect, clipped to the image.
  void AddDirtyRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void ClearDirty();
  // Copies the dirty rect to the device at (x, y) scaled by zoom, then empties it.
  void DrawDirty(DrawContext& dc, int32_t x, int32_t y, double zoom);
  // Copies src to dest, both excluding right and bottom. Answers -1 without pixels.
  int32_t Draw(DrawContext& dc, Rect dest, Rect src);
  // Copies the pixels of the inclusive rect from other, limited to both images.
  void CopyFrom(const ImageSurface& other, Rect rect);
  void DiscardBackups();
  int32_t CreateWithAlpha(Size size, uint8_t alpha);
  // As Create, but the pixels are left as the allocator gives them: for readers that fill
  // every byte at once (a file's pixel block), so the memory is not written twice.
  int32_t CreateUnfilled(Size size);
  // Backs up every tile not yet saved; with push, closes them into an undo step.
  void BackupAll(bool writeNow, bool push);
  // Puts back every saved tile: the image returns to its state before the uncommitted change.
  void RevertUncommitted();

  // For painters that write rows themselves, a band of whole tile rows at a time and possibly
  // on two threads: CopyUnsavedTiles backs up the unsaved tiles a rect touches into fresh
  // blocks (none while restoring), reading only those tiles' flags and pixels, so another
  // thread may meanwhile change other tile rows. KeepBackups records them, one thread at a
  // time, before the pixels change; the painter then widens the dirty rect itself.
  void CopyUnsavedTiles(const Rect& rect, std::vector<TileBackup*>& out) const;
  void KeepBackups(std::span<TileBackup* const> tiles);
  // True when GetRect and SetRect are the surface's own, with nothing between them and the
  // rows (no selection facade): the rows may then be written directly.
  bool HasPlainRows() const;

  ImageDescriptor* Descriptor() { return &m_head; }
  const ImageDescriptor* Descriptor() const { return &m_head; }
  // Image row y counted from the top; null outside the image.
  uint32_t* Row(int32_t y);
  const uint32_t* Row(int32_t y) const;
  uint8_t* Bits() { return m_head.bits; }
  const uint8_t* Bits() const { return m_head.bits; }
  int32_t Width() const { return m_head.header.biWidth; }
  int32_t Height() const { return m_head.header.biHeight; }
  int32_t Stride() const { return m_head.stride; }
  Rect DirtyRect() const;
  bool IsDirtyEmpty() const { return m_head.dirtyBottom < 0; }
  bool IsModified() const { return m_head.modified != 0; }
  int32_t SavedTileCount() const { return m_head.savedTileCount; }
  const TileBackup* SavedTile(int i) const;
  bool TileHasBackup(int col, int row) const;
  UndoStack& Undo() { return m_undo; }
  const UndoStack& Undo() const { return m_undo; }
  bool IsRestoring() const { return m_restoring != 0; }
  void SetRestoring(bool restoring) { m_restoring = restoring ? 1 : 0; }

 private:
  friend class UndoStack;

  bool HasBitmap() const { return m_head.bitmap != nullptr; }
  void Release();
  int32_t Allocate(Size size, bool fillWhite);
  void SetDirtyEmpty();
  void BackupTile(int32_t col, int32_t row);
  // Fills a block with tile (col, row) and its place.
  void CopyTileInto(TileBackup* tile, int32_t col, int32_t row) const;
  // Copies the unsaved tiles of a clipped rect into fresh blocks, row by row, handing them to
  // batch(span) a few dozen at a time.
  template <typename Batch>
  void CopyUnsavedTilesInBatches(const Rect& clipped, Batch batch) const;
  void BackupTiles(const Rect& clipped);
  // Hands the saved tiles over (to an undo step) and clears their flags.
  std::vector<TileBackup*> TakeSavedTiles();
  // The part of a normalised rect inside the image; false if there is none.
  bool Clip(const Rect& rect, Rect* clipped) const;

  UndoStack m_undo;
  ImageDescriptor m_head;
  int32_t m_restoring = 0;
};

}  // namespace varnel
