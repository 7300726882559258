#pragma once
// Selecting pixels by colour: the matchers of the selection tool's colour component combo, the
// three selection shapes that find pixels with them (fill select, fuzzy select, colour range
// select), the conversion of their masks into a Region, and the click filter that keeps one
// double click from selecting twice.
//
// Masks are one byte per pixel of the source surface, rows top first, exactly width bytes
// apart: 255 selected, 0 not. Pixels are 0xAARRGGBB; alpha never takes part in a comparison.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/region.h"
#include "core/surface.h"

namespace varnel {

// The colour component combo of the selection tool, in its entry order.
enum class ColourComponent : int32_t {
  kRgb = 0,         // channel by channel
  kHue = 1,         // "色相"
  kSaturation = 2,  // "彩度"
  kLightness = 3,   // "明度"
};
inline constexpr int32_t kColourComponentCount = 4;

// What the selection tool's options choose: the component and "許容範囲".
struct ColourMatch {
  ColourComponent component = ColourComponent::kRgb;
  int32_t tolerance = 0;
};

// Compares pixels with a reference colour, with tolerance t:
//   kRgb         blue, green and red each differ from the reference's by at most t;
//   kHue         the hues (RgbToHls, 0…359) lie at most t degrees apart the short way round
//                the circle (0…180); a grey, which RgbToHls gives hue 0, has hue 0 here too;
//   kSaturation  |s − s_ref| <= t, s as RgbToHls gives it;
//   kLightness   |l − l_ref| <= t, l as RgbToHls gives it.
// A negative tolerance accepts nothing. The reference's part is worked out once; a pixel costs
// three byte differences (RGB), one sum (lightness), one table look-up (saturation) or one
// division (hue), never a whole HLS conversion.
class ColourMatcher {
 public:
  ColourMatcher(ColourMatch match, uint32_t reference);

  ColourComponent Component() const { return m_component; }
  int32_t Tolerance() const { return m_tolerance; }
  uint32_t Reference() const { return m_reference; }

  bool Accepts(uint32_t pixel) const;
  // out[i] = value when pixels[i] is accepted, else 0.
  void Classify(const uint32_t* pixels, size_t count, uint8_t value, uint8_t* out) const;
  // Whether two pixels lie within the tolerance of each other by this matcher's component (the
  // reference plays no part). Symmetric.
  bool Near(uint32_t a, uint32_t b) const;

 private:
  ColourComponent m_component;
  int32_t m_tolerance;
  uint32_t m_reference;
  int32_t m_referenceHue = 0;
  // Lightness: the accepted range of max + min. Saturation: per max + min (0…510), the range
  // of max − min whose saturation is accepted (saturation grows with max − min, so the accepted
  // differences form one range; 256…256, which no colour has, when there are none).
  int32_t m_sumLow = 0, m_sumHigh = 0;
  std::array<int16_t, 511> m_differenceLow{};
  std::array<int16_t, 511> m_differenceHigh{};
};

// Fill select: a flood fill from (x, y) (source coordinates) over the 4-connected pixels the
// matcher built from the clicked pixel's colour accepts. The result is the mask of the source's
// size; all 0 when (x, y) lies outside the source.
std::vector<uint8_t> FillSelectMask(const ImageSurface& source, int32_t x, int32_t y, ColourMatch match);

// Fuzzy select: a flood fill that follows gradients. From the clicked pixel it spreads to a
// 4-neighbour whenever the two pixels match each other (ColourMatcher::Near with the
// component and tolerance of match): the result is every pixel reached from the clicked pixel
// through a chain of neighbours each near the one before. The clicked pixel's own colour is not
// held to, so a smooth gradient is followed to its end however far it drifts. All 0 when
// (x, y) lies outside the source.
std::vector<uint8_t> FuzzySelectMask(const ImageSurface& source, int32_t x, int32_t y, ColourMatch match);

// Colour range select: every pixel the matcher accepts, connected or not, scanning rows from
// the top. Before every 16th row (0, 16, 32, …) progress, when given, receives row × 100 /
// height.
std::vector<uint8_t> ColourRangeMask(const ImageSurface& source, const ColourMatcher& matcher,
                                     const std::function<void(int32_t percent)>& progress = {});

// The status text of colour range select, "処理中%3d%%" as printf gives it ("処理中  5%").
std::string ColourRangeProgressText(int32_t percent);

// The mask (width × height bytes, rows top first) as a region whose pixel (0, 0) lies at
// canvas (offsetX, offsetY), trimmed to its non-zero bytes; destination is left empty when the
// mask has none or does not hold width × height bytes.
void MaskToRegion(std::span<const uint8_t> mask, int32_t width, int32_t height, int32_t offsetX, int32_t offsetY,
                  Region& destination);

// The intervals of the click filters, in milliseconds.
inline constexpr int64_t kSelectClickInterval = 300;
inline constexpr int64_t kAreaFillClickInterval = 500;

// Ignores a click that comes less than the interval after the previously accepted one; the
// first click is accepted. Times in milliseconds from any steady source.
class ClickFilter {
 public:
  explicit ClickFilter(int64_t intervalMs) : m_interval(intervalMs) {}
  bool Accept(int64_t nowMs);

 private:
  int64_t m_interval;
  std::optional<int64_t> m_last;
};

// The system tick count the tools time their clicks with: milliseconds of a steady clock.
int64_t TickCountMs();

}  // namespace varnel
