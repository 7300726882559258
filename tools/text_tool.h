#pragma once
// The text tool "文字描画": a click places the text (its top-left corner at the clicked pixel)
// and shows the box it will cover; Enter or the panel's 適用 draws it into the drawing target in
// the foreground colour as one undo step, Escape gives the placement up. The glyphs come from a
// rasteriser the desktop program supplies, so this folder stays free of any font library.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"
#include "tools/shape_raster.h"

namespace varnel {

inline constexpr int32_t kTextToolSlot = 6;
inline constexpr const char* kTextToolName = "文字描画";
inline constexpr const char* kTextToolTip = "文字を描画";
inline constexpr const char* kTextToolClassName = "CTextTool";

inline constexpr int32_t kTextSizeMinimum = 1;  // pixels
inline constexpr int32_t kTextSizeMaximum = 1000;
inline constexpr const char* kDefaultTextFont = "Noto Sans CJK JP";

struct TextSettings {
  std::string text;                       // Text, UTF-8; lines end with '\n'
  std::string font = kDefaultTextFont;    // FontFace, the family name
  int32_t size = 24;                      // FontSize, the font's pixel size, 1…1000
  bool bold = false;                      // Bold
  bool italic = false;                    // Italic
  bool vertical = false;                  // Vertical: "縦書き"
  bool antialias = true;                  // AntiAlias: "アンチエイリアス"
  int32_t opacity = 100;                  // Opacity, percent 0…100

  friend bool operator==(const TextSettings&, const TextSettings&) = default;

  // The tool state entries, in their fixed order. Reading clamps the size and the opacity;
  // a missing text or font leaves the one there was.
  void WriteToolState(ToolStateWriter& writer) const;
  void ReadToolState(ToolStateReader& reader);
};

// The settings the text window edits and the text tool draws with.
TextSettings& ProgramTextSettings();

class TextToolState : public SettingsToolState<TextSettings> {
 public:
  explicit TextToolState(TextSettings& settings) : SettingsToolState(settings, kTextToolClassName) {}
};

// The coverage of the settings' text: (0, 0) is the top-left corner of the text block, the
// mask's bounds are where ink falls (overhangs may reach left of or above the corner). Empty
// for an empty text or a font that draws nothing.
using TextRasteriser = std::function<CoverageMask(const TextSettings& settings)>;

class TextTool : public PaintObject {
 public:
  TextTool(Canvas& canvas, TextRasteriser rasteriser, TextSettings& settings = ProgramTextSettings());
  std::string Name() const override { return kTextToolName; }
  // Pen-down places the text at the pointer; it follows the pointer while the button is held.
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  // Enter draws the placed text, Escape gives the placement up.
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;
  void SetColours(ColourRef foreground, ColourRef background) override;
  // The box of the placed text.
  std::vector<FeedbackPath> Feedback() const override;
  // The placed text's glyphs in the foreground colour at the settings' opacity, shown before
  // they are drawn.
  FeedbackPixels PreviewPixels() const override;

  bool IsPlaced() const { return m_placed; }
  // The canvas pixels the placed text covers (inclusive); empty when nothing is placed or the
  // text draws nothing.
  Rect PlacedBounds() const;
  // Draws the placed text into the canvas's drawing target (so the selection confines it) in
  // the foreground colour at the settings' opacity, recomposes it and makes it one undo step;
  // the placement ends. False when nothing is placed or nothing was drawn.
  bool Commit();
  void Cancel() { m_placed = false; }

 private:
  // The coverage for the present settings, drawn again only when they have changed.
  const CoverageMask& Coverage() const;
  // The settings' opacity as 0…255.
  int32_t Opacity() const;

  Canvas& m_canvas;
  TextRasteriser m_rasteriser;
  TextSettings& m_settings;
  ColourRef m_foreground = MakeColourRef(0, 0, 0);
  bool m_placed = false;
  bool m_following = false;
  int32_t m_x = 0, m_y = 0;  // canvas point of the text's top-left corner
  mutable std::optional<TextSettings> m_maskSettings;
  mutable CoverageMask m_mask;
};

}  // namespace varnel
