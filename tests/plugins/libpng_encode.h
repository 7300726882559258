#ifndef VARNEL_TESTS_PLUGINS_LIBPNG_ENCODE_H
#define VARNEL_TESTS_PLUGINS_LIBPNG_ENCODE_H

#include <stdint.h>

#include "plugins/ora/ora_png.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Encodes a picture (the sdk's BGRA, bottom row first) as 8-bit RGBA PNG into out (which starts
 * empty) through libpng. level (0..9) and strategy are zlib's; filters is a libpng filter mask.
 * 0, or -1. */
int LibpngEncode(const unsigned char* pixels, uint32_t width, uint32_t height, int level, int strategy, int filters,
                 OraBuffer* out);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_TESTS_PLUGINS_LIBPNG_ENCODE_H */
