#include "tools/zoom_tool.h"

#include <array>

namespace varnel {
namespace {

constexpr std::array<double, 16> kZoomSteps = {1.0 / 8, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 1.0, 1.5, 2.0,
                                               3.0,     4.0,     6.0,     8.0,     12.0,    16.0, 24.0, 32.0};

// A zoom that is a step up to rounding (2/3 typed as 66.7 %) counts as that step.
constexpr double kSameStep = 1e-3;

}  // namespace

std::span<const double> ZoomSteps() { return kZoomSteps; }

double NextZoomStep(double zoom, bool in) {
  if (!(zoom > 0.0)) return kZoomSteps[5];
  if (in) {
    for (const double step : kZoomSteps)
      if (step > zoom * (1.0 + kSameStep)) return step;
  } else {
    for (auto step = kZoomSteps.rbegin(); step != kZoomSteps.rend(); ++step)
      if (*step < zoom * (1.0 - kSameStep)) return *step;
  }
  return zoom;
}

bool ZoomTool::Zoom(const ToolEvent& event, bool in) {
  if (!m_zoomer) return false;
  m_zoomer(event.x + m_canvas.EditOffsetX(), event.y + m_canvas.EditOffsetY(), in);
  return true;
}

bool ZoomTool::ButtonDown(const ToolEvent& event) { return Zoom(event, (event.flags & kToolAlt) == 0); }

bool ZoomTool::RightButtonDown(const ToolEvent& event) { return Zoom(event, false); }

}  // namespace varnel
