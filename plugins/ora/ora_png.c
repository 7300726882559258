/*
 * PNG from memory for the OpenRaster plug-in (writing is ora_png_write.c). libpng reports errors
 * by longjmp: every call that can fail runs inside one function that set the jump point, and
 * what it allocates is held in a record the caller frees.
 */

#include "plugins/ora/ora_png.h"

#include <png.h>
#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

#include "plugins/common/png_bgra.h"
#include "sdk/varnel_picture_plugin.h"

/* Deflate turns at most 2 bits into a 258-byte match: no stream inflates to more than 1032
 * times its size, so rows that need more than that from the bytes there are cannot be there. */
#define MAX_INFLATE_RATIO 1032u

static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

void OraBufferFree(OraBuffer* buffer) {
  free(buffer->data);
  memset(buffer, 0, sizeof *buffer);
}

static uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | (uint32_t)p[3];
}

int OraPngSize(const unsigned char* data, size_t size, uint32_t* width, uint32_t* height) {
  /* The signature, then the IHDR chunk's length and type, then width and height. */
  if (data == NULL || size < 24 || memcmp(data, kSignature, sizeof kSignature) != 0 || memcmp(data + 12, "IHDR", 4) != 0)
    return -1;
  *width = BigEndian32(data + 16);
  *height = BigEndian32(data + 20);
  return 0;
}

typedef struct Reader {
  png_structp png;
  png_infop info;
  const unsigned char* data;
  size_t size;
  size_t position;
  uint64_t maxBytes;
  png_uint_32 width;
  png_uint_32 height;
  unsigned char* pixels;
  png_bytep* rows;
  int result;
} Reader;

static void ReadMemory(png_structp png, png_bytep out, size_t count) {
  Reader* r = (Reader*)png_get_io_ptr(png);
  if (count > r->size - r->position) png_error(png, "unexpected end of data");
  memcpy(out, r->data + r->position, count);
  r->position += count;
}

static int Decode(Reader* r) {
  int bitDepth;
  uint64_t rawBytes;
  r->result = kVarnelPluginBrokenData;
  if (setjmp(png_jmpbuf(r->png))) return r->result;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  png_set_crc_action(r->png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
  png_set_read_fn(r->png, r, ReadMemory);
  png_read_info(r->png, r->info);
  r->width = png_get_image_width(r->png, r->info);
  r->height = png_get_image_height(r->png, r->info);
  bitDepth = png_get_bit_depth(r->png, r->info);
  if (r->width < 1 || r->height < 1 || (uint64_t)r->width * r->height * 4u > r->maxBytes) return kVarnelPluginNoMemory;
  rawBytes = (uint64_t)r->height * (1u + ((uint64_t)r->width * png_get_channels(r->png, r->info) * (uint64_t)bitDepth + 7u) / 8u);
  if (rawBytes / MAX_INFLATE_RATIO > r->size) return kVarnelPluginBrokenData;

  return VarnelPngReadBgra(r->png, r->info, r->width, r->height, &r->result, &r->pixels, &r->rows);
}

int OraPngDecode(const unsigned char* data, size_t size, uint64_t maxBytes, uint32_t* width, uint32_t* height,
                 unsigned char** pixels) {
  Reader r;
  int result;
  memset(&r, 0, sizeof r);
  *pixels = NULL;
  if (data == NULL || size < sizeof kSignature || memcmp(data, kSignature, sizeof kSignature) != 0)
    return kVarnelPluginBrokenData;
  r.data = data;
  r.size = size;
  r.maxBytes = maxBytes;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, VarnelPngOnError, VarnelPngOnWarning);
  r.info = r.png != NULL ? png_create_info_struct(r.png) : NULL;
  result = r.info != NULL ? Decode(&r) : kVarnelPluginNoMemory;
  if (r.png != NULL) png_destroy_read_struct(&r.png, r.info != NULL ? &r.info : NULL, NULL);
  free(r.rows);
  if (result != kVarnelPluginSuccess) {
    free(r.pixels);
    return result;
  }
  *width = r.width;
  *height = r.height;
  *pixels = r.pixels;
  return kVarnelPluginSuccess;
}
