/*
 * Layerpeek: lets picture viewers show layer files (".vlb") without the program. It does not
 * composite: a chunked layer file yields its stored 120-pixel preview, a simple layer list its
 * first layer. Results are 24-bit bottom-up bitmaps with rows padded to 4 bytes; the alpha byte
 * is dropped without blending.
 *
 * Self-contained on purpose: libc only, so any host can load it. Every size the file claims is
 * checked against the bytes the file really holds before anything is allocated or read.
 */

#define _GNU_SOURCE
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "plugins/common/spi_common.h"
#include "sdk/varnel_picture_plugin.h"

enum { kKindNone = 0, kKindList = 1, kKindChunked = 2 };

static const unsigned char kChunkedMagic[5] = {0x4C, 0x58, 0x0D, 0x0A, 0x4C};

#define SIGNATURE_SIZE 10u     /* magic and version digits */
#define CHUNK_HEADER_SIZE 10u  /* "CH", tag, body size */
#define PIXEL_HEADER_SIZE 40u  /* BITMAPINFOHEADER */
/* Opacity, blend mode, offset x and y, visible flag between a list layer's header and name. */
#define LIST_ATTRIBUTES_SIZE 14u

static int DetectKind(const unsigned char* head, int count) {
  if (count >= 2 && head[0] == 'L' && head[1] == 'B') return kKindList;
  if (count >= 5 && memcmp(head, kChunkedMagic, 5) == 0) return kKindChunked;
  return kKindNone;
}

static uint32_t LoadU32(const unsigned char* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

/* A read position inside one open file that never passes the file's end. */
typedef struct Reader {
  int fd;
  uint64_t size;
  uint64_t position;
} Reader;

static uint64_t Remaining(const Reader* r) { return r->size - r->position; }

static int Take(Reader* r, void* out, uint64_t count) {
  if (count > Remaining(r) || SpiReadAt(r->fd, out, (size_t)count, r->position) != 0) return -1;
  r->position += count;
  return 0;
}

static int Skip(Reader* r, uint64_t count) {
  if (count > Remaining(r)) return -1;
  r->position += count;
  return 0;
}

static int SeekTo(Reader* r, intptr_t offset) {
  if (offset < 0 || (uint64_t)offset > r->size) return -1;
  r->position = (uint64_t)offset;
  return 0;
}

/*
 * Reads the pixel rows that follow a 40-byte header already read into header: width x height
 * pixels of 4 bytes, bottom row first, at most limit bytes. Hands out the header (bit count 24)
 * and the rows as blue, green, red with each row padded to a multiple of 4. 0 x 0 is the empty
 * preview the writer leaves when a side would be 0 pixels long: a valid picture without rows.
 */
static int ReadPicture(Reader* r, const unsigned char* header, uint64_t limit, void** info, void** bits) {
  const int32_t width = (int32_t)LoadU32(header + 4);
  const int32_t height = (int32_t)LoadU32(header + 8);
  uint64_t inRow;
  uint64_t outRow;
  unsigned char* out;
  unsigned char* row;
  void* block;
  int32_t y;
  if (!(width == 0 && height == 0) && !SpiPictureSizeOk(width, height)) return -1;
  inRow = (uint64_t)width * 4u;
  outRow = SpiDibRowBytes(width, 24);
  if (inRow * (uint64_t)height > limit || inRow * (uint64_t)height > Remaining(r)) return -1;

  {
    VarnelBitmapInfoHeader copy;
    memcpy(&copy, header, sizeof copy);
    copy.biBitCount = 24;
    block = SpiNewInfoBlock(&copy);
  }
  /* Never a null block for the empty picture: hosts treat a missing block as a failure. */
  out = (unsigned char*)calloc(1, outRow * (uint64_t)height > 0 ? (size_t)(outRow * (uint64_t)height) : 1u);
  row = (unsigned char*)malloc((size_t)inRow + 1024u);
  if (block == NULL || out == NULL || row == NULL) {
    free(block);
    free(out);
    free(row);
    return -1;
  }
  for (y = 0; y < height; ++y) {
    unsigned char* dst = out + (uint64_t)y * outRow;
    const unsigned char* src = row;
    int32_t x;
    if (Take(r, row, inRow) != 0) {
      free(block);
      free(out);
      free(row);
      return -1;
    }
    for (x = 0; x < width; ++x, src += 4, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
  free(row);
  *info = block;
  *bits = out;
  return 0;
}

/* A chunked layer file from r's position: the signature, then chunks up to "PRVW". */
static int ReadPreview(Reader* r, void** info, void** bits) {
  unsigned char signature[SIGNATURE_SIZE];
  if (Take(r, signature, SIGNATURE_SIZE) != 0 || memcmp(signature, kChunkedMagic, 5) != 0) return -1;
  for (;;) {
    unsigned char chunk[CHUNK_HEADER_SIZE];
    uint32_t size;
    if (Take(r, chunk, CHUNK_HEADER_SIZE) != 0) return -1;
    size = LoadU32(chunk + 6);
    if (memcmp(chunk + 2, "PRVW", 4) == 0) {
      unsigned char header[PIXEL_HEADER_SIZE];
      if (size < PIXEL_HEADER_SIZE || Take(r, header, PIXEL_HEADER_SIZE) != 0) return -1;
      return ReadPicture(r, header, size - PIXEL_HEADER_SIZE, info, bits);
    }
    /* The layer list begins: this file has no preview. */
    if (memcmp(chunk + 2, "LLCB", 4) == 0) return -1;
    if (Skip(r, size) != 0) return -1;
  }
}

/* A simple layer list from r's position: "LB", the count, then the first layer's record. */
static int ReadFirstLayer(Reader* r, void** info, void** bits) {
  unsigned char start[6];
  unsigned char header[PIXEL_HEADER_SIZE];
  unsigned char attributes[LIST_ATTRIBUTES_SIZE + 4];
  if (Take(r, start, sizeof start) != 0 || start[0] != 'L' || start[1] != 'B') return -1;
  if ((int32_t)LoadU32(start + 2) < 1) return -1;
  if (Take(r, header, sizeof header) != 0 || Take(r, attributes, sizeof attributes) != 0) return -1;
  if (Skip(r, LoadU32(attributes + LIST_ATTRIBUTES_SIZE)) != 0) return -1;
  return ReadPicture(r, header, UINT64_MAX, info, bits);
}

/* Opens a file for GetPicture and GetPreview and detects its kind from its first bytes. */
static int OpenLayerFile(const char* path, Reader* r) {
  unsigned char head[5];
  uint64_t size = 0;
  uint64_t count;
  r->fd = SpiOpenRegular(path, &size);
  if (r->fd < 0) return kKindNone;
  r->size = size;
  r->position = 0;
  count = size < sizeof head ? size : sizeof head;
  if (Take(r, head, count) != 0) return kKindNone;
  r->position = 0;
  return DetectKind(head, (int)count);
}

VARNEL_PLUGIN_EXPORT int GetPluginInfo(int number, char* buffer, int length) {
  /* The results are the interface's: the version and pattern entries count their zero. */
  switch (number) {
    case 0:
      SpiCopyText("00IN", buffer, length);
      return 5;
    case 1:
      return SpiCopyText("Layerpeek Ver0.1", buffer, length);
    case 2:
      SpiCopyText("*.VLB", buffer, length);
      return 6;
    case 3:
      return SpiCopyText("Varnel Layer Format", buffer, length);
    default:
      return 0;
  }
}

VARNEL_PLUGIN_EXPORT int IsSupported(const char* path, intptr_t handleOrBytes) {
  unsigned char head[5];
  const int count = SpiReadHead(handleOrBytes, head, sizeof head, 1);
  (void)path;
  return count > 0 && DetectKind(head, count) != kKindNone ? 1 : 0;
}

VARNEL_PLUGIN_EXPORT int GetPictureInfo(const char* buffer, intptr_t offset, unsigned int flag, VarnelPictureInfo* info) {
  /* Not provided: hosts that need the size call GetPicture. */
  (void)buffer;
  (void)offset;
  (void)flag;
  (void)info;
  return -1;
}

/* A simple layer list is read from offset, a chunked file from its start. */
VARNEL_PLUGIN_EXPORT int GetPicture(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  Reader r;
  int result = -1;
  int kind;
  (void)progress;
  (void)data;
  if ((flag & kVarnelInputMask) != kVarnelInputFile || info == NULL || bits == NULL) return -1;
  kind = OpenLayerFile(buffer, &r);
  if (r.fd < 0) return -1;
  if (kind == kKindList) {
    if (SeekTo(&r, offset) == 0) result = ReadFirstLayer(&r, info, bits);
  } else if (kind == kKindChunked) {
    result = ReadPreview(&r, info, bits);
  }
  close(r.fd);
  return result;
}

/* Only chunked files have a preview; it is read from offset. */
VARNEL_PLUGIN_EXPORT int GetPreview(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  Reader r;
  int result = -1;
  int kind;
  (void)progress;
  (void)data;
  if ((flag & kVarnelInputMask) != kVarnelInputFile || info == NULL || bits == NULL) return -1;
  kind = OpenLayerFile(buffer, &r);
  if (r.fd < 0) return -1;
  if (kind == kKindChunked && SeekTo(&r, offset) == 0) result = ReadPreview(&r, info, bits);
  close(r.fd);
  return result;
}
