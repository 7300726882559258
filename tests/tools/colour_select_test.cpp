// The colour-based selections: each matcher against its rule written with RgbToHls, the fast
// RGB kernel against the reference, fill and fuzzy select against a plain breadth-first fill,
// colour range select against a per-pixel scan, the region a mask becomes, and the click filter.

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <random>
#include <vector>

#include "core/colour_convert.h"
#include "core/region_clipped_image.h"
#include "platform/fast_paths.h"
#include "tools/colour_select.h"
#include "tools/colour_select_p.h"

namespace varnel {
namespace {

constexpr ColourComponent kComponents[] = {ColourComponent::kRgb, ColourComponent::kHue,
                                           ColourComponent::kSaturation, ColourComponent::kLightness};

// Whether a and b lie within t of each other by the component, straight from the rule.
bool Within(ColourComponent component, uint32_t a, uint32_t b, int32_t t) {
  const HlsColour ha = RgbToHls(a), hb = RgbToHls(b);
  switch (component) {
    case ColourComponent::kRgb:
      for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int32_t((a >> shift) & 0xFF) - int32_t((b >> shift) & 0xFF)) > t) return false;
      return true;
    case ColourComponent::kHue: {
      const int32_t d = std::abs(ha.hue - hb.hue);
      return std::min(d, 360 - d) <= t;
    }
    case ColourComponent::kSaturation:
      return std::abs(ha.saturation - hb.saturation) <= t;
    case ColourComponent::kLightness:
      return std::abs(ha.lightness - hb.lightness) <= t;
  }
  return false;
}

// Pixels drawn from a few colours in 4 × 4 cells, each pixel with noise of up to ±3 per channel
// and a random alpha, so that fills reach some way and stop somewhere.
std::unique_ptr<ImageSurface> Patchwork(uint32_t seed, int32_t w, int32_t h) {
  std::mt19937 random(seed);
  uint32_t palette[4];
  for (uint32_t& c : palette) c = random() & 0xFFFFFFu;
  std::vector<int32_t> cells(static_cast<size_t>((w / 4 + 1) * (h / 4 + 1)));
  for (int32_t& cell : cells) cell = static_cast<int32_t>(random() % 4);
  auto surface = std::make_unique<ImageSurface>();
  EXPECT_EQ(surface->Create({w, h}), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t base = palette[cells[static_cast<size_t>((y / 4) * (w / 4 + 1) + x / 4)]];
      uint32_t pixel = random() << 24;
      for (int shift = 0; shift < 24; shift += 8) {
        const int32_t v = std::clamp(int32_t((base >> shift) & 0xFF) + int32_t(random() % 7) - 3, 0, 255);
        pixel |= uint32_t(v) << shift;
      }
      surface->Row(y)[x] = pixel;
    }
  return surface;
}

// Breadth-first 4-connected fill from (x, y) over the steps step(from, to) allows.
template <class Step>
std::vector<uint8_t> ReferenceFill(const ImageSurface& s, int32_t x, int32_t y, Step step) {
  const int32_t w = s.Width(), h = s.Height();
  std::vector<uint8_t> mask(static_cast<size_t>(w * h), 0);
  std::deque<std::pair<int32_t, int32_t>> queue{{x, y}};
  mask[static_cast<size_t>(y * w + x)] = 255;
  while (!queue.empty()) {
    const auto [px, py] = queue.front();
    queue.pop_front();
    for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
      const int32_t nx = px + dx, ny = py + dy;
      if (nx < 0 || ny < 0 || nx >= w || ny >= h || mask[static_cast<size_t>(ny * w + nx)]) continue;
      if (!step(s.Row(py)[px], s.Row(ny)[nx])) continue;
      mask[static_cast<size_t>(ny * w + nx)] = 255;
      queue.emplace_back(nx, ny);
    }
  }
  return mask;
}

struct FillCase {
  ColourComponent component;
  int32_t tolerance;
};

const FillCase kFillCases[] = {
    {ColourComponent::kRgb, 0},  {ColourComponent::kRgb, 3},  {ColourComponent::kRgb, 6},
    {ColourComponent::kRgb, 40}, {ColourComponent::kHue, 2},  {ColourComponent::kHue, 10},
    {ColourComponent::kSaturation, 5}, {ColourComponent::kLightness, 3},
};

TEST(ColourMatcher, EachComponentAcceptsExactlyWhatItsRuleAccepts) {
  std::mt19937 random(20240501);
  for (ColourComponent component : kComponents) {
    for (int32_t tolerance : {-1, 0, 1, 4, 30, 100, 180, 255}) {
      for (int r = 0; r < 200; ++r) {
        const uint32_t reference = random();
        const ColourMatcher matcher({component, tolerance}, reference);
        for (int i = 0; i < 40; ++i) {
          // Half the pixels near the reference, so that both answers come up often.
          const uint32_t pixel = i % 2 ? random() : reference ^ (random() & 0x07070707u);
          const bool expected = tolerance >= 0 && Within(component, reference, pixel, tolerance);
          ASSERT_EQ(matcher.Accepts(pixel), expected) << int(component) << " t " << tolerance << " ref " << std::hex
                                                      << reference << " pixel " << pixel;
          ASSERT_EQ(matcher.Near(reference, pixel), expected);
          uint8_t classified = 7;
          matcher.Classify(&pixel, 1, 9, &classified);
          ASSERT_EQ(classified, expected ? 9 : 0);
        }
      }
    }
  }
}

TEST(ColourMatcher, TheFastRgbKernelMatchesTheReference) {
  if (!GetFastPaths().avx2) GTEST_SKIP() << "the processor has no AVX2";
  std::mt19937 random(77);
  for (int32_t length : {1, 31, 32, 33, 100, 257}) {
    std::vector<uint32_t> pixels(static_cast<size_t>(length));
    for (int32_t tolerance : {0, 1, 7, 128, 255}) {
      const uint32_t reference = random();
      for (uint32_t& p : pixels) p = reference ^ (random() & 0x0F0F0F0Fu) ^ (random() % 3 ? 0 : random());
      std::vector<uint8_t> fast(pixels.size()), slow(pixels.size());
      const uint8_t t = uint8_t(tolerance);
      colour_select_internal::ClassifyRgbAvx2(pixels.data(), pixels.size(), reference, t, 1, fast.data());
      colour_select_internal::ClassifyRgbScalar(pixels.data(), pixels.size(), reference, t, 1, slow.data());
      ASSERT_EQ(fast, slow) << "length " << length << " tolerance " << tolerance;
    }
  }
}

TEST(FillSelect, SelectsThePixelsABreadthFirstFillReachesFromTheClick) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const auto image = Patchwork(seed, 61, 37);
    std::mt19937 random(seed);
    for (const FillCase& c : kFillCases) {
      const int32_t x = int32_t(random() % 61), y = int32_t(random() % 37);
      const uint32_t clicked = image->Row(y)[x];
      const auto expected = ReferenceFill(*image, x, y, [&](uint32_t, uint32_t to) {
        return Within(c.component, clicked, to, c.tolerance);
      });
      ASSERT_EQ(FillSelectMask(*image, x, y, {c.component, c.tolerance}), expected)
          << "seed " << seed << " component " << int(c.component) << " tolerance " << c.tolerance;
    }
  }
}

TEST(FuzzySelect, SelectsThePixelsReachedThroughNeighboursNearEachOther) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const auto image = Patchwork(seed, 53, 41);
    std::mt19937 random(seed + 100);
    for (const FillCase& c : kFillCases) {
      const int32_t x = int32_t(random() % 53), y = int32_t(random() % 41);
      const auto expected = ReferenceFill(*image, x, y, [&](uint32_t from, uint32_t to) {
        return Within(c.component, from, to, c.tolerance);
      });
      ASSERT_EQ(FuzzySelectMask(*image, x, y, {c.component, c.tolerance}), expected)
          << "seed " << seed << " component " << int(c.component) << " tolerance " << c.tolerance;
    }
  }
}

TEST(FuzzySelect, FollowsAGradientThatFillSelectStopsIn) {
  // Red rises by 3 per column: fill select with tolerance 4 takes the clicked column and one
  // on either side; fuzzy select follows the whole ramp.
  ImageSurface ramp;
  ASSERT_EQ(ramp.Create({40, 3}), 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 40; ++x) ramp.Row(y)[x] = 0xFF000000u | uint32_t(3 * x) << 16;
  std::vector<uint8_t> band(120, 0), all(120, 255);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 9; x <= 11; ++x) band[static_cast<size_t>(y * 40 + x)] = 255;
  EXPECT_EQ(FillSelectMask(ramp, 10, 1, {ColourComponent::kRgb, 4}), band);
  EXPECT_EQ(FuzzySelectMask(ramp, 10, 1, {ColourComponent::kRgb, 4}), all);
  // A step of 3 is too far for tolerance 2.
  std::vector<uint8_t> column(120, 0);
  for (int32_t y = 0; y < 3; ++y) column[static_cast<size_t>(y * 40 + 10)] = 255;
  EXPECT_EQ(FuzzySelectMask(ramp, 10, 1, {ColourComponent::kRgb, 2}), column);
}

TEST(ColourSelect, AClickOutsideTheSourceSelectsNothing) {
  const auto image = Patchwork(5, 8, 6);
  const std::vector<uint8_t> none(48, 0);
  for (const auto& [x, y] : {std::pair{-1, 0}, {0, -1}, {8, 0}, {0, 6}}) {
    EXPECT_EQ(FillSelectMask(*image, x, y, {}), none);
    EXPECT_EQ(FuzzySelectMask(*image, x, y, {}), none);
  }
}

TEST(ColourSelect, ASurfaceWithoutRowsOfItsOwnIsReadThroughItsPixels) {
  // The selection facade keeps no rows; it reads its target's.
  const auto image = Patchwork(3, 20, 10);
  Layer layer;
  ASSERT_EQ(layer.Create({20, 10}), 0);
  layer.CopyFrom(*image, {0, 0, 19, 9});
  Region everything;
  ASSERT_EQ(everything.Create({0, 0, 19, 9}, 255), 0);
  RegionClippedImage facade;
  facade.Bind(&layer, &everything, 0, 0);
  const ColourMatch match{ColourComponent::kRgb, 6};
  EXPECT_EQ(FillSelectMask(facade, 4, 5, match), FillSelectMask(*image, 4, 5, match));
  EXPECT_EQ(FuzzySelectMask(facade, 4, 5, match), FuzzySelectMask(*image, 4, 5, match));
}

TEST(ColourRange, SelectsEveryAcceptedPixelAndReportsProgressEvery16Rows) {
  const auto image = Patchwork(9, 29, 40);
  for (const FillCase& c : kFillCases) {
    const uint32_t reference = image->Row(20)[7];
    const ColourMatcher matcher({c.component, c.tolerance}, reference);
    std::vector<uint8_t> expected;
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 29; ++x)
        expected.push_back(Within(c.component, reference, image->Row(y)[x], c.tolerance) ? 255 : 0);
    std::vector<int32_t> progress;
    EXPECT_EQ(ColourRangeMask(*image, matcher, [&](int32_t p) { progress.push_back(p); }), expected);
    // Rows 0, 16 and 32 of 40.
    EXPECT_EQ(progress, (std::vector<int32_t>{0, 40, 80}));
  }
}

TEST(ColourRange, TheStatusTextPadsThePercentToThreePlaces) {
  EXPECT_EQ(ColourRangeProgressText(5), "処理中  5%");
  EXPECT_EQ(ColourRangeProgressText(40), "処理中 40%");
  EXPECT_EQ(ColourRangeProgressText(100), "処理中100%");
}

TEST(MaskToRegion, TrimsToTheSelectedBytesAndPlacesThemAtTheOffset) {
  // 5 × 4 with bytes at (1, 1), (3, 1) and (2, 2).
  std::vector<uint8_t> mask(20, 0);
  mask[6] = 255;
  mask[8] = 200;
  mask[12] = 255;
  Region region;
  MaskToRegion(mask, 5, 4, 10, -3, region);
  EXPECT_EQ(region.Bounds(), (Rect{11, -2, 13, -1}));
  const std::vector<uint8_t> expected = {255, 0, 200, 0, 255, 0};
  EXPECT_EQ(std::vector<uint8_t>(region.Mask(), region.Mask() + 6), expected);

  MaskToRegion(std::vector<uint8_t>(20, 0), 5, 4, 0, 0, region);
  EXPECT_TRUE(region.IsEmpty());
  MaskToRegion(mask, 5, 3, 0, 0, region);
  EXPECT_TRUE(region.IsEmpty());
}

struct ClickCase {
  const char* name;
  std::vector<int64_t> times;
  std::vector<bool> accepted;
};

TEST(ClickFilter, IgnoresAClickWithinTheIntervalOfTheLastAcceptedOne) {
  const ClickCase cases[] = {
      {"the first click counts", {1000}, {true}},
      {"200 ms apart select once", {1000, 1200}, {true, false}},
      {"300 ms apart select twice", {1000, 1300}, {true, true}},
      {"an ignored click does not restart the interval", {0, 200, 299, 300, 550}, {true, false, false, true, false}},
  };
  for (const ClickCase& c : cases) {
    ClickFilter filter(kSelectClickInterval);
    std::vector<bool> accepted;
    for (int64_t t : c.times) accepted.push_back(filter.Accept(t));
    EXPECT_EQ(accepted, c.accepted) << c.name;
  }
}

}  // namespace
}  // namespace varnel
