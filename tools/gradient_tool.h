#pragma once
// The gradient tool "グラデーション描画": a drag from a start point to an end point lays a
// gradient over the drawing target as one undo step. Shift keeps the line to steps of 45°; the
// view shows the line while dragging and Esc gives it up. "線形" runs from the foreground to the
// background colour, "ユーザ定義" through a pattern of the program's res/grad.gpi. The selection
// confines the gradient as it confines every tool.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "brush/brush_engine.h"
#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"

namespace varnel {

inline constexpr int32_t kGradientToolSlot = 16;
inline constexpr const char* kGradientToolName = "グラデーション描画";
inline constexpr const char* kGradientToolTip = "グラデーションを描画";
inline constexpr const char* kGradientToolClassName = "CGradationTool";

// "グラデーション形状".
inline constexpr int32_t kGradientShapeLinear = 0;  // "線形": foreground to background
inline constexpr int32_t kGradientShapeUser = 1;    // "ユーザ定義": a pattern of res/grad.gpi
// How the gradient meets the pixels.
inline constexpr int32_t kGradientDrawSolid = 0;  // "ソリッド描画"
inline constexpr int32_t kGradientDrawBrush = 1;  // "ブラシ描画"

// Positions along the line count in 1/65536: the start pixel is 0, the end pixel 65536.
inline constexpr int32_t kGradientSteps = 65536;
// Stop positions count in ten-thousandths, as the gradient files keep them.
inline constexpr int32_t kGradientStopScale = 10000;

struct GradientSettings {
  int32_t shape = kGradientShapeLinear;    // Shape
  int32_t pattern = 0;                     // Pattern: index in res/grad.gpi, for "ユーザ定義"
  int32_t drawing = kGradientDrawSolid;    // DrawMode

  // The tool state entries, in this order. Reading holds shape and drawing to their choices and
  // the pattern to 0 or more; a missing entry reads as 0.
  void WriteToolState(ToolStateWriter& writer) const;
  void ReadToolState(ToolStateReader& reader);
};

// The settings the option panel edits and every gradient tool reads at its button-up.
GradientSettings& ProgramGradientSettings();

class GradientToolState : public SettingsToolState<GradientSettings> {
 public:
  explicit GradientToolState(GradientSettings& settings) : SettingsToolState(settings, kGradientToolClassName) {}
};

// One colour stop of a pattern: its position 0…kGradientStopScale and its pixel 0xAARRGGBB.
struct GradientStop {
  int32_t position = 0;
  uint32_t pixel = 0;
  friend bool operator==(const GradientStop&, const GradientStop&) = default;
};
using GradientPattern = std::vector<GradientStop>;

// Where "ユーザ定義" finds pattern index: the desktop program installs the patterns of
// res/grad.gpi as Huebox hands them out (the tools cannot reach the library themselves).
// Without a source, or for an index that is no pattern, there is none.
using GradientPatternSource = std::function<std::optional<GradientPattern>(int32_t index)>;
void SetProgramGradientPatterns(GradientPatternSource source);
std::optional<GradientPattern> ProgramGradientPattern(int32_t index);

// The line in drawing-target pixels: the pixel (x0, y0) is position 0, (x1, y1) position 65536.
struct GradientLine {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The position of target pixel (x, y), the reference the painting is held to: with (dx, dy) =
// (x1 − x0, y1 − y0), floor(((x − x0) dx + (y − y0) dy) × 65536 / (dx² + dy²)) held to
// 0…65536, so every pixel centre is projected onto the line, everything before the start takes
// 0 and everything past the end 65536. -1 when the line has no length. Exact for every int32
// coordinate.
int32_t GradientPosition(const GradientLine& line, int32_t x, int32_t y);
// The positions of count pixels of row y from column left as the painting works them out: the
// position stepped along the row as an exact fraction, no pixel dividing. The same as
// GradientPosition pixel by pixel; all -1 for a line without length.
void GradientRowPositions(const GradientLine& line, int32_t left, int32_t y, int32_t count, int32_t* positions);

// The colour at every position 0…65536 (kGradientSteps + 1 pixels). With the stops in position
// order (stable: at one position the later stop wins, a hard edge), a the last stop with
// a.position × 65536 ≤ p × 10000 and b the one after it, each of blue, green, red and alpha is
//   a + floor((2 (b − a) n + d) / 2d),  n = p × 10000 − a.position × 65536,
//                                         d = (b.position − a.position) × 65536,
// that is a + (b − a) × t rounded to nearest with halves up, t the exact fraction of the way.
// Before the first stop the first stop's pixel, at or past the last the last's. For two stops at
// 0 and 10000 this is a + (((b − a) p + 32768) >> 16). Positions outside 0…10000 are held to
// it; no stops give transparent black throughout.
std::vector<uint32_t> GradientTable(std::span<const GradientStop> stops);

// "線形": the foreground at 0 to the background at 10000, both opaque.
GradientPattern LinearPattern(ColourRef foreground, ColourRef background);

struct GradientPaint {
  GradientLine line;
  GradientPattern stops;
  int32_t drawing = kGradientDrawSolid;
  // "ブラシ描画": the current brush's base opacity, 0…256.
  int32_t opacity = 256;
};

// Lays the gradient over area (target coordinates, clipped to the target; the tool passes the
// selection's bounding rectangle, or the whole target) through the target's GetRect/SetRect,
// so a selection facade confines it, and marks the target modified. With p the pixel's
// position (GradientPosition) and T the table (GradientTable):
//   "ソリッド描画"  the pixel becomes T[p] with alpha 255;
//   "ブラシ描画"    T[p] is laid over the pixel in the merge frame's normal mode (MergeRun) with
//                   T[p]'s alpha as the coverage and opacity as the weight.
// Large areas are painted by two threads. Answers the changed rectangle, empty (right < left)
// when nothing was painted: a line without length, no stops, or an area outside the target.
Rect PaintGradient(ImageSurface& target, const Rect& area, const GradientPaint& paint);

class GradientTool : public PaintObject {
 public:
  // brush answers the brush whose base opacity "ブラシ描画" takes (256 without one), patterns
  // the patterns of "ユーザ定義"; the program's brush and patterns when not given.
  explicit GradientTool(Canvas& canvas, GradientSettings& settings = ProgramGradientSettings(),
                        std::function<BrushEngine*()> brush = {}, GradientPatternSource patterns = {});
  std::string Name() const override { return kGradientToolName; }
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  // Paints from the start to this point (a click without a drag paints nothing), recomposes and
  // leaves one undo step to the canvas.
  bool ButtonUp(const ToolEvent& event) override;
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;
  std::vector<FeedbackPath> Feedback() const override;
  void SetColours(ColourRef foreground, ColourRef background) override;

 private:
  void Track(const ToolEvent& event);
  std::optional<GradientPattern> Pattern() const;

  Canvas& m_canvas;
  GradientSettings& m_settings;
  std::function<BrushEngine*()> m_brush;
  GradientPatternSource m_patterns;
  ColourRef m_foreground = MakeColourRef(0, 0, 0);
  ColourRef m_background = MakeColourRef(255, 255, 255);
  bool m_dragging = false;
  GradientLine m_line;  // layer coordinates
};

}  // namespace varnel
