/* The alias interface without AliasFilterParams: its parameters are never listed. */
#include <stdio.h>

#include "tests/filters/libs/probe_common.h"

VARNEL_FILTER_EXPORT int32_t EnumFilterName(char* nameOut, int32_t index) {
  if (index != 0) return -1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "Partial");
  return 0;
}

VARNEL_FILTER_EXPORT int32_t AliasFilterName(const char* filterName) { return strcmp(filterName, "Partial") == 0 ? 3 : -1; }

VARNEL_FILTER_EXPORT int32_t EnumFilterParams(int32_t alias, char* paramNameOut, int32_t* min, int32_t* max,
                                              int32_t* def, int32_t index) {
  (void)alias;
  if (index != 0) return -1;
  snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "Hidden");
  *min = 0, *max = 9, *def = 5;
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ExecuteFilter(int32_t alias, HostInfo* host, int32_t count, int32_t* values) {
  (void)alias;
  ProbeFillThroughHost(host, ProbeMarker(0x66, count, values));
  return 0;
}
