#pragma once
// The scrolling view of an image document: the picture at its zoom, 20 pixels in from the
// top-left corner, on the margin colour, with the document's grid over it and, while RULERON is
// set, rulers along the top and the left. Pen tablets paint with their pressure and tilt; the
// eraser end of a pen works as the tool the options assign to it.

#include <QAbstractScrollArea>
#include <QColor>
#include <QPainter>
#include <QPointer>
#include <QPolygonF>
#include <functional>
#include <memory>

#include "brush/tablet_input.h"
#include "core/geometry.h"
#include "core/paint_object.h"
#include "core/region_outline.h"
#include "shell/varnel_doc.h"

namespace varnel {

class ViewRuler;
class QtTabletDevice;
struct AppSettings;

class CVarnelView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kMargin = 20;
  static constexpr double kZoomStep = 0.2;
  static constexpr int kScrollStep = 50;

  // settings (may be null) give the brush outline cursor and how the area outside the
  // selection is shown; the view reads them at each paint.
  CVarnelView(CVarnelDoc* document, QColor marginColor, const AppSettings* settings = nullptr,
              QWidget* parent = nullptr);
  ~CVarnelView() override;

  CVarnelDoc* GetDocument() const { return m_document; }
  double Zoom() const { return m_zoom; }
  void SetZoom(double zoom);
  // Sets the zoom and scrolls so that the image point (imageX, imageY) lies at the viewport
  // point, as far as the scroll range allows.
  void ZoomAt(double zoom, QPointF viewportPoint, double imageX, double imageY);
  // Sets the zoom keeping the image point in the middle of the viewport where it is.
  void ZoomAboutCentre(double zoom);
  QColor MarginColor() const { return m_marginColor; }
  void SetMarginColor(QColor color);

  // Where the picture's top-left pixel lies in the viewport.
  QPoint ImageOrigin() const;
  // The viewport rectangle covering an inclusive rectangle of image pixels.
  QRect ImageToViewport(const Rect& area) const;

  // A viewport point as an image point: truncate((scroll + point − margin) / zoom).
  QPoint ViewToImage(QPoint viewportPoint) const;

  QSize sizeHint() const override;

  // "ウインドウの大きさに一致": toggles; on, the zoom makes the picture fit the viewport less 40
  // pixels each way (the smaller of the two ratios), off, the zoom is 1.0 again.
  void ToggleFitToWindow();
  bool IsFitToWindow() const { return m_fitToWindow; }
  // Scrolls by view pixels (the scroll commands use 50).
  void ScrollBy(int dx, int dy);

  // Shows or hides the rulers as RULERON now says.
  void SyncRulers();
  // The rulers (hidden while RULERON is off).
  ViewRuler* TopRuler() const { return m_topRuler; }
  ViewRuler* LeftRuler() const { return m_leftRuler; }

  // The tablet's packets waiting for the next pointer message, and their rules.
  TabletInput& Tablet() { return m_tablet; }
  // The tool slot the pen's eraser end takes, asked at each change of cursor; unset, the
  // program's "Penデバイス消しゴムの割り当て".
  std::function<int32_t()> penEraserSlot;

 signals:
  void zoomChanged(double zoom);
  // The first file dropped on the view, for the application to open.
  void fileDropped(const QString& path);
  // At every pointer move, whatever the tool: the canvas point under the pointer and the colour
  // shown there, for the status bar; empty when the pointer leaves the view.
  void pointerStatus(const QString& text);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // The second press of a double-click comes as a double-click alone; the tools take it as
  // the press it is.
  void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Ctrl + wheel zooms by 0.2 a notch (never below 0.2); the wheel scrolls either way.
  void wheelEvent(QWheelEvent* event) override;
  // Ctrl + arrow keys scroll by 50 view pixels.
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  // The viewport also changes size when scroll bars come and go; the rulers follow it.
  bool viewportEvent(QEvent* event) override;

 private:
  QSize ContentSize() const;
  void UpdateScrollBars();
  void OnPictureChanged(const Rect& area);
  // Hands a pointer event to the document's canvas and redraws what changed.
  void Deliver(int32_t code, const QMouseEvent& event, int32_t pressure);
  // Delivers without redrawing: the tablet redraws once after all packets of a message.
  void DeliverAt(int32_t code, uint32_t flags, QPointF point, int32_t pressure, const PenOrientation* orientation);
  void Redraw();
  // A pointer message of the view: the tablet's queued packets as the message's kind, else the
  // mouse's point at the mouse's pressure.
  void PointerMessage(int32_t code, const QMouseEvent& event);
  // A tablet event: its packet queued, then handled as the pointer message of its kind.
  bool TabletMessage(QTabletEvent& event);
  // The pen-end tool for a cursor whose packets now arrive.
  void CursorChanged(uint32_t cursor);
  // The brush outline and the rulers follow the pointer.
  void TrackPointer(QPoint point);
  // The pointer's canvas point and the colour shown there, once the tool has had the event.
  void ReportPointer(QPoint point);
  // The active tool's rubber bands in view pixels, their bounds, and drawing them.
  QPolygonF FeedbackPolygon(const FeedbackPath& path) const;
  // The active tool's rubber bands, without its hover paths while the pointer is away.
  std::vector<FeedbackPath> ShownFeedback() const;
  QRect FeedbackBounds() const;
  void DrawFeedback(QPainter& painter);
  void RefreshFeedback();
  // Hands a key to the active tool and redraws what it changed.
  void DeliverKey(int32_t message, const QKeyEvent& event);
  // Draws the picture's source rectangle (image pixels, right and bottom excluded) at its place,
  // with the area outside the selection shown as set and the selection's outline.
  void DrawPicture(QPainter& painter, const Rect& source, const Rect& destination);
  void DrawSelectionOutline(QPainter& painter, const Rect& source);
  // Where the picture's pixels of a source rectangle (right and bottom excluded) are drawn in
  // the viewport, the same way excluded.
  Rect DrawnPlace(const Rect& source) const;
  // The active tool's preview pixels within the source rectangle (image pixels, right and
  // bottom excluded), over the picture.
  void DrawPreviewPixels(QPainter& painter, const Rect& source);
  // The document's grid over the picture where it is visible (viewport pixels).
  void DrawGrid(QPainter& painter, const QRect& visible);
  bool RulersOn() const;
  // Places the rulers beside the viewport and hands them the scroll position and the zoom.
  void LayoutRulers();
  void UpdateRulers();
  // The zoom tool's click: one step in or out with the clicked pixel kept under the pointer.
  void ZoomToolStep(int32_t x, int32_t y, bool in);
  void UpdateBrushCursor(QPoint point);
  bool BrushCursorOn() const;

  QPointer<CVarnelDoc> m_document;
  QColor m_marginColor;
  const AppSettings* m_settings;
  double m_zoom = 1.0;
  bool m_fitToWindow = false;
  // The brush outline's place in the viewport while the pointer is over it.
  QPoint m_cursorPoint;
  bool m_cursorInside = false;
  bool m_pointerOver = false;  // since the last move over the view, not left since
  QRect m_cursorRect;
  std::vector<OutlineRun> m_outline;  // the selection outline of the last paint, kept for its memory
  bool m_buttonDown = false;
  // Where the active tool's rubber band was last drawn (view pixels).
  QRect m_feedbackRect;
  bool m_panning = false;
  QPoint m_panPoint;
  // Where the last pointer event was (viewport pixels): the zoom tool zooms about it.
  QPointF m_pointer;
  ViewRuler* m_topRuler;
  ViewRuler* m_leftRuler;
  std::unique_ptr<QtTabletDevice> m_tabletDevice;
  TabletInput m_tablet;
  int64_t m_classifiedCursor = -1;  // the cursor whose pen-end tool is in force
};

}  // namespace varnel
