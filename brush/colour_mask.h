#pragma once
// The colour mask of a brush: a test on the old pixel under the dab that decides whether the
// dab may change it. Built from the colour mask settings when the brush is built; the modes
// that compare against the pixel under the pen take their reference at pen-down, mode 3
// compares against the background colour.

#include <cstdint>
#include <memory>

namespace varnel {

class ImageSurface;

class ColourMask {
 public:
  // Mode 1…10 with the settings' minimum, maximum and tolerance in percent. Mode 0 (and any
  // mode outside 1…10) has no mask object: Create answers null.
  static std::unique_ptr<ColourMask> Create(int32_t mode, int32_t minimumPercent, int32_t maximumPercent,
                                            int32_t tolerancePercent);

  int32_t Mode() const { return m_mode; }
  // Modes 1, 2 and 4…7 take the layer pixel at (x, y) as their reference; a point outside the
  // layer gives black.
  void TakeReference(const ImageSurface& layer, int32_t x, int32_t y);
  // Mode 3 compares against the background colour (a pixel value 0x00RRGGBB).
  void SetBackground(uint32_t background);
  // Whether the pixel (0xAARRGGBB; alpha ignored) passes the test. Bounds are included.
  bool Accepts(uint32_t pixel) const;

  // The levels the percentages became (integer division truncating toward zero).
  int32_t ChannelTolerance() const { return m_channelTolerance; }  // tolerance × 255 / 100
  int32_t HueTolerance() const { return m_hueTolerance; }          // tolerance × 360 / 100
  int32_t Minimum() const { return m_minimum; }                    // minimum × 255 / 100
  int32_t Maximum() const { return m_maximum; }                    // maximum × 255 / 100
  uint32_t Reference() const { return m_reference; }

 private:
  ColourMask(int32_t mode, int32_t minimumPercent, int32_t maximumPercent, int32_t tolerancePercent);
  void SetReference(uint32_t pixel);
  bool ChannelsWithin(uint32_t pixel) const;

  int32_t m_mode;
  int32_t m_channelTolerance;
  int32_t m_hueTolerance;
  int32_t m_minimum;
  int32_t m_maximum;
  uint32_t m_reference = 0;
  int32_t m_referenceSum = 0;
  int32_t m_referenceHue = 0;
  int32_t m_referenceLightness = 0;
  int32_t m_referenceSaturation = 0;
};

}  // namespace varnel
