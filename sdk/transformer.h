#ifndef VARNEL_SDK_TRANSFORMER_H
#define VARNEL_SDK_TRANSFORMER_H
/*
 * Transformer, the geometric transform library (Transformer.so in the program folder). The
 * program loads it with dlopen on the first resize or rotation and looks the functions below
 * up by name; a missing function is never an error.
 *
 * Images cross as ImageDescriptor pointers (sdk/varnel_image.h): the library reads and writes
 * pixels in place through the row table, takes no tile backups, widens the target's dirty
 * rectangle to every pixel it writes and never frees the caller's memory.
 *
 * The library remembers two values between calls, one set per process: the resampling method
 * of the last resize chosen in "RESIZE" (0 before any) and the rotation angle of the last
 * rotation chosen in "回転" or "平行線で回転".
 *
 * Call from the user-interface thread only. No C++ exception leaves any function.
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
#define TRANSFORMER_EXPORT __attribute__((visibility("default")))
#else
#define TRANSFORMER_EXPORT
#endif

enum {
  kTransformResize = 0, /* mode of CalculateSize, ExecuteTransform, ExecuteMaskTransform */
  kTransformRotate = 1,
  kTransformMethodCount = 6 /* resampling methods 0 ... 5, in the order of "拡大時補間手法" */
};

/* A mask: width x height bytes, one per pixel, rows top to bottom, no padding. */
typedef struct TransformMask {
  int32_t width;
  int32_t height;
  uint8_t* bits;
} TransformMask;

/* The dialogs of the library. The desktop program shows them with its own widgets and the
 * command-line tool answers them from its arguments, so the host hands them to the library
 * with SetTransformerDialogs before the first call that asks. Each answers 1 after OK with
 * the values filled in, 0 after Cancel. owner is the window handle given to the library. */
typedef struct TransformerDialogs {
  void* context; /* handed back to every function */
  /* "RESIZE" over a source size: the new width and height and the method (0 ... 5). */
  int32_t (*resize)(void* context, void* owner, int32_t sourceWidth, int32_t sourceHeight, int32_t* width,
                    int32_t* height, int32_t* method);
  /* "回転": the whole degrees typed into "角度". */
  int32_t (*rotate)(void* context, void* owner, int32_t* degrees);
  /* "平行線で回転" over a picture (the header and the bottom-up pixel memory of a 32-bit
   * image): the degrees of the line drawn, 0 ... 360. */
  int32_t (*parallelLine)(void* context, void* owner, const VarnelBitmapInfoHeader* header, const void* bits,
                          double* degrees);
} TransformerDialogs;

/* The exports, as the host looks them up. Integers are 32-bit. */

/* Mode 0: "RESIZE" over size (width, height); on OK writes the new size to outSize and keeps
 * the method. Mode 1: "回転"; on OK keeps the angle and writes the rotated bounding size of
 * size to outSize. 0 after OK; -1 after Cancel, for another mode, or without dialogs. */
typedef int32_t (*TransformerCalculateSize)(int32_t mode, void* owner, const int32_t size[2], int32_t outSize[2]);
/* Mode 0 resizes source into target (the target's size is the caller's choice), mode 1
 * rotates source into target by the kept angle; another mode leaves target alone. The
 * target's saved tiles are given back and its modified byte cleared afterwards. Answers 0. */
typedef int32_t (*TransformerExecuteTransform)(int32_t mode, ImageDescriptor* source, ImageDescriptor* target);
/* Mode 0 resizes a mask, mode 1 rotates it by the kept angle, both by nearest neighbour.
 * Answers 0. */
typedef int32_t (*TransformerExecuteMaskTransform)(int32_t mode, TransformMask* source, TransformMask* target);
/* "平行線で回転" over a picture; on OK keeps the angle of the drawn line and writes the
 * picture's rotated bounding size to outSize. 0 after OK, -1 after Cancel. */
typedef int32_t (*TransformerParallelLineRotate)(void* owner, const VarnelBitmapInfoHeader* header, const void* bits,
                                                 int32_t outSize[2]);
/* Kept for the design's sake: they ignore their arguments and answer 0. */
typedef int32_t (*TransformerEstimateSize)(void* a, void* b, void* c, void* d);
typedef int32_t (*TransformerPrepare)(void* a, void* b, void* c);
/* Hands the library its dialogs (copied; null takes them away). Not one of the Windows
 * library's exports: that library drew its own dialogs. */
typedef void (*TransformerSetDialogs)(const TransformerDialogs* dialogs);

#ifdef __cplusplus
}
#endif

VARNEL_STATIC_ASSERT(sizeof(TransformMask) == 16, "TransformMask: two int32 and a pointer");
VARNEL_STATIC_ASSERT(offsetof(TransformMask, width) == 0, "TransformMask.width");
VARNEL_STATIC_ASSERT(offsetof(TransformMask, height) == 4, "TransformMask.height");
VARNEL_STATIC_ASSERT(offsetof(TransformMask, bits) == 8, "TransformMask.bits");

#endif /* VARNEL_SDK_TRANSFORMER_H */
