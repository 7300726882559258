/*
 * SampleEffects.so: the sample filter library on the name interface. Every filter works on the
 * host's image in place through the ImageDescriptor; ProcessFilter reports progress and stops
 * when the host answers -1, Execute (the dialog's preview) runs the same code without it.
 *
 * Pixels are B, G, R, A bytes, not premultiplied. Colour filters leave alpha alone; the blur
 * and the mosaic treat alpha as a fourth channel. Edges are extended: a pixel beyond the image
 * is taken as the nearest one inside.
 *
 * Build (-O3 lets the compiler vectorise the column passes): cc -shared -fPIC -O3 -I. filters/samples/sample_effects.c -o Filter/SampleEffects.so -lm
 */

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/varnel_filter.h"

typedef struct Param {
  const char* name;
  int32_t min, max, def;
  const char* format; /* printf format of the value text */
} Param;

typedef struct Filter {
  const char* name;
  int32_t paramCount;
  Param params[3];
} Filter;

enum { kBlur, kUnsharp, kNoise, kInvert, kPosterize, kBrightness, kEmboss, kMosaic, kFilterCount };

static const Filter kFilters[kFilterCount] = {
    {"Gaussian Blur", 1, {{"Radius", 1, 100, 3, "%d px"}}},
    {"Unsharp Mask", 3, {{"Radius", 1, 100, 4, "%d px"}, {"Amount", 0, 500, 100, "%d %%"}, {"Threshold", 0, 255, 0, "%d"}}},
    {"Noise", 2, {{"Amount", 0, 255, 32, "%d"}, {"Monochrome", 0, 1, 0, "%d"}}},
    {"Invert", 0, {{0}}},
    {"Posterize", 1, {{"Levels", 2, 64, 4, "%d"}}},
    {"Brightness/Contrast", 2, {{"Brightness", -255, 255, 0, "%d"}, {"Contrast", -100, 100, 0, "%d"}}},
    {"Emboss", 1, {{"Depth", 1, 10, 1, "x%d"}}},
    {"Mosaic", 1, {{"Cell Size", 2, 256, 8, "%d px"}}},
};

static int FindFilter(const char* name) {
  int i;
  if (!name) return -1;
  for (i = 0; i < kFilterCount; ++i)
    if (strcmp(kFilters[i].name, name) == 0) return i;
  return -1;
}

/* The value of parameter i: what the host passed, clamped to its range, else the default. */
static int32_t Value(int filter, int32_t count, const int32_t* values, int32_t i) {
  const Param* p = &kFilters[filter].params[i];
  int32_t v = (values && i < count) ? values[i] : p->def;
  return v < p->min ? p->min : v > p->max ? p->max : v;
}

static uint8_t Clamp255(int32_t v) { return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v); }

/* Reports the share done; nonzero when the host asks to stop. */
static int Report(ProgressHandler progress, int64_t done, int64_t total) {
  return progress && total > 0 && progress(0, (int32_t)(done * 100 / total)) == -1;
}

static int HasPixels(const ImageDescriptor* image) {
  return image && image->bitmap && image->bits && image->rows && image->header.biWidth > 0 &&
         image->header.biHeight > 0;
}

/* ---- Gaussian blur: three box blurs in a row, each run down the columns with running sums,
 * so the cost does not grow with the radius; the rows are then done the same way on the
 * transposed picture, which keeps every pass a straight walk through memory. Sigma is
 * radius / 2; the box widths are the odd ones whose three variances add up closest to sigma
 * squared. A box of odd width w = 2r + 1 gives floor((sum of the w pixels + r) / w), edges
 * extended; the three boxes go down the columns first, then along the rows. */

typedef struct Boxes {
  int32_t width[3];
} Boxes;

static Boxes BoxesForRadius(int32_t radius) {
  const double sigma = radius / 2.0;
  const double ideal = sqrt(12.0 * sigma * sigma / 3.0 + 1.0);
  int32_t wl = (int32_t)floor(ideal), wu, m, i;
  Boxes boxes;
  if (wl % 2 == 0) --wl;
  wu = wl + 2;
  m = (int32_t)lround((12.0 * sigma * sigma - 3.0 * wl * wl - 12.0 * wl - 9.0) / (-4.0 * wl - 4.0));
  for (i = 0; i < 3; ++i) boxes.width[i] = i < m ? wl : wu;
  return boxes;
}

/* floor(n / w) as (n * mul) >> 22, exact for every n up to 255 w + w (n w < 2^22 for w <= 101). */
static uint32_t Reciprocal(int32_t w) { return (uint32_t)(((1u << 22) + (uint32_t)w - 1) / (uint32_t)w); }

/* One box down the columns: src and dst are rows of n bytes, height rows each. */
static void BoxColumns(const uint8_t* restrict src, uint8_t* restrict dst, int32_t n, int32_t height, int32_t w,
                       uint32_t* restrict sums) {
  const int32_t r = (w - 1) / 2;
  const uint32_t mul = Reciprocal(w);
  int32_t y, x, j;
  memset(sums, 0, (size_t)n * sizeof *sums);
  for (j = -r; j <= r; ++j) {
    const uint8_t* row = src + (size_t)(j < 0 ? 0 : j >= height ? height - 1 : j) * (size_t)n;
    for (x = 0; x < n; ++x) sums[x] += row[x];
  }
  for (y = 0; y < height; ++y) {
    const int32_t in = y + r + 1 >= height ? height - 1 : y + r + 1;
    const int32_t out = y - r < 0 ? 0 : y - r;
    const uint8_t* add = src + (size_t)in * (size_t)n;
    const uint8_t* sub = src + (size_t)out * (size_t)n;
    uint8_t* to = dst + (size_t)y * (size_t)n;
    for (x = 0; x < n; ++x) {
      to[x] = (uint8_t)(((sums[x] + (uint32_t)r) * mul) >> 22);
      sums[x] += (uint32_t)add[x] - (uint32_t)sub[x];
    }
  }
}

/* src has height rows of width pixels; dst gets width rows of height pixels, pixel (x, y) going
 * to (y, x). Worked in blocks so that both sides stay in the cache. */
static void Transpose(const uint8_t* restrict src, uint8_t* restrict dst, int32_t width, int32_t height) {
  enum { kBlock = 32 };
  int32_t bx, by, x, y;
  for (by = 0; by < height; by += kBlock)
    for (bx = 0; bx < width; bx += kBlock) {
      const int32_t ex = bx + kBlock < width ? bx + kBlock : width;
      const int32_t ey = by + kBlock < height ? by + kBlock : height;
      for (x = bx; x < ex; ++x)
        for (y = by; y < ey; ++y)
          memcpy(dst + 4 * ((size_t)x * (size_t)height + (size_t)y), src + 4 * ((size_t)y * (size_t)width + (size_t)x), 4);
    }
}

/* The three boxes down the columns of the picture in *from (rows of width pixels), ping-ponging
 * between *from and *to; afterwards *from holds the result. Answers -1 when stopped (only while
 * canStop: once the picture is transposed a stop would leave it scrambled). */
static int BoxStack(uint8_t** from, uint8_t** to, int32_t width, int32_t height, Boxes boxes, uint32_t* sums,
                    ProgressHandler progress, int32_t* step, int canStop) {
  int i;
  for (i = 0; i < 3; ++i) {
    uint8_t* swap;
    if (boxes.width[i] == 1) continue;
    BoxColumns(*from, *to, width * 4, height, boxes.width[i], sums);
    swap = *from, *from = *to, *to = swap;
    if (Report(progress, ++*step, 8) && canStop) return -1;
  }
  return 0;
}

/* Blurs the contiguous block of height rows of width pixels in place. Answers 0, or -1 when
 * stopped or out of memory (the block is then partly blurred, or untouched). */
static int BlurBlock(uint8_t* pixels, int32_t width, int32_t height, int32_t radius, ProgressHandler progress) {
  const Boxes boxes = BoxesForRadius(radius);
  const size_t size = (size_t)width * 4 * (size_t)height;
  uint8_t* temp = malloc(size);
  uint32_t* sums = malloc((size_t)(width > height ? width : height) * 4 * sizeof *sums);
  uint8_t *from = pixels, *to = temp, *swap;
  int32_t step = 0;
  int result = -1;
  if (!temp || !sums) goto done;
  if (BoxStack(&from, &to, width, height, boxes, sums, progress, &step, 1) != 0) {
    /* Stopped: what the columns got so far stays. */
    if (from != pixels) memcpy(pixels, from, size);
    goto done;
  }
  Transpose(from, to, width, height);
  swap = from, from = to, to = swap;
  Report(progress, ++step, 8);
  BoxStack(&from, &to, height, width, boxes, sums, progress, &step, 0);
  Transpose(from, to, height, width);
  if (to != pixels) memcpy(pixels, to, size);
  result = 0;
done:
  free(temp);
  free(sums);
  return result;
}

/* The pixel memory is one block of width x 4 bytes a row, which a blur may treat as it lies:
 * bottom-up or not, every row has the same neighbours. */
static int Blur(ImageDescriptor* image, int32_t radius, ProgressHandler progress) {
  return BlurBlock(image->bits, image->header.biWidth, image->header.biHeight, radius, progress);
}

/* Unsharp mask: c + (c - blurred) x amount / 100 where |c - blurred| >= threshold, per colour
 * channel (C division, toward zero), clamped. */
static void Unsharp(ImageDescriptor* image, int32_t radius, int32_t amount, int32_t threshold, ProgressHandler progress) {
  const size_t size = (size_t)image->header.biWidth * 4 * (size_t)image->header.biHeight;
  uint8_t* blurred = malloc(size);
  size_t i;
  if (!blurred) return;
  memcpy(blurred, image->bits, size);
  if (BlurBlock(blurred, image->header.biWidth, image->header.biHeight, radius, NULL) == 0 &&
      !Report(progress, 50, 100)) {
    for (i = 0; i < size; ++i) {
      const int32_t c = image->bits[i], diff = c - blurred[i];
      if ((i & 3) == 3 || abs(diff) < threshold) continue;
      image->bits[i] = Clamp255(c + diff * amount / 100);
    }
  }
  free(blurred);
}

/* The C runtime's rand(), seeded with 1 at every run, so a run is repeatable. */
static int32_t NextRandom(uint32_t* state) {
  *state = *state * 214013u + 2531011u;
  return (int32_t)((*state >> 16) & 0x7FFF);
}

/* Noise: rand() % (2 amount + 1) - amount added to blue, green and red (one draw for all three
 * when monochrome, else one each in that order), pixel by pixel from the top row. */
static int Noise(ImageDescriptor* image, int32_t amount, int32_t mono, ProgressHandler progress) {
  uint32_t state = 1;
  int32_t x, y, c;
  for (y = 0; y < image->header.biHeight; ++y) {
    uint8_t* p = image->rows[y];
    for (x = 0; x < image->header.biWidth; ++x, p += 4) {
      int32_t n = NextRandom(&state) % (2 * amount + 1) - amount;
      for (c = 0; c < 3; ++c) {
        if (c > 0 && !mono) n = NextRandom(&state) % (2 * amount + 1) - amount;
        p[c] = Clamp255(p[c] + n);
      }
    }
    if (Report(progress, y + 1, image->header.biHeight)) return -1;
  }
  return 0;
}

/* A lookup table applied to blue, green and red. */
static void ApplyTable(ImageDescriptor* image, const uint8_t table[256]) {
  const size_t size = (size_t)image->header.biWidth * 4 * (size_t)image->header.biHeight;
  size_t i;
  for (i = 0; i < size; i += 4) {
    image->bits[i] = table[image->bits[i]];
    image->bits[i + 1] = table[image->bits[i + 1]];
    image->bits[i + 2] = table[image->bits[i + 2]];
  }
}

/* Emboss: 128 + depth x (the pixel below right - the pixel above left), per colour channel. */
static void Emboss(ImageDescriptor* image, int32_t depth) {
  const int32_t w = image->header.biWidth, h = image->header.biHeight;
  const size_t n = (size_t)w * 4;
  uint8_t* copy = malloc(n * (size_t)h);
  int32_t x, y, c;
  if (!copy) return;
  for (y = 0; y < h; ++y) memcpy(copy + (size_t)y * n, image->rows[y], n);
  for (y = 0; y < h; ++y) {
    const uint8_t* above = copy + (size_t)(y > 0 ? y - 1 : 0) * n;
    const uint8_t* below = copy + (size_t)(y + 1 < h ? y + 1 : h - 1) * n;
    uint8_t* out = image->rows[y];
    for (x = 0; x < w; ++x) {
      const int32_t left = x > 0 ? x - 1 : 0, right = x + 1 < w ? x + 1 : w - 1;
      for (c = 0; c < 3; ++c) out[4 * x + c] = Clamp255(128 + depth * (below[4 * right + c] - above[4 * left + c]));
    }
  }
  free(copy);
}

/* Mosaic: cells of size x size from the top-left corner (cut at the right and bottom edges)
 * take the mean of their pixels, every channel rounded: (sum + count / 2) / count. */
static int Mosaic(ImageDescriptor* image, int32_t size, ProgressHandler progress) {
  const int32_t w = image->header.biWidth, h = image->header.biHeight;
  int32_t top, left, x, y, c;
  for (top = 0; top < h; top += size) {
    const int32_t bottom = top + size < h ? top + size : h;
    for (left = 0; left < w; left += size) {
      const int32_t right = left + size < w ? left + size : w;
      const uint32_t count = (uint32_t)((bottom - top) * (right - left));
      uint32_t sum[4] = {0, 0, 0, 0};
      uint8_t mean[4];
      for (y = top; y < bottom; ++y)
        for (x = left; x < right; ++x)
          for (c = 0; c < 4; ++c) sum[c] += image->rows[y][4 * x + c];
      for (c = 0; c < 4; ++c) mean[c] = (uint8_t)((sum[c] + count / 2) / count);
      for (y = top; y < bottom; ++y)
        for (x = left; x < right; ++x) memcpy(image->rows[y] + 4 * x, mean, 4);
    }
    if (Report(progress, bottom, h)) return -1;
  }
  return 0;
}

static int32_t Run(const char* name, ImageDescriptor* image, int32_t count, int32_t* values, ProgressHandler progress) {
  const int filter = FindFilter(name);
  uint8_t table[256];
  int32_t v;
  if (filter < 0 || !HasPixels(image)) return -1;
  switch (filter) {
    case kBlur:
      return Blur(image, Value(filter, count, values, 0), progress);
    case kUnsharp:
      Unsharp(image, Value(filter, count, values, 0), Value(filter, count, values, 1), Value(filter, count, values, 2),
              progress);
      return 0;
    case kNoise:
      return Noise(image, Value(filter, count, values, 0), Value(filter, count, values, 1), progress);
    case kInvert:
      for (v = 0; v < 256; ++v) table[v] = (uint8_t)(255 - v);
      ApplyTable(image, table);
      return 0;
    case kPosterize: {
      /* Each value goes to the nearest of the levels spread evenly over 0…255. */
      const int32_t steps = Value(filter, count, values, 0) - 1;
      for (v = 0; v < 256; ++v) table[v] = (uint8_t)(((v * steps + 127) / 255 * 255 + steps / 2) / steps);
      ApplyTable(image, table);
      return 0;
    }
    case kBrightness: {
      /* 128 + (v - 128) x (100 + contrast) / 100 + brightness, C division, clamped. */
      const int32_t brightness = Value(filter, count, values, 0), contrast = Value(filter, count, values, 1);
      for (v = 0; v < 256; ++v) table[v] = Clamp255(128 + (v - 128) * (100 + contrast) / 100 + brightness);
      ApplyTable(image, table);
      return 0;
    }
    case kEmboss:
      Emboss(image, Value(filter, count, values, 0));
      return 0;
    case kMosaic:
      return Mosaic(image, Value(filter, count, values, 0), progress);
  }
  return -1;
}

VARNEL_FILTER_EXPORT int32_t EnumFilter(char* nameOut, int32_t index) {
  if (!nameOut || index < 0 || index >= kFilterCount) return -1;
  snprintf(nameOut, VARNEL_FILTER_NAME_SIZE, "%s", kFilters[index].name);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t EnumParams(const char* filterName, char* paramNameOut, int32_t* min, int32_t* max,
                                        int32_t* def, int32_t index) {
  const int filter = FindFilter(filterName);
  const Param* p;
  if (filter < 0 || index < 0 || index >= kFilters[filter].paramCount) return -1;
  p = &kFilters[filter].params[index];
  if (paramNameOut) snprintf(paramNameOut, VARNEL_PARAM_NAME_SIZE, "%s", p->name);
  if (min) *min = p->min;
  if (max) *max = p->max;
  if (def) *def = p->def;
  return 0;
}

VARNEL_FILTER_EXPORT int32_t ParamToString(const char* filterName, int32_t paramIndex, char* textOut, int32_t value) {
  const int filter = FindFilter(filterName);
  if (filter < 0 || paramIndex < 0 || paramIndex >= kFilters[filter].paramCount || !textOut) return -1;
  snprintf(textOut, VARNEL_VALUE_TEXT_SIZE, kFilters[filter].params[paramIndex].format, value);
  return 0;
}

VARNEL_FILTER_EXPORT int32_t Execute(const char* filterName, ImageDescriptor* image, int32_t count, int32_t* values) {
  return Run(filterName, image, count, values, NULL);
}

VARNEL_FILTER_EXPORT int32_t ProcessFilter(const char* filterName, ImageDescriptor* image, int32_t count,
                                           int32_t* values, ProgressHandler progress) {
  return Run(filterName, image, count, values, progress);
}
