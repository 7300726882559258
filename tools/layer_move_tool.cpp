#include "tools/layer_move_tool.h"

#include <algorithm>
#include <memory>

#include "core/layer_offset_step.h"

namespace varnel {
namespace {

int32_t ClampOffset(int64_t offset) {
  return static_cast<int32_t>(std::clamp<int64_t>(offset, -kLayerOffsetLimit, kLayerOffsetLimit));
}

// The layer the tool may move: the active one, unless a mask image takes its place.
Layer* MovableLayer(const Canvas& canvas) { return canvas.MaskImage() == nullptr ? canvas.ActiveLayer() : nullptr; }

}  // namespace

bool MoveActiveLayerTo(Canvas& canvas, int32_t x, int32_t y) {
  Layer* layer = MovableLayer(canvas);
  if (layer == nullptr) return false;
  x = ClampOffset(x);
  y = ClampOffset(y);
  const int32_t fromX = layer->OffsetX(), fromY = layer->OffsetY();
  if (x == fromX && y == fromY) return false;
  canvas.SetLayerOffset(*layer, x, y);
  layer->Undo().PushStep(*layer, std::make_unique<LayerOffsetStep>(canvas, fromX, fromY));
  return true;
}

Layer* LayerMoveTool::DraggedLayer() const {
  return m_layer != nullptr && m_layer == MovableLayer(m_canvas) ? m_layer : nullptr;
}

void LayerMoveTool::Follow(Layer& layer, const ToolEvent& event) {
  // Events come in the layer's coordinates at its present place; the drag is measured on the
  // canvas, which does not move under the pointer.
  const int64_t x = int64_t{event.x} + layer.OffsetX(), y = int64_t{event.y} + layer.OffsetY();
  m_canvas.SetLayerOffset(layer, ClampOffset(m_fromX + x - m_pointerX), ClampOffset(m_fromY + y - m_pointerY));
}

bool LayerMoveTool::ButtonDown(const ToolEvent& event) {
  m_layer = MovableLayer(m_canvas);
  if (m_layer == nullptr) return false;
  m_fromX = m_layer->OffsetX();
  m_fromY = m_layer->OffsetY();
  m_pointerX = ClampOffset(int64_t{event.x} + m_fromX);
  m_pointerY = ClampOffset(int64_t{event.y} + m_fromY);
  return true;
}

bool LayerMoveTool::Move(const ToolEvent& event) {
  m_layer = DraggedLayer();
  if (m_layer == nullptr) return false;
  Follow(*m_layer, event);
  return true;
}

bool LayerMoveTool::ButtonUp(const ToolEvent& event) {
  Layer* layer = DraggedLayer();
  m_layer = nullptr;
  if (layer == nullptr) return false;
  Follow(*layer, event);
  if (layer->OffsetX() == m_fromX && layer->OffsetY() == m_fromY) return true;
  layer->Undo().PushStep(*layer, std::make_unique<LayerOffsetStep>(m_canvas, m_fromX, m_fromY));
  return true;
}

bool LayerMoveTool::KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) {
  if (message != kToolKeyDown) return false;
  if (m_layer != nullptr) {
    if (key != kKeyEscape) return false;
    if (Layer* layer = DraggedLayer()) m_canvas.SetLayerOffset(*layer, m_fromX, m_fromY);
    m_layer = nullptr;
    return true;
  }
  int32_t dx = 0, dy = 0;
  switch (key) {
    case kKeyLeft: dx = -1; break;
    case kKeyRight: dx = 1; break;
    case kKeyUp: dy = -1; break;
    case kKeyDown: dy = 1; break;
    default: return false;
  }
  const Layer* layer = MovableLayer(m_canvas);
  if (layer == nullptr) return false;
  const int64_t step = int64_t{(flags & kToolShift) != 0 ? kLayerMoveShiftKeyStep : kLayerMoveKeyStep} *
                       std::clamp(repeat, 1, kLayerOffsetLimit);
  MoveActiveLayerTo(m_canvas, ClampOffset(layer->OffsetX() + dx * step), ClampOffset(layer->OffsetY() + dy * step));
  return true;
}

}  // namespace varnel
