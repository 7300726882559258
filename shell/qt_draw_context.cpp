#include "shell/qt_draw_context.h"

#include <cstring>

#include <QImage>
#include <QPainter>
#include <QPen>

#include "core/area_shrink.h"
#include "core/surface.h"

namespace varnel {

void QtDrawContext::CopyPixels(const ImageSurface& surface, const Rect& source, const Rect& destination) {
  const int sw = source.right - source.left;
  const int sh = source.bottom - source.top;
  const int dw = destination.right - destination.left;
  const int dh = destination.bottom - destination.top;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  const int width = surface.Width();
  const int height = surface.Height();
  // Zoomed out: every picture pixel counts towards the screen pixel it falls in.
  const QImage shrunk = ShrunkImage(sw, sh, dw, dh, QImage::Format_RGB32, [&](uint32_t* out, size_t stride) {
    return ShrinkByAveraging(surface, source, dw, dh, out, stride);
  });
  if (!shrunk.isNull()) {
    m_painter.save();
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.drawImage(QPoint(destination.left, destination.top), shrunk);
    m_painter.restore();
    return;
  }
  // The surface is bottom-up in memory; QImage reads it as is (row 0 = the bottom image row)
  // and the painter flips it while drawing, so nothing is copied. The screen ignores alpha.
  const QImage image(surface.Bits(), width, height, surface.Stride(), QImage::Format_RGB32);
  const QRect bottomUpSource(source.left, height - source.top - sh, sw, sh);

  m_painter.save();
  m_painter.setCompositionMode(QPainter::CompositionMode_Source);
  m_painter.setRenderHint(QPainter::SmoothPixmapTransform, dw < sw || dh < sh);
  m_painter.translate(destination.left, destination.top + dh);
  m_painter.scale(1.0, -1.0);
  m_painter.drawImage(QRectF(0, 0, dw, dh), image, bottomUpSource);
  m_painter.restore();
}

QImage ShrunkImage(int w, int h, int dw, int dh, QImage::Format format,
                   const std::function<bool(uint32_t* out, size_t stride)>& shrink) {
  if (dw > w || dh > h || (dw == w && dh == h)) return {};
  QImage shrunk(dw, dh, format);
  if (shrunk.isNull() || !shrink(reinterpret_cast<uint32_t*>(shrunk.bits()), static_cast<size_t>(shrunk.bytesPerLine() / 4)))
    return {};
  return shrunk;
}

namespace {

// The device rectangle (right and bottom excluded) as the one-pixel outline Qt draws: its right
// and bottom lines sit one pixel inside.
QRect OutlineRect(const Rect& bounds) {
  return QRect(bounds.left, bounds.top, bounds.right - bounds.left - 1, bounds.bottom - bounds.top - 1);
}

}  // namespace

void QtDrawContext::Ellipse(const Rect& bounds) {
  if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) return;
  m_painter.save();
  m_painter.setPen(QPen(m_painter.pen().color(), 1));
  m_painter.setBrush(Qt::NoBrush);
  m_painter.drawEllipse(OutlineRect(bounds));
  m_painter.restore();
}

void QtDrawContext::Rectangle(const Rect& bounds) {
  if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) return;
  m_painter.save();
  m_painter.setPen(QPen(m_painter.pen().color(), 1));
  m_painter.setBrush(Qt::NoBrush);
  m_painter.drawRect(OutlineRect(bounds));
  m_painter.restore();
}

QImage ToQImage(const ImageSurface& surface) {
  const Size size = surface.GetSize();
  QImage image(size.width, size.height, QImage::Format_ARGB32);
  // An image too large to be had stays null rather than being written through.
  if (image.isNull()) return image;
  for (int32_t y = 0; y < size.height; ++y)
    std::memcpy(image.scanLine(y), surface.Row(y), static_cast<size_t>(size.width) * 4);
  return image;
}

std::unique_ptr<ImageSurface> FromQImage(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  auto surface = std::make_unique<ImageSurface>();
  if (image.isNull() || surface->CreateUnfilled({image.width(), image.height()}) != 0) return nullptr;
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(surface->Row(y), image.constScanLine(y), static_cast<size_t>(image.width()) * 4);
  return surface;
}

}  // namespace varnel
