#ifndef VARNEL_TESTS_SDK_FILTER_LAYOUT_C_H
#define VARNEL_TESTS_SDK_FILTER_LAYOUT_C_H
/* The filter records as a C compiler lays them out, and a filter body written in C. */

#include "tests/sdk/sdk_layout_c.h"
#include "sdk/varnel_filter.h"

#ifdef __cplusplus
extern "C" {
#endif

const SdkLayoutEntry* FilterLayoutEntries(size_t* count);

/* Inverts blue, green and red of row y through the host's GetLine and SetLine; answers what
 * SetLine answered, or 0 when a callback is missing or the image is wider than 16. */
int FilterInvertRowFromC(HostInfo* host, int y);

#ifdef __cplusplus
}
#endif

#endif
