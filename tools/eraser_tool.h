#pragma once
// The eraser ("消しゴム"): a round, soft-edged dab the size of the brush that either takes the
// layer's alpha away or lays the tool's background colour, stroked by the brush engine so that
// spacing, trailing, pressure and the one undo step per stroke are the brush's own.
//
//   "透明度に作用" on, "背景色" off: alpha falls by the round mask and the opacity (to 0 at the
//                                  centre of a dab at opacity 256); the colour stays.
//   "透明度に作用" on, "背景色" on:  the background colour is painted as the brush paints its
//                                  colour; alpha rises as under the brush.
//   "透明度に作用" off:              the background colour is painted and alpha is kept; fully
//                                  transparent pixels stay as they are.
//   "筆圧不透明":                     the opacity follows the pen's pressure.

#include <cstdint>
#include <string>
#include <vector>

#include "brush/brush_kinds.h"
#include "brush/brush_settings.h"
#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"

namespace varnel {

// The eraser's place among the canvas's tool slots (the third tool of the palette).
inline constexpr int32_t kEraserToolSlot = 2;
// The eraser's display name, as tool state files name it.
inline constexpr const char* kEraserToolName = "消しゴム";
inline constexpr const char* kEraserToolClassName = "CEraserTool";
// The eraser is no brush kind of the menu.
inline constexpr int32_t kEraserBrushKind = -1;
// Dabs a tenth of the mean dab size apart, the brush's default spacing.
inline constexpr double kEraserSpacing = 0.1;

struct EraserSettings {
  int32_t baseOpacity = 256;     // Opaque, "基本不透明度", 0…256
  bool affectAlpha = true;       // Alpha, "透明度に作用"
  bool pressureOpacity = false;  // PressureTransparency, "筆圧不透明"
  bool background = false;       // BkColor, "背景色"

  bool operator==(const EraserSettings&) const = default;

  void WriteToolState(ToolStateWriter& writer) const;
  // A missing flag or integer reads as 0; the opacity is held to 0…256.
  void ReadToolState(ToolStateReader& reader);
};

// The program's eraser settings, edited by the eraser's option panel.
EraserSettings& ProgramEraserSettings();

// The eraser as a tool state object.
class EraserToolState : public SettingsToolState<EraserSettings> {
 public:
  explicit EraserToolState(EraserSettings& settings) : SettingsToolState(settings, kEraserToolClassName) {}
};

// The eraser's dab. Where the round mask is 0 nothing changes.
class EraserBrush : public RoundBrush {
 public:
  explicit EraserBrush(Size size);
  const char* Name() const override { return kEraserToolName; }

  // Takes the settings and the dab size (each side held to 1…256). Between strokes only.
  void Configure(const EraserSettings& settings, Size size);
  // True when dabs lay the background colour rather than take alpha away.
  bool PaintsBackground() const { return m_paintsBackground; }
  // The dab's mask, row-major; see TakeRoundMask.
  const std::vector<uint8_t>& Mask() const { return m_mask; }

  // Alpha a becomes (a × (255 − mask) + 127) / 255; FinishDab then applies the opacity.
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
  // The background colour (opaque) through the mask, while PaintsBackground.
  bool ColourAndMask(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* colour,
                     uint8_t* mask) override;

 protected:
  void OnSizeChanged() override;

 private:
  // The round mask, except that a dab the round mask leaves empty (1 × 1, or one pixel wide or
  // high) is wholly 255: an eraser of one pixel still erases that pixel.
  void TakeRoundMask();

  std::vector<uint8_t> m_mask;
  bool m_paintsBackground = false;
};

class EraserTool : public PaintObject {
 public:
  // settings and brush must outlive the tool; the dab takes brush.width × brush.height at each
  // pen-down, so the brush size keys size the eraser too.
  explicit EraserTool(Canvas& canvas, EraserSettings& settings = ProgramEraserSettings(),
                      const BrushToolSettings& brush = ProgramBrushSettings());
  std::string Name() const override { return kEraserToolName; }
  void DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* out, double zoom) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  bool ButtonDown(const ToolEvent& event) override;
  // The background colour is the one dabs lay.
  void SetColours(ColourRef foreground, ColourRef background) override;

  const EraserBrush& Brush() const { return m_eraser; }

 private:
  void Configure();

  Canvas& m_canvas;
  EraserSettings& m_settings;
  const BrushToolSettings& m_brush;
  EraserBrush m_eraser;
};

}  // namespace varnel
