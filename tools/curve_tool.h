#pragma once
// The curve tool "曲線描画": clicks lay anchors of a smooth cubic Bézier path that stays
// editable until it is drawn. Enter (or 設定, or the right button) draws it as one undo step:
// the current brush laid along it at the tool's size and opacity, with the pressure map along
// its length, or the closed path filled with the foreground colour. Escape throws it away and
// Backspace takes the last anchor back.
//
// How the pointer acts follows the mode: a click adds an anchor at the end of the path (held
// and dragged, it pulls the anchor's handles out); in "端点編集" anchors and handles are
// dragged; "フリーハンドで追加" turns a dragged line into anchors; "フリーハンドで描画" draws the
// dragged line at once.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "brush/brush_engine.h"
#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"
#include "tools/brush_path.h"
#include "tools/shape_file.h"
#include "tools/shape_raster.h"

namespace varnel {

inline constexpr int32_t kCurveToolSlot = 5;
inline constexpr const char* kCurveToolName = "曲線描画";
inline constexpr const char* kCurveToolTip = "曲線を描画";
inline constexpr const char* kCurveToolClassName = "CCurveTool";

// What the pointer does on the picture.
inline constexpr int32_t kCurveModeAdd = 0;           // a click adds an anchor
inline constexpr int32_t kCurveModeEdit = 1;          // "端点編集"
inline constexpr int32_t kCurveModeFreehandAdd = 2;   // "フリーハンドで追加"
inline constexpr int32_t kCurveModeFreehandDraw = 3;  // "フリーハンドで描画"

inline constexpr int32_t kCurveMaxSize = 256;       // "サイズ": 1 … this, the brush's side
inline constexpr int32_t kCurveMaxOpacity = 256;    // "透明度": 0 … this, as the brush's opacity
inline constexpr int32_t kPressureMapLength = 1000;  // map positions: thousandths of the path
inline constexpr int32_t kPressureMapMaxPoints = 8;
inline constexpr int32_t kFullPressure = 256;

// One point of "傾きマップ": the pressure at a place along the path.
struct PressureMapPoint {
  int32_t position = 0;           // 0 … 1000: start … end of the path
  int32_t pressure = kFullPressure;  // 0 … 256
  bool operator==(const PressureMapPoint&) const = default;
};
using PressureMap = std::vector<PressureMapPoint>;

struct CurveSettings {
  int32_t mode = kCurveModeAdd;      // Mode
  bool closed = false;               // Close, "パスを閉じる"
  bool fill = false;                 // Fill, "塗りつぶし": fill the path (closed) instead of stroking it
  bool antialias = true;             // AntiAlias, "アンチエイリアス" of the fill's edge
  int32_t size = 4;                  // Size, "サイズ": the brush's side while it draws the curve
  int32_t opacity = kCurveMaxOpacity;  // Opacity, "透明度" (256 opaque)
  // PressureMap, "傾きマップ": constant full pressure unless edited.
  PressureMap pressureMap = {{0, kFullPressure}, {kPressureMapLength, kFullPressure}};

  bool operator==(const CurveSettings&) const = default;

  // Reading holds every value to its range; a missing integer reads as 0 (clamped), a missing
  // or unreadable map leaves the map as it was.
  void WriteToolState(ToolStateWriter& writer) const;
  void ReadToolState(ToolStateReader& reader);
};

// The settings the option panel edits and every curve tool reads.
CurveSettings& ProgramCurveSettings();

class CurveToolState : public SettingsToolState<CurveSettings> {
 public:
  explicit CurveToolState(CurveSettings& settings) : SettingsToolState(settings, kCurveToolClassName) {}
};

// ---- the pressure map ------------------------------------------------------------------------

// The map as text, "position,pressure;…" ("0,256;1000,256"), and back. Parsing keeps the points
// that scan, each held to its range, at most kPressureMapMaxPoints, ordered by position; false
// (map unchanged) when no point scans.
std::string FormatPressureMap(const PressureMap& map);
bool ParsePressureMap(std::string_view text, PressureMap& map);
// The pressure at t (0 … 1 of the path's length): straight between the points, the first
// point's before it and the last's after it, rounded to the nearest; full without points.
int32_t PressureAt(const PressureMap& map, double t);

// ---- the path ---------------------------------------------------------------------------------

// An anchor of the path, in canvas pixels (pixel x is x … x + 1; an anchor at x sits on that
// pixel's centre once drawn). Its handles follow its neighbours (Catmull-Rom: the out handle
// lies a sixth of the way from the previous anchor to the next, beyond the anchor) until the
// user drags one; then they are the anchor's own.
struct CurveAnchor {
  ShapePoint point;
  bool ownHandles = false;
  ShapePoint in;   // toward the previous anchor; used when ownHandles
  ShapePoint out;  // toward the next anchor
};

struct CubicSegment {
  ShapePoint p0, p1, p2, p3;
};

// The handles anchor i has in the path (its own, or the neighbours' rule; the ends of an open
// path take themselves as their missing neighbour).
void CurveHandles(std::span<const CurveAnchor> anchors, size_t i, bool closed, ShapePoint& in, ShapePoint& out);
// One segment from each anchor to the next, and from the last back to the first when closed
// (a closed path needs three anchors; with fewer it stays open).
std::vector<CubicSegment> CurveSegments(std::span<const CurveAnchor> anchors, bool closed);
// The path as a polyline from the first anchor, each segment flattened to within 1/8 pixel;
// closed, it ends on the first anchor again. One anchor gives one point.
std::vector<ShapePoint> FlattenCurve(std::span<const CurveAnchor> anchors, bool closed);

// Ramer-Douglas-Peucker: the fewest points of the polyline (ends kept) from which no dropped
// point strays more than tolerance.
std::vector<ShapePoint> SimplifyPolyline(std::span<const ShapePoint> points, double tolerance);

// The positions the brush is walked through for a polyline (target pixels): points that add
// nothing within half a pixel dropped, longer straight runs cut into pieces of at most step
// pixels so the pressure can change along them, each rounded to its pixel with the map's
// pressure at its share of the length; repeated pixels once.
std::vector<BrushPathPoint> BrushPointsAlong(std::span<const ShapePoint> polyline, const PressureMap& map, double step);

// The polyline fitted into the unit square of its bounding box (a side without extent maps to
// 0), as the vertices of a shape definition; nothing for fewer than two points.
ShapeDefinition NormalisedShape(std::span<const ShapePoint> polyline);


// ---- the tool ---------------------------------------------------------------------------------

class CurveTool : public PaintObject {
 public:
  // brush answers the brush to stroke with (the program's brush by default).
  explicit CurveTool(Canvas& canvas, CurveSettings& settings = ProgramCurveSettings(),
                     std::function<BrushEngine*()> brush = {});

  bool IsType(const char* tag) const override;
  std::string Name() const override { return kCurveToolName; }
  // Draws nothing; it learns the view's zoom, so grabbing an anchor takes the same reach on the
  // screen at every zoom.
  void DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* out, double zoom) override;
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  // The right button draws the path as Enter does.
  bool RightButtonDown(const ToolEvent& event) override;
  // Enter draws the path, Escape throws it away, Backspace removes the last anchor.
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;
  void SetColours(ColourRef foreground, ColourRef background) override;
  // The path, its anchors (and in "端点編集" their handles), or the line being dragged freehand.
  std::vector<FeedbackPath> Feedback() const override;

  const std::vector<CurveAnchor>& Anchors() const { return m_anchors; }
  // Draws the path on the canvas's drawing target as one undo step and starts a new path.
  // False (the path kept) when there is nothing to draw or nothing to draw on.
  bool Commit();
  void Discard();
  bool RemoveLastAnchor();
  // The path flattened and fitted into its bounding box, for "形状定義保存".
  ShapeDefinition PathShape() const;
  // View pixels per image pixel; 1 until the view tells.
  void SetViewZoom(double zoom);

 private:
  enum class Drag { kNone, kNewAnchor, kAnchor, kInHandle, kOutHandle, kFreehand };
  // What the other handle does while one is pulled: mirrors it (a new anchor's), turns with it
  // keeping its length (a smooth anchor's), or stays (Shift).
  enum class HandleRule { kSymmetric, kSmooth, kFree };

  bool Closed() const { return m_settings.closed || m_settings.fill; }
  // Image pixels within which the pointer grabs an anchor or a handle.
  double Reach() const;
  void PullHandle(size_t index, ShapePoint pointer, bool outHandle, HandleRule rule);
  void AddFreehandAnchors(std::span<const ShapePoint> line);
  // Draws a polyline (canvas pixels; a closed one ends where it began) with the settings on the
  // target as one undo step. False when there is nothing to draw with or on.
  bool DrawPolyline(ImageSurface& target, std::span<const ShapePoint> polyline);

  Canvas& m_canvas;
  CurveSettings& m_settings;
  std::function<BrushEngine*()> m_brush;
  ColourRef m_foreground = MakeColourRef(0, 0, 0);
  double m_zoom = 1.0;
  std::vector<CurveAnchor> m_anchors;
  Drag m_drag = Drag::kNone;
  size_t m_dragIndex = 0;
  ShapePoint m_dragFrom;
  bool m_pulling = false;               // a new anchor's handles follow the pointer
  std::vector<ShapePoint> m_freehand;  // canvas pixels
  int32_t m_freehandMode = kCurveModeAdd;
};

}  // namespace varnel
