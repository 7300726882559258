#include "shell/layer_move_panel.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/canvas.h"
#include "shell/panel_widgets.h"
#include "tools/layer_move_tool.h"

namespace varnel {
namespace {

// The layer the panel shows and moves: as the tool, never while a mask image is edited.
const Layer* ShownLayer(const Canvas* canvas) {
  return canvas != nullptr && canvas->MaskImage() == nullptr ? canvas->ActiveLayer() : nullptr;
}

}  // namespace

LayerMovePanel::LayerMovePanel(QWidget* parent) : QWidget(parent) {
  setObjectName("LayerMovePanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* box = new QGroupBox(QString::fromUtf8(kLayerMoveToolName), this);
  auto* form = new QFormLayout(box);
  m_x = MakeSpin(box, "LayerOffsetX", -kLayerOffsetLimit, kLayerOffsetLimit);
  m_y = MakeSpin(box, "LayerOffsetY", -kLayerOffsetLimit, kLayerOffsetLimit);
  form->addRow("X", m_x);
  form->addRow("Y", m_y);
  m_move = new QPushButton("移動", box);
  m_move->setObjectName("LayerMove");
  m_move->setToolTip("レイヤの左上をこの位置へ移動します");
  form->addRow(m_move);
  layout->addWidget(box);
  layout->addStretch(1);
  connect(m_move, &QPushButton::clicked, this, &LayerMovePanel::Apply);
  // Enter in either number moves as the button does.
  for (QSpinBox* spin : {m_x, m_y}) connect(spin, &QSpinBox::editingFinished, this, [this, spin] {
      if (spin->hasFocus()) Apply();
    });
  Refresh();
}

void LayerMovePanel::Refresh() {
  const Layer* layer = ShownLayer(Canvas::GetActiveCanvas());
  setEnabled(layer != nullptr);
  if (layer == nullptr) return;
  // Not while a number is being typed: the typing would be lost.
  if (!m_x->hasFocus()) m_x->setValue(layer->OffsetX());
  if (!m_y->hasFocus()) m_y->setValue(layer->OffsetY());
}

void LayerMovePanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
}

void LayerMovePanel::Apply() {
  Canvas* canvas = Canvas::GetActiveCanvas();
  if (canvas == nullptr || !MoveActiveLayerTo(*canvas, m_x->value(), m_y->value())) return;
  emit layerMoved();
}

}  // namespace varnel
