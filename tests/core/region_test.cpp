// Region operations: the rules' edge cases, and every operation against a per-pixel
// reference on seeded random soft regions.

#include <gtest/gtest.h>

#include <random>

#include "core/layer_mask_list.h"
#include "core/region.h"

namespace varnel {
namespace {

// A region from rows of bytes, top-left at (left, top).
void Make(Region& r, int32_t left, int32_t top, const std::vector<std::vector<uint8_t>>& rows) {
  ASSERT_EQ(r.Create({left, top, left + int32_t(rows[0].size()) - 1, top + int32_t(rows.size()) - 1}, 0), 0);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) r.Row(int32_t(y))[x] = rows[y][x];
}

std::vector<std::vector<uint8_t>> Bytes(const Region& r) {
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = 0; y < r.Height(); ++y) rows.emplace_back(r.Row(y), r.Row(y) + r.Width());
  return rows;
}

// Random soft region: blocks of 0 and 255 and soft values, at a random place.
void RandomRegion(Region& r, std::mt19937& random) {
  const int32_t w = 1 + int32_t(random() % 40), h = 1 + int32_t(random() % 40);
  const int32_t left = int32_t(random() % 60) - 30, top = int32_t(random() % 60) - 30;
  ASSERT_EQ(r.Create({left, top, left + w - 1, top + h - 1}, 0), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t kind = random() % 4;
      r.Row(y)[x] = kind == 0 ? 0 : kind == 1 ? 255 : kind == 2 ? uint8_t(random()) : uint8_t((x + y) % 3 == 0 ? 0 : 255);
    }
}

// --- creation and basics ------------------------------------------------------------------

TEST(Region, CreateOnASinglePixelAndRefusesAnInvertedRectangle) {
  Region r;
  ASSERT_EQ(r.Create({5, 5, 5, 5}, 255), 0);
  EXPECT_EQ(r.Width(), 1);
  EXPECT_EQ(r.Height(), 1);
  EXPECT_EQ(r.At(5, 5), 255);
  EXPECT_EQ(r.Create({5, 5, 4, 5}, 0), -1);
  EXPECT_EQ(r.Bounds(), (Rect{5, 5, 5, 5}));  // unchanged
  EXPECT_EQ(r.Create({0, 0, Region::kMaxExtent, 0}, 0), -1);  // 65,537 wide
  EXPECT_EQ(r.Create({0, 0, Region::kMaxExtent - 1, 0}, 0), 0);
}

TEST(Region, ClearEmptiesAndCopyOfAnEmptyRegionDoesNothing) {
  Region r, empty;
  Make(r, 3, 4, {{1, 2}});
  r.CopyFrom(empty);
  EXPECT_EQ(Bytes(r), (std::vector<std::vector<uint8_t>>{{1, 2}}));
  r.Clear();
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(r.Bounds(), (Rect{0, 0, 0, 0}));
  EXPECT_EQ(r.Width(), 0);
}

TEST(Region, HandOverMovesWithoutCopyingAndLeavesTheSourceEmpty) {
  Region a, b;
  Make(a, -2, 7, {{9, 8, 7}});
  const uint8_t* buffer = a.Mask();
  b.TakeFrom(a);
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(b.Mask(), buffer);
  EXPECT_EQ(b.Bounds(), (Rect{-2, 7, 0, 7}));
}

TEST(Region, OffsetMovesTheRectangleOnly) {
  Region r, empty;
  Make(r, 0, 0, {{5}});
  r.Offset(-10, 3);
  EXPECT_EQ(r.At(-10, 3), 5);
  empty.Offset(4, 4);
  EXPECT_EQ(empty.Bounds(), (Rect{0, 0, 0, 0}));
}

TEST(Region, TrimKeepsTheBoundingBoxOfNonZeroBytesOrClears) {
  Region r;
  Make(r, 10, 20, {{0, 0, 0, 0}, {0, 7, 0, 0}, {0, 0, 9, 0}, {0, 0, 0, 0}});
  r.TrimToContent();
  EXPECT_EQ(r.Bounds(), (Rect{11, 21, 12, 22}));
  EXPECT_EQ(Bytes(r), (std::vector<std::vector<uint8_t>>{{7, 0}, {0, 9}}));
  Region zeros;
  ASSERT_EQ(zeros.Create({0, 0, 9, 9}, 0), 0);
  zeros.TrimToContent();
  EXPECT_TRUE(zeros.IsEmpty());
}

// --- combining ----------------------------------------------------------------------------

TEST(Region, UnionKeepsTheExistingValueWhereBothAreSet) {
  Region a, b;
  Make(a, 0, 0, {{100}});
  Make(b, 0, 0, {{200}});
  ASSERT_EQ(a.Union(b), 0);
  EXPECT_EQ(a.At(0, 0), 100);
  Region empty;
  EXPECT_EQ(a.Union(empty), -1);
  EXPECT_EQ(a.At(0, 0), 100);
}

TEST(Region, UnionAndSubtractMatchThePerPixelRuleOnRandomRegions) {
  const unsigned seed = 2301;
  std::mt19937 random(seed);
  for (int trial = 0; trial < 200; ++trial) {
    Region a, b, before;
    RandomRegion(a, random);
    RandomRegion(b, random);
    before.CopyFrom(a);
    ASSERT_EQ(a.Union(b), 0);
    const Rect u{std::min(before.Left(), b.Left()), std::min(before.Top(), b.Top()), std::max(before.Right(), b.Right()),
                 std::max(before.Bottom(), b.Bottom())};
    ASSERT_EQ(a.Bounds(), u);
    for (int32_t y = u.top; y <= u.bottom; ++y)
      for (int32_t x = u.left; x <= u.right; ++x) {
        const uint8_t expected = before.At(x, y) != 0 ? before.At(x, y) : b.At(x, y);
        ASSERT_EQ(a.At(x, y), expected) << "seed " << seed << " trial " << trial;
      }
    Region c;
    c.CopyFrom(before);
    c.Subtract(b);
    ASSERT_EQ(c.Bounds(), before.Bounds());
    for (int32_t y = before.Top(); y <= before.Bottom(); ++y)
      for (int32_t x = before.Left(); x <= before.Right(); ++x)
        ASSERT_EQ(c.At(x, y), b.At(x, y) != 0 ? 0 : before.At(x, y)) << "seed " << seed << " trial " << trial;
  }
}

// --- morphology ---------------------------------------------------------------------------

TEST(Region, ShrinkingA3By3SquareLeavesItsCentreAndA2By2SquareNothing) {
  Region square, out;
  ASSERT_EQ(square.Create({4, 4, 6, 6}, 255), 0);
  Region::Shrink(square, out);
  EXPECT_EQ(out.Bounds(), (Rect{5, 5, 5, 5}));
  EXPECT_EQ(out.At(5, 5), 255);
  ASSERT_EQ(square.Create({0, 0, 1, 1}, 255), 0);
  Region::Shrink(square, out);
  EXPECT_TRUE(out.IsEmpty());
}

TEST(Region, GrowingOnePixelGivesAPlusInA3By3Rectangle) {
  Region dot, out;
  Make(dot, 7, 9, {{1}});
  Region::Grow(dot, out);
  EXPECT_EQ(out.Bounds(), (Rect{6, 8, 8, 10}));
  EXPECT_EQ(Bytes(out), (std::vector<std::vector<uint8_t>>{{0, 255, 0}, {255, 255, 255}, {0, 255, 0}}));
}

TEST(Region, ShrinkGrowAndIsEdgeMatchThePerPixelRuleOnRandomRegions) {
  std::mt19937 random(77);
  for (int trial = 0; trial < 200; ++trial) {
    Region source, shrunk, grown;
    RandomRegion(source, random);
    Region::Shrink(source, shrunk);
    Region::Grow(source, grown);
    const Rect big{source.Left() - 1, source.Top() - 1, source.Right() + 1, source.Bottom() + 1};
    ASSERT_EQ(grown.Bounds(), big);
    for (int32_t y = big.top; y <= big.bottom; ++y)
      for (int32_t x = big.left; x <= big.right; ++x) {
        auto on = [&](int32_t px, int32_t py) { return source.At(px, py) != 0; };
        const bool all = on(x, y) && on(x - 1, y) && on(x + 1, y) && on(x, y - 1) && on(x, y + 1);
        const bool any = on(x, y) || on(x - 1, y) || on(x + 1, y) || on(x, y - 1) || on(x, y + 1);
        ASSERT_EQ(shrunk.At(x, y), all ? 255 : 0) << trial;
        ASSERT_EQ(grown.At(x, y), any ? 255 : 0) << trial;
        ASSERT_EQ(source.IsEdge(x, y), on(x, y) && !all) << trial;
      }
    if (!shrunk.IsEmpty()) {
      Region trimmed;
      trimmed.CopyFrom(shrunk);
      trimmed.TrimToContent();
      EXPECT_EQ(trimmed.Bounds(), shrunk.Bounds());  // already trimmed
    }
  }
}

// --- invert and flips ---------------------------------------------------------------------

TEST(Region, InvertingAFullCanvasSelectionGivesNothingAndNoSelectionFails) {
  Region full, out, none;
  ASSERT_EQ(full.Create({0, 0, 9, 4}, 255), 0);
  EXPECT_EQ(Region::Invert(full, 10, 5, out), 0);
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_EQ(Region::Invert(none, 10, 5, out), -1);
  EXPECT_TRUE(out.IsEmpty());
}

TEST(Region, InvertMatchesThePerPixelRuleAndIsTrimmed) {
  std::mt19937 random(91);
  for (int trial = 0; trial < 100; ++trial) {
    Region source, out;
    RandomRegion(source, random);
    const int32_t w = 1 + int32_t(random() % 30), h = 1 + int32_t(random() % 30);
    Region::Invert(source, w, h, out);
    Region expected;
    ASSERT_EQ(expected.Create({0, 0, w - 1, h - 1}, 0), 0);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const bool inside = x >= source.Left() && x <= source.Right() && y >= source.Top() && y <= source.Bottom();
        expected.Row(y)[x] = inside ? uint8_t(255 - source.At(x, y)) : 255;
      }
    expected.TrimToContent();
    ASSERT_EQ(out.IsEmpty(), expected.IsEmpty()) << trial;
    if (!out.IsEmpty()) {
      ASSERT_EQ(out.Bounds(), expected.Bounds()) << trial;
      ASSERT_EQ(Bytes(out), Bytes(expected)) << trial;
    }
  }
}

TEST(Region, FlipsMirrorInsideTheSameRectangle) {
  Region r, v, h;
  Make(r, 3, -1, {{1, 2, 3}, {4, 5, 6}});
  Region::FlipVertical(r, v);
  Region::FlipHorizontal(r, h);
  EXPECT_EQ(v.Bounds(), r.Bounds());
  EXPECT_EQ(Bytes(v), (std::vector<std::vector<uint8_t>>{{4, 5, 6}, {1, 2, 3}}));
  EXPECT_EQ(Bytes(h), (std::vector<std::vector<uint8_t>>{{3, 2, 1}, {6, 5, 4}}));
  Region empty, out;
  Region::FlipVertical(empty, out);
  EXPECT_TRUE(out.IsEmpty());
}

// --- spans --------------------------------------------------------------------------------

TEST(Region, SpansAreHalfOpenAndClippedToTheRectangle) {
  Region r;
  ASSERT_EQ(r.Create({10, 0, 14, 1}, 0), 0);
  r.FillSpan(8, 0, 12, 9);  // 10, 11
  EXPECT_EQ(Bytes(r)[0], (std::vector<uint8_t>{9, 9, 0, 0, 0}));
  r.FillSpan(0, 1, 100, 7);  // the whole row, the last column included
  EXPECT_EQ(Bytes(r)[1], (std::vector<uint8_t>{7, 7, 7, 7, 7}));
  r.XorSpan(11, 0, 13, 0xFF);
  EXPECT_EQ(Bytes(r)[0], (std::vector<uint8_t>{9, 0xF6, 0xFF, 0, 0}));
  r.FillSpan(0, 5, 100, 1);  // a row outside: nothing
  r.FillSpan(14, 0, 14, 1);  // an empty span: nothing
  EXPECT_EQ(Bytes(r)[0][4], 0);
  uint8_t buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  r.ReadSpan(8, 1, 15, buffer);  // inclusive, into buffer[x − x0]
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8), (std::vector<uint8_t>{0xEE, 0xEE, 7, 7, 7, 7, 7, 0xEE}));
}

// --- masks --------------------------------------------------------------------------------

TEST(MaskThumbnail, ScalesTheMaskAsGreyAndCrossesADisabledMask) {
  Region mask;
  ASSERT_EQ(mask.Create({0, 0, 63, 31}, 0), 0);  // 64 × 32: tw 32, th 16
  mask.Row(0)[0] = 255;
  mask.Row(2)[4] = 100;
  uint32_t pixels[32 * 32];
  RenderMaskThumbnail(mask, true, pixels);
  EXPECT_EQ(pixels[0], 0xFF000000u);                    // selected: dark
  EXPECT_EQ(pixels[1 * 32 + 2], 0xFF9B9B9Bu);           // (2 × 64 / 32, 1 × 32 / 16) = (4, 2): 255 − 100
  EXPECT_EQ(pixels[1 * 32 + 1], 0xFFFFFFFFu);
  EXPECT_EQ(pixels[20 * 32 + 5], 0xFFFFFFFFu);          // below th: the white background
  RenderMaskThumbnail(mask, false, pixels);
  EXPECT_EQ(pixels[31 * 32 + 31], 0xFFFF0000u);
  EXPECT_EQ(pixels[31 * 32 + 0], 0xFFFF0000u);
  EXPECT_EQ(pixels[0 * 32 + 31], 0xFFFF0000u);
  EXPECT_EQ(pixels[10 * 32 + 11], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace varnel
