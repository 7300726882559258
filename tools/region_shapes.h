#pragma once
// Selection regions from geometry (rectangles, ellipses, polygons and free paths) and the
// selection's own moves: rotation and scaling with bilinear sampling, so soft edges stay soft.
// Coordinates are canvas pixels with pixel corners on whole numbers (x + 0.5 is the centre of
// pixel x). Every result is clipped to the canvas and trimmed to its content; nothing inside
// gives an empty region.

#include <cstdint>
#include <utility>
#include <vector>

#include "core/geometry.h"
#include "core/region.h"

namespace varnel {

using PointD = std::pair<double, double>;

// The pixels of the rectangle spanned by two pixels (both included), full strength.
void RectangleRegion(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Size canvas, Region& out);
// The ellipse inscribed in that rectangle, its edge anti-aliased.
void EllipseRegion(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Size canvas, Region& out);
// The inside of a closed polygon (even-odd), each pixel as covered as its area is: exact across a
// row, four samples down each pixel.
void PolygonRegion(const std::vector<PointD>& points, Size canvas, Region& out);

// The source turned by radians (clockwise on screen, y growing down) about (cx, cy), or scaled by
// (sx, sy) about (cx, cy); each destination pixel samples the source bilinearly at the place the
// move brings it from.
void RotateRegion(const Region& source, double radians, double cx, double cy, Size canvas, Region& out);
void ScaleRegion(const Region& source, double sx, double sy, double cx, double cy, Size canvas, Region& out);

// The closed outline of an ellipse or a rectangle as a feedback path (pixel corners).
std::vector<PointD> EllipseOutline(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

}  // namespace varnel
