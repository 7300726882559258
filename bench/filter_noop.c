/* A filter that does nothing, so the benchmark times only what the host does around a call. */
#include "sdk/varnel_filter.h"

VARNEL_FILTER_EXPORT int32_t EnumFilter(char* nameOut, int32_t index) {
  if (index != 0) return -1;
  nameOut[0] = 'N', nameOut[1] = 'o', nameOut[2] = 'p', nameOut[3] = '\0';
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ProcessFilter(const char* filterName, ImageDescriptor* image, int32_t count,
                                           int32_t* values, ProgressHandler progress) {
  (void)filterName, (void)image, (void)count, (void)values;
  return progress ? progress(0, 100) : 0;
}
