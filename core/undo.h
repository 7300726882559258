#pragma once
// The undo history of one surface: each step holds the tiles saved before a change, in the
// order they were taken. Steps live in memory for now.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/varnel_image.h"

namespace varnel {

class ImageSurface;

struct UndoStep {
  UndoStep() = default;
  UndoStep(const UndoStep&) = delete;
  UndoStep& operator=(const UndoStep&) = delete;
  // The tiles are Memwell blocks; they go back to the pool with the step.
  ~UndoStep();

  bool busy = false;
  bool resident = true;     // tiles in memory, not spilled to a file
  uint32_t fileNumber = 0;  // the spill file's number once written out
  std::vector<TileBackup*> tiles;
};

class UndoStack {
 public:
  UndoStack() = default;
  UndoStack(const UndoStack&) = delete;
  UndoStack& operator=(const UndoStack&) = delete;

  // Steps before the position are done; those from it on are the redo branch.
  int32_t Position() const { return m_position; }
  size_t StepCount() const { return m_steps.size(); }
  const UndoStep* Step(size_t index) const;
  // Moves the position within [0, StepCount()]; undo and redo walk it.
  void SetPosition(int32_t position);

  // Closes the surface's uncommitted change: its saved tiles become a new step after the
  // position, replacing any redo branch. A surface with nothing saved adds no step. Always
  // answers 0. writeNow asks for the step to be spilled at once; steps stay in memory here.
  int32_t PushUndoStep(ImageSurface& surface, bool writeNow);

  void ClearHistory();

 private:
  std::vector<std::unique_ptr<UndoStep>> m_steps;
  int32_t m_position = 0;
};

}  // namespace varnel
