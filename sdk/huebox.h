#ifndef VARNEL_SDK_HUEBOX_H
#define VARNEL_SDK_HUEBOX_H
/*
 * Huebox, the colour surface and gradient library (Ext/Huebox.so in the program folder).
 * The program loads it with dlopen on first use and looks the functions below up by name;
 * any of them may be missing from a given build of the library, and the caller goes on
 * without it.
 *
 * Colours are colour references 0x00BBGGRR (red in the lowest byte); the top byte is 0 in
 * everything the library writes and ignored in everything it reads. Window handles are
 * QWidget pointers passed as void* (null: no owner). Names are UTF-8.
 *
 * Every function may be called from the user-interface thread only. No C++ exception leaves
 * any of them.
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
#define HUEBOX_EXPORT __attribute__((visibility("default")))
#else
#define HUEBOX_EXPORT
#endif

enum {
  kHueboxMaxGradients = 256, /* patterns in one gradient file */
  kHueboxMaxStops = 32,      /* stops in one pattern; at least 1 */
  kHueboxNameSize = 64,      /* a pattern's name with its terminating zero */
  kHueboxPositionScale = 10000 /* stop positions count in ten-thousandths: 10000 is 1.0 */
};

/* One colour stop of a gradient. */
typedef struct HueboxGradientStop {
  int32_t position; /* 0 ... kHueboxPositionScale */
  uint8_t red;
  uint8_t green;
  uint8_t blue;
  uint8_t alpha; /* 255 opaque */
} HueboxGradientStop;

/* One gradient pattern as GetGradient hands it out. */
typedef struct HueboxGradient {
  char name[kHueboxNameSize]; /* zero-terminated */
  int32_t stopCount;          /* 1 ... kHueboxMaxStops */
  HueboxGradientStop stops[kHueboxMaxStops]; /* the first stopCount, in position order */
} HueboxGradient;

/* ---- The colour surface ----------------------------------------------------------------
 *
 * A popup at a screen point: a saturation/value square for one hue, a hue strip beside it,
 * and under the square two swatches, the colour chosen so far and the colour the surface
 * opened with. Coordinates below are pixels of the popup, from its top-left corner.
 */
enum {
  kHueboxSurfaceWidth = 304,
  kHueboxSurfaceHeight = 312,
  kHueboxSquareLeft = 8, /* the square: 256 x 256; saturation = x - left, value = 255 - (y - top) */
  kHueboxSquareTop = 8,
  kHueboxSquareSize = 256,
  kHueboxHueLeft = 272, /* the hue strip: 24 x 256; hue = (y - top) x 360 / 256, in degrees */
  kHueboxHueTop = 8,
  kHueboxHueWidth = 24,
  kHueboxHueHeight = 256,
  kHueboxSwatchTop = 272, /* the swatches: 128 x 32 each, side by side under the square */
  kHueboxSwatchHeight = 32,
  kHueboxCurrentLeft = 8,
  kHueboxPreviousLeft = 136,
  kHueboxSwatchWidth = 128
};

/* What a point of the surface lies on. */
enum {
  kHueboxPartNone = 0,
  kHueboxPartSquare = 1,
  kHueboxPartHue = 2,
  kHueboxPartCurrent = 3,
  kHueboxPartPrevious = 4
};

/* What the surface shows at a moment. */
typedef struct HueboxSurfaceState {
  uint32_t previous; /* the colour the surface opened with */
  uint32_t current;  /* the colour chosen so far */
  int32_t hue;       /* the hue the square shows, degrees 0 ... 359 (others are taken mod 360) */
} HueboxSurfaceState;

/*
 * Opens the colour surface with its top-left corner at the screen point (moved inside the
 * screen when it would stick out) and returns when it closes. Releasing the mouse button over
 * the square, or over either swatch, picks that colour; Enter picks the current colour; the
 * hue strip only turns the square's hue. Esc, or a click outside, closes without a pick.
 * Answers 1 and writes the colour to picked (when not null) on a pick, else 0. Answers 0 at
 * once without a desktop application.
 */
HUEBOX_EXPORT int32_t OpenColorSurface(void* parentWindow, int32_t screenX, int32_t screenY, uint32_t current,
                                       uint32_t* picked);

/*
 * The surface without a window: the part of the surface at (x, y) for the state, and the
 * colour it shows there written to colour (when not null; not written for kHueboxPartNone).
 * The hue strip shows each hue at full saturation and value. A null state answers
 * kHueboxPartNone.
 */
HUEBOX_EXPORT int32_t HueboxSurfaceColourAt(const HueboxSurfaceState* state, int32_t x, int32_t y, uint32_t* colour);

/* ---- Gradients -------------------------------------------------------------------------
 *
 * The patterns are those of res/grad.gpi in the program folder, read on first use and again
 * whenever the file has changed since. A missing or unreadable file gives no patterns.
 */

/* The number of patterns (0 when there are none). */
HUEBOX_EXPORT int32_t HueboxGradientCount(void);

/* Copies pattern index into gradient. 1 on success; 0 (gradient untouched) when there is no
 * such pattern or gradient is null. */
HUEBOX_EXPORT int32_t GetGradient(int32_t index, HueboxGradient* gradient);

/*
 * Samples pattern index into count colours: colour i is taken at the position i / (count - 1)
 * (0 when count is 1). Before the first stop and after the last, the end stop's colour. In
 * between, with a the last stop at or before the position and b the next one, each channel is
 * a + (b - a) x t rounded to nearest with halves up, t the exact fraction of the way from a to
 * b. Two stops at one position make a hard edge: the position itself takes the later one.
 * Alpha is not sampled. 1 on success; 0 (nothing written) for no such pattern, count < 1 or
 * a null colours.
 */
HUEBOX_EXPORT int32_t GetGradationColors(int32_t index, int32_t count, uint32_t* colours);

/*
 * The gradient editor, modal: the patterns of the file as a list, each pattern's stops with
 * colour, opacity and position, adding and deleting patterns and stops; 保存 writes the file
 * back (atomically) and closes. path null or empty: the program's res/grad.gpi. Answers 1
 * when the file was written, 0 when the editor was closed without saving or could not open.
 */
HUEBOX_EXPORT int32_t ShowGradientEditor(void* parentWindow, const char* path);

/*
 * The gradient tool's editor: ShowGradientEditor on the program's res/grad.gpi with pattern
 * index selected at first. Answers the pattern selected when it was saved, or -1 when it
 * was closed without saving.
 */
HUEBOX_EXPORT int32_t ShowGradationUI(void* parentWindow, int32_t index);

/* ---- The extension-library protocol ----------------------------------------------------- */

enum { kHueboxImageInformation = 32774 };

/* Remembers the program's main window as the owner of later dialogs. Answers 0. */
HUEBOX_EXPORT int32_t CreateUI(void* mainWindow);

/*
 * code kHueboxImageInformation with count > 0 and head not null: head is the address of an
 * ImageDescriptor pointer; opens the picture-information window over the image modally: its
 * size, count as the number of layers, the number of different pixel words and the histogram
 * of each channel (a box saying there is no image when that pointer is null). The image is
 * only read. Answers 0 in every case.
 */
HUEBOX_EXPORT int32_t PaintMsg(int32_t code, int32_t count, void* head);

/*
 * The size and depth of the image as text, zero-terminated into text (cut to size - 1 bytes
 * at a character boundary). Answers the length of the whole text without its zero, or -1 when text is null
 * or size < 1.
 */
HUEBOX_EXPORT int32_t HueboxImageInformationText(const ImageDescriptor* image, char* text, int32_t size);

typedef int32_t (*HueboxOpenColorSurface)(void* parentWindow, int32_t screenX, int32_t screenY, uint32_t current,
                                          uint32_t* picked);
typedef int32_t (*HueboxSurfaceColourAtFunction)(const HueboxSurfaceState* state, int32_t x, int32_t y,
                                                 uint32_t* colour);
typedef int32_t (*HueboxGradientCountFunction)(void);
typedef int32_t (*HueboxGetGradient)(int32_t index, HueboxGradient* gradient);
typedef int32_t (*HueboxGetGradationColors)(int32_t index, int32_t count, uint32_t* colours);
typedef int32_t (*HueboxShowGradientEditor)(void* parentWindow, const char* path);
typedef int32_t (*HueboxShowGradationUI)(void* parentWindow, int32_t index);
typedef int32_t (*HueboxCreateUI)(void* mainWindow);
typedef int32_t (*HueboxPaintMsg)(int32_t code, int32_t count, void* head);
typedef int32_t (*HueboxImageInformationTextFunction)(const ImageDescriptor* image, char* text, int32_t size);

#ifdef __cplusplus
}
#endif

VARNEL_STATIC_ASSERT(sizeof(HueboxGradientStop) == 8, "HueboxGradientStop is 8 bytes");
VARNEL_STATIC_ASSERT(offsetof(HueboxGradientStop, position) == 0, "HueboxGradientStop.position");
VARNEL_STATIC_ASSERT(offsetof(HueboxGradientStop, red) == 4, "HueboxGradientStop.red");
VARNEL_STATIC_ASSERT(offsetof(HueboxGradientStop, green) == 5, "HueboxGradientStop.green");
VARNEL_STATIC_ASSERT(offsetof(HueboxGradientStop, blue) == 6, "HueboxGradientStop.blue");
VARNEL_STATIC_ASSERT(offsetof(HueboxGradientStop, alpha) == 7, "HueboxGradientStop.alpha");

VARNEL_STATIC_ASSERT(sizeof(HueboxGradient) == 324, "HueboxGradient is 324 bytes");
VARNEL_STATIC_ASSERT(offsetof(HueboxGradient, name) == 0, "HueboxGradient.name");
VARNEL_STATIC_ASSERT(offsetof(HueboxGradient, stopCount) == 64, "HueboxGradient.stopCount");
VARNEL_STATIC_ASSERT(offsetof(HueboxGradient, stops) == 68, "HueboxGradient.stops");

VARNEL_STATIC_ASSERT(sizeof(HueboxSurfaceState) == 12, "HueboxSurfaceState is 12 bytes");
VARNEL_STATIC_ASSERT(offsetof(HueboxSurfaceState, previous) == 0, "HueboxSurfaceState.previous");
VARNEL_STATIC_ASSERT(offsetof(HueboxSurfaceState, current) == 4, "HueboxSurfaceState.current");
VARNEL_STATIC_ASSERT(offsetof(HueboxSurfaceState, hue) == 8, "HueboxSurfaceState.hue");

#endif /* VARNEL_SDK_HUEBOX_H */
