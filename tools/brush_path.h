#pragma once
// Laying the current brush along a path for the line, curve and outline tools, and finishing a
// tool's change on the canvas.

#include <cstdint>
#include <span>

#include "brush/brush_engine.h"
#include "core/canvas.h"

namespace varnel {

struct BrushPathPoint {
  int32_t x = 0;  // drawing-target (layer) pixels
  int32_t y = 0;
  int32_t pressure = 256;  // 0…256
};

// Pen-down at the first point, then every further point reached in turn along straight
// segments with the brush's own spacing (the brush trails the pointer, so each point is walked
// to until the brush gets there), back to the first when closed, pen-up at the end. Every dab
// is recomposed on the canvas as it is written. Nothing happens without points.
void DrawBrushPath(Canvas& canvas, BrushEngine& brush, ImageSurface& target, std::span<const BrushPathPoint> points,
                   bool closed);

// After a tool wrote into its drawing target: recomposes the changed rectangle (target
// coordinates) at the target's place on the canvas (the mask image at the origin, a layer at its
// offset) and lets the canvas turn the written tiles into the undo step of the button-up.
void FinishTargetChange(Canvas& canvas, ImageSurface& target, const Rect& changed);

}  // namespace varnel
