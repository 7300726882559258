// The resamplers and the rotation: small pictures worked out by hand from the rules, a direct
// double-precision reference of the kernel methods written here from the rules, and the fast
// paths against the reference on random pictures (fixed, printed seeds).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "core/surface.h"
#include "transformer/resample_p.h"
#include "transformer/transformer.h"

namespace varnel {
namespace {

std::unique_ptr<ImageSurface> Picture(int32_t w, int32_t h, const std::vector<uint32_t>& pixels = {}) {
  auto surface = std::make_unique<ImageSurface>();
  EXPECT_EQ(surface->CreateWithAlpha({w, h}, 0), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (!pixels.empty()) surface->Row(y)[x] = pixels[size_t(y * w + x)];
  surface->DiscardBackups();
  return surface;
}

std::unique_ptr<ImageSurface> RandomPicture(int32_t w, int32_t h, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint32_t> pixels(size_t(w) * size_t(h));
  for (uint32_t& p : pixels) p = random();
  return Picture(w, h, pixels);
}

std::vector<uint32_t> Pixels(const ImageSurface& surface) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < surface.Height(); ++y)
    pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + surface.Width());
  return pixels;
}

uint32_t Blue(uint32_t b, uint32_t a) { return b | (a << 24); }

std::vector<uint32_t> Resized(const ImageSurface& source, Size size, ResampleMethod method, TransformPath path) {
  auto target = Picture(size.width, size.height);
  ResizeImage(*source.Descriptor(), *target->Descriptor(), method, path);
  return Pixels(*target);
}

// ---- Worked by hand ------------------------------------------------------------------------

// 2 × 2 to 4 × 4 by "通常": positions 0, 0.5, 1, 1.5. Beyond the right edge the second sample
// repeats the first; below the bottom the third and fourth repeat the second, (x0 + 1, y0),
// so the last row leans toward the right-hand sample. Alpha comes from (x0, y0).
TEST(Resample, BilinearRepeatsTheSampleReadBeforeOneOutside) {
  auto source = Picture(2, 2, {Blue(0, 10), Blue(100, 20), Blue(200, 30), Blue(40, 40)});
  const std::vector<uint32_t> expected = {
      Blue(0, 10),   Blue(50, 10),  Blue(100, 20), Blue(100, 20),  //
      Blue(100, 10), Blue(85, 10),  Blue(70, 20),  Blue(70, 20),   //
      Blue(200, 30), Blue(120, 30), Blue(40, 40),  Blue(40, 40),   //
      Blue(120, 30), Blue(80, 30),  Blue(40, 40),  Blue(40, 40)};
  EXPECT_EQ(Resized(*source, {4, 4}, ResampleMethod::kBilinear, TransformPath::kReference), expected);
}

// 3 × 1 to 5 × 1: positions 0, 0.5, 1, 1.5, 2. The single row maps to position 0, so the
// column cubic gives the pixel itself; the row cubic through 0, 0, 100, 200 at 0.5 is 43.75
// and through 0, 100, 200, 200 at 0.5 is 156.25; each is averaged with the column's value.
TEST(Resample, PolynomialAveragesTheRowAndColumnCubics) {
  auto source = Picture(3, 1, {Blue(0, 1), Blue(100, 2), Blue(200, 3)});
  EXPECT_EQ(Resized(*source, {5, 1}, ResampleMethod::kPolynomial, TransformPath::kReference),
            (std::vector<uint32_t>{Blue(0, 1), Blue(21, 1), Blue(100, 2), Blue(128, 2), Blue(200, 3)}));
}

struct AreaCase {
  const char* name;
  Size from, to;
  std::vector<uint32_t> source, expected;
};

const AreaCase kAreaCases[] = {
    // Footprints [0, 1.5) and [1.5, 3): (10 + 20 × 0.5) / 1.5 and (20 × 0.5 + 40) / 1.5.
    {"ThreeToTwo", {3, 1}, {2, 1}, {Blue(10, 7), Blue(20, 8), Blue(40, 9)}, {Blue(13, 7), Blue(33, 8)}},
    // Whole 2 × 2 blocks: their means, truncated; alpha of each block's top-left pixel.
    {"HalfOfFourByTwo",
     {4, 2},
     {2, 1},
     {Blue(1, 5), Blue(2, 6), Blue(9, 7), Blue(9, 8), Blue(3, 0), Blue(5, 0), Blue(9, 0), Blue(10, 0)},
     {Blue(2, 5), Blue(9, 7)}},
    // Narrower but taller: averaging on both axes, the taller one footprints of half a row.
    {"NarrowerButTaller", {2, 1}, {1, 2}, {Blue(10, 3), Blue(31, 4)}, {Blue(20, 3), Blue(20, 3)}},
};

class AreaAveraging : public ::testing::TestWithParam<AreaCase> {};

TEST_P(AreaAveraging, WeighsEachSourcePixelByItsShareOfTheFootprint) {
  const AreaCase& c = GetParam();
  auto source = Picture(c.from.width, c.from.height, c.source);
  for (int m = 0; m < kTransformMethodCount; ++m)
    EXPECT_EQ(Resized(*source, c.to, ResampleMethod(m), TransformPath::kReference), c.expected) << "method " << m;
}

INSTANTIATE_TEST_SUITE_P(Resample, AreaAveraging, ::testing::ValuesIn(kAreaCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Resample, SameSizeBilinearAndKeysCopyEveryByte) {
  auto source = RandomPicture(9, 7, 11);
  EXPECT_EQ(Resized(*source, {9, 7}, ResampleMethod::kBilinear, TransformPath::kReference), Pixels(*source));
  EXPECT_EQ(Resized(*source, {9, 7}, ResampleMethod::kKeys, TransformPath::kReference), Pixels(*source));
}

// The B-spline weighs 2/3 at distance 0 and 1/6 at 1: a lone 240 spreads to 240 × 4/9,
// 240 × 1/9 and 240 / 36, each plus 0.5 and truncated.
TEST(Resample, SameSizeCubicBSplineSoftens) {
  std::vector<uint32_t> pixels(25, 0xFF000000u);
  pixels[12] = 0xFF0000F0u;
  auto source = Picture(5, 5, pixels);
  const std::vector<uint32_t> out = Resized(*source, {5, 5}, ResampleMethod::kCubicBSpline, TransformPath::kReference);
  EXPECT_EQ(out[12], 0xFF00006Bu);  // 107
  EXPECT_EQ(out[11], 0xFF00001Bu);  // 27
  EXPECT_EQ(out[17], 0xFF00001Bu);
  EXPECT_EQ(out[6], 0xFF000007u);   // 7
  EXPECT_EQ(out[0], 0xFF000000u);
}

// ---- A direct reference of the kernel methods ---------------------------------------------

double DirectKernel(ResampleMethod method, double x) {
  const double t = std::fabs(x), s = 0.16666666666666666;
  if (t >= 2.0) return 0.0;
  const bool near = t < 1.0;
  switch (method) {
    case ResampleMethod::kSplineA: return near ? t * t * t * 3.0 * s - t * t + 4.0 : -(t * t * t) * s + t * t - 2.0 * t + 1.0;
    case ResampleMethod::kCubicBSpline:
      return near ? 0.6666666666666666 - t * t * (2.0 - t) / 2.0 : (2.0 - t) * (2.0 - t) * (2.0 - t) * s;
    case ResampleMethod::kOMoms:
      return near ? t * t * t / 2.0 - t * t + t * 0.07142857142857142 + 0.6190476190476191
                  : -(t * t * t) * s + t * t - 85.0 * 0.023809523809523808 * t + 1.380952380952381;
    default: return near ? 1.5 * t * t * t - 2.5 * t * t + 1.0 : -0.5 * t * t * t + 2.5 * t * t - 4.0 * t + 2.0;
  }
}

std::vector<uint32_t> DirectKernelResize(const ImageSurface& source, Size to, ResampleMethod method) {
  const int32_t w = source.Width(), h = source.Height();
  std::vector<uint32_t> out;
  for (int32_t j = 0; j < to.height; ++j) {
    const double sy = to.height == 1 ? 0.0 : double(j * (h - 1)) / (to.height - 1);
    for (int32_t i = 0; i < to.width; ++i) {
      const double sx = to.width == 1 ? 0.0 : double(i * (w - 1)) / (to.width - 1);
      double sum[4] = {}, weights = 0.0;
      for (int32_t r = int32_t(sy - 2.5); r <= int32_t(sy + 2.5); ++r)
        for (int32_t c = int32_t(sx - 2.5); c <= int32_t(sx + 2.5); ++c) {
          if (c < 0 || c >= w || r < 0 || r >= h) continue;
          const double weight = DirectKernel(method, sx - c) * DirectKernel(method, sy - r);
          for (int k = 0; k < 4; ++k) sum[k] += weight * double((source.Row(r)[c] >> (8 * k)) & 0xFF);
          weights += weight;
        }
      uint32_t pixel = 0;
      for (int k = 0; k < 4; ++k)
        pixel |= uint32_t(std::clamp(std::trunc(sum[k] / weights + 0.5), 0.0, 255.0)) << (8 * k);
      out.push_back(pixel);
    }
  }
  return out;
}

TEST(Resample, KernelMethodsMatchADirectReference) {
  auto source = RandomPicture(5, 4, 7);
  for (ResampleMethod method : {ResampleMethod::kSplineA, ResampleMethod::kCubicBSpline, ResampleMethod::kOMoms,
                                ResampleMethod::kKeys})
    for (Size to : {Size{11, 9}, Size{5, 4}, Size{6, 13}})
      EXPECT_EQ(Resized(*source, to, method, TransformPath::kReference), DirectKernelResize(*source, to, method))
          << "method " << int(method) << " to " << to.width << "x" << to.height;
}

// A target one pixel across would divide by W' − 1; it reads source position 0. Down the
// column the positions are 0, 0.5 and 1: the polynomial's row cubic is flat, its column cubic
// through 60, 60, 200, 200 at 0.5 is 130; O-MOMS weighs distance 0 by 26/42 and 1 by 8/42.
TEST(Resample, OnePixelAcrossReadsPositionZero) {
  auto source = Picture(1, 2, {Blue(60, 255), Blue(200, 255)});
  struct Case {
    ResampleMethod method;
    uint32_t blues[3];
  };
  for (const Case& c : {Case{ResampleMethod::kPolynomial, {60, 95, 200}}, Case{ResampleMethod::kOMoms, {93, 130, 167}}}) {
    const std::vector<uint32_t> out = Resized(*source, {1, 3}, c.method, TransformPath::kReference);
    for (size_t k = 0; k < 3; ++k) EXPECT_EQ(out[k] & 0xFF, c.blues[k]) << int(c.method) << " row " << k;
  }
}

// ---- Rotation ------------------------------------------------------------------------------

TEST(Rotate, ZeroDegreesCopiesTheSource) {
  auto source = RandomPicture(6, 5, 3);
  const double angle = TypedRotationAngle(0);
  const RotatedBounds bounds = RotatedBoundingSize(angle, 6, 5);
  ASSERT_EQ(bounds.width, 6);
  ASSERT_EQ(bounds.height, 5);
  auto target = Picture(6, 5);
  RotateImage(*source->Descriptor(), *target->Descriptor(), angle, TransformPath::kReference);
  EXPECT_EQ(Pixels(*target), Pixels(*source));
}

// Small turns put some positions in (−1, 0), which count as inside: read at 0 there, every
// colour stays between the source's darkest and brightest, and the corners keep the target's
// own pixels.
TEST(Rotate, StaysWithinTheSourceColoursAndKeepsTheCorners) {
  std::vector<uint32_t> pixels(256, 0xFF000000u);
  for (int y = 0; y < 16; ++y) pixels[size_t(y * 16)] = 0xFFC8C8C8u;
  auto source = Picture(16, 16, pixels);
  for (int degrees : {3, 10, -7, 30, 45, 200}) {
    const double angle = TypedRotationAngle(degrees);
    const RotatedBounds bounds = RotatedBoundingSize(angle, 16, 16);
    auto target = Picture(bounds.width, bounds.height);
    RotateImage(*source->Descriptor(), *target->Descriptor(), angle, TransformPath::kReference);
    int kept = 0;
    for (uint32_t p : Pixels(*target)) {
      if (p == 0x00FFFFFFu) {
        ++kept;
        continue;
      }
      EXPECT_LE(p & 0xFF, 0xC8u) << degrees;
      EXPECT_EQ(p >> 24, 0xFFu) << degrees;
    }
    if (degrees == 30 || degrees == 45) {
      EXPECT_GE(kept, 40) << degrees;
    }
  }
}

// ---- Fast paths ----------------------------------------------------------------------------

struct SizeCase {
  Size from, to;
};

const SizeCase kSizeCases[] = {
    {{1, 1}, {1, 1}},     {{1, 1}, {7, 3}},    {{3, 2}, {3, 2}},     {{5, 4}, {17, 9}},   {{7, 7}, {8, 31}},
    {{16, 16}, {33, 47}}, {{17, 5}, {4, 2}},   {{40, 30}, {7, 11}},  {{9, 9}, {1, 1}},    {{13, 6}, {26, 3}},
    {{2, 64}, {64, 2}},   {{31, 17}, {300, 260}},  // two bands on two cores
    {{300, 260}, {97, 101}},
};

// The fast paths with the AVX2 inner loops (where the processor has them) and with the scalar
// ones that stand in for them elsewhere.
std::vector<bool> InnerLoops() {
  if (__builtin_cpu_supports("avx2")) return {false, true};
  return {false};
}

std::vector<uint32_t> FastResized(const ImageSurface& source, Size size, ResampleMethod method, bool avx2) {
  using namespace transform_detail;
  auto target = Picture(size.width, size.height);
  const ImageDescriptor& from = *source.Descriptor();
  ImageDescriptor& to = *target->Descriptor();
  if (size.width < source.Width() || size.height < source.Height())
    ResizeAreaFast(from, to, avx2);
  else if (method == ResampleMethod::kBilinear)
    ResizeBilinearFast(from, to, avx2);
  else if (method == ResampleMethod::kPolynomial)
    ResizePolynomialFast(from, to);
  else
    ResizeKernelFast(from, to, method, avx2);
  return Pixels(*target);
}

TEST(ResampleFastPath, GivesTheReferenceBytesForEveryMethodAndSize) {
  uint32_t seed = 1;
  for (const SizeCase& c : kSizeCases) {
    auto source = RandomPicture(c.from.width, c.from.height, seed);
    for (int m = 0; m < kTransformMethodCount; ++m) {
      const std::vector<uint32_t> reference = Resized(*source, c.to, ResampleMethod(m), TransformPath::kReference);
      ASSERT_EQ(Resized(*source, c.to, ResampleMethod(m), TransformPath::kFast), reference);
      for (bool avx2 : InnerLoops())
        ASSERT_EQ(FastResized(*source, c.to, ResampleMethod(m), avx2), reference)
            << "seed " << seed << " method " << m << " avx2 " << avx2 << " " << c.from.width << "x" << c.from.height
            << " to " << c.to.width << "x" << c.to.height;
    }
    ++seed;
  }
}

// Weights that add up to 1 must not darken a plain area: before the truncation allowed for the
// rounding of the doubles, white came out as 254 in about one pixel in ten.
TEST(ResampleFastPath, APlainPictureKeepsItsColourWhereverTheSumsTruncate) {
  const struct {
    Size from, to;
    ResampleMethod method;
  } resizes[] = {
      {{300, 260}, {97, 101}, ResampleMethod::kBilinear},    // area averaging
      {{31, 17}, {300, 260}, ResampleMethod::kBilinear},     // "通常"
      {{31, 17}, {300, 260}, ResampleMethod::kPolynomial},
  };
  for (uint32_t colour : {0xFFFFFFFFu, 0x80C86407u}) {
    for (const auto& c : resizes) {
      auto source = Picture(c.from.width, c.from.height,
                            std::vector<uint32_t>(size_t(c.from.width) * size_t(c.from.height), colour));
      const std::vector<uint32_t> plain(size_t(c.to.width) * size_t(c.to.height), colour);
      EXPECT_EQ(Resized(*source, c.to, c.method, TransformPath::kReference), plain) << c.to.width;
      for (bool avx2 : InnerLoops()) EXPECT_EQ(FastResized(*source, c.to, c.method, avx2), plain) << avx2;
    }
    auto source = Picture(301, 257, std::vector<uint32_t>(301 * 257, colour));
    for (int degrees : {17, 30}) {
      const double angle = TypedRotationAngle(degrees);
      const RotatedBounds bounds = RotatedBoundingSize(angle, 301, 257);
      for (int path = 0; path < 3; ++path) {
        auto target = Picture(bounds.width, bounds.height);
        if (path == 0)
          RotateImage(*source->Descriptor(), *target->Descriptor(), angle, TransformPath::kReference);
        else if (path == 1 || __builtin_cpu_supports("avx2"))
          transform_detail::RotateFast(*source->Descriptor(), *target->Descriptor(), angle, path == 2);
        for (uint32_t p : Pixels(*target)) {
          if (p != 0x00FFFFFFu) {
            ASSERT_EQ(p, colour) << degrees << " path " << path;
          }
        }
      }
    }
  }
}

TEST(ResampleFastPath, RotationGivesTheReferenceBytesAndDirtyRectangle) {
  auto source = RandomPicture(37, 23, 5);
  auto large = RandomPicture(301, 257, 6);
  for (const ImageSurface* picture : {source.get(), large.get()})
    for (int degrees : {0, 1, 30, 45, 90, -90, 135, 180, -270, 359}) {
      const double angle = TypedRotationAngle(degrees);
      const RotatedBounds bounds = RotatedBoundingSize(angle, picture->Width(), picture->Height());
      auto reference = Picture(bounds.width, bounds.height);
      RotateImage(*picture->Descriptor(), *reference->Descriptor(), angle, TransformPath::kReference);
      for (bool avx2 : InnerLoops()) {
        auto fast = Picture(bounds.width, bounds.height);
        transform_detail::RotateFast(*picture->Descriptor(), *fast->Descriptor(), angle, avx2);
        ASSERT_EQ(Pixels(*fast), Pixels(*reference)) << "degrees " << degrees << " width " << picture->Width();
        EXPECT_EQ(fast->DirtyRect(), reference->DirtyRect()) << degrees;
      }
    }
}

}  // namespace
}  // namespace varnel
