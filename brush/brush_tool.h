#pragma once
// The brush as a tool of the canvas: pointer events become strokes of the program's brush,
// each dab recomposed where it lands. One brush object serves every document; it is rebuilt
// from the brush tool settings whenever they change.

#include <cstdint>
#include <functional>
#include <memory>

#include "brush/brush_engine.h"
#include "brush/brush_settings.h"
#include "core/canvas.h"
#include "core/paint_object.h"

namespace varnel {

// The brush's place among the canvas's tool slots (the second tool of the palette).
inline constexpr int32_t kBrushToolSlot = 1;
// The brush tool's name, as tool state files name it.
inline constexpr const char* kBrushToolName = "ブラシ";

// The program's brush settings and the brush built from them (null when the settings build
// none, such as the custom kind without its panel).
BrushToolSettings& ProgramBrushSettings();
BrushEngine* ProgramBrush();
// Builds the brush anew from the settings, keeping the colours.
void RebuildProgramBrush();
// The colours strokes start with (colour references 0x00BBGGRR), handed to every brush built.
void SetProgramBrushColours(ColourRef foreground, ColourRef background);
// What a pen-down with Ctrl does instead of a stroke (the colour surface at the point, layer
// coordinates), handed to every brush built.
void SetProgramColourSurfaceOpener(std::function<void(int32_t x, int32_t y)> opener);

class BrushTool : public PaintObject {
 public:
  // brush answers the brush to paint with at each event (the program's brush by default).
  explicit BrushTool(Canvas& canvas, std::function<BrushEngine*()> brush = ProgramBrush);
  std::string Name() const override { return kBrushToolName; }
  void DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* out, double zoom) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  bool ButtonDown(const ToolEvent& event) override;
  void SetColours(ColourRef foreground, ColourRef background) override;

  // Alt + click picks a colour instead of painting, as the eyedropper does (the program hands
  // the click to its eyedropper tool); the rest of that press paints nothing.
  std::function<bool(const ToolEvent&)> pickColour;

 private:
  Canvas& m_canvas;
  std::function<BrushEngine*()> m_brush;
  bool m_picking = false;
};

}  // namespace varnel
