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
  // Outlines, with a one-pixel pen and no fill, the ellipse inscribed in a rectangle of the
  // device, or the rectangle itself (right and bottom excluded, as above). Tools draw their
  // cursor outline with these; a device that shows no outlines ignores them.
  virtual void Ellipse(const Rect& bounds) { (void)bounds; }
  virtual void Rectangle(const Rect& bounds) { (void)bounds; }
};

}  // namespace varnel
