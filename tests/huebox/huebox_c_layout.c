/* Compiled as strict C11: sdk/huebox.h is plain C, and its records measure the same here. */

#include "tests/huebox/huebox_c_layout.h"

#include "sdk/huebox.h"

static const HueboxLayoutEntry kEntries[] = {
    {"sizeof HueboxGradientStop", sizeof(HueboxGradientStop)},
    {"HueboxGradientStop.alpha", offsetof(HueboxGradientStop, alpha)},
    {"sizeof HueboxGradient", sizeof(HueboxGradient)},
    {"HueboxGradient.stopCount", offsetof(HueboxGradient, stopCount)},
    {"HueboxGradient.stops", offsetof(HueboxGradient, stops)},
    {"sizeof HueboxSurfaceState", sizeof(HueboxSurfaceState)},
    {"HueboxSurfaceState.hue", offsetof(HueboxSurfaceState, hue)},
};

const HueboxLayoutEntry* HueboxLayoutEntries(size_t* count) {
  *count = sizeof kEntries / sizeof kEntries[0];
  return kEntries;
}
