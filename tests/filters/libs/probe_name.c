/* The name interface with every export: "Fill" (two parameters), "Bare" (none), "Seven" (seven). */
#include <stdio.h>

#include "tests/filters/libs/probe_common.h"

static char g_lastConfig[VARNEL_FILTER_NAME_SIZE];
static void* g_lastOwner;

VARNEL_FILTER_EXPORT int32_t EnumFilter(char* nameOut, int32_t index) {
  static const char* const kNames[] = {"Fill", "Bare", "Seven"};
  if (index < 0 || index > 2) return 1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "%s", kNames[index]);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t EnumParams(const char* filterName, char* paramNameOut, int32_t* min, int32_t* max,
                                        int32_t* def, int32_t index) {
  if (strcmp(filterName, "Fill") == 0 && index >= 0 && index < 2) {
    snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "%s", index == 0 ? "Red" : "Green");
    *min = 0, *max = 255, *def = index == 0 ? 10 : 20;
    return 0;
  }
  if (strcmp(filterName, "Seven") == 0 && index >= 0 && index < 7) {
    snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "P%d", (int)index);
    *min = -50, *max = 100, *def = 10 * index + 1;
    return 0;
  }
  return -1;
}

VARNEL_FILTER_EXPORT int32_t ParamToString(const char* filterName, int32_t paramIndex, char* textOut, int32_t value) {
  (void)filterName;
  snprintf(textOut, VARNEL_VALUE_TEXT_SIZE, "p%d=%d", (int)paramIndex, (int)value);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t Execute(const char* filterName, ImageDescriptor* image, int32_t count, int32_t* values) {
  (void)filterName;
  ProbeFill(image, ProbeMarker(0x11, count, values), NULL);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ProcessFilter(const char* filterName, ImageDescriptor* image, int32_t count,
                                           int32_t* values, ProgressHandler progress) {
  (void)filterName;
  ProbeFill(image, ProbeMarker(0x22, count, values), progress);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t OpenConfig(const char* filterName, void* owner) {
  snprintf(g_lastConfig, sizeof g_lastConfig, "%s", filterName);
  g_lastOwner = owner;
  return 0;
}

/* Not part of the contract: lets the test see what OpenConfig was given. */
VARNEL_FILTER_EXPORT const char* ProbeLastConfig(void** owner) {
  *owner = g_lastOwner;
  return g_lastConfig;
}
