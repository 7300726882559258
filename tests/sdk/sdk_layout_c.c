/* Compiled as strict C11: proves the sdk headers are plain C, and measures the records the
 * way a C plug-in compiler lays them out. */

#include "tests/sdk/sdk_layout_c.h"

#include "sdk/varnel_image.h"
#include "sdk/varnel_picture_plugin.h"
#include "sdk/transformer.h"

#define FIELD(record, field, expected) \
  { #record "." #field, offsetof(record, field), (expected) }
#define SIZE(record, expected) \
  { "sizeof " #record, sizeof(record), (expected) }

static const SdkLayoutEntry kEntries[] = {
    SIZE(VarnelBitmapInfoHeader, 40),
    SIZE(VarnelPictureInfo, 32),
    FIELD(VarnelPictureInfo, width, 8),
    FIELD(VarnelPictureInfo, xDensity, 16),
    FIELD(VarnelPictureInfo, colourDepth, 20),
    FIELD(VarnelPictureInfo, text, 24),
    SIZE(VarnelWriteInfo, 44),
    FIELD(VarnelWriteInfo, reserved, 40),
    FIELD(VarnelBitmapInfoHeader, biSize, 0),
    FIELD(VarnelBitmapInfoHeader, biWidth, 4),
    FIELD(VarnelBitmapInfoHeader, biHeight, 8),
    FIELD(VarnelBitmapInfoHeader, biPlanes, 12),
    FIELD(VarnelBitmapInfoHeader, biBitCount, 14),
    FIELD(VarnelBitmapInfoHeader, biCompression, 16),
    FIELD(VarnelBitmapInfoHeader, biSizeImage, 20),
    FIELD(VarnelBitmapInfoHeader, biXPelsPerMeter, 24),
    FIELD(VarnelBitmapInfoHeader, biYPelsPerMeter, 28),
    FIELD(VarnelBitmapInfoHeader, biClrUsed, 32),
    FIELD(VarnelBitmapInfoHeader, biClrImportant, 36),
    SIZE(TileBackup, 1032),
    FIELD(TileBackup, pixels, 0),
    FIELD(TileBackup, column, 1024),
    FIELD(TileBackup, row, 1028),
    SIZE(ImageDescriptor, 128),
    FIELD(ImageDescriptor, bitmap, 0),
    FIELD(ImageDescriptor, header, 8),
    FIELD(ImageDescriptor, bits, 48),
    FIELD(ImageDescriptor, dirtyLeft, 56),
    FIELD(ImageDescriptor, dirtyTop, 60),
    FIELD(ImageDescriptor, dirtyRight, 64),
    FIELD(ImageDescriptor, dirtyBottom, 68),
    FIELD(ImageDescriptor, stride, 72),
    FIELD(ImageDescriptor, tilesAcross, 76),
    FIELD(ImageDescriptor, tilesDown, 80),
    FIELD(ImageDescriptor, tileFlags, 88),
    FIELD(ImageDescriptor, savedTileCount, 96),
    FIELD(ImageDescriptor, savedTiles, 104),
    FIELD(ImageDescriptor, modified, 112),
    FIELD(ImageDescriptor, rows, 120),
    SIZE(TransformMask, 16),
    FIELD(TransformMask, width, 0),
    FIELD(TransformMask, height, 4),
    FIELD(TransformMask, bits, 8),
};

const SdkLayoutEntry* SdkLayoutEntries(size_t* count) {
  *count = sizeof kEntries / sizeof kEntries[0];
  return kEntries;
}

int SdkSetPixelFromC(void* descriptor, int x, int y, unsigned colour) {
  ImageDescriptor* image = (ImageDescriptor*)descriptor;
  uint32_t* row;
  if (image->bitmap == NULL || x < 0 || y < 0 || x >= image->header.biWidth ||
      y >= image->header.biHeight) {
    return 0;
  }
  row = (uint32_t*)image->rows[y];
  row[x] = (uint32_t)colour;
  return 1;
}
