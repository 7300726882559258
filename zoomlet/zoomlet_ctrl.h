#pragma once
// The loupe control that Ext/Zoomlet.so creates. Its properties and AboutBox are what the host
// reaches by name; the rest of the public surface is for the library itself and its tests.

#include <QEvent>
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>
#include <functional>

#include "zoomlet/loupe_geometry.h"

namespace varnel {

class ZoomletCtrl : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool TimerOn READ TimerOn WRITE SetTimerOn)
  Q_PROPERTY(int TimerElapse READ TimerElapse WRITE SetTimerElapse)
  Q_PROPERTY(int LoupePows READ LoupePows WRITE SetLoupePows)

 public:
  // The picture of a screen rectangle, at the rectangle's size (any format QImage converts).
  using ScreenGrab = std::function<QImage(const QRect& screenRect)>;

  explicit ZoomletCtrl(QWidget* parent = nullptr);

  bool TimerOn() const { return m_timerOn; }
  void SetTimerOn(bool on);
  int TimerElapse() const { return m_timerElapse; }
  void SetTimerElapse(int milliseconds);
  int LoupePows() const { return m_loupePows; }
  void SetLoupePows(int index);

  // The saved state under its names "TIMERON", "TimerElapse" and "LoupePows"; a missing or
  // unusable value loads as its default.
  Q_INVOKABLE QVariantMap SaveState() const;
  Q_INVOKABLE void LoadState(const QVariantMap& state);
  Q_INVOKABLE bool IsModified() const { return m_modified; }
  Q_INVOKABLE void AboutBox();

  int Factor() const { return m_factor; }
  QPoint Origin() const { return m_origin; }
  void SetOrigin(QPoint origin);
  bool IsPicking() const { return m_picking; }
  bool IsRefreshing() const { return m_timer.isActive(); }
  int RefreshPeriod() const { return m_timer.interval(); }
  LoupeLayout Layout() const { return LayoutLoupe(width(), height()); }
  // The screen rectangle the magnified area shows now.
  QRect SourceRect() const;
  // The magnified area as it is painted: the source rectangle stretched over it.
  QImage MagnifiedPicture() const;
  void SetScreenGrab(ScreenGrab grab) { m_grab = std::move(grab); }

  QSize sizeHint() const override { return {128, 128}; }

 protected:
  // The pop-up menu of the six factors at a screen point: the chosen index, or -1.
  virtual int ChooseMagnification(const QPoint& globalPos);
  // The program's window under a screen point (its deepest child), or null.
  virtual QWidget* WindowAt(const QPoint& screenPos) const;

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void RestartTimer();
  QPoint ScreenPointOf(QPoint controlPoint) const;
  void ForwardMouse(QEvent::Type type, QPoint controlPoint, const QMouseEvent& original);
  void ForwardKey(const QKeyEvent& original);
  void DrawButton(QPainter& painter, const LoupeRect& rect, const QPixmap& face, bool sunken) const;

  bool m_timerOn = false;
  int m_timerElapse = 300;
  int m_loupePows = kLoupeDefaultIndex;
  int m_factor = kLoupeFactors[kLoupeDefaultIndex];
  QPoint m_origin{100, 100};
  bool m_picking = false;
  bool m_menuPressed = false;
  bool m_capturing = false;
  bool m_modified = false;
  // Set while a forwarded message is handled, so a message that comes back is not forwarded.
  bool m_busy = false;
  bool m_painting = false;
  QTimer m_timer;
  ScreenGrab m_grab;
  QPixmap m_timerFace, m_pickFace, m_magnifyFace;
};

// The default screen picture: the platform's screen grab where it can read other programs'
// windows; where it cannot (Wayland, offscreen) the program's own visible windows but the one
// of except, over black.
QImage GrabScreenRect(const QRect& screenRect, const QWidget* except);

}  // namespace varnel
