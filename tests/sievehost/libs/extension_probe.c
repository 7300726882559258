/* An extension library of the three-export protocol that records what it was given. */
#include <stdio.h>

#include "sdk/varnel_filter.h"

static char g_log[512];

VARNEL_FILTER_EXPORT int32_t CreateUI(void* mainWindow) {
  snprintf(g_log, sizeof g_log, "CreateUI %s;", mainWindow ? "window" : "none");
  return 0;
}

VARNEL_FILTER_EXPORT int32_t PaintMsg(int32_t code, int32_t count, ImageDescriptor** head) {
  size_t used = 0;
  while (g_log[used]) ++used;
  snprintf(g_log + used, sizeof g_log - used, "PaintMsg %d %d %s %dx%d;", (int)code, (int)count,
           head ? "head" : "null", head && *head ? (int)(*head)->header.biWidth : 0,
           head && *head ? (int)(*head)->header.biHeight : 0);
  return 0;
}

/* The batch entry: runs nothing, records the owner and the image size. */
VARNEL_FILTER_EXPORT int32_t ProcessBatch(void* owner, ImageDescriptor* image) {
  size_t used = 0;
  while (g_log[used]) ++used;
  snprintf(g_log + used, sizeof g_log - used, "ProcessBatch %s %dx%d;", owner ? "window" : "none",
           image ? (int)image->header.biWidth : 0, image ? (int)image->header.biHeight : 0);
  return 0;
}

VARNEL_FILTER_EXPORT const char* ProbeTakeLog(void) {
  static char taken[sizeof g_log];
  snprintf(taken, sizeof taken, "%s", g_log);
  g_log[0] = '\0';
  return taken;
}
