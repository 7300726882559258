#ifndef VARNEL_SDK_VARNEL_FILTER_H
#define VARNEL_SDK_VARNEL_FILTER_H
/*
 * Filter libraries: shared libraries in the folder Filter/ of the program folder that change
 * the pixels of an image. The host loads every "*.so" there once with dlopen and looks the
 * entry points below up by name; a missing export is never an error, the host falls back.
 *
 * Two interfaces exist; a host always prefers the first when a library exports both.
 *
 * The name interface names the filter by its text in every call:
 *   EnumFilter, EnumParams, ParamToString, Execute, ProcessFilter, OpenConfig.
 * The image is the host's surface itself (ImageDescriptor of sdk/varnel_image.h): change the
 * pixels through the row table in place, never reallocate. ProcessFilter is preferred to Execute
 * for a real run; the live preview of the filter dialog always calls Execute.
 *
 * The alias interface turns the name into an integer first:
 *   EnumFilterName, AliasFilterName, EnumFilterParams, ValueToString, ExecuteFilter,
 *   AliasFilterParams (never called; it must be exported for the parameters to be listed).
 * Such a filter reads and writes pixels only through the host's callbacks, found with
 * HostInfo.getHostProc("GetLine" | "SetLine" | "ProgressHandler" | "GetImageSize", 0).
 *
 * Texts are zero-terminated, code page 932. The host's buffers hold VARNEL_FILTER_NAME_SIZE,
 * VARNEL_PARAM_NAME_SIZE and VARNEL_VALUE_TEXT_SIZE bytes including the zero. Parameters are
 * integers; a call passes their count and the values in enumeration order. The host ignores
 * the results of ParamToString, ValueToString, Execute, ProcessFilter, ExecuteFilter and
 * OpenConfig: a filter that fails leaves the image alone.
 *
 * Build a filter library (Linux, from the folder holding sdk/):
 *   cc -shared -fPIC -O2 -I. my_filter.c -o Filter/my_filter.so
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
#define VARNEL_FILTER_EXPORT __attribute__((visibility("default")))
#else
#define VARNEL_FILTER_EXPORT
#endif

enum {
  VARNEL_FILTER_NAME_SIZE = 64,  /* filter-name buffer, zero included */
  VARNEL_PARAM_NAME_SIZE = 64,   /* parameter-name buffer, zero included */
  VARNEL_VALUE_TEXT_SIZE = 256,  /* value-text buffer, zero included */
  VARNEL_MAX_FILTER_VALUES = 256 /* a real run passes at most this many values */
};

/* Host callbacks. percent is 0…100; the answer is -1 when the user asked to abort (stop and
 * return), else 0. Outside a real run it does nothing and answers 0. */
typedef int32_t (*ProgressHandler)(int32_t reserved, int32_t percent);

/* Pixels left…right (inclusive) of image row y (counted from the top), 4 bytes each, B G R A.
 * Only the part inside the image is copied, each pixel at its own place in the buffer (pixel x
 * at buffer + 4 × (x − left)); a row outside copies nothing. Both answer 1, or 0 when the host
 * has no current image. SetLine backs the tiles up so the change can be undone. */
typedef int32_t (*VarnelGetLine)(int32_t y, int32_t left, int32_t right, void* buffer);
typedef int32_t (*VarnelSetLine)(int32_t y, int32_t left, int32_t right, const void* buffer);
/* The current image's size (0 × 0 without pixels); 1, or 0 without a current image. */
typedef int32_t (*VarnelGetImageSize)(int32_t reserved, int32_t* width, int32_t* height);
/* Any host callback, as GetHostProc hands it out: cast it to the callback's own type. */
typedef void (*VarnelHostProc)(void);
/* The callback named exactly (case-sensitive) "GetLine", "SetLine", "ProgressHandler" or
 * "GetImageSize"; null for any other name. */
typedef VarnelHostProc (*VarnelGetHostProc)(const char* name, int32_t reserved);

/* The second argument of ExecuteFilter. */
typedef struct HostInfo {
  void* owner;                   /* the host window running the filter (opaque) */
  VarnelGetHostProc getHostProc; /* the host's callback lookup */
} HostInfo;

/* Name interface. */
/* 0: nameOut holds filter index's name; anything else: no such filter. */
typedef int32_t (*VarnelEnumFilter)(char* nameOut, int32_t index);
/* -1: no parameter index; anything else: the outputs describe it. */
typedef int32_t (*VarnelEnumParams)(const char* filterName, char* paramNameOut, int32_t* min, int32_t* max,
                                    int32_t* def, int32_t index);
typedef int32_t (*VarnelParamToString)(const char* filterName, int32_t paramIndex, char* textOut, int32_t value);
typedef int32_t (*VarnelExecute)(const char* filterName, ImageDescriptor* image, int32_t count, int32_t* values);
typedef int32_t (*VarnelProcessFilter)(const char* filterName, ImageDescriptor* image, int32_t count,
                                       int32_t* values, ProgressHandler progress);
typedef int32_t (*VarnelOpenConfig)(const char* filterName, void* owner);

/* Alias interface. */
/* >= 0: nameOut holds filter index's name; < 0: end of the list. */
typedef int32_t (*VarnelEnumFilterName)(char* nameOut, int32_t index);
/* The filter's alias (>= 0), or < 0 for a name the library does not know. */
typedef int32_t (*VarnelAliasFilterName)(const char* filterName);
typedef int32_t (*VarnelEnumFilterParams)(int32_t alias, char* paramNameOut, int32_t* min, int32_t* max,
                                          int32_t* def, int32_t index);
typedef int32_t (*VarnelValueToString)(int32_t alias, int32_t paramIndex, char* textOut, int32_t value);
typedef int32_t (*VarnelExecuteFilter)(int32_t alias, HostInfo* host, int32_t count, int32_t* values);

#ifdef __cplusplus
}
#endif

VARNEL_STATIC_ASSERT(sizeof(HostInfo) == 16, "HostInfo is two pointers");
VARNEL_STATIC_ASSERT(offsetof(HostInfo, owner) == 0, "HostInfo.owner");
VARNEL_STATIC_ASSERT(offsetof(HostInfo, getHostProc) == 8, "HostInfo.getHostProc");
VARNEL_STATIC_ASSERT(sizeof(int32_t) == 4, "parameters are 32-bit");

#endif /* VARNEL_SDK_VARNEL_FILTER_H */
