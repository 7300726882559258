#pragma once
// The option panel of the layer move tool: "移動" with the active layer's place on the canvas
// as two numbers; the button moves the layer to the typed place as one undo step.

#include <QWidget>

class QPushButton;
class QSpinBox;

namespace varnel {

class LayerMovePanel : public QWidget {
  Q_OBJECT

 public:
  explicit LayerMovePanel(QWidget* parent = nullptr);

  // Shows the active picture's active layer's offset again; disabled without one, and while a
  // mask image is edited.
  void Refresh();

 signals:
  // The button moved the active layer.
  void layerMoved();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Apply();

  QSpinBox* m_x;
  QSpinBox* m_y;
  QPushButton* m_move;
};

}  // namespace varnel
