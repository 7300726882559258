/* A library with Execute only: a batch line falls back to it. "Dot" sets pixel (1, 0) to the
 * first value (0xFF000000 | value), or to 0xFF0000FF without values. */
#include <stdio.h>

#include "sdk/varnel_filter.h"

VARNEL_FILTER_EXPORT int32_t EnumFilter(char* nameOut, int32_t index) {
  if (index != 0) return 1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "Dot");
  return 0;
}

VARNEL_FILTER_EXPORT int32_t Execute(const char* filterName, ImageDescriptor* image, int32_t count, int32_t* values) {
  (void)filterName;
  if (image->rows == NULL || image->header.biWidth < 2) return 0;
  ((uint32_t*)image->rows[0])[1] = 0xFF000000u | (uint32_t)(count > 0 ? values[0] : 0xFF);
  return 0;
}
