/* The effect library header as a C plug-in sees it: strict C11, and an entry point of each type. */
#include <stddef.h>

#include "sdk/varnel_effect.h"

_Static_assert(offsetof(VarnelEnlargeObject, percent) == 4, "percent follows the version");

static int32_t Name(int32_t index, char* buffer) {
  (void)buffer;
  return index < 1 ? 0 : -1;
}

VarnelGetEffectName EffectHeaderCName(void) { return Name; }
