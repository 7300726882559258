#include "core/region_outline.h"

#include <algorithm>
#include <cstring>

namespace varnel {
namespace {

constexpr uint64_t kAllOnes = 0x0101010101010101u;

// The first index from i on (before end) whose byte is not `skip` (0 or 1), eight at a time:
// most of a selection's rows are long stretches without a side.
int32_t SkipBytes(const uint8_t* bytes, int32_t i, int32_t end, uint8_t skip) {
  const uint64_t eight = skip != 0 ? kAllOnes : 0;
  uint64_t chunk;
  while (i + 8 <= end && (std::memcpy(&chunk, bytes + i, sizeof chunk), chunk == eight)) i += 8;
  while (i < end && bytes[i] == skip) ++i;
  return i;
}

uint64_t Eight(const uint8_t* bytes) {
  uint64_t chunk;
  std::memcpy(&chunk, bytes, sizeof chunk);
  return chunk;
}

// out[i] = 1 where mask[i] is not 0, else 0; eight bytes at a time.
void Selected(const uint8_t* mask, int32_t count, uint8_t* out) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const uint64_t x = Eight(mask + i);
    // The top bit of each byte is set when any of its bits is.
    const uint64_t ones = ((((x & kLow7) + kLow7) | x) >> 7) & kAllOnes;
    std::memcpy(out + i, &ones, sizeof ones);
  }
  for (; i < count; ++i) out[i] = mask[i] != 0;
}

// out[i] = (pixel[i] & !other[i]) ^ flip[i] over bytes of 0 and 1 (flip may be null), eight at
// a time: a selected pixel whose neighbour is not, changed where a run is open.
void Sides(const uint8_t* pixel, const uint8_t* other, const uint8_t* flip, int32_t count, uint8_t* out) {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const uint64_t sides = (Eight(pixel + i) & (Eight(other + i) ^ kAllOnes)) ^ (flip ? Eight(flip + i) : 0);
    std::memcpy(out + i, &sides, sizeof sides);
  }
  for (; i < count; ++i) out[i] = static_cast<uint8_t>((pixel[i] & (other[i] ^ 1)) ^ (flip ? flip[i] : 0));
}

}  // namespace

void RegionOutline(const Region& region, const Rect& within, std::vector<OutlineRun>& out) {
  out.clear();
  if (region.IsEmpty()) return;
  const Rect area = within.Normalized().Intersected(region.Bounds());
  if (area.IsEmpty()) return;
  const int32_t width = area.Width();
  const size_t padded = static_cast<size_t>(width) + 2;
  // Rows as 0 / 1 with the pixels beside the area at either end: above, here and below.
  std::vector<uint8_t> rows(padded * 3), side(static_cast<size_t>(width));
  uint8_t* above = rows.data();
  uint8_t* here = above + padded;
  uint8_t* below = here + padded;
  auto load = [&](int32_t y, uint8_t* row) {
    row[0] = region.At(area.left - 1, y) != 0;
    row[width + 1] = region.At(area.right + 1, y) != 0;
    const uint8_t* mask = region.Row(y - region.Top());
    if (mask == nullptr) {
      std::memset(row + 1, 0, static_cast<size_t>(width));
      return;
    }
    Selected(mask + (area.left - region.Left()), width, row + 1);
  };
  load(area.top - 1, above);
  load(area.top, here);

  // Columns' open runs of left and right sides: 1 while open, and the row each began on.
  std::vector<uint8_t> open[2] = {std::vector<uint8_t>(static_cast<size_t>(width)),
                                  std::vector<uint8_t>(static_cast<size_t>(width))};
  std::vector<int32_t> start[2] = {std::vector<int32_t>(static_cast<size_t>(width)),
                                   std::vector<int32_t>(static_cast<size_t>(width))};
  constexpr OutlineRun::Side kColumnSides[2] = {OutlineRun::Side::kLeft, OutlineRun::Side::kRight};

  for (int32_t y = area.top; y <= area.bottom; ++y) {
    load(y + 1, below);
    // Sides along the row: a selected pixel under (or over) an unselected one.
    for (const auto& [neighbour, kind] : {std::pair{above, OutlineRun::Side::kTop}, {below, OutlineRun::Side::kBottom}}) {
      Sides(here + 1, neighbour + 1, nullptr, width, side.data());
      for (int32_t i = SkipBytes(side.data(), 0, width, 0); i < width; i = SkipBytes(side.data(), i, width, 0)) {
        const int32_t first = i;
        i = SkipBytes(side.data(), i, width, 1);
        out.push_back({kind, area.left + first, y, i - first});
      }
    }
    // Sides down the columns: a run opens where a column's side begins and closes where it stops.
    for (int c = 0; c < 2; ++c) {
      const uint8_t* beside = c == 0 ? here : here + 2;
      uint8_t* isOpen = open[c].data();
      Sides(here + 1, beside, isOpen, width, side.data());
      for (int32_t i = SkipBytes(side.data(), 0, width, 0); i < width; i = SkipBytes(side.data(), i + 1, width, 0)) {
        int32_t& began = start[c][static_cast<size_t>(i)];
        if (isOpen[i] == 0) {
          began = y;
        } else {
          out.push_back({kColumnSides[c], area.left + i, began, y - began});
        }
        isOpen[i] ^= 1;
      }
    }
    std::swap(above, here);
    std::swap(here, below);
  }
  for (int c = 0; c < 2; ++c)
    for (int32_t i = 0; i < width; ++i)
      if (open[c][static_cast<size_t>(i)] != 0) {
        const int32_t began = start[c][static_cast<size_t>(i)];
        out.push_back({kColumnSides[c], area.left + i, began, area.bottom + 1 - began});
      }
}

}  // namespace varnel
