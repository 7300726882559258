#pragma once
// The colour surface popup: a saturation/value square for one hue, the hue strip beside it,
// and the colour chosen so far beside the colour it opened with. Geometry and colours come
// from colour_surface_model.h, so what it paints is what it picks.

#include <QImage>
#include <QWidget>
#include <optional>

#include "huebox/colour_surface_model.h"

namespace varnel::huebox {

class ColourSurface : public QWidget {
  Q_OBJECT

 public:
  ColourSurface(QWidget* parent, ColourRef current);

  // The colour picked when the surface closed, or nothing (Esc, a click outside).
  std::optional<ColourRef> Picked() const { return m_picked; }
  const HueboxSurfaceState& State() const { return m_state; }

 signals:
  void closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ChooseInSquare(QPoint point);
  void ChooseHue(QPoint point);
  void Pick(ColourRef colour);
  void RebuildSquare();

  HueboxSurfaceState m_state{};
  Hsv m_chosen;               // where the square's marker stands
  int32_t m_dragPart = kHueboxPartNone;  // the part the button went down on
  QImage m_square;
  QImage m_strip;
  std::optional<ColourRef> m_picked;
};

// Shows the surface with its top-left corner at the screen point (kept on the screen) and
// runs an event loop until it closes. Answers the picked colour.
std::optional<ColourRef> RunColourSurface(QWidget* parent, QPoint screenPoint, ColourRef current);

}  // namespace varnel::huebox
