#pragma once
// The option panels of the shape tools. Every control writes the program's settings of its tool
// (ProgramShapeSettings, ProgramPolygonSettings) at once; the tools read them at each shape.
// The ellipse tools have no options and no panel.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace varnel {

// "形状描画" / "塗りつぶし図形描画": the shape list ("四角形", then the files of Ptv/),
// "アンチエイリアス" (the fill's edge; an outline's is the brush's, so it is disabled there),
// "角を丸める" with its amount (0…90) and the angle the shape is turned by.
class ShapeOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit ShapeOptionPanel(bool filled, QWidget* parent = nullptr);

  // Lists the shape files again and shows the settings, changing none of them.
  void Refresh();

 protected:
  // The list is read anew whenever the panel comes up: a polygon may have been saved meanwhile.
  void showEvent(QShowEvent* event) override;

 private:
  void ChooseShape(int index);

  bool m_filled;
  bool m_refreshing = false;
  QComboBox* m_shapes;
  QCheckBox* m_antialias;
  QCheckBox* m_roundCorners;
  QSpinBox* m_round;
  QDoubleSpinBox* m_theta;
};

// "多角形描画" / "塗りつぶし多角形": "アンチエイリアス" and "形状定義保存", which saves the
// polygon being drawn, or the last one drawn, of the active picture as a shape file in Ptv/.
class PolygonOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit PolygonOptionPanel(bool filled, QWidget* parent = nullptr);

  void Refresh();

 private:
  void SaveShape();

  bool m_filled;
  bool m_refreshing = false;
  QCheckBox* m_antialias;
};

}  // namespace varnel
