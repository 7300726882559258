#include "tools/brush_path.h"

#include "brush/brush_stroke.h"

namespace varnel {
namespace {

// The brush trails the pointer half way at each movement; movements to the same point bring it
// there, each walking the straight path with the brush's spacing and keeping the distance
// walked, so even a wide spacing reaches the point within the limit.
constexpr int kCatchUpLimit = 64;

void WalkTo(BrushEngine& brush, ImageSurface& target, const BrushPathPoint& point) {
  for (int i = 0; i < kCatchUpLimit && (brush.LastX() != point.x || brush.LastY() != point.y); ++i) {
    const int32_t lastX = brush.LastX(), lastY = brush.LastY();
    brush.StrokeTo(target, point.x, point.y, point.pressure);
    if (brush.LastX() != lastX || brush.LastY() != lastY) continue;
    // Half way rounded up never takes the last step left or up (from 6 toward 5 stays at 6);
    // aiming one pixel beyond in that direction does.
    brush.StrokeTo(target, point.x < lastX ? point.x - 1 : point.x, point.y < lastY ? point.y - 1 : point.y,
                   point.pressure);
  }
}

}  // namespace

void DrawBrushPath(Canvas& canvas, BrushEngine& brush, ImageSurface& target, std::span<const BrushPathPoint> points,
                   bool closed) {
  if (points.empty()) return;
  ComposeEachDab composing(canvas, brush);
  brush.BeginStroke(target, points.front().x, points.front().y, points.front().pressure);
  for (size_t i = 1; i < points.size(); ++i) WalkTo(brush, target, points[i]);
  if (closed && points.size() > 2) WalkTo(brush, target, points.front());
  brush.EndStroke(target);
  BackedSurface(target).ClearDirty();
}

void FinishTargetChange(Canvas& canvas, ImageSurface& target, const Rect& changed) {
  if (!changed.IsEmpty()) canvas.Compose(changed.Offset(canvas.EditOffsetX(), canvas.EditOffsetY()));
  BackedSurface(target).ClearDirty();
  canvas.FinishToolChange();
}

}  // namespace varnel
