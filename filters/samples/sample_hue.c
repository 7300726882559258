/*
 * SampleHue.so: the sample filter library on the alias interface. It never touches the image
 * record: it asks the host for its callbacks by name and reads and writes one row at a time.
 *
 * "Hue/Saturation" turns every pixel's hue by Hue degrees and scales its saturation by
 * (100 + Saturation) / 100 in HSV, value and alpha kept; each channel is rounded to the
 * nearest byte. Hue 0 with Saturation 0 leaves the image alone.
 *
 * Build: cc -shared -fPIC -O2 -I. filters/samples/sample_hue.c -o Filter/SampleHue.so -lm
 */

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/varnel_filter.h"

static const char kName[] = "Hue/Saturation";
enum { kAlias = 0 };

VARNEL_FILTER_EXPORT int32_t EnumFilterName(char* nameOut, int32_t index) {
  if (!nameOut || index != 0) return -1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "%s", kName);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t AliasFilterName(const char* filterName) {
  return filterName && strcmp(filterName, kName) == 0 ? kAlias : -1;
}

/* Never called; its presence tells the host to list the parameters. */
VARNEL_FILTER_EXPORT int32_t AliasFilterParams(void) { return 0; }

VARNEL_FILTER_EXPORT int32_t EnumFilterParams(int32_t alias, char* paramNameOut, int32_t* min, int32_t* max,
                                              int32_t* def, int32_t index) {
  static const char* const kParams[] = {"Hue", "Saturation"};
  static const int32_t kRange[] = {180, 100};
  if (alias != kAlias || index < 0 || index > 1) return -1;
  if (paramNameOut) snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "%s", kParams[index]);
  if (min) *min = -kRange[index];
  if (max) *max = kRange[index];
  if (def) *def = 0;
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ValueToString(int32_t alias, int32_t paramIndex, char* textOut, int32_t value) {
  if (alias != kAlias || !textOut || paramIndex < 0 || paramIndex > 1) return -1;
  snprintf(textOut, VARNEL_VALUE_TEXT_SIZE, paramIndex == 0 ? "%+d deg" : "%+d %%", value);
  return 0;
}

static uint8_t Byte(double unit) {
  const double v = floor(unit * 255.0 + 0.5);
  return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v);
}

static void ShiftPixel(uint8_t* p, double hueShift, double saturationScale) {
  const double b = p[0] / 255.0, g = p[1] / 255.0, r = p[2] / 255.0;
  const double max = fmax(r, fmax(g, b)), min = fmin(r, fmin(g, b)), delta = max - min;
  double h = 0.0, s = max > 0.0 ? delta / max : 0.0, f, pv, qv, tv;
  int sector;
  if (delta > 0.0) {
    if (max == r) h = fmod((g - b) / delta + 6.0, 6.0);
    else if (max == g) h = (b - r) / delta + 2.0;
    else h = (r - g) / delta + 4.0;
  }
  h = fmod(h * 60.0 + hueShift + 720.0, 360.0) / 60.0;
  s = fmin(1.0, s * saturationScale);
  sector = (int)h % 6;
  f = h - floor(h);
  pv = max * (1.0 - s);
  qv = max * (1.0 - s * f);
  tv = max * (1.0 - s * (1.0 - f));
  switch (sector) {
    case 0: p[2] = Byte(max), p[1] = Byte(tv), p[0] = Byte(pv); break;
    case 1: p[2] = Byte(qv), p[1] = Byte(max), p[0] = Byte(pv); break;
    case 2: p[2] = Byte(pv), p[1] = Byte(max), p[0] = Byte(tv); break;
    case 3: p[2] = Byte(pv), p[1] = Byte(qv), p[0] = Byte(max); break;
    case 4: p[2] = Byte(tv), p[1] = Byte(pv), p[0] = Byte(max); break;
    default: p[2] = Byte(max), p[1] = Byte(pv), p[0] = Byte(qv); break;
  }
}

VARNEL_FILTER_EXPORT int32_t ExecuteFilter(int32_t alias, HostInfo* host, int32_t count, int32_t* values) {
  VarnelGetLine getLine;
  VarnelSetLine setLine;
  VarnelGetImageSize getSize;
  ProgressHandler progress;
  int32_t width = 0, height = 0, hue, saturation, x, y;
  uint8_t* line;
  if (alias != kAlias || !host || !host->getHostProc) return -1;
  getLine = (VarnelGetLine)host->getHostProc("GetLine", 0);
  setLine = (VarnelSetLine)host->getHostProc("SetLine", 0);
  getSize = (VarnelGetImageSize)host->getHostProc("GetImageSize", 0);
  progress = (ProgressHandler)host->getHostProc("ProgressHandler", 0);
  if (!getLine || !setLine || !getSize || !getSize(0, &width, &height) || width <= 0 || height <= 0) return -1;
  hue = values && count > 0 ? values[0] : 0;
  saturation = values && count > 1 ? values[1] : 0;
  hue = hue < -180 ? -180 : hue > 180 ? 180 : hue;
  saturation = saturation < -100 ? -100 : saturation > 100 ? 100 : saturation;
  if (hue == 0 && saturation == 0) return 0;
  line = malloc((size_t)width * 4);
  if (!line) return -1;
  for (y = 0; y < height; ++y) {
    getLine(y, 0, width - 1, line);
    for (x = 0; x < width; ++x) ShiftPixel(line + 4 * x, hue, (100 + saturation) / 100.0);
    setLine(y, 0, width - 1, line);
    if (progress && progress(0, (y + 1) * 100 / height) == -1) break;
  }
  free(line);
  return 0;
}
