#ifndef VARNEL_PLUGINS_COMMON_PNG_BGRA_H
#define VARNEL_PLUGINS_COMMON_PNG_BGRA_H
/* Reading a PNG the way every picture plug-in of the program wants its pixels. */

#include <png.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The error and warning handlers of every read and write struct: an error jumps back to the
 * caller's setjmp, warnings are dropped. */
void VarnelPngOnError(png_structp png, png_const_charp message);
void VarnelPngOnWarning(png_structp png, png_const_charp message);

/* After png_read_info: widens everything to 8-bit BGRA (palettes and low bit depths expand, the
 * transparency chunk becomes alpha, 16-bit samples round to 8 bits, grey is copied to all three
 * colours) and reads the picture bottom row first into *pixels (width x height x 4) through the
 * row table *rows. Both are the caller's to free, also when a libpng error jumps out of here;
 * *result is kept at what the caller's jump handler should answer at each stage. */
int VarnelPngReadBgra(png_structp png, png_infop info, uint32_t width, uint32_t height, int* result,
                      unsigned char** pixels, png_bytep** rows);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_PLUGINS_COMMON_PNG_BGRA_H */
