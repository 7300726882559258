#pragma once
// The stroke engine. A BrushEngine turns the pen positions of one stroke into dabs on a layer:
// each dab reads a rectangle of the layer, computes new pixels by the brush kind's rule
// (a colour through a mask, composed by ComposeDab; or a kernel, mixed by FinishDab) and
// writes the rectangle back through the surface, whose tile backups feed undo.
//
// Per stroke: idle → BeginStroke → StrokeTo … → EndStroke → idle. User-interface thread only.
// Colours handed in and out are colour references 0x00BBGGRR; inside, colours are pixel
// values 0x00RRGGBB like the layer's.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "brush/colour_mask.h"
#include "brush/dab_buffers.h"
#include "brush/dab_compose.h"
#include "brush/watercolour_buffer.h"
#include "core/draw_context.h"
#include "core/geometry.h"
#include "core/surface.h"
#include "platform/colour.h"

namespace varnel {

// The dab size at pressure p (0…256) for the full size (W, H) and the minimum size percent f:
// minW = (f × W + 50) / 100, w = (minW × (256 − p) + W × p + 128) / 256, likewise h; with
// smoothing each moves half way from the working size, (working + w) / 2. At least 1 each.
Size PressureSize(Size full, int32_t minimumPercent, int32_t pressure, const Size* smoothFrom);

// Fills the part of rect (rows rect-wide) that lies outside a surface of the given size with
// the nearest pixel inside, so kernels that look at neighbours never read stale bytes. False
// when nothing of rect lies inside.
bool RepeatEdgePixels(Size surface, const Rect& rect, uint32_t* buffer);
// GetRect, then RepeatEdgePixels.
bool ReadClamped(const ImageSurface& surface, const Rect& rect, uint32_t* buffer);

// The dry modes of the watercolour buffer.
inline constexpr int32_t kDryAtStrokeEnd = 0;  // "描画終了で乾く"
inline constexpr int32_t kDryOnCommand = 1;    // "コマンドで乾く"

class BrushEngine {
 public:
  // The kind and the dab size (each side at least 1).
  BrushEngine(int32_t kind, Size size);
  virtual ~BrushEngine();
  BrushEngine(const BrushEngine&) = delete;
  BrushEngine& operator=(const BrushEngine&) = delete;

  // The operations of a brush, in the order of their slots.

  // Draws the dab outline at view position (x, y): an ellipse of the working size × zoom
  // (truncated) centred there, with a hollow brush; bounds receives the outline's rectangle.
  virtual void DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* bounds, double zoom);
  // The brush kind (the setting Style) and its menu label.
  virtual int32_t Kind() const { return m_kind; }
  virtual const char* Name() const;
  virtual void StrokeTo(ImageSurface& layer, int32_t x, int32_t y, int32_t pressure);
  virtual void EndStroke(ImageSurface& layer);
  // ctrlDown: the Ctrl key is held; then the colour surface opens and no stroke starts.
  virtual void BeginStroke(ImageSurface& layer, int32_t x, int32_t y, int32_t pressure, bool ctrlDown = false);
  // "乾かす": with dry mode 1 the layer's wet paint dries; with dry mode 0 nothing happens.
  virtual void DryCommand(ImageSurface& layer);
  // The colour mask of mode 3 takes the background colour.
  virtual void SetColours(ColourRef foreground, ColourRef background);
  // One dab centred on (x, y) with opacity 0…256 (0 draws nothing).
  virtual void DrawDab(ImageSurface& layer, int32_t x, int32_t y, int32_t opacity);
  // Sets the working size (each side at least 1, at most 256), grows the shared buffers and
  // rebuilds what depends on the size.
  virtual void SetBrushSize(int32_t width, int32_t height);
  // The kind's pixel rule over the dab rectangle: old pixels in, result out (rows rect-wide).
  // False skips the dab.
  virtual bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result);
  virtual Size GetSize() const { return m_size; }
  // Kinds that paint a colour fill the colour and mask buffers and answer true.
  virtual bool ColourAndMask(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* colour,
                             uint8_t* mask);

  // "現在のブラシで点を描く": one dab of opacity 256 in the middle of the layer.
  void DrawPoint(ImageSurface& layer);

  // Settings the brush is built with.
  void SetColourMask(std::unique_ptr<ColourMask> mask);
  const ColourMask* GetColourMask() const { return m_colourMask.get(); }
  void SetComposeMode(int32_t mode) { m_composeMode = mode; }
  int32_t ComposeMode() const { return m_composeMode; }
  void SetSpacing(double spacing) { m_spacing = spacing; }
  double Spacing() const { return m_spacing; }
  void SetBaseOpacity(int32_t opacity) { m_baseOpacity = opacity; }
  int32_t BaseOpacity() const { return m_baseOpacity; }
  void SetMinimumSize(int32_t percent) { m_minimumSize = percent; }
  int32_t MinimumSize() const { return m_minimumSize; }
  void SetAffectAlpha(bool on) { m_affectAlpha = on; }
  bool AffectAlpha() const { return m_affectAlpha; }
  void SetAntiAlias(bool on) { m_antiAlias = on; }
  bool AntiAlias() const { return m_antiAlias; }
  void SetPressureSizing(bool on) { m_pressureSizing = on; }
  bool PressureSizing() const { return m_pressureSizing; }
  void SetPressureOpacity(bool on) { m_pressureOpacity = on; }
  bool PressureOpacity() const { return m_pressureOpacity; }
  // The clone source (shared with the settings); sampled while clone colour is on.
  void SetCloneColour(bool on, std::shared_ptr<const ImageSurface> source);
  bool CloneColour() const { return m_cloneColour; }
  void SetWatercolour(bool on) { m_watercolour = on; }
  bool Watercolour() const { return m_watercolour; }
  void SetWatercolourLevel(int32_t level) { m_watercolourLevel = level; }
  int32_t WatercolourLevel() const { return m_watercolourLevel; }
  void SetDryMode(int32_t mode) { m_dryMode = mode; }
  int32_t DryMode() const { return m_dryMode; }

  // The pen's azimuth in radians for the next events; nothing with a mouse.
  void SetPenAngle(std::optional<double> radians) { m_penAngle = radians; }
  std::optional<double> PenAngle() const { return m_penAngle; }

  // Stroke state.
  bool IsIdle() const { return m_idle != 0; }
  double Distance() const { return m_distance; }
  double LastX() const { return m_lastX; }
  double LastY() const { return m_lastY; }
  Size FullSize() const { return {m_fullWidth, m_fullHeight}; }
  // Colours as pixel values 0x00RRGGBB: the one dabs use now (clone colour changes it) and the
  // tool's.
  uint32_t Foreground() const { return m_foreground; }
  uint32_t Background() const { return m_background; }
  uint32_t ToolForeground() const { return m_toolForeground; }

  // Called after every dab that wrote to the layer with the dab rectangle (layer coordinates,
  // not clipped): the canvas recomposes that part.
  std::function<void(const Rect&)> onDabWritten;
  // Called instead of a stroke when the pen goes down with Ctrl held: opens the colour surface
  // of the colour library at the point.
  std::function<void(int32_t x, int32_t y)> openColourSurface;

 protected:
  // The dab rectangle for a dab centred on (x, y) at the working size.
  Rect DabRect(int32_t x, int32_t y) const;
  // What a kind rebuilds when the size changes.
  virtual void OnSizeChanged() {}
  // Called at pen-down after the stroke state is set up.
  virtual void OnStrokeBegins() {}

  ComposeRule Rule() const { return static_cast<ComposeRule>(m_composeMode); }

 private:
  void TakeCloneColour(int32_t x, int32_t y);
  int32_t StrokeOpacity(int32_t pressure) const;
  void WalkSpacedPath(ImageSurface& layer, int32_t tx, int32_t ty, Size target, int32_t opacity);
  void WalkAntiAliasedPath(ImageSurface& layer, int32_t tx, int32_t ty, int32_t opacity);
  // The wet paint for a stroke on layer: the layer's own, else one for this stroke.
  WatercolourBuffer* WetPaint(ImageSurface& layer, bool create);
  void DryWetPaint(ImageSurface& layer);
  // Reads the dab rectangle from the layer (or the wet paint) and fills what lies outside the
  // layer from the nearest pixel inside; false when nothing of it is inside.
  bool ReadOld(ImageSurface& layer, const Rect& rect, uint32_t* old, WatercolourBuffer* wet);

  int32_t m_kind;
  // The fields of every brush.
  uint32_t m_background = 0x00FFFFFFu;
  uint32_t m_foreground = 0;
  uint32_t m_toolForeground = 0;
  int32_t m_composeMode = kComposeNormal;
  std::unique_ptr<ColourMask> m_colourMask;
  bool m_cloneColour = false;
  std::shared_ptr<const ImageSurface> m_cloneSource;
  double m_distance = 0.0;
  double m_spacing = 0.1;
  int32_t m_dryMode = kDryAtStrokeEnd;
  int32_t m_watercolourLevel = 128;
  bool m_watercolour = false;
  int32_t m_minimumSize = 30;
  bool m_pressureSizing = false;
  bool m_pressureOpacity = false;
  bool m_affectAlpha = true;
  bool m_antiAlias = false;
  int32_t m_baseOpacity = 256;
  int32_t m_fullWidth = -1;
  int32_t m_fullHeight = -1;
  int32_t m_idle = 1;
  double m_lastX = -1.0;
  double m_lastY = -1.0;
  Size m_size;
  std::optional<double> m_penAngle;

  std::unique_ptr<WatercolourBuffer> m_strokeWetPaint;
  std::vector<uint8_t> m_antiAliasCells;
};

}  // namespace varnel
