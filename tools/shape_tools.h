#pragma once
// The shape tools, each in an outline and a filled variant:
//   "形状描画" / "塗りつぶし図形描画"   the rectangle ("四角形") or a user shape of Ptv/*.ptv, placed
//                                      by dragging its box; Shift keeps the box square;
//   "楕円描画" / "塗りつぶし楕円"       the ellipse inscribed in the dragged box; Shift keeps a
//                                      circle, Ctrl drags from the centre;
//   "多角形描画" / "塗りつぶし多角形"   corners added by clicks, closed by a click on the first
//                                      corner, a second click on the last one (a double-click),
//                                      the right button or Enter; Backspace takes the last corner
//                                      back, Esc gives the polygon up.
// An outline is the current brush laid along it, closed, at full pressure; a fill is the
// foreground colour through the shape's coverage (pixels whose centre is inside, or with
// "アンチエイリアス" each pixel by the exact share of it inside; where outlines cross, even-odd,
// as the selection tool's polygon). Everything goes through the drawing target, so a selection
// confines it, and each shape is one undo step. While a shape is being dragged or clicked, the
// view shows its outline.
//
// A box dragged from pixel (x0, y0) to pixel (x1, y1) takes both pixels in: a fill covers
// exactly those pixels' area, and an outline runs through the centres of its outermost pixels.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "brush/brush_engine.h"
#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"
#include "tools/brush_path.h"
#include "tools/shape_file.h"
#include "tools/shape_raster.h"

namespace varnel {

// The tools' canvas slots, names (the first line of their ".vpo" files) and tool state classes.
inline constexpr int32_t kShapeDrawToolSlot = 7;
inline constexpr int32_t kShapeFillToolSlot = 8;
inline constexpr int32_t kEllipseDrawToolSlot = 9;
inline constexpr int32_t kEllipseFillToolSlot = 10;
inline constexpr int32_t kPolygonDrawToolSlot = 11;
inline constexpr int32_t kPolygonFillToolSlot = 12;
inline constexpr const char* kShapeDrawToolName = "形状描画";
inline constexpr const char* kShapeFillToolName = "塗りつぶし図形描画";
inline constexpr const char* kEllipseDrawToolName = "楕円描画";
inline constexpr const char* kEllipseFillToolName = "塗りつぶし楕円";
inline constexpr const char* kPolygonDrawToolName = "多角形描画";
inline constexpr const char* kPolygonFillToolName = "塗りつぶし多角形";
inline constexpr const char* kShapeDrawToolClassName = "CShapeTool";
inline constexpr const char* kShapeFillToolClassName = "CFillShapeTool";
inline constexpr const char* kPolygonDrawToolClassName = "CPolygonTool";
inline constexpr const char* kPolygonFillToolClassName = "CFillPolygonTool";

// The built-in shape, first in the shape list before the files of Ptv/.
inline constexpr const char* kRectangleShapeName = "四角形";
// The type written into shape definition files: a closed outline of straight edges.
inline constexpr int32_t kShapeTypeOutline = 0;
// A click this near (canvas pixels) to the first corner closes a polygon.
inline constexpr double kPolygonCloseDistance = 4.0;

// ---- geometry -------------------------------------------------------------------------------

// The unit square's corners clockwise from the top-left: "四角形".
std::vector<ShapeVertex> RectangleVertices();

// Where a shape's unit coordinates land: x = left + vertex.x × width, y = top + vertex.y × height.
struct ShapeBox {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
};

// The closed outline of a shape placed into box. Repeated points are dropped; then, with round
// 1…90, every corner is cut back along both of its edges by round % of half the shorter of the
// two edges and the cut is bridged by a quadratic curve whose control point is the corner (so
// 90 leaves a tenth of the shortest edges straight, and a square's corners become near-quarter
// circles); last the outline is turned by theta degrees clockwise (as the screen shows it) about
// the box's centre. The per-vertex value w does not shape the outline. Empty for fewer than two
// distinct points or non-finite numbers.
std::vector<ShapePoint> PlaceShapeOutline(std::span<const ShapeVertex> vertices, const ShapeBox& box, int32_t round,
                                          double thetaDegrees);

// An ellipse's outline as a polygon whose points lie on it, fine enough (about two pixels per
// edge) to lay a brush along; clockwise from the right-most point.
std::vector<ShapePoint> EllipseOutline(double cx, double cy, double rx, double ry);

// The box dragged from pixel (x0, y0) to pixel (x1, y1), both included. square makes the sides
// equal (the longer drag decides, the direction kept); fromCentre makes (x0, y0) the centre and
// (x1, y1) a corner.
Rect DraggedBox(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool square, bool fromCentre);

// Points rounded to whole pixels (pixel x spans x − 0.5 … x + 0.5 here) at full pressure, repeats
// and a last point equal to the first dropped, for DrawBrushPath.
std::vector<BrushPathPoint> ToBrushPath(std::span<const ShapePoint> outline);

// The corners of a polygon (pixels) as a shape definition: scaled into the unit square by their
// bounding box (a side of no extent puts every corner at 0 on it), w 0, type kShapeTypeOutline.
ShapeDefinition PolygonShapeDefinition(std::span<const std::pair<int32_t, int32_t>> corners);

// ---- painting -------------------------------------------------------------------------------

// The ellipse centred at (cx, cy) with radii rx, ry (target coordinates, pixel corners), always
// anti-aliased.
Rect FillEllipse(ImageSurface& target, double cx, double cy, double rx, double ry, uint32_t pixel);

// ---- settings -------------------------------------------------------------------------------

// "形状描画" and "塗りつぶし図形描画". The record is the shape to place (its corners, "ROUND",
// "THETA") and where it was placed last; it is stored under "Shape.Draw" or "Shape.Fill".
struct ShapeToolSettings {
  explicit ShapeToolSettings(bool isFilled = false);

  bool filled = false;  // which of the two tools; names the record's key, not stored itself
  ShapeRecord shape;
  std::string shapeFile;      // ShapeFile: the Ptv file the corners came from, empty for "四角形"
  bool antialias = true;      // AntiAlias: the fill's edge (an outline's edge is the brush's)
  bool roundCorners = false;  // RoundCorner: "角を丸める", by shape.round

  std::string_view RecordKey() const { return filled ? kShapeFillKey : kShapeDrawKey; }
  // The corners to place: the record's, the rectangle's when it has none.
  std::vector<ShapeVertex> Vertices() const;
  // Replaces the corners with a shape file's ("四角形" for an empty name). False, changing
  // nothing, when the file cannot be read or is no shape file.
  bool ChooseShape(const std::string& fileName);

  // The flags and the file name by key, then the record. Reading keeps the record when the
  // stored one is missing or rejected.
  void WriteToolState(ToolStateWriter& writer) const;
  void ReadToolState(ToolStateReader& reader);
};

// "多角形描画" and "塗りつぶし多角形".
struct PolygonToolSettings {
  bool antialias = true;  // AntiAlias: the fill's edge

  void WriteToolState(ToolStateWriter& writer) const;
  void ReadToolState(ToolStateReader& reader);
};

// The settings the option panels edit and the tools read at each shape.
ShapeToolSettings& ProgramShapeSettings(bool filled);
PolygonToolSettings& ProgramPolygonSettings(bool filled);

class ShapeToolState : public SettingsToolState<ShapeToolSettings> {
 public:
  explicit ShapeToolState(ShapeToolSettings& settings)
      : SettingsToolState(settings, settings.filled ? kShapeFillToolClassName : kShapeDrawToolClassName) {}
};

class PolygonToolState : public SettingsToolState<PolygonToolSettings> {
 public:
  PolygonToolState(PolygonToolSettings& settings, bool filled)
      : SettingsToolState(settings, filled ? kPolygonFillToolClassName : kPolygonDrawToolClassName) {}
};

// ---- tools ----------------------------------------------------------------------------------

// What the shape and the ellipse tools share: a box dragged from pen-down to pen-up (Esc gives
// it up), the outline shown meanwhile, the shape drawn at pen-up.
class DraggedShapeTool : public PaintObject {
 public:
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;
  std::vector<FeedbackPath> Feedback() const override;
  void SetColours(ColourRef foreground, ColourRef background) override;

 protected:
  DraggedShapeTool(Canvas& canvas, bool filled, std::function<BrushEngine*()> brush);
  // The box for a drag from (x0, y0) to (x1, y1), canvas pixels, with the event's flags.
  virtual Rect Box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t flags) const = 0;
  // The shape's outline in the box, canvas coordinates: pixel corners for a fill, the brush's
  // pixel positions for an outline.
  virtual std::vector<ShapePoint> Outline(const Rect& box) const = 0;
  // Fills the shape of box (target coordinates); the changed rectangle.
  virtual Rect Fill(ImageSurface& target, const Rect& box, uint32_t pixel) const = 0;
  // Told the box of each shape drawn.
  virtual void Placed(const Rect& /*box*/) {}

  bool Filled() const { return m_filled; }

 private:
  Canvas& m_canvas;
  bool m_filled;
  std::function<BrushEngine*()> m_brush;
  ColourRef m_foreground = MakeColourRef(0, 0, 0);
  bool m_dragging = false;
  uint32_t m_flags = 0;
  int32_t m_x0 = 0, m_y0 = 0, m_x1 = 0, m_y1 = 0;  // canvas pixels
};

// "形状描画" / "塗りつぶし図形描画": the settings' shape in the dragged box, rounded and turned as
// they say; the box becomes the record's place.
class ShapeTool : public DraggedShapeTool {
 public:
  ShapeTool(Canvas& canvas, bool filled, ShapeToolSettings& settings,
            std::function<BrushEngine*()> brush = ProgramBrush);
  std::string Name() const override { return Filled() ? kShapeFillToolName : kShapeDrawToolName; }

 protected:
  Rect Box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t flags) const override;
  std::vector<ShapePoint> Outline(const Rect& box) const override;
  Rect Fill(ImageSurface& target, const Rect& box, uint32_t pixel) const override;
  void Placed(const Rect& box) override;

 private:
  ShapeToolSettings& m_settings;
};

// "楕円描画" / "塗りつぶし楕円". They have no options: the fill's edge is always anti-aliased.
class EllipseTool : public DraggedShapeTool {
 public:
  EllipseTool(Canvas& canvas, bool filled, std::function<BrushEngine*()> brush = ProgramBrush);
  std::string Name() const override { return Filled() ? kEllipseFillToolName : kEllipseDrawToolName; }

 protected:
  Rect Box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t flags) const override;
  std::vector<ShapePoint> Outline(const Rect& box) const override;
  Rect Fill(ImageSurface& target, const Rect& box, uint32_t pixel) const override;
};

// "多角形描画" / "塗りつぶし多角形".
class PolygonTool : public PaintObject {
 public:
  using Corner = std::pair<int32_t, int32_t>;  // canvas pixels

  PolygonTool(Canvas& canvas, bool filled, PolygonToolSettings& settings,
              std::function<BrushEngine*()> brush = ProgramBrush);
  std::string Name() const override { return m_filled ? kPolygonFillToolName : kPolygonDrawToolName; }
  // Adds a corner, or closes the polygon (see the top of this file). A double-click reaches the
  // tool as a second press on the same pixel.
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  bool RightButtonDown(const ToolEvent& event) override;
  // Enter draws, Backspace takes the last corner back, Esc gives up. Enter's shape is made an
  // undo step here, as no pointer event follows it.
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;
  std::vector<FeedbackPath> Feedback() const override;
  void SetColours(ColourRef foreground, ColourRef background) override;

  // The polygon being clicked when it has three corners, else the last one drawn; what
  // "形状定義保存" saves.
  const std::vector<Corner>& CurrentOrLastPolygon() const;

 private:
  // Draws the polygon (three corners or more) on target; true when it was drawn. The corners
  // are cleared either way.
  bool Close(ImageSurface& target);

  Canvas& m_canvas;
  bool m_filled;
  PolygonToolSettings& m_settings;
  std::function<BrushEngine*()> m_brush;
  ColourRef m_foreground = MakeColourRef(0, 0, 0);
  std::vector<Corner> m_corners;
  std::vector<Corner> m_last;
  Corner m_pointer{0, 0};
};

}  // namespace varnel
