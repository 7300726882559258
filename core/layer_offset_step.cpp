#include "core/layer_offset_step.h"

#include "core/canvas.h"

namespace varnel {

void LayerOffsetStep::Apply(ImageSurface& surface) {
  if (!surface.IsType("LAYER")) return;
  auto& layer = static_cast<Layer&>(surface);
  const int32_t x = layer.OffsetX(), y = layer.OffsetY();
  m_canvas.SetLayerOffset(layer, m_x, m_y);
  m_x = x;
  m_y = y;
}

}  // namespace varnel
