// The resamplers' fast paths. They compute every double the reference computes, in the same
// order, but take the per-column and per-row terms from tables made once per image, run the
// channels of a pixel side by side (AVX2 when the processor has it) and split large images
// into two bands of rows on two threads. Terms the reference adds as exact zeros (a kernel's
// weight at distance 2 or more) are left out: adding zero changes no sum.

#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/fast_paths.h"
#include "transformer/resample_p.h"

namespace varnel::transform_detail {
namespace {

// Below this many target pixels a second thread costs more than it saves.
constexpr int64_t kBandPixels = 1 << 16;
// Pixels handed to the inner loops at a time, so their tables stay in the first-level cache.
constexpr int32_t kRunPixels = 256;
// A kernel reaches at most 2 pixels either side: columns trunc(s − 2.5) … trunc(s + 2.5).
constexpr int32_t kKernelTaps = 6;

// Runs rows(begin, end) over [0, height): in two bands on two threads when the image is large
// and the machine has two cores, else at once. Rows are independent, so the bytes are the same.
template <typename Rows>
void InBands(int32_t height, int64_t pixels, Rows&& rows) {
  if (height >= 2 && pixels >= kBandPixels && std::thread::hardware_concurrency() >= 2) {
    const int32_t middle = height / 2;
    std::thread lower;
    try {
      lower = std::thread([&] { rows(middle, height); });
    } catch (const std::system_error&) {
      // No thread to be had: this one does all the rows.
      rows(0, height);
      return;
    }
    rows(0, middle);
    lower.join();
    return;
  }
  rows(0, height);
}

// For each target position along one axis: the first source index visited, how many, and
// their weights (stride apart).
struct AxisTable {
  std::vector<int32_t> first;
  std::vector<int32_t> count;
  std::vector<double> weights;
  int32_t stride = 0;
};

// Area averaging along an axis of from source pixels onto to target pixels.
AxisTable AreaAxis(int32_t from, int32_t to) {
  AxisTable table;
  table.first.resize(static_cast<size_t>(to));
  table.count.resize(static_cast<size_t>(to));
  for (int32_t i = 0; i < to; ++i) {
    const double start = ScaledPosition(i, from, to), end = ScaledPosition(i + 1, from, to);
    table.first[size_t(i)] = static_cast<int32_t>(start);
    table.count[size_t(i)] = std::min(static_cast<int32_t>(std::ceil(end)), from) - table.first[size_t(i)];
    table.stride = std::max(table.stride, table.count[size_t(i)]);
  }
  table.weights.resize(static_cast<size_t>(to) * static_cast<size_t>(table.stride));
  for (int32_t i = 0; i < to; ++i) {
    const double start = ScaledPosition(i, from, to), end = ScaledPosition(i + 1, from, to);
    for (int32_t k = 0; k < table.count[size_t(i)]; ++k)
      table.weights[size_t(i) * size_t(table.stride) + size_t(k)] = AreaWeight(start, end, table.first[size_t(i)] + k);
  }
  return table;
}

// A kernel along an axis: the source indices trunc(s − 2.5) … trunc(s + 2.5) inside the
// source, without the zero weights at either end.
AxisTable KernelAxis(int32_t from, int32_t to, ResampleMethod method) {
  AxisTable table;
  table.stride = kKernelTaps;
  table.first.resize(static_cast<size_t>(to));
  table.count.resize(static_cast<size_t>(to));
  table.weights.assign(static_cast<size_t>(to) * kKernelTaps, 0.0);
  for (int32_t i = 0; i < to; ++i) {
    const double s = EndAlignedPosition(i, from, to);
    int32_t low = std::max(static_cast<int32_t>(s - 2.5), 0);
    int32_t high = std::min(static_cast<int32_t>(s + 2.5), from - 1);
    while (low <= high && Kernel(method, s - low) == 0.0) ++low;
    while (high >= low && Kernel(method, s - high) == 0.0) --high;
    table.first[size_t(i)] = low;
    table.count[size_t(i)] = std::max(high - low + 1, 0);
    for (int32_t k = 0; k < table.count[size_t(i)]; ++k)
      table.weights[size_t(i) * kKernelTaps + size_t(k)] = Kernel(method, s - (low + k));
  }
  return table;
}

void WeightedImage(const ImageDescriptor& source, ImageDescriptor& target, const AxisTable& columns,
                   const AxisTable& rows, bool kernel, bool avx2) {
  const int32_t tw = Width(target), th = Height(target);
  InBands(th, int64_t(tw) * th, [&](int32_t rowBegin, int32_t rowEnd) {
    for (int32_t j = rowBegin; j < rowEnd; ++j) {
      WeightedRow row;
      row.rows = source.rows + rows.first[size_t(j)];
      row.rowCount = rows.count[size_t(j)];
      row.rowWeights = rows.weights.data() + size_t(j) * size_t(rows.stride);
      row.columnFirst = columns.first.data();
      row.columnCount = columns.count.data();
      row.columnWeights = columns.weights.data();
      row.columnStride = columns.stride;
      row.count = tw;
      row.kernel = kernel;
      row.out = target.rows[j];
      avx2 ? WeightedPixelsAvx2(row) : WeightedPixelsScalar(row);
    }
  });
}

// The target pixels a band wrote, for the dirty rectangle.
struct WrittenSpan {
  int32_t left;
  int32_t right;
  int32_t top;
  int32_t bottom;
};

// Where a run of bilinear pixels gathers its samples and puts its results.
struct BilinearBuffers {
  const uint8_t* samples[4 * kRunPixels];
  double ax[kRunPixels];
  double ay[kRunPixels];
  uint8_t* out[kRunPixels];
  int32_t count = 0;

  void Flush() {
    if (count > 0) BilinearPixelsScalar({samples, ax, ay, out, count});
    count = 0;
  }
};

}  // namespace

void WeightedPixelsScalar(const WeightedRow& row) {
  for (int32_t i = 0; i < row.count; ++i) {
    const int32_t first = row.columnFirst[i], columns = row.columnCount[i];
    const double* columnWeights = row.columnWeights + size_t(i) * size_t(row.columnStride);
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    double weights = 0.0;
    for (int32_t r = 0; r < row.rowCount; ++r) {
      const uint8_t* pixel = row.rows[r] + size_t(first) * 4;
      for (int32_t c = 0; c < columns; ++c, pixel += 4) {
        const double weight = columnWeights[c] * row.rowWeights[r];
        for (int channel = 0; channel < 4; ++channel) sum[channel] += weight * pixel[channel];
        weights += weight;
      }
    }
    uint8_t* out = row.out + size_t(i) * 4;
    if (row.kernel) {
      for (int channel = 0; channel < 4; ++channel) out[channel] = ClampTruncated(sum[channel] / weights + 0.5);
    } else {
      for (int channel = 0; channel < 3; ++channel) out[channel] = TruncatedSum(sum[channel] / weights);
      out[3] = row.rows[0][size_t(first) * 4 + 3];
    }
  }
}

void BilinearPixelsScalar(const BilinearRun& run) {
  for (int32_t k = 0; k < run.count; ++k) {
    const uint8_t* const* samples = run.samples + size_t(k) * 4;
    const double ax = run.ax[k], ay = run.ay[k];
    const double w[4] = {(1.0 - ax) * (1.0 - ay), ax * (1.0 - ay), (1.0 - ax) * ay, ax * ay};
    for (int channel = 0; channel < 3; ++channel) {
      double sum = 0.0;
      for (int s = 0; s < 4; ++s) sum += w[s] * samples[s][channel];
      run.out[k][channel] = TruncatedSum(sum);
    }
    run.out[k][3] = samples[0][3];
  }
}

void ResizeAreaFast(const ImageDescriptor& source, ImageDescriptor& target, bool avx2) {
  WeightedImage(source, target, AreaAxis(Width(source), Width(target)), AreaAxis(Height(source), Height(target)),
                false, avx2);
}

void ResizeKernelFast(const ImageDescriptor& source, ImageDescriptor& target, ResampleMethod method, bool avx2) {
  WeightedImage(source, target, KernelAxis(Width(source), Width(target), method),
                KernelAxis(Height(source), Height(target), method), true, avx2);
}

void ResizeBilinearFast(const ImageDescriptor& source, ImageDescriptor& target, bool avx2) {
  const int32_t w = Width(source), h = Height(source), tw = Width(target), th = Height(target);
  std::vector<int32_t> x0(static_cast<size_t>(tw)), x1(static_cast<size_t>(tw));
  std::vector<double> ax(static_cast<size_t>(tw));
  for (int32_t i = 0; i < tw; ++i) {
    const double fx = ScaledPosition(i, w, tw);
    x0[size_t(i)] = static_cast<int32_t>(fx);
    x1[size_t(i)] = x0[size_t(i)] + 1 < w ? x0[size_t(i)] + 1 : x0[size_t(i)];
    ax[size_t(i)] = fx - x0[size_t(i)];
  }
  InBands(th, int64_t(tw) * th, [&](int32_t rowBegin, int32_t rowEnd) {
    BilinearBuffers b;
    for (int32_t j = rowBegin; j < rowEnd; ++j) {
      const double fy = ScaledPosition(j, h, th);
      const int32_t y0 = static_cast<int32_t>(fy);
      const double ay = fy - y0;
      const uint8_t* top = source.rows[y0];
      // Below the last row the third and fourth samples repeat the second.
      const bool bottomInside = y0 + 1 < h;
      const uint8_t* bottom = bottomInside ? source.rows[y0 + 1] : top;
      uint8_t* out = target.rows[j];
      if (avx2) {
        BilinearResizeRowAvx2({top, bottom, bottomInside, x0.data(), x1.data(), ax.data(), ay, tw, out});
        continue;
      }
      for (int32_t i = 0; i < tw; ++i) {
        const uint8_t** samples = b.samples + size_t(b.count) * 4;
        samples[0] = top + size_t(x0[size_t(i)]) * 4;
        samples[1] = top + size_t(x1[size_t(i)]) * 4;
        samples[2] = bottomInside ? bottom + size_t(x0[size_t(i)]) * 4 : samples[1];
        samples[3] = bottom + size_t(x1[size_t(i)]) * 4;
        b.ax[b.count] = ax[size_t(i)];
        b.ay[b.count] = ay;
        b.out[b.count] = out + size_t(i) * 4;
        if (++b.count == kRunPixels) b.Flush();
      }
      b.Flush();
    }
  });
}

void ResizePolynomialFast(const ImageDescriptor& source, ImageDescriptor& target) {
  const int32_t w = Width(source), h = Height(source), tw = Width(target), th = Height(target);
  std::vector<int32_t> ix(static_cast<size_t>(tw));
  std::vector<double> fx(static_cast<size_t>(tw));
  for (int32_t i = 0; i < tw; ++i) {
    const double sx = EndAlignedPosition(i, w, tw);
    ix[size_t(i)] = static_cast<int32_t>(sx);
    fx[size_t(i)] = sx - ix[size_t(i)];
  }
  InBands(th, int64_t(tw) * th, [&](int32_t rowBegin, int32_t rowEnd) {
    for (int32_t j = rowBegin; j < rowEnd; ++j) {
      const double sy = EndAlignedPosition(j, h, th);
      const int32_t iy = static_cast<int32_t>(sy);
      uint8_t* out = target.rows[j];
      for (int32_t i = 0; i < tw; ++i)
        PolynomialPixel(source, ix[size_t(i)], fx[size_t(i)], iy, sy - iy, out + size_t(i) * 4);
    }
  });
}

void RotateFast(const ImageDescriptor& source, ImageDescriptor& target, double angle, bool avx2) {
  const RotatedBounds bounds = RotatedBoundingSize(angle, Width(source), Height(source));
  const double cosine = std::cos(angle), sine = std::sin(angle);
  const int32_t tw = Width(target), th = Height(target);
  // X cos θ and X sin θ for every column: the reference forms the same products per pixel.
  std::vector<double> xCos(static_cast<size_t>(tw)), xSin(static_cast<size_t>(tw));
  for (int32_t i = 0; i < tw; ++i) {
    const double x = static_cast<double>(i - bounds.offsetX);
    xCos[size_t(i)] = x * cosine;
    xSin[size_t(i)] = x * sine;
  }
  WrittenSpan spans[2] = {{tw, -1, th, -1}, {tw, -1, th, -1}};
  InBands(th, int64_t(tw) * th, [&](int32_t rowBegin, int32_t rowEnd) {
    WrittenSpan& span = spans[rowBegin == 0 ? 0 : 1];
    BilinearBuffers b;
    for (int32_t j = rowBegin; j < rowEnd; ++j) {
      const double y = static_cast<double>(j - bounds.offsetY);
      const double ySin = y * sine, yCos = y * cosine;
      uint8_t* out = target.rows[j];
      if (avx2) {
        RotateRow row{source.rows, Width(source), Height(source), xCos.data(), xSin.data(), ySin, yCos, tw, out, tw, -1};
        RotateRowAvx2(row);
        if (row.left <= row.right) {
          span.left = std::min(span.left, row.left);
          span.right = std::max(span.right, row.right);
          span.top = std::min(span.top, j);
          span.bottom = std::max(span.bottom, j);
        }
        continue;
      }
      for (int32_t i = 0; i < tw; ++i) {
        const double sx = xCos[size_t(i)] + ySin;
        const double sy = yCos - xSin[size_t(i)];
        if (!(std::fabs(sx) < 2147483647.0 && std::fabs(sy) < 2147483647.0)) continue;
        const int32_t x0 = static_cast<int32_t>(sx), y0 = static_cast<int32_t>(sy);
        if (!Inside(source, x0, y0)) continue;
        BilinearSamples(source, x0, y0, b.samples + size_t(b.count) * 4);
        b.ax[b.count] = std::max(sx - x0, 0.0);
        b.ay[b.count] = std::max(sy - y0, 0.0);
        b.out[b.count] = out + size_t(i) * 4;
        if (++b.count == kRunPixels) b.Flush();
        span.left = std::min(span.left, i);
        span.right = std::max(span.right, i);
        span.top = std::min(span.top, j);
        span.bottom = std::max(span.bottom, j);
      }
    }
    b.Flush();
  });
  for (const WrittenSpan& span : spans) WidenDirty(target, span.left, span.top, span.right, span.bottom);
}

}  // namespace varnel::transform_detail
