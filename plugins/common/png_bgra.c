#include "plugins/common/png_bgra.h"

#include <stdlib.h>

#include "sdk/varnel_picture_plugin.h"

void VarnelPngOnError(png_structp png, png_const_charp message) {
  (void)message;
  png_longjmp(png, 1);
}

void VarnelPngOnWarning(png_structp png, png_const_charp message) {
  (void)png;
  (void)message;
}

int VarnelPngReadBgra(png_structp png, png_infop info, uint32_t width, uint32_t height, int* result,
                      unsigned char** pixels, png_bytep** rows) {
  const int colourType = png_get_color_type(png, info);
  png_uint_32 y;
  png_set_expand(png);
  png_set_scale_16(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != (size_t)width * 4u) return kVarnelPluginInternalError;

  *result = kVarnelPluginNoMemory;
  *pixels = (unsigned char*)malloc((size_t)width * height * 4u);
  *rows = (png_bytep*)malloc(sizeof(png_bytep) * height);
  if (*pixels == NULL || *rows == NULL) return kVarnelPluginNoMemory;
  for (y = 0; y < height; ++y) (*rows)[y] = *pixels + (size_t)(height - 1 - y) * width * 4u;
  *result = kVarnelPluginBrokenData;
  png_read_image(png, *rows);
  return kVarnelPluginSuccess;
}
