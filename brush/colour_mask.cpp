#include "brush/colour_mask.h"

#include <cstdlib>

#include "core/colour_convert.h"
#include "core/surface.h"

namespace varnel {
namespace {

int32_t Blue(uint32_t p) { return static_cast<int32_t>(p & 0xFF); }
int32_t Green(uint32_t p) { return static_cast<int32_t>((p >> 8) & 0xFF); }
int32_t Red(uint32_t p) { return static_cast<int32_t>((p >> 16) & 0xFF); }
int32_t Sum(uint32_t p) { return Red(p) + Green(p) + Blue(p); }

// Percent to level. Settings come from files, so the product is taken in 64 bits and the
// result kept in range of the comparisons below.
int32_t Level(int32_t percent, int32_t full) {
  const int64_t level = static_cast<int64_t>(percent) * full / 100;
  if (level > 1000000) return 1000000;
  if (level < -1000000) return -1000000;
  return static_cast<int32_t>(level);
}

}  // namespace

std::unique_ptr<ColourMask> ColourMask::Create(int32_t mode, int32_t minimumPercent, int32_t maximumPercent,
                                               int32_t tolerancePercent) {
  if (mode < 1 || mode > 10) return nullptr;
  return std::unique_ptr<ColourMask>(new ColourMask(mode, minimumPercent, maximumPercent, tolerancePercent));
}

ColourMask::ColourMask(int32_t mode, int32_t minimumPercent, int32_t maximumPercent, int32_t tolerancePercent)
    : m_mode(mode),
      m_channelTolerance(Level(tolerancePercent, 255)),
      m_hueTolerance(Level(tolerancePercent, 360)),
      m_minimum(Level(minimumPercent, 255)),
      m_maximum(Level(maximumPercent, 255)) {}

void ColourMask::SetReference(uint32_t pixel) {
  m_reference = pixel & 0x00FFFFFFu;
  m_referenceSum = Sum(pixel);
  const HlsColour hls = RgbToHls(pixel);
  m_referenceHue = hls.hue;
  m_referenceLightness = hls.lightness;
  m_referenceSaturation = hls.saturation;
}

void ColourMask::TakeReference(const ImageSurface& layer, int32_t x, int32_t y) {
  if (m_mode == 3 || m_mode >= 8) return;
  uint32_t pixel = 0;
  if (!layer.GetPixel(x, y, &pixel)) pixel = 0;
  SetReference(pixel);
}

void ColourMask::SetBackground(uint32_t background) {
  if (m_mode == 3) SetReference(background);
}

bool ColourMask::ChannelsWithin(uint32_t pixel) const {
  const int32_t t = m_channelTolerance;
  return std::abs(Blue(pixel) - Blue(m_reference)) <= t && std::abs(Green(pixel) - Green(m_reference)) <= t &&
         std::abs(Red(pixel) - Red(m_reference)) <= t;
}

bool ColourMask::Accepts(uint32_t pixel) const {
  switch (m_mode) {
    case 1:  // 描画開始点
    case 3:  // 背景色
      return ChannelsWithin(pixel);
    case 2:  // 開始点以外: at least one channel further than the tolerance
      return !ChannelsWithin(pixel);
    case 4:  // 開始輝度
      return std::abs(Sum(pixel) - m_referenceSum) <= 3 * m_channelTolerance;
    case 5:  // 開始色相, no wrap-around at 0/360
      return std::abs(RgbToHls(pixel).hue - m_referenceHue) <= m_hueTolerance;
    case 6:  // 開始明度
      return std::abs(RgbToHls(pixel).lightness - m_referenceLightness) <= m_channelTolerance;
    case 7:  // 開始彩度
      return std::abs(RgbToHls(pixel).saturation - m_referenceSaturation) <= m_channelTolerance;
    case 8: {  // 輝度範囲
      const int32_t sum = Sum(pixel);
      return 3 * m_minimum <= sum && sum <= 3 * m_maximum;
    }
    case 9: {  // 明度範囲
      const int32_t lightness = RgbToHls(pixel).lightness;
      return m_minimum <= lightness && lightness <= m_maximum;
    }
    case 10: {  // 彩度範囲
      const int32_t saturation = RgbToHls(pixel).saturation;
      return m_minimum <= saturation && saturation <= m_maximum;
    }
    default:
      return true;
  }
}

}  // namespace varnel
