#include "tools/line_tool.h"

#include <algorithm>
#include <cstdlib>

#include "brush/brush_tool.h"
#include "tools/brush_path.h"

namespace varnel {
namespace {

// tan 22.5° as a ratio of 41 to 99, so the test stays in integers.
bool Shallower(int64_t small, int64_t large) { return small * 99 < large * 41; }

}  // namespace

void ConstrainTo45Degrees(int32_t x0, int32_t y0, int32_t& x1, int32_t& y1) {
  const int64_t dx = static_cast<int64_t>(x1) - x0, dy = static_cast<int64_t>(y1) - y0;
  const int64_t ax = std::llabs(dx), ay = std::llabs(dy);
  if (Shallower(ay, ax)) {
    y1 = y0;
  } else if (Shallower(ax, ay)) {
    x1 = x0;
  } else {
    const int64_t side = std::max(ax, ay);
    x1 = static_cast<int32_t>(x0 + (dx < 0 ? -side : side));
    y1 = static_cast<int32_t>(y0 + (dy < 0 ? -side : side));
  }
}

LineTool::LineTool(Canvas& canvas, std::function<BrushEngine*()> brush)
    : m_canvas(canvas), m_brush(brush ? std::move(brush) : std::function<BrushEngine*()>(ProgramBrush)) {}

void LineTool::Track(const ToolEvent& event) {
  m_x1 = event.x;
  m_y1 = event.y;
  if ((event.flags & kToolShift) != 0) ConstrainTo45Degrees(m_x0, m_y0, m_x1, m_y1);
}

bool LineTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr || m_brush() == nullptr) return false;
  m_dragging = true;
  m_x0 = m_x1 = event.x;
  m_y0 = m_y1 = event.y;
  return true;
}

bool LineTool::Move(const ToolEvent& event) {
  if (!m_dragging) return false;
  Track(event);
  return true;
}

bool LineTool::ButtonUp(const ToolEvent& event) {
  if (!m_dragging) return false;
  m_dragging = false;
  Track(event);
  BrushEngine* brush = m_brush();
  if (brush == nullptr || event.surface == nullptr) return false;
  const BrushPathPoint ends[] = {{m_x0, m_y0, 256}, {m_x1, m_y1, 256}};
  DrawBrushPath(m_canvas, *brush, *event.surface, ends, false);
  return true;
}

bool LineTool::KeyMessage(int32_t message, int32_t key, int32_t, uint32_t) {
  if (message != kToolKeyDown || key != kKeyEscape || !m_dragging) return false;
  m_dragging = false;
  return true;
}

std::vector<FeedbackPath> LineTool::Feedback() const {
  if (!m_dragging) return {};
  const double ox = m_canvas.EditOffsetX() + 0.5, oy = m_canvas.EditOffsetY() + 0.5;
  return {{{{m_x0 + ox, m_y0 + oy}, {m_x1 + ox, m_y1 + oy}}, false}};
}

}  // namespace varnel
