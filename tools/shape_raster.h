#pragma once
// Coverage of filled shapes for the drawing tools: closed outlines (polygons, flattened curves,
// ellipses) turned into an 8-bit coverage mask. Anti-aliased coverage is the exact area of each
// pixel inside the outline, not a supersampled count; without anti-aliasing a pixel is inside
// when its centre is.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/geometry.h"
#include "core/surface.h"

namespace varnel {

struct ShapePoint {
  double x = 0;  // surface pixels; pixel (i, j) spans i … i + 1, j … j + 1
  double y = 0;
};

enum class FillRule { kNonZero, kEvenOdd };

struct CoverageMask {
  Rect bounds{0, 0, -1, -1};      // the pixels the mask spans, inclusive
  std::vector<uint8_t> coverage;  // bounds.Width() × bounds.Height(), row after row
  bool IsEmpty() const { return bounds.IsEmpty(); }
  // 0 outside the bounds.
  uint8_t At(int32_t x, int32_t y) const;
};

class ShapeCoverage {
 public:
  // A closed outline through the points (the last joins the first). Fewer than two points, or
  // non-finite coordinates, add nothing.
  void AddPolygon(std::span<const ShapePoint> points);
  // An ellipse centred at (cx, cy) with radii rx, ry turned by theta degrees (clockwise on
  // screen), flattened finely enough that no point strays by more than 1/32 pixel.
  void AddEllipse(double cx, double cy, double rx, double ry, double thetaDegrees = 0);
  bool IsEmpty() const { return m_edges.empty(); }
  // The outlines' pixel bounds (empty when there are none).
  Rect Bounds() const;
  // The coverage of everything added, within clip (inclusive; usually the target's rectangle).
  CoverageMask Render(const Rect& clip, bool antialias, FillRule rule = FillRule::kNonZero) const;

  // Coverage a band of rows at a time within bounds (inclusive, non-empty): rows(top, count)
  // answers where the band's rows go (bounds.Width() bytes each, back to back), done(top,
  // count, rows) is told once they are there. top counts from bounds.top.
  struct BandSink {
    std::function<uint8_t*(int32_t top, int32_t rows)> rows;
    std::function<void(int32_t top, int32_t rows, const uint8_t* coverage)> done;
  };
  void RenderBands(const Rect& bounds, bool antialias, FillRule rule, const BandSink& sink) const;

 private:
  struct Edge {
    double x0, y0, x1, y1;
  };
  std::vector<Edge> m_edges;
};

// A cubic Bézier from p0 to p3 flattened into points, appended to out without p0, close enough
// that no point of the curve lies more than 1/8 pixel from the polyline.
void FlattenCubic(ShapePoint p0, ShapePoint p1, ShapePoint p2, ShapePoint p3, std::vector<ShapePoint>& out);

// Paints pixel (0xAARRGGBB) through the mask into target with GetRect/SetRect, so a selection
// facade confines it, and marks the target modified. Each pixel's coverage is first scaled by
// opacity (0…255, rounded); coverage 255 replaces the pixel, 1…254 blends it as the selection
// does (RegionClippedImage::BlendCovered). Answers the changed rectangle, empty when nothing was
// painted.
Rect PaintCoverage(ImageSurface& target, const CoverageMask& mask, uint32_t pixel, int32_t opacity = 255);

// Render and PaintCoverage in one, a band of rows at a time, for shapes that need no mask of
// their own: the same pixels, without a mask the size of the shape.
Rect FillShape(ImageSurface& target, const ShapeCoverage& shape, bool antialias, FillRule rule, uint32_t pixel,
               int32_t opacity = 255);

// One closed outline filled as FillShape fills it; nothing for fewer than three points.
Rect FillOutline(ImageSurface& target, std::span<const ShapePoint> outline, uint32_t pixel, bool antialias,
                 FillRule rule = FillRule::kNonZero, int32_t opacity = 255);

}  // namespace varnel
