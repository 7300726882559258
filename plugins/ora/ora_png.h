#ifndef VARNEL_PLUGINS_ORA_ORA_PNG_H
#define VARNEL_PLUGINS_ORA_ORA_PNG_H
/*
 * The PNG pictures inside an OpenRaster archive, to and from memory. Pixels are the sdk's:
 * 4 bytes a pixel (blue, green, red, alpha), rows width x 4 bytes apart, bottom row first.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A malloc'ed byte buffer that grows as it is written. */
typedef struct OraBuffer {
  unsigned char* data;
  size_t size;
  size_t capacity;
} OraBuffer;

void OraBufferFree(OraBuffer* buffer);

/* The width and height a PNG's header states; 0, or -1 when the bytes are no PNG. */
int OraPngSize(const unsigned char* data, size_t size, uint32_t* width, uint32_t* height);

/* Decodes a PNG of any kind into a malloc'ed picture (*pixels, the caller frees it). The header
 * is checked before anything is allocated: a picture larger than maxBytes (as 32-bit pixels), or
 * one whose rows could not inflate from the bytes there are, is refused. 0, or a
 * kVarnelPlugin... result. */
int OraPngDecode(const unsigned char* data, size_t size, uint64_t maxBytes, uint32_t* width, uint32_t* height,
                 unsigned char** pixels);

/* Encodes a picture as 8-bit RGBA PNG into out by the plug-in's own encoder (ora_png_write.c),
 * several times faster than libpng and zlib. 0, or -1 (out is then empty). */
int OraPngWrite(const unsigned char* pixels, uint32_t width, uint32_t height, OraBuffer* out);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_PLUGINS_ORA_ORA_PNG_H */
