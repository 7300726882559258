#pragma once
// The zoom tool "ズーム": a click zooms the view in one step around the clicked point, Alt +
// click or the right button zooms out. The tool knows no view: it hands the point and the
// direction to the zoomer the view installs.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/canvas.h"
#include "core/paint_object.h"

namespace varnel {

inline constexpr const char* kZoomToolName = "ズーム";

// The zoom steps of a click (view pixels per image pixel), from 1/8 up to 32.
std::span<const double> ZoomSteps();
// The first step above zoom (in) or below it (out); zoom itself beyond the last step. A zoom
// between two steps goes to the next one in that direction.
double NextZoomStep(double zoom, bool in);

class ZoomTool : public PaintObject {
 public:
  // Gets the canvas point clicked and whether to zoom in.
  using Zoomer = std::function<void(int32_t x, int32_t y, bool in)>;

  explicit ZoomTool(Canvas& canvas) : m_canvas(canvas) {}
  std::string Name() const override { return kZoomToolName; }
  void SetZoomer(Zoomer zoomer) { m_zoomer = std::move(zoomer); }
  // Zooms in; with Alt out.
  bool ButtonDown(const ToolEvent& event) override;
  bool RightButtonDown(const ToolEvent& event) override;

 private:
  bool Zoom(const ToolEvent& event, bool in);

  Canvas& m_canvas;
  Zoomer m_zoomer;
};

}  // namespace varnel
