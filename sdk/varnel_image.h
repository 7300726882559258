#ifndef VARNEL_SDK_VARNEL_IMAGE_H
#define VARNEL_SDK_VARNEL_IMAGE_H
/*
 * The image record plug-ins work on. The program hands a plug-in a pointer to the head of
 * one of its surfaces; the plug-in reads and writes the pixels in place through it. The
 * layout is fixed (64-bit, natural alignment) and checked below field by field, because a
 * plug-in built by another compiler must see exactly the same bytes.
 *
 * Pixels are 32-bit, stored B, G, R, A in memory (the word 0xAARRGGBB on a little-endian
 * machine), not premultiplied; alpha 255 is opaque. Rows are stored bottom-up: the first
 * byte of pixel memory is the bottom image row. Use the row table to reach row y counted
 * from the top.
 *
 * Plain C11 and C++.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define VARNEL_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define VARNEL_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The Windows BITMAPINFOHEADER, 40 bytes. A surface fills it in as a 32-bit top-level
 * header: biSize 40, positive width and height, one plane, 32 bits, no compression. */
typedef struct VarnelBitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
} VarnelBitmapInfoHeader;

/* The saved content of one 16 x 16 tile, taken before the tile's first change so the
 * change can be undone. Parts of the tile beyond the image edge hold whatever the block
 * held before. */
typedef struct TileBackup {
  uint32_t pixels[256]; /* 16 rows of 16, top row first, BGRA bytes */
  int32_t column;       /* tile column: the tile's left edge is 16 x column */
  int32_t row;          /* tile row, counted from the top */
} TileBackup;

/* The head of an image surface. */
typedef struct ImageDescriptor {
  void* bitmap;                  /* opaque handle; null while the surface has no pixels */
  VarnelBitmapInfoHeader header;
  uint8_t* bits;                 /* first byte of pixel memory: the bottom image row */
  /* The area changed since it was last drawn, inclusive; empty while dirtyBottom is -1. */
  int32_t dirtyLeft;
  int32_t dirtyTop;
  int32_t dirtyRight;
  int32_t dirtyBottom;
  int32_t stride;                /* bytes per row: width x 4, no padding */
  int32_t tilesAcross;           /* 16-pixel tiles: (width - 1) / 16 + 1 */
  int32_t tilesDown;
  uint8_t* tileFlags;            /* tilesAcross x tilesDown, row by row; 1 = tile saved */
  int32_t savedTileCount;
  struct TileBackup** savedTiles; /* the saved tiles in the order they were taken */
  uint8_t modified;
  uint8_t** rows;                /* rows[y] = first pixel of image row y, counted from the top */
} ImageDescriptor;

#ifdef __cplusplus
}
#endif

VARNEL_STATIC_ASSERT(sizeof(VarnelBitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biSize) == 0, "biSize");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biWidth) == 4, "biWidth");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biHeight) == 8, "biHeight");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biPlanes) == 12, "biPlanes");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biBitCount) == 14, "biBitCount");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biCompression) == 16, "biCompression");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biSizeImage) == 20, "biSizeImage");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biXPelsPerMeter) == 24, "biXPelsPerMeter");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biYPelsPerMeter) == 28, "biYPelsPerMeter");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biClrUsed) == 32, "biClrUsed");
VARNEL_STATIC_ASSERT(offsetof(VarnelBitmapInfoHeader, biClrImportant) == 36, "biClrImportant");

VARNEL_STATIC_ASSERT(sizeof(TileBackup) == 1032, "a tile backup fills a 1032-byte block");
VARNEL_STATIC_ASSERT(offsetof(TileBackup, pixels) == 0, "TileBackup.pixels");
VARNEL_STATIC_ASSERT(offsetof(TileBackup, column) == 1024, "TileBackup.column");
VARNEL_STATIC_ASSERT(offsetof(TileBackup, row) == 1028, "TileBackup.row");

VARNEL_STATIC_ASSERT(sizeof(ImageDescriptor) == 128, "ImageDescriptor is 128 bytes");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, bitmap) == 0, "bitmap");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, header) == 8, "header");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, bits) == 48, "bits");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, dirtyLeft) == 56, "dirtyLeft");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, dirtyTop) == 60, "dirtyTop");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, dirtyRight) == 64, "dirtyRight");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, dirtyBottom) == 68, "dirtyBottom");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, stride) == 72, "stride");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, tilesAcross) == 76, "tilesAcross");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, tilesDown) == 80, "tilesDown");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, tileFlags) == 88, "tileFlags");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, savedTileCount) == 96, "savedTileCount");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, savedTiles) == 104, "savedTiles");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, modified) == 112, "modified");
VARNEL_STATIC_ASSERT(offsetof(ImageDescriptor, rows) == 120, "rows");

#endif /* VARNEL_SDK_VARNEL_IMAGE_H */
