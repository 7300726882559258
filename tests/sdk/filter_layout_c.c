/* Compiled as strict C11: the filter header is plain C, and a C filter reaches the host's
 * pixels through the callbacks alone. */

#include "tests/sdk/filter_layout_c.h"

#include "sdk/varnel_filter.h"

#define FIELD(record, field, expected) \
  { #record "." #field, offsetof(record, field), (expected) }
#define SIZE(record, expected) \
  { "sizeof " #record, sizeof(record), (expected) }

static const SdkLayoutEntry kEntries[] = {
    SIZE(HostInfo, 16),
    FIELD(HostInfo, owner, 0),
    FIELD(HostInfo, getHostProc, 8),
};

const SdkLayoutEntry* FilterLayoutEntries(size_t* count) {
  *count = sizeof kEntries / sizeof kEntries[0];
  return kEntries;
}

int FilterInvertRowFromC(HostInfo* host, int y) {
  VarnelGetLine getLine = (VarnelGetLine)host->getHostProc("GetLine", 0);
  VarnelSetLine setLine = (VarnelSetLine)host->getHostProc("SetLine", 0);
  VarnelGetImageSize getSize = (VarnelGetImageSize)host->getHostProc("GetImageSize", 0);
  int32_t width = 0, height = 0, x;
  uint8_t line[4 * 16];
  if (!getLine || !setLine || !getSize || !getSize(0, &width, &height) || width > 16) return 0;
  getLine(y, 0, width - 1, line);
  for (x = 0; x < 4 * width; ++x)
    if (x % 4 != 3) line[x] = (uint8_t)(255 - line[x]);
  return setLine(y, 0, width - 1, line);
}
