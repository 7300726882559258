/*
 * PNGs for tests through libpng and zlib, independent of the plug-in's own writer: archives put
 * together by hand carry pictures another encoder made.
 */

#include "tests/plugins/libpng_encode.h"

#include <png.h>
#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

#include "plugins/common/png_bgra.h"

static void WriteMemory(png_structp png, png_bytep bytes, size_t count) {
  OraBuffer* out = (OraBuffer*)png_get_io_ptr(png);
  if (count > out->capacity - out->size) {
    size_t capacity = out->capacity < 65536 ? 65536 : out->capacity;
    unsigned char* grown;
    while (capacity - out->size < count) {
      if (capacity > SIZE_MAX / 2) png_error(png, "out of memory");
      capacity *= 2;
    }
    grown = (unsigned char*)realloc(out->data, capacity);
    if (grown == NULL) png_error(png, "out of memory");
    out->data = grown;
    out->capacity = capacity;
  }
  memcpy(out->data + out->size, bytes, count);
  out->size += count;
}

static void FlushMemory(png_structp png) { (void)png; }

typedef struct Writer {
  png_structp png;
  png_infop info;
  const unsigned char* pixels;
  uint32_t width;
  uint32_t height;
  int level;
  int strategy;
  int filters;
  OraBuffer* out;
} Writer;

static int Encode(Writer* w) {
  uint32_t y;
  if (setjmp(png_jmpbuf(w->png))) return -1;
  png_set_write_fn(w->png, w->out, WriteMemory, FlushMemory);
  png_set_compression_level(w->png, w->level);
  png_set_compression_strategy(w->png, w->strategy);
  png_set_filter(w->png, PNG_FILTER_TYPE_BASE, w->filters);
  png_set_IHDR(w->png, w->info, w->width, w->height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(w->png, w->info);
  png_set_bgr(w->png);
  for (y = 0; y < w->height; ++y) png_write_row(w->png, w->pixels + (size_t)(w->height - 1u - y) * w->width * 4u);
  png_write_end(w->png, NULL);
  return 0;
}

int LibpngEncode(const unsigned char* pixels, uint32_t width, uint32_t height, int level, int strategy, int filters,
                 OraBuffer* out) {
  Writer w;
  int result;
  if (pixels == NULL || width < 1 || height < 1 || out == NULL) return -1;
  memset(&w, 0, sizeof w);
  w.pixels = pixels;
  w.width = width;
  w.height = height;
  w.level = level;
  w.strategy = strategy;
  w.filters = filters;
  w.out = out;
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, VarnelPngOnError, VarnelPngOnWarning);
  w.info = w.png != NULL ? png_create_info_struct(w.png) : NULL;
  result = w.info != NULL ? Encode(&w) : -1;
  if (w.png != NULL) png_destroy_write_struct(&w.png, w.info != NULL ? &w.info : NULL);
  if (result != 0) OraBufferFree(out);
  return result;
}
