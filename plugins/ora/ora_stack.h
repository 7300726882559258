#ifndef VARNEL_PLUGINS_ORA_ORA_STACK_H
#define VARNEL_PLUGINS_ORA_ORA_STACK_H
/*
 * stack.xml of an OpenRaster archive: the image size and the layer tree, read and written
 * through libxml2. Reading flattens the tree into the program's layer list:
 *
 * - layers come out in painting order, bottom first (the file lists the top first);
 * - a nested stack's children join the list in its place: its x and y add to theirs, its
 *   opacity multiplies theirs and a hidden stack hides them. What a stack's own composite-op
 *   would do to the group as a whole is not kept: its children are composited straight onto
 *   what lies below, as a plain pass-through group would be.
 */

#include <stddef.h>
#include <stdint.h>

#include "plugins/ora/ora_png.h"
#include "sdk/varnel_picture_plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The largest canvas side stack.xml may state, and the most layers it may list. */
#define ORA_MAX_SIDE 65535
#define ORA_MAX_LAYERS 4096
/* The deepest nesting of stacks. */
#define ORA_MAX_DEPTH 64

typedef struct OraStackLayer {
  char* name;          /* UTF-8, malloc'ed */
  char* src;           /* the PNG's path in the archive, already checked by OraSafeSource */
  char* unknownOp;     /* a composite-op read as normal, malloc'ed, or null */
  int32_t x;           /* on the canvas, nested stacks' offsets added */
  int32_t y;
  int32_t blendMode;   /* a VarnelBlendMode */
  uint8_t opacity;     /* 0..255 */
  uint8_t visible;     /* 0 or 1 */
} OraStackLayer;

typedef struct OraStack {
  int32_t width;
  int32_t height;
  OraStackLayer* layers; /* bottom layer first */
  size_t count;
} OraStack;

/* Parses stack.xml. 0, or kVarnelPluginBrokenData for anything that breaks the rules: not
 * XML, a document type declaration (entities could multiply its size), no image element, a
 * size outside 1..ORA_MAX_SIDE, a layer without a safe src, too many layers or levels. */
int OraParseStack(const unsigned char* xml, size_t size, OraStack* stack);
void OraFreeStack(OraStack* stack);

/* Writes stack.xml for layers (bottom first) whose PNGs are at sources[i]. A layer whose mode
 * has no OpenRaster equivalent is written as svg:src-over. 0, or -1. */
int OraWriteStack(int32_t width, int32_t height, const VarnelLayer* layers, const char* const* sources, size_t count,
                  OraBuffer* out);

/* The composite-op of a blend mode; null when OpenRaster has none. */
const char* OraCompositeOp(int32_t blendMode);
/* The blend mode of a composite-op; -1 for one the program has no mode for. */
int32_t OraBlendModeOf(const char* op);

/* Whether a src attribute names a file inside the archive: relative, no ".." part, no
 * backslash or control character, not empty, at most 1024 bytes. */
int OraSafeSource(const char* src);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_PLUGINS_ORA_ORA_STACK_H */
