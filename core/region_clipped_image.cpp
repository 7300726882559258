#include "core/region_clipped_image.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/region.h"

namespace varnel {

void RegionClippedImage::Bind(ImageSurface* target, const Region* region, int32_t positionX,
                              int32_t positionY) {
  m_target = target;
  m_region = region;
  m_positionX = positionX;
  m_positionY = positionY;
}

bool RegionClippedImage::IsType(const char* tag) const {
  return tag != nullptr && std::strcmp(tag, "IMAGEREGION") == 0;
}

void RegionClippedImage::SetModified() {
  if (m_target != nullptr) {
    m_target->SetModified();
  }
}

Size RegionClippedImage::GetSize() const {
  return m_target != nullptr ? m_target->GetSize() : Size{};
}

int32_t RegionClippedImage::GetRect(Rect rect, uint32_t* buffer) const {
  return m_target != nullptr ? m_target->GetRect(rect, buffer) : 0;
}

uint8_t RegionClippedImage::Coverage(int32_t x, int32_t y) const {
  if (m_region == nullptr) {
    return 0;
  }
  // In 64 bits: a position near the int32 limits must not wrap onto the region.
  const int64_t rx = int64_t{x} - m_positionX;
  const int64_t ry = int64_t{y} - m_positionY;
  if (rx < INT32_MIN || rx > INT32_MAX || ry < INT32_MIN || ry > INT32_MAX) {
    return 0;
  }
  return m_region->At(static_cast<int32_t>(rx), static_cast<int32_t>(ry));
}

uint32_t RegionClippedImage::BlendCovered(uint32_t p, uint32_t c, int32_t m) {
  // Differences may be negative: >> on a negative int floors, which is the rounding wanted.
  const auto mix = [m](int32_t from, int32_t to) { return from + (((to - from) * m) >> 8); };
  const auto channel = [](uint32_t pixel, int shift) { return static_cast<int32_t>((pixel >> shift) & 0xFFu); };
  const uint32_t alpha = static_cast<uint32_t>(mix(channel(p, 24), channel(c, 24))) & 0xFFu;
  if (channel(p, 24) == 0) {
    // A transparent pixel has no colour worth keeping.
    return alpha << 24 | (c & 0x00FFFFFFu);
  }
  uint32_t result = alpha << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    result |= (static_cast<uint32_t>(mix(channel(p, shift), channel(c, shift))) & 0xFFu) << shift;
  }
  return result;
}

void RegionClippedImage::SetPixel(int32_t x, int32_t y, uint32_t colour) {
  if (m_target == nullptr) {
    return;
  }
  const uint8_t m = Coverage(x, y);
  if (m == 0) {
    return;
  }
  if (m == 255) {
    m_target->SetPixel(x, y, colour);
    return;
  }
  uint32_t current = 0;
  if (m_target->GetPixel(x, y, &current) == 0) {
    return;
  }
  m_target->SetPixel(x, y, BlendCovered(current, colour, m));
}

int32_t RegionClippedImage::GetPixel(int32_t x, int32_t y, uint32_t* colour) const {
  if (m_target == nullptr || Coverage(x, y) == 0) {
    return 0;
  }
  return m_target->GetPixel(x, y, colour);
}

int32_t RegionClippedImage::SetRect(Rect rect, const uint32_t* buffer) {
  if (m_target == nullptr || m_region == nullptr || m_region->IsEmpty() || buffer == nullptr) {
    return 0;
  }
  const Rect wanted = rect.Normalized();
  const Size size = m_target->GetSize();
  // The only pixels that can change: the rect, within the region (in target coordinates) and
  // the target. Worked in 64 bits since rect and position may lie anywhere.
  const Rect bounds = m_region->Bounds();
  const int64_t left = std::max({int64_t{wanted.left}, int64_t{bounds.left} + m_positionX, int64_t{0}});
  const int64_t top = std::max({int64_t{wanted.top}, int64_t{bounds.top} + m_positionY, int64_t{0}});
  const int64_t right =
      std::min({int64_t{wanted.right}, int64_t{bounds.right} + m_positionX, int64_t{size.width} - 1});
  const int64_t bottom =
      std::min({int64_t{wanted.bottom}, int64_t{bounds.bottom} + m_positionY, int64_t{size.height} - 1});
  if (left > right || top > bottom) {
    return 0;
  }
  const Rect cut{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                 static_cast<int32_t>(bottom)};
  const size_t cutWidth = static_cast<size_t>(right - left + 1);
  const size_t cutHeight = static_cast<size_t>(bottom - top + 1);
  const uint64_t pitch = static_cast<uint64_t>(int64_t{wanted.right} - wanted.left + 1);

  // Seeded with the new pixels so that nothing GetRect leaves unwritten is read uninitialised.
  std::vector<uint32_t> pixels(cutWidth * cutHeight);
  for (size_t r = 0; r < cutHeight; ++r) {
    const uint64_t from = (static_cast<uint64_t>(top - wanted.top) + r) * pitch +
                          static_cast<uint64_t>(left - wanted.left);
    std::memcpy(&pixels[r * cutWidth], buffer + from, cutWidth * sizeof(uint32_t));
  }
  m_target->GetRect(cut, pixels.data());

  for (size_t r = 0; r < cutHeight; ++r) {
    const int32_t y = cut.top + static_cast<int32_t>(r);
    const uint32_t* source = buffer + (static_cast<uint64_t>(y - int64_t{wanted.top}) * pitch +
                                       static_cast<uint64_t>(left - wanted.left));
    uint32_t* row = &pixels[r * cutWidth];
    for (size_t i = 0; i < cutWidth; ++i) {
      const uint8_t m = Coverage(cut.left + static_cast<int32_t>(i), y);
      if (m == 255) {
        row[i] = source[i];
      } else if (m != 0) {
        row[i] = BlendCovered(row[i], source[i], m);
      }
    }
  }
  return m_target->SetRect(cut, pixels.data());
}

}  // namespace varnel
