#include "tools/region_shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace varnel {
namespace {

// The canvas rectangle, inclusive.
Rect CanvasRect(Size canvas) { return {0, 0, canvas.width - 1, canvas.height - 1}; }

// Pixel bounds (inclusive) of a box of pixel corners, clipped to the canvas; false when none.
bool PixelBox(double left, double top, double right, double bottom, Size canvas, Rect& box) {
  const double limit = 1e9;
  box = {static_cast<int32_t>(std::floor(std::clamp(left, -limit, limit))),
         static_cast<int32_t>(std::floor(std::clamp(top, -limit, limit))),
         static_cast<int32_t>(std::ceil(std::clamp(right, -limit, limit))) - 1,
         static_cast<int32_t>(std::ceil(std::clamp(bottom, -limit, limit))) - 1};
  box = box.Intersected(CanvasRect(canvas));
  return !box.IsEmpty();
}

// Bilinear sample of the region at (u, v) in its own pixel centres; 0 outside.
double Sample(const Region& region, double u, double v) {
  const double fu = std::floor(u), fv = std::floor(v);
  const int64_t i = static_cast<int64_t>(fu), j = static_cast<int64_t>(fv);
  const double a = u - fu, b = v - fv;
  auto at = [&](int64_t x, int64_t y) -> double {
    if (x < 0 || y < 0 || x >= region.Width() || y >= region.Height()) return 0.0;
    return region.Row(static_cast<int32_t>(y))[x];
  };
  return (at(i, j) * (1 - a) + at(i + 1, j) * a) * (1 - b) + (at(i, j + 1) * (1 - a) + at(i + 1, j + 1) * a) * b;
}

// Maps every pixel of the box through inverse (destination pixel centre → source point in canvas
// coordinates) and samples the source there.
template <typename Inverse>
void Resample(const Region& source, const Rect& box, Inverse inverse, Region& out) {
  Region result;
  if (result.Create(box, 0) != 0) {
    out.Clear();
    return;
  }
  for (int32_t y = box.top; y <= box.bottom; ++y) {
    uint8_t* row = result.Row(y - box.top);
    for (int32_t x = box.left; x <= box.right; ++x) {
      const auto [sx, sy] = inverse(x + 0.5, y + 0.5);
      const double value = Sample(source, sx - 0.5 - source.Left(), sy - 0.5 - source.Top());
      row[x - box.left] = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    }
  }
  result.TrimToContent();
  out.TakeFrom(result);
}

template <typename Forward>
void TransformedBox(const Region& source, Forward forward, Size canvas, Rect& box, bool& any) {
  double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
  const double xs[2] = {static_cast<double>(source.Left()), source.Right() + 1.0};
  const double ys[2] = {static_cast<double>(source.Top()), source.Bottom() + 1.0};
  for (double x : xs) {
    for (double y : ys) {
      const auto [fx, fy] = forward(x, y);
      left = std::min(left, fx);
      right = std::max(right, fx);
      top = std::min(top, fy);
      bottom = std::max(bottom, fy);
    }
  }
  any = std::isfinite(left) && std::isfinite(top) && std::isfinite(right) && std::isfinite(bottom) &&
        PixelBox(left, top, right, bottom, canvas, box);
}

}  // namespace

void RectangleRegion(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Size canvas, Region& out) {
  out.Clear();
  const Rect box = Rect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)}.Intersected(
      CanvasRect(canvas));
  if (!box.IsEmpty()) out.Create(box, 255);
}

std::vector<PointD> EllipseOutline(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const double left = std::min(x0, x1), right = std::max(x0, x1) + 1.0;
  const double top = std::min(y0, y1), bottom = std::max(y0, y1) + 1.0;
  const double cx = (left + right) / 2, cy = (top + bottom) / 2;
  const double rx = (right - left) / 2, ry = (bottom - top) / 2;
  // Enough vertices that no chord strays a quarter pixel from the curve.
  // A multiple of four keeps the outline as symmetric as the ellipse.
  const int32_t n =
      std::clamp(static_cast<int32_t>(std::ceil(2 * std::numbers::pi * std::sqrt(std::max(rx, ry) * 2) / 4)) * 4, 16, 4096);
  std::vector<PointD> points;
  points.reserve(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    const double a = 2 * std::numbers::pi * k / n;
    points.emplace_back(cx + rx * std::cos(a), cy + ry * std::sin(a));
  }
  return points;
}

void EllipseRegion(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Size canvas, Region& out) {
  PolygonRegion(EllipseOutline(x0, y0, x1, y1), canvas, out);
}

void PolygonRegion(const std::vector<PointD>& points, Size canvas, Region& out) {
  out.Clear();
  if (points.size() < 3) return;
  double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
  for (const auto& [x, y] : points) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
  }
  Rect box;
  if (!PixelBox(left, top, right, bottom, canvas, box)) return;
  Region result;
  if (result.Create(box, 0) != 0) return;
  const int32_t width = box.Width();
  std::vector<int32_t> cover(static_cast<size_t>(width));
  std::vector<double> crossings;
  const size_t n = points.size();
  for (int32_t y = box.top; y <= box.bottom; ++y) {
    std::fill(cover.begin(), cover.end(), 0);
    bool any = false;
    for (int k = 0; k < 4; ++k) {
      // Each of the four samples down the pixel weighs 64: a pixel covered by all makes 256.
      const double sy = y + (k + 0.5) / 4.0;
      crossings.clear();
      for (size_t i = 0; i < n; ++i) {
        const auto& [ax, ay] = points[i];
        const auto& [bx, by] = points[(i + 1) % n];
        if ((ay <= sy && sy < by) || (by <= sy && sy < ay)) crossings.push_back(ax + (sy - ay) * (bx - ax) / (by - ay));
      }
      std::sort(crossings.begin(), crossings.end());
      for (size_t c = 0; c + 1 < crossings.size(); c += 2) {
        const double a = std::max(crossings[c], static_cast<double>(box.left));
        const double b = std::min(crossings[c + 1], box.right + 1.0);
        if (b <= a) continue;
        any = true;
        const int32_t first = static_cast<int32_t>(std::floor(a)), last = static_cast<int32_t>(std::ceil(b)) - 1;
        for (int32_t x = first; x <= last; ++x) {
          const double covered = std::min(b, x + 1.0) - std::max(a, static_cast<double>(x));
          cover[static_cast<size_t>(x - box.left)] += static_cast<int32_t>(std::lround(covered * 64.0));
        }
      }
    }
    if (!any) continue;
    uint8_t* row = result.Row(y - box.top);
    for (int32_t x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(std::min(cover[static_cast<size_t>(x)], 255));
  }
  result.TrimToContent();
  out.TakeFrom(result);
}

void RotateRegion(const Region& source, double radians, double cx, double cy, Size canvas, Region& out) {
  if (source.IsEmpty() || !std::isfinite(radians)) {
    out.Clear();
    return;
  }
  const double c = std::cos(radians), s = std::sin(radians);
  auto forward = [&](double x, double y) {
    return PointD{cx + c * (x - cx) - s * (y - cy), cy + s * (x - cx) + c * (y - cy)};
  };
  auto inverse = [&](double x, double y) {
    return PointD{cx + c * (x - cx) + s * (y - cy), cy - s * (x - cx) + c * (y - cy)};
  };
  Rect box;
  bool any = false;
  TransformedBox(source, forward, canvas, box, any);
  if (!any) {
    out.Clear();
    return;
  }
  Resample(source, box, inverse, out);
}

void ScaleRegion(const Region& source, double sx, double sy, double cx, double cy, Size canvas, Region& out) {
  // A scale of (almost) nothing leaves nothing to select.
  if (source.IsEmpty() || !std::isfinite(sx) || !std::isfinite(sy) || std::abs(sx) < 1e-4 || std::abs(sy) < 1e-4) {
    out.Clear();
    return;
  }
  auto forward = [&](double x, double y) { return PointD{cx + (x - cx) * sx, cy + (y - cy) * sy}; };
  auto inverse = [&](double x, double y) { return PointD{cx + (x - cx) / sx, cy + (y - cy) / sy}; };
  Rect box;
  bool any = false;
  TransformedBox(source, forward, canvas, box, any);
  if (!any) {
    out.Clear();
    return;
  }
  Resample(source, box, inverse, out);
}

}  // namespace varnel
