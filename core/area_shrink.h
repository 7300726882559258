#pragma once
// Shrinking a picture for the screen by averaging, as a halftone stretch does: every source
// pixel counts towards exactly one output pixel, so a line one pixel wide still shows (lighter)
// however far the view is zoomed out, where picking one pixel in n would drop it or make a moiré
// of a fine pattern.

#include <cstddef>
#include <cstdint>

#include "core/geometry.h"

namespace varnel {

class ImageSurface;

// Shrinks the source rectangle of the surface (right and bottom excluded, inside the surface)
// to width × height pixels, neither larger than the rectangle's. Output column i averages the
// source columns left + ⌊i·w / width⌋ … left + ⌊(i + 1)·w / width⌋ − 1 (w the rectangle's width),
// rows likewise; each of the four channels is the rounded mean over that box. Rows are written
// top first, stride pixels apart. Answers false, writing nothing, for sizes it cannot take.
bool ShrinkByAveraging(const ImageSurface& surface, const Rect& source, int32_t width, int32_t height,
                       uint32_t* out, size_t stride);

// The same for pixels in memory of their own: row y of the source rectangle starts at
// top + y · rowStep (rowStep in pixels, negative for bottom-up memory), the rectangle's width
// given by columns. Averaging premultiplied pixels gives what drawing them over would show.
bool ShrinkByAveraging(const uint32_t* top, ptrdiff_t rowStep, int32_t columns, int32_t rows, int32_t width,
                       int32_t height, uint32_t* out, size_t stride);

}  // namespace varnel
