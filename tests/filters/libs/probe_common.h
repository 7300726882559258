/* Shared by the probe filter libraries: each writes a marker into every pixel it reaches, so a
 * test can tell which entry point ran and with what: alpha = the entry's mark, red = the value
 * count, green and blue = the sum of the values (low 16 bits). */
#ifndef VARNEL_TESTS_FILTERS_PROBE_COMMON_H
#define VARNEL_TESTS_FILTERS_PROBE_COMMON_H

#include <stdint.h>
#include <string.h>

#include "sdk/varnel_filter.h"

static inline uint32_t ProbeMarker(uint32_t mark, int32_t count, const int32_t* values) {
  uint32_t sum = 0;
  int32_t i;
  /* A null array, even with count 0, is marked: the host always hands over an array. */
  if (!values) return mark << 24 | ((uint32_t)count & 0xFFu) << 16 | 0xFFFFu;
  for (i = 0; i < count; ++i) sum += (uint32_t)values[i];
  return mark << 24 | ((uint32_t)count & 0xFFu) << 16 | (sum & 0xFFFFu);
}

/* Writes the marker row by row from the top; asks progress after each row and stops on -1. */
static inline void ProbeFill(ImageDescriptor* image, uint32_t marker, ProgressHandler progress) {
  int32_t x, y;
  if (!image || !image->rows) return;
  for (y = 0; y < image->header.biHeight; ++y) {
    uint32_t* row = (uint32_t*)image->rows[y];
    for (x = 0; x < image->header.biWidth; ++x) row[x] = marker;
    if (progress && progress(0, (y + 1) * 100 / image->header.biHeight) == -1) return;
  }
}

/* The same through the host callbacks. */
static inline void ProbeFillThroughHost(HostInfo* host, uint32_t marker) {
  VarnelGetImageSize size = (VarnelGetImageSize)host->getHostProc("GetImageSize", 0);
  VarnelSetLine setLine = (VarnelSetLine)host->getHostProc("SetLine", 0);
  ProgressHandler progress = (ProgressHandler)host->getHostProc("ProgressHandler", 0);
  int32_t width = 0, height = 0, x, y;
  uint32_t line[64];
  if (!size || !setLine || !size(0, &width, &height) || width > 64) return;
  for (x = 0; x < width; ++x) line[x] = marker;
  for (y = 0; y < height; ++y) {
    setLine(y, 0, width - 1, line);
    if (progress && progress(0, (y + 1) * 100 / height) == -1) return;
  }
}

#endif
