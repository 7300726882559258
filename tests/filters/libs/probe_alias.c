/* The alias interface with every export: "Stamp" (alias 7, one parameter) and "Other" (alias 8). */
#include <stdio.h>

#include "tests/filters/libs/probe_common.h"

static void* g_lastOwner;

VARNEL_FILTER_EXPORT int32_t EnumFilterName(char* nameOut, int32_t index) {
  if (index < 0 || index > 1) return -1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "%s", index == 0 ? "Stamp" : "Other");
  return 0;
}

VARNEL_FILTER_EXPORT int32_t AliasFilterName(const char* filterName) {
  if (strcmp(filterName, "Stamp") == 0) return 7;
  if (strcmp(filterName, "Other") == 0) return 8;
  return -1;
}

VARNEL_FILTER_EXPORT int32_t AliasFilterParams(void) { return 0; }

VARNEL_FILTER_EXPORT int32_t EnumFilterParams(int32_t alias, char* paramNameOut, int32_t* min, int32_t* max,
                                              int32_t* def, int32_t index) {
  if (alias != 7 || index != 0) return -1;
  snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "Level");
  *min = 0, *max = 255, *def = 50;
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ValueToString(int32_t alias, int32_t paramIndex, char* textOut, int32_t value) {
  snprintf(textOut, VARNEL_VALUE_TEXT_SIZE, "a%d.%d=%d", (int)alias, (int)paramIndex, (int)value);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ExecuteFilter(int32_t alias, HostInfo* host, int32_t count, int32_t* values) {
  g_lastOwner = host->owner;
  ProbeFillThroughHost(host, ProbeMarker(alias == 7 ? 0x33 : 0x34, count, values));
  return 0;
}

VARNEL_FILTER_EXPORT void* ProbeLastOwner(void) { return g_lastOwner; }
