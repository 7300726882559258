#pragma once
// The document's grid as geometry: where its lines run over the picture, and where
// "入力位置をそろえる" moves a point of tool input. Canvas coordinates throughout; a line at x
// runs along the left edge of pixel column x.
//
// The rectangular grid ("縦横グリッド") has vertical lines at originX + i × cellWidth and
// horizontal lines at originY + j × cellHeight (cell sides used as at least 1). The axis grid
// ("自由グリッド") has one family of parallel lines per axis: the lines at angle a degrees
// (counter-clockwise from the right as the screen shows it) through the origin and every
// interval pixels from it, measured square to the lines (interval used as at least 1).

#include <cstdint>
#include <vector>

#include "document/layer_file.h"
#include "platform/colour.h"

namespace varnel {

// Moves (x, y) onto the grid:
//   rectangular  to the nearest crossing of its lines, each coordinate on its own (a point half
//                way between two lines goes to the one on the right, respectively below);
//   axis grid    to the nearest point where lines of two axes that are not parallel cross; with
//                a single axis, or only parallel ones, to the nearest point on a line; with no
//                axis the point stays.
// The point found is rounded to the nearest pixel (halves up). Any settings are accepted.
void SnapToGrid(const GridSettings& grid, int32_t& x, int32_t& y);

// One line of the grid, clipped to a rectangle; colour is a colour reference 0x00BBGGRR.
struct GridLine {
  double x0, y0, x1, y1;
  ColourRef colour;
};

// The grid's lines that cross the rectangle left…right × top…bottom (canvas coordinates, pixel
// corners), clipped to it, family by family (the rectangular grid: vertical lines from the left,
// then horizontal ones from the top; the axis grid: each axis's lines in turn). A family whose
// lines lie less than minSpacing apart is left out: at that density it would hide the picture.
std::vector<GridLine> GridLinesIn(const GridSettings& grid, double left, double top, double right, double bottom,
                                  double minSpacing);

// Whether the view shows the grid at a zoom: shown, and with the zoom gate on only from the
// zoom threshold up.
bool GridVisibleAt(const GridSettings& grid, double zoom);

}  // namespace varnel
