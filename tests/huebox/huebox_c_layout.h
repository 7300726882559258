#ifndef VARNEL_TESTS_HUEBOX_HUEBOX_C_LAYOUT_H
#define VARNEL_TESTS_HUEBOX_HUEBOX_C_LAYOUT_H
/* The Huebox records as a C compiler lays them out, so the C++ side can compare. */

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HueboxLayoutEntry {
  const char* what; /* "sizeof Record" or "Record.field" */
  size_t value;
} HueboxLayoutEntry;

const HueboxLayoutEntry* HueboxLayoutEntries(size_t* count);

#ifdef __cplusplus
}
#endif

#endif
