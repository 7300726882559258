#pragma once
// Draws surfaces with QPainter, straight from their pixel memory.

#include "core/draw_context.h"

class QPainter;

namespace varnel {

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
