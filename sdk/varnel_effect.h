#ifndef VARNEL_SDK_VARNEL_EFFECT_H
#define VARNEL_SDK_VARNEL_EFFECT_H
/*
 * Animation effect libraries: shared libraries in the folder Animation/Effect/ of the program
 * folder. Each offers one or more transition effects that render frame k of n from a source
 * picture into a destination picture. The host loads every "*.so" there with dlopen and looks
 * the entry points below up by name.
 *
 * Effects are numbered from 0; the number is the effect's type in every call. The host lists a
 * library's effects by calling GetEffectName with 0, 1, 2, ... until it answers -1.
 *
 * Pictures cross the boundary as a bitmap header (only biWidth and biHeight are read; both must
 * be positive) and the pixel memory: 32-bit pixels B, G, R, A, rows bottom-up, width x 4 bytes
 * apart, exactly the pixel memory of ImageDescriptor (sdk/varnel_image.h). Source and
 * destination may differ in size. Destination pixels an effect does not write keep what the
 * host put there.
 *
 * An effect may keep an object between frames: CreateEffectObject(type) makes it (null when the
 * effect needs none), the host hands it to every OpenConfig and ExecEffect of that type and
 * frees it with DeleteEffectObject. Whoever allocates frees.
 *
 * A library defines each entry point with the type below, e.g.
 *   VARNEL_EFFECT_EXPORT int32_t GetEffectName(int32_t index, char* buffer) { ... }
 * inside extern "C" when it is C++.
 *
 * Texts are zero-terminated, code page 932; the host's name buffer holds
 * VARNEL_EFFECT_NAME_SIZE bytes including the zero.
 *
 * Build an effect library (Linux, from the folder holding sdk/):
 *   cc -shared -fPIC -O2 -I. my_effect.c -o Animation/Effect/my_effect.so
 *
 * Plain C11 and C++.
 */

#include <stdint.h>

#include "sdk/varnel_image.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VARNEL_EFFECT_EXPORT __attribute__((visibility("default")))
#else
#define VARNEL_EFFECT_EXPORT
#endif

enum {
  VARNEL_EFFECT_NAME_SIZE = 64 /* name buffer, zero included */
};

/* The object of Animorph's enlargement (type 4): the final enlargement in percent. A host may
 * set percent before ExecEffect; OpenConfig edits it in a dialog. */
typedef struct VarnelEnlargeObject {
  int32_t version; /* 1 */
  int32_t percent; /* 200 when created; 99 or less draws nothing */
} VarnelEnlargeObject;

/* Copies the name of effect index into buffer; 0, or -1 when there is no such effect. */
typedef int32_t (*VarnelGetEffectName)(int32_t index, char* buffer);
/* A new object for the effect, or null when it keeps none. */
typedef void* (*VarnelCreateEffectObject)(int32_t type);
/* Frees an object of CreateEffectObject (null is allowed); 0. */
typedef int32_t (*VarnelDeleteEffectObject)(int32_t type, void* object);
/* Shows the effect's settings modally over parent (an opaque window handle, may be null);
 * -1 when the effect needs an object and it is missing or not understood, else 0. */
typedef int32_t (*VarnelEffectOpenConfig)(void* parent, int32_t type, void* object);
/* Bytes of working memory the library wants from the host; Animorph answers 0. */
typedef int32_t (*VarnelGetEffectBufferSize)(int32_t reserved);
/* Renders frame k (0 ... n) of n into the destination. Fades also store the layer opacity the
 * frame is shown with (0 ... 256) through opacity, which may be null for other effects.
 * 0 when drawn; -1 for bad sizes, a bad frame, an unknown type or an effect that cannot draw. */
typedef int32_t (*VarnelExecEffect)(int32_t type, void* object, const VarnelBitmapInfoHeader* destinationHeader,
                                    void* destinationPixels, const VarnelBitmapInfoHeader* sourceHeader,
                                    const void* sourcePixels, int32_t k, int32_t n, int32_t* opacity);

#ifdef __cplusplus
}
#endif

VARNEL_STATIC_ASSERT(sizeof(VarnelEnlargeObject) == 8, "the enlargement object is two integers");

#endif
