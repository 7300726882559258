#pragma once
// The line tool "直線を描画": a straight line from where the pen goes down to where it comes up,
// laid with the current brush at full pressure and the brush's own spacing, one undo step; Shift
// keeps the line to steps of 45°. While dragging, the view shows the line.

#include <cstdint>
#include <functional>

#include "brush/brush_engine.h"
#include "core/canvas.h"
#include "core/paint_object.h"

namespace varnel {

inline constexpr int32_t kLineToolSlot = 4;
inline constexpr const char* kLineToolName = "直線";

// The end point moved onto the nearest 45° step from (x0, y0): horizontal, vertical, or a
// diagonal as long as the longer side.
void ConstrainTo45Degrees(int32_t x0, int32_t y0, int32_t& x1, int32_t& y1);

class LineTool : public PaintObject {
 public:
  // brush answers the brush to paint with (the program's brush by default).
  explicit LineTool(Canvas& canvas, std::function<BrushEngine*()> brush = {});
  std::string Name() const override { return kLineToolName; }
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;
  std::vector<FeedbackPath> Feedback() const override;

 private:
  void Track(const ToolEvent& event);

  Canvas& m_canvas;
  std::function<BrushEngine*()> m_brush;
  bool m_dragging = false;
  int32_t m_x0 = 0, m_y0 = 0, m_x1 = 0, m_y1 = 0;  // layer coordinates
};

}  // namespace varnel
