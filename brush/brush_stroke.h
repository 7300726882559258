#pragma once
// Driving a brush on a canvas as the view does: the stroke goes to the canvas's drawing target
// (the selection facade, the mask image under edit or the active layer), every dab recomposes
// just its rectangle, and the change becomes one undo step once the brush marks the target
// modified.

#include <cstdint>
#include <functional>
#include <span>

#include "brush/brush_engine.h"
#include "core/canvas.h"

namespace varnel {

// While alive, every dab the brush writes is recomposed on the canvas at the drawing target's
// place (the mask image at the origin, a layer at its offset).
class ComposeEachDab {
 public:
  ComposeEachDab(Canvas& canvas, BrushEngine& brush);
  ~ComposeEachDab();
  ComposeEachDab(const ComposeEachDab&) = delete;
  ComposeEachDab& operator=(const ComposeEachDab&) = delete;

 private:
  BrushEngine& m_brush;
  std::function<void(const Rect&)> m_previous;
};

// The surface that holds a drawing target's tile backups: the layer behind the selection
// facade, else the target itself.
ImageSurface& BackedSurface(ImageSurface& target);

struct StrokePoint {
  int32_t x = 0;  // canvas pixels
  int32_t y = 0;
  int32_t pressure = 0;  // 0…256
};

// Pen-down at the first point, a movement to every further point, pen-up at the last. Points
// are made relative to the drawing target as the view does. After each event the target's
// saved tiles become an undo step (written in the background) when it was marked modified.
// Nothing happens without points or without a target.
void PaintStroke(Canvas& canvas, BrushEngine& brush, std::span<const StrokePoint> points);

// "現在のブラシで点を描く" on the canvas's drawing target, recorded as one undo step.
void DrawPointOnCanvas(Canvas& canvas, BrushEngine& brush);

}  // namespace varnel
