// A region's outline as runs of pixel sides: every side once, in runs as long as they go,
// against a per-pixel reference on seeded random regions seen through random windows.

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "core/region_outline.h"

namespace varnel {
namespace {

using Side = OutlineRun::Side;
using Unit = std::tuple<Side, int32_t, int32_t>;  // one pixel's side

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
  std::vector<OutlineRun> runs;
  RegionOutline(Region{}, {0, 0, 9, 30}, runs);
  EXPECT_TRUE(runs.empty());
}

}  // namespace
}  // namespace varnel
