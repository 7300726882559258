#include "tools/selection_tool.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "brush/brush_stroke.h"
#include "platform/host.h"
#include "tools/colour_select.h"

namespace varnel {
namespace {

constexpr std::array<const char*, kSelectionShapeCount> kShapeLabels = {
    "四角形選択", "多角形選択", "楕円選択", "自由選択", "塗りつぶし選択", "ファジー選択", "色域選択"};
constexpr std::array<const char*, kSelectionShapeCount> kShapePanelLabels = {"矩形", "多角形", "楕円", "自由",
                                                                            "塗りつぶし", "ファジー", "色域"};
constexpr std::array<const char*, kSelectionModeCount> kModeLabels = {"新規", "追加", "削除",
                                                                      "移動", "回転", "拡大・縮小"};
constexpr std::array<const char*, kSelectionModeCount> kModePanelLabels = {
    "新規領域", "領域の加算", "領域の減算", "領域の移動", "領域の回転", "拡大・縮小"};

// A closing click this near (canvas pixels) to the first corner closes a polygon.
constexpr double kCloseDistance = 4.0;

template <size_t N>
const char* Label(const std::array<const char*, N>& labels, int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < N ? labels[static_cast<size_t>(index)] : "";
}

using Settings = SelectionToolSettings;
const ToolStateKey<Settings> kKeys[] = {
    {"SelectShape", &Settings::shape},          {"SelectMode", &Settings::mode},
    {"History", &Settings::history},            {"MoveOperation", &Settings::moveOperation},
    {"UseSurface", &Settings::useSurface},      {"ColorComponent", &Settings::component},
    {"Tolerance", &Settings::tolerance},
};


std::unique_ptr<Region> CopyOf(const Region& region) {
  auto copy = std::make_unique<Region>();
  copy->CopyFrom(region);
  return copy;
}

PointD Centre(const Region& region) {
  return {(region.Left() + region.Right() + 1) / 2.0, (region.Top() + region.Bottom() + 1) / 2.0};
}

// What of the region lies on the canvas, trimmed.
void ClipToCanvas(Region& region, Size canvas) {
  if (region.IsEmpty()) return;
  const Rect inside = region.Bounds().Intersected({0, 0, canvas.width - 1, canvas.height - 1});
  if (inside == region.Bounds()) return;
  Region kept;
  if (inside.IsEmpty() || kept.Create(inside, 0) != 0) {
    region.Clear();
    return;
  }
  for (int32_t y = inside.top; y <= inside.bottom; ++y)
    region.ReadSpan(inside.left, y, inside.right, kept.Row(y - inside.top));
  kept.TrimToContent();
  region.TakeFrom(kept);
}

// The layer pixels under a selection travel with it: read them whole, clear them through the
// old selection when they move (not when they are copied), and lay them down through the new
// selection, which covers them as the old one did.
void CarryPixels(Canvas& canvas, const Region& from, const Region& to, int32_t dx, int32_t dy, bool clearSource) {
  ImageSurface* target = canvas.DrawingTarget();
  if (target == nullptr) return;
  const int32_t ox = canvas.EditOffsetX(), oy = canvas.EditOffsetY();
  const Rect source{from.Left() - ox, from.Top() - oy, from.Right() - ox, from.Bottom() - oy};
  const size_t count = static_cast<size_t>(source.Width()) * static_cast<size_t>(source.Height());
  std::vector<uint32_t> pixels(count);
  target->GetRect(source, pixels.data());
  if (clearSource) {
    std::vector<uint32_t> clear(count, 0);
    target->SetRect(source, clear.data());
  }
  // The facade follows the selection: bind it to where the pixels go.
  canvas.SetSelection(CopyOf(to));
  ImageSurface* moved = canvas.DrawingTarget();
  moved->SetRect({source.left + dx, source.top + dy, source.right + dx, source.bottom + dy}, pixels.data());
  moved->SetModified();
  canvas.Compose({from.Left(), from.Top(), from.Right(), from.Bottom()});
  canvas.Compose({from.Left() + dx, from.Top() + dy, from.Right() + dx, from.Bottom() + dy});
  BackedSurface(*moved).ClearDirty();
}

}  // namespace

const char* SelectionShapeLabel(int32_t shape) { return Label(kShapeLabels, shape); }
const char* SelectionShapePanelLabel(int32_t shape) { return Label(kShapePanelLabels, shape); }
const char* SelectionModeLabel(int32_t mode) { return Label(kModeLabels, mode); }
const char* SelectionModePanelLabel(int32_t mode) { return Label(kModePanelLabels, mode); }

SelectionToolSettings& ProgramSelectionSettings() {
  static SelectionToolSettings settings;
  return settings;
}

void SelectionToolSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<Settings>(writer, kKeys, *this);
}

void SelectionToolSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<Settings>(reader, kKeys, *this);
  shape = std::clamp(shape, 0, kSelectionShapeCount - 1);
  mode = std::clamp(mode, 0, kSelectionModeCount - 1);
  moveOperation = std::clamp(moveOperation, 0, 2);
  component = std::clamp(component, 0, 3);
  tolerance = std::clamp(tolerance, 0, 255);
}

void ApplySelectionMode(Canvas& canvas, int32_t mode, Region& region, bool undoable) {
  const Region* current = canvas.Selection();
  switch (mode) {
    case kSelectAdd: {
      if (region.IsEmpty()) return;
      if (current == nullptr) break;
      auto sum = CopyOf(*current);
      sum->Union(region);
      canvas.ReplaceSelection(std::move(sum), undoable);
      return;
    }
    case kSelectSubtract: {
      if (current == nullptr || region.IsEmpty()) return;
      auto rest = CopyOf(*current);
      rest->Subtract(region);
      rest->TrimToContent();
      canvas.ReplaceSelection(std::move(rest), undoable);
      return;
    }
    default:
      break;
  }
  auto replaced = std::make_unique<Region>();
  replaced->TakeFrom(region);
  canvas.ReplaceSelection(std::move(replaced), undoable);
}

void MoveSelection(Canvas& canvas, int32_t dx, int32_t dy, bool undoable) {
  const Region* current = canvas.Selection();
  if (current == nullptr || (dx == 0 && dy == 0)) return;
  auto moved = CopyOf(*current);
  moved->Offset(dx, dy);
  ClipToCanvas(*moved, canvas.GetSize());
  canvas.ReplaceSelection(std::move(moved), undoable);
}

void RotateSelection(Canvas& canvas, double degrees, bool undoable) {
  const Region* current = canvas.Selection();
  if (current == nullptr) return;
  const auto [cx, cy] = Centre(*current);
  auto turned = std::make_unique<Region>();
  RotateRegion(*current, degrees * std::numbers::pi / 180.0, cx, cy, canvas.GetSize(), *turned);
  canvas.ReplaceSelection(std::move(turned), undoable);
}

void FlipSelection(Canvas& canvas, bool horizontal, bool undoable) {
  const Region* current = canvas.Selection();
  if (current == nullptr) return;
  auto flipped = std::make_unique<Region>();
  if (horizontal) {
    Region::FlipHorizontal(*current, *flipped);
  } else {
    Region::FlipVertical(*current, *flipped);
  }
  canvas.ReplaceSelection(std::move(flipped), undoable);
}

void DropSelection(Canvas& canvas, bool undoable) { canvas.ReplaceSelection(nullptr, undoable); }

std::unique_ptr<Region> ColourShapeRegion(const Canvas& canvas, int32_t shape, int32_t x, int32_t y,
                                          const SelectionToolSettings& settings) {
  // Colours come from what the view shows, or from the active layer at its place.
  const ImageSurface* source = &canvas.Composite();
  int32_t offsetX = 0, offsetY = 0;
  if (!settings.useSurface) {
    source = canvas.ActiveLayer();
    if (source == nullptr) return nullptr;
    offsetX = canvas.ActiveLayer()->OffsetX();
    offsetY = canvas.ActiveLayer()->OffsetY();
  }
  const int32_t sx = x - offsetX, sy = y - offsetY;
  const Size size = source->GetSize();
  if (sx < 0 || sy < 0 || sx >= size.width || sy >= size.height) return nullptr;
  const ColourMatch match{static_cast<ColourComponent>(std::clamp(settings.component, 0, kColourComponentCount - 1)),
                          std::clamp(settings.tolerance, 0, 255)};
  std::vector<uint8_t> mask;
  if (shape == kSelectFill) {
    mask = FillSelectMask(*source, sx, sy, match);
  } else if (shape == kSelectFuzzy) {
    mask = FuzzySelectMask(*source, sx, sy, match);
  } else {
    uint32_t seed = 0;
    source->GetPixel(sx, sy, &seed);
    mask = ColourRangeMask(*source, ColourMatcher(match, seed), [](int32_t percent) {
      GetHost().SetStatusText(ColourRangeProgressText(percent));
    });
    GetHost().SetStatusText("");
  }
  auto region = std::make_unique<Region>();
  if (!mask.empty()) MaskToRegion(mask, size.width, size.height, offsetX, offsetY, *region);
  // The selection stays on the canvas.
  ClipToCanvas(*region, canvas.GetSize());
  return region;
}

SelectionTool::SelectionTool(Canvas& canvas, SelectionToolSettings& settings, std::function<int64_t()> nowMs)
    : m_canvas(canvas), m_settings(settings), m_now(nowMs ? std::move(nowMs) : std::function<int64_t()>(TickCountMs)) {}

PointD SelectionTool::CanvasPoint(const ToolEvent& event) const {
  return {static_cast<double>(event.x + m_canvas.EditOffsetX()), static_cast<double>(event.y + m_canvas.EditOffsetY())};
}

void SelectionTool::Finish(std::unique_ptr<Region> region) {
  if (!region) region = std::make_unique<Region>();
  ApplySelectionMode(m_canvas, m_gestureMode, *region, m_settings.history);
}

bool SelectionTool::ButtonDown(const ToolEvent& event) {
  const PointD point = CanvasPoint(event);
  m_current = point;
  m_constrain = (event.flags & kToolShift) != 0;
  if (m_gesture == Gesture::kPolygon) {
    // A click on the first corner closes the polygon; any other adds a corner.
    const auto [fx, fy] = m_path.front();
    if (m_path.size() >= 3 && std::hypot(point.first + 0.5 - fx, point.second + 0.5 - fy) <= kCloseDistance) {
      FinishPolygon();
    } else {
      m_path.emplace_back(point.first + 0.5, point.second + 0.5);
    }
    return true;
  }
  m_gestureShape = std::clamp(m_settings.shape, 0, kSelectionShapeCount - 1);
  m_gestureMode = std::clamp(m_settings.mode, 0, kSelectionModeCount - 1);
  m_anchor = point;
  if (m_gestureMode >= kSelectMove) {
    if (m_canvas.Selection() == nullptr) return false;
    m_gesture = Gesture::kTransform;
    return true;
  }
  switch (m_gestureShape) {
    case kSelectRectangle:
    case kSelectEllipse:
      m_gesture = Gesture::kDrag;
      return true;
    case kSelectPolygon:
      m_gesture = Gesture::kPolygon;
      m_path = {{point.first + 0.5, point.second + 0.5}};
      return true;
    case kSelectFree:
      m_gesture = Gesture::kFree;
      m_path = {{point.first + 0.5, point.second + 0.5}};
      return true;
    default: {
      // The colour shapes act on the click; a second click within 300 ms is the same click.
      if (!m_clicks.Accept(m_now())) return false;
      if (onBusy) onBusy(true);
      std::unique_ptr<Region> region = ColourShapeRegion(
          m_canvas, m_gestureShape, static_cast<int32_t>(point.first), static_cast<int32_t>(point.second), m_settings);
      if (onBusy) onBusy(false);
      if (region) Finish(std::move(region));
      return true;
    }
  }
}

bool SelectionTool::Move(const ToolEvent& event) {
  if (m_gesture == Gesture::kNone) return false;
  m_current = CanvasPoint(event);
  m_constrain = (event.flags & kToolShift) != 0;
  if (m_gesture == Gesture::kFree) {
    const PointD point{m_current.first + 0.5, m_current.second + 0.5};
    if (point != m_path.back()) m_path.push_back(point);
  }
  return true;
}

bool SelectionTool::ButtonUp(const ToolEvent& event) {
  if (m_gesture == Gesture::kNone || m_gesture == Gesture::kPolygon) return false;
  m_current = CanvasPoint(event);
  m_constrain = (event.flags & kToolShift) != 0;
  const Gesture gesture = m_gesture;
  m_gesture = Gesture::kNone;
  const Size size = m_canvas.GetSize();
  if (gesture == Gesture::kTransform) {
    FinishTransform(m_current);
    return true;
  }
  auto region = std::make_unique<Region>();
  if (gesture == Gesture::kFree) {
    PolygonRegion(m_path, size, *region);
    m_path.clear();
  } else {
    int32_t x0 = static_cast<int32_t>(m_anchor.first), y0 = static_cast<int32_t>(m_anchor.second);
    int32_t x1 = static_cast<int32_t>(m_current.first), y1 = static_cast<int32_t>(m_current.second);
    if (m_constrain) {
      // Shift keeps the sides equal: a square or a circle.
      const int32_t side = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
      x1 = x0 + (x1 >= x0 ? side : -side);
      y1 = y0 + (y1 >= y0 ? side : -side);
    }
    if (m_gestureShape == kSelectEllipse) {
      EllipseRegion(x0, y0, x1, y1, size, *region);
    } else {
      RectangleRegion(x0, y0, x1, y1, size, *region);
    }
  }
  Finish(std::move(region));
  return true;
}

bool SelectionTool::RightButtonDown(const ToolEvent&) {
  // The right button closes a polygon that has its corners.
  if (m_gesture != Gesture::kPolygon) return false;
  FinishPolygon();
  return true;
}

bool SelectionTool::KeyMessage(int32_t message, int32_t key, int32_t, uint32_t) {
  if (message != kToolKeyDown || m_gesture == Gesture::kNone) return false;
  if (key == kKeyEscape) {
    m_gesture = Gesture::kNone;
    m_path.clear();
    return true;
  }
  if (key == kKeyReturn && m_gesture == Gesture::kPolygon) {
    FinishPolygon();
    return true;
  }
  return false;
}

void SelectionTool::FinishPolygon() {
  m_gesture = Gesture::kNone;
  auto region = std::make_unique<Region>();
  PolygonRegion(m_path, m_canvas.GetSize(), *region);
  m_path.clear();
  Finish(std::move(region));
}

std::unique_ptr<Region> SelectionTool::TransformedSelection(const PointD& end) const {
  const Region* current = m_canvas.Selection();
  if (current == nullptr) return nullptr;
  const Size size = m_canvas.GetSize();
  const auto [cx, cy] = Centre(*current);
  auto result = std::make_unique<Region>();
  if (m_gestureMode == kSelectRotate) {
    const double angle = std::atan2(end.second + 0.5 - cy, end.first + 0.5 - cx) -
                         std::atan2(m_anchor.second + 0.5 - cy, m_anchor.first + 0.5 - cx);
    RotateRegion(*current, angle, cx, cy, size, *result);
  } else {
    // Scaling about the centre: the grabbed point follows the pointer; Shift keeps the
    // proportions.
    const double ax = m_anchor.first + 0.5 - cx, ay = m_anchor.second + 0.5 - cy;
    const double ex = end.first + 0.5 - cx, ey = end.second + 0.5 - cy;
    double sx = std::abs(ax) >= 1.0 ? ex / ax : 1.0;
    double sy = std::abs(ay) >= 1.0 ? ey / ay : 1.0;
    if (m_constrain) {
      const double a = std::hypot(ax, ay);
      sx = sy = a >= 1.0 ? std::hypot(ex, ey) / a : 1.0;
    }
    ScaleRegion(*current, sx, sy, cx, cy, size, *result);
  }
  return result;
}

void SelectionTool::FinishTransform(const PointD& end) {
  const Region* current = m_canvas.Selection();
  if (current == nullptr) return;
  if (m_gestureMode == kSelectMove) {
    const int32_t dx = static_cast<int32_t>(end.first - m_anchor.first);
    const int32_t dy = static_cast<int32_t>(end.second - m_anchor.second);
    if (dx == 0 && dy == 0) return;
    if (m_settings.moveOperation == kMoveRegionOnly) {
      MoveSelection(m_canvas, dx, dy, m_settings.history);
      return;
    }
    auto from = CopyOf(*current);
    auto to = CopyOf(*current);
    to->Offset(dx, dy);
    // The selection step first, then the pixels (recorded by the canvas after the event); the
    // pixels are laid through the whole moved region, which is clipped afterwards.
    m_canvas.ReplaceSelection(CopyOf(*to), m_settings.history);
    m_canvas.SetSelection(CopyOf(*from));
    CarryPixels(m_canvas, *from, *to, dx, dy, m_settings.moveOperation == kMoveCarryPixels);
    ClipToCanvas(*to, m_canvas.GetSize());
    m_canvas.SetSelection(std::move(to));
    return;
  }
  std::unique_ptr<Region> result = TransformedSelection(end);
  if (result) m_canvas.ReplaceSelection(std::move(result), m_settings.history);
}

std::vector<FeedbackPath> SelectionTool::Feedback() const {
  std::vector<FeedbackPath> paths;
  switch (m_gesture) {
    case Gesture::kNone:
      break;
    case Gesture::kDrag: {
      int32_t x0 = static_cast<int32_t>(m_anchor.first), y0 = static_cast<int32_t>(m_anchor.second);
      int32_t x1 = static_cast<int32_t>(m_current.first), y1 = static_cast<int32_t>(m_current.second);
      if (m_constrain) {
        const int32_t side = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        x1 = x0 + (x1 >= x0 ? side : -side);
        y1 = y0 + (y1 >= y0 ? side : -side);
      }
      if (m_gestureShape == kSelectEllipse) {
        paths.push_back({EllipseOutline(x0, y0, x1, y1), true});
      } else {
        const double l = std::min(x0, x1), t = std::min(y0, y1), r = std::max(x0, x1) + 1.0, b = std::max(y0, y1) + 1.0;
        paths.push_back({{{l, t}, {r, t}, {r, b}, {l, b}}, true});
      }
      break;
    }
    case Gesture::kPolygon: {
      // The corners so far and the open edge to the pointer.
      FeedbackPath path{m_path, false};
      path.points.emplace_back(m_current.first + 0.5, m_current.second + 0.5);
      paths.push_back(std::move(path));
      break;
    }
    case Gesture::kFree:
      paths.push_back({m_path, false});
      break;
    case Gesture::kTransform: {
      const Region* current = m_canvas.Selection();
      if (current == nullptr) break;
      // The selection's box as the move would place it.
      const double l = current->Left(), t = current->Top(), r = current->Right() + 1.0, b = current->Bottom() + 1.0;
      std::vector<PointD> corners = {{l, t}, {r, t}, {r, b}, {l, b}};
      const auto [cx, cy] = Centre(*current);
      const double ex = m_current.first + 0.5, ey = m_current.second + 0.5;
      const double ax = m_anchor.first + 0.5, ay = m_anchor.second + 0.5;
      for (auto& [x, y] : corners) {
        if (m_gestureMode == kSelectMove) {
          x += std::trunc(ex - ax);
          y += std::trunc(ey - ay);
        } else if (m_gestureMode == kSelectRotate) {
          const double a = std::atan2(ey - cy, ex - cx) - std::atan2(ay - cy, ax - cx);
          const double dx = x - cx, dy = y - cy;
          x = cx + std::cos(a) * dx - std::sin(a) * dy;
          y = cy + std::sin(a) * dx + std::cos(a) * dy;
        } else {
          double sx = std::abs(ax - cx) >= 1.0 ? (ex - cx) / (ax - cx) : 1.0;
          double sy = std::abs(ay - cy) >= 1.0 ? (ey - cy) / (ay - cy) : 1.0;
          if (m_constrain) {
            const double a = std::hypot(ax - cx, ay - cy);
            sx = sy = a >= 1.0 ? std::hypot(ex - cx, ey - cy) / a : 1.0;
          }
          x = cx + (x - cx) * sx;
          y = cy + (y - cy) * sy;
        }
      }
      paths.push_back({std::move(corners), true});
      break;
    }
  }
  return paths;
}

}  // namespace varnel
