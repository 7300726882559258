#pragma once
// The eyedropper ("スポイト"): a click takes the mean colour of a 1 × 1, 3 × 3 or 5 × 5 block
// under the pointer, from the displayed picture or from the active layer, and makes it the
// application's foreground colour.

#include <cstdint>
#include <functional>
#include <string>

#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"
#include "platform/colour.h"

namespace varnel {

// The eyedropper's place among the canvas's tool slots (the fourth tool of the palette).
inline constexpr int32_t kEyedropperToolSlot = 3;
// The eyedropper's display name, as tool state files name it.
inline constexpr const char* kEyedropperToolName = "スポイト";
inline constexpr const char* kEyedropperToolClassName = "CSpoitTool";

// The averaging choices, as the option panel lists them.
inline constexpr int32_t kEyedropperAverageCount = 3;
// "1*1平均", "3*3平均", "5*5平均"; empty outside 0…2.
const char* EyedropperAverageLabel(int32_t average);
// The block side of an averaging choice: 1, 3 or 5; a choice outside 0…2 is held to that range.
int32_t EyedropperBlockSide(int32_t average);

struct EyedropperSettings {
  int32_t average = 0;       // Average: 0 1 × 1, 1 3 × 3, 2 5 × 5
  bool fromDisplay = true;   // FromDisplay, "表示色から取得"

  bool operator==(const EyedropperSettings&) const = default;

  void WriteToolState(ToolStateWriter& writer) const;
  // A missing flag or integer reads as 0; the averaging is held to 0…2.
  void ReadToolState(ToolStateReader& reader);
};

// The program's eyedropper settings, edited by the eyedropper's option panel.
EyedropperSettings& ProgramEyedropperSettings();

// The eyedropper as a tool state object.
class EyedropperToolState : public SettingsToolState<EyedropperSettings> {
 public:
  explicit EyedropperToolState(EyedropperSettings& settings) : SettingsToolState(settings, kEyedropperToolClassName) {}
};

// The largest block PickColour reads.
inline constexpr int32_t kMaxPickSide = 255;

// The mean colour of the n × n block whose top-left pixel is (x − n/2, y − n/2): the blue, green
// and red sums each divided by n × n (integer division). A pixel of the block outside the
// source counts as the nearest pixel inside (its coordinates are clamped to the source), so the
// divisor stays n × n at the border. n is held to 1…kMaxPickSide. Black for an empty source.
ColourRef PickColour(const ImageSurface& source, int32_t x, int32_t y, int32_t n);

class EyedropperTool : public PaintObject {
 public:
  // setForeground makes a colour the application's foreground colour; settings must outlive
  // the tool.
  EyedropperTool(Canvas& canvas, std::function<void(ColourRef)> setForeground,
                 const EyedropperSettings& settings = ProgramEyedropperSettings());
  std::string Name() const override { return kEyedropperToolName; }
  // The outline of the block the next click reads.
  void DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* out, double zoom) override;
  // Picks from the displayed picture when "表示色から取得" is set, else from the surface being
  // edited (the active layer, or the mask image under edit, whatever is selected); Shift swaps
  // the two for this click.
  bool ButtonDown(const ToolEvent& event) override;

 private:
  Canvas& m_canvas;
  std::function<void(ColourRef)> m_setForeground;
  const EyedropperSettings& m_settings;
};

}  // namespace varnel
