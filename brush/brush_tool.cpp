#include "brush/brush_tool.h"

#include <utility>

#include "brush/brush_factory.h"
#include "brush/brush_stroke.h"

namespace varnel {
namespace {

// The tablet's azimuth units (a full turn is 3590) in radians; nothing for a mouse.
std::optional<double> PenAngle(const ToolEvent& event) {
  if (event.orientation == nullptr) return std::nullopt;
  return event.orientation->azimuth * 2.0 * 3.14159265358979323846 / 3590.0;
}

struct ProgramBrushState {
  BrushToolSettings settings;
  std::unique_ptr<BrushEngine> brush;
  bool built = false;
  ColourRef foreground = MakeColourRef(0, 0, 0);
  ColourRef background = MakeColourRef(255, 255, 255);
  std::function<void(int32_t, int32_t)> colourSurface;
};

ProgramBrushState& State() {
  static ProgramBrushState state;
  return state;
}

}  // namespace

BrushToolSettings& ProgramBrushSettings() { return State().settings; }

BrushEngine* ProgramBrush() {
  ProgramBrushState& state = State();
  if (!state.built) RebuildProgramBrush();
  return state.brush.get();
}

void RebuildProgramBrush() {
  ProgramBrushState& state = State();
  state.built = true;
  if (state.settings.busy) return;
  state.brush = BuildBrush(state.settings, 0);
  if (!state.brush) return;
  state.brush->SetColours(state.foreground, state.background);
  state.brush->openColourSurface = state.colourSurface;
}

void SetProgramColourSurfaceOpener(std::function<void(int32_t x, int32_t y)> opener) {
  ProgramBrushState& state = State();
  state.colourSurface = std::move(opener);
  if (state.brush) state.brush->openColourSurface = state.colourSurface;
}

void SetProgramBrushColours(ColourRef foreground, ColourRef background) {
  ProgramBrushState& state = State();
  state.foreground = foreground;
  state.background = background;
  if (state.brush) state.brush->SetColours(foreground, background);
}

BrushTool::BrushTool(Canvas& canvas, std::function<BrushEngine*()> brush)
    : m_canvas(canvas), m_brush(std::move(brush)) {}

void BrushTool::DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* out, double zoom) {
  if (BrushEngine* brush = m_brush()) brush->DrawCursor(dc, x, y, out, zoom);
}

bool BrushTool::ButtonDown(const ToolEvent& event) {
  m_picking = (event.flags & kToolAlt) != 0 && pickColour;
  if (m_picking) return pickColour(event);
  BrushEngine* brush = m_brush();
  if (brush == nullptr || event.surface == nullptr) return false;
  ComposeEachDab composing(m_canvas, *brush);
  brush->SetPenAngle(PenAngle(event));
  brush->BeginStroke(*event.surface, event.x, event.y, event.pressure, (event.flags & kToolControl) != 0);
  return true;
}

bool BrushTool::Move(const ToolEvent& event) {
  if (m_picking) return false;
  BrushEngine* brush = m_brush();
  if (brush == nullptr || event.surface == nullptr) return false;
  ComposeEachDab composing(m_canvas, *brush);
  brush->SetPenAngle(PenAngle(event));
  brush->StrokeTo(*event.surface, event.x, event.y, event.pressure);
  return true;
}

bool BrushTool::ButtonUp(const ToolEvent& event) {
  if (std::exchange(m_picking, false)) return false;
  BrushEngine* brush = m_brush();
  if (brush == nullptr || event.surface == nullptr) return false;
  ComposeEachDab composing(m_canvas, *brush);
  brush->EndStroke(*event.surface);
  // Every dab was composed as it landed.
  BackedSurface(*event.surface).ClearDirty();
  return true;
}

void BrushTool::SetColours(ColourRef foreground, ColourRef background) {
  if (BrushEngine* brush = m_brush()) brush->SetColours(foreground, background);
}

}  // namespace varnel
