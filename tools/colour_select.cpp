#include "tools/colour_select.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fast_paths.h"
#include "tools/colour_select_p.h"

namespace varnel {
namespace {

int32_t Red(uint32_t pixel) { return static_cast<int32_t>((pixel >> 16) & 0xFFu); }
int32_t Green(uint32_t pixel) { return static_cast<int32_t>((pixel >> 8) & 0xFFu); }
int32_t Blue(uint32_t pixel) { return static_cast<int32_t>(pixel & 0xFFu); }
int32_t High(uint32_t pixel) { return std::max(std::max(Red(pixel), Green(pixel)), Blue(pixel)); }
int32_t Low(uint32_t pixel) { return std::min(std::min(Red(pixel), Green(pixel)), Blue(pixel)); }
// low <= v <= high in one unsigned comparison, which compiles without a branch.
bool InRange(int32_t v, int32_t low, int32_t high) {
  return static_cast<uint32_t>(v - low) <= static_cast<uint32_t>(high - low);
}

// The saturation RgbToHls gives a colour of this max + min and max − min.
int32_t SaturationOf(int32_t sum, int32_t difference) {
  if (difference < 4) return 0;
  // Both divisors are at least difference, so at least 4, for any real colour.
  const int32_t divisor = ((sum + 1) >> 1) > 127 ? 510 - sum : sum;
  return (divisor / 2 + 255 * difference) / divisor;
}

// The hue RgbToHls gives, and nothing else of it.
int32_t HueOf(uint32_t pixel) {
  const int32_t red = Red(pixel), green = Green(pixel), blue = Blue(pixel);
  const int32_t high = std::max({red, green, blue});
  const int32_t difference = high - std::min({red, green, blue});
  if (difference < 4) return 0;
  const int32_t half = difference / 2;
  int32_t hue;
  if (red == high) {
    hue = (half + 60 * (green - blue)) / difference;
  } else if (green == high) {
    hue = (half + 60 * (blue - red)) / difference + 120;
  } else {
    hue = (half + 60 * (red - green)) / difference + 240;
  }
  if (hue < 0) hue += 360;
  if (hue >= 360) hue -= 360;
  return hue;
}

// Degrees between two hues the short way round, 0…180.
int32_t HueDistance(int32_t a, int32_t b) {
  const int32_t d = std::abs(a - b);
  return std::min(d, 360 - d);
}

bool WithinRgb(uint32_t a, uint32_t b, int32_t tolerance) {
  return std::abs(Red(a) - Red(b)) <= tolerance && std::abs(Green(a) - Green(b)) <= tolerance &&
         std::abs(Blue(a) - Blue(b)) <= tolerance;
}

colour_select_internal::ClassifyRgbFn RgbKernel() {
  return UseAvx2Paths() ? &colour_select_internal::ClassifyRgbAvx2 : &colour_select_internal::ClassifyRgbScalar;
}

// The source's pixels row by row: straight from its rows, or from one copy of the whole image
// when the surface keeps no rows of its own (the selection facade reads through its target).
class SourceRows {
 public:
  explicit SourceRows(const ImageSurface& source) : m_source(source) {
    const Size size = source.GetSize();
    m_width = std::max(size.width, 0);
    m_height = std::max(size.height, 0);
    if (m_width == 0 || m_height == 0) {
      m_width = m_height = 0;
      return;
    }
    m_direct = source.Row(0) != nullptr && source.Width() == m_width && source.Height() == m_height;
    if (!m_direct) {
      m_copy.assign(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0);
      source.GetRect({0, 0, m_width - 1, m_height - 1}, m_copy.data());
    }
  }
  int32_t Width() const { return m_width; }
  int32_t Height() const { return m_height; }
  bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
  const uint32_t* Row(int32_t y) const {
    return m_direct ? m_source.Row(y) : m_copy.data() + static_cast<size_t>(y) * static_cast<size_t>(m_width);
  }

 private:
  const ImageSurface& m_source;
  int32_t m_width = 0;
  int32_t m_height = 0;
  bool m_direct = false;
  std::vector<uint32_t> m_copy;
};

struct Seed {
  int32_t x;
  int32_t y;
};

// Fill select keeps its state in the mask itself: 0 rejected (or not looked at), kOpen accepted
// but not reached yet, kMarked reached. Rows are classified when the fill first touches them;
// the kOpen bytes left at the end are cleared.
constexpr uint8_t kOpen = 1;
constexpr uint8_t kMarked = 255;
constexpr uint64_t kOpenWord = 0x0101010101010101u;

uint64_t LoadWord(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// The first i in [from, to] whose byte is not kOpen, or to + 1.
int32_t OpenRunEnd(const uint8_t* row, int32_t from, int32_t to) {
  int32_t i = from;
  while (i + 8 <= to + 1 && LoadWord(row + i) == kOpenWord) i += 8;
  while (i <= to && row[i] == kOpen) ++i;
  return i;
}

// The last i, going left from `from` down to 0, whose byte is not kOpen, or -1.
int32_t OpenRunStartBefore(const uint8_t* row, int32_t from) {
  int32_t i = from;
  while (i >= 7 && LoadWord(row + i - 7) == kOpenWord) i -= 8;
  while (i >= 0 && row[i] == kOpen) --i;
  return i;
}

// Pushes one seed at the start of every run of kOpen bytes in [left, right] of row y.
void PushOpenRuns(const uint8_t* row, int32_t left, int32_t right, int32_t y, std::vector<Seed>& seeds) {
  int32_t i = left;
  while (i <= right) {
    const void* found = std::memchr(row + i, kOpen, static_cast<size_t>(right - i + 1));
    if (found == nullptr) return;
    i = static_cast<int32_t>(static_cast<const uint8_t*>(found) - row);
    seeds.push_back({i, y});
    i = OpenRunEnd(row, i, right);
  }
}

// kMarked stays 255, kOpen and 0 become 0: the top bit of each byte, spread over the byte.
void CloseRow(uint8_t* row, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const uint64_t word = ((LoadWord(row + i) & 0x8080808080808080u) >> 7) * 0xFFu;
    std::memcpy(row + i, &word, sizeof word);
  }
  for (; i < count; ++i) row[i] = row[i] == kMarked ? 255 : 0;
}

size_t MaskSize(const SourceRows& rows) {
  return static_cast<size_t>(rows.Width()) * static_cast<size_t>(rows.Height());
}

}  // namespace

namespace colour_select_internal {

void ClassifyRgbScalar(const uint32_t* pixels, size_t count, uint32_t reference, uint8_t tolerance, uint8_t value,
                       uint8_t* out) {
  for (size_t i = 0; i < count; ++i) out[i] = WithinRgb(pixels[i], reference, tolerance) ? value : 0;
}

}  // namespace colour_select_internal

ColourMatcher::ColourMatcher(ColourMatch match, uint32_t reference)
    : m_component(match.component), m_tolerance(match.tolerance), m_reference(reference) {
  const int32_t sum = High(reference) + Low(reference);
  const int32_t difference = High(reference) - Low(reference);
  switch (m_component) {
    case ColourComponent::kHue:
      m_referenceHue = HueOf(reference);
      break;
    case ColourComponent::kLightness: {
      // Lightness (max + min + 1) / 2 grows with the sum, so the accepted sums form one range,
      // which holds the reference's own sum whenever the tolerance is not negative.
      const int32_t lightness = (sum + 1) >> 1;
      m_sumLow = m_sumHigh = sum;
      while (m_sumLow > 0 && std::abs((m_sumLow >> 1) - lightness) <= m_tolerance) --m_sumLow;
      while (m_sumHigh < 510 && std::abs(((m_sumHigh + 2) >> 1) - lightness) <= m_tolerance) ++m_sumHigh;
      break;
    }
    case ColourComponent::kSaturation: {
      const int32_t saturation = SaturationOf(sum, difference);
      for (int32_t s = 0; s <= 510; ++s) {
        // No accepted difference: a range no colour reaches (max − min is at most 255).
        int32_t low = 256, high = 256;
        bool any = false;
        // Only differences a colour of this sum can have: max − min <= min(sum, 510 − sum).
        for (int32_t d = 0; d <= std::min(s, 510 - s); ++d) {
          if (std::abs(SaturationOf(s, d) - saturation) > m_tolerance) continue;
          if (!any) low = d;
          high = d;
          any = true;
        }
        m_differenceLow[static_cast<size_t>(s)] = static_cast<int16_t>(low);
        m_differenceHigh[static_cast<size_t>(s)] = static_cast<int16_t>(high);
      }
      break;
    }
    case ColourComponent::kRgb:
      break;
  }
}

bool ColourMatcher::Accepts(uint32_t pixel) const {
  if (m_tolerance < 0) return false;
  switch (m_component) {
    case ColourComponent::kRgb:
      return WithinRgb(pixel, m_reference, m_tolerance);
    case ColourComponent::kHue:
      return HueDistance(HueOf(pixel), m_referenceHue) <= m_tolerance;
    case ColourComponent::kSaturation: {
      const int32_t high = High(pixel), low = Low(pixel);
      const size_t sum = static_cast<size_t>(high + low);
      return InRange(high - low, m_differenceLow[sum], m_differenceHigh[sum]);
    }
    case ColourComponent::kLightness: {
      const int32_t sum = High(pixel) + Low(pixel);
      return InRange(sum, m_sumLow, m_sumHigh);
    }
  }
  return false;
}

void ColourMatcher::Classify(const uint32_t* pixels, size_t count, uint8_t value, uint8_t* out) const {
  if (m_tolerance < 0) {
    std::memset(out, 0, count);
    return;
  }
  if (m_component == ColourComponent::kRgb) {
    RgbKernel()(pixels, count, m_reference, static_cast<uint8_t>(std::min(m_tolerance, 255)), value, out);
    return;
  }
  // One loop per component, so the choice is not made again for every pixel.
  switch (m_component) {
    case ColourComponent::kHue:
      for (size_t i = 0; i < count; ++i)
        out[i] = HueDistance(HueOf(pixels[i]), m_referenceHue) <= m_tolerance ? value : 0;
      break;
    case ColourComponent::kSaturation:
      for (size_t i = 0; i < count; ++i) {
        const int32_t high = High(pixels[i]), low = Low(pixels[i]);
        const size_t sum = static_cast<size_t>(high + low);
        out[i] = InRange(high - low, m_differenceLow[sum], m_differenceHigh[sum]) ? value : 0;
      }
      break;
    default:
      for (size_t i = 0; i < count; ++i) {
        const int32_t sum = High(pixels[i]) + Low(pixels[i]);
        out[i] = InRange(sum, m_sumLow, m_sumHigh) ? value : 0;
      }
      break;
  }
}

bool ColourMatcher::Near(uint32_t a, uint32_t b) const {
  if (m_tolerance < 0) return false;
  switch (m_component) {
    case ColourComponent::kRgb:
      return WithinRgb(a, b, m_tolerance);
    case ColourComponent::kHue:
      return HueDistance(HueOf(a), HueOf(b)) <= m_tolerance;
    case ColourComponent::kSaturation:
      return std::abs(SaturationOf(High(a) + Low(a), High(a) - Low(a)) -
                      SaturationOf(High(b) + Low(b), High(b) - Low(b))) <= m_tolerance;
    case ColourComponent::kLightness:
      return std::abs(((High(a) + Low(a) + 1) >> 1) - ((High(b) + Low(b) + 1) >> 1)) <= m_tolerance;
  }
  return false;
}

std::vector<uint8_t> FillSelectMask(const ImageSurface& source, int32_t x, int32_t y, ColourMatch match) {
  const SourceRows rows(source);
  std::vector<uint8_t> mask(MaskSize(rows), 0);
  if (!rows.Contains(x, y)) return mask;
  const int32_t width = rows.Width();
  const ColourMatcher matcher(match, rows.Row(y)[x]);
  std::vector<uint8_t> classified(static_cast<size_t>(rows.Height()), 0);
  const auto rowOf = [&](int32_t r) {
    uint8_t* row = mask.data() + static_cast<size_t>(r) * static_cast<size_t>(width);
    if (!classified[static_cast<size_t>(r)]) {
      matcher.Classify(rows.Row(r), static_cast<size_t>(width), kOpen, row);
      classified[static_cast<size_t>(r)] = 1;
    }
    return row;
  };

  // Seeds are taken last in, first out; the order changes nothing of the result, the
  // 4-connected accepted pixels around the click, and keeps the list short.
  std::vector<Seed> seeds;
  seeds.reserve(1024);
  rowOf(y);
  seeds.push_back({x, y});
  while (!seeds.empty()) {
    const Seed seed = seeds.back();
    seeds.pop_back();
    uint8_t* row = mask.data() + static_cast<size_t>(seed.y) * static_cast<size_t>(width);
    if (row[seed.x] != kOpen) continue;
    const int32_t left = OpenRunStartBefore(row, seed.x) + 1;
    const int32_t right = OpenRunEnd(row, seed.x, width - 1) - 1;
    std::memset(row + left, kMarked, static_cast<size_t>(right - left + 1));
    if (seed.y > 0) PushOpenRuns(rowOf(seed.y - 1), left, right, seed.y - 1, seeds);
    if (seed.y + 1 < rows.Height()) PushOpenRuns(rowOf(seed.y + 1), left, right, seed.y + 1, seeds);
  }
  for (int32_t r = 0; r < rows.Height(); ++r) {
    if (classified[static_cast<size_t>(r)])
      CloseRow(mask.data() + static_cast<size_t>(r) * static_cast<size_t>(width), static_cast<size_t>(width));
  }
  return mask;
}

std::vector<uint8_t> FuzzySelectMask(const ImageSurface& source, int32_t x, int32_t y, ColourMatch match) {
  const SourceRows rows(source);
  std::vector<uint8_t> mask(MaskSize(rows), 0);
  if (!rows.Contains(x, y)) return mask;
  const int32_t width = rows.Width();
  const ColourMatcher matcher(match, 0);
  const auto maskRow = [&](int32_t r) { return mask.data() + static_cast<size_t>(r) * static_cast<size_t>(width); };

  std::vector<Seed> seeds;
  seeds.reserve(1024);
  seeds.push_back({x, y});
  while (!seeds.empty()) {
    const Seed seed = seeds.back();
    seeds.pop_back();
    uint8_t* row = maskRow(seed.y);
    if (row[seed.x] != 0) continue;
    const uint32_t* pixels = rows.Row(seed.y);
    int32_t left = seed.x, right = seed.x;
    while (left > 0 && row[left - 1] == 0 && matcher.Near(pixels[left - 1], pixels[left])) --left;
    while (right + 1 < width && row[right + 1] == 0 && matcher.Near(pixels[right + 1], pixels[right])) ++right;
    std::memset(row + left, 255, static_cast<size_t>(right - left + 1));
    for (const int32_t ny : {seed.y - 1, seed.y + 1}) {
      if (ny < 0 || ny >= rows.Height()) continue;
      const uint8_t* next = maskRow(ny);
      const uint32_t* nextPixels = rows.Row(ny);
      // A pixel reached from the one above or below needs a seed of its own unless its left
      // neighbour was reached too and is near it: that one's seed spreads on to it.
      bool previous = false;
      for (int32_t i = left; i <= right; ++i) {
        const bool reached = next[i] == 0 && matcher.Near(nextPixels[i], pixels[i]);
        if (reached && !(previous && matcher.Near(nextPixels[i - 1], nextPixels[i]))) seeds.push_back({i, ny});
        previous = reached;
      }
    }
  }
  return mask;
}

std::vector<uint8_t> ColourRangeMask(const ImageSurface& source, const ColourMatcher& matcher,
                                     const std::function<void(int32_t percent)>& progress) {
  const SourceRows rows(source);
  std::vector<uint8_t> mask(MaskSize(rows));
  const size_t width = static_cast<size_t>(rows.Width());
  for (int32_t y = 0; y < rows.Height(); ++y) {
    if (progress && y % 16 == 0) progress(static_cast<int32_t>(int64_t{y} * 100 / rows.Height()));
    matcher.Classify(rows.Row(y), width, 255, mask.data() + static_cast<size_t>(y) * width);
  }
  return mask;
}

std::string ColourRangeProgressText(int32_t percent) {
  char text[32];
  std::snprintf(text, sizeof text, "処理中%3d%%", percent);
  return text;
}

void MaskToRegion(std::span<const uint8_t> mask, int32_t width, int32_t height, int32_t offsetX, int32_t offsetY,
                  Region& destination) {
  destination.Clear();
  if (width <= 0 || height <= 0 || mask.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) return;
  const size_t stride = static_cast<size_t>(width);
  int32_t left = width, right = -1, top = -1, bottom = -1;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = mask.data() + static_cast<size_t>(y) * stride;
    // Whole zero words first: most rows are mostly unselected or wholly selected.
    int32_t first = 0;
    while (first + 8 <= width && LoadWord(row + first) == 0) first += 8;
    while (first < width && row[first] == 0) ++first;
    if (first == width) continue;
    int32_t last = width - 1;
    while (last >= 7 && LoadWord(row + last - 7) == 0) last -= 8;
    while (row[last] == 0) --last;
    if (top < 0) top = y;
    bottom = y;
    left = std::min(left, first);
    right = std::max(right, last);
  }
  if (top < 0) return;
  const int64_t canvasLeft = int64_t{offsetX} + left, canvasTop = int64_t{offsetY} + top;
  const int64_t canvasRight = int64_t{offsetX} + right, canvasBottom = int64_t{offsetY} + bottom;
  if (canvasLeft < INT32_MIN || canvasTop < INT32_MIN || canvasRight > INT32_MAX || canvasBottom > INT32_MAX) return;
  if (destination.Create({static_cast<int32_t>(canvasLeft), static_cast<int32_t>(canvasTop),
                          static_cast<int32_t>(canvasRight), static_cast<int32_t>(canvasBottom)},
                         0) != 0)
    return;
  for (int32_t y = top; y <= bottom; ++y)
    std::memcpy(destination.Row(y - top), mask.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(left),
                static_cast<size_t>(right - left + 1));
}

bool ClickFilter::Accept(int64_t nowMs) {
  if (m_last && nowMs - *m_last < m_interval) return false;
  m_last = nowMs;
  return true;
}

int64_t TickCountMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace varnel
