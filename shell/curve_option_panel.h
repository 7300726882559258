#pragma once
// The option panel of the curve tool "曲線描画". The mode check boxes, "パスを閉じる",
// "塗りつぶし", "アンチエイリアス", "サイズ", "透明度" and "傾きマップ" write
// ProgramCurveSettings at once; "設定" draws the path being edited on the active picture (as
// Enter does) and "形状定義保存" saves it as a shape definition file.

#include <QWidget>

#include "tools/curve_tool.h"

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace varnel {

// "傾きマップ": the pressure along the path as a line through up to eight points, the start of
// the path on the left, full pressure at the top. Dragging moves a point between its
// neighbours, a click elsewhere adds one, the right button removes one (one always stays).
class PressureMapEditor : public QWidget {
  Q_OBJECT

 public:
  explicit PressureMapEditor(QWidget* parent = nullptr);

  void SetMap(const PressureMap& map);
  const PressureMap& Map() const { return m_map; }
  QSize sizeHint() const override { return {160, 72}; }
  QSize minimumSizeHint() const override { return {80, 40}; }

 signals:
  void mapEdited();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QRectF Plot() const;
  QPointF ToWidget(const PressureMapPoint& point) const;
  PressureMapPoint ToMap(QPointF at) const;
  // The point within grabbing distance of at, or -1.
  int PointAt(QPointF at) const;
  void DragTo(QPointF at);

  PressureMap m_map;
  int m_dragging = -1;
};

class CurveOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit CurveOptionPanel(QWidget* parent = nullptr);

  // Shows the settings again, changing none of them.
  void Refresh();

 signals:
  // The path was drawn, or how it is shown changed: the picture and the path need redrawing.
  void curveChanged();

 private:
  void ChooseMode(int mode, bool on);
  void DrawCurve();
  void SaveShape();
  void UpdateEnabled();

  bool m_refreshing = false;
  QCheckBox* m_edit;
  QCheckBox* m_freehandAdd;
  QCheckBox* m_freehandDraw;
  QCheckBox* m_closed;
  QCheckBox* m_fill;
  QCheckBox* m_antialias;
  QPushButton* m_saveShape;
  QSpinBox* m_size;
  QSpinBox* m_opacity;
  QPushButton* m_draw;
  PressureMapEditor* m_map;
};

}  // namespace varnel
