/* A name-interface filter library that records every call, for the batch tests:
 *   "Mark"  ProcessFilter: reports 50 %, then sets pixel (0, 0) to 0xFF000000 | calls so far;
 *   "Wide"  ProcessFilter: reports 50 %, then fills the whole image with 0xFF112233.
 * Execute records the call too, marked as such, and changes nothing; ParamToString answers
 * "<filter> <index>: <value>%". */
#include <stdio.h>
#include <string.h>

#include "sdk/varnel_filter.h"

static char g_log[4096];
static int g_calls;

static void Record(const char* entry, const char* filterName, int32_t count, const int32_t* values) {
  size_t used = strlen(g_log);
  /* The host hands over an array even with no values: a null one is logged. */
  used += (size_t)snprintf(g_log + used, sizeof g_log - used, "%s %s %d%s:", entry, filterName, (int)count,
                           values ? "" : " null");
  for (int32_t i = 0; i < count && used < sizeof g_log; ++i)
    used += (size_t)snprintf(g_log + used, sizeof g_log - used, i ? ",%d" : "%d", (int)values[i]);
  if (used < sizeof g_log - 1) strcat(g_log, ";");
}

VARNEL_FILTER_EXPORT int32_t EnumFilter(char* nameOut, int32_t index) {
  static const char* const kNames[] = {"Mark", "Wide"};
  if (index < 0 || index > 1) return 1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "%s", kNames[index]);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t EnumParams(const char* filterName, char* paramNameOut, int32_t* min, int32_t* max,
                                        int32_t* def, int32_t index) {
  (void)filterName;
  if (index != 0) return -1;
  snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "Level");
  *min = 0, *max = 100, *def = 40;
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ParamToString(const char* filterName, int32_t paramIndex, char* textOut, int32_t value) {
  snprintf(textOut, VARNEL_VALUE_TEXT_SIZE, "%s %d: %d%%", filterName, (int)paramIndex, (int)value);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t Execute(const char* filterName, ImageDescriptor* image, int32_t count, int32_t* values) {
  (void)image;
  Record("Execute", filterName, count, values);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ProcessFilter(const char* filterName, ImageDescriptor* image, int32_t count,
                                           int32_t* values, ProgressHandler progress) {
  Record("ProcessFilter", filterName, count, values);
  ++g_calls;
  if (progress(0, 50) != 0) strcat(g_log, "abort;");
  if (image->rows == NULL) return 0;
  if (strcmp(filterName, "Mark") == 0) {
    ((uint32_t*)image->rows[0])[0] = 0xFF000000u | (uint32_t)g_calls;
  } else if (strcmp(filterName, "Wide") == 0) {
    for (int32_t y = 0; y < image->header.biHeight; ++y)
      for (int32_t x = 0; x < image->header.biWidth; ++x) ((uint32_t*)image->rows[y])[x] = 0xFF112233u;
  }
  return 0;
}

/* Not part of the contract: the calls so far ("Entry name count:v1,v2;" each), then forgets them. */
VARNEL_FILTER_EXPORT const char* ProbeTakeLog(void) {
  static char taken[sizeof g_log];
  memcpy(taken, g_log, sizeof g_log);
  g_log[0] = '\0';
  g_calls = 0;
  return taken;
}
