#include "zoomlet/zoomlet_ctrl.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QtWidgets/qdrawutil.h>

namespace varnel {

namespace {

constexpr const char* kTimerOnName = "TIMERON";
constexpr const char* kTimerElapseName = "TimerElapse";
constexpr const char* kLoupePowsName = "LoupePows";
constexpr int kDefaultElapse = 300;

QColor ColourOf(uint32_t colourRef) {
  return QColor(colourRef & 0xFF, (colourRef >> 8) & 0xFF, (colourRef >> 16) & 0xFF);
}

QPixmap Face(const std::function<void(QPainter&)>& draw) {
  QPixmap face(kLoupeButtonSize - 4, kLoupeButtonSize - 4);
  face.fill(Qt::transparent);
  QPainter painter(&face);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  draw(painter);
  return face;
}

// A value of the saved state, or def when it is missing or not a whole number.
int IntOf(const QVariantMap& state, const char* name, int def) {
  bool ok = false;
  const int value = state.value(name).toInt(&ok);
  return ok ? value : def;
}

}  // namespace

QImage GrabScreenRect(const QRect& screenRect, const QWidget* except) {
  if (screenRect.isEmpty()) return {};
  const QString platform = QGuiApplication::platformName();
  if (!platform.startsWith("wayland") && platform != "offscreen" && platform != "minimal") {
    QScreen* screen = QGuiApplication::screenAt(screenRect.topLeft());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      const QPoint at = screenRect.topLeft() - screen->geometry().topLeft();
      const QPixmap grabbed = screen->grabWindow(0, at.x(), at.y(), screenRect.width(), screenRect.height());
      // A high-density screen answers in device pixels; the loupe works in the program's.
      if (!grabbed.isNull()) return grabbed.toImage().scaled(screenRect.size()).convertToFormat(QImage::Format_RGB32);
    }
  }
  QImage image(screenRect.size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  const QWidget* own = except != nullptr ? except->window() : nullptr;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible() || window == own) continue;
    const QRect geometry = window->geometry();
    const QRect part = geometry & screenRect;
    if (part.isEmpty()) continue;
    painter.drawPixmap(part.topLeft() - screenRect.topLeft(), window->grab(part.translated(-geometry.topLeft())));
  }
  return image;
}

ZoomletCtrl::ZoomletCtrl(QWidget* parent) : QWidget(parent) {
  resize(128, 128);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  connect(&m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
  m_grab = [this](const QRect& rect) { return GrabScreenRect(rect, this); };
  m_timerFace = Face([](QPainter& p) {
    p.drawEllipse(QRectF(1.5, 1.5, 11, 11));
    p.drawLine(QPointF(7, 7), QPointF(7, 3.5));
    p.drawLine(QPointF(7, 7), QPointF(10, 7));
  });
  m_pickFace = Face([](QPainter& p) {
    p.drawLine(QPointF(7, 1), QPointF(7, 13));
    p.drawLine(QPointF(1, 7), QPointF(13, 7));
    p.drawEllipse(QRectF(4, 4, 6, 6));
  });
  m_magnifyFace = Face([](QPainter& p) {
    p.drawEllipse(QRectF(1.5, 1.5, 8, 8));
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(9, 9), QPointF(13, 13));
  });
}

void ZoomletCtrl::SetTimerOn(bool on) {
  m_timerOn = on;
  RestartTimer();
}

void ZoomletCtrl::SetTimerElapse(int milliseconds) {
  m_timerElapse = milliseconds;
  RestartTimer();
}

void ZoomletCtrl::SetLoupePows(int index) {
  m_loupePows = index;
  m_factor = LoupeFactorOf(index);
  update();
}

void ZoomletCtrl::RestartTimer() {
  m_timer.stop();
  // A period below 1 ms would spin the event loop; it refreshes as often as it can instead.
  if (m_timerOn) m_timer.start(std::max(m_timerElapse, 1));
  update();
}

QVariantMap ZoomletCtrl::SaveState() const {
  return {{kTimerOnName, m_timerOn}, {kTimerElapseName, m_timerElapse}, {kLoupePowsName, m_loupePows}};
}

void ZoomletCtrl::LoadState(const QVariantMap& state) {
  m_timerElapse = IntOf(state, kTimerElapseName, kDefaultElapse);
  SetLoupePows(IntOf(state, kLoupePowsName, kLoupeDefaultIndex));
  SetTimerOn(IntOf(state, kTimerOnName, 0) != 0 || state.value(kTimerOnName).toString() == "true");
}

void ZoomletCtrl::AboutBox() {
  QMessageBox::about(this, QString::fromUtf8("Zoomletについて"),
                     QString::fromUtf8("Zoomlet ルーペ コントロール バージョン 1.0"));
}

void ZoomletCtrl::SetOrigin(QPoint origin) {
  m_origin = origin;
  update();
}

QRect ZoomletCtrl::SourceRect() const {
  const LoupeRect area = Layout().magnified;
  const LoupeRect source = LoupeSourceRect({m_origin.x(), m_origin.y()}, m_factor, area.Width(), area.Height());
  return QRect(source.left, source.top, source.Width(), source.Height());
}

QImage ZoomletCtrl::MagnifiedPicture() const {
  const LoupeRect area = Layout().magnified;
  if (area.Width() <= 0 || area.Height() <= 0) return {};
  QImage picture(area.Width(), area.Height(), QImage::Format_RGB32);
  picture.fill(Qt::black);
  const QRect source = SourceRect();
  if (source.isEmpty() || !m_grab) return picture;
  QImage grabbed = m_grab(source);
  if (grabbed.isNull()) return picture;
  grabbed = grabbed.convertToFormat(QImage::Format_RGB32);
  const int width = std::min(grabbed.width(), source.width());
  const int height = std::min(grabbed.height(), source.height());
  StretchNearest(reinterpret_cast<const uint32_t*>(grabbed.constBits()), width, height,
                 static_cast<int>(grabbed.bytesPerLine() / 4), reinterpret_cast<uint32_t*>(picture.bits()),
                 picture.width(), picture.height(), static_cast<int>(picture.bytesPerLine() / 4));
  return picture;
}

void ZoomletCtrl::DrawButton(QPainter& painter, const LoupeRect& rect, const QPixmap& face, bool sunken) const {
  const QRect button(rect.left, rect.top, rect.Width(), rect.Height());
  qDrawShadePanel(&painter, button, palette(), sunken, 1, nullptr);
  const QPoint at = button.topLeft() + QPoint(2, 2) + (sunken ? QPoint(1, 1) : QPoint());
  painter.drawPixmap(at, face);
}

void ZoomletCtrl::paintEvent(QPaintEvent*) {
  // Grabbing the program's own windows can paint them; never paint this control inside that.
  if (m_painting) return;
  m_painting = true;
  QPainter painter(this);
  const LoupeLayout layout = Layout();
  const QImage picture = MagnifiedPicture();
  if (!picture.isNull()) painter.drawImage(layout.magnified.left, layout.magnified.top, picture);
  painter.fillRect(QRect(layout.strip.left, layout.strip.top, layout.strip.Width(), layout.strip.Height()),
                   ColourOf(kLoupeStripColour));
  DrawButton(painter, layout.timer, m_timerFace, m_timerOn);
  DrawButton(painter, layout.pick, m_pickFace, m_picking);
  DrawButton(painter, layout.magnification, m_magnifyFace, m_menuPressed);
  m_painting = false;
}

QPoint ZoomletCtrl::ScreenPointOf(QPoint controlPoint) const {
  const LoupePoint screen =
      LoupeScreenPoint({m_origin.x(), m_origin.y()}, m_factor, {controlPoint.x(), controlPoint.y()});
  return {screen.x, screen.y};
}

QWidget* ZoomletCtrl::WindowAt(const QPoint& screenPos) const { return QApplication::widgetAt(screenPos); }

void ZoomletCtrl::ForwardMouse(QEvent::Type type, QPoint controlPoint, const QMouseEvent& original) {
  if (m_busy) return;
  const QPoint screen = ScreenPointOf(controlPoint);
  QPointer<QWidget> target = WindowAt(screen);
  if (target == nullptr || target == this || isAncestorOf(target)) return;
  m_busy = true;
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent forwarded(type, QPointF(target->mapFromGlobal(screen)), QPointF(screen), button, buttons,
                        original.modifiers());
  QCoreApplication::sendEvent(target, &forwarded);
  m_busy = false;
  update();
}

void ZoomletCtrl::ForwardKey(const QKeyEvent& original) {
  if (m_busy) return;
  const QPoint screen = ScreenPointOf(mapFromGlobal(QCursor::pos()));
  QPointer<QWidget> target = WindowAt(screen);
  if (target == nullptr || target == this || isAncestorOf(target)) return;
  m_busy = true;
  QKeyEvent forwarded(original.type(), original.key(), original.modifiers(), original.text(), original.isAutoRepeat(),
                      static_cast<quint16>(original.count()));
  QCoreApplication::sendEvent(target, &forwarded);
  m_busy = false;
  update();
}

int ZoomletCtrl::ChooseMagnification(const QPoint& globalPos) {
  QMenu menu(this);
  for (size_t i = 0; i < kLoupeFactorLabels.size(); ++i) {
    QAction* action = menu.addAction(QString::fromUtf8(kLoupeFactorLabels[i]));
    action->setData(static_cast<int>(i));
    action->setCheckable(true);
    action->setChecked(static_cast<int>(i) == m_loupePows);
  }
  QAction* chosen = menu.exec(globalPos);
  return chosen != nullptr ? chosen->data().toInt() : -1;
}

void ZoomletCtrl::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  switch (HitTestLoupe(Layout(), at.x(), at.y())) {
    case LoupePart::Magnification:
      m_menuPressed = true;
      update();
      break;
    case LoupePart::Pick:
      m_picking = true;
      grabMouse(Qt::CrossCursor);
      update();
      break;
    case LoupePart::Timer:
      m_modified = true;
      SetTimerOn(!m_timerOn);
      break;
    case LoupePart::Magnified:
      m_capturing = true;
      ForwardMouse(QEvent::MouseButtonPress, at, *event);
      break;
  }
}

void ZoomletCtrl::mouseMoveEvent(QMouseEvent* event) {
  if (m_picking) {
    m_origin = event->globalPosition().toPoint();
    repaint();
  } else if (m_capturing) {
    ForwardMouse(QEvent::MouseMove, event->position().toPoint(), *event);
  }
}

void ZoomletCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (m_picking) {
    m_picking = false;
    releaseMouse();
    update();
  }
  if (m_capturing) {
    m_capturing = false;
    // The window that got the button down gets it up too, or a Qt widget would stay pressed.
    ForwardMouse(QEvent::MouseButtonRelease, event->position().toPoint(), *event);
  }
  if (m_menuPressed) {
    m_menuPressed = false;
    update();
    const int chosen = ChooseMagnification(event->globalPosition().toPoint());
    if (chosen >= 0 && chosen < static_cast<int>(kLoupeFactors.size())) {
      SetLoupePows(chosen);
      m_modified = true;
    }
  }
}

void ZoomletCtrl::keyPressEvent(QKeyEvent* event) { ForwardKey(*event); }

void ZoomletCtrl::keyReleaseEvent(QKeyEvent* event) { ForwardKey(*event); }

}  // namespace varnel
