/*
 * Pngport: reads and writes PNG pictures for the program and any other host of the picture
 * plug-in interface. Pictures come out as 32-bit bottom-up BGRA bitmaps so that transparency
 * survives; every PNG kind (palette, grey, 16-bit, transparency chunk, interlaced) is widened to
 * that. Writing takes the program's 32-bit pixels and keeps the alpha channel, or writes plain
 * RGB when every pixel is opaque.
 *
 * libpng reports errors by longjmp: every call that can fail runs inside one function that set
 * the jump point, and everything it allocates is held in a record its caller frees.
 */

#define _GNU_SOURCE
#include <png.h>
#include <setjmp.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "plugins/common/plugin_profile.h"
#include "plugins/common/spi_common.h"
#include "plugins/common/png_bgra.h"
#include "sdk/varnel_picture_plugin.h"

static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

/* Deflate turns at most 2 bits (a 1-bit length code and a 1-bit distance code) into a 258-byte
 * match, so no stream inflates to more than 1032 times its size. A picture whose rows need more
 * than that from the bytes the file holds cannot be complete, and is refused before allocating. */
#define MAX_INFLATE_RATIO 1032u
#define LEVEL_SECTION "PngPlugin"
#define LEVEL_KEY "CompressionLevel"
#define DEFAULT_LEVEL 6

typedef struct Decoder {
  png_structp png;
  png_infop info;
  SpiSource source;
  uint64_t position; /* memory input */
  png_uint_32 width;
  png_uint_32 height;
  png_uint_32 xPixelsPerMetre;
  png_uint_32 yPixelsPerMetre;
  unsigned char* pixels; /* width x height x 4, bottom row first */
  png_bytep* rows;
  int result; /* the answer when a jump lands */
} Decoder;

static void ReadMemory(png_structp png, png_bytep out, size_t count) {
  Decoder* d = (Decoder*)png_get_io_ptr(png);
  if (count > d->source.available - d->position) png_error(png, "unexpected end of data");
  memcpy(out, d->source.data + d->position, count);
  d->position += count;
}

/* Reads the header and, when pixels is set, the whole picture. Runs every libpng call that may
 * jump back here. */
static int Decode(Decoder* d, int pixels) {
  int bitDepth;
  uint64_t rawBytes;
  d->result = kVarnelPluginBrokenData;
  if (setjmp(png_jmpbuf(d->png))) return d->result;

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  /* Mutated chunks would almost all stop at their checksums, short of the decoding behind. */
  png_set_crc_action(d->png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
  if (d->source.file != NULL) {
    png_init_io(d->png, d->source.file);
  } else {
    png_set_read_fn(d->png, d, ReadMemory);
  }
  png_read_info(d->png, d->info);
  d->width = png_get_image_width(d->png, d->info);
  d->height = png_get_image_height(d->png, d->info);
  bitDepth = png_get_bit_depth(d->png, d->info);
  {
    int unit = 0;
    if (png_get_pHYs(d->png, d->info, &d->xPixelsPerMetre, &d->yPixelsPerMetre, &unit) == 0 ||
        unit != PNG_RESOLUTION_METER || d->xPixelsPerMetre > INT32_MAX || d->yPixelsPerMetre > INT32_MAX) {
      d->xPixelsPerMetre = 0;
      d->yPixelsPerMetre = 0;
    }
  }
  if (!SpiPictureSizeOk(d->width, d->height)) return kVarnelPluginNoMemory;
  rawBytes = (uint64_t)d->height * (1u + ((uint64_t)d->width * png_get_channels(d->png, d->info) * (uint64_t)bitDepth + 7u) / 8u);
  if (rawBytes / MAX_INFLATE_RATIO > d->source.available) return kVarnelPluginBrokenData;
  if (!pixels) return kVarnelPluginSuccess;

  return VarnelPngReadBgra(d->png, d->info, d->width, d->height, &d->result, &d->pixels, &d->rows);
}

static int OpenDecoder(const char* buffer, intptr_t offset, unsigned int flag, Decoder* d) {
  int result;
  memset(d, 0, sizeof *d);
  result = SpiOpenSource(buffer, offset, flag, &d->source);
  if (result != kVarnelPluginSuccess) return result;
  d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, VarnelPngOnError, VarnelPngOnWarning);
  d->info = d->png != NULL ? png_create_info_struct(d->png) : NULL;
  return d->info != NULL ? kVarnelPluginSuccess : kVarnelPluginNoMemory;
}

static void CloseDecoder(Decoder* d) {
  if (d->png != NULL) png_destroy_read_struct(&d->png, d->info != NULL ? &d->info : NULL, NULL);
  SpiCloseSource(&d->source);
  free(d->pixels);
  free(d->rows);
}

static uint16_t DotsPerInch(png_uint_32 pixelsPerMetre) {
  const uint64_t dpi = ((uint64_t)pixelsPerMetre * 254u + 5000u) / 10000u;
  return dpi > 0xFFFF ? 0xFFFF : (uint16_t)dpi;
}

VARNEL_PLUGIN_EXPORT int GetPluginInfo(int number, char* buffer, int length) {
  static const char* const kTexts[] = {"00IN", "Pngport Ver0.1", "*.png", "PNG Image"};
  if (number < 0 || number >= (int)(sizeof kTexts / sizeof kTexts[0])) return 0;
  return SpiCopyText(kTexts[number], buffer, length);
}

VARNEL_PLUGIN_EXPORT int IsSupported(const char* path, intptr_t handleOrBytes) {
  unsigned char head[sizeof kSignature];
  (void)path;
  return SpiReadHead(handleOrBytes, head, sizeof head, 0) == (int)sizeof head && memcmp(head, kSignature, sizeof head) == 0;
}

VARNEL_PLUGIN_EXPORT int GetPictureInfo(const char* buffer, intptr_t offset, unsigned int flag, VarnelPictureInfo* info) {
  Decoder d;
  int result;
  if (info == NULL) return kVarnelPluginReadError;
  result = OpenDecoder(buffer, offset, flag, &d);
  if (result == kVarnelPluginSuccess) result = Decode(&d, 0);
  if (result == kVarnelPluginSuccess) {
    memset(info, 0, sizeof *info);
    info->width = (int32_t)d.width;
    info->height = (int32_t)d.height;
    info->xDensity = DotsPerInch(d.xPixelsPerMetre);
    info->yDensity = DotsPerInch(d.yPixelsPerMetre);
    info->colourDepth = 32;
  }
  CloseDecoder(&d);
  return result;
}

VARNEL_PLUGIN_EXPORT int GetPicture(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  Decoder d;
  int result;
  (void)progress;
  (void)data;
  if (info == NULL || bits == NULL) return kVarnelPluginReadError;
  result = OpenDecoder(buffer, offset, flag, &d);
  if (result == kVarnelPluginSuccess) result = Decode(&d, 1);
  if (result == kVarnelPluginSuccess) {
    result = SpiHandOverPicture(d.width, d.height, 32, d.width * d.height * 4u, (int32_t)d.xPixelsPerMetre,
                                (int32_t)d.yPixelsPerMetre, &d.pixels, info, bits);
  }
  CloseDecoder(&d);
  return result;
}

VARNEL_PLUGIN_EXPORT int GetPreview(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  /* Decoding a PNG costs the same at any size: hosts fall back to GetPicture. */
  (void)buffer;
  (void)offset;
  (void)flag;
  (void)info;
  (void)bits;
  (void)progress;
  (void)data;
  return kVarnelPluginNotImplemented;
}

VARNEL_PLUGIN_EXPORT int IsSaveSupported(const char* extension) {
  return SpiEqualsNoCase(extension, "png") ? 0 : -1;
}

VARNEL_PLUGIN_EXPORT int GetSupportFormatFilter(char* buffer, int size) {
  return SpiCopyText("*.png", buffer, size);
}

VARNEL_PLUGIN_EXPORT int GetSupportFormatDescriptor(char* buffer, int size) {
  return SpiCopyText("PNG Image(*.png)", buffer, size);
}

VARNEL_PLUGIN_EXPORT int SavesAlpha(const char* extension) { return SpiEqualsNoCase(extension, "png"); }

VARNEL_PLUGIN_EXPORT void SetHostServices(const VarnelHostServices* services) { SpiSetHostServices(services); }

/* The compression level in the settings file (section "PngPlugin", key "CompressionLevel"),
 * 0 (none, fastest) to 9 (smallest); zlib's own default when it is missing. */
static int ReadCompressionLevel(void) {
  return (int)SpiProfileGetClamped(LEVEL_SECTION, LEVEL_KEY, DEFAULT_LEVEL, 0, 9);
}

/* Compression is lossless and alpha is kept when present: the level is the one choice. The
 * plug-in links no user-interface toolkit, so the host asks for it. */
VARNEL_PLUGIN_EXPORT int OpenConfig(void* window) {
  return SpiConfigureSetting(window, LEVEL_SECTION, LEVEL_KEY, DEFAULT_LEVEL, 0, 9, "PNG の設定", "圧縮レベル (0-9)");
}

typedef struct Encoder {
  png_structp png;
  png_infop info;
  FILE* file;
  const unsigned char* bits;
  const VarnelBitmapInfoHeader* header;
  uint32_t width;
  uint32_t height;
  uint64_t stride;
  int topDown;
  int withAlpha;
  int level;
} Encoder;

static int Encode(Encoder* e) {
  uint32_t y;
  if (setjmp(png_jmpbuf(e->png))) return -1;
  png_init_io(e->png, e->file);
  png_set_compression_level(e->png, e->level);
  png_set_IHDR(e->png, e->info, e->width, e->height, 8, e->withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (e->header->biXPelsPerMeter > 0 && e->header->biYPelsPerMeter > 0) {
    png_set_pHYs(e->png, e->info, (png_uint_32)e->header->biXPelsPerMeter, (png_uint_32)e->header->biYPelsPerMeter,
                 PNG_RESOLUTION_METER);
  }
  png_write_info(e->png, e->info);
  png_set_bgr(e->png);
  /* 32-bit rows of an opaque picture: the fourth byte is left out. */
  if (e->header->biBitCount == 32 && !e->withAlpha) png_set_filler(e->png, 0, PNG_FILLER_AFTER);
  for (y = 0; y < e->height; ++y) {
    const uint64_t row = e->topDown ? y : e->height - 1u - y;
    png_write_row(e->png, e->bits + row * e->stride);
  }
  png_write_end(e->png, NULL);
  return 0;
}

static int AnyTranslucent(const unsigned char* bits, uint64_t stride, uint32_t width, uint32_t height) {
  uint32_t x;
  uint32_t y;
  for (y = 0; y < height; ++y) {
    const unsigned char* row = bits + y * stride;
    for (x = 0; x < width; ++x) {
      if (row[x * 4u + 3u] != 0xFF) return 1;
    }
  }
  return 0;
}

/* Takes 32-bit (or 24-bit) pixels, bottom row first for a positive height, top row first for a
 * negative one. 0 when the file is written; on failure any file at path stays as it was. */
VARNEL_PLUGIN_EXPORT int WriteImage(const char* path, const void* bits, const VarnelWriteInfo* info) {
  Encoder e;
  char temp[4200];
  int fd;
  int result;
  int64_t height;
  if (path == NULL || bits == NULL || info == NULL) return -1;
  if ((info->header.biBitCount != 32 && info->header.biBitCount != 24) || info->header.biCompression != 0) return -1;
  height = info->header.biHeight;
  if (height < 0) height = -height;
  if (!SpiPictureSizeOk(info->header.biWidth, height) || strlen(path) + 40 > sizeof temp) return -1;

  memset(&e, 0, sizeof e);
  e.bits = (const unsigned char*)bits;
  e.header = &info->header;
  e.width = (uint32_t)info->header.biWidth;
  e.height = (uint32_t)height;
  e.stride = SpiDibRowBytes(e.width, info->header.biBitCount);
  e.topDown = info->header.biHeight < 0;
  e.withAlpha = info->header.biBitCount == 32 && AnyTranslucent(e.bits, e.stride, e.width, e.height);
  e.level = ReadCompressionLevel();

  fd = SpiCreateTemp(path, temp, sizeof temp);
  if (fd < 0) return -1;
  e.file = fdopen(fd, "wb");
  if (e.file == NULL) {
    close(fd);
    SpiDiscardTemp(temp);
    return -1;
  }
  e.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, VarnelPngOnError, VarnelPngOnWarning);
  e.info = e.png != NULL ? png_create_info_struct(e.png) : NULL;
  result = e.info != NULL ? Encode(&e) : -1;
  if (e.png != NULL) png_destroy_write_struct(&e.png, e.info != NULL ? &e.info : NULL);
  if (SpiCloseWritten(e.file) != 0) result = -1;
  if (result == 0) return SpiCommitTemp(temp, path);
  SpiDiscardTemp(temp);
  return -1;
}
