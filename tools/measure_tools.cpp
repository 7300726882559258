#include "tools/measure_tools.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "platform/host.h"

namespace varnel {

std::string RulerText(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const double dx = static_cast<double>(x1) - x0, dy = static_cast<double>(y1) - y0;
  // The screen's y grows downwards; the angle is read as the eye sees it.
  double degrees = std::atan2(-dy, dx) * 180.0 / std::numbers::pi;
  if (degrees < 0) degrees += 360.0;
  if (dx == 0 && dy == 0) degrees = 0.0;
  char text[96];
  std::snprintf(text, sizeof text, "長さ: %.1f  角度: %.1f°", std::hypot(dx, dy), degrees);
  return text;
}

std::string CoordinatesText(int32_t x, int32_t y, const uint32_t* colour) {
  char text[96];
  if (colour == nullptr) {
    std::snprintf(text, sizeof text, "X: %d  Y: %d", x, y);
  } else {
    std::snprintf(text, sizeof text, "X: %d  Y: %d  R: %u G: %u B: %u", x, y, (*colour >> 16) & 0xFF,
                  (*colour >> 8) & 0xFF, *colour & 0xFF);
  }
  return text;
}

bool RulerTool::ButtonDown(const ToolEvent& event) {
  m_dragging = true;
  m_x0 = m_x1 = event.x + m_canvas.EditOffsetX();
  m_y0 = m_y1 = event.y + m_canvas.EditOffsetY();
  GetHost().SetStatusText(RulerText(m_x0, m_y0, m_x1, m_y1));
  return true;
}

bool RulerTool::Move(const ToolEvent& event) {
  if (!m_dragging) return false;
  m_x1 = event.x + m_canvas.EditOffsetX();
  m_y1 = event.y + m_canvas.EditOffsetY();
  GetHost().SetStatusText(RulerText(m_x0, m_y0, m_x1, m_y1));
  return true;
}

bool RulerTool::ButtonUp(const ToolEvent& event) {
  if (!m_dragging) return false;
  Move(event);
  // The measurement stays on the status bar; the line goes.
  m_dragging = false;
  return true;
}

std::vector<FeedbackPath> RulerTool::Feedback() const {
  if (!m_dragging) return {};
  return {{{{m_x0 + 0.5, m_y0 + 0.5}, {m_x1 + 0.5, m_y1 + 0.5}}, false}};
}

bool CoordinatesTool::Move(const ToolEvent& event) {
  const int32_t x = event.x + m_canvas.EditOffsetX(), y = event.y + m_canvas.EditOffsetY();
  uint32_t colour = 0;
  const bool onPicture = m_canvas.Composite().GetPixel(x, y, &colour) != 0;
  GetHost().SetStatusText(CoordinatesText(x, y, onPicture ? &colour : nullptr));
  return true;
}

}  // namespace varnel
