#include "tools/shape_tools.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <numbers>

#include "platform/program_folder.h"

namespace varnel {
namespace {

constexpr Rect kNothing{0, 0, -1, -1};

// Far enough outside any surface that clamping there changes no pixel, and small enough that
// pixel arithmetic on it cannot overflow.
constexpr double kCoordinateLimit = 1 << 28;

bool SamePoint(const ShapePoint& a, const ShapePoint& b) { return a.x == b.x && a.y == b.y; }

int32_t ClampToInt(int64_t value) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The corner c between prev and next cut back by share of half the shorter edge, the cut
// bridged by the quadratic prev-side point, c, next-side point (as the equivalent cubic).
void AppendRoundedCorner(const ShapePoint& prev, const ShapePoint& c, const ShapePoint& next, double share,
                         std::vector<ShapePoint>& out) {
  const double toPrev = std::hypot(prev.x - c.x, prev.y - c.y);
  const double toNext = std::hypot(next.x - c.x, next.y - c.y);
  const double cut = share * std::min(toPrev, toNext) / 2;
  const ShapePoint a{c.x + (prev.x - c.x) * cut / toPrev, c.y + (prev.y - c.y) * cut / toPrev};
  const ShapePoint b{c.x + (next.x - c.x) * cut / toNext, c.y + (next.y - c.y) * cut / toNext};
  out.push_back(a);
  const ShapePoint c1{a.x + (c.x - a.x) * 2 / 3, a.y + (c.y - a.y) * 2 / 3};
  const ShapePoint c2{b.x + (c.x - b.x) * 2 / 3, b.y + (c.y - b.y) * 2 / 3};
  FlattenCubic(a, c1, c2, b, out);
}

std::vector<ShapePoint> Shifted(std::vector<ShapePoint> points, double dx, double dy) {
  for (ShapePoint& p : points) {
    p.x += dx;
    p.y += dy;
  }
  return points;
}

FeedbackPath ToFeedback(std::span<const ShapePoint> points, double dx, double dy) {
  FeedbackPath path;
  path.closed = true;
  path.points.reserve(points.size());
  for (const ShapePoint& p : points) path.points.emplace_back(p.x + dx, p.y + dy);
  return path;
}

using ShapeSettings = ShapeToolSettings;
const ToolStateKey<ShapeSettings> kShapeKeys[] = {
    {"AntiAlias", &ShapeSettings::antialias},
    {"RoundCorner", &ShapeSettings::roundCorners},
    {"ShapeFile", &ShapeSettings::shapeFile},
};

using PolygonSettings = PolygonToolSettings;
const ToolStateKey<PolygonSettings> kPolygonKeys[] = {
    {"AntiAlias", &PolygonSettings::antialias},
};

}  // namespace

// ---- geometry -------------------------------------------------------------------------------

std::vector<ShapeVertex> RectangleVertices() { return {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}, {0, 1, 0, 0}}; }

std::vector<ShapePoint> PlaceShapeOutline(std::span<const ShapeVertex> vertices, const ShapeBox& box, int32_t round,
                                          double thetaDegrees) {
  for (double value : {box.left, box.top, box.width, box.height, thetaDegrees})
    if (!std::isfinite(value)) return {};
  std::vector<ShapePoint> corners;
  corners.reserve(vertices.size());
  for (const ShapeVertex& v : vertices) {
    const ShapePoint p{box.left + v.x * box.width, box.top + v.y * box.height};
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return {};
    if (corners.empty() || !SamePoint(p, corners.back())) corners.push_back(p);
  }
  while (corners.size() > 1 && SamePoint(corners.back(), corners.front())) corners.pop_back();
  if (corners.size() < 2) return {};

  std::vector<ShapePoint> outline;
  const int32_t share = std::clamp(round, 0, kShapeMaxRound);
  if (share == 0 || corners.size() < 3) {
    outline = std::move(corners);
  } else {
    const size_t n = corners.size();
    for (size_t i = 0; i < n; ++i)
      AppendRoundedCorner(corners[(i + n - 1) % n], corners[i], corners[(i + 1) % n], share / 100.0, outline);
  }

  if (thetaDegrees != 0) {
    // y grows downward, so the usual rotation turns clockwise on the screen.
    const double radians = thetaDegrees * std::numbers::pi / 180;
    const double c = std::cos(radians), s = std::sin(radians);
    const double cx = box.left + box.width / 2, cy = box.top + box.height / 2;
    for (ShapePoint& p : outline) {
      const double dx = p.x - cx, dy = p.y - cy;
      p = {cx + dx * c - dy * s, cy + dx * s + dy * c};
    }
  }
  return outline;
}

std::vector<ShapePoint> EllipseOutline(double cx, double cy, double rx, double ry) {
  for (double value : {cx, cy, rx, ry})
    if (!std::isfinite(value) || std::abs(value) > kCoordinateLimit) return {};
  rx = std::abs(rx);
  ry = std::abs(ry);
  // π r edges of about two pixels each stray at most 1 / (2 r) pixel from the curve.
  const int32_t count = static_cast<int32_t>(std::clamp(std::ceil(std::numbers::pi * std::max(rx, ry)), 8.0, 65536.0));
  std::vector<ShapePoint> points;
  points.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const double angle = 2 * std::numbers::pi * i / count;
    points.push_back({cx + rx * std::cos(angle), cy + ry * std::sin(angle)});
  }
  return points;
}

Rect DraggedBox(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool square, bool fromCentre) {
  int64_t dx = int64_t{x1} - x0, dy = int64_t{y1} - y0;
  if (square) {
    const int64_t side = std::max(std::abs(dx), std::abs(dy));
    dx = dx < 0 ? -side : side;
    dy = dy < 0 ? -side : side;
  }
  if (fromCentre) {
    const int64_t ax = std::abs(dx), ay = std::abs(dy);
    return {ClampToInt(x0 - ax), ClampToInt(y0 - ay), ClampToInt(x0 + ax), ClampToInt(y0 + ay)};
  }
  return Rect{x0, y0, ClampToInt(x0 + dx), ClampToInt(y0 + dy)}.Normalized();
}

std::vector<BrushPathPoint> ToBrushPath(std::span<const ShapePoint> outline) {
  std::vector<BrushPathPoint> path;
  path.reserve(outline.size());
  for (const ShapePoint& p : outline) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return {};
    const BrushPathPoint point{
        static_cast<int32_t>(std::floor(std::clamp(p.x, -kCoordinateLimit, kCoordinateLimit) + 0.5)),
        static_cast<int32_t>(std::floor(std::clamp(p.y, -kCoordinateLimit, kCoordinateLimit) + 0.5)), 256};
    if (path.empty() || point.x != path.back().x || point.y != path.back().y) path.push_back(point);
  }
  // The closed path returns to the first point by itself.
  while (path.size() > 1 && path.back().x == path.front().x && path.back().y == path.front().y) path.pop_back();
  return path;
}

ShapeDefinition PolygonShapeDefinition(std::span<const std::pair<int32_t, int32_t>> corners) {
  ShapeDefinition definition;
  definition.type = kShapeTypeOutline;
  if (corners.empty()) return definition;
  int32_t minX = corners[0].first, maxX = minX, minY = corners[0].second, maxY = minY;
  for (const auto& [x, y] : corners) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  const double width = static_cast<double>(maxX) - minX, height = static_cast<double>(maxY) - minY;
  for (const auto& [x, y] : corners)
    definition.vertices.push_back({width > 0 ? (x - minX) / width : 0, height > 0 ? (y - minY) / height : 0, 0, 0});
  return definition;
}

// ---- painting -------------------------------------------------------------------------------

Rect FillEllipse(ImageSurface& target, double cx, double cy, double rx, double ry, uint32_t pixel) {
  ShapeCoverage coverage;
  coverage.AddEllipse(cx, cy, rx, ry);
  if (coverage.IsEmpty()) return kNothing;
  return FillShape(target, coverage, true, FillRule::kNonZero, pixel);
}

// ---- settings -------------------------------------------------------------------------------

ShapeToolSettings::ShapeToolSettings(bool isFilled) : filled(isFilled) { shape.vertices = RectangleVertices(); }

std::vector<ShapeVertex> ShapeToolSettings::Vertices() const {
  return shape.vertices.empty() ? RectangleVertices() : shape.vertices;
}

bool ShapeToolSettings::ChooseShape(const std::string& fileName) {
  if (fileName.empty()) {
    shape.vertices = RectangleVertices();
    shapeFile.clear();
    return true;
  }
  // A name from the list, never a path that leaves the folder.
  if (fileName.find('/') != std::string::npos || fileName == "." || fileName == "..") return false;
  ShapeDefinition definition;
  try {
    ReadShapeFile(ReadablePath("Ptv/" + fileName), definition);
  } catch (const std::exception&) {
    return false;
  }
  if (definition.vertices.size() < 2) return false;
  shape.vertices = std::move(definition.vertices);
  shapeFile = fileName;
  return true;
}

void ShapeToolSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<ShapeSettings>(writer, kShapeKeys, *this);
  WriteShapeRecord(writer, RecordKey(), shape);
}

void ShapeToolSettings::ReadToolState(ToolStateReader& reader) {
  shapeFile.clear();
  ReadToolStateKeys<ShapeSettings>(reader, kShapeKeys, *this);
  ReadShapeRecord(reader, RecordKey(), shape);
}

void PolygonToolSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<PolygonSettings>(writer, kPolygonKeys, *this);
}

void PolygonToolSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<PolygonSettings>(reader, kPolygonKeys, *this);
}

ShapeToolSettings& ProgramShapeSettings(bool filled) {
  static ShapeToolSettings outline(false), fill(true);
  return filled ? fill : outline;
}

PolygonToolSettings& ProgramPolygonSettings(bool filled) {
  static PolygonToolSettings outline, fill;
  return filled ? fill : outline;
}

// ---- dragged shapes -------------------------------------------------------------------------

DraggedShapeTool::DraggedShapeTool(Canvas& canvas, bool filled, std::function<BrushEngine*()> brush)
    : m_canvas(canvas),
      m_filled(filled),
      m_brush(brush ? std::move(brush) : std::function<BrushEngine*()>(ProgramBrush)) {}

bool DraggedShapeTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr || (!m_filled && m_brush() == nullptr)) return false;
  m_dragging = true;
  m_flags = event.flags;
  m_x0 = m_x1 = event.x + m_canvas.EditOffsetX();
  m_y0 = m_y1 = event.y + m_canvas.EditOffsetY();
  return true;
}

bool DraggedShapeTool::Move(const ToolEvent& event) {
  if (!m_dragging) return false;
  m_flags = event.flags;
  m_x1 = event.x + m_canvas.EditOffsetX();
  m_y1 = event.y + m_canvas.EditOffsetY();
  return true;
}

bool DraggedShapeTool::ButtonUp(const ToolEvent& event) {
  if (!m_dragging) return false;
  Move(event);
  m_dragging = false;
  if (event.surface == nullptr) return false;
  ImageSurface& target = *event.surface;
  const Rect box = Box(m_x0, m_y0, m_x1, m_y1, m_flags);
  const int32_t ox = m_canvas.EditOffsetX(), oy = m_canvas.EditOffsetY();
  if (m_filled) {
    const Rect changed = Fill(target, box.Offset(-ox, -oy), ToPixel(m_foreground, 255));
    if (!changed.IsEmpty()) FinishTargetChange(m_canvas, target, changed);
  } else {
    BrushEngine* brush = m_brush();
    if (brush == nullptr) return false;
    const std::vector<BrushPathPoint> path = ToBrushPath(Shifted(Outline(box), -ox, -oy));
    DrawBrushPath(m_canvas, *brush, target, path, true);
  }
  Placed(box);
  return true;
}

bool DraggedShapeTool::KeyMessage(int32_t message, int32_t key, int32_t, uint32_t) {
  if (message != kToolKeyDown || key != kKeyEscape || !m_dragging) return false;
  m_dragging = false;
  return true;
}

std::vector<FeedbackPath> DraggedShapeTool::Feedback() const {
  if (!m_dragging) return {};
  // An outline's points are pixels; the view draws through their centres.
  const double centre = m_filled ? 0 : 0.5;
  const std::vector<ShapePoint> outline = Outline(Box(m_x0, m_y0, m_x1, m_y1, m_flags));
  if (outline.empty()) return {};
  return {ToFeedback(outline, centre, centre)};
}

void DraggedShapeTool::SetColours(ColourRef foreground, ColourRef) { m_foreground = foreground; }

ShapeTool::ShapeTool(Canvas& canvas, bool filled, ShapeToolSettings& settings, std::function<BrushEngine*()> brush)
    : DraggedShapeTool(canvas, filled, std::move(brush)), m_settings(settings) {}

Rect ShapeTool::Box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t flags) const {
  return DraggedBox(x0, y0, x1, y1, (flags & kToolShift) != 0, false);
}

std::vector<ShapePoint> ShapeTool::Outline(const Rect& box) const {
  // A fill spans the box's pixels edge to edge; the brush runs through its outermost pixels.
  const int32_t inset = Filled() ? 0 : 1;
  const ShapeBox placed{double(box.left), double(box.top), double(box.Width()) - inset, double(box.Height()) - inset};
  const std::vector<ShapeVertex> vertices = m_settings.Vertices();
  return PlaceShapeOutline(vertices, placed, m_settings.roundCorners ? m_settings.shape.round : 0,
                           m_settings.shape.theta);
}

Rect ShapeTool::Fill(ImageSurface& target, const Rect& box, uint32_t pixel) const {
  return FillOutline(target, Outline(box), pixel, m_settings.antialias, FillRule::kEvenOdd);
}

void ShapeTool::Placed(const Rect& box) {
  ShapeRecord& record = m_settings.shape;
  record.left = box.left;
  record.top = box.top;
  record.width = std::clamp(box.Width(), 0, kShapeMaxSize);
  record.height = std::clamp(box.Height(), 0, kShapeMaxSize);
  record.hasShape = true;
}

EllipseTool::EllipseTool(Canvas& canvas, bool filled, std::function<BrushEngine*()> brush)
    : DraggedShapeTool(canvas, filled, std::move(brush)) {}

Rect EllipseTool::Box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t flags) const {
  return DraggedBox(x0, y0, x1, y1, (flags & kToolShift) != 0, (flags & kToolControl) != 0);
}

std::vector<ShapePoint> EllipseTool::Outline(const Rect& box) const {
  if (Filled())
    return EllipseOutline((double(box.left) + box.right + 1) / 2, (double(box.top) + box.bottom + 1) / 2,
                          box.Width() / 2.0, box.Height() / 2.0);
  return EllipseOutline((double(box.left) + box.right) / 2, (double(box.top) + box.bottom) / 2, (box.Width() - 1) / 2.0,
                        (box.Height() - 1) / 2.0);
}

Rect EllipseTool::Fill(ImageSurface& target, const Rect& box, uint32_t pixel) const {
  return FillEllipse(target, (double(box.left) + box.right + 1) / 2, (double(box.top) + box.bottom + 1) / 2,
                     box.Width() / 2.0, box.Height() / 2.0, pixel);
}

// ---- polygon --------------------------------------------------------------------------------

PolygonTool::PolygonTool(Canvas& canvas, bool filled, PolygonToolSettings& settings,
                         std::function<BrushEngine*()> brush)
    : m_canvas(canvas),
      m_filled(filled),
      m_settings(settings),
      m_brush(brush ? std::move(brush) : std::function<BrushEngine*()>(ProgramBrush)) {}

bool PolygonTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr || (!m_filled && m_brush() == nullptr)) return false;
  const Corner point{event.x + m_canvas.EditOffsetX(), event.y + m_canvas.EditOffsetY()};
  m_pointer = point;
  if (m_corners.size() >= 3) {
    const double toFirst =
        std::hypot(double(point.first) - m_corners.front().first, double(point.second) - m_corners.front().second);
    // The second press of a double-click lands on the corner the first one made.
    if (toFirst <= kPolygonCloseDistance || point == m_corners.back()) return Close(*event.surface);
  }
  if (m_corners.empty() || point != m_corners.back()) m_corners.push_back(point);
  return true;
}

bool PolygonTool::Move(const ToolEvent& event) {
  m_pointer = {event.x + m_canvas.EditOffsetX(), event.y + m_canvas.EditOffsetY()};
  return !m_corners.empty();
}

bool PolygonTool::RightButtonDown(const ToolEvent& event) {
  if (m_corners.empty() || event.surface == nullptr) return false;
  Close(*event.surface);
  return true;
}

bool PolygonTool::KeyMessage(int32_t message, int32_t key, int32_t, uint32_t) {
  if (message != kToolKeyDown || m_corners.empty()) return false;
  switch (key) {
    case kKeyEscape:
      m_corners.clear();
      return true;
    case kKeyBack:
      m_corners.pop_back();
      return true;
    case kKeyReturn:
      if (ImageSurface* target = m_canvas.DrawingTarget(); target != nullptr && Close(*target)) {
        m_canvas.FinishToolChange();
      } else {
        m_corners.clear();
      }
      return true;
    default:
      return false;
  }
}

bool PolygonTool::Close(ImageSurface& target) {
  std::vector<Corner> corners = std::move(m_corners);
  m_corners.clear();
  if (corners.size() < 3) return false;
  const int32_t ox = m_canvas.EditOffsetX(), oy = m_canvas.EditOffsetY();
  if (m_filled) {
    // A corner is a pixel: the outline runs through the pixels' centres.
    std::vector<ShapePoint> outline;
    outline.reserve(corners.size());
    for (const auto& [x, y] : corners) outline.push_back({x - ox + 0.5, y - oy + 0.5});
    const Rect changed = FillOutline(target, outline, ToPixel(m_foreground, 255), m_settings.antialias, FillRule::kEvenOdd);
    if (!changed.IsEmpty()) FinishTargetChange(m_canvas, target, changed);
  } else {
    BrushEngine* brush = m_brush();
    if (brush == nullptr) return false;
    std::vector<BrushPathPoint> path;
    path.reserve(corners.size());
    for (const auto& [x, y] : corners) path.push_back({x - ox, y - oy, 256});
    DrawBrushPath(m_canvas, *brush, target, path, true);
  }
  m_last = std::move(corners);
  return true;
}

std::vector<FeedbackPath> PolygonTool::Feedback() const {
  if (m_corners.empty()) return {};
  FeedbackPath path;
  for (const auto& [x, y] : m_corners) path.points.emplace_back(x + 0.5, y + 0.5);
  path.points.emplace_back(m_pointer.first + 0.5, m_pointer.second + 0.5);
  path.closed = m_corners.size() >= 2;
  return {path};
}

void PolygonTool::SetColours(ColourRef foreground, ColourRef) { m_foreground = foreground; }

const std::vector<PolygonTool::Corner>& PolygonTool::CurrentOrLastPolygon() const {
  return m_corners.size() >= 3 ? m_corners : m_last;
}

}  // namespace varnel
