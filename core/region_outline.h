#pragma once
// The outline of a region as runs of pixel sides: wherever a selected pixel (a non-zero byte)
// meets an unselected one or the region's border. Found from the mask's rows a row at a time,
// so that a view can redraw the outline of a large selection at every paint.

#include <cstdint>
#include <vector>

#include "core/geometry.h"
#include "core/region.h"

namespace varnel {

struct OutlineRun {
  enum class Side : uint8_t { kTop, kBottom, kLeft, kRight };
  Side side;
  int32_t x, y;    // the run's first pixel
  int32_t length;  // pixels along the row (top, bottom) or down the column (left, right)
};

// The sides of the selected pixels within `within` (canvas coordinates, inclusive), each side
// in exactly one run, runs as long as they go inside `within`. Pixels beside `within` still
// decide whether a pixel at its border has a side there.
void RegionOutline(const Region& region, const Rect& within, std::vector<OutlineRun>& out);

}  // namespace varnel
