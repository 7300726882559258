#include "document/layer_mask_file.h"

#include <unistd.h>

#include <algorithm>

#include "platform/temp_file.h"

namespace varnel {

std::string WriteMaskFile(const Region& mask) {
  const uint32_t number = CreateTempFile("lm");
  if (number == 0) return {};
  const std::string path = TempFileName("lm", number);
  if (SaveRegionFile(path, mask) != 0) {
    unlink(path.c_str());
    return {};
  }
  return path;
}

void RenderMaskThumbnail(const Region& mask, bool enabled, uint32_t* pixels) {
  constexpr int32_t n = kMaskThumbnailSize;
  std::fill(pixels, pixels + n * n, 0xFFFFFFFFu);
  if (!mask.IsEmpty()) {
    const int32_t width = mask.Width(), height = mask.Height();
    const int32_t longest = std::max(width, height);
    const int32_t tw = (n * width) / longest, th = (n * height) / longest;
    for (int32_t j = 0; j < th; ++j) {
      const uint8_t* row = mask.Row(static_cast<int32_t>((int64_t{j} * height) / th));
      for (int32_t i = 0; i < tw; ++i) {
        const uint32_t grey = 255u - row[(int64_t{i} * width) / tw];
        pixels[j * n + i] = 0xFF000000u | grey << 16 | grey << 8 | grey;
      }
    }
  }
  if (!enabled) {
    for (int32_t k = 0; k < n; ++k) {
      pixels[k * n + k] = 0xFFFF0000u;
      pixels[k * n + (n - 1 - k)] = 0xFFFF0000u;
    }
  }
}

}  // namespace varnel
