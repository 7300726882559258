/*
 * Jpegport: reads and writes JPEG pictures for the program and any other host of the picture
 * plug-in interface. Pictures come out as 24-bit bottom-up BGR bitmaps with rows padded to 4
 * bytes; grey and CMYK files are converted. Writing takes the program's 32-bit pixels (alpha
 * dropped: JPEG has none) at the quality kept in the program's settings file, section
 * "JpegPlugin", key "Quality" (1 to 100, default 90).
 *
 * libjpeg reports errors through its error manager, which jumps back here: every call that can
 * fail runs inside one function that set the jump point, and everything it allocates is held in
 * a record its caller frees.
 */

#define _GNU_SOURCE
#include <setjmp.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

#include "plugins/common/plugin_profile.h"
#include "plugins/common/spi_common.h"
#include "sdk/varnel_picture_plugin.h"

#define QUALITY_SECTION "JpegPlugin"
#define QUALITY_KEY "Quality"
#define DEFAULT_QUALITY 90

/* Every block of every component costs at least one bit of Huffman code in the scan that first
 * codes it, so a file cannot describe more blocks than 8 per byte it holds. Arithmetic coding
 * can go below a bit; it gets a wide margin. A picture claiming more is cut short or lying, and
 * is refused before anything is allocated for it. */
#define HUFFMAN_BLOCKS_PER_BYTE 8u
#define ARITHMETIC_BLOCKS_PER_BYTE 512u
/* Real progressive files have about ten scans; thousands of tiny ones only burn time. */
#define MAX_SCANS 256

/* The start-of-image marker and the first byte of the next marker. */
static const unsigned char kSignature[3] = {0xFF, 0xD8, 0xFF};

typedef struct ErrorManager {
  struct jpeg_error_mgr base;
  jmp_buf jump;
} ErrorManager;

static void OnErrorExit(j_common_ptr common) { longjmp(((ErrorManager*)common->err)->jump, 1); }

static void OnEmitMessage(j_common_ptr common, int level) {
  /* When the data ends, or a marker comes, before every block is decoded, libjpeg fills the
   * rest with grey and calls it a warning; a picture that is not all there must not pass for a
   * good one. */
  const int code = common->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) longjmp(((ErrorManager*)common->err)->jump, 1);
}

static void OnOutputMessage(j_common_ptr common) { (void)common; }

static void OnProgress(j_common_ptr common) {
  if (common->is_decompressor && ((j_decompress_ptr)common)->input_scan_number > MAX_SCANS) {
    longjmp(((ErrorManager*)common->err)->jump, 1);
  }
}

static void InstallErrorManager(ErrorManager* error) {
  jpeg_std_error(&error->base);
  error->base.error_exit = OnErrorExit;
  error->base.emit_message = OnEmitMessage;
  error->base.output_message = OnOutputMessage;
}

typedef struct Decoder {
  struct jpeg_decompress_struct cinfo;
  ErrorManager error;
  struct jpeg_progress_mgr progress;
  int created;
  SpiSource source;
  uint32_t width;
  uint32_t height;
  uint64_t stride;
  uint16_t xDotsPerInch;
  uint16_t yDotsPerInch;
  unsigned char* pixels; /* stride x height, bottom row first */
  unsigned char* cmykRow;
  int result; /* the answer when a jump lands */
} Decoder;

static uint16_t DotsPerInch(int unit, unsigned density) {
  if (unit == 1) return (uint16_t)density;
  if (unit == 2) {
    const unsigned dpi = (density * 254u + 50u) / 100u;
    return dpi > 0xFFFF ? 0xFFFF : (uint16_t)dpi;
  }
  return 0;
}

static unsigned char Multiply255(unsigned a, unsigned b) { return (unsigned char)((a * b + 127u) / 255u); }

/* CMYK to blue, green, red. Adobe's files (and so most CMYK files) store the inks inverted. */
static void CmykToBgr(const unsigned char* cmyk, unsigned char* bgr, uint32_t width, int inverted) {
  uint32_t x;
  for (x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const unsigned c = inverted ? cmyk[0] : 255u - cmyk[0];
    const unsigned m = inverted ? cmyk[1] : 255u - cmyk[1];
    const unsigned y = inverted ? cmyk[2] : 255u - cmyk[2];
    const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
    bgr[0] = Multiply255(y, k);
    bgr[1] = Multiply255(m, k);
    bgr[2] = Multiply255(c, k);
  }
}

static int EnoughDataForBlocks(const struct jpeg_decompress_struct* cinfo, uint64_t available) {
  uint64_t blocks = 0;
  int i;
  for (i = 0; i < cinfo->num_components; ++i) {
    blocks += (uint64_t)cinfo->comp_info[i].width_in_blocks * cinfo->comp_info[i].height_in_blocks;
  }
  return blocks <= available * (cinfo->arith_code ? ARITHMETIC_BLOCKS_PER_BYTE : HUFFMAN_BLOCKS_PER_BYTE);
}

/* Reads the header and, when pixels is set, the whole picture. Runs every libjpeg call that
 * may jump back here. */
static int Decode(Decoder* d, int pixels) {
  struct jpeg_decompress_struct* cinfo = &d->cinfo;
  int cmyk;
  /* libjpeg would skip stray bytes after the start marker; what IsSupported refuses is not read
   * either. */
  if (!SpiSourceStartsWith(&d->source, kSignature, sizeof kSignature)) return kVarnelPluginUnknownFormat;
  d->result = kVarnelPluginBrokenData;
  cinfo->err = &d->error.base;
  InstallErrorManager(&d->error);
  if (setjmp(d->error.jump)) return d->result;

  jpeg_create_decompress(cinfo);
  d->created = 1;
  d->progress.progress_monitor = OnProgress;
  cinfo->progress = &d->progress;
  if (d->source.file != NULL) {
    jpeg_stdio_src(cinfo, d->source.file);
  } else {
    jpeg_mem_src(cinfo, d->source.data, (unsigned long)d->source.available);
  }
  jpeg_read_header(cinfo, TRUE);
  d->width = cinfo->image_width;
  d->height = cinfo->image_height;
  if (cinfo->saw_JFIF_marker) {
    d->xDotsPerInch = DotsPerInch(cinfo->density_unit, cinfo->X_density);
    d->yDotsPerInch = DotsPerInch(cinfo->density_unit, cinfo->Y_density);
  }
  if (!SpiPictureSizeOk(d->width, d->height)) return kVarnelPluginNoMemory;
  if (!EnoughDataForBlocks(cinfo, d->source.available)) return kVarnelPluginBrokenData;
  if (!pixels) return kVarnelPluginSuccess;

  cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_width != d->width || cinfo->output_height != d->height ||
      cinfo->output_components != (cmyk ? 4 : 3)) {
    return kVarnelPluginInternalError;
  }
  d->stride = SpiDibRowBytes(d->width, 24);
  d->result = kVarnelPluginNoMemory;
  /* Zeroed: the row padding goes out as zero bytes. */
  d->pixels = (unsigned char*)calloc(1, (size_t)(d->stride * d->height));
  if (d->pixels == NULL) return kVarnelPluginNoMemory;
  if (cmyk) {
    d->cmykRow = (unsigned char*)malloc((size_t)d->width * 4u);
    if (d->cmykRow == NULL) return kVarnelPluginNoMemory;
  }
  d->result = kVarnelPluginBrokenData;
  while (cinfo->output_scanline < d->height) {
    unsigned char* out = d->pixels + (uint64_t)(d->height - 1u - cinfo->output_scanline) * d->stride;
    JSAMPROW row = cmyk ? d->cmykRow : out;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return kVarnelPluginBrokenData;
    if (cmyk) CmykToBgr(d->cmykRow, out, d->width, cinfo->saw_Adobe_marker);
  }
  /* The picture is complete; what may follow the last scan is not looked at. */
  return kVarnelPluginSuccess;
}

static void CloseDecoder(Decoder* d) {
  if (d->created) jpeg_destroy_decompress(&d->cinfo);
  SpiCloseSource(&d->source);
  free(d->pixels);
  free(d->cmykRow);
}

static int32_t PixelsPerMetre(uint16_t dotsPerInch) { return (int32_t)(((uint32_t)dotsPerInch * 10000u + 127u) / 254u); }

/* The quality in the settings file, within 1..100 (libjpeg takes 0 as 1); the default when it is
 * missing. */
static int ReadQuality(void) { return (int)SpiProfileGetClamped(QUALITY_SECTION, QUALITY_KEY, DEFAULT_QUALITY, 1, 100); }

VARNEL_PLUGIN_EXPORT int GetPluginInfo(int number, char* buffer, int length) {
  static const char* const kTexts[] = {"00IN", "Jpegport Ver0.1", "*.jpg;*.jpeg", "JPEG Image"};
  if (number < 0 || number >= (int)(sizeof kTexts / sizeof kTexts[0])) return 0;
  return SpiCopyText(kTexts[number], buffer, length);
}

VARNEL_PLUGIN_EXPORT int IsSupported(const char* path, intptr_t handleOrBytes) {
  unsigned char head[3];
  (void)path;
  return SpiReadHead(handleOrBytes, head, sizeof head, 0) == (int)sizeof head && memcmp(head, kSignature, sizeof head) == 0;
}

VARNEL_PLUGIN_EXPORT int GetPictureInfo(const char* buffer, intptr_t offset, unsigned int flag, VarnelPictureInfo* info) {
  Decoder d;
  int result;
  if (info == NULL) return kVarnelPluginReadError;
  memset(&d, 0, sizeof d);
  result = SpiOpenSource(buffer, offset, flag, &d.source);
  if (result == kVarnelPluginSuccess) result = Decode(&d, 0);
  if (result == kVarnelPluginSuccess) {
    memset(info, 0, sizeof *info);
    info->width = (int32_t)d.width;
    info->height = (int32_t)d.height;
    info->xDensity = d.xDotsPerInch;
    info->yDensity = d.yDotsPerInch;
    info->colourDepth = 24;
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
  memset(&d, 0, sizeof d);
  result = SpiOpenSource(buffer, offset, flag, &d.source);
  if (result == kVarnelPluginSuccess) result = Decode(&d, 1);
  if (result == kVarnelPluginSuccess) {
    result = SpiHandOverPicture(d.width, d.height, 24, (uint32_t)(d.stride * d.height), PixelsPerMetre(d.xDotsPerInch),
                                PixelsPerMetre(d.yDotsPerInch), &d.pixels, info, bits);
  }
  CloseDecoder(&d);
  return result;
}

VARNEL_PLUGIN_EXPORT int GetPreview(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  /* Not offered: hosts fall back to GetPicture. */
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
  return SpiEqualsNoCase(extension, "jpg") || SpiEqualsNoCase(extension, "jpeg") ? 0 : -1;
}

VARNEL_PLUGIN_EXPORT int GetSupportFormatFilter(char* buffer, int size) {
  return SpiCopyText("*.jpg;*.jpeg", buffer, size);
}

VARNEL_PLUGIN_EXPORT int GetSupportFormatDescriptor(char* buffer, int size) {
  return SpiCopyText("JPEG Image(*.jpg;*.jpeg)", buffer, size);
}

VARNEL_PLUGIN_EXPORT void SetHostServices(const VarnelHostServices* services) { SpiSetHostServices(services); }

/* The plug-in links no user-interface toolkit: the host asks for the quality on its behalf. */
VARNEL_PLUGIN_EXPORT int OpenConfig(void* window) {
  return SpiConfigureSetting(window, QUALITY_SECTION, QUALITY_KEY, DEFAULT_QUALITY, 0, 100, "JPEG の設定",
                             "画質 (0-100)");
}

typedef struct Encoder {
  struct jpeg_compress_struct cinfo;
  ErrorManager error;
  int created;
  FILE* file;
  const unsigned char* bits;
  const VarnelBitmapInfoHeader* header;
  uint32_t width;
  uint32_t height;
  uint64_t stride;
  int topDown;
  int quality;
} Encoder;

static int Encode(Encoder* e) {
  struct jpeg_compress_struct* cinfo = &e->cinfo;
  cinfo->err = &e->error.base;
  InstallErrorManager(&e->error);
  if (setjmp(e->error.jump)) return -1;
  jpeg_create_compress(cinfo);
  e->created = 1;
  jpeg_stdio_dest(cinfo, e->file);
  cinfo->image_width = e->width;
  cinfo->image_height = e->height;
  cinfo->input_components = e->header->biBitCount / 8;
  cinfo->in_color_space = e->header->biBitCount == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, e->quality, TRUE);
  if (e->header->biXPelsPerMeter > 0 && e->header->biYPelsPerMeter > 0) {
    const int64_t x = ((int64_t)e->header->biXPelsPerMeter * 254 + 5000) / 10000;
    const int64_t y = ((int64_t)e->header->biYPelsPerMeter * 254 + 5000) / 10000;
    cinfo->density_unit = 1;
    cinfo->X_density = (UINT16)(x < 1 ? 1 : x > 0xFFFF ? 0xFFFF : x);
    cinfo->Y_density = (UINT16)(y < 1 ? 1 : y > 0xFFFF ? 0xFFFF : y);
  }
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < e->height) {
    const uint64_t row = e->topDown ? cinfo->next_scanline : e->height - 1u - cinfo->next_scanline;
    /* libjpeg only reads the rows it is given. */
    JSAMPROW pointer = (JSAMPROW)(uintptr_t)(e->bits + row * e->stride);
    jpeg_write_scanlines(cinfo, &pointer, 1);
  }
  jpeg_finish_compress(cinfo);
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
  /* JPEG keeps sides below 65536 pixels. */
  if (!SpiPictureSizeOk(info->header.biWidth, height) || info->header.biWidth > JPEG_MAX_DIMENSION ||
      height > JPEG_MAX_DIMENSION || strlen(path) + 40 > sizeof temp) {
    return -1;
  }
  memset(&e, 0, sizeof e);
  e.bits = (const unsigned char*)bits;
  e.header = &info->header;
  e.width = (uint32_t)info->header.biWidth;
  e.height = (uint32_t)height;
  e.stride = SpiDibRowBytes(e.width, info->header.biBitCount);
  e.topDown = info->header.biHeight < 0;
  e.quality = ReadQuality();

  fd = SpiCreateTemp(path, temp, sizeof temp);
  if (fd < 0) return -1;
  e.file = fdopen(fd, "wb");
  if (e.file == NULL) {
    close(fd);
    SpiDiscardTemp(temp);
    return -1;
  }
  result = Encode(&e);
  if (e.created) jpeg_destroy_compress(&e.cinfo);
  if (SpiCloseWritten(e.file) != 0) result = -1;
  if (result == 0) return SpiCommitTemp(temp, path);
  SpiDiscardTemp(temp);
  return -1;
}
