#include "brush/brush_stroke.h"

#include "core/region_clipped_image.h"

namespace varnel {
namespace {

// Where the drawing target lies on the canvas: the mask image at the origin, a layer (and the
// facade bound to it) at the layer's offset.
void TargetOffset(const Canvas& canvas, int32_t& x, int32_t& y) {
  x = y = 0;
  if (canvas.MaskImage() == nullptr && canvas.ActiveLayer() != nullptr) {
    x = canvas.ActiveLayer()->OffsetX();
    y = canvas.ActiveLayer()->OffsetY();
  }
}

// What the canvas does after handing an event to a tool.
void FinishEvent(ImageSurface& target) {
  ImageSurface& edited = BackedSurface(target);
  if (edited.IsModified()) edited.Undo().PushUndoStep(edited, false);
}

}  // namespace

ImageSurface& BackedSurface(ImageSurface& target) {
  // The facade writes through to its target.
  if (target.IsType("IMAGEREGION")) {
    if (ImageSurface* inner = static_cast<RegionClippedImage&>(target).Target()) return *inner;
  }
  return target;
}

ComposeEachDab::ComposeEachDab(Canvas& canvas, BrushEngine& brush) : m_brush(brush) {
  int32_t x, y;
  TargetOffset(canvas, x, y);
  m_previous = std::move(brush.onDabWritten);
  brush.onDabWritten = [&canvas, x, y](const Rect& r) {
    canvas.Compose({r.left + x, r.top + y, r.right + x, r.bottom + y});
  };
}

ComposeEachDab::~ComposeEachDab() { m_brush.onDabWritten = std::move(m_previous); }

void PaintStroke(Canvas& canvas, BrushEngine& brush, std::span<const StrokePoint> points) {
  ImageSurface* target = canvas.DrawingTarget();
  if (target == nullptr || points.empty()) return;
  int32_t offsetX, offsetY;
  TargetOffset(canvas, offsetX, offsetY);
  ComposeEachDab composing(canvas, brush);
  brush.BeginStroke(*target, points[0].x - offsetX, points[0].y - offsetY, points[0].pressure);
  FinishEvent(*target);
  for (size_t i = 1; i < points.size(); ++i) {
    brush.StrokeTo(*target, points[i].x - offsetX, points[i].y - offsetY, points[i].pressure);
    FinishEvent(*target);
  }
  brush.EndStroke(*target);
  FinishEvent(*target);
  // Every dab has been composed already.
  BackedSurface(*target).ClearDirty();
}

void DrawPointOnCanvas(Canvas& canvas, BrushEngine& brush) {
  ImageSurface* target = canvas.DrawingTarget();
  if (target == nullptr) return;
  ComposeEachDab composing(canvas, brush);
  brush.DrawPoint(*target);
  target->SetModified();
  FinishEvent(*target);
  BackedSurface(*target).ClearDirty();
}

}  // namespace varnel
