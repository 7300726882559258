// The resamplers written straight from their rules, one target pixel at a time. They stay as
// the yardstick of the fast paths (resample_fast.cpp), which must give the same bytes.

#include <algorithm>
#include <cmath>

#include "transformer/resample_p.h"

namespace varnel::transform_detail {
namespace {

constexpr int32_t kClearEveryRows = 16;

// Blue, green and red weighted (1 − ax)(1 − ay), ax(1 − ay), (1 − ax)ay, ax·ay over the samples
// in their order and truncated; alpha from the first sample.
void BilinearPixel(const uint8_t* const samples[4], double ax, double ay, uint8_t* out) {
  const double w[4] = {(1.0 - ax) * (1.0 - ay), ax * (1.0 - ay), (1.0 - ax) * ay, ax * ay};
  for (int channel = 0; channel < 3; ++channel) {
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) sum += w[k] * samples[k][channel];
    out[channel] = TruncatedSum(sum);
  }
  out[3] = samples[0][3];
}

// The cubic through p[0…3] at positions −1, 0, 1, 2, at f. Its coefficients are the samples
// times the inverse of the powers matrix, which is a sixth of an integer matrix: the integer
// part is applied exactly and the sixth once at the end, so a flat run stays flat.
double Cubic(const double p[4], double f) {
  const double a6 = -p[0] + 3.0 * p[1] - 3.0 * p[2] + p[3];
  const double b6 = 3.0 * p[0] - 6.0 * p[1] + 3.0 * p[2];
  const double c6 = -2.0 * p[0] - 3.0 * p[1] + 6.0 * p[2] - p[3];
  return ((a6 * f + b6) * f + c6) * f / 6.0 + p[1];
}

}  // namespace

void PolynomialPixel(const ImageDescriptor& source, int32_t ix, double fx, int32_t iy, double fy, uint8_t* out) {
  const uint8_t* samples[8];
  const uint8_t* previous = PixelAt(source, ix, iy);
  for (int k = 0; k < 4; ++k) {
    if (Inside(source, ix - 1 + k, iy)) previous = PixelAt(source, ix - 1 + k, iy);
    samples[k] = previous;
  }
  for (int k = 0; k < 4; ++k) {
    if (Inside(source, ix, iy - 1 + k)) previous = PixelAt(source, ix, iy - 1 + k);
    samples[4 + k] = previous;
  }
  for (int channel = 0; channel < 3; ++channel) {
    const double across[4] = {double(samples[0][channel]), double(samples[1][channel]), double(samples[2][channel]),
                              double(samples[3][channel])};
    const double down[4] = {double(samples[4][channel]), double(samples[5][channel]), double(samples[6][channel]),
                            double(samples[7][channel])};
    out[channel] = TruncatedSum((Cubic(across, fx) + Cubic(down, fy)) / 2.0);
  }
  out[3] = PixelAt(source, ix, iy)[3];
}

void BilinearSamples(const ImageDescriptor& source, int32_t x0, int32_t y0, const uint8_t* samples[4]) {
  samples[0] = PixelAt(source, x0, y0);
  samples[1] = Inside(source, x0 + 1, y0) ? PixelAt(source, x0 + 1, y0) : samples[0];
  samples[2] = Inside(source, x0, y0 + 1) ? PixelAt(source, x0, y0 + 1) : samples[1];
  samples[3] = Inside(source, x0 + 1, y0 + 1) ? PixelAt(source, x0 + 1, y0 + 1) : samples[2];
}

void WidenDirty(ImageDescriptor& image, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const int32_t width = Width(image), height = Height(image);
  if (!HasPixels(image) || left > right || top > bottom || right < 0 || bottom < 0 || left >= width ||
      top >= height)
    return;
  if (image.dirtyBottom < 0) {
    image.dirtyLeft = left;
    image.dirtyTop = top;
    image.dirtyRight = right;
    image.dirtyBottom = bottom;
  } else {
    image.dirtyLeft = std::min(image.dirtyLeft, left);
    image.dirtyTop = std::min(image.dirtyTop, top);
    image.dirtyRight = std::max(image.dirtyRight, right);
    image.dirtyBottom = std::max(image.dirtyBottom, bottom);
  }
  image.dirtyLeft = std::clamp(image.dirtyLeft, 0, width - 1);
  image.dirtyTop = std::clamp(image.dirtyTop, 0, height - 1);
  image.dirtyRight = std::clamp(image.dirtyRight, 0, width - 1);
  image.dirtyBottom = std::clamp(image.dirtyBottom, 0, height - 1);
}

// Area averaging: target (i, j) covers x from i × W / W' to (i + 1) × W / W' and y likewise.
// The source columns from trunc(xs) to below ceil(xe) and the rows alike are visited, a pixel
// weighing the product of its column's and its row's AreaWeight. Blue, green
// and red are the weighted sums over the weight sum, truncated; alpha is that of the source
// pixel (trunc(xs), trunc(ys)).
void ResizeAreaReference(const ImageDescriptor& source, ImageDescriptor& target) {
  const int32_t w = Width(source), h = Height(source), tw = Width(target), th = Height(target);
  for (int32_t j = 0; j < th; ++j) {
    const double ys = ScaledPosition(j, h, th), ye = ScaledPosition(j + 1, h, th);
    const int32_t rowFirst = static_cast<int32_t>(ys);
    const int32_t rowEnd = std::min(static_cast<int32_t>(std::ceil(ye)), h);
    for (int32_t i = 0; i < tw; ++i) {
      const double xs = ScaledPosition(i, w, tw), xe = ScaledPosition(i + 1, w, tw);
      const int32_t columnFirst = static_cast<int32_t>(xs);
      const int32_t columnEnd = std::min(static_cast<int32_t>(std::ceil(xe)), w);
      double sum[3] = {0.0, 0.0, 0.0};
      double weights = 0.0;
      for (int32_t r = rowFirst; r < rowEnd; ++r) {
        const double wy = AreaWeight(ys, ye, r);
        for (int32_t c = columnFirst; c < columnEnd; ++c) {
          const double wxy = AreaWeight(xs, xe, c) * wy;
          const uint8_t* pixel = PixelAt(source, c, r);
          for (int channel = 0; channel < 3; ++channel) sum[channel] += wxy * pixel[channel];
          weights += wxy;
        }
      }
      uint8_t* out = PixelAt(target, i, j);
      for (int channel = 0; channel < 3; ++channel) out[channel] = TruncatedSum(sum[channel] / weights);
      out[3] = PixelAt(source, columnFirst, rowFirst)[3];
    }
  }
}

// "通常": position (i × W / W', j × H / H'), the four samples around it.
void ResizeBilinearReference(const ImageDescriptor& source, ImageDescriptor& target) {
  const int32_t w = Width(source), h = Height(source), tw = Width(target), th = Height(target);
  for (int32_t j = 0; j < th; ++j) {
    const double fy = ScaledPosition(j, h, th);
    const int32_t y0 = static_cast<int32_t>(fy);
    for (int32_t i = 0; i < tw; ++i) {
      const double fx = ScaledPosition(i, w, tw);
      const int32_t x0 = static_cast<int32_t>(fx);
      const uint8_t* samples[4];
      BilinearSamples(source, x0, y0, samples);
      BilinearPixel(samples, fx - x0, fy - y0, PixelAt(target, i, j));
    }
  }
}

// "多項式補間": at (sx, sy) = (i × (W − 1) / (W' − 1), j × (H − 1) / (H' − 1)) the cubic along
// the row through (ix − 1 … ix + 2, iy) at fx and the cubic along the column through
// (ix, iy − 1 … iy + 2) at fy, read in that order; a sample outside repeats the one read
// before it (the first of a pixel, (ix − 1, iy), has none before it and takes (ix, iy)).
// Blue, green and red are (row + column) / 2 truncated and held to 0…255; alpha is that of
// (ix, iy). The saved tiles are given back after every 16th row.
void ResizePolynomialReference(const ImageDescriptor& source, ImageDescriptor& target) {
  const int32_t w = Width(source), h = Height(source), tw = Width(target), th = Height(target);
  for (int32_t j = 0; j < th; ++j) {
    const double sy = EndAlignedPosition(j, h, th);
    const int32_t iy = static_cast<int32_t>(sy);
    const double fy = sy - iy;
    for (int32_t i = 0; i < tw; ++i) {
      const double sx = EndAlignedPosition(i, w, tw);
      const int32_t ix = static_cast<int32_t>(sx);
      const double fx = sx - ix;
      PolynomialPixel(source, ix, fx, iy, fy, PixelAt(target, i, j));
    }
    if (j % kClearEveryRows == 0) ClearSavedTiles(target);
  }
}

// Kernel methods: at (sx, sy) as for the polynomial, the source columns trunc(sx − 2.5) …
// trunc(sx + 2.5) and rows likewise, (c, r) weighing K(sx − c) × K(sy − r); samples outside
// the source are left out with their weight. Every channel, alpha too, is the weighted sum
// over the weight sum plus 0.5, truncated and held to 0…255. The saved tiles are given back
// after every 16th row.
void ResizeKernelReference(const ImageDescriptor& source, ImageDescriptor& target, ResampleMethod method) {
  const int32_t w = Width(source), h = Height(source), tw = Width(target), th = Height(target);
  for (int32_t j = 0; j < th; ++j) {
    const double sy = EndAlignedPosition(j, h, th);
    for (int32_t i = 0; i < tw; ++i) {
      const double sx = EndAlignedPosition(i, w, tw);
      double sum[4] = {0.0, 0.0, 0.0, 0.0};
      double weights = 0.0;
      for (int32_t r = static_cast<int32_t>(sy - 2.5); r <= static_cast<int32_t>(sy + 2.5); ++r) {
        for (int32_t c = static_cast<int32_t>(sx - 2.5); c <= static_cast<int32_t>(sx + 2.5); ++c) {
          if (!Inside(source, c, r)) continue;
          const double weight = Kernel(method, sx - c) * Kernel(method, sy - r);
          const uint8_t* pixel = PixelAt(source, c, r);
          for (int channel = 0; channel < 4; ++channel) sum[channel] += weight * pixel[channel];
          weights += weight;
        }
      }
      uint8_t* out = PixelAt(target, i, j);
      for (int channel = 0; channel < 4; ++channel) out[channel] = ClampTruncated(sum[channel] / weights + 0.5);
    }
    if (j % kClearEveryRows == 0) ClearSavedTiles(target);
  }
}

// Rotation by θ: target (i, j) is source (X cos θ + Y sin θ, Y cos θ − X sin θ) with
// X = i − offX, Y = j − offY, by "通常" around (trunc(sx), trunc(sy)); a pixel whose (x0, y0)
// lies outside the source keeps what it held. A position in (−1, 0) truncates to 0 and counts
// as inside; it is read as 0 there, since its fraction would be a negative weight and carry
// the colour beyond 0…255.
void RotateReference(const ImageDescriptor& source, ImageDescriptor& target, double angle) {
  const RotatedBounds bounds = RotatedBoundingSize(angle, Width(source), Height(source));
  const double cosine = std::cos(angle), sine = std::sin(angle);
  const int32_t tw = Width(target), th = Height(target);
  int32_t left = tw, right = -1, top = th, bottom = -1;
  for (int32_t j = 0; j < th; ++j) {
    const double y = static_cast<double>(j - bounds.offsetY);
    for (int32_t i = 0; i < tw; ++i) {
      const double x = static_cast<double>(i - bounds.offsetX);
      const double sx = x * cosine + y * sine;
      const double sy = y * cosine - x * sine;
      // Positions beyond the int range are far outside the source.
      if (!(std::fabs(sx) < 2147483647.0 && std::fabs(sy) < 2147483647.0)) continue;
      const int32_t x0 = static_cast<int32_t>(sx), y0 = static_cast<int32_t>(sy);
      if (!Inside(source, x0, y0)) continue;
      const uint8_t* samples[4];
      BilinearSamples(source, x0, y0, samples);
      BilinearPixel(samples, std::max(sx - x0, 0.0), std::max(sy - y0, 0.0), PixelAt(target, i, j));
      left = std::min(left, i);
      right = std::max(right, i);
      top = std::min(top, j);
      bottom = std::max(bottom, j);
    }
  }
  WidenDirty(target, left, top, right, bottom);
}

}  // namespace varnel::transform_detail
