#ifndef VARNEL_SDK_VARNEL_PICTURE_PLUGIN_H
#define VARNEL_SDK_VARNEL_PICTURE_PLUGIN_H
/*
 * Picture plug-ins: shared libraries with the extension ".spi" that read (and optionally
 * write) pictures in foreign formats. The host finds them in its program folder (and in the
 * folder the setting SusieFolder names), loads them with dlopen and looks the entry points
 * below up by name. Export them with C linkage and default visibility:
 *
 *   VARNEL_PLUGIN_EXPORT int GetPluginInfo(int number, char* buffer, int length) { ... }
 *
 * Reading: GetPluginInfo, IsSupported, GetPictureInfo, GetPicture, GetPreview.
 * Writing (optional): IsSaveSupported, WriteImage, GetSupportFormatFilter,
 * GetSupportFormatDescriptor, OpenConfig.
 *
 * Memory: every block a plug-in hands back (picture information, pixel bits) is allocated with
 * malloc and belongs to the caller, who releases it with free.
 *
 * Pictures handed back are Windows device-independent bitmaps: the information block starts
 * with a 40-byte VarnelBitmapInfoHeader, followed by the palette (4 bytes an entry, blue,
 * green, red, 0) for 1, 2, 4 and 8 bits per pixel; the bits block holds the rows, each padded
 * to a multiple of 4 bytes, bottom row first for a positive height.
 *
 * Plain C11 and C++.
 */

#include <stddef.h>
#include <stdint.h>

#include "sdk/varnel_image.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VARNEL_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define VARNEL_PLUGIN_EXPORT
#endif

/* Results of the reading entry points. */
enum {
  kVarnelPluginSuccess = 0,
  kVarnelPluginNotImplemented = -1,
  kVarnelPluginCancelled = 1,   /* the progress callback asked to stop */
  kVarnelPluginUnknownFormat = 2,
  kVarnelPluginBrokenData = 3,
  kVarnelPluginNoMemory = 4,
  kVarnelPluginMemoryError = 5,
  kVarnelPluginReadError = 6,
  kVarnelPluginInternalError = 8
};

/* The low three bits of the flag argument: where the picture comes from. */
enum { kVarnelInputMask = 7, kVarnelInputFile = 0, kVarnelInputMemory = 1 };

/* Called now and then while a picture is read: num of denom done. A non-zero answer asks the
 * plug-in to stop (it then answers kVarnelPluginCancelled). */
typedef int (*VarnelProgressCallback)(int num, int denom, intptr_t data);

typedef struct VarnelPictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t xDensity;
  uint16_t yDensity;
  int16_t colourDepth;
  void* text; /* malloc'ed text information, or null; the caller frees it */
} VarnelPictureInfo;

VARNEL_STATIC_ASSERT(sizeof(VarnelPictureInfo) == 32, "VarnelPictureInfo is 32 bytes");
VARNEL_STATIC_ASSERT(offsetof(VarnelPictureInfo, colourDepth) == 20, "colourDepth at 20");
VARNEL_STATIC_ASSERT(offsetof(VarnelPictureInfo, text) == 24, "text at 24");

/* The 44-byte picture information handed to WriteImage: the header, then 4 zero bytes. */
typedef struct VarnelWriteInfo {
  VarnelBitmapInfoHeader header;
  uint32_t reserved;
} VarnelWriteInfo;

VARNEL_STATIC_ASSERT(sizeof(VarnelWriteInfo) == 44, "VarnelWriteInfo is 44 bytes");

/*
 * GetPluginInfo: number 0 → the interface version ("00IN"), 1 → the plug-in's name and
 * version, 2, 4, 6, … → extension patterns ("*.png;*.apng"), 3, 5, 7, … → the description of
 * the patterns before. Copies at most length bytes (with the terminating zero when it fits) and
 * answers the length of the text, 0 when there is none.
 */
typedef int (*VarnelGetPluginInfo)(int number, char* buffer, int length);

/*
 * IsSupported: path is the file's name; handleOrBytes is an open file descriptor (a value
 * whose upper bits above the low 16 are all zero) or a pointer to at least the first 2048
 * bytes of the file (zero-padded for shorter files). Non-zero when the plug-in reads it.
 */
typedef int (*VarnelIsSupported)(const char* path, intptr_t handleOrBytes);

/* For file input, buffer is the path and offset the byte at which the picture starts; for
 * memory input, buffer points to the bytes and offset is their count. */
typedef int (*VarnelGetPictureInfo)(const char* buffer, intptr_t offset, unsigned int flag,
                                    VarnelPictureInfo* info);
typedef int (*VarnelGetPicture)(const char* buffer, intptr_t offset, unsigned int flag, void** info,
                                void** bits, VarnelProgressCallback progress, intptr_t data);
typedef int (*VarnelGetPreview)(const char* buffer, intptr_t offset, unsigned int flag, void** info,
                                void** bits, VarnelProgressCallback progress, intptr_t data);

/* Writing. IsSaveSupported answers 0 when the plug-in writes files with the extension (without
 * the dot, any case). WriteImage receives 32-bit bottom-up pixels and a VarnelWriteInfo; it
 * answers 0 when the file was written. The two text queries fill buffer (size bytes, 512 from
 * the host) and answer the text's length. OpenConfig shows the plug-in's own options (window is
 * the owner, or null) and answers 0. */
typedef int (*VarnelIsSaveSupported)(const char* extension);
typedef int (*VarnelWriteImage)(const char* path, const void* bits, const VarnelWriteInfo* info);
typedef int (*VarnelGetSupportFormatFilter)(char* buffer, int size);
typedef int (*VarnelGetSupportFormatDescriptor)(char* buffer, int size);
typedef int (*VarnelOpenConfig)(void* window);

/* Optional. Answers non-zero when files with the extension (without the dot, any case) keep the
 * alpha channel of the pixels WriteImage receives. The host then hands over the picture's layers
 * merged onto a transparent base instead of the opaque display picture. */
typedef int (*VarnelSavesAlpha)(const char* extension);

/* What a host offers plug-ins that link no user-interface toolkit, so that OpenConfig can still
 * ask the user. Texts are UTF-8. size is sizeof(VarnelHostServices) as the host built it: a
 * field that lies beyond it is not there. */
typedef struct VarnelHostServices {
  uint32_t size;
  /* Asks for a whole number within minimum..maximum, starting from *value; window is the owner
   * (or null). Answers 1 with *value set when the user confirmed, else 0 with *value left. */
  int (*AskInteger)(void* window, const char* title, const char* label, int minimum, int maximum, int* value);
} VarnelHostServices;

/* Optional. The host hands its services before it calls OpenConfig; they stay valid while the
 * plug-in is loaded. */
typedef void (*VarnelSetHostServices)(const VarnelHostServices* services);

/*
 * Layered pictures (optional). A plug-in for a format that keeps layers may export these beside
 * the single-picture entry points: a host that knows them reads and writes every layer; any
 * other host still gets the merged picture from GetPicture and hands one picture to WriteImage.
 *
 *   GetLayers(path, sink)          reads a file's canvas size, then its layers bottom first
 *   SavesLayers(extension)         non-zero when WriteLayers keeps the layers of that extension
 *   WriteLayers(path, picture)     writes the layers and the merged picture
 */

/* Blend modes by the numbers layer files store (the program's table order). A plug-in maps
 * those its format knows and treats the rest as it documents. */
enum VarnelBlendMode {
  kVarnelBlendNormal = 0,
  kVarnelBlendMultiply = 1,
  kVarnelBlendScreen = 2,
  kVarnelBlendAdd = 3,
  kVarnelBlendSubtract = 4,
  kVarnelBlendLighten = 5,
  kVarnelBlendDarken = 6,
  kVarnelBlendDarkerColour = 7,
  kVarnelBlendLighterColour = 8,
  kVarnelBlendAnd = 9,
  kVarnelBlendOr = 10,
  kVarnelBlendXor = 11,
  kVarnelBlendDivide = 12,
  kVarnelBlendOverlay = 13,
  kVarnelBlendColour = 14,
  kVarnelBlendHue = 15,
  kVarnelBlendSaturation = 16,
  kVarnelBlendLightness = 17,
  kVarnelBlendLightnessAdd = 18,
  kVarnelBlendLightnessSubtract = 19,
  kVarnelBlendSaturationAdd = 20,
  kVarnelBlendSaturationSubtract = 21,
  kVarnelBlendOverlay2 = 22,
  kVarnelBlendDodge = 23,
  kVarnelBlendBurn = 24,
  kVarnelBlendHardLight = 25,
  kVarnelBlendSoftLight = 26,
  kVarnelBlendModeCount = 27
};

/* One layer. pixels holds width x height pixels of 4 bytes (blue, green, red, alpha, not
 * premultiplied), rows width x 4 bytes apart without padding, bottom row first: the memory of
 * the program's own surfaces, so a host hands its layers over without copying. x and y place the
 * layer's top-left corner on the canvas and may be negative; a layer may reach beyond the
 * canvas. Whoever fills the record owns the memory it points to. */
typedef struct VarnelLayer {
  const char* name;      /* UTF-8, zero-terminated, never null */
  const uint8_t* pixels;
  int32_t x;
  int32_t y;
  int32_t width;         /* at least 1 */
  int32_t height;        /* at least 1 */
  int32_t blendMode;     /* a VarnelBlendMode */
  uint8_t opacity;       /* 0 (transparent) to 255 (as painted) */
  uint8_t visible;       /* 0 hidden, 1 shown */
  uint8_t reserved[2];   /* 0 */
} VarnelLayer;

VARNEL_STATIC_ASSERT(sizeof(VarnelLayer) == 40, "VarnelLayer is 40 bytes");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayer, pixels) == 8, "pixels at 8");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayer, x) == 16, "x at 16");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayer, y) == 20, "y at 20");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayer, width) == 24, "width at 24");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayer, height) == 28, "height at 28");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayer, blendMode) == 32, "blendMode at 32");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayer, opacity) == 36, "opacity at 36");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayer, visible) == 37, "visible at 37");

/* Where GetLayers delivers what it reads; every callback gets data back. size is
 * sizeof(VarnelLayerSink) as the host built it. Canvas comes once, before the first layer; Layer
 * comes for each layer, bottom layer first, with a record and pixels that stay valid only during
 * the call (the host copies what it keeps). A non-zero answer from either stops the reading and
 * GetLayers answers kVarnelPluginCancelled. Warning (may be null) tells the user, in one UTF-8
 * line, what was read other than the file meant it. */
typedef struct VarnelLayerSink {
  uint32_t size;
  uint32_t reserved;
  intptr_t data;
  int (*Canvas)(intptr_t data, int32_t width, int32_t height);
  int (*Layer)(intptr_t data, const VarnelLayer* layer);
  void (*Warning)(intptr_t data, const char* text);
} VarnelLayerSink;

VARNEL_STATIC_ASSERT(sizeof(VarnelLayerSink) == 40, "VarnelLayerSink is 40 bytes");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerSink, data) == 8, "data at 8");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerSink, Canvas) == 16, "Canvas at 16");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerSink, Layer) == 24, "Layer at 24");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerSink, Warning) == 32, "Warning at 32");

/* What WriteLayers writes. layers holds count records, bottom layer first. merged is the picture
 * as the host shows it, width x height pixels laid out as a VarnelLayer's. size and Warning as in
 * VarnelLayerSink. */
typedef struct VarnelLayerPicture {
  uint32_t size;
  int32_t width;
  int32_t height;
  int32_t count;
  const VarnelLayer* layers;
  const uint8_t* merged;
  intptr_t data;
  void (*Warning)(intptr_t data, const char* text);
} VarnelLayerPicture;

VARNEL_STATIC_ASSERT(sizeof(VarnelLayerPicture) == 48, "VarnelLayerPicture is 48 bytes");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerPicture, count) == 12, "count at 12");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerPicture, layers) == 16, "layers at 16");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerPicture, merged) == 24, "merged at 24");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerPicture, data) == 32, "data at 32");
VARNEL_STATIC_ASSERT(offsetof(VarnelLayerPicture, Warning) == 40, "Warning at 40");

/* GetLayers (file input only): kVarnelPluginSuccess when the canvas and every layer were
 * delivered; kVarnelPluginNotImplemented when the file is one the plug-in reads only as a single
 * picture (the host then calls GetPicture); any other result of the reading entry points on
 * failure, after which the host drops whatever layers it got. */
typedef int (*VarnelGetLayers)(const char* path, const VarnelLayerSink* sink);
typedef int (*VarnelSavesLayers)(const char* extension);
/* 0 when the file was written; on failure any file at path stays as it was. */
typedef int (*VarnelWriteLayers)(const char* path, const VarnelLayerPicture* picture);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_SDK_VARNEL_PICTURE_PLUGIN_H */
