#pragma once
// What the picture-information window tells of an image head: its size, the layers the caller
// handed over, how many different colours its pixels hold and how often each value of each
// channel occurs. Qt-free; the image is only read.

#include <array>
#include <cstdint>
#include <optional>

#include "sdk/varnel_image.h"

namespace varnel::huebox {

// The histogram's channels, in the order the window's choice lists them.
enum class HistogramChannel { kRed, kGreen, kBlue, kAlpha };
inline constexpr int kHistogramChannelCount = 4;

struct ImageInformation {
  int32_t width = 0;
  int32_t height = 0;
  int32_t layers = 0;
  // Different pixel words: two pixels of the same colour but another alpha count twice.
  int64_t colourCount = 0;
  // histogram[channel][value]: the pixels whose channel has that value.
  std::array<std::array<int64_t, 256>, kHistogramChannelCount> histogram{};
};

// Nothing for a null image. A head without pixels (no row table, or a size below 1) gives its
// size with no colours and an empty histogram.
std::optional<ImageInformation> GatherImageInformation(const ImageDescriptor* image, int32_t layers);

}  // namespace varnel::huebox
