// The sample filter libraries of Filter/, run through the host as the dialog's "実行" runs them;
// every expected pixel is worked out from the filter's rule in its source comment.

#include <gtest/gtest.h>

#include <cstdlib>

#include "filters/filter_host.h"

namespace varnel {
namespace {

const FilterLibraryList& Samples() {
  static const FilterLibraryList list(VARNEL_PROGRAM_DIR "/Filter");
  return list;
}

// Runs a filter on a width × height image given row by row (top first) and answers its pixels.
std::vector<uint32_t> RunSample(const char* library, const char* filter, std::vector<int32_t> values, int32_t width,
                          const std::vector<uint32_t>& pixels) {
  const std::optional<FilterSelection> selection = SelectFilter(Samples(), library, filter);
  EXPECT_TRUE(selection && selection->library->HasFilter(filter)) << filter;
  if (!selection) return {};
  const int32_t height = static_cast<int32_t>(pixels.size()) / width;
  ImageSurface image;
  EXPECT_EQ(image.Create({width, height}), 0);
  for (int32_t y = 0; y < height; ++y) std::copy_n(pixels.begin() + y * width, width, image.Row(y));
  FilterCommand command(*selection, std::move(values));
  command.Execute(image, 1);
  EXPECT_TRUE(command.ran);
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < height; ++y) out.insert(out.end(), image.Row(y), image.Row(y) + width);
  return out;
}

constexpr uint32_t Bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a = 255) { return a << 24 | r << 16 | g << 8 | b; }
constexpr uint32_t Blue(uint32_t b) { return Bgra(b, 0, 0); }

struct Case {
  const char* name;
  const char* filter;
  std::vector<int32_t> values;
  int32_t width;
  std::vector<uint32_t> before;
  std::vector<uint32_t> after;
};

TEST(SampleEffects, EveryFilterFollowsItsRule) {
  const Case cases[] = {
      {"invert keeps alpha", "Invert", {}, 1, {0x80102030u}, {0x80EFDFCFu}},
      {"posterize to 2 levels", "Posterize", {2}, 1, {Bgra(127, 128, 255)}, {Bgra(0, 255, 255)}},
      // steps 3: 100 → round(300 / 255) = 1 → 85; 200 → 2 → 170; 255 → 3 → 255.
      {"posterize to 4 levels", "Posterize", {4}, 1, {Bgra(100, 200, 255, 7)}, {Bgra(85, 170, 255, 7)}},
      // 128 + (v − 128) × 150 / 100 + 10: 200 → 246, 100 → 96, 0 → −54 → 0.
      {"brightness and contrast", "Brightness/Contrast", {10, 50}, 1, {Bgra(200, 100, 0)}, {Bgra(246, 96, 0)}},
      {"contrast -100 is flat grey", "Brightness/Contrast", {-20, -100}, 1, {Bgra(0, 99, 255)}, {Bgra(108, 108, 108)}},
      // Cells of 2 from the left: (10 + 21 + 1) / 2 = 16; the last cell is cut to one pixel.
      {"mosaic", "Mosaic", {2}, 3, {Blue(10), Blue(21), Blue(40)}, {Blue(16), Blue(16), Blue(40)}},
      // Blue = 10 (x + 3y): 128 + (below right − above left), edges extended.
      {"emboss", "Emboss", {1}, 3,
       {Blue(0), Blue(10), Blue(20), Blue(30), Blue(40), Blue(50), Blue(60), Blue(70), Blue(80)},
       {Bgra(168, 128, 128), Bgra(178, 128, 128), Bgra(168, 128, 128), Bgra(198, 128, 128), Bgra(208, 128, 128),
        Bgra(198, 128, 128), Bgra(168, 128, 128), Bgra(178, 128, 128), Bgra(168, 128, 128)}},
      // Radius 2 is sigma 1: boxes 1, 1 and 3, so one box of 3: (sum + 1) / 3.
      {"blur radius 2", "Gaussian Blur", {2}, 5, {Blue(0), Blue(0), Blue(255), Blue(0), Blue(0)},
       {Blue(0), Blue(85), Blue(85), Blue(85), Blue(0)}},
      // Blurred 100, 120, 120, 120, 100; c + (c − b) / 2.
      {"unsharp mask", "Unsharp Mask", {2, 50, 0}, 5, {Blue(100), Blue(100), Blue(160), Blue(100), Blue(100)},
       {Blue(100), Blue(90), Blue(180), Blue(90), Blue(100)}},
      {"unsharp mask below the threshold", "Unsharp Mask", {2, 50, 41}, 5,
       {Blue(100), Blue(100), Blue(160), Blue(100), Blue(100)},
       {Blue(100), Blue(100), Blue(100 + 60), Blue(100), Blue(100)}},
      {"noise of 0", "Noise", {0, 0}, 2, {Blue(7), Blue(9)}, {Blue(7), Blue(9)}},
      {"levels below the range are held to 2", "Posterize", {1}, 1, {Bgra(127, 128, 255)}, {Bgra(0, 255, 255)}},
      {"a missing value takes the default (4 levels)", "Posterize", {}, 1, {Bgra(100, 0, 0)}, {Bgra(85, 0, 0)}},
  };
  for (const Case& c : cases) EXPECT_EQ(RunSample("SampleEffects.so", c.filter, c.values, c.width, c.before), c.after) << c.name;
}

// The three-box rule written plainly: for each box width, down every column and then, after all
// three, along every row; floor((sum + r) / w) over the clamped neighbourhood.
std::vector<uint32_t> ThreeBoxes(const std::vector<uint32_t>& pixels, int32_t width, int32_t height,
                                 const std::vector<int32_t>& boxes) {
  std::vector<uint32_t> image = pixels;
  const auto pass = [&](int32_t w, bool columns) {
    const int32_t r = (w - 1) / 2;
    std::vector<uint32_t> out(image.size());
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        for (int shift = 0; shift < 32; shift += 8) {
          uint32_t sum = 0;
          for (int32_t j = -r; j <= r; ++j) {
            const int32_t xx = columns ? x : std::clamp(x + j, 0, width - 1);
            const int32_t yy = columns ? std::clamp(y + j, 0, height - 1) : y;
            sum += image[yy * width + xx] >> shift & 0xFF;
          }
          out[y * width + x] |= ((sum + r) / w) << shift;
        }
    image = out;
  };
  for (int32_t w : boxes) pass(w, true);
  for (int32_t w : boxes) pass(w, false);
  return image;
}

TEST(SampleEffects, TheBlurIsThreeBoxesWhoseVariancesAddUpToSigmaSquared) {
  // Radius r is sigma r / 2; box widths by the rule: 4 → 3, 3, 5; 10 → 9, 9, 11; 25 → 25, 25, 25.
  struct BlurCase {
    int32_t radius;
    std::vector<int32_t> boxes;
  };
  const BlurCase cases[] = {{4, {3, 3, 5}}, {10, {9, 9, 11}}, {25, {25, 25, 25}}};
  const int32_t width = 37, height = 23;
  std::srand(20261208);
  std::vector<uint32_t> pixels(width * height);
  for (uint32_t& p : pixels) p = static_cast<uint32_t>(std::rand()) ^ static_cast<uint32_t>(std::rand()) << 16;
  for (const BlurCase& c : cases)
    EXPECT_EQ(RunSample("SampleEffects.so", "Gaussian Blur", {c.radius}, width, pixels), ThreeBoxes(pixels, width, height, c.boxes))
        << "radius " << c.radius << " seed 20261208";
  // Any radius keeps a flat image flat.
  const std::vector<uint32_t> flat(width * height, 0x80C0FF01u);
  for (int32_t radius : {1, 2, 3, 50, 100}) EXPECT_EQ(RunSample("SampleEffects.so", "Gaussian Blur", {radius}, width, flat), flat);
}

TEST(SampleEffects, NoiseDrawsFromTheCRuntimeGeneratorSeededWithOne) {
  uint32_t state = 1;
  const auto next = [&] {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>(state >> 16 & 0x7FFF);
  };
  const int32_t amount = 20;
  std::vector<uint32_t> mono, colour;
  for (int i = 0; i < 3; ++i) {
    const auto n = static_cast<uint32_t>(100 + next() % (2 * amount + 1) - amount);
    mono.push_back(Bgra(n, n, n));
  }
  state = 1;
  for (int i = 0; i < 3; ++i) {
    const auto b = static_cast<uint32_t>(100 + next() % 41 - 20), g = static_cast<uint32_t>(100 + next() % 41 - 20);
    colour.push_back(Bgra(b, g, static_cast<uint32_t>(100 + next() % 41 - 20)));
  }
  const std::vector<uint32_t> grey(3, Bgra(100, 100, 100));
  EXPECT_EQ(RunSample("SampleEffects.so", "Noise", {amount, 1}, 3, grey), mono);
  EXPECT_EQ(RunSample("SampleEffects.so", "Noise", {amount, 0}, 3, grey), colour);
}

TEST(SampleHue, TurnsHueAndScalesSaturationThroughTheCallbacksOnly) {
  const Case cases[] = {
      {"red half way round is cyan", "Hue/Saturation", {180, 0}, 1, {0xFFFF0000u}, {0xFF00FFFFu}},
      {"red a third round is green", "Hue/Saturation", {120, 0}, 1, {0x80FF0000u}, {0x8000FF00u}},
      {"no saturation is the value as grey", "Hue/Saturation", {0, -100}, 1, {0xFFC86432u}, {0xFFC8C8C8u}},
      {"nothing to do", "Hue/Saturation", {0, 0}, 1, {0xFF123456u}, {0xFF123456u}},
  };
  for (const Case& c : cases) EXPECT_EQ(RunSample("SampleHue.so", c.filter, c.values, c.width, c.before), c.after) << c.name;
  const FilterSelection selection = *SelectFilter(Samples(), "SampleHue.so", "Hue/Saturation");
  ASSERT_EQ(selection.parameters.size(), 2u);
  EXPECT_EQ(ValueTexts(selection, {-30, 5}), (std::vector<std::string>{"-30 deg", "+5 %"}));
}

}  // namespace
}  // namespace varnel
