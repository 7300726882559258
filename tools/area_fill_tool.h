#pragma once
// The closed-area fill "閉領域塗りつぶし": a click fills the area around the clicked pixel (or
// the whole drawing target) with the foreground colour, the current brush or transparency.

#include <cstdint>
#include <functional>
#include <string>

#include "brush/brush_engine.h"
#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"
#include "tools/colour_select.h"

namespace varnel {

// The tool's canvas slot and names.
inline constexpr int32_t kAreaFillToolSlot = 13;
inline constexpr const char* kAreaFillToolName = "閉領域塗りつぶし";
inline constexpr const char* kAreaFillToolTip = "閉領域を塗りつぶす";
inline constexpr const char* kAreaFillToolClassName = "CFillTool";

// "塗りつぶし範囲".
inline constexpr int32_t kFillRangeRgb = 0;    // "RGB範囲": the area around the click
inline constexpr int32_t kFillRangeWhole = 1;  // "全体": every pixel of the target
// "塗りつぶしモード".
inline constexpr int32_t kFillModeForeground = 0;  // "前景色で塗りつぶす"
inline constexpr int32_t kFillModeBrush = 1;       // "現在のブラシで塗りつぶす"
inline constexpr int32_t kFillModeClear = 2;       // "透明色で塗りつぶす"
// "塗りつぶしの判定の甘さ", asked for as "RANGE[1..255]".
inline constexpr int32_t kFillToleranceMinimum = 1;
inline constexpr int32_t kFillToleranceMaximum = 255;
// The feather diameter of "エッジぼかし".
inline constexpr int32_t kFillFeatherDiameter = 6;

struct AreaFillSettings {
  int32_t range = kFillRangeRgb;       // FillRange
  int32_t mode = kFillModeForeground;  // FillMode
  int32_t tolerance = 1;               // Tolerance, 1…255
  bool feather = false;                // EdgeBlur

  // The tool state entries, in their fixed order. Reading clamps every value to its range; a
  // missing entry reads as 0, which clamps to the first choice (tolerance 1).
  void WriteToolState(ToolStateWriter& writer) const;
  void ReadToolState(ToolStateReader& reader);
};

// The settings the option panel edits and every area fill tool reads at its click.
AreaFillSettings& ProgramAreaFillSettings();

// The area fill tool as a tool state object.
class AreaFillToolState : public SettingsToolState<AreaFillSettings> {
 public:
  explicit AreaFillToolState(AreaFillSettings& settings) : SettingsToolState(settings, kAreaFillToolClassName) {}
};

// The colour comparison of the fill: a pixel belongs to the area when each of its blue, green
// and red differs from the clicked pixel's by less than the tolerance (so 1 takes the clicked
// colour alone). This is the RGB matcher with tolerance − 1.
ColourMatch AreaFillMatch(int32_t tolerance);

// Fills the target (layer coordinates) as a click at (x, y) with these settings does, with no
// click filter, wait cursor or recomposition. foreground is a colour reference 0x00BBGGRR; brush
// is used by the brush mode only (nothing is painted in that mode without one). Writes through
// the target's SetRect (or the brush's dabs), so a selection facade confines the fill, and marks
// the target modified when it wrote. Answers the changed rectangle of the target, empty
// (right < left) when nothing was written.
//
// Per mode, with coverage c of a pixel in the fill region (255 inside; with "エッジぼかし" the
// region is feathered with diameter 6 first, giving 1…254 along the edge):
//   foreground  c = 255: the pixel becomes the foreground colour with alpha 255; c in 1…254:
//               it moves toward that colour by c / 256 as a selection blends
//               (RegionClippedImage::BlendCovered: each byte, alpha included, from + ((to −
//               from) × c >> 8); a transparent pixel takes the colour outright);
//   brush       one dab of the brush centred on each covered pixel, row by row from the top,
//               with the coverage as the pressure: opacity = the brush's base opacity × c /
//               256 when its pressure opacity is on, else the base opacity (as its pen-down dab
//               takes it); the dab keeps the brush's size;
//   clear       the pixels the unfeathered region covers keep their colour with alpha 0.
// Range "全体" covers every pixel with 255 (the brush's pressure is 256 there).
Rect FillArea(ImageSurface& target, int32_t x, int32_t y, const AreaFillSettings& settings, ColourRef foreground,
              BrushEngine* brush);

class AreaFillTool : public PaintObject {
 public:
  // brush answers the current brush at each click; clock answers the tick count in ms.
  explicit AreaFillTool(Canvas& canvas, AreaFillSettings& settings = ProgramAreaFillSettings(),
                        std::function<BrushEngine*()> brush = ProgramBrush,
                        std::function<int64_t()> clock = TickCountMs);
  std::string Name() const override { return kAreaFillToolName; }
  // A click that passes the 500 ms filter fills (see FillArea) under the wait cursor and
  // recomposes what changed; the canvas then makes the change one undo step.
  bool ButtonDown(const ToolEvent& event) override;
  void SetColours(ColourRef foreground, ColourRef background) override;

 private:
  Canvas& m_canvas;
  AreaFillSettings& m_settings;
  std::function<BrushEngine*()> m_brush;
  std::function<int64_t()> m_clock;
  ClickFilter m_clicks{kAreaFillClickInterval};
  ColourRef m_foreground = MakeColourRef(0, 0, 0);
};

}  // namespace varnel
