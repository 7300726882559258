#include "shell/varnel_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "shell/qt_draw_context.h"
#include "shell/varnel_doc.h"

namespace varnel {

CVarnelView::CVarnelView(CVarnelDoc* document, QColor marginColor, QWidget* parent)
    : QAbstractScrollArea(parent), m_document(document), m_marginColor(marginColor) {
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  if (document) connect(document, &CVarnelDoc::pictureChanged, this, &CVarnelView::OnPictureChanged);
  setAcceptDrops(true);
  UpdateScrollBars();
}

void CVarnelView::SetZoom(double zoom) {
  if (!(zoom > 0.0) || zoom == m_zoom) return;
  m_zoom = zoom;
  UpdateScrollBars();
  viewport()->update();
}

QSize CVarnelView::ContentSize() const {
  if (!m_document) return {2 * kMargin, 2 * kMargin};
  const Size size = m_document->Picture().GetSize();
  return {int(size.width * m_zoom) + 2 * kMargin, int(size.height * m_zoom) + 2 * kMargin};
}

QSize CVarnelView::sizeHint() const {
  const int frame = 2 * frameWidth();
  return ContentSize() + QSize(frame, frame);
}

QPoint CVarnelView::ImageOrigin() const {
  return {kMargin - horizontalScrollBar()->value(), kMargin - verticalScrollBar()->value()};
}

QRect CVarnelView::ImageToViewport(const Rect& area) const {
  const Rect r = area.Normalized();
  const QPoint origin = ImageOrigin();
  const int left = origin.x() + int(std::floor(r.left * m_zoom));
  const int top = origin.y() + int(std::floor(r.top * m_zoom));
  const int right = origin.x() + int(std::ceil((r.right + 1) * m_zoom));
  const int bottom = origin.y() + int(std::ceil((r.bottom + 1) * m_zoom));
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QPoint CVarnelView::ViewToImage(QPoint point) const {
  const double x = (horizontalScrollBar()->value() + point.x() - kMargin) / m_zoom;
  const double y = (verticalScrollBar()->value() + point.y() - kMargin) / m_zoom;
  return {static_cast<int>(x), static_cast<int>(y)};
}

namespace {

uint32_t EventFlags(const QMouseEvent& event) {
  uint32_t flags = 0;
  if (event.buttons() & Qt::LeftButton) flags |= kToolLeftButton;
  if (event.buttons() & Qt::RightButton) flags |= kToolRightButton;
  if (event.buttons() & Qt::MiddleButton) flags |= kToolMiddleButton;
  if (event.modifiers() & Qt::ShiftModifier) flags |= kToolShift;
  if (event.modifiers() & Qt::ControlModifier) flags |= kToolControl;
  return flags;
}

}  // namespace

void CVarnelView::Deliver(int32_t code, const QMouseEvent& event, int32_t pressure) {
  if (!m_document) return;
  const QPoint image = ViewToImage(event.position().toPoint());
  m_document->GetCanvas().DeliverEvent(code, EventFlags(event), image.x(), image.y(), pressure);
  m_document->UpdateAllViews();
}

void CVarnelView::mousePressEvent(QMouseEvent* event) {
  switch (event->button()) {
    case Qt::LeftButton:
      // Button events carry pressure 0, as a mouse has none.
      Deliver(kToolButtonDown, *event, 0);
      m_buttonDown = true;
      break;
    case Qt::RightButton:
      Deliver(kToolRightButtonDown, *event, 0);
      break;
    case Qt::MiddleButton:
      m_panning = true;
      m_panPoint = event->position().toPoint();
      viewport()->setCursor(Qt::ClosedHandCursor);
      break;
    default:
      break;
  }
}

void CVarnelView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (m_panning) {
    const QPoint by = m_panPoint - point;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + by.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + by.y());
    m_panPoint = point;
  }
  Deliver(kToolMove, *event, 256);
}

void CVarnelView::mouseReleaseEvent(QMouseEvent* event) {
  switch (event->button()) {
    case Qt::LeftButton:
      Deliver(kToolButtonUp, *event, 0);
      m_buttonDown = false;
      break;
    case Qt::RightButton:
      Deliver(kToolRightButtonUp, *event, 256);
      break;
    case Qt::MiddleButton:
      m_panning = false;
      viewport()->unsetCursor();
      break;
    default:
      break;
  }
}

void CVarnelView::wheelEvent(QWheelEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    const double step = event->angleDelta().y() >= 1 ? kZoomStep : -kZoomStep;
    // Steps of 0.2 from 1.0 do not land on exact multiples; the smallest zoom is one step.
    SetZoom(std::max(kZoomStep, std::round((m_zoom + step) * 10.0) / 10.0));
  }
  QAbstractScrollArea::wheelEvent(event);
}

void CVarnelView::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    QScrollBar* bar = nullptr;
    int by = 0;
    switch (event->key()) {
      case Qt::Key_Up: bar = verticalScrollBar(); by = -kScrollStep; break;
      case Qt::Key_Down: bar = verticalScrollBar(); by = kScrollStep; break;
      case Qt::Key_Left: bar = horizontalScrollBar(); by = -kScrollStep; break;
      case Qt::Key_Right: bar = horizontalScrollBar(); by = kScrollStep; break;
      default: break;
    }
    if (bar != nullptr) {
      bar->setValue(bar->value() + by);
      return;
    }
  }
  QAbstractScrollArea::keyPressEvent(event);
}

namespace {

// The first local file among the dropped things, or an empty text.
QString FirstDroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

void CVarnelView::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstDroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CVarnelView::dropEvent(QDropEvent* event) {
  const QString path = FirstDroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  emit fileDropped(path);
}

void CVarnelView::UpdateScrollBars() {
  const QSize content = ContentSize();
  // When the picture fits without scroll bars it gets none, even if the viewport is
  // momentarily narrowed by bars that are about to go.
  const QSize room = maximumViewportSize();
  const QSize view = content.width() <= room.width() && content.height() <= room.height()
                         ? room : viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, content.width() - view.width()));
  verticalScrollBar()->setRange(0, std::max(0, content.height() - view.height()));
  horizontalScrollBar()->setPageStep(view.width());
  verticalScrollBar()->setPageStep(view.height());
}

void CVarnelView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CVarnelView::scrollContentsBy(int, int) { viewport()->update(); }

void CVarnelView::OnPictureChanged(const Rect& area) { viewport()->update(ImageToViewport(area)); }

void CVarnelView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect damaged = event->rect();
  painter.fillRect(damaged, m_marginColor);
  if (!m_document) return;
  ImageSurface& picture = m_document->Picture();
  const Size size = picture.GetSize();
  if (size.width < 1 || size.height < 1) return;

  const QRect whole = ImageToViewport({0, 0, size.width - 1, size.height - 1});
  const QRect visible = whole & damaged;
  if (visible.isEmpty()) return;
  // Only the damaged part of the picture is drawn: the source rectangle is the pixels that
  // cover it, and the destination that source's exact place on screen.
  const QPoint origin = ImageOrigin();
  Rect source;
  source.left = std::max(0, int(std::floor((visible.left() - origin.x()) / m_zoom)));
  source.top = std::max(0, int(std::floor((visible.top() - origin.y()) / m_zoom)));
  source.right = std::min(size.width, int(std::ceil((visible.right() + 1 - origin.x()) / m_zoom)));
  source.bottom = std::min(size.height, int(std::ceil((visible.bottom() + 1 - origin.y()) / m_zoom)));
  Rect destination;
  destination.left = origin.x() + int(std::floor(source.left * m_zoom));
  destination.top = origin.y() + int(std::floor(source.top * m_zoom));
  destination.right = origin.x() + int(std::floor(source.right * m_zoom));
  destination.bottom = origin.y() + int(std::floor(source.bottom * m_zoom));
  painter.setClipRect(visible);
  QtDrawContext context(painter);
  picture.Draw(context, destination, source);
}

}  // namespace varnel
