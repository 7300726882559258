#include "huebox/colour_surface.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <utility>

namespace varnel::huebox {
namespace {

QColor QColorOf(ColourRef colour) { return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)); }

QRect SquareRect() { return {kHueboxSquareLeft, kHueboxSquareTop, kHueboxSquareSize, kHueboxSquareSize}; }
QRect StripRect() { return {kHueboxHueLeft, kHueboxHueTop, kHueboxHueWidth, kHueboxHueHeight}; }
QRect CurrentRect() { return {kHueboxCurrentLeft, kHueboxSwatchTop, kHueboxSwatchWidth, kHueboxSwatchHeight}; }
QRect PreviousRect() { return {kHueboxPreviousLeft, kHueboxSwatchTop, kHueboxSwatchWidth, kHueboxSwatchHeight}; }

// Every pixel of a rectangle as the model says the surface shows it there.
QImage PaintPart(const HueboxSurfaceState& state, const QRect& rect) {
  QImage image(rect.size(), QImage::Format_RGB32);
  for (int y = 0; y < rect.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < rect.width(); ++x) {
      ColourRef colour{};
      SurfaceColourAt(state, rect.left() + x, rect.top() + y, &colour);
      row[x] = ToPixel(colour, 255);
    }
  }
  return image;
}

}  // namespace

ColourSurface::ColourSurface(QWidget* parent, ColourRef current)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setFixedSize(kHueboxSurfaceWidth, kHueboxSurfaceHeight);
  setMouseTracking(false);
  m_chosen = HsvOf(current);
  m_state.previous = ValueOf(current) & 0xFFFFFFu;
  m_state.current = m_state.previous;
  m_state.hue = m_chosen.hue;
  m_strip = PaintPart(m_state, StripRect());
  RebuildSquare();
}

void ColourSurface::RebuildSquare() { m_square = PaintPart(m_state, SquareRect()); }

void ColourSurface::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.setPen(palette().dark().color());
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.drawImage(SquareRect().topLeft(), m_square);
  painter.drawImage(StripRect().topLeft(), m_strip);
  painter.fillRect(CurrentRect(), QColorOf(ColourRef{m_state.current}));
  painter.fillRect(PreviousRect(), QColorOf(ColourRef{m_state.previous}));
  painter.drawRect(CurrentRect().united(PreviousRect()).adjusted(-1, -1, 0, 0));

  // The square's marker: a ring that stays visible on light and dark colours alike.
  const QPoint marker(kHueboxSquareLeft + m_chosen.saturation, kHueboxSquareTop + 255 - m_chosen.value);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(m_chosen.value < 128 ? Qt::white : Qt::black, 1.5));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(QPointF(marker) + QPointF(0.5, 0.5), 5.0, 5.0);

  // The strip's marker: small arrows either side of the hue's row.
  painter.setRenderHint(QPainter::Antialiasing, false);
  const int row = kHueboxHueTop + StripRowOfHue(m_state.hue);
  painter.setPen(palette().windowText().color());
  painter.setBrush(palette().windowText());
  const int left = kHueboxHueLeft - 1, right = kHueboxHueLeft + kHueboxHueWidth;
  const QPoint leftArrow[] = {{left, row}, {left - 5, row - 4}, {left - 5, row + 4}};
  const QPoint rightArrow[] = {{right, row}, {right + 5, row - 4}, {right + 5, row + 4}};
  painter.drawPolygon(leftArrow, 3);
  painter.drawPolygon(rightArrow, 3);
}

void ColourSurface::ChooseInSquare(QPoint point) {
  m_chosen = SquareHsvAt(m_state.hue, point.x(), point.y());
  m_state.current = ValueOf(ColourOfHsv(m_chosen.hue, m_chosen.saturation, m_chosen.value));
  update();
}

void ColourSurface::ChooseHue(QPoint point) {
  m_state.hue = HueOfStripRow(point.y() - kHueboxHueTop);
  m_chosen.hue = m_state.hue;
  m_state.current = ValueOf(ColourOfHsv(m_chosen.hue, m_chosen.saturation, m_chosen.value));
  RebuildSquare();
  update();
}

void ColourSurface::Pick(ColourRef colour) {
  m_picked = colour;
  close();
}

void ColourSurface::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  // The popup gets every press while it is open; QWidget's own handler closes it on one
  // outside (and on other popups in front of it).
  if (!rect().contains(point)) {
    QWidget::mousePressEvent(event);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  m_dragPart = SurfacePartAt(point.x(), point.y());
  if (m_dragPart == kHueboxPartSquare) ChooseInSquare(point);
  if (m_dragPart == kHueboxPartHue) ChooseHue(point);
}

void ColourSurface::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (m_dragPart == kHueboxPartSquare) ChooseInSquare(point);
  if (m_dragPart == kHueboxPartHue) ChooseHue(point);
}

void ColourSurface::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // The release of the press that opened the surface finds no part pressed here and is let go.
  const int32_t pressed = std::exchange(m_dragPart, kHueboxPartNone);
  const QPoint point = event->position().toPoint();
  const int32_t released = SurfacePartAt(point.x(), point.y());
  switch (pressed) {
    case kHueboxPartSquare: Pick(ColourRef{m_state.current}); break;  // a drag ends where it is held
    case kHueboxPartCurrent:
    case kHueboxPartPrevious: {
      ColourRef colour{};
      if (released == pressed && SurfaceColourAt(m_state, point.x(), point.y(), &colour) == pressed) Pick(colour);
      break;
    }
    default: break;
  }
}

void ColourSurface::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape: close(); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: Pick(ColourRef{m_state.current}); break;
    default: QWidget::keyPressEvent(event);
  }
}

void ColourSurface::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  emit closed();
}

std::optional<ColourRef> RunColourSurface(QWidget* parent, QPoint screenPoint, ColourRef current) {
  ColourSurface surface(parent, current);
  QScreen* screen = QGuiApplication::screenAt(screenPoint);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  QPoint at = screenPoint;
  if (screen != nullptr) {
    const QRect area = screen->availableGeometry();
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - kHueboxSurfaceWidth)));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - kHueboxSurfaceHeight)));
  }
  surface.move(at);

  QEventLoop loop;
  QObject::connect(&surface, &ColourSurface::closed, &loop, &QEventLoop::quit);
  QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
  surface.show();
  surface.setFocus(Qt::PopupFocusReason);
  if (surface.isVisible()) loop.exec();
  return surface.Picked();
}

}  // namespace varnel::huebox
