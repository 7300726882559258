#include "core/layer.h"

#include <cstring>

#include "core/blend.h"

namespace varnel {

Layer::Layer() {
  BuildOpacityTable(m_opacity, m_opacityTable);
}

bool Layer::IsType(const char* tag) const {
  return tag != nullptr && std::strcmp(tag, "LAYER") == 0;
}

void Layer::SetOpacity(int32_t opacity) {
  // The value is kept in a byte: a negative one would wrap to a large opacity, so it becomes 0;
  // anything over 100 is stored as 100.
  if (opacity < 0) {
    opacity = 0;
  } else if (opacity > 100) {
    opacity = 100;
  }
  m_opacity = static_cast<uint8_t>(opacity);
  BuildOpacityTable(m_opacity, m_opacityTable);
}

}  // namespace varnel
