#pragma once
// Draws surfaces with QPainter, straight from their pixel memory, and copies surfaces to and
// from QImage (ARGB32 holds pixels as the surfaces do, 0xAARRGGBB words).

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/draw_context.h"

class QPainter;

namespace varnel {

QImage ToQImage(const ImageSurface& surface);
// A dw × dh image for drawing w × h pixels zoomed out, which shrink (ShrinkByAveraging) fills,
// out's rows stride pixels apart; null when dw × dh is not smaller, the image cannot be had or
// shrink answers false.
QImage ShrunkImage(int w, int h, int dw, int dh, QImage::Format format,
                   const std::function<bool(uint32_t* out, size_t stride)>& shrink);
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
