#include "tools/curve_tool.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "brush/brush_tool.h"

namespace varnel {
namespace {

using Settings = CurveSettings;

const ToolStateKey<Settings> kKeys[] = {
    {"Mode", &Settings::mode},
    {"Close", &Settings::closed},
    {"Fill", &Settings::fill},
    {"AntiAlias", &Settings::antialias},
    {"Size", &Settings::size},
    {"Opacity", &Settings::opacity},
};
constexpr const char* kPressureMapKey = "PressureMap";

constexpr Rect kNothing{0, 0, -1, -1};
// Reach of a grab, half the side of an anchor's mark, and how far a freehand line may be
// simplified, in view pixels.
constexpr double kGrabReach = 6.0;
constexpr double kMarkHalfSide = 3.0;
constexpr double kFreehandTolerance = 2.0;
// Points of a brush path closer than this to the line through their neighbours change no dab.
constexpr double kBrushPathTolerance = 0.5;
// Pressure steps along a straight run, in units of the brush's dab spacing. The brush trails
// the pointer and lays a dab on every point it is walked to, so closer points would crowd dabs.
constexpr double kPressureStepsPerSpacing = 4.0;
// Pixel coordinates beyond this are no place on any picture.
constexpr double kFarAway = 1.0e9;

ShapePoint operator+(ShapePoint a, ShapePoint b) { return {a.x + b.x, a.y + b.y}; }
ShapePoint operator-(ShapePoint a, ShapePoint b) { return {a.x - b.x, a.y - b.y}; }
ShapePoint operator*(ShapePoint a, double k) { return {a.x * k, a.y * k}; }
bool operator==(ShapePoint a, ShapePoint b) { return a.x == b.x && a.y == b.y; }
double Length(ShapePoint v) { return std::hypot(v.x, v.y); }

// Distance from p to the segment a–b (to a when the segment has no length).
double DistanceToSegment(ShapePoint p, ShapePoint a, ShapePoint b) {
  const ShapePoint ab = b - a;
  const double length2 = ab.x * ab.x + ab.y * ab.y;
  if (length2 == 0) return Length(p - a);
  const double t = std::clamp(((p.x - a.x) * ab.x + (p.y - a.y) * ab.y) / length2, 0.0, 1.0);
  return Length(p - (a + ab * t));
}

int32_t RoundToPixel(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::floor(std::clamp(v, -kFarAway, kFarAway) + 0.5));
}

// A square (or a diamond, for a handle) of half side h around p (canvas pixels), for the view.
FeedbackPath Mark(ShapePoint p, double h, bool diamond) {
  const double x = p.x + 0.5, y = p.y + 0.5;
  if (diamond) return {{{x, y - h}, {x + h, y}, {x, y + h}, {x - h, y}}, true};
  return {{{x - h, y - h}, {x + h, y - h}, {x + h, y + h}, {x - h, y + h}}, true};
}

FeedbackPath Polyline(std::span<const ShapePoint> points, bool closed) {
  FeedbackPath path;
  path.closed = closed;
  path.points.reserve(points.size());
  for (const ShapePoint& p : points) path.points.emplace_back(p.x + 0.5, p.y + 0.5);
  return path;
}

// A new anchor, its handles to come from its neighbours.
CurveAnchor AnchorAt(ShapePoint p) {
  CurveAnchor anchor;
  anchor.point = anchor.in = anchor.out = p;
  return anchor;
}

bool HasInHandle(size_t i, size_t n, bool closed) { return i > 0 || (closed && n > 2); }
bool HasOutHandle(size_t i, size_t n, bool closed) { return i + 1 < n || (closed && n > 2); }

}  // namespace

// ---- settings ------------------------------------------------------------------------------

void CurveSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<Settings>(writer, kKeys, *this);
  writer.WriteText(kPressureMapKey, FormatPressureMap(pressureMap));
}

void CurveSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<Settings>(reader, kKeys, *this);
  mode = std::clamp(mode, kCurveModeAdd, kCurveModeFreehandDraw);
  size = std::clamp(size, 1, kCurveMaxSize);
  opacity = std::clamp(opacity, 0, kCurveMaxOpacity);
  std::string map;
  if (reader.ReadText(kPressureMapKey, map)) ParsePressureMap(map, pressureMap);
}

CurveSettings& ProgramCurveSettings() {
  static CurveSettings settings;
  return settings;
}

// ---- the pressure map ----------------------------------------------------------------------

std::string FormatPressureMap(const PressureMap& map) {
  std::string text;
  for (const PressureMapPoint& point : map) {
    if (!text.empty()) text += ';';
    text += std::to_string(point.position) + ',' + std::to_string(point.pressure);
  }
  return text;
}

bool ParsePressureMap(std::string_view text, PressureMap& map) {
  PressureMap points;
  while (!text.empty() && points.size() < static_cast<size_t>(kPressureMapMaxPoints)) {
    const size_t end = text.find(';');
    const std::string_view item = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    const size_t comma = item.find(',');
    if (comma == std::string_view::npos) continue;
    int32_t position = 0, pressure = 0;
    const auto [p1, e1] = std::from_chars(item.data(), item.data() + comma, position);
    const auto [p2, e2] = std::from_chars(item.data() + comma + 1, item.data() + item.size(), pressure);
    if (e1 != std::errc{} || e2 != std::errc{}) continue;
    points.push_back({std::clamp(position, 0, kPressureMapLength), std::clamp(pressure, 0, kFullPressure)});
  }
  if (points.empty()) return false;
  std::stable_sort(points.begin(), points.end(),
                   [](const PressureMapPoint& a, const PressureMapPoint& b) { return a.position < b.position; });
  map = std::move(points);
  return true;
}

int32_t PressureAt(const PressureMap& map, double t) {
  if (map.empty()) return kFullPressure;
  const double at = (std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0) * kPressureMapLength;
  double value = map.back().pressure;
  if (at <= map.front().position) {
    value = map.front().pressure;
  } else {
    for (size_t i = 0; i + 1 < map.size(); ++i) {
      const PressureMapPoint& a = map[i];
      const PressureMapPoint& b = map[i + 1];
      if (at > b.position) continue;
      value = b.position == a.position
                  ? b.pressure
                  : a.pressure + (b.pressure - a.pressure) * (at - a.position) / (b.position - a.position);
      break;
    }
  }
  return std::clamp(static_cast<int32_t>(std::floor(value + 0.5)), 0, kFullPressure);
}

// ---- the path ------------------------------------------------------------------------------

void CurveHandles(std::span<const CurveAnchor> anchors, size_t i, bool closed, ShapePoint& in, ShapePoint& out) {
  const size_t n = anchors.size();
  if (i >= n) return;
  const CurveAnchor& anchor = anchors[i];
  if (anchor.ownHandles) {
    in = anchor.in;
    out = anchor.out;
    return;
  }
  const bool wraps = closed && n > 2;
  const ShapePoint previous = i > 0 ? anchors[i - 1].point : (wraps ? anchors[n - 1].point : anchor.point);
  const ShapePoint next = i + 1 < n ? anchors[i + 1].point : (wraps ? anchors[0].point : anchor.point);
  // Catmull-Rom: the tangent is half the chord between the neighbours, a third of it a handle.
  const ShapePoint tangent = (next - previous) * (1.0 / 6.0);
  in = anchor.point - tangent;
  out = anchor.point + tangent;
}

std::vector<CubicSegment> CurveSegments(std::span<const CurveAnchor> anchors, bool closed) {
  const size_t n = anchors.size();
  std::vector<CubicSegment> segments;
  if (n < 2) return segments;
  std::vector<ShapePoint> ins(n), outs(n);
  for (size_t i = 0; i < n; ++i) CurveHandles(anchors, i, closed, ins[i], outs[i]);
  const size_t count = closed && n > 2 ? n : n - 1;
  segments.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t j = (i + 1) % n;
    segments.push_back({anchors[i].point, outs[i], ins[j], anchors[j].point});
  }
  return segments;
}

std::vector<ShapePoint> FlattenCurve(std::span<const CurveAnchor> anchors, bool closed) {
  std::vector<ShapePoint> points;
  if (anchors.empty()) return points;
  points.push_back(anchors.front().point);
  for (const CubicSegment& s : CurveSegments(anchors, closed)) FlattenCubic(s.p0, s.p1, s.p2, s.p3, points);
  return points;
}

std::vector<ShapePoint> SimplifyPolyline(std::span<const ShapePoint> points, double tolerance) {
  const size_t n = points.size();
  if (n <= 2) return {points.begin(), points.end()};
  std::vector<uint8_t> keep(n, 0);
  keep.front() = keep.back() = 1;
  // Spans still to look at; an explicit stack, as a long freehand line would recurse deep.
  std::vector<std::pair<size_t, size_t>> spans = {{0, n - 1}};
  while (!spans.empty()) {
    const auto [first, last] = spans.back();
    spans.pop_back();
    double farthest = -1;
    size_t at = first;
    for (size_t i = first + 1; i < last; ++i) {
      const double d = DistanceToSegment(points[i], points[first], points[last]);
      if (d > farthest) {
        farthest = d;
        at = i;
      }
    }
    // A NaN distance keeps the point too: it is not known to be on the line.
    if (at == first || farthest <= tolerance) continue;
    keep[at] = 1;
    spans.push_back({first, at});
    spans.push_back({at, last});
  }
  std::vector<ShapePoint> kept;
  for (size_t i = 0; i < n; ++i)
    if (keep[i]) kept.push_back(points[i]);
  return kept;
}

std::vector<BrushPathPoint> BrushPointsAlong(std::span<const ShapePoint> polyline, const PressureMap& map,
                                             double step) {
  std::vector<BrushPathPoint> path;
  const std::vector<ShapePoint> corners = SimplifyPolyline(polyline, kBrushPathTolerance);
  if (corners.empty()) return path;
  if (!(step >= 1.0)) step = 1.0;
  double total = 0;
  for (size_t i = 1; i < corners.size(); ++i) total += Length(corners[i] - corners[i - 1]);
  if (!std::isfinite(total)) return path;
  auto add = [&](ShapePoint p, double walked) {
    const BrushPathPoint point{RoundToPixel(p.x), RoundToPixel(p.y), PressureAt(map, total > 0 ? walked / total : 0)};
    if (path.empty() || path.back().x != point.x || path.back().y != point.y) path.push_back(point);
  };
  add(corners.front(), 0);
  double walked = 0;
  for (size_t i = 1; i < corners.size(); ++i) {
    const ShapePoint a = corners[i - 1], b = corners[i];
    const double length = Length(b - a);
    // A bounded count: the coordinates are clamped far beyond any picture by then anyway.
    const double pieces = std::clamp(std::ceil(length / step), 1.0, 1.0e6);
    for (int32_t k = 1; k <= static_cast<int32_t>(pieces); ++k) {
      const double f = k / pieces;
      add(a + (b - a) * f, walked + length * f);
    }
    walked += length;
  }
  return path;
}

ShapeDefinition NormalisedShape(std::span<const ShapePoint> polyline) {
  ShapeDefinition shape;
  size_t n = polyline.size();
  // A closed outline ends where it began; the file's outline closes itself.
  if (n > 2 && polyline.front() == polyline.back()) --n;
  if (n < 2) return shape;
  double left = polyline[0].x, right = left, top = polyline[0].y, bottom = top;
  for (size_t i = 1; i < n; ++i) {
    left = std::min(left, polyline[i].x);
    right = std::max(right, polyline[i].x);
    top = std::min(top, polyline[i].y);
    bottom = std::max(bottom, polyline[i].y);
  }
  const double width = right - left, height = bottom - top;
  shape.vertices.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    ShapeVertex v;
    v.x = width > 0 ? std::clamp((polyline[i].x - left) / width, 0.0, 1.0) : 0.0;
    v.y = height > 0 ? std::clamp((polyline[i].y - top) / height, 0.0, 1.0) : 0.0;
    shape.vertices.push_back(v);
  }
  return shape;
}

// ---- the tool --------------------------------------------------------------------------------

CurveTool::CurveTool(Canvas& canvas, CurveSettings& settings, std::function<BrushEngine*()> brush)
    : m_canvas(canvas),
      m_settings(settings),
      m_brush(brush ? std::move(brush) : std::function<BrushEngine*()>(ProgramBrush)) {}

bool CurveTool::IsType(const char* tag) const { return tag != nullptr && std::strcmp(tag, "CURVETOOL") == 0; }

void CurveTool::DrawCursor(DrawContext&, int32_t x, int32_t y, Rect* out, double zoom) {
  SetViewZoom(zoom);
  if (out != nullptr) *out = {x, y, x, y};
}

void CurveTool::SetViewZoom(double zoom) {
  if (std::isfinite(zoom) && zoom > 0) m_zoom = zoom;
}

double CurveTool::Reach() const { return std::max(kGrabReach / m_zoom, 1.0); }

bool CurveTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  const ShapePoint p{static_cast<double>(event.x) + m_canvas.EditOffsetX(),
                     static_cast<double>(event.y) + m_canvas.EditOffsetY()};
  m_drag = Drag::kNone;
  m_pulling = false;
  m_dragFrom = p;
  switch (std::clamp(m_settings.mode, kCurveModeAdd, kCurveModeFreehandDraw)) {
    case kCurveModeAdd:
      m_anchors.push_back(AnchorAt(p));
      m_drag = Drag::kNewAnchor;
      m_dragIndex = m_anchors.size() - 1;
      return true;
    case kCurveModeEdit: {
      // The nearest grip within reach; an anchor wins over a handle on top of it.
      const size_t n = m_anchors.size();
      const double reach = Reach();
      double best = HUGE_VAL;
      auto consider = [&](ShapePoint grip, Drag kind, size_t i) {
        const double d = Length(grip - p);
        if (d <= reach && d < best) {
          best = d;
          m_drag = kind;
          m_dragIndex = i;
        }
      };
      for (size_t i = 0; i < n; ++i) consider(m_anchors[i].point, Drag::kAnchor, i);
      for (size_t i = 0; i < n; ++i) {
        ShapePoint in, out;
        CurveHandles(m_anchors, i, Closed(), in, out);
        if (HasInHandle(i, n, Closed())) consider(in, Drag::kInHandle, i);
        if (HasOutHandle(i, n, Closed())) consider(out, Drag::kOutHandle, i);
      }
      return m_drag != Drag::kNone;
    }
    default:
      m_freehandMode = m_settings.mode;
      m_freehand = {p};
      m_drag = Drag::kFreehand;
      return true;
  }
}

bool CurveTool::Move(const ToolEvent& event) {
  if (m_drag == Drag::kNone) return false;
  const ShapePoint p{static_cast<double>(event.x) + m_canvas.EditOffsetX(),
                     static_cast<double>(event.y) + m_canvas.EditOffsetY()};
  if (m_drag == Drag::kFreehand) {
    if (!(p == m_freehand.back())) m_freehand.push_back(p);
    return true;
  }
  if (m_dragIndex >= m_anchors.size()) {
    m_drag = Drag::kNone;
    return false;
  }
  CurveAnchor& anchor = m_anchors[m_dragIndex];
  switch (m_drag) {
    case Drag::kNewAnchor:
      // A click that wobbles a little stays a click; a real drag pulls the handles out.
      if (!m_pulling && Length(p - anchor.point) > Reach()) m_pulling = true;
      if (m_pulling) PullHandle(m_dragIndex, p, true, HandleRule::kSymmetric);
      break;
    case Drag::kAnchor: {
      const ShapePoint delta = p - m_dragFrom;
      anchor.point = anchor.point + delta;
      anchor.in = anchor.in + delta;
      anchor.out = anchor.out + delta;
      m_dragFrom = p;
      break;
    }
    default:
      // Shift breaks the tangent: the other handle stays where it is.
      PullHandle(m_dragIndex, p, m_drag == Drag::kOutHandle,
                 (event.flags & kToolShift) != 0 ? HandleRule::kFree : HandleRule::kSmooth);
      break;
  }
  return true;
}

void CurveTool::PullHandle(size_t index, ShapePoint pointer, bool outHandle, HandleRule rule) {
  CurveAnchor& anchor = m_anchors[index];
  // From now on the handles are the anchor's own, starting where the neighbours put them.
  if (!anchor.ownHandles) CurveHandles(m_anchors, index, Closed(), anchor.in, anchor.out);
  anchor.ownHandles = true;
  ShapePoint& pulled = outHandle ? anchor.out : anchor.in;
  ShapePoint& other = outHandle ? anchor.in : anchor.out;
  pulled = pointer;
  const ShapePoint v = pointer - anchor.point;
  const double length = Length(v);
  switch (rule) {
    case HandleRule::kSymmetric:
      other = anchor.point - v;
      break;
    case HandleRule::kSmooth:
      // The other handle turns with this one and keeps its length.
      if (length > 0) other = anchor.point - v * (Length(other - anchor.point) / length);
      break;
    case HandleRule::kFree:
      break;
  }
}

bool CurveTool::ButtonUp(const ToolEvent& event) {
  if (m_drag == Drag::kNone) return false;
  Move(event);
  const Drag drag = m_drag;
  m_drag = Drag::kNone;
  m_pulling = false;
  if (drag != Drag::kFreehand) return true;
  std::vector<ShapePoint> line = std::move(m_freehand);
  m_freehand.clear();
  if (m_freehandMode == kCurveModeFreehandAdd) {
    AddFreehandAnchors(line);
    return true;
  }
  const bool closed = Closed() && line.size() > 2;
  if (closed) line.push_back(line.front());
  return event.surface != nullptr && DrawPolyline(*event.surface, line);
}

void CurveTool::AddFreehandAnchors(std::span<const ShapePoint> line) {
  std::vector<ShapePoint> corners = SimplifyPolyline(line, std::max(kFreehandTolerance / m_zoom, 0.5));
  size_t first = 0;
  // A line that starts on the path's end continues it rather than doubling its last anchor.
  if (!m_anchors.empty() && !corners.empty() && Length(corners.front() - m_anchors.back().point) <= Reach())
    first = 1;
  for (size_t i = first; i < corners.size(); ++i) m_anchors.push_back(AnchorAt(corners[i]));
}

bool CurveTool::RightButtonDown(const ToolEvent&) {
  if (m_drag != Drag::kNone) return false;
  return Commit();
}

bool CurveTool::KeyMessage(int32_t message, int32_t key, int32_t, uint32_t) {
  if (message != kToolKeyDown) return false;
  switch (key) {
    case kKeyReturn:
      if (m_drag != Drag::kNone) return false;
      return Commit();
    case kKeyEscape:
      if (m_anchors.empty() && m_drag == Drag::kNone) return false;
      Discard();
      return true;
    case kKeyBack:
      if (m_drag != Drag::kNone) return false;
      return RemoveLastAnchor();
    default:
      return false;
  }
}

void CurveTool::SetColours(ColourRef foreground, ColourRef) { m_foreground = foreground; }

bool CurveTool::Commit() {
  ImageSurface* target = m_canvas.DrawingTarget();
  if (target == nullptr || m_anchors.empty() || m_drag != Drag::kNone) return false;
  if (!DrawPolyline(*target, FlattenCurve(m_anchors, Closed()))) return false;
  m_anchors.clear();
  return true;
}

void CurveTool::Discard() {
  m_anchors.clear();
  m_freehand.clear();
  m_drag = Drag::kNone;
  m_pulling = false;
}

bool CurveTool::RemoveLastAnchor() {
  if (m_anchors.empty()) return false;
  m_anchors.pop_back();
  return true;
}

ShapeDefinition CurveTool::PathShape() const { return NormalisedShape(FlattenCurve(m_anchors, Closed())); }

bool CurveTool::DrawPolyline(ImageSurface& target, std::span<const ShapePoint> polyline) {
  const double offsetX = m_canvas.EditOffsetX(), offsetY = m_canvas.EditOffsetY();
  if (m_settings.fill) {
    if (polyline.size() < 3) return false;
    // Anchors sit on pixel centres; the outline's coordinates are pixel corners.
    std::vector<ShapePoint> outline;
    outline.reserve(polyline.size());
    for (const ShapePoint& p : polyline) outline.push_back({p.x - offsetX + 0.5, p.y - offsetY + 0.5});
    const int32_t opacity = (std::clamp(m_settings.opacity, 0, kCurveMaxOpacity) * 255 + 128) >> 8;
    const Rect changed = FillOutline(target, outline, ToPixel(m_foreground, 255), m_settings.antialias, FillRule::kNonZero, opacity);
    FinishTargetChange(m_canvas, target, changed);
    return true;
  }
  BrushEngine* brush = m_brush();
  if (brush == nullptr || !brush->IsIdle() || polyline.empty()) return false;
  std::vector<ShapePoint> line;
  line.reserve(polyline.size());
  for (const ShapePoint& p : polyline) line.push_back({p.x - offsetX, p.y - offsetY});
  // The brush draws at the tool's size and opacity, its pressure from the map; what it had
  // before comes back afterwards.
  const Size size = brush->GetSize();
  const int32_t opacity = brush->BaseOpacity();
  const bool pressureOpacity = brush->PressureOpacity();
  const int32_t side = std::clamp(m_settings.size, 1, kCurveMaxSize);
  brush->SetBrushSize(side, side);
  brush->SetBaseOpacity(std::clamp(m_settings.opacity, 0, kCurveMaxOpacity));
  brush->SetPressureOpacity(true);
  // The distance the brush keeps between dabs at this size (BrushEngine's spacing rule).
  const double spacing = std::trunc(side * brush->Spacing());
  const std::vector<BrushPathPoint> points =
      BrushPointsAlong(line, m_settings.pressureMap, kPressureStepsPerSpacing * spacing);
  DrawBrushPath(m_canvas, *brush, target, points, false);
  brush->SetBrushSize(size.width, size.height);
  brush->SetBaseOpacity(opacity);
  brush->SetPressureOpacity(pressureOpacity);
  FinishTargetChange(m_canvas, target, kNothing);
  return true;
}

std::vector<FeedbackPath> CurveTool::Feedback() const {
  std::vector<FeedbackPath> paths;
  if (m_drag == Drag::kFreehand) {
    paths.push_back(Polyline(m_freehand, m_freehandMode == kCurveModeFreehandDraw && Closed()));
  }
  const size_t n = m_anchors.size();
  if (n == 0) return paths;
  if (n > 1) paths.push_back(Polyline(FlattenCurve(m_anchors, Closed()), false));
  const double h = kMarkHalfSide / m_zoom;
  for (const CurveAnchor& anchor : m_anchors) paths.push_back(Mark(anchor.point, h, false));
  // Handles are shown where they can be taken: while editing, and on an anchor being pulled.
  const bool editing = m_settings.mode == kCurveModeEdit;
  for (size_t i = 0; i < n; ++i) {
    if (!editing && !(m_drag == Drag::kNewAnchor && m_pulling && i == m_dragIndex)) continue;
    ShapePoint in, out;
    CurveHandles(m_anchors, i, Closed(), in, out);
    const ShapePoint at = m_anchors[i].point;
    if (HasInHandle(i, n, Closed()) || !editing) {
      paths.push_back(Polyline(std::vector<ShapePoint>{at, in}, false));
      paths.push_back(Mark(in, h, true));
    }
    if (HasOutHandle(i, n, Closed()) || !editing) {
      paths.push_back(Polyline(std::vector<ShapePoint>{at, out}, false));
      paths.push_back(Mark(out, h, true));
    }
  }
  return paths;
}

}  // namespace varnel
