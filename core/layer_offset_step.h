#pragma once
// An undo step for a move of a layer on the canvas. It sits in the moved layer's own history,
// in order with that layer's painting steps, and holds the layer's other place (the one before
// the move, or after it once undone); applying it swaps that place with the layer's present
// one, so one step serves undo and redo. It holds no tiles and is never written to a step file.

#include <cstdint>

#include "core/undo.h"

namespace varnel {

class Canvas;

class LayerOffsetStep : public UndoStep {
 public:
  // (x, y): the offset to put back when the step is applied.
  LayerOffsetStep(Canvas& canvas, int32_t x, int32_t y) : m_canvas(canvas), m_x(x), m_y(y) {}

  // surface is the layer whose history holds the step; anything else is left alone.
  void Apply(ImageSurface& surface) override;
  bool IsSpillable() const override { return false; }
  int32_t X() const { return m_x; }
  int32_t Y() const { return m_y; }

 private:
  // The canvas owns the layer whose history owns this step, so it outlives the step.
  Canvas& m_canvas;
  int32_t m_x;
  int32_t m_y;
};

}  // namespace varnel
