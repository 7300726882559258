#include "shell/varnel_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QWheelEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QImage>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/area_shrink.h"
#include "core/canvas.h"
#include "core/paint_object.h"
#include "core/region_outline.h"
#include "document/picture_commands.h"
#include "shell/qt_draw_context.h"
#include "platform/profile.h"
#include "settings/app_settings.h"
#include "shell/options_dialog.h"
#include "qtcommon/qt_colour.h"
#include "shell/tool_palette.h"
#include "shell/varnel_doc.h"
#include "shell/view_rulers.h"
#include "tools/grid_snap.h"
#include "tools/measure_tools.h"
#include "tools/zoom_tool.h"

namespace varnel {

// Qt's tablet events as the tablet's packets and calibration: Qt gives the pressure as 0…1 and
// the buttons by name, so the packets carry the pressure on an axis of kPressureAxisMaximum
// steps with the tip as the pressure button, and the cursor types a tablet reports.
class QtTabletDevice : public TabletDevice {
 public:
  static constexpr int32_t kPressureAxisMaximum = 65535;

  TabletPacket Packet(const QTabletEvent& event) {
    TabletPacket packet;
    const QPointingDevice* device = event.pointingDevice();
    packet.cursor = CursorOf(device ? device->systemId() : 0, event.pointerType());
    if (event.buttons() & Qt::LeftButton) packet.buttons |= 1u << 0;
    if (event.buttons() & Qt::RightButton) packet.buttons |= 1u << 1;
    if (event.buttons() & Qt::MiddleButton) packet.buttons |= 1u << 2;
    const QPointF screen = event.globalPosition();
    packet.x = static_cast<int32_t>(std::lround(std::clamp(screen.x(), -1.0e9, 1.0e9)));
    packet.y = static_cast<int32_t>(std::lround(std::clamp(screen.y(), -1.0e9, 1.0e9)));
    const double pressure = std::isfinite(event.pressure()) ? std::clamp(event.pressure(), 0.0, 1.0) : 0.0;
    packet.normalPressure = static_cast<int32_t>(std::lround(pressure * kPressureAxisMaximum));
    const PenOrientation orientation = OrientationFromTilt(event.xTilt(), event.yTilt(), event.rotation());
    packet.azimuth = orientation.azimuth;
    packet.altitude = orientation.altitude;
    packet.twist = orientation.twist;
    return packet;
  }

  bool PressureButton(uint32_t cursor, uint8_t& button) override {
    if (cursor >= m_cursors.size()) return false;
    button = 0;
    return true;
  }
  std::vector<uint8_t> ButtonMap(uint32_t cursor) override {
    if (cursor >= m_cursors.size()) return {};
    return {0, 1, 2};
  }
  bool PressureAxis(int32_t& minimum, int32_t& maximum) override {
    minimum = 0;
    maximum = kPressureAxisMaximum;
    return true;
  }
  bool PressureMarks(uint32_t cursor, int32_t& release, int32_t& press) override {
    if (cursor >= m_cursors.size()) return false;
    release = 0;
    press = kPressureAxisMaximum;
    return true;
  }
  bool CursorType(uint32_t cursor, uint32_t& type) override {
    if (cursor >= m_cursors.size()) return false;
    switch (m_cursors[cursor].type) {
      case QPointingDevice::PointerType::Pen: type = 0x4000u; break;
      case QPointingDevice::PointerType::Eraser: type = 0xC000u; break;
      case QPointingDevice::PointerType::Cursor: type = 0x8000u; break;
      default: type = 0; break;
    }
    return true;
  }

 private:
  // Each end of each device is a cursor, numbered as they first appear.
  uint32_t CursorOf(qint64 systemId, QPointingDevice::PointerType type) {
    for (size_t i = 0; i < m_cursors.size(); ++i)
      if (m_cursors[i].systemId == systemId && m_cursors[i].type == type) return static_cast<uint32_t>(i);
    m_cursors.push_back({systemId, type});
    return static_cast<uint32_t>(m_cursors.size() - 1);
  }

  struct Cursor {
    qint64 systemId;
    QPointingDevice::PointerType type;
  };
  std::vector<Cursor> m_cursors;
};

CVarnelView::CVarnelView(CVarnelDoc* document, QColor marginColor, const AppSettings* settings, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_document(document),
      m_marginColor(marginColor),
      m_settings(settings),
      m_topRuler(new ViewRuler(Qt::Horizontal, ViewRuler::kThickness, this)),
      m_leftRuler(new ViewRuler(Qt::Vertical, 0, this)),
      m_tabletDevice(std::make_unique<QtTabletDevice>()),
      m_tablet(m_tabletDevice.get()) {
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  viewport()->setMouseTracking(true);
  // Not reached by Tab: Tab from a panel field would land on some picture's view and bring
  // that picture, perhaps a hidden one, to the front with its tool.
  setFocusPolicy(Qt::ClickFocus);
  if (document) {
    connect(document, &CVarnelDoc::pictureChanged, this, &CVarnelView::OnPictureChanged);
    connect(document, &CVarnelDoc::sizeChanged, this, [this] {
      UpdateScrollBars();
      viewport()->update();
    });
    connect(document, &CVarnelDoc::selectionChanged, this, [this] { viewport()->update(); });
    connect(document, &CVarnelDoc::gridChanged, this, [this] { viewport()->update(); });
    if (auto* zoom = dynamic_cast<ZoomTool*>(document->GetCanvas().Tool(kZoomToolSlot)))
      zoom->SetZoomer([this](int32_t x, int32_t y, bool in) { ZoomToolStep(x, y, in); });
  }
  setAcceptDrops(true);
  SyncRulers();
}

CVarnelView::~CVarnelView() {
  if (!m_document) return;
  if (auto* zoom = dynamic_cast<ZoomTool*>(m_document->GetCanvas().Tool(kZoomToolSlot))) zoom->SetZoomer({});
}

void CVarnelView::SetZoom(double zoom) {
  if (!(zoom > 0.0) || zoom == m_zoom) return;
  m_zoom = zoom;
  UpdateScrollBars();
  viewport()->update();
  UpdateRulers();
  emit zoomChanged(m_zoom);
}

void CVarnelView::ZoomAt(double zoom, QPointF at, double imageX, double imageY) {
  SetZoom(zoom);
  horizontalScrollBar()->setValue(static_cast<int>(std::lround(imageX * m_zoom + kMargin - at.x())));
  verticalScrollBar()->setValue(static_cast<int>(std::lround(imageY * m_zoom + kMargin - at.y())));
}

void CVarnelView::ZoomAboutCentre(double zoom) {
  const QPointF centre(viewport()->width() / 2.0, viewport()->height() / 2.0);
  ZoomAt(zoom, centre, (horizontalScrollBar()->value() + centre.x() - kMargin) / m_zoom,
         (verticalScrollBar()->value() + centre.y() - kMargin) / m_zoom);
}

void CVarnelView::ZoomToolStep(int32_t x, int32_t y, bool in) {
  SetZoom(NextZoomStep(m_zoom, in));
  // The pixel's centre goes to the pointer, moved to the nearest whole scroll position from
  // which the pointer still maps onto that pixel (one exists unless zoomed out below 1).
  auto place = [this](QScrollBar* bar, int32_t pixel, double pointer) {
    const double first = std::ceil(pixel * m_zoom + kMargin - pointer);
    const double last = std::ceil((pixel + 1.0) * m_zoom + kMargin - pointer) - 1.0;
    double value = std::round((pixel + 0.5) * m_zoom + kMargin - pointer);
    if (first <= last) value = std::clamp(value, first, last);
    bar->setValue(static_cast<int>(value));
  };
  place(horizontalScrollBar(), x, m_pointer.x());
  place(verticalScrollBar(), y, m_pointer.y());
}

QSize CVarnelView::ContentSize() const {
  if (!m_document) return {2 * kMargin, 2 * kMargin};
  const Size size = m_document->Picture().GetSize();
  return {int(size.width * m_zoom) + 2 * kMargin, int(size.height * m_zoom) + 2 * kMargin};
}

QSize CVarnelView::sizeHint() const {
  const int frame = 2 * frameWidth() + (RulersOn() ? ViewRuler::kThickness : 0);
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

uint32_t EventFlags(const QSinglePointEvent& event) {
  uint32_t flags = 0;
  if (event.buttons() & Qt::LeftButton) flags |= kToolLeftButton;
  if (event.buttons() & Qt::RightButton) flags |= kToolRightButton;
  if (event.buttons() & Qt::MiddleButton) flags |= kToolMiddleButton;
  if (event.modifiers() & Qt::ShiftModifier) flags |= kToolShift;
  if (event.modifiers() & Qt::ControlModifier) flags |= kToolControl;
  if (event.modifiers() & Qt::AltModifier) flags |= kToolAlt;
  return flags;
}

}  // namespace

void CVarnelView::Deliver(int32_t code, const QMouseEvent& event, int32_t pressure) {
  DeliverAt(code, EventFlags(event), event.position(), pressure, nullptr);
  Redraw();
}

void CVarnelView::DeliverAt(int32_t code, uint32_t flags, QPointF point, int32_t pressure,
                            const PenOrientation* orientation) {
  if (!m_document) return;
  m_pointer = point;
  const QPoint image = ViewToImage(point.toPoint());
  m_document->GetCanvas().DeliverEvent(code, flags, image.x(), image.y(), pressure, orientation);
}

void CVarnelView::Redraw() {
  if (!m_document) return;
  m_document->UpdateAllViews();
  RefreshFeedback();
}

void CVarnelView::PointerMessage(int32_t code, const QMouseEvent& event) {
  const std::vector<TabletDelivery> deliveries = m_tablet.ReadMessage(code);
  if (deliveries.empty()) {
    Deliver(code, event, MousePressure(code));
    return;
  }
  for (const TabletDelivery& d : deliveries)
    DeliverAt(d.code, EventFlags(event), viewport()->mapFromGlobal(QPoint(d.screenX, d.screenY)), d.pressure,
              &d.orientation);
  Redraw();
}

bool CVarnelView::TabletMessage(QTabletEvent& event) {
  int32_t code = kToolMove;
  switch (event.type()) {
    // The tip is the left button; a barrel button's press comes back as the mouse's.
    case QEvent::TabletPress:
      if (event.button() != Qt::LeftButton) return false;
      code = kToolButtonDown;
      break;
    case QEvent::TabletRelease:
      if (event.button() != Qt::LeftButton) return false;
      code = kToolButtonUp;
      break;
    case QEvent::TabletMove:
      break;
    default:
      return false;
  }
  // Accepted, the event is not repeated as a mouse event.
  event.accept();
  const TabletPacket packet = m_tabletDevice->Packet(event);
  if (int64_t{packet.cursor} != m_classifiedCursor) CursorChanged(packet.cursor);
  m_tablet.Queue(packet);
  if (code == kToolMove) TrackPointer(event.position().toPoint());
  const uint32_t flags = EventFlags(event);
  for (const TabletDelivery& d : m_tablet.ReadMessage(code))
    DeliverAt(d.code, flags, viewport()->mapFromGlobal(QPoint(d.screenX, d.screenY)), d.pressure, &d.orientation);
  if (code == kToolButtonDown) m_buttonDown = true;
  if (code == kToolButtonUp) m_buttonDown = false;
  Redraw();
  if (code != kToolButtonDown) ReportPointer(event.position().toPoint());
  return true;
}

void CVarnelView::CursorChanged(uint32_t cursor) {
  m_classifiedCursor = cursor;
  if (!m_document) return;
  const int32_t slot = penEraserSlot ? penEraserSlot() : PenEraserToolSlot(PenEraserAssignment(AppProfile()));
  m_document->GetCanvas().SetPenEndOverride(m_tablet.CursorChange(cursor, slot));
}

void CVarnelView::RefreshFeedback() {
  // A rubber band is redrawn whole: where it was and where it is now.
  const QRect band = FeedbackBounds();
  if (!band.isNull() || !m_feedbackRect.isNull()) viewport()->update(band.united(m_feedbackRect));
  m_feedbackRect = band;
}

std::vector<FeedbackPath> CVarnelView::ShownFeedback() const {
  if (!m_document || m_document->GetCanvas().ActiveTool() == nullptr) return {};
  std::vector<FeedbackPath> paths = m_document->GetCanvas().ActiveTool()->Feedback();
  if (!m_pointerOver) std::erase_if(paths, [](const FeedbackPath& path) { return path.hover; });
  return paths;
}

QRect CVarnelView::FeedbackBounds() const {
  QRect bounds;
  for (const FeedbackPath& path : ShownFeedback()) {
    for (const QPointF& point : FeedbackPolygon(path)) bounds = bounds.united(QRect(point.toPoint(), QSize(1, 1)));
  }
  return bounds.isNull() ? bounds : bounds.adjusted(-3, -3, 3, 3);
}

QPolygonF CVarnelView::FeedbackPolygon(const FeedbackPath& path) const {
  const QPoint origin = ImageOrigin();
  QPolygonF polygon;
  polygon.reserve(static_cast<qsizetype>(path.points.size()) + 1);
  for (const auto& [x, y] : path.points) polygon.append(QPointF(origin.x() + x * m_zoom, origin.y() + y * m_zoom));
  if (path.closed && !polygon.isEmpty()) polygon.append(polygon.front());
  return polygon;
}

void CVarnelView::DrawFeedback(QPainter& painter) {
  const std::vector<FeedbackPath> paths = ShownFeedback();
  if (paths.empty()) return;
  // White under black dashes: visible over any picture.
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen under(Qt::white, 1);
  QPen over(Qt::black, 1, Qt::DashLine);
  for (const FeedbackPath& path : paths) {
    const QPolygonF polygon = FeedbackPolygon(path);
    painter.setPen(under);
    painter.drawPolyline(polygon);
    painter.setPen(over);
    painter.drawPolyline(polygon);
  }
}

void CVarnelView::mousePressEvent(QMouseEvent* event) {
  switch (event->button()) {
    case Qt::LeftButton:
      PointerMessage(kToolButtonDown, *event);
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

void CVarnelView::TrackPointer(QPoint point) {
  m_pointerOver = true;
  UpdateBrushCursor(point);
  if (RulersOn()) {
    m_topRuler->SetPointer(point.x());
    m_leftRuler->SetPointer(point.y());
  }
}

void CVarnelView::ReportPointer(QPoint point) {
  if (!m_document) return;
  const QPoint image = ViewToImage(point);
  uint32_t colour = 0;
  const bool onPicture = m_document->GetCanvas().Composite().GetPixel(image.x(), image.y(), &colour) != 0;
  emit pointerStatus(QString::fromStdString(CoordinatesText(image.x(), image.y(), onPicture ? &colour : nullptr)));
}

void CVarnelView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  TrackPointer(point);
  if (m_panning) {
    const QPoint by = m_panPoint - point;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + by.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + by.y());
    m_panPoint = point;
  }
  PointerMessage(kToolMove, *event);
  ReportPointer(point);
}

void CVarnelView::mouseReleaseEvent(QMouseEvent* event) {
  switch (event->button()) {
    case Qt::LeftButton:
      PointerMessage(kToolButtonUp, *event);
      m_buttonDown = false;
      // What the tool laid down at the release shows at once.
      ReportPointer(event->position().toPoint());
      break;
    case Qt::RightButton:
      PointerMessage(kToolRightButtonUp, *event);
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
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  // Zooming keeps the picture's point under the pointer where it is; then the wheel scrolls
  // as it does without Ctrl.
  const QPointF pointer = event->position();
  const double imageX = (horizontalScrollBar()->value() + pointer.x() - kMargin) / m_zoom;
  const double imageY = (verticalScrollBar()->value() + pointer.y() - kMargin) / m_zoom;
  const double step = event->angleDelta().y() >= 1 ? kZoomStep : -kZoomStep;
  // Steps of 0.2 from any zoom; the doubles' drift is rounded off so that 1.0 comes back
  // exactly. A turn backward stops at one step and never raises a smaller zoom.
  double zoom = std::round((m_zoom + step) * 1e9) / 1e9;
  if (step < 0 && zoom < kZoomStep) zoom = std::min(m_zoom, kZoomStep);
  ZoomAt(zoom, pointer, imageX, imageY);
  // Without Ctrl: Qt's scroll bars page with it held.
  QWheelEvent plain(pointer, event->globalPosition(), event->pixelDelta(), event->angleDelta(), event->buttons(),
                    event->modifiers() & ~Qt::ControlModifier, event->phase(), event->inverted(), event->source());
  QAbstractScrollArea::wheelEvent(&plain);
  event->accept();
}

void CVarnelView::ScrollBy(int dx, int dy) {
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
  verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

void CVarnelView::ToggleFitToWindow() {
  m_fitToWindow = !m_fitToWindow;
  double zoom = 1.0;
  if (m_fitToWindow && m_document) {
    const Size size = m_document->Picture().GetSize();
    const QSize room = maximumViewportSize() - QSize(40, 40);
    if (size.width > 0 && size.height > 0 && room.width() > 0 && room.height() > 0)
      zoom = std::min(double(room.width()) / size.width, double(room.height()) / size.height);
  }
  SetZoom(zoom);
}

namespace {

// Tools hear keys by their virtual key codes; letters and digits are the same in both.
int32_t VirtualKey(int key) {
  switch (key) {
    case Qt::Key_Escape: return kKeyEscape;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kKeyReturn;
    case Qt::Key_Backspace: return kKeyBack;
    case Qt::Key_Tab: return kKeyTab;
    case Qt::Key_Delete: return kKeyDelete;
    case Qt::Key_Shift: return kKeyShift;
    case Qt::Key_Control: return kKeyControl;
    case Qt::Key_PageUp: return kKeyPageUp;
    case Qt::Key_PageDown: return kKeyPageDown;
    case Qt::Key_End: return kKeyEnd;
    case Qt::Key_Home: return kKeyHome;
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Up: return kKeyUp;
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_Down: return kKeyDown;
    default: return key;
  }
}

}  // namespace

void CVarnelView::DeliverKey(int32_t message, const QKeyEvent& event) {
  if (!m_document) return;
  PaintObject* tool = m_document->GetCanvas().ActiveTool();
  if (tool == nullptr) return;
  uint32_t flags = 0;
  if (event.modifiers() & Qt::ShiftModifier) flags |= kToolShift;
  if (event.modifiers() & Qt::ControlModifier) flags |= kToolControl;
  tool->KeyMessage(message, VirtualKey(event.key()), std::max(1, event.count()), flags);
  if (message == kToolChar) return;
  // After key down and key up the view redraws what the tool changed.
  m_document->UpdateAllViews();
  RefreshFeedback();
}

void CVarnelView::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    switch (event->key()) {
      case Qt::Key_Up: ScrollBy(0, -kScrollStep); return;
      case Qt::Key_Down: ScrollBy(0, kScrollStep); return;
      case Qt::Key_Left: ScrollBy(-kScrollStep, 0); return;
      case Qt::Key_Right: ScrollBy(kScrollStep, 0); return;
      default: break;
    }
  }
  DeliverKey(kToolKeyDown, *event);
  if (!event->text().isEmpty() && event->text().front().isPrint())
    if (m_document && m_document->GetCanvas().ActiveTool())
      m_document->GetCanvas().ActiveTool()->KeyMessage(kToolChar, event->text().front().unicode(),
                                                       std::max(1, event->count()), 0);
  // The plain arrows are the tool's (the layer move nudges with them); scrolling as well would
  // carry the picture away under the nudge. The view scrolls with Ctrl and the arrows.
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
      event->accept();
      return;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

void CVarnelView::keyReleaseEvent(QKeyEvent* event) {
  DeliverKey(kToolKeyUp, *event);
  QAbstractScrollArea::keyReleaseEvent(event);
}

bool CVarnelView::BrushCursorOn() const { return m_settings != nullptr && m_settings->brushCursorOn != 0; }

void CVarnelView::UpdateBrushCursor(QPoint point) {
  if (!BrushCursorOn()) return;
  // Repaint where the outline was and where it goes.
  if (m_cursorInside && !m_cursorRect.isNull()) viewport()->update(m_cursorRect.adjusted(-2, -2, 2, 2));
  m_cursorPoint = point;
  m_cursorInside = true;
  // While panning the hand stays.
  if (!m_panning) viewport()->setCursor(Qt::CrossCursor);
  if (m_document) {
    if (PaintObject* tool = m_document->GetCanvas().ActiveTool()) {
      // A throwaway painter learns the outline's bounds without drawing.
      QImage scratch(1, 1, QImage::Format_RGB32);
      QPainter probe(&scratch);
      QtDrawContext context(probe);
      Rect bounds{};
      tool->DrawCursor(context, point.x(), point.y(), &bounds, m_zoom);
      m_cursorRect = QRect(QPoint(bounds.left, bounds.top), QPoint(bounds.right, bounds.bottom));
      viewport()->update(m_cursorRect.adjusted(-2, -2, 2, 2));
    }
  }
}

void CVarnelView::leaveEvent(QEvent* event) {
  if (m_cursorInside && !m_cursorRect.isNull()) viewport()->update(m_cursorRect.adjusted(-2, -2, 2, 2));
  m_cursorInside = false;
  m_pointerOver = false;
  RefreshFeedback();
  m_topRuler->ClearPointer();
  m_leftRuler->ClearPointer();
  emit pointerStatus(QString());
  QAbstractScrollArea::leaveEvent(event);
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
  LayoutRulers();
}

void CVarnelView::scrollContentsBy(int, int) {
  viewport()->update();
  UpdateRulers();
}

bool CVarnelView::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
      if (TabletMessage(*static_cast<QTabletEvent*>(event))) return true;
      break;
    default:
      break;
  }
  if (event->type() == QEvent::Resize) LayoutRulers();
  return QAbstractScrollArea::viewportEvent(event);
}

bool CVarnelView::RulersOn() const { return m_settings != nullptr && m_settings->rulerOn != 0; }

void CVarnelView::SetMarginColor(QColor color) {
  m_marginColor = color;
  viewport()->update();
}

void CVarnelView::SyncRulers() {
  const int thickness = RulersOn() ? ViewRuler::kThickness : 0;
  setViewportMargins(thickness, thickness, 0, 0);
  m_topRuler->setVisible(thickness != 0);
  m_leftRuler->setVisible(thickness != 0);
  UpdateScrollBars();
  LayoutRulers();
  updateGeometry();
}

void CVarnelView::LayoutRulers() {
  if (!RulersOn()) return;
  const QRect port = viewport()->geometry();
  const int thickness = ViewRuler::kThickness;
  // The top ruler also covers the corner above the left one.
  m_topRuler->setGeometry(port.left() - thickness, port.top() - thickness, port.width() + thickness, thickness);
  m_leftRuler->setGeometry(port.left() - thickness, port.top(), thickness, port.height());
  UpdateRulers();
}

void CVarnelView::UpdateRulers() {
  if (!RulersOn()) return;
  const QPoint origin = ImageOrigin();
  m_topRuler->SetScale(origin.x(), m_zoom, m_settings->rulerTicInterval, m_settings->rulerCaptionInterval);
  m_leftRuler->SetScale(origin.y(), m_zoom, m_settings->rulerTicInterval, m_settings->rulerCaptionInterval);
}

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
  const Rect destination = DrawnPlace(source);
  painter.setClipRect(visible);
  DrawPicture(painter, source, destination);
  DrawPreviewPixels(painter, source);
  DrawGrid(painter, visible);
  painter.setClipRect(damaged);
  DrawFeedback(painter);
  if (BrushCursorOn() && m_cursorInside && m_document && m_document->GetCanvas().ActiveTool()) {
    // The outline stays visible on any colour.
    painter.setClipRect(damaged);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(Qt::white);
    QtDrawContext context(painter);
    m_document->GetCanvas().ActiveTool()->DrawCursor(context, m_cursorPoint.x(), m_cursorPoint.y(), nullptr, m_zoom);
  }
}

void CVarnelView::DrawPreviewPixels(QPainter& painter, const Rect& source) {
  const PaintObject* tool = m_document->GetCanvas().ActiveTool();
  if (tool == nullptr) return;
  const FeedbackPixels shown = tool->PreviewPixels();
  const Rect part = shown.bounds.Intersected({source.left, source.top, source.right - 1, source.bottom - 1});
  if (shown.coverage == nullptr || part.IsEmpty()) return;
  QImage image(part.Width(), part.Height(), QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return;
  // One colour throughout: its premultiplied shade for each coverage byte, worked out once.
  QRgb shades[256];
  const uint32_t alpha = shown.colour >> 24;
  for (uint32_t c = 0; c < 256; ++c)
    shades[c] = qPremultiply(qRgba(int(shown.colour >> 16 & 0xFF), int(shown.colour >> 8 & 0xFF),
                                   int(shown.colour & 0xFF), int((c * alpha + 127) / 255)));
  const size_t stride = static_cast<size_t>(shown.bounds.Width());
  for (int32_t y = 0; y < part.Height(); ++y) {
    const uint8_t* cover = shown.coverage + static_cast<size_t>(part.top - shown.bounds.top + y) * stride +
                           static_cast<size_t>(part.left - shown.bounds.left);
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int32_t x = 0; x < part.Width(); ++x) row[x] = shades[cover[x]];
  }
  // Where the picture's own pixels of the part are drawn; zoomed out, averaged as the picture is.
  const Rect place = DrawnPlace({part.left, part.top, part.right + 1, part.bottom + 1});
  const int dw = place.right - place.left, dh = place.bottom - place.top;
  const QImage shrunk =
      ShrunkImage(image.width(), image.height(), dw, dh, QImage::Format_ARGB32_Premultiplied, [&](uint32_t* out, size_t stride) {
        return ShrinkByAveraging(reinterpret_cast<const uint32_t*>(image.constBits()), image.bytesPerLine() / 4,
                                 image.width(), image.height(), dw, dh, out, stride);
      });
  if (!shrunk.isNull()) {
    painter.drawImage(QPoint(place.left, place.top), shrunk);
    return;
  }
  painter.drawImage(QRect(place.left, place.top, dw, dh), image);
}

Rect CVarnelView::DrawnPlace(const Rect& source) const {
  const QPoint origin = ImageOrigin();
  return {origin.x() + int(std::floor(source.left * m_zoom)), origin.y() + int(std::floor(source.top * m_zoom)),
          origin.x() + int(std::floor(source.right * m_zoom)), origin.y() + int(std::floor(source.bottom * m_zoom))};
}

void CVarnelView::DrawPicture(QPainter& painter, const Rect& source, const Rect& destination) {
  ImageSurface& picture = m_document->Picture();
  QtDrawContext context(painter);
  const Region* selection = m_document->GetCanvas().Selection();
  const int32_t mode = m_settings != nullptr ? m_settings->regionViewMode : kRegionViewNone;
  if (selection == nullptr || mode == kRegionViewNone) {
    picture.Draw(context, destination, source);
  } else {
    // The composite stays the picture itself (it is what gets saved and copied); the shading
    // of the area outside the selection is done on a copy of the drawn pixels.
    const int32_t width = source.right - source.left;
    const int32_t height = source.bottom - source.top;
    ImageSurface shown;
    if (width < 1 || height < 1 || shown.CreateUnfilled({width, height}) != 0) {
      picture.Draw(context, destination, source);
    } else {
      for (int32_t y = 0; y < height; ++y)
        std::memcpy(shown.Row(y), picture.Row(source.top + y) + source.left, static_cast<size_t>(width) * 4);
      ShowOutsideSelection(mode, selection, {source.left, source.top, source.right - 1, source.bottom - 1},
                           shown.Row(0), shown.Row(1) != nullptr && height > 1 ? shown.Row(1) - shown.Row(0) : 0);
      shown.Draw(context, destination, {0, 0, width, height});
    }
  }
  DrawSelectionOutline(painter, source);
}

void CVarnelView::DrawGrid(QPainter& painter, const QRect& visible) {
  const GridSettings& grid = m_document->Grid();
  if (!GridVisibleAt(grid, m_zoom)) return;
  const Size size = m_document->Picture().GetSize();
  const QPoint origin = ImageOrigin();
  // Lines closer than this many view pixels would cover the picture.
  constexpr double kMinGridGap = 3.0;
  const double left = std::max(0.0, (visible.left() - origin.x()) / m_zoom);
  const double top = std::max(0.0, (visible.top() - origin.y()) / m_zoom);
  const double right = std::min<double>(size.width, (visible.right() + 1 - origin.x()) / m_zoom);
  const double bottom = std::min<double>(size.height, (visible.bottom() + 1 - origin.y()) / m_zoom);
  const std::vector<GridLine> lines = GridLinesIn(grid, left, top, right, bottom, kMinGridGap / m_zoom);
  if (lines.empty()) return;
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.setRenderHint(QPainter::Antialiasing, false);
  // A line on a pixel edge lies where the picture draws that edge; slanted ones as they fall.
  auto viewX = [&](double x, bool edge) { return origin.x() + (edge ? std::floor(x * m_zoom) : x * m_zoom); };
  auto viewY = [&](double y, bool edge) { return origin.y() + (edge ? std::floor(y * m_zoom) : y * m_zoom); };
  QVector<QLineF> run;
  ColourRef runColour = lines.front().colour;
  auto flush = [&] {
    painter.setPen(QPen(QColorFromColourRef(runColour), 0));
    painter.drawLines(run);
    run.clear();
  };
  for (const GridLine& line : lines) {
    if (line.colour != runColour) {
      flush();
      runColour = line.colour;
    }
    const bool vertical = line.x0 == line.x1, horizontal = line.y0 == line.y1;
    run.append(QLineF(viewX(line.x0, vertical), viewY(line.y0, horizontal), viewX(line.x1, vertical),
                      viewY(line.y1, horizontal)));
  }
  flush();
  painter.restore();
}

void CVarnelView::DrawSelectionOutline(QPainter& painter, const Rect& source) {
  const Region* selection = m_document->GetCanvas().Selection();
  if (selection == nullptr || selection->IsEmpty()) return;
  // Only the sides of the drawn pixels matter.
  RegionOutline(*selection, {source.left, source.top, source.right - 1, source.bottom - 1}, m_outline);
  const QPoint origin = ImageOrigin();
  auto vx = [&](int32_t x) { return origin.x() + int(std::floor(x * m_zoom)); };
  auto vy = [&](int32_t y) { return origin.y() + int(std::floor(y * m_zoom)); };
  // Each side is drawn inside its selected pixel, so that the sides along the picture's right
  // and bottom edge are seen too. The dashes follow the view's columns along top and bottom
  // sides and its rows along left and right sides, not each run's start: a slanted or curved
  // edge is many short runs, and dashes restarted at each would draw it solid black. Left and
  // right sides are drawn last, so a pixel with two sides takes one side's dash, not either.
  QVector<QLine> lines[2], dashes[2];  // top and bottom sides, then left and right sides
  const auto add = [&lines, &dashes](bool upright, int32_t from, int32_t to, int32_t at) {
    const auto line = [upright, at](int32_t a, int32_t b) { return upright ? QLine(at, a, at, b) : QLine(a, at, b, at); };
    lines[upright].append(line(from, to));
    for (int32_t c = from; c <= to; c = (c | 3) + 1)
      if ((c & 4) == 0) dashes[upright].append(line(c, std::min(c | 3, to)));
  };
  for (const OutlineRun& run : m_outline) {
    const int32_t x = vx(run.x), y = vy(run.y);
    switch (run.side) {
      case OutlineRun::Side::kTop:
      case OutlineRun::Side::kBottom:
        add(false, x, std::max(x, vx(run.x + run.length) - 1),
            run.side == OutlineRun::Side::kTop ? y : std::max(y, vy(run.y + 1) - 1));
        break;
      case OutlineRun::Side::kLeft:
      case OutlineRun::Side::kRight:
        add(true, y, std::max(y, vy(run.y + run.length) - 1),
            run.side == OutlineRun::Side::kLeft ? x : std::max(x, vx(run.x + 1) - 1));
        break;
    }
  }
  if (lines[0].isEmpty() && lines[1].isEmpty()) return;
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  for (int upright = 0; upright < 2; ++upright) {
    painter.setPen(QPen(Qt::white, 1));
    painter.drawLines(lines[upright]);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLines(dashes[upright]);
  }
  painter.restore();
}

}  // namespace varnel
