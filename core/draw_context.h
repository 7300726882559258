#pragma once
// What a surface needs of the screen: a place to copy a rectangle of its pixels to, plain or
// stretched. The desktop program implements it with QPainter; the core never sees Qt.

#include "core/geometry.h"

namespace varnel {

class ImageSurface;

class DrawContext {
 public:
  virtual ~DrawContext() = default;
  // Copies the source rectangle of the surface (image pixels, row 0 at the top) to the
  // destination rectangle of the device, stretching when the sizes differ; the raster
  // operation is a plain source copy. Both rectangles exclude their right and bottom edges
  // (width = right - left). Called only with a surface that has pixels.
  virtual void CopyPixels(const ImageSurface& surface, const Rect& source,
                          const Rect& destination) = 0;
};

}  // namespace varnel
