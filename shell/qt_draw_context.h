#pragma once
// Draws surfaces with QPainter, straight from their pixel memory, and copies surfaces to and
// from QImage (ARGB32 holds pixels as the surfaces do, 0xAARRGGBB words).

#include <QImage>
#include <memory>

#include "core/draw_context.h"

class QPainter;

namespace varnel {

QImage ToQImage(const ImageSurface& surface);
// Null when the image is null or no surface of its size can be made.
std::unique_ptr<ImageSurface> FromQImage(const QImage& source);

class QtDrawContext : public DrawContext {
 public:
  explicit QtDrawContext(QPainter& painter) : m_painter(painter) {}
  void CopyPixels(const ImageSurface& surface, const Rect& source, const Rect& destination) override;
  void Ellipse(const Rect& bounds) override;
  void Rectangle(const Rect& bounds) override;

 private:
  QPainter& m_painter;
};

}  // namespace varnel
