#include "tools/grid_snap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace varnel {
namespace {

// A family of parallel lines: the points P with n · (P − origin) = k × spacing for whole k.
// n is the unit normal (sin a, cos a) of the lines at angle a (the screen's y grows downwards,
// so the line's direction (cos a, −sin a) turns counter-clockwise as the eye sees it).
struct LineFamily {
  double nx, ny;
  double spacing;
  int64_t angle;  // degrees, 0…359
  ColourRef colour;
};

LineFamily FamilyOf(const GridAxis& axis) {
  const int64_t angle = ((int64_t{axis.angle} % 360) + 360) % 360;
  double s = 0.0, c = 1.0;
  // The right angles exactly, so that a grid of 0° and 90° axes is the rectangular grid.
  switch (angle) {
    case 0: s = 0.0, c = 1.0; break;
    case 90: s = 1.0, c = 0.0; break;
    case 180: s = 0.0, c = -1.0; break;
    case 270: s = -1.0, c = 0.0; break;
    default: {
      const double radians = static_cast<double>(angle) * std::numbers::pi / 180.0;
      s = std::sin(radians);
      c = std::cos(radians);
    }
  }
  return {s, c, static_cast<double>(std::max<int32_t>(axis.interval, 1)), angle, axis.colour};
}

bool Parallel(const LineFamily& a, const LineFamily& b) { return (a.angle - b.angle) % 180 == 0; }

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The nearest of origin + i × cell, halves up.
int64_t SnapCoordinate(int64_t v, int64_t origin, int64_t cell) {
  cell = std::max<int64_t>(cell, 1);
  return origin + FloorDiv(2 * (v - origin) + cell, 2 * cell) * cell;
}

int32_t ToPixel(double v) {
  const double rounded = std::floor(v + 0.5);
  return static_cast<int32_t>(std::clamp(rounded, double{std::numeric_limits<int32_t>::min()},
                                         double{std::numeric_limits<int32_t>::max()}));
}

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

struct Candidate {
  double x = 0.0, y = 0.0;
  double distance2 = std::numeric_limits<double>::infinity();
  void Offer(double px, double py, double qx, double qy) {
    const double d2 = (px - qx) * (px - qx) + (py - qy) * (py - qy);
    if (d2 < distance2) *this = {px, py, d2};
  }
};

// The crossing of two families nearest to q (relative to the origin). The crossings on one line
// of a lie dB / |det| apart, so the nearest on each line is found by rounding; the lines of a
// within the distance of the first candidate are all tried. a is the family with the wider
// spacing, which keeps that count near 2 / |det| + 1 (under 60 for axes one degree apart).
void NearestCrossing(const LineFamily& one, const LineFamily& other, double qx, double qy, Candidate& best) {
  const LineFamily& a = one.spacing >= other.spacing ? one : other;
  const LineFamily& b = one.spacing >= other.spacing ? other : one;
  const double det = a.nx * b.ny - a.ny * b.nx;
  // Along line k of a: P(k, l) = k × base + l × step.
  const double baseX = a.spacing * b.ny / det, baseY = -a.spacing * b.nx / det;
  const double stepX = -b.spacing * a.ny / det, stepY = b.spacing * a.nx / det;
  const double step2 = stepX * stepX + stepY * stepY;
  Candidate pair;
  auto tryLine = [&](double k) {
    const double px = k * baseX, py = k * baseY;
    const double l = std::floor(((qx - px) * stepX + (qy - py) * stepY) / step2);
    pair.Offer(px + l * stepX, py + l * stepY, qx, qy);
    pair.Offer(px + (l + 1) * stepX, py + (l + 1) * stepY, qx, qy);
  };
  const double along = a.nx * qx + a.ny * qy;
  const double nearest = std::floor(along / a.spacing + 0.5);
  tryLine(nearest);
  const double reach = std::sqrt(pair.distance2);
  const double first = std::ceil((along - reach) / a.spacing);
  const double last = std::floor((along + reach) / a.spacing);
  // The bound holds for every pair of whole-degree axes; the cap only guards against rounding.
  for (double k = first; k <= last && k - first < 4096; k += 1.0)
    if (k != nearest) tryLine(k);
  if (pair.distance2 < best.distance2) best = pair;
}

void SnapToAxisGrid(const GridSettings& grid, int32_t& x, int32_t& y) {
  if (grid.axes.empty()) return;
  std::vector<LineFamily> families;
  families.reserve(grid.axes.size());
  for (const GridAxis& axis : grid.axes) families.push_back(FamilyOf(axis));
  const double qx = static_cast<double>(x) - grid.originX, qy = static_cast<double>(y) - grid.originY;
  Candidate best;
  for (size_t i = 0; i < families.size(); ++i)
    for (size_t j = i + 1; j < families.size(); ++j)
      if (!Parallel(families[i], families[j])) NearestCrossing(families[i], families[j], qx, qy, best);
  if (best.distance2 == std::numeric_limits<double>::infinity()) {
    // No two axes cross: the foot of the perpendicular on the nearest line.
    for (const LineFamily& f : families) {
      const double along = f.nx * qx + f.ny * qy;
      const double off = along - std::floor(along / f.spacing + 0.5) * f.spacing;
      best.Offer(qx - f.nx * off, qy - f.ny * off, qx, qy);
    }
  }
  x = ToPixel(best.x + grid.originX);
  y = ToPixel(best.y + grid.originY);
}

// Clips the line through (px, py) in direction (ux, uy) to the rectangle; false when it misses.
bool ClipLine(double px, double py, double ux, double uy, double left, double top, double right, double bottom,
              GridLine& line) {
  double t0 = -std::numeric_limits<double>::infinity(), t1 = std::numeric_limits<double>::infinity();
  auto limit = [&](double p, double u, double lo, double hi) {
    if (u == 0.0) return p >= lo && p <= hi;
    double a = (lo - p) / u, b = (hi - p) / u;
    if (a > b) std::swap(a, b);
    t0 = std::max(t0, a);
    t1 = std::min(t1, b);
    return true;
  };
  if (!limit(px, ux, left, right) || !limit(py, uy, top, bottom) || !(t0 < t1)) return false;
  line.x0 = px + t0 * ux;
  line.y0 = py + t0 * uy;
  line.x1 = px + t1 * ux;
  line.y1 = py + t1 * uy;
  return true;
}

// More lines than this in one family cannot be meant for a screen.
constexpr double kMaxLinesPerFamily = 65536.0;

}  // namespace

void SnapToGrid(const GridSettings& grid, int32_t& x, int32_t& y) {
  if (grid.kind != 0) {
    SnapToAxisGrid(grid, x, y);
    return;
  }
  x = ClampToInt32(SnapCoordinate(x, grid.originX, grid.cellWidth));
  y = ClampToInt32(SnapCoordinate(y, grid.originY, grid.cellHeight));
}

std::vector<GridLine> GridLinesIn(const GridSettings& grid, double left, double top, double right, double bottom,
                                  double minSpacing) {
  std::vector<GridLine> lines;
  if (!(left < right) || !(top < bottom)) return lines;
  if (grid.kind == 0) {
    auto family = [&](int32_t cellSide, int32_t origin, double from, double to, bool vertical) {
      const double cell = std::max<int32_t>(cellSide, 1);
      if (cell < minSpacing) return;
      const double first = std::ceil((from - origin) / cell), last = std::floor((to - origin) / cell);
      if (last - first > kMaxLinesPerFamily) return;
      for (double i = first; i <= last; i += 1.0) {
        const double at = origin + i * cell;
        lines.push_back(vertical ? GridLine{at, top, at, bottom, grid.colour} : GridLine{left, at, right, at, grid.colour});
      }
    };
    family(grid.cellWidth, grid.originX, left, right, true);
    family(grid.cellHeight, grid.originY, top, bottom, false);
    return lines;
  }
  for (const GridAxis& axis : grid.axes) {
    const LineFamily f = FamilyOf(axis);
    if (f.spacing < minSpacing) continue;
    // The rectangle's corners measured along the normal give the range of lines that cross it.
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const double cx : {left, right})
      for (const double cy : {top, bottom}) {
        const double along = f.nx * (cx - grid.originX) + f.ny * (cy - grid.originY);
        lo = std::min(lo, along);
        hi = std::max(hi, along);
      }
    const double first = std::ceil(lo / f.spacing), last = std::floor(hi / f.spacing);
    if (last - first > kMaxLinesPerFamily) continue;
    for (double k = first; k <= last; k += 1.0) {
      GridLine line{0, 0, 0, 0, f.colour};
      const double px = grid.originX + f.nx * k * f.spacing, py = grid.originY + f.ny * k * f.spacing;
      if (ClipLine(px, py, f.ny, -f.nx, left, top, right, bottom, line)) lines.push_back(line);
    }
  }
  return lines;
}

bool GridVisibleAt(const GridSettings& grid, double zoom) {
  return grid.shown != 0 && (grid.zoomGate == 0 || zoom >= grid.zoomThreshold);
}

}  // namespace varnel
