#pragma once
// An undo step for a change of the canvas's selection. It sits in the history of the surface
// that was the drawing target when the selection changed, in order with that surface's
// painting steps. It holds the other selection (the one before the change, or after it once
// undone) and swaps it with the canvas's, so one step serves undo and redo. It holds no
// tiles and is never written to a step file.

#include <memory>

#include "core/undo.h"
#include "core/region.h"

namespace varnel {

class Canvas;

class SelectionStep : public UndoStep {
 public:
  // other: the selection to put back when the step is applied; null for "no selection".
  SelectionStep(Canvas& canvas, std::unique_ptr<Region> other);

  void Apply(ImageSurface& surface) override;
  bool IsSpillable() const override { return false; }
  const Region* Other() const { return m_other.get(); }

 private:
  // The canvas owns the surface whose history owns this step, so it outlives the step.
  Canvas& m_canvas;
  std::unique_ptr<Region> m_other;
};

}  // namespace varnel
