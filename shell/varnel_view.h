#pragma once
// The scrolling view of an image document: the picture at its zoom, 20 pixels in from the
// top-left corner, on the margin colour.

#include <QAbstractScrollArea>
#include <QColor>
#include <QPointer>

#include "core/geometry.h"

namespace varnel {

class CVarnelDoc;

class CVarnelView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kMargin = 20;

  CVarnelView(CVarnelDoc* document, QColor marginColor, QWidget* parent = nullptr);

  CVarnelDoc* GetDocument() const { return m_document; }
  double Zoom() const { return m_zoom; }
  void SetZoom(double zoom);
  QColor MarginColor() const { return m_marginColor; }

  // Where the picture's top-left pixel lies in the viewport.
  QPoint ImageOrigin() const;
  // The viewport rectangle covering an inclusive rectangle of image pixels.
  QRect ImageToViewport(const Rect& area) const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  QSize ContentSize() const;
  void UpdateScrollBars();
  void OnPictureChanged(const Rect& area);

  QPointer<CVarnelDoc> m_document;
  QColor m_marginColor;
  double m_zoom = 1.0;
};

}  // namespace varnel
