#include "core/undo.h"

#include <algorithm>

#include "core/surface.h"
#include "memwell/memwell.h"

namespace varnel {

UndoStep::~UndoStep() {
  for (TileBackup* tile : tiles) {
    FXFree(tile);
  }
}

const UndoStep* UndoStack::Step(size_t index) const {
  return index < m_steps.size() ? m_steps[index].get() : nullptr;
}

void UndoStack::SetPosition(int32_t position) {
  m_position = std::clamp<int32_t>(position, 0, static_cast<int32_t>(m_steps.size()));
}

int32_t UndoStack::PushUndoStep(ImageSurface& surface, bool writeNow) {
  (void)writeNow;
  // A new change after some undos makes the undone steps unreachable.
  if (m_steps.size() > static_cast<size_t>(m_position)) {
    m_steps.erase(m_steps.begin() + m_position, m_steps.end());
  }
  auto step = std::make_unique<UndoStep>();
  step->tiles = surface.TakeSavedTiles();
  if (step->tiles.empty()) {
    return 0;
  }
  m_steps.push_back(std::move(step));
  ++m_position;
  return 0;
}

void UndoStack::ClearHistory() {
  m_steps.clear();
  m_position = 0;
}

}  // namespace varnel
