// The round dab mask and the shared dab buffers.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "brush/dab_buffers.h"
#include "brush/round_mask.h"

namespace varnel {
namespace {

std::vector<uint8_t> MaskOf(int32_t w, int32_t h) {
  RoundMask mask;
  mask.Build(w, h);
  EXPECT_EQ(mask.Width(), w);
  EXPECT_EQ(mask.Height(), h);
  return std::vector<uint8_t>(mask.Data(), mask.Data() + static_cast<size_t>(w) * static_cast<size_t>(h));
}

struct MaskCase {
  const char* name;
  int32_t w;
  int32_t h;
  std::vector<uint8_t> expected;
};

// s = max(w, h), r = s / 2, c = (s + 1) / 2; 255 − d² × 255 / r² where d² <= r²; rows and
// columns picked by (j × s) / h and (i × s) / w.
const MaskCase kMaskCases[] = {
    // d² = 2 > r² = 0 at the only cell.
    {"OneByOneIsEmpty", 1, 1, {0}},
    // c = 1: only the lower right cell sits on the centre; its neighbours are at r² = 1 → 0.
    {"TwoByTwoHasOnlyTheLowerRightCell", 2, 2, {0, 0, 0, 255}},
    // s = 3: r = 1, c = 2, so only cell (2, 2) is inside with d² = 0.
    {"ThreeByThreeHasOnlyTheLowerRightCell", 3, 3, {0, 0, 0, 0, 0, 0, 0, 0, 255}},
    // s = 5: r = 2, c = 3; d² 1 → 255 − 63 = 192, d² 2 → 255 − 127 = 128, d² 4 → 0.
    {"FiveByFive", 5, 5, {0, 0, 0, 0, 0,  //
                          0, 0, 0, 0, 0,  //
                          0, 0, 128, 192, 128,  //
                          0, 0, 192, 255, 192,  //
                          0, 0, 128, 192, 128}},
    // s = 4 on a 4 × 4 grid, r = 2, c = 2; dab rows take grid rows 0 and 2.
    {"FourByTwoTakesGridRowsZeroAndTwo", 4, 2, {0, 0, 0, 0, 0, 192, 255, 192}},
    // s = 4; columns 0 and 2 of grid rows 0 … 3: column 2 has d² 4, 1, 0, 1.
    {"TwoByFourTakesGridColumnsZeroAndTwo", 2, 4, {0, 0, 0, 192, 0, 255, 0, 192}},
};

class RoundMaskCases : public ::testing::TestWithParam<MaskCase> {};

TEST_P(RoundMaskCases, MatchesTheGridRule) { EXPECT_EQ(MaskOf(GetParam().w, GetParam().h), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Sizes, RoundMaskCases, ::testing::ValuesIn(kMaskCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RoundMask, AlwaysHasTheDabsSizeEvenForTheLargestDab) {
  const std::vector<uint8_t> mask = MaskOf(256, 256);
  // r² = 16384: a cell stays at 255 while d² × 255 / r² < 1, that is d² <= 64 — the 197
  // lattice points within distance 8 of the centre (128, 128).
  EXPECT_EQ(mask[128 * 256 + 128], 255);
  EXPECT_EQ(mask[128 * 256 + 136], 255);
  EXPECT_EQ(mask[128 * 256 + 137], 254);  // d² 81: 255 − 20655 / 16384
  EXPECT_EQ(mask[0], 0);
  EXPECT_EQ(std::count(mask.begin(), mask.end(), 255), 197);
}

TEST(DabBuffers, GrowToTheLargestDabAndNeverShrink) {
  DabBuffers buffers;
  buffers.Reserve(4, 3);
  EXPECT_EQ(buffers.Capacity(), 12u);
  uint32_t* old = buffers.Old();
  buffers.Reserve(2, 2);
  EXPECT_EQ(buffers.Capacity(), 12u);
  EXPECT_EQ(buffers.Old(), old);  // not reallocated for a smaller dab
  buffers.Reserve(5, 5);
  EXPECT_EQ(buffers.Capacity(), 25u);
  buffers.Mask()[24] = 1;
  buffers.Colour()[24] = 1;
  buffers.Result()[24] = 1;
  buffers.Old()[24] = 1;
  buffers.Reserve(0, -3);  // taken as 1 × 1
  EXPECT_EQ(buffers.Capacity(), 25u);
}

}  // namespace
}  // namespace varnel
