#include "huebox/image_information.h"

#include <vector>

namespace varnel::huebox {
namespace {

// Distinct 32-bit words without sorting 16 million of them: the pixels are bucketed by alpha,
// then each bucket's 24-bit colours are counted in one 2 MB bit set that is cleared again bit
// by bit, so the work stays linear in the pixels.
int64_t CountColours(const ImageDescriptor& image, const std::array<int64_t, 256>& alphaCounts) {
  const int32_t width = image.header.biWidth, height = image.header.biHeight;
  std::array<size_t, 257> start{};
  for (int a = 0; a < 256; ++a) start[static_cast<size_t>(a) + 1] = start[static_cast<size_t>(a)] + static_cast<size_t>(alphaCounts[static_cast<size_t>(a)]);
  std::vector<uint32_t> colours(start[256]);
  std::array<size_t, 256> next{};
  for (int a = 0; a < 256; ++a) next[static_cast<size_t>(a)] = start[static_cast<size_t>(a)];
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.rows[y]);
    for (int32_t x = 0; x < width; ++x) colours[next[row[x] >> 24]++] = row[x] & 0xFFFFFFu;
  }
  std::vector<uint64_t> seen((1u << 24) / 64);
  int64_t count = 0;
  for (size_t a = 0; a < 256; ++a) {
    for (size_t i = start[a]; i < start[a + 1]; ++i) {
      uint64_t& word = seen[colours[i] >> 6];
      const uint64_t bit = uint64_t{1} << (colours[i] & 63);
      if ((word & bit) == 0) ++count;
      word |= bit;
    }
    for (size_t i = start[a]; i < start[a + 1]; ++i) seen[colours[i] >> 6] = 0;
  }
  return count;
}

}  // namespace

std::optional<ImageInformation> GatherImageInformation(const ImageDescriptor* image, int32_t layers) {
  if (image == nullptr) return std::nullopt;
  ImageInformation information;
  information.width = image->header.biWidth;
  information.height = image->header.biHeight;
  information.layers = layers;
  if (image->rows == nullptr || information.width <= 0 || information.height <= 0) return information;
  for (int32_t y = 0; y < information.height; ++y) {
    if (image->rows[y] == nullptr) return information;
  }
  auto& [red, green, blue, alpha] = information.histogram;
  for (int32_t y = 0; y < information.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image->rows[y]);
    for (int32_t x = 0; x < information.width; ++x) {
      const uint32_t pixel = row[x];  // 0xAARRGGBB
      ++blue[pixel & 0xFF];
      ++green[(pixel >> 8) & 0xFF];
      ++red[(pixel >> 16) & 0xFF];
      ++alpha[pixel >> 24];
    }
  }
  information.colourCount = CountColours(*image, alpha);
  return information;
}

}  // namespace varnel::huebox
