// IVNBrush, IVNBrushFactory and IVNDrawing: what a script draws with. Fills go through the
// shape rasteriser the drawing tools use; outlines are brush dabs spaced along the path.

#include <QJSEngine>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "macrolet/script_objects_p.h"
#include "tools/colour_select.h"
#include "tools/shape_raster.h"

namespace varnel::script {

namespace {

// Coordinates beyond this are no picture's: refused, so a path never runs for billions of dabs.
constexpr double kMaxCoordinate = 1 << 20;

bool Finite(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate; }

// Lays colour (0xAARRGGBB) over the target through the mask: the covered share of the
// colour's alpha goes over the pixel (straight alpha, source over).
void LayOver(ImageSurface& target, const CoverageMask& mask, uint32_t pixel, int32_t opa) {
  const uint32_t alpha = pixel >> 24;
  const Rect& b = mask.bounds;
  const int32_t width = b.Width();
  for (int32_t y = b.top; y <= b.bottom; ++y) {
    uint32_t* row = target.Row(y);
    if (row == nullptr) continue;
    const uint8_t* cov = mask.coverage.data() + static_cast<size_t>(y - b.top) * static_cast<size_t>(width);
    for (int32_t x = b.left; x <= b.right; ++x) {
      // 0…255: colour alpha × coverage × opa.
      const uint32_t sa = (alpha * cov[x - b.left] * static_cast<uint32_t>(opa) + 255u * 128u) / (255u * 256u);
      if (sa == 0) continue;
      const uint32_t d = row[x];
      const uint32_t da = d >> 24;
      const uint32_t rest = da * (255 - sa);  // destination's share × 255
      const uint32_t outA255 = sa * 255 + rest;
      uint32_t out = ((outA255 + 127) / 255) << 24;
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = (((pixel >> shift) & 0xFF) * sa * 255 + ((d >> shift) & 0xFF) * rest + outA255 / 2) / outA255;
        out |= c << shift;
      }
      row[x] = out;
    }
  }
  target.SetModified();
}

Rect SurfaceRect(const ImageSurface& s) { return Rect{0, 0, s.Width() - 1, s.Height() - 1}; }

// Dabs every `spacing` along a polyline, only where a dab can touch the picture.
class PathWalker {
 public:
  PathWalker(const Brush& brush, ImageSurface& target, bool antialias)
      : m_brush(brush), m_target(target), m_antialias(antialias), m_spacing(brush.Spacing()) {
    const double rx = brush.CX() / 2 + 1, ry = brush.CY() / 2 + 1;
    m_left = -rx;
    m_top = -ry;
    m_right = target.Width() + rx;
    m_bottom = target.Height() + ry;
  }
  void Walk(const std::vector<ShapePoint>& points, bool closed) {
    if (points.empty()) return;
    for (size_t i = 1; i < points.size(); ++i) Segment(points[i - 1], points[i]);
    if (closed && points.size() > 2) Segment(points.back(), points.front());
    // An open path ends where it was asked to, wherever the spacing left off.
    if (!closed && m_lastDab != m_distance) Stamp(points.back().x, points.back().y);
  }

 private:
  void Segment(ShapePoint a, ShapePoint b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    // The part of the segment near the picture (Liang–Barsky).
    double t0 = 0, t1 = 1;
    const auto clip = [&](double p, double q) {
      if (p == 0) return q >= 0;
      const double r = q / p;
      if (p < 0) {
        if (r > t1) return false;
        t0 = std::max(t0, r);
      } else {
        if (r < t0) return false;
        t1 = std::min(t1, r);
      }
      return true;
    };
    const bool inside = clip(-dx, a.x - m_left) && clip(dx, m_right - a.x) && clip(-dy, a.y - m_top) &&
                        clip(dy, m_bottom - a.y);
    if (inside && length > 0) {
      const double from = m_distance + t0 * length, to = m_distance + t1 * length;
      double next = m_next;
      if (next < from) next += std::ceil((from - next) / m_spacing) * m_spacing;
      for (; next <= to; next += m_spacing) {
        const double t = (next - m_distance) / length;
        Stamp(a.x + dx * t, a.y + dy * t);
        m_lastDab = next;
      }
    } else if (length == 0 && m_next <= m_distance && inside) {
      Stamp(a.x, a.y);
      m_lastDab = m_distance;
    }
    m_distance += length;
    if (m_next <= m_distance) m_next += (std::floor((m_distance - m_next) / m_spacing) + 1) * m_spacing;
  }
  void Stamp(double x, double y) { m_brush.Dab(m_target, x, y, 256, m_antialias); }

  const Brush& m_brush;
  ImageSurface& m_target;
  bool m_antialias;
  double m_spacing;
  double m_left, m_top, m_right, m_bottom;
  double m_distance = 0, m_next = 0, m_lastDab = -1;
};

// An ellipse through pixel centres as a polyline about a pixel apart.
std::vector<ShapePoint> EllipsePath(double cx, double cy, double rx, double ry) {
  const double perimeter = 2 * std::numbers::pi * std::sqrt((rx * rx + ry * ry) / 2);
  const int n = std::max(8, static_cast<int>(std::ceil(perimeter)));
  std::vector<ShapePoint> points(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * i / n;
    points[static_cast<size_t>(i)] = {cx + rx * std::cos(a), cy + ry * std::sin(a)};
  }
  return points;
}

}  // namespace

// ---- IVNBrush ----

Brush::Brush(Context& context, int32_t cx, int32_t cy, int32_t shape, int32_t gradient)
    : m_context(context), m_cx(cx), m_cy(cy), m_shape(shape), m_gradient(gradient), m_color(new class Color) {
  m_color->setParent(this);
}

void Brush::SetSize(double v, int32_t& size) {
  const int32_t n = ToInt32(v);
  if (n < 1 || n > kMaxSize) {
    m_context.ThrowFailure();
    return;
  }
  size = n;
}

void Brush::SetColor(QObject* color) {
  auto* c = qobject_cast<class Color*>(color);
  if (c == nullptr) {
    m_context.ThrowFailure();
    return;
  }
  m_color->value = c->value;
}

uint32_t Brush::Pixel() const { return SwapRedBlue(m_color->value); }

// Half a pixel at least, so a thin line leaves no gaps on diagonals.
double Brush::Spacing() const { return std::max(0.5, std::min(m_cx, m_cy) / 4.0); }

void Brush::Dab(ImageSurface& target, double x, double y, int32_t opa, bool antialias) const {
  opa = std::clamp(opa, 0, 256);
  if (opa == 0 || target.Row(0) == nullptr) return;
  ShapeCoverage shape;
  const double rx = m_cx / 2.0, ry = m_cy / 2.0;
  shape.AddEllipse(x, y, rx, ry);
  // A dab of one or two pixels is a pixel or two, not a faint disc.
  CoverageMask mask = shape.Render(SurfaceRect(target), antialias && m_cx >= 3 && m_cy >= 3);
  if (mask.IsEmpty()) return;
  if (m_shape != kSolid && m_gradient > 0) {
    const double start = 1.0 - std::min(m_gradient, 100) / 100.0;
    const Rect& b = mask.bounds;
    for (int32_t py = b.top; py <= b.bottom; ++py) {
      for (int32_t px = b.left; px <= b.right; ++px) {
        const double u = (px + 0.5 - x) / rx, v = (py + 0.5 - y) / ry;
        double d = m_shape == kRadial ? std::hypot(u, v) : (m_shape == kHorizontal ? (u + 1) / 2 : (v + 1) / 2);
        d = std::clamp(d, 0.0, 1.0);
        const double f = d <= start ? 1.0 : (1.0 - d) / (1.0 - start);
        uint8_t& c = mask.coverage[static_cast<size_t>(py - b.top) * static_cast<size_t>(b.Width()) +
                                   static_cast<size_t>(px - b.left)];
        c = static_cast<uint8_t>(std::lround(c * f));
      }
    }
  }
  if (m_opaque != 0)
    PaintCoverage(target, mask, Pixel(), (opa * 255 + 128) / 256);
  else
    LayOver(target, mask, Pixel(), opa);
}

int Brush::Put(QObject* image, double x, double y, double opa) {
  auto* img = qobject_cast<Image*>(image);
  if (img == nullptr || !Finite(x) || !Finite(y)) {
    m_context.ThrowFailure();
    return 0;
  }
  if (img->Surface() != nullptr) Dab(*img->Surface(), ToInt32(x) + 0.5, ToInt32(y) + 0.5, ToInt32(opa), true);
  return 0;
}

// ---- IVNBrushFactory ----

QObject* BrushFactory::CreateSolidBrush(double cx, double cy) {
  const int32_t w = ToInt32(cx), h = ToInt32(cy);
  if (w < 1 || h < 1 || w > Brush::kMaxSize || h > Brush::kMaxSize) {
    m_context.ThrowFailure();
    return nullptr;
  }
  return new Brush(m_context, w, h);
}

QObject* BrushFactory::CreateGradientBrush(double cx, double cy, double type, double gradient) {
  const int32_t w = ToInt32(cx), h = ToInt32(cy), t = ToInt32(type), g = ToInt32(gradient);
  if (w < 1 || h < 1 || w > Brush::kMaxSize || h > Brush::kMaxSize || t < Brush::kRadial || t > Brush::kVertical ||
      g < 0 || g > 100) {
    m_context.ThrowFailure();
    return nullptr;
  }
  return new Brush(m_context, w, h, t, g);
}

// ---- IVNDrawing ----

Drawing::Drawing(Context& context) : m_context(context), m_factory(new BrushFactory(context)) {
  m_factory->setParent(this);
}

QObject* Drawing::CreatePointArray() { return new PointArray(m_context); }

namespace {

struct Target {
  ImageSurface* surface = nullptr;
  const Brush* brush = nullptr;
  bool ok = false;
};

Target Resolve(Context& context, QObject* img, QObject* brush, std::initializer_list<double> coordinates) {
  auto* image = qobject_cast<Image*>(img);
  auto* b = qobject_cast<Brush*>(brush);
  bool finite = true;
  for (double c : coordinates) finite = finite && Finite(c);
  if (image == nullptr || b == nullptr || !finite) {
    context.ThrowFailure();
    return {};
  }
  ImageSurface* surface = image->Surface();
  return {surface != nullptr && surface->Row(0) != nullptr ? surface : nullptr, b, true};
}

std::vector<ShapePoint> PixelCentres(const PointArray& points) {
  std::vector<ShapePoint> out;
  out.reserve(points.Points().size());
  for (const Point* p : points.Points()) out.push_back({p->x + 0.5, p->y + 0.5});
  return out;
}

// Fills the shape in the brush's colour, laid over or replacing as the brush does.
void FillWith(ImageSurface& target, const Brush& brush, const ShapeCoverage& shape, bool antialias) {
  const CoverageMask mask = shape.Render(SurfaceRect(target), antialias);
  if (mask.IsEmpty()) return;
  if (brush.Opaque() != 0)
    PaintCoverage(target, mask, brush.Pixel());
  else
    LayOver(target, mask, brush.Pixel(), 256);
}

}  // namespace

int Drawing::Line(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag) {
  const Target t = Resolve(m_context, img, brush, {x0, y0, x1, y1});
  if (t.surface == nullptr) return 0;
  PathWalker(*t.brush, *t.surface, (ToInt32(flag) & 1) != 0)
      .Walk({{ToInt32(x0) + 0.5, ToInt32(y0) + 0.5}, {ToInt32(x1) + 0.5, ToInt32(y1) + 0.5}}, false);
  return 0;
}

int Drawing::Rect(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag) {
  const Target t = Resolve(m_context, img, brush, {x0, y0, x1, y1});
  if (t.surface == nullptr) return 0;
  const double l = ToInt32(x0) + 0.5, tp = ToInt32(y0) + 0.5, r = ToInt32(x1) + 0.5, b = ToInt32(y1) + 0.5;
  PathWalker(*t.brush, *t.surface, (ToInt32(flag) & 1) != 0).Walk({{l, tp}, {r, tp}, {r, b}, {l, b}}, true);
  return 0;
}

int Drawing::FillRect(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag) {
  const Target t = Resolve(m_context, img, brush, {x0, y0, x1, y1});
  if (t.surface == nullptr) return 0;
  const double l = std::min(ToInt32(x0), ToInt32(x1)), r = std::max(ToInt32(x0), ToInt32(x1)) + 1.0;
  const double tp = std::min(ToInt32(y0), ToInt32(y1)), b = std::max(ToInt32(y0), ToInt32(y1)) + 1.0;
  ShapeCoverage shape;
  const ShapePoint corners[] = {{l, tp}, {r, tp}, {r, b}, {l, b}};
  shape.AddPolygon(corners);
  FillWith(*t.surface, *t.brush, shape, (ToInt32(flag) & 1) != 0);
  return 0;
}

int Drawing::Ellipse(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag) {
  const Target t = Resolve(m_context, img, brush, {x0, y0, x1, y1});
  if (t.surface == nullptr) return 0;
  const double cx = (ToInt32(x0) + ToInt32(x1)) / 2.0 + 0.5, cy = (ToInt32(y0) + ToInt32(y1)) / 2.0 + 0.5;
  const double rx = std::abs(ToInt32(x1) - ToInt32(x0)) / 2.0, ry = std::abs(ToInt32(y1) - ToInt32(y0)) / 2.0;
  PathWalker(*t.brush, *t.surface, (ToInt32(flag) & 1) != 0).Walk(EllipsePath(cx, cy, rx, ry), true);
  return 0;
}

int Drawing::FillEllipse(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag) {
  const Target t = Resolve(m_context, img, brush, {x0, y0, x1, y1});
  if (t.surface == nullptr) return 0;
  // The ellipse fills the pixel rectangle between the two corners, both included.
  const double cx = (ToInt32(x0) + ToInt32(x1) + 1) / 2.0, cy = (ToInt32(y0) + ToInt32(y1) + 1) / 2.0;
  const double rx = (std::abs(ToInt32(x1) - ToInt32(x0)) + 1) / 2.0, ry = (std::abs(ToInt32(y1) - ToInt32(y0)) + 1) / 2.0;
  ShapeCoverage shape;
  shape.AddEllipse(cx, cy, rx, ry);
  FillWith(*t.surface, *t.brush, shape, (ToInt32(flag) & 1) != 0);
  return 0;
}

int Drawing::Polygon(QObject* img, QObject* pts, QObject* brush, double flag) {
  auto* points = qobject_cast<PointArray*>(pts);
  const Target t = Resolve(m_context, points != nullptr ? img : nullptr, brush, {});
  if (t.surface == nullptr) return 0;
  PathWalker(*t.brush, *t.surface, (ToInt32(flag) & 1) != 0).Walk(PixelCentres(*points), true);
  return 0;
}

int Drawing::FillPolygon(QObject* img, QObject* pts, QObject* brush, double flag) {
  auto* points = qobject_cast<PointArray*>(pts);
  const Target t = Resolve(m_context, points != nullptr ? img : nullptr, brush, {});
  if (t.surface == nullptr) return 0;
  ShapeCoverage shape;
  shape.AddPolygon(PixelCentres(*points));
  FillWith(*t.surface, *t.brush, shape, (ToInt32(flag) & 1) != 0);
  return 0;
}

int Drawing::Spline(QObject* img, QObject* pts, QObject* brush, double flag) {
  auto* points = qobject_cast<PointArray*>(pts);
  const Target t = Resolve(m_context, points != nullptr ? img : nullptr, brush, {});
  if (t.surface == nullptr) return 0;
  // A Catmull-Rom curve through every point, as cubic Béziers; the ends repeat their point.
  const std::vector<ShapePoint> p = PixelCentres(*points);
  std::vector<ShapePoint> path;
  if (!p.empty()) path.push_back(p.front());
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    const ShapePoint a = p[i > 0 ? i - 1 : i], b = p[i], c = p[i + 1], d = p[i + 2 < p.size() ? i + 2 : i + 1];
    FlattenCubic(b, {b.x + (c.x - a.x) / 6, b.y + (c.y - a.y) / 6}, {c.x - (d.x - b.x) / 6, c.y - (d.y - b.y) / 6}, c,
                 path);
  }
  PathWalker(*t.brush, *t.surface, (ToInt32(flag) & 1) != 0).Walk(path, false);
  return 0;
}

int Drawing::Fill(QObject* img, double x, double y, QObject* brush, double per) {
  const Target t = Resolve(m_context, img, brush, {x, y});
  if (t.surface == nullptr) return 0;
  // per: how far (per cent of the full range) a channel may stray from the clicked pixel's.
  const int32_t tolerance = std::clamp(ToInt32(per), 0, 100) * 255 / 100;
  const std::vector<uint8_t> selected =
      FillSelectMask(*t.surface, ToInt32(x), ToInt32(y), ColourMatch{ColourComponent::kRgb, tolerance});
  CoverageMask mask;
  mask.bounds = SurfaceRect(*t.surface);
  mask.coverage = selected;
  if (std::none_of(selected.begin(), selected.end(), [](uint8_t v) { return v != 0; })) return 0;
  if (t.brush->Opaque() != 0)
    PaintCoverage(*t.surface, mask, t.brush->Pixel());
  else
    LayOver(*t.surface, mask, t.brush->Pixel(), 256);
  return 0;
}

}  // namespace varnel::script
