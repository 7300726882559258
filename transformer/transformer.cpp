#include "transformer/transformer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "memwell/memwell.h"
#include "platform/fast_paths.h"
#include "transformer/resample_p.h"

namespace varnel {
namespace {

using namespace transform_detail;

constexpr double kDegreesToHalfTurns = 0.005555555555555556;
constexpr double kPiAsWritten = 3.1415926535;

bool UseReference(TransformPath path) {
  return path == TransformPath::kReference || (path == TransformPath::kAuto && ForceReferencePaths());
}

// A coordinate of a turned corner, truncated toward zero and held to the int range.
int32_t TruncatedCoordinate(double value) {
  if (!(std::fabs(value) < 2147483647.0)) return 0;
  return static_cast<int32_t>(value);
}

int32_t SaturatedSum(int32_t a, int32_t b) {
  return static_cast<int32_t>(std::min<int64_t>(int64_t(a) + b, std::numeric_limits<int32_t>::max()));
}

bool IsValidMask(const TransformMask& mask) { return mask.bits != nullptr && mask.width > 0 && mask.height > 0; }

}  // namespace

void ClearSavedTiles(ImageDescriptor& image) {
  if (image.savedTiles != nullptr) {
    for (int32_t i = 0; i < image.savedTileCount; ++i) {
      FXFree(image.savedTiles[i]);
      image.savedTiles[i] = nullptr;
    }
  }
  image.savedTileCount = 0;
  if (image.tileFlags != nullptr && image.tilesAcross > 0 && image.tilesDown > 0)
    std::memset(image.tileFlags, 0, static_cast<size_t>(image.tilesAcross) * static_cast<size_t>(image.tilesDown));
}

void ResizeImage(const ImageDescriptor& source, ImageDescriptor& target, ResampleMethod method, TransformPath path) {
  if (!HasPixels(source) || !HasPixels(target)) return;
  const bool reference = UseReference(path);
  const bool avx2 = UseAvx2Paths() || (path == TransformPath::kFast && GetFastPaths().avx2);
  const bool smaller = Width(target) < Width(source) || Height(target) < Height(source);
  if (smaller) {
    reference ? ResizeAreaReference(source, target) : ResizeAreaFast(source, target, avx2);
  } else if (method == ResampleMethod::kPolynomial) {
    if (reference) {
      ResizePolynomialReference(source, target);
    } else {
      // The rule gives the saved tiles back after every 16th row; the library takes none while
      // it works, so giving them back before the rows are shared out leaves the same image.
      ClearSavedTiles(target);
      ResizePolynomialFast(source, target);
    }
  } else if (IsKernelMethod(method)) {
    if (reference) {
      ResizeKernelReference(source, target, method);
    } else {
      ClearSavedTiles(target);
      ResizeKernelFast(source, target, method, avx2);
    }
  } else {
    reference ? ResizeBilinearReference(source, target) : ResizeBilinearFast(source, target, avx2);
  }
  WidenDirty(target, 0, 0, Width(target) - 1, Height(target) - 1);
}

void RotateImage(const ImageDescriptor& source, ImageDescriptor& target, double angle, TransformPath path) {
  if (!HasPixels(source) || !HasPixels(target) || !std::isfinite(angle)) return;
  const bool avx2 = UseAvx2Paths() || (path == TransformPath::kFast && GetFastPaths().avx2);
  UseReference(path) ? RotateReference(source, target, angle) : RotateFast(source, target, angle, avx2);
}

void ResizeMask(const TransformMask& source, TransformMask& target) {
  if (!IsValidMask(source) || !IsValidMask(target)) return;
  for (int32_t j = 0; j < target.height; ++j) {
    const int64_t y = int64_t(j) * source.height / target.height;
    const uint8_t* from = source.bits + y * source.width;
    uint8_t* to = target.bits + int64_t(j) * target.width;
    for (int32_t i = 0; i < target.width; ++i) to[i] = from[int64_t(i) * source.width / target.width];
  }
}

void RotateMask(const TransformMask& source, TransformMask& target, double angle) {
  if (!IsValidMask(source) || !IsValidMask(target) || !std::isfinite(angle)) return;
  const RotatedBounds bounds = RotatedBoundingSize(angle, source.width, source.height);
  const double cosine = std::cos(angle), sine = std::sin(angle);
  for (int32_t j = 0; j < target.height; ++j) {
    const double y = static_cast<double>(j - bounds.offsetY);
    uint8_t* to = target.bits + int64_t(j) * target.width;
    for (int32_t i = 0; i < target.width; ++i) {
      const double x = static_cast<double>(i - bounds.offsetX);
      const double sx = x * cosine + y * sine, sy = y * cosine - x * sine;
      if (!(std::fabs(sx) < 2147483647.0 && std::fabs(sy) < 2147483647.0)) continue;
      const int32_t x0 = static_cast<int32_t>(sx), y0 = static_cast<int32_t>(sy);
      if (x0 < 0 || x0 >= source.width || y0 < 0 || y0 >= source.height) continue;
      to[i] = source.bits[int64_t(y0) * source.width + x0];
    }
  }
}

RotatedBounds RotatedBoundingSize(double angle, int32_t width, int32_t height) {
  const double cosine = std::cos(angle), sine = std::sin(angle);
  const double w = width, h = height;
  const int32_t xs[4] = {0, TruncatedCoordinate(-h * sine), TruncatedCoordinate(w * cosine),
                         TruncatedCoordinate(w * cosine - h * sine)};
  const int32_t ys[4] = {0, TruncatedCoordinate(h * cosine), TruncatedCoordinate(w * sine),
                         TruncatedCoordinate(w * sine + h * cosine)};
  RotatedBounds bounds;
  const int32_t maxX = std::max(*std::max_element(xs, xs + 4), 0);
  const int32_t maxY = std::max(*std::max_element(ys, ys + 4), 0);
  bounds.offsetX = -std::min(*std::min_element(xs, xs + 4), 0);
  bounds.offsetY = -std::min(*std::min_element(ys, ys + 4), 0);
  bounds.width = SaturatedSum(maxX, bounds.offsetX);
  bounds.height = SaturatedSum(maxY, bounds.offsetY);
  return bounds;
}

double TypedRotationAngle(int32_t degrees) {
  return -(static_cast<double>(degrees % 360) * kDegreesToHalfTurns * kPiAsWritten);
}

double LineRotationAngle(double degrees) { return degrees * kDegreesToHalfTurns * kPiAsWritten; }

}  // namespace varnel
