#pragma once
// Tools that measure rather than paint: the ruler "定規を描画" (a line dragged over the picture,
// its length and angle on the status bar) and "座標を表示" (the pointer's canvas coordinates and
// the colour shown there, on the status bar at every move). Neither changes the picture.

#include <cstdint>
#include <string>

#include "core/canvas.h"
#include "core/paint_object.h"

namespace varnel {

inline constexpr int32_t kRulerToolSlot = 17;
inline constexpr int32_t kCoordinatesToolSlot = 18;

// "長さ: 141.4  角度: 45.0°": the distance between the two canvas points and the angle of the
// second seen from the first, counter-clockwise from the right as the screen shows it.
std::string RulerText(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// "X: 12  Y: 34  R: 255 G: 128 B: 0" for a canvas point and the colour shown there (0xAARRGGBB);
// outside the picture only the coordinates.
std::string CoordinatesText(int32_t x, int32_t y, const uint32_t* colour);

class RulerTool : public PaintObject {
 public:
  explicit RulerTool(Canvas& canvas) : m_canvas(canvas) {}
  std::string Name() const override { return "定規"; }
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  std::vector<FeedbackPath> Feedback() const override;

 private:
  Canvas& m_canvas;
  bool m_dragging = false;
  int32_t m_x0 = 0, m_y0 = 0, m_x1 = 0, m_y1 = 0;  // canvas coordinates
};

class CoordinatesTool : public PaintObject {
 public:
  explicit CoordinatesTool(Canvas& canvas) : m_canvas(canvas) {}
  std::string Name() const override { return "座標"; }
  bool Move(const ToolEvent& event) override;
  bool ButtonDown(const ToolEvent& event) override { return Move(event); }

 private:
  Canvas& m_canvas;
};

}  // namespace varnel
