/* A picture plug-in for the loader's tests: a 2 × 1 picture of 32-bit pixels whose fourth byte
 * is 0, for files named "*.zeroalpha". Built twice: DECLARES_ALPHA makes GetPictureInfo report a
 * colour depth of 32, else 24. It reports progress through the host's callback, as a plug-in may
 * without checking for null. */

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/varnel_picture_plugin.h"

#define EXPORT __attribute__((visibility("default")))

static int Named(const char* path) {
  const char* dot = strrchr(path, '.');
  return dot != NULL && strcmp(dot, ".zeroalpha") == 0;
}

EXPORT int GetPluginInfo(int number, char* buffer, int length) {
  static const char* const kTexts[] = {"00IN", "alpha test", "*.zeroalpha", "zero alpha"};
  if (number < 0 || number > 3 || length < 1) return 0;
  strncpy(buffer, kTexts[number], (size_t)length - 1);
  buffer[length - 1] = '\0';
  return (int)strlen(kTexts[number]);
}

EXPORT int IsSupported(const char* path, intptr_t handleOrBytes) {
  (void)handleOrBytes;
  return Named(path);
}

EXPORT int GetPictureInfo(const char* buffer, intptr_t offset, unsigned int flag, VarnelPictureInfo* info) {
  (void)offset;
  (void)flag;
  if (!Named(buffer)) return kVarnelPluginUnknownFormat;
  memset(info, 0, sizeof *info);
  info->width = 2;
  info->height = 1;
  info->colourDepth = DECLARES_ALPHA ? 32 : 24;
  return kVarnelPluginSuccess;
}

EXPORT int GetPicture(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                      VarnelProgressCallback progress, intptr_t data) {
  VarnelBitmapInfoHeader* header;
  uint32_t* pixels;
  (void)offset;
  (void)flag;
  if (!Named(buffer)) return kVarnelPluginUnknownFormat;
  /* As plug-ins do, the callback is called without a check for null; going on takes 0. */
  if (progress(1, 2, data) != 0) return kVarnelPluginCancelled;
  header = calloc(1, sizeof *header);
  pixels = malloc(8);
  if (header == NULL || pixels == NULL) {
    free(header);
    free(pixels);
    return kVarnelPluginNoMemory;
  }
  header->biSize = sizeof *header;
  header->biWidth = 2;
  header->biHeight = 1;
  header->biPlanes = 1;
  header->biBitCount = 32;
  pixels[0] = 0x00112233u;
  pixels[1] = 0x00445566u;
  *info = header;
  *bits = pixels;
  return kVarnelPluginSuccess;
}
