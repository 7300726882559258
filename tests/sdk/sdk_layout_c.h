#ifndef VARNEL_TESTS_SDK_SDK_LAYOUT_C_H
#define VARNEL_TESTS_SDK_SDK_LAYOUT_C_H
/* The record layout as a C compiler sees it, so the C++ side can compare. */

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SdkLayoutEntry {
  const char* name;  /* "Record.field", or "sizeof Record" */
  size_t value;      /* what the C compiler computed */
  size_t expected;   /* the fixed layout */
} SdkLayoutEntry;

/* The entries and their count, measured by the C compiler at run time. */
const SdkLayoutEntry* SdkLayoutEntries(size_t* count);

/* Writes through a descriptor from C the way a plug-in does: sets pixel (x, y), counted
 * from the top, through the row table. Answers 0 if the coordinates are outside. */
int SdkSetPixelFromC(void* descriptor, int x, int y, unsigned colour);

#ifdef __cplusplus
}
#endif

#endif
