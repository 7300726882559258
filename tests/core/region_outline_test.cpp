// A region's outline as runs of pixel sides: exact runs for a small shape, and every side once
// against a per-pixel reference on seeded random regions seen through random windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "core/region_outline.h"

namespace varnel {
namespace {

using Side = OutlineRun::Side;
using Unit = std::tuple<Side, int32_t, int32_t>;  // one pixel's side

std::vector<std::tuple<Side, int32_t, int32_t, int32_t>> Sorted(const std::vector<OutlineRun>& runs) {
  std::vector<std::tuple<Side, int32_t, int32_t, int32_t>> out;
  for (const OutlineRun& r : runs) out.emplace_back(r.side, r.x, r.y, r.length);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(RegionOutline, JoinsEachSideIntoTheLongestRunsWithinTheWindow) {
  // A ring open at neither end, and one pixel on the region's right border.
  const std::vector<std::vector<uint8_t>> rows = {{0, 9, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0},
                                                  {0, 255, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0},
                                                  {0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 1},
                                                  {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
  Region region;
  ASSERT_EQ(region.Create({10, 20, 21, 23}, 0), 0);
  for (size_t y = 0; y < rows.size(); ++y) std::copy(rows[y].begin(), rows[y].end(), region.Row(int32_t(y)));
  std::vector<OutlineRun> runs;
  RegionOutline(region, region.Bounds(), runs);
  using R = std::tuple<Side, int32_t, int32_t, int32_t>;
  std::vector<R> expected = {
      {Side::kTop, 11, 20, 9},    {Side::kTop, 12, 22, 7},   {Side::kTop, 21, 22, 1},
      {Side::kBottom, 12, 20, 7}, {Side::kBottom, 11, 22, 9}, {Side::kBottom, 21, 22, 1},
      {Side::kLeft, 11, 20, 3},   {Side::kLeft, 19, 21, 1},  {Side::kLeft, 21, 22, 1},
      {Side::kRight, 19, 20, 3},  {Side::kRight, 11, 21, 1}, {Side::kRight, 21, 22, 1}};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Sorted(runs), expected);

  // Through a window: runs stop at its border, and the pixels beside it still count.
  RegionOutline(region, {30, 21, 12, 20}, runs);
  expected = {{Side::kTop, 12, 20, 8}, {Side::kBottom, 12, 20, 7}, {Side::kLeft, 19, 21, 1}, {Side::kRight, 19, 20, 2}};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Sorted(runs), expected);

  RegionOutline(region, {0, 0, 9, 30}, runs);  // beside the region
  EXPECT_TRUE(runs.empty());
  RegionOutline(Region{}, {0, 0, 9, 30}, runs);
  EXPECT_TRUE(runs.empty());
}

TEST(RegionOutline, NamesEverySideOnceAsAPixelByPixelReferenceDoes) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    // Stretches of one value along each row, so that runs are long and short.
    Region region;
    const int32_t w = 1 + int32_t(random() % 70), h = 1 + int32_t(random() % 30);
    const int32_t left = int32_t(random() % 40) - 20, top = int32_t(random() % 40) - 20;
    ASSERT_EQ(region.Create({left, top, left + w - 1, top + h - 1}, 0), 0);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w;) {
        const int32_t length = 1 + int32_t(random() % 12);
        const uint32_t kind = random() % 3;
        const uint8_t value = kind == 0 ? 0 : kind == 1 ? 255 : uint8_t(random());
        for (int32_t i = 0; i < length && x < w; ++i, ++x) region.Row(y)[x] = value;
      }
    const Rect window{left - 5 + int32_t(random() % (w + 10)), top - 5 + int32_t(random() % (h + 10)),
                      left - 5 + int32_t(random() % (w + 10)), top - 5 + int32_t(random() % (h + 10))};
    std::vector<OutlineRun> runs;
    RegionOutline(region, window, runs);

    std::multiset<Unit> found;
    for (const OutlineRun& r : runs) {
      ASSERT_GT(r.length, 0);
      const bool across = r.side == Side::kTop || r.side == Side::kBottom;
      for (int32_t i = 0; i < r.length; ++i) found.emplace(r.side, r.x + (across ? i : 0), r.y + (across ? 0 : i));
    }
    std::multiset<Unit> reference;
    const Rect seen = window.Normalized();
    for (int32_t y = seen.top; y <= seen.bottom; ++y)
      for (int32_t x = seen.left; x <= seen.right; ++x) {
        if (region.At(x, y) == 0) continue;
        if (region.At(x, y - 1) == 0) reference.emplace(Side::kTop, x, y);
        if (region.At(x, y + 1) == 0) reference.emplace(Side::kBottom, x, y);
        if (region.At(x - 1, y) == 0) reference.emplace(Side::kLeft, x, y);
        if (region.At(x + 1, y) == 0) reference.emplace(Side::kRight, x, y);
      }
    ASSERT_EQ(found, reference);
    // Runs are as long as they go: no run continues another of its side.
    std::set<Unit> starts;
    for (const OutlineRun& r : runs) starts.emplace(r.side, r.x, r.y);
    for (const OutlineRun& r : runs) {
      const bool across = r.side == Side::kTop || r.side == Side::kBottom;
      EXPECT_FALSE(starts.count({r.side, r.x + (across ? r.length : 0), r.y + (across ? 0 : r.length)}));
    }
  }
}

}  // namespace
}  // namespace varnel
