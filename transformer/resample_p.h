#pragma once
// What the reference and the fast paths of the resamplers share: the kernels with their
// double constants, the mappings from target to source positions, and the descriptor helpers.
// Every piece of arithmetic that decides a byte is written once here, so both paths compute
// the very same doubles.

#include <cmath>
#include <cstdint>
#include <cstring>

#include "sdk/varnel_image.h"
#include "transformer/transformer.h"

namespace varnel::transform_detail {

inline constexpr double kOneSixth = 0.16666666666666666;
inline constexpr double kTwoThirds = 0.6666666666666666;
inline constexpr double kOneFourteenth = 0.07142857142857142;
inline constexpr double kThirteenTwentyFirsts = 0.6190476190476191;
inline constexpr double kOneFortySecond = 0.023809523809523808;
inline constexpr double kTwentyNineTwentyFirsts = 1.380952380952381;

// Kernels of the methods 2…5 at t = |x|; all are 0 from t = 2 on.
// Kernel A ("スプライン1"): t³ × 3 × (1/6) − t² + 4 below 1, −t³ × (1/6) + t² − 2t + 1 below 2.
inline double KernelSplineA(double x) {
  const double t = std::fabs(x);
  if (t < 1.0) return t * t * t * 3.0 * kOneSixth - t * t + 4.0;
  if (t < 2.0) return -(t * t * t) * kOneSixth + t * t - 2.0 * t + 1.0;
  return 0.0;
}
// Cubic B-spline: 2/3 − t² (2 − t) / 2 below 1, (2 − t)³ / 6 below 2; 1/6 at distance 1.
inline double KernelCubicBSpline(double x) {
  const double t = std::fabs(x);
  if (t < 1.0) return kTwoThirds - t * t * (2.0 - t) / 2.0;
  if (t < 2.0) {
    const double u = 2.0 - t;
    return u * u * u * kOneSixth;
  }
  return 0.0;
}
// O-MOMS: t³/2 − t² + t/14 + 13/21 below 1, −t³/6 + t² − 85t/42 + 29/21 below 2.
inline double KernelOMoms(double x) {
  const double t = std::fabs(x);
  if (t < 1.0) return t * t * t / 2.0 - t * t + t * kOneFourteenth + kThirteenTwentyFirsts;
  if (t < 2.0) return -(t * t * t) * kOneSixth + t * t - 85.0 * kOneFortySecond * t + kTwentyNineTwentyFirsts;
  return 0.0;
}
// Keys' cubic convolution, a = −0.5: 1.5t³ − 2.5t² + 1 below 1, −0.5t³ + 2.5t² − 4t + 2 below 2.
inline double KernelKeys(double x) {
  const double t = std::fabs(x);
  if (t < 1.0) return 1.5 * t * t * t - 2.5 * t * t + 1.0;
  if (t < 2.0) return -0.5 * t * t * t + 2.5 * t * t - 4.0 * t + 2.0;
  return 0.0;
}

inline double Kernel(ResampleMethod method, double x) {
  switch (method) {
    case ResampleMethod::kSplineA: return KernelSplineA(x);
    case ResampleMethod::kCubicBSpline: return KernelCubicBSpline(x);
    case ResampleMethod::kOMoms: return KernelOMoms(x);
    case ResampleMethod::kKeys: return KernelKeys(x);
    default: return 0.0;
  }
}

inline bool IsKernelMethod(ResampleMethod method) {
  return method == ResampleMethod::kSplineA || method == ResampleMethod::kCubicBSpline ||
         method == ResampleMethod::kOMoms || method == ResampleMethod::kKeys;
}

// i × from / to in real division: the footprint start of area averaging and the position of
// "通常". i × from is exact in a double for every size an image can have.
inline double ScaledPosition(int32_t i, int32_t from, int32_t to) {
  return static_cast<double>(static_cast<int64_t>(i) * from) / static_cast<double>(to);
}
// i × (from − 1) / (to − 1), the position of the polynomial and kernel methods. A target of
// one pixel would divide by zero; it takes source position 0.
inline double EndAlignedPosition(int32_t i, int32_t from, int32_t to) {
  if (to <= 1) return 0.0;
  return static_cast<double>(static_cast<int64_t>(i) * (from - 1)) / static_cast<double>(to - 1);
}

// A channel value truncated toward zero and held to 0…255; NaN gives 0.
inline uint8_t ClampTruncated(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 255.0) return 255;
  return static_cast<uint8_t>(value);
}

// What a truncated weighted sum may lack through the rounding of its doubles. Weights that add
// up to 1 in exact arithmetic add up to a hair less in doubles, so a plain white area came out
// as 254 in about one pixel in ten. A resize's true sum is a fraction over at most the source's
// (averaging) or the target's (enlarging) pixel count, so short of a whole number it is short
// by at least one over that count: more than this slack below ten megapixels. The doubles'
// own rounding stays far below it.
inline constexpr double kTruncationSlack = 1e-7;

// A weighted sum of channel values, truncated toward zero as the rules say, held to 0…255.
inline uint8_t TruncatedSum(double value) { return ClampTruncated(value + kTruncationSlack); }

inline int32_t Width(const ImageDescriptor& image) { return image.header.biWidth; }
inline int32_t Height(const ImageDescriptor& image) { return image.header.biHeight; }
inline bool HasPixels(const ImageDescriptor& image) {
  return image.rows != nullptr && image.header.biWidth > 0 && image.header.biHeight > 0;
}
inline const uint8_t* PixelAt(const ImageDescriptor& image, int32_t x, int32_t y) {
  return image.rows[y] + static_cast<size_t>(x) * 4;
}
inline uint8_t* PixelAt(ImageDescriptor& image, int32_t x, int32_t y) {
  return image.rows[y] + static_cast<size_t>(x) * 4;
}

inline bool Inside(const ImageDescriptor& image, int32_t x, int32_t y) {
  return x >= 0 && x < Width(image) && y >= 0 && y < Height(image);
}

// The four samples of "通常" at (x0, y0): (x0, y0), (x0 + 1, y0), (x0, y0 + 1), (x0 + 1, y0 + 1)
// read in that order, a sample outside the source repeating the one read before it. (x0, y0)
// itself must be inside.
void BilinearSamples(const ImageDescriptor& source, int32_t x0, int32_t y0, const uint8_t* samples[4]);

// One pixel of "多項式補間" at source position (ix + fx, iy + fy); see the reference.
void PolynomialPixel(const ImageDescriptor& source, int32_t ix, double fx, int32_t iy, double fy, uint8_t* out);

// Widens the dirty rectangle by an inclusive rectangle inside the image, as the surface does.
void WidenDirty(ImageDescriptor& image, int32_t left, int32_t top, int32_t right, int32_t bottom);

// The reference resamplers, straight from the rules.
void ResizeAreaReference(const ImageDescriptor& source, ImageDescriptor& target);
void ResizeBilinearReference(const ImageDescriptor& source, ImageDescriptor& target);
void ResizePolynomialReference(const ImageDescriptor& source, ImageDescriptor& target);
void ResizeKernelReference(const ImageDescriptor& source, ImageDescriptor& target, ResampleMethod method);
void RotateReference(const ImageDescriptor& source, ImageDescriptor& target, double angle);

// The weight of source column (or row) c in an area-averaging footprint [start, end):
// 1 − (start − c) when 0 ≤ start − c ≤ 1, else end − c when 0 ≤ end − c ≤ 1, else 1.
inline double AreaWeight(double start, double end, int32_t c) {
  if (start - c >= 0.0 && start - c <= 1.0) return 1.0 - (start - c);
  if (end - c >= 0.0 && end - c <= 1.0) return end - c;
  return 1.0;
}

// The fast paths of whole images (both cores when the image is large) and their rows
// [rowBegin, rowEnd) of the target.
// avx2 chooses the inner loops (the scalar ones stand in on
// processors without it).
void ResizeAreaFast(const ImageDescriptor& source, ImageDescriptor& target, bool avx2);
void ResizeBilinearFast(const ImageDescriptor& source, ImageDescriptor& target, bool avx2);
void ResizePolynomialFast(const ImageDescriptor& source, ImageDescriptor& target);
void ResizeKernelFast(const ImageDescriptor& source, ImageDescriptor& target, ResampleMethod method, bool avx2);
void RotateFast(const ImageDescriptor& source, ImageDescriptor& target, double angle, bool avx2);

// The inner loops, per target row. Weighted pixels: pixel i of out is the sum over the rows r
// (rowCount of them, from rows[0]) and its columns c (columnCount[i] of them, from
// columnFirst[i]) of (columnWeights[i × stride + c] × rowWeights[r]) × the source pixel, rows
// outer, columns inner, over the sum of those weights. Area averaging truncates blue, green
// and red and takes alpha from the first row's first column; the kernel methods add 0.5 to
// all four channels, truncate and hold them to 0…255.
struct WeightedRow {
  const uint8_t* const* rows;
  int32_t rowCount;
  const double* rowWeights;
  const int32_t* columnFirst;
  const int32_t* columnCount;
  const double* columnWeights;
  int32_t columnStride;
  int32_t count;
  bool kernel;
  uint8_t* out;
};
void WeightedPixelsScalar(const WeightedRow& row);
void WeightedPixelsAvx2(const WeightedRow& row);

// Bilinear pixels: pixel k of the run reads the samples at samples[4k … 4k + 3] (already
// chosen by the repeat rule), weighs them (1 − ax)(1 − ay), ax(1 − ay), (1 − ax)ay, ax·ay,
// truncates blue, green and red and takes alpha from the first sample; it goes to out[k].
struct BilinearRun {
  const uint8_t* const* samples;
  const double* ax;
  const double* ay;
  uint8_t* const* out;
  int32_t count;
};
void BilinearPixelsScalar(const BilinearRun& run);

// One target row of the "通常" enlargement with AVX2: pixel i reads top + 4 x0[i] and
// top + 4 x1[i] (x1 is x0 + 1, or x0 at the right edge), then bottom + 4 x0[i] (or, when the
// row below is outside, the second sample again) and bottom + 4 x1[i] (bottom is top then).
struct BilinearResizeRow {
  const uint8_t* top;
  const uint8_t* bottom;
  bool bottomInside;
  const int32_t* x0;
  const int32_t* x1;
  const double* ax;
  double ay;
  int32_t count;
  uint8_t* out;
};
void BilinearResizeRowAvx2(const BilinearResizeRow& row);

// One target row of the rotation with AVX2: pixel i at (xCos[i] + ySin, yCos − xSin[i]). The
// columns written widen [left, right].
struct RotateRow {
  const uint8_t* const* rows;
  int32_t width;
  int32_t height;
  const double* xCos;
  const double* xSin;
  double ySin;
  double yCos;
  int32_t count;
  uint8_t* out;
  int32_t left;
  int32_t right;
};
void RotateRowAvx2(RotateRow& row);

}  // namespace varnel::transform_detail
