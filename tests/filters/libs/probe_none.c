/* A library that exports neither interface. */
#include "sdk/varnel_filter.h"

VARNEL_FILTER_EXPORT int32_t NotAFilter(void) { return 0; }
