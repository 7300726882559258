/* Both interfaces: the name interface lists "Named", the alias interface "Aliased". */
#include <stdio.h>

#include "tests/filters/libs/probe_common.h"

VARNEL_FILTER_EXPORT int32_t EnumFilter(char* nameOut, int32_t index) {
  if (index != 0) return -1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "Named");
  return 0;
}

VARNEL_FILTER_EXPORT int32_t EnumParams(const char* filterName, char* paramNameOut, int32_t* min, int32_t* max,
                                        int32_t* def, int32_t index) {
  (void)filterName;
  if (index != 0) return -1;
  snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "N");
  *min = 0, *max = 9, *def = 1;
  return 0;
}

VARNEL_FILTER_EXPORT int32_t Execute(const char* filterName, ImageDescriptor* image, int32_t count, int32_t* values) {
  (void)filterName;
  ProbeFill(image, ProbeMarker(0x44, count, values), NULL);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t EnumFilterName(char* nameOut, int32_t index) {
  if (index != 0) return -1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "Aliased");
  return 0;
}

VARNEL_FILTER_EXPORT int32_t AliasFilterName(const char* filterName) { return strcmp(filterName, "Aliased") == 0 ? 0 : 1; }

VARNEL_FILTER_EXPORT int32_t AliasFilterParams(void) { return 0; }

VARNEL_FILTER_EXPORT int32_t EnumFilterParams(int32_t alias, char* paramNameOut, int32_t* min, int32_t* max,
                                              int32_t* def, int32_t index) {
  (void)alias;
  if (index > 2) return -1;
  snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "A%d", (int)index);
  *min = 0, *max = 1, *def = 0;
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ExecuteFilter(int32_t alias, HostInfo* host, int32_t count, int32_t* values) {
  (void)alias;
  ProbeFillThroughHost(host, ProbeMarker(0x55, count, values));
  return 0;
}
